#include <gio/gio.h>

#include "platform/desktop/default_program.hpp"

namespace orvo::platform {

void open_with_default_program(const std::filesystem::path& file, void*) {
  GFile* location = g_file_new_for_path(file.c_str());
  gchar* uri = g_file_get_uri(location);
  GError* error = nullptr;
  g_app_info_launch_default_for_uri(uri, nullptr, &error);
  if (error != nullptr) g_error_free(error);
  g_free(uri);
  g_object_unref(location);
}

}  // namespace orvo::platform
