#include "core/release/release_encoding.hpp"

#include <sodium.h>

#include <algorithm>

namespace orvo::core {

namespace {

constexpr std::string_view kNotBase64 = "the text is not canonical standard Base64 with padding";

bool is_base64_symbol(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' ||
         c == '/' || c == '=';
}

}  // namespace

Result<std::vector<std::byte>> decode_base64(std::string_view text) {
  // libsodium reads every byte from 0x80 up as '/', so such bytes never reach it.
  if (!std::ranges::all_of(text, is_base64_symbol)) {
    return fail(std::string(kNotBase64));
  }
  // At most three bytes per four characters; one spare keeps the buffer non-empty.
  std::vector<std::byte> bytes(text.size() / 4 * 3 + 1);
  std::size_t length = 0;
  // No end pointer: the whole text must decode, padding included.
  if (sodium_base642bin(reinterpret_cast<unsigned char*>(bytes.data()), bytes.size(), text.data(),
                        text.size(), nullptr, &length, nullptr,
                        sodium_base64_VARIANT_ORIGINAL) != 0) {
    return fail(std::string(kNotBase64));
  }
  bytes.resize(length);
  return bytes;
}

std::string encode_base64(std::span<const std::byte> bytes) {
  std::string text(sodium_base64_ENCODED_LEN(bytes.size(), sodium_base64_VARIANT_ORIGINAL), '\0');
  sodium_bin2base64(text.data(), text.size(), reinterpret_cast<const unsigned char*>(bytes.data()),
                    bytes.size(), sodium_base64_VARIANT_ORIGINAL);
  text.pop_back();  // the terminating NUL
  return text;
}

Result<std::vector<std::byte>> decode_hex(std::string_view text) {
  std::vector<std::byte> bytes(text.size() / 2 + 1);
  std::size_t length = 0;
  const char* end = nullptr;
  const int status = sodium_hex2bin(reinterpret_cast<unsigned char*>(bytes.data()), bytes.size(),
                                    text.data(), text.size(), nullptr, &length, &end);
  const auto stop = static_cast<std::size_t>(end - text.data());
  // A failure leaves the end at an unpaired digit; what follows it stopped the decoder.
  if (status != 0 && stop + 1 == text.size()) return fail("odd number of hexadecimal digits");
  if (status != 0) {
    return fail("invalid hexadecimal character at offset " + std::to_string(stop + 1));
  }
  if (stop != text.size()) {
    return fail("invalid hexadecimal character at offset " + std::to_string(stop));
  }
  bytes.resize(length);
  return bytes;
}

}  // namespace orvo::core
