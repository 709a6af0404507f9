// Raising and catching language exceptions from native code, their fields
// and reference counts, the hooks, and the stack-overflow check.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/failure.h"
#include "core/stack_check.h"
#include "corv.h"
#include "corv/exception.h"
#include "corv/ref.h"
#include "platform/stack.h"
#include "runtime_test.h"

// Functions with external linkage so that the platform can name their frames.
namespace corv_exception_test {

std::vector<std::string> gNamesSeenByHook;

void RaiseFromNamedFunction(CORVobject exception) {
  RuntimeRaiseException(exception);
  gNamesSeenByHook.push_back("not reached");
}

}  // namespace corv_exception_test

namespace {

using corv::Catch;
using corv::CatchAny;
using corv::Ref;
using corv::testing::RuntimeTest;

std::string Text(CORVstring s) {
  return std::string(CORVStringBytes(s), CORVStringLength(s));
}

struct OwnedString {
  CORVstring s;
  explicit OwnedString(const std::string &text)
      : s(RuntimeCreateString(text.data(), static_cast<int32_t>(text.size()), kEncodingASCII)) {}
  ~OwnedString() { RuntimeUnlockString(s); }
};

// Records every exception passed to a hook, and restores the hooks found.
class HookTest : public RuntimeTest {
 protected:
  void SetUp() override {
    RuntimeTest::SetUp();
    savedRaise_ = CORVGetRaiseHook();
    savedUnhandled_ = CORVGetUnhandledExceptionHook();
    seen_.clear();
  }
  void TearDown() override {
    CORVSetRaiseHook(savedRaise_);
    CORVSetUnhandledExceptionHook(savedUnhandled_);
    RuntimeTest::TearDown();
  }
  static void Record(CORVobject exception) { seen_.push_back(exception); }

  static std::vector<CORVobject> seen_;

