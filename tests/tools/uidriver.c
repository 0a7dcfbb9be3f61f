/*
 * uidriver: finds top-level windows, reads their controls and presses buttons, for
 * the end-to-end tests of the setup program under Wine.
 *
 * Usage:  uidriver [options] COMMAND [arguments]
 *
 * Commands:
 *   list                 every visible top-level window (-a: hidden ones too)
 *   find WINDOW          waits until WINDOW exists and prints it
 *   texts WINDOW         prints WINDOW and then every control in it (all levels)
 *   press WINDOW ID      clicks the control ID (BM_CLICK), as a mouse click would;
 *                        refuses a disabled or hidden control
 *   command WINDOW ID    posts WM_COMMAND (ID, BN_CLICKED) to WINDOW itself
 *   check WINDOW ID 0|1  clicks the check box or radio button ID unless it already
 *                        has that state
 *   close WINDOW         posts WM_CLOSE to WINDOW
 *   gone WINDOW          waits until no window matches WINDOW any more
 *   iconhash WINDOW      hashes the pixels on screen of the first icon control in
 *                        WINDOW (compare two boxes' icons; needs them unobscured)
 *   rect WINDOW          prints where WINDOW lies on the screen, its frame included
 *                        (to cut a screenshot down to the window)
 *   active WINDOW        has WINDOW draw its caption bar as the active window's
 *                        (WM_NCACTIVATE): Wine without a window manager leaves the
 *                        window in front drawn as an inactive one
 *
 * WINDOW selects a top-level window that is visible (with -a also hidden ones):
 *   hex:HEX              the caption whose UTF-8 bytes are HEX (immune to the way
 *                        `wine` converts Unix arguments through the locale)
 *   hwnd:HEX             that window handle
 *   *                    any caption
 *   anything else        exactly that caption (as `wine` delivered the argument)
 * Options narrowing the choice: -c CLASS (for example "#32770", a dialog or message
 * box), -p PID (windows of that process; the wait ends early when it has ended).
 * -w MS is how long WINDOW is waited for (default 10000; "gone" waits as long).
 *
 * Output: UTF-8, one record a line, fields separated by tabs; in texts, "\\", tab,
 * line feed and carriage return are written as \\, \t, \n and \r.
 *   window  <hwnd> <pid> <visible 0|1> <owner hwnd, 0 for none> <exstyle> <class>
 *           <caption>
 *   control <hwnd> <id> <class> <enabled 0|1> <visible 0|1> <check> <style>
 *           <width>x<height> <image> <text>
 *           id in unsigned decimal (a message box's text has 65535); check is
 *           0, 1 or 2 for check boxes and radio buttons, "-" for anything else;
 *           style is the window style in hexadecimal; image is 1 or 0 for icon and
 *           bitmap statics (whether they hold a picture), "-" for anything else.
 *   iconhash <id> <width>x<height> <fnv-1a 64-bit hash in hexadecimal>
 *   rect    <left> <top> <width> <height>   in screen pixels
 *
 * Exit codes: 0 done; 1 no such window in time (or, for gone, still there);
 * 2 usage; 3 no such control; 4 the control refused (disabled, hidden, no reply).
 */
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>

#include "utf8_output.h"

enum { EXIT_OK = 0, EXIT_NO_WINDOW = 1, EXIT_USAGE = 2, EXIT_NO_CONTROL = 3, EXIT_REFUSED = 4 };

/* ---- output ------------------------------------------------------------------ */

static void WriteUtf8(const wchar_t* text, int escape) { WriteUtf8Escaped(text, wcslen(text), escape); }

static void Print(const wchar_t* format, ...)
{
    wchar_t line[1024];
    va_list args;
    va_start(args, format);
    _vsnwprintf(line, sizeof line / sizeof line[0] - 1, format, args);
    va_end(args);
    line[sizeof line / sizeof line[0] - 1] = L'\0';
    WriteUtf8(line, 0);
}

/* ---- window texts -------------------------------------------------------------- */

