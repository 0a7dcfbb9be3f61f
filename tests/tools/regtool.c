/*
 * regtool: reads registry keys for the end-to-end tests and prints them as UTF-8.
 * (Wine's reg.exe prints through the console code page, which turns Cyrillic into
 * question marks.) Several keys in one run spare the tests a Wine process start each.
 *
 * Usage: regtool [-32|-64] KEY [[-32|-64] KEY ...]
 *   KEY   ROOT\path, ROOT one of HKLM, HKCU, HKCR, HKU or their long names
 *   -32, -64  the 32-bit or 64-bit view (KEY_WOW64_32KEY / KEY_WOW64_64KEY) of the
 *             KEY that follows
 *
 * Output, one record a line, fields separated by tabs; texts escape "\\", tab, line
 * feed, carriage return and NUL as \\, \t, \n, \r and \0. Each key, in the order
 * given, begins with
 *   key    <n> <1|0>             n counts the keys from 0; 1: it exists, 0: it does not
 * followed, when it exists, by
 *   value  <name> <type> <data>   type as REG_SZ, REG_DWORD, ...; data: texts as they
 *                                 are (REG_MULTI_SZ items separated by \0), numbers in
 *                                 unsigned decimal, anything else in hexadecimal
 *   subkey <name>
 * The default value has an empty name.
 * Exit codes: 0 every key exists; 1 one does not; 2 usage; 3 another failure (the
 * keys after it are not read).
 */
#include <windows.h>
#include <stdlib.h>
#include <wchar.h>

#include "utf8_output.h"

static void WriteText(const wchar_t* text) { WriteUtf8Escaped(text, wcslen(text), 0); }

static const wchar_t* TypeName(DWORD type)
{
    switch (type) {
    case REG_NONE: return L"REG_NONE";
    case REG_SZ: return L"REG_SZ";
    case REG_EXPAND_SZ: return L"REG_EXPAND_SZ";
    case REG_BINARY: return L"REG_BINARY";
    case REG_DWORD: return L"REG_DWORD";
    case REG_DWORD_BIG_ENDIAN: return L"REG_DWORD_BIG_ENDIAN";
    case REG_LINK: return L"REG_LINK";
    case REG_MULTI_SZ: return L"REG_MULTI_SZ";
    case REG_QWORD: return L"REG_QWORD";
    default: return L"REG_UNKNOWN";
    }
}

