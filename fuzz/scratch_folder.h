// A scratch folder for the targets whose code reads and writes files: made
// fresh for one input in the temporary folder, and removed with everything
// in it when the input is done, so that no run sees what another left.
#pragma once

#include <string_view>

#include "corv/folder_item.h"
#include "corv/string.h"
#include "fuzz_input.h"

namespace corv::fuzz {

class ScratchFolder {
 public:
  ScratchFolder() : folder_(GetTemporaryFolderItem()) {
    // The temporary item is a new name; it becomes a folder in its place.
    Require(folder_ && folder_->Delete() && folder_->CreateAsFolder(),
            "a scratch folder can be made");
  }
  ~ScratchFolder() { Remove(folder_); }
  ScratchFolder(const ScratchFolder &) = delete;
  ScratchFolder &operator=(const ScratchFolder &) = delete;

  const Ref<FolderItem> &folder() const { return folder_; }

  /// Writes `bytes` as the file `name` of the folder and returns it.
  Ref<FolderItem> Write(const char *name, std::string_view bytes) {
    Ref<FolderItem> file = folder_->Child(name);
    Ref<BinaryStream> out = file->CreateBinaryFile(String());
    Require(bool(out), "a scratch file can be written");
    out->Write(String(bytes, kEncodingUnknown));
    out->Close();
    return file;
  }

 private:
  // Folders are emptied first; links are removed, never followed.
  static void Remove(const Ref<FolderItem> &item) {
    if (item->Directory() && !item->IsSymbolicLink())
      for (int32_t i = item->Count(); i >= 1; --i) Remove(item->TrueItem(i));
    item->Delete();
  }

  Ref<FolderItem> folder_;
};

}  // namespace corv::fuzz
