// The DPIs at which the window tests lay the window out, with the client
// size, the fonts' pixel heights and the rectangles the layout's edge cases name.
#pragma once

#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "ui/window_layout.hpp"

namespace orvo::test {

struct DpiCase {
  std::string label;
  int dpi;
  int client_width;
  int client_height;
  int body_font;
  int title_font;
  std::map<std::string, ui::Rect> named;  // rectangles the layout's edge cases name
  friend void PrintTo(const DpiCase& c, std::ostream* out) { *out << c.label; }
};

inline const std::vector<DpiCase> kDpiCases = {
    DpiCase{"At72", 72, 500, 248, 16, 26, {{"retry", {268, 205, 96, 30}}}},
    DpiCase{"At96",
            96,
            500,
            248,
            16,
            26,
            {{"title", {28, 22, 444, 38}},
             {"status", {28, 70, 444, 70}},
             {"progress", {28, 146, 444, 18}},
             {"note", {28, 177, 444, 23}},
             {"retry", {268, 205, 96, 30}},
             {"cancel", {376, 205, 96, 30}},
             {"details", {28, 205, 112, 30}}}},
    DpiCase{"At97", 97, 505, 250, 16, 26, {{"retry", {270, 207, 97, 30}}}},
    DpiCase{"At120",
            120,
            625,
            310,
            20,
            32,
            {{"retry", {335, 256, 120, 37}},
             {"cancel", {470, 256, 120, 37}},
             {"details", {35, 256, 140, 37}},
             {"status", {35, 87, 555, 87}}}},
    DpiCase{"At144", 144, 750, 372, 24, 39, {{"progress", {42, 219, 666, 27}}}}};

}  // namespace orvo::test
