// The program's help text, built into the program.
#pragma once

#include <QString>

namespace zentrel::gui {

/// Anchor names of the help text's table of contents and index.
inline constexpr const char* kHelpContentsAnchor = "contents";
inline constexpr const char* kHelpIndexAnchor = "index";

/// The whole help as one HTML document with the anchors above.
QString helpHtml();

}  // namespace zentrel::gui
