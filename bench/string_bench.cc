// String search, replacement, splitting and joining on a 64 MiB text, each
// beside a baseline measured in the same run: memmem, std::string and
// std::string_view.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "corv/string.h"

namespace {

using corv::String;

constexpr size_t kTextSize = 64u << 20;
const char kNeedle[] = "fjord vexing quiz";        // every letter matches only ASCII
const char kNeedleKS[] = "haystack marker stone";  // "k" and "s" also match the Kelvin and long s

// Mostly ASCII words in lines of about 70 bytes, with some accented words;
// the needles sit at the very end.
const std::string &Text() {
  static const std::string text = [] {
    const char *words[] = {"alpha",       "beta",         "gamma",   "delta",  "build",  "project",
                           "caf\xC3\xA9", "na\xC3\xAFve", "release", "target", "window", "folder",
                           "plist",       "the",          "and",     "of"};
    std::mt19937 rng(42);
    std::string t;
    t.reserve(kTextSize + 64);
    size_t line = 0;
    while (t.size() < kTextSize - 64) {
      t += words[rng() % (sizeof words / sizeof words[0])];
      if (++line % 10 == 0)
        t += '\n';
      else
        t += ' ';
    }
    t += kNeedleKS;
    t += ' ';
    t += kNeedle;
    return t;
  }();
  return text;
}

// Where a needle of the text begins, 1-based, in bytes and in characters
// (bytes that are not UTF-8 continuation bytes): the answers the timed
// searches must give, so that each of them scans the whole text.
int32_t BytePosition(const char *needle) {
  return static_cast<int32_t>(Text().rfind(needle)) + 1;
}
int32_t CharacterPosition(const char *needle) {
  int32_t chars = 0;
  for (size_t i = 0, end = Text().rfind(needle); i < end; ++i)
    chars += (static_cast<unsigned char>(Text()[i]) & 0xC0) != 0x80;
  return chars + 1;
}

const String &TextString() {
  static const String s(Text());
  return s;
}

void BM_Memmem(benchmark::State &state) {
  const std::string &t = Text();
  for (auto _ : state)
    benchmark::DoNotOptimize(memmem(t.data(), t.size(), kNeedle, std::strlen(kNeedle)));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * t.size()));
}
BENCHMARK(BM_Memmem)->Unit(benchmark::kMillisecond);

void BM_InStrB(benchmark::State &state) {
  String find(kNeedle);
  if (corv::InStrB(1, TextString(), find) != BytePosition(kNeedle))
    state.SkipWithError("InStrB gives a wrong position");
  for (auto _ : state) benchmark::DoNotOptimize(corv::InStrB(1, TextString(), find));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Text().size()));
}
BENCHMARK(BM_InStrB)->Unit(benchmark::kMillisecond);

void BM_InStrCaseless(benchmark::State &state) {
  String find("FJORD Vexing QUIZ");
  if (corv::InStr(1, TextString(), find) != CharacterPosition(kNeedle))
    state.SkipWithError("InStr gives a wrong position");
  for (auto _ : state) benchmark::DoNotOptimize(corv::InStr(1, TextString(), find));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Text().size()));
}
BENCHMARK(BM_InStrCaseless)->Unit(benchmark::kMillisecond);

// A text that nearly repeats a long find: 768 KiB of "%a%" and a find of
// 16 Ki of them with "%b%" at its end, found nowhere. Comparing the find
// again at each place would take about 12 G byte comparisons.
struct NearRepeats {
  std::string text, find;
  NearRepeats() {
    for (int i = 0; i < 256 * 1024; ++i) text += "%a%";
    for (int i = 0; i + 1 < 16 * 1024; ++i) find += "%a%";
    find += "%b%";
  }
};
const NearRepeats &NearRepeatsCase() {
  static const NearRepeats c;
  return c;
}

void BM_MemmemNearRepeats(benchmark::State &state) {
  const NearRepeats &c = NearRepeatsCase();
  for (auto _ : state)
    benchmark::DoNotOptimize(memmem(c.text.data(), c.text.size(), c.find.data(), c.find.size()));
}
BENCHMARK(BM_MemmemNearRepeats)->Unit(benchmark::kMillisecond);

void BM_InStrBNearRepeats(benchmark::State &state) {
  String text(NearRepeatsCase().text), find(NearRepeatsCase().find);
  for (auto _ : state) benchmark::DoNotOptimize(corv::InStrB(1, text, find));
}
BENCHMARK(BM_InStrBNearRepeats)->Unit(benchmark::kMillisecond);

