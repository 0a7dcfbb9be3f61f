/*
 * loadmsi: the least a program that installs through msi.dll can cost to start.
 * bench/install-overhead times it beside the bootstrapper's own start-up.
 *
 * A GUI program, like the bootstrapper: it loads msi.dll from the System32 folder by
 * full path, as the bootstrapper does, and exits. Exit code 0 when msi.dll
 * loaded, else the error of the step that failed (never 0), so that a bench never
 * takes a program that did less for the floor.
 */
#include <windows.h>

static int Failure(void)
{
    DWORD error = GetLastError();
    return error ? (int)error : 1;
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, PWSTR commandLine, int show)
{
    (void)instance;
    (void)previous;
    (void)commandLine;
    (void)show;
    static const wchar_t name[] = L"\\msi.dll";
    wchar_t path[MAX_PATH];
    UINT length = GetSystemDirectoryW(path, MAX_PATH);
    if (length == 0) return Failure();
    if (length + sizeof name / sizeof name[0] > MAX_PATH) return 1;
    lstrcpyW(path + length, name);
    // Its dependencies are then looked for in its own folder (System32) first.
    return LoadLibraryExW(path, NULL, LOAD_WITH_ALTERED_SEARCH_PATH) ? 0 : Failure();
}
