// What the FolderItem entry points share: making items, reaching their
// implementation object, path text and error codes.
#pragma once

#include <string>
#include <string_view>

#include "corv_folderitem.h"

namespace corv::folder_item {

/// The implementation of a FolderItem. A nil item raises NilObjectException;
/// an item without one is reported as `what` and gives null.
CORVfolderItemImp *ImpOf(CORVobject item, const char *what = "entry->mImp");

/// The item's path as UTF-8 text.
std::string PathOf(const CORVfolderItemImp *imp);

/// A new item (one reference) for a normalised absolute path.
CORVobject NewItem(const std::string &path);

/// The UTF-8 text of a string: text in another encoding is converted; text
/// with no known encoding, or that cannot be converted, is taken as it is.
std::string TextOf(CORVstring s);

/// A new UTF-8 string for text; null for "".
CORVstring MakeText(std::string_view text);

/// Stores the FolderItem code for a platform error (0 clears it).
void SetPlatformError(CORVfolderItemImp *imp, int error);

/// True when the item's folder is listed as having entries (an existing
/// folder without the no-children flag).
bool HasChildren(const CORVfolderItemImp *imp);

}  // namespace corv::folder_item
