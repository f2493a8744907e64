// What every writer shares: Windows-1252 file text, column alignment by characters, CR LF
// lines, the options the output windows pass, and saving through a temporary file.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "base/text_encoding.h"
#include "base/types.h"

namespace zentrel {

/// The eight stored results of a location, indexed by variable (Temp..Sun).
using VariableResults = std::array<VariableResult, kVariableCount>;
/// Which variables a writer writes, indexed by variable.
using VariableSelection = std::array<bool, kVariableCount>;

/// The quantity tick boxes of the output windows.
struct QuantitySelection {
    bool best = false;
    bool interval = false;   ///< Low and High at the chosen level
    bool stdErr = false;
    bool bias = false;
    bool slope = false;      ///< VertGrad per 100 m
    bool explVar = false;    ///< VertExplVar
    bool absGrad = false;
    bool dirGrad = false;    ///< direction in degrees and as compass text
    bool longGrad = false;
    bool latGrad = false;
    bool any() const {
        return best || interval || stdErr || bias || slope || explVar || absGrad || dirGrad || longGrad || latGrad;
    }
};

/// Confidence level of the bounds: 90, 95 or 99 (%), or 0 when none is chosen.
struct ConfidenceLevel {
    int percent = 0;
    /// k of Best -/+ k StdErr; 1.645 when no level is chosen (the result file's rule).
    float factor() const;
    /// "Low (5%)", "Low (2.5%)", "Low (.5%)", or "" without a level; likewise High.
    std::string lowTitle() const;
    std::string highTitle() const;
};


/// Appends `text` and CR LF.
void addLine(std::string& out, std::string_view text);

/// Writes `bytes` to `path` as writeOutputFile() does (beside and renamed for a regular file,
/// in place for a device or FIFO, through a symbolic link, "-" = standard output), so a
/// failure never leaves half a file. With `append` and an existing regular file the bytes
/// are added at its end, and a failed write cuts the file back to its old length. Throws
/// Error naming the file.
void saveOutput(const std::string& path, const std::string& bytes, bool append = false);

}  // namespace zentrel
