// SourceControl: finding the Subversion tools, bringing the working copy up
// to date and reading the revision of a project's folder.
#pragma once

#include "corv/folder_item.h"
#include "corv/ref.h"
#include "corv/string.h"

namespace kilnrun::SourceControl {

/// The folder holding the tools, or nil when there are none: updates then
/// do nothing and every revision is "".
corv::Ref<corv::FolderItem> SvnBinDirectory();
/// True when that folder holds the TortoiseSVN tools and no "svn".
bool UseTortoise();

/// Looks for the command-line client where it is installed by default, in
/// the order given ("/usr/bin/svn", then "/usr/local/bin/svn" by default).
/// Runs before the configuration is read, so that a configured folder wins.
void InitTools();
void InitTools(const corv::StringArray &candidates);
/// The configured folder: BuildConfig resolves the "SVNBinDirectory" value
/// with ResolvePath(nil, value) and hands the item over. Nil leaves the
/// setting as it is; an item that is not a folder (one of the tools) selects
/// the folder holding it.
void SetBinDirectory(const corv::Ref<corv::FolderItem> &item);
/// Back to no tools (the state before InitTools).
void ForgetTools();

/// Runs "svn" with `arguments` (already quoted for the shell) in the C
/// message locale and returns its standard output; "" without tools.
corv::String RunSvn(const corv::String &arguments);
/// Brings the working copy at `folder` up to date. Nothing is checked: the
/// build goes on with the working copy as it is.
void UpdateWorkingCopy(const corv::Ref<corv::FolderItem> &folder);
/// The working-copy revision of `folder`, trimmed; "" when it cannot be
/// read. Leaves no temporary file behind.
corv::String GetRevision(const corv::Ref<corv::FolderItem> &folder);

}  // namespace kilnrun::SourceControl
