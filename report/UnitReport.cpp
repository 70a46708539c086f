#include "report/UnitReport.h"

#include "core/DbError.h"
#include "db/RecordSet.h"
#include "report/Report.h"
#include "report/ReportElement.h"

#include <algorithm>
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

// A column that goes on paper, with the width it is printed at.
struct PrintedColumn
{
    const GridColumn *column;
    const FieldInfo *field;
    int width;
};

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
int rowWidth(const std::vector<PrintedColumn> &columns)
{
    int width = FirstColumnOffset;
    for (const PrintedColumn &printed : columns)
        width += printed.width + ColumnGap;
    return columns.empty() ? width : width - ColumnGap;
}

bool isText(const PrintedColumn &printed)
{
    return printed.field->kind == FieldKind::String || printed.field->kind == FieldKind::Unknown;
}

// Narrows columns that pass the page so that every one of them is printed, their texts
// wrapping: first the widest text columns, down to a width that still holds a few words;
// where even that is too wide, every column in proportion.
void fitToWidth(std::vector<PrintedColumn> &columns, int pageWidth)
{
    constexpr int NarrowestText = 48; // pixels
    // The room for the widths themselves, less the offset and the gaps.
    int widths = 0;
    for (const PrintedColumn &printed : columns)
        widths += printed.width;
    const int room = pageWidth - (rowWidth(columns) - widths);
    const auto totalWith = [&](int textCap) {
        int total = 0;
        for (const PrintedColumn &printed : columns)
            total += isText(printed) ? std::min(printed.width, textCap) : printed.width;
        return total;
    };
    // The greatest cap on text widths that fits, found by halving.
    int low = NarrowestText, high = 0;
    for (const PrintedColumn &printed : columns)
        high = std::max(high, printed.width);
    if (totalWith(low) <= room) {
        while (low < high) {
            const int middle = (low + high + 1) / 2;
            if (totalWith(middle) <= room)
                low = middle;
            else
                high = middle - 1;
        }
        for (PrintedColumn &printed : columns) {
            if (isText(printed))
                printed.width = std::min(printed.width, low);
        }
        return;
    }
    const int total = totalWith(NarrowestText);
    for (PrintedColumn &printed : columns) {
        const int width = isText(printed) ? std::min(printed.width, NarrowestText) : printed.width;
        printed.width = std::max(1, int(qint64(width) * std::max(room, 0) / total));
    }
}

void layOutColumns(TReport &report, RecordSet &records, const QList<GridColumn> &columns,
                   TReportBand &detail, TReportBand &columnHeader, const TReportBand &pageHeader)
{
    std::vector<PrintedColumn> printed = printedColumns(records, columns);
    // The page turns to landscape for a line of columns that passes the portrait width, and
    // columns that pass even the landscape width are narrowed: no column is left out.
    if (report.orientation() == QPageLayout::Portrait &&
        rowWidth(printed) > pageHeader.widthPixels())
        report.setOrientation(QPageLayout::Landscape);
    if (rowWidth(printed) > pageHeader.widthPixels())
        fitToWidth(printed, pageHeader.widthPixels());

    int offset = FirstColumnOffset;
    for (const PrintedColumn &column : printed) {
        // A number set flush right keeps a gap to the text of the next column.
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
