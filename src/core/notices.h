// Notes about input the core read by its rules but that the user should hear about (lines a
// Ctrl-Z cuts off a station file). The program decides where they go: the command line prints
// them on stderr; without a handler they are dropped.
#pragma once

#include <functional>
#include <string>

namespace zentrel {

/// Sets the receiver of notes (nullptr: none). Each distinct note reaches it once.
void setNoticeHandler(std::function<void(const std::string&)> handler);

/// Passes a note to the handler unless the same note was passed before. Thread-safe.
void notice(const std::string& text);

}  // namespace zentrel
