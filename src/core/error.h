// The one exception type of the core: input the core cannot use, with a message for the user.
#pragma once

#include <stdexcept>
#include <string>

namespace zentrel {

/// Thrown for input the core cannot use (a missing file, a malformed line, an
/// out-of-range value). The message is a full sentence naming the file, line and
/// field where there is one. Programming errors are asserts, not Errors.
class Error : public std::runtime_error {
public:
    explicit Error(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace zentrel
