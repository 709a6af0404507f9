// The failure reporter's C++ side: capturing reports for tests.
#pragma once

#include <string>
#include <vector>

namespace corv {

/// While capture is on, every report's formatted text is also kept in memory.
void CaptureFailures(bool on);
/// The texts kept since capture was turned on or last taken; empties the store.
std::vector<std::string> TakeCapturedFailures();

}  // namespace corv
