#include <gtest/gtest.h>

#include "base/error.hpp"

namespace orvo::core {
namespace {

TEST(ErrorTest, ChainTextJoinsMessagesOutermostFirst) {
  const Error inner("operation timed out");
  const Error middle = inner.wrap("Download was interrupted");
  const Error outer = Error("Cannot download ORVO Support", middle);
  EXPECT_EQ(inner.chain_text(), "operation timed out");
  EXPECT_EQ(outer.chain_text(),
            "Cannot download ORVO Support: Download was interrupted: operation timed out");
  ASSERT_NE(outer.cause(), nullptr);
  EXPECT_EQ(outer.cause()->message(), "Download was interrupted");
  // Wrapping leaves the wrapped value as it was.
  EXPECT_EQ(middle.chain_text(), "Download was interrupted: operation timed out");
}

TEST(ErrorTest, OperatingSystemErrorNamesItsCode) {
  const Error error = Error::os(2, "No such file or directory");
  EXPECT_EQ(error.message(), "No such file or directory (os error 2)");
  EXPECT_EQ(error.os_code(), 2);
  EXPECT_EQ(Error("plain").os_code(), std::nullopt);
}

TEST(ErrorTest, IoKindTravelsWithTheMessage) {
  const Error error = Error::io(IoKind::UnexpectedEof, "Download worker stopped");
  EXPECT_EQ(error.io_kind(), IoKind::UnexpectedEof);
  EXPECT_EQ(error.chain_text(), "Download worker stopped");
  EXPECT_EQ(Error("plain").io_kind(), IoKind::None);
}

}  // namespace
}  // namespace orvo::core
