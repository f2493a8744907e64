// frmSettings: "OK" stores then checks in order with the core's messages, key filters, altitude switch, "Cancel".
#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <map>

#include "gui_test_support.h"
#include "shell/app_state.h"
#include "shell/settings_dialog.h"

using namespace zentrel;
using namespace zentrel::gui;
using zentrel::gui::test::MessageRecorder;

class SettingsDialogTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        state_ = std::make_unique<AppState>(dir_.path());
        dialog_ = std::make_unique<SettingsDialog>(*state_, nullptr);
        dialog_->show();
        messages.reset();
    }
    void cleanup() {
        dialog_.reset();
        state_.reset();
    }

    void defaultsShowAndPassUnchanged() {
        QCOMPARE(box("txtMaxDist")->text(), QStringLiteral("1000"));
        QCOMPARE(box("txtMaxStat")->text(), QStringLiteral("20"));
        QCOMPARE(box("txtMinDist")->text(), QStringLiteral("0.1"));
        QVERIFY(box("txtMinHigh")->isReadOnly());
        QVERIFY(box("txtMaxHigh")->isReadOnly());
        QVERIFY(confirm());
        QCOMPARE(messages.count(), 0);
        QVERIFY(!dialog_->isVisible());
    }

    // "OK" stores what was typed, then checks it: accepted values close the dialog and mark
    // the estimates stale; a refused one is stored all the same and leaves the dialog open.
    void okStoresThenAcceptsOrRefuses_data() {
        QTest::addColumn<QString>("typed");   // box=text;...
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QString>("said");    // the message shown (its start), none when empty
        QTest::addColumn<QString>("stored");  // field=value;... of the settings after OK
        QTest::addColumn<QString>("shown");   // box=text;... after OK
        QTest::newRow("power 5") << "txtPowExp=5" << true << "" << "PowExp=5" << "";
        QTest::newRow("power 5.01") << "txtPowExp=5.01" << false
                                    << "Rather high power! | Even a power of 5 means\nthat half the distance makes 32 times the effect. | Critical"
                                    << "PowExp=5.01" << "";
        QTest::newRow("tiny power") << "txtPowExp=0.00005" << true << "" << "PowExp=0" << "";
        QTest::newRow("minimum distance raised")
            << "txtMinDist=0.05" << true
            << "Too small Minimum Distance | Inverse Distance Averaging not allowed \nif the   Nearest Neighbour is closer than "
               "100 m.\n\nDistance  was changed to 100m.  |"
            << "MinDist=0.1" << "txtMinDist=0.1";
        QTest::newRow("area at its limit") << "txtMaxDist=22000" << true << "" << "MaxDist=22000" << "";
        QTest::newRow("area too large")
            << "txtMaxDist=22000.5;txtMaxStat=5" << false
            << "Problem: Area definitely to large. | More than half of the Earths surface\nis covered by the neighbourhoods size "
               "you chose.\nThis may not really represent your local climate. |"
            << "MaxDist=22000.5;MaxStat=20" << "";
        QTest::newRow("zero shadow") << "txtShad=0" << true << "" << "Shad=0;ShadowOn=1" << "";
        QTest::newRow("pasted comma") << "txtMaxStat=12,5" << true << "" << "MaxStat=12" << "txtMaxStat=12.5";
    }
    void okStoresThenAcceptsOrRefuses() {
        QFETCH(QString, typed);
        QFETCH(bool, accepted);
        QFETCH(QString, said);
        QFETCH(QString, stored);
        QFETCH(QString, shown);
        state_->setSingleStale(false);
        state_->setWorkbenchStale(false);
        for (const QString& edit : typed.split(';')) box(edit.section(QLatin1Char('='), 0, 0))->setText(edit.section('=', 1));
        QCOMPARE(confirm(), accepted);
        QCOMPARE(state_->singleStale() && state_->workbenchStale(), accepted);
        QCOMPARE(messages.count(), said.isEmpty() ? 0 : 1);
        if (!said.isEmpty()) QVERIFY2(messages.said().startsWith(said), qPrintable(messages.said()));
        const ProgramSettings& settings = state_->settings();
        const std::map<QString, double> fields{{"PowExp", settings.PowExp}, {"MinDist", settings.MinDist},
                                               {"MaxDist", settings.MaxDist}, {"MaxStat", settings.MaxStat},
                                               {"Shad", settings.Shad},       {"ShadowOn", settings.ShadowOn}};
        for (const QString& field : stored.split(';'))
            QCOMPARE(fields.at(field.section('=', 0, 0)), double(float(field.section('=', 1).toDouble())));
        for (const QString& edit : shown.split(';', Qt::SkipEmptyParts))
            QCOMPARE(box(edit.section(QLatin1Char('='), 0, 0))->text(), edit.section('=', 1));
    }

    void firstFailureInOrderIsTheOnlyOneShown() {
        box("txtPowExp")->setText("6");
        box("txtShad")->setText("2");
        box("txtMaxDist")->setText("0");
        QVERIFY(!confirm());
        QCOMPARE(messages.count(), 1);
        QCOMPARE(messages.last().title, QStringLiteral("Rather high power!"));
        // The minimum-distance note comes before a later failure.
        box("txtPowExp")->setText("1");
        box("txtShad")->setText("1");
        box("txtMinDist")->setText("0");
        messages.clear();
        QVERIFY(!confirm());
        QCOMPARE(messages.count(), 2);
        QCOMPARE(messages.requests[0].title, QStringLiteral("Too small Minimum Distance"));
        QCOMPARE(messages.requests[1].title, QStringLiteral("Problem: Area too  small."));
    }

    void keyFiltersRefuseWithTheirMessages() {
        QLineEdit* maxStat = box("txtMaxStat");
        maxStat->clear();
        QTest::keyClicks(maxStat, "1a2");
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
            box(name)->setText("0");
            box(name)->end(false);
            QTest::keyClicks(box(name), ".5x-");
            QCOMPARE(box(name)->text(), QStringLiteral("0.5"));
            QCOMPARE(messages.count(), 1);
            QCOMPARE(messages.last().title, QString::fromLatin1(title));
            QCOMPARE(messages.last().icon, QMessageBox::Critical);
        }

        check("chkNeighbAlt")->click();
        messages.clear();
        box("txtMinHigh")->clear();
        QTest::keyClicks(box("txtMinHigh"), "-12.5e");
        QCOMPARE(box("txtMinHigh")->text(), QStringLiteral("-12.5"));
        QCOMPARE(messages.count(), 0);
    }

    void enterMovesOnAsTab() {
        dialog_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(dialog_.get()));
        box("txtMaxDist")->setFocus();
        QTRY_VERIFY(box("txtMaxDist")->hasFocus());
        QTest::keyClick(box("txtMaxDist"), Qt::Key_Return);
        QVERIFY(box("txtMaxStat")->hasFocus());
        QCOMPARE(box("txtMaxDist")->text(), QStringLiteral("1000"));
        QVERIFY(dialog_->isVisible());
    }

    void uncheckingNeighbAltResetsTheAltitudeBoxes() {
        check("chkNeighbAlt")->click();
        QVERIFY(!box("txtMinHigh")->isReadOnly());
        box("txtMinHigh")->setText("200");
        box("txtMaxHigh")->setText("1500");
        check("chkNeighbAlt")->click();
        QCOMPARE(box("txtMinHigh")->text(), QStringLiteral("-350"));
        QCOMPARE(box("txtMaxHigh")->text(), QStringLiteral("8848"));
        QVERIFY(box("txtMinHigh")->isReadOnly());
        QVERIFY(box("txtMaxHigh")->isReadOnly());
    }

    void leavingAnAltitudeBoxInWrongOrderWarns() {
        check("chkNeighbAlt")->click();
        box("txtMinHigh")->setText("900");
        box("txtMaxHigh")->setText("100");
        loseFocus(box("txtMinHigh"));
        QCOMPARE(messages.count(), 1);
        QVERIFY(messages.said().startsWith(QStringLiteral("Altitude Confusion | Lowest Altitude should be below highest altitude! |")));
        loseFocus(box("txtMaxHigh"));
        QCOMPARE(messages.last().text, QStringLiteral("Highest Altitude should be above lowest altitude!"));
        QCOMPARE(box("txtMinHigh")->text(), QStringLiteral("900"));  // values stay as typed
        // Switching to another window is not leaving the box.
        messages.clear();
        QFocusEvent away(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
        QApplication::sendEvent(box("txtMinHigh"), &away);
        QCOMPARE(messages.count(), 0);
    }

    void cancelWritesTheStoredValuesBack() {
        auto* method = dialog_->findChild<QComboBox*>("cboMethod");
        box("txtPowExp")->setText("5.01");
        method->setCurrentText(QStringLiteral("Robust"));
        check("chkAltCorr")->setChecked(false);
        QVERIFY(!confirm());  // refused, but stored
        QCOMPARE(state_->settings().RobustCorr, int16_t(1));
        box("txtPowExp")->setText("3");
        box("txtMaxStat")->setText("7");
        method->setCurrentText(QStringLiteral("Described"));
        dialog_->findChild<QPushButton*>("CmdCanc")->click();
        QVERIFY(!dialog_->isVisible());
        QCOMPARE(box("txtPowExp")->text(), QStringLiteral("5.01"));
        QCOMPARE(box("txtMaxStat")->text(), QStringLiteral("20"));
        QCOMPARE(method->currentText(), QStringLiteral("Robust"));
        QVERIFY(!check("chkAltCorr")->isChecked());
        QCOMPARE(state_->settings().PowExp, 5.01f);
    }

    // One control for the method: every method of the core's list, stored by OK together with
    // the older robust switch, which always agrees with it.
    void methodChoiceIsTheOneMethodControlAndIsStored() {
        auto* method = dialog_->findChild<QComboBox*>("cboMethod");
        QVERIFY(method);
        QVERIFY2(!dialog_->findChild<QCheckBox*>("chkRobustCorr"), "a second control for the method");
        // It opens on the method of the settings (whichever is the default).
        QCOMPARE(method->currentText(), methodCaption(effectiveMethod(state_->settings())));
        QCOMPARE(method->count(), static_cast<int>(kMethods.size()));
        for (Method m : kMethods) {
            method->setCurrentText(methodCaption(m));
            QCOMPARE(method->currentText().toLower(), QString::fromLatin1(methodName(m)));
            QVERIFY(confirm());
            QCOMPARE(state_->settings().Method, m);
            QCOMPARE(state_->settings().RobustCorr, int16_t(m == Method::Robust ? 1 : 0));
            dialog_->show();
        }
        // Settings with only the older switch on show Robust, as the engine reads them.
        state_->settings().Method = Method::Described;
        state_->settings().RobustCorr = 1;
        dialog_->findChild<QPushButton*>("CmdCanc")->click();
        QCOMPARE(method->currentText(), QStringLiteral("Robust"));
    }

private:
    QLineEdit* box(const QString& name) { return dialog_->findChild<QLineEdit*>(name); }
    QCheckBox* check(const char* name) { return dialog_->findChild<QCheckBox*>(QLatin1String(name)); }
    bool confirm() {
        dialog_->findChild<QPushButton*>("Command2")->click();
        return !dialog_->isVisible();
    }
    static void loseFocus(QLineEdit* edit) {
        QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
        QApplication::sendEvent(edit, &out);
    }

    MessageRecorder messages;
    QTemporaryDir dir_;
    std::unique_ptr<AppState> state_;
    std::unique_ptr<SettingsDialog> dialog_;
};

QTEST_MAIN(SettingsDialogTest)
#include "settings_dialog_test.moc"