 private:
  CORVExceptionHook savedRaise_ = nullptr;
  CORVExceptionHook savedUnhandled_ = nullptr;
};
std::vector<CORVobject> HookTest::seen_;

using ExceptionTest = RuntimeTest;

TEST_F(ExceptionTest, FieldsAndAccessors) {
  OwnedString message("disk on fire");
  Ref<CORVexception> e = CatchAny([&] {
    CORVRaiseNewWithMessage(CORVBindDeclaration(&kOutOfMemoryExceptionDecl), message.s, -42);
  });
  ASSERT_TRUE(e);
  EXPECT_TRUE(CORVIsaDeclaration(e.object(), &kOutOfMemoryExceptionDecl));
  EXPECT_TRUE(CORVIsaDeclaration(e.object(), &kRuntimeExceptionDecl));
  EXPECT_EQ(e->errorNumber, -42);
  EXPECT_EQ(Text(e->message), "disk on fire");
  // Stack is read with a new reference for the caller; nil has none.
  CORVobject stack = RuntimeExceptionStack(e.object());
  ASSERT_NE(stack, nullptr);
  EXPECT_EQ(stack, e->stack);
  EXPECT_EQ(stack->refCount, 2);
  RuntimeUnlockObject(stack);
  EXPECT_EQ(RuntimeExceptionStack(nullptr), nullptr);
}

TEST_F(ExceptionTest, EverySubclassDerivesFromRuntimeException) {
  const CORVclassDecl *subclasses[] = {&kNilObjectExceptionDecl,
                                       &kServiceNotAvailableExceptionDecl,
                                       &kNoOpenTransportExceptionDecl,
                                       &kRegistryAccessErrorExceptionDecl,
                                       &kIllegalCastExceptionDecl,
                                       &kInvalidParentExceptionDecl,
                                       &kStackOverflowExceptionDecl,
                                       &kTypeMismatchExceptionDecl,
                                       &kOutOfBoundsExceptionDecl,
                                       &kOutOfMemoryExceptionDecl,
                                       &kKeyNotFoundExceptionDecl,
                                       &kEndExceptionDecl,
                                       &kThreadEndExceptionDecl,
                                       &kThreadAlreadyRunningExceptionDecl,
                                       &kUnsupportedFormatExceptionDecl,
                                       &kKeyChainExceptionDecl,
                                       &kOLEExceptionDecl,
                                       &kFunctionNotFoundExceptionDecl,
                                       &kIllegalLockingExceptionDecl};
  ASSERT_EQ(std::size(subclasses), 19u);
  for (const CORVclassDecl *decl : subclasses) {
    Ref<> e = corv::New(decl);
    EXPECT_TRUE(CORVIsaDeclaration(e.object(), &kRuntimeExceptionDecl)) << decl->name;
    EXPECT_EQ(decl->super, &kRuntimeExceptionDecl) << decl->name;
  }
}

TEST_F(ExceptionTest, FunctionNotFoundMessageIsExact) {
  OwnedString function("CopyFileExW");
  OwnedString library("kernel32.dll");
  Ref<CORVexception> e =
      CatchAny([&] { RuntimeRaiseFunctionNotFoundException(function.s, library.s); });
  ASSERT_TRUE(e);
  EXPECT_TRUE(CORVIsaDeclaration(e.object(), &kFunctionNotFoundExceptionDecl));
  EXPECT_EQ(Text(e->message), "Could not load CopyFileExW from kernel32.dll");
  EXPECT_EQ(e->errorNumber, 0);

  Ref<CORVexception> empty =
      CatchAny([&] { RuntimeRaiseFunctionNotFoundException(nullptr, nullptr); });
  ASSERT_TRUE(empty);
  EXPECT_EQ(Text(empty->message), "Could not load  from ");
}

TEST_F(ExceptionTest, RaiseHelpersRaiseTheirClasses) {
  EXPECT_RAISES(RaiseNilObjectException(), kNilObjectExceptionDecl);
  EXPECT_RAISES(RuntimeNilObject(), kNilObjectExceptionDecl);
  EXPECT_RAISES(RaiseOutOfBoundsException(), kOutOfBoundsExceptionDecl);
}

TEST_F(ExceptionTest, RaisingNilDoesNothing) {
  EXPECT_NO_THROW(RuntimeRaiseException(nullptr));
  EXPECT_NO_THROW(RuntimeReraiseException(nullptr));
}

TEST_F(ExceptionTest, RaiseNewWithoutClassIsReported) {
  corv::CaptureFailures(true);
  EXPECT_NO_THROW(CORVRaiseNew(nullptr));
  std::vector<std::string> reports = corv::TakeCapturedFailures();
  corv::CaptureFailures(false);
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_NE(reports[0].find("Failure Condition: exclass"), std::string::npos);
}

TEST_F(ExceptionTest, HandlerHoldsTheOnlyReferenceAfterRaiseNew) {
  Ref<CORVexception> e = CatchAny([] { RaiseNilObjectException(); });
  ASSERT_TRUE(e);
  // The raiser gave its own reference up; what is left is the handler's.
  EXPECT_EQ(e->header.refCount, 1);
}

TEST_F(ExceptionTest, RaiserAndHandlerEachHoldAReference) {
  Ref<> mine = corv::New(&kKeyNotFoundExceptionDecl);
  try {
    RuntimeRaiseException(mine.object());
    FAIL() << "no raise";
  } catch (const corv::LanguageException &e) {
    EXPECT_EQ(e.object(), mine.object());
    EXPECT_EQ(mine->refCount, 2);
  }
  EXPECT_EQ(mine->refCount, 1);
}

TEST_F(ExceptionTest, InnerHandlerTakesItsClassOuterTakesTheRest) {
  int innerCaught = 0;
  Ref<CORVexception> outer = CatchAny([&] {
    Ref<CORVexception> inner = Catch(&kNilObjectExceptionDecl, [] { RaiseNilObjectException(); });
    if (inner) ++innerCaught;
    // Not a NilObjectException: the inner handler lets it through.
    Catch(&kNilObjectExceptionDecl, [] { RaiseOutOfBoundsException(); });
    ADD_FAILURE() << "the inner handler swallowed an exception of another class";
  });
  EXPECT_EQ(innerCaught, 1);
  ASSERT_TRUE(outer);
  EXPECT_TRUE(CORVIsaDeclaration(outer.object(), &kOutOfBoundsExceptionDecl));
}

TEST_F(ExceptionTest, RaiseInsideHandlerReachesTheOuterHandler) {
  int handled = 0;
  Ref<CORVexception> outer = CatchAny([&] {
    if (Ref<CORVexception> inner =
            Catch(&kRuntimeExceptionDecl, [] { RaiseNilObjectException(); })) {
      ++handled;
      RaiseOutOfBoundsException();  // raised by the handler itself
    }
    ADD_FAILURE() << "the raise inside the handler was lost";
  });
  EXPECT_EQ(handled, 1);
  ASSERT_TRUE(outer);
  EXPECT_TRUE(CORVIsaDeclaration(outer.object(), &kOutOfBoundsExceptionDecl));
}

TEST_F(ExceptionTest, CatchReturnsNilWhenNothingRaised) {
  int ran = 0;
  Ref<CORVexception> e = Catch(&kRuntimeExceptionDecl, [&] { ++ran; });
  EXPECT_EQ(ran, 1);
  EXPECT_FALSE(e);
}

TEST_F(HookTest, RaiseCallsTheHookReraiseDoesNot) {
  CORVSetRaiseHook(Record);
  Ref<> e = corv::New(&kEndExceptionDecl);
  EXPECT_RAISES(RuntimeRaiseException(e.object()), kEndExceptionDecl);
  ASSERT_EQ(seen_.size(), 1u);
  EXPECT_EQ(seen_[0], e.object());
  EXPECT_RAISES(RuntimeReraiseException(e.object()), kEndExceptionDecl);
  EXPECT_EQ(seen_.size(), 1u);
  RuntimeRaiseException(nullptr);
  EXPECT_EQ(seen_.size(), 1u);
}

TEST_F(HookTest, UnhandledWithoutHookReportsZero) {
  CORVSetUnhandledExceptionHook(nullptr);
  Ref<> e = corv::New(&kEndExceptionDecl);
  corv::CaptureFailures(true);
  RuntimeUnhandledException(e.object());
  std::vector<std::string> reports = corv::TakeCapturedFailures();
  corv::CaptureFailures(false);
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_NE(reports[0].find("Failure Condition: 0\n"), std::string::npos);

  CORVSetUnhandledExceptionHook(Record);
  RuntimeUnhandledException(e.object());
  ASSERT_EQ(seen_.size(), 1u);
  EXPECT_EQ(seen_[0], e.object());
}

std::vector<std::string> StackNames(CORVobject exception) {
  Ref<> stack = Ref<>::Adopt(RuntimeExceptionStack(exception));
  std::vector<std::string> names;
  for (int32_t i = 0; i <= RuntimeUBound(stack.object()); ++i) {
    CORVstring name = CORVArrayStringAt(stack.object(), i);
    names.push_back(Text(name));
    RuntimeUnlockString(name);
  }
  return names;
}

// A raise records the native frames above it, beginning with the function
// that called RuntimeRaiseException; a reraise leaves the record alone.
TEST_F(HookTest, StackNamesTheRaiserAndIsRefilledOnlyByRaise) {
  Ref<> e = corv::New(&kEndExceptionDecl);
  EXPECT_TRUE(StackNames(e.object()).empty());
  void (*volatile raiseFrom)(CORVobject) = corv_exception_test::RaiseFromNamedFunction;
  EXPECT_RAISES(raiseFrom(e.object()), kEndExceptionDecl);
  std::vector<std::string> first = StackNames(e.object());
  ASSERT_FALSE(first.empty());
  EXPECT_EQ(first[0], "corv_exception_test::RaiseFromNamedFunction(CORVobjectHeader*)");
  for (const std::string &name : first) EXPECT_NE(name, "RuntimeRaiseException");

  EXPECT_RAISES(RuntimeReraiseException(e.object()), kEndExceptionDecl);
  EXPECT_EQ(StackNames(e.object()), first);

  // A second raise from elsewhere replaces the names instead of adding to them.
  EXPECT_RAISES(RuntimeRaiseException(e.object()), kEndExceptionDecl);
  std::vector<std::string> second = StackNames(e.object());
  ASSERT_FALSE(second.empty());
  EXPECT_NE(second[0], first[0]);
  EXPECT_LT(second.size(), first.size() + 2);

  // The hook runs after the record is made.
  CORVSetRaiseHook(
      [](CORVobject raised) { corv_exception_test::gNamesSeenByHook = StackNames(raised); });
  EXPECT_RAISES(raiseFrom(e.object()), kEndExceptionDecl);
  EXPECT_EQ(corv_exception_test::gNamesSeenByHook, first);
}

// The frames of a raise are named when Stack is first read: what is read is
// the last raise of that very exception, never an earlier one or another's.
TEST_F(HookTest, StackReadLateNamesTheLastRaiseOfThatException) {
  void (*volatile raiseFrom)(CORVobject) = corv_exception_test::RaiseFromNamedFunction;
  Ref<> e = corv::New(&kEndExceptionDecl);
  EXPECT_RAISES(raiseFrom(e.object()), kEndExceptionDecl);
  EXPECT_RAISES(RuntimeRaiseException(e.object()), kEndExceptionDecl);
  std::vector<std::string> names = StackNames(e.object());
  ASSERT_FALSE(names.empty());
  EXPECT_NE(names[0], "corv_exception_test::RaiseFromNamedFunction(CORVobjectHeader*)");
  EXPECT_EQ(StackNames(e.object()), names);

  // An exception raised and destroyed unread leaves nothing behind for the
  // next exception, which may well take its place in memory.
  for (int i = 0; i < 8; ++i) {
    Ref<> unread = corv::New(&kEndExceptionDecl);
    EXPECT_RAISES(raiseFrom(unread.object()), kEndExceptionDecl);
  }
  for (int i = 0; i < 8; ++i) {
    Ref<> fresh = corv::New(&kEndExceptionDecl);
    EXPECT_TRUE(StackNames(fresh.object()).empty());
  }
}

// Stack-overflow tests move the current thread's limit and put it back.
class StackCheckTest : public RuntimeTest {
 protected:
  void SetUp() override {
    RuntimeTest::SetUp();
    saved_ = corv::CurrentStackBounds();
  }
  void TearDown() override {
    corv::CurrentStackBounds() = saved_;
    RuntimeTest::TearDown();
  }

