#include "core/url/url_host.hpp"

#include <idn2.h>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/text/ascii_case.hpp"
#include "core/text/utf8_repair.hpp"
#include "core/url/percent_encode.hpp"

namespace orvo::core {
namespace {

constexpr std::string_view kForbiddenHost = std::string_view("\0\t\n\r #/:<>?@[\\]^|", 17);

bool is_forbidden_host_char(char c) { return kForbiddenHost.find(c) != std::string_view::npos; }

bool is_forbidden_domain_char(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte < 0x20 || c == '%' || byte == 0x7F || is_forbidden_host_char(c);
}

bool is_ascii_digit(char c) { return c >= '0' && c <= '9'; }

int digit_value(char c, int radix) {
  int value = -1;
  if (is_ascii_digit(c)) {
    value = c - '0';
  } else if (c >= 'a' && c <= 'f') {
    value = c - 'a' + 10;
  } else if (c >= 'A' && c <= 'F') {
    value = c - 'A' + 10;
  }
  return value < radix ? value : -1;
}

std::vector<std::string_view> split_on_dots(std::string_view text) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  while (true) {
    const std::size_t dot = text.find('.', start);
    if (dot == std::string_view::npos) {
      parts.push_back(text.substr(start));
      return parts;
    }
    parts.push_back(text.substr(start, dot - start));
    start = dot + 1;
  }
}

// A number larger than any address part may be, standing for every value
// that does not fit in 32 bits.
constexpr std::uint64_t kTooLarge = std::uint64_t{1} << 33;

// An IPv4 part in decimal, octal ("0" prefix) or hexadecimal ("0x" prefix).
std::optional<std::uint64_t> parse_ipv4_number(std::string_view text) {
  if (text.empty()) return std::nullopt;
  int radix = 10;
  if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
    radix = 16;
  } else if (text.size() >= 2 && text[0] == '0') {
    text.remove_prefix(1);
    radix = 8;
  }
  std::uint64_t value = 0;
  for (char c : text) {
    const int digit = digit_value(c, radix);
    if (digit < 0) return std::nullopt;
    value = value * static_cast<std::uint64_t>(radix) + static_cast<std::uint64_t>(digit);
    if (value > kTooLarge) value = kTooLarge;
  }
  return value;
}

bool ends_in_number(std::string_view text) {
  std::vector<std::string_view> parts = split_on_dots(text);
  if (parts.back().empty()) {
    if (parts.size() == 1) return false;
    parts.pop_back();
  }
  const std::string_view last = parts.back();
  bool all_digits = !last.empty();
  for (char c : last) all_digits = all_digits && is_ascii_digit(c);
  return all_digits || parse_ipv4_number(last).has_value();
}

Result<std::uint32_t> parse_ipv4(std::string_view text) {
  std::vector<std::string_view> parts = split_on_dots(text);
  if (parts.back().empty() && parts.size() > 1) parts.pop_back();
  if (parts.size() > 4) return fail("invalid IPv4 address");
  std::vector<std::uint64_t> numbers;
  for (std::string_view part : parts) {
    const std::optional<std::uint64_t> number = parse_ipv4_number(part);
    if (!number) return fail("invalid IPv4 address");
    numbers.push_back(*number);
  }
  for (std::size_t i = 0; i + 1 < numbers.size(); ++i) {
    if (numbers[i] > 255) return fail("invalid IPv4 address");
  }
  const std::uint64_t limit = std::uint64_t{1} << (8 * (5 - numbers.size()));
  if (numbers.back() >= limit) return fail("invalid IPv4 address");
  std::uint64_t address = numbers.back();
  for (std::size_t i = 0; i + 1 < numbers.size(); ++i) {
    address += numbers[i] << (8 * (3 - i));
  }
  return static_cast<std::uint32_t>(address);
}

