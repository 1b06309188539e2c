// What a test host does, read from "host-behaviour.txt" in its working folder:
// one setting per line ("name value"); a missing file or line keeps the
// default. Each host's own file lists the settings and what they mean there.
#pragma once

#include <fstream>
#include <optional>
#include <string>

namespace orvo::test_host {

struct Behaviour {
  int delay_ms = 0;
  std::optional<int> exit_code;
  std::string title = "ORVO Host";
  std::string window_class = "WindowsForms10.Window.8.app.0.test";
  bool legacy_title = false;
  bool hidden = false;
  bool iconic = false;
  bool framed = false;
  bool hang = false;
  std::optional<int> exit_after_ms;
  std::string ready_file;
  std::optional<std::string> second_class;
};

inline Behaviour read_behaviour() {
  Behaviour behaviour;
  std::ifstream file("host-behaviour.txt");
  std::string line;
  while (std::getline(file, line)) {
    // A file written on Windows may end its lines with CR LF.
    if (line.ends_with('\r')) line.pop_back();
    const auto space = line.find(' ');
    const std::string name = line.substr(0, space);
    const std::string value = space == std::string::npos ? "" : line.substr(space + 1);
    if (name == "delay_ms") behaviour.delay_ms = std::stoi(value);
    if (name == "exit_code") behaviour.exit_code = std::stoi(value);
    if (name == "title") behaviour.title = value;
    if (name == "class") behaviour.window_class = value;
    if (name == "legacy_title") behaviour.legacy_title = true;
    if (name == "hidden") behaviour.hidden = true;
    if (name == "iconic") behaviour.iconic = true;
    if (name == "framed") behaviour.framed = true;
    if (name == "hang") behaviour.hang = true;
    if (name == "exit_after_ms") behaviour.exit_after_ms = std::stoi(value);
    if (name == "ready_file") behaviour.ready_file = value;
    if (name == "second_class") behaviour.second_class = value;
  }
  return behaviour;
}

}  // namespace orvo::test_host
