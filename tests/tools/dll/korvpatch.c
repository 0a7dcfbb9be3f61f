/*
 * korvpatch.dll: a stand-in for the maker's SCHANNEL patch library, which the
 * bootstrapper loads by the name in HKLM\SYSTEM\CurrentControlSet\Control\Session
 * Manager\KorvPatches\SCHANNEL "Patch Dll" and whose KorvDllPatch it calls before
 * the first download.
 *
 * KorvDllPatch (no arguments, returns int, exported under that plain name) appends
 * "call <pid>" to the file named by KORVANA_PATCH_RECORD and returns the integer in
 * KORVANA_PATCH_RESULT (decimal, or hexadecimal with 0x; default 1). When the library
 * is freed before its process ends (FreeLibrary, not process exit), it appends
 * "unload <pid>", so a test sees whether the caller let it go again.
 *
 * KORVANA_PATCH_HOLD names a file: while it exists, a thread of the process that ends
 * waits (a minute at most) before it is gone, and so does whoever waits for it. The
 * bootstrapper waits for its browser worker before it closes the completion dialog,
 * so the dialog's last state stays on screen until the file is deleted. The waiting
 * thread first creates "<file>.held", to say that the hold has begun.
 */
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>

static void Append(const char* what)
{
    wchar_t path[MAX_PATH];
    DWORD length = GetEnvironmentVariableW(L"KORVANA_PATCH_RECORD", path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return;
    char line[64];
    int size = snprintf(line, sizeof line, "%s %lu\n", what, GetCurrentProcessId());
    HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written;
    WriteFile(file, line, (DWORD)size, &written, NULL);
    CloseHandle(file);
}

__declspec(dllexport) int KorvDllPatch(void)
{
    Append("call");
    wchar_t text[32];
    DWORD length = GetEnvironmentVariableW(L"KORVANA_PATCH_RESULT", text, 32);
    if (length == 0 || length >= 32) return 1;
    // Through unsigned, so 0xFFFFFFFF gives -1 rather than saturating.
    return text[0] == L'-' ? (int)wcstol(text, NULL, 0) : (int)wcstoul(text, NULL, 0);
}

static void HoldWhileFileExists(void)
{
    wchar_t path[MAX_PATH], held[MAX_PATH + 8];
    DWORD length = GetEnvironmentVariableW(L"KORVANA_PATCH_HOLD", path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return;
    if (GetFileAttributesW(path) == INVALID_FILE_ATTRIBUTES) return;
    wsprintfW(held, L"%s.held", path);
    HANDLE marker = CreateFileW(held, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, NULL,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (marker != INVALID_HANDLE_VALUE) CloseHandle(marker);
    for (int waited = 0; waited < 60000 && GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
         waited += 50)
        Sleep(50);
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    (void)instance;
    if (reason == DLL_PROCESS_DETACH && reserved == NULL) Append("unload");
    if (reason == DLL_THREAD_DETACH) HoldWhileFileExists();
    return TRUE;
}
