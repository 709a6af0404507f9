// Reference counting and object creation against their plain baselines.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "corv.h"
#include "corv/class_decl.h"
#include "corv/ref.h"

namespace {

struct Small {
  CORVobjectHeader header;
  int32_t value;
};

const CORVclassDecl kSmallDecl = corv::ClassDecl("BenchSmall", sizeof(Small));

// Baseline: what a take+release pair may cost at most: an increment, a
// decrement and a branch on a count in memory.
void BM_PlainIncrementDecrement(benchmark::State &state) {
  Small plain = {};
  plain.header.refCount = 1;
  CORVobjectHeader *volatile target = &plain.header;
  for (auto _ : state) {
    CORVobjectHeader *obj = target;
    ++obj->refCount;
    benchmark::ClobberMemory();
    if (--obj->refCount == 0) std::abort();
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_PlainIncrementDecrement);

void BM_RefRetainRelease(benchmark::State &state) {
  corv::Ref<Small> obj = corv::New<Small>(&kSmallDecl);
  CORVobjectHeader *volatile target = obj.object();
  for (auto _ : state) {
    CORVobject o = target;
    corv::Retain(o);
    benchmark::ClobberMemory();
    corv::Release(o);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_RefRetainRelease);

void BM_RuntimeLockUnlockObject(benchmark::State &state) {
  corv::Ref<Small> obj = corv::New<Small>(&kSmallDecl);
  CORVobjectHeader *volatile target = obj.object();
  for (auto _ : state) {
    RuntimeLockObject(target);
    RuntimeUnlockObject(target);
  }
}
BENCHMARK(BM_RuntimeLockUnlockObject);

void BM_MallocFree(benchmark::State &state) {
  for (auto _ : state) {
    void *p = std::calloc(1, sizeof(Small));
    benchmark::DoNotOptimize(p);
    std::free(p);
  }
}
BENCHMARK(BM_MallocFree);

void BM_CreateDestroy(benchmark::State &state) {
  CORVclass *cls = CORVBindDeclaration(&kSmallDecl);
  for (auto _ : state) {
    CORVobject obj = RuntimeNewObject(cls);
    benchmark::DoNotOptimize(obj);
    RuntimeUnlockObject(obj);
  }
}
BENCHMARK(BM_CreateDestroy);

}  // namespace
