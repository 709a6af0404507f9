// The failure reporter: one place where internal consistency failures go.
// It formats the report, sends it to the platform debug log and never stops
// the program; a second reporter (the remote debugger's) may listen too.
#include "core/failure.h"

#include <cstdio>
#include <mutex>

#include "corv.h"
#include "corv_string.h"
#include "platform/debug_log.h"

namespace corv {
namespace {

CORVFailureReporter gSecondReporter = nullptr;
std::mutex gCaptureMutex;
bool gCapturing = false;
std::vector<std::string> gCaptured;
bool gCapturingDebugLog = false;
std::vector<std::string> gCapturedDebugLog;

}  // namespace

void CaptureFailures(bool on) {
  std::lock_guard<std::mutex> hold(gCaptureMutex);
  gCapturing = on;
  gCaptured.clear();
}

std::vector<std::string> TakeCapturedFailures() {
  std::lock_guard<std::mutex> hold(gCaptureMutex);
  std::vector<std::string> out;
  out.swap(gCaptured);
  return out;
}

void CaptureDebugLog(bool on) {
  std::lock_guard<std::mutex> hold(gCaptureMutex);
  gCapturingDebugLog = on;
  gCapturedDebugLog.clear();
}

std::vector<std::string> TakeCapturedDebugLog() {
  std::lock_guard<std::mutex> hold(gCaptureMutex);
  std::vector<std::string> out;
  out.swap(gCapturedDebugLog);
  return out;
}

}  // namespace corv

extern "C" void CORVReportFailure(const char *file, int32_t line, const char *condition,
                                  const char *message) {
  char buffer[1024];
  std::snprintf(buffer, sizeof buffer,
                "Runtime Error\nPlease report what caused this error along with the information "
                "below.\n%s: %d\nFailure Condition: %s\n%s",
                file ? file : "", static_cast<int>(line), condition ? condition : "",
                message ? message : "");
  corv::platform::WriteDebugLog(buffer);
  {
    std::lock_guard<std::mutex> hold(corv::gCaptureMutex);
    if (corv::gCapturing) corv::gCaptured.emplace_back(buffer);
  }
  if (corv::gSecondReporter) corv::gSecondReporter(file, line, condition, message);
}

extern "C" void CORVSetSecondFailureReporter(CORVFailureReporter reporter) {
  corv::gSecondReporter = reporter;
}

extern "C" void SystemDebugLogger(CORVstring text) {
  if (!text) return;
  // The platform log takes UTF-8 here, as the debugger output takes UTF-16
  // on Windows: the text is converted, never cut or decorated.
  CORVstring utf8 = RuntimeConvertString(text, kEncodingUTF8);
  std::string line(reinterpret_cast<const char *>(CORVStringBytes(utf8)), CORVStringLength(utf8));
  RuntimeUnlockString(utf8);
  corv::platform::WriteDebugLog(line.c_str());
  std::lock_guard<std::mutex> hold(corv::gCaptureMutex);
  if (corv::gCapturingDebugLog) corv::gCapturedDebugLog.push_back(line);
}
