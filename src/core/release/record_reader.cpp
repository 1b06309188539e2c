#include "core/release/record_reader.hpp"

#include <cstddef>
#include <iterator>
#include <limits>
#include <optional>
#include <utility>

#include <nlohmann/json.hpp>

#include "core/release/json_string.hpp"
#include "core/text/utf8_repair.hpp"

namespace orvo::core {
namespace {

using Json = nlohmann::json;

// Values quoted in error texts are cut here: a hostile document may put
// megabytes where a short text belongs, and the error ends up in the log.
constexpr std::size_t kQuotedBytes = 64;

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Hands the document to the parser byte by byte while counting what the
// parser has taken, so that errors can say where they were found.
class CountingIterator {
 public:
  using iterator_category = std::input_iterator_tag;
  using value_type = char;
  using difference_type = std::ptrdiff_t;
  using pointer = const char*;
  using reference = const char&;

  CountingIterator(const char* at, std::size_t* taken) : at_(at), taken_(taken) {}

  reference operator*() const { return *at_; }
  CountingIterator& operator++() {
    ++at_;
    ++*taken_;
    return *this;
  }
  CountingIterator operator++(int) {
    CountingIterator before = *this;
    ++*this;
    return before;
  }
  bool operator==(const CountingIterator& other) const { return at_ == other.at_; }

 private:
  const char* at_;
  std::size_t* taken_;
};

// A prefix of text that ends on a UTF-8 character boundary.
std::string_view excerpt(std::string_view text) {
  if (text.size() <= kQuotedBytes) return text;
  std::size_t end = kQuotedBytes;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return text.substr(0, end);
}

std::string quoted_string(std::string_view text) {
  std::string out = "string ";
  append_json_string(out, excerpt(text));
  if (excerpt(text).size() < text.size()) out += "...";
  return out;
}

// A key with its control characters escaped: a decoded "\n" must not split
// the one line that the error becomes in the log.
std::string backquoted(std::string_view name) {
  std::string escaped;
  append_json_string(escaped, excerpt(name));
  std::string out = "`";
  out.append(escaped, 1, escaped.size() - 2);  // without the JSON quotes
  if (excerpt(name).size() < name.size()) out += "...";
  out += '`';
  return out;
}

// The end of the token that the parser was reading when it failed (where the
// fault is), cut like any quoted value.
std::string token_excerpt(std::string_view token) {
  if (token.size() <= kQuotedBytes) return std::string(token);
  std::size_t start = token.size() - kQuotedBytes;
  while (start < token.size() && (static_cast<unsigned char>(token[start]) & 0xC0) == 0x80) {
    ++start;
  }
  return "..." + std::string(token.substr(start));
}

// " at line L column C" for the place after the first `at` bytes.
std::string position_text(std::string_view json, std::size_t at) {
  std::size_t line = 1;
  std::size_t line_start = 0;
  for (std::size_t i = 0; i < at && i < json.size(); ++i) {
    if (json[i] == '\n') {
      ++line;
      line_start = i + 1;
    }
  }
  return " at line " + std::to_string(line) + " column " + std::to_string(at - line_start);
}

std::string expected_fields(const RecordShape& shape) {
  const auto fields = shape.fields;
  if (fields.empty()) return "there are no fields";
  if (fields.size() == 1) return "expected " + backquoted(fields[0].name);
  if (fields.size() == 2) {
    return "expected " + backquoted(fields[0].name) + " or " + backquoted(fields[1].name);
  }
  std::string text = "expected one of ";
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) text += ", ";
    text += backquoted(fields[i].name);
  }
  return text;
}

// What the document must hold at the current place.
struct Slot {
  enum Kind { Record, Text, U32, U64, List, Surplus } kind;
  const RecordShape* shape = nullptr;  // Record: its shape; List: its entries' shape

  std::string description() const {
    switch (kind) {
      case Record: return "struct " + std::string(shape->name);
      case Text: return "a string";
      case U32: return "u32";
      case U64: return "u64";
      case List: return "a sequence";
      case Surplus: break;
    }
    return {};
  }
};

Slot slot_of(const FieldShape& field) {
  switch (field.kind) {
    case FieldKind::Text: return {Slot::Text};
    case FieldKind::U32: return {Slot::U32};
    case FieldKind::U64: return {Slot::U64};
    case FieldKind::List: return {Slot::List, field.element};
  }
  return {Slot::Text};
}

class Reader {
 public:
  Reader(std::string_view json, const RecordShape& root) : json_(json), root_(root) {}

  std::size_t* taken() { return &taken_; }
  std::optional<Error>& error() { return error_; }
  RecordValue take_result() { return std::move(result_); }

