// One efficiency analysis over a large table of values, against a bare SQLite loop that
// reads the same two columns of the same rows. Prints the figures; asserts nothing.

#include "analysis/Unit7.h"
#include "bench/BenchOptions.h"
#include "db/ConnectionString.h"
#include "db/RecordSet.h"
#include "db/Schema.h"
#include "db/SqlDialect.h"
#include "db/Sqlite.h"
#include "db/Statements.h"
#include "db/forms/DatabasePath.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QPieSeries>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

int TotalRows = 1'000'000;
int Criteria = 10;              // one row in ten has the chosen criterion
constexpr int Disciplines = 16; // fifteen listed, one not
const QString Chosen = QStringLiteral("Критерий 3");

QString disciplineName(int index)
{
    return QStringLiteral("Дисциплина номер %1").arg(index);
}

void fill(const QString &path)
{
    SqliteDatabase db(path, SqliteDatabase::OpenMode::CreateNew);
    createTables(db);
    db.exec(QStringLiteral("BEGIN"));
    {
        SqliteStatement names(db, QStringLiteral("INSERT INTO Дисциплины VALUES (?1)"));
        for (int i = 0; i < Disciplines - 1; ++i) {
            names.reset();
            names.bind(1, disciplineName(i));
            names.step();
        }
        SqliteStatement values(db,
                               QStringLiteral("INSERT INTO Значения VALUES (?1, ?2, ?3, ?4, ?5)"));
        for (int i = 0; i < TotalRows; ++i) {
            values.reset();
            values.bind(1, disciplineName((i / Criteria) % Disciplines));
            values.bind(2, QStringLiteral("Критерий %1").arg(i % Criteria));
            values.bind(3, QStringLiteral("Проектор"));
            values.bind(4, double(i % 97) / 4.0);
            values.bind(5, QStringLiteral("01.09.2024"));
            values.step();
        }
    }
    db.exec(QStringLiteral("COMMIT"));
    finishTables(db);
}

// The window's statement, as the record set runs it, both columns of every row read as bare
// as SQLite allows.
double bareValues(const QString &path, double &checksum)
{
    checksum = 0;
    const Source statement = Statements::criterionValues(Chosen);
    return bareLoop(path, translateStatement(statement.statement),
                    [&](sqlite3_stmt *row) {
                        checksum += sqlite3_column_double(row, 0);
                        const unsigned char *text = sqlite3_column_text(row, 1);
                        checksum += text ? sqlite3_column_bytes(row, 1) : 0;
                    },
                    {Chosen});
}

// The record set layer alone: open the value statement and stream it reading both columns.
double recordSetWalk(const QString &path)
{
    QElapsedTimer timer;
    timer.start();
    QueryRecordSet values;
    values.setConnectionString(connectionString(path));
    values.setSource(Statements::criterionValues(Chosen));
    values.open();
    qint64 rows = 0;
    values.forEachRow(
        [&](const RowCursor &row) {
            rows += row.value(0).isValid();
            rows += row.value(1).isValid();
        },
        RecordSet::RowOrder::Any);
    values.close();
    return double(timer.nsecsElapsed()) / 1e6;
}

double analysis(Teff &window)
{
    QElapsedTimer timer;
    timer.start();
    window.Button1Click();
    return double(timer.nsecsElapsed()) / 1e6;
}

double median(std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTextStream out(stdout);
    TotalRows = int(sizeOption(QStringLiteral("--rows"), TotalRows));
    Criteria = std::max(1, TotalRows / int(sizeOption(QStringLiteral("--chosen"), TotalRows / 10)));

    QTemporaryDir dir;
    const QString path = QDir(dir.path()).filePath(QStringLiteral("большая.mdb"));
    QElapsedTimer timer;
    timer.start();
    fill(path);
    out << "database: " << TotalRows << " rows of Значения, " << TotalRows / Criteria
        << " of the chosen criterion, made in " << timer.elapsed() << " ms\n";

    QLabel pathLabel(path);
    publishDatabasePathLabel(&pathLabel);
    Teff window;
    window.ComboBox1->setCurrentText(Chosen);

    constexpr int Runs = 7;
    std::vector<double> bare, walk, whole;
    double checksum = 0;
    try {
        analysis(window); // warms the file cache like the bare loop's first run
        bareValues(path, checksum);
        for (int run = 0; run < Runs; ++run) {
            bare.push_back(bareValues(path, checksum));
            walk.push_back(recordSetWalk(path));
            whole.push_back(analysis(window));
        }
    } catch (const std::exception &e) {
        out << "failed: " << QString::fromUtf8(e.what()) << '\n';
        return 1;
    }

    const double bareMs = median(bare);
    const double walkMs = median(walk);
    const double wholeMs = median(whole);
    out << qSetRealNumberPrecision(4) << "median of " << Runs << " runs:\n"
        << "  bare SQLite C API loop        " << bareMs << " ms (checksum " << checksum << ")\n"
        << "  record set open + walk        " << walkMs << " ms\n"
        << "  whole analysis (Button1Click) " << wholeMs << " ms, " << window.Series1->count()
        << " slices\n"
        << "  analysis / bare loop          " << wholeMs / bareMs << "x\n"
        << goalLine(QStringLiteral("efficiency analysis, %1 chosen of %2 rows%3, against the bare "
                                   "loop")
                        .arg(TotalRows / Criteria)
                        .arg(TotalRows)
                        .arg(withoutIndexes() ? QStringLiteral(" (no indexes)") : QString()),
                    wholeMs / bareMs, 1.1, QStringLiteral("x"));
    if (TotalRows >= 20'000'000 && !withoutIndexes())
        out << goalLine(QStringLiteral("efficiency analysis, %1 chosen of %2 rows, file made by "
                                       "orvinta-db create, in")
                            .arg(TotalRows / Criteria)
                            .arg(TotalRows),
                        wholeMs, 400, QStringLiteral(" ms"));
    publishDatabasePathLabel(nullptr);
    return 0;
}
