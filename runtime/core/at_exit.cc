// The at-exit list of runtime service objects.
#include "core/at_exit.h"

namespace corv {
namespace {

AtExitObject *gHead = nullptr;

}  // namespace

AtExitObject::AtExitObject() : next_(gHead) {
  gHead = this;
}

AtExitObject::~AtExitObject() {
  for (AtExitObject **link = &gHead; *link; link = &(*link)->next_)
    if (*link == this) {
      *link = next_;
      break;
    }
}

void DestroyAtExitObjects() {
  while (gHead) delete gHead;  // each destructor unlinks its object
}

int AtExitObjectCount() {
  int count = 0;
  for (AtExitObject *item = gHead; item; item = item->next_) ++count;
  return count;
}

}  // namespace corv
