// The report of a grid's columns: which columns go where, the page's orientation, the bands,
// and what the pages show.
#include "core/DbError.h"
#include "core/FormatSettings.h"
#include "db/FieldInfo.h"
#include "db/RecordSet.h"
#include "report/Report.h"
#include "report/ReportData.h"
#include "report/ReportElement.h"
#include "report/ReportLayout.h"
#include "report/UnitReport.h"
#include "tests/report/RecordingDevice.h"
#include "tests/report/ReportFixture.h"
#include "ui/Printer.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPrinter>
#include <QTest>
#include <cmath>

using namespace Qt::StringLiterals;

namespace {

const QString Columns = QStringLiteral(
    "Т1 TEXT, Т2 TEXT, Т3 TEXT, Число REAL, Заметка MEMO, Длинный LONGTEXT, Снимок BLOB");

const QColor Maroon(128, 0, 0);
const QColor Blue(0, 0, 255);

int portraitPixels()
{
    return int(std::floor(190 * screenPixelsPerInch() / 25.4));
}

int landscapePixels()
{
    return int(std::floor(277 * screenPixelsPerInch() / 25.4));
}

QList<GridColumn> columnsOf(const QStringList &fields, const QList<int> &widths)
{
    QList<GridColumn> columns;
    for (int i = 0; i < fields.size(); ++i)
        columns.append({fields.at(i), widths.at(i), Qt::AlignLeft, QStringLiteral("Sans")});
    return columns;
}

template <typename Element> QList<const Element *> elementsOn(const TReport &report, BandType type)
{
    QList<const Element *> found;
    for (const auto &band : report.bands()) {
        if (band->type() != type)
            continue;
        for (const auto &element : band->elements()) {
            if (const auto *typed = dynamic_cast<const Element *>(element.get()))
                found.append(typed);
        }
    }
    return found;
}

struct PaintedPage
{
    QList<RecordingDevice::Text> texts;
    QList<QLineF> lines;
};

// Paints every page of the report on A4 (in the report's orientation): what each page showed.
QList<PaintedPage> paintedPages(const TReport &report, qreal *pixelsPerMm = nullptr)
{
    const ReportData data = report.readData();
    const QSizeF printable = report.pageLayout().paintRect(QPageLayout::Millimeter).size();
    RecordingDevice device(printable);
    const ReportLayout layout(report, data, printable, &device);
    QList<PaintedPage> pages;
    for (int p = 0; p < layout.pageCount(); ++p) {
        device.clear();
        QPainter painter(&device);
        layout.paintPage(painter, p);
        painter.end();
        pages.append({device.texts(), device.lines()});
    }
    if (pixelsPerMm)
        *pixelsPerMm = device.pixelsPerMm();
    return pages;
}

QStringList stringsOf(const QList<RecordingDevice::Text> &texts)
{
    QStringList strings;
    for (const RecordingDevice::Text &text : texts)
        strings.append(text.text);
    return strings;
}

} // namespace

class TestGridReport : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();

    void columns_data();
    void columns();
    void wideReportsBreakNoNumberNorWord_data();
    void wideReportsBreakNoNumberNorWord();
    void symbolFontsKeepTheirFace_data();
    void symbolFontsKeepTheirFace();
    void titleAndPageNumberSpanALandscapePage();
    void aMissingFieldFails();

    void twoPagesShowTitleCaptionsAndPageNumbers();
    void anEmptyRecordSetShowsTitleCaptionsAndPageNumber();
    void withoutPrintableColumnsOnlyTitleAndPageNumber();
};

void TestGridReport::initTestCase()
{
    currentPrinter().setPageSize(QPageSize(QPageSize::A4));
    FormatSettings::instance().setRegionalLocale(QLocale(QLocale::Russian, QLocale::Russia));
}

