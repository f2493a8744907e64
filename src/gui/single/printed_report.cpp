// Printed report and print twins, laid out with QPainter text.
#include "single/printed_report.h"

#include <algorithm>

#include <QPainter>
#include <QPagedPaintDevice>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QStringDecoder>
#include <QDate>
#include <QLocale>
#include <QRegularExpression>

#include "base/picture.h"
#include "shell/settings_controls.h"

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
        QStringList lines = linesOf(reportBlock(results[v], settings, options));
        // The page names the method that made its numbers, whichever it was (the file names
        // only the ones other than the described method, so that its files stay as they were).
        const qsizetype methods = lines.indexOf(QStringLiteral("Applied Methods:"));
        if (methods >= 0)
            lines.insert(std::min(methods + 2, lines.size()),
                         QStringLiteral("     Estimation Method: ") +
                             methodCaption(effectiveMethod(settings)));
        const qsizetype first = document.size();
        bool table = false;
        for (qsizetype i = 0; i < lines.size(); ++i) {
            PrintLine line{lines[i], PrintLine::Heading, i == 0 && !document.isEmpty()};
            if (i == 0) line.style = PrintLine::Title;
            else if (isSectionTitle(lines[i])) table = true;
            else if (i == lines.size() - 1) table = false;  // the closing provider line
            else if (table) line.style = PrintLine::Table;
            document.append(line);
        }
        PrintDocument block = document.mid(first);
        setRunningHeader(block, options.location, QString::fromUtf8(longVariableName(static_cast<int>(v))));
        for (qsizetype i = 0; i < block.size(); ++i) document[first + i].header = block[i].header;
    }
    markColumnHeads(document);
    return document;
}

PrintDocument PrintformatStandard(const VariableResults& results, const VariableSelection& selection,
                                  const Location& location) {
    PrintDocument document;
    for (size_t v = 0; v < results.size(); ++v)
        if (selection[v]) addTable(document, orvaneHeader(location) + orvaneLine(results[v]));
    setRunningHeader(document, location);
    return document;
}

PrintDocument PrintVesk(const VariableResults& results, const VariableSelection& selection, const Location& location) {
    PrintDocument document;
    for (size_t v = 0; v < results.size(); ++v)
        if (selection[v]) addTable(document, veskHeader() + veskLine(results[v], location));
    setRunningHeader(document, location);
    return document;
}

PrintDocument PrintTessomarInput(const VariableResults& results, const Location& location) {
    PrintDocument document;
    addTable(document, formatRainfallPet(results, location, true));
    setRunningHeader(document, location);
    return document;
}

PrintDocument PrintTessomarOutput(const VariableResults& results, const Location& location) {
    PrintDocument document;
    addTable(document, formatGrowingSeasons(results, location, true));
    setRunningHeader(document, location);
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
    setRunningHeader(document, location);
    return document;
}

void markColumnHeads(PrintDocument& document) {
    static const QRegularExpression digit(QStringLiteral("[0-9]"));
    for (qsizetype i = 0; i < document.size(); ++i) {
        if (document[i].style != PrintLine::Heading || !isSectionTitle(document[i].text)) continue;
        qsizetype k = i + 1;
        while (k < document.size() && document[k].text.trimmed().isEmpty()) ++k;
        if (k >= document.size() || document[k].style != PrintLine::Table) continue;
        document[k].columnHead = true;
        // The unit line under the titles belongs to the heads; a data row does not.
        if (k + 1 < document.size() && document[k + 1].style == PrintLine::Table &&
            !document[k + 1].text.trimmed().isEmpty() && !document[k + 1].text.contains(digit))
            document[k + 1].columnHead = true;
    }
}

void setRunningHeader(PrintDocument& document, const Location& location, const QString& variable) {
    QString header = QStringLiteral("Zentrel  \u2013  ") + QString::fromStdString(location.Name) +
                     QStringLiteral(" (Lon %1, Lat %2, Alt %3 m)")
                         .arg(QString::fromStdString(shortestFloat(location.Lon)),
                              QString::fromStdString(shortestFloat(location.Lat)),
                              QString::fromStdString(shortestFloat(location.Alt)));
    if (!variable.isEmpty()) header += QStringLiteral("  \u2013  ") + variable;
    for (PrintLine& line : document) line.header = header;
}

