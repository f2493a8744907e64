// The fingerprint of the core's source code, for derived files that only its own code may trust.
#pragma once

#include <cstdint>

namespace zentrel {

/// A hash of the contents of every source file of the core library, fixed at build time: two
/// builds of the same source have the same number, any change to a source gives another.
extern const uint64_t kSourceIdentity;

}  // namespace zentrel
