// EUC-JP and ISO-2022-JP as the runtime transcodes them itself: to and from
// Shift-JIS (code page 932), which the converters then take from there.
#pragma once

#include <string>
#include <string_view>

namespace corv {

std::string EucJpToShiftJis(std::string_view euc);
std::string ShiftJisToEucJp(std::string_view sjis);
std::string Iso2022JpToShiftJis(std::string_view iso);
std::string ShiftJisToIso2022Jp(std::string_view sjis);

}  // namespace corv
