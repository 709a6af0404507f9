// Project: one configured project with its targets, properties, constants,
// scripts, property-list settings, revision and build progress.
#pragma once

#include "corv.h"
#include "corv/array.h"
#include "corv/dictionary.h"
#include "corv/folder_item.h"
#include "corv/ref.h"
#include "corv/string.h"

namespace kilnrun {

struct TarArchive;

/// A project record. The fields keep the order of the language's
/// declaration; objects and strings are counted references (nil and ""
/// until set), released when the record goes.
struct Project {
  CORVobjectHeader header;
  corv::FolderItem *file;        // the project file; during a build its temporary copy
  corv::Dictionary *buildNames;  // target -> built application name
  CORVstring type;               // project type
  CORVstring path;               // the project file's path as written
  int32_t timeout;               // build wait in seconds; 0 means 300
  corv::Dictionary *properties;  // project property -> value to set
  corv::Dictionary *constants;   // application-class constant -> value to set
  bool buildMacUB;
  bool buildMacIntel;
  bool buildMacPPC;
  bool buildWindows;
  bool buildLinux;
  bool copyResources;
  CORVstring appClassName;            // empty means "App"
  corv::FolderItem *postBuildScript;  // resolved from postBuildScriptPath
  CORVstring postBuildScriptPath;
  CORVstring prebuildScriptPath;
  corv::FolderItem *prebuildScript;  // resolved from prebuildScriptPath
  corv::Dictionary *lastAppBuildTimes;
  int32_t completedCount;
  CORVstring revision;          // working-copy revision of the project's folder; "" when unknown
  CORVstring plistPath;         // property list to apply
  corv::FolderItem *plistFile;  // resolved from plistPath
  bool copyFrameworks;
  bool plistMerge;  // merge the property list instead of replacing it

  /// new Project: a zeroed record, then its Constructor.
  static corv::Ref<Project> New();
  /// Gives buildNames, properties and constants a new empty Dictionary each.
  void Constructor();

  // The project copy and the IDE script (project_script.cc).

  /// Writes the temporary project copy (targets, properties, the application
  /// class redirected to its copy with the configured constants), runs the
  /// project's pre-build script and makes `file` the copy. False, with a
  /// message, for a project file that is not ".cvvcp".
  bool PrepareForBuild();
  /// The temporary copy of the application class file with the configured
  /// constants; nil when the class file cannot be read or copied.
  corv::Ref<corv::FolderItem> PrepareAppClass(const corv::Ref<corv::FolderItem> &classFile);
  /// The target bits of the selected targets.
  int32_t GetBuildFlags();
  /// A "TempKR" file next to the project file that does not exist yet.
  corv::Ref<corv::FolderItem> GetTemporaryFile(const corv::String &suffix);
  /// The two-line IDE script that opens `file` and builds it.
  corv::String RenderBuildScript();
  /// Deletes every "TempKR" item of the project's folder and, unless
  /// `keepWindows`, asks the IDE to close the project's window.
  void Cleanup(bool keepWindows);

  // Completion (project_script.cc).

  /// Whether every selected target has been written anew since the first
  /// poll of this build.
  bool BuildFinished();
  /// Shell path -> modification time (TotalSeconds) of every built application.
  corv::Ref<corv::Dictionary> ListAppModifiedTimes();
  /// The number of selected targets.
  int32_t BuildCount();

  // The built applications (built_apps.cc).

  /// The products of the selected targets that exist in the project folder,
  /// in candidate order.
  corv::Array<corv::FolderItem *> GetBuiltApps();
  /// Finishes the products: property list, resources, frameworks, then the
  /// project's post-build script.
  void PostBuild();
  /// Copies `source`'s tree into every built Mac bundle under `prefix`
  /// ("Contents/Resources/"), in folders and in ".app.tar" archives.
  void CopyDirectoryContents(const corv::Ref<corv::FolderItem> &source, const corv::String &prefix);
  /// Depth-first search for a folder named `name` inside `folder`.
  corv::Ref<corv::FolderItem> FindFolder(const corv::Ref<corv::FolderItem> &folder,
                                         const corv::String &name);
  /// Appends `folder`'s visible tree to `archive`, member names beginning
  /// with `prefix` (which ends in "/").
  void AddFolderFilesToTar(const corv::Ref<TarArchive> &archive, const corv::String &prefix,
                           const corv::Ref<corv::FolderItem> &folder);
  /// Deletes the hidden items directly inside `folder`.
  void DeleteInvisibleFiles(const corv::Ref<corv::FolderItem> &folder);
  /// Deletes a file, or a folder with everything in it.
  void DeleteFileOrFolder(const corv::Ref<corv::FolderItem> &item);
  /// Replaces same-named items in `buildsDirectory` and moves the products in.
  void MoveBuiltApplications(const corv::Ref<corv::FolderItem> &buildsDirectory);
  /// Puts `plistFile` into every built ".app.tar" bundle as its
  /// Contents/Info.plist, replacing or merging.
  void ModifyPListFile();
};
extern const CORVclassDecl kProjectDecl;

/// The error line of PrepareForBuild for a project file it cannot build.
extern const char kUnsupportedProjectFormat[];

}  // namespace kilnrun
