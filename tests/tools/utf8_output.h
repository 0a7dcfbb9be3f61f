/*
 * Standard output of the test tools: UTF-8 whatever the console code page, with an
 * optional escape of the characters that would break a tab-separated record
 * ("\\", tab, line feed, carriage return and NUL become \\, \t, \n, \r and \0).
 * Each tool sets `out` to its standard output handle first.
 */
#ifndef KORVANA_TESTS_TOOLS_UTF8_OUTPUT_H
#define KORVANA_TESTS_TOOLS_UTF8_OUTPUT_H

#include <windows.h>
#include <stdlib.h>

static HANDLE out;

static void WriteUtf8Escaped(const wchar_t* text, size_t length, int escape)
{
    wchar_t* escaped = malloc((length * 2 + 1) * sizeof(wchar_t));
    if (!escaped) return;
    size_t n = 0;
    for (size_t i = 0; i < length; ++i) {
        wchar_t c = text[i];
        const wchar_t* replacement = NULL;
        if (escape) {
            if (c == L'\\') replacement = L"\\\\";
            else if (c == L'\t') replacement = L"\\t";
            else if (c == L'\n') replacement = L"\\n";
            else if (c == L'\r') replacement = L"\\r";
            else if (c == 0) replacement = L"\\0";
        }
        if (replacement) {
            escaped[n++] = replacement[0];
            escaped[n++] = replacement[1];
        } else {
            escaped[n++] = c;
        }
    }
    int size = n ? WideCharToMultiByte(CP_UTF8, 0, escaped, (int)n, NULL, 0, NULL, NULL) : 0;
    char* bytes = malloc((size_t)size + 1);
    if (bytes && size > 0) {
        WideCharToMultiByte(CP_UTF8, 0, escaped, (int)n, bytes, size, NULL, NULL);
        DWORD written;
        WriteFile(out, bytes, (DWORD)size, &written, NULL);
    }
    free(bytes);
    free(escaped);
}

#endif
