// Console output: Print, and the console stream objects behind StdErr.
// Text is converted to the system encoding unless it is ASCII already; a
// line ends with "\n".
#include "lib/console.h"

#include <atomic>
#include <string_view>

#include "corv/class_decl.h"
#include "corv_console.h"
#include "corv_exception.h"
#include "lib/encoding.h"
#include "platform/console_stream.h"

const CORVclassDecl kStdOutputStreamDecl =
    corv::ClassDecl("StdOutputStream", sizeof(CORVstdOutputStream));

namespace corv {
namespace {

std::atomic<ConsoleSink> gSink{nullptr};

bool OnlyAscii(std::string_view t) {
  for (unsigned char c : t)
    if (c >= 0x80) return false;
  return true;
}

void Write(bool toStdOut, CORVstring s, bool newLine) {
  String text = String::Share(s);
  bool converted = s && s->encoding != kEncodingASCII && !OnlyAscii(text.view());
  if (converted) text = ConvertTo(s, SystemEncoding());
  std::string_view bytes = text.view();
  if (ConsoleSink sink = gSink.load()) {
    sink(toStdOut, bytes.data(), bytes.size());
    if (newLine) sink(toStdOut, "\n", 1);
    return;
  }
  // The C library's locale matters only for text beyond ASCII; loading it
  // for the plain lines of a short run would cost more than the run.
  if (converted) platform::PrepareConsoleLocale();
  auto file =
      toStdOut ? platform::ConsoleFile::kStandardOutput : platform::ConsoleFile::kStandardError;
  if (newLine) {
    std::string line(bytes);
    line.push_back('\n');
    platform::WriteConsoleFile(file, line.data(), line.size());
  } else {
    platform::WriteConsoleFile(file, bytes.data(), bytes.size());
  }
}

CORVstdOutputStream *StreamOf(CORVobject stream) {
  if (!stream) RaiseNilObjectException();
  return reinterpret_cast<CORVstdOutputStream *>(stream);
}

}  // namespace

void SetConsoleSinkForTesting(ConsoleSink sink) {
  gSink.store(sink);
}

}  // namespace corv

extern "C" void RuntimeConsolePrint(CORVstring s) {
  corv::Write(true, s, true);
}

extern "C" CORVobject RuntimeGetStdErr(void) {
  // A static object (count 0): never counted, never destroyed, shared by all.
  static CORVstdOutputStream *stream = [] {
    static CORVstdOutputStream object{};
    CORVclass *cls = CORVBindDeclaration(&kStdOutputStreamDecl);
    object.header.cls = cls;
    object.header.vtable = cls ? cls->vtable : nullptr;
    object.header.events = cls ? cls->events : nullptr;
    object.header.refCount = 0;
    object.isStdOut = false;
    return &object;
  }();
  return &stream->header;
}

extern "C" void RuntimeStdOutputStreamWrite(CORVobject stream, CORVstring s) {
  CORVstdOutputStream *out = corv::StreamOf(stream);
  if (!s) return;
  corv::Write(out->isStdOut, s, false);
}

extern "C" void RuntimeStdOutputStreamWriteLine(CORVobject stream, CORVstring s) {
  CORVstdOutputStream *out = corv::StreamOf(stream);
  if (out->isStdOut)
    RuntimeConsolePrint(s);
  else
    corv::Write(false, s, true);
}

extern "C" void RuntimeStdOutFlush(CORVobject stream) {
  CORVstdOutputStream *out = corv::StreamOf(stream);
  corv::platform::FlushConsoleFile(out->isStdOut ? corv::platform::ConsoleFile::kStandardOutput
                                                 : corv::platform::ConsoleFile::kStandardError);
}
