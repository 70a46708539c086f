#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

struct AccessConversionOptions
{
    QString codePage;         // of Jet 3 texts; empty for the file's own
    int timeLimitSeconds = 0; // 0: by the file's size (defaultTimeLimitSeconds)
    int memoryLimitMb = 0;    // 0: by the file's size (defaultMemoryLimitMb)
    // Receives what the reader process wrote to its error output (libmdb's, the C
    // library's or a sanitizer's words: for a person or a test to read, never a message).
    QByteArray *readerErrors = nullptr;
    // Receives what the reader noticed without failing (a code page that looks wrong).
    QStringList *warnings = nullptr;
    // Asked every few milliseconds while the reader runs: false stops it (the user
    // cancelled), which throws a DbError saying so. The program shows a progress dialog here.
    std::function<bool()> keepWaiting;
};

// How the reader process ended when it did not finish its work.
enum class ReaderEnd
{
    Fault,       // it crashed, or a sanitizer stopped it: the file is most likely damaged
    MemoryLimit, // it ran out of the memory it may use
};
// Tells from the reader's error output and exit why it stopped.
ReaderEnd readerEndOf(const QByteArray &errors);

struct ConvertedTable
{
    QString name;
    qint64 rows = 0;          // read from the table's data pages
    qint64 describedRows = 0; // as the table's definition counts them, which may be stale
};

// Limits for reading an Access file of `bytes`: 30 s plus 1 s for every 4 MiB, and
// 512 MiB plus four times the file.
int defaultTimeLimitSeconds(qint64 bytes);
int defaultMemoryLimitMb(qint64 bytes);

// Converts an Access file into a new native file `destination`, which must not exist.
// libmdb runs only in a child process (`worker access-worker …`, see AccessWorker.h), held
// to the time limit here and to the memory limit by itself; the result is written beside
// `destination` under a temporary name and renamed only when every table was read in
// full. A crash, a hang, a short read or any other failure throws a DbError naming the
// source file and leaves nothing behind. `worker` is the orvinta-db program.
QList<ConvertedTable> convertAccessFile(const QString &worker, const QString &source,
                                        const QString &destination,
                                        const AccessConversionOptions &options = {});
