/*
 * launcher: starts one program with an exact Windows command line, waits for it and
 * reports its full 32-bit exit code.
 *
 * `wine prog.exe` hands back only the low 8 bits of a program's exit code and turns
 * every Unix argument into one quoted Windows argument, so neither the command line
 * nor the result of a Windows program survives the trip.  The end-to-end tests run
 * the program under test through this launcher instead.
 *
 * Usage:
 *   launcher [options] -f CMDFILE
 *   launcher [options] -- COMMAND LINE...
 *
 * Options:
 *   -f CMDFILE   the child's command line is the whole content of CMDFILE, UTF-8
 *                (a leading byte-order mark is skipped), taken byte for byte: no
 *                line break is stripped, nothing is re-quoted.
 *   --           the child's command line is the rest of the launcher's own command
 *                line after "--" and the blanks that follow it, verbatim.  (Only
 *                exact when the launcher is itself started from a Windows program;
 *                `wine` re-quotes its arguments.)
 *   -e ENVFILE   environment changes for the child, UTF-8, one per line:
 *                "NAME=value" sets NAME, "-NAME" removes it; empty lines and lines
 *                starting with "#" are ignored.  Line ends may be LF or CRLF.
 *   -d DIR       the child's current directory (default: the launcher's).
 *   -a APP       the application name handed to CreateProcessW (default: none, so
 *                the system takes the program from the command line).
 *   -t MS        give up after MS milliseconds: the child and everything it started
 *                are terminated and the launcher reports a timeout.
 *   -u           unattended: the child runs on a window station of its own, made
 *                afresh without WSF_VISIBLE (as a deployment agent's service in
 *                session 0 has), on its desktop "Default" (STARTUPINFOW.lpDesktop
 *                "<station>\\Default").  Nothing shown there is ever seen, so a box
 *                waits for ever: combine with -t.
 *
 * Output:
 *   stdout  everything the child (and any process that inherits its handles) writes
 *           to its standard output and standard error while it runs, byte for byte.
 *   stderr  the launcher's own report, one line each, ASCII:
 *             "launcher: pid <decimal>"        once the child has started
 *             "launcher: exit-code <decimal>"  the child's GetExitCodeProcess value
 *             "launcher: timeout"              the -t limit was reached
 *             "launcher: error <what> <code>"  a failure of the launcher itself,
 *                                              with the Win32 error code
 *             "launcher: station <name>"        with -u, the station made, before
 *                                              the child starts
 * The launcher's own exit code is the child's (Wine truncates it, hence the report),
 * 255 for its own errors and 254 for a timeout.
 *
 * The child runs in a job object that kills everything in it when the launcher ends,
 * so an abandoned run (a test killed on a hang) leaves no process behind.
 */
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>

static HANDLE stderrHandle;

static void Report(const char* format, ...)
{
    char line[512];
    va_list args;
    va_start(args, format);
    int length = vsnprintf(line, sizeof line - 1, format, args);
    va_end(args);
    if (length < 0) return;
    if (length > (int)sizeof line - 2) length = (int)sizeof line - 2;
    line[length++] = '\n';
    DWORD written;
    WriteFile(stderrHandle, line, (DWORD)length, &written, NULL);
}

static int Fail(const char* what, DWORD code)
{
    Report("launcher: error %s %lu", what, (unsigned long)code);
    return 255;
}

/* Reads a whole file as UTF-8 and returns it as a new wide string (NULL on failure,
 * with the Win32 error in *error). */
static wchar_t* ReadUtf8File(const wchar_t* path, DWORD* error)
{
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        *error = GetLastError();
        return NULL;
    }
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file, &size) || size.QuadPart > 16 * 1024 * 1024) {
        *error = GetLastError() ? GetLastError() : ERROR_FILE_TOO_LARGE;
        CloseHandle(file);
        return NULL;
    }
    DWORD byteCount = (DWORD)size.QuadPart;
    char* bytes = malloc(byteCount + 1);
    DWORD got = 0;
    BOOL ok = bytes && ReadFile(file, bytes, byteCount, &got, NULL) && got == byteCount;
    *error = ok ? 0 : (GetLastError() ? GetLastError() : ERROR_READ_FAULT);
    CloseHandle(file);
    if (!ok) {
        free(bytes);
        return NULL;
    }
    const char* start = bytes;
    if (byteCount >= 3 && (unsigned char)bytes[0] == 0xEF && (unsigned char)bytes[1] == 0xBB &&
        (unsigned char)bytes[2] == 0xBF) {
        start += 3;
        byteCount -= 3;
    }
    int wideCount = byteCount ? MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, start,
                                                    (int)byteCount, NULL, 0)
                              : 0;
    if (byteCount && wideCount == 0) {
        *error = GetLastError();
        free(bytes);
        return NULL;
    }
    wchar_t* text = malloc(((size_t)wideCount + 1) * sizeof(wchar_t));
    if (text && wideCount)
        MultiByteToWideChar(CP_UTF8, 0, start, (int)byteCount, text, wideCount);
    if (text) text[wideCount] = L'\0';
    free(bytes);
    if (!text) *error = ERROR_NOT_ENOUGH_MEMORY;
    return text;
}

