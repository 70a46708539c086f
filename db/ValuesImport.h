#pragma once

#include "core/Csv.h"

#include <QDate>
#include <QString>
#include <QStringList>

class DbConnection;

// Values kept in a spreadsheet until now, added to "Значения" from a CSV file: its columns found
// by their titles in the first line (Дисциплина, Критерий, Средство_ИКТ or Средство ИКТ,
// Значение, Дата, in any order and case; others are left aside), every value read as a typed
// one is (a number with a decimal comma or point, a date as dd.mm.yyyy or yyyy-mm-dd, an empty
// date as today), and all of it added in one transaction or none of it.
struct ValuesImport
{
    bool addNames = false; // names not in the reference tables are added to them
    QDate today;           // the date of a value whose date is empty

    // What happened, in words for the user.
    struct Report
    {
        CsvTable::Encoding encoding = CsvTable::Encoding::Utf8;
        QChar separator;
        int rowsRead = 0;
        int rowsAdded = 0;
        QStringList problems; // the first ones, each naming its line and column
        int problemCount = 0;
        QStringList unknownNames; // "дисциплина «…»", in the order they were met
        int namesAdded = 0;

        bool succeeded() const { return problemCount == 0; }
        // The report as the lines that orvinta-db prints and the companion shows.
        QStringList lines(const QString &csvPath) const;
    };

    // The most problems listed one by one; the rest are counted.
    static constexpr int ListedProblems = 50;

    // Reads the file and adds its values through the connection. A problem of the file as a
    // whole (it cannot be read, a column is missing) throws DbError; problems of single lines
    // are reported, and then nothing is added.
    Report run(const QString &csvPath, DbConnection &connection) const;
};