  // The parser's events.
  bool null() {
    return scalar([] { return std::string("null"); });
  }
  bool boolean(bool value) {
    return scalar([value] { return std::string("boolean `") + (value ? "true" : "false") + "`"; });
  }
  bool number_integer(Json::number_integer_t value) {
    // Non-negative integers arrive as unsigned; a zero here was written "-0".
    const std::string digits = value == 0 ? "-0" : std::to_string(value);
    const std::size_t at = number_end();
    if (surplus()) return true;
    const Slot slot = expected();
    if (slot.kind == Slot::U32 || slot.kind == Slot::U64) {
      return refuse("invalid value: integer `" + digits + "`, expected " + slot.description(), at);
    }
    return refuse("invalid type: integer `" + digits + "`, expected " + slot.description(), at);
  }
  bool number_unsigned(Json::number_unsigned_t value) {
    const std::size_t at = number_end();
    if (surplus()) return true;
    const Slot slot = expected();
    const std::string shown = "integer `" + std::to_string(value) + "`";
    if (slot.kind == Slot::U32 && value > std::numeric_limits<std::uint32_t>::max()) {
      return refuse("invalid value: " + shown + ", expected u32", at);
    }
    if (slot.kind != Slot::U32 && slot.kind != Slot::U64) {
      return refuse("invalid type: " + shown + ", expected " + slot.description(), at);
    }
    return store(FieldValue(std::uint64_t{value}));
  }
  bool number_float(Json::number_float_t, const std::string& text) {
    const std::size_t at = number_end();
    return scalar([&text] { return "floating point " + backquoted(text); }, at);
  }
  bool string(std::string& value) {
    if (surplus()) return true;
    const Slot slot = expected();
    if (slot.kind != Slot::Text) {
      return refuse("invalid type: " + quoted_string(value) + ", expected " + slot.description(),
                    taken_);
    }
    return store(FieldValue(std::move(value)));
  }
  bool binary(Json::binary_t&) { return refuse("binary data is not JSON", taken_); }

  bool start_object(std::size_t) {
    if (skip_nested()) return true;
    if (surplus()) return begin_skip();
    const Slot slot = expected();
    if (slot.kind != Slot::Record) {
      return refuse("invalid type: map, expected " + slot.description(), taken_);
    }
    frames_.push_back(record_frame(*slot.shape, false));
    return true;
  }
  bool key(std::string& name) {
    if (skipping_) return true;
    Frame& frame = frames_.back();
    const auto fields = frame.record->fields;
    for (std::size_t i = 0; i < fields.size(); ++i) {
      if (fields[i].name != name) continue;
      if (frame.seen[i]) return refuse("duplicate field " + backquoted(name), taken_);
      frame.field = i;
      return true;
    }
    return refuse("unknown field " + backquoted(name) + ", " + expected_fields(*frame.record),
                  taken_);
  }
  bool end_object() {
    if (skip_end()) return true;
    Frame& frame = frames_.back();
    for (std::size_t i = 0; i < frame.seen.size(); ++i) {
      if (!frame.seen[i]) {
        return refuse("missing field " + backquoted(frame.record->fields[i].name), taken_);
      }
    }
    return finish_frame();
  }
  bool start_array(std::size_t) {
    if (skip_nested()) return true;
    if (surplus()) return begin_skip();
    const Slot slot = expected();
    if (slot.kind == Slot::Record) {
      frames_.push_back(record_frame(*slot.shape, true));
      return true;
    }
    if (slot.kind == Slot::List) {
      Frame frame;
      frame.element = slot.shape;
      frames_.push_back(std::move(frame));
      return true;
    }
    return refuse("invalid type: sequence, expected " + slot.description(), taken_);
  }
  bool end_array() {
    if (skip_end()) return true;
    Frame& frame = frames_.back();
    if (frame.record != nullptr) {
      const std::size_t wanted = frame.record->fields.size();
      if (frame.count != wanted) {
        return refuse("invalid length " + std::to_string(frame.count) + ", expected struct " +
                          std::string(frame.record->name) + " with " + std::to_string(wanted) +
                          " elements",
                      taken_);
      }
    }
    return finish_frame();
  }
  bool parse_error(std::size_t, const std::string& last_token,
                   const nlohmann::detail::exception& exception) {
    // The library's text, without its "[json.exception.parse_error.101] " tag.
    std::string text = exception.what();
    if (text.starts_with('[')) {
      const std::size_t tag_end = text.find("] ");
      if (tag_end != std::string::npos) text.erase(0, tag_end + 2);
    }
    // The library quotes the whole token it was reading: a hostile document
    // makes that megabytes long, or bytes that are not UTF-8.
    const std::string quoted = "last read: '" + last_token + "'";
    if (const std::size_t at = text.find(quoted); at != std::string::npos) {
      text.replace(at, quoted.size(), "last read: '" + token_excerpt(last_token) + "'");
    }
    error_ = Error(repair_utf8(text));
    return false;
  }