/* Applies "NAME=value" / "-NAME" lines to the launcher's environment, which the child
 * inherits.  Returns 0 or a Win32 error code. */
static DWORD ApplyEnvironmentFile(const wchar_t* path)
{
    DWORD error = 0;
    wchar_t* text = ReadUtf8File(path, &error);
    if (!text) return error;
    wchar_t* line = text;
    while (*line) {
        wchar_t* end = line + wcscspn(line, L"\n");
        wchar_t* next = *end ? end + 1 : end;
        if (end > line && end[-1] == L'\r') --end;
        *end = L'\0';
        if (*line == L'-' && line[1]) {
            SetEnvironmentVariableW(line + 1, NULL);
        } else if (*line && *line != L'#') {
            /* The first "=" after the first character: Windows keeps variables such as
             * "=C:" whose names start with one. */
            wchar_t* equals = wcschr(line + 1, L'=');
            if (!equals) {
                error = ERROR_INVALID_PARAMETER;
                break;
            }
            *equals = L'\0';
            if (!SetEnvironmentVariableW(line, equals + 1)) {
                error = GetLastError();
                break;
            }
        }
        line = next;
    }
    free(text);
    return error;
}

/* Finds where the text after a "--" argument starts in the launcher's own command
 * line, following the argument splitting rules of CommandLineToArgvW. */
static const wchar_t* RestAfterDoubleDash(const wchar_t* commandLine)
{
    const wchar_t* p = commandLine;
    /* Argument 0: up to the closing quote, or up to the first blank. */
    if (*p == L'"') {
        ++p;
        while (*p && *p != L'"') ++p;
        if (*p) ++p;
    } else {
        while (*p && *p != L' ' && *p != L'\t') ++p;
    }
    for (;;) {
        while (*p == L' ' || *p == L'\t') ++p;
        if (!*p) return NULL;
        const wchar_t* start = p;
        int quoted = 0;
        while (*p && (quoted || (*p != L' ' && *p != L'\t'))) {
            if (*p == L'\\') {
                size_t slashes = 0;
                while (*p == L'\\') { ++p; ++slashes; }
                if (*p == L'"' && slashes % 2 == 1) ++p; /* escaped quote */
                continue;
            }
            if (*p == L'"') {
                if (quoted && p[1] == L'"') { p += 2; continue; }
                quoted = !quoted;
            }
            ++p;
        }
        if (p - start == 2 && start[0] == L'-' && start[1] == L'-') {
            while (*p == L' ' || *p == L'\t') ++p;
            return p;
        }
    }
}

#ifndef CWF_CREATE_ONLY
#define CWF_CREATE_ONLY 0x00000001
#endif

/* Makes a window station without WSF_VISIBLE and a desktop on it, and writes the
 * desktop's full name for STARTUPINFOW.lpDesktop.  A desktop is made on the calling
 * process's station, so the launcher moves onto the new one for that and back at
 * once.  Both handles stay open while the
 * child runs: the objects vanish with their last handle.  Returns 0 or a Win32 error,
 * with *what naming the step that failed. */
static DWORD CreateUnattendedDesktop(wchar_t* desktopName, size_t size, HWINSTA* station,
                                     HDESK* desktop, const char** what)
{
    wchar_t stationName[64];
    _snwprintf(stationName, 64, L"KorvanaUnattended-%lu-%llu", (unsigned long)GetCurrentProcessId(),
               (unsigned long long)GetTickCount64());
    stationName[63] = L'\0';
    *what = "unattended-station";
    /* Nothing asks for WSF_VISIBLE: the system gives it to the interactive station alone. */
    *station = CreateWindowStationW(stationName, CWF_CREATE_ONLY, WINSTA_ALL_ACCESS, NULL);
    if (!*station) return GetLastError();
    HWINSTA own = GetProcessWindowStation();
    *what = "unattended-switch";
    if (!SetProcessWindowStation(*station)) return GetLastError();
    *what = "unattended-desktop";
    *desktop = CreateDesktopW(L"Default", NULL, NULL, 0, GENERIC_ALL, NULL);
    DWORD error = *desktop ? 0 : GetLastError();
    if (!SetProcessWindowStation(own) && !error) {
        *what = "unattended-switch-back";
        error = GetLastError();
    }
    if (error) return error;
    _snwprintf(desktopName, size, L"%ls\\Default", stationName);
    desktopName[size - 1] = L'\0';
    Report("launcher: station %ls", stationName);
    return 0;
}

