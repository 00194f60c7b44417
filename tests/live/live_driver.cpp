/* Drives the 64-bit palvorine.exe under Wine as a user would: seeds the
   registry, starts the program, reads and works its windows from outside,
   and checks the registry and the exit code afterwards.

   Usage: live_driver SCENARIO PROGRAM.EXE [SCREENSHOT-DIR]

   Every check that fails prints one line starting with "FAIL" that names
   what differs; the exit code is the number of failures (capped at 100). */

#include <windows.h>
#include <sddl.h>

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

/* ---------------------------------------------------------------- reporting */

static const char *g_scenario = "";
static char g_step[160] = "";
static int g_failures;
static wchar_t g_program[MAX_PATH];
static wchar_t g_shotDir[MAX_PATH];

static void Step(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    vsnprintf(g_step, sizeof(g_step), format, args);
    va_end(args);
    printf("-- %s: %s\n", g_scenario, g_step);
    fflush(stdout);
}

static void Fail(const char *format, ...)
{
    va_list args;
    printf("FAIL %s [%s]: ", g_scenario, g_step);
    va_start(args, format);
    vprintf(format, args);
    va_end(args);
    printf("\n");
    fflush(stdout);
    g_failures++;
}

/* A few rotating buffers, so one message can show several texts. */
static char *Scratch(void)
{
    static char buffers[8][2048];
    static int next;
    next = (next + 1) % 8;
    buffers[next][0] = '\0';
    return buffers[next];
}

static const char *Utf8(const wchar_t *text, int length)
{
    char *out = Scratch();
    int n = WideCharToMultiByte(CP_UTF8, 0, text, length, out, 2000, NULL, NULL);
    out[n > 0 ? n : 0] = '\0';
    return out;
}

/* Shift JIS bytes shown as UTF-8 text and as hex, e.g. "山田" [8e 52 93 63]. */
static const char *ShowBytes(const BYTE *bytes, DWORD length)
{
    char *out = Scratch();
    wchar_t wide[600];
    int n = MultiByteToWideChar(932, 0, (const char *)bytes, (int)length, wide, 599);
    size_t used = (size_t)snprintf(out, 2000, "\"%s\" [", Utf8(wide, n > 0 ? n : 0));
    for (DWORD i = 0; i < length && used + 4 < 2000; i++)
        used += (size_t)snprintf(out + used, 2000 - used, i ? " %02x" : "%02x", bytes[i]);
    if (used + 2 < 2000)
        strcat(out, "]");
    return out;
}

static const char *ShowText(const char *text)
{
    return ShowBytes((const BYTE *)text, (DWORD)strlen(text));
}

static const char *ShowWide(const wchar_t *text)
{
    char *out = Scratch();
    size_t used = (size_t)snprintf(out, 2000, "\"%s\" [", Utf8(text, -1) );
    for (int i = 0; text[i] && used + 6 < 2000; i++)
        used += (size_t)snprintf(out + used, 2000 - used, i ? " U+%04X" : "U+%04X", text[i]);
    if (used + 2 < 2000)
        strcat(out, "]");
    return out;
}

/* Converts Shift JIS bytes to UTF-16 for typing. */
static void WideFromSjis(const char *text, wchar_t *out, int size)
{
    int n = MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, text, -1, out, size);
    if (n <= 0)
    {
        Fail("the test's own text %s is not valid code page 932", ShowText(text));
        out[0] = 0;
    }
}

/* ------------------------------------------------------- the system's texts */

static const char REGPATH_WINDOWS[] = "Software\\Microsoft\\Windows\\Currentversion";
static const char REGPATH_CONTROL[] = "System\\CurrentControlSet\\Control";
static const char REGPATH_VNETSUP[] = "System\\CurrentControlSet\\Services\\VxD\\VNETSUP";

enum { KEY_WINDOWS, KEY_CONTROL, KEY_VNETSUP, KEY_COUNT };

static const char *const KeyPaths[KEY_COUNT] = { REGPATH_WINDOWS, REGPATH_CONTROL, REGPATH_VNETSUP };

/* The eleven values the program reads; field index = position. */
static const struct
{
    int key;
    const char *name;
} KnownValues[11] = {
    { KEY_WINDOWS, "ProductName" },
    { KEY_WINDOWS, "VersionNumber" },
    { KEY_WINDOWS, "RegisteredOrganization" },
    { KEY_WINDOWS, "RegisteredOwner" },
    { KEY_WINDOWS, "ProductId" },
    { KEY_WINDOWS, "ProductKey" },
    { KEY_WINDOWS, "Plus! VersionNumber" },
    { KEY_CONTROL, "Current User" },
    { KEY_VNETSUP, "ComputerName" },
    { KEY_VNETSUP, "Workgroup" },
    { KEY_WINDOWS, "SubVersionNumber" },
};

#define ID_ORGANIZATION 1002
#define ID_OWNER 1003
#define IDM_VERSION 104
#define IDM_EXIT 105

/* The system's own message box icons */
#define ICON_QUESTION MAKEINTRESOURCEW(32514)
#define ICON_WARNING MAKEINTRESOURCEW(32515)

/* Shift JIS texts */
#define SJ_ORG "\x8a\x94\x8e\xae\x89\xef\x8e\xd0\x83\x5c\x83\x74\x83\x67\x95\x5c\x8e\xa6" /* 株式会社ソフト表示 */
#define SJ_OWNER_KANA "\xd4\xcf\xc0\xde\x20\xc0\xdb\xb3"                              /* ﾔﾏﾀﾞ ﾀﾛｳ */
#define SJ_YAMADA "\x8e\x52\x93\x63"                                                  /* 山田 */
#define SJ_KEIRIBU "\x8c\x6f\x97\x9d\x95\x94"                                         /* 経理部 */
#define SJ_PALVORINE_CORP "\x8a\x94\x8e\xae\x89\xef\x8e\xd0\x83\x70\x83\x8b\x83\x94\x83\x48\x83\x8a\x83\x93" /* 株式会社パルヴォリン */
#define SJ_PALVORINE_KANA "\xca\xdf\xd9\xb3\xde\xab\xd8\xdd"                          /* ﾊﾟﾙｳﾞｫﾘﾝ */
#define SJ_ME "\x83\x81" /* メ: its trail byte 0x81 is also a lead byte value */
#define SJ_ME4 SJ_ME SJ_ME SJ_ME SJ_ME
#define SJ_ME16 SJ_ME4 SJ_ME4 SJ_ME4 SJ_ME4
#define SJ_ME63 SJ_ME16 SJ_ME16 SJ_ME16 SJ_ME4 SJ_ME4 SJ_ME4 SJ_ME SJ_ME SJ_ME

static const char ExitText[] = "\x8f\x49\x97\xb9\x82\xb5\x82\xdc\x82\xb7\x82\xa9\x81\x48"; /* 終了しますか？ */
static const char WarningText[] = "\x83\x47\x83\x89\x81\x5b\x82\xaa\x94\xad\x90\xb6\x82\xb5\x82\xdc"
                                  "\x82\xb5\x82\xbd\x0a\x8b\xad\x90\xa7\x8f\x49\x97\xb9\x82\xb5\x82\xdc\x82\xb7";

/* ----------------------------------------------------------------- registry */

typedef struct
{
    int key;
    const char *name;
    DWORD type;
    const char *data;
    DWORD size; /* (DWORD)-1: the text and its zero byte */
} SEEDVALUE;

#define SEED_SZ(key, name, text) { key, name, REG_SZ, text, (DWORD)-1 }

static DWORD SeedSize(const SEEDVALUE *value)
{
    return value->size == (DWORD)-1 ? (DWORD)strlen(value->data) + 1 : value->size;
}

/* A fresh Wine prefix grants full access to administrators; a scenario that
   narrows it must not leave the next one locked out. */
static const char DefaultWindowsKeyDacl[] = "D:(A;CIIO;GR;;;BU)(A;;KA;;;BA)";

static BOOL SetWindowsKeyDacl(const char *sddl)
{
    PSECURITY_DESCRIPTOR descriptor = NULL;
    HKEY key;
    LONG status;

    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &descriptor, NULL))
    {
        Fail("cannot build the security descriptor %s (error %lu)", sddl, GetLastError());
        return FALSE;
    }
    status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, REGPATH_WINDOWS, 0, READ_CONTROL | WRITE_DAC, &key);
    if (status == ERROR_SUCCESS)
    {
        status = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor);
        RegCloseKey(key);
    }
    LocalFree(descriptor);
    if (status != ERROR_SUCCESS)
    {
        Fail("cannot set the access list %s on HKLM\\%s (status %ld)", sddl, REGPATH_WINDOWS, status);
        return FALSE;
    }
    return TRUE;
}

/* Puts exactly the given values in place of the eleven the program reads.
   Without the network key, VNETSUP is removed altogether. The two system keys
   themselves stay: Wine keeps its own values there. */
static BOOL Seed(const SEEDVALUE *values, int count, BOOL networkKey)
{
    HKEY keys[KEY_COUNT] = { NULL, NULL, NULL };
    BOOL ok = TRUE;

    if (!SetWindowsKeyDacl(DefaultWindowsKeyDacl))
        return FALSE;
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, REGPATH_VNETSUP);
    for (int k = 0; k < KEY_COUNT; k++)
    {
        if (k == KEY_VNETSUP && !networkKey)
            continue;
        LONG status = RegCreateKeyExA(HKEY_LOCAL_MACHINE, KeyPaths[k], 0, NULL, 0, KEY_ALL_ACCESS, NULL,
                                      &keys[k], NULL);
        if (status != ERROR_SUCCESS)
        {
            Fail("seed: cannot create HKLM\\%s (status %ld)", KeyPaths[k], status);
            ok = FALSE;
            keys[k] = NULL;
        }
    }
    for (int i = 0; i < 11; i++)
    {
        if (keys[KnownValues[i].key])
            RegDeleteValueA(keys[KnownValues[i].key], KnownValues[i].name);
    }
    for (int i = 0; i < count && ok; i++)
    {
        const SEEDVALUE *value = &values[i];
        HKEY key = keys[value->key];
        BYTE back[1024];
        DWORD backSize = sizeof(back), backType = 0;
        DWORD size = SeedSize(value);

        if (!key)
        {
            Fail("seed: %s has no key to go in", value->name);
            ok = FALSE;
            break;
        }
        if (RegSetValueExA(key, value->name, 0, value->type, (const BYTE *)value->data, size) != ERROR_SUCCESS)
        {
            Fail("seed: cannot write %s", value->name);
            ok = FALSE;
        }
        /* Wine keeps strings as UTF-16: make sure the bytes come back as written. */
        else if (RegQueryValueExA(key, value->name, NULL, &backType, back, &backSize) != ERROR_SUCCESS ||
                 backType != value->type || backSize != size || memcmp(back, value->data, size) != 0)
        {
            Fail("seed: %s reads back as %s, written %s", value->name, ShowBytes(back, backSize),
                 ShowBytes((const BYTE *)value->data, size));
            ok = FALSE;
        }
    }
    for (int k = 0; k < KEY_COUNT; k++)
    {
        if (keys[k])
            RegCloseKey(keys[k]);
    }
    return ok;
}

