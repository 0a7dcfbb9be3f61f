/*
 * planted.dll: a stand-in for a library that an attacker drops beside an installer
 * in a Downloads folder, under the name of a library the installer loads (msi.dll,
 * version.dll, ...). When a process loads it, it leaves a file beside itself named
 * after itself and the process: "<library>.loaded-by-<program file name>", and lets
 * the load go on.
 */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) {
        wchar_t path[2 * MAX_PATH + 16];
        wchar_t program[MAX_PATH];
        DWORD length = GetModuleFileNameW(instance, path, MAX_PATH);
        DWORD programLength = GetModuleFileNameW(NULL, program, MAX_PATH);
        if (length > 0 && length < MAX_PATH && programLength > 0 && programLength < MAX_PATH) {
            const wchar_t* programName = program;
            for (const wchar_t* p = program; *p; ++p)
                if (*p == L'\\' || *p == L'/') programName = p + 1;
            lstrcatW(path, L".loaded-by-");
            lstrcatW(path, programName);
            HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, NULL);
            if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
        }
    }
    return TRUE;
}
