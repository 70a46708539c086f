#include "report/UnitReport.h"

#include "core/DbError.h"
#include "db/RecordSet.h"
#include "report/Report.h"
#include "report/ReportElement.h"

#include <QFontMetricsF>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr int FirstColumnOffset = 1; // pixels
constexpr int ColumnGap = 3;         // pixels
constexpr int RightAlignedGap = 4;   // pixels, kept free at the right of a right-aligned text

// Long texts and binary data have no place on a report line. Only columns declared as long
// text (MEMO, LONGTEXT, CLOB, NOTE) count as long text: a plain TEXT column is the short text
// of the monitoring tables (SQLite gives TEXT no length of its own), so it prints, wrapping
// where it is wider than its column.
bool isPrintable(const FieldInfo &field)
{
    return field.kind != FieldKind::Memo && field.kind != FieldKind::Binary;
}

const FieldInfo &fieldNamed(const RecordSet &records, const QString &name)
{
    const int index = records.fieldIndex(name);
    if (index < 0)
        throw DbError(QStringLiteral("Поле «%1» не найдено").arg(name));
    return records.fields().at(index);
}

TReportFont withBoldColour(TReportFont font, const QColor &colour)
{
    font.bold = true;
    font.colour = colour;
    return font;
}

// Symbol faces print with the symbol character set; any other face gives way to the report's.
void applyColumnFont(TReportDBText &text, const QString &fontName)
{
    if (fontName != QStringLiteral("Wingdings") && fontName != QStringLiteral("Symbol"))
        return;
    TReportFont font = text.font();
    font.name = fontName;
    font.charset = ReportCharset::Symbol;
    text.setFont(font);
}

// A column that goes on paper, with the width it is printed at and the least width its
// content needs: the longest number or date (which never break), or the longest word.
struct PrintedColumn
{
    const GridColumn *column;
    const FieldInfo *field;
    int width;
    int least = 0;
    bool keepsWhole = false; // numbers and dates: a value is never broken over two lines
};

// How many rows are looked at to learn what a column holds.
constexpr int SampledRows = 1000;
// Kept beside a measured text, so that a printer's slightly wider letters still fit.
constexpr int MeasureAllowance = 3; // pixels

bool isNumeric(FieldKind kind)
{
    return kind == FieldKind::Integer || kind == FieldKind::Float || kind == FieldKind::Date ||
           kind == FieldKind::Boolean;
}

// A number, a date or a time as the report prints it: digits and signs, no word to break at.
bool isUnbreakable(const QString &text)
{
    if (text.isEmpty() || text.size() > 40)
        return false;
    return std::none_of(text.cbegin(), text.cend(), [](QChar c) {
        return c.isLetter() || c == QLatin1Char(' ') || c == QLatin1Char('\n');
    });
}

// The widest word of a text (a caption, a value).
qreal widestWord(const QString &text, const QFontMetricsF &metrics)
{
    qreal widest = 0;
    const QStringList words =
        text.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    for (const QString &word : words)
        widest = std::max(widest, metrics.horizontalAdvance(word));
    return widest;
}

// Learns from the first rows what each column holds: whether its values are numbers or dates,
// and how wide its longest value or word is.
void measureContent(RecordSet &records, std::vector<PrintedColumn> &columns,
                    const QFontMetricsF &detail, const QFontMetricsF &caption)
{
    const int rows = std::min(records.rowCount(), SampledRows);
    for (PrintedColumn &printed : columns) {
        const int column = records.fieldIndex(printed.field->name);
        bool onlyUnbreakable = true;
        bool anyValue = false;
        qreal widestValue = 0;
        qreal widestText = 0;
        for (int row = 0; row < rows; ++row) {
            const QString text = cellText(records.valueAt(row, column), *printed.field);
            if (text.isEmpty())
                continue;
            anyValue = true;
            if (isUnbreakable(text))
                widestValue = std::max(widestValue, detail.horizontalAdvance(text));
            else
                onlyUnbreakable = false;
            widestText = std::max(widestText, widestWord(text, detail));
        }
        printed.keepsWhole = isNumeric(printed.field->kind) || (anyValue && onlyUnbreakable);
        const QString title = printed.field->displayLabel.isEmpty() ? printed.field->name
                                                                    : printed.field->displayLabel;
        const qreal titleWord = widestWord(title, caption);
        if (printed.keepsWhole) {
            // Never narrower than its longest value, even where the grid shows it cut.
            printed.least = int(std::ceil(std::max(widestValue, titleWord))) + MeasureAllowance;
            printed.width = std::max(printed.width, int(std::ceil(widestValue)) + MeasureAllowance);
        } else {
            // A word breaks only where it alone is wider than the grid's column.
            printed.least = std::min(
                printed.width, int(std::ceil(std::max(widestText, titleWord))) + MeasureAllowance);
        }
    }
}

