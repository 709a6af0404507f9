// The scripts the stand-in understands and the products its builds write.
#include "stand_in_ide.h"

#include <cstdio>
#include <cstdlib>
#include <map>

#include "corv/console.h"
#include "corv/folder_item.h"
#include "ustar.h"

namespace idesim {
namespace {

constexpr uint32_t kWindowsBit = 0x10, kLinuxBit = 0x80;
struct MacTarget {
  uint32_t bit;
  const char *suffix;  // the IDE's product suffix when it builds more than one Mac target
};
constexpr MacTarget kMacTargets[] = {
    {0x200, "-Mac OS (Mach-O PowerPC)"},
    {0x1000, "-Mac OS (Mach-O i386)"},
    {0x2000, "-Mac OS (Universal)"},
};

std::string Lower(std::string text) {
  for (char &c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return text;
}

std::string TrimSpaces(const std::string &text) {
  size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

bool EndsWith(const std::string &text, const std::string &end) {
  return text.size() >= end.size() && Lower(text.substr(text.size() - end.size())) == Lower(end);
}

// The text between the first and the last double quote of a line (the IDE's
// scripts put names and paths in quotes without escaping them).
std::string Quoted(const std::string &line) {
  size_t first = line.find('"'), last = line.rfind('"');
  if (first == std::string::npos || last == first) return "";
  return line.substr(first + 1, last - first - 1);
}

std::string FileName(const std::string &path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The project's "key=value" lines, keys in lower case.
std::map<std::string, std::string> ReadProject(const std::string &path) {
  std::map<std::string, std::string> values;
  corv::Ref<corv::FolderItem> item = corv::GetFolderItem(corv::String(path));
  if (!item) return values;
  corv::Ref<corv::TextInputStream> in = item->OpenAsTextFile();
  if (!in) return values;
  while (!in->EndOfFile()) {
    std::string line(in->ReadLine().view());
    size_t equals = line.find('=');
    if (equals != std::string::npos)
      values.emplace(Lower(line.substr(0, equals)), TrimSpaces(line.substr(equals + 1)));
  }
  return values;
}

uint32_t BuildFlags(const std::string &value) {
  if (Lower(value.substr(0, 2)) != "&h") return 0;
  return static_cast<uint32_t>(std::strtoul(value.c_str() + 2, nullptr, 16));
}

void WriteFile(corv::Ref<corv::FolderItem> &folder, const std::string &name,
               const std::string &bytes) {
  corv::Ref<corv::FolderItem> item = folder->Child(corv::String(name));
  corv::Ref<corv::BinaryStream> out = item ? item->CreateBinaryFile("") : nullptr;
  if (!out) {
    Complain(corv::String("cannot write ") + corv::String(std::string_view(name)));
    return;
  }
  out->Write(corv::String(std::string_view(bytes), 0xFFFF));
  out->Close();
}

corv::Ref<corv::FolderItem> MakeFolder(corv::Ref<corv::FolderItem> &parent,
                                       const std::string &name) {
  corv::Ref<corv::FolderItem> folder = parent->Child(corv::String(name));
  if (folder && !folder->Exists()) folder->CreateAsFolder();
  return folder;
}

std::string InfoPlist(const std::string &name) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
         "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
         "<plist version=\"1.0\">\n<dict>\n"
         "\t<key>CFBundleExecutable</key>\n\t<string>" +
         name + "</string>\n\t<key>CFBundleName</key>\n\t<string>" + name +
         "</string>\n\t<key>CFBundlePackageType</key>\n\t<string>APPL</string>\n"
         "</dict>\n</plist>\n";
}

std::string Executable(const std::string &kind, const std::string &name) {
  return "#!/bin/sh\necho \"" + name + ": a " + kind + " build of corvane-ide-sim\"\n";
}

}  // namespace

void Complain(const corv::String &text) {
  corv::StdErr()->WriteLine(corv::String("corvane-ide-sim: ") + text);
}

const char kUsage[] =
    "Usage: corvane-ide-sim [options]\n"
    "A stand-in for the Corvane IDE: it listens where kilnrun looks for the IDE,\n"
    "runs the scripts kilnrun sends (OpenFile, BuildApp, closing windows) and\n"
    "writes stand-in products into the project's folder.\n"
    "  --socket-path PATH  listen at the port of PATH instead of the IDE's own\n"
    "  --delay SECONDS     let a build's products appear only after SECONDS\n"
    "  --never-build       accept BuildApp and never finish it\n"
    "  --folder-bundles    write Mac products as folders instead of .app.tar\n"
    "  --log FILE          append every script received to FILE, one JSON object a line\n"
    "  --foreground        stay attached to the terminal (otherwise it detaches)\n"
    "  --exit-after N      end after serving N connections\n"
    "  --help              show this text and do nothing else\n"
    "See corvane-ide-sim(1) and kilnrun(1).";

// A help request wins over every other option, mistaken ones included, as
// kilnrun's does: "help" bare or after one or two hyphens, in any letter case
// (or -h), anywhere but as the value of an option that takes one.
bool AsksForHelp(const std::vector<std::string> &arguments) {
  for (size_t i = 1; i < arguments.size(); ++i) {
    const std::string &a = arguments[i];
    if (a == "--socket-path" || a == "--delay" || a == "--log" || a == "--exit-after") {
      ++i;
      continue;
    }
    size_t hyphens = a.rfind("--", 0) == 0 ? 2 : a.rfind('-', 0) == 0 ? 1 : 0;
    if (Lower(a.substr(hyphens)) == "help" || a == "-h") return true;
  }
  return false;
}

bool ParseOptions(const std::vector<std::string> &arguments, Options &options, bool &help,
                  std::string &error) {
  help = AsksForHelp(arguments);
  if (help) return true;
  for (size_t i = 1; i < arguments.size(); ++i) {
    std::string option = arguments[i];
    std::string value;
    bool inlineValue = false;
    if (size_t equals = option.find('=');
        option.rfind("--", 0) == 0 && equals != std::string::npos) {
      value = option.substr(equals + 1);
      option = option.substr(0, equals);
      inlineValue = true;
    }
    auto takeValue = [&]() {
      if (inlineValue) return true;
      if (i + 1 >= arguments.size()) {
        error = option + " needs a value";
        return false;
      }
      value = arguments[++i];
      return true;
    };
    auto number = [&](double &out, double least) {
      char *end = nullptr;
      out = std::strtod(value.c_str(), &end);
      if (value.empty() || *end != '\0' || !(out >= least)) {
        error = option + ": not a number of at least " + std::to_string(static_cast<int>(least)) +
                ": " + value;
        return false;
      }
      return true;
    };
    double n = 0;
    if (option == "--socket-path") {
      if (!takeValue()) return false;
      options.socketPath = value;
    } else if (option == "--delay") {
      if (!takeValue() || !number(options.delaySeconds, 0)) return false;
    } else if (option == "--never-build") {
      options.neverBuild = true;
    } else if (option == "--folder-bundles") {
      options.folderBundles = true;
    } else if (option == "--log") {
      if (!takeValue()) return false;
      options.logPath = value;
    } else if (option == "--foreground") {
      options.foreground = true;
    } else if (option == "--exit-after") {
      if (!takeValue() || !number(n, 1)) return false;
      options.exitAfter = static_cast<int>(n);
    } else {
      error = "unknown option " + arguments[i];
      return false;
    }
  }
  return true;
}

void StandInIDE::RunScript(const std::string &script) {
  std::vector<std::string> lines;
  for (size_t start = 0; start <= script.size();) {
    size_t end = script.find('\n', start);
    if (end == std::string::npos) end = script.size();
    lines.push_back(TrimSpaces(script.substr(start, end - start)));
    start = end + 1;
  }
  // The window-closing script is run as a whole: its loop is the IDE's own.
  bool closing = false, keepSoleWindow = false;
  std::vector<std::string> names;
  for (const std::string &line : lines) {
    std::string lower = Lower(line);
    if (lower.rfind("openfile ", 0) == 0)
      OpenFile(Quoted(line));
    else if (lower == "docommand( \"buildapp\" )")
      BuildApp();
    else if (lower == "if windowcount < 2 then return")
      keepSoleWindow = true;
    else if (lower.rfind("names.append ", 0) == 0)
      names.push_back(Quoted(line));
    else if (lower == "for each name in names")
      closing = true;
  }
  if (closing) CloseWindows(names, keepSoleWindow);
}

void StandInIDE::OpenFile(const std::string &path) {
  std::string name = FileName(path);
  windows_.push_back(name + " [" + name + "]");
  paths_.push_back(path);
}

void StandInIDE::BuildApp() {
  if (paths_.empty()) {
    Complain("BuildApp with no project open");
    return;
  }
  if (options_.neverBuild) return;
  uint32_t due = CORVCurrentMilliseconds() + static_cast<uint32_t>(options_.delaySeconds * 1000);
  builds_.push_back({paths_.back(), due});
}

void StandInIDE::CloseWindows(const std::vector<std::string> &names, bool keepSoleWindow) {
  if (keepSoleWindow && windows_.size() < 2) return;
  for (const std::string &name : names)
    for (size_t i = 0; i < windows_.size(); ++i)
      if (windows_[i].find("[" + name + "]") != std::string::npos) {
        windows_.erase(windows_.begin() + static_cast<ptrdiff_t>(i));
        paths_.erase(paths_.begin() + static_cast<ptrdiff_t>(i));
        break;
      }
}

void StandInIDE::FinishDueBuilds() {
  uint32_t now = CORVCurrentMilliseconds();
  for (size_t i = 0; i < builds_.size();) {
    // Due once "now" has reached it, also across the counter's wrap.
    if (static_cast<int32_t>(now - builds_[i].dueMilliseconds) >= 0) {
      std::string path = builds_[i].projectPath;
      builds_.erase(builds_.begin() + static_cast<ptrdiff_t>(i));
      WriteProducts(path);
    } else {
      ++i;
    }
  }
}

void StandInIDE::WriteProducts(const std::string &projectPath) {
  corv::Ref<corv::FolderItem> project = corv::GetFolderItem(corv::String(projectPath));
  corv::Ref<corv::FolderItem> folder = project ? project->Parent() : nullptr;
  if (!project || !project->Exists() || !folder) {
    Complain(corv::String("cannot open ") + corv::String(std::string_view(projectPath)));
    return;
  }
  std::map<std::string, std::string> values = ReadProject(projectPath);
  uint32_t flags = BuildFlags(values["buildflags"]);
  if (flags & kWindowsBit) {
    std::string name = values["windowsname"];
    if (!EndsWith(name, ".exe")) name += ".exe";
    WriteFile(folder, name, Executable("Windows", name));
  }
  if (flags & kLinuxBit)
    WriteFile(folder, values["linuxx86name"], Executable("Linux", values["linuxx86name"]));
  int macTargets = 0;
  for (const MacTarget &target : kMacTargets) macTargets += (flags & target.bit) ? 1 : 0;
  for (const MacTarget &target : kMacTargets) {
    if (!(flags & target.bit)) continue;
    std::string name = values["maccarbonmachname"] + (macTargets > 1 ? target.suffix : "");
    std::string executable = Executable("Mac", name);
    if (options_.folderBundles) {
      corv::Ref<corv::FolderItem> bundle = MakeFolder(folder, name);
      corv::Ref<corv::FolderItem> contents = bundle ? MakeFolder(bundle, "Contents") : nullptr;
      corv::Ref<corv::FolderItem> macos = contents ? MakeFolder(contents, "MacOS") : nullptr;
      if (!macos) continue;
      WriteFile(contents, "Info.plist", InfoPlist(name));
      WriteFile(macos, name, executable);
    } else {
      std::string root = name + ".app/";
      WriteFile(folder, name + ".app.tar",
                UstarArchive({{root, "", 0755},
                              {root + "Contents/", "", 0755},
                              {root + "Contents/Info.plist", InfoPlist(name), 0644},
                              {root + "Contents/MacOS/", "", 0755},
                              {root + "Contents/MacOS/" + name, executable, 0755}}));
    }
  }
}

std::string JsonString(const std::string &text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c == '\n') {
      out += "\\n";
    } else if (c < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", c);
      out += escape;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

}  // namespace idesim
