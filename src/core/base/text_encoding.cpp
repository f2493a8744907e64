// Windows-1252 and UTF-8, and character counts of UTF-8 text.
#include "base/text_encoding.h"

namespace zentrel {

namespace {

/// Code points of the Windows-1252 bytes 0x80..0x9F (0 = unassigned).
constexpr char32_t kHighControls[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

/// Length of the UTF-8 sequence starting at text[i] and its code point; 0 when the bytes
/// there are not a well-formed sequence.
size_t decodeUtf8(std::string_view text, size_t i, char32_t& cp) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char b0 = byte(i);
    size_t length;
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    } else if ((b0 & 0xE0) == 0xC0 && b0 >= 0xC2) {
        length = 2;
        cp = b0 & 0x1F;
    } else if ((b0 & 0xF0) == 0xE0) {
        length = 3;
        cp = b0 & 0x0F;
    } else if ((b0 & 0xF8) == 0xF0 && b0 <= 0xF4) {
        length = 4;
        cp = b0 & 0x07;
    } else {
        return 0;
    }
    if (i + length > text.size()) return 0;
    for (size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (byte(i + k) & 0x3F);
    }
    if ((length == 3 && cp < 0x800) || (length == 4 && (cp < 0x10000 || cp > 0x10FFFF))) return 0;
    return length;
}

char windows1252Byte(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<char>(cp);
    for (int k = 0; k < 32; ++k)
        if (kHighControls[k] == cp && cp != 0) return static_cast<char>(0x80 + k);
    return '?';
}

}  // namespace

std::string toWindows1252(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        char32_t cp = 0;
        const size_t length = decodeUtf8(utf8, i, cp);
        if (length == 0) {
            out += utf8[i++];  // already a single-byte text: keep the byte
            continue;
        }
        out += windows1252Byte(cp);
        i += length;
    }
    return out;
}

std::string toValidUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        char32_t cp = 0;
        if (const size_t length = decodeUtf8(text, i, cp); length > 0) {
            out.append(text.substr(i, length));
            i += length;
            continue;
        }
        const auto byte = static_cast<unsigned char>(text[i++]);
        cp = byte >= 0x80 && byte < 0xA0 ? kHighControls[byte - 0x80] : byte;
        if (cp == 0) cp = 0xFFFD;
        if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

size_t textWidth(std::string_view text) {
    size_t width = 0;
    for (size_t i = 0; i < text.size(); ++width) {
        char32_t cp = 0;
        const size_t length = decodeUtf8(text, i, cp);
        i += length == 0 ? 1 : length;
    }
    return width;
}

std::string alignRight(std::string_view text, size_t width) {
    const size_t w = textWidth(text);
    return w >= width ? std::string(text) : std::string(width - w, ' ') + std::string(text);
}

std::string alignLeft(std::string_view text, size_t width) {
    const size_t w = textWidth(text);
    return w >= width ? std::string(text) : std::string(text) + std::string(width - w, ' ');
}

std::string firstChars(std::string_view text, size_t count) {
    size_t i = 0;
    for (size_t n = 0; n < count && i < text.size(); ++n) {
        char32_t cp = 0;
        const size_t length = decodeUtf8(text, i, cp);
        i += length == 0 ? 1 : length;
    }
    return std::string(text.substr(0, i));
}

}  // namespace zentrel
