/* The Win32 dialog, message-box and registry services the program calls.
   Windows builds get the real headers; the host build gets the stand-in
   that the unit tests drive. */
#ifndef PALVORINE_PLATFORM_H
#define PALVORINE_PLATFORM_H

#ifdef _WIN32
#include <windows.h>
#else
#include "host/win32_standin.h"
#endif

#endif
