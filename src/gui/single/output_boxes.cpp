// Tick boxes and the save dialog of the output windows.
#include "single/output_boxes.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "shell/save_dialog.h"

namespace zentrel::gui::single {

QuantityBoxes::QuantityBoxes(const QString& title, const QString& objectPrefix, QWidget* parent)
    : QGroupBox(title, parent) {
    static const char* const names[10] = {"Best", "High", "Error", "Bias", "Slope",
                                          "ExplVar", "AbsGrad", "DirGrad", "LongGrad", "LatGrad"};
    static const char* const captions[10] = {"Best Estimate", "Confidence Interval", "Estimated Standard Error",
                                             "Estimated Bias", "Slope of Linear Altitude Dependency",
                                             "Explained Variance of Altitude Correction",
                                             "Absolute Value of horizontal Gradient", "Direction of Horizontal Gradient",
                                             "Longitudinal Gradient", "Latitudinal Gradient"};
    auto* layout = new QVBoxLayout(this);
    for (size_t i = 0; i < 10; ++i) {
        boxes_[i] = new QCheckBox(QLatin1String(captions[i]), this);
        boxes_[i]->setObjectName(objectPrefix + QLatin1String(names[i]));
        layout->addWidget(boxes_[i]);
    }
    layout->addStretch(1);
}

QuantitySelection QuantityBoxes::selection() const {
    QuantitySelection q;
    bool* fields[10] = {&q.best, &q.interval, &q.stdErr, &q.bias, &q.slope,
                        &q.explVar, &q.absGrad, &q.dirGrad, &q.longGrad, &q.latGrad};
    for (size_t i = 0; i < 10; ++i) *fields[i] = boxes_[i]->isChecked();
    return q;
}

LevelOptions::LevelOptions(const QString& title, QWidget* parent) : QGroupBox(title, parent) {
    auto* layout = new QVBoxLayout(this);
    static const char* const names[3] = {"OptLev90", "OptLev95", "OptLev99"};
    static const char* const captions[3] = {"90%", "95%", "99%"};
    for (size_t i = 0; i < 3; ++i) {
        options_[i] = new QRadioButton(QLatin1String(captions[i]), this);
        options_[i]->setObjectName(QLatin1String(names[i]));
        layout->addWidget(options_[i]);
    }
}

int LevelOptions::percent() const {
    static const int levels[3] = {90, 95, 99};
    for (size_t i = 0; i < 3; ++i)
        if (options_[i]->isChecked()) return levels[i];
    return 0;
}

void LevelOptions::setPercent(int percent) {
    // Radio buttons cannot be cleared while exclusive: lift it for the change.
    for (QRadioButton* o : options_) o->setAutoExclusive(false);
    options_[0]->setChecked(percent == 90);
    options_[1]->setChecked(percent == 95);
    options_[2]->setChecked(percent == 99);
    for (QRadioButton* o : options_) o->setAutoExclusive(true);
}

QString saveFilter(int outputFormat) {
    if (outputFormat == FormatZentrel) return QStringLiteral("Zentrel (*.zte)");
    if (outputFormat == FormatPlantow) return QStringLiteral("Plantow (*.Lst)");
    return QStringLiteral("Data (*.Dat)");
}

namespace {
SaveFileDialog& saveDialog() {
    static SaveFileDialog dialog;
    return dialog;
}
}  // namespace

SaveFileDialog setSaveFileDialog(SaveFileDialog dialog) {
    SaveFileDialog previous = std::move(saveDialog());
    saveDialog() = std::move(dialog);
    return previous;
}

QString askSaveFileName(QWidget* parent, int outputFormat) {
    const QString filter = saveFilter(outputFormat);
    // A name typed without extension gets the format's one, also when a test answers.
    if (saveDialog()) return withFilterExtension(saveDialog()(parent, filter), filter);
    return getSaveFileName(parent, QStringLiteral("Save"), filter);
}

OutputButtons makeOutputButtons(QWidget* window) {
    const auto button = [window](const QString& caption, const char* name) {
        auto* b = new QPushButton(caption, window);
        b->setObjectName(QLatin1String(name));
        return b;
    };
    const OutputButtons buttons{button(QStringLiteral("Save"), "CmdSave"), button(QStringLiteral("Print"), "CmdPrint"),
                                button(QStringLiteral("Cancel"), "CmdCanc")};
    QObject::connect(buttons.cancel, &QPushButton::clicked, window, [window] {
        if (window->parentWidget() && window->parentWidget()->inherits("QMdiSubWindow")) window->parentWidget()->close();
        else window->close();
    });
    return buttons;
}

}  // namespace zentrel::gui::single
