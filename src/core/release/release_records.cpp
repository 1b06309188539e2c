#include "core/release/release_records.hpp"

#include <array>
#include <utility>

#include "core/release/record_reader.hpp"

namespace orvo::core {
namespace {

constexpr std::array kEnvelopeFields = {
    FieldShape{"payload", FieldKind::Text},
    FieldShape{"signature", FieldKind::Text},
};
constexpr RecordShape kEnvelopeShape{"SignedEnvelope", kEnvelopeFields};

constexpr std::array kFileFields = {
    FieldShape{"path", FieldKind::Text},
    FieldShape{"size", FieldKind::U64},
    FieldShape{"sha256", FieldKind::Text},
};
constexpr RecordShape kFileShape{"ManifestFile", kFileFields};

constexpr std::array kManifestFields = {
    FieldShape{"schema_version", FieldKind::U32}, FieldShape{"version", FieldKind::Text},
    FieldShape{"sequence", FieldKind::U64},       FieldShape{"target", FieldKind::Text},
    FieldShape{"package_url", FieldKind::Text},   FieldShape{"package_sha256", FieldKind::Text},
    FieldShape{"package_size", FieldKind::U64},   FieldShape{"files", FieldKind::List, &kFileShape},
};
constexpr RecordShape kManifestShape{"Manifest", kManifestFields};

// The reader has checked every value's type against the shape above.
std::string text(FieldValue& value) { return std::move(std::get<std::string>(value)); }
std::uint64_t number(const FieldValue& value) { return std::get<std::uint64_t>(value); }

}  // namespace

Result<SignedEnvelope> read_signed_envelope(std::string_view json) {
  auto record = read_record(json, kEnvelopeShape);
  if (!record) return fail(std::move(record).error());
  auto& fields = record->fields;
  return SignedEnvelope{.payload = text(fields[0]), .signature = text(fields[1])};
}

Result<Manifest> read_manifest(std::string_view json) {
  auto record = read_record(json, kManifestShape);
  if (!record) return fail(std::move(record).error());
  auto& fields = record->fields;
  Manifest manifest{
      .schema_version = static_cast<std::uint32_t>(number(fields[0])),
      .version = text(fields[1]),
      .sequence = number(fields[2]),
      .target = text(fields[3]),
      .package_url = text(fields[4]),
      .package_sha256 = text(fields[5]),
      .package_size = number(fields[6]),
      .files = {},
  };
  auto& entries = std::get<RecordList>(fields[7]);
  manifest.files.reserve(entries.size());
  for (RecordValue& entry : entries) {
    manifest.files.push_back(ManifestFile{.path = text(entry.fields[0]),
                                          .size = number(entry.fields[1]),
                                          .sha256 = text(entry.fields[2])});
  }
  return manifest;
}

}  // namespace orvo::core