typedef struct
{
    char name[256];
    DWORD type;
    DWORD size;
    BYTE data[1024];
} REGVALUE;

typedef struct
{
    BOOL exists;
    int count;
    REGVALUE values[96];
} KEYSNAP;

typedef struct
{
    KEYSNAP keys[KEY_COUNT];
} SNAPSHOT;

static SNAPSHOT g_before;
static SNAPSHOT g_after;

static BOOL Snapshot(SNAPSHOT *snapshot)
{
    memset(snapshot, 0, sizeof(*snapshot));
    for (int k = 0; k < KEY_COUNT; k++)
    {
        KEYSNAP *snap = &snapshot->keys[k];
        HKEY key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, KeyPaths[k], 0, KEY_READ, &key) != ERROR_SUCCESS)
            continue;
        snap->exists = TRUE;
        for (DWORD index = 0;; index++)
        {
            REGVALUE *value = &snap->values[snap->count];
            DWORD nameSize = sizeof(value->name);
            value->size = sizeof(value->data);
            LONG status = RegEnumValueA(key, index, value->name, &nameSize, NULL, &value->type, value->data,
                                        &value->size);
            if (status == ERROR_NO_MORE_ITEMS)
                break;
            if (status != ERROR_SUCCESS || snap->count + 1 >= (int)(sizeof(snap->values) / sizeof(snap->values[0])))
            {
                Fail("cannot read value %lu of HKLM\\%s (status %ld)", index, KeyPaths[k], status);
                RegCloseKey(key);
                return FALSE;
            }
            snap->count++;
        }
        RegCloseKey(key);
    }
    return TRUE;
}

static const REGVALUE *FindValue(const KEYSNAP *snap, const char *name)
{
    for (int i = 0; i < snap->count; i++)
    {
        if (lstrcmpiA(snap->values[i].name, name) == 0)
            return &snap->values[i];
    }
    return NULL;
}

typedef struct
{
    int key;
    const char *name;
    const BYTE *data; /* REG_SZ of exactly 128 bytes */
} EXPECTEDWRITE;

static const char *TypeName(DWORD type)
{
    switch (type)
    {
    case REG_SZ: return "REG_SZ";
    case REG_EXPAND_SZ: return "REG_EXPAND_SZ";
    case REG_BINARY: return "REG_BINARY";
    case REG_DWORD: return "REG_DWORD";
    case REG_MULTI_SZ: return "REG_MULTI_SZ";
    }
    return "another type";
}

static void CompareOne(int k, const char *name, const REGVALUE *now, DWORD type, DWORD size, const BYTE *data,
                       const char *what)
{
    if (!now)
    {
        Fail("HKLM\\%s \"%s\" is missing; %s %s %s", KeyPaths[k], name, what, TypeName(type),
             ShowBytes(data, size));
        return;
    }
    if (now->type != type)
        Fail("HKLM\\%s \"%s\" has type %s (%lu), %s %s", KeyPaths[k], name, TypeName(now->type), now->type, what,
             TypeName(type));
    if (now->size != size || memcmp(now->data, data, size) != 0)
        Fail("HKLM\\%s \"%s\" holds %lu bytes %s; %s %lu bytes %s", KeyPaths[k], name, now->size,
             ShowBytes(now->data, now->size), what, size, ShowBytes(data, size));
}

/* Every value of the three keys must be as before, except the expected
   writes, which must hold exactly their 128 bytes as REG_SZ. */
static void CompareRegistry(const EXPECTEDWRITE *writes, int writeCount)
{
    if (!Snapshot(&g_after))
        return;
    for (int k = 0; k < KEY_COUNT; k++)
    {
        const KEYSNAP *before = &g_before.keys[k];
        const KEYSNAP *after = &g_after.keys[k];
        if (before->exists != after->exists)
        {
            Fail("HKLM\\%s %s", KeyPaths[k], after->exists ? "was created" : "disappeared");
            continue;
        }
        for (int w = 0; w < writeCount; w++)
        {
            if (writes[w].key == k)
                CompareOne(k, writes[w].name, FindValue(after, writes[w].name), REG_SZ, 128, writes[w].data,
                           "expected after saving");
        }
        for (int i = 0; i < before->count; i++)
        {
            const REGVALUE *old = &before->values[i];
            BOOL written = FALSE;
            for (int w = 0; w < writeCount; w++)
                written |= writes[w].key == k && lstrcmpiA(writes[w].name, old->name) == 0;
            if (!written)
                CompareOne(k, old->name, FindValue(after, old->name), old->type, old->size, old->data,
                           "unchanged it held");
        }
        for (int i = 0; i < after->count; i++)
        {
            const REGVALUE *now = &after->values[i];
            BOOL expected = FindValue(before, now->name) != NULL;
            for (int w = 0; w < writeCount; w++)
                expected |= writes[w].key == k && lstrcmpiA(writes[w].name, now->name) == 0;
            if (!expected)
                Fail("HKLM\\%s gained the value \"%s\" (%s %s)", KeyPaths[k], now->name, TypeName(now->type),
                     ShowBytes(now->data, now->size));
        }
    }
}

/* 128 bytes: the first `keep` bytes of text, then zeros. */
static void SavedBytes(BYTE out[128], const char *text, int keep)
{
    memset(out, 0, 128);
    memcpy(out, text, (size_t)keep);
}

/* ------------------------------------------------------------------ windows */

typedef struct
{
    PROCESS_INFORMATION pi;
    HWND main;
    BOOL running;
} APP;

typedef struct
{
    DWORD pid;
    HWND owner;
    HWND found;
} FINDCTX;

static BOOL CALLBACK FindOwnedProc(HWND window, LPARAM param)
{
    FINDCTX *ctx = (FINDCTX *)param;
    DWORD pid = 0;
    wchar_t className[64];

    GetWindowThreadProcessId(window, &pid);
    if (pid != ctx->pid || !IsWindowVisible(window) || GetWindow(window, GW_OWNER) != ctx->owner)
        return TRUE;
    GetClassNameW(window, className, 64);
    if (lstrcmpW(className, L"#32770") != 0)
        return TRUE;
    ctx->found = window;
    return FALSE;
}

/* The visible dialog of the program's process owned by `owner` (NULL: the
   unowned main dialog), waiting up to `timeout` ms for it to show. */
static HWND FindOwned(const APP *app, HWND owner, DWORD timeout)
{
    DWORD start = GetTickCount();
    FINDCTX ctx = { app->pi.dwProcessId, owner, NULL };
    for (;;)
    {
        EnumWindows(FindOwnedProc, (LPARAM)&ctx);
        if (ctx.found || GetTickCount() - start > timeout)
            return ctx.found;
        Sleep(20);
    }
}

/* A window's text as the window itself reports it. GetWindowText would read
   only the caption the system keeps for windows of other processes, which
   for an edit control is not what it shows. */
static const wchar_t *WindowTextW(HWND window)
{
    static wchar_t texts[4][512];
    static int next;
    DWORD_PTR length = 0;
    next = (next + 1) % 4;
    texts[next][0] = 0;
    if (SendMessageTimeoutW(window, WM_GETTEXT, 512, (LPARAM)texts[next], SMTO_ABORTIFHUNG, 5000, &length))
        texts[next][length < 512 ? length : 511] = 0;
    return texts[next];
}

/* The same through the ANSI side, in code page 932: the bytes the program
   itself would read. */
static int WindowTextA(HWND window, char *text, int size)
{
    DWORD_PTR length = 0;
    text[0] = '\0';
    if (!SendMessageTimeoutA(window, WM_GETTEXT, (WPARAM)size, (LPARAM)text, SMTO_ABORTIFHUNG, 5000, &length))
        return 0;
    if ((int)length >= size)
        length = (DWORD_PTR)size - 1;
    text[length] = '\0';
    return (int)length;
}

static BOOL StartApp(APP *app)
{
    STARTUPINFOW startup;
    wchar_t commandLine[MAX_PATH + 4];

    memset(app, 0, sizeof(*app));
    memset(&startup, 0, sizeof(startup));
    startup.cb = sizeof(startup);
    swprintf(commandLine, MAX_PATH + 4, L"\"%ls\"", g_program);
    if (!CreateProcessW(g_program, commandLine, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &app->pi))
    {
        Fail("cannot start %s (error %lu)", Utf8(g_program, -1), GetLastError());
        return FALSE;
    }
    app->running = TRUE;
    WaitForInputIdle(app->pi.hProcess, 10000);
    app->main = FindOwned(app, NULL, 10000);
    if (!app->main)
    {
        Fail("no main dialog appeared within 10 s");
        return FALSE;
    }
    if (lstrcmpW(WindowTextW(app->main), L"Palvorine") != 0)
        Fail("the main dialog's caption is %s, expected \"Palvorine\"", ShowWide(WindowTextW(app->main)));
    return TRUE;
}

/* Waits for the program to end by itself and checks its exit code. */
static void ExpectExit(APP *app)
{
    DWORD code = 0;
    if (!app->running)
        return;
    if (WaitForSingleObject(app->pi.hProcess, 10000) != WAIT_OBJECT_0)
    {
        Fail("the program is still running 10 s after it should have ended");
        TerminateProcess(app->pi.hProcess, 99);
        WaitForSingleObject(app->pi.hProcess, 5000);
    }
    else
    {
        GetExitCodeProcess(app->pi.hProcess, &code);
        if (code != 0)
            Fail("the program ended with exit code %lu, expected 0", code);
    }
    app->running = FALSE;
    CloseHandle(app->pi.hProcess);
    CloseHandle(app->pi.hThread);
}

/* Ends a program that a failed check left behind. */
static void KillApp(APP *app)
{
    if (!app->running)
        return;
    if (WaitForSingleObject(app->pi.hProcess, 0) != WAIT_OBJECT_0)
    {
        TerminateProcess(app->pi.hProcess, 99);
        WaitForSingleObject(app->pi.hProcess, 5000);
    }
    app->running = FALSE;
    CloseHandle(app->pi.hProcess);
    CloseHandle(app->pi.hThread);
}

static BOOL StillRunning(APP *app)
{
    return app->running && WaitForSingleObject(app->pi.hProcess, 0) == WAIT_TIMEOUT;
}

static BOOL WaitGone(HWND window, DWORD timeout)
{
    DWORD start = GetTickCount();
    while (IsWindow(window) && IsWindowVisible(window))
    {
        if (GetTickCount() - start > timeout)
            return FALSE;
        Sleep(20);
    }
    return TRUE;
}

static HWND FocusOf(const APP *app)
{
    GUITHREADINFO info;
    memset(&info, 0, sizeof(info));
    info.cbSize = sizeof(info);
    if (!GetGUIThreadInfo(app->pi.dwThreadId, &info))
        return NULL;
    return info.hwndFocus;
}

