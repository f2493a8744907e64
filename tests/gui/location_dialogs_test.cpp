// FormLocation and frmCoord: terrain altitude while typing, range, elevation and polar rules,
// degrees-minutes-seconds both ways, hemisphere key filters.
#include <QFocusEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "gui_test_support.h"
#include "locations/coordinate_dialog.h"
#include "locations/location_dialog.h"
#include "shell/app_state.h"

using namespace zentrel;
using namespace zentrel::gui;
using zentrel::gui::test::MessageRecorder;

class LocationDialogsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        // Sea everywhere but a cell near Rome (20 m), one in the Alps (1960 m) and one at the equator (-40 m).
        test::writeTerrain(terrain_, {{12.483f, 41.9f, 3}, {10.0f, 45.0f, 100}, {30.0f, 0.0f, 0}});
    }
    void init() {
        state_ = std::make_unique<AppState>(terrain_.path());
        location_ = std::make_unique<LocationDialog>(*state_, nullptr);
        coord_ = std::make_unique<CoordinateDialog>(*state_, nullptr);
    }
    void cleanup() {
        location_.reset();
        coord_.reset();
        state_.reset();
    }

    // ---- FormLocation ----

    void locationOpensWithTheCurrentLocation() {
        location_->show();
        QCOMPARE(box(*location_, "Text2")->text(), QStringLiteral("East of Rome"));
        QCOMPARE(box(*location_, "txtlong")->text(), QStringLiteral("13.01"));
        QCOMPARE(box(*location_, "txtLat")->text(), QStringLiteral("41.99"));
        QCOMPARE(box(*location_, "txtElev")->text(), QStringLiteral("17"));  // not the raster's sea 0
        QCOMPARE(box(*location_, "txtlong")->toolTip(), QStringLiteral("Give Longitude as a decimal number"));
    }

    void typingCoordinatesLooksUpTheTerrainAltitude() {
        location_->show();
        QLineEdit* lon = box(*location_, "txtlong");
        QLineEdit* lat = box(*location_, "txtLat");
        QLineEdit* elev = box(*location_, "txtElev");
        lon->setText("10");
        lat->setText("45");
        QCOMPARE(elev->text(), QStringLiteral("1960"));
        lat->setText("95");  // out of range: left alone
        QCOMPARE(elev->text(), QStringLiteral("1960"));
        lon->setText("12,483");  // a comma reads as a point while typing
        lat->setText("41,9");
        QCOMPARE(elev->text(), QStringLiteral("20"));
        lon->setText("30");
        lat->setText("0");
        QCOMPARE(elev->text(), QStringLiteral("-40"));
        lon->setText("-30");  // sea
        QCOMPARE(elev->text(), QStringLiteral("0"));
    }

    void missingRasterIsReportedOncePerOpening() {
        QTemporaryDir empty;
        AppState state(empty.path());
        LocationDialog dialog(state, nullptr);
        MessageRecorder messages;
        dialog.show();
        box(dialog, "txtlong")->setText("10");
        box(dialog, "txtlong")->setText("11");
        QCOMPARE(messages.count(), 1);
        QVERIFY(messages.last().text.contains(QStringLiteral("10k8b.raw")));
        QCOMPARE(box(dialog, "txtElev")->text(), QStringLiteral("17"));
    }

    void elevationLimits() {
        MessageRecorder messages;
        location_->show();
        QLineEdit* elev = box(*location_, "txtElev");
        elev->setText("8848");
        leave(elev);
        QCOMPARE(messages.count(), 0);

        elev->setText("8849");
        leave(elev);
        QCOMPARE(messages.count(), 1);
        QCOMPARE(messages.last().title, QStringLiteral("Please Correct"));
        QCOMPARE(messages.last().text, QStringLiteral("Elevation should be between -350 and 8848m."));
        QCOMPARE(messages.last().icon, QMessageBox::Critical);

        elev->setText("-351");
        leave(elev);
        QCOMPARE(messages.last().title, QStringLiteral("Please Correct"));

        messages.clear();
        elev->setText("-350");
        messages.answers.push_back(QMessageBox::Cancel);
        QVERIFY(!location_->checkElevation());
        QCOMPARE(messages.last().title, QStringLiteral("Warning!"));
        QCOMPARE(messages.last().text, QStringLiteral("Your location is below Mean Sea Level."));
        QCOMPARE(messages.last().buttons, QMessageBox::Ok | QMessageBox::Cancel);
        QCOMPARE(messages.last().icon, QMessageBox::Question);
        QVERIFY(location_->checkElevation());  // OK leaves the value
        QCOMPARE(elev->text(), QStringLiteral("-350"));
    }

    void tabbingAwayFromABadElevationComesBack() {
        MessageRecorder messages;
        location_->show();
        location_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(location_.get()));
        QLineEdit* elev = box(*location_, "txtElev");
        elev->setFocus();
        QTRY_VERIFY(elev->hasFocus());
        elev->setText("9000");
        QTest::keyClick(elev, Qt::Key_Return);  // Enter moves on as Tab does
        QCOMPARE(messages.count(), 1);
        QTRY_VERIFY(elev->hasFocus());
        QTest::qWait(20);
        QCOMPARE(messages.count(), 1);  // coming back does not ask again
        elev->setText("100");
        QTest::keyClick(elev, Qt::Key_Tab);
        QTRY_VERIFY(!elev->hasFocus());
        QCOMPARE(messages.count(), 1);
    }

    void okRefusesCoordinatesOutOfRange() {
        MessageRecorder messages;
        location_->show();
        box(*location_, "txtlong")->setText("180.5");
        QVERIFY(!location_->confirm());
        QCOMPARE(messages.last().title, QStringLiteral("Strange Location"));
        QCOMPARE(messages.last().text, QStringLiteral("Longitude should be between -180 and +180   degrees."));
        QCOMPARE(messages.last().icon, QMessageBox::Critical);
        box(*location_, "txtlong")->setText("-180");
        box(*location_, "txtLat")->setText("-90.5");
        QVERIFY(!location_->confirm());
        QCOMPARE(messages.last().text, QStringLiteral("Latitude should be between -90° and +90°."));
        QVERIFY(location_->isVisible());
        QCOMPARE(state_->currentLocation().Name, std::string("East of Rome"));
    }

    void polarQuestionAboveSeventyDegrees() {
        MessageRecorder messages;
        location_->show();
        box(*location_, "txtLat")->setText("70");
        box(*location_, "txtElev")->setText("5");
        QVERIFY(location_->confirm());
        QCOMPARE(messages.count(), 0);
        QCOMPARE(state_->currentLocation().Lat, 70.0f);

        location_->show();
        box(*location_, "txtLat")->setText("70.001");
        messages.answers.push_back(QMessageBox::No);
        QVERIFY(!location_->confirm());
        QCOMPARE(messages.count(), 1);
        QCOMPARE(messages.last().title, QStringLiteral(" Polar Region"));
        QCOMPARE(messages.last().text,
                 QStringLiteral("Please note that the specified point lies in the polar region. Do you want continue?"));
        QCOMPARE(messages.last().buttons, QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(messages.last().icon, QMessageBox::Question);
        QVERIFY(location_->isVisible());
        QCOMPARE(state_->currentLocation().Lat, 70.0f);

        box(*location_, "txtLat")->setText("-70.5");
        QVERIFY(location_->confirm());  // Yes
        QCOMPARE(state_->currentLocation().Lat, -70.5f);
    }

    void okSetsTheRoundedLocationAndMarksStale() {
        location_->show();
        state_->setSingleStale(false);
        state_->setWorkbenchStale(false);
        QSignalSpy changed(state_.get(), &AppState::currentLocationChanged);
        box(*location_, "Text2")->clear();
        box(*location_, "txtlong")->setText("13.014");
        box(*location_, "txtLat")->setText("41.987");
        box(*location_, "txtElev")->setText("17.4");
        QVERIFY(location_->confirm());
        QVERIFY(!location_->isVisible());
        QCOMPARE(changed.count(), 1);
        QCOMPARE(state_->currentLocation().Name, std::string("ST-Lon13.01-Lat41.99-Alt-17"));
        QCOMPARE(state_->currentLocation().Alt, 17.0f);
        QVERIFY(state_->singleStale() && state_->workbenchStale());
    }

    void saveAsksForTheOutputWindowOnlyAfterOk() {
        MessageRecorder messages;
        QSignalSpy save(location_.get(), &LocationDialog::saveRequested);
        location_->show();
        box(*location_, "txtlong")->setText("200");
        location_->findChild<QPushButton*>("CmdSave")->click();
        QCOMPARE(save.count(), 0);
        box(*location_, "txtlong")->setText("12");
        box(*location_, "Text2")->setText("Tivoli");
        location_->findChild<QPushButton*>("CmdSave")->click();
        QCOMPARE(save.count(), 1);
        QCOMPARE(state_->currentLocation().Name, std::string("Tivoli"));
    }

    void cancelLeavesTheLocation() {
        location_->show();
        box(*location_, "txtlong")->setText("1");
        location_->findChild<QPushButton*>("CmdCanc")->click();
        QVERIFY(!location_->isVisible());
        QCOMPARE(state_->currentLocation().Lon, 13.01f);
        location_->show();  // a new opening shows the current location again
        QCOMPARE(box(*location_, "txtlong")->text(), QStringLiteral("13.01"));
    }

    // ---- frmCoord ----

    void decimalToDegreesTruncates() {
        coord_->show();
        box(*coord_, "txtlong")->setText("12.483");
        box(*coord_, "txtLat")->setText("41.9");
        coord_->giveOldies();
        QCOMPARE(parts("Long"), QStringList({"12", "28", "58", "E"}));  // 58.8 seconds
        QCOMPARE(parts("Lat"), QStringList({"41", "54", "0", "N"}));
        // The status line rounds the current location to 12.48, whose single-precision value
        // is 12.47999...: 47.99 seconds, truncated.
        setCurrent(12.483f, 41.9f);
        coord_->show();
        QCOMPARE(parts("Long"), QStringList({"12", "28", "47", "E"}));
        setCurrent(-0.25f, -33.5f);
        coord_->show();
        QCOMPARE(parts("Long"), QStringList({"0", "15", "0", "W"}));
        QCOMPARE(parts("Lat"), QStringList({"33", "30", "0", "S"}));
    }

    void zeroIsWestAndSouthAndComesBackAsZero() {
        setCurrent(0, 0);
        coord_->show();
        QCOMPARE(parts("Long"), QStringList({"0", "0", "0", "W"}));
        QCOMPARE(parts("Lat"), QStringList({"0", "0", "0", "S"}));
        coord_->degreesToDecimal();
        QCOMPARE(box(*coord_, "txtlong")->text(), QStringLiteral("0"));
        QCOMPARE(box(*coord_, "txtLat")->text(), QStringLiteral("0"));
    }

    void typingDegreesUpdatesTheDecimalBoxes() {
        coord_->show();
        box(*coord_, "txtlong")->setText("12.483");
        box(*coord_, "txtLat")->setText("41.9");
        coord_->giveOldies();
        QLineEdit* seconds = box(*coord_, "txtLongSec");
        seconds->selectAll();
        QTest::keyClicks(seconds, "59");
        QCOMPARE(box(*coord_, "txtlong")->text(), QStringLiteral("12.483"));  // 12.48306
        seconds->selectAll();
        QTest::keyClicks(seconds, "0");
        QCOMPARE(box(*coord_, "txtlong")->text(), QStringLiteral("12.467"));
        QLineEdit* ns = box(*coord_, "txtLatNS");
        ns->selectAll();
        QTest::keyClick(ns, 's');
        QCOMPARE(ns->text(), QStringLiteral("s"));
        QCOMPARE(box(*coord_, "txtLat")->text(), QStringLiteral("-41.9"));
        QLineEdit* ow = box(*coord_, "txtLongOW");
        ow->selectAll();
        QTest::keyClick(ow, 'W');
        QCOMPARE(box(*coord_, "txtlong")->text(), QStringLiteral("-12.467"));
    }

    void keyFiltersOfTheCoordinateBoxes() {
        MessageRecorder messages;
        setCurrent(12.483f, 41.9f);
        coord_->show();
        QLineEdit* degrees = box(*coord_, "txtLatGrad");
        degrees->selectAll();
        QTest::keyClicks(degrees, "4-.x5");
        QCOMPARE(degrees->text(), QStringLiteral("45"));
        QCOMPARE(messages.count(), 0);

        QLineEdit* ns = box(*coord_, "txtLatNS");
        QTest::keyClick(ns, 'e');
        QCOMPARE(messages.count(), 1);
        QCOMPARE(messages.last().title, QString());
        QCOMPARE(messages.last().text, QStringLiteral("S for South or N for North. That's all."));
        QCOMPARE(messages.last().icon, QMessageBox::NoIcon);
        QCOMPARE(ns->text(), QStringLiteral("N"));

        QLineEdit* ow = box(*coord_, "txtLongOW");
        QTest::keyClick(ow, 'n');
        QCOMPARE(messages.last().text, QStringLiteral("E for East or W for West. That's all."));
        QCOMPARE(ow->text(), QStringLiteral("E"));

        QLineEdit* lat = box(*coord_, "txtLat");
        lat->clear();
        QTest::keyClicks(lat, "-4a1,.5");
        QCOMPARE(lat->text(), QStringLiteral("-41.5"));
        QCOMPARE(messages.count(), 2);
    }

    void longitudeOutOfRangeWarnsAtEachKeyRelease() {
        MessageRecorder messages;
        coord_->show();
        QLineEdit* lon = box(*coord_, "txtlong");
        lon->clear();
        QTest::keyClicks(lon, "20");
        QCOMPARE(messages.count(), 0);
        QCOMPARE(box(*coord_, "txtLongGrad")->text(), QStringLiteral("20"));
        QTest::keyClick(lon, '0');
        QCOMPARE(messages.count(), 1);
        QCOMPARE(messages.last().title, QStringLiteral("Strange Location"));
        QCOMPARE(messages.last().text, QStringLiteral("Longitude should be between -180 and +180   degrees."));
        QCOMPARE(messages.last().icon, QMessageBox::Critical);
        QTest::keyClick(lon, '5');
        QCOMPARE(messages.count(), 2);
        QTest::keyClick(lon, Qt::Key_Backspace);
        QCOMPARE(messages.count(), 3);
        QTest::keyClick(lon, Qt::Key_Backspace);
        QCOMPARE(messages.count(), 3);
        QCOMPARE(box(*coord_, "txtLongGrad")->text(), QStringLiteral("20"));

        QLineEdit* lat = box(*coord_, "txtLat");
        lat->setText("9");
        lat->end(false);
        QTest::keyClick(lat, '1');
        QCOMPARE(messages.last().text, QStringLiteral("Latitude should be between -90° and +90°."));
    }

    void enterThatClosedTheMessageDoesNotReopenIt() {
        MessageRecorder messages;
        coord_->show();
        QLineEdit* lon = box(*coord_, "txtlong");
        lon->clear();
        QTest::keyClicks(lon, "200");
        QCOMPARE(messages.count(), 1);
        // The Enter press went to the message box and closed it; only its release reaches the box.
        QTest::keyRelease(lon, Qt::Key_Return);
        QTest::keyRelease(lon, Qt::Key_Enter);
        QCOMPARE(messages.count(), 1);
        // A message box takes the focus while it shows: a key pressed before it opened and
        // released after it closed does not count either.
        QTest::keyPress(lon, '0');
        QFocusEvent out(QEvent::FocusOut, Qt::ActiveWindowFocusReason), in(QEvent::FocusIn, Qt::ActiveWindowFocusReason);
        QApplication::sendEvent(lon, &out);
        QApplication::sendEvent(lon, &in);
        QTest::keyRelease(lon, '0');
        QCOMPARE(messages.count(), 1);
        // Ctrl+A (to retype the value) and lone modifier keys edit nothing and check nothing.
        QTest::keyClick(lon, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(lon, Qt::Key_Shift);
        QCOMPARE(messages.count(), 1);
        // A key typed into the box still checks at its release.
        lon->end(false);
        QTest::keyClick(lon, '5');
        QCOMPARE(messages.count(), 2);
    }

    void newCoordinatesInFormLocationForgetTheOldName() {
        MessageRecorder messages;
        location_->show();
        QLineEdit* name = box(*location_, "Text2");
        QLineEdit* lon = box(*location_, "txtlong");
        QCOMPARE(name->text(), QStringLiteral("East of Rome"));
        lon->selectAll();
        QTest::keyClicks(lon, "10");
        QCOMPARE(name->text(), QString());
        box(*location_, "txtLat")->setText("45");
        QVERIFY(location_->confirm());
        QCOMPARE(state_->currentLocation().Name, std::string("ST-Lon10-Lat45-Alt-1960"));

        // A name the user typed is kept, whatever the order of typing.
        location_->show();
        name = box(*location_, "Text2");
        lon = box(*location_, "txtlong");
        name->setText(QStringLiteral("Alps"));
        lon->selectAll();
        QTest::keyClicks(lon, "10");
        QCOMPARE(name->text(), QStringLiteral("Alps"));
        // Setting the boxes from code (opening) keeps the loaded name.
        location_->load();
        QCOMPARE(name->text(), QStringLiteral("ST-Lon10-Lat45-Alt-1960"));
    }

    void reopenedDialogKeepsItsPlace() {
        location_->show();
        location_->move(150, 120);
        const QPoint placed = location_->pos();
        for (int i = 0; i < 3; ++i) {
            location_->hide();
            location_->show();
        }
        QCOMPARE(location_->pos(), placed);
    }

    void okTakesTheTerrainAltitudeAndAGeneratedName() {
        MessageRecorder messages;
        coord_->show();
        state_->setSingleStale(false);
        box(*coord_, "txtlong")->setText("10");
        box(*coord_, "txtLat")->setText("95");
        QVERIFY(!coord_->confirm());
        QCOMPARE(messages.last().text, QStringLiteral("Latitude of your location should be between -90° and +90°."));
        box(*coord_, "txtLat")->setText("45");
        QVERIFY(coord_->confirm());
        QVERIFY(!coord_->isVisible());
        QCOMPARE(state_->currentLocation().Name, std::string("ST-Lon10-Lat45-Alt-1960"));
        QCOMPARE(state_->currentLocation().Alt, 1960.0f);
        QVERIFY(state_->singleStale());
    }

private:
    static QLineEdit* box(QWidget& dialog, const char* name) { return dialog.findChild<QLineEdit*>(QLatin1String(name)); }
    QStringList parts(const char* axis) {
        QStringList out;
        const QString prefix = QStringLiteral("txt") + QLatin1String(axis);
        const QString hemisphere = QLatin1String(axis) == QLatin1String("Long") ? QStringLiteral("OW") : QStringLiteral("NS");
        for (const QString& suffix : {QStringLiteral("Grad"), QStringLiteral("Min"), QStringLiteral("Sec"), hemisphere})
            out << coord_->findChild<QLineEdit*>(prefix + suffix)->text();
        return out;
    }
    void setCurrent(float lon, float lat) {
        coord_->hide();
        Location l{"Here", lon, lat, 0};
        state_->WriteStatusLocation(l);
    }
    static void leave(QLineEdit* edit) {
        QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
        QApplication::sendEvent(edit, &out);
    }

    QTemporaryDir terrain_;
    std::unique_ptr<AppState> state_;
    std::unique_ptr<LocationDialog> location_;
    std::unique_ptr<CoordinateDialog> coord_;
};

QTEST_MAIN(LocationDialogsTest)
#include "location_dialogs_test.moc"
