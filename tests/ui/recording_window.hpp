// A window that only records what attempt control does to it, one line per
// operation: "text status <text>", "show retry", "hide details",
// "enable cancel", "disable cancel", "focus retry", "marquee",
// "position 40", "destroy", "open <path>". Once destroyed it records any
// further operation as "after destroy: ..." so that a test sees the fault.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "ui/control_names.hpp"
#include "ui/window_operations.hpp"

namespace orvo::test {

class RecordingWindow final : public ui::WindowOperations {
 public:
  void set_text(ui::Control control, std::string_view text) override {
    record("text " + control_name(control) + " " + std::string(text));
  }
  void set_visible(ui::Control control, bool visible) override {
    record((visible ? "show " : "hide ") + control_name(control));
  }
  void set_enabled(ui::Control control, bool enabled) override {
    record((enabled ? "enable " : "disable ") + control_name(control));
  }
  void focus(ui::Control control) override { record("focus " + control_name(control)); }
  void progress_marquee() override { record("marquee"); }
  void progress_position(std::uint32_t percent) override {
    record("position " + std::to_string(percent));
  }
  void destroy_window() override {
    record("destroy");
    destroyed_ = true;
  }
  void open_file(const std::filesystem::path& path) override { record("open " + path.string()); }

  // What was recorded since the last call.
  std::vector<std::string> take() { return std::exchange(operations_, {}); }
  bool destroyed() const { return destroyed_; }

 private:
  void record(std::string operation) {
    operations_.push_back(destroyed_ ? "after destroy: " + operation : std::move(operation));
  }

  std::vector<std::string> operations_;
  bool destroyed_ = false;
};

}  // namespace orvo::test
