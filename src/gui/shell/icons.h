// Menu and toolbar pictures, drawn in code so the program needs no image files.
#pragma once

#include <QIcon>

namespace zentrel::gui {

/// Pictures of the toolbar's image list, numbered as the menu items refer to them.
enum class Picture {
    Save = 2, Print = 3, SetLocation = 4, LocationBitmap = 5, LocationFile = 6, LocationGrid = 7,
    ViewData = 8, WorkBench = 9, Help = 10, Index = 11, About = 12, Cascade = 13,
    TileHorizontal = 14, TileVertical = 15, PrinterSetup = 16, Coordinates = 17, Settings = 18,
    RasterMap = 19, OutputFormat = 20,
};

/// The picture as an icon (16, 24 and 32 pixels).
QIcon pictureIcon(Picture picture);

}  // namespace zentrel::gui
