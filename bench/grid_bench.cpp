// Opening a grid on a table of a million values: the time until its row count and first
// hundred rows can be read, and the memory that costs. Prints the figures; asserts nothing.

#include "bench/BenchOptions.h"
#include "db/ConnectionString.h"
#include "db/RecordSet.h"
#include "db/Schema.h"
#include "db/Sqlite.h"
#include "db/forms/DataGrid.h"
#include "db/forms/DataSource.h"
#include "db/forms/GridModel.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>

namespace {

int TotalRows = 1'000'000;
constexpr int RowsRead = 100;

// The resident set of this process, in kilobytes.
long residentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return -1;
}

void fill(const QString &path)
{
    SqliteDatabase db(path, SqliteDatabase::OpenMode::CreateNew);
    Schema::create(db);
    db.exec(QStringLiteral("BEGIN"));
    {
        SqliteStatement values(db,
                               QStringLiteral("INSERT INTO Значения VALUES (?1, ?2, ?3, ?4, ?5)"));
        for (int i = 0; i < TotalRows; ++i) {
            values.reset();
            values.bind(1, QStringLiteral("Дисциплина номер %1").arg(i % 16));
            values.bind(2, QStringLiteral("Критерий %1").arg(i % 10));
            values.bind(3, QStringLiteral("Проектор"));
            values.bind(4, double(i % 97) / 4.0);
            values.bind(5, QStringLiteral("01.09.2024"));
            values.step();
        }
    }
    db.exec(QStringLiteral("COMMIT"));
}

// Reads every cell of the first rows as a grid does to paint them.
qsizetype readFirstRows(const GridModel &model)
{
    qsizetype characters = 0;
    for (int row = 0; row < RowsRead && row < model.rowCount(); ++row) {
        for (int column = 0; column < model.columnCount(); ++column)
            characters += model.data(model.index(row, column)).toString().size();
    }
    return characters;
}

double ms(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    TotalRows = int(sizeOption(QStringLiteral("--rows"), TotalRows));

    QTemporaryDir dir;
    const QString path = QDir(dir.path()).filePath(QStringLiteral("grid.mdb"));
    QElapsedTimer timer;
    timer.start();
    fill(path);
    std::printf("made %d rows of Значения in %.0f ms\n", TotalRows, ms(timer));

    const long before = residentKb();
    timer.restart();
    TableRecordSet records;
    records.setConnectionString(connectionString(path));
    records.setTableName(Schema::Values);
    records.open();
    GridModel model;
    model.setRecordSet(&records);
    const int rows = model.rowCount();
    const qsizetype characters = readFirstRows(model);
    const double openMs = ms(timer);
    const long after = residentKb();
    std::printf("grid model opened: row count %d (more to fetch: %s), first %d rows read "
                "(%lld characters) in %.1f ms (target < 100 ms)\n",
                rows, model.canFetchMore() ? "yes" : "no", RowsRead,
                static_cast<long long>(characters), openMs);
    std::printf("memory added: %.1f MB (VmRSS %ld -> %ld kB; target < 50 MB)\n",
                double(after - before) / 1024.0, before, after);
    if (TotalRows == 5'000'000) {
        std::fputs(goalLine(QStringLiteral("grid of 5M rows opened in"), openMs, 100,
                            QStringLiteral(" ms"))
                       .constData(),
                   stdout);
        std::fputs(goalLine(QStringLiteral("grid of 5M rows opened with memory added"),
                            double(after - before) / 1024.0, 50, QStringLiteral(" MB"))
                       .constData(),
                   stdout);
    }

    // The same through a grid on screen, painted once.
    timer.restart();
    DataSource source;
    source.setDataSet(&records);
    DataGrid grid;
    grid.setDataSource(&source);
    grid.resize(1000, 700);
    grid.show();
    QApplication::processEvents();
    const QPixmap painted = grid.grab();
    std::printf("data grid shown and painted (%dx%d) in %.1f ms\n", painted.width(),
                painted.height(), ms(timer));

    // Scrolling far down reads rows in batches as the view reaches the end.
    timer.restart();
    for (int i = 0; i < 100 && model.canFetchMore(); ++i)
        model.fetchMore();
    std::printf("%d rows read in batches of %d in %.1f ms; memory now %.1f MB above the start\n",
                model.rowCount(), GridModel::FetchBatch, ms(timer),
                double(residentKb() - before) / 1024.0);

    timer.restart();
    const qint64 counted = records.recordCount();
    std::printf("exact record count %lld in %.1f ms (not needed to open the grid)\n",
                static_cast<long long>(counted), ms(timer));

    // The navigator's «last» (and Ctrl+End): the last row shown and current.
    timer.restart();
    grid.showLastRow();
    QApplication::processEvents();
    const double lastMs = ms(timer);
    const double lastMb = double(residentKb() - before) / 1024.0;
    const double floorMs =
        bareLoop(path, QStringLiteral("SELECT rowid, * FROM Значения"), [](sqlite3_stmt *) {});
    std::printf("last row (%d) shown in %.0f ms, memory then %.0f MB above the start; "
                "floor: every row stepped through by SQLite in %.0f ms\n",
                grid.currentIndex().row() + 1, lastMs, lastMb, floorMs);
    if (TotalRows == 5'000'000) {
        std::fputs(goalLine(QStringLiteral("grid of 5M rows, last row shown in"), lastMs, 500,
                            QStringLiteral(" ms"))
                       .constData(),
                   stdout);
        std::fputs(goalLine(QStringLiteral("grid of 5M rows, last row shown with memory added"),
                            lastMb, 200, QStringLiteral(" MB"))
                       .constData(),
                   stdout);
    }
    return 0;
}
