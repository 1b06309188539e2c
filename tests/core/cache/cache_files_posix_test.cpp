// The cache files' cases of POSIX facts: links, a FIFO, permission bits, a
// kernel file and the system's error texts.
// The links stay here: Wine makes no Windows link, and does not report a Unix
// one as a reparse point, so the Windows lane cannot make the entry these
// cases are about (the link decision has a table test of its own there).
#include <filesystem>
#include <string>
#include <vector>

#include "cache_files_cases.hpp"
#include "core/cache/versions_cache.hpp"
#include "support/fs/special_files.hpp"
#include "support/fs/temp_dir.hpp"

namespace orvo::core {

namespace fs = std::filesystem;

std::vector<EnsureCase> system_ensure_cases() {
  return {
      {"cache root below a link to a folder",
       [](const fs::path& d) {
         fs::create_directory(d / "real");
         fs::create_directory_symlink(d / "real", d / "link");
         return d / "link/ORVO/HostLauncher";
       },
       kLinkError},
      {"cache root that is a link to a folder",
       [](const fs::path& d) {
         fs::create_directory(d / "real");
         fs::create_directory_symlink(d / "real", d / "root");
         return d / "root";
       },
       kLinkError},
      {"a file named versions",
       [](const fs::path& d) {
         fs::create_directory(d / "root");
         test::write_file(d / "root/versions", "");
         return d / "root";
       },
       "Cannot create the ORVO application folder: File exists (os error 17)"},
      {"versions as a link to a folder",
       [](const fs::path& d) {
         fs::create_directories(d / "root/real");
         fs::create_directory_symlink(d / "root/real", d / "root/versions");
         return d / "root";
       },
       kLinkError},
      {"an ancestor that cannot be searched",
       [](const fs::path& d) {
         fs::create_directory(d / "locked");
         fs::permissions(d / "locked", fs::perms::none);
         return d / "locked/root";
       },
       "Permission denied (os error 13)"},
  };
}

std::vector<ReadCase> system_read_cases(const std::string& not_a_file) {
  return {
      {"link to a file",
       [](const fs::path& d) {
         test::write_file(d / "target", "ok");
         fs::create_symlink(d / "target", d / "entry");
         return d / "entry";
       },
       kMarkerReadLimit, not_a_file},
      {"FIFO",
       [](const fs::path& d) {
         test::make_fifo(d / "entry");
         return d / "entry";
       },
       kMarkerReadLimit, not_a_file},
      {"missing", [](const fs::path& d) { return d / "entry"; }, kMarkerReadLimit,
       "No such file or directory (os error 2)"},
      {"unreadable",
       [](const fs::path& d) {
         test::write_file(d / "entry", "ok");
         fs::permissions(d / "entry", fs::perms::none);
         return d / "entry";
       },
       kMarkerReadLimit, "Permission denied (os error 13)"},
      // A kernel file whose metadata says 0 bytes: to the reader, a file that
      // grew past the limit after its size was taken.
      {"content beyond the size taken",
       [](const fs::path&) { return fs::path("/proc/self/status"); }, 16,
       "Input exceeds the allowed size"},
  };
}

std::vector<WriteCase> system_write_new_cases() {
  return {
      {"a file", [](const fs::path& t) { test::write_file(t, "old"); }, "File exists (os error 17)",
       "old"},
      {"a folder", [](const fs::path& t) { fs::create_directory(t); }, "File exists (os error 17)",
       nullptr},
      {"a dangling link",
       [](const fs::path& t) { fs::create_symlink(t.parent_path() / "elsewhere", t); },
       "File exists (os error 17)", nullptr},
  };
}

std::vector<WriteCase> system_replace_cases() {
  return {
      {"a folder that is not empty",
       [](const fs::path& t) {
         fs::create_directory(t);
         test::write_file(t / "inside", "");
       },
       "Is a directory (os error 21)", nullptr},
  };
}

std::string missing_folder_text() { return "No such file or directory (os error 2)"; }

}  // namespace orvo::core
