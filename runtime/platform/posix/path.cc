// Native path syntax on POSIX: "/"-separated paths with one root, "/".
#include "platform/path.h"

#include <vector>

namespace corv::platform {

const char kPathSeparator = '/';

bool IsAbsolutePath(std::string_view path) {
  return !path.empty() && path[0] == '/';
}

std::string ResolvePath(std::string_view base, std::string_view path) {
  std::string joined;
  if (!IsAbsolutePath(path)) {
    joined.assign(base);
    joined += '/';
  }
  joined.append(path);

  std::vector<std::string_view> parts;
  std::string_view rest = joined;
  while (!rest.empty()) {
    size_t slash = rest.find('/');
    std::string_view part = rest.substr(0, slash);
    rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();  // ".." of the root is the root
      continue;
    }
    parts.push_back(part);
  }
  if (parts.empty()) return "/";
  std::string result;
  for (std::string_view part : parts) {
    result += '/';
    result.append(part);
  }
  return result;
}

bool IsVolumeRoot(std::string_view path) {
  return path == "/";
}

std::string_view PathName(std::string_view path) {
  if (IsVolumeRoot(path)) return path;
  size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string_view PathParent(std::string_view path) {
  if (IsVolumeRoot(path)) return {};
  size_t slash = path.rfind('/');
  if (slash == std::string_view::npos) return {};
  return slash == 0 ? path.substr(0, 1) : path.substr(0, slash);
}

std::string JoinPath(std::string_view folder, std::string_view name) {
  std::string result(folder);
  if (result.empty() || result.back() != '/') result += '/';
  result.append(name);
  return result;
}

namespace {

bool IsShellSafe(char c) {
  if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) return true;
  switch (c) {
    case '_':
    case '@':
    case '%':
    case '+':
    case '=':
    case ':':
    case ',':
    case '.':
    case '/':
    case '-':
      return true;
    default:
      return false;
  }
}

}  // namespace

std::string ShellQuotePath(std::string_view path) {
  bool safe = !path.empty();
  for (char c : path) safe = safe && IsShellSafe(c);
  if (safe) return std::string(path);
  // Inside single quotes the shell takes every byte literally except the
  // quote itself, which is closed, written in double quotes and reopened.
  std::string quoted = "'";
  for (char c : path) {
    if (c == '\'')
      quoted += "'\"'\"'";
    else
      quoted += c;
  }
  quoted += '\'';
  return quoted;
}

}  // namespace corv::platform

namespace corv::platform {

bool UnquoteShellPath(std::string_view word, std::string *path) {
  path->clear();
  for (size_t i = 0; i < word.size(); ++i) {
    char c = word[i];
    if (c == '\'') {
      size_t end = word.find('\'', i + 1);
      if (end == std::string_view::npos) return false;
      path->append(word.substr(i + 1, end - i - 1));
      i = end;
    } else if (c == '"') {
      size_t end = word.find('"', i + 1);
      if (end == std::string_view::npos) return false;
      std::string_view inner = word.substr(i + 1, end - i - 1);
      if (inner.find_first_of("$`\\") != std::string_view::npos) return false;
      path->append(inner);
      i = end;
    } else if (c == '\\') {
      if (i + 1 >= word.size()) return false;
      *path += word[++i];
    } else if (c == '$' || c == '`' || c == ' ' || c == ';' || c == '*' || c == '?') {
      return false;  // would be expanded or split by the shell
    } else {
      *path += c;
    }
  }
  return true;
}

}  // namespace corv::platform