Result<std::array<std::uint16_t, 8>> parse_ipv6(std::string_view text) {
  std::array<std::uint16_t, 8> address{};
  std::size_t piece = 0;
  std::optional<std::size_t> compress;
  std::size_t p = 0;
  const auto at = [&](std::size_t i) { return i < text.size() ? text[i] : '\0'; };
  const auto at_end = [&] { return p >= text.size(); };
  const auto invalid = [] { return fail("invalid IPv6 address"); };

  if (at(p) == ':') {
    if (at(p + 1) != ':') return invalid();
    p += 2;
    compress = ++piece;
  }
  while (!at_end()) {
    if (piece == 8) return invalid();
    if (at(p) == ':') {
      if (compress) return invalid();
      ++p;
      compress = ++piece;
      continue;
    }
    unsigned value = 0;
    std::size_t length = 0;
    while (length < 4 && !at_end() && digit_value(at(p), 16) >= 0) {
      value = value * 16 + static_cast<unsigned>(digit_value(at(p), 16));
      ++p;
      ++length;
    }
    if (at(p) == '.' && !at_end()) {
      // An IPv4 address written in the last 32 bits.
      if (length == 0) return invalid();
      p -= length;
      if (piece > 6) return invalid();
      int numbers_seen = 0;
      while (!at_end()) {
        std::optional<unsigned> ipv4_piece;
        if (numbers_seen > 0) {
          if (at(p) == '.' && numbers_seen < 4) {
            ++p;
          } else {
            return invalid();
          }
        }
        if (at_end() || !is_ascii_digit(at(p))) return invalid();
        while (!at_end() && is_ascii_digit(at(p))) {
          const unsigned number = static_cast<unsigned>(at(p) - '0');
          if (!ipv4_piece) {
            ipv4_piece = number;
          } else if (*ipv4_piece == 0) {
            return invalid();
          } else {
            ipv4_piece = *ipv4_piece * 10 + number;
          }
          if (*ipv4_piece > 255) return invalid();
          ++p;
        }
        address[piece] = static_cast<std::uint16_t>(address[piece] * 0x100 + *ipv4_piece);
        ++numbers_seen;
        if (numbers_seen == 2 || numbers_seen == 4) ++piece;
      }
      if (numbers_seen != 4) return invalid();
      break;
    }
    if (!at_end() && at(p) == ':') {
      ++p;
      if (at_end()) return invalid();
    } else if (!at_end()) {
      return invalid();
    }
    address[piece] = static_cast<std::uint16_t>(value);
    ++piece;
  }
  if (compress) {
    std::size_t swaps = piece - *compress;
    piece = 7;
    while (piece != 0 && swaps > 0) {
      std::swap(address[piece], address[*compress + swaps - 1]);
      --piece;
      --swaps;
    }
  } else if (piece != 8) {
    return invalid();
  }
  return address;
}

struct Idn2Free {
  void operator()(char* text) const { idn2_free(text); }
};

bool is_ascii(std::string_view text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

bool starts_with_ace_prefix(std::string_view label) {
  return label.size() >= 4 && ascii_lower(label[0]) == 'x' && ascii_lower(label[1]) == 'n' &&
         label[2] == '-' && label[3] == '-';
}

// libidn2's ToASCII of one piece of a domain, the UTS #46 mapping with
// non-transitional processing and without the STD3 rules.
Result<std::string> idn2_to_ascii(std::string_view piece) {
  // A NUL would end the C string early; it is never valid in a domain.
  if (piece.find('\0') != std::string_view::npos) return fail("invalid domain character");
  const std::string text(piece);
  char* raw = nullptr;
  const int rc = idn2_to_ascii_8z(text.c_str(), &raw, IDN2_NFC_INPUT | IDN2_NONTRANSITIONAL);
  const std::unique_ptr<char, Idn2Free> owned(raw);
  if (rc != IDN2_OK || raw == nullptr) return fail("invalid international domain name");
  return std::string(raw);
}

// UTS #46 ToASCII as URLs use it: no hyphen, STD3 or DNS length checks.
// An ASCII domain is only lower-cased: where ToASCII accepts it that is what
// ToASCII gives, and where ToASCII refuses it (an "xn--" label that is not
// valid Punycode, or that decodes to nothing or to an invalid label) the
// lower-cased text stands, as the URL Standard's fallback for ASCII domains
// has it, so such real-world names stay reachable. In a domain with non-ASCII text, libidn2 sees only the labels
// that need IDNA (non-ASCII or "xn--"), since it would hold plain ASCII
// labels to the hyphen and length rules that URLs do not ask for.
Result<std::string> domain_to_ascii(std::string_view domain) {
  if (is_ascii(domain)) return ascii_lower(domain);
  std::string result;
  bool first = true;
  for (std::string_view label : split_on_dots(domain)) {
    if (!first) result += '.';
    first = false;
    if (is_ascii(label) && !starts_with_ace_prefix(label)) {
      result += ascii_lower(label);
      continue;
    }
    Result<std::string> converted = idn2_to_ascii(label);
    if (!converted) return fail(converted.error());
    result += *converted;
  }
  if (result.empty()) return fail("invalid international domain name");
  return result;
}

Result<void> parse_opaque_host(std::string_view text, Url& url) {
  for (char c : text) {
    if (is_forbidden_host_char(c)) return fail("invalid domain character");
  }
  url.host.clear();
  percent_encode_append(url.host, text, EncodeSet::C0Control);
  url.host_kind = url.host.empty() ? HostKind::Empty : HostKind::Opaque;
  return {};
}

}  // namespace