/* --------------------------------------------------------------------- input */

/* Real keyboard input goes to the foreground window's focus. */
static BOOL MakeForeground(HWND window)
{
    DWORD start = GetTickCount();
    while (GetForegroundWindow() != window)
    {
        SetForegroundWindow(window);
        if (GetTickCount() - start > 2000)
        {
            Fail("cannot bring %s to the foreground (it is %s)", ShowWide(WindowTextW(window)),
                 ShowWide(WindowTextW(GetForegroundWindow())));
            return FALSE;
        }
        Sleep(20);
    }
    return TRUE;
}

static void Key(WORD vk, BOOL up)
{
    INPUT input;
    memset(&input, 0, sizeof(input));
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.wScan = (WORD)MapVirtualKeyW(vk, MAPVK_VK_TO_VSC);
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    SendInput(1, &input, sizeof(input));
    Sleep(30);
}

static BOOL PressKey(HWND active, WORD vk)
{
    if (!MakeForeground(active))
        return FALSE;
    Key(vk, FALSE);
    Key(vk, TRUE);
    return TRUE;
}

typedef struct
{
    DWORD pid;
    BOOL found;
} POPUPCTX;

static BOOL CALLBACK FindPopupProc(HWND window, LPARAM param)
{
    POPUPCTX *ctx = (POPUPCTX *)param;
    DWORD pid = 0;
    wchar_t className[16];
    GetWindowThreadProcessId(window, &pid);
    GetClassNameW(window, className, 16);
    if (pid == ctx->pid && IsWindowVisible(window) && lstrcmpW(className, L"#32768") == 0)
    {
        ctx->found = TRUE;
        return FALSE;
    }
    return TRUE;
}

/* Alt+letter opens a menu by its access key; once its popup shows, `item`
   picks the entry. */
static BOOL PressMenu(HWND active, WORD menuKey, WORD item)
{
    POPUPCTX ctx = { 0, FALSE };
    DWORD start = GetTickCount();
    GetWindowThreadProcessId(active, &ctx.pid);
    if (!MakeForeground(active))
        return FALSE;
    Key(VK_MENU, FALSE);
    Key(menuKey, FALSE);
    Key(menuKey, TRUE);
    Key(VK_MENU, TRUE);
    while (EnumWindows(FindPopupProc, (LPARAM)&ctx), !ctx.found)
    {
        if (GetTickCount() - start > 3000)
        {
            Fail("Alt+%c opened no menu", menuKey);
            return FALSE;
        }
        Sleep(20);
    }
    Key(item, FALSE);
    Key(item, TRUE);
    return TRUE;
}

/* Pushes a button without waiting for what it starts: a button that opens a
   modal box would otherwise hold the driver until the box closes. */
static void Press(HWND button)
{
    if (!button)
        Fail("there is no button to press");
    else
        PostMessageW(button, BM_CLICK, 0, 0);
}

