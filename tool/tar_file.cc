// TarFile: one member of a tar archive, its header read and written field
// by field.
//
// A header is one 512-byte block: name (100), mode, uid, gid (8 each), size,
// mtime (12 each), checksum (8), type flag (1), link name (100), magic (8),
// user and group names (32 each), device numbers (8 each), prefix (155) and
// 12 zero bytes. Numbers are written as zero-padded octal digits filling the
// whole field with no terminator; when read, a NUL or a space ends them. The
// checksum is the sum of the header's bytes with its own field as 8 spaces.
// The data follows, padded with zero bytes to whole blocks.
#include <algorithm>
#include <cstring>
#include <string>

#include "corv/class_decl.h"
#include "corv/date.h"
#include "tar_archive.h"

namespace kilnrun {

using corv::Ref;
using corv::String;

namespace {

constexpr int32_t kBlock = 512;
constexpr int32_t kChecksumOffset = 148;
constexpr int32_t kLongestName = 100;
// Seconds from 1904-01-01 (the Date's origin) to 1970-01-01.
constexpr double kUnixEpoch = 2082844800.0;
constexpr int32_t kFileMode = 0644;
constexpr int32_t kDirectoryMode = 0755;
const char kLongLinkName[] = "././@LongLink";
// "ustar", two spaces and a NUL: the old GNU form that GNU tar writes.
String GnuMagic() {
  return String(std::string_view("ustar  ", 8), kEncodingUnknown);
}

void TarFileFinalizer(CORVobject obj) {
  auto *self = reinterpret_cast<TarFile *>(obj);
  for (CORVstring *field : {&self->name, &self->linkName, &self->magic, &self->userName,
                            &self->groupName, &self->prefix, &self->mData}) {
    RuntimeUnlockString(*field);
    *field = nullptr;
  }
}

void TarFileInitializer(CORVobject obj) {
  reinterpret_cast<TarFile *>(obj)->startPosition = -1;
}

void Store(CORVstring *field, const String &text) {
  *field = RuntimeLockUnlockStrings(text.get(), *field);
}

// Leading zeros and spaces are skipped; digits are read up to the first
// byte that is not one. Values beyond 32 bits are held at the largest one,
// so that a damaged field cannot turn into a negative size.
int32_t OctalValue(std::string_view bytes) {
  size_t i = 0;
  while (i < bytes.size() && (bytes[i] == '0' || bytes[i] == ' ')) ++i;
  int64_t value = 0;
  for (; i < bytes.size() && bytes[i] >= '0' && bytes[i] <= '7'; ++i)
    value = std::min<int64_t>(value * 8 + (bytes[i] - '0'), INT32_MAX);
  return static_cast<int32_t>(value);
}

// The header being read: its block is read from the stream once (one read
// instead of one per field), and the fields are taken from it in order,
// without a string for each. A block cut short by the end of the file
// gives short or empty fields, as reading each field from the stream would.
class HeaderFields {
 public:
  explicit HeaderFields(const Ref<corv::BinaryStream> &stream) : block_(stream->Read(kBlock)) {}

  std::string_view Field(int32_t width) {
    std::string_view bytes = block_.view();
    size_t at = std::min(at_, bytes.size());
    at_ += static_cast<size_t>(width);
    return bytes.substr(at, static_cast<size_t>(width));
  }
  int32_t Octal(int32_t width) { return OctalValue(Field(width)); }
  // The bytes before the first NUL, taken as UTF-8 text (names and paths).
  String Text(int32_t width) {
    std::string_view field = Field(width);
    return String(field.substr(0, field.find('\0')), kEncodingUTF8);
  }
  // The bytes as they are, in the encoding the stream gave them.
  String Bytes(int32_t width) { return String(Field(width), block_.encoding()); }

 private:
  String block_;
  size_t at_ = 0;
};

// The header being written: fields are put in one after the other.
class HeaderBlock {
 public:
  HeaderBlock() { std::memset(bytes_, 0, sizeof bytes_); }