Result<void> parse_host(std::string_view text, bool is_opaque, Url& url) {
  if (text.starts_with('[')) {
    if (!text.ends_with(']') || text.size() < 2) return fail("invalid IPv6 address");
    Result<std::array<std::uint16_t, 8>> address = parse_ipv6(text.substr(1, text.size() - 2));
    if (!address) return fail(address.error());
    url.host_kind = HostKind::Ipv6;
    url.ipv6 = *address;
    url.host.clear();
    return {};
  }
  if (is_opaque) return parse_opaque_host(text, url);
  Result<std::string> ascii = domain_to_ascii(repair_utf8(percent_decode(text)));
  if (!ascii) return fail(ascii.error());
  for (char c : *ascii) {
    if (is_forbidden_domain_char(c)) return fail("invalid domain character");
  }
  if (ends_in_number(*ascii)) {
    Result<std::uint32_t> address = parse_ipv4(*ascii);
    if (!address) return fail(address.error());
    url.host_kind = HostKind::Ipv4;
    url.ipv4 = *address;
    url.host.clear();
    return {};
  }
  url.host_kind = HostKind::Domain;
  url.host = std::move(*ascii);
  return {};
}

std::string serialize_host(const Url& url) {
  switch (url.host_kind) {
    case HostKind::None:
    case HostKind::Empty:
      return "";
    case HostKind::Domain:
    case HostKind::Opaque:
      return url.host;
    case HostKind::Ipv4: {
      std::string out;
      for (int shift = 24; shift >= 0; shift -= 8) {
        if (shift != 24) out += '.';
        out += std::to_string((url.ipv4 >> shift) & 0xFF);
      }
      return out;
    }
    case HostKind::Ipv6: {
      // The first longest run of two or more zero pieces becomes "::".
      std::optional<std::size_t> compress;
      std::size_t best = 1;
      for (std::size_t i = 0; i < 8;) {
        std::size_t run = 0;
        while (i + run < 8 && url.ipv6[i + run] == 0) ++run;
        if (run > best) {
          best = run;
          compress = i;
        }
        i += run == 0 ? 1 : run;
      }
      std::string out = "[";
      constexpr std::string_view kHex = "0123456789abcdef";
      for (std::size_t i = 0; i < 8; ++i) {
        if (compress && i == *compress) {
          out += i == 0 ? "::" : ":";
          i += best - 1;
          continue;
        }
        const std::uint16_t piece = url.ipv6[i];
        bool started = false;
        for (int shift = 12; shift >= 0; shift -= 4) {
          const unsigned digit = (piece >> shift) & 0xF;
          if (digit != 0 || started || shift == 0) {
            out += kHex[digit];
            started = true;
          }
        }
        if (i != 7) out += ':';
      }
      out += ']';
      return out;
    }
  }
  return "";
}

}  // namespace orvo::core
