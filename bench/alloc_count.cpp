/* Heap allocations made by the program's own code while it loads and saves
   the fields. The program's sources are linked here over a small Win32
   stand-in of this file's own that keeps its registry and control texts in
   static arrays and never allocates, so every allocation counted while
   counting is on is the program's (or the C library's on its behalf).
   malloc, calloc, realloc, the memalign family and every operator new are
   replaced by counting versions that hand on to glibc's allocator. */
#include "palvorine.h"
#include "fields.h"
#include "resource.h"

#include <malloc.h>
#include <new>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

extern "C" void *__libc_malloc(size_t size);
extern "C" void *__libc_calloc(size_t count, size_t size);
extern "C" void *__libc_realloc(void *block, size_t size);
extern "C" void *__libc_memalign(size_t alignment, size_t size);

/* Volatile: the compiler takes malloc and its kin for builtins that touch no
   other memory, and would move plain stores to these across the calls. */
static volatile bool g_counting;
static volatile long g_allocations;

static void CountOne()
{
    if (g_counting)
        g_allocations++;
}

extern "C" void *malloc(size_t size)
{
    CountOne();
    return __libc_malloc(size);
}

extern "C" void *calloc(size_t count, size_t size)
{
    CountOne();
    return __libc_calloc(count, size);
}

extern "C" void *realloc(void *block, size_t size)
{
    CountOne();
    return __libc_realloc(block, size);
}

extern "C" void *memalign(size_t alignment, size_t size)
{
    CountOne();
    return __libc_memalign(alignment, size);
}

extern "C" void *aligned_alloc(size_t alignment, size_t size)
{
    CountOne();
    return __libc_memalign(alignment, size);
}

extern "C" int posix_memalign(void **block, size_t alignment, size_t size)
{
    CountOne();
    *block = __libc_memalign(alignment, size);
    return *block ? 0 : 12; /* ENOMEM */
}

extern "C" void *valloc(size_t size)
{
    CountOne();
    return __libc_memalign(4096, size);
}

static void *CountedNew(size_t size)
{
    CountOne();
    void *block = __libc_malloc(size ? size : 1);
    if (!block)
        abort(); /* the harness is built without exceptions */
    return block;
}

static void *CountedAlignedNew(size_t size, std::align_val_t alignment)
{
    CountOne();
    void *block = __libc_memalign((size_t)alignment, size ? size : 1);
    if (!block)
        abort();
    return block;
}

void *operator new(size_t size) { return CountedNew(size); }
void *operator new[](size_t size) { return CountedNew(size); }
void *operator new(size_t size, const std::nothrow_t &) noexcept { return CountedNew(size); }
void *operator new[](size_t size, const std::nothrow_t &) noexcept { return CountedNew(size); }
void *operator new(size_t size, std::align_val_t alignment) { return CountedAlignedNew(size, alignment); }
void *operator new[](size_t size, std::align_val_t alignment) { return CountedAlignedNew(size, alignment); }
void operator delete(void *block) noexcept { free(block); }
void operator delete[](void *block) noexcept { free(block); }
void operator delete(void *block, size_t) noexcept { free(block); }
void operator delete[](void *block, size_t) noexcept { free(block); }
void operator delete(void *block, std::align_val_t) noexcept { free(block); }
void operator delete[](void *block, std::align_val_t) noexcept { free(block); }
void operator delete(void *block, size_t, std::align_val_t) noexcept { free(block); }
void operator delete[](void *block, size_t, std::align_val_t) noexcept { free(block); }

/* ---- The stand-in: static storage only. ---- */

struct STORED_VALUE
{
    const char *keyPath;
    const char *name;
    char data[256];
    DWORD size;
};

/* A full registry: all eleven values, with their terminating zero bytes. */
static STORED_VALUE g_values[] = {
    { REGPATH_WINDOWS_VERSION, "ProductName", "Microsoft Windows 98", 0 },
    { REGPATH_WINDOWS_VERSION, "VersionNumber", "4.10.2222", 0 },
    { REGPATH_WINDOWS_VERSION, "SubVersionNumber", " A ", 0 },
    { REGPATH_WINDOWS_VERSION, "RegisteredOrganization", "\x8a\x94\x8e\xae\x89\xef\x8e\xd0", 0 },
    { REGPATH_WINDOWS_VERSION, "RegisteredOwner", "\x8e\x52\x93\x63 \x91\xbe\x98\x59", 0 },
    { REGPATH_WINDOWS_VERSION, "ProductId", "12345-OEM-0067890-12345", 0 },
    { REGPATH_WINDOWS_VERSION, "ProductKey", "ABCDE-FGHJK-MNPQR-STVWX-YZ234", 0 },
    { REGPATH_WINDOWS_VERSION, "Plus! VersionNumber", "IE 5 5.00.2614.3500", 0 },
    { REGPATH_CONTROL, "Current User", "yamada", 0 },
    { REGPATH_VNETSUP, "ComputerName", "SAMPLE-PC", 0 },
    { REGPATH_VNETSUP, "Workgroup", "WORKGROUP", 0 },
};
static const size_t ValueCount = sizeof(g_values) / sizeof(g_values[0]);