std::vector<PrintedColumn> printedColumns(const RecordSet &records,
                                          const QList<GridColumn> &columns)
{
    std::vector<PrintedColumn> printed;
    for (const GridColumn &column : columns) {
        if (column.width <= 0)
            continue;
        const FieldInfo &field = fieldNamed(records, column.fieldName);
        if (isPrintable(field))
            printed.push_back({&column, &field, column.width});
    }
    return printed;
}

// Where the line of columns ends: the first offset, every width and a gap between each two.
int rowWidth(const std::vector<PrintedColumn> &columns, int PrintedColumn::*width)
{
    int total = FirstColumnOffset;
    for (const PrintedColumn &printed : columns)
        total += printed.*width + ColumnGap;
    return columns.empty() ? total : total - ColumnGap;
}

// Narrows the columns of one kind (numbers and dates, or texts) evenly, none below its least
// width, until the line ends at the page's edge or they are all at their least.
void narrow(std::vector<PrintedColumn> &columns, bool keepsWhole, int pageWidth)
{
    const auto widthWith = [&](int cap) {
        int total = rowWidth(columns, &PrintedColumn::width);
        for (const PrintedColumn &printed : columns) {
            if (printed.keepsWhole == keepsWhole)
                total += std::max(printed.least, std::min(printed.width, cap)) - printed.width;
        }
        return total;
    };
    // The greatest cap on their widths that fits, found by halving.
    int low = 0, high = 0;
    for (const PrintedColumn &printed : columns)
        high = std::max(high, printed.width);
    while (low < high) {
        const int middle = (low + high + 1) / 2;
        if (widthWith(middle) <= pageWidth)
            low = middle;
        else
            high = middle - 1;
    }
    for (PrintedColumn &printed : columns) {
        if (printed.keepsWhole == keepsWhole)
            printed.width = std::max(printed.least, std::min(printed.width, low));
    }
}

// Fits the line of columns into the page: numbers and dates give up the room they do not need
// first, then texts, down to their longest words. Columns that do not fit even so are left
// out from the end, and named in the list returned.
QStringList fitToWidth(std::vector<PrintedColumn> &columns, int pageWidth)
{
    QStringList leftOut;
    while (!columns.empty() && rowWidth(columns, &PrintedColumn::least) > pageWidth) {
        leftOut.prepend(columns.back().field->displayLabel.isEmpty()
                            ? columns.back().field->name
                            : columns.back().field->displayLabel);
        columns.pop_back();
    }
    if (rowWidth(columns, &PrintedColumn::width) > pageWidth)
        narrow(columns, true, pageWidth);
    if (rowWidth(columns, &PrintedColumn::width) > pageWidth)
        narrow(columns, false, pageWidth);
    return leftOut;
}

