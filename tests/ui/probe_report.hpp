// The report of a window probe (tests/ui/view_probe): one fact per line, by
// its first word and, for controls, fonts and control kinds, the control's name.
#pragma once

#include <map>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "ui/window_layout.hpp"

namespace orvo::ui {

inline void PrintTo(const Rect& rect, std::ostream* out) {
  *out << rect.x << "," << rect.y << " " << rect.width << "x" << rect.height;
}

}  // namespace orvo::ui

namespace orvo::test {

// The controls' names in the order of the layout's controls.
inline const char* const kControlNames[] = {"title",  "status", "progress", "note",
                                            "retry",  "cancel", "details"};

struct ProbeReport {
  std::map<std::string, std::vector<std::string>> lines;

  const std::vector<std::string>& operator[](const std::string& key) const {
    static const std::vector<std::string> none;
    const auto found = lines.find(key);
    return found != lines.end() ? found->second : none;
  }
  ui::Rect rect(const std::string& control) const {
    const auto& words = (*this)["control " + control];
    if (words.size() < 4) return {};
    return {std::stoi(words[0]), std::stoi(words[1]), std::stoi(words[2]), std::stoi(words[3])};
  }
  std::string state(const std::string& control) const {
    const auto& words = (*this)["control " + control];
    return words.size() < 6 ? "" : words[4] + " " + words[5];
  }
  int font_pixels(const std::string& control) const {
    const auto& words = (*this)["font " + control];
    return words.empty() ? 0 : std::stoi(words[0]);
  }
};

inline ProbeReport parse(const std::string& text) {
  ProbeReport report;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream words(line);
    std::string key;
    words >> key;
    if (key == "control" || key == "font" || key == "kind") {
      std::string name;
      words >> name;
      key += " " + name;
    }
    std::vector<std::string> rest;
    for (std::string word; words >> word;) rest.push_back(word);
    report.lines[key] = rest;
  }
  return report;
}

}  // namespace orvo::test
