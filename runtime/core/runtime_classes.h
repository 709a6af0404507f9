// The runtime's own class declarations, made known by name at start-up.
#pragma once

namespace corv {

/// Registers every runtime class declaration so that RuntimeLookupClass
/// (and plugins naming a runtime superclass) find them. Idempotent.
void RegisterRuntimeClassDeclarations();

}  // namespace corv
