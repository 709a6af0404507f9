// A minimal ustar archive writer: enough for the stand-in IDE's Mac bundles.
// The project's own tar code replaces it once the tool has one.
#pragma once

#include <string>
#include <vector>

namespace idesim {

struct UstarEntry {
  std::string name;     ///< relative path; a folder's ends in "/"
  std::string content;  ///< empty for folders
  int mode = 0644;
};

/// The bytes of an archive holding the entries in order, ended by the two
/// zero blocks. Names longer than 100 bytes are split over the prefix field
/// at a "/"; a name that cannot be split is cut (the stand-in's are short).
std::string UstarArchive(const std::vector<UstarEntry> &entries);

}  // namespace idesim