static void ClickAt(int x, int y)
{
    INPUT inputs[3];
    int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    memset(inputs, 0, sizeof(inputs));
    for (int i = 0; i < 3; i++)
        inputs[i].type = INPUT_MOUSE;
    inputs[0].mi.dx = (x * 65536 + width / 2) / width;
    inputs[0].mi.dy = (y * 65536 + height / 2) / height;
    inputs[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    inputs[2].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(1, &inputs[0], sizeof(INPUT));
    Sleep(50);
    SendInput(2, &inputs[1], sizeof(INPUT));
    Sleep(50);
}

static BOOL ClickControl(HWND control)
{
    RECT rect;
    HWND top = GetAncestor(control, GA_ROOT);
    if (!MakeForeground(top))
        return FALSE;
    GetWindowRect(control, &rect);
    ClickAt((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    return TRUE;
}

/* Sets an edit control's text as pasting would. */
static BOOL PutText(HWND edit, const wchar_t *text)
{
    SendMessageW(edit, WM_SETTEXT, 0, (LPARAM)text);
    if (lstrcmpW(WindowTextW(edit), text) != 0)
    {
        Fail("control %d shows %s after setting %s", GetDlgCtrlID(edit), ShowWide(WindowTextW(edit)),
             ShowWide(text));
        return FALSE;
    }
    return TRUE;
}

/* Types over an edit control's text, one character message at a time. */
static BOOL TypeText(HWND edit, const wchar_t *text)
{
    DWORD start = GetTickCount();
    SendMessageW(edit, EM_SETSEL, 0, -1);
    for (int i = 0; text[i]; i++)
        PostMessageW(edit, WM_CHAR, text[i], 1);
    while (lstrcmpW(WindowTextW(edit), text) != 0)
    {
        if (GetTickCount() - start > 5000)
        {
            Fail("control %d shows %s after typing %s", GetDlgCtrlID(edit), ShowWide(WindowTextW(edit)),
                 ShowWide(text));
            return FALSE;
        }
        Sleep(20);
    }
    return TRUE;
}

static BOOL FocusControl(const APP *app, HWND control)
{
    DWORD start = GetTickCount();
    SendMessageW(app->main, WM_NEXTDLGCTL, (WPARAM)control, TRUE);
    while (FocusOf(app) != control)
    {
        if (GetTickCount() - start > 2000)
        {
            Fail("control %d did not take the focus (focus is on %d)", GetDlgCtrlID(control),
                 GetDlgCtrlID(FocusOf(app)));
            return FALSE;
        }
        Sleep(20);
    }
    return TRUE;
}

/* -------------------------------------------------------------- screenshots */

/* Asks the wrapper script to photograph the X screen: it takes the picture
   when NAME.request appears and removes the file when done. */
static void Screenshot(const char *name)
{
    wchar_t path[MAX_PATH];
    HANDLE file;
    DWORD start;

    if (!g_shotDir[0])
        return;
    Sleep(400); /* let the windows finish painting */
    swprintf(path, MAX_PATH, L"%ls\\%hs.request", g_shotDir, name);
    file = CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
    {
        Fail("cannot ask for the screenshot %s (error %lu)", name, GetLastError());
        return;
    }
    CloseHandle(file);
    start = GetTickCount();
    while (GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES)
    {
        if (GetTickCount() - start > 20000)
        {
            Fail("the screenshot %s was not taken within 20 s", name);
            DeleteFileW(path);
            return;
        }
        Sleep(50);
    }
    printf("   screenshot %s.png\n", name);
}

/* The screen as Wine itself reads it, saved as NAME.bmp for the wrapper to
   convert. Used for an open menu: Wine draws the popup where its own screen
   reads see it, but the X screen shows only a black box. */
static void ScreenshotFromWine(const char *name)
{
    wchar_t path[MAX_PATH];
    int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    int stride = (width * 3 + 3) & ~3;
    BITMAPINFO info;
    BITMAPFILEHEADER header;
    BYTE *pixels = NULL;
    HDC screen, memory;
    HBITMAP bitmap;
    HANDLE file;
    DWORD written;

    if (!g_shotDir[0])
        return;
    Sleep(400);
    memset(&info, 0, sizeof(info));
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    info.bmiHeader.biSizeImage = (DWORD)(stride * height);
    screen = GetDC(NULL);
    memory = CreateCompatibleDC(screen);
    bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, (void **)&pixels, NULL, 0);
    if (!bitmap)
    {
        Fail("cannot capture the screen for %s", name);
        DeleteDC(memory);
        ReleaseDC(NULL, screen);
        return;
    }
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
    GdiFlush();
    memset(&header, 0, sizeof(header));
    header.bfType = 0x4d42;
    header.bfOffBits = sizeof(header) + sizeof(info.bmiHeader);
    header.bfSize = header.bfOffBits + info.bmiHeader.biSizeImage;
    swprintf(path, MAX_PATH, L"%ls\\%hs.bmp", g_shotDir, name);
    file = CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (file == INVALID_HANDLE_VALUE ||
        !WriteFile(file, &header, sizeof(header), &written, NULL) ||
        !WriteFile(file, &info.bmiHeader, sizeof(info.bmiHeader), &written, NULL) ||
        !WriteFile(file, pixels, info.bmiHeader.biSizeImage, &written, NULL))
        Fail("cannot write the screenshot %s (error %lu)", name, GetLastError());
    else
        printf("   screenshot %s.png (as Wine reads the screen)\n", name);
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(NULL, screen);
}

/* ------------------------------------------------------------- icon pixels */

typedef struct
{
    HDC dc;
    HBITMAP bitmap;
    HGDIOBJ old;
    DWORD *pixels;
} CANVAS;

static BOOL NewCanvas(CANVAS *canvas, int width, int height)
{
    BITMAPINFO info;
    memset(&info, 0, sizeof(info));
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    canvas->dc = CreateCompatibleDC(NULL);
    canvas->bitmap = CreateDIBSection(canvas->dc, &info, DIB_RGB_COLORS, (void **)&canvas->pixels, NULL, 0);
    if (!canvas->bitmap)
    {
        DeleteDC(canvas->dc);
        return FALSE;
    }
    canvas->old = SelectObject(canvas->dc, canvas->bitmap);
    return TRUE;
}

static void FreeCanvas(CANVAS *canvas)
{
    SelectObject(canvas->dc, canvas->old);
    DeleteObject(canvas->bitmap);
    DeleteDC(canvas->dc);
}

static BOOL Near(DWORD a, DWORD b)
{
    for (int shift = 0; shift < 24; shift += 8)
    {
        int ca = (int)((a >> shift) & 0xff), cb = (int)((b >> shift) & 0xff);
        if (ca - cb > 40 || cb - ca > 40)
            return FALSE;
    }
    return TRUE;
}

/* How much of `reference`, drawn at the control's size, the screen shows in
   the control: the share of the icon's opaque pixels whose colour matches.
   Icons belong to the process that loaded them, so they are compared as
   pixels rather than by handle. */
static double IconMatch(HWND control, HICON reference)
{
    RECT rect;
    CANVAS screen, onBlack, onWhite;
    int width, height, opaque = 0, matched = 0;
    HDC screenDc;

    GetWindowRect(control, &rect);
    width = rect.right - rect.left;
    height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0 || width > 256 || height > 256)
        return 0.0;
    if (!NewCanvas(&screen, width, height))
        return 0.0;
    if (!NewCanvas(&onBlack, width, height))
    {
        FreeCanvas(&screen);
        return 0.0;
    }
    if (!NewCanvas(&onWhite, width, height))
    {
        FreeCanvas(&screen);
        FreeCanvas(&onBlack);
        return 0.0;
    }
    screenDc = GetDC(NULL);
    BitBlt(screen.dc, 0, 0, width, height, screenDc, rect.left, rect.top, SRCCOPY);
    ReleaseDC(NULL, screenDc);
    PatBlt(onBlack.dc, 0, 0, width, height, BLACKNESS);
    PatBlt(onWhite.dc, 0, 0, width, height, WHITENESS);
    DrawIconEx(onBlack.dc, 0, 0, reference, width, height, 0, NULL, DI_NORMAL);
    DrawIconEx(onWhite.dc, 0, 0, reference, width, height, 0, NULL, DI_NORMAL);
    GdiFlush();
    for (int i = 0; i < width * height; i++)
    {
        DWORD black = onBlack.pixels[i] & 0xffffff, white = onWhite.pixels[i] & 0xffffff;
        if (black != white)
            continue;
        opaque++;
        if (Near(screen.pixels[i] & 0xffffff, black))
            matched++;
    }
    FreeCanvas(&screen);
    FreeCanvas(&onBlack);
    FreeCanvas(&onWhite);
    return opaque ? (double)matched / opaque : 0.0;
}

/* Waits for `expected` to be drawn in `control`, and for it to fit better
   than `other` (NULL: no rival). */
static void ExpectIcon(HWND control, HICON expected, const char *expectedName, HICON other, const char *otherName)
{
    DWORD start = GetTickCount();
    double score = 0.0, rival = 0.0;
    for (;;)
    {
        score = IconMatch(control, expected);
        rival = other ? IconMatch(control, other) : 0.0;
        if ((score >= 0.9 && score > rival) || GetTickCount() - start > 3000)
            break;
        Sleep(100);
    }
    if (score < 0.9 || score <= rival)
    {
        if (other)
            Fail("the icon drawn matches the %s icon on %.0f%% of its pixels and the %s icon on %.0f%%; "
                 "expected the %s icon",
                 expectedName, score * 100, otherName, rival * 100, expectedName);
        else
            Fail("the icon drawn matches the %s icon on only %.0f%% of its pixels", expectedName, score * 100);
    }
}

/* ------------------------------------------------------------ dialog layout */

/* Dialog units to pixels as the platform computes them for a dialog in the
   given font: a dialog of this driver's own, built in memory. */
static INT_PTR CALLBACK EmptyDialogProc(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}

static BOOL MapUnits(int pointSize, RECT *rect)
{
    WORD buffer[128];
    WORD *p;
    DLGTEMPLATE *header = (DLGTEMPLATE *)buffer;
    static const wchar_t font[] = L"ＭＳ Ｐゴシック";
    HWND dialog;
    BOOL ok;

    memset(buffer, 0, sizeof(buffer));
    header->style = WS_POPUP | DS_SETFONT | DS_MODALFRAME;
    header->cx = 100;
    header->cy = 100;
    p = (WORD *)(header + 1);
    *p++ = 0; /* menu */
    *p++ = 0; /* class */
    *p++ = 0; /* title */
    *p++ = (WORD)pointSize;
    memcpy(p, font, sizeof(font));
    dialog = CreateDialogIndirectParamW(GetModuleHandleW(NULL), header, NULL, EmptyDialogProc, 0);
    if (!dialog)
    {
        Fail("cannot build a reference dialog in %d point (error %lu)", pointSize, GetLastError());
        return FALSE;
    }
    ok = MapDialogRect(dialog, rect);
    DestroyWindow(dialog);
    return ok;
}

typedef struct
{
    int id;
    const wchar_t *className;
    const wchar_t *text; /* NULL: not checked */
    int x, y, cx, cy;
    DWORD style; /* besides WS_CHILD | WS_VISIBLE */
} CONTROLSPEC;

static const CONTROLSPEC MainControls[24] = {
    { 1, L"Button", L"ＯＫ", 111, 174, 50, 16, BS_DEFPUSHBUTTON | WS_TABSTOP },
    { 2, L"Button", L"ｷｬﾝｾﾙ", 165, 174, 50, 16, BS_PUSHBUTTON | WS_TABSTOP },
    { 1000, L"Edit", NULL, 87, 12, 127, 12, ES_READONLY | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP },
    { 1001, L"Edit", NULL, 87, 25, 127, 12, ES_READONLY | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP },
    { 1002, L"Edit", NULL, 87, 38, 127, 13, ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP },
    { 1003, L"Edit", NULL, 87, 51, 127, 12, ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP },
    { 1004, L"Edit", NULL, 87, 64, 127, 12, ES_READONLY | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP },
    { 1005, L"Edit", NULL, 87, 77, 127, 12, ES_READONLY | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP },
    { 1006, L"Edit", NULL, 87, 90, 127, 12, ES_READONLY | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP },
    { 1007, L"Edit", NULL, 87, 122, 127, 13, ES_READONLY | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP },
    { -1, L"Static", L"オペレーションシステム　：", 6, 12, 79, 12, SS_RIGHT | SS_CENTERIMAGE | WS_GROUP },
    { -1, L"Static", L"バージョン　：", 6, 25, 79, 12, SS_RIGHT | SS_CENTERIMAGE | WS_GROUP },
    { -1, L"Static", L"会社名　：", 6, 38, 79, 13, SS_RIGHT | SS_CENTERIMAGE | WS_GROUP },
    { -1, L"Static", L"ユーザ名　：", 6, 51, 79, 12, SS_RIGHT | SS_CENTERIMAGE | WS_GROUP },
    { -1, L"Static", L"プロダクトＩＤ　：", 6, 64, 79, 12, SS_RIGHT | SS_CENTERIMAGE | WS_GROUP },
    { -1, L"Static", L"プロダクトキー　：", 6, 77, 79, 12, SS_RIGHT | SS_CENTERIMAGE | WS_GROUP },
    { -1, L"Static", L"Plus!　バージョン　：", 6, 90, 79, 12, SS_RIGHT | SS_CENTERIMAGE | WS_GROUP },
    { -1, L"Button", L"システム情報", 2, 2, 219, 106, BS_GROUPBOX },
    { -1, L"Button", L"ネットワーク情報", 2, 112, 219, 54, BS_GROUPBOX },
    { 1008, L"Edit", NULL, 87, 135, 127, 12, ES_READONLY | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP },
    { 1009, L"Edit", NULL, 87, 148, 127, 12, ES_READONLY | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP },
    { -1, L"Static", L"コンピュータ名　：", 6, 135, 79, 12, SS_RIGHT | SS_CENTERIMAGE | WS_GROUP },
    { -1, L"Static", L"カレントユーザ名　：", 6, 122, 79, 12, SS_RIGHT | SS_CENTERIMAGE | WS_GROUP },
    { -1, L"Static", L"ワークグループ　：", 6, 148, 79, 12, SS_RIGHT | SS_CENTERIMAGE | WS_GROUP },
};

static const CONTROLSPEC VersionControls[5] = {
    { 2, L"Static", NULL, 7, 5, 20, 20, SS_ICON },
    { -1, L"Static", L"Palvorine  Version 1.0", 33, 5, 118, 9, SS_LEFT | SS_NOPREFIX | WS_GROUP },
    { 1, L"Button", L"OK", 113, 30, 30, 11, BS_DEFPUSHBUTTON | WS_GROUP | WS_TABSTOP },
    { -1, L"Static", NULL, 33, 15, 118, 9, SS_LEFT | WS_GROUP },
    { -1, L"Static", NULL, 33, 32, 72, 9, SS_LEFT | WS_GROUP },
};

/* The platform turns an edit control's WS_BORDER into its own border
   drawing, so for edits the border is judged by the client area being
   smaller than the window. */
static BOOL HasBorder(HWND control)
{
    RECT window, client;
    GetWindowRect(control, &window);
    GetClientRect(control, &client);
    return (GetWindowLongW(control, GWL_STYLE) & WS_BORDER) ||
           (GetWindowLongW(control, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) ||
           client.right < window.right - window.left;
}

static BOOL Within1(long actual, long expected)
{
    return actual >= expected - 1 && actual <= expected + 1;
}

/* The dialog manager scales a control's origin and size by the font's base
   units (x by base/4, y by base/8, each rounded). Whether a size is scaled
   by itself or as the difference of two scaled edges is the platform's
   rounding, so either is accepted; anything else is a different layout. */
static BOOL BaseUnits(int pointSize, int *xBase, int *yBase)
{
    RECT base = { 0, 0, 4, 8 };
    if (!MapUnits(pointSize, &base))
        return FALSE;
    *xBase = base.right;
    *yBase = base.bottom;
    return TRUE;
}

static BOOL SizeMatches(long actual, int origin, int size, int base, int units)
{
    return actual == MulDiv(size, base, units) ||
           actual == MulDiv(origin + size, base, units) - MulDiv(origin, base, units);
}

static BOOL PlacedAt(int pointSize, const CONTROLSPEC *want, const RECT *rect, BOOL sizeChecked, RECT *expected)
{
    int xBase, yBase;
    if (!BaseUnits(pointSize, &xBase, &yBase))
    {
        memset(expected, 0, sizeof(*expected));
        return FALSE;
    }
    expected->left = MulDiv(want->x, xBase, 4);
    expected->top = MulDiv(want->y, yBase, 8);
    expected->right = expected->left + MulDiv(want->cx, xBase, 4);
    expected->bottom = expected->top + MulDiv(want->cy, yBase, 8);
    return rect->left == expected->left && rect->top == expected->top &&
           (!sizeChecked || (SizeMatches(rect->right - rect->left, want->x, want->cx, xBase, 4) &&
                             SizeMatches(rect->bottom - rect->top, want->y, want->cy, yBase, 8)));
}

/* Checks the dialog's children against the table, in creation order. A
   static showing an icon is sized by the platform to the icon, so its size is
   not checked. */
static void CheckControls(HWND dialog, const CONTROLSPEC *controlTable, int count, int pointSize)
{
    const DWORD checked = 0xffff | WS_TABSTOP | WS_GROUP | WS_CHILD | WS_VISIBLE | WS_DISABLED | WS_POPUP |
                          WS_HSCROLL | WS_VSCROLL | WS_DLGFRAME;
    HWND child = GetWindow(dialog, GW_CHILD);
    int index = 0;

    for (; child && index < count; child = GetWindow(child, GW_HWNDNEXT), index++)
    {
        const CONTROLSPEC *want = &controlTable[index];
        wchar_t className[64];
        int id = GetDlgCtrlID(child);
        DWORD style = (DWORD)GetWindowLongW(child, GWL_STYLE);
        DWORD wantStyle = want->style | WS_CHILD | WS_VISIBLE;
        RECT rect, expected;
        BOOL isEdit = lstrcmpiW(want->className, L"Edit") == 0;

        if ((id & 0xffff) != (want->id & 0xffff))
            Fail("control #%d has id %d, expected %d", index + 1, id, want->id);
        GetClassNameW(child, className, 64);
        if (lstrcmpiW(className, want->className) != 0)
            Fail("control #%d (id %d) has class %s, expected %s", index + 1, want->id, Utf8(className, -1),
                 Utf8(want->className, -1));
        if (want->text && lstrcmpW(WindowTextW(child), want->text) != 0)
            Fail("control #%d (id %d) reads %s, expected %s", index + 1, want->id, ShowWide(WindowTextW(child)),
                 ShowWide(want->text));
        if ((style & checked) != (wantStyle & checked))
            Fail("control #%d (id %d) has style %08lx, expected %08lx (differing bits %08lx)", index + 1, want->id,
                 style & checked, wantStyle & checked, (style ^ wantStyle) & checked);
        if (isEdit)
        {
            if (!HasBorder(child) != !(want->style & WS_BORDER))
                Fail("control #%d (id %d) %s a border", index + 1, want->id, HasBorder(child) ? "has" : "lacks");
        }
        else if ((style & WS_BORDER) != (want->style & WS_BORDER))
            Fail("control #%d (id %d) %s WS_BORDER", index + 1, want->id, (style & WS_BORDER) ? "has" : "lacks");
        if (GetWindowLongW(child, GWL_EXSTYLE) & ~(WS_EX_NOPARENTNOTIFY | WS_EX_CLIENTEDGE))
            Fail("control #%d (id %d) has extended style %08lx", index + 1, want->id,
                 (DWORD)GetWindowLongW(child, GWL_EXSTYLE));

        GetWindowRect(child, &rect);
        MapWindowPoints(NULL, dialog, (POINT *)&rect, 2);
        BOOL sizeChecked = (want->style & 0x1f) != SS_ICON || lstrcmpiW(want->className, L"Static") != 0;
        if (!PlacedAt(pointSize, want, &rect, sizeChecked, &expected))
            Fail("control #%d (id %d) covers pixels (%ld,%ld)-(%ld,%ld), expected (%ld,%ld)-(%ld,%ld) "
                 "from %d,%d %dx%d dialog units in %d point",
                 index + 1, want->id, rect.left, rect.top, rect.right, rect.bottom, expected.left, expected.top,
                 expected.right, expected.bottom, want->x, want->y, want->cx, want->cy, pointSize);
    }
    if (index < count)
        Fail("the dialog has %d controls, expected %d", index, count);
    else if (child)
    {
        int extra = 0;
        for (; child; child = GetWindow(child, GW_HWNDNEXT))
            extra++;
        Fail("the dialog has %d controls more than the %d expected", extra, count);
    }
}

static void CheckClientSize(HWND dialog, int cx, int cy, int pointSize)
{
    RECT client, expected = { 0, 0, cx, cy };
    if (!MapUnits(pointSize, &expected))
        return;
    GetClientRect(dialog, &client);
    if (client.right != expected.right || client.bottom != expected.bottom)
        Fail("the dialog's client area is %ldx%ld pixels, expected %ldx%ld (%dx%d dialog units in %d point)",
             client.right, client.bottom, expected.right, expected.bottom, cx, cy, pointSize);
}

/* ------------------------------------------------------------ field checks */

static void CheckFields(HWND main, const char *const expected[10])
{
    for (int i = 0; i < 10; i++)
    {
        char text[1024];
        HWND control = GetDlgItem(main, 1000 + i);
        int length = control ? WindowTextA(control, text, sizeof(text)) : 0;
        if (!control)
        {
            Fail("control %d is missing", 1000 + i);
            continue;
        }
        if (length != (int)strlen(expected[i]) || memcmp(text, expected[i], (size_t)length) != 0)
            Fail("control %d shows %d bytes %s, expected %d bytes %s", 1000 + i, length,
                 ShowBytes((const BYTE *)text, (DWORD)length), (int)strlen(expected[i]), ShowText(expected[i]));
    }
}

/* The ten texts as GetWindowTextW gives them, to prove nothing moved. */
typedef struct
{
    wchar_t text[10][300];
} FIELDTEXTS;

static void ReadFields(HWND main, FIELDTEXTS *fields)
{
    for (int i = 0; i < 10; i++)
    {
        lstrcpynW(fields->text[i], WindowTextW(GetDlgItem(main, 1000 + i)), 300);
    }
}

static void CompareFields(HWND main, const FIELDTEXTS *before)
{
    FIELDTEXTS now;
    ReadFields(main, &now);
    for (int i = 0; i < 10; i++)
    {
        if (lstrcmpW(now.text[i], before->text[i]) != 0)
            Fail("control %d changed from %s to %s", 1000 + i, ShowWide(before->text[i]), ShowWide(now.text[i]));
    }
}

/* ---------------------------------------------------------- message boxes */

/* Finds the message box that the main dialog owns and checks its caption,
   text, buttons and icon. */
static HWND ExpectMessageBox(const APP *app, const wchar_t *caption, const wchar_t *text, const char *ansiText,
                             const int *buttons, int buttonCount, LPCWSTR icon, const char *iconName,
                             LPCWSTR otherIcon, const char *otherIconName)
{
    HWND box = FindOwned(app, app->main, 5000);
    HWND textControl, iconControl;
    int seen[8], seenCount = 0;
    char ansi[512];

    if (!box)
    {
        Fail("no message box owned by the main dialog appeared");
        return NULL;
    }
    if (lstrcmpW(WindowTextW(box), caption) != 0)
        Fail("the message box's caption is %s, expected %s", ShowWide(WindowTextW(box)), ShowWide(caption));
    if (IsWindowEnabled(app->main))
        Fail("the main dialog still takes input while the message box is open");
    textControl = GetDlgItem(box, 0xffff);
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
    {
        wchar_t className[64];
        GetClassNameW(child, className, 64);
        if (lstrcmpiW(className, L"Static") == 0 && GetWindowTextLengthW(child) > 0)
            textControl = child;
        if (lstrcmpiW(className, L"Button") == 0 && seenCount < 8)
            seen[seenCount++] = GetDlgCtrlID(child);
    }
    if (!textControl)
        Fail("the message box shows no text");
    else
    {
        if (lstrcmpW(WindowTextW(textControl), text) != 0)
            Fail("the message box's text is %s, expected %s", ShowWide(WindowTextW(textControl)), ShowWide(text));
        int length = WindowTextA(textControl, ansi, sizeof(ansi));
        if (length != (int)strlen(ansiText) || memcmp(ansi, ansiText, (size_t)length) != 0)
            Fail("the message box's text reads as bytes %s, expected %s",
                 ShowBytes((const BYTE *)ansi, (DWORD)length), ShowText(ansiText));
    }
    BOOL sameButtons = seenCount == buttonCount;
    for (int i = 0; i < buttonCount && sameButtons; i++)
    {
        BOOL found = FALSE;
        for (int j = 0; j < seenCount; j++)
            found |= seen[j] == buttons[i];
        sameButtons = found;
    }
    if (!sameButtons)
    {
        char list[128] = "";
        for (int j = 0; j < seenCount; j++)
            snprintf(list + strlen(list), sizeof(list) - strlen(list), " %d", seen[j]);
        Fail("the message box has the buttons {%s }, expected %d button(s): %s", list, buttonCount,
             buttonCount == 1 ? "OK (1)" : "Yes (6) and No (7)");
    }
    iconControl = GetDlgItem(box, 1088);
    if (!iconControl)
    {
        for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        {
            if ((GetWindowLongW(child, GWL_STYLE) & 0x1f) == SS_ICON)
                iconControl = child;
        }
    }
    if (!iconControl || !SendMessageW(iconControl, STM_GETICON, 0, 0))
        Fail("the message box shows no icon, expected the %s icon", iconName);
    else
        ExpectIcon(iconControl, LoadIconW(NULL, icon), iconName, LoadIconW(NULL, otherIcon), otherIconName);
    return box;
}

static HWND ExpectExitQuestion(const APP *app)
{
    static const int buttons[2] = { IDYES, IDNO };
    return ExpectMessageBox(app, L"終了", L"終了しますか？", ExitText, buttons, 2, ICON_QUESTION, "question",
                            ICON_WARNING, "warning");
}

static HWND ExpectWarning(const APP *app)
{
    static const int buttons[1] = { IDOK };
    return ExpectMessageBox(app, L"エラー", L"エラーが発生しました\n強制終了します", WarningText, buttons, 1,
                            ICON_WARNING, "warning", ICON_QUESTION, "question");
}

/* Presses a message box button and waits for the box to go. */
static BOOL Answer(HWND box, int button)
{
    HWND control = GetDlgItem(box, button);
    if (!control)
    {
        Fail("the message box has no button %d", button);
        return FALSE;
    }
    Press(control);
    if (!WaitGone(box, 5000))
    {
        Fail("the message box is still open after pressing button %d", button);
        return FALSE;
    }
    return TRUE;
}

/* --------------------------------------------------------------- seed data */

static const SEEDVALUE FullSeed[] = {
    SEED_SZ(KEY_WINDOWS, "ProductName", "Microsoft Windows 98"),
    SEED_SZ(KEY_WINDOWS, "VersionNumber", " 4.10.2222"),
    SEED_SZ(KEY_WINDOWS, "SubVersionNumber", " A "),
    SEED_SZ(KEY_WINDOWS, "RegisteredOrganization", SJ_ORG),
    SEED_SZ(KEY_WINDOWS, "RegisteredOwner", SJ_OWNER_KANA),
    SEED_SZ(KEY_WINDOWS, "ProductId", "12345-OEM-0067890-12345"),
    SEED_SZ(KEY_WINDOWS, "ProductKey", "ABCDE-FGHJK-MNPQR-STVWX-YZ234"),
    SEED_SZ(KEY_WINDOWS, "Plus! VersionNumber", "IE 5 5.00.2614.3500"),
    SEED_SZ(KEY_CONTROL, "Current User", SJ_YAMADA),
    SEED_SZ(KEY_VNETSUP, "ComputerName", "PC-" SJ_KEIRIBU "-01"),
    SEED_SZ(KEY_VNETSUP, "Workgroup", SJ_KEIRIBU),
};

static const char *const FullFields[10] = {
    "Microsoft Windows 98",
    " 4.10.2222 A ",
    SJ_ORG,
    SJ_OWNER_KANA,
    "12345-OEM-0067890-12345",
    "ABCDE-FGHJK-MNPQR-STVWX-YZ234",
    "IE 5 5.00.2614.3500",
    SJ_YAMADA,
    "PC-" SJ_KEIRIBU "-01",
    SJ_KEIRIBU,
};

#define TEXT_127 "Windows 98 Second Edition 4.10.2222 A, a product name long enough to fill exactly one hundred and twenty-seven bytes of its buf"
static_assert(sizeof(TEXT_127) == 128, "TEXT_127 holds 127 bytes of text");
#define TEXT_128 TEXT_127 "s"

static const SEEDVALUE LimitSeed[] = {
    SEED_SZ(KEY_WINDOWS, "ProductName", TEXT_127),                 /* 128 bytes with the zero: shown */
    SEED_SZ(KEY_WINDOWS, "VersionNumber", "4.10.2222"),            /* no SubVersionNumber */
    SEED_SZ(KEY_WINDOWS, "RegisteredOrganization", SJ_ME63),       /* 126 bytes of double-byte text */
    SEED_SZ(KEY_WINDOWS, "RegisteredOwner", "A" SJ_ME63),          /* 127 bytes, the last a trail byte */
    SEED_SZ(KEY_WINDOWS, "ProductId", TEXT_128),                   /* 129 bytes: too long, left empty */
    SEED_SZ(KEY_WINDOWS, "ProductKey", ""),                        /* present but empty */
    SEED_SZ(KEY_CONTROL, "Current User", "\xd5\xb0\xbb\xde"),      /* ﾕｰｻﾞ */
    SEED_SZ(KEY_VNETSUP, "ComputerName", "SAMPLE-PC"),
};

static const char *const LimitFields[10] = {
    TEXT_127, "4.10.2222", SJ_ME63, "A" SJ_ME63, "", "", "", "\xd5\xb0\xbb\xde", "SAMPLE-PC", "",
};

static const SEEDVALUE NoNetworkSeed[] = {
    SEED_SZ(KEY_WINDOWS, "ProductName", "Microsoft Windows 95"),
    SEED_SZ(KEY_WINDOWS, "SubVersionNumber", " C"), /* without VersionNumber it shows nowhere */
    SEED_SZ(KEY_WINDOWS, "RegisteredOwner", SJ_YAMADA),
    SEED_SZ(KEY_WINDOWS, "Plus! VersionNumber", "4.40.500"),
    SEED_SZ(KEY_CONTROL, "Current User", "yamada"),
};

static const char *const NoNetworkFields[10] = {
    "Microsoft Windows 95", "", "", SJ_YAMADA, "", "", "4.40.500", "yamada", "", "",
};

#define COUNT(array) ((int)(sizeof(array) / sizeof((array)[0])))

static BOOL Begin(const SEEDVALUE *seed, int count, BOOL networkKey, APP *app)
{
    Step("seed the registry and start the program");
    if (!Seed(seed, count, networkKey) || !Snapshot(&g_before))
        return FALSE;
    return StartApp(app);
}

/* ---------------------------------------------------------------- scenarios */

static void FieldsCase(const SEEDVALUE *seed, int count, BOOL networkKey, const char *const fields[10])
{
    APP app;
    if (Begin(seed, count, networkKey, &app))
    {
        Step("compare controls 1000-1009 with the seeded bytes");
        CheckFields(app.main, fields);
        Step("Cancel");
        Press(GetDlgItem(app.main, IDCANCEL));
        ExpectExit(&app);
        CompareRegistry(NULL, 0);
    }
    KillApp(&app);
}

static void ScenarioFieldsFull(void)
{
    FieldsCase(FullSeed, COUNT(FullSeed), TRUE, FullFields);
}

static void ScenarioFieldsLimits(void)
{
    FieldsCase(LimitSeed, COUNT(LimitSeed), TRUE, LimitFields);
}

static void ScenarioFieldsNoNetwork(void)
{
    FieldsCase(NoNetworkSeed, COUNT(NoNetworkSeed), FALSE, NoNetworkFields);
}

static void CheckMenuResource(void)
{
    static const struct
    {
        const wchar_t *popup;
        const wchar_t *item;
        UINT id;
    } expected[2] = {
        { L"ﾌｧｲﾙ(&F)", L"ｱﾌﾟﾘｹｰｼｮﾝの終了(&X)", IDM_EXIT },
        { L"ﾍﾙﾌﾟ(&H)", L"ﾊﾞｰｼﾞｮﾝ情報(&A)", IDM_VERSION },
    };
    /* A menu handle belongs to the process that made it, so the menu is read
       from the same resource the dialog template names, and the live check
       below drives it by its access keys. */
    HMODULE module = LoadLibraryExW(g_program, NULL, LOAD_LIBRARY_AS_DATAFILE);
    HMENU menu = module ? LoadMenuW(module, MAKEINTRESOURCEW(109)) : NULL;
    if (!menu)
    {
        Fail("the program has no menu resource 109");
        if (module)
            FreeLibrary(module);
        return;
    }
    if (GetMenuItemCount(menu) != 2)
        Fail("the menu bar has %d entries, expected 2", GetMenuItemCount(menu));
    for (int i = 0; i < 2 && i < GetMenuItemCount(menu); i++)
    {
        wchar_t text[128] = L"";
        HMENU popup = GetSubMenu(menu, i);
        GetMenuStringW(menu, (UINT)i, text, 128, MF_BYPOSITION);
        if (lstrcmpW(text, expected[i].popup) != 0)
            Fail("menu bar entry %d reads %s, expected %s", i + 1, ShowWide(text), ShowWide(expected[i].popup));
        if (!popup)
        {
            Fail("menu bar entry %d is not a popup", i + 1);
            continue;
        }
        if (GetMenuItemCount(popup) != 1)
            Fail("popup %s holds %d items, expected 1", ShowWide(expected[i].popup), GetMenuItemCount(popup));
        text[0] = 0;
        GetMenuStringW(popup, 0, text, 128, MF_BYPOSITION);
        if (lstrcmpW(text, expected[i].item) != 0)
            Fail("the item of popup %s reads %s, expected %s", ShowWide(expected[i].popup), ShowWide(text),
                 ShowWide(expected[i].item));
        if (GetMenuItemID(popup, 0) != expected[i].id)
            Fail("the item %s sends %u, expected %u", ShowWide(expected[i].item), GetMenuItemID(popup, 0),
                 expected[i].id);
    }
    DestroyMenu(menu);
    FreeLibrary(module);
}

static void ScenarioTemplate(void)
{
    APP app;
    static const int tabOrder[] = { 2, 1000, 1001, 1002, 1003, 1004, 1005, 1006, 1007, 1008, 1009, 1 };

    if (Begin(FullSeed, COUNT(FullSeed), TRUE, &app))
    {
        HWND main = app.main;
        HWND ok = GetDlgItem(main, IDOK);
        DWORD style = (DWORD)GetWindowLongW(main, GWL_STYLE);
        DWORD exStyle = (DWORD)GetWindowLongW(main, GWL_EXSTYLE);
        wchar_t className[64];

        Step("focus on OK at start");
        if (FocusOf(&app) != ok)
            Fail("the focus is on control %d at start, expected OK (1)", GetDlgCtrlID(FocusOf(&app)));

        Step("the 24 controls in creation order");
        CheckControls(main, MainControls, 24, 9);
        CheckClientSize(main, 223, 197, 9);

        Step("the main dialog's window");
        GetClassNameW(main, className, 64);
        if (lstrcmpW(className, L"#32770") != 0)
            Fail("the main dialog's class is %s, expected the standard dialog class", Utf8(className, -1));
        if (!(style & WS_MINIMIZEBOX))
            Fail("the main dialog has no minimise box (style %08lx)", style);
        if (style & WS_MAXIMIZEBOX)
            Fail("the main dialog has a maximise box (style %08lx)", style);
        if (style & WS_THICKFRAME)
            Fail("the main dialog has a sizing frame (style %08lx)", style);
        if ((style & (WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME)) !=
            (WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME))
            Fail("the main dialog's style %08lx lacks some of WS_POPUP, WS_CAPTION, WS_SYSMENU, DS_MODALFRAME",
                 style);
        if (exStyle & ~(WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE | WS_EX_CONTROLPARENT))
            Fail("the main dialog has extended styles %08lx beyond those a modal frame brings",
                 exStyle & ~(WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE | WS_EX_CONTROLPARENT));
        {
            /* Wine answers WM_GETICON from another process with NULL whatever
               is set, but a window with an icon draws it at the left of its
               caption and reports that spot as its system menu. */
            RECT rect;
            GetWindowRect(main, &rect);
            int y = rect.top + GetSystemMetrics(SM_CYFIXEDFRAME) + GetSystemMetrics(SM_CYCAPTION) / 2;
            for (int x = rect.left + 4; x < rect.left + 4 + GetSystemMetrics(SM_CXSMICON); x += 3)
            {
                LRESULT hit = SendMessageW(main, WM_NCHITTEST, 0, MAKELPARAM(x, y));
                if (hit != HTCAPTION)
                {
                    Fail("the left end of the main dialog's caption is hit-test area %ld, expected the caption "
                         "(%d): an icon takes its place",
                         (long)hit, HTCAPTION);
                    break;
                }
            }
        }
        if (!GetMenu(main))
            Fail("the main dialog has no menu");
        {
            RECT expected = { 10, 10, 0, 0 };
            POINT origin = { 0, 0 };
            ClientToScreen(main, &origin);
            if (MapUnits(9, &expected) && !Within1(origin.x, expected.left))
                Fail("the main dialog's client area starts at x = %ld, expected %ld (10 dialog units)", origin.x,
                     expected.left);
        }

        Step("tab order from OK");
        {
            HWND at = ok;
            for (int i = 0; i < COUNT(tabOrder); i++)
            {
                HWND next = GetNextDlgTabItem(main, at, FALSE);
                if (GetDlgCtrlID(next) != tabOrder[i])
                {
                    Fail("Tab from control %d goes to %d, expected %d", GetDlgCtrlID(at), GetDlgCtrlID(next),
                         tabOrder[i]);
                    break;
                }
                at = next;
            }
            HWND previous = GetNextDlgTabItem(main, ok, TRUE);
            if (GetDlgCtrlID(previous) != 1009)
                Fail("Shift+Tab from OK goes to %d, expected 1009", GetDlgCtrlID(previous));
        }

        Step("real Tab keys walk the same order");
        for (int i = 0; i < COUNT(tabOrder); i++)
        {
            DWORD start = GetTickCount();
            if (!PressKey(main, VK_TAB))
                break;
            while (GetDlgCtrlID(FocusOf(&app)) != tabOrder[i] && GetTickCount() - start < 2000)
                Sleep(20);
            if (GetDlgCtrlID(FocusOf(&app)) != tabOrder[i])
            {
                Fail("Tab key number %d put the focus on %d, expected %d", i + 1, GetDlgCtrlID(FocusOf(&app)),
                     tabOrder[i]);
                break;
            }
        }

        Step("only 1002 and 1003 take typing");
        {
            /* Posted messages of one thread are handled in order: a marker
               typed into 1002 after each read-only control's Z shows that Z
               has been handled. */
            HWND marker = GetDlgItem(main, ID_ORGANIZATION);
            TypeText(marker, L"Z");
            TypeText(GetDlgItem(main, ID_OWNER), L"Z");
            for (int i = 0; i < 10; i++)
            {
                HWND edit = GetDlgItem(main, 1000 + i);
                wchar_t before[300], after[300], mark[2] = { (wchar_t)(L'a' + i), 0 };
                if (1000 + i == ID_ORGANIZATION || 1000 + i == ID_OWNER)
                    continue;
                lstrcpynW(before, WindowTextW(edit), 300);
                SendMessageW(edit, EM_SETSEL, 0, -1);
                PostMessageW(edit, WM_CHAR, L'Z', 1);
                if (!TypeText(marker, mark))
                    break;
                lstrcpynW(after, WindowTextW(edit), 300);
                if (lstrcmpW(after, before) != 0)
                    Fail("typing Z into read-only control %d changed it from %s to %s", 1000 + i,
                         ShowWide(before), ShowWide(after));
            }
        }

        Step("the menu resource");
        CheckMenuResource();

        Step("Cancel");
        Press(GetDlgItem(main, IDCANCEL));
        ExpectExit(&app);
        CompareRegistry(NULL, 0);
    }
    KillApp(&app);
}

/* Types new texts into both editable fields. */
static BOOL EditBoth(const APP *app)
{
    wchar_t organization[64];
    WideFromSjis(SJ_PALVORINE_CORP, organization, 64);
    return TypeText(GetDlgItem(app->main, ID_ORGANIZATION), organization) &&
           TypeText(GetDlgItem(app->main, ID_OWNER), L"Changed Owner");
}

static void ScenarioExitQuestion(void)
{
    APP app;
    if (Begin(FullSeed, COUNT(FullSeed), TRUE, &app))
    {
        FIELDTEXTS edited;
        Step("edit both fields");
        if (EditBoth(&app))
        {
            ReadFields(app.main, &edited);
            Step("exit from the menu by its access keys (Alt+F, X), answer No");
            PressMenu(app.main, 'F', 'X');
            HWND box = ExpectExitQuestion(&app);
            if (box && Answer(box, IDNO))
            {
                Sleep(300);
                if (!StillRunning(&app))
                    Fail("the program ended after No, expected the dialog to stay open");
                else
                {
                    if (!IsWindowVisible(app.main) || !IsWindowEnabled(app.main))
                        Fail("the main dialog is %s after No", IsWindowVisible(app.main) ? "disabled" : "hidden");
                    if (FindOwned(&app, app.main, 0))
                        Fail("a window owned by the main dialog is still open after No");
                    CompareFields(app.main, &edited);

                    Step("exit from the menu command, answer Yes");
                    PostMessageW(app.main, WM_COMMAND, IDM_EXIT, 0);
                    box = ExpectExitQuestion(&app);
                    if (box && Answer(box, IDYES))
                    {
                        ExpectExit(&app);
                        CompareRegistry(NULL, 0);
                    }
                }
            }
        }
    }
    KillApp(&app);
}

typedef enum
{
    CLOSE_CANCEL_BUTTON,
    CLOSE_ESCAPE,
    CLOSE_BOX_MOUSE,
    CLOSE_SYSCOMMAND,
} CLOSEWAY;

/* The caption's close button, found by asking the window what lies under
   points along its caption. */
static BOOL FindCloseBox(HWND window, POINT *point)
{
    RECT rect;
    GetWindowRect(window, &rect);
    for (int y = rect.top + 2; y < rect.top + 40; y += 2)
    {
        for (int x = rect.right - 2; x > rect.right - 80; x -= 2)
        {
            if (SendMessageW(window, WM_NCHITTEST, 0, MAKELPARAM(x, y)) == HTCLOSE)
            {
                point->x = x - 3; /* towards the button's middle */
                point->y = y + 4;
                if (SendMessageW(window, WM_NCHITTEST, 0, MAKELPARAM(point->x, point->y)) != HTCLOSE)
                {
                    point->x = x;
                    point->y = y;
                }
                return TRUE;
            }
        }
    }
    return FALSE;
}

static void CloseCase(CLOSEWAY way)
{
    APP app;
    if (Begin(FullSeed, COUNT(FullSeed), TRUE, &app))
    {
        Step("edit both fields");
        if (EditBoth(&app))
        {
            switch (way)
            {
            case CLOSE_CANCEL_BUTTON:
                Step("click Cancel");
                ClickControl(GetDlgItem(app.main, IDCANCEL));
                break;
            case CLOSE_ESCAPE:
                Step("press Esc in control 1003");
                if (FocusControl(&app, GetDlgItem(app.main, ID_OWNER)))
                    PressKey(app.main, VK_ESCAPE);
                break;
            case CLOSE_BOX_MOUSE:
            {
                POINT point;
                Step("click the title bar's close button");
                if (!FindCloseBox(app.main, &point))
                    Fail("the main dialog's caption has no close button");
                else if (MakeForeground(app.main))
                    ClickAt(point.x, point.y);
                break;
            }
            case CLOSE_SYSCOMMAND:
                Step("close from the window menu (SC_CLOSE)");
                PostMessageW(app.main, WM_SYSCOMMAND, SC_CLOSE, 0);
                break;
            }
            Sleep(300);
            if (StillRunning(&app) && FindOwned(&app, app.main, 0))
                Fail("a window owned by the main dialog opened (%s); expected the program to end at once",
                     ShowWide(WindowTextW(FindOwned(&app, app.main, 0))));
            ExpectExit(&app);
            CompareRegistry(NULL, 0);
        }
    }
    KillApp(&app);
}

static void ScenarioCancel(void)
{
    CloseCase(CLOSE_CANCEL_BUTTON);
}

static void ScenarioEscape(void)
{
    CloseCase(CLOSE_ESCAPE);
}

static void ScenarioCloseBox(void)
{
    CloseCase(CLOSE_BOX_MOUSE);
}

static void ScenarioCloseCommand(void)
{
    CloseCase(CLOSE_SYSCOMMAND);
}

/* Opens the version dialog, checks it, and returns it. */
static HWND ExpectVersionDialog(const APP *app)
{
    HWND version = FindOwned(app, app->main, 5000);
    if (!version)
    {
        Fail("no dialog owned by the main dialog appeared");
        return NULL;
    }
    if (lstrcmpW(WindowTextW(version), L"ﾊﾞｰｼﾞｮﾝ情報") != 0)
        Fail("the version dialog's caption is %s, expected %s", ShowWide(WindowTextW(version)),
             ShowWide(L"ﾊﾞｰｼﾞｮﾝ情報"));
    if (IsWindowEnabled(app->main))
        Fail("the main dialog still takes input while the version dialog is open");
    return version;
}

static void ScenarioVersion(void)
{
    APP app;
    if (Begin(FullSeed, COUNT(FullSeed), TRUE, &app))
    {
        FIELDTEXTS fields;
        Step("edit a field, then open the version dialog by its access keys (Alt+H, A)");
        if (TypeText(GetDlgItem(app.main, ID_OWNER), L"Owner before version"))
        {
            ReadFields(app.main, &fields);
            PressMenu(app.main, 'H', 'A');
            HWND version = ExpectVersionDialog(&app);
            if (version)
            {
                DWORD style = (DWORD)GetWindowLongW(version, GWL_STYLE);
                HWND iconControl = GetDlgItem(version, 2);
                HMODULE module;

                Step("the version dialog's window and controls");
                CheckControls(version, VersionControls, 5, 11);
                CheckClientSize(version, 154, 49, 11);
                if ((style & (WS_CAPTION | WS_SYSMENU | DS_MODALFRAME)) != (WS_CAPTION | WS_SYSMENU | DS_MODALFRAME))
                    Fail("the version dialog's style %08lx lacks some of WS_CAPTION, WS_SYSMENU, DS_MODALFRAME",
                         style);
                if (style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME))
                    Fail("the version dialog has a minimise box, maximise box or sizing frame (style %08lx)", style);
                if (GetMenu(version))
                    Fail("the version dialog has a menu");
                {
                    DWORD exStyle = (DWORD)GetWindowLongW(version, GWL_EXSTYLE);
                    if (exStyle & ~(WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE | WS_EX_CONTROLPARENT))
                        Fail("the version dialog has extended styles %08lx beyond those a modal frame brings",
                             exStyle & ~(WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE | WS_EX_CONTROLPARENT));
                }
                {
                    RECT offset = { 22, 17, 0, 0 };
                    POINT mainOrigin = { 0, 0 }, versionOrigin = { 0, 0 };
                    ClientToScreen(app.main, &mainOrigin);
                    ClientToScreen(version, &versionOrigin);
                    if (MapUnits(11, &offset) && (!Within1(versionOrigin.x - mainOrigin.x, offset.left) ||
                                                  !Within1(versionOrigin.y - mainOrigin.y, offset.top)))
                        Fail("the version dialog's client area lies at (%ld,%ld) from the main dialog's, "
                             "expected (%ld,%ld) (22,17 dialog units)",
                             versionOrigin.x - mainOrigin.x, versionOrigin.y - mainOrigin.y, offset.left,
                             offset.top);
                }

                Step("the version dialog's icon");
                if (!iconControl || !SendMessageW(iconControl, STM_GETICON, 0, 0))
                    Fail("the icon control (id 2) shows no icon");
                else
                {
                    module = LoadLibraryExW(g_program, NULL, LOAD_LIBRARY_AS_DATAFILE);
                    HICON own = module ? (HICON)LoadImageW(module, MAKEINTRESOURCEW(107), IMAGE_ICON, 32, 32, 0)
                                       : NULL;
                    if (!own)
                        Fail("the program has no icon resource 107 in 32x32");
                    else
                    {
                        ExpectIcon(iconControl, own, "program's own", LoadIconW(NULL, MAKEINTRESOURCEW(32512)),
                                   "generic application");
                        DestroyIcon(own);
                    }
                    if (module)
                        FreeLibrary(module);
                }

                Step("OK closes the version dialog");
                Press(GetDlgItem(version, IDOK));
                if (!WaitGone(version, 5000))
                    Fail("the version dialog is still open after OK");
                else
                {
                    Sleep(200);
                    if (!StillRunning(&app))
                        Fail("the program ended with the version dialog");
                    else
                    {
                        if (!IsWindowEnabled(app.main))
                            Fail("the main dialog stays disabled after the version dialog closed");
                        CompareFields(app.main, &fields);

                        Step("open it from the menu command, close it with Esc");
                        PostMessageW(app.main, WM_COMMAND, IDM_VERSION, 0);
                        version = ExpectVersionDialog(&app);
                        if (version)
                        {
                            PressKey(version, VK_ESCAPE);
                            if (!WaitGone(version, 5000))
                                Fail("the version dialog is still open after Esc");
                            Sleep(200);
                            CompareFields(app.main, &fields);
                        }

                        Step("open it again, close it with Enter");
                        PostMessageW(app.main, WM_COMMAND, IDM_VERSION, 0);
                        version = ExpectVersionDialog(&app);
                        if (version)
                        {
                            PressKey(version, VK_RETURN);
                            if (!WaitGone(version, 5000))
                                Fail("the version dialog is still open after Enter");
                            Sleep(200);
                        }

                        Step("open it again, close it with its title bar's close button");
                        PostMessageW(app.main, WM_COMMAND, IDM_VERSION, 0);
                        version = ExpectVersionDialog(&app);
                        if (version)
                        {
                            POINT point;
                            if (!FindCloseBox(version, &point))
                                Fail("the version dialog's caption has no close button");
                            else if (MakeForeground(version))
                                ClickAt(point.x, point.y);
                            if (!WaitGone(version, 5000))
                                Fail("the version dialog is still open after its close button");
                            Sleep(200);
                            CompareFields(app.main, &fields);
                        }
                        if (StillRunning(&app))
                        {
                            Step("Cancel");
                            Press(GetDlgItem(app.main, IDCANCEL));
                        }
                        else
                            Fail("the program ended while closing the version dialog");
                        ExpectExit(&app);
                        CompareRegistry(NULL, 0);
                    }
                }
            }
        }
    }
    KillApp(&app);
}

/* ------------------------------------------------------------------ saving */

typedef enum
{
    ENTER_SET_TEXT,
    ENTER_TYPE,
    ENTER_LEAVE,
} ENTRYWAY;

typedef enum
{
    SAVE_OK_BUTTON,
    SAVE_OK_CLICK,
    SAVE_ENTER_IN_OWNER,
} SAVEWAY;

typedef struct
{
    const SEEDVALUE *seed;
    int seedCount;
    ENTRYWAY orgWay;
    const char *orgText; /* Shift JIS; with ENTER_LEAVE, the seeded text */
    int orgKeep;         /* bytes expected before the zeros */
    ENTRYWAY ownerWay;
    const char *ownerText;
    int ownerKeep;
    SAVEWAY saveWay;
} SAVECASE;

#define TEXT_140 "Owner 0123456789 0123456789 0123456789 0123456789 0123456789 0123456789 0123456789 0123456789 0123456789 0123456789 0123456789 0123456789 01"
static_assert(sizeof(TEXT_140) == 141, "TEXT_140 holds 140 bytes of text");

static const SEEDVALUE SeedWithoutOwners[] = {
    SEED_SZ(KEY_WINDOWS, "ProductName", "Microsoft Windows 98"),
    SEED_SZ(KEY_WINDOWS, "VersionNumber", "4.10.1998"),
    SEED_SZ(KEY_CONTROL, "Current User", "guest"),
    SEED_SZ(KEY_VNETSUP, "ComputerName", "ROOM-1"),
    SEED_SZ(KEY_VNETSUP, "Workgroup", "HOME"),
};

static BOOL Enter(HWND edit, ENTRYWAY way, const char *sjis)
{
    wchar_t wide[300];
    if (way == ENTER_LEAVE)
        return TRUE;
    WideFromSjis(sjis, wide, 300);
    return way == ENTER_TYPE ? TypeText(edit, wide) : PutText(edit, wide);
}

static void SaveCase(const SAVECASE *c)
{
    APP app;
    BYTE organization[128], owner[128];
    EXPECTEDWRITE writes[2] = {
        { KEY_WINDOWS, "RegisteredOrganization", organization },
        { KEY_WINDOWS, "RegisteredOwner", owner },
    };

    SavedBytes(organization, c->orgText, c->orgKeep);
    SavedBytes(owner, c->ownerText, c->ownerKeep);
    if (Begin(c->seed, c->seedCount, TRUE, &app))
    {
        Step("enter the organisation (%d bytes) and the owner (%d bytes)", (int)strlen(c->orgText),
             (int)strlen(c->ownerText));
        if (Enter(GetDlgItem(app.main, ID_ORGANIZATION), c->orgWay, c->orgText) &&
            Enter(GetDlgItem(app.main, ID_OWNER), c->ownerWay, c->ownerText))
        {
            switch (c->saveWay)
            {
            case SAVE_OK_BUTTON:
                Step("press OK");
                Press(GetDlgItem(app.main, IDOK));
                break;
            case SAVE_OK_CLICK:
                Step("click OK");
                ClickControl(GetDlgItem(app.main, IDOK));
                break;
            case SAVE_ENTER_IN_OWNER:
                Step("press Enter in control 1003");
                if (FocusControl(&app, GetDlgItem(app.main, ID_OWNER)))
                    PressKey(app.main, VK_RETURN);
                break;
            }
            Sleep(200);
            if (StillRunning(&app) && FindOwned(&app, app.main, 0))
                Fail("a window owned by the main dialog opened (%s) while saving",
                     ShowWide(WindowTextW(FindOwned(&app, app.main, 0))));
            ExpectExit(&app);
            Step("compare the registry");
            CompareRegistry(writes, 2);
        }
    }
    KillApp(&app);
}

static void ScenarioSaveJapaneseAndLong(void)
{
    static const SAVECASE c = {
        FullSeed, COUNT(FullSeed),
        ENTER_SET_TEXT, SJ_PALVORINE_CORP, 20,
        ENTER_TYPE, TEXT_140, 127,
        SAVE_OK_BUTTON,
    };
    SaveCase(&c);
}

static void ScenarioSaveDoubleByteCut(void)
{
    /* Byte 127 is the trail byte 0x81 of the 63rd メ: kept whole. Then byte 127
       is the lead byte of the 64th メ: cut to 126. */
    static const SAVECASE c = {
        FullSeed, COUNT(FullSeed),
        ENTER_SET_TEXT, "A" SJ_ME63 SJ_ME, 127,
        ENTER_TYPE, SJ_ME63 SJ_ME "B", 126,
        SAVE_OK_CLICK,
    };
    SaveCase(&c);
}

static void ScenarioSaveEmptyAndUnchanged(void)
{
    static const SAVECASE c = {
        FullSeed, COUNT(FullSeed),
        ENTER_SET_TEXT, "", 0,
        ENTER_LEAVE, SJ_OWNER_KANA, 8,
        SAVE_OK_BUTTON,
    };
    SaveCase(&c);
}

static void ScenarioSaveEnterCreates(void)
{
    static const SAVECASE c = {
        SeedWithoutOwners, COUNT(SeedWithoutOwners),
        ENTER_TYPE, SJ_PALVORINE_KANA, 8,
        ENTER_TYPE, SJ_YAMADA " " SJ_PALVORINE_KANA, 13,
        SAVE_ENTER_IN_OWNER,
    };
    SaveCase(&c);
}

static void ScenarioDenied(void)
{
    APP app;
    static const char *const deniedFields[10] = { "", "", "", "", "", "", "", SJ_YAMADA, "PC-" SJ_KEIRIBU "-01",
                                                  SJ_KEIRIBU };
    memset(&app, 0, sizeof(app));
    if (Seed(FullSeed, COUNT(FullSeed), TRUE) && Snapshot(&g_before))
    {
        /* Everyone may still read the key and its access list may be put
           back, but nobody may change its values: a full-access open fails. */
        Step("deny writing to HKLM\\%s", REGPATH_WINDOWS);
        if (SetWindowsKeyDacl("D:(D;;0x6;;;WD)(A;;KA;;;BA)(A;;KR;;;WD)"))
        {
            HKEY probe;
            if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, REGPATH_WINDOWS, 0, KEY_ALL_ACCESS, &probe) == ERROR_SUCCESS)
            {
                RegCloseKey(probe);
                Fail("the key still opens with KEY_ALL_ACCESS after denying writes");
            }
            else if (StartApp(&app))
            {
                Step("fields of the denied key stay empty, the others fill");
                CheckFields(app.main, deniedFields);
                Step("edit both fields and press OK");
                if (EditBoth(&app))
                {
                    Press(GetDlgItem(app.main, IDOK));
                    HWND box = ExpectWarning(&app);
                    if (box)
                    {
                        Screenshot("warning");
                        if (!StillRunning(&app))
                            Fail("the program ended while its warning was open");
                        Answer(box, IDOK);
                    }
                    ExpectExit(&app);
                }
            }
        }
        KillApp(&app);
        Step("restore the key's access list");
        SetWindowsKeyDacl(DefaultWindowsKeyDacl);
        CompareRegistry(NULL, 0);
    }
}

