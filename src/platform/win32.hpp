// The one way the Win32 files of the platform layer include <windows.h>:
// without the rarely used parts, and without the min and max macros that
// break std::min and std::max.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
