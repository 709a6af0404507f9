// TextOutputStream: text and lines written as they are, with the line
// terminator in the encoding of the line.
#include <string>

#include "corv.h"
#include "corv/class_decl.h"
#include "corv/string.h"
#include "corv_stream.h"
#include "lib/encoding.h"
#include "lib/stream_file.h"
#include "platform/file_handle.h"

using namespace corv::stream;

namespace {

// The platform's line terminator when no Delimiter is set.
const char *const kDefaultTerminator = corv::platform::kLineTerminator;

void OutputFinalizer(CORVobject self) {
  auto *out = reinterpret_cast<CORVtextOutputStream *>(self);
  CloseFile(out->file);
  out->file = nullptr;
  RuntimeUnlockString(out->delimiter);
  out->delimiter = nullptr;
}

/// The terminator's bytes in the encoding of the line it ends; an empty line
/// gets the terminator in its own encoding.
void AppendTerminator(CORVstring delimiter, CORVstring line, std::string *out) {
  uint32_t to = CORVStringEncoding(line);
  if (!delimiter && (!line || corv::IsAsciiCompatible(to))) {
    out->append(kDefaultTerminator);  // the common case: no string to convert
    return;
  }
  corv::String terminator =
      delimiter ? corv::String::Share(delimiter) : corv::String(kDefaultTerminator, kEncodingASCII);
  if (line) {
    // ConvertTo keeps text in the line's encoding or tagged 0xFFFF as it is.
    corv::String converted = corv::ConvertTo(terminator.get(), to);
    if (!converted.empty()) terminator = converted;
  }
  out->append(terminator.view());
}

}  // namespace

const CORVclassDecl kTextOutputStreamDecl =
    corv::ClassDecl("TextOutputStream", sizeof(CORVtextOutputStream)).Finalizer(OutputFinalizer);

extern "C" void TextOutputStreamWrite(CORVobject stream, CORVstring text) {
  auto *out = StreamRecord<CORVtextOutputStream>(stream);
  if (!out || !out->file || !text) return;
  WriteFile(out->file, CORVStringBytes(text), CORVStringLength(text));
}

extern "C" void TextOutputStreamWriteLine(CORVobject stream, CORVstring text) {
  auto *out = StreamRecord<CORVtextOutputStream>(stream);
  if (!out || !out->file) return;
  std::string line(CORVStringBytes(text), CORVStringLength(text));
  AppendTerminator(out->delimiter, text, &line);
  WriteFile(out->file, line.data(), line.size());  // one write: the line stays whole
}

extern "C" void TextOutputStreamFlush(CORVobject stream) {
  auto *out = StreamRecord<CORVtextOutputStream>(stream);
  if (out && out->file) FlushFile(out->file);
}

extern "C" void TextOutputStreamClose(CORVobject stream) {
  CloseStream(StreamRecord<CORVtextOutputStream>(stream));
}

extern "C" int32_t TextOutputStreamLastErrorGetter(CORVobject stream) {
  return LastStreamError(StreamRecord<CORVtextOutputStream>(stream));
}

extern "C" CORVstring TextOutputStreamDelimiterGetter(CORVobject stream) {
  auto *out = StreamRecord<CORVtextOutputStream>(stream);
  return out ? RuntimeLockString(out->delimiter) : nullptr;
}

extern "C" void TextOutputStreamDelimiterSetter(CORVobject stream, CORVstring delimiter) {
  auto *out = StreamRecord<CORVtextOutputStream>(stream);
  if (!out) return;
  out->delimiter = RuntimeLockUnlockStrings(delimiter, out->delimiter);
}
