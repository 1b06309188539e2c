#include "core/net/curl_error.hpp"

#include <gtest/gtest.h>

namespace orvo::core {
namespace {

// curl quotes a server certificate's name in its details byte for byte; the
// error's text stays UTF-8, which every later user of it relies on.
TEST(CurlError, DetailsQuotingServerBytesStayUtf8) {
  const Error error = curl_error(CURLE_PEER_FAILED_VERIFICATION,
                                 "SSL: certificate subject name 'a\xC3\x28z' does not match\n");
  ASSERT_NE(error.cause(), nullptr);
  EXPECT_EQ(error.cause()->message(), "SSL: certificate subject name 'a\uFFFD(z' does not match");
}

}  // namespace
}  // namespace orvo::core
