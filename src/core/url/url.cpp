#include "core/url/url.hpp"

#include <cstddef>

#include "core/text/utf8_repair.hpp"
#include "core/url/percent_encode.hpp"
#include "core/url/url_host.hpp"

namespace orvo::core {
namespace {

constexpr int kEof = -1;

bool is_alpha(int c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool is_digit(int c) { return c >= '0' && c <= '9'; }
char lower(int c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c); }

bool equals_ignoring_case(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (lower(static_cast<unsigned char>(a[i])) != lower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

bool is_special_scheme(std::string_view scheme) {
  return scheme == "http" || scheme == "https" || scheme == "ws" || scheme == "wss" ||
         scheme == "ftp" || scheme == "file";
}

std::optional<std::uint16_t> default_port(std::string_view scheme) {
  if (scheme == "http" || scheme == "ws") return 80;
  if (scheme == "https" || scheme == "wss") return 443;
  if (scheme == "ftp") return 21;
  return std::nullopt;
}

bool is_windows_drive_letter(std::string_view text) {
  return text.size() == 2 && is_alpha(text[0]) && (text[1] == ':' || text[1] == '|');
}

bool is_normalized_windows_drive_letter(std::string_view text) {
  return is_windows_drive_letter(text) && text[1] == ':';
}

bool starts_with_windows_drive_letter(std::string_view text) {
  if (text.size() < 2 || !is_windows_drive_letter(text.substr(0, 2))) return false;
  if (text.size() == 2) return true;
  const char third = text[2];
  return third == '/' || third == '\\' || third == '?' || third == '#';
}

bool is_single_dot(std::string_view segment) {
  return segment == "." || equals_ignoring_case(segment, "%2e");
}

bool is_double_dot(std::string_view segment) {
  return segment == ".." || equals_ignoring_case(segment, ".%2e") ||
         equals_ignoring_case(segment, "%2e.") || equals_ignoring_case(segment, "%2e%2e");
}

void shorten_path(Url& url) {
  if (url.scheme == "file" && url.path.size() == 1 &&
      is_normalized_windows_drive_letter(url.path[0])) {
    return;
  }
  if (!url.path.empty()) url.path.pop_back();
}

// Ill-formed UTF-8 becomes U+FFFD first, as when a browser decodes the text
// before parsing it (so bytes split by a tab never join into a character);
// then leading and trailing C0 controls and spaces go, and tabs and newlines
// anywhere. The state machine below thus sees only valid UTF-8 and can work
// byte by byte.
std::string preprocess(std::string_view input) {
  const std::string text = repair_utf8(input);
  std::string_view trimmed = text;
  while (!trimmed.empty() && static_cast<unsigned char>(trimmed.front()) <= 0x20) {
    trimmed.remove_prefix(1);
  }
  while (!trimmed.empty() && static_cast<unsigned char>(trimmed.back()) <= 0x20) {
    trimmed.remove_suffix(1);
  }
  std::string kept;
  kept.reserve(trimmed.size());
  for (char c : trimmed) {
    if (c != '\t' && c != '\n' && c != '\r') kept += c;
  }
  return kept;
}

enum class State {
  SchemeStart,
  Scheme,
  NoScheme,
  SpecialRelativeOrAuthority,
  PathOrAuthority,
  Relative,
  RelativeSlash,
  SpecialAuthoritySlashes,
  SpecialAuthorityIgnoreSlashes,
  Authority,
  Host,
  Port,
  File,
  FileSlash,
  FileHost,
  PathStart,
  Path,
  OpaquePath,
  Query,
  Fragment,
};

class Parser {
 public:
  Parser(std::string input, const Url* base) : input_(std::move(input)), base_(base) {}

  Result<Url> run() {
    const auto size = static_cast<std::ptrdiff_t>(input_.size());
    for (pointer_ = 0;; ++pointer_) {
      const int c = pointer_ < size ? static_cast<unsigned char>(input_[pointer_]) : kEof;
      Result<void> step = run_state(c);
      if (!step) return fail(std::move(step).error());
      if (pointer_ >= size) break;
    }
    return std::move(url_);
  }

 private:
  std::string_view remaining() const {
    const auto next = static_cast<std::size_t>(pointer_ + 1);
    return next < input_.size() ? std::string_view(input_).substr(next) : std::string_view();
  }

  bool special() const { return url_.is_special(); }

  // The characters that end an authority, a host or a port.
  bool ends_authority(int c) const {
    return c == kEof || c == '/' || c == '?' || c == '#' || (special() && c == '\\');
  }

  bool is_slash(int c) const { return c == '/' || (special() && c == '\\'); }

  void copy_base_host() {
    url_.host_kind = base_->host_kind;
    url_.host = base_->host;
    url_.ipv4 = base_->ipv4;
    url_.ipv6 = base_->ipv6;
  }

  void copy_base_authority() {
    url_.username = base_->username;
    url_.password = base_->password;
    copy_base_host();
    url_.port = base_->port;
  }

  // '?' opens the query and '#' the fragment; true when c was one of them.
  bool open_query_or_fragment(int c) {
    if (c == '?') {
      url_.query.emplace();
      state_ = State::Query;
      return true;
    }
    if (c == '#') {
      url_.fragment.emplace();
      state_ = State::Fragment;
      return true;
    }
    return false;
  }

  // A reference without its own authority takes the base's path and query:
  // "" and "#f" keep both, "?q" keeps the path, and anything else replaces
  // the last segment (or, with clear_path, the whole path).
  void resolve_against_base_path(int c, bool clear_path) {
    url_.path = base_->path;
    url_.query = base_->query;
    if (open_query_or_fragment(c) || c == kEof) return;
    url_.query.reset();
    if (clear_path) {
      url_.path.clear();
    } else {
      shorten_path(url_);
    }
    state_ = State::Path;
    --pointer_;
  }

  Result<void> run_state(int c) {
    switch (state_) {
      case State::SchemeStart:
        if (is_alpha(c)) {
          buffer_ += lower(c);
          state_ = State::Scheme;
        } else {
          state_ = State::NoScheme;
          --pointer_;
        }
        return {};
      case State::Scheme:
        return scheme_state(c);
      case State::NoScheme:
        return no_scheme_state(c);
      case State::SpecialRelativeOrAuthority:
        if (c == '/' && remaining().starts_with('/')) {
          state_ = State::SpecialAuthorityIgnoreSlashes;
          ++pointer_;
        } else {
          state_ = State::Relative;
          --pointer_;
        }
        return {};
      case State::PathOrAuthority:
        if (c == '/') {
          state_ = State::Authority;
        } else {
          state_ = State::Path;
          --pointer_;
        }
        return {};
      case State::Relative:
        relative_state(c);
        return {};
      case State::RelativeSlash:
        if (special() && (c == '/' || c == '\\')) {
          state_ = State::SpecialAuthorityIgnoreSlashes;
        } else if (c == '/') {
          state_ = State::Authority;
        } else {
          copy_base_authority();
          state_ = State::Path;
          --pointer_;
        }
        return {};
      case State::SpecialAuthoritySlashes:
        state_ = State::SpecialAuthorityIgnoreSlashes;
        if (c == '/' && remaining().starts_with('/')) {
          ++pointer_;
        } else {
          --pointer_;
        }
        return {};
      case State::SpecialAuthorityIgnoreSlashes:
        if (c != '/' && c != '\\') {
          state_ = State::Authority;
          --pointer_;
        }
        return {};
      case State::Authority:
        return authority_state(c);
      case State::Host:
        return host_state(c);
      case State::Port:
        return port_state(c);
      case State::File:
        file_state(c);
        return {};
      case State::FileSlash:
        file_slash_state(c);
        return {};
      case State::FileHost:
        return file_host_state(c);
      case State::PathStart:
        path_start_state(c);
        return {};
      case State::Path:
        path_state(c);
        return {};
      case State::OpaquePath:
        opaque_path_state(c);
        return {};
      case State::Query:
        query_state(c);
        return {};
      case State::Fragment:
        if (c != kEof) {
          const char byte = static_cast<char>(c);
          percent_encode_append(*url_.fragment, std::string_view(&byte, 1), EncodeSet::Fragment);
        }
        return {};
    }
    return {};
  }

  Result<void> scheme_state(int c) {
    if (is_alpha(c) || is_digit(c) || c == '+' || c == '-' || c == '.') {
      buffer_ += lower(c);
      return {};
    }
    if (c != ':') {
      // Not a scheme after all: start over without one.
      buffer_.clear();
      state_ = State::NoScheme;
      pointer_ = -1;
      return {};
    }
    url_.scheme = std::move(buffer_);
    buffer_.clear();
    if (url_.scheme == "file") {
      state_ = State::File;
    } else if (special() && base_ != nullptr && base_->scheme == url_.scheme) {
      state_ = State::SpecialRelativeOrAuthority;
    } else if (special()) {
      state_ = State::SpecialAuthoritySlashes;
    } else if (remaining().starts_with('/')) {
      state_ = State::PathOrAuthority;
      ++pointer_;
    } else {
      url_.opaque_path.emplace();
      state_ = State::OpaquePath;
    }
    return {};
  }

  Result<void> no_scheme_state(int c) {
    if (base_ == nullptr) return fail("relative URL without a base");
    if (base_->opaque_path && c != '#') {
      return fail("relative URL with a base that has an opaque path");
    }
    if (base_->opaque_path) {
      url_.scheme = base_->scheme;
      url_.opaque_path = base_->opaque_path;
      url_.query = base_->query;
      url_.fragment.emplace();
      state_ = State::Fragment;
    } else {
      state_ = base_->scheme == "file" ? State::File : State::Relative;
      --pointer_;
    }
    return {};
  }

  void relative_state(int c) {
    url_.scheme = base_->scheme;
    if (is_slash(c)) {
      state_ = State::RelativeSlash;
      return;
    }
    copy_base_authority();
    resolve_against_base_path(c, false);
  }

  Result<void> authority_state(int c) {
    if (c == '@') {
      if (at_sign_seen_) buffer_.insert(0, "%40");
      at_sign_seen_ = true;
      for (std::size_t i = 0; i < buffer_.size(); ++i) {
        if (buffer_[i] == ':' && !password_token_seen_) {
          password_token_seen_ = true;
          continue;
        }
        std::string& target = password_token_seen_ ? url_.password : url_.username;
        percent_encode_append(target, std::string_view(buffer_).substr(i, 1), EncodeSet::Userinfo);
      }
      buffer_.clear();
    } else if (ends_authority(c)) {
      if (at_sign_seen_ && buffer_.empty()) return fail("empty host");
      pointer_ -= static_cast<std::ptrdiff_t>(buffer_.size()) + 1;
      buffer_.clear();
      state_ = State::Host;
    } else {
      buffer_ += static_cast<char>(c);
    }
    return {};
  }

  Result<void> host_state(int c) {
    if (c == ':' && !inside_brackets_) {
      if (buffer_.empty()) return fail("empty host");
      Result<void> host = parse_host(buffer_, !special(), url_);
      if (!host) return host;
      buffer_.clear();
      state_ = State::Port;
    } else if (ends_authority(c)) {
      --pointer_;
      if (special() && buffer_.empty()) return fail("empty host");
      Result<void> host = parse_host(buffer_, !special(), url_);
      if (!host) return host;
      buffer_.clear();
      state_ = State::PathStart;
    } else {
      if (c == '[') inside_brackets_ = true;
      if (c == ']') inside_brackets_ = false;
      buffer_ += static_cast<char>(c);
    }
    return {};
  }

  Result<void> port_state(int c) {
    if (is_digit(c)) {
      buffer_ += static_cast<char>(c);
      return {};
    }
    if (!ends_authority(c)) return fail("invalid port number");
    if (!buffer_.empty()) {
      std::uint32_t port = 0;
      for (char digit : buffer_) {
        port = port * 10 + static_cast<std::uint32_t>(digit - '0');
        if (port > 65535) return fail("invalid port number");
      }
      if (default_port(url_.scheme) == port) {
        url_.port.reset();
      } else {
        url_.port = static_cast<std::uint16_t>(port);
      }
      buffer_.clear();
    }
    state_ = State::PathStart;
    --pointer_;
    return {};
  }

  void file_state(int c) {
    url_.scheme = "file";
    url_.host_kind = HostKind::Empty;
    url_.host.clear();
    if (c == '/' || c == '\\') {
      state_ = State::FileSlash;
    } else if (base_ != nullptr && base_->scheme == "file") {
      copy_base_host();
      // "C:/x" against a file URL starts a new drive's path.
      resolve_against_base_path(
          c, starts_with_windows_drive_letter(std::string_view(input_).substr(pointer_)));
    } else {
      state_ = State::Path;
      --pointer_;
    }
  }

  void file_slash_state(int c) {
    if (c == '/' || c == '\\') {
      state_ = State::FileHost;
      return;
    }
    if (base_ != nullptr && base_->scheme == "file") {
      copy_base_host();
      if (!starts_with_windows_drive_letter(std::string_view(input_).substr(pointer_)) &&
          !base_->path.empty() && is_normalized_windows_drive_letter(base_->path[0])) {
        url_.path.push_back(base_->path[0]);
      }
    }
    state_ = State::Path;
    --pointer_;
  }

  Result<void> file_host_state(int c) {
    if (c != kEof && c != '/' && c != '\\' && c != '?' && c != '#') {
      buffer_ += static_cast<char>(c);
      return {};
    }
    --pointer_;
    if (is_windows_drive_letter(buffer_)) {
      // "file://C:/x": the drive letter is the path's first segment, so the
      // buffer is kept for the path state.
      state_ = State::Path;
      return {};
    }
    if (buffer_.empty()) {
      url_.host_kind = HostKind::Empty;
      url_.host.clear();
    } else {
      Result<void> host = parse_host(buffer_, false, url_);
      if (!host) return host;
      if (url_.host_kind == HostKind::Domain && url_.host == "localhost") {
        url_.host_kind = HostKind::Empty;
        url_.host.clear();
      }
      buffer_.clear();
    }
    state_ = State::PathStart;
    return {};
  }

  void path_start_state(int c) {
    if (special()) {
      state_ = State::Path;
      if (c != '/' && c != '\\') --pointer_;
    } else if (!open_query_or_fragment(c) && c != kEof) {
      state_ = State::Path;
      if (c != '/') --pointer_;
    }
  }

  void path_state(int c) {
    if (!(c == kEof || is_slash(c) || c == '?' || c == '#')) {
      const char byte = static_cast<char>(c);
      percent_encode_append(buffer_, std::string_view(&byte, 1), EncodeSet::Path);
      return;
    }
    if (is_double_dot(buffer_)) {
      shorten_path(url_);
      if (!is_slash(c)) url_.path.emplace_back();
    } else if (is_single_dot(buffer_)) {
      if (!is_slash(c)) url_.path.emplace_back();
    } else {
      if (url_.scheme == "file" && url_.path.empty() && is_windows_drive_letter(buffer_)) {
        buffer_[1] = ':';
      }
      url_.path.push_back(std::move(buffer_));
    }
    buffer_.clear();
    open_query_or_fragment(c);
  }

  void opaque_path_state(int c) {
    if (open_query_or_fragment(c)) return;
    if (c == ' ') {
      // A space before the query or fragment is encoded so that it survives
      // a later removal of that query or fragment.
      const std::string_view rest = remaining();
      *url_.opaque_path += rest.starts_with('?') || rest.starts_with('#') ? "%20" : " ";
    } else if (c != kEof) {
      const char byte = static_cast<char>(c);
      percent_encode_append(*url_.opaque_path, std::string_view(&byte, 1), EncodeSet::C0Control);
    }
  }

  void query_state(int c) {
    if (c != kEof && c != '#') {
      buffer_ += static_cast<char>(c);
      return;
    }
    percent_encode_append(*url_.query, buffer_,
                          special() ? EncodeSet::SpecialQuery : EncodeSet::Query);
    buffer_.clear();
    if (c == '#') {
      url_.fragment.emplace();
      state_ = State::Fragment;
    }
  }

  std::string input_;
  const Url* base_;
  Url url_;
  State state_ = State::SchemeStart;
  std::string buffer_;
  std::ptrdiff_t pointer_ = 0;
  bool at_sign_seen_ = false;
  bool inside_brackets_ = false;
  bool password_token_seen_ = false;
};

}  // namespace

bool Url::is_special() const { return is_special_scheme(scheme); }

std::string Url::href() const {
  std::string out = scheme + ":";
  if (has_host()) {
    out += "//";
    if (!username.empty() || !password.empty()) {
      out += username;
      if (!password.empty()) out += ":" + password;
      out += '@';
    }
    out += host_text();
  } else if (!opaque_path && path.size() > 1 && path[0].empty()) {
    // Without it "web+demo:/.//x" would read back as a host "x".
    out += "/.";
  }
  out += pathname();
  if (query) out += "?" + *query;
  if (fragment) out += "#" + *fragment;
  return out;
}

std::string Url::protocol() const { return scheme + ":"; }

std::string Url::host_text() const {
  return port ? serialize_host(*this) + ":" + port_text() : serialize_host(*this);
}

std::string Url::hostname() const { return serialize_host(*this); }

std::string Url::port_text() const { return port ? std::to_string(*port) : ""; }

std::string Url::pathname() const {
  if (opaque_path) return *opaque_path;
  std::string out;
  for (const std::string& segment : path) {
    out += '/';
    out += segment;
  }
  return out;
}

std::string Url::search() const { return query && !query->empty() ? "?" + *query : ""; }

std::string Url::hash() const { return fragment && !fragment->empty() ? "#" + *fragment : ""; }

Result<Url> parse_url(std::string_view input, const Url* base) {
  return Parser(preprocess(input), base).run();
}

}  // namespace orvo::core