PageLayout printDocument(QPagedPaintDevice& device, const PrintDocument& source) {
    // Margins a desk printer can print and a reader can hold the page by.
    const QMarginsF margins = device.pageLayout().margins(QPageLayout::Millimeter);
    if (margins.left() < kPrintMarginLeft - 0.5 || margins.top() < kPrintMarginTop - 0.5)
        device.setPageMargins(QMarginsF(kPrintMarginLeft, kPrintMarginTop, kPrintMarginRight, kPrintMarginBottom),
                              QPageLayout::Millimeter);
    QPainter painter(&device);
    const QPageLayout layout = device.pageLayout();
    const QRect page = layout.paintRectPixels(device.logicalDpiX());
    const double width = page.width();

    QFont title(QStringLiteral("Arial"), 14, QFont::Bold);
    title.setStyleHint(QFont::SansSerif);
    QFont heading(QStringLiteral("Arial"), 10);
    heading.setStyleHint(QFont::SansSerif);
    QFont small(QStringLiteral("Arial"), 8);
    small.setStyleHint(QFont::SansSerif);
    QFont table(QStringLiteral("Courier"), 9);
    table.setStyleHint(QFont::TypeWriter);
    table.setFixedPitch(true);
    // Tables stay readable at 100 %: 9 pt, or down to 8 pt where that makes one fit; a table
    // wider still is cut into column blocks at 9 pt rather than shrunk beside its headings.
    const QFontMetricsF tableMetrics(table, &device);
    const double advance = tableMetrics.horizontalAdvance(QLatin1Char('0'));
    const int fullChars = std::max(20, static_cast<int>(width / advance));
    const int smallestChars = std::max(fullChars, static_cast<int>(width / (advance * 8.0 / 9.0)));
    // Blocks that fit at 8 pt stay whole (and get that size below); wider ones are cut at 9 pt.
    const PrintDocument document = fitTablesToWidth(source, fullChars, smallestChars);
    QList<QFont> tableFonts(document.size(), table);
    for (qsizetype first = 0; first < document.size();) {
        if (document[first].style != PrintLine::Table) {
            ++first;
            continue;
        }
        qsizetype end = first;
        double widest = 0;
        for (; end < document.size() && document[end].style == PrintLine::Table; ++end)
            widest = std::max(widest, tableMetrics.horizontalAdvance(document[end].text));
        if (widest > width) {
            QFont smaller = table;
            smaller.setPointSizeF(std::max(8.0, 9.0 * width / widest * 0.99));
            for (qsizetype i = first; i < end; ++i) tableFonts[i] = smaller;
        }
        first = end;
    }

    const QFontMetricsF smallMetrics(small, &device);
    const double band = smallMetrics.lineSpacing() * 2;  // header and footer bands
    const double top = band, height = page.height() - 2 * band;
    const auto fontAt = [&](qsizetype i) -> const QFont& {
        const PrintLine& line = document[i];
        return line.style == PrintLine::Title ? title : line.style == PrintLine::Heading ? heading : tableFonts[i];
    };

    // Where every line goes.
    PageLayout pages(1);
    double y = 0;
    QList<qsizetype> heads;  // column heads of the table being printed
    for (qsizetype i = 0; i < document.size(); ++i) {
        const PrintLine& line = document[i];
        if (line.style != PrintLine::Table) heads.clear();
        if (line.columnHead && (i == 0 || !document[i - 1].columnHead)) heads.clear();
        const double step = QFontMetricsF(fontAt(i), &device).lineSpacing();
        if (!pages.last().isEmpty() && (line.newPage || y + step > height)) {
            const bool continued = !line.newPage && line.style == PrintLine::Table && !line.columnHead;
            pages.append(QList<PageLine>());
            y = 0;
            if (continued)
                for (qsizetype h : heads) {
                    pages.last().append(PageLine{h, true, y});
                    y += QFontMetricsF(tableFonts[h], &device).lineSpacing();
                }
        }
        pages.last().append(PageLine{i, false, y});
        y += step;
        if (line.columnHead) heads.append(i);
    }

    const QString date = QLocale::c().toString(QDate::currentDate(), QStringLiteral("yyyy-MM-dd"));
    const auto pageCount = pages.size();
    for (qsizetype p = 0; p < pageCount; ++p) {
        if (p > 0) device.newPage();
        const QList<PageLine>& lines = pages[p];
        // Running header: what the page is about, and the day it was printed.
        painter.setFont(small);
        painter.setPen(Qt::black);
        const QString header = lines.isEmpty() ? QString() : document[lines.first().line].header;
        const double base = smallMetrics.ascent();
        const double dateWidth = smallMetrics.horizontalAdvance(date);
        // A long header gives way to the date rather than running into it.
        painter.drawText(QPointF(0, base),
                         smallMetrics.elidedText(header, Qt::ElideRight, width - dateWidth - 4 * smallMetrics.averageCharWidth()));
        painter.drawText(QPointF(width - dateWidth, base), date);
        painter.drawLine(QPointF(0, smallMetrics.lineSpacing() * 1.3), QPointF(width, smallMetrics.lineSpacing() * 1.3));
        for (const PageLine& at : lines) {
            const PrintLine& line = document[at.line];
            const QFont& font = fontAt(at.line);
            painter.setFont(font);
            painter.drawText(QPointF(0, top + at.y + QFontMetricsF(font, &device).ascent()), line.text);
        }
        painter.setFont(small);
        const QString footer = QStringLiteral("Page %1 of %2").arg(p + 1).arg(pageCount);
        painter.drawText(QPointF((width - smallMetrics.horizontalAdvance(footer)) / 2, page.height() - smallMetrics.descent()),
                         footer);
    }
    return pages;
}

