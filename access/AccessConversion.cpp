#include "access/AccessConversion.h"

#include "core/DbError.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryFile>

namespace {

// What the parent keeps of the worker's error output: a sanitizer's report begins with
// what it found and may run long.
constexpr qsizetype KeptErrorBytes = 64 * 1024;
// No report line of the worker's is that long.
constexpr qsizetype LongestReportLine = 4096;
// How often the parent looks at the worker while it runs.
constexpr int PollMs = 20;

// The worker's report: "table\t<rows read>\t<rows in the definition>\t<name>" per table,
// "warning\t<message>" for what it noticed, then "done", or "error\t<message>" when it stops on a
// failure it understood. Its error output is not read for messages: there libmdb, the C library or
// a sanitizer may say anything.
struct Report
{
    QList<ConvertedTable> tables;
    QStringList warnings;
    QString error;
    bool done = false;
    bool malformed = false;

    void parse(const QByteArray &line)
    {
        if (line == "done") {
            done = true;
            return;
        }
        if (line.startsWith("error\t")) {
            error = QString::fromUtf8(line.mid(6));
            return;
        }
        if (line.startsWith("warning\t")) {
            warnings.append(QString::fromUtf8(line.mid(8)));
            return;
        }
        const QString text = QString::fromUtf8(line);
        const QStringList fields = text.split(u'\t');
        bool rowsOk = false;
        bool describedOk = false;
        const qint64 rows = fields.size() >= 4 ? fields.at(1).toLongLong(&rowsOk) : 0;
        const qint64 described = fields.size() >= 4 ? fields.at(2).toLongLong(&describedOk) : 0;
        if (fields.value(0) != u"table" || !rowsOk || !describedOk || done) {
            malformed = true;
            return;
        }
        // The name is all that follows the counts.
        tables.append({text.section(u'\t', 3), rows, described});
    }
};

void removeLeftovers(const QString &path)
{
    QFile::remove(path);
    QFile::remove(path + QStringLiteral("-journal"));
}

} // namespace

ReaderEnd readerEndOf(const QByteArray &errors)
{
    // The words of the allocators that refused more memory: the sanitizer's own allocator,
    // its limit on resident memory, GLib's, which libmdb allocates with, and C++'s where it
    // cannot be caught (a bad_alloc that ends the process). A sanitizer's
    // report of a bad read or write is a fault whatever else it says.
    static const char *const memoryWords[] = {
        "allocator is out of memory", "rss limit exhausted", "allocation-size-too-big",
        "failed to allocate",         "out of memory",       "std::bad_alloc"};
    const qsizetype report = errors.indexOf("ERROR: ");
    const QByteArray first =
        report >= 0 ? errors.mid(report, errors.indexOf('\n', report) - report) : errors;
    if (report >= 0 && first.contains("Sanitizer") && !first.contains("out of memory") &&
        !first.contains("rss limit") && !first.contains("allocation-size-too-big"))
        return ReaderEnd::Fault;
    for (const char *words : memoryWords) {
        if (errors.contains(words))
            return ReaderEnd::MemoryLimit;
    }
    return ReaderEnd::Fault;
}

int defaultTimeLimitSeconds(qint64 bytes)
{
    return int(30 + bytes / (4 << 20));
}

int defaultMemoryLimitMb(qint64 bytes)
{
    return int(512 + 4 * (bytes >> 20));
}

