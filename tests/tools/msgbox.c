/*
 * msgbox: a stand-in program for testing the end-to-end harness itself, and the
 * source of reference message boxes (the icon of a box is compared with one shown
 * here with a known style).
 *
 * Usage: msgbox [options], processed left to right:
 *   -caption TEXT   caption of the following boxes
 *   -text TEXT      text of the following boxes; "\n", "\t" and "\\" are unescaped
 *   -style HEX      MessageBoxW style of the following boxes (default 0)
 *   -show           shows a box with the current values now
 *   -print TEXT     writes TEXT and a line feed to the standard output (UTF-8)
 *   -printcmd       writes the process command line (GetCommandLineW) the same way
 *   -printenv NAME  writes "NAME=value", or "NAME unset"
 *   -printcwd       writes the current folder
 *   -printstation   writes "<window station>\\<desktop> flags <N>": the names of the
 *                   process's station and thread's desktop, and the station's
 *                   UOI_FLAGS in decimal (WSF_VISIBLE is 1), or "? flags ?" for what
 *                   cannot be read
 *   -mutex NAME SDDL  creates the mutex NAME, owned by the main thread until the
 *                   process ends, with the security descriptor SDDL (as a squatter
 *                   of another account would make it; any owner is accepted under
 *                   Wine); writes "mutex created", "mutex existed" or "mutex error <N>"
 *   -mutexowner NAME  writes the owner of the mutex NAME as "owner <SID>", "owner
 *                   none", or "owner error <N>" when it cannot be opened or read
 *   -noshow         shows no box at the end
 *   -exit N         the exit code (default: the button that closed the last box)
 * Without any -show, one box is shown at the end.
 */
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>
#include <stdlib.h>
#include <wchar.h>

static wchar_t* Unescape(const wchar_t* text)
{
    wchar_t* result = calloc(wcslen(text) + 1, sizeof(wchar_t));
    wchar_t* out = result;
    for (const wchar_t* p = text; result && *p; ++p) {
        if (*p == L'\\' && p[1]) {
            ++p;
            *out++ = *p == L'n' ? L'\n' : *p == L't' ? L'\t' : *p;
        } else {
            *out++ = *p;
        }
    }
    return result;
}

static void PrintLine(const wchar_t* text)
{
    int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, NULL, 0, NULL, NULL);
    char* bytes = malloc((size_t)size + 1);
    if (!bytes) return;
    WideCharToMultiByte(CP_UTF8, 0, text, -1, bytes, size, NULL, NULL);
    bytes[size - 1] = '\n';
    DWORD written;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes, (DWORD)size, &written, NULL);
    free(bytes);
}

static void PrintStation(void)
{
    wchar_t station[256] = L"?", desktop[256] = L"?", flagsText[16] = L"?", line[600];
    HWINSTA own = GetProcessWindowStation();
    HDESK threadDesktop = GetThreadDesktop(GetCurrentThreadId());
    USEROBJECTFLAGS flags;
    DWORD needed;
    if (!own || !GetUserObjectInformationW(own, UOI_NAME, station, sizeof station, &needed))
        wcscpy(station, L"?");
    if (!threadDesktop ||
        !GetUserObjectInformationW(threadDesktop, UOI_NAME, desktop, sizeof desktop, &needed))
        wcscpy(desktop, L"?");
    if (own && GetUserObjectInformationW(own, UOI_FLAGS, &flags, sizeof flags, &needed))
        _snwprintf(flagsText, 16, L"%lu", (unsigned long)flags.dwFlags);
    _snwprintf(line, 600, L"%ls\\%ls flags %ls", station, desktop, flagsText);
    line[599] = L'\0';
    PrintLine(line);
}

static void PrintNumbered(const wchar_t* what, DWORD number)
{
    wchar_t line[64];
    _snwprintf(line, 64, L"%ls %lu", what, (unsigned long)number);
    line[63] = L'\0';
    PrintLine(line);
}

