/*
 * httpget: one GET through WinINet, the way the bootstrapper's download makes it
 * (InternetOpenW with the preconfigured proxy setting, InternetOpenUrlW with a fresh
 * reload and no cache write), so the end-to-end suite can check the Wine prefix's
 * HTTPS set-up (trusted test CA, local server) without the program under test.
 *
 * Usage: httpget [-a AGENT] [-n MAXBYTES] URL [OUTFILE]
 *   -a AGENT     the user agent (default "Korvana Setup")
 *   -n MAXBYTES  stop reading once this many body bytes have arrived and close the
 *                request, as a cancelled download does
 *   OUTFILE      where the body goes (default: nowhere)
 *
 * Output, one "name\tvalue" line each, as far as the request got:
 *   open-error <Win32 error>       InternetOpenUrlW failed (12045: untrusted CA, ...)
 *   status <code>                  the HTTP status
 *   content-disposition <text>     the header, if the response has one
 *   read-error <Win32 error>       InternetReadFile failed mid-body
 *   bytes <count>                  body bytes read
 *   end <eof|stopped|error>        how reading ended
 *   seconds <wall time>            from InternetOpenW to the end of reading
 *                                  (QueryPerformanceCounter; bench/download)
 * Exit codes: 0 the body was read to its end (or to MAXBYTES), 1 the request failed
 * to open, 2 usage, 3 reading failed, 4 the output file failed.
 */
#include <windows.h>
#include <wininet.h>
#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>

#include "utf8_output.h"

static void Line(const wchar_t* name, const wchar_t* value)
{
    WriteUtf8Escaped(name, wcslen(name), 0);
    WriteUtf8Escaped(L"\t", 1, 0);
    WriteUtf8Escaped(value, wcslen(value), 1);
    WriteUtf8Escaped(L"\n", 1, 0);
}

static void Number(const wchar_t* name, unsigned long long value)
{
    wchar_t text[32];
    swprintf(text, 32, L"%llu", value);
    Line(name, text);
}

int wmain(int argc, wchar_t** argv)
{
    out = GetStdHandle(STD_OUTPUT_HANDLE);
    const wchar_t* agent = L"Korvana Setup";
    unsigned long long maxBytes = 0;
    int i = 1;
    for (; i + 1 < argc && argv[i][0] == L'-'; i += 2) {
        if (wcscmp(argv[i], L"-a") == 0) agent = argv[i + 1];
        else if (wcscmp(argv[i], L"-n") == 0) maxBytes = _wcstoui64(argv[i + 1], NULL, 10);
        else break;
    }
    if (i >= argc || argc - i > 2) {
        fprintf(stderr, "usage: httpget [-a AGENT] [-n MAXBYTES] URL [OUTFILE]\n");
        return 2;
    }
    const wchar_t* url = argv[i];
    HANDLE file = INVALID_HANDLE_VALUE;
    if (i + 1 < argc) {
        file = CreateFileW(argv[i + 1], GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, NULL);
        if (file == INVALID_HANDLE_VALUE) return 4;
    }
    LARGE_INTEGER frequency, start, stop;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    HINTERNET session = InternetOpenW(agent, INTERNET_OPEN_TYPE_PRECONFIG, NULL, NULL, 0);
    if (session == NULL) {
        Number(L"open-error", GetLastError());
        return 1;
    }
    HINTERNET request = InternetOpenUrlW(session, url, NULL, 0,
                                         INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0);
    if (request == NULL) {
        Number(L"open-error", GetLastError());
        InternetCloseHandle(session);
        return 1;
    }
    DWORD status = 0;
    DWORD size = sizeof status;
    if (HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, NULL))
        Number(L"status", status);
    wchar_t disposition[1024];
    size = sizeof disposition;
    if (HttpQueryInfoW(request, HTTP_QUERY_CONTENT_DISPOSITION, disposition, &size, NULL))
        Line(L"content-disposition", disposition);

    static BYTE buffer[64 * 1024];
    unsigned long long total = 0;
    const wchar_t* end = L"eof";
    int code = 0;
    for (;;) {
        DWORD read = 0;
        if (!InternetReadFile(request, buffer, sizeof buffer, &read)) {
            Number(L"read-error", GetLastError());
            end = L"error";
            code = 3;
            break;
        }
        if (read == 0) break;
        total += read;
        DWORD written;
        if (file != INVALID_HANDLE_VALUE && (!WriteFile(file, buffer, read, &written, NULL) || written != read)) {
            code = 4;
            end = L"error";
            break;
        }
        if (maxBytes && total >= maxBytes) {
            end = L"stopped";
            break;
        }
    }
    QueryPerformanceCounter(&stop);
    Number(L"bytes", total);
    Line(L"end", end);
    wchar_t seconds[32];
    swprintf(seconds, 32, L"%.6f", (double)(stop.QuadPart - start.QuadPart) / (double)frequency.QuadPart);
    Line(L"seconds", seconds);
    InternetCloseHandle(request);
    InternetCloseHandle(session);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    return code;
}