static HKEY RootKey(const wchar_t* name, size_t length)
{
    static const struct { const wchar_t* name; HKEY key; } roots[] = {
        {L"HKLM", HKEY_LOCAL_MACHINE}, {L"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
        {L"HKCU", HKEY_CURRENT_USER},  {L"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
        {L"HKCR", HKEY_CLASSES_ROOT},  {L"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
        {L"HKU", HKEY_USERS},          {L"HKEY_USERS", HKEY_USERS},
    };
    for (size_t i = 0; i < sizeof roots / sizeof roots[0]; ++i)
        if (wcslen(roots[i].name) == length && _wcsnicmp(roots[i].name, name, length) == 0)
            return roots[i].key;
    return NULL;
}

static void PrintValue(const wchar_t* name, DWORD nameLength, DWORD type, const BYTE* data,
                       DWORD size)
{
    WriteText(L"value\t");
    WriteUtf8Escaped(name, nameLength, 1);
    WriteText(L"\t");
    WriteText(TypeName(type));
    WriteText(L"\t");
    wchar_t number[32];
    if (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ || type == REG_LINK) {
        size_t length = size / sizeof(wchar_t);
        const wchar_t* text = (const wchar_t*)data;
        /* Stored terminators are not part of the text; the items of a REG_MULTI_SZ
         * stay separated by their NULs. */
        while (length && text[length - 1] == 0) --length;
        WriteUtf8Escaped(text, length, 1);
    } else if (type == REG_DWORD && size == 4) {
        _snwprintf(number, 32, L"%lu", (unsigned long)*(const DWORD*)data);
        WriteText(number);
    } else if (type == REG_QWORD && size == 8) {
        _snwprintf(number, 32, L"%llu", *(const unsigned long long*)data);
        WriteText(number);
    } else {
        for (DWORD i = 0; i < size; ++i) {
            _snwprintf(number, 32, L"%02x", data[i]);
            WriteText(number);
        }
    }
    WriteText(L"\n");
}

/* Prints one key's records; returns 0 when it exists, 1 when it does not, 3 on a
 * failure. */
static int PrintKey(int number, REGSAM view, const wchar_t* path)
{
    const wchar_t* slash = wcschr(path, L'\\');
    size_t rootLength = slash ? (size_t)(slash - path) : wcslen(path);
    HKEY root = RootKey(path, rootLength);
    if (!root) return 3;

    HKEY key;
    LONG status = RegOpenKeyExW(root, slash ? slash + 1 : L"", 0, KEY_READ | view, &key);
    wchar_t header[48];
    _snwprintf(header, 48, L"key\t%d\t%d\n", number, status == ERROR_SUCCESS);
    if (status == ERROR_FILE_NOT_FOUND) { WriteText(header); return 1; }
    if (status != ERROR_SUCCESS) return 3;
    WriteText(header);

    DWORD maxName = 0, maxData = 0, maxSubkey = 0;
    RegQueryInfoKeyW(key, NULL, NULL, NULL, NULL, &maxSubkey, NULL, NULL, &maxName, &maxData,
                     NULL, NULL);
    wchar_t* name = malloc(((size_t)maxName + maxSubkey + 2) * sizeof(wchar_t));
    BYTE* data = malloc((size_t)maxData + 2);
    int result = 0;
    if (!name || !data) result = 3;
    for (DWORD index = 0; result == 0; ++index) {
        DWORD nameLength = maxName + maxSubkey + 1, size = maxData, type = 0;
        status = RegEnumValueW(key, index, name, &nameLength, NULL, &type, data, &size);
        if (status == ERROR_NO_MORE_ITEMS) break;
        if (status != ERROR_SUCCESS) { result = 3; break; }
        PrintValue(name, nameLength, type, data, size);
    }
    for (DWORD index = 0; result == 0; ++index) {
        DWORD nameLength = maxName + maxSubkey + 1;
        status = RegEnumKeyExW(key, index, name, &nameLength, NULL, NULL, NULL, NULL);
        if (status == ERROR_NO_MORE_ITEMS) break;
        if (status != ERROR_SUCCESS) { result = 3; break; }
        WriteText(L"subkey\t");
        WriteUtf8Escaped(name, nameLength, 1);
        WriteText(L"\n");
    }
    free(name);
    free(data);
    RegCloseKey(key);
    return result;
}

int wmain(int argc, wchar_t** argv)
{
    out = GetStdHandle(STD_OUTPUT_HANDLE);
    /* The whole command line is checked before anything is printed. */
    for (int i = 1; i < argc; ++i) {
        if (wcscmp(argv[i], L"-32") == 0 || wcscmp(argv[i], L"-64") == 0) ++i;
        if (i >= argc) return 2;
        const wchar_t* slash = wcschr(argv[i], L'\\');
        if (!RootKey(argv[i], slash ? (size_t)(slash - argv[i]) : wcslen(argv[i]))) return 2;
    }
    if (argc < 2) return 2;

    int result = 0, number = 0;
    for (int i = 1; i < argc; ++i, ++number) {
        REGSAM view = 0;
        if (wcscmp(argv[i], L"-32") == 0) { view = KEY_WOW64_32KEY; ++i; }
        else if (wcscmp(argv[i], L"-64") == 0) { view = KEY_WOW64_64KEY; ++i; }
        int status = PrintKey(number, view, argv[i]);
        if (status == 3) return 3;
        if (status == 1) result = 1;
    }
    return result;
}
