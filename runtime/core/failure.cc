// The failure reporter: one place where internal consistency failures go.
// It formats the report, sends it to the platform debug log and never stops
// the program; a second reporter (the remote debugger's) may listen too.
#include "core/failure.h"

#include <cstdio>
#include <mutex>

#include "corv.h"
#include "platform/debug_log.h"

namespace corv {
namespace {

CORVFailureReporter gSecondReporter = nullptr;
std::mutex gCaptureMutex;
bool gCapturing = false;
std::vector<std::string> gCaptured;

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
