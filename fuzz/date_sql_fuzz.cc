// The Date SQLDate and SQLDateTime setters on any text: they set the date
// or raise UnsupportedFormatException, and what they set reads back as SQL
// text that sets the same date again.
#include <cmath>

#include "fuzz_input.h"

using corv::Ref;
using corv::String;
using corv::fuzz::Require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  corv::fuzz::TrapFailureReports();
  corv::fuzz::FuzzInput in(data, size);
  uint8_t flags = in.Flags();
  String text = in.NextString();

  Ref<CORVdate> date = corv::New<CORVdate>(&kDateDecl);
  bool set = false;
  corv::fuzz::IgnoringLanguageExceptions([&] {
    if (flags & 1)
      dateSQLDateTimeSetter(date.object(), text.get());
    else
      dateSQLDateSetter(date.object(), text.get());
    set = true;
  });
  if (!set) return 0;

  String sql = String::Adopt(dateSQLDateTimeGetter(date.object()));
  Ref<CORVdate> again = corv::New<CORVdate>(&kDateDecl);
  bool reread = false;
  corv::fuzz::IgnoringLanguageExceptions([&] {
    dateSQLDateTimeSetter(again.object(), sql.get());
    reread = true;
  });
  Require(reread, "a date's SQL text is accepted back");
  // To the second: a text beyond the last date sets its last millisecond.
  Require(std::floor(dateTotalSecondsGetter(again.object())) ==
              std::floor(dateTotalSecondsGetter(date.object())),
          "a date's SQL text sets the same date");
  return 0;
}
