// Prints a grid of 10,000 values the way the value entry window does: the time until the
// preview shows its first page, the number of pages, the time to print them all to PDF, and
// the peak memory of the process.
#include "bench/BenchOptions.h"
#include "db/RecordSet.h"
#include "db/Schema.h"
#include "db/Sqlite.h"
#include "db/forms/DataGrid.h"
#include "db/forms/DataSource.h"
#include "db/forms/GridReport.h"
#include "report/Report.h"
#include "report/ReportData.h"
#include "report/ReportLayout.h"
#include "report/UnitReport.h"
#include "ui/PrintPreview.h"
#include "ui/Printer.h"

#include "db/ConnectionString.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <ctime>

namespace {

int Rows = 10000;

// Peak resident memory of the process, in megabytes.
double peakMegabytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024;
    }
    return 0;
}

void fillValues(const QString &path)
{
    SqliteDatabase db(path, SqliteDatabase::OpenMode::CreateNew);
    createTables(db);
    db.exec(QStringLiteral("BEGIN"));
    SqliteStatement insert(db, QStringLiteral("INSERT INTO Значения VALUES (?1, ?2, ?3, ?4, ?5)"));
    for (int i = 0; i < Rows; ++i) {
        insert.reset();
        insert.bind(1, QStringLiteral("Дисциплина %1").arg(i % 17));
        insert.bind(2, QStringLiteral("Критерий %1").arg(i % 5));
        // Every fifth tool name is long enough to wrap in its column.
        insert.bind(3, i % 5 == 0 ? QStringLiteral("Интерактивная доска с проектором и "
                                                   "программным обеспечением, вариант %1")
                                        .arg(i)
                                  : QStringLiteral("Средство %1").arg(i % 7));
        insert.bind(4, i * 0.5);
        insert.bind(5, QStringLiteral("05.03.2024"));
        insert.step();
    }
    db.exec(QStringLiteral("COMMIT"));
    finishTables(db);
}

// Processor time of the process so far, in milliseconds: on a busy machine the wall clock
// says more about the other processes than about this one.
qint64 cpuMilliseconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// The floor of a PDF print: the rows read through SQLite's C interface and every cell's text
// drawn where it goes with QPainter::drawText, as many rows on a page as the report has; no
// measuring, no wrapping. Milliseconds.
double pdfFloor(const QString &path, const QString &file, int rowsPerPage)
{
    QPrinter pdf(QPrinter::HighResolution);
    pdf.setOutputFormat(QPrinter::PdfFormat);
    pdf.setOutputFileName(file);
    QPainter painter(&pdf);
    QFont font(QStringLiteral("Tahoma"));
    font.setPointSize(8);
    painter.setFont(font);
    const qreal line = pdf.resolution() * 4 / 25.4; // 4 mm
    int row = 0;
    const double ms =
        bareLoop(path, QStringLiteral("SELECT * FROM Значения"), [&](sqlite3_stmt *s) {
            if (row > 0 && row % rowsPerPage == 0)
                pdf.newPage();
            const qreal y = (row % rowsPerPage + 3) * line;
            for (int column = 0; column < 5; ++column) {
                const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(s, column));
                painter.drawText(QPointF(column * 30 * line, y), QString::fromUtf8(text));
            }
            ++row;
        });
    painter.end();
    return ms;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    Rows = int(sizeOption(QStringLiteral("--rows"), Rows));
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("отчёт.mdb"));
    fillValues(path);
    currentPrinter().setPageSize(QPageSize(QPageSize::A4));
    std::printf("memory before the report: %.0f MB peak\n", peakMegabytes());

    QueryRecordSet records;
    records.setConnectionString(connectionString(path));
    records.setCommandText(QStringLiteral("SELECT * FROM Значения"));
    records.open();
    QWidget window;
    DataSource source(&window);
    source.setDataSet(&records);
    DataGrid grid(&window);
    grid.setDataSource(&source);
    window.resize(1200, 700);
    window.show();
    QApplication::processEvents();

    // The real preview: the clock stops when it has painted its first page, then it is closed.
    QElapsedTimer clock;
    qint64 firstPageShown = -1;
    qint64 firstPageCpu = -1;
    int pages = 0;
    QTimer poll;
    poll.setInterval(1);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            auto *preview = qobject_cast<PrintPreviewDialog *>(widget);
            if (!preview || !preview->isVisible())
                continue;
            preview->pages()->viewport()->grab(); // painted, as the screen shows it
            firstPageShown = clock.elapsed();
            pages = preview->document().pageCount();
            firstPageCpu = cpuMilliseconds() - firstPageCpu;
            poll.stop();
            preview->close();
        }
    });
    poll.start();
    clock.start();
    firstPageCpu = cpuMilliseconds();
    PrintGrid(&grid, QStringLiteral("Данные по дисциплине Физика."));
    std::printf("report of %d rows: first page shown after %lld ms (%lld ms of processor time), "
                "%d pages laid out by then\n",
                Rows, firstPageShown, firstPageCpu, pages);
    std::printf("memory with the preview: %.0f MB peak\n", peakMegabytes());

    // All pages into a PDF file, as printing from the preview does.
    const auto report = buildGridReport(records, gridColumns(grid), QStringLiteral("Отчёт"));
    const ReportData data = report->readData();
    QPrinter pdf(QPrinter::HighResolution);
    pdf.setOutputFormat(QPrinter::PdfFormat);
    pdf.setOutputFileName(folder.filePath(QStringLiteral("отчёт.pdf")));
    pdf.setPageLayout(report->pageLayout());
    clock.restart();
    const qint64 printCpu = cpuMilliseconds();
    report->print(&pdf, data);
    const qint64 pdfMs = clock.elapsed();
    const qint64 pdfCpu = cpuMilliseconds() - printCpu;
    const int printedPages =
        ReportLayout(*report, data, pdf.pageLayout().paintRect(QPageLayout::Millimeter).size(),
                     &pdf)
            .pageCount();
    std::printf("printed %d pages to PDF in %lld ms (%lld ms of processor time), %lld KB\n",
                printedPages, pdfMs, pdfCpu, QFileInfo(pdf.outputFileName()).size() / 1024);
    const double floorMs = pdfFloor(path, folder.filePath(QStringLiteral("floor.pdf")),
                                    (Rows + printedPages - 1) / printedPages);
    std::printf("floor: the same cells drawn into a PDF straight from SQLite in %.0f ms; "
                "the report takes %.2f× that\n",
                floorMs, double(pdfMs) / floorMs);
    std::printf("memory at the end: %.0f MB peak\n", peakMegabytes());
    const auto goal = [](const QString &what, double figure, double limit, const char *unit) {
        std::fputs(goalLine(what, figure, limit, QString::fromUtf8(unit)).constData(), stdout);
    };
    if (Rows == 10000 || Rows == 100000) {
        goal(QStringLiteral("report of %1 rows, PDF of all pages against its floor").arg(Rows),
             double(pdfMs) / floorMs, 1.2, "x");
    }
    if (Rows == 100000) {
        goal(QStringLiteral("report of 100k rows, first page in the preview after"),
             double(firstPageShown), 500, " ms");
        goal(QStringLiteral("report of 100k rows, peak memory"), peakMegabytes(), 150, " MB");
    }
    return firstPageShown >= 0 ? 0 : 1;
}