PrintDocument fitTablesToWidth(const PrintDocument& document, int maxChars, int keepWhole) {
    static const QRegularExpression negativeZero(QStringLiteral("(^|\\s)-(0\\.0+)(?![0-9])"));
    PrintDocument out;
    for (qsizetype first = 0; first < document.size();) {
        if (document[first].style != PrintLine::Table) {
            out.append(document[first++]);
            continue;
        }
        qsizetype end = first;
        qsizetype widest = 0;
        for (; end < document.size() && document[end].style == PrintLine::Table; ++end)
            widest = std::max(widest, document[end].text.size());
        QList<PrintLine> block(document.begin() + first, document.begin() + end);
        for (PrintLine& line : block) line.text.replace(negativeZero, QStringLiteral("\\1 \\2"));
        first = end;
        if (widest <= std::max(maxChars, keepWhole)) {
            out.append(block);
            continue;
        }
        // Column c is a gutter when every line of the block has a blank there (or ends before it)
        // that is not a single blank inside a text ("Std. Err.", "°C /100m", a station's name).
        // Where no such place is left, any blank column will do.
        const auto gutter = [&](qsizetype c, bool betweenWords = false) {
            for (const PrintLine& line : block) {
                const QString& t = line.text;
                if (c >= t.size()) continue;
                if (!t[c].isSpace()) return false;
                if (!betweenWords && c > 0 && c + 1 < t.size() && !t[c - 1].isSpace() && !t[c + 1].isSpace()) return false;
            }
            return true;
        };
        qsizetype labels = 0;  // the row titles: up to the first gutter after some text
        while (labels < widest && gutter(labels)) ++labels;
        while (labels < widest && !gutter(labels)) ++labels;
        if (labels >= maxChars / 2) labels = 0;  // no title column to repeat
        for (qsizetype start = labels; start < widest;) {
            qsizetype cut = std::min(widest, start + maxChars - labels);
            if (cut < widest) {
                const qsizetype most = cut;
                while (cut > start && !gutter(cut)) --cut;
                if (cut == start)
                    for (cut = most; cut > start && !gutter(cut, true);) --cut;
                if (cut == start) cut = most;  // no blank column at all: cut hard
            }
            for (qsizetype i = 0; i < block.size(); ++i) {
                PrintLine piece = block[i];
                piece.text = block[i].text.left(labels) + block[i].text.mid(start, cut - start);
                while (piece.text.endsWith(QLatin1Char(' '))) piece.text.chop(1);
                // The parts of a block follow one another with a blank line between them.
                piece.newPage = block[i].newPage && start == labels;
                out.append(piece);
            }
            start = cut;
            if (start < widest) out.append(PrintLine(QString(), PrintLine::Table));
        }
    }
    return out;
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
