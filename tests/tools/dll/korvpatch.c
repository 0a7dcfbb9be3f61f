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

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    (void)instance;
    if (reason == DLL_PROCESS_DETACH && reserved == NULL) Append("unload");
    return TRUE;
}
