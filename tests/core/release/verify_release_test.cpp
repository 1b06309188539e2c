#include "core/release/verify_release.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/release/release_encoding.hpp"
#include "core/release/sha256.hpp"
#include "orvo-release/release_writer.hpp"
#include "support/release/release_builder.hpp"

namespace orvo::core {
namespace {

using test::bytes_of;
using test::manifest_entry;
using test::ReleaseSigner;
using test::valid_manifest;
using Key = std::array<unsigned char, 32>;

constexpr std::uint64_t kMiB = 1024 * 1024;
const std::string kDigit = std::string(64, 'a');

std::string verdict(std::string_view envelope, std::span<const unsigned char, 32> key) {
  auto manifest = verify_release(bytes_of(envelope), key, false);
  return manifest ? "ok" : manifest.error().chain_text();
}

std::string raw_envelope(std::string_view payload_base64, std::string_view signature_hex) {
  return R"({"payload":")" + std::string(payload_base64) + R"(","signature":")" +
         std::string(signature_hex) + "\"}";
}

// An envelope of exactly these texts.
std::function<std::string(const ReleaseSigner&)> with(std::string payload_base64,
                                                      std::string signature_hex) {
  return [=](const ReleaseSigner&) { return raw_envelope(payload_base64, signature_hex); };
}

// The envelope of a valid manifest changed by edit.
std::function<std::string(const ReleaseSigner&)> signed_manifest(
    std::function<void(Manifest&)> edit) {
  return [edit](const ReleaseSigner& signer) {
    Manifest manifest = valid_manifest();
    edit(manifest);
    return signer.envelope(manifest);
  };
}

// The envelope of a valid manifest's JSON text changed by edit.
std::function<std::string(const ReleaseSigner&)> signed_text(
    std::function<void(std::string&)> edit) {
  return [edit](const ReleaseSigner& signer) {
    std::string json = release_tool::manifest_json(valid_manifest());
    edit(json);
    return signer.envelope(json);
  };
}

void replace(std::string& text, std::string_view from, std::string_view to) {
  const std::size_t at = text.find(from);
  ASSERT_NE(at, std::string::npos) << from;
  text.replace(at, from.size(), to);
}

// A valid signature with the group order L added to its S half.
std::string signature_plus_order(const std::string& signature_hex) {
  static constexpr std::array<unsigned char, 32> kOrder = {
      0xed, 0xd3, 0xf5, 0x5c, 0x1a, 0x63, 0x12, 0x58, 0xd6, 0x9c, 0xf7,
      0xa2, 0xde, 0xf9, 0xde, 0x14, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
      0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10};
  auto bytes = decode_hex(signature_hex).value();
  unsigned carry = 0;
  for (std::size_t i = 0; i < 32; ++i) {
    const unsigned sum = static_cast<unsigned>(bytes[32 + i]) + kOrder[i] + carry;
    bytes[32 + i] = static_cast<std::byte>(sum & 0xFF);
    carry = sum >> 8;
  }
  return lower_hex(std::span(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()));
}

std::vector<ManifestFile> host_and(std::vector<ManifestFile> files) {
  files.push_back(manifest_entry("ORVO.Host.exe", "host"));
  return files;
}

ManifestFile sized(std::string path, std::uint64_t size) { return {std::move(path), size, kDigit}; }

std::vector<ManifestFile> many_files(std::size_t count) {
  std::vector<ManifestFile> files;
  for (std::size_t i = 1; i < count; ++i) files.push_back(sized("f/" + std::to_string(i), 1));
  return host_and(std::move(files));
}

Key key_from_hex(std::string_view hex) {
  Key key{};
  auto bytes = decode_hex(hex).value();
  std::memcpy(key.data(), bytes.data(), key.size());
  return key;
}

struct VerifyCase {
  const char* name;
  std::function<std::string(const ReleaseSigner&)> envelope;
  std::string expected;                   // "ok" or the whole chain text
  std::optional<Key> key = std::nullopt;  // instead of the signer's key
  bool prefix = false;                    // expected is only the chain's beginning
};

class VerifyRelease : public testing::Test {
 protected:
  void run(const std::vector<VerifyCase>& cases) {
    for (const VerifyCase& c : cases) {
      SCOPED_TRACE(c.name);
      const std::string envelope = c.envelope(signer_);
      const Key key = c.key.value_or(Key{});
      const std::string actual = verdict(
          envelope, c.key ? std::span<const unsigned char, 32>(key) : signer_.release_key());
      if (c.prefix) {
        EXPECT_TRUE(actual.starts_with(c.expected)) << actual;
      } else {
        EXPECT_EQ(actual, c.expected);
      }
    }
  }