/* A window's text as a new string; asks the owning thread (WM_GETTEXT) so that
 * controls of other processes answer too, and falls back to the stored text. */
static wchar_t* WindowText(HWND window)
{
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &length))
        length = 0;
    size_t capacity = (size_t)length + 1 < 256 ? 256 : (size_t)length + 1;
    wchar_t* text = calloc(capacity + 1, sizeof(wchar_t));
    if (!text) return NULL;
    DWORD_PTR got = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, capacity, (LPARAM)text, SMTO_ABORTIFHUNG, 2000,
                             &got))
        InternalGetWindowText(window, text, (int)capacity);
    text[capacity] = L'\0';
    return text;
}

static void PrintWindowRecord(HWND window)
{
    wchar_t className[256] = L"";
    GetClassNameW(window, className, 256);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    wchar_t* caption = WindowText(window);
    Print(L"window\t%lx\t%lu\t%d\t%lx\t%lx\t", (unsigned long)(ULONG_PTR)window,
          (unsigned long)pid, IsWindowVisible(window) ? 1 : 0,
          (unsigned long)(ULONG_PTR)GetWindow(window, GW_OWNER),
          (unsigned long)(DWORD)GetWindowLongW(window, GWL_EXSTYLE));
    WriteUtf8(className, 1);
    WriteUtf8(L"\t", 0);
    WriteUtf8(caption ? caption : L"", 1);
    WriteUtf8(L"\n", 0);
    free(caption);
}

/* ---- selecting windows ------------------------------------------------------- */

typedef struct {
    const wchar_t* caption; /* NULL: any */
    HWND handle;            /* non-NULL: exactly this one */
    const wchar_t* className;
    DWORD pid;
    int includeHidden;
} Selector;

typedef struct {
    const Selector* selector;
    HWND found;
    int listAll; /* print every match instead of stopping at the first */
} Search;

static int Matches(const Selector* selector, HWND window)
{
    if (selector->handle && window != selector->handle) return 0;
    if (!selector->includeHidden && !IsWindowVisible(window)) return 0;
    if (selector->pid) {
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        if (pid != selector->pid) return 0;
    }
    if (selector->className) {
        wchar_t className[256] = L"";
        GetClassNameW(window, className, 256);
        if (_wcsicmp(className, selector->className) != 0) return 0;
    }
    if (selector->caption) {
        int length = GetWindowTextLengthW(window);
        wchar_t* caption = calloc((size_t)length + 2, sizeof(wchar_t));
        if (!caption) return 0;
        GetWindowTextW(window, caption, length + 1);
        int same = wcscmp(caption, selector->caption) == 0;
        free(caption);
        if (!same) return 0;
    }
    return 1;
}

static BOOL CALLBACK SearchWindow(HWND window, LPARAM parameter)
{
    Search* search = (Search*)parameter;
    if (!Matches(search->selector, window)) return TRUE;
    if (search->listAll) {
        PrintWindowRecord(window);
        return TRUE;
    }
    search->found = window;
    return FALSE;
}

static HWND FindOnce(const Selector* selector)
{
    if (selector->handle) return IsWindow(selector->handle) && Matches(selector, selector->handle)
                                     ? selector->handle
                                     : NULL;
    Search search = {selector, NULL, 0};
    EnumWindows(SearchWindow, (LPARAM)&search);
    return search.found;
}

/* Waits for a matching window; with a process filter, gives up as soon as that
 * process has ended (it will show nothing more). */
static HWND WaitForWindow(const Selector* selector, DWORD timeout)
{
    HANDLE process = selector->pid ? OpenProcess(SYNCHRONIZE, FALSE, selector->pid) : NULL;
    ULONGLONG started = GetTickCount64();
    HWND window = NULL;
    for (;;) {
        window = FindOnce(selector);
        if (window || GetTickCount64() - started >= timeout) break;
        if (process && WaitForSingleObject(process, 0) == WAIT_OBJECT_0) {
            window = FindOnce(selector);
            break;
        }
        Sleep(50);
    }
    if (process) CloseHandle(process);
    return window;
}

