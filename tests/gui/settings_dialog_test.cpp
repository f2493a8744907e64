// frmSettings: "OK" stores then checks in order with the core's messages, key filters, altitude switch, "Cancel".
#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

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
        MessageRecorder messages;
        QVERIFY(confirm());
        QCOMPARE(messages.count(), 0);
        QVERIFY(!dialog_->isVisible());
    }

    void powerFiveIsAcceptedFiveOhOneRefused() {
        MessageRecorder messages;
        box("txtPowExp")->setText("5");
        QVERIFY(confirm());
        QCOMPARE(state_->settings().PowExp, 5.0f);
        QVERIFY(state_->singleStale() && state_->workbenchStale());

        dialog_->show();
        state_->setSingleStale(false);
        box("txtPowExp")->setText("5.01");
        QVERIFY(!confirm());
        QVERIFY(dialog_->isVisible());
        QCOMPARE(messages.count(), 1);
        QCOMPARE(messages.last().title, QStringLiteral("Rather high power!"));
        QCOMPARE(messages.last().text, QStringLiteral("Even a power of 5 means\nthat half the distance makes 32 times the effect."));
        QCOMPARE(messages.last().icon, QMessageBox::Critical);
        QCOMPARE(state_->settings().PowExp, 5.01f);  // stored before the check
        QVERIFY(!state_->singleStale());
    }

    void tinyPowerIsStoredAsZero() {
        box("txtPowExp")->setText("0.00005");
        QVERIFY(confirm());
        QCOMPARE(state_->settings().PowExp, 0.0f);
    }

    void smallMinimumDistanceIsRaisedAndTheDialogCloses() {
        MessageRecorder messages;
        box("txtMinDist")->setText("0.05");
        QVERIFY(confirm());
        QCOMPARE(messages.count(), 1);
        QCOMPARE(messages.last().title, QStringLiteral("Too small Minimum Distance"));
        QCOMPARE(messages.last().text, QStringLiteral("Inverse Distance Averaging not allowed \nif the   Nearest Neighbour "
                                                      "is closer than 100 m.\n\nDistance  was changed to 100m. "));
        QCOMPARE(state_->settings().MinDist, 0.1f);
        QCOMPARE(box("txtMinDist")->text(), QStringLiteral("0.1"));
        QVERIFY(!dialog_->isVisible());
    }

    void areaLimitAndItsStationReset() {
        MessageRecorder messages;
        box("txtMaxDist")->setText("22000");
        QVERIFY(confirm());
        QCOMPARE(messages.count(), 0);

        dialog_->show();
        box("txtMaxDist")->setText("22000.5");
        box("txtMaxStat")->setText("5");
        QVERIFY(!confirm());
        QCOMPARE(messages.last().title, QStringLiteral("Problem: Area definitely to large."));
        QCOMPARE(messages.last().text.count('\n'), 2);
        QCOMPARE(state_->settings().MaxStat, int16_t(20));
        QCOMPARE(state_->settings().MaxDist, 22000.5f);
        QVERIFY(dialog_->isVisible());
    }

    void firstFailureInOrderIsTheOnlyOneShown() {
        MessageRecorder messages;
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

    void pastedCommaIsReplacedInTheBox() {
        box("txtMaxStat")->setText("12,5");
        QVERIFY(confirm());
        QCOMPARE(box("txtMaxStat")->text(), QStringLiteral("12.5"));
        QCOMPARE(state_->settings().MaxStat, int16_t(12));
    }

    void keyFiltersRefuseWithTheirMessages() {
        MessageRecorder messages;
        QLineEdit* maxStat = box("txtMaxStat");
        maxStat->clear();
        QTest::keyClicks(maxStat, "1a2");
        QCOMPARE(maxStat->text(), QStringLiteral("12"));
        QCOMPARE(messages.count(), 0);
        QTest::keyClick(maxStat, '.');
        QCOMPARE(messages.last().title, QStringLiteral("Problem"));
        QCOMPARE(messages.last().text, QStringLiteral("Number of stations must be an integer"));
        QTest::keyClick(maxStat, '-');
        QCOMPARE(messages.last().title, QStringLiteral("Problem: To few stations."));
        QCOMPARE(messages.last().text, QStringLiteral("You should allow one neighbour at least.\nJust to get a result."));
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
        MessageRecorder messages;
        check("chkNeighbAlt")->click();
        box("txtMinHigh")->setText("900");
        box("txtMaxHigh")->setText("100");
        loseFocus(box("txtMinHigh"));
        QCOMPARE(messages.count(), 1);
        QCOMPARE(messages.last().title, QStringLiteral("Altitude Confusion"));
        QCOMPARE(messages.last().text, QStringLiteral("Lowest Altitude should be below highest altitude!"));
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
        MessageRecorder messages;
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

    void zeroShadowIsAcceptedAndShadowStaysOn() {
        box("txtShad")->setText("0");
        QVERIFY(confirm());
        QCOMPARE(state_->settings().Shad, 0.0f);
        QCOMPARE(state_->settings().ShadowOn, int16_t(1));
    }

private:
    QLineEdit* box(const char* name) { return dialog_->findChild<QLineEdit*>(QLatin1String(name)); }
    QCheckBox* check(const char* name) { return dialog_->findChild<QCheckBox*>(QLatin1String(name)); }
    bool confirm() {
        dialog_->findChild<QPushButton*>("Command2")->click();
        return !dialog_->isVisible();
    }
    static void loseFocus(QLineEdit* edit) {
        QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
        QApplication::sendEvent(edit, &out);
    }

    QTemporaryDir dir_;
    std::unique_ptr<AppState> state_;
    std::unique_ptr<SettingsDialog> dialog_;
};

QTEST_MAIN(SettingsDialogTest)
#include "settings_dialog_test.moc"