static void MakeMutex(const wchar_t* name, const wchar_t* sddl)
{
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, NULL, FALSE};
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1,
                                                              &attributes.lpSecurityDescriptor, NULL)) {
        PrintNumbered(L"mutex error", GetLastError());
        return;
    }
    HANDLE mutex = CreateMutexW(&attributes, TRUE, name);  /* held until the process ends */
    DWORD error = GetLastError();
    LocalFree(attributes.lpSecurityDescriptor);
    if (!mutex) PrintNumbered(L"mutex error", error);
    else PrintLine(error == ERROR_ALREADY_EXISTS ? L"mutex existed" : L"mutex created");
}

static void PrintMutexOwner(const wchar_t* name)
{
    HANDLE mutex = OpenMutexW(READ_CONTROL, FALSE, name);
    if (!mutex) {
        PrintNumbered(L"owner error", GetLastError());
        return;
    }
    PSID owner = NULL;
    PSECURITY_DESCRIPTOR descriptor = NULL;
    DWORD error = GetSecurityInfo(mutex, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &owner,
                                  NULL, NULL, NULL, &descriptor);
    wchar_t* text = NULL;
    if (error) PrintNumbered(L"owner error", error);
    else if (!owner) PrintLine(L"owner none");
    else if (!ConvertSidToStringSidW(owner, &text)) PrintNumbered(L"owner error", GetLastError());
    else {
        wchar_t line[200];
        _snwprintf(line, 200, L"owner %ls", text);
        line[199] = L'\0';
        PrintLine(line);
        LocalFree(text);
    }
    LocalFree(descriptor);
    CloseHandle(mutex);
}

int wmain(int argc, wchar_t** argv)
{
    const wchar_t* caption = L"msgbox";
    wchar_t* text = Unescape(L"");
    UINT style = 0;
    int shown = 0, hasExit = 0;
    int button = 0;
    long exitCode = 0;
    for (int i = 1; i < argc; ++i) {
        const wchar_t* arg = argv[i];
        const wchar_t* value = i + 1 < argc ? argv[i + 1] : NULL;
        if (wcscmp(arg, L"-show") == 0) {
            button = MessageBoxW(NULL, text, caption, style);
            shown = 1;
        } else if (wcscmp(arg, L"-noshow") == 0) {
            shown = 1;
        } else if (wcscmp(arg, L"-printcmd") == 0) {
            PrintLine(GetCommandLineW());
        } else if (wcscmp(arg, L"-printstation") == 0) {
            PrintStation();
        } else if (wcscmp(arg, L"-printcwd") == 0) {
            wchar_t folder[MAX_PATH + 1] = L"";
            GetCurrentDirectoryW(MAX_PATH + 1, folder);
            PrintLine(folder);
        } else if (!value) {
            return 2;
        } else {
            ++i;
            if (wcscmp(arg, L"-caption") == 0) caption = value;
            else if (wcscmp(arg, L"-text") == 0) { free(text); text = Unescape(value); }
            else if (wcscmp(arg, L"-style") == 0) style = (UINT)wcstoul(value, NULL, 16);
            else if (wcscmp(arg, L"-print") == 0) PrintLine(value);
            else if (wcscmp(arg, L"-printenv") == 0) {
                wchar_t line[4096];
                wchar_t variable[3800];
                SetLastError(0);
                DWORD length = GetEnvironmentVariableW(value, variable, 3800);
                if (length == 0 && GetLastError() == ERROR_ENVVAR_NOT_FOUND)
                    _snwprintf(line, 4096, L"%ls unset", value);
                else
                    _snwprintf(line, 4096, L"%ls=%ls", value, length < 3800 ? variable : L"<long>");
                line[4095] = L'\0';
                PrintLine(line);
            }
            else if (wcscmp(arg, L"-mutexowner") == 0) PrintMutexOwner(value);
            else if (wcscmp(arg, L"-mutex") == 0) {
                if (i + 1 >= argc) return 2;
                MakeMutex(value, argv[++i]);
            }
            else if (wcscmp(arg, L"-exit") == 0) { exitCode = (long)wcstoul(value, NULL, 10); hasExit = 1; }
            else return 2;
        }
    }
    if (!shown) button = MessageBoxW(NULL, text, caption, style);
    free(text);
    return hasExit ? (int)exitCode : button;
}