int wmain(int argc, wchar_t** argv)
{
    stderrHandle = GetStdHandle(STD_ERROR_HANDLE);
    HANDLE stdoutHandle = GetStdHandle(STD_OUTPUT_HANDLE);

    const wchar_t* commandFile = NULL;
    const wchar_t* environmentFile = NULL;
    const wchar_t* directory = NULL;
    const wchar_t* application = NULL;
    DWORD timeout = INFINITE;
    int useRest = 0, unattended = 0;
    for (int i = 1; i < argc; ++i) {
        const wchar_t* arg = argv[i];
        if (wcscmp(arg, L"--") == 0) {
            useRest = 1;
            break;
        }
        if (wcscmp(arg, L"-u") == 0) {
            unattended = 1;
            continue;
        }
        if (i + 1 >= argc) return Fail("missing-option-value", ERROR_INVALID_PARAMETER);
        if (wcscmp(arg, L"-f") == 0) commandFile = argv[++i];
        else if (wcscmp(arg, L"-e") == 0) environmentFile = argv[++i];
        else if (wcscmp(arg, L"-d") == 0) directory = argv[++i];
        else if (wcscmp(arg, L"-a") == 0) application = argv[++i];
        else if (wcscmp(arg, L"-t") == 0) timeout = (DWORD)wcstoul(argv[++i], NULL, 10);
        else return Fail("unknown-option", ERROR_INVALID_PARAMETER);
    }
    if (!commandFile == !useRest) return Fail("usage", ERROR_INVALID_PARAMETER);

    wchar_t* commandLine = NULL;
    if (commandFile) {
        DWORD error = 0;
        commandLine = ReadUtf8File(commandFile, &error);
        if (!commandLine) return Fail("read-command-file", error);
    } else {
        const wchar_t* rest = RestAfterDoubleDash(GetCommandLineW());
        if (!rest) return Fail("usage", ERROR_INVALID_PARAMETER);
        commandLine = _wcsdup(rest);
    }
    if (environmentFile) {
        DWORD error = ApplyEnvironmentFile(environmentFile);
        if (error) return Fail("environment-file", error);
    }

    /* Only the pipe's write end may reach the child: the launcher's own standard
     * handles are Wine's Unix pipes, and a process that outlived the child while
     * holding one would keep the caller waiting for end of file. */
    SetHandleInformation(GetStdHandle(STD_INPUT_HANDLE), HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(stdoutHandle, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(stderrHandle, HANDLE_FLAG_INHERIT, 0);

    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, NULL, TRUE};
    HANDLE pipeRead, pipeWrite;
    if (!CreatePipe(&pipeRead, &pipeWrite, &inheritable, 1 << 16))
        return Fail("create-pipe", GetLastError());
    SetHandleInformation(pipeRead, HANDLE_FLAG_INHERIT, 0);

    HANDLE job = CreateJobObjectW(NULL, NULL);
    if (job) {
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits;
        ZeroMemory(&limits, sizeof limits);
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
    }

    STARTUPINFOW startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = NULL;
    startup.hStdOutput = pipeWrite;
    startup.hStdError = pipeWrite;
    HWINSTA station = NULL;
    HDESK desktop = NULL;
    wchar_t desktopName[128];
    if (unattended) {
        const char* what = "";
        DWORD error = CreateUnattendedDesktop(desktopName, 128, &station, &desktop, &what);
        if (error) return Fail(what, error);
        startup.lpDesktop = desktopName;
    }
    PROCESS_INFORMATION process;
    if (!CreateProcessW(application, commandLine, NULL, NULL, TRUE, CREATE_SUSPENDED, NULL,
                        directory, &startup, &process))
        return Fail("create-process", GetLastError());
    CloseHandle(pipeWrite);
    if (job && !AssignProcessToJobObject(job, process.hProcess))
        Report("launcher: warning no-job %lu", (unsigned long)GetLastError());
    Report("launcher: pid %lu", (unsigned long)process.dwProcessId);
    ResumeThread(process.hThread);
    CloseHandle(process.hThread);

    /* Relay the child's output while waiting.  The pipe is polled rather than read to
     * its end: a grandchild that inherited the write end may outlive the child. */
    ULONGLONG started = GetTickCount64();
    char buffer[4096];
    int timedOut = 0;
    for (;;) {
        /* Looked at before draining, so that what the child wrote just before it
         * ended is still relayed. */
        int ended = WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0;
        DWORD available = 0;
        while (PeekNamedPipe(pipeRead, NULL, 0, NULL, &available, NULL) && available) {
            DWORD got = 0, written;
            if (!ReadFile(pipeRead, buffer, available < sizeof buffer ? available : sizeof buffer,
                          &got, NULL) || !got)
                break;
            WriteFile(stdoutHandle, buffer, got, &written, NULL);
        }
        if (ended) break;
        if (timeout != INFINITE && GetTickCount64() - started >= timeout) {
            timedOut = 1;
            break;
        }
        WaitForSingleObject(process.hProcess, 20);
    }

    if (timedOut) {
        if (job) TerminateJobObject(job, 1);
        TerminateProcess(process.hProcess, 1);
        Report("launcher: timeout");
        return 254;
    }
    DWORD exitCode = 0;
    if (!GetExitCodeProcess(process.hProcess, &exitCode)) return Fail("exit-code", GetLastError());
    Report("launcher: exit-code %lu", (unsigned long)exitCode);
    if (desktop) CloseDesktop(desktop);
    if (station) CloseWindowStation(station);
    CloseHandle(process.hProcess);
    CloseHandle(pipeRead);
    free(commandLine);
    return (int)exitCode;
}
