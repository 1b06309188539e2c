// Attempts killed outright part-way (SIGKILL to the child's process group; on
// Windows its job terminated), in a child process: just after each
// step of the update path (seen on the file system as it happens) and at
// random instants, for a first install and for an update over an older
// working version. Whatever the kill leaves must be whole or absent, must stay
// inside the cache root, and must not stop the next attempt from starting a host.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <initializer_list>
#include <iostream>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "core/cache/installed_files.hpp"
#include "core/release/verify_release.hpp"
#include "support/fs/file_events.hpp"
#include "support/host/test_host.hpp"
#include "support/host/x_server.hpp"
#include "support/release/random_bytes.hpp"
#include "support/suite/case_name.hpp"
#include "support/suite/child_group.hpp"
#include "support/suite/preparation_fixture.hpp"
#include "support/suite/run_program.hpp"

namespace orvo::core {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::FileEvent;
using test::FileEventKind;

// Each kill is followed by a whole attempt, a few seconds of work under the
// sanitizers: the kills are dealt out over many small shards, so that none
// needs long even when a loaded machine gives it a small share of one core.
constexpr int kShards = 30;
constexpr int kRandomKillsPerShard = 1;
constexpr std::string_view kOldVersion = "1-0000000000000000-0000000000000000";

enum class Scenario { FirstInstall, Update };

struct KillCase {
  std::string name;
  Scenario scenario;
  int shard;
};

// A step of the update path, and which occurrence of it.
struct KillPoint {
  std::string step;
  int occurrence;
};

std::ostream& operator<<(std::ostream& out, const KillPoint& point) {
  return out << point.step << " #" << point.occurrence;
}

// The marker's temporary file, which a kill between its creation and its
// rename leaves in the versions folder, until a later listing removes it.
bool is_marker_temporary_name(const std::string& name) {
  return name.starts_with(".orvo-working.") && name.ends_with(".tmp");
}

bool is_marker_temporary(const FileEvent& event) {
  return event.folder.filename() == "versions" && is_marker_temporary_name(event.name);
}

// The step of the update path that an event shows, if any.
std::optional<std::string> step_of(const FileEvent& event) {
  const std::string folder = event.folder.generic_string();
  const bool in_content = folder.find("/.staging-") != std::string::npos &&
                          (folder.ends_with("/content") ||
                           folder.find("/content/") != std::string::npos);
  switch (event.kind) {
    case FileEventKind::Created:
      if (event.is_folder && event.name.starts_with(".staging-")) return "staging folder created";
      if (event.is_folder && event.name == "content") return "content folder created";
      // The marker is written beside the version folders, then renamed into place.
      if (is_marker_temporary(event)) return "marker created";
      if (in_content && event.name == ".orvo-manifest.json") return "envelope created";
      if (in_content && !event.is_folder) return "file created";
      break;
    case FileEventKind::ClosedAfterWrite:
      if (event.name == "host.zip") return "package written";
      if (is_marker_temporary(event)) return "marker written";
      if (in_content && event.name == ".orvo-manifest.json") return "envelope written";
      if (in_content) return "file written";
      break;
    case FileEventKind::ClosedAfterRead:
      if (in_content) return "file read";
      break;
    case FileEventKind::MovedIn:
      if (event.folder.filename() == "versions") return "activated";
      if (event.name == ".orvo-working") return "marker renamed";
      break;
  }
  return std::nullopt;
}

// A release of about 3 MiB in two dozen files, most of them in subfolders.
std::vector<test::ReleaseFile> large_release() {
  std::vector<test::ReleaseFile> files = {{"ORVO.Host.exe", test::test_host_bytes()},
                                          {std::string(test::kHostBehaviourFile), ""}};
  for (int i = 0; i < 22; ++i) {
    std::string content = test::random_bytes(128 * 1024, static_cast<unsigned>(i));
    const std::string folder = i % 2 == 0 ? "lib/" : "data/part" + std::to_string(i % 3) + "/";
    files.push_back({folder + "file" + std::to_string(i) + ".bin", std::move(content)});
  }
  return files;
}

class KilledAttempt : public test::PreparationFixture,
                      public testing::WithParamInterface<KillCase> {
 protected:
  void SetUp() override {
    if (test::display_named_by_environment() && !test::xvfb_installed()) {
      GTEST_SKIP() << "Xvfb is not installed";
    }
    x_server.emplace();
    test::write_file(scratch / "roots.pem", server.ca_pem());
    publish(large_release(), 2);
  }

  std::vector<std::string> child_args() const {
    return {settings.manifest_url, settings.release_key_text, (scratch / "roots.pem").string()};
  }

  const std::vector<test::ReleaseFile> old_files = {
      {"ORVO.Host.exe", test::test_host_bytes()},
      {std::string(test::kHostBehaviourFile), ""},
      {"version.txt", "release 1"}};

  void prepare_cache() {
    fs::remove_all(dir / "ORVO");
    if (GetParam().scenario == Scenario::Update) {
      install(kOldVersion, old_files, signer.envelope(test::manifest_of(old_files, 1)), true);
    }
  }

  // One attempt to its end, with the steps it passed and how long it took.
  std::vector<KillPoint> reference_run(std::chrono::milliseconds& took) {
    std::vector<KillPoint> points;
    std::map<std::string, int> seen;
    test::FileEvents events(dir.path());
    const auto start = std::chrono::steady_clock::now();
    test::ChildGroup child(ORVO_ATTEMPT_CHILD, child_args());
    while (!child.exited()) {
      while (auto event = events.next(10ms)) {
        if (auto step = step_of(*event)) points.push_back({*step, ++seen[*step]});
      }
    }
    took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start);
    return points;
  }

