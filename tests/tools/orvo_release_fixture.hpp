// The release tool run as a child program, with a key and a release folder
// made for each test.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/fs/temp_dir.hpp"
#include "support/release/release_builder.hpp"
#include "support/suite/run_program.hpp"

namespace orvo::test {

inline const std::vector<ReleaseFile> kFiles = {
    {"ORVO.Host.exe", "host program"},
    {"bin/engine.dll", std::string(5000, 'e')},
    {"docs/empty.txt", ""},
};

// Paths are arguments as they are spelled on this system.
inline ProgramOutput tool(const std::vector<std::filesystem::path>& args) {
  std::vector<std::string> texts;
  for (const auto& arg : args) texts.push_back(arg.string());
  return text_lines_of(run_program(ORVO_RELEASE_TOOL, texts));
}

class OrvoRelease : public testing::Test {
 protected:
  void SetUp() override {
    const ProgramOutput made = tool({"keygen", "--out", key_file()});
    ASSERT_EQ(made.exit_code, 0) << made.err;
    public_key_ = made.out.substr(0, made.out.size() - 1);
    write_release_folder(dir_ / "release", kFiles);
  }

  std::filesystem::path key_file() const { return dir_ / "release.key"; }

  ProgramOutput pack(const std::filesystem::path& folder, const std::filesystem::path& out, std::string sequence = "7",
                     std::string version = "1.2.3") {
    return tool({"pack", "--key", key_file(), "--sequence", sequence, "--version", version, "--url",
                 "https://127.0.0.1/downloads/host.zip", "--out", out, folder});
  }

  TempDir dir_;
  std::string public_key_;
};

}  // namespace orvo::test