static void ScenarioScreenshots(void)
{
    APP app;
    if (!g_shotDir[0])
    {
        Fail("no screenshot directory given");
        return;
    }
    if (Begin(FullSeed, COUNT(FullSeed), TRUE, &app))
    {
        Screenshot("main");
        Step("the file menu open");
        if (MakeForeground(app.main))
        {
            Key(VK_MENU, FALSE);
            Key('F', FALSE);
            Key('F', TRUE);
            Key(VK_MENU, TRUE);
            ScreenshotFromWine("menu-file");
            /* Right arrow moves to the next popup of the bar. */
            Key(VK_RIGHT, FALSE);
            Key(VK_RIGHT, TRUE);
            ScreenshotFromWine("menu-help");
            PressKey(app.main, VK_ESCAPE);
            PressKey(app.main, VK_ESCAPE);
        }
        Step("version dialog");
        PostMessageW(app.main, WM_COMMAND, IDM_VERSION, 0);
        HWND version = ExpectVersionDialog(&app);
        if (version)
        {
            Screenshot("version");
            Press(GetDlgItem(version, IDOK));
            WaitGone(version, 5000);
        }
        Step("exit question");
        PostMessageW(app.main, WM_COMMAND, IDM_EXIT, 0);
        HWND box = ExpectExitQuestion(&app);
        if (box)
        {
            Screenshot("exit-question");
            if (Answer(box, IDYES))
                ExpectExit(&app);
        }
    }
    KillApp(&app);
}