void TestGridReport::columns_data()
{
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<QList<int>>("widths");
    QTest::addColumn<QStringList>("placed");
    QTest::addColumn<QList<int>>("lefts");
    QTest::addColumn<bool>("landscape");
    QTest::addColumn<QList<int>>("narrowed"); // printed widths, where they are not the grid's

    const int portrait = portraitPixels();
    const int landscape = landscapePixels();
    const QStringList three{u"Т1"_s, u"Т2"_s, u"Т3"_s};

    QTest::newRow("all fit in portrait")
        << three << QList{100, 200, 300} << three << QList{1, 104, 307} << false << QList<int>{};
    QTest::newRow("up to the portrait width")
        << QStringList{u"Т1"_s} << QList{portrait - 1} << QStringList{u"Т1"_s} << QList{1} << false
        << QList<int>{};
    QTest::newRow("one pixel more turns the page")
        << QStringList{u"Т1"_s} << QList{portrait} << QStringList{u"Т1"_s} << QList{1} << true
        << QList<int>{};
    QTest::newRow("turned before the column is placed")
        << three << QList{300, 300, portrait - 600} << three << QList{1, 304, 607} << true
        << QList<int>{};
    // Too wide even for landscape: the widest text gives way until the line ends at the edge.
    QTest::newRow("a text column too wide for landscape is narrowed")
        << three << QList{300, landscape, 50} << three << QList{1, 304, landscape - 50} << true
        << QList{300, landscape - 357, 50};
    QTest::newRow("the columns after it keep their width")
        << three << QList{100, landscape - 100, 10} << three << QList{1, 104, landscape - 10}
        << true << QList{100, landscape - 117, 10};
    // A number needs no more room than its longest value: it gives up the rest first.
    QTest::newRow("a number column gives up its spare room before any text")
        << QStringList{u"Т1"_s, u"Число"_s} << QList{100, 2 * landscape}
        << QStringList{u"Т1"_s, u"Число"_s} << QList{1, 104} << true << QList{100, landscape - 104};
    QTest::newRow("width 0, long text and binary take no room")
        << QStringList{u"Т1"_s, u"Заметка"_s, u"Т2"_s, u"Снимок"_s, u"Длинный"_s, u"Число"_s}
        << QList{100, 200, 0, 150, 90, 50} << QStringList{u"Т1"_s, u"Число"_s} << QList{1, 104}
        << false << QList<int>{};
}

