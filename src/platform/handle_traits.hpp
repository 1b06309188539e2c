// The kinds of handle each system has, for UniqueHandle, and the handle of an
// open file: NativeFile.
#pragma once

#ifdef _WIN32
#include "platform/handle_traits_win.hpp"
#else
#include "platform/handle_traits_posix.hpp"
#endif
