// Putting the configured property list into the built Mac bundles as their
// Contents/Info.plist, replacing the bundle's list or merged with it: inside
// ".app.tar" archives, where the new member follows the old one, and in
// bundle folders.
#include <cstdint>

#include "corv/stream.h"
#include "corv/string.h"
#include "plist.h"
#include "project.h"
#include "tar_archive.h"

namespace kilnrun {

using corv::FolderItem;
using corv::Ref;
using corv::String;

namespace {

// The whole content of `file`, byte for byte; false when it cannot be read.
bool ReadWhole(const Ref<FolderItem> &file, String *bytes) {
  Ref<corv::BinaryStream> stream = file->OpenAsBinaryFile(false);
  if (!stream) return false;
  int64_t length = stream->Length();
  bool whole = length <= INT32_MAX;
  if (whole) *bytes = stream->Read(static_cast<int32_t>(length));
  whole = whole && stream->LastErrorCode() == 0 && corv::LenB(*bytes) == length;
  stream->Close();
  return whole;
}

// Writes `bytes` as the whole content of the new file `file`, no line
// ending added; false when the file does not hold all of them.
bool WriteWhole(const Ref<FolderItem> &file, const String &bytes) {
  Ref<corv::BinaryStream> stream = file->CreateBinaryFile("");
  if (!stream) return false;
  stream->Write(bytes);
  stream->Flush();
  bool written = stream->LastErrorCode() == 0 && stream->Length() == corv::LenB(bytes);
  stream->Close();
  return written;
}

// The temporary ".plist" file of one product, deleted however the step ends
// (a merge of a text that holds no property list raises).
class TemporaryPlist {
 public:
  explicit TemporaryPlist(Ref<FolderItem> item) : item_(std::move(item)) {}
  ~TemporaryPlist() {
    if (item_ && item_->Exists()) item_->Delete();
  }
  TemporaryPlist(const TemporaryPlist &) = delete;
  TemporaryPlist &operator=(const TemporaryPlist &) = delete;
  const Ref<FolderItem> &item() const { return item_; }

 private:
  Ref<FolderItem> item_;
};

Ref<TarFile> FindMember(const Ref<TarArchive> &archive, const String &name) {
  auto files = corv::Array<TarFile *>::Share(archive->files);
  for (int32_t i = 0; i <= files.UBound(); ++i)
    if (String::Share(files(i)->name) == name) return files(i);
  return nullptr;
}

// The bundle folder's Contents/Info.plist when it is a file reached without
// going through a link to a folder; nil otherwise.
Ref<FolderItem> BundlePlist(const Ref<FolderItem> &bundle) {
  if (!bundle->Directory() || bundle->IsSymbolicLink()) return nullptr;
  Ref<FolderItem> contents = bundle->TrueChild("Contents");
  if (!contents || !contents->Directory() || contents->IsSymbolicLink()) return nullptr;
  Ref<FolderItem> plist = contents->TrueChild("Info.plist");
  if (!plist || !plist->Exists() || plist->Directory()) return nullptr;
  return plist;
}

// Puts a copy of `replacement` in place of the file `target`. The copy is
// made beside the target first, so that a failed copy leaves the old file.
void ReplaceFile(const Ref<FolderItem> &replacement, const Ref<FolderItem> &target) {
  Ref<FolderItem> staged = target->Parent()->TrueChild(replacement->Name());
  if (!staged || staged->Exists()) return;
  if (!replacement->CopyFileTo(staged)) return;
  if (!target->Delete()) {
    staged->Delete();
    return;
  }
  staged->MoveFileTo(target);
}

}  // namespace

void Project::ModifyPListFile() {
  if (!plistFile) return;
  corv::Array<FolderItem *> apps = GetBuiltApps();
  for (int32_t i = 0; i <= apps.UBound(); ++i) {
    Ref<FolderItem> app = apps(i);
    String name = app->Name();
    Ref<TarArchive> archive;
    String memberName;
    Ref<FolderItem> bundlePlist;
    String current;
    if (!app->Directory() && corv::Right(name, 8) == ".app.tar") {
      memberName = corv::Left(name, corv::Len(name) - 4) + "/Contents/Info.plist";
      archive = corv::New<TarArchive>(&kTarArchiveDecl);
      if (!archive->Open(app)) continue;
      Ref<TarFile> member = FindMember(archive, memberName);
      if (!member) continue;
      current = archive->ReadFileData(member);
    } else {
      // A bundle folder: only one that has a list of its own is edited.
      bundlePlist = BundlePlist(app);
      if (!bundlePlist || !ReadWhole(bundlePlist, &current)) continue;
    }

    String configured;
    if (!ReadWhole(Ref<FolderItem>::Share(plistFile), &configured)) continue;
    String text = configured;
    if (plistMerge)
      text = PlistUtils::WritePlist(PlistUtils::MergePlist(PlistUtils::ParsePlist(current),
                                                           PlistUtils::ParsePlist(configured)));

    TemporaryPlist temporary(GetTemporaryFile(".plist"));
    if (!temporary.item() || !WriteWhole(temporary.item(), text)) continue;
    if (archive) {
      Ref<TarFile> member = corv::New<TarFile>(&kTarFileDecl);
      member->LoadFromFile(temporary.item());
      corv::Assign(&member->name, memberName);
      archive->AddFileToArchive(member);
      archive->Close();
    } else {
      ReplaceFile(temporary.item(), bundlePlist);
    }
  }
}

}  // namespace kilnrun
