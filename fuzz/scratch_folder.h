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
  ScratchFolder() {
    // The temporary item is a new file; a folder takes its place. Another
    // process clearing the temporary folder meanwhile costs one more try.
    for (int tries = 0; tries < 5 && !folder_; ++tries) {
      folder_ = GetTemporaryFolderItem();
      if (folder_ && !(folder_->Delete() && folder_->CreateAsFolder())) folder_ = nullptr;
    }
    Require(bool(folder_), "a scratch folder can be made");
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
