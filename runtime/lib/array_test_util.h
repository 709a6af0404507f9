// Helpers shared by the array tests: owned test strings, string arrays built
// from literals, calls of table slots and finalization counting.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "corv.h"
#include "corv/class_decl.h"
#include "corv/ref.h"
#include "runtime_test.h"

namespace corv::array_test {

using corv::Ref;

inline CORVarray *A(const Ref<> &array) {
  return reinterpret_cast<CORVarray *>(array.get());
}

inline Ref<> NewArray(int32_t kind, int32_t bound) {
  return Ref<>::Adopt(CreateArray(1, kind, bound));
}

// A string this test owns; released at the end of its scope.
class Text {
 public:
  explicit Text(const std::string &text)
      : s_(RuntimeCreateString(text.data(), static_cast<int32_t>(text.size()), kEncodingUTF8)) {}
  explicit Text(CORVstring adopted) : s_(adopted) {}
  ~Text() { RuntimeUnlockString(s_); }
  Text(const Text &) = delete;
  Text &operator=(const Text &) = delete;
  CORVstring get() const { return s_; }
  std::string str() const { return std::string(CORVStringBytes(s_), CORVStringLength(s_)); }

 private:
  CORVstring s_;
};

inline std::string StringAt(const Ref<> &array, int32_t i) {
  return Text(CORVArrayStringAt(array.object(), i)).str();
}

inline std::vector<std::string> Strings(const Ref<> &array) {
  std::vector<std::string> out;
  for (int32_t i = 0; i <= RuntimeUBound(array.object()); ++i) out.push_back(StringAt(array, i));
  return out;
}

inline Ref<> StringArray(const std::vector<std::string> &items) {
  Ref<> array = NewArray(kCORVArrayString, -1);
  for (const std::string &item : items) CORVArrayAppendString(array.object(), Text(item).get());
  return array;
}

template <class Fn, class... Args>
auto Call(const Ref<> &array, int slot, Args... args) {
  return reinterpret_cast<Fn *>(A(array)->ops[slot])(array.object(), args...);
}

inline bool Reported(const std::vector<std::string> &reports, const std::string &condition) {
  for (const std::string &report : reports)
    if (report.find(condition) != std::string::npos) return true;
  return false;
}

// Objects that count their finalizations, to prove each is released once.
inline int gFinalized = 0;
struct Probe {
  CORVobjectHeader header;
  int32_t tag;
};
inline void ProbeFinalizer(CORVobject) {
  ++gFinalized;
}
inline const CORVclassDecl kProbeDecl =
    corv::ClassDecl("ArrayTestProbe", sizeof(Probe)).Finalizer(ProbeFinalizer);
inline const CORVclassDecl kSubProbeDecl =
    corv::ClassDecl("ArrayTestSubProbe", sizeof(Probe)).Super(&kProbeDecl);

class ArrayTest : public corv::testing::RuntimeTest {
 protected:
  void SetUp() override {
    gFinalized = 0;
    RuntimeTest::SetUp();
  }
};

}  // namespace corv::array_test
