// Reading the CI options off the parsed command line, and the shell-style
// patterns that choose the projects.
#include "run_options.h"

#include <cstddef>
#include <vector>

#include "build_config.h"
#include "corv/console.h"

namespace kilnrun {

using corv::FolderItem;
using corv::Ref;
using corv::String;

namespace {

using ArgumentArray = corv::Array<ArgumentValue *>;

bool MissingValue(const char *message) {
  corv::StdErr()->WriteLine(message);
  return false;
}

// A report goes where the CI job works: a relative path is taken from the
// current folder, not from the executable's as configuration paths are.
bool TakeReport(const String &path, RunOptions *options) {
  if (path.empty()) return MissingValue("Error: --report needs a file name.");
  Ref<FolderItem> file = BuildConfig::ResolvePath(corv::GetSpecialFolder(0, 1047), path);
  Ref<FolderItem> folder = file ? file->Parent() : nullptr;
  if (!folder || !folder->Directory() || file->Directory()) {
    corv::StdErr()->WriteLine(String("Error: The report cannot be written to ") + path);
    return false;
  }
  options->report = file;
  options->reportPath = path;
  return true;
}

// 1 for a word that turns a flag on, 0 for one that turns it off, else -1.
int32_t OnOrOff(const String &value) {
  static const char *const kOn[] = {"true", "yes", "on", "1"};
  static const char *const kOff[] = {"false", "no", "off", "0"};
  for (const char *word : kOn)
    if (value == word) return 1;
  for (const char *word : kOff)
    if (value == word) return 0;
  return -1;
}

}  // namespace

bool TakeRunOptions(ArgumentProcessor *arguments, RunOptions *options) {
  ArgumentArray parsed = ArgumentArray::Share(arguments->arguments);
  for (int32_t i = 0; i <= parsed.UBound();) {
    Ref<ArgumentValue> argument = parsed(i);
    String name = String::Share(argument->name);
    String value = String::Share(argument->value);
    if (name == "strict") {
      int32_t setting = OnOrOff(value);
      options->strict = setting == 0 ? RunOptions::Strict::kOff : RunOptions::Strict::kOn;
      // A flag takes no other value: the next argument was a positional one.
      if (setting < 0 && !value.empty()) {
        corv::Assign(&argument->name, String());
        ++i;
        continue;
      }
    } else if (name == "report") {
      if (!TakeReport(value, options)) return false;
    } else if (name == "project") {
      if (value.empty()) return MissingValue("Error: --project needs a pattern.");
      if (!options->projectPatterns) options->projectPatterns = corv::NewArray<String>();
      options->projectPatterns.Append(value);
    } else {
      ++i;
      continue;
    }
    parsed.Remove(i);
  }
  return true;
}

namespace {

using Characters = std::vector<String>;
constexpr size_t kNone = size_t(-1);

Characters CharactersOf(const String &text) {
  Characters characters;
  int32_t length = Len(text);
  for (int32_t i = 1; i <= length; ++i) characters.push_back(Mid(text, i, 1));
  return characters;
}

bool Negates(const String &c) {
  return c == "!" || c == "^";
}

// The "]" that closes the set opening at `open`, or kNone. A "]" right
// after the opening (or after its "!") is a member, not the end.
size_t SetEnd(const Characters &pattern, size_t open) {
  size_t i = open + 1;
  if (i < pattern.size() && Negates(pattern[i])) ++i;
  if (i < pattern.size() && pattern[i] == "]") ++i;
  while (i < pattern.size() && !(pattern[i] == "]")) ++i;
  return i < pattern.size() ? i : kNone;
}

// Ranges follow the language's comparison, so they ignore case as well.
bool InSet(const Characters &pattern, size_t open, size_t close, const String &c) {
  size_t i = open + 1;
  bool negated = Negates(pattern[i]);
  if (negated) ++i;
  bool found = false;
  for (; i < close; ++i) {
    if (i + 2 < close && pattern[i + 1] == "-") {
      found = found || (pattern[i] <= c && c <= pattern[i + 2]);
      i += 2;
    } else {
      found = found || pattern[i] == c;
    }
  }
  return found != negated;
}

// Whether the pattern element at `*at` (not "*") takes the character `c`;
// when it does, `*at` moves past the element.
bool Takes(const Characters &pattern, size_t *at, const String &c) {
  const String &element = pattern[*at];
  size_t next = *at + 1;
  bool taken;
  if (element == "?") {
    taken = true;
  } else if (size_t close = element == "[" ? SetEnd(pattern, *at) : kNone; close != kNone) {
    taken = InSet(pattern, *at, close, c);
    next = close + 1;
  } else {
    taken = element == c;
  }
  if (taken) *at = next;
  return taken;
}

}  // namespace

bool PatternMatches(const String &pattern, const String &text) {
  Characters p = CharactersOf(pattern), t = CharactersOf(text);
  // One pass with a single backtrack point: on a mismatch, the last "*"
  // takes one more character and matching resumes after it.
  size_t pi = 0, ti = 0, star = kNone, starText = 0;
  while (ti < t.size()) {
    if (pi < p.size() && p[pi] == "*") {
      star = pi++;
      starText = ti;
    } else if (pi < p.size() && Takes(p, &pi, t[ti])) {
      ++ti;
    } else if (star != kNone) {
      pi = star + 1;
      ti = ++starText;
    } else {
      return false;
    }
  }
  while (pi < p.size() && p[pi] == "*") ++pi;
  return pi == p.size();
}

bool SelectsProject(const RunOptions &options, const String &path) {
  if (!options.projectPatterns) return true;
  for (int32_t i = 0; i <= options.projectPatterns.UBound(); ++i)
    if (PatternMatches(options.projectPatterns(i), path)) return true;
  return false;
}

}  // namespace kilnrun
