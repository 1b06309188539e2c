# Compiles resources/roots.pem into orvo_core, where core/net/builtin_roots.hpp
# offers it. A change of the file re-runs the configuration step.
set(orvo_roots_pem "${PROJECT_SOURCE_DIR}/resources/roots.pem")
set_property(DIRECTORY "${PROJECT_SOURCE_DIR}" APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${orvo_roots_pem}")
file(READ "${orvo_roots_pem}" orvo_roots_hex HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," orvo_roots_bytes "${orvo_roots_hex}")
# Some 100 bytes a line keep the generated file readable for editors and compilers alike.
string(REGEX REPLACE "((0x..,){100})" "\\1\n" orvo_roots_bytes "${orvo_roots_bytes}")
file(CONFIGURE OUTPUT "${CMAKE_BINARY_DIR}/generated/builtin_roots.cpp" CONTENT [[
// Generated from resources/roots.pem by resources/roots.cmake; do not edit.
#include "core/net/builtin_roots.hpp"

namespace orvo::core {

namespace {
const unsigned char kRootsPem[] = {
@orvo_roots_bytes@
};
}  // namespace

std::string_view builtin_roots_pem() {
  return {reinterpret_cast<const char*>(kRootsPem), sizeof kRootsPem};
}

}  // namespace orvo::core
]] @ONLY)
target_sources(orvo_core PRIVATE "${CMAKE_BINARY_DIR}/generated/builtin_roots.cpp")