/* ------------------------------------------------------------------- main */

static const struct
{
    const char *name;
    void (*run)(void);
} Scenarios[] = {
    { "fields-full", ScenarioFieldsFull },
    { "fields-limits", ScenarioFieldsLimits },
    { "fields-no-network", ScenarioFieldsNoNetwork },
    { "template", ScenarioTemplate },
    { "exit-question", ScenarioExitQuestion },
    { "cancel", ScenarioCancel },
    { "escape", ScenarioEscape },
    { "close-box", ScenarioCloseBox },
    { "close-command", ScenarioCloseCommand },
    { "version", ScenarioVersion },
    { "save-japanese-long", ScenarioSaveJapaneseAndLong },
    { "save-double-byte-cut", ScenarioSaveDoubleByteCut },
    { "save-empty-unchanged", ScenarioSaveEmptyAndUnchanged },
    { "save-enter-creates", ScenarioSaveEnterCreates },
    { "denied", ScenarioDenied },
    { "screenshots", ScenarioScreenshots },
};

int main(int argc, char **argv)
{
    if (argc < 3)
    {
        printf("usage: live_driver SCENARIO PROGRAM.EXE [SCREENSHOT-DIR]\nscenarios:");
        for (int i = 0; i < COUNT(Scenarios); i++)
            printf(" %s", Scenarios[i].name);
        printf("\n");
        return 100;
    }
    MultiByteToWideChar(CP_ACP, 0, argv[2], -1, g_program, MAX_PATH);
    if (argc > 3)
        MultiByteToWideChar(CP_ACP, 0, argv[3], -1, g_shotDir, MAX_PATH);
    if (GetACP() != 932)
    {
        printf("FAIL: the ANSI code page is %u, expected 932 (run under a Japanese locale)\n", GetACP());
        return 100;
    }
    for (int i = 0; i < COUNT(Scenarios); i++)
    {
        if (strcmp(Scenarios[i].name, argv[1]) == 0)
        {
            g_scenario = Scenarios[i].name;
            Scenarios[i].run();
            printf("%s %s (%d failure%s)\n", g_failures ? "FAILED" : "PASSED", g_scenario, g_failures,
                   g_failures == 1 ? "" : "s");
            return g_failures > 100 ? 100 : g_failures;
        }
    }
    printf("unknown scenario %s\n", argv[1]);
    return 100;
}
