// Helpers shared by the dictionary tests: a fixture that makes dictionaries
// and short forms of the value setter and getter.
#pragma once

#include <gtest/gtest.h>

#include "corv.h"
#include "corv/ref.h"
#include "corv/variant.h"
#include "runtime_test.h"

namespace corv::dictionary_test {

using corv::Ref;
using corv::Variant;

class DictionaryTestBase : public corv::testing::RuntimeTest {
 protected:
  Ref<CORVdictionary> NewDictionary() { return corv::New<CORVdictionary>(&kDictionaryDecl); }
};

inline CORVobject Obj(const Ref<CORVdictionary> &d) {
  return d.object();
}

inline void Set(const Ref<CORVdictionary> &d, const Variant &key, const Variant &value) {
  dictionaryValueSetter(Obj(d), key.get(), value.get());
}

/// d.Value(key); KeyNotFoundException when it is missing.
inline Variant Get(const Ref<CORVdictionary> &d, const Variant &key) {
  return Variant::Adopt(dictionaryValueGetter(Obj(d), key.get()));
}

}  // namespace corv::dictionary_test
