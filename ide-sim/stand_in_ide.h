// The stand-in IDE: project windows, the scripts it understands, and the
// products a build writes into the project's folder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "corv/string.h"

namespace idesim {

struct Options {
  std::string socketPath;   ///< empty: CorvaneIDE.SocketPath
  double delaySeconds = 0;  ///< before a build's products appear
  bool neverBuild = false;  ///< BuildApp is accepted and never finishes
  bool folderBundles = false;
  std::string logPath;  ///< empty: no log
  bool foreground = false;
  int exitAfter = 0;  ///< connections to serve; 0: no limit
};

/// Reads the command line (element 0 is the program); false with a message
/// in `error` for an unknown option or a missing or bad value. `help` is set,
/// and nothing else read, when help is asked for in any form kilnrun accepts.
bool ParseOptions(const std::vector<std::string> &arguments, Options &options, bool &help,
                  std::string &error);
extern const char kUsage[];
/// A line on standard error, after the program's name.
void Complain(const corv::String &text);

class StandInIDE {
 public:
  explicit StandInIDE(const Options &options) : options_(options) {}

  /// Runs one received script: the lines it understands, in order.
  void RunScript(const std::string &script);
  /// Writes the products of every build whose delay has passed.
  void FinishDueBuilds();
  bool BuildsPending() const { return !builds_.empty(); }
  const std::vector<std::string> &WindowTitles() const { return windows_; }

 private:
  struct Build {
    std::string projectPath;
    uint32_t dueMilliseconds;
  };
  void OpenFile(const std::string &path);
  void BuildApp();
  void CloseWindows(const std::vector<std::string> &names, bool keepSoleWindow);
  void WriteProducts(const std::string &projectPath);

  Options options_;
  std::vector<std::string> windows_;  // titles, oldest first
  std::vector<std::string> paths_;    // the project file of each window
  std::vector<Build> builds_;
};

/// The JSON text of a string: quoted, with quotes, backslashes and control
/// bytes escaped.
std::string JsonString(const std::string &text);

}  // namespace idesim
