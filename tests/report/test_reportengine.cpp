// The banded report engine: units, page, fonts, reading records, pagination and painting.
#include "core/DbError.h"
#include "core/FormatSettings.h"
#include "db/RecordSet.h"
#include "report/Report.h"
#include "report/ReportData.h"
#include "report/ReportElement.h"
#include "report/ReportLayout.h"
#include "tests/report/RecordingDevice.h"
#include "tests/report/ReportFixture.h"
#include "tests/support/FakeDialogs.h"
#include "ui/Printer.h"

#include <QPainter>
#include <QPrinter>
#include <QTest>
#include <cmath>

using namespace Qt::StringLiterals;

namespace {

// A report with one element on each of the four bands: a title, a caption, the field
// "Текст" of the records and the page number.
struct SmallReport
{
    explicit SmallReport(RecordSet *records)
    {
        report.setPaperSize(QPageSize(QPageSize::A4));
        TReportFont font;
        font.name = u"Tahoma"_s;
        font.pointSize = 8;
        report.setFont(font);
        report.setDataSet(records);
        header = report.addBand(BandType::PageHeader);
        header->setHeightMm(8);
        header->setTopLine(true);
        header->setBottomLine(true);
        title = header->add<TReportLabel>();
        title->setCaption(QStringLiteral("Заголовок"));
        title->setAutoSize(false);
        title->setWidthMm(190);
        title->setAlignment(Qt::AlignHCenter);

        columnHeader = report.addBand(BandType::ColumnHeader);
        columnHeader->setHeightMm(5);
        columnHeader->setBottomLine(true);
        columnHeader->add<TReportLabel>()->setCaption(QStringLiteral("Текст"));

        detail = report.addBand(BandType::Detail);
        detail->setHeightMm(4);
        text = detail->add<TReportDBText>();
        text->setDataSet(records);
        text->setDataField(QStringLiteral("Текст"));
        text->setAutoSize(false);
        text->setAutoStretch(true);
        text->setWidthMm(60);

        footer = report.addBand(BandType::PageFooter);
        pageNumber = footer->add<TReportSysData>();
        pageNumber->setPrefix(QStringLiteral("стр."));
    }

    TReport report;
    TReportBand *header;
    TReportLabel *title;
    TReportBand *columnHeader;
    TReportBand *detail;
    TReportDBText *text;
    TReportBand *footer;
    TReportSysData *pageNumber;
};

QVariantList numbered(int i)
{
    return {QStringLiteral("строка %1").arg(i + 1)};
}

QList<BandType> typesOf(const ReportPage &page)
{
    QList<BandType> types;
    for (const PlacedBand &placed : page.bands)
        types.append(placed.band->type());
    return types;
}

} // namespace

class TestReportEngine : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void bandsSpanThePageAndWidenWithLandscape();
    void pageStartsAsThePrintersPaperInPortrait();

    void readsEveryRecordOnce();
    void valuesPrintAsTheGridShowsThem_data();
    void valuesPrintAsTheGridShowsThem();

    void paginates_data();
    void paginates();
    void wrappedTextMakesItsLineTaller();
    void pagesLaidOutAsNeededAreThePagesOfTheWholeLayout();
    void aRecordTallerThanThePageStillMovesOn();

    void previewPrintsOnAPrinterOfItsOwnWithTheReportsPage();
    void previewShowsTheRecordsOfItsMoment();
};

void TestReportEngine::bandsSpanThePageAndWidenWithLandscape()
{
    TReport report;
    report.setPaperSize(QPageSize(QPageSize::A4));
    TReportBand *band = report.addBand(BandType::PageHeader);
    const qreal dpi = report.pixelsPerInch();

    QCOMPARE(report.orientation(), QPageLayout::Portrait);
    QCOMPARE(band->widthMm(), 190.0);
    QCOMPARE(band->widthPixels(), int(std::floor(190 * dpi / 25.4)));

    report.setOrientation(QPageLayout::Landscape);
    QCOMPARE(band->widthMm(), 277.0);
    QCOMPARE(band->widthPixels(), int(std::floor(277 * dpi / 25.4)));

    // Element positions in pixels print at the screen's resolution.
    TReportLabel *label = band->add<TReportLabel>();
    label->setLeft(100);
    label->setTopMm(1);
    QCOMPARE(label->leftMm(), 100 * 25.4 / dpi);
    QCOMPARE(label->left(), 100);
    QCOMPARE(label->top(), qRound(dpi / 25.4));
}

