// Colour tables of the background maps (".clr" files): a label and a colour per cell count.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace zentrel {

struct Rgb {
    uint8_t Red = 0, Green = 0, Blue = 0;
    bool operator==(const Rgb&) const = default;
};

/// A colour value as the colour dialogs give it: red + 256 * green + 65536 * blue.
Rgb colourFromValue(uint32_t value);

/// One line of a colour file: counts First..Last (0..255) get the colour and the label.
struct ColourRange {
    int First = 0;
    int Last = 0;
    Rgb Colour;
    std::string Label;
    bool operator==(const ColourRange&) const = default;
};

struct ColourEntry {
    std::string Label;  ///< empty: not shown in the legend
    Rgb Colour;
};

inline constexpr int kCapitalsEntry = 253;
inline constexpr int kBoundariesEntry = 254;

/// 256 entries indexed by cell count.
struct ColourTable {
    std::array<ColourEntry, 256> Entries;

    /// Applies ranges in order (later ones overwrite earlier ones), then sets entry 254 to
    /// "Boundaries" with the boundary colour and entry 253 to "Capitals" with the capital colour.
    static ColourTable fromRanges(const std::vector<ColourRange>& ranges, Rgb boundaryColour = {},
                                  Rgb capitalColour = {});

    /// Entries shown in the legend: from 1 upward, each whose label is not empty and differs
    /// from the label of the entry before it (entry 0 itself is never listed).
    std::vector<int> legendEntries() const;

    /// The colour editor's OK: every entry whose label equals `label` (both trimmed) gets `colour`.
    void setColourOfLabel(const std::string& label, Rgb colour);
};

/// Parses colour file text: the first line is a header and is skipped; every further non-blank
/// line holds tab-separated fields, each trimmed: first count, last count, red, green, blue and
/// an optional label. Throws Error naming `fileName`, the line and the field when a field is
/// missing, not a whole number from 0 to 255, or the first count lies above the last.
std::vector<ColourRange> parseColourRanges(const std::string& text, const std::string& fileName);

/// Reads a colour file into a table (see ColourTable::fromRanges). Throws Error when the file
/// is missing, unreadable or malformed.
ColourTable readColourTable(const std::string& path, Rgb boundaryColour = {}, Rgb capitalColour = {});

/// Colour file text: `headerLine`, then one tab-separated line per range, lines ended by "\n".
/// Tabs and line ends in labels (line ends in the header) become blanks.
std::string formatColourFile(const std::string& headerLine, const std::vector<ColourRange>& ranges);
void writeColourFile(const std::string& path, const std::string& headerLine, const std::vector<ColourRange>& ranges);

}  // namespace zentrel
