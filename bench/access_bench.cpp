// Prints how fast Access files are read: rows per second of the largest test file, read
// in this process and through the worker process that the import and the program use,
// and the time to open an Access file in the program the first time (conversion) and the
// second time (the cached snapshot).
#include "access/AccessConversion.h"
#include "access/AccessSnapshot.h"
#include "access/reader/AccessReader.h"
#include "access/reader/AccessWorker.h"
#include "core/DbError.h"
#include "db/Sqlite.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>

namespace {

QString largestTestFile()
{
    const QDir folder(QStringLiteral(ORVINTA_ACCESS_TESTDATA));
    const QFileInfoList files =
        folder.entryInfoList({QStringLiteral("*.mdb")}, QDir::Files, QDir::Size);
    return files.isEmpty() ? QString() : files.first().absoluteFilePath();
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    const QString source = largestTestFile();
    if (source.isEmpty()) {
        out << "no Access test files in " << ORVINTA_ACCESS_TESTDATA << '\n';
        return 1;
    }
    QTemporaryDir dir;
    qputenv("XDG_CACHE_HOME", QFile::encodeName(dir.filePath(QStringLiteral("cache"))));
    setConverterProgram(QStringLiteral(ORVINTA_DB_TOOL));
    constexpr int Runs = 15;

    // Reading and writing alone, in this process.
    QList<double> inProcess;
    qint64 rows = 0;
    for (int run = 0; run < Runs; ++run) {
        const QString target = dir.filePath(QStringLiteral("in-process-%1.db").arg(run));
        QElapsedTimer timer;
        timer.start();
        AccessDatabase access(source);
        SqliteDatabase native(target, SqliteDatabase::OpenMode::CreateNew);
        rows = 0;
        copyAccessTables(access, native,
                         [&rows](const QString &, qint64 count, qint64) { rows += count; });
        inProcess.append(double(timer.nsecsElapsed()) / 1e9);
    }

    // The whole import as orvinta-db does it: worker process, limits, temporary file, rename.
    QList<double> throughWorker;
    for (int run = 0; run < Runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        convertAccessFile(converterProgram(), source,
                          dir.filePath(QStringLiteral("worker-%1.db").arg(run)));
        throughWorker.append(double(timer.nsecsElapsed()) / 1e9);
    }

    // Opening in the program: the first open converts, the next ones find the snapshot.
    QList<double> first;
    QList<double> again;
    for (int run = 0; run < Runs; ++run) {
        const QString copy = dir.filePath(QStringLiteral("open-%1.mdb").arg(run));
        QFile::copy(source, copy);
        for (QList<double> *times : {&first, &again}) {
            QElapsedTimer timer;
            timer.start();
            accessSnapshotOf(copy);
            times->append(double(timer.nsecsElapsed()) / 1e9);
        }
    }

    out << "file: " << QFileInfo(source).fileName() << ", " << QFileInfo(source).size()
        << " bytes, " << rows << " rows; medians of " << Runs << " runs\n";
    out << "read and write in process: " << median(inProcess) * 1000 << " ms, "
        << qint64(double(rows) / median(inProcess)) << " rows/s\n";
    out << "import through the worker process: " << median(throughWorker) * 1000 << " ms, "
        << qint64(double(rows) / median(throughWorker)) << " rows/s\n";
    out << "open an Access file in the program, first time (converts): " << median(first) * 1000
        << " ms\n";
    out << "open it again (cached snapshot): " << median(again) * 1000 << " ms\n";
    return 0;
}
