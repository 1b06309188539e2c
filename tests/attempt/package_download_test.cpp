// The download percent: 10 to 75, truncated, as the package arrives.
#include "attempt/package_download.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace orvo::core {
namespace {

TEST(DownloadPercent, RunsFrom10To75Truncated) {
  struct Case {
    std::uint64_t received, size;
    std::uint32_t percent;
  };
  for (const Case& c : std::vector<Case>{{0, 1'000'000, 10},
                                         {65'536, 1'000'000, 14},  // 10 + 4,259,840 / 1,000,000
                                         {999'999, 1'000'000, 74},
                                         {1'000'000, 1'000'000, 75},
                                         {1, 1, 75},
                                         {1, 3, 31},  // 65 / 3 = 21.67
                                         {0x40000000, 0x40000000, 75},
                                         {0x3FFFFFFF, 0x40000000, 74}}) {
    EXPECT_EQ(download_percent(c.received, c.size), c.percent) << c.received << " of " << c.size;
  }
}

TEST(DownloadPercent, ReadsOf64KiBOfAMillionBytesPostEachChangeOnceFrom14To75) {
  std::vector<std::uint32_t> posted;
  std::uint32_t last = 0;
  for (std::uint64_t received = 0; received < 1'000'000;) {
    received = std::min<std::uint64_t>(received + 65'536, 1'000'000);
    const std::uint32_t percent = download_percent(received, 1'000'000);
    if (percent != last) posted.push_back(last = percent);
  }
  ASSERT_FALSE(posted.empty());
  EXPECT_EQ(posted.front(), 14u);
  EXPECT_EQ(posted.back(), 75u);
  EXPECT_EQ(posted.size(), 16u);  // 16 reads, each one moving the percent on
}

}  // namespace
}  // namespace orvo::core
