// The at-exit list: small runtime service objects destroyed, newest first,
// after the image's entry has returned.
#pragma once

namespace corv {

/// Links itself at the head of the at-exit list when constructed and
/// unlinks itself when destroyed. Owners create them with `new`.
class AtExitObject {
 public:
  AtExitObject();
  virtual ~AtExitObject();
  AtExitObject(const AtExitObject &) = delete;
  AtExitObject &operator=(const AtExitObject &) = delete;

 private:
  AtExitObject *next_ = nullptr;
  friend void DestroyAtExitObjects();
  friend int AtExitObjectCount();
};

/// Destroys the object at the head of the list until the list is empty.
void DestroyAtExitObjects();
/// Objects on the list now.
int AtExitObjectCount();

}  // namespace corv
