// The application image's byte layout, shared by the loader and kilnrun-image.
//
// An image is the magic "112358" followed by six segments, each a u32
// little-endian length and that many bytes: code, data, link records,
// symbols, resources, options. The executable's PICKLE section holds the
// image's file offset and its length after the magic (u32 each); an
// unstamped section begins with the letters "PICK".
#pragma once

#include <cstdint>
#include <cstring>

namespace corv::image {

inline constexpr char kMagic[6] = {'1', '1', '2', '3', '5', '8'};
inline constexpr int kSegmentCount = 6;
inline constexpr const char *kPickleSection = "PICKLE";
inline constexpr const char *kLoaderSection = "LOADER";
/// Size of the PICKLE section.
inline constexpr int kPickleSize = 8;

/// Segment order inside an image.
enum Segment { kCode, kData, kLink, kSymbols, kResources, kOptions };

/// Link record types.
enum LinkRecord : uint8_t {
  kImport = 1,          // runtime entry point by name, site chain
  kDataRelocation = 2,  // add the data base
  kCodeRelocation = 3,  // add the code base
  kExternal = 4,        // function of a named library, site chain of displacements
  kStringLiteral = 5,   // data relocation to a string literal object
};

/// Size of a string literal object before its text.
inline constexpr uint32_t kLiteralHeader = 20;

inline uint32_t ReadU32(const uint8_t *p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}
inline uint16_t ReadU16(const uint8_t *p) {
  return static_cast<uint16_t>(p[0] | p[1] << 8);
}
inline void WriteU32(uint8_t *p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}
inline bool IsMagic(const uint8_t *p) {
  return std::memcmp(p, kMagic, sizeof kMagic) == 0;
}

}  // namespace corv::image
