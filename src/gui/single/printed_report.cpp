// Printed report and print twins, laid out with QPainter text.
#include "single/printed_report.h"

#include <algorithm>

#include <QPainter>
#include <QPagedPaintDevice>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QStringDecoder>

#include "formats/growing_season_export.h"
#include "formats/orvane_format.h"
#include "formats/plantow_format.h"
#include "formats/vesk_format.h"

namespace zentrel::gui::single {

namespace {

QStringList linesOf(const std::string& bytes) {
    QStringList lines = fromWindows1252(bytes).split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    return lines;
}

void addTable(PrintDocument& document, const std::string& bytes, bool newPage = false) {
    for (const QString& line : linesOf(bytes)) {
        document.append({line, PrintLine::Table, newPage});
        newPage = false;
    }
}

/// Section titles of the report; the lines after one are its table, in "Courier".
bool isSectionTitle(const QString& line) {
    return line.startsWith(QLatin1String("Estimated ")) || line.startsWith(QLatin1String("Neighboring stations")) ||
           line.startsWith(QLatin1String("Observed mean annual"));
}

PrintHandler& handler() {
    static PrintHandler h;
    return h;
}

}  // namespace

QString fromWindows1252(const std::string& bytes) {
    QStringDecoder decoder("windows-1252");
    if (decoder.isValid()) return decoder.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

PrintDocument printedReport(const VariableResults& results, const VariableSelection& selection,
                            const ProgramSettings& settings, ReportOptions options) {
    options.printed = true;
    PrintDocument document;
    for (size_t v = 0; v < results.size(); ++v) {
        if (!selection[v]) continue;
        const QStringList lines = linesOf(reportBlock(results[v], settings, options));
        bool table = false;
        for (qsizetype i = 0; i < lines.size(); ++i) {
            PrintLine line{lines[i], PrintLine::Heading, i == 0 && !document.isEmpty()};
            if (i == 0) line.style = PrintLine::Title;
            else if (isSectionTitle(lines[i])) table = true;
            else if (i == lines.size() - 1) table = false;  // the closing provider line
            else if (table) line.style = PrintLine::Table;
            document.append(line);
        }
    }
    return document;
}

PrintDocument PrintformatStandard(const VariableResults& results, const VariableSelection& selection,
                                  const Location& location) {
    PrintDocument document;
    for (size_t v = 0; v < results.size(); ++v)
        if (selection[v]) addTable(document, orvaneHeader(location) + orvaneLine(results[v]));
    return document;
}

PrintDocument PrintVesk(const VariableResults& results, const VariableSelection& selection, const Location& location) {
    PrintDocument document;
    for (size_t v = 0; v < results.size(); ++v)
        if (selection[v]) addTable(document, veskHeader() + veskLine(results[v], location));
    return document;
}

PrintDocument PrintTessomarInput(const VariableResults& results, const Location& location) {
    PrintDocument document;
    addTable(document, formatRainfallPet(results, location, true));
    return document;
}

PrintDocument PrintTessomarOutput(const VariableResults& results, const Location& location) {
    PrintDocument document;
    addTable(document, formatGrowingSeasons(results, location, true));
    return document;
}

PrintDocument PrintPlantow(const VariableResults& results, const Location& location, const QString& baseName) {
    const PlantowFiles files = formatPlantow(results, location, baseName.toStdString(), 1, true);
    PrintDocument document;
    addTable(document, files.list);
    document.append({QString(), PrintLine::Table, false});
    addTable(document, files.climate);
    document.append({QString(), PrintLine::Table, false});
    addTable(document, files.rainfall);
    // The end-of-file mark of the climate file is not a printable character.
    for (PrintLine& line : document) line.text.remove(QChar(26));
    return document;
}

void printDocument(QPagedPaintDevice& device, const PrintDocument& document) {
    QPainter painter(&device);
    const QPageLayout layout = device.pageLayout();
    const QRect page = layout.paintRectPixels(device.logicalDpiX());
    const double width = page.width(), height = page.height();

    QFont title(QStringLiteral("Arial"), 14, QFont::Bold);
    title.setStyleHint(QFont::SansSerif);
    QFont heading(QStringLiteral("Arial"), 10);
    heading.setStyleHint(QFont::SansSerif);
    QFont table(QStringLiteral("Courier"), 9);
    table.setStyleHint(QFont::TypeWriter);
    table.setFixedPitch(true);
    // Wide tables get a smaller type so that no column is cut off.
    double widest = 0;
    const QFontMetricsF tableMetrics(table, &device);
    for (const PrintLine& line : document)
        if (line.style == PrintLine::Table) widest = std::max(widest, tableMetrics.horizontalAdvance(line.text));
    if (widest > width) table.setPointSizeF(std::max(4.0, 9.0 * width / widest * 0.98));

    double y = 0;
    bool pageEmpty = true;
    for (const PrintLine& line : document) {
        const QFont& font = line.style == PrintLine::Title ? title : line.style == PrintLine::Heading ? heading : table;
        const QFontMetricsF metrics(font, &device);
        if (!pageEmpty && (line.newPage || y + metrics.lineSpacing() > height)) {
            device.newPage();
            y = 0;
            pageEmpty = true;
        }
        painter.setFont(font);
        painter.drawText(QPointF(0, y + metrics.ascent()), line.text);
        y += metrics.lineSpacing();
        pageEmpty = false;
    }
}

PrintHandler setPrintHandler(PrintHandler h) {
    PrintHandler previous = std::move(handler());
    handler() = std::move(h);
    return previous;
}

void showPrintDocument(QWidget* parent, QPrinter& printer, const PrintDocument& document) {
    if (handler()) {
        handler()(parent, printer, document);
        return;
    }
    QPrintPreviewDialog preview(&printer, parent);
    preview.setWindowTitle(QStringLiteral("Print Preview"));
    QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, &preview,
                     [&document](QPrinter* target) { printDocument(*target, document); });
    preview.exec();
}

}  // namespace zentrel::gui::single
