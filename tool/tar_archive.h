// TarFile and TarArchive: reading and appending to the tar archives that Mac
// bundles arrive in (".app.tar"). The archive is never made from nothing:
// an existing one is opened, listed, read back and appended to.
#pragma once

#include <cstdint>

#include "corv.h"
#include "corv/folder_item.h"
#include "corv/ref.h"
#include "corv/stream.h"
#include "corv/string.h"

namespace kilnrun {

/// One member: its 512-byte header and, for members made here, its data.
struct TarFile {
  CORVobjectHeader header;
  CORVstring name;
  int32_t mode;
  int32_t userID;
  int32_t groupID;
  int32_t size;  // -1: loaded from a file whose content cannot be held (see LoadFromFile)
  int32_t modifiedTime;
  int32_t checksum;
  uint8_t linkFlag;
  CORVstring linkName;
  CORVstring magic;
  CORVstring userName;
  CORVstring groupName;
  int32_t deviceMajor;
  int32_t deviceMinor;
  CORVstring prefix;
  int32_t startPosition;  // offset of the header in the archive; -1 until read or written
  CORVstring mData;       // raw bytes, for members made from a file or a long name

  /// Reads one header at the stream's position; the stream is left after it.
  void ReadHeader(const corv::Ref<corv::BinaryStream> &stream);
  /// A zero block read from an archive.
  bool IsEmpty();
  int32_t GetDataSize();
  /// `size` rounded up to whole blocks (wide enough for any value read).
  int64_t GetDataBlockSize();
  corv::String ReadData(const corv::Ref<corv::BinaryStream> &stream);
  /// A regular file with the file's whole content. A file that cannot be
  /// opened, or of 2^31 bytes or more, gets size -1 and no data: Write
  /// refuses it.
  void LoadFromFile(const corv::Ref<corv::FolderItem> &file);
  /// A directory entry for `path` ("/" appended when missing), made now.
  void CreateDirectory(const corv::String &path);
  /// Appends header and data at the stream's position, then `zerosAfter`
  /// zero bytes (an archive's closing blocks, written with the member in one
  /// call). False for a nil stream, a member already read or written, a
  /// member whose data is not whole, or when the stream reports a failed
  /// write (it may then hold part of the member: the caller cuts it back).
  bool Write(const corv::Ref<corv::BinaryStream> &stream, int32_t zerosAfter = 0);

  corv::String data();
  void data(const corv::String &value);
};
extern const CORVclassDecl kTarFileDecl;

/// An archive file open for reading and appending.
struct TarArchive {
  CORVobjectHeader header;
  CORVobject fileBS;     // BinaryStream, nil while no archive is open
  CORVobject files;      // array of TarFile, in archive order
  int32_t extraPadding;  // zero blocks at the current end of the file

  /// Opens an existing archive read-write and lists its members.
  bool Open(const corv::Ref<corv::FolderItem> &file);
  void Close();
  /// A file, or a whole folder through AddFolder, under `prefix`.
  bool AddFile(const corv::Ref<corv::FolderItem> &item, const corv::String &prefix);
  /// AddFile for an item known not to be a folder.
  bool AddRegularFile(const corv::Ref<corv::FolderItem> &item, const corv::String &prefix);
  bool CreateFolder(const corv::String &path);
  /// The folder's entry, then its items in the folder's order; symbolic
  /// links to folders are passed over, never walked through.
  bool AddFolder(const corv::Ref<corv::FolderItem> &folder, const corv::String &prefix);
  /// Appends one member and the two closing zero blocks. On failure the
  /// file is put back exactly as it was.
  bool AddFileToArchive(const corv::Ref<TarFile> &member);
  corv::String ReadFileData(const corv::Ref<TarFile> &member);

  corv::Ref<corv::BinaryStream> Stream();
};
extern const CORVclassDecl kTarArchiveDecl;

}  // namespace kilnrun