  // Starts an attempt and kills it just after the point; false when the
  // attempt ended without passing it (its event came before the watch).
  bool kill_at(const KillPoint& point) {
    std::map<std::string, int> seen;
    test::FileEvents events(dir.path());
    test::ChildGroup child(ORVO_ATTEMPT_CHILD, child_args());
    const auto deadline = std::chrono::steady_clock::now() + 240s;
    while (std::chrono::steady_clock::now() < deadline) {
      if (auto event = events.next(10ms)) {
        const auto step = step_of(*event);
        if (step && *step == point.step && ++seen[*step] == point.occurrence) {
          child.kill();
          return true;
        }
      } else if (child.exited()) {
        return false;
      }
    }
    ADD_FAILURE() << "the attempt neither ended nor passed " << point;
    return false;
  }

  void kill_after(std::chrono::milliseconds delay) {
    test::ChildGroup child(ORVO_ATTEMPT_CHILD, child_args());
    std::this_thread::sleep_for(delay);
    child.kill();
  }

  // Every version folder whole, every marker "ok", the older version untouched.
  void expect_whole_versions() {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(versions(), error)) {
      SCOPED_TRACE(entry.path().filename().string());
      if (!entry.is_directory() && is_marker_temporary_name(entry.path().filename().string())) {
        continue;
      }
      const fs::path envelope_file = entry.path() / ".orvo-manifest.json";
      ASSERT_TRUE(fs::is_regular_file(envelope_file)) << "a version folder without its envelope";
      const std::string envelope = test::read_file(envelope_file);
      auto manifest = verify_release(test::bytes_of(envelope), signer.release_key(), false);
      ASSERT_TRUE(manifest) << manifest.error().chain_text();
      auto intact = verify_installed_files(entry.path(), manifest->files, CancelFlag());
      EXPECT_TRUE(intact) << intact.error().chain_text();
      const fs::path marker = entry.path() / ".orvo-working";
      if (fs::exists(marker)) {
        EXPECT_EQ(test::read_file(marker), "ok") << "a torn marker";
      }
    }
    if (GetParam().scenario == Scenario::Update) {
      EXPECT_EQ(test::read_file(versions() / kOldVersion / ".orvo-working"), "ok");
    }
  }

  void expect_nothing_outside_the_cache_root() {
    for (const auto& name : entries_of(dir.path())) {
      EXPECT_TRUE(name == "ORVO" || name.starts_with("release-")) << name;
    }
    for (const auto& name : entries_of(dir / "ORVO")) EXPECT_EQ(name, "HostLauncher");
    EXPECT_EQ(entries_of(child_temp.path()), std::vector<std::string>{});
    EXPECT_FALSE(fs::exists(child_runtime / "ORVO"));
  }

  void expect_next_attempt_launches() {
    const auto output = test::text_lines_of(test::run_program(ORVO_ATTEMPT_CHILD, child_args()));
    EXPECT_EQ(output.exit_code, 0) << output.out << output.err;
    EXPECT_TRUE(output.out.ends_with("Launched\n")) << output.out;
    expect_whole_versions();
  }

  std::vector<fs::path> marker_temporaries() {
    std::vector<fs::path> found;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(versions(), error)) {
      if (!entry.is_directory() && is_marker_temporary_name(entry.path().filename().string())) {
        found.push_back(entry.path());
      }
    }
    return found;
  }

  void expect_usable_after_kill() {
    expect_whole_versions();
    expect_nothing_outside_the_cache_root();
    // What the kill left has not been written for an hour, as after a crash
    // long ago: no writer can own it any more.
    for (const fs::path& temporary : marker_temporaries()) {
      fs::last_write_time(temporary, fs::file_time_type::clock::now() - std::chrono::hours(1));
    }
    expect_next_attempt_launches();
    EXPECT_EQ(marker_temporaries(), std::vector<fs::path>{}) << "a marker temporary was left";
  }

  std::optional<test::XServer> x_server;
  test::TempDir scratch;
  // The attempt's fallback log folder lies in the runtime folder, where the
  // host's session name lives too: the log folder must stay unused, and the
  // temporary folder, where a per-user folder would take their place, too.
  test::TempDir child_runtime;
  test::ScopedVariable runtime_variable{"XDG_RUNTIME_DIR", child_runtime.path().string()};
  test::TempDir child_temp;
  test::ScopedVariable temp_variable{test::kTempFolderVariable, child_temp.path().string()};
};

