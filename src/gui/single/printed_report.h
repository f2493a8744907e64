// Printing of the single-location results: the printed report and the print twins of the
// export formats as lines with a style, and the one routine that lays them out on pages.
#pragma once

#include <functional>

#include <QList>
#include <QString>

#include "formats/result_report.h"

class QPagedPaintDevice;
class QPrinter;
class QWidget;

namespace zentrel::gui::single {

/// One printed line. Headings in "Arial", tables in "Courier".
struct PrintLine {
    enum Style { Title, Heading, Table };
    PrintLine() = default;
    PrintLine(QString text_, Style style_ = Table, bool newPage_ = false)
        : text(std::move(text_)), style(style_), newPage(newPage_) {}
    QString text;
    Style style = Table;
    bool newPage = false;  ///< starts a new page (unless the page is still empty)
    /// Column heads of a table: repeated at the top of each page the table continues on.
    bool columnHead = false;
    /// Running header of the page the line is on (program, location, variable); "" for none.
    QString header;
};
using PrintDocument = QList<PrintLine>;

/// Text of written bytes (Windows-1252) for the screen and the printer.
QString fromWindows1252(const std::string& bytes);

/// The printed report: the result file's blocks of the selected variables with the printed
/// texts, each variable on a page of its own.
PrintDocument printedReport(const VariableResults& results, const VariableSelection& selection,
                            const ProgramSettings& settings, ReportOptions options);
/// The standard station format: header block and line, once per selected variable.
PrintDocument PrintformatStandard(const VariableResults& results, const VariableSelection& selection,
                                  const Location& location);
/// The element-coded format: header lines and line, once per selected variable.
PrintDocument PrintVesk(const VariableResults& results, const VariableSelection& selection, const Location& location);
/// The rainfall-PET file of the location.
PrintDocument PrintTessomarInput(const VariableResults& results, const Location& location);
/// The growing-season file of the location.
PrintDocument PrintTessomarOutput(const VariableResults& results, const Location& location);
/// The list, climate and rainfall files of the crop-water tool for the location.
PrintDocument PrintPlantow(const VariableResults& results, const Location& location, const QString& baseName);

/// Marks the column heads of each table of a document: the first line after a section title
/// (a heading), and the line below it when it holds units (no digits).
void markColumnHeads(PrintDocument& document);
/// Sets the running header of every line: "Zentrel", the location, and the variable.
void setRunningHeader(PrintDocument& document, const Location& location, const QString& variable = {});

/// Page margins of printed output in millimetres (left, top, right, bottom).
inline constexpr double kPrintMarginLeft = 20, kPrintMarginTop = 15, kPrintMarginRight = 15, kPrintMarginBottom = 15;

/// Where the lines of a document fall: per page, the lines (indices into the document;
/// `repeatedHead` for a table's column head printed again on a continuation page) and their
/// top in device pixels below the running header.
struct PageLine {
    qsizetype line;
    bool repeatedHead = false;
    double y = 0;
};
using PageLayout = QList<QList<PageLine>>;

/// A table block (consecutive Table lines) wider than `maxChars` characters becomes several
/// blocks one under the other, each with the block's row titles (the columns before the first
/// blank column after them) and as many further columns as fit; the cuts fall only where every
/// line of the block has a blank that is not a single one between two words, so no number and
/// no title or unit ("Std. Err.", "°C /100m") is split. Narrower blocks and other lines stay.
/// Blocks up to `keepWhole` characters wide stay whole (to be printed in a smaller type).
/// Table lines also lose the sign of a negative zero ("-0.00" becomes " 0.00").
PrintDocument fitTablesToWidth(const PrintDocument& document, int maxChars, int keepWhole = 0);

/// Lays the lines out on the pages of `device` within the print margins, below a running
/// header (the lines' header and the date) and above a "Page n of m" footer: a title and
/// headings in "Arial", tables in "Courier" at 9 pt, down to 8 pt for a table that then fits;
/// a wider one is cut into column blocks (fitTablesToWidth) at 9 pt. A table that goes on to a
/// new page starts there with its column heads again. Returns the layout it printed (line
/// indices into the document after fitTablesToWidth, the same as `document`'s when no table
/// had to be cut).
PageLayout printDocument(QPagedPaintDevice& device, const PrintDocument& document);

/// Shows a document to the user for printing. The default opens the print preview on
/// `printer`, from which the print dialog prints (a PDF file needs no printer).
using PrintHandler = std::function<void(QWidget* parent, QPrinter& printer, const PrintDocument& document)>;
/// Replaces the handler (tests); an empty one restores the preview. Returns the previous one.
PrintHandler setPrintHandler(PrintHandler handler);
void showPrintDocument(QWidget* parent, QPrinter& printer, const PrintDocument& document);

}  // namespace zentrel::gui::single
