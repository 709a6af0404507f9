// Helpers shared by the object model's files.
#pragma once

#include "corv_types.h"

namespace corv {

/// True when the runtime string holds `name`, ASCII case ignored.
bool NameEquals(CORVstring s, const char *name);
/// True when the class's name is `name`, ASCII case ignored.
bool ClassNamed(CORVclass *cls, const char *name);
/// Clears every weak reference to an object that is being freed.
void ClearWeakReferencesTo(CORVobject obj);

}  // namespace corv
