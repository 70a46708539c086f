#pragma once

// What every benchmark shares: its sizes from the command line, the bare SQLite loop that is
// the floor of a figure, and the lines that say whether a figure met its goal.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <sqlite3.h>

// A size given on the command line ("--rows 1000000"), else the default.
inline long long sizeOption(const QString &name, long long fallback)
{
    const QStringList arguments = QCoreApplication::arguments();
    const qsizetype at = arguments.indexOf(name);
    return at >= 0 && at + 1 < arguments.size() ? arguments.at(at + 1).toLongLong() : fallback;
}

// Opens the file read-only, runs the statement through SQLite's C interface and hands each row
// to `row`, as bare as reading those rows can be; milliseconds.
template <typename Row> double bareLoop(const QString &path, const QString &sql, Row &&row)
{
    QElapsedTimer timer;
    timer.start();
    sqlite3 *db = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt *statement = nullptr;
    const QByteArray text = sql.toUtf8();
    sqlite3_prepare_v2(db, text.constData(), int(text.size()), &statement, nullptr);
    while (sqlite3_step(statement) == SQLITE_ROW)
        row(statement);
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return double(timer.nsecsElapsed()) / 1e6;
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