static int WaitUntilGone(const Selector* selector, DWORD timeout)
{
    ULONGLONG started = GetTickCount64();
    while (FindOnce(selector)) {
        if (GetTickCount64() - started >= timeout) return 0;
        Sleep(50);
    }
    return 1;
}

/* Decodes hex:... into a wide caption. */
static wchar_t* DecodeHexCaption(const wchar_t* hex)
{
    size_t digits = wcslen(hex);
    if (digits % 2) return NULL;
    char* bytes = malloc(digits / 2 + 1);
    if (!bytes) return NULL;
    for (size_t i = 0; i < digits / 2; ++i) {
        wchar_t pair[3] = {hex[2 * i], hex[2 * i + 1], 0};
        wchar_t* end;
        unsigned long value = wcstoul(pair, &end, 16);
        if (*end || !iswxdigit(pair[0]) || !iswxdigit(pair[1])) {
            free(bytes);
            return NULL;
        }
        bytes[i] = (char)value;
    }
    int count = digits ? MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes,
                                             (int)(digits / 2), NULL, 0)
                       : 0;
    wchar_t* text = calloc((size_t)count + 1, sizeof(wchar_t));
    if (text && count)
        MultiByteToWideChar(CP_UTF8, 0, bytes, (int)(digits / 2), text, count);
    free(bytes);
    if (digits && count == 0) {
        free(text);
        return NULL;
    }
    return text;
}

static int ParseWindowArgument(const wchar_t* argument, Selector* selector)
{
    if (wcsncmp(argument, L"hex:", 4) == 0) {
        selector->caption = DecodeHexCaption(argument + 4);
        return selector->caption != NULL;
    }
    if (wcsncmp(argument, L"hwnd:", 5) == 0) {
        selector->handle = (HWND)(ULONG_PTR)wcstoull(argument + 5, NULL, 16);
        return selector->handle != NULL;
    }
    if (wcscmp(argument, L"*") == 0) return 1;
    selector->caption = argument;
    return 1;
}

/* ---- controls ------------------------------------------------------------------ */

static int IsCheckable(HWND control)
{
    wchar_t className[64] = L"";
    GetClassNameW(control, className, 64);
    if (_wcsicmp(className, L"Button") != 0) return 0;
    LONG type = GetWindowLongW(control, GWL_STYLE) & BS_TYPEMASK;
    return type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_3STATE ||
           type == BS_AUTO3STATE || type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON;
}

static LRESULT CheckState(HWND control)
{
    DWORD_PTR state = 0;
    SendMessageTimeoutW(control, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 2000, &state);
    return (LRESULT)state;
}

static BOOL CALLBACK PrintControl(HWND control, LPARAM unused)
{
    (void)unused;
    wchar_t className[256] = L"";
    GetClassNameW(control, className, 256);
    unsigned id = (unsigned)(GetWindowLongPtrW(control, GWLP_ID) & 0xFFFFFFFFu);
    wchar_t check[8] = L"-";
    if (IsCheckable(control)) _snwprintf(check, 8, L"%d", (int)CheckState(control));
    /* Whether a picture control shows a picture: a message box without an icon keeps
     * its (empty) icon control. */
    wchar_t image[8] = L"-";
    LONG style = GetWindowLongW(control, GWL_STYLE);
    if (_wcsicmp(className, L"Static") == 0 &&
        ((style & SS_TYPEMASK) == SS_ICON || (style & SS_TYPEMASK) == SS_BITMAP)) {
        DWORD_PTR handle = 0;
        SendMessageTimeoutW(control, STM_GETIMAGE,
                            (style & SS_TYPEMASK) == SS_ICON ? IMAGE_ICON : IMAGE_BITMAP, 0,
                            SMTO_ABORTIFHUNG, 2000, &handle);
        _snwprintf(image, 8, L"%d", handle ? 1 : 0);
    }
    RECT rect;
    GetWindowRect(control, &rect);
    wchar_t* text = WindowText(control);
    Print(L"control\t%lx\t%u\t", (unsigned long)(ULONG_PTR)control, id);
    WriteUtf8(className, 1);
    Print(L"\t%d\t%d\t%s\t%lx\t%ldx%ld\t%s\t", IsWindowEnabled(control) ? 1 : 0,
          IsWindowVisible(control) ? 1 : 0, check, (unsigned long)(DWORD)style,
          (long)(rect.right - rect.left), (long)(rect.bottom - rect.top), image);
    WriteUtf8(text ? text : L"", 1);
    WriteUtf8(L"\n", 0);
    free(text);
    return TRUE;
}

