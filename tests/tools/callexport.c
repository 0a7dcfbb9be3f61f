/*
 * callexport [-keep] DLL EXPORT: loads a library, calls an export that takes no
 * arguments and returns an int, prints "result\t<value>", and frees the library
 * again (unless -keep). Checks the patch library stand-in the way the bootstrapper
 * calls it. Exit codes: 0 called, 1 the library did not load, 2 usage, 3 no such
 * export.
 */
#include <windows.h>
#include <stdio.h>

int wmain(int argc, wchar_t** argv)
{
    int keep = argc > 1 && wcscmp(argv[1], L"-keep") == 0;
    if (argc != 3 + keep) {
        fprintf(stderr, "usage: callexport [-keep] DLL EXPORT\n");
        return 2;
    }
    HMODULE library = LoadLibraryW(argv[1 + keep]);
    if (library == NULL) {
        printf("load-error\t%lu\n", GetLastError());
        return 1;
    }
    char name[256];
    WideCharToMultiByte(CP_ACP, 0, argv[2 + keep], -1, name, sizeof name, NULL, NULL);
    typedef int (*Entry)(void);
    Entry entry = (Entry)(void*)GetProcAddress(library, name);
    if (entry == NULL) {
        printf("no-export\t%lu\n", GetLastError());
        return 3;
    }
    printf("result\t%d\n", entry());
    fflush(stdout);
    if (!keep) FreeLibrary(library);
    return 0;
}
