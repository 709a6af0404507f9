// Project: one configured project with its targets, properties, constants,
// scripts, property-list settings, revision and build progress.
#pragma once

#include "corv.h"
#include "corv/dictionary.h"
#include "corv/folder_item.h"
#include "corv/ref.h"
#include "corv/string.h"

namespace kilnrun {

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
};
extern const CORVclassDecl kProjectDecl;

}  // namespace kilnrun
