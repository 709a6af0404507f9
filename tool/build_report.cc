// The run's record, the exit status --strict asks for, and the JUnit report:
// one testsuite named after the configuration file, one testcase per
// project built (or left unbuilt when the run ended early), written through
// a temporary file so that a reader never sees half a report.
#include "build_report.h"

#include <cstdio>

#include "build_config.h"
#include "corv/console.h"
#include "corv/date.h"
#include "corv/folder_item.h"

namespace kilnrun {

using corv::FolderItem;
using corv::Ref;
using corv::String;

namespace {

double SecondsSince(uint32_t started) {
  return corv::TicksSince(started) / 60.0;
}

// "a/b/One.cvvcp" -> "a/b"; "" when the path names no folder.
String FolderPart(const String &path) {
  int32_t cut = 0;
  for (const char *separator : {"/", "\\", ":"}) {
    int32_t at = 0;
    while (int32_t next = InStr(at + 1, path, separator)) at = next;
    if (at > cut) cut = at;
  }
  return cut > 0 ? Left(path, cut - 1) : String();
}

const char *TypeOf(RunEnd end) {
  switch (end) {
    case RunEnd::kCompleted:
      return "completed";
    case RunEnd::kConfiguration:
      return "configuration";
    case RunEnd::kIDE:
      return "ide";
    case RunEnd::kException:
      return "exception";
    case RunEnd::kInterrupted:
      return "interrupted";
  }
  return "unknown";
}

}  // namespace

ProjectResult &BuildRun::Begin(int32_t index, const Ref<Project> &project) {
  ProjectResult result;
  result.index = index;
  result.name = project->file->Name();
  result.folder = FolderPart(String::Share(project->path));
  result.revision = String::Share(project->revision);
  result.started = corv::Ticks();
  result.products = corv::NewArray<String>();
  results.push_back(std::move(result));
  return results.back();
}

void BuildRun::Fail(const char *type, const String &line, const String &detail) {
  results.back().failureType = type;
  results.back().failure = line;
  results.back().detail = detail;
}

void BuildRun::End() {
  results.back().seconds = SecondsSince(results.back().started);
  results.back().ended = true;
}

bool BuildRun::AnyProjectFailed() const {
  for (const ProjectResult &result : results)
    if (!result.failure.empty()) return true;
  return false;
}

void BuildRun::Clear() {
  *this = BuildRun();
}

BuildRun &ThisRun() {
  // Never destroyed: its strings must not be released after the runtime
  // has shut down.
  static BuildRun &run = *new BuildRun;
  return run;
}

// ---- The JUnit document ----

void AppendXmlText(std::string *out, std::string_view text) {
  static const char kReplacement[] = "\xEF\xBF\xBD";
  size_t i = 0;
  while (i < text.size()) {
    auto byte = static_cast<unsigned char>(text[i]);
    switch (byte) {
      case '&':
        *out += "&amp;";
        ++i;
        continue;
      case '<':
        *out += "&lt;";
        ++i;
        continue;
      case '>':
        *out += "&gt;";
        ++i;
        continue;
      case '"':
        *out += "&quot;";
        ++i;
        continue;
      case '\'':
        *out += "&apos;";
        ++i;
        continue;
      // Written as references, so that attribute values keep them too.
      case '\t':
        *out += "&#9;";
        ++i;
        continue;
      case '\n':
        *out += "&#10;";
        ++i;
        continue;
      case '\r':
        *out += "&#13;";
        ++i;
        continue;
      default:
        break;
    }
    if (byte < 0x80) {
      if (byte < 0x20 || byte == 0x7F)
        *out += kReplacement;  // no XML 1.0 document may hold it, not even as a reference
      else
        *out += static_cast<char>(byte);
      ++i;
      continue;
    }
    // One UTF-8 sequence, checked whole: no overlong form, no surrogate,
    // nothing past U+10FFFF.
    size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 0;
    uint32_t code = length == 4 ? byte & 0x07 : length == 3 ? byte & 0x0F : byte & 0x1F;
    bool valid = length > 0 && i + length <= text.size();
    for (size_t k = 1; valid && k < length; ++k) {
      auto next = static_cast<unsigned char>(text[i + k]);
      valid = (next & 0xC0) == 0x80;
      code = (code << 6) | (next & 0x3F);
    }
    static const uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    valid = valid && code >= kSmallest[length] && code <= 0x10FFFF &&
            !(code >= 0xD800 && code <= 0xDFFF);
    if (!valid) {
      *out += kReplacement;
      ++i;  // the next byte may begin a good sequence
    } else {
      // U+FFFE and U+FFFF are good UTF-8 but no XML character.
      if (code == 0xFFFE || code == 0xFFFF)
        *out += kReplacement;
      else
        out->append(text.substr(i, length));
      i += length;
    }
  }
}

namespace {

void AppendText(std::string *out, const String &text) {
  AppendXmlText(out, corv::ConvertEncoding(text, kEncodingUTF8).view());
}

// One attribute: a space, the name, "=" and the quoted value.
void Attribute(std::string *out, const char *name, const String &value) {
  *out += ' ';
  *out += name;
  *out += "=\"";
  AppendText(out, value);
  *out += '"';
}

void Attribute(std::string *out, const char *name, int32_t value) {
  Attribute(out, name, corv::Str(value));
}

void Seconds(std::string *out, double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", seconds);
  Attribute(out, "time", String(text));
}

// <element message="..." type="...">text</element>
void Problem(std::string *out, const char *element, const String &message, const String &type,
             const String &text) {
  *out += "      <";
  *out += element;
  Attribute(out, "message", message);
  Attribute(out, "type", type);
  if (text.empty()) {
    *out += "/>\n";
    return;
  }
  *out += '>';
  AppendText(out, text);
  *out += "</";
  *out += element;
  *out += ">\n";
}

// A testcase of the report.
struct Case {
  String name, classname, revision;
  double seconds = 0;
  const char *problem = nullptr;  // "failure", "error", "skipped" or nil
  String message, type, detail;
  corv::StringArray products;
};

void AppendCase(std::string *out, const Case &c) {
  *out += "    <testcase";
  Attribute(out, "name", c.name);
  Attribute(out, "classname", c.classname.empty() ? String(".") : c.classname);
  Seconds(out, c.seconds);
  *out += ">\n";
  if (c.problem) Problem(out, c.problem, c.message, c.type, c.detail);
  if (c.products && c.products.UBound() >= 0) {
    *out += "      <system-out>";
    for (int32_t i = 0; i <= c.products.UBound(); ++i) {
      AppendText(out, c.products(i));
      *out += '\n';
    }
    *out += "</system-out>\n";
  }
  if (!c.revision.empty()) {
    *out += "      <properties>\n        <property name=\"revision\"";
    Attribute(out, "value", c.revision);
    *out += "/>\n      </properties>\n";
  }
  *out += "    </testcase>\n";
}

bool WasBuilt(const BuildRun &run, int32_t index) {
  for (const ProjectResult &result : run.results)
    if (result.index == index) return true;
  return false;
}

// A case that ended with `problem`.
Case Ended(const String &name, const String &classname, const char *problem, const String &message,
           const String &type) {
  Case c;
  c.name = name;
  c.classname = classname;
  c.problem = problem;
  c.message = message;
  c.type = type;
  return c;
}

// The testcases: each project built or being built; then, when the run
// ended early, the selected projects it never reached (skipped) and, when
// no project was being built, one case for the run itself with its error.
std::vector<Case> Cases(const BuildRun &run, RunEnd end, const String &line) {
  std::vector<Case> cases;
  bool inProject = false;
  for (const ProjectResult &result : run.results) {
    Case c;
    if (!result.ended) {
      inProject = true;
      c = Ended(result.name, result.folder, "error", line, TypeOf(end));
    } else if (!result.failure.empty()) {
      c = Ended(result.name, result.folder, "failure", result.failure, result.failureType);
      c.detail = result.detail;
    } else {
      c = Ended(result.name, result.folder, nullptr, String(), String());
    }
    c.revision = result.revision;
    c.seconds = result.ended ? result.seconds : SecondsSince(result.started);
    c.products = result.products;
    cases.push_back(c);
  }
  if (end == RunEnd::kCompleted) return cases;
  if (run.configurationRead && BuildConfig::Projects) {
    for (int32_t i = 0; i <= BuildConfig::Projects.UBound(); ++i) {
      Ref<Project> project = BuildConfig::Projects(i);
      String path = String::Share(project->path);
      if (WasBuilt(run, i) || !SelectsProject(run.options, path)) continue;
      cases.push_back(Ended(project->file->Name(), FolderPart(path), "skipped",
                            String("Not built: ") + line, TypeOf(end)));
    }
  }
  if (!inProject) {
    cases.push_back(Ended("Build run", "kilnrun", "error", line, TypeOf(end)));
    cases.back().seconds = SecondsSince(run.started);
  }
  return cases;
}

String SuiteName() {
  const Ref<FolderItem> &config = BuildConfig::ConfigFile;
  return config ? config->Name() : String("kilnrun.conf");
}

int32_t CountOf(const std::vector<Case> &cases, const char *problem) {
  int32_t count = 0;
  for (const Case &c : cases)
    if (c.problem && std::string_view(c.problem) == problem) ++count;
  return count;
}

}  // namespace

std::string JUnitReport(const BuildRun &run, RunEnd end, const String &line) {
  std::vector<Case> cases = Cases(run, end, line);
  std::string suite = " name=\"";
  AppendText(&suite, SuiteName());
  suite += '"';
  Attribute(&suite, "tests", int32_t(cases.size()));
  Attribute(&suite, "failures", CountOf(cases, "failure"));
  Attribute(&suite, "errors", CountOf(cases, "error"));
  Attribute(&suite, "skipped", CountOf(cases, "skipped"));
  Seconds(&suite, SecondsSince(run.started));

  std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites" + suite + ">\n";
  out += "  <testsuite" + suite;
  Attribute(&out, "timestamp", ReplaceAll(run.startedAt, " ", "T"));
  out += ">\n";
  if (const Ref<FolderItem> &config = BuildConfig::ConfigFile) {
    out += "    <properties>\n      <property name=\"configuration\"";
    Attribute(&out, "value", config->AbsolutePath());
    out += "/>\n    </properties>\n";
  }
  for (const Case &c : cases) AppendCase(&out, c);
  out += "  </testsuite>\n</testsuites>\n";
  return out;
}

namespace {

// The document goes to a hidden file beside the report, which then takes
// the report's place: a reader sees the old report, none, or the new one.
bool WriteReport(const Ref<FolderItem> &report, const std::string &document) {
  // "--report kilnrun.conf" is a slip of the hand, not a wish to lose the
  // configuration.
  const Ref<FolderItem> &config = BuildConfig::ConfigFile;
  if (config && corv::SameBytes(config->AbsolutePath(), report->AbsolutePath())) return false;
  Ref<FolderItem> folder = report->Parent();
  Ref<FolderItem> partial =
      folder ? folder->Child(String(".") + report->Name() + ".partial") : nullptr;
  if (!partial) return false;
  if (partial->Exists()) partial->Delete();
  Ref<corv::BinaryStream> stream = partial->CreateBinaryFile(String());
  if (!stream) return false;
  stream->Write(String(document, kEncodingUTF8));
  bool complete = stream->Length() == int64_t(document.size());
  stream->Close();
  if (complete && report->Exists() && !report->Directory()) report->Delete();
  if (complete && partial->MoveFileTo(report)) return true;
  partial->Delete();
  return false;
}

}  // namespace

int32_t FinishRun(int32_t status, RunEnd end, const String &line) {
  BuildRun &run = ThisRun();
  if (run.finished) return status;
  run.finished = true;
  bool strict =
      run.options.strict == RunOptions::Strict::kOn ||
      (run.options.strict == RunOptions::Strict::kAsConfigured && BuildConfig::FailOnProjectError);
  if (end == RunEnd::kCompleted && status == 0 && strict && run.AnyProjectFailed()) status = 2;
  if (run.options.report && !WriteReport(run.options.report, JUnitReport(run, end, line))) {
    corv::StdErr()->WriteLine(String("Error: The report could not be written: ") +
                              run.options.reportPath);
    if (status == 0) status = 1;
  }
  return status;
}

}  // namespace kilnrun
