// Native path syntax on Windows: backslash-separated paths on volumes, a
// volume being a drive ("C:") or a network share ("\\server\share"). A
// drive root is written "C:", without its backslash; "/" is taken as a
// separator too, as the system itself takes it.
#include "platform/path.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "platform/windows/wide.h"

namespace corv::platform {

const char kPathSeparator = '\\';

namespace {

bool IsSeparator(char c) {
  return c == '\\' || c == '/';
}

bool IsDrive(std::string_view path) {
  return path.size() >= 2 && path[1] == ':';
}

bool IsNetwork(std::string_view path) {
  return path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1]);
}

// The components after "\\": the server and the share make the volume.
std::vector<std::string_view> Components(std::string_view rest) {
  std::vector<std::string_view> parts;
  while (!rest.empty()) {
    size_t separator = rest.find_first_of("\\/");
    std::string_view part = rest.substr(0, separator);
    rest = separator == std::string_view::npos ? std::string_view() : rest.substr(separator + 1);
    if (!part.empty()) parts.push_back(part);
  }
  return parts;
}

// The length of the volume part of a normalised path: "C:" or "\\server\share".
size_t VolumeLength(std::string_view path) {
  if (IsDrive(path)) return 2;
  if (!IsNetwork(path)) return 0;
  size_t server = path.find('\\', 2);
  if (server == std::string_view::npos) return path.size();
  size_t share = path.find('\\', server + 1);
  return share == std::string_view::npos ? path.size() : share;
}

}  // namespace

bool IsAbsolutePath(std::string_view path) {
  return IsDrive(path) || IsNetwork(path);
}

std::string ResolvePath(std::string_view base, std::string_view path) {
  std::string joined;
  if (IsAbsolutePath(path)) {
    joined.assign(path);
  } else if (!path.empty() && IsSeparator(path[0])) {
    joined.assign(base.substr(0, VolumeLength(base)));  // only the base's volume
    joined.append(path);
  } else {
    joined.assign(base);
    joined += '\\';
    joined.append(path);
  }

  std::string volume;
  std::string_view rest;
  std::vector<std::string_view> parts;
  if (IsDrive(joined)) {
    volume = joined.substr(0, 2);
    rest = std::string_view(joined).substr(2);
  } else if (!IsNetwork(joined)) {
    rest = joined;  // a base that was not absolute: no volume to keep
  } else {
    // A network path: its first two components are the volume.
    std::vector<std::string_view> all = Components(std::string_view(joined).substr(2));
    volume = "\\\\";
    for (size_t i = 0; i < all.size() && i < 2; ++i) {
      if (i) volume += '\\';
      volume.append(all[i]);
    }
    for (size_t i = 2; i < all.size(); ++i) parts.push_back(all[i]);
  }
  std::vector<std::string_view> kept;
  std::vector<std::string_view> given = rest.empty() ? parts : Components(rest);
  for (std::string_view part : given) {
    if (part == ".") continue;
    if (part == "..") {
      if (!kept.empty()) kept.pop_back();  // ".." of a volume root is the root
      continue;
    }
    kept.push_back(part);
  }
  std::string result = volume;
  for (std::string_view part : kept) {
    result += '\\';
    result.append(part);
  }
  return result;
}

bool IsVolumeRoot(std::string_view path) {
  return IsAbsolutePath(path) && VolumeLength(path) == path.size();
}

std::string_view PathName(std::string_view path) {
  if (IsVolumeRoot(path)) return path;
  size_t separator = path.rfind('\\');
  return separator == std::string_view::npos ? path : path.substr(separator + 1);
}

std::string_view PathParent(std::string_view path) {
  if (IsVolumeRoot(path)) return {};
  size_t separator = path.rfind('\\');
  if (separator == std::string_view::npos) return {};
  size_t volume = VolumeLength(path);
  return path.substr(0, separator < volume ? volume : separator);
}

std::string JoinPath(std::string_view folder, std::string_view name) {
  std::string result(folder);
  if (result.empty() || result.back() != '\\') result += '\\';
  result.append(name);
  return result;
}

// The short (8.3) form, which needs no quoting on a command line; the path
// itself when the system has none (the item does not exist) or it is too long.
std::string ShellQuotePath(std::string_view path) {
  std::wstring wide = Wide(path);
  wchar_t shortPath[MAX_PATH];
  DWORD length = GetShortPathNameW(wide.c_str(), shortPath, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return std::string(path);
  return Narrow(std::wstring_view(shortPath, length));
}

}  // namespace corv::platform

namespace corv::platform {

// A word of cmd.exe's command line: the path, in double quotes or not.
bool UnquoteShellPath(std::string_view word, std::string *path) {
  path->clear();
  for (char c : word) {
    if (c == '"') continue;
    if (c == '%' || c == '^' || c == '&' || c == '|' || c == '<' || c == '>') return false;
    *path += c;
  }
  return std::count(word.begin(), word.end(), '"') % 2 == 0;
}

}  // namespace corv::platform
