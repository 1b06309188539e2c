// The report of a window probe (tests/ui/view_probe): one fact per line, by
// its first word and, for controls, fonts and control kinds, the control's name.
#pragma once

#include <gtest/gtest.h>

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

// What both views show right after start-up: of the buttons only Cancel,
// nothing focused, Tab staying on Cancel.
inline void expect_running_view(const ProbeReport& report) {
  for (const char* shown : {"title", "status", "progress", "note", "cancel"}) {
    EXPECT_EQ(report.state(shown), "shown enabled") << shown;
  }
  EXPECT_EQ(report.state("retry"), "hidden enabled");
  EXPECT_EQ(report.state("details"), "hidden enabled");
  EXPECT_EQ(report["focus"], std::vector<std::string>{"none"});
  EXPECT_EQ(report["tab"], (std::vector<std::string>{"cancel", "cancel", "cancel", "cancel"}));
}

// The failure view: the bar gone, the three buttons shown, Retry focused,
// Tab going round them in creation order.
inline void expect_failure_view(const ProbeReport& report) {
  EXPECT_EQ(report.state("progress"), "hidden enabled");
  for (const char* shown : {"retry", "cancel", "details"}) {
    EXPECT_EQ(report.state(shown), "shown enabled") << shown;
  }
  EXPECT_EQ(report["focus"], std::vector<std::string>{"retry"});
  EXPECT_EQ(report["tab"], (std::vector<std::string>{"cancel", "details", "retry", "cancel"}));
}

}  // namespace orvo::test