void TestReportEngine::pageStartsAsThePrintersPaperInPortrait()
{
    QPrinter &printer = currentPrinter();
    const QPageLayout before = printer.pageLayout();
    printer.setPageSize(QPageSize(QPageSize::Letter));
    printer.setPageOrientation(QPageLayout::Landscape);

    const TReport report;
    printer.setPageLayout(before);

    QCOMPARE(report.paperSize().id(), QPageSize::Letter);
    QCOMPARE(report.orientation(), QPageLayout::Portrait);
    QCOMPARE(report.pageLayout().margins(QPageLayout::Millimeter), QMarginsF(10, 10, 10, 10));
    QVERIFY(qAbs(report.contentWidthMm() - (215.9 - 20)) < 0.1);
}

void TestReportEngine::readsEveryRecordOnce()
{
    ReportFixture fixture(QStringLiteral("Текст TEXT"));
    fixture.addRows(3000, numbered);
    auto records = fixture.open();
    records->valueAt(10, 0); // as a grid that has shown its first rows
    SmallReport small(records.get());

    const ReportData data = small.report.readData();
    QCOMPARE(data.recordCount(), 3000);
    QCOMPARE(data.text(small.text, 0), QStringLiteral("строка 1"));
    QCOMPARE(data.text(small.text, 2999), QStringLiteral("строка 3000"));
    QCOMPARE(data.text(small.text, 3000), QString());

    // What was read stays as it was, whatever happens to the records afterwards.
    fixture.db.exec(QStringLiteral("DELETE FROM Строки"));
    records->close();
    QCOMPARE(data.text(small.text, 2999), QStringLiteral("строка 3000"));
}

void TestReportEngine::valuesPrintAsTheGridShowsThem_data()
{
    QTest::addColumn<QString>("declaredType");
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<QString>("printed");

    QTest::newRow("empty cell") << u"TEXT"_s << QVariant() << QString();
    QTest::newRow("text") << u"TEXT"_s << QVariant(u"Физика"_s) << u"Физика"_s;
    QTest::newRow("decimal comma") << u"REAL"_s << QVariant(3.5) << u"3,5"_s;
    QTest::newRow("whole real") << u"REAL"_s << QVariant(3.0) << u"3"_s;
    QTest::newRow("no grouping") << u"INTEGER"_s << QVariant(qint64(1234567)) << u"1234567"_s;
    QTest::newRow("date") << u"DATE"_s << QVariant(u"2024-03-05"_s) << u"05.03.2024"_s;
    QTest::newRow("bytes") << u""_s << QVariant(QByteArray("\x01\x02", 2))
                           << u"(двоичные данные)"_s;
}

void TestReportEngine::valuesPrintAsTheGridShowsThem()
{
    QFETCH(QString, declaredType);
    QFETCH(QVariant, stored);
    QFETCH(QString, printed);

    FormatSettings &settings = FormatSettings::instance();
    settings.setRegionalLocale(QLocale(QLocale::Russian, QLocale::Russia));
    settings.setShortDateFormat(QStringLiteral("dd.mm.yyyy"));
    settings.setDateSeparator(u'.');

    ReportFixture fixture(QStringLiteral("Текст %1").arg(declaredType));
    fixture.addRows(1, [&](int) { return QVariantList{stored}; });
    auto records = fixture.open();
    SmallReport small(records.get());
    QCOMPARE(small.report.readData().text(small.text, 0), printed);
}

void TestReportEngine::paginates_data()
{
    QTest::addColumn<int>("records");
    QTest::addColumn<int>("pages");

    // 100 mm of printable height: title 8, captions 5, footer 10 leave room for 19 lines of 4.
    QTest::newRow("no records") << 0 << 1;
    QTest::newRow("one page full") << 19 << 1;
    QTest::newRow("one more") << 20 << 2;
    QTest::newRow("three pages full") << 57 << 3;
    QTest::newRow("and one more") << 58 << 4;
}

void TestReportEngine::paginates()
{
    QFETCH(int, records);
    QFETCH(int, pages);

    ReportFixture fixture(QStringLiteral("Текст TEXT"));
    fixture.addRows(records, numbered);
    auto recordSet = fixture.open();
    SmallReport small(recordSet.get());
    const ReportData data = small.report.readData();
    const QSizeF printable(190, 100);
    RecordingDevice device(printable);
    const ReportLayout layout(small.report, data, printable, &device);

    QCOMPARE(layout.pageCount(), pages);
    int nextRecord = 0;
    for (int p = 0; p < layout.pageCount(); ++p) {
        const ReportPage &page = layout.page(p);
        const QList<BandType> types = typesOf(page);
        QCOMPARE(types.first(), BandType::PageHeader);
        QCOMPARE(types.at(1), BandType::ColumnHeader);
        QCOMPARE(types.last(), BandType::PageFooter);
        QCOMPARE(page.bands.front().topMm, 0.0);
        QCOMPARE(page.bands.at(1).topMm, 8.0);
        QCOMPARE(page.bands.back().topMm, 90.0);
        qreal top = 13;
        for (size_t b = 2; b + 1 < page.bands.size(); ++b) {
            const PlacedBand &line = page.bands.at(b);
            QCOMPARE(line.band->type(), BandType::Detail);
            QCOMPARE(line.record, nextRecord++);
            QCOMPARE(line.topMm, top);
            QCOMPARE(line.heightMm, 4.0);
            top += 4;
        }
        QVERIFY(top <= 90);
    }
    QCOMPARE(nextRecord, records);
}

