#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// A spreadsheet's values saved as CSV: the text decoded (UTF-8 with or without its byte-order
// mark, or Windows-1251, which Russian spreadsheets write), the separator found (";", "," or a
// tab, whichever splits the first record into the most fields), and the records read, each
// with the number of the line it starts on. Quoted fields may hold separators, doubled quotes
// and line breaks.
struct CsvTable
{
    enum class Encoding
    {
        Utf8,
        Windows1251,
    };

    Encoding encoding = Encoding::Utf8;
    QChar separator = u';';
    QList<QStringList> records;
    QList<int> lines; // the 1-based line each record starts on
    // A quote opened and never closed: the records up to it are read, the rest is not.
    int unclosedQuoteLine = 0;
};

CsvTable readCsv(const QByteArray &bytes);
// The same with the separator given.
CsvTable readCsv(const QByteArray &bytes, QChar separator);

// The name of an encoding as the user is told it ("UTF-8", "Windows-1251").
QString encodingName(CsvTable::Encoding encoding);

// Windows-1251 bytes as text.
QString fromWindows1251(const QByteArray &bytes);