static const char *const g_keyPaths[] = { REGPATH_WINDOWS_VERSION, REGPATH_CONTROL, REGPATH_VNETSUP };
static const size_t KeyCount = sizeof(g_keyPaths) / sizeof(g_keyPaths[0]);

/* Key handles are 1 + index into g_keyPaths. */
static int g_openKeys;
static long g_opens, g_queries, g_sets, g_closes;

static char g_controlTexts[IDC_WORKGROUP - IDC_FIELD_BASE + 1][512];
static HWND const MainDialog = (HWND)(UINT_PTR)0x100;

static const char *KeyPathOf(HKEY key)
{
    UINT_PTR index = (UINT_PTR)key;
    return index >= 1 && index <= KeyCount ? g_keyPaths[index - 1] : NULL;
}

static STORED_VALUE *FindValue(const char *keyPath, const char *name)
{
    for (size_t i = 0; i < ValueCount; i++)
    {
        if (strcasecmp(g_values[i].keyPath, keyPath) == 0 && strcasecmp(g_values[i].name, name) == 0)
            return &g_values[i];
    }
    return NULL;
}

LONG WINAPI RegOpenKeyExA(HKEY parent, LPCSTR subKey, DWORD, REGSAM, PHKEY result)
{
    g_opens++;
    if (parent != HKEY_LOCAL_MACHINE)
        return ERROR_INVALID_HANDLE;
    for (size_t i = 0; i < KeyCount; i++)
    {
        if (strcasecmp(g_keyPaths[i], subKey) == 0)
        {
            *result = (HKEY)(UINT_PTR)(i + 1);
            g_openKeys++;
            return ERROR_SUCCESS;
        }
    }
    return ERROR_FILE_NOT_FOUND;
}

LONG WINAPI RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD, LPDWORD type, LPBYTE data,
                             LPDWORD dataSize)
{
    g_queries++;
    const char *path = KeyPathOf(key);
    if (!path)
        return ERROR_INVALID_HANDLE;
    STORED_VALUE *value = FindValue(path, valueName);
    if (!value)
        return ERROR_FILE_NOT_FOUND;
    if (type)
        *type = REG_SZ;
    if (data && *dataSize < value->size)
    {
        *dataSize = value->size;
        return ERROR_MORE_DATA;
    }
    if (data)
        memcpy(data, value->data, value->size);
    *dataSize = value->size;
    return ERROR_SUCCESS;
}

LONG WINAPI RegSetValueExA(HKEY key, LPCSTR valueName, DWORD, DWORD, const BYTE *data, DWORD dataSize)
{
    g_sets++;
    const char *path = KeyPathOf(key);
    if (!path)
        return ERROR_INVALID_HANDLE;
    STORED_VALUE *value = FindValue(path, valueName);
    if (!value || dataSize > sizeof(value->data))
        return ERROR_ACCESS_DENIED; /* this registry has a fixed set of values */
    memcpy(value->data, data, dataSize);
    value->size = dataSize;
    return ERROR_SUCCESS;
}

LONG WINAPI RegCloseKey(HKEY key)
{
    g_closes++;
    if (!KeyPathOf(key))
        return ERROR_INVALID_HANDLE;
    g_openKeys--;
    return ERROR_SUCCESS;
}

static char *ControlText(HWND dialog, int controlId)
{
    if (dialog != MainDialog || controlId < IDC_FIELD_BASE || controlId > IDC_WORKGROUP)
        return NULL;
    return g_controlTexts[controlId - IDC_FIELD_BASE];
}

BOOL WINAPI SetDlgItemTextA(HWND dialog, int controlId, LPCSTR text)
{
    char *control = ControlText(dialog, controlId);
    if (!control)
        return FALSE;
    /* A plain copy: printf may allocate, and this runs while counting. */
    size_t length = strlen(text);
    if (length > sizeof(g_controlTexts[0]) - 1)
        length = sizeof(g_controlTexts[0]) - 1;
    memcpy(control, text, length);
    control[length] = '\0';
    return TRUE;
}

UINT WINAPI GetDlgItemTextA(HWND dialog, int controlId, LPSTR buffer, int bufferSize)
{
    char *control = ControlText(dialog, controlId);
    if (!control || bufferSize <= 0)
        return 0;
    size_t length = strlen(control);
    if (length > (size_t)bufferSize - 1)
        length = (size_t)bufferSize - 1;
    memcpy(buffer, control, length);
    buffer[length] = '\0';
    return (UINT)length;
}

static int g_messageBoxes;

int WINAPI MessageBoxA(HWND, LPCSTR, LPCSTR, UINT style)
{
    g_messageBoxes++;
    return (style & MB_YESNO) ? IDYES : IDOK;
}

BOOL WINAPI IsDBCSLeadByte(BYTE byte)
{
    return (byte >= 0x81 && byte <= 0x9f) || (byte >= 0xe0 && byte <= 0xfc);
}

static bool g_ended;

BOOL WINAPI EndDialog(HWND, INT_PTR)
{
    g_ended = true;
    return TRUE;
}

