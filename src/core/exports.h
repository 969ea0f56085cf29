// Declarations of the exported functions for the library's own code.
#pragma once

#include "platform/os.h"

#define WEXUTIL_API
#include "wexutil.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved);
