#include "palvorine.h"
#include "fields.h"
#include "resource.h"

HINSTANCE g_instance;

static const char ExitQuestionText[] = "終了しますか？";
static const char ExitQuestionCaption[] = "終了";

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine, int showCommand)
{
    (void)previousInstance;
    (void)commandLine;
    (void)showCommand;

    g_instance = instance;
    DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_MAIN), NULL, MainDialogProc, 0);
    return 0;
}

INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    (void)lParam;

    switch (message)
    {
    case WM_INITDIALOG:
        LoadFields(dialog);
        return TRUE;

    case WM_COMMAND:
        switch (LOWORD(wParam))
        {
        case IDOK:
            SaveOwnerFields(dialog);
            EndDialog(dialog, IDOK);
            return TRUE;

        case IDCANCEL:
            EndDialog(dialog, IDCANCEL);
            return TRUE;

        case IDM_VERSION:
            DialogBoxParamA(g_instance, MAKEINTRESOURCEA(IDD_VERSION), dialog, VersionDialogProc, 0);
            return TRUE;

        case IDM_EXIT:
            if (MessageBoxA(dialog, ExitQuestionText, ExitQuestionCaption, MB_YESNO | MB_ICONQUESTION) == IDNO)
                return FALSE;
            EndDialog(dialog, IDM_EXIT);
            return TRUE;
        }
        return TRUE;
    }
    return FALSE;
}

INT_PTR CALLBACK VersionDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    (void)lParam;

    if (message != WM_COMMAND)
        return FALSE;

    switch (LOWORD(wParam))
    {
    case IDOK:
        EndDialog(dialog, IDOK);
        return TRUE;

    case IDCANCEL:
        /* Esc and the close box close it, as users expect of a dialog. */
        EndDialog(dialog, IDCANCEL);
        return TRUE;
    }
    return FALSE;
}
