// Printing a real grid: its columns as they are on screen, the preview, the PDF it prints,
// and failures shown through the error guard.
#include "core/DbError.h"
#include "core/FormatSettings.h"
#include "db/RecordSet.h"
#include "db/forms/DataGrid.h"
#include "db/forms/DataSource.h"
#include "db/forms/GridModel.h"
#include "db/forms/GridReport.h"
#include "report/Report.h"
#include "report/ReportElement.h"
#include "report/UnitReport.h"
#include "tests/report/ReportFixture.h"
#include "tests/support/FakeDialogs.h"
#include "ui/ErrorGuard.h"
#include "ui/PrintPreview.h"
#include "ui/Printer.h"

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QPrinter>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

QVariantList valueRow(int i)
{
    return {u"Физика"_s, u"Понятность"_s, QStringLiteral("строка %1").arg(i + 1), i + 0.25};
}

// A window with a grid bound to every row of a table of values.
struct GridWindow
{
    explicit GridWindow(int rows)
    {
        fixture.addRows(rows, valueRow);
        records = fixture.open();
        source = new DataSource(&window);
        source->setDataSet(records.get());
        grid = new DataGrid(&window);
        grid->setDataSource(source);
        grid->resize(900, 500);
    }

    ReportFixture fixture{u"Дисциплина TEXT, Критерий TEXT, Средство TEXT, Значение REAL"_s};
    std::unique_ptr<QueryRecordSet> records;
    QWidget window;
    DataSource *source;
    DataGrid *grid;
};

// Sends the process' printer to a PDF file while it lives.
class PdfPrinter
{
public:
    PdfPrinter()
    {
        QPrinter &printer = currentPrinter();
        printer.setPageSize(QPageSize(QPageSize::A4));
        printer.setOutputFormat(QPrinter::PdfFormat);
    }
    ~PdfPrinter() { currentPrinter().setOutputFileName({}); }

    QString next()
    {
        const QString path = m_folder.filePath(QStringLiteral("отчёт%1.pdf").arg(++m_count));
        currentPrinter().setOutputFileName(path);
        return path;
    }

private:
    QTemporaryDir m_folder;
    int m_count = 0;
};

} // namespace

class TestPrintGrid : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void columnsAreTheGridsAsShown();
    void printingTwiceShowsTheRowsOfEachMoment();
    void anEditOpenInTheGridIsPrinted();
    void failuresAreShownAndNothingIsPreviewed();
    void realPreviewIsNotModalAndPrintReturnsWhenItCloses();
    void paintingErrorsInTheRealPreviewAreShown();
};

void TestPrintGrid::initTestCase()
{
    FormatSettings::instance().setRegionalLocale(QLocale(QLocale::Russian, QLocale::Russia));
}

