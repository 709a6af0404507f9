// TextOutputStream: text and lines written as they are, with the line
// terminator in the encoding of the line.
#include <string>
#include <vector>

#include "corv.h"
#include "corv_stream.h"
#include "lib/stream_file.h"

using namespace corv::stream;

namespace {

// The platform's line terminator when no Delimiter is set.
constexpr char kDefaultTerminator[] = "\n";

void OutputFinalizer(CORVobject self) {
  auto *out = reinterpret_cast<CORVtextOutputStream *>(self);
  CloseFile(out->file);
  out->file = nullptr;
  RuntimeUnlockString(out->delimiter);
  out->delimiter = nullptr;
}

CORVtextOutputStream *Out(CORVobject stream) {
  if (!stream) CORV_REPORT("stream", nullptr);
  return reinterpret_cast<CORVtextOutputStream *>(stream);
}

enum class Form { kBytes, kUTF8, kUTF16LE, kUTF16BE, kUTF32LE, kUTF32BE };

Form FormOf(uint32_t code) {
  switch (code) {
    case kEncodingUTF8:
      return Form::kUTF8;
    case kEncodingUTF16:
    case 0x14000100u:
      return Form::kUTF16LE;
    case 0x10000100u:
      return Form::kUTF16BE;
    case 0x0C000100u:
    case 0x0D000100u:
      return Form::kUTF32LE;
    case 0x0E000100u:
      return Form::kUTF32BE;
    default:
      return Form::kBytes;
  }
}

/// The characters of a terminator (short text: CR, LF, a separator).
std::vector<uint32_t> Decode(const unsigned char *b, size_t n, Form form) {
  std::vector<uint32_t> chars;
  size_t i = 0;
  auto u16 = [&](size_t at) -> uint32_t {
    return form == Form::kUTF16BE ? (b[at] << 8) | b[at + 1] : b[at] | (b[at + 1] << 8);
  };
  while (i < n) {
    switch (form) {
      case Form::kUTF16LE:
      case Form::kUTF16BE:
        if (i + 1 >= n) return chars;
        chars.push_back(u16(i));
        i += 2;
        break;
      case Form::kUTF32LE:
      case Form::kUTF32BE:
        if (i + 3 >= n) return chars;
        chars.push_back(form == Form::kUTF32LE
                            ? b[i] | (b[i + 1] << 8) | (b[i + 2] << 16) | (uint32_t(b[i + 3]) << 24)
                            : (uint32_t(b[i]) << 24) | (b[i + 1] << 16) | (b[i + 2] << 8) |
                                  b[i + 3]);
        i += 4;
        break;
      case Form::kUTF8: {
        uint32_t c = b[i];
        int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
        c &= extra == 3 ? 0x07 : extra == 2 ? 0x0F : extra == 1 ? 0x1F : 0x7F;
        for (int k = 1; k <= extra && i + k < n; ++k) c = (c << 6) | (b[i + k] & 0x3F);
        chars.push_back(c);
        i += 1 + extra;
        break;
      }
      case Form::kBytes:
        chars.push_back(b[i++]);
        break;
    }
  }
  return chars;
}

void Encode(uint32_t c, Form form, std::string *out) {
  switch (form) {
    case Form::kBytes:
      *out += static_cast<char>(c < 0x100 ? c : '?');
      break;
    case Form::kUTF8:
      if (c < 0x80) {
        *out += static_cast<char>(c);
      } else if (c < 0x800) {
        *out += static_cast<char>(0xC0 | (c >> 6));
        *out += static_cast<char>(0x80 | (c & 0x3F));
      } else {
        *out += static_cast<char>(0xE0 | ((c >> 12) & 0x0F));
        *out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *out += static_cast<char>(0x80 | (c & 0x3F));
      }
      break;
    case Form::kUTF16LE:
      *out += static_cast<char>(c & 0xFF);
      *out += static_cast<char>((c >> 8) & 0xFF);
      break;
    case Form::kUTF16BE:
      *out += static_cast<char>((c >> 8) & 0xFF);
      *out += static_cast<char>(c & 0xFF);
      break;
    case Form::kUTF32LE:
      for (int shift = 0; shift < 32; shift += 8) *out += static_cast<char>((c >> shift) & 0xFF);
      break;
    case Form::kUTF32BE:
      for (int shift = 24; shift >= 0; shift -= 8) *out += static_cast<char>((c >> shift) & 0xFF);
      break;
  }
}

/// The terminator's bytes in the encoding of the line it ends.
void AppendTerminator(CORVstring delimiter, CORVstring line, std::string *out) {
  const char *bytes = delimiter ? CORVStringBytes(delimiter) : kDefaultTerminator;
  size_t length = delimiter ? CORVStringLength(delimiter) : sizeof kDefaultTerminator - 1;
  uint32_t from = delimiter ? CORVStringEncoding(delimiter) : uint32_t{kEncodingASCII};
  uint32_t to = CORVStringEncoding(line);
  if (!line || from == to || from == kEncodingUnknown || to == kEncodingUnknown) {
    out->append(bytes, length);
    return;
  }
  Form target = FormOf(to);
  for (uint32_t c : Decode(reinterpret_cast<const unsigned char *>(bytes), length, FormOf(from)))
    Encode(c, target, out);
}

}  // namespace

const CORVclassDecl kTextOutputStreamDecl = {"TextOutputStream",
                                             nullptr,
                                             sizeof(CORVtextOutputStream),
                                             nullptr,
                                             nullptr,
                                             OutputFinalizer,
                                             nullptr,
                                             0,
                                             nullptr,
                                             0,
                                             nullptr,
                                             0,
                                             nullptr,
                                             0};

extern "C" void TextOutputStreamWrite(CORVobject stream, CORVstring text) {
  CORVtextOutputStream *out = Out(stream);
  if (!out || !out->file || !text) return;
  WriteFile(out->file, CORVStringBytes(text), CORVStringLength(text));
}

extern "C" void TextOutputStreamWriteLine(CORVobject stream, CORVstring text) {
  CORVtextOutputStream *out = Out(stream);
  if (!out || !out->file) return;
  std::string line(CORVStringBytes(text), CORVStringLength(text));
  AppendTerminator(out->delimiter, text, &line);
  WriteFile(out->file, line.data(), line.size());  // one write: the line stays whole
}

extern "C" void TextOutputStreamFlush(CORVobject stream) {
  CORVtextOutputStream *out = Out(stream);
  if (out && out->file) FlushFile(out->file);
}

extern "C" void TextOutputStreamClose(CORVobject stream) {
  CORVtextOutputStream *out = Out(stream);
  if (!out || !out->file) return;
  out->keptError = CloseFile(out->file);
  out->file = nullptr;
}

extern "C" int32_t TextOutputStreamLastErrorGetter(CORVobject stream) {
  CORVtextOutputStream *out = Out(stream);
  if (!out) return 0;
  return out->file ? out->file->lastError : out->keptError;
}

extern "C" CORVstring TextOutputStreamDelimiterGetter(CORVobject stream) {
  CORVtextOutputStream *out = Out(stream);
  return out ? RuntimeLockString(out->delimiter) : nullptr;
}

extern "C" void TextOutputStreamDelimiterSetter(CORVobject stream, CORVstring delimiter) {
  CORVtextOutputStream *out = Out(stream);
  if (!out) return;
  out->delimiter = RuntimeLockUnlockStrings(delimiter, out->delimiter);
}
