// How long "Начать анализ" takes to read and draw a selection of values (100,000 unless
// --rows says otherwise), alone and beside a second selection of the same size, next to the
// bare SQLite loop that reads the same values. Prints its figures; it is never a test.

#include "analysis/Unit4.h"
#include "bench/BenchOptions.h"

#include "db/Schema.h"
#include "db/SqlDialect.h"
#include "db/Sqlite.h"
#include "db/Statements.h"
#include "db/forms/DatabasePath.h"

#include <QApplication>
#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineSeries>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

namespace {

int valueCount = 100000;
constexpr int runs = 5;

void fillDatabase(const QString &path)
{
    SqliteDatabase db(path, SqliteDatabase::OpenMode::CreateNew);
    createTables(db);
    db.exec(u"BEGIN"_s);
    SqliteStatement insert(db, u"INSERT INTO Значения VALUES (?1, ?2, ?3, ?4, '01.01.2024')"_s);
    const auto add = [&insert](const QString &discipline, double value) {
        insert.reset();
        insert.bind(1, discipline);
        insert.bind(2, u"Скорость"_s);
        insert.bind(3, u"Проектор"_s);
        insert.bind(4, value);
        insert.step();
    };
    // The two selections interleaved, as values entered day by day would be.
    for (int i = 0; i < valueCount; ++i) {
        add(u"Физика"_s, 50.0 + 40.0 * std::sin(i * 0.001) + (i % 7));
        add(u"Химия"_s, 30.0 + 20.0 * std::cos(i * 0.002) + (i % 5));
    }
    db.exec(u"COMMIT"_s);
    finishTables(db);
}

// The window's statement of one selection, as the record set runs it, its values read as bare
// as SQLite allows.
double bareSelection(const QString &path, const QString &discipline, double &checksum)
{
    checksum = 0;
    // The rows in the order they were entered, as the chart reads them.
    const Source statement = Statements::selectionValues(discipline, u"Скорость"_s, u"Проектор"_s);
    return bareLoop(path, translateStatement(statement.statement) + u" ORDER BY Значения.rowid"_s,
                    [&](sqlite3_stmt *row) { checksum += sqlite3_column_double(row, 0); },
                    {discipline, u"Скорость"_s, u"Проектор"_s});
}

struct Timing
{
    double total = 0.0; // ms from the click on "Начать анализ" until the chart is painted
    double painting = 0.0;
};

Timing timeAnalysis(Tanaliz &window)
{
    QElapsedTimer timer;
    timer.start();
    window.Button1->click();
    const qint64 clicked = timer.nsecsElapsed();
    window.Chart1->viewport()->repaint();
    const qint64 painted = timer.nsecsElapsed();
    return {double(painted) / 1e6, double(painted - clicked) / 1e6};
}

double median(QList<double> figures)
{
    std::sort(figures.begin(), figures.end());
    return figures.at(figures.size() / 2);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QTextStream out(stdout);
    valueCount = int(sizeOption(u"--rows"_s, valueCount));

    QTemporaryDir dir;
    const QString path = QDir(dir.path()).filePath(u"bench.mdb"_s);
    fillDatabase(path);
    QLabel pathLabel(path);
    publishDatabasePathLabel(&pathLabel);

    Tanaliz window;
    window.resize(836, 675);
    window.show();
    QCoreApplication::processEvents();
    window.ComboBox1->setEditText(u"Физика"_s);
    window.ComboBox2->setEditText(u"Скорость"_s);
    window.ComboBox3->setEditText(u"Проектор"_s);
    window.ComboBox4->setEditText(u"Химия"_s);
    window.ComboBox5->setEditText(u"Скорость"_s);
    window.ComboBox6->setEditText(u"Проектор"_s);

    QList<double> floors;
    for (int run = 0; run < runs; ++run) {
        double checksum = 0;
        floors.append(bareSelection(path, u"Физика"_s, checksum) +
                      bareSelection(path, u"Химия"_s, checksum));
    }
    const double floor = median(floors) / 2; // one selection
    out << "bare SQLite loop, one selection of " << valueCount
        << " values: " << QString::number(floor, 'f', 1) << " ms\n";

    for (const bool compare : {false, true}) {
        window.CheckBox1->setChecked(compare);
        QList<double> totals;
        QList<double> paintings;
        for (int run = 0; run < runs; ++run) {
            const Timing timing = timeAnalysis(window);
            totals.append(timing.total);
            paintings.append(timing.painting);
        }
        const qsizetype drawn = window.Series1->count() + window.Series2->count();
        out << (compare ? "two selections" : "one selection ") << " of " << valueCount
            << " values: median " << QString::number(median(totals), 'f', 1) << " ms (painting "
            << QString::number(median(paintings), 'f', 1) << " ms), worst "
            << QString::number(*std::max_element(totals.cbegin(), totals.cend()), 'f', 1) << " ms; "
            << runs << " runs, " << drawn << " points drawn; "
            << QString::number(median(totals) / (compare ? 2 * floor : floor), 'f', 2)
            << "x the bare loop\n";
        if (valueCount == 1000000) {
            out << goalLine(compare ? u"line chart, two selections of 1M values, against the "
                                      u"bare loop of one"_s
                                    : u"line chart, one selection of 1M values, against the bare "
                                      u"loop"_s,
                            median(totals) / floor, compare ? 2.2 : 1.1, u"x"_s);
        }
    }
    publishDatabasePathLabel(nullptr);
    return 0;
}
