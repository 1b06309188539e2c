// A strict JSON reader for records described by their shape: the document is
// one value (whitespace around it only), a record is an object with exactly its
// fields (each once, in any order) or an array of its field values in declared
// order, and integers are plain unsigned integers within the field's width.
// Error texts describe records as "struct <Name>" and lists as "a sequence".
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "base/error.hpp"

namespace orvo::core {

struct RecordShape;

enum class FieldKind { Text, U32, U64, List };

struct FieldShape {
  std::string_view name;
  FieldKind kind;
  const RecordShape* element = nullptr;  // the record type of a List's entries
};

struct RecordShape {
  std::string_view name;
  std::span<const FieldShape> fields;
};

struct RecordValue;
using RecordList = std::vector<RecordValue>;
// A Text field holds std::string, U32 and U64 fields std::uint64_t, a List a RecordList.
using FieldValue = std::variant<std::string, std::uint64_t, RecordList>;

// The field values of one record, in the shape's declared order.
struct RecordValue {
  std::vector<FieldValue> fields;
};

// Reads a whole document as a record of the given shape.
Result<RecordValue> read_record(std::string_view json, const RecordShape& shape);

}  // namespace orvo::core
