// Building, stamping and dumping application images: the parts of
// kilnrun-image that tests use directly.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace kilnrun_image {

using Bytes = std::vector<uint8_t>;

/// The six segments of an image, in image order.
struct ImageParts {
  Bytes code, data, link, symbols, resources, options;
};

/// Link records (appended to a link segment).
void AddImport(Bytes *link, uint8_t relativeFlag, uint32_t firstSite, const std::string &name);
/// Type 2 (data), 3 (code) or 5 (string literal) fix-up at a code offset.
void AddFixup(Bytes *link, uint8_t type, uint32_t codeOffset);
void AddExternal(Bytes *link, uint32_t firstSite, const std::string &function,
                 const std::string &library);

/// A resource record; an empty name gives a record without a name, any
/// other name is stored with its terminating 0.
void AddResource(Bytes *resources, uint32_t type, uint16_t id, const Bytes &data,
                 const std::string &name);
/// An option record with its text and encoding code.
void AddOption(Bytes *options, const std::string &text, uint32_t encoding);
/// A symbols segment from {code offset, name} pairs (sorted by offset).
Bytes MakeSymbols(std::vector<std::pair<uint32_t, std::string>> symbols);
/// Appends a string literal object to a data segment; returns its offset.
uint32_t AddStringLiteral(Bytes *data, const std::string &text, uint32_t encoding);

/// Stores `value` little-endian at `offset` of `bytes`, growing it as needed.
void PutU32(Bytes *bytes, size_t offset, uint32_t value);
/// A resource type from text: a four-character code ("CVnx", "vers") or a number.
bool ParseResourceType(const std::string &text, uint32_t *type);

/// The image: magic, then each segment's length and bytes.
Bytes BuildImage(const ImageParts &parts);
/// Splits an image (starting with the magic) into its parts.
bool ParseImage(const Bytes &image, ImageParts *parts, std::string *error);

/// Appends the image to the executable (replacing an image stamped earlier)
/// and writes its offset and length into the executable's PICKLE section.
bool StampExecutable(const std::string &executable, const Bytes &image, std::string *error);
/// Writes an explicit offset and length into the PICKLE section (tests of
/// wrong offsets), or "PICK…" when `unstamp` is set.
bool WritePickle(const std::string &executable, uint32_t offset, uint32_t length, bool unstamp,
                 std::string *error);
/// The image a stamped executable carries, or the file itself when it is an image.
bool ReadImageFile(const std::string &path, Bytes *image, std::string *error);

/// A readable listing of every segment and record.
void DumpImage(const ImageParts &parts, std::ostream &out);

}  // namespace kilnrun_image
