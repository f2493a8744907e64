// The text of the written files: Windows-1252 bytes from UTF-8 and back, and widths and
// alignment counted in characters.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zentrel {

/// Converts UTF-8 text to the Windows-1252 bytes of the written files ("°" is 0xB0).
/// Characters without a Windows-1252 byte become "?"; bytes that are not UTF-8 are kept.
std::string toWindows1252(std::string_view utf8);

/// `text` as valid UTF-8: well-formed sequences are kept, every other byte is read as a
/// Windows-1252 character (0xE9 -> "é"; unassigned bytes become U+FFFD).
std::string toValidUtf8(std::string_view text);

/// Characters of `text` as written (UTF-8 sequences count one each).
size_t textWidth(std::string_view text);
/// `text` padded with blanks on the left to `width` characters; a longer text is whole.
std::string alignRight(std::string_view text, size_t width);
/// `text` padded with blanks on the right to `width` characters; a longer text is whole.
std::string alignLeft(std::string_view text, size_t width);
/// The first `count` characters of `text`.
std::string firstChars(std::string_view text, size_t count);

}  // namespace zentrel
