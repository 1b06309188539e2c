// The published Ed25519 edge cases: strict verification accepts only case 3.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>

#include "core/release/release_encoding.hpp"
#include "core/release/verify_release.hpp"
#include "orvo-release/release_writer.hpp"
#include "support/fs/temp_dir.hpp"

namespace orvo::core {
namespace {

TEST(SignatureVectors, GiveTheStrictVerdicts) {
  const std::filesystem::path file = std::filesystem::path(ORVO_TESTDATA_DIR) / "cases.json";
  if (!std::filesystem::exists(file)) GTEST_SKIP() << "test vectors not found at " << file;
  const auto cases = nlohmann::json::parse(test::read_file(file));
  ASSERT_EQ(cases.size(), 12u);

  for (std::size_t index = 0; index < cases.size(); ++index) {
    SCOPED_TRACE("case " + std::to_string(index));
    const auto& vector = cases[index];
    const auto message = decode_hex(vector["message"].get<std::string>()).value();
    const auto key_bytes = decode_hex(vector["pub_key"].get<std::string>()).value();
    std::array<unsigned char, 32> key{};
    std::ranges::transform(key_bytes, key.begin(),
                           [](std::byte b) { return static_cast<unsigned char>(b); });

    const std::string envelope =
        release_tool::envelope_json(message, vector["signature"].get<std::string>());
    auto verified = verify_release(std::as_bytes(std::span(envelope)), key, false);
    ASSERT_FALSE(verified);
    // The one accepted signature gets past verification to the manifest, which
    // 32 random bytes are not.
    EXPECT_EQ(verified.error().message(), index == 3
                                              ? "Invalid release manifest"
                                              : "The release signature could not be verified");
  }
}

}  // namespace
}  // namespace orvo::core