void layOutColumns(TReport &report, RecordSet &records, const QList<GridColumn> &columns,
                   TReportBand &detail, TReportBand &columnHeader, const TReportBand &pageHeader)
{
    std::vector<PrintedColumn> printed = printedColumns(records, columns);
    const QFontMetricsF detailMetrics(detail.font().toQFont());
    const QFontMetricsF captionMetrics(columnHeader.font().toQFont());
    measureContent(records, printed, detailMetrics, captionMetrics);
    // The page turns to landscape for a line of columns that passes the portrait width, and
    // columns that pass even the landscape width are narrowed; what cannot be narrowed enough
    // without breaking numbers and words is left out, and the preview says so.
    const int page = pageHeader.widthPixels();
    if (report.orientation() == QPageLayout::Portrait &&
        rowWidth(printed, &PrintedColumn::width) > page)
        report.setOrientation(QPageLayout::Landscape);
    if (const QStringList leftOut = fitToWidth(printed, pageHeader.widthPixels());
        !leftOut.isEmpty()) {
        report.setNotice(QStringLiteral("Столбцы не поместились на страницу и не напечатаны: %1. "
                                        "Скройте в таблице ненужные столбцы или сузьте их.")
                             .arg(leftOut.join(QStringLiteral(", "))));
    }

    int offset = FirstColumnOffset;
    for (const PrintedColumn &column :
         printed) { // A number set flush right keeps a gap to the text of the next column.
        const bool right = column.column->alignment & Qt::AlignRight;
        auto *text = detail.add<TReportDBText>();
        text->setDataSet(&records);
        text->setDataField(column.column->fieldName);
        text->setAutoSize(false);
        text->setAutoStretch(true);
        text->setTop(1);
        text->setLeft(offset);
        text->setWidth(right ? std::max(1, column.width - RightAlignedGap) : column.width);
        text->setAlignment(column.column->alignment);
        applyColumnFont(*text, column.column->fontName);

        auto *caption = columnHeader.add<TReportLabel>();
        caption->setLeft(offset);
        caption->setTop(1);
        caption->setAutoSize(false);
        caption->setAutoStretch(true); // a caption wider than a narrowed column wraps
        caption->setWidth(column.width);
        caption->setAlignment(Qt::AlignHCenter);
        caption->setCaption(column.field->displayLabel.isEmpty() ? column.field->name
                                                                 : column.field->displayLabel);

        offset += column.width + ColumnGap;
    }
}

void addTitle(TReportBand &pageHeader, const QString &title)
{
    auto *label = pageHeader.add<TReportLabel>();
    label->setAutoSize(false);
    label->setLeft(0);
    label->setWidth(pageHeader.widthPixels());
    label->setTopMm(1);
    label->setCaption(title);
    TReportFont font = withBoldColour(label->font(), QColor(0, 0, 255));
    font.pointSize = 14;
    label->setFont(font);
    label->setAlignment(Qt::AlignHCenter);
    label->setAutoStretch(true);
}

void addPageNumber(TReportBand &pageFooter)
{
    auto *number = pageFooter.add<TReportSysData>();
    number->setAutoSize(false);
    number->setLeft(0);
    number->setTop(0);
    number->setWidth(pageFooter.widthPixels());
    number->setPrefix(QStringLiteral("стр."));
    number->setAlignment(Qt::AlignHCenter);
}

} // namespace

std::unique_ptr<TReport> buildGridReport(RecordSet &records, const QList<GridColumn> &columns,
                                         const QString &title)
{
    auto report = std::make_unique<TReport>();
    TReportFont font = report->font();
    font.name = QStringLiteral("Tahoma");
    font.charset = ReportCharset::Cyrillic;
    font.pointSize = 8;
    report->setFont(font);
    report->setTitle(title);
    report->setDataSet(&records);

    TReportBand *detail = report->addBand(BandType::Detail);
    detail->setHeightMm(4);
    TReportBand *columnHeader = report->addBand(BandType::ColumnHeader);
    columnHeader->setHeightMm(5);
    columnHeader->setBottomLine(true);
    columnHeader->setFont(withBoldColour(columnHeader->font(), QColor(128, 0, 0)));
    TReportBand *pageHeader = report->addBand(BandType::PageHeader);
    pageHeader->setHeightMm(8);
    pageHeader->setTopLine(true);
    pageHeader->setBottomLine(true);
    TReportBand *pageFooter = report->addBand(BandType::PageFooter);

    layOutColumns(*report, records, columns, *detail, *columnHeader, *pageHeader);
    addTitle(*pageHeader, title);
    addPageNumber(*pageFooter);
    return report;
}