  void Text(const String &text, int32_t width) {
    std::string_view b = text.view();
    std::memcpy(bytes_ + at_, b.data(), std::min<size_t>(b.size(), width));
    at_ += width;
  }
  // Zero-padded octal digits filling the field, no terminator; a value
  // with more digits than the field holds leaves it all zeros.
  void Octal(int32_t value, int32_t width) {
    char digits[12];  // a 32-bit value has at most 11 octal digits
    int32_t length = 0;
    uint32_t rest = static_cast<uint32_t>(std::max(value, 0));
    do {
      digits[sizeof digits - 1 - length++] = static_cast<char>('0' + (rest & 7));
      rest >>= 3;
    } while (rest != 0);
    std::memset(bytes_ + at_, '0', width);
    if (length <= width)
      std::memcpy(bytes_ + at_ + width - length, digits + sizeof digits - length, length);
    at_ += width;
  }
  void Byte(uint8_t value) { bytes_[at_++] = value; }

  // Fills the checksum field and gives the sum.
  int32_t SealChecksum() {
    std::memset(bytes_ + kChecksumOffset, ' ', 8);
    int32_t sum = 0;
    for (uint8_t b : bytes_) sum += b;
    int32_t end = at_;
    at_ = kChecksumOffset;
    Octal(sum, 8);
    at_ = end;
    return sum;
  }
  std::string_view View() const {
    return std::string_view(reinterpret_cast<const char *>(bytes_), kBlock);
  }

