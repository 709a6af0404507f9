/* FolderItem: files and folders named by absolute path, which need not exist
 * yet. Failures of the platform land in LastErrorCode; only argument errors
 * raise. The openers of the file streams are declared in corv_stream.h. */
#ifndef CORV_FOLDERITEM_H
#define CORV_FOLDERITEM_H

#include <stdbool.h>

#include "corv_object.h"

CORV_BEGIN_DECLS

/* The LastErrorCode values the runtime names; any other value is the
 * platform's own error number. */
enum {
  kFolderItemErrorTargetExists = 80,
  kFolderItemErrorNilDestination = 100, /* CopyFileTo or MoveFileTo given nil */
  kFolderItemErrorNotFound = 101,
  kFolderItemErrorAccessDenied = 102,
  kFolderItemErrorNoSpace = 103, /* out of memory or disk space */
  kFolderItemErrorBusy = 104,
  kFolderItemErrorInvalidName = 105,
  kFolderItemErrorFolderNotEmpty = 145
};

/* The implementation object behind a FolderItem (its mImp). */
typedef struct CORVfolderItemImp {
  CORVobjectHeader header;
  int32_t lastError;  /* LastErrorCode; 0 after each successful operation */
  CORVstring path;    /* UTF-8, absolute, no trailing separator except the root */
  uint8_t volumeRoot; /* the path names a volume root */
  uint8_t created;    /* this item created its file */
  uint8_t noChildren; /* Child and Count see no entries; creating files is refused */
} CORVfolderItemImp;

typedef struct CORVfolderItem {
  CORVobjectHeader header;
  CORVobject mImp; /* counted CORVfolderItemImp */
} CORVfolderItem;

extern const CORVclassDecl kFolderItemDecl;
extern const CORVclassDecl kFolderItemImpDecl;

/* Creation. Mode 0: native path; 1: shell path; 2: "file://" URL. */
CORVobject RuntimeGetFolderItem(CORVstring path, int32_t mode);
void FolderItemPathCtor(CORVobject self, CORVstring path, int32_t mode);
void FolderItemPathCtorNoParams(CORVobject self);
void FolderItemCopyCtor(CORVobject self, CORVobject other);
CORVobject getTemporaryFolderItem(void);
CORVobject getVolume(int32_t index);
CORVobject GetSpecialFolder(int32_t volume, int32_t code);

/* Navigation and queries. */
CORVobject FolderChild(CORVobject folder, CORVstring name);
CORVobject FolderTrueChild(CORVobject folder, CORVstring name);
CORVobject folderParentGetter(CORVobject item);
int32_t fileCountGetter(CORVobject folder);
CORVobject FolderItemItem(CORVobject folder, int32_t index);
CORVobject FolderItemTrueItem(CORVobject folder, int32_t index);
bool fileExistsGetter(CORVobject item);
bool fileDirectoryGetter(CORVobject item);
CORVstring fileNameGetter(CORVobject item);
CORVstring fileAbsolutePathGetter(CORVobject item);
CORVstring FileShellPathGetter(CORVobject item);
/* A new Date in local time from the last-write time; a missing item gives a
 * Date whose TotalSeconds is 0. */
CORVobject folderGetModified(CORVobject item);
bool fileVisibleGetter(CORVobject item);
/* The path itself is a symbolic link (whatever it points at). Walks of a
 * folder tree pass over links to folders instead of descending into them. */
bool FolderItemIsSymbolicLink(CORVobject item);
bool FolderItemIsCurrentlyWriteable(CORVobject item);
int32_t FolderItemGetLastError(CORVobject item);
void FolderItemSetLastError(CORVobject item, int32_t code);

/* Operations: true on success; on failure LastErrorCode says why. */
bool FolderItemDelete(CORVobject item);
bool FolderItemCreateAsFolder(CORVobject item);
bool FolderItemCopyFileTo(CORVobject item, CORVobject destination);
bool FolderItemMoveFileTo(CORVobject item, CORVobject destination);

CORV_END_DECLS

#endif
