"""What the 32-bit palvorine.exe must hold: header values, the allowed
imports and the resource tables, with every Win32 constant spelled out as its
number (the checker must not lean on the headers it is checking against).
"""

# ------------------------------------------------------------ Win32 constants

IMAGE_FILE_MACHINE_I386 = 0x014C
PE32_MAGIC = 0x010B
PE32_PLUS_MAGIC = 0x020B
IMAGE_SUBSYSTEM_WINDOWS_GUI = 2

IMAGE_FILE_EXECUTABLE_IMAGE = 0x0002
IMAGE_FILE_LINE_NUMS_STRIPPED = 0x0004
IMAGE_FILE_LOCAL_SYMS_STRIPPED = 0x0008
IMAGE_FILE_32BIT_MACHINE = 0x0100
IMAGE_FILE_DEBUG_STRIPPED = 0x0200
IMAGE_FILE_DLL = 0x2000

LANG_JAPANESE_DEFAULT = 0x0411          # 1041
CODE_PAGE_SHIFT_JIS = 932

# Window styles, as a dialog (top-level window) reads them.
WINDOW_STYLES = {
    "WS_POPUP": 0x80000000,
    "WS_CHILD": 0x40000000,
    "WS_MINIMIZE": 0x20000000,
    "WS_VISIBLE": 0x10000000,
    "WS_DISABLED": 0x08000000,
    "WS_CLIPSIBLINGS": 0x04000000,
    "WS_CLIPCHILDREN": 0x02000000,
    "WS_MAXIMIZE": 0x01000000,
    "WS_BORDER": 0x00800000,
    "WS_DLGFRAME": 0x00400000,
    "WS_VSCROLL": 0x00200000,
    "WS_HSCROLL": 0x00100000,
    "WS_SYSMENU": 0x00080000,
    "WS_THICKFRAME": 0x00040000,
    "WS_MINIMIZEBOX": 0x00020000,
    "WS_MAXIMIZEBOX": 0x00010000,
}
WINDOW_STYLES["WS_CAPTION"] = WINDOW_STYLES["WS_BORDER"] | WINDOW_STYLES["WS_DLGFRAME"]

DIALOG_STYLES = dict(WINDOW_STYLES)
DIALOG_STYLES.update({
    "DS_ABSALIGN": 0x0001,
    "DS_SYSMODAL": 0x0002,
    "DS_3DLOOK": 0x0004,
    "DS_FIXEDSYS": 0x0008,
    "DS_NOFAILCREATE": 0x0010,
    "DS_LOCALEDIT": 0x0020,
    "DS_SETFONT": 0x0040,
    "DS_MODALFRAME": 0x0080,
    "DS_NOIDLEMSG": 0x0100,
    "DS_SETFOREGROUND": 0x0200,
    "DS_CONTROL": 0x0400,
    "DS_CENTER": 0x0800,
    "DS_CENTERMOUSE": 0x1000,
    "DS_CONTEXTHELP": 0x2000,
})

# Child-window styles: in a control the two box bits mean group and tab stop.
CHILD_STYLES = {k: v for k, v in WINDOW_STYLES.items()
                if k not in ("WS_MINIMIZEBOX", "WS_MAXIMIZEBOX")}
CHILD_STYLES["WS_GROUP"] = 0x00020000
CHILD_STYLES["WS_TABSTOP"] = 0x00010000

# Button styles: the low four bits are the button's type, not flags.
BS_TYPE_MASK = 0x000F
BUTTON_TYPES = {
    "BS_PUSHBUTTON": 0x0, "BS_DEFPUSHBUTTON": 0x1, "BS_CHECKBOX": 0x2,
    "BS_AUTOCHECKBOX": 0x3, "BS_RADIOBUTTON": 0x4, "BS_3STATE": 0x5,
    "BS_AUTO3STATE": 0x6, "BS_GROUPBOX": 0x7, "BS_USERBUTTON": 0x8,
    "BS_AUTORADIOBUTTON": 0x9, "BS_OWNERDRAW": 0xB,
}
BUTTON_FLAGS = {
    "BS_LEFTTEXT": 0x0020, "BS_ICON": 0x0040, "BS_BITMAP": 0x0080,
    "BS_LEFT": 0x0100, "BS_RIGHT": 0x0200, "BS_TOP": 0x0400,
    "BS_BOTTOM": 0x0800, "BS_PUSHLIKE": 0x1000, "BS_MULTILINE": 0x2000,
    "BS_NOTIFY": 0x4000, "BS_FLAT": 0x8000,
}