/* Runs the main dialog as a user who presses OK at once would. */
INT_PTR WINAPI DialogBoxParamA(HINSTANCE, LPCSTR templateName, HWND, DLGPROC dialogProc, LPARAM initParam)
{
    if (templateName != MAKEINTRESOURCEA(IDD_MAIN))
        return -1;
    g_ended = false;
    dialogProc(MainDialog, WM_INITDIALOG, 0, initParam);
    dialogProc(MainDialog, WM_COMMAND, MAKEWPARAM(IDOK, 0), 0);
    return g_ended ? IDOK : -1;
}

/* ---- Measuring. ---- */

struct REG_TALLY
{
    long opens, queries, sets, closes;
};

static REG_TALLY RegTally()
{
    REG_TALLY tally = { g_opens, g_queries, g_sets, g_closes };
    return tally;
}

static void *volatile g_sink;

/* The counters must see each way of allocating, or a zero proves nothing. */
static bool CounterSeesEverything()
{
    struct PROBE
    {
        const char *what;
        long counted;
    } probes[8];
    int count = 0;
    bool ok = true;

#define PROBE(label, statement)                      \
    do                                               \
    {                                                \
        g_allocations = 0;                           \
        g_counting = true;                           \
        statement;                                   \
        g_counting = false;                          \
        probes[count].what = label;                   \
        probes[count].counted = g_allocations;       \
        count++;                                     \
    } while (0)

    PROBE("malloc", g_sink = malloc(24); free(g_sink));
    PROBE("calloc", g_sink = calloc(3, 8); free(g_sink));
    PROBE("realloc", g_sink = realloc(NULL, 40); free(g_sink));
    PROBE("operator new", g_sink = new int(7); delete (int *)g_sink);
    PROBE("operator new[]", g_sink = new char[33]; delete[] (char *)g_sink);
    PROBE("strdup", g_sink = strdup("Palvorine"); free(g_sink));
    PROBE("posix_memalign", { void *p; posix_memalign(&p, 64, 64); g_sink = p; free(p); });
#undef PROBE

    for (int i = 0; i < count; i++)
    {
        if (probes[i].counted != 1)
        {
            fprintf(stderr, "alloc_count: %s counted %ld allocations, expected 1\n", probes[i].what,
                    probes[i].counted);
            ok = false;
        }
    }
    return ok;
}

static void Report(const char *what, long allocations, REG_TALLY before, REG_TALLY after)
{
    printf("%s allocations=%ld opens=%ld queries=%ld sets=%ld closes=%ld\n", what, allocations,
           after.opens - before.opens, after.queries - before.queries, after.sets - before.sets,
           after.closes - before.closes);
}

int main()
{
    for (size_t i = 0; i < ValueCount; i++)
        g_values[i].size = (DWORD)strlen(g_values[i].data) + 1;

    if (!CounterSeesEverything())
        return 1;
    printf("self-check ok: malloc calloc realloc new new[] strdup posix_memalign each counted once\n");

    REG_TALLY before = RegTally();
    g_allocations = 0;
    g_counting = true;
    LoadFields(MainDialog);
    g_counting = false;
    Report("LoadFields", g_allocations, before, RegTally());

    /* The load must have worked, or counting over it says little. */
    if (strcmp(ControlText(MainDialog, IDC_VERSION), "4.10.2222 A ") != 0 ||
        strcmp(ControlText(MainDialog, IDC_WORKGROUP), "WORKGROUP") != 0)
    {
        fprintf(stderr, "alloc_count: the fields did not load (version \"%s\", workgroup \"%s\")\n",
                ControlText(MainDialog, IDC_VERSION), ControlText(MainDialog, IDC_WORKGROUP));
        return 1;
    }

    snprintf(ControlText(MainDialog, IDC_OWNER), sizeof(g_controlTexts[0]), "%s", "Owner typed anew");
    before = RegTally();
    g_allocations = 0;
    g_counting = true;
    SaveOwnerFields(MainDialog);
    g_counting = false;
    Report("SaveOwnerFields", g_allocations, before, RegTally());

    STORED_VALUE *owner = FindValue(REGPATH_WINDOWS_VERSION, "RegisteredOwner");
    if (strcmp(owner->data, "Owner typed anew") != 0 || g_messageBoxes != 0)
    {
        fprintf(stderr, "alloc_count: the save did not happen (owner \"%s\", %d message boxes)\n",
                owner->data, g_messageBoxes);
        return 1;
    }

    before = RegTally();
    g_allocations = 0;
    g_counting = true;
    WinMain((HINSTANCE)(UINT_PTR)0x400000, NULL, (LPSTR) "", 1);
    g_counting = false;
    Report("WinMain(load+OK)", g_allocations, before, RegTally());
    if (!g_ended)
    {
        fprintf(stderr, "alloc_count: the main dialog did not end on OK\n");
        return 1;
    }
    if (g_openKeys != 0)
    {
        fprintf(stderr, "alloc_count: %d key handles left open\n", g_openKeys);
        return 1;
    }
    return 0;
}
