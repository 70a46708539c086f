#pragma once

#include <QStringList>
#include <QTextStream>
#include <functional>

class AccessDatabase;
class SqliteDatabase;

// Writes every user table of an Access file into a new native database: the same table
// and column names in the same order, with the types of AccessColumn::nativeType, in one
// transaction. `tableDone` hears of each table with the rows written and the rows its
// definition counts (which Access does not always keep up to date).
void copyAccessTables(
    AccessDatabase &source, SqliteDatabase &destination,
    const std::function<void(const QString &table, qint64 rows, qint64 described)> &tableDone);

// The worker process of an import (`orvinta-db access-worker`, started by
// convertAccessFile(), never by a user):
//   access-worker [--code-page CP] [--memory-limit MB] [--cpu-limit S] [--size-limit BYTES] SOURCE
//   DESTINATION
// It first limits itself (address space, processor time, size of files written, no core
// dump), since libmdb may crash or loop on a damaged file, then makes DESTINATION, which
// must be a new or empty file. Prints "table\t<rows>\t<name>" after each table and "done"
// at the end on `out`; a failure it understands ends it with "error\t<message>" there and
// code 1. `err` is left to libmdb and the C library, and to wrong arguments (code 2).
int runAccessWorker(const QStringList &arguments, QTextStream &out, QTextStream &err);