void TestGridReport::columns()
{
    QFETCH(QStringList, fields);
    QFETCH(QList<int>, widths);
    QFETCH(QStringList, placed);
    QFETCH(QList<int>, lefts);
    QFETCH(bool, landscape);
    QFETCH(QList<int>, narrowed);

    ReportFixture fixture(Columns);
    auto records = fixture.open();
    const auto report = buildGridReport(*records, columnsOf(fields, widths), u"Т"_s);

    QCOMPARE(report->orientation(), landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
    const auto texts = elementsOn<TReportDBText>(*report, BandType::Detail);
    const auto captions = elementsOn<TReportLabel>(*report, BandType::ColumnHeader);
    QCOMPARE(texts.size(), placed.size());
    QCOMPARE(captions.size(), placed.size());
    for (int i = 0; i < placed.size(); ++i) {
        const int width =
            narrowed.isEmpty() ? widths.at(fields.indexOf(placed.at(i))) : narrowed.at(i);
        QCOMPARE(texts.at(i)->dataField(), placed.at(i));
        QCOMPARE(texts.at(i)->left(), lefts.at(i));
        QCOMPARE(texts.at(i)->width(), width);
        QCOMPARE(captions.at(i)->caption(), placed.at(i));
        QCOMPARE(captions.at(i)->left(), lefts.at(i));
        QCOMPARE(captions.at(i)->width(), width);
        QCOMPARE(texts.at(i)->top(), 1);
        QCOMPARE(captions.at(i)->top(), 1);
        QVERIFY(texts.at(i)->autoStretch() && !texts.at(i)->autoSize());
        QCOMPARE(texts.at(i)->dataSet(), records.get());
    }
}

void TestGridReport::wideReportsBreakNoNumberNorWord_data()
{
    QTest::addColumn<int>("textColumns");
    QTest::addColumn<bool>("leavesOut");
    QTest::newRow("fifteen columns fit, narrowed") << 12 << false;
    QTest::newRow("too many: the last ones are left out, and named") << 40 << true;
}

void TestGridReport::wideReportsBreakNoNumberNorWord()
{
    QFETCH(int, textColumns);
    QFETCH(bool, leavesOut);
    // A date kept as text, a number, a code, and many text columns of a few words each.
    QStringList declared{u"Дата TEXT"_s, u"Значение REAL"_s, u"Код TEXT"_s};
    QStringList fields{u"Дата"_s, u"Значение"_s, u"Код"_s};
    for (int i = 1; i <= textColumns; ++i) {
        declared.append(u"Текст%1 TEXT"_s.arg(i));
        fields.append(u"Текст%1"_s.arg(i));
    }
    ReportFixture fixture(declared.join(u", "_s));
    fixture.addRows(30, [&](int row) {
        QVariantList values{u"%1.03.2024"_s.arg(row % 28 + 1, 2, 10, QLatin1Char('0')),
                            123456.25 * (row + 1), u"47-11-%1"_s.arg(row)};
        for (int i = 0; i < textColumns; ++i)
            values.append(u"подробное описание занятия %1"_s.arg(row));
        return values;
    });
    auto records = fixture.open();
    QList<int> widths(fields.size(), 150);
    const auto report = buildGridReport(*records, columnsOf(fields, widths), u"Т"_s);

    QCOMPARE(report->orientation(), QPageLayout::Landscape);
    const auto texts = elementsOn<TReportDBText>(*report, BandType::Detail);
    QCOMPARE(texts.size() < fields.size(), leavesOut);
    const QFontMetricsF metrics(report->font().toQFont());
    for (const TReportDBText *text : texts) {
        // The widest value of a number or date column, and the longest word of a text column.
        const QString field = text->dataField();
        const QString widest = field == u"Дата"_s ? u"28.03.2024"_s
                               : field == u"Значение"_s
                                   ? cellText(123456.25 * 30, records->fields().at(1))
                               : field == u"Код"_s ? u"47-11-29"_s
                                                   : u"подробное"_s;
        QVERIFY2(text->width() >= metrics.horizontalAdvance(widest),
                 qPrintable(u"%1: %2"_s.arg(field).arg(text->width())));
    }
    // What does not fit is named in the preview, the rest of the line ends on the page.
    const QStringList leftOut = fields.mid(texts.size());
    if (leavesOut)
        QVERIFY2(report->notice().contains(leftOut.join(u", "_s)), qPrintable(report->notice()));
    else
        QCOMPARE(report->notice(), QString());
    QVERIFY(texts.constLast()->left() + texts.constLast()->width() <= landscapePixels());
    if (leftOut.isEmpty())
        QCOMPARE(report->notice(), QString());
    else
        QVERIFY2(report->notice().contains(leftOut.join(u", "_s)), qPrintable(report->notice()));
}

void TestGridReport::symbolFontsKeepTheirFace_data()
{
    QTest::addColumn<QString>("columnFont");
    QTest::addColumn<QString>("printedFont");
    QTest::addColumn<int>("charset");

    QTest::newRow("Wingdings") << u"Wingdings"_s << u"Wingdings"_s << ReportCharset::Symbol;
    QTest::newRow("Symbol") << u"Symbol"_s << u"Symbol"_s << ReportCharset::Symbol;
    QTest::newRow("case matters") << u"wingdings"_s << u"Tahoma"_s << ReportCharset::Cyrillic;
    QTest::newRow("any other face") << u"Arial"_s << u"Tahoma"_s << ReportCharset::Cyrillic;
}

void TestGridReport::symbolFontsKeepTheirFace()
{
    QFETCH(QString, columnFont);
    QFETCH(QString, printedFont);
    QFETCH(int, charset);

    ReportFixture fixture(Columns);
    auto records = fixture.open();
    const auto report =
        buildGridReport(*records, {{u"Т1"_s, 100, Qt::AlignLeft, columnFont}}, u"Т"_s);
    const TReportDBText *text = elementsOn<TReportDBText>(*report, BandType::Detail).first();
    QCOMPARE(text->font().name, printedFont);
    QCOMPARE(text->font().charset, charset);
    QCOMPARE(text->font().pointSize, 8.0);
    // The caption stays in the report's face.
    const TReportLabel *caption = elementsOn<TReportLabel>(*report, BandType::ColumnHeader).first();
    QCOMPARE(caption->font().name, u"Tahoma"_s);
}

void TestGridReport::titleAndPageNumberSpanALandscapePage()
{
    ReportFixture fixture(Columns);
    fixture.addRows(1, [](int) { return QVariantList{u"т"_s, {}, {}, 1, {}, {}, {}}; });
    auto records = fixture.open();
    const auto report = buildGridReport(*records, {{u"Т1"_s, portraitPixels(), Qt::AlignLeft, {}}},
                                        u"Данные по дисциплине Физика."_s);
    QCOMPARE(report->orientation(), QPageLayout::Landscape);
    QCOMPARE(report->title(), u"Данные по дисциплине Физика."_s);

    qreal mm = 0;
    const auto pages = paintedPages(*report, &mm);
    QCOMPARE(pages.size(), 1);
    const auto &texts = pages.first().texts;
    const qreal centre = landscapePixels() * 25.4 / screenPixelsPerInch() / 2 * mm;
    QCOMPARE(texts.first().text, report->title());
    QCOMPARE(texts.first().font.pointSizeF(), 14.0);
    QVERIFY(qAbs(texts.first().centreX() - centre) < 1);
    QCOMPARE(texts.last().text, u"стр.1"_s);
    QVERIFY(qAbs(texts.last().centreX() - centre) < 1);
    QVERIFY(texts.last().baseline.y() > (190 - TReportBand::DefaultHeightMm) * mm);
    QCOMPARE(texts.at(2).font.pointSizeF(), 8.0); // the detail line, in the report's font
}

void TestGridReport::aMissingFieldFails()
{
    ReportFixture fixture(Columns);
    auto records = fixture.open();
    // A column of width 0 is skipped before its field is looked for.
    QVERIFY(buildGridReport(*records, columnsOf({u"Нет"_s, u"Т1"_s}, {0, 50}), u"Т"_s));
    try {
        buildGridReport(*records, columnsOf({u"Т1"_s, u"Нет"_s}, {50, 50}), u"Т"_s);
        QFAIL("a column without a field was laid out");
    } catch (const DbError &error) {
        QCOMPARE(error.message(), u"Поле «Нет» не найдено"_s);
    }
}

void TestGridReport::twoPagesShowTitleCaptionsAndPageNumbers()
{
    ReportFixture fixture(Columns);
    fixture.addRows(100, [](int i) {
        return QVariantList{QStringLiteral("строка %1").arg(i + 1), {}, {}, i + 0.5, {}, {}, {}};
    });
    auto records = fixture.open();
    const QList<GridColumn> columns{{u"Т1"_s, 200, Qt::AlignLeft, {}},
                                    {u"Число"_s, 100, Qt::AlignRight, {}}};
    const auto report = buildGridReport(*records, columns, u"Итоги"_s);
    qreal mm = 0;
    const auto pages = paintedPages(*report, &mm);
    const qreal px = 25.4 / report->pixelsPerInch(); // mm per report pixel

    QCOMPARE(pages.size(), 2);
    for (int p = 0; p < pages.size(); ++p) {
        const auto &texts = pages.at(p).texts;
        const RecordingDevice::Text &title = texts.first();
        QCOMPARE(title.text, u"Итоги"_s);
        QCOMPARE(title.colour, Blue);
        QVERIFY(title.font.bold());
        QVERIFY(qAbs(title.centreX() - 95 * mm) < 1);
        QCOMPARE(stringsOf(texts).count(u"Итоги"_s), 1);

        // Captions centred over their columns, bold maroon, whatever the column's alignment.
        const RecordingDevice::Text &first = texts.at(1);
        const RecordingDevice::Text &second = texts.at(2);
        QCOMPARE(first.text, u"Т1"_s);
        QCOMPARE(second.text, u"Число"_s);
        for (const auto *caption : {&first, &second}) {
            QCOMPARE(caption->colour, Maroon);
            QVERIFY(caption->font.bold());
        }
        QVERIFY(qAbs(first.centreX() - (1 + 100) * px * mm) < 1);
        QVERIFY(qAbs(second.centreX() - (204 + 50) * px * mm) < 1);

        const RecordingDevice::Text &number = texts.last();
        QCOMPARE(number.text, QStringLiteral("стр.%1").arg(p + 1));
        QVERIFY(qAbs(number.centreX() - 95 * mm) < 1);
        QCOMPARE(number.colour, QColor(Qt::black));

        // Lines across the page above and below the title, and below the captions.
        QList<qreal> heights;
        for (const QLineF &line : pages.at(p).lines) {
            QCOMPARE(line.x1(), 0.0);
            QVERIFY(qAbs(line.x2() - 190 * mm) < 0.5);
            heights.append(std::round(line.y1() / mm * 100) / 100);
        }
        QCOMPARE(heights, (QList<qreal>{0, 8, 13}));
    }
    // Numbers hang right in their column, texts left.
    const auto &firstPage = pages.first().texts;
    const int row = int(stringsOf(firstPage).indexOf(u"строка 1"_s));
    QVERIFY(row > 0);
    QVERIFY(qAbs(firstPage.at(row).baseline.x() - 1 * px * mm) < 1);
    QCOMPARE(firstPage.at(row + 1).text, u"0,5"_s);
    // A gap of 4 pixels kept free at the right of a number.
    QVERIFY(qAbs(firstPage.at(row + 1).right() - 300 * px * mm) < 1);
    QVERIFY(stringsOf(pages.last().texts).contains(u"строка 100"_s));
}

void TestGridReport::anEmptyRecordSetShowsTitleCaptionsAndPageNumber()
{
    ReportFixture fixture(Columns);
    auto records = fixture.open();
    const auto report =
        buildGridReport(*records, columnsOf({u"Т1"_s, u"Т2"_s}, {100, 100}), u"Пусто"_s);
    const auto pages = paintedPages(*report);
    QCOMPARE(pages.size(), 1);
    QCOMPARE(stringsOf(pages.first().texts),
             (QStringList{u"Пусто"_s, u"Т1"_s, u"Т2"_s, u"стр.1"_s}));
}

void TestGridReport::withoutPrintableColumnsOnlyTitleAndPageNumber()
{
    ReportFixture fixture(Columns);
    fixture.addRows(200, [](int) { return QVariantList{u"т"_s, {}, {}, 1, {}, {}, {}}; });
    auto records = fixture.open();
    const auto report = buildGridReport(
        *records, columnsOf({u"Заметка"_s, u"Т1"_s, u"Снимок"_s}, {100, 0, 100}), u"Ничего"_s);

    const auto pages = paintedPages(*report);
    QCOMPARE(pages.size(), 1);
    QCOMPARE(stringsOf(pages.first().texts), (QStringList{u"Ничего"_s, u"стр.1"_s}));
    QCOMPARE(pages.first().lines.size(), 2); // above and below the title only
}

QTEST_MAIN(TestGridReport)
#include "test_gridreport.moc"
