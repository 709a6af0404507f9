// The process entry and the version properties of the application.
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/app_state.h"
#include "core/loader.h"
#include "lib/case_map.h"
#include "platform/console.h"
#include "platform/stack.h"
#include "platform/system_locale.h"

namespace corv {
namespace {

constexpr uintptr_t kMainStackSize = 0x40000;  // 256 KiB below the start-up frame

// The version record: lines "Name=Value" (a 0 byte ends the text).
std::string VersionValue(const char *key) {
  const CORVresource *record = CORVFindResource(CORV_FOUR_CHAR('v', 'e', 'r', 's'), 1);
  if (!record || !record->data) return std::string();
  std::string text(reinterpret_cast<const char *>(record->data),
                   strnlen(reinterpret_cast<const char *>(record->data), record->length));
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    size_t equals = line.find('=');
    if (equals != std::string::npos && line.compare(0, equals, key) == 0 &&
        std::strlen(key) == equals)
      return line.substr(equals + 1);
    start = end + 1;
  }
  return std::string();
}

// Field n (1-based) of the text split at ".", read as a leading integer.
int32_t VersionField(const std::string &text, int field) {
  size_t start = 0;
  for (int i = 1; i < field; ++i) {
    start = text.find('.', start);
    if (start == std::string::npos) return 0;
    ++start;
  }
  return static_cast<int32_t>(std::strtol(text.c_str() + start, nullptr, 10));
}

}  // namespace

AppState &Process() {
  static AppState state;
  return state;
}

}  // namespace corv

extern "C" int32_t CORVProcessMain(int argc, char **argv) {
  corv::AppState &state = corv::Process();
  state.scriptCode = corv::platform::SystemScriptCode();
  state.argc = argc;
  state.argv = argv;
  // The string-reference lock exists from the start (a static mutex), and
  // timers are walked by the event loop itself, so there is no timer window.
  corv::InstallConsoleUnhandledExceptionHook();
  CORVInitStackChecker(corv::kMainStackSize, corv::platform::CurrentStackPosition());
  state.socketsAvailable = true;  // BSD sockets need no start-up
  if (!corv::LoadAndRunImage(corv::LocateRunningImage())) {
    // Nothing of the program ran; say so and do not claim success.
    static const char kMessage[] = "Executable is corrupt!\n";
    corv::platform::WriteStandardError(kMessage, sizeof kMessage - 1);
    return 1;
  }
  return state.app ? corv::AppRecord()->exitCode : 0;
}

extern "C" int32_t AppIntegerVersionStuffGetter(CORVobject app, int32_t which) {
  (void)app;
  std::string fileVersion = corv::VersionValue("FileVersion");
  switch (which) {
    case kAppMajorVersion:
      return corv::VersionField(fileVersion, 1);
    case kAppMinorVersion:
      return corv::VersionField(fileVersion, 2);
    case kAppBugVersion:
      return corv::VersionField(fileVersion, 3);
    case kAppNonReleaseVersion:
      return corv::VersionField(fileVersion, 4);
    case kAppStageCode: {
      std::string release = corv::VersionValue("Release");
      static const char *const kStages[] = {"Development", "Alpha", "Beta", "Final"};
      for (int32_t i = 0; i < 4; ++i)
        if (corv::EqualsIgnoringAsciiCase(release, kStages[i])) return i;
      return -1;
    }
    default:
      return -1;  // RegionCode
  }
}

extern "C" CORVstring AppStringVersionStuffGetter(CORVobject app, int32_t which) {
  (void)app;
  static const char *const kKeys[] = {"ProductVersion", "LegalCopyright", "FileDescription"};
  if (which < 0 || which > 2) return nullptr;
  std::string value = corv::VersionValue(kKeys[which]);
  return RuntimeCreateString(value.data(), static_cast<int32_t>(value.size()), kEncodingUTF8);
}