void BM_InStrCaselessNearRepeats(benchmark::State &state) {
  String text(NearRepeatsCase().text), find(NearRepeatsCase().find);
  if (corv::InStr(text, find) != 0) state.SkipWithError("InStr finds what is not there");
  for (auto _ : state) benchmark::DoNotOptimize(corv::InStr(text, find));
}
BENCHMARK(BM_InStrCaselessNearRepeats)->Unit(benchmark::kMillisecond);

// The same with "\xC3\xA9" (e acute) for "a": compared character by character.
void BM_InStrCaselessNearRepeatsUTF8(benchmark::State &state) {
  auto accented = [](std::string s) {
    for (size_t at = s.find('a'); at != std::string::npos; at = s.find('a', at))
      s.replace(at, 1, "\xC3\xA9");
    return s;
  };
  String text(accented(NearRepeatsCase().text)), find(accented(NearRepeatsCase().find));
  if (corv::InStr(text, find) != 0) state.SkipWithError("InStr finds what is not there");
  for (auto _ : state) benchmark::DoNotOptimize(corv::InStr(text, find));
}
BENCHMARK(BM_InStrCaselessNearRepeatsUTF8)->Unit(benchmark::kMillisecond);

void BM_InStrCaselessKelvinS(benchmark::State &state) {
  String find("HAYSTACK Marker STONE");
  if (corv::InStr(1, TextString(), find) != CharacterPosition(kNeedleKS))
    state.SkipWithError("InStr gives a wrong position");
  for (auto _ : state) benchmark::DoNotOptimize(corv::InStr(1, TextString(), find));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Text().size()));
}
BENCHMARK(BM_InStrCaselessKelvinS)->Unit(benchmark::kMillisecond);

// The common search of a program: a short name in a short line, as a
// configuration reader looks for each variable in each line. The baseline
// upper-cases both and calls std::string::find.
const char kLine[] = "SetProperty Version 1.2.%build% for %Platform% builds";
void BM_StdStringCaselessShort(benchmark::State &state) {
  auto upper = [](std::string s) {
    for (char &c : s)
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
  };
  std::string line(kLine), find("%platform%");
  for (auto _ : state) benchmark::DoNotOptimize(upper(line).find(upper(find)));
}
BENCHMARK(BM_StdStringCaselessShort);

void BM_InStrCaselessShort(benchmark::State &state) {
  String line(kLine), find("%platform%");
  if (corv::InStr(line, find) != static_cast<int32_t>(std::string(kLine).find("%Platform%")) + 1)
    state.SkipWithError("InStr gives a wrong position");
  for (auto _ : state) benchmark::DoNotOptimize(corv::InStr(line, find));
}
BENCHMARK(BM_InStrCaselessShort);

void BM_StdStringReplaceAll(benchmark::State &state) {
  const std::string &t = Text();
  const std::string from = "gamma", to = "GAMMA-RAY";
  for (auto _ : state) {
    std::string out;
    size_t at = 0;
    for (size_t hit; (hit = t.find(from, at)) != std::string::npos; at = hit + from.size()) {
      out.append(t, at, hit - at);
      out += to;
    }
    out.append(t, at);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * t.size()));
}
BENCHMARK(BM_StdStringReplaceAll)->Unit(benchmark::kMillisecond);

void BM_ReplaceAll(benchmark::State &state) {
  String from("gamma"), to("GAMMA-RAY");
  for (auto _ : state) benchmark::DoNotOptimize(corv::ReplaceAll(TextString(), from, to));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Text().size()));
}
BENCHMARK(BM_ReplaceAll)->Unit(benchmark::kMillisecond);

void BM_StringViewSplitJoin(benchmark::State &state) {
  const std::string &t = Text();
  for (auto _ : state) {
    std::vector<std::string> pieces;
    std::string_view rest(t);
    for (size_t hit; (hit = rest.find('\n')) != std::string_view::npos; rest.remove_prefix(hit + 1))
      pieces.emplace_back(rest.substr(0, hit));
    pieces.emplace_back(rest);
    size_t total = pieces.size() - 1;
    for (const std::string &p : pieces) total += p.size();
    std::string joined;
    joined.reserve(total);
    for (size_t i = 0; i < pieces.size(); ++i) {
      if (i) joined += '\n';
      joined += pieces[i];
    }
    benchmark::DoNotOptimize(joined.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * t.size()));
}
BENCHMARK(BM_StringViewSplitJoin)->Unit(benchmark::kMillisecond);

void BM_SplitJoin(benchmark::State &state) {
  String lf("\n");
  for (auto _ : state) {
    corv::StringArray lines = corv::Split(TextString(), lf);
    benchmark::DoNotOptimize(corv::Join(lines, lf));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Text().size()));
}
BENCHMARK(BM_SplitJoin)->Unit(benchmark::kMillisecond);

}  // namespace
