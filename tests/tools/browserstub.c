/*
 * browserstub: a stand-in for the browser installer that the completion dialog
 * downloads and starts. The suite serves it (signed, unsigned, tampered, truncated)
 * from the local HTTPS server and looks at what the bootstrapper did with it.
 *
 * Each run first tries, as any process of the user could, to put another program in
 * its own file's place: to rename the file (renamed back at once if that worked) and
 * to open it for writing (nothing written). Then it appends one line to the file
 * named by KORVANA_STUB_RECORD (nothing when unset), UTF-8, fields separated by tabs,
 * with "\\", tab, line feed, carriage return escaped as \\\\, \\t, \\n, \\r:
 *     <own module path> TAB <current directory> TAB <whole command line> TAB
 *     rename <refused|done>, overwrite <refused|done> TAB
 *     <the other entries of the folder it runs from, in the order listed, "/" between>
 * The last is what the installer would find beside itself, where Windows looks for
 * its DLLs first.
 * then sleeps KORVANA_STUB_SLEEP_MS milliseconds (default none) and exits with
 * KORVANA_STUB_EXIT (decimal, or hexadecimal with 0x; default 0).
 *
 * A GUI program, like the installer it stands for: started from a GUI program it
 * gets no console window.
 */
#include <windows.h>
#include <stdlib.h>
#include <string.h>

static size_t EscapeField(const wchar_t* text, wchar_t* to)
{
    size_t n = 0;
    for (; *text; ++text) {
        const wchar_t* replacement = NULL;
        switch (*text) {
            case L'\\': replacement = L"\\\\"; break;
            case L'\t': replacement = L"\\t"; break;
            case L'\n': replacement = L"\\n"; break;
            case L'\r': replacement = L"\\r"; break;
        }
        if (replacement) {
            to[n++] = replacement[0];
            to[n++] = replacement[1];
        } else {
            to[n++] = *text;
        }
    }
    return n;
}

static wchar_t* Environment(const wchar_t* name)
{
    DWORD size = GetEnvironmentVariableW(name, NULL, 0);
    if (size == 0) return NULL;
    wchar_t* value = malloc(size * sizeof(wchar_t));
    if (value && GetEnvironmentVariableW(name, value, size) != size - 1) {
        free(value);
        return NULL;
    }
    return value;
}

// What became of the two attempts on the program's own file.
static const wchar_t* Tamper(const wchar_t* module)
{
    wchar_t moved[32768 + 8];
    wsprintfW(moved, L"%s.moved", module);
    BOOL renamed = MoveFileW(module, moved);
    if (renamed) MoveFileW(moved, module);
    HANDLE file = CreateFileW(module, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    BOOL opened = file != INVALID_HANDLE_VALUE;
    if (opened) CloseHandle(file);
    if (renamed) return opened ? L"rename done, overwrite done" : L"rename done, overwrite refused";
    return opened ? L"rename refused, overwrite done" : L"rename refused, overwrite refused";
}

// The names in the folder of `module` other than its own (and "." and ".."), with "/"
// between them: a character no file name holds. Empty for none; the caller frees it.
static wchar_t* Neighbours(const wchar_t* module)
{
    size_t capacity = 1, length = 0;
    wchar_t* names = calloc(capacity, sizeof(wchar_t));
    const wchar_t* slash = wcsrchr(module, L'\\');
    if (!names || !slash) return names;
    wchar_t pattern[32768 + 4];
    size_t folderLength = (size_t)(slash - module) + 1;  /* with the backslash */
    memcpy(pattern, module, folderLength * sizeof(wchar_t));
    pattern[folderLength] = L'*';
    pattern[folderLength + 1] = 0;
    WIN32_FIND_DATAW data;
    HANDLE search = FindFirstFileW(pattern, &data);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        if (!wcscmp(data.cFileName, L".") || !wcscmp(data.cFileName, L"..") ||
            !lstrcmpiW(data.cFileName, slash + 1))
            continue;
        size_t add = wcslen(data.cFileName) + 1;
        wchar_t* grown = realloc(names, (capacity + add) * sizeof(wchar_t));
        if (!grown) break;
        names = grown;
        capacity += add;
        if (length) names[length++] = L'/';
        wcscpy(names + length, data.cFileName);
        length += add - 1;
    } while (FindNextFileW(search, &data));
    FindClose(search);
    return names;
}

static void Record(const wchar_t* recordPath)
{
    wchar_t module[32768];
    wchar_t folder[32768];
    DWORD moduleLength = GetModuleFileNameW(NULL, module, 32768);
    if (moduleLength == 0 || moduleLength >= 32768) module[0] = 0;
    const wchar_t* tampering = module[0] ? Tamper(module) : L"";
    wchar_t* neighbours = Neighbours(module);
    if (!neighbours) return;
    DWORD folderLength = GetCurrentDirectoryW(32768, folder);
    if (folderLength == 0 || folderLength >= 32768) folder[0] = 0;
    const wchar_t* commandLine = GetCommandLineW();
    size_t capacity = 2 * (wcslen(module) + wcslen(folder) + wcslen(commandLine) + wcslen(neighbours)) +
                      wcslen(tampering) + 6;
    wchar_t* line = malloc(capacity * sizeof(wchar_t));
    if (!line) {
        free(neighbours);
        return;
    }
    size_t n = EscapeField(module, line);
    line[n++] = L'\t';
    n += EscapeField(folder, line + n);
    line[n++] = L'\t';
    n += EscapeField(commandLine, line + n);
    line[n++] = L'\t';
    n += EscapeField(tampering, line + n);
    line[n++] = L'\t';
    n += EscapeField(neighbours, line + n);
    free(neighbours);
    line[n++] = L'\n';
    int size = WideCharToMultiByte(CP_UTF8, 0, line, (int)n, NULL, 0, NULL, NULL);
    char* bytes = malloc((size_t)size);
    if (bytes) {
        WideCharToMultiByte(CP_UTF8, 0, line, (int)n, bytes, size, NULL, NULL);
        // One write in append mode: concurrent runs never interleave within a line.
        HANDLE file = CreateFileW(recordPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  NULL, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
        if (file != INVALID_HANDLE_VALUE) {
            DWORD written;
            WriteFile(file, bytes, (DWORD)size, &written, NULL);
            CloseHandle(file);
        }
        free(bytes);
    }
    free(line);
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, PWSTR commandLine, int show)
{
    (void)instance;
    (void)previous;
    (void)commandLine;
    (void)show;
    wchar_t* recordPath = Environment(L"KORVANA_STUB_RECORD");
    if (recordPath && *recordPath) Record(recordPath);
    wchar_t* sleep = Environment(L"KORVANA_STUB_SLEEP_MS");
    if (sleep) Sleep((DWORD)wcstoul(sleep, NULL, 10));
    wchar_t* code = Environment(L"KORVANA_STUB_EXIT");
    return code ? (int)wcstoul(code, NULL, 0) : 0;
}
