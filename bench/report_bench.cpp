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
#include "report/UnitReport.h"
#include "ui/Printer.h"

#include "db/ConnectionString.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
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
    Schema::create(db);
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
}

// Processor time of the process so far, in milliseconds: on a busy machine the wall clock
// says more about the other processes than about this one.
qint64 cpuMilliseconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
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

    // The real preview: the clock stops when it has painted its pages, then it is closed.
    QElapsedTimer clock;
    qint64 firstPageShown = -1;
    qint64 firstPageCpu = -1;
    int pages = 0;
    QTimer poll;
    poll.setInterval(1);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            auto *preview = qobject_cast<QPrintPreviewDialog *>(widget);
            if (!preview || !preview->isVisible())
                continue;
            pages = preview->findChild<QPrintPreviewWidget *>()->pageCount();
            if (pages == 0)
                continue;
            firstPageShown = clock.elapsed();
            firstPageCpu = cpuMilliseconds() - firstPageCpu;
            poll.stop();
            preview->close();
        }
    });
    poll.start();
    clock.start();
    firstPageCpu = cpuMilliseconds();
    PrintGrid(&grid, QStringLiteral("Данные по дисциплине Физика."));
    std::printf("report of %d rows: %d pages, first page shown after %lld ms (%lld ms of "
                "processor time)\n",
                Rows, pages, firstPageShown, firstPageCpu);
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
    std::printf("printed to PDF in %lld ms (%lld ms of processor time), %lld KB\n", pdfMs,
                cpuMilliseconds() - printCpu, QFileInfo(pdf.outputFileName()).size() / 1024);
    std::printf("memory at the end: %.0f MB peak\n", peakMegabytes());
    if (Rows == 100000) {
        const auto goal = [](const char *what, double figure, double limit, const char *unit) {
            std::fputs(goalLine(QString::fromUtf8(what), figure, limit, QString::fromUtf8(unit))
                           .constData(),
                       stdout);
        };
        goal("report of 100k rows, first page in the preview after", double(firstPageShown), 1000,
             " ms");
        goal("report of 100k rows, peak memory", peakMegabytes(), 150, " MB");
        goal("report of 100k rows, PDF of all pages in", double(pdfMs), 3000, " ms");
    }
    return firstPageShown >= 0 ? 0 : 1;
}
