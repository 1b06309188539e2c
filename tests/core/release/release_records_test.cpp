#include "core/release/release_records.hpp"

#include <gtest/gtest.h>

#include <string>

namespace orvo::core {
namespace {

struct ReadCase {
  const char* name;
  std::string json;
  std::string error;  // empty: the document is read
};

// One reader's verdicts on a table of documents.
template <auto read>
class Reading : public testing::TestWithParam<ReadCase> {
 protected:
  void check() const {
    auto result = read(GetParam().json);
    EXPECT_EQ(result ? std::string() : result.error().chain_text(), GetParam().error);
  }
};

using EnvelopeReading = Reading<&read_signed_envelope>;
using ManifestReading = Reading<&read_manifest>;

TEST_P(EnvelopeReading, GivesTheExpectedVerdict) { check(); }
TEST_P(ManifestReading, GivesTheExpectedVerdict) { check(); }

INSTANTIATE_TEST_SUITE_P(
    Cases, EnvelopeReading,
    testing::Values(
        ReadCase{"object", R"({"payload":"a","signature":"b"})", ""},
        ReadCase{"keys_in_any_order", R"({"signature":"b","payload":"a"})", ""},
        ReadCase{"escaped_key", R"({"pay\u006coad":"a","signature":"b"})", ""},
        ReadCase{"array_form", R"(["a","b"])", ""},
        ReadCase{"json_whitespace_around", " \t\r\n{\"payload\":\"a\",\"signature\":\"b\"}\n\t ",
                 ""},
        ReadCase{
            "empty", "",
            "parse error at line 1, column 1: syntax error while parsing value - unexpected end "
            "of input; expected '[', '{', or a literal"},
        ReadCase{"trailing_character", R"({"payload":"a","signature":"b"}x)",
                 "parse error at line 1, column 32: syntax error while parsing value - invalid "
                 "literal; last read: '\"b\"}x'; expected end of input"},
        ReadCase{"nul_then_more_after_the_value",
                 std::string("{\"payload\":\"a\",\"signature\":\"b\"}\0x", 34),
                 "trailing characters at line 1 column 32"},
        ReadCase{"nul_after_whitespace", std::string("[\"a\",\"b\"]\n \0", 12),
                 "trailing characters at line 2 column 2"},
        ReadCase{"invalid_utf8_in_a_string", "{\"payload\":\"\xFF\"}",
                 "parse error at line 1, column 13: syntax error while parsing value - invalid "
                 "string: ill-formed UTF-8 byte; last read: '\"\xEF\xBF\xBD'"},
        ReadCase{"long_token_is_cut_at_its_end",
                 "{\"payload\":\"" + std::string(100, 'a') + "\x01\"}",
                 "parse error at line 1, column 113: syntax error while parsing value - invalid "
                 "string: control character U+0001 (SOH) must be escaped to \\u0001; last read: "
                 "'..." +
                     std::string(56, 'a') + "<U+0001>'"},
        ReadCase{"byte_order_mark", "\xEF\xBB\xBF{\"payload\":\"a\",\"signature\":\"b\"}",
                 "unexpected byte order mark at line 1 column 1"},
        ReadCase{"comment", R"({"payload":"a",/* x */"signature":"b"})",
                 "parse error at line 1, column 16: syntax error while parsing object key - "
                 "invalid literal; last read: '\"a\",/'; expected string literal"},
        ReadCase{"repeated_after_escapes", R"({"payload":"a","p\u0061yload":"b","signature":"c"})",
                 "duplicate field `payload` at line 1 column 29"},
        ReadCase{"missing_field", R"({"payload":"a"})",
                 "missing field `signature` at line 1 column 15"},
        ReadCase{"missing_fields_in_declared_order", R"({})",
                 "missing field `payload` at line 1 column 2"},
        ReadCase{"repeated_field", R"({"payload":"a","payload":"b","signature":"c"})",
                 "duplicate field `payload` at line 1 column 24"},
        ReadCase{"unknown_field", R"({"payload":"a","signature":"b","x":1})",
                 "unknown field `x`, expected `payload` or `signature` at line 1 column 34"},
        ReadCase{"keys_are_case_sensitive", R"({"Payload":"a","signature":"b"})",
                 "unknown field `Payload`, expected `payload` or `signature` at line 1 column 10"},
        ReadCase{"three_elements", R"(["a","b","c"])",
                 "invalid length 3, expected struct SignedEnvelope with 2 elements at line 1 "
                 "column 13"},
        ReadCase{"surplus_nested_values_are_counted", R"(["a","b",[1,{"x":[]}],{},4])",
                 "invalid length 5, expected struct SignedEnvelope with 2 elements at line 1 "
                 "column 27"},
        ReadCase{"deeply_nested_surplus_value",
                 R"(["a","b",)" + std::string(100000, '[') + std::string(100000, ']') + "]",
                 "invalid length 3, expected struct SignedEnvelope with 2 elements at line 1 "
                 "column 200010"},
        ReadCase{"one_element", R"(["a"])",
                 "invalid length 1, expected struct SignedEnvelope with 2 elements at line 1 "
                 "column 5"},
        ReadCase{"number_for_text", "{\"payload\":\"a\",\n \"signature\":5}",
                 "invalid type: integer `5`, expected a string at line 2 column 14"},
        ReadCase{"null_for_text", R"({"payload":null,"signature":"b"})",
                 "invalid type: null, expected a string at line 1 column 15"},
        ReadCase{"object_for_text", R"({"payload":{},"signature":"b"})",
                 "invalid type: map, expected a string at line 1 column 12"},
        ReadCase{"scalar_document", "true",
                 "invalid type: boolean `true`, expected struct SignedEnvelope at line 1 column 4"},
        ReadCase{"string_document", R"("x")",
                 "invalid type: string \"x\", expected struct SignedEnvelope at line 1 column 3"},
        ReadCase{"control_characters_in_a_key_stay_escaped", R"({"a\nb\u0000":1})",
                 "unknown field `a\\nb\\u0000`, expected `payload` or `signature` at line 1 "
                 "column 13"},
        ReadCase{"long_unknown_key_is_cut", "{\"" + std::string(100, 'k') + "\":1}",
                 "unknown field `" + std::string(64, 'k') +
                     "...`, expected `payload` or `signature` at line 1 column 103"}),
    [](const auto& info) { return std::string(info.param.name); });

// A manifest with one field replaced by the given JSON text.
std::string manifest_with(const std::string& field, const std::string& value) {
  const std::pair<std::string, std::string> fields[] = {
      {"schema_version", "1"},
      {"version", R"("1.0")"},
      {"sequence", "1"},
      {"target", R"("win-x64")"},
      {"package_url", R"("https://127.0.0.1/p.zip")"},
      {"package_sha256", R"("ab")"},
      {"package_size", "1"},
      {"files", R"([{"path":"ORVO.Host.exe","size":1,"sha256":"cd"}])"},
  };
  std::string json = "{";
  for (const auto& [name, text] : fields) {
    if (json.size() > 1) json += ',';
    json += "\"" + name + "\":" + (name == field ? value : text);
  }
  return json + "}";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ManifestReading,
    testing::Values(
        ReadCase{"object", manifest_with("", ""), ""},
        ReadCase{"largest_u64", manifest_with("sequence", "18446744073709551615"), ""},
        ReadCase{"largest_u32", manifest_with("schema_version", "4294967295"), ""},
        ReadCase{"files_in_both_forms",
                 manifest_with("files", R"([["a",1,"b"],{"sha256":"c","size":2,"path":"d"}])"), ""},
        ReadCase{"array_form",
                 R"([1,"1.0",1,"win-x64","u","d",1,[{"path":"p","size":0,"sha256":"s"}]])", ""},
        ReadCase{"fraction", manifest_with("sequence", "1.0"),
                 "invalid type: floating point `1.0`, expected u64 at line 1 column 50"},
        ReadCase{"exponent", manifest_with("sequence", "1e0"),
                 "invalid type: floating point `1e0`, expected u64 at line 1 column 50"},
        ReadCase{"beyond_64_bits", manifest_with("sequence", "18446744073709551616"),
                 "invalid type: floating point `18446744073709551616`, expected u64 at line 1 "
                 "column 67"},
        ReadCase{"long_number_is_cut", manifest_with("sequence", "1" + std::string(99, '0')),
                 "invalid type: floating point `1" + std::string(63, '0') +
                     "...`, expected u64 at line 1 column 147"},
        ReadCase{"negative", manifest_with("sequence", "-1"),
                 "invalid value: integer `-1`, expected u64 at line 1 column 49"},
        ReadCase{"negative_zero", manifest_with("package_size", "-0"),
                 "invalid value: integer `-0`, expected u64 at line 1 column 147"},
        ReadCase{"beyond_32_bits", manifest_with("schema_version", "4294967296"),
                 "invalid value: integer `4294967296`, expected u32 at line 1 column 28"},
        ReadCase{"string_for_integer", manifest_with("sequence", R"("1")"),
                 "invalid type: string \"1\", expected u64 at line 1 column 50"},
        ReadCase{"boolean_for_integer", manifest_with("schema_version", "true"),
                 "invalid type: boolean `true`, expected u32 at line 1 column 22"},
        ReadCase{"number_for_text", manifest_with("version", "1.5"),
                 "invalid type: floating point `1.5`, expected a string at line 1 column 33"},
        ReadCase{"files_as_object", manifest_with("files", "{}"),
                 "invalid type: map, expected a sequence at line 1 column 156"},
        ReadCase{"file_as_number", manifest_with("files", "[5]"),
                 "invalid type: integer `5`, expected struct ManifestFile at line 1 column 157"},
        ReadCase{"file_array_too_short", manifest_with("files", R"([["a",1]])"),
                 "invalid length 2, expected struct ManifestFile with 3 elements at line 1 column "
                 "163"},
        ReadCase{"file_missing_field", manifest_with("files", R"([{"path":"a","size":1}])"),
                 "missing field `sha256` at line 1 column 177"},
        ReadCase{"trailing_character", manifest_with("", "") + "x",
                 "parse error at line 1, column 206: syntax error while parsing value - invalid "
                 "literal; last read: '\"cd\"}]}x'; expected end of input"},
        ReadCase{"nul_then_more_after_the_value", manifest_with("", "") + std::string("\0x", 2),
                 "trailing characters at line 1 column 206"},
        ReadCase{"unknown_manifest_field", R"({"schema_version":1,"extra":2})",
                 "unknown field `extra`, expected one of `schema_version`, `version`, "
                 "`sequence`, `target`, `package_url`, `package_sha256`, `package_size`, `files` "
                 "at line 1 column 27"},
        ReadCase{"array_form_too_short", R"([1,"1.0",1,"win-x64","u","d",1])",
                 "invalid length 7, expected struct Manifest with 8 elements at line 1 column 31"},
        ReadCase{"long_string_is_cut",
                 manifest_with("sequence", "\"" + std::string(80, 'z') + "\""),
                 "invalid type: string \"" + std::string(64, 'z') +
                     "\"..., expected u64 at line 1 column 129"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ManifestReading, KeepsTextsAndFileOrderAsWritten) {
  auto manifest = read_manifest(
      manifest_with("files", R"([{"path":"B.txt","size":2,"sha256":"x"},["a\/A.TXT",3,"y"]])"));
  ASSERT_TRUE(manifest) << manifest.error().chain_text();
  EXPECT_EQ(manifest->schema_version, 1u);
  EXPECT_EQ(manifest->version, "1.0");
  EXPECT_EQ(manifest->package_url, "https://127.0.0.1/p.zip");
  const std::vector<ManifestFile> expected = {{"B.txt", 2, "x"}, {"a/A.TXT", 3, "y"}};
  EXPECT_EQ(manifest->files, expected);
}

}  // namespace
}  // namespace orvo::core
