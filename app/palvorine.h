/* Entry and dialog procedures. */
#ifndef PALVORINE_APP_H
#define PALVORINE_APP_H

#include "platform.h"

extern HINSTANCE g_instance;

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine, int showCommand);
INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK VersionDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

#endif
