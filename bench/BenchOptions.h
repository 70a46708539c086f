#pragma once

// What every benchmark shares: its sizes from the command line and the lines that say whether
// a figure met its goal.

#include <QCoreApplication>
#include <QString>
#include <QStringList>

// A size given on the command line ("--rows 1000000"), else the default.
inline long long sizeOption(const QString &name, long long fallback)
{
    const QStringList arguments = QCoreApplication::arguments();
    const qsizetype at = arguments.indexOf(name);
    return at >= 0 && at + 1 < arguments.size() ? arguments.at(at + 1).toLongLong() : fallback;
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