QList<ConvertedTable> convertAccessFile(const QString &worker, const QString &source,
                                        const QString &destination,
                                        const AccessConversionOptions &options)
{
    const QFileInfo sourceInfo(source);
    if (!sourceInfo.isFile())
        throw DbError(QStringLiteral("Файл Access «%1» не найден").arg(source));
    if (QFileInfo::exists(destination))
        throw DbError(
            QStringLiteral("Файл «%1» уже существует: он не будет перезаписан").arg(destination));
    const int seconds = options.timeLimitSeconds > 0 ? options.timeLimitSeconds
                                                     : defaultTimeLimitSeconds(sourceInfo.size());
    const int megabytes =
        options.memoryLimitMb > 0 ? options.memoryLimitMb : defaultMemoryLimitMb(sourceInfo.size());

    // A unique name beside the destination, so that the final rename stays on one disk.
    const QFileInfo target(destination);
    QTemporaryFile temporary(
        target.absoluteDir().filePath(QStringLiteral(".%1.XXXXXX.part").arg(target.fileName())));
    if (!temporary.open())
        throw DbError(QStringLiteral("Не удалось создать файл в папке «%1»: %2")
                          .arg(target.absolutePath(), temporary.errorString()));
    temporary.close();
    const QString partial = temporary.fileName();

    QStringList arguments = {QStringLiteral("access-worker"),
                             QStringLiteral("--memory-limit"),
                             QString::number(megabytes),
                             QStringLiteral("--cpu-limit"),
                             QString::number(seconds + 1),
                             QStringLiteral("--size-limit"),
                             QString::number(64 * (qint64(1) << 20) + 8 * sourceInfo.size())};
    if (!options.codePage.isEmpty())
        arguments << QStringLiteral("--code-page") << options.codePage;
    arguments << sourceInfo.absoluteFilePath() << partial;

    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
#if defined(__SANITIZE_ADDRESS__)
    // A sanitized worker cannot limit its address space; its sanitizer holds it instead.
    QString sanitizer = environment.value(QStringLiteral("ASAN_OPTIONS"));
    sanitizer += QStringLiteral("%1hard_rss_limit_mb=%2")
                     .arg(sanitizer.isEmpty() ? QString() : QStringLiteral(":"))
                     .arg(megabytes + 1024);
    environment.insert(QStringLiteral("ASAN_OPTIONS"), sanitizer);
#endif
    process.setProcessEnvironment(environment);
    process.setProgram(worker);
    process.setArguments(arguments);
    process.start(QIODevice::ReadOnly);
    if (!process.waitForStarted()) {
        removeLeftovers(partial);
        throw DbError(
            QStringLiteral("Не удалось запустить «%1», чтобы прочитать файл Access «%2»: %3")
                .arg(worker, source, process.errorString()));
    }

    Report report;
    QByteArray pending;
    QByteArray errors;
    const auto drain = [&] {
        pending += process.readAllStandardOutput();
        for (qsizetype end = pending.indexOf('\n'); end >= 0; end = pending.indexOf('\n')) {
            report.parse(pending.left(end));
            pending.remove(0, end + 1);
        }
        if (pending.size() > LongestReportLine) {
            report.malformed = true;
            pending.clear();
        }
        const QByteArray more = process.readAllStandardError();
        errors += more.left(KeptErrorBytes - errors.size());
    };
    const QDeadlineTimer deadline{std::chrono::seconds(seconds)};
    while (!process.waitForFinished(PollMs)) {
        drain();
        if (process.state() == QProcess::NotRunning)
            break;
        if (options.keepWaiting && !options.keepWaiting()) {
            process.kill();
            process.waitForFinished();
            removeLeftovers(partial);
            throw DbError(QStringLiteral("Чтение файла Access «%1» отменено").arg(source));
        }
        if (deadline.hasExpired()) {
            process.kill();
            process.waitForFinished();
            removeLeftovers(partial);
            if (options.readerErrors)
                *options.readerErrors = errors;
            throw DbError(
                QStringLiteral("Чтение файла Access «%1» не закончилось за %2 с и прервано: "
                               "достигнут предел времени. Большому исправному файлу может "
                               "понадобиться больше: orvinta-db import --time-limit "
                               "СЕКУНДЫ; а если файл повреждён, больше времени не поможет")
                    .arg(source)
                    .arg(seconds));
        }
    }
    drain();
    if (options.readerErrors)
        *options.readerErrors = errors;

    const bool finished = process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    if (!finished || !report.done || report.malformed || !report.error.isEmpty()) {
        removeLeftovers(partial);
        if (!report.error.isEmpty())
            throw DbError(report.error);
        if (finished) {
            throw DbError(
                QStringLiteral("Чтение файла Access «%1» оборвалось: таблицы прочитаны не все")
                    .arg(source));
        }
        // A limit reached is said as such, with how to raise it, whatever the cause: a large
        // sound file, or damaged lengths that make libmdb ask for more and more.
        if (readerEndOf(errors) == ReaderEnd::MemoryLimit) {
            throw DbError(QStringLiteral(
                              "Чтение файла Access «%1» прервано: достигнут предел памяти %2 МБ%3. "
                              "Большому файлу может понадобиться больше: orvinta-db import "
                              "--memory-limit МБ; если же файл повреждён, больше памяти не поможет")
                              .arg(source)
                              .arg(megabytes)
                              .arg(options.memoryLimitMb > 0
                                       ? QStringLiteral(", заданный --memory-limit")
                                       : QString()));
        }
        throw DbError(QStringLiteral("Чтение файла Access «%1» завершилось аварийно: программа "
                                     "чтения наткнулась на данные, которых в исправном файле не "
                                     "бывает; файл, вероятно, повреждён")
                          .arg(source));
    }
    if (!QFile::rename(partial, destination)) {
        removeLeftovers(partial);
        throw DbError(
            QStringLiteral("Не удалось записать «%1»: файл уже существует или папка недоступна")
                .arg(destination));
    }
    temporary.setAutoRemove(false);
    if (options.warnings)
        *options.warnings += report.warnings;
    return report.tables;
}
