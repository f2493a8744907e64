// The map windows: bitmap coordinates, zoom range and the location buttons of frmMap; the
// raster map window's panel checks and exports run off the GUI thread to files.
#include "base/picture.h"
#include "core/maps_test_util.h"
#include "gui_test_support.h"
#include "maps/bna_file.h"
#include "maps/climate_surface.h"
#include "maps/colour_table.h"
#include "maps/img_file.h"
#include "maps/location_map_window.h"
#include "maps/map_folder.h"
#include "maps/raster_map_window.h"

using namespace zentrel;
using namespace zentrel::gui;
using zentrel::gui::test::MessageRecorder;

namespace {

// A 4 x 3 map at 1 degree: columns at longitudes 9..12, rows at latitudes 47..45; one sea cell.
void writeSmallMap(const QString& folder) {
    const ImgRaster map{.Header = {.Rows = 3, .Columns = 4, .Title = "Small", .RefLat = 46, .RefLon = 11, .RefColumn = 2, .RefRow = 1,
                                   .CellWidth = 1, .CellHeight = 1},
                        .Cells = {10, 10, 20, 20, 10, kImgNoData, 20, 20, 10, 10, 20, 20}};
    const std::string base = QDir(folder).filePath(QStringLiteral("small")).toStdString();
    writeImg(base + ".img", map);
    writeColourFile(base + ".clr", "First\tLast\tRed\tGreen\tBlue\tLabel",
                    {{0, 15, {0, 160, 0}, "Low"}, {16, 250, {200, 120, 0}, "High"}, {255, 255, {0, 0, 160}, "Sea"}});
    std::ofstream(base + ".cty") << "\"Capital\",\"\",1\n10.2,46.2\n";
    std::ofstream(base + ".bnd") << "\"Border\",\"\",3\n9,45\n12,47\n12,45\n";
}

}  // namespace

class MapsWindowsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        writeSmallMap(maps_.path());
        gui::test::writeTerrain(sea_.path(), {});
    }
    void init() { messages.reset(); }
    void locationMapCoordinatesZoomAndButtons() {
        MainWindow main(seaFolder());
        LocationMapWindow window(main, blueWorld(360));
        QVERIFY(gui::test::shown(window, QSize(600, 400)));

        window.horizontalScrollBar()->setValue(0);
        window.verticalScrollBar()->setValue(0);
        double lon = 0, lat = 0;
        QString text;
        QVERIFY(window.positionAt(QPoint(0, 0), lon, lat, &text));
        QCOMPARE(std::pair(lon, lat), std::pair(-180.0, 90.0));
        QVERIFY(text.startsWith(QStringLiteral("Longitude= 180° 0' 0'' W  Latitude= 90° 0' 0'' N")));
        QVERIFY(!window.positionAt(QPoint(500, 10), lon, lat, &text));  // right of the bitmap at 1:1
        QCOMPARE(text, QStringLiteral("X OUT"));

        // At 16:1 the scroll bars reach the bitmap's bottom-right corner.
        window.ImpostaZoom(16);
        QScrollBar* h = window.horizontalScrollBar();
        QScrollBar* v = window.verticalScrollBar();
        const QSize view = window.viewport()->size();
        QCOMPARE(std::pair(h->maximum(), v->maximum()), std::pair(360 * 16 - view.width(), 180 * 16 - view.height()));
        h->setValue(h->maximum());
        v->setValue(v->maximum());
        QVERIFY(window.positionAt(QPoint(view.width(), view.height()), lon, lat));
        QCOMPARE(std::pair(lon, lat), std::pair(180.0, -90.0));
        window.ImpostaZoom(-2);
        window.ImpostaZoomPunto(QPoint(10, 10), true);
        QCOMPARE(window.zoomStep(), 1);
        QCOMPARE(window.statusText(), QStringLiteral("SCALA 1:1"));
        window.longitudeBox()->setText(QStringLiteral("12,5"));
        window.latitudeBox()->setText(QStringLiteral("75"));
        QVERIFY(window.setLocation());
        QVERIFY(messages.saidOnce().startsWith(QStringLiteral(" Polar Region | ")) && messages.said().endsWith(QStringLiteral("| Information")));
        QCOMPARE(std::pair(main.state().currentLocation().Lon, main.state().currentLocation().Lat), std::pair(12.5f, 75.0f));
        window.latitudeBox()->setText(QStringLiteral("95"));
        QVERIFY(!window.setLocation());
        QVERIFY(messages.said().startsWith(QStringLiteral("Strange Location | ")) && messages.said().endsWith(QStringLiteral("| Critical")));
    }

    void locationMapOpensCentredOnTheCurrentLocationAndZoomKeepsTheCentre() {
        MainWindow main(seaFolder());
        LocationMapWindow window(main, blueWorld(2160));
        QVERIFY(gui::test::shown(window));
        const QSize view = window.viewport()->size();
        QVERIFY2(view.width() >= 500 && view.height() >= 350, "the map opens too small to be used");

        const auto offCentre = [&] {
            const Location& here = main.state().currentLocation();
            const QPointF at = window.viewportPointOf(here.Lon, here.Lat);
            const QPointF centre(window.viewport()->width() / 2.0, window.viewport()->height() / 2.0);
            return (at - centre).manhattanLength();
        };
        QVERIFY2(offCentre() <= 2, "the map does not open on the current location");
        for (int step : {2, 16, 1, 4}) {
            window.ImpostaZoom(step);
            QVERIFY2(offCentre() <= 2 * window.zoomFactor() + 2, qPrintable(QStringLiteral("zoom %1:1 lost the centre").arg(step)));
        }
        window.resize(window.width() + 120, window.height() + 80);  // at 4:1, with room all round
        QCoreApplication::processEvents();
        QVERIFY2(offCentre() <= 2 * window.zoomFactor() + 2, "resizing lost the centre");

        // Point zoom keeps the clicked point under the pointer.
        double lon = 0, lat = 0;
        const QPoint click(window.viewport()->width() / 3, window.viewport()->height() / 3);
        QVERIFY(window.positionAt(click, lon, lat));
        window.ImpostaZoomPunto(click, true);
        const QPointF after = window.viewportPointOf(lon, lat);
        QVERIFY((after - QPointF(click)).manhattanLength() <= 3);
    }

    void pointPickedOnTheLocationMapGetsItsOwnName() {
        MainWindow main(seaFolder());
        LocationMapWindow window(main, blueWorld(2160));
        QVERIFY(gui::test::shown(window));
        QCOMPARE(window.nameBox()->text(), QStringLiteral("East of Rome"));
        window.selectPoint(window.viewportPointOf(-3.67, 40.33).toPoint());
        QCOMPARE(window.nameBox()->text(), QString());
        QVERIFY(window.setLocation());
        const Location& here = main.state().currentLocation();
        QVERIFY(std::fabs(here.Lon + 3.67f) < 0.2f);
        QCOMPARE(QString::fromStdString(here.Name),
                 QStringLiteral("ST-Lon%1-Lat%2-Alt-0")
                     .arg(QString::fromStdString(shortestFloat(here.Lon)), QString::fromStdString(shortestFloat(here.Lat))));

        // A name typed after picking is the one used.
        window.selectPoint(window.viewportPointOf(-3.0, 40.0).toPoint());
        window.nameBox()->setText(QStringLiteral("Madrid"));
        QVERIFY(window.setLocation());
        QCOMPARE(main.state().currentLocation().Name, std::string("Madrid"));
    }

    void rasterMapChecksThePanelAndExportsOffTheGuiThread() {
        QTemporaryDir out;
        MainWindow main(stationFolder());
        RasterMapWindow window(main, maps_.path());
        QVERIFY(openedWithPanel(window));
        QCOMPARE(window.mode(), RasterMapWindow::Mode::Rectangle);
        // The rubber band's corners fill the panel: west and east, north and south.
        window.setExportRectangle(window.view().pixelOf(11, 45).toPoint(), window.view().pixelOf(9, 47).toPoint());
        const std::pair<QLineEdit*, double> corners[] = {
            {window.TxtLonStart, 9}, {window.TxtLonEnd, 11}, {window.TxtLatStart, 47}, {window.TxtLatEnd, 45}};
        for (auto [box, expected] : corners) QVERIFY2(std::fabs(box->text().toDouble() - expected) < 0.5, qPrintable(box->objectName()));
        setBox(window, "45", "0,5");
        QVERIFY(!window.startExport());  // the south edge is not accepted
        QCOMPARE(messages.last().text, QStringLiteral("End Latitude must be in the range (45;47)  "));
        window.resolutionCombo->setCurrentText(QStringLiteral("3"));
        QVERIFY(!window.startExport());
        QCOMPARE(messages.last().text, QStringLiteral("Resolution in decimal degrees must be in the range (2,0.001)  "));

        setBox(window, "45.6", "0,5");
        window.variableCombo->setCurrentIndex(Temp);
        window.periodCombo->setCurrentText(QStringLiteral("September"));
        const QString file = QDir(out.path()).filePath(QStringLiteral("export.IMG"));
        window.askFileName = [file] { return file; };
        QSignalSpy finished(&window, &RasterMapWindow::exportFinished);
        QVERIFY(window.startExport());
        QCOMPARE(window.TxtLatEnd->text(), QStringLiteral("45.5"));  // snapped down to the resolution
        QVERIFY(!window.RastellSave->isEnabled());
        QVERIFY(finished.wait(60000));
        QCOMPARE(std::pair(finished.first().first().toString(), messages.last().text), std::pair(file, QStringLiteral("Data Saved Correctly")));
        QVERIFY(window.RastellSave->isEnabled() && !window.exportPanel()->isVisible());
        const ImgRaster raster = readImg(file.toStdString());
        QCOMPARE(QFile(file).size(), qint64(534 + 4 * 3));
        QCOMPARE(raster.Header.Title, std::string("Mirvo/Zentrel-Temp-September"));
        // Row 2 (latitude 46) column 2 (longitude 10) lies on the sea cell; the others are 10 °C.
        QCOMPARE(raster.at(2, 2), kImgNoData);
        QCOMPARE(raster.at(2, 1), uint8_t(150));  // latitude 46.5 rounds to the map row of 47
        QCOMPARE(raster.at(0, 0), uint8_t(150));

        // The export is a map of its own: colour table, boundaries and capitals beside it, so
        // the map list offers it and it opens like a background map.
        const std::vector<MapFiles> listed = listUsableMaps(out.path().toStdString());
        QVERIFY2(listed.size() == 1 && listed.front().Base == "export", "an exported raster needs its .clr, .cty and .bnd");
        const ColourTable colours = readColourTable(listed.front().Clr);
        QVERIFY(QString::fromStdString(colours.Entries[150].Label).startsWith(QLatin1String("10.0 - ")));  // count 150 is 10 degrees
        QCOMPARE(colours.Entries[255].Label, std::string("Sea"));
        QCOMPARE(readBna(listed.front().Bnd).size(), size_t(1));
        RasterMapWindow again(main, out.path());
        again.openFirstMap();
        QVERIFY(again.hasMap());
        QCOMPARE(again.ListMap->count(), 1);
        // Saved into the map folder, the export is listed at once by "Change Map".
        const QString intoMaps = QDir(maps_.path()).filePath(QStringLiteral("again.img"));
        window.askFileName = [intoMaps] { return intoMaps; };
        QVERIFY(window.startExport());
        QVERIFY(finished.wait(60000));
        QCOMPARE(window.ListMap->count(), 2);
        for (const QString& f : QDir(maps_.path()).entryList({QStringLiteral("again.*")})) QFile::remove(maps_.filePath(f));
    }

    // With the map list and the export panel open at the window's smallest and default sizes,
    // every export field keeps its height and the legend a few entries; the side column scrolls.
    void exportPanelKeepsItsFieldsUsableWithTheMapListOpen() {
        MainWindow main(seaFolder());
        RasterMapWindow window(main, maps_.path());
        QVERIFY(gui::test::shown(window));
        window.openFirstMap();
        for (QAction* action : window.findChildren<QAction*>())
            if (action->text() == QStringLiteral("Change Map")) action->trigger();
        window.showExportPanel();
        auto* panel = window.findChild<QGroupBox*>(QStringLiteral("ExportPanel"));
        // The part of the legend in view: the viewport of its scroll area.
        auto* legend = window.findChild<QWidget*>(QStringLiteral("Legend"))->parentWidget();
        QVERIFY(panel && legend && window.ListMap->isVisible());
        for (const QSize size : {window.minimumSizeHint(), QSize(1000, 640)}) {
            window.resize(size);
            QTest::qWait(20);
            for (QWidget* field : panel->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
                if (field->isVisible() && (qobject_cast<QLineEdit*>(field) || qobject_cast<QComboBox*>(field)))
                    QVERIFY2(field->height() >= field->minimumSizeHint().height(), qPrintable(field->objectName()));
            QVERIFY2(legend->height() >= 6 * legend->fontMetrics().height(), "the legend keeps a few entries");
        }
    }

    void pointZoomNearTheTopEdgeShowsNoBandAboveTheMap() {
        MainWindow main(seaFolder());
        RasterMapWindow window(main, maps_.path());
        QVERIFY(gui::test::shown(window, QSize(900, 600)));
        window.openFirstMap();
        // A map opens at its own extent (9..12 E, 45..47 N), not as a patch on the world.
        QVERIFY(std::fabs(window.view().lonAt(window.view().Size.width() / 2.0) - 10.5) < 0.5);
        QVERIFY(window.view().DegreesPerPixel * window.view().Size.width() < 20);
        for (int k = 0; k < 30; ++k) window.zoomPunto(QPoint(10, 10), false);  // out to the world
        for (int k = 0; k < 2; ++k) {
            window.zoomPunto(window.view().pixelOf(20, 74).toPoint(), true);
            QVERIFY2(window.view().Top <= 78.0 + window.view().DegreesPerPixel,
                     qPrintable(QStringLiteral("zoom %1: the view starts above the map's extent").arg(k + 2)));
            QVERIFY(window.view().latAt(window.view().Size.height()) >= -78.0 - window.view().DegreesPerPixel);
        }
        // The recorded centre is the clicked point; zooming out returns to the level before.
        window.zoomPunto(QPoint(10, 10), false);
        window.zoomPunto(QPoint(10, 10), false);
        QVERIFY(std::fabs(window.view().lonAt(window.view().Size.width() / 2.0)) < 1.0);
    }

    // The GeoTIFF choice of the panel: its options show only for GeoTIFF, the file name comes
    // first, and the file holds every month and the standard error in full precision.
    void rasterMapExportsAGeoTiffWithAllMonthsAndTheError() {
        QTemporaryDir out;
        MainWindow main(stationFolder());
        RasterMapWindow window(main, maps_.path());
        QVERIFY(openedWithPanel(window));
        QVERIFY(!window.allMonthsCheck->isVisible());
        // Where the cells lie is said for the type chosen: a GeoTIFF and a Rastell image of one
        // box are half a cell apart.
        const auto gridNote = [&] { return window.findChild<QLabel*>(QStringLiteral("LblGridNote"))->text(); };
        QVERIFY(gridNote().startsWith(QStringLiteral("Rastell")) && gridNote().contains(QStringLiteral("half a cell")));
        window.fileTypeCombo->setCurrentIndex(1);
        QVERIFY(window.allMonthsCheck->isVisible());
        QVERIFY(gridNote().startsWith(QStringLiteral("GeoTIFF")) && gridNote().contains(QStringLiteral("half a cell")));
        window.allMonthsCheck->setChecked(true);
        QVERIFY(!window.periodCombo->isEnabled());
        window.stdErrCheck->setChecked(true);
        setBox(window, "45.5", "0.5");
        window.askFileName = [] { return QString(); };
        QVERIFY(!window.startExport());  // no name, nothing computed
        QVERIFY(!window.exportRunning());
        const QString file = QDir(out.path()).filePath(QStringLiteral("temp.tif"));
        window.askFileName = [file] { return file; };
        QSignalSpy finished(&window, &RasterMapWindow::exportFinished);
        QVERIFY(window.startExport());
        QVERIFY(finished.wait(60000));
        QCOMPARE(std::pair(finished.first().first().toString(), messages.last().text), std::pair(file, QStringLiteral("Data Saved Correctly")));
        // The file is the command line's for the same box, band by band: every month, best and
        // standard error, in full precision; the sea cell of the map is NoData.
        const QString cliFile = QDir(out.path()).filePath(QStringLiteral("cli.tif"));
        const zentrel::test::CliResult cli = zentrel::test::runCli(
            "raster --var Temp --period all --quantities best,stderr --bbox 9,45.5,11,47 --res 0.5 --mask " +
            QDir(maps_.path()).filePath(QStringLiteral("small.img")).toStdString() + " --data " + data_.str() + " -o " +
            cliFile.toStdString());
        QCOMPARE(cli.code, 0);
        const maps_test::Surface s = maps_test::readSurface(file.toStdString()), expected = maps_test::readSurface(cliFile.toStdString());
        QCOMPARE(std::pair(s.bands, s.values.size()), std::pair(26, size_t(26 * 12)));
        QVERIFY(s.transform == expected.transform && s.values == expected.values && s.descriptions == expected.descriptions);
        QVERIFY(s.types == std::vector<GDALDataType>(26, GDT_Float32));
        QVERIFY(std::fabs(s.at(8, 0, 0) - 10) < 1e-3);  // every station says 10
        QCOMPARE(s.at(8, 2, 2), kSurfaceNoData);
        // The file names its data source without the absolute path of this computer's folder.
        for (const std::string& item : s.metadata) QVERIFY2(item.find(data_.str()) == std::string::npos, item.c_str());
    }
private:
    QString seaFolder() const { return sea_.path(); }
    /// Shows the window at its working size on the small map with the export panel open.
    static bool openedWithPanel(RasterMapWindow& window) {
        const bool ok = gui::test::shown(window, QSize(900, 600));
        window.openFirstMap();
        window.showExportPanel();
        return ok && window.hasMap();
    }
    /// The export box 9..11 E, 47 N down to latSouth, at the resolution typed.
    static void setBox(RasterMapWindow& window, const char* latSouth, const char* resolution) {
        gui::test::fill(window, {{"TxtLonStart", "9"}, {"TxtLonEnd", "11"}, {"TxtLatStart", "47"}, {"TxtLatEnd", latSouth}});
        window.resolutionCombo->setCurrentText(QString::fromLatin1(resolution));
    }
    /// Eight stations around 10 E 46 N that all say 10, on a terrain of sea.
    QString stationFolder() {
        std::vector<Station> stations;
        for (int k = 0; k < 8; ++k) stations.push_back(zentrel::test::makeStation(9.5f + 0.4f * k, 45.2f + 0.25f * k, 0, 10));
        zentrel::test::writeDataFolder(data_, 10, 46, stations);
        gui::test::writeTerrain(QString::fromStdString(data_.str()), {});
        return QString::fromStdString(data_.str());
    }
    static std::shared_ptr<WorldMapLayers> blueWorld(int width) {
        auto layers = std::make_shared<WorldMapLayers>();
        layers->bitmap = QImage(width, width / 2, QImage::Format_RGB888);
        layers->bitmap.fill(Qt::blue);
        return layers;
    }

    MessageRecorder messages;
    QTemporaryDir maps_, sea_;
    zentrel::test::TempFolder data_{"gui-raster"};
};

QTEST_MAIN(MapsWindowsTest)
#include "maps_windows_test.moc"
