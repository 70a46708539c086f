#pragma once

#include "access/AccessFormat.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>

// One column of an Access table and the type it gets in the native file.
struct AccessColumn
{
    QString name;
    int type = 0;       // the Access type code
    QString nativeType; // INTEGER, REAL, TEXT, DATETIME or BLOB
    int scale = 0;      // digits after the point of a Decimal
};

class AccessTable;

// An Access (Jet 3, Jet 4 or ACE) file opened for reading through libmdb. libmdb can
// crash or loop on a damaged file, so only a worker process with limits opens one of an
// unknown origin (see AccessWorker.h). Every failure is a DbError that names the file.
class AccessDatabase
{
public:
    // `codePage` is the code page of Jet 3 texts ("1251", "CP1251", "windows-1251");
    // empty for the one the file names. Jet 4 and ACE texts are Unicode.
    explicit AccessDatabase(const QString &path, const QString &codePage = {});
    ~AccessDatabase();
    AccessDatabase(const AccessDatabase &) = delete;
    AccessDatabase &operator=(const AccessDatabase &) = delete;

    QString path() const;
    AccessFormat format() const;
    // The code page used for Jet 3 texts, e.g. "CP1252".
    QString codePage() const;
    // After its tables were read: the code page in which the Jet 3 texts read far more
    // plausibly than in the Windows-1252 that the file names (AccessValue::likelierCodePage),
    // when no code page was given; otherwise empty.
    QString likelierCodePage() const;
    // The user tables, in the order of the file's catalog.
    QStringList tableNames() const;
    std::unique_ptr<AccessTable> openTable(const QString &name);

    struct Handle;

private:
    std::unique_ptr<Handle> d;
};

// The rows of one table, read one at a time in the order of the file.
class AccessTable
{
public:
    ~AccessTable();
    AccessTable(const AccessTable &) = delete;
    AccessTable &operator=(const AccessTable &) = delete;

    QString name() const;
    const QList<AccessColumn> &columns() const;
    // The row count that the table's definition stores.
    qint64 storedRowCount() const;
    qint64 rowsRead() const;

    // Reads the next row, one value per column: null for NULL, qint64 for Yes/No and
    // whole numbers, double for Single, Double and Currency, QString for texts, memos,
    // dates, replication IDs and decimals, QByteArray for binary and OLE data. Returns
    // false after the last row. Rows that end before the stored count, or go past it,
    // and values that do not fit their page are errors.
    bool readRow(QVariantList &values);

    struct Cursor;

private:
    friend class AccessDatabase;
    explicit AccessTable(std::unique_ptr<Cursor> cursor);
    std::unique_ptr<Cursor> d;
};