 private:
  corv::StackBounds saved_;
};

std::uintptr_t gDeepestPosition = 0;

// Compiled functions call the check first thing; this one recurses without
// end unless the check stops it.
int Recurse(int depth) {
  RuntimeStackCheck();
  gDeepestPosition = corv::platform::CurrentStackPosition();
  volatile char frame[256];
  frame[0] = static_cast<char>(depth);
  int (*volatile next)(int) = Recurse;
  return next(depth + 1) + frame[0];
}

TEST_F(StackCheckTest, DeepRecursionRaisesStackOverflow) {
  const std::uintptr_t size = 0x40000;  // 256 KB: far less than the real stack, even under ASan
  CORVInitStackChecker(size, 0);
  const corv::StackBounds bounds = corv::CurrentStackBounds();
  EXPECT_EQ(bounds.top - bounds.limit, size);
  EXPECT_EQ(corv::ProcessStackLimit(), bounds.limit);
  gDeepestPosition = 0;
  Ref<CORVexception> e = CatchAny([] { Recurse(0); });
  ASSERT_TRUE(e) << "the recursion came back without a raise";
  EXPECT_TRUE(CORVIsaDeclaration(e.object(), &kStackOverflowExceptionDecl));
  // The last frame that passed the check still had the reserve left above the limit.
  EXPECT_GE(gDeepestPosition, bounds.limit + corv::kStackReserve);
  EXPECT_LT(gDeepestPosition, bounds.limit + corv::kStackReserve + 0x1000);
}

TEST_F(StackCheckTest, CheckPassesWithRoomAndBeforeInitialisation) {
  corv::CurrentStackBounds() = corv::StackBounds{};
  EXPECT_NO_THROW(RuntimeStackCheck());
  CORVInitStackChecker(0x40000, 0);
  EXPECT_NO_THROW(RuntimeStackCheck());
}

TEST_F(StackCheckTest, ExplicitBaseAndOversizedLimit) {
  CORVInitStackChecker(0x1000, 0x50000);
  EXPECT_EQ(corv::CurrentStackBounds().limit, 0x4F000u);
  EXPECT_EQ(corv::CurrentStackBounds().top, 0x50000u);
  // A size past the bottom of memory would wrap around; it sets no limit.
  CORVInitStackChecker(0x60000, 0x50000);
  EXPECT_EQ(corv::CurrentStackBounds().limit, 0u);
  EXPECT_NO_THROW(RuntimeStackCheck());
}

TEST_F(StackCheckTest, EachCooperativeThreadHasItsOwnLimit) {
  CORVInitStackChecker(0x40000, 0);
  // A fiber whose limit lies just below the current position is nearly full.
  corv::StackBounds fiber;
  fiber.top = corv::platform::CurrentStackPosition();
  fiber.limit = fiber.top - corv::kStackReserve / 2;
  corv::StackBounds *main = corv::SwitchStackBounds(&fiber);
  EXPECT_EQ(main, &corv::MainStackBounds());
  EXPECT_RAISES(RuntimeStackCheck(), kStackOverflowExceptionDecl);
  EXPECT_EQ(corv::SwitchStackBounds(nullptr), &fiber);
  EXPECT_EQ(&corv::CurrentStackBounds(), &corv::MainStackBounds());
  EXPECT_NO_THROW(RuntimeStackCheck());
}

TEST(ExceptionLinkTable, EntryPointsAreListed) {
  for (const char *name :
       {"RuntimeRaiseException", "RuntimeReraiseException", "RaiseNilObjectException",
        "RuntimeNilObject", "RaiseOutOfBoundsException", "RuntimeRaiseFunctionNotFoundException",
        "RuntimeStackCheck", "CORVInitStackChecker", "RuntimeUnhandledException",
        "RuntimeExceptionInitializer", "RuntimeExceptionFinalizer", "RuntimeExceptionStack"})
    EXPECT_NE(CORVLookupLinkEntry(name), nullptr) << name;
}

}  // namespace
