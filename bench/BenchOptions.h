#pragma once

// What every benchmark shares: its sizes from the command line, the bare SQLite loop that is
// the floor of a figure, and the lines that say whether a figure met its goal.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QString>
#include <QStringList>

#include "db/Schema.h"
#include "db/Sqlite.h"

#include <sqlite3.h>

// A size given on the command line ("--rows 1000000"), else the default.
inline long long sizeOption(const QString &name, long long fallback)
{
    const QStringList arguments = QCoreApplication::arguments();
    const qsizetype at = arguments.indexOf(name);
    return at >= 0 && at + 1 < arguments.size() ? arguments.at(at + 1).toLongLong() : fallback;
}

// Opens the file read-only, runs the statement through SQLite's C interface, its texts bound to
// its parameters, and hands each row to `row`, as bare as reading those rows can be;
// milliseconds.
template <typename Row>
double bareLoop(const QString &path, const QString &sql, Row &&row,
                const QStringList &parameters = {})
{
    QElapsedTimer timer;
    timer.start();
    sqlite3 *db = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt *statement = nullptr;
    const QByteArray text = sql.toUtf8();
    sqlite3_prepare_v2(db, text.constData(), int(text.size()), &statement, nullptr);
    for (qsizetype i = 0; i < parameters.size(); ++i) {
        const QByteArray value = parameters.at(i).toUtf8();
        sqlite3_bind_text(statement, int(i + 1), value.constData(), int(value.size()),
                          SQLITE_TRANSIENT);
    }
    while (sqlite3_step(statement) == SQLITE_ROW)
        row(statement);
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return double(timer.nsecsElapsed()) / 1e6;
}

// The resident set of this process, in kilobytes.
inline long residentKb()
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

// Whether the benchmark's file is made without the indexes of orvinta-db create
// ("--no-indexes"), as a file made by another program would be.
inline bool withoutIndexes()
{
    return QCoreApplication::arguments().contains(QStringLiteral("--no-indexes"));
}

// The four tables as orvinta-db create makes them, first without their indexes and counter
// (filling goes faster without); finishTables() adds those afterwards, unless the benchmark is
// asked for a file made without them ("--no-indexes").
inline void createTables(SqliteDatabase &db)
{
    Schema::create(db);
    for (const QString &index : {QStringLiteral("Значения_критерий_дисциплина_значение"),
                                 QStringLiteral("Значения_дисциплина_критерий_средство")})
        db.exec(QStringLiteral("DROP INDEX %1").arg(index));
    db.exec(QStringLiteral("DROP TRIGGER %1; DROP TRIGGER %2; DROP TABLE %3")
                .arg(Schema::RowCounterInsert, Schema::RowCounterDelete, Schema::RowCounter));
}

inline void finishTables(SqliteDatabase &db)
{
    if (!withoutIndexes())
        Schema::addSpeedups(db);
}

// "goal: <what> <figure><unit> (limit <limit><unit>) met", or "… missed".
inline QByteArray goalLine(const QString &what, double figure, double limit, const QString &unit)
{
    return QStringLiteral("goal: %1 %2%4 (limit %3%4) %5\n")
        .arg(what, QString::number(figure, 'f', figure < 10 ? 2 : 0),
             QString::number(limit, 'g', 6), unit,
             figure <= limit ? QStringLiteral("met") : QStringLiteral("missed"))
        .toUtf8();
}
