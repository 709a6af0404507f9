// The failure reporter's and the debug log's C++ side: capturing what they
// write, for tests.
#pragma once

#include <string>
#include <vector>

namespace corv {

/// While capture is on, every report's formatted text is also kept in memory.
void CaptureFailures(bool on);
/// The texts kept since capture was turned on or last taken; empties the store.
std::vector<std::string> TakeCapturedFailures();

/// The same for the lines the application writes with System.DebugLog.
void CaptureDebugLog(bool on);
std::vector<std::string> TakeCapturedDebugLog();

}  // namespace corv