# Static styles: the low five bits are the static's type.
SS_TYPE_MASK = 0x001F
STATIC_TYPES = {
    "SS_LEFT": 0x00, "SS_CENTER": 0x01, "SS_RIGHT": 0x02, "SS_ICON": 0x03,
    "SS_BLACKRECT": 0x04, "SS_GRAYRECT": 0x05, "SS_WHITERECT": 0x06,
    "SS_BLACKFRAME": 0x07, "SS_GRAYFRAME": 0x08, "SS_WHITEFRAME": 0x09,
    "SS_USERITEM": 0x0A, "SS_SIMPLE": 0x0B, "SS_LEFTNOWORDWRAP": 0x0C,
    "SS_OWNERDRAW": 0x0D, "SS_BITMAP": 0x0E, "SS_ENHMETAFILE": 0x0F,
    "SS_ETCHEDHORZ": 0x10, "SS_ETCHEDVERT": 0x11, "SS_ETCHEDFRAME": 0x12,
}
STATIC_FLAGS = {
    "SS_NOPREFIX": 0x0080, "SS_NOTIFY": 0x0100, "SS_CENTERIMAGE": 0x0200,
    "SS_RIGHTJUST": 0x0400, "SS_REALSIZEIMAGE": 0x0800, "SS_SUNKEN": 0x1000,
}

EDIT_FLAGS = {
    "ES_CENTER": 0x0001, "ES_RIGHT": 0x0002, "ES_MULTILINE": 0x0004,
    "ES_UPPERCASE": 0x0008, "ES_LOWERCASE": 0x0010, "ES_PASSWORD": 0x0020,
    "ES_AUTOVSCROLL": 0x0040, "ES_AUTOHSCROLL": 0x0080, "ES_NOHIDESEL": 0x0100,
    "ES_OEMCONVERT": 0x0400, "ES_READONLY": 0x0800, "ES_WANTRETURN": 0x1000,
    "ES_NUMBER": 0x2000,
}

CONTROL_STYLES = {
    "BUTTON": (BUTTON_TYPES, BS_TYPE_MASK, BUTTON_FLAGS),
    "STATIC": (STATIC_TYPES, SS_TYPE_MASK, STATIC_FLAGS),
    "EDIT": ({}, 0, EDIT_FLAGS),
}


def control_style(cls, *names):
    """WS_CHILD | WS_VISIBLE | the named styles of a control of class cls."""
    types, _mask, flags = CONTROL_STYLES[cls]
    value = CHILD_STYLES["WS_CHILD"] | CHILD_STYLES["WS_VISIBLE"]
    for n in names:
        if n in CHILD_STYLES:
            value |= CHILD_STYLES[n]
        elif n in types:
            value |= types[n]
        elif n in flags:
            value |= flags[n]
        else:
            raise KeyError("no %s style %s" % (cls, n))
    return value


def dialog_style(*names):
    value = 0
    for n in names:
        value |= DIALOG_STYLES[n]
    return value


# ------------------------------------------------------------ PE headers

SUBSYSTEM_VERSION = (4, 0)
OS_VERSION = (4, 0)

# ------------------------------------------------------------ imports

