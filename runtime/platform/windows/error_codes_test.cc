// Win32 errors as FolderItem and the IPC socket report them.
#include "platform/error_codes.h"

#include <gtest/gtest.h>

namespace {

using namespace corv::platform;

TEST(WindowsErrorCodesTest, FolderItemErrorsFollowTheirTable) {
  struct Case {
    int error;
    int32_t code;
  } cases[] = {
      {2, 101},    {3, 101},  {15, 101},  {5, 102},   {16, 102},  {19, 102},  {29, 102},
      {30, 102},   {65, 102}, {108, 102}, {148, 102}, {266, 102}, {8, 103},   {14, 103},
      {39, 103},   {26, 104}, {32, 104},  {33, 104},  {123, 105}, {161, 105}, {267, 105},
      {1006, 105}, {80, 80},  {145, 145}, {183, 183}, {112, 112},
  };
  for (const Case &c : cases) EXPECT_EQ(FolderItemErrorCode(c.error), c.code) << c.error;
  EXPECT_EQ(FolderItemErrorCode(NotFoundError()), 101);
  EXPECT_EQ(FolderItemErrorCode(AccessDeniedError()), 102);
}

TEST(WindowsErrorCodesTest, SocketErrorsAreTheBsdNumbers) {
  EXPECT_EQ(SocketErrorCode(10061), 61);  // connection refused
  EXPECT_EQ(SocketErrorCode(10054), 54);  // reset
  EXPECT_EQ(SocketErrorCode(10048), 48);  // address in use
  EXPECT_EQ(SocketErrorCode(10060), 60);  // timed out
}

}  // namespace
