// The library's public records, for code of the controlling program that
// builds on both sides: the Win32 program and the host tests.
#pragma once

#ifdef _WIN32
#include <windows.h>
#else
#include "platform/sim/win_types.h"
#endif

#include "wexutil.h"