typedef struct {
    unsigned id;
    HWND found;
} ControlSearch;

static BOOL CALLBACK FindControlById(HWND control, LPARAM parameter)
{
    ControlSearch* search = (ControlSearch*)parameter;
    if ((unsigned)(GetWindowLongPtrW(control, GWLP_ID) & 0xFFFFFFFFu) != search->id) return TRUE;
    search->found = control;
    return FALSE;
}

static HWND FindControl(HWND window, unsigned id)
{
    ControlSearch search = {id, NULL};
    EnumChildWindows(window, FindControlById, (LPARAM)&search);
    return search.found;
}

static BOOL CALLBACK FindIconControl(HWND control, LPARAM parameter)
{
    wchar_t className[64] = L"";
    GetClassNameW(control, className, 64);
    if (_wcsicmp(className, L"Static") != 0 ||
        (GetWindowLongW(control, GWL_STYLE) & SS_TYPEMASK) != SS_ICON || !IsWindowVisible(control))
        return TRUE;
    *(HWND*)parameter = control;
    return FALSE;
}

static int Click(HWND control)
{
    if (!IsWindowEnabled(control) || !IsWindowVisible(control)) return EXIT_REFUSED;
    DWORD_PTR unused;
    if (!SendMessageTimeoutW(control, BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, 5000, &unused))
        return EXIT_REFUSED;
    return EXIT_OK;
}

/* The screen pixels of the window's first visible icon control, hashed: the icon of
 * another process cannot be read through its handle. */
static int IconHash(HWND window)
{
    HWND icon = NULL;
    EnumChildWindows(window, FindIconControl, (LPARAM)&icon);
    if (!icon) return EXIT_NO_CONTROL;
    RECT rect;
    GetWindowRect(icon, &rect);
    int width = rect.right - rect.left, height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0) return EXIT_REFUSED;
    HDC screen = GetDC(NULL);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info;
    ZeroMemory(&info, sizeof info);
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = NULL;
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, NULL, 0);
    int result = EXIT_REFUSED;
    if (bitmap && bits) {
        HGDIOBJ previous = SelectObject(memory, bitmap);
        if (BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY)) {
            GdiFlush();
            unsigned long long hash = 1469598103934665603ull;
            const unsigned char* pixel = bits;
            for (size_t i = 0; i < (size_t)width * height * 4; ++i) {
                if (i % 4 == 3) continue; /* the unused alpha byte */
                hash = (hash ^ pixel[i]) * 1099511628211ull;
            }
            Print(L"iconhash\t%u\t%dx%d\t%016llx\n",
                  (unsigned)(GetWindowLongPtrW(icon, GWLP_ID) & 0xFFFFFFFFu), width, height,
                  hash);
            result = EXIT_OK;
        }
        SelectObject(memory, previous);
        DeleteObject(bitmap);
    }
    DeleteDC(memory);
    ReleaseDC(NULL, screen);
    return result;
}

/* ---- entry --------------------------------------------------------------------- */

static int Usage(void)
{
    HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    static const char text[] =
        "usage: uidriver [-w MS] [-c CLASS] [-p PID] [-a] "
        "list | find W | texts W | press W ID | command W ID | check W ID 0|1 | close W | "
        "gone W | iconhash W | rect W | active W\n";
    DWORD written;
    WriteFile(error, text, sizeof text - 1, &written, NULL);
    return EXIT_USAGE;
}

