/*
 * loadlib NAME...: loads each library by the name given, with the ordinary search
 * order of a program that does not restrict it, and prints the full path of what was
 * loaded ("NAME -> path", or "NAME -> error N"). Used to show that a library planted
 * beside a program is what an unprotected program would load.
 */
#include <windows.h>
#include <stdio.h>

int wmain(int argc, wchar_t** argv)
{
    for (int i = 1; i < argc; ++i) {
        HMODULE module = LoadLibraryW(argv[i]);
        if (module == NULL) {
            printf("%ls -> error %lu\n", argv[i], GetLastError());
            continue;
        }
        wchar_t path[MAX_PATH];
        DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
        printf("%ls -> %ls\n", argv[i], length ? path : L"?");
    }
    return 0;
}
