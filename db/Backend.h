#pragma once

#include "db/FieldInfo.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <compare>
#include <memory>

// The seam between the record sets and a database: a file through SQLite, or a server. Above
// it nothing names a database engine; below it each engine translates the program's statements
// into its own dialect, reads rows and writes them, and reports failures as DbError of a kind.

// A row's identity in its table, whatever the database: SQLite's rowid, the key column of a
// server's table. Rows are written and deleted by it, so a write reaches exactly the row shown
// however many rows were added or deleted around it.
// A server also gives the row's version as it was read: a write of the row is refused when
// another user has changed it since. Rows are told apart by the key alone.
struct RowKey
{
    qint64 value = 0;
    qint64 version = 0; // 0: none read, nothing checked
    friend bool operator==(const RowKey &a, const RowKey &b) { return a.value == b.value; }
    friend auto operator<=>(const RowKey &a, const RowKey &b) { return a.value <=> b.value; }
};

// A row as its table holds it now: its key, with its version, and its values.
struct StoredRow
{
    RowKey key;
    QVariantList values;
};

// A statement in the program's dialect and its parameters. Each "?" outside a literal stands
// for the next parameter: a text the user typed reaches the database only as a parameter,
// never inside the statement.
struct Source
{
    QString statement;
    QVariantList parameters;

    // The statement as a person reads it: each parameter written in as a literal between
    // double quotes ("…").
    QString displayText() const;
    bool operator==(const Source &) const = default;
};

// What the rows of a source look like: their columns, and the table they can be written to.
struct SourceShape
{
    QList<FieldInfo> fields;
    // Empty: the rows can only be read (an expression, a join, an order of the statement's
    // own, which a keyed read would lose).
    QString editableTable;
    bool isEditable() const { return !editableTable.isEmpty(); }
};

// Rows read forward once; nothing is kept but the current row.
class RowCursor
{
public:
    virtual ~RowCursor() = default;
    // Moves to the next row (the first, at the start); false past the last.
    virtual bool next() = 0;
    virtual int columnCount() const = 0;
    // The current row's value: null, qint64, double, QString or QByteArray.
    virtual QVariant value(int column) const = 0;
    // The same as text (as textOf() gives it), without a QVariant on the way.
    virtual QString text(int column) const = 0;
    virtual bool isNull(int column) const = 0;
    // The current row's key, where the rows are read with their keys.
    virtual RowKey key() const = 0;
};

// Which rows of a source a page holds. Rows of an editable source come in the order of their
// keys, each with its key; those of a read-only source in the source's own order.
struct PageRequest
{
    enum class From
    {
        Start,  // the first rows
        After,  // the rows after `key` (editable sources)
        Before, // the rows before `key`, nearest first (editable sources)
        End,    // the last rows, the last first (editable sources)
        Offset, // the rows from the 0-based position `offset` on
        Key,    // the row of `key` alone, if the source holds it (editable sources)
    };
    From from = From::Start;
    RowKey key;
    qint64 offset = 0;
    int limit = 0; // a negative limit: every row from there on
};

// The statement that reads one page of a source's rows, for a backend to run: over `keyed` (the
// source's statement with each row's key first, named `keyAlias`) in the order of the keys,
// or, with `keyed` empty, over `plain` by position in its own order. The page's own values
// follow the source's parameters, at the placeholders `first` and `second`; `everyRow` is the
// limit that reads every row from there on. A page by key of a read-only source is a logic
// error.
struct PageStatement
{
    QString sql;
    QVariantList parameters; // the page's own, after the source's
};
PageStatement pageStatement(const QString &plain, const QString &keyed, const QString &keyAlias,
                            const PageRequest &page, const QString &first, const QString &second,
                            const QVariant &everyRow);

// One connection to a database.
class DbConnection
{
public:
    virtual ~DbConnection() = default;

    // The database as the user chose it, for messages.
    virtual QString databasePath() const = 0;

    // --- Reading
    virtual SourceShape describe(const Source &source) = 0;
    // Every row of the source, forward, in the order the database gives them.
    virtual std::unique_ptr<RowCursor> read(const Source &source) = 0;
    virtual qint64 count(const Source &source) = 0;
    virtual std::unique_ptr<RowCursor> readPage(const Source &source, const SourceShape &shape,
                                                const PageRequest &page) = 0;
    // The row's values of the columns (their origin columns), as the table holds them now;
    // throws DbError when the row is no longer there.
    virtual StoredRow readRow(const QString &table, const QList<FieldInfo> &columns,
                              RowKey key) = 0;
    // Grows whenever the data was changed by another connection since the last call: rows read
    // before may be out of date.
    virtual quint64 changeCount() = 0;

    // --- Writing
    // Throws DbError, saying why, when the database may not be written now: a read-only file,
    // one that was deleted or replaced since it was opened.
    virtual void requireWritable() = 0;
    // Values go to the named columns (origin columns); the rest take their defaults.
    virtual RowKey insert(const QString &table, const QStringList &columns,
                          const QVariantList &values) = 0;
    // The number of rows changed: 0 when the row is no longer there, or when the key holds a
    // version and another user has changed the row since.
    virtual int update(const QString &table, RowKey key, const QStringList &columns,
                       const QVariantList &values) = 0;
    virtual int remove(const QString &table, RowKey key) = 0;

    // --- Transactions: all or nothing of the writes between begin() and commit().
    virtual void begin() = 0;
    virtual void commit() = 0;
    virtual void rollback() = 0;
};
