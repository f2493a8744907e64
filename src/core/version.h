// The program's version, as every output that has room for it carries it.
#pragma once

namespace zentrel {

/// The version of this build: the project version, followed by `git describe` in parentheses
/// when the program was built from a checkout (for example "0.1.0 (323a44f)").
const char* programVersion();

}  // namespace zentrel
