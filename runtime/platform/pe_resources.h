// The resources of a PE file (a Windows executable), read from the file
// itself: where the bytes of a resource of a given type lie. Pure reading of
// the file's tables, so that any platform can look into a Windows program.
#pragma once

#include "platform/executable.h"

namespace corv::platform {

/// The file offset and size of the first resource of type `type` (a type
/// name such as "PICKLE", compared without regard to ASCII letter case),
/// whatever its name or language. False when the file is no PE file, has no
/// such resource, or its tables point outside the file.
bool FindPeResource(const ReadableFile &file, const char *type, FileSection *resource);

}  // namespace corv::platform