int wmain(int argc, wchar_t** argv)
{
    out = GetStdHandle(STD_OUTPUT_HANDLE);
    Selector selector = {NULL, NULL, NULL, 0, 0};
    DWORD timeout = 10000;
    int i = 1;
    for (; i < argc && argv[i][0] == L'-' && argv[i][1]; ++i) {
        if (wcscmp(argv[i], L"-a") == 0) {
            selector.includeHidden = 1;
            continue;
        }
        if (i + 1 >= argc) return Usage();
        if (wcscmp(argv[i], L"-w") == 0) timeout = (DWORD)wcstoul(argv[++i], NULL, 10);
        else if (wcscmp(argv[i], L"-c") == 0) selector.className = argv[++i];
        else if (wcscmp(argv[i], L"-p") == 0) selector.pid = (DWORD)wcstoul(argv[++i], NULL, 10);
        else return Usage();
    }
    if (i >= argc) return Usage();
    const wchar_t* command = argv[i++];
    int rest = argc - i;

    if (wcscmp(command, L"list") == 0) {
        Search search = {&selector, NULL, 1};
        EnumWindows(SearchWindow, (LPARAM)&search);
        return EXIT_OK;
    }

    if (rest < 1 || !ParseWindowArgument(argv[i], &selector)) return Usage();
    if (wcscmp(command, L"gone") == 0) return WaitUntilGone(&selector, timeout) ? EXIT_OK
                                                                                 : EXIT_NO_WINDOW;
    HWND window = WaitForWindow(&selector, timeout);
    if (!window) return EXIT_NO_WINDOW;

    if (wcscmp(command, L"find") == 0 && rest == 1) {
        PrintWindowRecord(window);
        return EXIT_OK;
    }
    if (wcscmp(command, L"texts") == 0 && rest == 1) {
        PrintWindowRecord(window);
        EnumChildWindows(window, PrintControl, 0);
        return EXIT_OK;
    }
    if (wcscmp(command, L"close") == 0 && rest == 1)
        return PostMessageW(window, WM_CLOSE, 0, 0) ? EXIT_OK : EXIT_REFUSED;
    if (wcscmp(command, L"iconhash") == 0 && rest == 1) return IconHash(window);
    if (wcscmp(command, L"rect") == 0 && rest == 1) {
        RECT rect;
        if (!GetWindowRect(window, &rect)) return EXIT_REFUSED;
        Print(L"rect\t%ld\t%ld\t%ld\t%ld\n", (long)rect.left, (long)rect.top,
              (long)(rect.right - rect.left), (long)(rect.bottom - rect.top));
        return EXIT_OK;
    }
    if (wcscmp(command, L"active") == 0 && rest == 1) {
        DWORD_PTR unused;
        return SendMessageTimeoutW(window, WM_NCACTIVATE, TRUE, 0, SMTO_ABORTIFHUNG, 2000, &unused)
                   ? EXIT_OK
                   : EXIT_REFUSED;
    }

    if (rest < 2) return Usage();
    unsigned id = (unsigned)wcstoul(argv[i + 1], NULL, 10);
    HWND control = FindControl(window, id);
    if (wcscmp(command, L"command") == 0 && rest == 2)
        return PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)control)
                   ? EXIT_OK
                   : EXIT_REFUSED;
    if (!control) return EXIT_NO_CONTROL;
    if (wcscmp(command, L"press") == 0 && rest == 2) return Click(control);
    if (wcscmp(command, L"check") == 0 && rest == 3) {
        if (!IsCheckable(control)) return EXIT_REFUSED;
        LRESULT wanted = wcstol(argv[i + 2], NULL, 10);
        if (CheckState(control) == wanted) return EXIT_OK;
        int result = Click(control);
        if (result != EXIT_OK) return result;
        return CheckState(control) == wanted ? EXIT_OK : EXIT_REFUSED;
    }
    return Usage();
}