# Every function the exe may import, per DLL (keys in upper case). All of
# them exist in Windows 98's own copies of these DLLs. The lists hold what
# the program calls and what the mingw-w64 start-up code and static CRT
# pieces pull in; anything newer or wide-character must not creep in.
ALLOWED_IMPORTS = {
    "KERNEL32.DLL": {
        # the program: ANSI text handling
        "IsDBCSLeadByte",
        # mingw-w64 start-up, TLS callbacks and pseudo-relocation
        "DeleteCriticalSection", "EnterCriticalSection", "LeaveCriticalSection",
        "InitializeCriticalSection", "FreeLibrary", "GetLastError",
        "SetLastError", "GetModuleHandleA", "GetProcAddress", "LoadLibraryA",
        "GetStartupInfoA", "GetCommandLineA", "SetUnhandledExceptionFilter",
        "UnhandledExceptionFilter", "Sleep", "TlsAlloc", "TlsFree",
        "TlsGetValue", "TlsSetValue", "VirtualProtect", "VirtualQuery",
        "ExitProcess", "TerminateProcess", "GetCurrentProcess",
        "GetCurrentProcessId", "GetCurrentThreadId", "GetTickCount",
        "GetSystemTimeAsFileTime", "QueryPerformanceCounter",
    },
    "USER32.DLL": {
        "DialogBoxParamA", "EndDialog", "GetDlgItemTextA", "SetDlgItemTextA",
        "MessageBoxA",
    },
    "ADVAPI32.DLL": {
        "RegOpenKeyExA", "RegQueryValueExA", "RegSetValueExA", "RegCloseKey",
    },
    "MSVCRT.DLL": {
        # start-up and shutdown
        "__getmainargs", "__initenv", "__p__acmdln", "__p__commode",
        "__p__fmode", "__p__environ", "__set_app_type", "__setusermatherr",
        "__dllonexit", "_amsg_exit", "_cexit", "_exit", "_initterm",
        "_onexit", "_lock", "_unlock", "_errno", "_fmode", "_commode",
        "_acmdln", "abort", "exit", "signal",
        # messages of the start-up code (pseudo-relocation errors)
        "_iob", "fprintf", "vfprintf", "fwrite", "fputc",
        # memory and strings, the program's "%s%s" join included
        "malloc", "calloc", "realloc", "free", "memcpy", "memmove", "memset",
        "memcmp", "strlen", "strcmp", "strncmp", "strcpy", "strncpy", "strcat",
        "sprintf", "_snprintf", "_vsnprintf",
    },
}

# ------------------------------------------------------------ resources

IDD_MAIN = 129
IDD_VERSION = 103
IDR_MAIN_MENU = 109
IDI_APP = 107
IDM_VERSION = 104
IDM_EXIT = 105
IDOK = 1
IDCANCEL = 2
ID_NONE = 65535            # -1 as a template stores it

FONT_FACE = "ＭＳ Ｐゴシック"

EDIT_RO = control_style("EDIT", "ES_READONLY", "ES_AUTOHSCROLL", "WS_BORDER", "WS_TABSTOP")
EDIT_RW = control_style("EDIT", "ES_AUTOHSCROLL", "WS_BORDER", "WS_TABSTOP")
LABEL = control_style("STATIC", "SS_RIGHT", "SS_CENTERIMAGE", "WS_GROUP")
GROUP_BOX = control_style("BUTTON", "BS_GROUPBOX")

ANY_TEXT = object()        # wording left open: the text is not compared