void TestReportEngine::wrappedTextMakesItsLineTaller()
{
    ReportFixture fixture(QStringLiteral("Текст TEXT"));
    fixture.addRows(3, [](int i) {
        return QVariantList{i == 1 ? QStringLiteral("длинный текст, который не помещается в одну "
                                                    "строку узкой колонки и переносится")
                                   : QStringLiteral("коротко")};
    });
    auto records = fixture.open();
    SmallReport small(records.get());
    small.text->setWidthMm(20);
    small.text->setTop(1);
    const ReportData data = small.report.readData();
    const QSizeF printable(190, 277);
    RecordingDevice device(printable);

    const ReportLayout layout(small.report, data, printable, &device);
    const PlacedBand &shortLine = layout.page(0).bands.at(2);
    const PlacedBand &longLine = layout.page(0).bands.at(3);
    const PlacedBand &after = layout.page(0).bands.at(4);
    QCOMPARE(shortLine.heightMm, 4.0);
    QVERIFY2(longLine.heightMm > 12, qPrintable(QString::number(longLine.heightMm)));
    QCOMPARE(after.topMm, longLine.topMm + longLine.heightMm);

    // Painted as measured: several lines, none wider than the column, all inside the line.
    QPainter painter(&device);
    layout.paintPage(painter, 0);
    painter.end();
    const qreal mm = device.pixelsPerMm();
    int wrappedLines = 0;
    for (const RecordingDevice::Text &run : device.texts()) {
        const qreal y = run.baseline.y() / mm;
        if (y <= longLine.topMm || y > longLine.topMm + longLine.heightMm)
            continue;
        ++wrappedLines;
        QVERIFY(run.width <= 20 * mm + 0.5);
    }
    QVERIFY2(wrappedLines >= 3, qPrintable(QString::number(wrappedLines)));

    // Without stretching the line keeps its height and its text stays on one line.
    small.text->setAutoStretch(false);
    const ReportLayout unstretched(small.report, data, printable, &device);
    QCOMPARE(unstretched.page(0).bands.at(3).heightMm, 4.0);
}

void TestReportEngine::pagesLaidOutAsNeededAreThePagesOfTheWholeLayout()
{
    // Lines of one, two and three wrapped lines, so pages break after differing records.
    ReportFixture fixture(QStringLiteral("Текст TEXT"));
    fixture.addRows(700, [](int i) {
        return QVariantList{QStringLiteral("запись %1 ").arg(i).repeated(1 + i % 3 * 2)};
    });
    auto records = fixture.open();
    SmallReport small(records.get());
    small.text->setWidthMm(25);
    const ReportData data = small.report.readData();
    const QSizeF printable(190, 100);
    RecordingDevice device(printable);

    const ReportLayout whole(small.report, data, printable, &device);
    ReportLayout asNeeded(small.report, data, printable, &device,
                          ReportLayout::Pagination::AsNeeded);
    QCOMPARE(asNeeded.pageCount(), 0);
    QCOMPARE(asNeeded.layOutPages(1), 1);
    QVERIFY(!asNeeded.isComplete());
    while (!asNeeded.isComplete())
        asNeeded.layOutPages(asNeeded.pageCount() + 2);
    QVERIFY2(whole.pageCount() > 40, qPrintable(QString::number(whole.pageCount())));
    QCOMPARE(asNeeded.pageCount(), whole.pageCount());
    QCOMPARE(asNeeded.layOutPages(whole.pageCount() + 5), whole.pageCount());

    const auto painted = [&device](const ReportLayout &layout, int page) {
        device.clear();
        QPainter painter(&device);
        layout.paintPage(painter, page);
        painter.end();
        QStringList texts;
        for (const RecordingDevice::Text &run : device.texts())
            texts.append(QStringLiteral("%1@%2,%3")
                             .arg(run.text)
                             .arg(run.baseline.x())
                             .arg(run.baseline.y()));
        return texts;
    };
    for (const int page : {0, whole.pageCount() / 2, whole.pageCount() - 1}) {
        const auto &expected = whole.page(page).bands;
        const auto &actual = asNeeded.page(page).bands;
        QCOMPARE(actual.size(), expected.size());
        for (size_t b = 0; b < expected.size(); ++b) {
            QCOMPARE(actual[b].band, expected[b].band);
            QCOMPARE(actual[b].record, expected[b].record);
            QCOMPARE(actual[b].topMm, expected[b].topMm);
            QCOMPARE(actual[b].heightMm, expected[b].heightMm);
        }
        const QStringList texts = painted(whole, page);
        QVERIFY(std::any_of(texts.begin(), texts.end(), [page](const QString &text) {
            return text.startsWith(QStringLiteral("стр.%1@").arg(page + 1));
        }));
        QCOMPARE(painted(asNeeded, page), texts);
    }
}

