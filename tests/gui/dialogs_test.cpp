// The dialogs of the main window. FormLocation and frmCoord: terrain altitude while typing,
// range, elevation and polar rules, degrees-minutes-seconds both ways, hemisphere key filters.
// frmSettings: "OK" stores then checks in order with the core's messages, key filters, the
// altitude switch, "Cancel".

#include "gui_test_support.h"
#include "locations/coordinate_dialog.h"
#include "locations/location_dialog.h"
#include "shell/app_state.h"
#include "shell/settings_dialog.h"

using namespace zentrel;
using namespace zentrel::gui;
using namespace zentrel::gui::test;

/// A row of the settings table: box=text;... typed, whether "OK" accepts it, the message shown
/// (its start; none when empty), field=value;... of the settings after "OK", box=text;... shown.
struct SettingsCase { QString typed; bool accepted; QString said, stored, shown; };
Q_DECLARE_METATYPE(SettingsCase)

class DialogsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        // Sea everywhere but a cell near Rome (20 m), one in the Alps (1960 m) and one at the equator (-40 m).
        gui::test::writeTerrain(terrain_.path(), {{12.483f, 41.9f, 3}, {10.0f, 45.0f, 100}, {30.0f, 0.0f, 0}});
    }
    void init() {
        state_ = std::make_unique<AppState>(terrain_.path());
        location_ = std::make_unique<LocationDialog>(*state_, nullptr);
        coord_ = std::make_unique<CoordinateDialog>(*state_, nullptr);
        settings_ = std::make_unique<SettingsDialog>(*state_, nullptr);
        for (QWidget* dialog : std::initializer_list<QWidget*>{location_.get(), coord_.get(), settings_.get()}) dialog->show();
        messages.reset();
    }
    void cleanup() {
        location_.reset();
        coord_.reset();
        settings_.reset();
        state_.reset();
    }

    // ---- FormLocation ----

    void typingCoordinatesLooksUpTheTerrainAltitude() {
        // Longitude, latitude typed in this order, and the altitude shown.
        const char* typed[][3] = {{"10", "45", "1960"},
                                  {"10", "95", "1960"},  // out of range: left alone
                                  {"12,483", "41,9", "20"},  // a comma reads as a point while typing
                                  {"30", "0", "-40"},
                                  {"-30", "0", "0"}};  // sea
        for (auto [lon, lat, elevation] : typed) {
            fill(*location_, {{"txtlong", lon}, {"txtLat", lat}});
            QCOMPARE(box(*location_, "txtElev")->text(), QString::fromLatin1(elevation));
        }
    }

    // A folder without the raster, and no shared terrain to take it from: no program data anywhere.
    void missingRasterIsReportedOncePerOpening() {
        QTemporaryDir empty, nowhere;
        locateDataFolder((nowhere.path() + QStringLiteral("/bin")).toStdString(), "given");
        AppState state(empty.path());
        LocationDialog dialog(state, nullptr);
        dialog.show();
        fill(dialog, {{"txtlong", "10"}, {"txtlong", "11"}});
        QVERIFY(messages.saidOnce().contains(QStringLiteral("10k8b.raw")));
        QCOMPARE(box(dialog, "txtElev")->text(), QStringLiteral("17"));
        locateDataFolder(QCoreApplication::applicationDirPath().toStdString(), "given");
    }

    void elevationLimits() {
        QLineEdit* elev = box(*location_, "txtElev");
        leave(elev, "8848");
        QCOMPARE(messages.count(), 0);
        leave(elev, "8849");
        QCOMPARE(messages.saidOnce(), QStringLiteral("Please Correct | Elevation should be between -350 and 8848m. | Critical"));
        leave(elev, "-351");
        QCOMPARE(messages.last().title, QStringLiteral("Please Correct"));

        messages.clear();
        elev->setText("-350");
        messages.answers.push_back(QMessageBox::Cancel);
        QVERIFY(!location_->checkElevation());
        QCOMPARE(messages.said(), QStringLiteral("Warning! | Your location is below Mean Sea Level. | Question"));
        QCOMPARE(messages.last().buttons, QMessageBox::Ok | QMessageBox::Cancel);
        QVERIFY(location_->checkElevation());  // OK leaves the value
        QCOMPARE(elev->text(), QStringLiteral("-350"));
    }

    // Enter moves on as Tab does, and never closes the dialog; leaving a bad elevation warns once
    // and brings the focus back.
    void enterMovesOnAsTabAndABadElevationComesBack() {
        location_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(location_.get()));
        QLineEdit* elev = box(*location_, "txtElev");
        elev->setFocus();
        QTRY_VERIFY(elev->hasFocus());
        elev->setText("9000");
        QTest::keyClick(elev, Qt::Key_Return);
        QCOMPARE(messages.count(), 1);
        QTRY_VERIFY(elev->hasFocus());
        QTest::qWait(20);
        QCOMPARE(messages.count(), 1);  // coming back does not ask again
        elev->setText("100");
        QTest::keyClick(elev, Qt::Key_Return);
        QTRY_VERIFY(!elev->hasFocus());
        QCOMPARE(messages.count(), 1);
        QVERIFY(location_->isVisible());
        QCOMPARE(elev->text(), QStringLiteral("100"));
    }

    // "OK" refuses coordinates out of range and asks before it takes a point beyond 70 degrees; a
    // refused or declined point leaves the dialog open and the current location as it was.
    void okRefusesOutOfRangeAndAsksAboveSeventyDegrees() {
        const char* polar =
            " Polar Region | Please note that the specified point lies in the polar region. Do you want continue? | Question";
        struct Case { const char *lon, *lat; QMessageBox::StandardButton answer; bool accepted; float latAfter; const char* said; };
        for (const Case& c : {Case{"180.5", "41.99", QMessageBox::NoButton, false, 41.99f,
                                   "Strange Location | Longitude should be between -180 and +180   degrees. | Critical"},
                              Case{"-180", "-90.5", QMessageBox::NoButton, false, 41.99f,
                                   "Strange Location | Latitude should be between -90° and +90°. | Critical"},
                              Case{"13.01", "70", QMessageBox::NoButton, true, 70.0f, "(0 messages)"},
                              Case{"13.01", "70.001", QMessageBox::No, false, 70.0f, polar},
                              Case{"13.01", "-70.5", QMessageBox::Yes, true, -70.5f, polar}}) {
            messages.reset();
            if (c.answer != QMessageBox::NoButton) messages.answers.push_back(c.answer);
            location_->show();
            fill(*location_, {{"txtlong", c.lon}, {"txtLat", c.lat}, {"txtElev", "5"}});
            QCOMPARE(location_->confirm(), c.accepted);
            QCOMPARE(messages.saidOnce(), QString::fromUtf8(c.said));
            if (c.answer != QMessageBox::NoButton) QCOMPARE(messages.last().buttons, QMessageBox::Yes | QMessageBox::No);
            QCOMPARE(location_->isVisible(), !c.accepted);
            QCOMPARE(std::pair(state_->currentLocation().Lon, state_->currentLocation().Lat), std::pair(13.01f, c.latAfter));
        }
    }

    void okSetsTheRoundedLocationAndMarksStale() {
        state_->setSingleStale(false);
        state_->setWorkbenchStale(false);
        QSignalSpy changed(state_.get(), &AppState::currentLocationChanged);
        box(*location_, "Text2")->clear();
        fill(*location_, {{"txtlong", "13.014"}, {"txtLat", "41.987"}, {"txtElev", "17.4"}});
        QVERIFY(location_->confirm() && !location_->isVisible());
        QCOMPARE(changed.count(), 1);
        QCOMPARE(state_->currentLocation().Name, std::string("ST-Lon13.01-Lat41.99-Alt-17"));
        QCOMPARE(state_->currentLocation().Alt, 17.0f);
        QVERIFY(state_->singleStale() && state_->workbenchStale());
    }

    void saveAsksForTheOutputWindowOnlyAfterOk() {
        QSignalSpy save(location_.get(), &LocationDialog::saveRequested);
        box(*location_, "txtlong")->setText("200");
        location_->findChild<QPushButton*>("CmdSave")->click();
        QCOMPARE(save.count(), 0);
        fill(*location_, {{"txtlong", "12"}, {"Text2", "Tivoli"}});
        location_->findChild<QPushButton*>("CmdSave")->click();
        QCOMPARE(save.count(), 1);
        QCOMPARE(state_->currentLocation().Name, std::string("Tivoli"));
    }

    void cancelLeavesTheLocationAndReopeningShowsIt() {
        box(*location_, "txtlong")->setText("1");
        location_->findChild<QPushButton*>("CmdCanc")->click();
        QVERIFY(!location_->isVisible());
        QCOMPARE(state_->currentLocation().Lon, 13.01f);
        location_->show();  // a new opening shows the current location again
        // Elevation 17, not the raster's sea 0.
        QCOMPARE(texts(*location_, {"Text2", "txtlong", "txtLat", "txtElev"}), QStringList({"East of Rome", "13.01", "41.99", "17"}));
    }

    // ---- frmCoord ----

    // Decimal degrees typed or of the current location shown as truncated degrees, minutes and
    // seconds; 0 counts as west and south and comes back as 0.
    void decimalToDegreesTruncates() {
        // typed, else the current location; lon, lat; the degrees shown for each. The status line
        // rounds the current location to 12.48, whose single-precision value is 12.47999...:
        // 47.99 seconds, truncated, where the typed 12.483 has 58.8.
        struct Case { bool typed; float lon, lat; const char* shown; };
        for (const Case& c : {Case{true, 12.483f, 41.9f, "12 28 58 E / 41 54 0 N"}, Case{false, 12.483f, 41.9f, "12 28 47 E / 41 54 0 N"},
                              Case{false, -0.25f, -33.5f, "0 15 0 W / 33 30 0 S"}, Case{false, 0.0f, 0.0f, "0 0 0 W / 0 0 0 S"}}) {
            if (!c.typed) {
                coord_->hide();
                Location here{"Here", c.lon, c.lat, 0};
                state_->WriteStatusLocation(here);
            }
            coord_->show();
            if (c.typed) {
                fill(*coord_, {{"txtlong", QString::number(c.lon)}, {"txtLat", QString::number(c.lat)}});
                coord_->giveOldies();
            }
            QCOMPARE(texts(*coord_, {"txtLongGrad", "txtLongMin", "txtLongSec", "txtLongOW"}).join(' ') + " / " +
                         texts(*coord_, {"txtLatGrad", "txtLatMin", "txtLatSec", "txtLatNS"}).join(' '),
                     QString::fromLatin1(c.shown));
        }
        coord_->degreesToDecimal();
        QCOMPARE(texts(*coord_, {"txtlong", "txtLat"}), QStringList({"0", "0"}));
    }

    void typingDegreesUpdatesTheDecimalBoxes() {
        fill(*coord_, {{"txtlong", "12.483"}, {"txtLat", "41.9"}});
        coord_->giveOldies();
        retype(box(*coord_, "txtLongSec"), "59");
        QCOMPARE(box(*coord_, "txtlong")->text(), QStringLiteral("12.483"));  // 12.48306
        retype(box(*coord_, "txtLongSec"), "0");
        QCOMPARE(box(*coord_, "txtlong")->text(), QStringLiteral("12.467"));
        retype(box(*coord_, "txtLatNS"), "s");
        QCOMPARE(texts(*coord_, {"txtLatNS", "txtLat"}), QStringList({"s", "-41.9"}));
        retype(box(*coord_, "txtLongOW"), "W");
        QCOMPARE(box(*coord_, "txtlong")->text(), QStringLiteral("-12.467"));
    }

    void keyFiltersOfTheCoordinateBoxes() {
        retype(box(*coord_, "txtLatGrad"), "4-.x5");
        QCOMPARE(box(*coord_, "txtLatGrad")->text(), QStringLiteral("45"));
        QCOMPARE(messages.count(), 0);

        QTest::keyClick(box(*coord_, "txtLatNS"), 'e');
        QCOMPARE(messages.saidOnce(), QStringLiteral(" | S for South or N for North. That's all. | NoIcon"));
        QTest::keyClick(box(*coord_, "txtLongOW"), 'n');
        QCOMPARE(messages.last().text, QStringLiteral("E for East or W for West. That's all."));
        QCOMPARE(texts(*coord_, {"txtLatNS", "txtLongOW"}), QStringList({"N", "E"}));
        retype(box(*coord_, "txtLat"), "-4a1,.5");
        QCOMPARE(box(*coord_, "txtLat")->text(), QStringLiteral("-41.5"));
        QCOMPARE(messages.count(), 2);
    }

    // Each key typed into the box checks the value at its release; keys that edit nothing, and
    // releases of keys pressed for or before a message box, do not.
    void outOfRangeWarnsAtTheReleaseOfEachKeyTypedIntoTheBox() {
        QLineEdit* lon = box(*coord_, "txtlong");
        retype(lon, "20");
        QCOMPARE(messages.count(), 0);
        QCOMPARE(box(*coord_, "txtLongGrad")->text(), QStringLiteral("20"));
        QTest::keyClick(lon, '0');
        QCOMPARE(messages.saidOnce(), QStringLiteral("Strange Location | Longitude should be between -180 and +180   degrees. | Critical"));
        QTest::keyClick(lon, '5');
        QCOMPARE(messages.count(), 2);
        QTest::keyClick(lon, Qt::Key_Backspace);
        QCOMPARE(messages.count(), 3);
        QTest::keyClick(lon, Qt::Key_Backspace);
        QCOMPARE(messages.count(), 3);
        QCOMPARE(box(*coord_, "txtLongGrad")->text(), QStringLiteral("20"));
        QTest::keyClick(lon, '0');
        messages.clear();
        // The Enter press went to the message box and closed it; only its release reaches the box.
        QTest::keyRelease(lon, Qt::Key_Return);
        QTest::keyRelease(lon, Qt::Key_Enter);
        QCOMPARE(messages.count(), 0);
        // A message box takes the focus while it shows: a key pressed before it opened and
        // released after it closed does not count either.
        QTest::keyPress(lon, '0');
        QFocusEvent out(QEvent::FocusOut, Qt::ActiveWindowFocusReason), in(QEvent::FocusIn, Qt::ActiveWindowFocusReason);
        QApplication::sendEvent(lon, &out);
        QApplication::sendEvent(lon, &in);
        QTest::keyRelease(lon, '0');
        QCOMPARE(messages.count(), 0);
        // Ctrl+A (to retype the value) and lone modifier keys edit nothing and check nothing.
        QTest::keyClick(lon, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(lon, Qt::Key_Shift);
        QCOMPARE(messages.count(), 0);
        // A key typed into the box still checks at its release.
        lon->end(false);
        QTest::keyClick(lon, '5');
        QCOMPARE(messages.count(), 1);

        QLineEdit* lat = box(*coord_, "txtLat");
        lat->setText("9");
        lat->end(false);
        QTest::keyClick(lat, '1');
        QCOMPARE(messages.last().text, QStringLiteral("Latitude should be between -90° and +90°."));
    }

    void newCoordinatesInFormLocationForgetTheOldName() {
        QLineEdit* name = box(*location_, "Text2");
        QCOMPARE(name->text(), QStringLiteral("East of Rome"));
        retype(box(*location_, "txtlong"), "10");
        QCOMPARE(name->text(), QString());
        box(*location_, "txtLat")->setText("45");
        QVERIFY(location_->confirm());
        QCOMPARE(state_->currentLocation().Name, std::string("ST-Lon10-Lat45-Alt-1960"));

        // A name the user typed is kept, whatever the order of typing.
        location_->show();
        name = box(*location_, "Text2");
        name->setText(QStringLiteral("Alps"));
        retype(box(*location_, "txtlong"), "10");
        QCOMPARE(name->text(), QStringLiteral("Alps"));
        // Setting the boxes from code (opening) keeps the loaded name.
        location_->load();
        QCOMPARE(name->text(), QStringLiteral("ST-Lon10-Lat45-Alt-1960"));
    }

    void reopenedDialogKeepsItsPlace() {
        location_->move(150, 120);
        const QPoint placed = location_->pos();
        for (int i = 0; i < 3; ++i) {
            location_->hide();
            location_->show();
        }
        QCOMPARE(location_->pos(), placed);
    }

    void okTakesTheTerrainAltitudeAndAGeneratedName() {
        state_->setSingleStale(false);
        fill(*coord_, {{"txtlong", "10"}, {"txtLat", "95"}});
        QVERIFY(!coord_->confirm());
        QCOMPARE(messages.last().text, QStringLiteral("Latitude of your location should be between -90° and +90°."));
        box(*coord_, "txtLat")->setText("45");
        QVERIFY(coord_->confirm() && !coord_->isVisible());
        QCOMPARE(state_->currentLocation().Name, std::string("ST-Lon10-Lat45-Alt-1960"));
        QCOMPARE(state_->currentLocation().Alt, 1960.0f);
        QVERIFY(state_->singleStale());
    }

    // ---- frmSettings ----

    // "OK" stores what was typed, then checks it: accepted values close the dialog and mark
    // the estimates stale; a refused one is stored all the same and leaves the dialog open.
    void okStoresThenAcceptsOrRefuses_data() {
        QTest::addColumn<SettingsCase>("c");
        const auto row = [](const char* name, const SettingsCase& c) { QTest::newRow(name) << c; };
        row("shown defaults", {"", true, "", "MaxDist=1000;MaxStat=20;MinDist=0.1", "txtMaxDist=1000;txtMaxStat=20;txtMinDist=0.1"});
        row("power 5", {"txtPowExp=5", true, "", "PowExp=5", ""});
        row("power 5.01", {"txtPowExp=5.01", false, "Rather high power! | Even a power of 5 means\nthat half the distance makes 32 times "
                           "the effect. | Critical", "PowExp=5.01", ""});
        row("tiny power", {"txtPowExp=0.00005", true, "", "PowExp=0", ""});
        row("minimum distance raised", {"txtMinDist=0.05", true, "Too small Minimum Distance | Inverse Distance Averaging not allowed \nif "
                                        "the   Nearest Neighbour is closer than 100 m.\n\nDistance  was changed to 100m.  |",
                                        "MinDist=0.1", "txtMinDist=0.1"});
        row("minimum distance with a comma", {"txtMinDist=0,05", true, "Too small Minimum Distance | ", "MinDist=0.1", ""});
        row("area at its limit", {"txtMaxDist=22000", true, "", "MaxDist=22000", ""});
        row("area too large", {"txtMaxDist=22000.5;txtMaxStat=5", false, "Problem: Area definitely to large. | More than half of the "
                               "Earths surface\nis covered by the neighbourhoods size you chose.\nThis may not really represent your "
                               "local climate. |", "MaxDist=22000.5;MaxStat=20", ""});
        row("stations before the area",
            {"txtMaxDist=22000.5;txtMaxStat=25", false, "Problem: To many stations. | ", "MaxDist=22000.5;MaxStat=25", ""});
        row("zero shadow", {"txtShad=0", true, "", "Shad=0;ShadowOn=1", ""});
        row("pasted comma", {"txtMaxStat=12,5", true, "", "MaxStat=12", "txtMaxStat=12.5"});
        row("half to even", {"txtMaxStat=13.5", true, "", "MaxStat=14", ""});
        // Only the first failure in order is shown.
        row("first failure only", {"txtPowExp=6;txtShad=2;txtMaxDist=0", false, "Rather high power! | ", "PowExp=6;Shad=2;MaxDist=0", ""});
    }
    void okStoresThenAcceptsOrRefuses() {
        QFETCH(SettingsCase, c);
        state_->setSingleStale(false);
        state_->setWorkbenchStale(false);
        for (const QString& edit : c.typed.split(';', Qt::SkipEmptyParts)) field(edit.section('=', 0, 0))->setText(edit.section('=', 1));
        QCOMPARE(confirmSettings(), c.accepted);
        QCOMPARE(state_->singleStale() && state_->workbenchStale(), c.accepted);
        QCOMPARE(messages.count(), c.said.isEmpty() ? 0 : 1);
        if (!c.said.isEmpty()) QVERIFY2(messages.said().startsWith(c.said), qPrintable(messages.said()));
        const ProgramSettings& settings = state_->settings();
        const std::map<QString, double> fields{{"PowExp", settings.PowExp}, {"MinDist", settings.MinDist},
                                               {"MaxDist", settings.MaxDist}, {"MaxStat", settings.MaxStat},
                                               {"Shad", settings.Shad},       {"ShadowOn", settings.ShadowOn}};
        for (const QString& field : c.stored.split(';'))
            QCOMPARE(fields.at(field.section('=', 0, 0)), double(float(field.section('=', 1).toDouble())));
        for (const QString& edit : c.shown.split(';', Qt::SkipEmptyParts))
            QCOMPARE(field(edit.section(QLatin1Char('='), 0, 0))->text(), edit.section('=', 1));
    }

    void minimumDistanceNoteComesBeforeALaterFailure() {
        fill(*settings_, {{"txtPowExp", "1"}, {"txtShad", "1"}, {"txtMinDist", "0"}, {"txtMaxDist", "0"}});
        QVERIFY(!confirmSettings());
        QCOMPARE(messages.count(), 2);
        QCOMPARE(messages.requests[0].title, QStringLiteral("Too small Minimum Distance"));
        QCOMPARE(messages.requests[1].title, QStringLiteral("Problem: Area too  small."));
    }

    void keyFiltersRefuseWithTheirMessages() {
        QLineEdit* maxStat = field("txtMaxStat");
        retype(maxStat, "1a2");
        QCOMPARE(maxStat->text(), QStringLiteral("12"));
        QCOMPARE(messages.count(), 0);
        QTest::keyClick(maxStat, '.');
        QVERIFY(messages.said().startsWith(QStringLiteral("Problem | Number of stations must be an integer |")));
        QTest::keyClick(maxStat, '-');
        QVERIFY(messages.said().startsWith(QStringLiteral("Problem: To few stations. | You should allow one neighbour at least.\nJust to get a result. |")));
        QCOMPARE(maxStat->text(), QStringLiteral("12"));
        QTest::keyClick(maxStat, Qt::Key_Backspace);
        QCOMPARE(maxStat->text(), QStringLiteral("1"));

        const std::pair<const char*, const char*> minusTitles[] = {
            {"txtMaxDist", "Problem: Area too small."},
            {"txtMinDist", "Wrong sign of  Minimum Distance"},
            {"txtPowExp", "Wrong sign of power"},
            {"txtShad", "Problem: No negative shadows."}};
        for (auto [name, title] : minusTitles) {
            messages.clear();
            field(name)->setText("0");
            field(name)->end(false);
            QTest::keyClicks(field(name), ".5x-");
            QCOMPARE(field(name)->text(), QStringLiteral("0.5"));
            QVERIFY2(messages.saidOnce().startsWith(QString::fromLatin1(title) + " | ") && messages.said().endsWith(" | Critical"), title);
        }

        tick("chkNeighbAlt")->click();
        messages.clear();
        retype(field("txtMinHigh"), "-12.5e");
        QCOMPARE(field("txtMinHigh")->text(), QStringLiteral("-12.5"));
        QCOMPARE(messages.count(), 0);
    }

    // The altitude boxes of the neighbours: leaving one in the wrong order warns, unticking the
    // switch resets both and makes them read-only again.
    void altitudeBoxesWarnInWrongOrderAndResetWhenUnticked() {
        tick("chkNeighbAlt")->click();
        QVERIFY(!field("txtMinHigh")->isReadOnly());
        fill(*settings_, {{"txtMinHigh", "900"}, {"txtMaxHigh", "100"}});
        leave(field("txtMinHigh"));
        QVERIFY(messages.saidOnce().startsWith(QStringLiteral("Altitude Confusion | Lowest Altitude should be below highest altitude! |")));
        leave(field("txtMaxHigh"));
        QCOMPARE(messages.last().text, QStringLiteral("Highest Altitude should be above lowest altitude!"));
        QCOMPARE(field("txtMinHigh")->text(), QStringLiteral("900"));  // values stay as typed
        // Switching to another window is not leaving the box.
        messages.clear();
        QFocusEvent away(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
        QApplication::sendEvent(field("txtMinHigh"), &away);
        QCOMPARE(messages.count(), 0);
        tick("chkNeighbAlt")->click();
        QCOMPARE(texts(*settings_, {"txtMinHigh", "txtMaxHigh"}), QStringList({"-350", "8848"}));
        QVERIFY(field("txtMinHigh")->isReadOnly() && field("txtMaxHigh")->isReadOnly());
    }

    void cancelWritesTheStoredValuesBack() {
        auto* method = settings_->findChild<QComboBox*>("cboMethod");
        field("txtPowExp")->setText("5.01");
        method->setCurrentText(QStringLiteral("Robust"));
        tick("chkAltCorr")->setChecked(false);
        QVERIFY(!confirmSettings());  // refused, but stored
        QCOMPARE(state_->settings().RobustCorr, int16_t(1));
        fill(*settings_, {{"txtPowExp", "3"}, {"txtMaxStat", "7"}});
        method->setCurrentText(QStringLiteral("Described"));
        settings_->findChild<QPushButton*>("CmdCanc")->click();
        QVERIFY(!settings_->isVisible());
        QCOMPARE(texts(*settings_, {"txtPowExp", "txtMaxStat"}), QStringList({"5.01", "20"}));
        QCOMPARE(method->currentText(), QStringLiteral("Robust"));
        QVERIFY(!tick("chkAltCorr")->isChecked());
        QCOMPARE(state_->settings().PowExp, 5.01f);
    }

    // One control for the method: every method of the core's list, stored by OK together with
    // the older robust switch, which always agrees with it.
    void methodChoiceIsTheOneMethodControlAndIsStored() {
        auto* method = settings_->findChild<QComboBox*>("cboMethod");
        QVERIFY2(!settings_->findChild<QCheckBox*>("chkRobustCorr"), "a second control for the method");
        // It opens on the method of the settings (whichever is the default).
        QCOMPARE(method->currentText(), methodCaption(effectiveMethod(state_->settings())));
        QCOMPARE(method->count(), static_cast<int>(kMethods.size()));
        for (Method m : kMethods) {
            method->setCurrentText(methodCaption(m));
            QCOMPARE(method->currentText().toLower(), QString::fromLatin1(methodName(m)));
            QVERIFY(confirmSettings());
            QCOMPARE(state_->settings().Method, m);
            QCOMPARE(state_->settings().RobustCorr, int16_t(m == Method::Robust ? 1 : 0));
            settings_->show();
        }
        // Settings with only the older switch on show Robust, as the engine reads them.
        state_->settings().Method = Method::Described;
        state_->settings().RobustCorr = 1;
        settings_->findChild<QPushButton*>("CmdCanc")->click();
        QCOMPARE(method->currentText(), QStringLiteral("Robust"));
    }

private:
    static void retype(QLineEdit* edit, const char* keys) {
        edit->selectAll();
        QTest::keyClicks(edit, QString::fromLatin1(keys));
    }
    QLineEdit* field(const QString& name) { return settings_->findChild<QLineEdit*>(name); }
    QCheckBox* tick(const char* name) { return settings_->findChild<QCheckBox*>(QLatin1String(name)); }
    bool confirmSettings() {
        settings_->findChild<QPushButton*>("Command2")->click();
        return !settings_->isVisible();
    }
    static void leave(QLineEdit* edit, const char* typed = nullptr) {
        if (typed) edit->setText(QString::fromLatin1(typed));
        QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
        QApplication::sendEvent(edit, &out);
    }

    MessageRecorder messages;
    QTemporaryDir terrain_;
    std::unique_ptr<AppState> state_;
    std::unique_ptr<LocationDialog> location_;
    std::unique_ptr<CoordinateDialog> coord_;
    std::unique_ptr<SettingsDialog> settings_;
};

QTEST_MAIN(DialogsTest)
#include "dialogs_test.moc"