MAIN_DIALOG = {
    "id": IDD_MAIN,
    "caption": "Palvorine",
    "style": dialog_style("WS_POPUP", "WS_CAPTION", "WS_SYSMENU", "WS_MINIMIZEBOX",
                          "DS_MODALFRAME", "DS_SETFONT"),
    "style_names": "WS_POPUP|WS_CAPTION|WS_SYSMENU|WS_MINIMIZEBOX|DS_MODALFRAME|DS_SETFONT",
    "rect": (10, 10, 223, 197),
    "font": (9, FONT_FACE),
    "menu": IDR_MAIN_MENU,
    # (id, class, text, x, y, w, h, style)
    "controls": [
        (IDOK, "BUTTON", "ＯＫ", 111, 174, 50, 16,
         control_style("BUTTON", "BS_DEFPUSHBUTTON", "WS_TABSTOP")),
        (IDCANCEL, "BUTTON", "ｷｬﾝｾﾙ", 165, 174, 50, 16,
         control_style("BUTTON", "BS_PUSHBUTTON", "WS_TABSTOP")),
        (1000, "EDIT", "", 87, 12, 127, 12, EDIT_RO),
        (1001, "EDIT", "", 87, 25, 127, 12, EDIT_RO),
        (1002, "EDIT", "", 87, 38, 127, 13, EDIT_RW),
        (1003, "EDIT", "", 87, 51, 127, 12, EDIT_RW),
        (1004, "EDIT", "", 87, 64, 127, 12, EDIT_RO),
        (1005, "EDIT", "", 87, 77, 127, 12, EDIT_RO),
        (1006, "EDIT", "", 87, 90, 127, 12, EDIT_RO),
        (1007, "EDIT", "", 87, 122, 127, 13, EDIT_RO),
        (ID_NONE, "STATIC", "オペレーションシステム　：", 6, 12, 79, 12, LABEL),
        (ID_NONE, "STATIC", "バージョン　：", 6, 25, 79, 12, LABEL),
        (ID_NONE, "STATIC", "会社名　：", 6, 38, 79, 13, LABEL),
        (ID_NONE, "STATIC", "ユーザ名　：", 6, 51, 79, 12, LABEL),
        (ID_NONE, "STATIC", "プロダクトＩＤ　：", 6, 64, 79, 12, LABEL),
        (ID_NONE, "STATIC", "プロダクトキー　：", 6, 77, 79, 12, LABEL),
        (ID_NONE, "STATIC", "Plus!　バージョン　：", 6, 90, 79, 12, LABEL),
        (ID_NONE, "BUTTON", "システム情報", 2, 2, 219, 106, GROUP_BOX),
        (ID_NONE, "BUTTON", "ネットワーク情報", 2, 112, 219, 54, GROUP_BOX),
        (1008, "EDIT", "", 87, 135, 127, 12, EDIT_RO),
        (1009, "EDIT", "", 87, 148, 127, 12, EDIT_RO),
        (ID_NONE, "STATIC", "コンピュータ名　：", 6, 135, 79, 12, LABEL),
        (ID_NONE, "STATIC", "カレントユーザ名　：", 6, 122, 79, 12, LABEL),
        (ID_NONE, "STATIC", "ワークグループ　：", 6, 148, 79, 12, LABEL),
    ],
}


class IconRef(int):
    """A static's text that names an icon resource by ordinal."""


VERSION_DIALOG = {
    "id": IDD_VERSION,
    "caption": "ﾊﾞｰｼﾞｮﾝ情報",
    "style": dialog_style("WS_CAPTION", "WS_SYSMENU", "DS_MODALFRAME", "DS_SETFONT"),
    "style_names": "WS_CAPTION|WS_SYSMENU|DS_MODALFRAME|DS_SETFONT",
    "rect": (22, 17, 154, 49),
    "font": (11, FONT_FACE),
    "menu": None,
    "controls": [
        (2, "STATIC", IconRef(IDI_APP), 7, 5, 20, 20,
         control_style("STATIC", "SS_ICON")),
        (ID_NONE, "STATIC", "Palvorine  Version 1.0", 33, 5, 118, 9,
         control_style("STATIC", "SS_LEFT", "SS_NOPREFIX", "WS_GROUP")),
        (IDOK, "BUTTON", "OK", 113, 30, 30, 11,
         control_style("BUTTON", "BS_DEFPUSHBUTTON", "WS_GROUP", "WS_TABSTOP")),
        (ID_NONE, "STATIC", ANY_TEXT, 33, 15, 118, 9,
         control_style("STATIC", "SS_LEFT", "WS_GROUP")),
        (ID_NONE, "STATIC", ANY_TEXT, 33, 32, 72, 9,
         control_style("STATIC", "SS_LEFT", "WS_GROUP")),
    ],
}

# (popup text, [(item text, command id)])
MAIN_MENU = [
    ("ﾌｧｲﾙ(&F)", [("ｱﾌﾟﾘｹｰｼｮﾝの終了(&X)", IDM_EXIT)]),
    ("ﾍﾙﾌﾟ(&H)", [("ﾊﾞｰｼﾞｮﾝ情報(&A)", IDM_VERSION)]),
]

# (width, height, bits per pixel), in any order
ICON_IMAGES = [(32, 32, 4), (16, 16, 4)]

VERSION_MS_LS = (0x00010000, 0x00000000)        # 1.0.0.0
VERSION_STRING_TABLE = "041103a4"
VERSION_TRANSLATION = (LANG_JAPANESE_DEFAULT, CODE_PAGE_SHIFT_JIS)
PRODUCT_NAME = "Palvorine"
VERSION_TEXT_PREFIX = "1.0"
