// Form1: the raster map window. Background maps of rastelldata with legend, boundaries and
// capitals, point selection and point zoom, the colour editor, the map list, and the export
// panel that computes an estimated variable over a rectangle off the GUI thread.
#pragma once

#include <memory>
#include <optional>
#include <vector>

#include <QFutureWatcher>
#include <QImage>
#include <QWidget>
#include <functional>

#include "maps/bna_file.h"
#include "maps/colour_table.h"
#include "maps/img_file.h"
#include "maps/climate_surface.h"
#include "maps/map_folder.h"
#include "maps/raster_export.h"
#include "maps/raster_map_render.h"
#include "shell/child_windows.h"

class QAction;
class QCheckBox;
class QComboBox;
class QDialog;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QScrollArea;
class QPushButton;
class QStatusBar;
class QTableWidget;
class QTimer;
class QToolBar;

namespace zentrel::gui {

class AppState;
class MainWindow;
class RasterMapPicture;
class RasterLegend;

class RasterMapWindow : public QWidget {
    Q_OBJECT
public:
    /// Mouse modes "NONE" (select a point), "ZOOMPUNTO" (point zoom), "RECTANGLE" (export rectangle).
    enum class Mode { None, ZoomPunto, Rectangle };

    RasterMapWindow(MainWindow& main, QString mapFolder, QWidget* parent = nullptr);
    ~RasterMapWindow() override;

    /// Lists the usable maps and opens the first ("No Map available" when there is none).
    void openFirstMap();
    const std::vector<MapFiles>& maps() const { return maps_; }
    bool hasMap() const { return map_.has_value(); }
    const ImgRaster& map() const { return *map_; }
    const ColourTable& colourTable() const { return colours_; }
    const MapFiles& mapFiles() const { return files_; }
    /// "Change Map": asks "Do you want use NAME Map?" and on Yes opens map `index` of the list.
    bool changeMap(int index);
    /// "Browse": opens the map of an IMG file anywhere (its companion files beside it), at its
    /// own extent. False, with a message naming the file, when it cannot be shown.
    bool openMapFile(const QString& imgPath);
    /// The point of the location fields, drawn as a marker on the map; nullopt when they hold none.
    std::optional<QPointF> selectedPoint() const;

    void setMode(Mode mode);
    Mode mode() const { return mode_; }
    /// Redraws the map into the off-screen image and paints it.
    void Draw();
    void toggleBoundaries();
    void toggleCapitals();
    void setAutoSize(bool on);
    /// Point zoom: a left click zooms one level in about the point, a right click one level out.
    void zoomPunto(QPoint pixel, bool zoomIn);
    int zoomLevel() const { return zoomLevel_; }
    const MapView& view() const { return view_; }

    /// Mode "NONE" click: longitude and latitude (two decimals) and the elevation raster's altitude.
    void selectPoint(QPoint pixel);
    /// Mode "RECTANGLE": the rectangle between two pixels fills the export panel's boxes.
    void setExportRectangle(QPoint from, QPoint to);
    /// Status text of a pixel: the position in degrees, minutes and seconds and the map's value.
    QString statusTextAt(QPoint pixel) const;
    QString statusText() const;

    /// CmdRun and CmdSave. Return false when stopped.
    bool setLocation();
    bool saveData();

    // ---- colour editor ----
    /// `LoadGridColors` and shows the editor.
    void showColourEditor();
    QTableWidget* colourGrid() const { return GrdColors; }
    /// OK of the editor: every entry with a row's label takes the row's colour; redraws.
    void acceptColours();

    // ---- export panel ----
    void showExportPanel();
    QGroupBox* exportPanel() const { return exportPanel_; }
    /// `RastellSave`: validates, then starts the export off the GUI thread. False when stopped.
    bool startExport();
    /// `RastellCancel`: hides the panel when idle; asks and requests the abort while running.
    void cancelExport();
    bool exportRunning() const;
    /// Where the save dialog's answer comes from (tests replace it); empty means no name.
    std::function<QString()> askFileName;
    /// Where "Browse" gets the map file from (tests replace it); empty means cancelled.
    std::function<QString()> askMapFile;

    QLineEdit *TxtLonStart = nullptr, *TxtLonEnd = nullptr, *TxtLatStart = nullptr, *TxtLatEnd = nullptr;
    QComboBox *resolutionCombo = nullptr, *variableCombo = nullptr, *periodCombo = nullptr;
    /// "Rastell (*.IMG)" or "GeoTIFF (*.tif)": a GeoTIFF holds full-precision values, and may
    /// hold every month and the error surfaces (the check boxes below, shown for GeoTIFF only).
    QComboBox* fileTypeCombo = nullptr;
    QCheckBox *allMonthsCheck = nullptr, *stdErrCheck = nullptr, *boundsCheck = nullptr, *biasCheck = nullptr;
    bool geoTiffChosen() const;
    QPushButton *RastellSave = nullptr, *RastellCancel = nullptr;
    QProgressBar* RastellBar = nullptr;
    QLabel* LblLonLat = nullptr;
    QLabel* LblGridNote = nullptr;  ///< where the cells of the chosen file type lie on the box
    QLineEdit *txtLong = nullptr, *txtLat = nullptr, *txtElev = nullptr, *Text2 = nullptr;
    QListWidget* ListMap = nullptr;

signals:
    /// After every export, written or not (the file name is empty unless written).
    void exportFinished(const QString& fileName);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    friend class RasterMapPicture;
    struct ExportJob;
    void createToolBar();
    void createSidePanel();
    void fitSidePanel();
    void createExportPanel();
    void createColourEditor();
    bool loadMap(const MapFiles& files);
    /// The zoom level and centre that show the whole map and as little else as possible.
    void zoomToMap();
    /// Lists the usable maps of the map folder again in `ListMap`.
    void refreshMapList();
    void updateView();
    void snapBoxes();
    void updateExportProgress();
    void finishExport();
    void endExport();
    void showError(const QString& text);

    MainWindow& main_;
    AppState& state_;
    QString mapFolder_;
    std::vector<MapFiles> maps_;
    MapFiles files_;
    std::optional<ImgRaster> map_;
    ColourTable colours_;
    std::vector<BnaShape> boundaries_, capitals_;
    Rgb boundaryColour_{}, capitalColour_{};
    bool showBoundaries_ = true, showCapitals_ = true, autoSize_ = true, redrawRequest_ = false;
    Mode mode_ = Mode::None;
    int zoomLevel_ = 1;
    std::vector<QPointF> zoomCentres_;  ///< index = level, entry 0 unused
    MapView view_;
    QImage image_;

    QToolBar* Toolbar1 = nullptr;
    QAction *selectAction_ = nullptr, *zoomAction_ = nullptr, *autoSizeAction_ = nullptr, *exportAction_ = nullptr;
    RasterMapPicture* Picture1 = nullptr;
    RasterLegend* legend_ = nullptr;
    QScrollArea* sideArea_ = nullptr;  ///< the legend and the panels beside the map; scrolls when they do not fit
    QGroupBox* exportPanel_ = nullptr;
    QWidget* geoTiffOptions_ = nullptr;
    QWidget* mapList_ = nullptr;
    QDialog* colourEditor_ = nullptr;
    QTableWidget* GrdColors = nullptr;
    QStatusBar* statusBar_ = nullptr;
    QTimer* Timer1 = nullptr;
    QTimer* progressTimer_ = nullptr;

    std::shared_ptr<ExportJob> job_;
    QFutureWatcher<void>* watcher_ = nullptr;
};

/// Provider of the raster map window.
ChildWindowProvider rasterMapWindowProvider();

}  // namespace zentrel::gui
