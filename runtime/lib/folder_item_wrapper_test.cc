// The C++ view of FolderItem and the streams, end to end on the real disk:
// the members the tool uses, in the order it uses them.
#include <gtest/gtest.h>

#include "corv/folder_item.h"
#include "corv/stream.h"
#include "disk_test.h"
#include "platform/file_handle.h"
#include "platform/file_info.h"
#include "platform/path.h"

namespace {

using corv::FolderItem;
using corv::GetFolderItem;
using corv::Ref;
using corv::String;
using corv::testing::DiskTest;
using corv::testing::ReadFileBytes;

class FolderItemWrapperTest : public DiskTest {
 protected:
  Ref<FolderItem> Temp() { return GetFolderItem(String(temp_.path())); }
};

TEST_F(FolderItemWrapperTest, WritesReadsCopiesAndDeletesThroughTheMembers) {
  Ref<FolderItem> folder = Temp();
  ASSERT_TRUE(folder);
  Ref<FolderItem> sub = folder->Child("sub");
  ASSERT_TRUE(sub);
  EXPECT_FALSE(sub->Exists());
  ASSERT_TRUE(sub->CreateAsFolder());
  EXPECT_TRUE(sub->Directory());
  const std::string separator(1, corv::platform::kPathSeparator);
  EXPECT_EQ(sub->AbsolutePath().view(), (temp_ / "sub") + separator);
  EXPECT_EQ(sub->Parent()->AbsolutePath().view(), temp_.path() + separator);

  Ref<FolderItem> file = sub->Child("notes.txt");
  Ref<corv::TextOutputStream> out = file->CreateTextFile();
  ASSERT_TRUE(out);
  out->WriteLine("first");
  out->Delimiter("\r\n");
  EXPECT_EQ(out->Delimiter().view(), "\r\n");
  out->WriteLine("second");
  out->Write("third");
  out->Close();
  EXPECT_EQ(out->LastErrorCode(), 0);
  const std::string terminator = corv::platform::kLineTerminator;  // WriteLine's default
  EXPECT_EQ(ReadFileBytes(temp_ / "sub/notes.txt"), "first" + terminator + "second\r\nthird");

  Ref<corv::TextInputStream> in = file->OpenAsTextFile();
  ASSERT_TRUE(in);
  EXPECT_EQ(in->ReadLine().view(), "first");
  EXPECT_EQ(in->Position(), static_cast<int64_t>(5 + terminator.size()));
  EXPECT_EQ(in->ReadLine().view(), "second");
  EXPECT_FALSE(in->EndOfFile());
  EXPECT_EQ(in->ReadAll().view(), "third");
  EXPECT_TRUE(in->EndOfFile());
  in->Close();

  ASSERT_TRUE(file->CopyFileTo(folder));
  EXPECT_FALSE(file->CopyFileTo(folder));  // never replaces
  EXPECT_EQ(file->LastErrorCode(), 80);
  EXPECT_EQ(folder->Count(), 2);
  EXPECT_FALSE(sub->Delete());  // not empty
  EXPECT_EQ(sub->LastErrorCode(), 145);
  ASSERT_TRUE(sub->Item(1));
  EXPECT_EQ(sub->Item(1)->Name().view(), "notes.txt");
  EXPECT_FALSE(sub->Item(2));
  EXPECT_RAISES(sub->Item(0), kOutOfBoundsExceptionDecl);
  EXPECT_TRUE(file->Delete());
  EXPECT_TRUE(sub->Delete());
  EXPECT_FALSE(sub->Exists());
}

TEST_F(FolderItemWrapperTest, BinaryStreamsKeepTheirByteOrder) {
  Ref<FolderItem> file = Temp()->Child("data.bin");
  Ref<corv::BinaryStream> out = file->CreateBinaryFile("");
  ASSERT_TRUE(out);
  out->WriteLong(0x01020304);
  out->LittleEndian(true);
  EXPECT_TRUE(out->LittleEndian());
  out->WriteShort(0x0506);
  out->Write("xy");
  EXPECT_EQ(out->Length(), 8);
  out->Close();
  EXPECT_EQ(ReadFileBytes(temp_ / "data.bin"), "\x01\x02\x03\x04\x06\x05xy");

  Ref<corv::BinaryStream> in = file->OpenAsBinaryFile(false);
  ASSERT_TRUE(in);
  EXPECT_EQ(in->ReadShort(), 0x0102);
  in->Position(4);
  EXPECT_EQ(in->ReadByte(), 6);
  EXPECT_EQ(in->Read(10).view(), "\x05xy");
  EXPECT_TRUE(in->EndOfFile());
  EXPECT_EQ(in->ReadLong(), 0);  // nothing left
}

TEST_F(FolderItemWrapperTest, ConstructorsAndMakersFollowTheEntryPoints) {
  Ref<FolderItem> folder = Temp();
  Ref<FolderItem> copy = FolderItem::New(folder);
  EXPECT_EQ(copy->AbsolutePath().view(), folder->AbsolutePath().view());
  EXPECT_NE(copy, folder);
  EXPECT_EQ(FolderItem::New(String(temp_ / "x"))->Name().view(), "x");
  EXPECT_RAISES(FolderItem::New(String(temp_ / "missing/x")), kUnsupportedFormatExceptionDecl);
  EXPECT_RAISES(FolderItem::New(Ref<FolderItem>()), kNilObjectExceptionDecl);
  EXPECT_FALSE(GetFolderItem(String(temp_ / "missing/x")));
  // Names in other encodings become the platform's UTF-8 names.
  Ref<FolderItem> latin = Temp()->Child(String("caf\xE9", 0x500));  // Windows Latin 1
  Ref<FolderItem> wide = Temp()->Child(String(std::string_view("\xE9\0t\0", 4), kEncodingUTF16));
  EXPECT_EQ(latin->AbsolutePath().view(), temp_ / "caf\xC3\xA9");
  EXPECT_EQ(wide->Name().view(), "\xC3\xA9t");
  EXPECT_TRUE(FolderItem::New()->Directory());  // the application's folder

  Ref<FolderItem> temporary = corv::GetTemporaryFolderItem();
  ASSERT_TRUE(temporary);
  EXPECT_TRUE(temporary->Exists());
  EXPECT_TRUE(temporary->Name().view().starts_with("cvt"));
  EXPECT_TRUE(temporary->Delete());
  EXPECT_FALSE(corv::GetSpecialFolder(0, 1041));
  Ref<FolderItem> temporaryFolder = corv::GetSpecialFolder(0, 1001);
  ASSERT_TRUE(temporaryFolder);
  EXPECT_TRUE(temporaryFolder->Directory());
}

TEST_F(FolderItemWrapperTest, ModificationDateFollowsTheLastWrite) {
  Ref<FolderItem> file = Temp()->Child("stamped");
  EXPECT_EQ(file->ModificationDate()->TotalSeconds(), 0);  // not there yet
  file->CreateTextFile()->Close();
  // An hour apart in January, with no change of zone offset in between.
  ASSERT_TRUE(corv::platform::SetModificationTime(temp_ / "stamped", {1705325400, 0}).ok());
  Ref<corv::Date> before = file->ModificationDate();
  ASSERT_TRUE(corv::platform::SetModificationTime(temp_ / "stamped", {1705329000, 0}).ok());
  Ref<corv::Date> after = file->ModificationDate();
  EXPECT_EQ(after->TotalSeconds() - before->TotalSeconds(), 3600);
  EXPECT_EQ(corv::Compare(before, after), -1);
}

}  // namespace