  ReleaseSigner signer_;
  // The valid manifest's text, Base64 and signature.
  const std::string json_ = release_tool::manifest_json(valid_manifest());
  const std::string payload_ = encode_base64(bytes_of(json_));
  const std::string signature_ = signer_.signature_hex(json_);
};

TEST_F(VerifyRelease, Envelope) {
  const std::string valid = signer_.envelope(valid_manifest());
  const auto padded_to = [valid](std::size_t size) {
    return [valid, size](const ReleaseSigner&) {
      return valid + std::string(size - valid.size(), ' ');
    };
  };
  const auto fixed = [](std::string text) { return [text](const ReleaseSigner&) { return text; }; };
  const std::string& payload = payload_;
  const std::string& signature = signature_;

  run({
      {"valid", fixed(valid), "ok"},
      {"exactly_4_MiB", padded_to(kMaxEnvelopeBytes), "ok"},
      {"one_byte_more", padded_to(kMaxEnvelopeBytes + 1), "Release manifest is too large"},
      {"empty", fixed(""),
       "Invalid signed release envelope: parse error at line 1, column 1: syntax error while "
       "parsing value - unexpected end of input; expected '[', '{', or a literal"},
      {"whitespace_around", fixed(" \r\n\t" + valid + "\n\n "), "ok"},
      {"trailing_character", fixed(valid + " x"),
       "Invalid signed release envelope: parse error at line 1, column " +
           std::to_string(valid.size() + 2) + ": syntax error",
       std::nullopt, true},
      {"nul_then_more_after_the_value", fixed(valid + std::string("\0{}", 3)),
       "Invalid signed release envelope: trailing characters at line 1 column " +
           std::to_string(valid.size() + 1)},
      {"extra_key", fixed(R"({"payload":"","signature":"","x":1})"),
       "Invalid signed release envelope: unknown field `x`, expected `payload` or `signature` "
       "at line 1 column 32"},
      {"repeated_key", fixed(R"({"signature":"","payload":"","signature":""})"),
       "Invalid signed release envelope: duplicate field `signature` at line 1 column 40"},
      {"missing_signature", fixed(R"({"payload":""})"),
       "Invalid signed release envelope: missing field `signature` at line 1 column 14"},
      {"two_element_array", fixed("[\"" + payload + "\",\"" + signature + "\"]"), "ok"},
      {"three_element_array", fixed(R"(["","",""])"),
       "Invalid signed release envelope: invalid length 3, expected struct SignedEnvelope with 2 "
       "elements at line 1 column 10"},
  });
}

TEST_F(VerifyRelease, Encodings) {
  const std::string& payload = payload_;
  const std::string& signature = signature_;
  std::string mixed_case = signature;
  for (std::size_t i = 0; i < mixed_case.size(); i += 2)
    mixed_case[i] = static_cast<char>(std::toupper(mixed_case[i]));
  std::string upper_case = signature;
  for (char& c : upper_case) c = static_cast<char>(std::toupper(c));
  const std::string not_canonical =
      "Invalid release payload encoding: the text is not canonical "
      "standard Base64 with padding";

  run({
      {"upper_case_signature", with(payload, upper_case), "ok"},
      {"mixed_case_signature", with(payload, mixed_case), "ok"},
      {"126_digits", with(payload, signature.substr(0, 126)), "Invalid release signature length"},
      {"127_digits", with(payload, signature.substr(0, 127)),
       "Invalid release signature encoding: odd number of hexadecimal digits"},
      {"130_digits", with(payload, signature + "00"), "Invalid release signature length"},
      {"empty_signature", with(payload, ""), "Invalid release signature length"},
      {"not_a_digit", with(payload, signature.substr(0, 10) + "g" + signature.substr(11)),
       "Invalid release signature encoding: invalid hexadecimal character at offset 10"},
      {"odd_digits_then_other_character", with(payload, "abc!"),
       "Invalid release signature encoding: invalid hexadecimal character at offset 3"},
      {"line_break_in_payload", with(payload.substr(0, 8) + "\\n" + payload.substr(8), signature),
       not_canonical},
      {"space_in_payload", with(payload.substr(0, 8) + " " + payload.substr(8), signature),
       not_canonical},
      {"url_safe_minus", with("-" + payload.substr(1), signature), not_canonical},
      {"url_safe_underscore", with("_" + payload.substr(1), signature), not_canonical},
      {"padding_left_off", with("YWI", signature), not_canonical},
      {"surplus_padding", with("YWI==", signature), not_canonical},
      {"padding_in_the_middle", with("YQ==YWI=", signature), not_canonical},
      {"unused_bits_set", with("YWJ=", signature), not_canonical},
      // libsodium would read each byte of the UTF-8 "\xc3\xa4" as '/', giving ff f0 00.
      {"non_ascii_character_in_payload",
       with("\xc3\xa4" "AA", signer_.signature_hex(std::string("\xff\xf0\x00", 3))),
       not_canonical},
      {"padded_payload_decodes", with("ImFiIg==", signer_.signature_hex("\"ab\"")),
       "Invalid release manifest: invalid type: string \"ab\", expected struct Manifest at line 1 "
       "column 4"},
      {"empty_payload_with_its_signature", with("", signer_.signature_hex("")),
       "Invalid release manifest: parse error at line 1, column 1: syntax error while parsing "
       "value - unexpected end of input; expected '[', '{', or a literal"},
  });
}

TEST_F(VerifyRelease, Signature) {
  const std::string& json = json_;
  const std::string& payload = payload_;
  const std::string& signature = signature_;
  const std::string refused =
      "The release signature could not be verified: Ed25519 signature verification failed";
  std::string changed = json;
  replace(changed, "\"1.0.1\"", "\"1.0.2\"");
  std::string reformatted = json;
  replace(reformatted, ",\"sequence\"", ", \"sequence\"");
  // y = 2 is no point of the curve; y = p + 2 is the same y written non-canonically.
  const Key no_point = key_from_hex("02" + std::string(62, '0'));
  const Key no_point_above_p = key_from_hex("ef" + std::string(60, 'f') + "7f");
  // Small-order points: the identity; y = p + 1, a non-canonical identity; and
  // (0, -1) written with the sign bit set although x = 0.
  const Key identity = key_from_hex("01" + std::string(62, '0'));
  const Key identity_above_p = key_from_hex("ee" + std::string(60, 'f') + "7f");
  const Key order_two_negative_zero = key_from_hex("ec" + std::string(62, 'f'));
  const std::string small_order_r = "01" + std::string(62, '0') + signature.substr(64);

  Key other_key{};
  std::ranges::copy(ReleaseSigner().release_key(), other_key.begin());

  run({
      {"s_plus_group_order", with(payload, signature_plus_order(signature)), refused},
      {"small_order_r", with(payload, small_order_r), refused},
      {"another_key", with(payload, signature), refused, other_key},
      {"one_payload_byte_changed", with(encode_base64(bytes_of(changed)), signature), refused},
      {"same_manifest_formatted_differently", with(encode_base64(bytes_of(reformatted)), signature),
       refused},
      {"its_own_signature",
       with(encode_base64(bytes_of(reformatted)), signer_.signature_hex(reformatted)), "ok"},
      {"small_order_key", with(payload, signature), refused, identity},
      {"small_order_key_above_p", with(payload, signature), refused, identity_above_p},
      {"small_order_key_negative_zero", with(payload, signature), refused, order_two_negative_zero},
      {"key_no_point", with(payload, signature),
       "Invalid release verification key: Ed25519 public key is not a point on the curve",
       no_point},
      {"key_no_point_above_p", with(payload, signature),
       "Invalid release verification key: Ed25519 public key is not a point on the curve",
       no_point_above_p},
      {"key_checked_after_payload", with("YWI", signature),
       "Invalid release payload encoding: the text is not canonical standard Base64 with padding",
       no_point},
      {"key_checked_after_signature", with(payload, ""), "Invalid release signature length",
       no_point},
  });
}

TEST_F(VerifyRelease, LoopbackHttpOnlyWhenAllowed) {
  Manifest manifest = valid_manifest();
  manifest.package_url = "http://127.0.0.1:8080/host.zip";
  const std::string envelope = signer_.envelope(manifest);
  EXPECT_TRUE(verify_release(bytes_of(envelope), signer_.release_key(), true));
  auto refused = verify_release(bytes_of(envelope), signer_.release_key(), false);
  ASSERT_FALSE(refused);
  EXPECT_EQ(refused.error().chain_text(), "ORVO downloads require HTTPS");
}

TEST_F(VerifyRelease, ManifestRules) {
  const auto files = [](std::vector<ManifestFile> list) {
    return signed_manifest([list](Manifest& m) { m.files = list; });
  };
  const std::string version_rule =
      "Version must use at most 64 ASCII letters, digits, dots, hyphens or underscores";
  const std::string not_read = "Invalid release manifest: ";

  run({
      {"valid", signed_manifest([](Manifest&) {}), "ok"},
      {"schema_2", signed_manifest([](Manifest& m) { m.schema_version = 2; }),
       "Unsupported release manifest format"},
      {"schema_2_with_extra_key", signed_text([](std::string& json) {
         replace(json, "\"schema_version\":1", "\"schema_version\":2,\"extra\":0");
       }),
       not_read + "unknown field `extra`, expected one of `schema_version`, `version`, `sequence`, "
                  "`target`, `package_url`, `package_sha256`, `package_size`, `files` at line 1 "
                  "column 27"},
      {"sequence_fraction",
       signed_text([](std::string& json) { replace(json, "\"sequence\":1", "\"sequence\":1.0"); }),
       not_read + "invalid type: floating point `1.0`, expected u64 at line 1 column 52"},
      {"sequence_exponent",
       signed_text([](std::string& json) { replace(json, "\"sequence\":1", "\"sequence\":1e0"); }),
       not_read + "invalid type: floating point `1e0`, expected u64 at line 1 column 52"},
      {"sequence_0", signed_manifest([](Manifest& m) { m.sequence = 0; }),
       "Release sequence must be positive"},
      {"target_in_capitals", signed_manifest([](Manifest& m) { m.target = "WIN-X64"; }),
       "Release is not for Windows 64-bit"},
      {"version_64", signed_manifest([](Manifest& m) { m.version = std::string(64, 'v'); }), "ok"},
      {"version_every_allowed_byte", signed_manifest([](Manifest& m) { m.version = "AZaz09.-_"; }),
       "ok"},
      {"version_65", signed_manifest([](Manifest& m) { m.version = std::string(65, 'v'); }),
       version_rule},
      {"version_empty", signed_manifest([](Manifest& m) { m.version = ""; }), version_rule},
      {"version_plus", signed_manifest([](Manifest& m) { m.version = "1.0+1"; }), version_rule},
      {"version_space", signed_manifest([](Manifest& m) { m.version = "1.0 1"; }), version_rule},
      {"package_url_refused_unchanged",
       signed_manifest([](Manifest& m) { m.package_url = "http://127.0.0.1/host.zip"; }),
       "ORVO downloads require HTTPS"},
      {"package_url_with_credentials",
       signed_manifest([](Manifest& m) { m.package_url = "https://u:p@127.0.0.1/host.zip"; }),
       "Download URLs cannot include credentials or fragments"},
      {"package_url_checked_before_digest", signed_manifest([](Manifest& m) {
         m.package_url = "not a url";
         m.package_sha256 = "x";
       }),
       "Invalid download URL: relative URL without a base"},
      {"upper_case_package_digest",
       signed_manifest([](Manifest& m) { m.package_sha256 = std::string(64, 'A'); }),
       "Invalid SHA-256 digest"},
      {"package_size_0", signed_manifest([](Manifest& m) { m.package_size = 0; }),
       "Invalid package size"},
      {"package_size_1_GiB", signed_manifest([](Manifest& m) { m.package_size = 1024 * kMiB; }),
       "ok"},
      {"package_size_above_1_GiB",
       signed_manifest([](Manifest& m) { m.package_size = 1024 * kMiB + 1; }),
       "Invalid package size"},
      {"no_files", files({}), "Invalid release file count"},
      {"10000_files", files(many_files(10000)), "ok"},
      {"10001_files", files(many_files(10001)), "Invalid release file count"},
      {"file_of_0_bytes", files(host_and({sized("empty", 0)})), "ok"},
      {"file_of_512_MiB", files(host_and({sized("big", 512 * kMiB)})), "ok"},
      {"file_above_512_MiB", files(host_and({sized("big", 512 * kMiB + 1)})),
       "Release file exceeds the size limit"},
      {"unsafe_file_path_as_the_path_rules_say", files(host_and({sized("a/../b", 1)})),
       "Unsafe package path component"},
      {"upper_case_file_digest", files(host_and({{"a", 1, std::string(64, 'F')}})),
       "Invalid SHA-256 digest"},
      {"path_checked_before_digest", files(host_and({{"a/", 1, "x"}})),
       "Unsafe package path component"},
      {"paths_differing_in_case", files(host_and({sized("App.dll", 1), sized("app.DLL", 1)})),
       "Duplicate release path"},
      {"file_and_folder", files(host_and({sized("Data", 1), sized("data/x.bin", 1)})),
       "A release path is both a file and a directory"},
      {"folder_then_file", files(host_and({sized("a/b/c", 1), sized("A/B", 1)})),
       "A release path is both a file and a directory"},
      {"file_in_folder", files(host_and({sized("data/x.bin", 1)})), "ok"},
      {"similar_names_are_no_folders", files(host_and({sized("data", 1), sized("data.d/x", 1)})),
       "ok"},
      {"exactly_2_GiB",
       files(host_and({sized("a", 512 * kMiB), sized("b", 512 * kMiB), sized("c", 512 * kMiB),
                       sized("d", 512 * kMiB - 4)})),
       "ok"},
      {"one_byte_above_2_GiB",
       files(host_and({sized("a", 512 * kMiB), sized("b", 512 * kMiB), sized("c", 512 * kMiB),
                       sized("d", 512 * kMiB - 3)})),
       "Installed release exceeds the size limit"},
      {"total_checked_before_later_files",
       files({sized("a", 512 * kMiB),
              sized("b", 512 * kMiB),
              sized("c", 512 * kMiB),
              sized("d", 512 * kMiB - 3),
              manifest_entry("ORVO.Host.exe", "host"),
              {"e", 1, "bad"}}),
       "Installed release exceeds the size limit"},
      {"host_in_lower_case", files({manifest_entry("orvo.host.exe", "host")}),
       "Release is missing ORVO.Host.exe"},
      {"host_in_subfolder", files({manifest_entry("bin/ORVO.Host.exe", "host")}),
       "Release is missing ORVO.Host.exe"},
      {"rules_in_order", signed_manifest([](Manifest& m) {
         m.schema_version = 0;
         m.target = "x";
         m.files.clear();
       }),
       "Unsupported release manifest format"},
  });
}

TEST(SameRelease, ComparesTheReleaseIdentityOnly) {
  const Manifest base =
      valid_manifest({manifest_entry("ORVO.Host.exe", "h"), manifest_entry("a/B", "b")});
  struct Case {
    const char* name;
    std::function<void(Manifest&)> edit;
    bool same;
  };
  const std::vector<Case> cases = {
      {"unchanged", [](Manifest&) {}, true},
      {"package_url", [](Manifest& m) { m.package_url = "https://127.0.0.1/other.zip"; }, true},
      {"target", [](Manifest& m) { m.target = "other"; }, true},
      {"schema_version", [](Manifest& m) { m.schema_version = 7; }, true},
      {"sequence", [](Manifest& m) { m.sequence = 2; }, false},
      {"version", [](Manifest& m) { m.version = "1.0.9"; }, false},
      {"package_sha256", [](Manifest& m) { m.package_sha256 = kDigit; }, false},
      {"package_size", [](Manifest& m) { m.package_size += 1; }, false},
      {"files_reordered", [](Manifest& m) { std::swap(m.files[0], m.files[1]); }, false},
      {"path_letter_case", [](Manifest& m) { m.files[1].path = "a/b"; }, false},
      {"file_size", [](Manifest& m) { m.files[1].size += 1; }, false},
      {"file_digest", [](Manifest& m) { m.files[1].sha256 = kDigit; }, false},
      {"file_added", [](Manifest& m) { m.files.push_back(sized("c", 0)); }, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Manifest other = base;
    c.edit(other);
    EXPECT_EQ(same_release(base, other), c.same);
    EXPECT_EQ(same_release(other, base), c.same);
  }
}

TEST(ManifestFilesJson, IsCompactWithKeysInDeclaredOrder) {
  EXPECT_EQ(manifest_files_json({}), "[]");
  const std::vector<ManifestFile> files = {{"a/b.txt", 0, "00ff"},
                                           {"c", 18446744073709551615u, "d"}};
  EXPECT_EQ(manifest_files_json(files),
            R"([{"path":"a/b.txt","size":0,"sha256":"00ff"},)"
            R"({"path":"c","size":18446744073709551615,"sha256":"d"}])");
  const std::vector<ManifestFile> escaped = {{"q\"b\\\n\x01\x7f", 1, "\t"}};
  EXPECT_EQ(manifest_files_json(escaped),
            "[{\"path\":\"q\\\"b\\\\\\n\\u0001\x7f\",\"size\":1,\"sha256\":\"\\t\"}]");
}

TEST(HasHostExecutable, WantsTheExactNameAtTheRoot) {
  EXPECT_TRUE(has_host_executable(host_and({sized("a", 1)})));
  EXPECT_FALSE(has_host_executable({}));
  const std::vector<ManifestFile> near_misses = {
      sized("ORVO.Host.exe/", 1), sized("ORVO.HOST.EXE", 1), sized("x/ORVO.Host.exe", 1),
      sized("ORVO.Host.exe ", 1)};
  EXPECT_FALSE(has_host_executable(near_misses));
}

TEST(CheckSha256Text, WantsSixtyFourLowerCaseDigits) {
  EXPECT_TRUE(check_sha256_text(sha256_hex(bytes_of(""))));
  EXPECT_TRUE(check_sha256_text(std::string(32, '0') + std::string(32, 'f')));
  for (const std::string& bad :
       {std::string(63, 'a'), std::string(65, 'a'), std::string(), std::string(63, 'a') + "A",
        std::string(63, 'a') + "g", std::string(63, 'a') + " "}) {
    SCOPED_TRACE(bad);
    auto checked = check_sha256_text(bad);
    ASSERT_FALSE(checked);
    EXPECT_EQ(checked.error().chain_text(), "Invalid SHA-256 digest");
  }
}

}  // namespace
}  // namespace orvo::core