TEST_P(KilledAttempt, LeavesACacheTheNextAttemptUses) {
  prepare_cache();
  std::chrono::milliseconds took{};
  const auto points = reference_run(took);
  // Each step that the system can show, by the kind of event that shows it.
  for (const auto& [step, kind] : std::initializer_list<std::pair<std::string_view, FileEventKind>>{
           {"staging folder created", FileEventKind::Created},
           {"package written", FileEventKind::ClosedAfterWrite},
           {"content folder created", FileEventKind::Created},
           {"file created", FileEventKind::Created},
           {"file written", FileEventKind::ClosedAfterWrite},
           {"envelope created", FileEventKind::Created},
           {"file read", FileEventKind::ClosedAfterRead},
           {"activated", FileEventKind::MovedIn},
           {"marker created", FileEventKind::Created}}) {
    if (!test::FileEvents::reports(kind)) continue;
    EXPECT_TRUE(std::ranges::any_of(points, [&](const KillPoint& p) { return p.step == step; }))
        << "the attempt never showed: " << step;
  }

  // Files are read three times over (after writing, before the activation and
  // when the host has started); every third read is enough, with the last
  // one before the activation.
  std::vector<KillPoint> chosen;
  for (std::size_t i = 0; i < points.size(); ++i) {
    const bool before_activation = i + 1 < points.size() && points[i + 1].step == "activated";
    if (points[i].step != "file read" || points[i].occurrence % 3 == 0 || before_activation) {
      chosen.push_back(points[i]);
    }
  }
  int at_steps = 0;
  for (std::size_t i = GetParam().shard; i < chosen.size(); i += kShards) {
    SCOPED_TRACE(testing::Message() << "killed after " << chosen[i]);
    prepare_cache();
    if (kill_at(chosen[i])) ++at_steps;
    expect_usable_after_kill();
    if (HasFailure()) return;
  }

  std::mt19937 random(static_cast<unsigned>(GetParam().shard));
  std::uniform_int_distribution<long> instant(0, took.count());
  for (int i = 0; i < kRandomKillsPerShard; ++i) {
    const auto delay = std::chrono::milliseconds(instant(random));
    SCOPED_TRACE(testing::Message() << "killed after " << delay.count() << " ms");
    prepare_cache();
    kill_after(delay);
    expect_usable_after_kill();
    if (HasFailure()) return;
  }
  std::cout << "kill points tried: " << at_steps << " of " << chosen.size() << " steps in shard "
            << GetParam().shard << ", " << kRandomKillsPerShard << " random instants up to "
            << took.count() << " ms\n";
}

std::vector<KillCase> kill_cases() {
  std::vector<KillCase> cases;
  for (int shard = 0; shard < kShards; ++shard) {
    cases.push_back({"first install " + std::to_string(shard), Scenario::FirstInstall, shard});
    cases.push_back({"update " + std::to_string(shard), Scenario::Update, shard});
  }
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Shards, KilledAttempt, testing::ValuesIn(kill_cases()),
                         test::NameOfCase());

}  // namespace
}  // namespace orvo::core