void TestReportEngine::aRecordTallerThanThePageStillMovesOn()
{
    ReportFixture fixture(QStringLiteral("Текст TEXT"));
    fixture.addRows(3, [](int) { return QVariantList{QStringLiteral("слово ").repeated(400)}; });
    auto records = fixture.open();
    SmallReport small(records.get());
    small.text->setWidthMm(10);
    const ReportData data = small.report.readData();
    const QSizeF printable(190, 60);
    RecordingDevice device(printable);

    const ReportLayout layout(small.report, data, printable, &device);
    QCOMPARE(layout.pageCount(), 3);
    for (int p = 0; p < 3; ++p)
        QCOMPARE(layout.page(p).bands.at(2).record, p);
}

void TestReportEngine::previewPrintsOnAPrinterOfItsOwnWithTheReportsPage()
{
    FakeDialogs fake;
    QPrinter &printer = currentPrinter();
    printer.setPageSize(QPageSize(QPageSize::A5));
    printer.setPageOrientation(QPageLayout::Portrait);
    printer.setDocName(QStringLiteral("прежний"));

    TReport report;
    report.setPaperSize(QPageSize(QPageSize::A4));
    report.setOrientation(QPageLayout::Landscape);
    report.setTitle(QStringLiteral("Отчёт"));
    report.addBand(BandType::PageHeader)->add<TReportLabel>()->setCaption(u"Отчёт"_s);

    QPageLayout during;
    QString jobName;
    fake.onPreview = [&](QPrinter *target) {
        QVERIFY(target != &printer);
        during = target->pageLayout();
        jobName = target->docName();
    };
    report.preview(nullptr);

    QCOMPARE(fake.count(FakeDialogs::Shown::Preview), 1);
    QCOMPARE(during.orientation(), QPageLayout::Landscape);
    QCOMPARE(during.pageSize().id(), QPageSize::A4);
    QCOMPARE(during.margins(QPageLayout::Millimeter), QMarginsF(10, 10, 10, 10));
    QCOMPARE(jobName, QStringLiteral("Отчёт"));
    QCOMPARE(printer.pageLayout().orientation(), QPageLayout::Portrait);
    QCOMPARE(printer.pageLayout().pageSize().id(), QPageSize::A5);
    QCOMPARE(printer.docName(), QStringLiteral("прежний"));
}

void TestReportEngine::previewShowsTheRecordsOfItsMoment()
{
    if (pdfReaderMissing())
        QSKIP("pdftotext (poppler-utils) is not installed");
    ReportFixture fixture(QStringLiteral("Текст TEXT"));
    fixture.addRows(5, numbered);
    auto records = fixture.open();
    SmallReport small(records.get());
    QTemporaryDir folder;
    const QString before = folder.filePath(QStringLiteral("до.pdf"));
    const QString after = folder.filePath(QStringLiteral("после.pdf"));

    // The preview paints again (page set-up, printing) after the records changed meanwhile.
    PaintingDialogs dialogs;
    dialogs.onPreview = [&](const PaintingDialogs::Paint &paint) {
        paintToPdf(paint, before);
        fixture.db.exec(QStringLiteral("DELETE FROM Строки"));
        records->close();
        records->open();
        paintToPdf(paint, after);
    };
    small.report.preview(nullptr);

    QCOMPARE(dialogs.previews, 1);
    const QStringList pages = pdfPageTexts(before);
    QCOMPARE(pages.size(), 1);
    QVERIFY(pages.first().contains(QStringLiteral("строка 5")));
    QCOMPARE(pdfPageTexts(after), pages);
}

QTEST_MAIN(TestReportEngine)
#include "test_reportengine.moc"