 private:
  struct Frame {
    const RecordShape* record = nullptr;   // a record; null for a list
    const RecordShape* element = nullptr;  // a list's entries
    bool array_form = false;
    std::size_t field = 0;   // object form: the field of the last key
    std::size_t count = 0;   // array form: values so far, surplus ones too
    std::vector<bool> seen;  // object form
    RecordValue value;
    RecordList list;
  };

  static Frame record_frame(const RecordShape& shape, bool array_form) {
    Frame frame;
    frame.record = &shape;
    frame.array_form = array_form;
    frame.seen.assign(shape.fields.size(), false);
    frame.value.fields.resize(shape.fields.size());
    return frame;
  }

  Slot expected() const {
    if (frames_.empty()) return {Slot::Record, &root_};
    const Frame& frame = frames_.back();
    if (frame.record == nullptr) return {Slot::Record, frame.element};
    if (!frame.array_form) return slot_of(frame.record->fields[frame.field]);
    if (frame.count < frame.record->fields.size()) {
      return slot_of(frame.record->fields[frame.count]);
    }
    return {Slot::Surplus};
  }

  // A value beyond an array-form record's fields is only counted, so that the
  // length error can name the real length.
  bool surplus() {
    if (skipping_ || frames_.empty()) return skipping_;
    Frame& frame = frames_.back();
    if (frame.record == nullptr || !frame.array_form || frame.count < frame.record->fields.size()) {
      return false;
    }
    ++frame.count;
    return true;
  }
  bool begin_skip() {
    skipping_ = true;
    skip_depth_ = 1;
    return true;
  }
  bool skip_nested() {
    if (!skipping_) return false;
    ++skip_depth_;
    return true;
  }
  bool skip_end() {
    if (!skipping_) return false;
    if (--skip_depth_ == 0) skipping_ = false;
    return true;
  }

  template <class Shown>
  bool scalar(Shown shown, std::optional<std::size_t> at = std::nullopt) {
    if (surplus()) return true;
    return refuse("invalid type: " + shown() + ", expected " + expected().description(),
                  at.value_or(taken_));
  }

  // A value for the current field of the record being read.
  bool store(FieldValue value) {
    if (frames_.empty() || frames_.back().record == nullptr) return false;
    Frame& frame = frames_.back();
    const std::size_t index = frame.array_form ? frame.count++ : frame.field;
    frame.value.fields[index] = std::move(value);
    frame.seen[index] = true;
    return true;
  }

  bool finish_frame() {
    Frame frame = std::move(frames_.back());
    frames_.pop_back();
    if (frame.record == nullptr) return store(FieldValue(std::move(frame.list)));
    if (frames_.empty()) {
      result_ = std::move(frame.value);
      return true;
    }
    // A record stands either at the root or as an entry of a list.
    frames_.back().list.push_back(std::move(frame.value));
    return true;
  }

  // Where a number ended: the parser reads one byte past a number to see it
  // end, and that byte is not part of it.
  std::size_t number_end() const {
    if (taken_ == 0) return taken_;
    const char last = json_[taken_ - 1];
    const bool in_number = (last >= '0' && last <= '9') || last == '-' || last == '+' ||
                           last == '.' || last == 'e' || last == 'E';
    return in_number ? taken_ : taken_ - 1;
  }

  bool refuse(std::string message, std::size_t at) {
    error_ = Error(std::move(message) + position_text(json_, at));
    return false;
  }

  std::string_view json_;
  const RecordShape& root_;
  std::size_t taken_ = 0;
  std::vector<Frame> frames_;
  bool skipping_ = false;
  std::size_t skip_depth_ = 0;
  RecordValue result_;
  std::optional<Error> error_;
};

}  // namespace

Result<RecordValue> read_record(std::string_view json, const RecordShape& shape) {
  // The parser would skip a byte order mark silently; a document must not carry one.
  if (json.starts_with(kByteOrderMark))
    return fail("unexpected byte order mark at line 1 column 1");
  Reader reader(json, shape);
  bool complete = false;
  try {
    complete =
        Json::sax_parse(CountingIterator(json.data(), reader.taken()),
                        CountingIterator(json.data() + json.size(), reader.taken()), &reader);
  } catch (const Json::exception& exception) {
    return fail(exception.what());
  }
  // Events fire before a later syntax error is found, so only a whole parse counts.
  if (!complete) {
    return fail(reader.error().value_or(Error("the JSON document could not be read")));
  }
  // The parser takes a NUL byte between values for the end of its input, so
  // whatever follows one would pass unseen. Anywhere before the value's end a
  // NUL fails the parse, so one found now stands after the value.
  if (const std::size_t nul = json.find('\0'); nul != std::string_view::npos) {
    return fail("trailing characters" + position_text(json, nul + 1));
  }
  return reader.take_result();
}

}  // namespace orvo::core
