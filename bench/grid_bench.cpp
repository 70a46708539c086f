// A grid over a large table of values, as the value entry window shows it after «Добавить»:
// how long it takes to open, to show the last row, to jump to the middle, and what memory
// that costs and scrolling through every row keeps. Each figure is printed next to the bare
// SQLite loop that reads the same rows. Prints the figures; asserts nothing.

#include "bench/BenchOptions.h"
#include "db/ConnectionString.h"
#include "db/RecordSet.h"
#include "db/RowStore.h"
#include "db/forms/DataGrid.h"
#include "db/forms/DataSource.h"
#include "db/forms/GridModel.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>

namespace {

int TotalRows = 1'000'000;
constexpr int RowsShown = 40;

void fill(const QString &path)
{
    SqliteDatabase db(path, SqliteDatabase::OpenMode::CreateNew);
    createTables(db);
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
    finishTables(db);
}

// Reads every cell of the rows a grid shows from `first` on, as it does to paint them.
qsizetype readRows(const GridModel &model, int first)
{
    qsizetype characters = 0;
    for (int row = first; row < first + RowsShown && row < model.rowCount(); ++row) {
        for (int column = 0; column < model.columnCount(); ++column)
            characters += model.data(model.index(row, column)).toString().size();
    }
    return characters;
}

double ms(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

double mb(long fromKb, long toKb)
{
    return double(toKb - fromKb) / 1024.0;
}

void goal(const QString &what, double figure, double limit, const QString &unit)
{
    std::fputs(goalLine(QStringLiteral("grid of %1 rows: %2").arg(TotalRows).arg(what), figure,
                        limit, unit)
                   .constData(),
               stdout);
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    TotalRows = int(sizeOption(QStringLiteral("--rows"), TotalRows));
    const bool large = TotalRows >= 5'000'000;

    QTemporaryDir dir;
    const QString path = QDir(dir.path()).filePath(QStringLiteral("grid.mdb"));
    QElapsedTimer timer;
    timer.start();
    fill(path);
    std::printf("made %d rows of Значения%s in %.0f ms\n", TotalRows,
                withoutIndexes() ? " (no indexes)" : "", ms(timer));

    // The floors: what SQLite alone needs to count the rows, to read the last ones, to find the
    // middle one, and to step through them all.
    const double countFloor =
        bareLoop(path, QStringLiteral("SELECT count(*) FROM Значения"), [](sqlite3_stmt *) {});
    const double lastFloor =
        bareLoop(path,
                 QStringLiteral("SELECT rowid, * FROM Значения ORDER BY rowid DESC LIMIT %1")
                     .arg(RowStore::PageRows),
                 [](sqlite3_stmt *) {});
    const double middleFloor =
        bareLoop(path,
                 QStringLiteral("SELECT rowid, * FROM Значения ORDER BY rowid LIMIT %1 OFFSET %2")
                     .arg(RowStore::PageRows)
                     .arg(TotalRows / 2),
                 [](sqlite3_stmt *) {});
    const double allFloor =
        bareLoop(path, QStringLiteral("SELECT rowid, * FROM Значения"), [](sqlite3_stmt *) {});
    std::printf("floor: count %.1f ms, last page %.1f ms, middle page %.1f ms, every row %.0f ms\n",
                countFloor, lastFloor, middleFloor, allFloor);

    // Opening: the row count, and the grid shown with its first rows painted.
    const long start = residentKb();
    timer.restart();
    TableRecordSet records;
    records.setConnectionString(connectionString(path));
    records.setTableName(QStringLiteral("Значения"));
    records.open();
    DataSource source;
    source.setDataSet(&records);
    GridModel &model = *source.model();
    DataGrid grid;
    grid.setDataSource(&source);
    grid.resize(1000, 700);
    grid.show();
    QApplication::processEvents();
    grid.grab();
    const double openMs = ms(timer);
    const long opened = residentKb();
    std::printf("opened: %d rows, the grid shown with its first rows, in %.1f ms (the count's "
                "floor alone: %.1f ms), %.1f MB added\n",
                model.rowCount(), openMs, countFloor, mb(start, opened));

    // «last» (Ctrl+End, the navigator's button): the last row current and painted.
    timer.restart();
    grid.showLastRow();
    QApplication::processEvents();
    grid.grab();
    const double lastMs = ms(timer);
    const long atLast = residentKb();
    std::printf("last row %d shown in %.1f ms (%.1fx its page's floor), %.1f MB added\n",
                grid.currentIndex().row() + 1, lastMs, lastMs / lastFloor, mb(opened, atLast));

    // A jump to the middle row.
    timer.restart();
    const int middle = model.rowCount() / 2;
    grid.setCurrentIndex(model.index(middle, 0));
    grid.scrollTo(grid.currentIndex());
    QApplication::processEvents();
    grid.grab();
    const double middleMs = ms(timer);
    std::printf("middle row %d shown in %.1f ms (%.1fx its page's floor)\n", middle + 1, middleMs,
                middleMs / middleFloor);

    // Scrolling from the top to the bottom: every row read once, the memory of a window of them.
    timer.restart();
    long peak = residentKb();
    for (int row = 0; row < model.rowCount(); row += RowsShown) {
        readRows(model, row);
        if (row % (64 * RowStore::PageRows) == 0)
            peak = std::max(peak, residentKb());
    }
    peak = std::max(peak, residentKb());
    const double scrollMs = ms(timer);
    std::printf("scrolled through every row in %.0f ms (%.1fx the floor); process at most "
                "%.0f MB\n",
                scrollMs, scrollMs / allFloor, double(peak) / 1024.0);

    if (large) {
        goal(QStringLiteral("opened in"), openMs, 20, QStringLiteral(" ms"));
        goal(QStringLiteral("last row shown in"), lastMs, 20, QStringLiteral(" ms"));
        goal(QStringLiteral("last row shown with memory added"), mb(opened, atLast), 30,
             QStringLiteral(" MB"));
        goal(QStringLiteral("middle row shown in"), middleMs, 100, QStringLiteral(" ms"));
        goal(QStringLiteral("process while scrolling through every row"), double(peak) / 1024.0,
             150, QStringLiteral(" MB"));
    }
    return 0;
}
