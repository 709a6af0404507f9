// Helpers shared by the object model's files.
#pragma once

#include "corv_object.h"

namespace corv {

/// True when the runtime string holds `name`, ASCII case ignored.
bool NameEquals(CORVstring s, const char *name);
/// True when the class's name is `name`, ASCII case ignored.
bool ClassNamed(CORVclass *cls, const char *name);
/// Builds the class record of a declaration on `base` (its own `super` is
/// not consulted), the base's entries and virtual-table slots first, and
/// binds the declaration to it. The declaration must outlive the binding.
CORVclass *DefineClass(const CORVclassDecl *decl, CORVclass *base);
/// Clears every weak reference to an object that is being freed.
void ClearWeakReferencesTo(CORVobject obj);

}  // namespace corv
