// Split and Join: a string cut into a String array at each delimiter, and
// a String array joined with one. Each result is made in one allocation.
#include <cstring>
#include <vector>

#include "corv_array.h"
#include "corv_runtime.h"
#include "lib/string_record.h"
#include "lib/string_search.h"

namespace {

using corv::String;

struct Piece {
  size_t begin, end;
};

// A String array holding new strings for the pieces of `text`.
CORVobject ArrayOfPieces(std::string_view text, const std::vector<Piece> &pieces,
                         uint32_t encoding) {
  CORVobject array = CreateArray(1, kCORVArrayString, static_cast<int32_t>(pieces.size()) - 1);
  auto *elements = static_cast<CORVstring *>(reinterpret_cast<CORVarray *>(array)->buffer);
  for (size_t i = 0; i < pieces.size(); ++i)  // the array takes the new references
    elements[i] =
        RuntimeCreateString(text.data() + pieces[i].begin,
                            static_cast<int32_t>(pieces[i].end - pieces[i].begin), encoding);
  return array;
}

// One piece per character: UTF-8 sequences, UTF-16 units, double-byte
// characters or single bytes.
std::vector<Piece> Characters(std::string_view text, uint32_t encoding) {
  corv::CharUnits units = corv::CharUnits::Of(encoding);
  auto *bytes = reinterpret_cast<const unsigned char *>(text.data());
  std::vector<Piece> pieces;
  for (size_t at = 0; at < text.size();) {
    size_t size = units.SizeAt(bytes, text.size(), at);
    pieces.push_back({at, at + size});
    at += size;
  }
  return pieces;
}

}  // namespace

extern "C" CORVobject StringSplit(CORVstring source, CORVstring delimiter) {
  if (!source) return CreateArray(1, kCORVArrayString, -1);
  std::string_view text(CORVStringBytes(source), source->length);
  if (!delimiter) return ArrayOfPieces(text, Characters(text, source->encoding), source->encoding);
  String d = corv::ConvertTo(delimiter, source->encoding);
  std::vector<Piece> pieces;
  if (d.empty()) {
    pieces.push_back({0, text.size()});
  } else {
    corv::Matcher matcher(source->encoding, d.view(), true);
    size_t from = 0, begin, end;
    while (matcher.Next(text, from, &begin, &end)) {
      pieces.push_back({from, begin});
      from = end;
    }
    pieces.push_back({from, text.size()});  // "" when the source ends with the delimiter
  }
  return ArrayOfPieces(text, pieces, source->encoding);
}

extern "C" CORVstring StringJoin(CORVobject array, CORVstring delimiter) {
  if (!array) return nullptr;
  auto *a = reinterpret_cast<CORVarray *>(array);
  if (a->dimensionCount != 1 || a->ops[kCORVArrayElementKind] == nullptr ||
      reinterpret_cast<int32_t (*)(CORVobject)>(a->ops[kCORVArrayElementKind])(array) !=
          kCORVArrayString) {
    CORV_REPORT("array of String", "Join needs a one-dimensional String array");
    return nullptr;
  }
  int32_t upper = a->upperBounds[0];
  if (upper < 0) return nullptr;
  auto *elements = static_cast<CORVstring *>(a->buffer);
  if (upper == 0) return RuntimeLockString(elements[0]);

  uint32_t common = CORVStringEncoding(delimiter);
  if (elements[0]) common = elements[0]->encoding;
  for (int32_t i = 1; i <= upper; ++i)
    if (elements[i]) common = corv::CommonEncoding(common, elements[i]->encoding, true);

  // Only elements of another encoding are converted; the rest are used as they are.
  size_t count = static_cast<size_t>(upper) + 1;
  std::vector<String> converted;
  std::vector<std::string_view> parts(count);
  String d = corv::ConvertTo(delimiter, common);
  uint64_t totalLen = static_cast<uint64_t>(upper) * d.size();
  for (size_t i = 0; i < count; ++i) {
    CORVstring e = elements[i];
    if (e && e->encoding != common) {
      converted.push_back(corv::ConvertTo(e, common));
      parts[i] = converted.back().view();
    } else {
      parts[i] = {CORVStringBytes(e), CORVStringLength(e)};
    }
    totalLen += parts[i].size();
  }
  if (totalLen > 0x7FFFFFFF) return nullptr;  // beyond what a string can hold
  String out = String::Adopt(corv::AllocateString(static_cast<uint32_t>(totalLen), common));
  if (out.empty()) return nullptr;
  char *start = corv::MutableBytes(out.get()), *ptr = start;
  for (size_t i = 0; i < count; ++i) {
    if (i) {
      std::memcpy(ptr, d.data(), d.size());
      ptr += d.size();
    }
    std::memcpy(ptr, parts[i].data(), parts[i].size());
    ptr += parts[i].size();
  }
  if (static_cast<uint64_t>(ptr - start) != totalLen)
    CORV_REPORT("ptr - out.CString() == totalLen", "Join wrote another length than it allocated");
  return out.Leak();
}