 private:
  uint8_t bytes_[kBlock];
  int32_t at_ = 0;
};

// Seconds since 1970-01-01 UTC of a date.
int32_t UnixSeconds(const Ref<corv::Date> &date) {
  date->GMTOffset(0);
  return static_cast<int32_t>(date->TotalSeconds() - kUnixEpoch);
}

// The record that carries a name longer than the header's field.
bool WriteLongName(const Ref<corv::BinaryStream> &stream, const String &name) {
  auto record = corv::New<TarFile>(&kTarFileDecl);
  Store(&record->name, kLongLinkName);
  record->linkFlag = 'L';
  record->data(name);
  return record->Write(stream);
}

}  // namespace

const CORVclassDecl kTarFileDecl = corv::ClassDecl("TarFile", sizeof(TarFile))
                                       .Initializer(TarFileInitializer)
                                       .Finalizer(TarFileFinalizer);

void TarFile::ReadHeader(const Ref<corv::BinaryStream> &stream) {
  int64_t at = stream->Position();
  HeaderFields fields(stream);
  Store(&name, fields.Text(100));
  mode = fields.Octal(8);
  userID = fields.Octal(8);
  groupID = fields.Octal(8);
  size = fields.Octal(12);
  modifiedTime = fields.Octal(12);
  checksum = fields.Octal(8);
  std::string_view flag = fields.Field(1);
  linkFlag = flag.empty() ? 0 : static_cast<uint8_t>(flag[0]);
  Store(&linkName, fields.Text(100));
  Store(&magic, fields.Bytes(8));
  Store(&userName, fields.Text(32));
  Store(&groupName, fields.Text(32));
  deviceMajor = fields.Octal(8);
  deviceMinor = fields.Octal(8);
  Store(&prefix, fields.Text(155));
  startPosition = static_cast<int32_t>(std::min<int64_t>(at, INT32_MAX));
}

bool TarFile::IsEmpty() {
  return startPosition >= 0 && checksum == 0;
}

int32_t TarFile::GetDataSize() {
  return size;
}

int64_t TarFile::GetDataBlockSize() {
  int64_t bytes = std::max(size, 0);
  return (bytes + kBlock - 1) / kBlock * kBlock;
}

String TarFile::ReadData(const Ref<corv::BinaryStream> &stream) {
  if (!stream) RaiseNilObjectException();
  stream->Position(int64_t{startPosition} + kBlock);
  return stream->Read(std::max(size, 0));
}

void TarFile::LoadFromFile(const Ref<corv::FolderItem> &file) {
  if (!file) return;
  Ref<corv::BinaryStream> in = file->OpenAsBinaryFile(false);
  int64_t length = in ? in->Length() : -1;
  if (length >= 0 && length <= INT32_MAX) {
    size = static_cast<int32_t>(length);
    Store(&mData, in->Read(size));
  } else {
    size = -1;  // unreadable, or too large for the member: never written
    Store(&mData, String());
  }
  if (in) in->Close();
  Store(&name, file->Name());
  mode = kFileMode;
  userID = groupID = deviceMajor = deviceMinor = 0;
  Store(&userName, String());
  Store(&groupName, String());
  linkFlag = '0';
  modifiedTime = UnixSeconds(file->ModificationDate());
}

void TarFile::CreateDirectory(const String &path) {
  String folder = path;
  if (corv::RightB(folder, 1) != "/") folder += "/";
  Store(&name, folder);
  mode = kDirectoryMode;
  linkFlag = '5';
  modifiedTime = UnixSeconds(corv::Date::New());
}

bool TarFile::Write(const Ref<corv::BinaryStream> &stream, int32_t zerosAfter) {
  if (!stream || startPosition >= 0) return false;
  String content = String::Share(mData);
  // A file that shrank while it was read, or one that could not be held.
  if (size < 0 || (size > 0 && corv::LenB(content) != size)) return false;
  String fullName = String::Share(name);
  if (corv::LenB(fullName) > kLongestName && !WriteLongName(stream, fullName)) return false;
  int64_t at = stream->Position();
  if (at > INT32_MAX) return false;
  startPosition = static_cast<int32_t>(at);

  if (!magic) Store(&magic, GnuMagic());
  HeaderBlock block;
  block.Text(corv::RightB(fullName, kLongestName), 100);
  block.Octal(mode, 8);
  block.Octal(userID, 8);
  block.Octal(groupID, 8);
  block.Octal(size, 12);
  block.Octal(modifiedTime, 12);
  block.Octal(0, 8);  // the checksum, filled in last
  block.Byte(linkFlag);
  block.Text(String::Share(linkName), 100);
  block.Text(String::Share(magic), 8);
  block.Text(String::Share(userName), 32);
  block.Text(String::Share(groupName), 32);
  block.Octal(deviceMajor, 8);
  block.Octal(deviceMinor, 8);
  block.Text(String::Share(prefix), 155);
  checksum = block.SealChecksum();

  // The stream's error code stays set after a failure, so a write is judged
  // by where it left the position as well.
  int32_t errorBefore = stream->LastErrorCode();
  // One write for the whole member: each write is a system call. A small
  // member is assembled on the stack, a large one in a buffer of its size.
  int64_t zeros = std::max(zerosAfter, 0);
  size_t total = static_cast<size_t>(kBlock + GetDataBlockSize() + zeros);
  char small[16 * kBlock];
  std::string large;
  char *whole = small;
  if (total > sizeof small) {
    large.resize(total);
    whole = large.data();
  }
  std::memcpy(whole, block.View().data(), kBlock);
  if (size > 0) std::memcpy(whole + kBlock, content.data(), static_cast<size_t>(size));
  std::memset(whole + kBlock + size, 0, total - kBlock - static_cast<size_t>(size));
  stream->Write(String(std::string_view(whole, total), kEncodingUnknown));
  return stream->Position() == at + kBlock + GetDataBlockSize() + zeros &&
         stream->LastErrorCode() == errorBefore;
}

String TarFile::data() {
  return String::Share(mData);
}

void TarFile::data(const String &value) {
  Store(&mData, corv::DefineEncoding(value, kEncodingUnknown));
  size = corv::LenB(value);
}

}  // namespace kilnrun
