// TarArchive on any bytes: the scan ends, lists only members whose data lies
// inside the file, reads each back whole, and an append keeps every member
// found before it.
#include <string_view>

#include "corv/folder_item.h"
#include "fuzz_input.h"
#include "tar_archive.h"

using corv::Ref;
using corv::String;
using corv::fuzz::Require;
using kilnrun::TarArchive;
using kilnrun::TarFile;

namespace {

using Members = corv::Array<TarFile *>;

Ref<TarArchive> Opened(const Ref<corv::FolderItem> &file) {
  auto archive = corv::New<TarArchive>(&kilnrun::kTarArchiveDecl);
  Require(archive->Open(file), "an existing file opens");
  return archive;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  corv::fuzz::TrapFailureReports();
  Ref<corv::FolderItem> file = corv::GetTemporaryFolderItem();
  if (!file) return 0;
  {
    Ref<corv::BinaryStream> out = file->OpenAsBinaryFile(true);
    if (!out) return 0;
    out->Write(
        String(std::string_view(reinterpret_cast<const char *>(data), size), kEncodingUnknown));
    out->Close();
  }

  Ref<TarArchive> archive = Opened(file);
  auto members = Members::Share(archive->files);
  int32_t found = members.UBound() + 1;
  for (int32_t i = 0; i < found; ++i) {
    Ref<TarFile> member = members(i);
    Require(int64_t{member->startPosition} + 512 + member->GetDataSize() <= int64_t(size),
            "a listed member lies inside the file");
    Require(corv::LenB(archive->ReadFileData(member)) == member->GetDataSize(),
            "a member's data reads back whole");
  }
  Require(archive->CreateFolder(String("added")), "a folder entry is appended");
  archive->Close();

  Ref<TarArchive> again = Opened(file);
  auto reread = Members::Share(again->files);
  Require(reread.UBound() + 1 >= found, "an append keeps the members before it");
  for (int32_t i = 0; i < found; ++i)
    Require(reread(i)->startPosition == members(i)->startPosition,
            "an append keeps the members before it in place");
  again->Close();
  file->Delete();
  return 0;
}
