// frmMap ("Bitmap"): picking the current location on the world bitmap with boundaries and
// capitals, zoom 1:16..16:1, scrolling, dragging and point zoom.
#pragma once

#include <memory>
#include <vector>

#include <QImage>
#include <QWidget>

#include "maps/bna_file.h"
#include "shell/child_windows.h"

class QActionGroup;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollBar;
class QStatusBar;
class QToolBar;

namespace zentrel::gui {

class AppState;
class MainWindow;
class LocationMapViewport;

/// The world bitmap with its vector layers in bitmap pixels, read once.
struct WorldMapLayers {
    QImage bitmap;  ///< woma.bmp at full resolution
    std::vector<Shape> boundaries, capitals;
    QString error;  ///< why a part could not be read ("" when all was read)

    /// Reads woma.bmp, Worad1.bna and WorldCap.bna of the data folder; failures end in `error`.
    static std::shared_ptr<WorldMapLayers> load(const QString& dataFolder);
};

class LocationMapWindow : public QWidget {
    Q_OBJECT
public:
    enum class Tool { PointZoom, DragImage, SelectPoint };

    LocationMapWindow(MainWindow& main, std::shared_ptr<WorldMapLayers> layers, QWidget* parent = nullptr);

    /// `ImpostaZoom`: zoom step n (n >= 1: n:1, n <= -2: 1:|n|); redraws and updates the scroll bars.
    void ImpostaZoom(int n);
    int zoomStep() const { return mapZoom_; }
    double zoomFactor() const;
    /// `ImpostaZoomPunto`: one step in (or out) about a viewport point, keeping it under the pointer.
    void ImpostaZoomPunto(QPoint viewportPoint, bool zoomIn);
    void setTool(Tool tool);
    /// Scrolls so that the position lies in the middle of the view (as far as the range allows).
    void centreOn(double lon, double lat);
    /// The bitmap pixel in the middle of the view.
    QPointF viewCentre() const;
    Tool tool() const { return tool_; }

    /// Geographic position of a viewport point (false and "X OUT"/"Y OUT" when outside the bitmap).
    bool positionAt(QPoint viewportPoint, double& lon, double& lat, QString* statusText = nullptr) const;
    /// Viewport point of a position at the current zoom and scroll.
    QPointF viewportPointOf(double lon, double lat) const;
    /// "Select Point": fills the location boxes from a viewport point and draws the marker.
    void selectPoint(QPoint viewportPoint);
    /// "Set Location" (cmdRun) and "Save Data" (CmdSave). Return false when stopped.
    bool setLocation();
    bool saveData();

    QScrollBar* horizontalScrollBar() const { return HScroll1; }
    QScrollBar* verticalScrollBar() const { return VScroll1; }
    QWidget* viewport() const;
    QString statusText() const;
    QLineEdit* longitudeBox() const { return txtlong; }
    QLineEdit* latitudeBox() const { return txtLat; }
    QLineEdit* elevationBox() const { return txtElev; }
    QLineEdit* nameBox() const { return Text2; }

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    friend class LocationMapViewport;
    void createToolBar();
    void createLocationFrame();
    void rebuildSurface(bool marker, double lon = 0, double lat = 0);
    void AggiornaScrollBar();
    void MiaResize();
    void showStatus(const QString& text);
    void centreOnBitmapPoint(QPointF bitmapPoint);

    MainWindow& main_;
    AppState& state_;
    std::shared_ptr<WorldMapLayers> layers_;
    QImage surface_;  ///< the bitmap with the layers and the marker, at full resolution
    int mapZoom_ = 1;
    bool centredOnce_ = false;
    Tool tool_ = Tool::SelectPoint;
    QToolBar* toolBar_ = nullptr;
    QActionGroup* tools_ = nullptr;
    LocationMapViewport* view_ = nullptr;
    QScrollBar* HScroll1 = nullptr;
    QScrollBar* VScroll1 = nullptr;
    QWidget* frame_ = nullptr;
    QLineEdit* txtlong = nullptr;
    QLineEdit* txtLat = nullptr;
    QLineEdit* txtElev = nullptr;
    QLineEdit* Text2 = nullptr;
    QPushButton* cmdRun = nullptr;
    QPushButton* CmdSave = nullptr;
    QStatusBar* statusBar_ = nullptr;
};

/// Provider of the location map window (layers read while the introduction window shows).
ChildWindowProvider locationMapWindowProvider();

}  // namespace zentrel::gui