void TestPrintGrid::columnsAreTheGridsAsShown()
{
    GridWindow window(3);
    DataGrid &grid = *window.grid;
    grid.setColumnWidth(0, 111);
    grid.setColumnWidth(3, 77);
    grid.setColumnFont(0, QFont(u"Wingdings"_s));
    grid.horizontalHeader()->moveSection(3, 0); // Значение first on screen
    grid.setColumnHidden(2, true);

    const QList<GridColumn> columns = gridColumns(grid);
    QCOMPARE(columns.size(), 3);
    QCOMPARE(columns.at(0).fieldName, u"Значение"_s);
    QCOMPARE(columns.at(0).width, 77);
    QCOMPARE(columns.at(0).alignment & Qt::AlignHorizontal_Mask, Qt::AlignRight);
    QCOMPARE(columns.at(1).fieldName, u"Дисциплина"_s);
    QCOMPARE(columns.at(1).width, 111);
    QCOMPARE(columns.at(1).alignment & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
    QCOMPARE(columns.at(1).fontName, u"Wingdings"_s);
    QCOMPARE(columns.at(2).fieldName, u"Критерий"_s);
    QCOMPARE(columns.at(2).width, grid.columnWidth(1));
}

void TestPrintGrid::printingTwiceShowsTheRowsOfEachMoment()
{
    if (pdfReaderMissing())
        QSKIP("pdftotext (poppler-utils) is not installed");
    FakeDialogs fake;
    PdfPrinter pdf;
    GridWindow window(100);
    TGridReport report(&window.window);
    report.setDBGrid(window.grid);
    report.setCaption(u"Данные по дисциплине Физика."_s);

    const QString first = pdf.next();
    report.Print();
    window.fixture.addRows(1, [](int) { return valueRow(100); });
    window.records->close();
    window.records->open();
    const QString second = pdf.next();
    report.Print();

    QCOMPARE(fake.count(FakeDialogs::Shown::Preview), 2);
    QVERIFY(fake.errors().isEmpty());
    const QStringList before = pdfPageTexts(first);
    QCOMPARE(before.size(), 2);
    for (int p = 0; p < before.size(); ++p) {
        const QString &page = before.at(p);
        QCOMPARE(page.count(u"Данные по дисциплине Физика."_s), 1);
        QVERIFY(page.contains(u"Дисциплина"_s) && page.contains(u"Значение"_s));
        QVERIFY(page.contains(QStringLiteral("стр.%1").arg(p + 1)));
    }
    QVERIFY(before.first().contains(u"0,25"_s));
    QVERIFY(before.last().contains(u"строка 100"_s));
    QVERIFY(!before.last().contains(u"строка 101"_s));
    QVERIFY(pdfPageTexts(second).last().contains(u"строка 101"_s));
}

void TestPrintGrid::anEditOpenInTheGridIsPrinted()
{
    if (pdfReaderMissing())
        QSKIP("pdftotext (poppler-utils) is not installed");
    FakeDialogs fake;
    PdfPrinter pdf;
    const QString path = pdf.next();
    GridWindow window(2);
    GridModel *model = window.source->model();
    QVERIFY(model->setData(model->index(1, 2), u"исправлено"_s));

    PrintGrid(window.grid, u"Отчёт"_s);

    QVERIFY(!model->hasPendingChanges());
    QCOMPARE(window.fixture.db.scalar(u"SELECT Средство FROM Строки WHERE rowid = 2"_s).toString(),
             u"исправлено"_s);
    QVERIFY(pdfPageTexts(path).first().contains(u"исправлено"_s));
}

void TestPrintGrid::failuresAreShownAndNothingIsPreviewed()
{
    FakeDialogs fake;
    GridWindow window(2);
    TGridReport report(&window.window);
    const auto print = [&] { guard(&window.window, [&] { report.Print(); }); };

    print(); // no grid at all
    report.setDBGrid(window.grid);
    window.records->close(); // the grid's record set can no longer be read
    print();
    DataGrid unbound(&window.window);
    report.setDBGrid(&unbound);
    print();

    QCOMPARE(fake.count(FakeDialogs::Shown::Preview), 0);
    QCOMPARE(fake.errors(), (QStringList{u"Таблица для печати не связана с набором данных."_s,
                                         u"Набор данных закрыт: операция невозможна."_s,
                                         u"Таблица для печати не связана с набором данных."_s}));
}

void TestPrintGrid::realPreviewIsNotModalAndPrintReturnsWhenItCloses()
{
    GridWindow window(300); // more than the grid has read so far
    window.window.show();
    currentPrinter().setPageOrientation(QPageLayout::Portrait);
    window.grid->setColumnWidth(0, 900); // passes the portrait width: a landscape report

    bool inspected = false;
    bool atTheEnd = false;
    int pages = 0;
    bool modal = true;
    QPageLayout::Orientation orientation = QPageLayout::Portrait;
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            auto *preview = qobject_cast<PrintPreviewDialog *>(widget);
            // The pages are laid out while the preview is open.
            if (!preview || !preview->isVisible() || !preview->document().isComplete())
                continue;
            poll.stop();
            inspected = true;
            modal = preview->isModal() || QApplication::activeModalWidget() != nullptr;
            pages = preview->document().pageCount();
            // «Последняя страница» scrolls to the end of the pages.
            for (QAction *action : preview->findChildren<QAction *>()) {
                if (action->text() == u"Последняя страница"_s)
                    action->trigger();
            }
            const QScrollBar *scroll = preview->pages()->verticalScrollBar();
            atTheEnd = scroll->maximum() > 0 && scroll->value() == scroll->maximum();
            orientation = preview->printer()->pageLayout().orientation();
            preview->close();
        }
    });
    poll.start();

    PrintGrid(window.grid, u"Отчёт"_s);

    QVERIFY(inspected);
    QVERIFY(!modal);
    QCOMPARE(orientation, QPageLayout::Landscape);
    QVERIFY2(pages >= 8, qPrintable(QString::number(pages)));
    QVERIFY(atTheEnd);
    QCOMPARE(window.source->model()->rowCount(), 300); // the grid sees the rows read for it
    // The process' printer is its own again.
    QCOMPARE(currentPrinter().pageLayout().orientation(), QPageLayout::Portrait);
}

void TestPrintGrid::paintingErrorsInTheRealPreviewAreShown()
{
    FakeDialogs fake; // records the error box; the preview itself is the real one
    QTimer::singleShot(50, [] {
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            if (qobject_cast<PrintPreviewDialog *>(widget))
                widget->close();
        }
    });
    struct FailingDocument final : PreviewDocument
    {
        void setPage(QPrinter *) override {}
        int layOutPages(int) override { return 1; }
        bool isComplete() const override { return true; }
        int pageCount() const override { return 1; }
        void paintPage(QPainter &, int) const override { throw DbError(u"Сбой при печати"_s); }
        void print(QPrinter *) override {}
    } document;
    QtDialogs real;
    real.printPreview(nullptr, &currentPrinter(), document);
    QVERIFY(!fake.errors().isEmpty());
    QCOMPARE(fake.errors().first(), u"Сбой при печати."_s);
}

QTEST_MAIN(TestPrintGrid)
#include "test_printgrid.moc"
