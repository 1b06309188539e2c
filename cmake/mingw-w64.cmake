# Cross-compiles for 64-bit Windows with MinGW-w64 against the prefix that
# scripts/build-windows-deps makes, and runs what it builds (tests, test
# discovery) under Wine through scripts/wine-run.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

# The -posix compilers: the plain names use the win32 thread model, whose
# libstdc++ has no std::mutex or std::thread.
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

get_filename_component(_orvo_tree "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)

# The prefix: given as ORVO_WINDOWS_DEPS, else the one the script has built
# for the current sources.
if(NOT ORVO_WINDOWS_DEPS AND DEFINED ENV{ORVO_WINDOWS_DEPS})
  set(ORVO_WINDOWS_DEPS "$ENV{ORVO_WINDOWS_DEPS}")
endif()
if(NOT ORVO_WINDOWS_DEPS)
  execute_process(COMMAND "${_orvo_tree}/scripts/build-windows-deps" --print-prefix
    OUTPUT_VARIABLE ORVO_WINDOWS_DEPS OUTPUT_STRIP_TRAILING_WHITESPACE
    RESULT_VARIABLE _orvo_found)
  if(NOT _orvo_found EQUAL 0)
    message(FATAL_ERROR "No Windows dependency prefix: run scripts/build-windows-deps")
  endif()
endif()
set(ORVO_WINDOWS_DEPS "${ORVO_WINDOWS_DEPS}" CACHE PATH "Prefix of the cross-built Windows libraries")
# try_compile projects read this file again and need the same prefix.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES ORVO_WINDOWS_DEPS)

set(CMAKE_FIND_ROOT_PATH "${ORVO_WINDOWS_DEPS}" /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# The prefix's pkg-config sees only the prefix and always links statically.
set(PKG_CONFIG_EXECUTABLE "${ORVO_WINDOWS_DEPS}/bin/pkg-config" CACHE FILEPATH "")

# Linked -static, a program imports only system DLLs; otherwise libstdc++,
# libgcc and winpthread DLLs would have to sit beside it. In C++23 GCC 12's
# <typeinfo> defines type_info::operator== inline, and its static libstdc++
# defines it once more (GCC bug 110572): the two are the same function, so
# the linker may keep either.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -Wl,--allow-multiple-definition")

set(CMAKE_CROSSCOMPILING_EMULATOR "${_orvo_tree}/scripts/wine-run")
