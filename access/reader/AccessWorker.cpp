#include "access/reader/AccessWorker.h"

#include "access/reader/AccessReader.h"
#include "access/reader/AccessValue.h"
#include "core/DbError.h"
#include "db/SqlDialect.h"
#include "db/Sqlite.h"

#include <QFile>
#include <new>
#include <sys/resource.h>
#include <unistd.h>

namespace {

// A name with control characters comes from a damaged catalog, and would break the
// worker's line-by-line report.
void requirePrintable(const QString &name, const QString &path)
{
    for (const QChar c : name) {
        if (c.unicode() < 0x20)
            throw DbError(
                QStringLiteral("Файл Access «%1» повреждён: имя «%2» содержит управляющие символы")
                    .arg(path, QString(name).replace(c, u'?')));
    }
}

void limit(int resource, rlim_t value)
{
    const rlimit limits{value, value};
    setrlimit(resource, &limits);
}

struct WorkerArguments
{
    QString source;
    QString destination;
    QString codePage;
    qint64 memoryLimitMb = 0;
    qint64 cpuLimitSeconds = 0;
    qint64 sizeLimit = 0;
};

bool parse(const QStringList &arguments, WorkerArguments &parsed)
{
    QStringList positional;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (!argument.startsWith(u"--")) {
            positional.append(argument);
            continue;
        }
        if (i + 1 >= arguments.size())
            return false;
        const QString value = arguments.at(++i);
        bool ok = true;
        if (argument == u"--code-page")
            parsed.codePage = value;
        else if (argument == u"--memory-limit")
            parsed.memoryLimitMb = value.toLongLong(&ok);
        else if (argument == u"--cpu-limit")
            parsed.cpuLimitSeconds = value.toLongLong(&ok);
        else if (argument == u"--size-limit")
            parsed.sizeLimit = value.toLongLong(&ok);
        else
            return false;
        if (!ok)
            return false;
    }
    if (positional.size() != 2)
        return false;
    parsed.source = positional.at(0);
    parsed.destination = positional.at(1);
    return true;
}

void applyLimits(const WorkerArguments &arguments)
{
    limit(RLIMIT_CORE, 0);
#if !defined(__SANITIZE_ADDRESS__)
    // AddressSanitizer reserves terabytes of address space; a sanitized worker is held
    // to its memory limit by the parent through ASAN_OPTIONS instead.
    if (arguments.memoryLimitMb > 0)
        limit(RLIMIT_AS, rlim_t(arguments.memoryLimitMb) << 20);
#endif
    if (arguments.cpuLimitSeconds > 0)
        limit(RLIMIT_CPU, rlim_t(arguments.cpuLimitSeconds));
    if (arguments.sizeLimit > 0)
        limit(RLIMIT_FSIZE, rlim_t(arguments.sizeLimit));
}

} // namespace

void copyAccessTables(
    AccessDatabase &source, SqliteDatabase &destination,
    const std::function<void(const QString &table, qint64 rows, qint64 described)> &tableDone)
{
    // The file is new and is thrown away on any failure, so it needs no journal.
    destination.exec(QStringLiteral("PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF; BEGIN"));
    QVariantList values;
    for (const QString &name : source.tableNames()) {
        requirePrintable(name, source.path());
        const auto table = source.openTable(name);
        QStringList definitions;
        QStringList parameters;
        for (const AccessColumn &column : table->columns()) {
            requirePrintable(column.name, source.path());
            definitions.append(quotedName(column.name) + u' ' + column.nativeType);
            parameters.append(QStringLiteral("?%1").arg(parameters.size() + 1));
        }
        destination.exec(QStringLiteral("CREATE TABLE %1 (%2)")
                             .arg(quotedName(name), definitions.join(QStringLiteral(", "))));
        SqliteStatement insert(destination, QStringLiteral("INSERT INTO %1 VALUES (%2)")
                                                .arg(quotedName(name), parameters.join(u',')));
        while (table->readRow(values)) {
            for (int i = 0; i < values.size(); ++i)
                insert.bind(i + 1, values.at(i));
            insert.step();
            insert.reset();
        }
        // One form of date for each whole column.
        for (const AccessColumn &column : table->columns()) {
            if (column.nativeType != u"DATETIME")
                continue;
            for (const QString &statement :
                 AccessValue::shortenedDates(quotedName(name), quotedName(column.name)))
                destination.exec(statement);
        }
        tableDone(name, table->rowsRead(), table->storedRowCount());
    }
    destination.exec(QStringLiteral("COMMIT"));
}

int runAccessWorker(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    WorkerArguments parsed;
    if (!parse(arguments, parsed)) {
        err << QStringLiteral("access-worker: неверные аргументы") << '\n';
        return 2;
    }
    applyLimits(parsed);
    try {
        AccessDatabase source(parsed.source, parsed.codePage);
        {
            SqliteDatabase destination(parsed.destination, SqliteDatabase::OpenMode::CreateNew);
            copyAccessTables(
                source, destination, [&out](const QString &table, qint64 rows, qint64 described) {
                    out << QStringLiteral("table\t%1\t%2\t%3").arg(rows).arg(described).arg(table)
                        << '\n';
                    out.flush();
                });
        }
        if (const QString likelier = source.likelierCodePage(); !likelier.isEmpty()) {
            out << QStringLiteral(
                       "warning\tТексты файла Access «%1» читаются, похоже, не в кодовой "
                       "странице 1252, которую называет его заголовок, а в %2 (%3): "
                       "укажите её, --code-page %2")
                       .arg(parsed.source, likelier,
                            likelier == u"936" ? QStringLiteral("китайская GBK")
                                               : QStringLiteral("кириллица Windows-1251"))
                << '\n';
        }
        // Written without syncing: it reaches the disk once, here, before the parent
        // renames it into place.
        QFile written(parsed.destination);
        if (!written.open(QIODevice::ReadWrite) || fsync(written.handle()) != 0)
            throw DbError(
                QStringLiteral("Не удалось записать «%1» на диск").arg(parsed.destination));
        out << "done\n";
        out.flush();
        return 0;
    } catch (const DbError &e) {
        out << "error\t" << QString(e.message()).replace(u'\n', u' ') << '\n';
    } catch (const std::bad_alloc &) {
        out << "error\t"
            << QStringLiteral("Чтение файла Access «%1» прервано: достигнут предел памяти %2 МБ. "
                              "Большому файлу может понадобиться больше: orvinta-db import "
                              "--memory-limit МБ; если же файл повреждён, больше памяти не поможет")
                   .arg(parsed.source)
                   .arg(parsed.memoryLimitMb)
            << '\n';
    }
    return 1;
}
