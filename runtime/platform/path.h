// Native path syntax: what is absolute, how paths are joined, normalised,
// split and quoted for the platform's shell. Pure text work, no disk access.
#pragma once

#include <string>
#include <string_view>

namespace corv::platform {

/// The separator between path components.
extern const char kPathSeparator;

/// True when the path names its item without a base folder.
bool IsAbsolutePath(std::string_view path);

/// The absolute, normalised form of `path`: a relative path is joined to
/// `base` (itself absolute); "." and ".." components are resolved lexically,
/// repeated separators are collapsed and a trailing separator is removed
/// (except from the root).
std::string ResolvePath(std::string_view base, std::string_view path);

/// True when the normalised path names a volume root.
bool IsVolumeRoot(std::string_view path);

/// The last component of a normalised path; the root itself for a root.
std::string_view PathName(std::string_view path);

/// The folder holding a normalised path; empty for a volume root.
std::string_view PathParent(std::string_view path);

/// A normalised folder path joined with a child's name.
std::string JoinPath(std::string_view folder, std::string_view name);

/// The path as one word of the platform shell's command line.
std::string ShellQuotePath(std::string_view path);

}  // namespace corv::platform

namespace corv::platform {

/// The path a shell word stands for (the reverse of ShellQuotePath: single
/// and double quotes and backslash escapes are removed). False when the
/// word is not a plain quoted path (unbalanced quotes, expansions).
bool UnquoteShellPath(std::string_view word, std::string *path);

}  // namespace corv::platform
