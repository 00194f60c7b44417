/* The floor that palvorine.exe is weighed against: the same main dialog
   template and menu, run modally, and nothing else. No registry, no fields,
   no version dialog, no icon. */
#include <windows.h>

#include "resource.h"

static INT_PTR CALLBACK BareDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    (void)lParam;

    if (message == WM_INITDIALOG)
        return TRUE;
    /* Without this the dialog could not be closed at all. */
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL))
    {
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
    }
    return FALSE;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine, int showCommand)
{
    (void)previousInstance;
    (void)commandLine;
    (void)showCommand;

    DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_MAIN), NULL, BareDialogProc, 0);
    return 0;
}
