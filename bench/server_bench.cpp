// The efficiency analysis and a grid over a large table of values in a database on a
// PostgreSQL server, each next to libpq's bare loop over the same rows in the same run. The
// server is the one ORVINTA_BENCH_SERVER names (a connection string without dbname; see
// ./scripts/bench --server). Prints the figures; asserts nothing.

#include "analysis/Unit7.h"
#include "bench/BenchOptions.h"
#include "db/ConnectionString.h"
#include "db/Postgres.h"
#include "db/RecordSet.h"
#include "db/RowStore.h"
#include "db/Schema.h"
#include "db/SqlDialect.h"
#include "db/Statements.h"
#include "db/forms/DataGrid.h"
#include "db/forms/DataSource.h"
#include "db/forms/DatabasePath.h"
#include "db/forms/GridModel.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <algorithm>
#include <charconv>
#include <cstdio>
#include <libpq-fe.h>
#include <vector>

namespace {

int TotalRows = 1'000'000;
constexpr int Criteria = 10; // one row in ten has the chosen criterion
constexpr int Disciplines = 16;
const QString Chosen = QStringLiteral("Критерий 3");
const QString DatabaseName = QStringLiteral("orvinta_bench");

double ms(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

double median(std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

void fill(PgSession &server)
{
    Schema::create(server);
    server.execScript(QStringLiteral("BEGIN"));
    {
        PgCopy names(server, Schema::Disciplines, {QStringLiteral("Название")});
        for (int i = 0; i < Disciplines - 1; ++i)
            names.add({QStringLiteral("Дисциплина номер %1").arg(i)});
        names.finish();
        PgCopy values(server, Schema::Values,
                      {Schema::DisciplineColumn, Schema::CriterionColumn, Schema::IctToolColumn,
                       Schema::ValueColumn, QStringLiteral("Дата")});
        for (int i = 0; i < TotalRows; ++i) {
            values.add({QStringLiteral("Дисциплина номер %1").arg((i / Criteria) % Disciplines),
                        QStringLiteral("Критерий %1").arg(i % Criteria), QStringLiteral("Проектор"),
                        double(i % 97) / 4.0, QStringLiteral("01.09.2024")});
        }
        values.finish();
    }
    server.execScript(QStringLiteral("COMMIT"));
    server.execScript(QStringLiteral("VACUUM ANALYZE \"Значения\""));
}

// libpq as bare as it reads rows one by one (the way the program reads a long statement),
// each row's columns handed to `row`; milliseconds.
template <typename Row>
double bareLoop(PgSession &server, const QString &sql, const QVariantList &parameters, Row &&row)
{
    QElapsedTimer timer;
    timer.start();
    server.sendSingleRows(sql, parameters);
    while (PGresult *result = PQgetResult(server.handle())) {
        if (PQresultStatus(result) == PGRES_SINGLE_TUPLE)
            row(result);
        PQclear(result);
    }
    return ms(timer);
}

// The same for a statement whose few rows come at once.
double bareQuery(PgSession &server, const QString &sql)
{
    QElapsedTimer timer;
    timer.start();
    server.exec(sql);
    return ms(timer);
}

double analysisFloor(PgSession &server, double &checksum)
{
    checksum = 0;
    const Source statement = Statements::criterionValues(Chosen);
    return bareLoop(server, translateForServer(translateStatement(statement.statement)),
                    statement.parameters, [&](PGresult *result) {
                        double value = 0;
                        const char *text = PQgetvalue(result, 0, 0);
                        std::from_chars(text, text + PQgetlength(result, 0, 0), value);
                        checksum += value + PQgetlength(result, 0, 1);
                    });
}

// A figure against its floor, whose goal is at most 1.5 times the floor.
void goal(const QString &what, double ratio)
{
    std::fputs(
        goalLine(QStringLiteral("server: ") + what, ratio, 1.5, QStringLiteral("x")).constData(),
        stdout);
}

double analysis(Teff &window)
{
    QElapsedTimer timer;
    timer.start();
    window.Button1Click();
    return ms(timer);
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    TotalRows = int(sizeOption(QStringLiteral("--rows"), TotalRows));
    const QString serverConnection = qEnvironmentVariable("ORVINTA_BENCH_SERVER");
    if (serverConnection.isEmpty()) {
        std::fputs("ORVINTA_BENCH_SERVER is not set: run ./scripts/bench --server\n", stderr);
        return 2;
    }

    try {
        {
            PgSession maintenance(serverConnection + QStringLiteral(" dbname=postgres"), {},
                                  QStringLiteral("server"));
            maintenance.execScript(QStringLiteral("DROP DATABASE IF EXISTS %1").arg(DatabaseName));
            maintenance.execScript(QStringLiteral("CREATE DATABASE %1").arg(DatabaseName));
        }
        const QString connection = serverConnection + QStringLiteral(" dbname=") + DatabaseName;
        QTemporaryDir dir;
        const QString path = QDir(dir.path()).filePath(QStringLiteral("школа.orvinta-server"));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(connection.toUtf8()) < 0)
            return 1;
        file.close();
        PgSession server(connection, {}, path);
        QElapsedTimer timer;
        timer.start();
        fill(server);
        std::printf("server database: %d rows of Значения, %d of the chosen criterion, made in "
                    "%.0f ms\n",
                    TotalRows, TotalRows / Criteria, ms(timer));

        // The efficiency analysis.
        QLabel pathLabel(path);
        publishDatabasePathLabel(&pathLabel);
        Teff window;
        window.ComboBox1->setCurrentText(Chosen);
        constexpr int Runs = 5;
        std::vector<double> bare, whole;
        double checksum = 0;
        analysis(window);
        analysisFloor(server, checksum);
        for (int run = 0; run < Runs; ++run) {
            bare.push_back(analysisFloor(server, checksum));
            whole.push_back(analysis(window));
        }
        const double bareMs = median(bare);
        const double wholeMs = median(whole);
        std::printf("median of %d runs: libpq bare loop %.1f ms (checksum %.0f), whole analysis "
                    "(Button1Click) %.1f ms, %.2fx\n",
                    Runs, bareMs, checksum, wholeMs, wholeMs / bareMs);
        goal(QStringLiteral("efficiency analysis, %1 chosen of %2 rows, "
                            "against libpq's bare loop")
                 .arg(TotalRows / Criteria)
                 .arg(TotalRows),
             wholeMs / bareMs);

        // The grid: opened (its count and first page), then «last».
        const QString key = quotedName(Schema::ServerKeyColumn);
        const QString page = QStringLiteral("SELECT %1, xmin::text::bigint, * FROM \"Значения\" "
                                            "ORDER BY %1 %2 LIMIT %3");
        bareQuery(server, page.arg(key, QStringLiteral("DESC")).arg(RowStore::PageRows));
        const double openFloor =
            bareQuery(server, QStringLiteral("SELECT count(*) FROM \"Значения\"")) +
            bareQuery(server, page.arg(key, QStringLiteral("ASC")).arg(RowStore::PageRows));
        const double lastFloor =
            bareQuery(server, page.arg(key, QStringLiteral("DESC")).arg(RowStore::PageRows));

        timer.restart();
        TableRecordSet records;
        records.setConnectionString(connectionString(path));
        records.setTableName(Schema::Values);
        records.open();
        DataSource source;
        source.setDataSet(&records);
        DataGrid grid;
        grid.setDataSource(&source);
        grid.resize(1000, 700);
        grid.show();
        QApplication::processEvents();
        grid.grab();
        const double openMs = ms(timer);
        timer.restart();
        grid.showLastRow();
        QApplication::processEvents();
        grid.grab();
        const double lastMs = ms(timer);
        std::printf("grid of %d rows: opened in %.1f ms (floor: count and first page %.1f ms), "
                    "last row %d shown in %.1f ms (floor: last page %.1f ms)\n",
                    source.model()->rowCount(), openMs, openFloor, grid.currentIndex().row() + 1,
                    lastMs, lastFloor);
        // Opening also connects to the server and asks what the table looks like, which the
        // floor does not; both are the program's work all the same.
        goal(QStringLiteral("grid of %1 rows opened, against libpq's bare "
                            "count and first page")
                 .arg(TotalRows),
             openMs / openFloor);
        // What of «last» is the database's: the record set under the grid reads the last page.
        TableRecordSet alone;
        alone.setConnectionString(connectionString(path));
        alone.setTableName(Schema::Values);
        alone.open();
        const int rows = alone.rowCount();
        timer.restart();
        const QVariant last = alone.valueAt(rows - 1, 3);
        const double readLastMs = ms(timer);
        std::printf("the record set alone read the last row (%s) in %.2f ms; the rest of «last» "
                    "is the grid's painting\n",
                    qPrintable(last.toString()), readLastMs);
        goal(QStringLiteral("grid of %1 rows, last row shown, against "
                            "libpq's bare last page")
                 .arg(TotalRows),
             lastMs / lastFloor);
        goal(QStringLiteral("record set of %1 rows, last row read, against "
                            "libpq's bare last page")
                 .arg(TotalRows),
             readLastMs / lastFloor);
    } catch (const std::exception &e) {
        std::printf("failed: %s\n", e.what());
        return 1;
    }
    return 0;
}
