// BuildConfig: the configuration file "kilnrun.conf", the values it sets for
// the whole run, the Project records it describes, and ResolvePath, the one
// rule by which configured paths become folder items.
#pragma once

#include "corv.h"
#include "corv/array.h"
#include "corv/dictionary.h"
#include "corv/folder_item.h"
#include "corv/ref.h"
#include "corv/string.h"
#include "project.h"

namespace kilnrun::BuildConfig {

// The module variables: nil, 0 or false until ReadConfiguration sets them,
// then unchanged for the rest of the run (Clear empties them).
extern corv::Ref<corv::FolderItem> &ConfigFile;  // chosen by the driver, else found
extern corv::Ref<corv::FolderItem> &CorvanePath;
extern int32_t CorvaneLaunchTimeout;  // minutes; 0 means 3
extern corv::Ref<corv::FolderItem> &RepositoryRoot;
extern bool SVNUpdate;
extern corv::Ref<corv::FolderItem> &BuildsDirectory;
extern corv::Ref<corv::FolderItem> &PostBuildScript;
extern corv::Ref<corv::FolderItem> &PreBuildScript;
extern bool Donated;
extern bool FailOnProjectError;           // a completed run with a failed project exits with 2
extern corv::Array<Project *> &Projects;  // in file order; nil until the first read

/// Reads ConfigFile (found by FindConfigFile when nil) into the module
/// variables and Projects. False when there is no usable configuration; the
/// failures that have a message have written it to standard error.
bool ReadConfiguration();
/// Reads `file` as the configuration of a fresh run: the module variables
/// start empty. For tests and fuzzing, one file after another.
bool ReadConfigurationFrom(const corv::Ref<corv::FolderItem> &file);
/// Releases every module variable and returns them to nil, 0 and false.
void Clear();

/// The nearest "kilnrun.conf" from the executable's folder up to the root,
/// or nil.
corv::Ref<corv::FolderItem> FindConfigFile();
/// The same search from `folder` up.
corv::Ref<corv::FolderItem> FindConfigFileFrom(corv::Ref<corv::FolderItem> folder);

/// `path` as an item: relative to `base`, or absolute from "/", with ":" as
/// another separator. Nil when the path names nothing; a relative path with
/// a nil `base` raises NilObjectException.
corv::Ref<corv::FolderItem> ResolvePath(const corv::Ref<corv::FolderItem> &base,
                                        const corv::String &path);

/// `text` with every variable name (its two "%" included) replaced by its
/// value, the variables taken in the dictionary's key order.
/// OutOfMemoryException when the text would grow past 1 MiB.
corv::String ExpandVariables(const corv::Ref<corv::Dictionary> &variables,
                             const corv::String &text);
/// ExpandVariables over every value of `target`, in place.
void ExpandDictionary(const corv::Ref<corv::Dictionary> &target,
                      const corv::Ref<corv::Dictionary> &variables);
/// Define's platform filter: true for no tag and for this system's tags.
bool PlatformMatches(const corv::String &tag);

}  // namespace kilnrun::BuildConfig
