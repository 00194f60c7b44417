/* Host stand-in for the few Win32 types, constants and functions the program
   uses. Declared from what the program expects of each service; the bodies in
   win32_standin.cpp keep everything in memory for the unit tests. */
#ifndef PALVORINE_WIN32_STANDIN_H
#define PALVORINE_WIN32_STANDIN_H

#include <stddef.h>
#include <stdint.h>
#include <string.h>

#define WINAPI
#define CALLBACK

typedef int BOOL;
typedef unsigned char BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef unsigned int UINT;
typedef char CHAR;
typedef CHAR *LPSTR;
typedef const CHAR *LPCSTR;
typedef BYTE *LPBYTE;
typedef const BYTE *LPCBYTE;
typedef DWORD *LPDWORD;
typedef intptr_t INT_PTR;
typedef uintptr_t UINT_PTR;
typedef UINT_PTR WPARAM;
typedef INT_PTR LPARAM;
typedef DWORD REGSAM;

struct HWND__;
struct HINSTANCE__;
struct HKEY__;
typedef HWND__ *HWND;
typedef HINSTANCE__ *HINSTANCE;
typedef HKEY__ *HKEY;
typedef HKEY *PHKEY;

typedef INT_PTR (CALLBACK *DLGPROC)(HWND, UINT, WPARAM, LPARAM);

#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif

#define LOWORD(l) ((WORD)((UINT_PTR)(l) & 0xffff))
#define HIWORD(l) ((WORD)(((UINT_PTR)(l) >> 16) & 0xffff))
#define MAKEWPARAM(low, high) ((WPARAM)(((DWORD)(WORD)(low)) | (((DWORD)(WORD)(high)) << 16)))
#define MAKEINTRESOURCEA(i) ((LPSTR)(UINT_PTR)(WORD)(i))

/* Messages */
#define WM_INITDIALOG 0x0110
#define WM_COMMAND 0x0111

/* Dialog and message box results */
#define IDOK 1
#define IDCANCEL 2
#define IDYES 6
#define IDNO 7

/* Message box styles */
#define MB_OK 0x00000000u
#define MB_YESNO 0x00000004u
#define MB_ICONQUESTION 0x00000020u
#define MB_ICONWARNING 0x00000030u

/* Registry */
#define HKEY_LOCAL_MACHINE ((HKEY)(UINT_PTR)0x80000002u)
#define KEY_ALL_ACCESS 0x000F003Fu
#define ERROR_SUCCESS 0L
#define ERROR_FILE_NOT_FOUND 2L
#define ERROR_ACCESS_DENIED 5L
#define ERROR_INVALID_HANDLE 6L
#define ERROR_MORE_DATA 234L
#define REG_NONE 0u
#define REG_SZ 1u
#define REG_EXPAND_SZ 2u
#define REG_BINARY 3u
#define REG_DWORD 4u
#define REG_MULTI_SZ 7u

/* Dialog services */
INT_PTR WINAPI DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND owner,
                               DLGPROC dialogProc, LPARAM initParam);
BOOL WINAPI EndDialog(HWND dialog, INT_PTR result);
BOOL WINAPI SetDlgItemTextA(HWND dialog, int controlId, LPCSTR text);
UINT WINAPI GetDlgItemTextA(HWND dialog, int controlId, LPSTR buffer, int bufferSize);
int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT style);

/* Code page 932 lead bytes */
BOOL WINAPI IsDBCSLeadByte(BYTE byte);

/* Registry services */
LONG WINAPI RegOpenKeyExA(HKEY parent, LPCSTR subKey, DWORD options, REGSAM access, PHKEY result);
LONG WINAPI RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type,
                             LPBYTE data, LPDWORD dataSize);
LONG WINAPI RegSetValueExA(HKEY key, LPCSTR valueName, DWORD reserved, DWORD type,
                           const BYTE *data, DWORD dataSize);
LONG WINAPI RegCloseKey(HKEY key);

#endif
