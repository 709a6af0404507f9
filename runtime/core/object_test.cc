// The object model: lifetimes, destruction order, casts, class tables,
// delegates and weak references.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/failure.h"
#include "corv.h"
#include "corv/class_decl.h"
#include "corv/ref.h"
#include "runtime_test.h"

namespace {

using corv::Ref;
using corv::testing::RuntimeTest;

std::vector<std::string> gLog;

struct Node {
  CORVobjectHeader header;
  CORVobject field;  // counted
  int32_t tag;
};

CORVobject gKeeper = nullptr;  // where a resurrecting destructor puts its object

void BaseInit(CORVobject) {
  gLog.push_back("init Base");
}
void DerivedInit(CORVobject) {
  gLog.push_back("init Derived");
}
void BaseDestructor(CORVobject) {
  gLog.push_back("destruct Base");
}
void DerivedDestructor(CORVobject) {
  gLog.push_back("destruct Derived");
}
void BaseFinalizer(CORVobject self) {
  auto *node = reinterpret_cast<Node *>(self);
  gLog.push_back("finalize Base " + std::to_string(node->tag));
  CORVobject field = node->field;
  node->field = nullptr;
  RuntimeUnlockObject(field);
  gLog.push_back("finalized Base " + std::to_string(node->tag));
}
void DerivedFinalizer(CORVobject) {
  gLog.push_back("finalize Derived");
}
void KeepSelf(CORVobject self) {
  gLog.push_back("keep");
  RuntimeLockObject(self);
  gKeeper = self;
}

const CORVclassDecl kBaseDecl = corv::ClassDecl("TestBase", sizeof(Node))
                                    .Initializer(BaseInit)
                                    .Destructor(BaseDestructor)
                                    .Finalizer(BaseFinalizer);
const CORVclassDecl kDerivedDecl = corv::ClassDecl("TestDerived", sizeof(Node))
                                       .Super(&kBaseDecl)
                                       .Initializer(DerivedInit)
                                       .Destructor(DerivedDestructor)
                                       .Finalizer(DerivedFinalizer);
const CORVclassDecl kKeeperDecl =
    corv::ClassDecl("TestKeeper", sizeof(Node)).Super(&kBaseDecl).Destructor(KeepSelf);
const CORVclassDecl kOtherDecl = corv::ClassDecl("TestOther", sizeof(CORVobjectHeader));

class ObjectTest : public RuntimeTest {
 protected:
  void SetUp() override {
    gLog.clear();
    RuntimeTest::SetUp();
  }
};

TEST_F(ObjectTest, InitializersRunRootFirstDestructorsAndFinalizersDerivedFirst) {
  CORVobject obj = CORVInstantiateDeclaration(&kDerivedDecl);
  EXPECT_EQ(obj->refCount, 1);
  EXPECT_EQ(gLog, (std::vector<std::string>{"init Base", "init Derived"}));
  gLog.clear();
  RuntimeUnlockObject(obj);
  EXPECT_EQ(gLog, (std::vector<std::string>{"destruct Derived", "destruct Base", "finalize Derived",
                                            "finalize Base 0", "finalized Base 0"}));
}

TEST_F(ObjectTest, ResurrectedObjectKeepsCountOneAndIsNotFinalized) {
  int32_t before = RuntimeLiveObjectCount();
  CORVobject obj = CORVInstantiateDeclaration(&kKeeperDecl);
  gLog.clear();
  RuntimeUnlockObject(obj);
  EXPECT_EQ(gKeeper, obj);
  EXPECT_EQ(obj->refCount, 1);
  EXPECT_EQ(RuntimeLiveObjectCount(), before + 1);
  // The keeping destructor stopped the chain: the base destructor and every
  // finalizer have not run.
  EXPECT_EQ(gLog, (std::vector<std::string>{"keep"}));
  // Let it go for real: a derived destructor that no longer keeps it.
  obj->cls->destructor = nullptr;
  gKeeper = nullptr;
  RuntimeUnlockObject(obj);
  obj = nullptr;
  EXPECT_EQ(RuntimeLiveObjectCount(), before);
}

TEST_F(ObjectTest, NestedDestructionWaitsOnThePendingStack) {
  CORVobject outer = CORVInstantiateDeclaration(&kBaseDecl);
  CORVobject inner = CORVInstantiateDeclaration(&kBaseDecl);
  CORVobject innermost = CORVInstantiateDeclaration(&kBaseDecl);
  reinterpret_cast<Node *>(outer)->tag = 1;
  reinterpret_cast<Node *>(inner)->tag = 2;
  reinterpret_cast<Node *>(innermost)->tag = 3;
  reinterpret_cast<Node *>(outer)->field = inner;      // takes over our reference
  reinterpret_cast<Node *>(inner)->field = innermost;  // likewise
  gLog.clear();
  RuntimeUnlockObject(outer);
  // The second object's destructor runs while the first is being freed, but
  // it is freed only after the first one's free has finished.
  EXPECT_EQ(gLog,
            (std::vector<std::string>{"destruct Base", "finalize Base 1", "destruct Base",
                                      "finalized Base 1", "finalize Base 2", "destruct Base",
                                      "finalized Base 2", "finalize Base 3", "finalized Base 3"}));
}

TEST_F(ObjectTest, CountZeroObjectsSurviveReleases) {
  CORVobjectHeader fixed = {};
  fixed.cls = CORVBindDeclaration(&kBaseDecl);
  for (int i = 0; i < 5; ++i) RuntimeUnlockObject(&fixed);
  RuntimeLockObject(&fixed);
  corv::Release(&fixed);
  EXPECT_EQ(fixed.refCount, 0);
  EXPECT_TRUE(gLog.empty());
}

TEST_F(ObjectTest, LockUnlockObjectsMovesOneReference) {
  Ref<> a = corv::New(&kOtherDecl);
  Ref<> b = corv::New(&kOtherDecl);
  RuntimeLockUnlockObjects(a.object(), a.object());
  EXPECT_EQ(a->refCount, 1);
  RuntimeLockObject(b.object());  // the "old value" reference given up below
  RuntimeLockUnlockObjects(a.object(), b.object());
  EXPECT_EQ(a->refCount, 2);
  EXPECT_EQ(b->refCount, 1);
  RuntimeUnlockObject(a.object());
}

TEST_F(ObjectTest, IsaWithNilArguments) {
  Ref<> obj = corv::New(&kDerivedDecl);
  EXPECT_FALSE(RuntimeObjectIsa(nullptr, CORVBindDeclaration(&kBaseDecl)));
  EXPECT_TRUE(RuntimeObjectIsa(obj.object(), nullptr));
  EXPECT_TRUE(RuntimeObjectIsa(obj.object(), CORVBindDeclaration(&kBaseDecl)));
  EXPECT_TRUE(RuntimeObjectIsa(obj.object(), CORVBindDeclaration(&kDerivedDecl)));
  EXPECT_FALSE(RuntimeObjectIsa(obj.object(), CORVBindDeclaration(&kOtherDecl)));
  EXPECT_EQ(RuntimeClassOf(obj.object()), CORVBindDeclaration(&kDerivedDecl));
  EXPECT_EQ(RuntimeClassOf(nullptr), nullptr);
}

TEST_F(ObjectTest, CheckCastReferencesAndNilCases) {
  Ref<> obj = corv::New(&kDerivedDecl);
  EXPECT_EQ(RuntimeCheckCast(nullptr, CORVBindDeclaration(&kBaseDecl)), nullptr);
  EXPECT_EQ(RuntimeCheckCast(obj.object(), nullptr), obj.object());
  EXPECT_EQ(obj->refCount, 1);  // no new reference for a nil class
  CORVobject cast = RuntimeCheckCast(obj.object(), CORVBindDeclaration(&kBaseDecl));
  EXPECT_EQ(cast, obj.object());
  EXPECT_EQ(obj->refCount, 2);
  RuntimeUnlockObject(cast);
  EXPECT_RAISES(RuntimeCheckCast(obj.object(), CORVBindDeclaration(&kOtherDecl)),
                kIllegalCastExceptionDecl);
  EXPECT_EQ(obj->refCount, 1);
}

TEST_F(ObjectTest, OLEObjectCastsToItsSubclasses) {
  static const CORVclassDecl ole = corv::ClassDecl("OLEObject", sizeof(CORVobjectHeader));
  static const CORVclassDecl excel =
      corv::ClassDecl("ExcelApplication", sizeof(CORVobjectHeader)).Super(&ole);
  Ref<> automation = corv::New(&ole);
  CORVobject cast = RuntimeCheckCast(automation.object(), CORVBindDeclaration(&excel));
  EXPECT_EQ(cast, automation.object());
  RuntimeUnlockObject(cast);
  EXPECT_RAISES(RuntimeCheckCast(automation.object(), CORVBindDeclaration(&kOtherDecl)),
                kIllegalCastExceptionDecl);
}

void MethodA() {}
void MethodB() {}
void MethodC() {}

TEST_F(ObjectTest, BaseMethodsKeepTheirSlotsInSubclasses) {
  static const CORVmethodDecl baseMethods[] = {{"A", "%%", reinterpret_cast<void *>(&MethodA)},
                                               {"B", "%%", reinterpret_cast<void *>(&MethodB)}};
  static const CORVmethodDecl derivedMethods[] = {{"C", "%%", reinterpret_cast<void *>(&MethodC)}};
  static const CORVclassDecl base =
      corv::ClassDecl("SlotBase", sizeof(CORVobjectHeader)).Methods(baseMethods);
  static const CORVclassDecl derived =
      corv::ClassDecl("SlotDerived", sizeof(CORVobjectHeader)).Super(&base).Methods(derivedMethods);
  CORVclass *b = CORVBindDeclaration(&base);
  CORVclass *d = CORVBindDeclaration(&derived);
  ASSERT_EQ(d->methodCount, 3u);
  for (uint32_t i = 0; i < b->methodCount; ++i) {
    EXPECT_EQ(d->methods[i].code, b->methods[i].code);
    EXPECT_EQ(d->methods[i].name, b->methods[i].name);  // shared, referenced
    EXPECT_GE(d->methods[i].name->refCount, 2);
  }
  EXPECT_EQ(d->methods[2].code, reinterpret_cast<void *>(&MethodC));
  Ref<> obj = corv::New(&derived);
  EXPECT_EQ(CORVLookupMethodByName(obj.object(), "b"), reinterpret_cast<void *>(&MethodB));
  EXPECT_EQ(CORVLookupMethodByName(obj.object(), "none"), nullptr);
}

TEST_F(ObjectTest, NewClassReportsBaseCountsLargerThanItsOwn) {
  CORVclass *base = RuntimeNewClass(nullptr, 2, 0, 1, 0, 1, 0);
  corv::CaptureFailures(true);
  CORVclass *bad = RuntimeNewClass(base, 1, 0, 0, 0, 0, 0);
  CORVclass *odd = RuntimeNewClass(nullptr, 0, 0, 0, 4, 0, 0);
  auto reports = corv::TakeCapturedFailures();
  corv::CaptureFailures(false);
  ASSERT_EQ(reports.size(), 4u);
  EXPECT_NE(reports[0].find("out->methods.count >= base->methods.count"), std::string::npos);
  EXPECT_NE(reports[1].find("out->events.count >= base->events.count"), std::string::npos);
  EXPECT_NE(reports[2].find("out->properties.count >= base->properties.count"), std::string::npos);
  EXPECT_NE(reports[3].find("0 == sTableSize"), std::string::npos);
  EXPECT_EQ(RuntimeGetClassList(), odd);
  RuntimeDestroyClass(odd);
  RuntimeDestroyClass(bad);
  RuntimeDestroyClass(base);
}

TEST_F(ObjectTest, NewObjectOnNilClassRaises) {
  EXPECT_RAISES(RuntimeNewObject(nullptr), kNilObjectExceptionDecl);
  EXPECT_EQ(RuntimeNewVtable(0), nullptr);
  EXPECT_EQ(RuntimeNewVtable(-3), nullptr);
}

TEST_F(ObjectTest, AttributeTablesAreStoredInTheEntry) {
  CORVclass *cls = RuntimeNewClass(nullptr, 2, 0, 0, 0, 1, 0);
  CORVattribute *attrs =
      RuntimeAllocateAttributeTable(cls->methods, static_cast<int32_t>(sizeof(CORVmethodEntry)), 3);
  EXPECT_EQ(cls->methods[1].attributeCount, 3u);
  EXPECT_EQ(cls->methods[1].attributes, attrs);
  EXPECT_EQ(attrs[2].name, nullptr);
  EXPECT_EQ(RuntimeAllocateAttributeTable(cls->properties, 0, 0), nullptr);
  std::free(attrs);
  RuntimeDestroyClass(cls);
}

TEST_F(ObjectTest, InterfaceTablesAndMembership) {
  CORVclass *iface = RuntimeNewClass(nullptr, 0, 0, 0, 0, 0, 0);
  iface->isInterface = 1;
  CORVclass *subIface = RuntimeNewClass(iface, 0, 0, 0, 0, 0, 0);
  subIface->isInterface = 1;
  CORVclass *impl = RuntimeNewClass(nullptr, 0, 1, 0, 0, 0, 0);
  impl->instanceSize = sizeof(CORVobjectHeader);
  static void *slots[1] = {nullptr};
  CORVClassInterfaces(impl)[0] = CORVinterfaceEntry{subIface, 0, slots};
  CORVobject obj = RuntimeNewObject(impl);
  EXPECT_TRUE(RuntimeObjectIsa(obj, subIface));
  EXPECT_TRUE(RuntimeObjectIsa(obj, iface));  // through the interface's base chain
  EXPECT_EQ(RuntimeLookupInterfaceVtable(obj, subIface), slots);
  EXPECT_RAISES(RuntimeLookupInterfaceVtable(obj, iface), kIllegalCastExceptionDecl);
  EXPECT_RAISES(RuntimeLookupInterfaceVtable(nullptr, iface), kNilObjectExceptionDecl);
  RuntimeUnlockObject(obj);
  RuntimeDestroyClass(impl);
  RuntimeDestroyClass(subIface);
  RuntimeDestroyClass(iface);
}

TEST_F(ObjectTest, WeakReferencesAreClearedWhenTheTargetDies) {
  CORVobject target = CORVInstantiateDeclaration(&kOtherDecl);
  Ref<> first = Ref<>::Adopt(RuntimeNewWeakRef(target));
  Ref<> second = Ref<>::Adopt(RuntimeNewWeakRef(target));
  CORVobject resolved = ResolveWeakRef(first.object());
  EXPECT_EQ(resolved, target);
  EXPECT_EQ(target->refCount, 2);
  RuntimeUnlockObject(resolved);
  RuntimeUnlockObject(target);
  EXPECT_EQ(ResolveWeakRef(first.object()), nullptr);
  EXPECT_EQ(ResolveWeakRef(second.object()), nullptr);
}

TEST_F(ObjectTest, UnregisteringAWeakReferenceLeavesTheOthers) {
  Ref<> target = corv::New(&kOtherDecl);
  Ref<> a = Ref<>::Adopt(RuntimeNewWeakRef(target.object()));
  Ref<> b = Ref<>::Adopt(RuntimeNewWeakRef(target.object()));
  Ref<> c = Ref<>::Adopt(RuntimeNewWeakRef(target.object()));
  UnregisterWeakRef(b.object());
  EXPECT_EQ(ResolveWeakRef(b.object()), nullptr);
  CORVobject viaA = ResolveWeakRef(a.object());
  CORVobject viaC = ResolveWeakRef(c.object());
  EXPECT_EQ(viaA, target.object());
  EXPECT_EQ(viaC, target.object());
  RuntimeUnlockObject(viaA);
  RuntimeUnlockObject(viaC);
  a = nullptr;  // its finalizer unregisters it
  CORVobject stillC = ResolveWeakRef(c.object());
  EXPECT_EQ(stillC, target.object());
  RuntimeUnlockObject(stillC);
}

int32_t Invoke(CORVobject) {
  return 7;
}
int32_t Function(CORVobject) {
  return 8;
}

TEST_F(ObjectTest, DelegatesHoldTheirTargetAndCheckTheirSignature) {
  Ref<> target = corv::New(&kOtherDecl);
  CORVstring signature = RuntimeCreateString("%i4%", 4, kEncodingASCII);
  CORVstring other = RuntimeCreateString("%%", 2, kEncodingASCII);
  Ref<> delegate = Ref<>::Adopt(RuntimeCreateDelegate(reinterpret_cast<void *>(&Invoke),
                                                      reinterpret_cast<void *>(&Function),
                                                      target.object(), signature));
  EXPECT_EQ(target->refCount, 2);
  CORVobject same = RuntimeCheckDelegateCast(delegate.object(), signature);
  EXPECT_EQ(same, delegate.object());
  RuntimeUnlockObject(same);
  EXPECT_RAISES(RuntimeCheckDelegateCast(delegate.object(), other), kIllegalCastExceptionDecl);
  EXPECT_EQ(RuntimeCheckDelegateCast(nullptr, signature), nullptr);
  EXPECT_RAISES(
      RuntimeCreateDelegate(nullptr, reinterpret_cast<void *>(&Function), nullptr, signature),
      kNilObjectExceptionDecl);
  delegate = nullptr;
  EXPECT_EQ(target->refCount, 1);
  RuntimeUnlockString(signature);
  RuntimeUnlockString(other);
}

int32_t gRunCalls = 0;
void RunHandler(CORVobject) {
  ++gRunCalls;
}
void OwnRunHandler(CORVobject) {
  gRunCalls += 10;
}

TEST_F(ObjectTest, EventHandlersFromDeclarationsAndPerObject) {
  static const CORVeventDecl events[] = {{0x804, "Run", "args() as String", "Integer"},
                                         {0x804, "Stop", nullptr, nullptr}};
  static const CORVclassDecl base =
      corv::ClassDecl("EventBase", sizeof(CORVobjectHeader)).Events(events);
  static const CORVhandlerDecl handlers[] = {{"run", reinterpret_cast<void *>(&RunHandler)}};
  static const CORVclassDecl derived =
      corv::ClassDecl("EventDerived", sizeof(CORVobjectHeader)).Super(&base).Handlers(handlers);
  Ref<> plain = corv::New(&base);
  Ref<> handled = corv::New(&derived);
  EXPECT_EQ(CORVEventHandler(plain.object(), 0), nullptr);
  EXPECT_EQ(CORVEventHandler(handled.object(), 0), reinterpret_cast<void *>(&RunHandler));
  EXPECT_EQ(CORVEventHandler(handled.object(), 1), nullptr);
  EXPECT_EQ(CORVEventHandler(handled.object(), 9), nullptr);
  Ref<> own = corv::New(&derived);
  CORVSetEventHandler(own.object(), 0, reinterpret_cast<void *>(&OwnRunHandler));
  EXPECT_EQ(CORVEventHandler(own.object(), 0), reinterpret_cast<void *>(&OwnRunHandler));
  EXPECT_EQ(CORVEventHandler(handled.object(), 0), reinterpret_cast<void *>(&RunHandler));
}

TEST_F(ObjectTest, LookupClassFindsRegisteredDeclarationsOnly) {
  static const CORVclassDecl looked = corv::ClassDecl("LookedUpClass", sizeof(CORVobjectHeader));
  CORVstring name = RuntimeCreateString("lookedupclass", 13, kEncodingUTF8);
  EXPECT_EQ(RuntimeLookupClass(name), nullptr);
  CORVRegisterDeclaration(&looked);
  CORVclass *found = RuntimeLookupClass(name);
  EXPECT_EQ(found, CORVBindDeclaration(&looked));
  EXPECT_EQ(RuntimeLookupClass(name), found);
  RuntimeUnlockString(name);
}

TEST_F(ObjectTest, DeclarationBindsToAnExistingClassOfTheSameName) {
  CORVclass *imageClass = RuntimeNewClass(nullptr, 0, 0, 0, 0, 0, 0);
  imageClass->name = RuntimeCreateString("ImageDefined", 12, kEncodingUTF8);
  imageClass->instanceSize = sizeof(CORVobjectHeader);
  static const CORVclassDecl decl = corv::ClassDecl("imagedefined", sizeof(CORVobjectHeader));
  EXPECT_EQ(CORVBindDeclaration(&decl), imageClass);
  corv::CaptureFailures(true);
  EXPECT_EQ(CORVBindDeclaration(nullptr), nullptr);
  EXPECT_EQ(corv::TakeCapturedFailures().size(), 1u);
  corv::CaptureFailures(false);
  RuntimeDestroyClass(imageClass);
}

}  // namespace
