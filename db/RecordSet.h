#pragma once

#include "core/DbError.h"
#include "db/FieldInfo.h"

#include <QList>
#include <QMap>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <QVariant>
#include <initializer_list>
#include <memory>
#include <vector>

class RepeatedTexts;
class SqliteDatabase;
class SqliteStatement;

// Holds a connection string and nothing else; record sets take it from here.
class Connection : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    QString connectionString() const { return m_connectionString; }
    void setConnectionString(const QString &text) { m_connectionString = text; }

private:
    QString m_connectionString;
};

// Rows of one table or one SELECT statement, read from the database file through a
// connection of its own. Rows are fetched lazily and kept once read; a record set over one
// table also writes: new rows, edited cells and deletions go to the file at once.
// Every failure is thrown as DbError.
class RecordSet : public QObject
{
    Q_OBJECT
public:
    ~RecordSet() override;

    QString connectionString() const { return m_connectionString; }
    // A different text closes the record set; the same text changes nothing.
    void setConnectionString(const QString &text);

    void open();
    // Discards unread rows and the connection; closing a closed record set does nothing.
    void close();
    bool isOpen() const { return m_statement != nullptr; }

    // --- Columns
    int fieldCount() const { return int(m_fields.size()); }
    const QList<FieldInfo> &fields() const { return m_fields; }
    // -1 when the record set has no such column.
    int fieldIndex(const QString &name) const;
    // The column that holds a reference list's names: the first one that takes text (the
    // first column of every well-formed list), -1 when there is none.
    int nameColumn() const;

    // --- Walking: a cursor over the rows, on the first row after open().
    // The exact number of rows.
    qint64 recordCount();
    void first();
    void next();
    // True once the last row has been passed, and at once for an empty result.
    bool eof();
    int currentRow() const { return m_current; }
    void setCurrentRow(int row);

    // The current row's value at a 0-based position, null for an empty cell.
    QVariant value(int position) const;
    // The same as text: an empty cell gives empty text.
    QString text(int position) const;
    // The current row's value of a named column; a name the record set lacks is an error.
    QVariant fieldByName(const QString &name) const;

    // --- Rows as a grid sees them
    int fetchedCount() const { return m_visibleRows; }
    bool allFetched() const { return m_exhausted; }
    // Reads up to `count` more rows; returns how many came.
    int fetch(int count);
    QVariant valueAt(int row, int column) const;
    qint64 rowidAt(int row) const { return m_rowids.at(size_t(row)); }

    // --- Writing (a table record set, or a SELECT over one table whose columns are all
    // the table's own).
    bool isEditable() const { return !m_baseTable.isEmpty(); }
    // Throws DbError ("Набор данных закрыт…") unless the record set is open.
    void requireOpen() const;
    QString baseTable() const { return m_baseTable; }
    // Adds one row whose first texts.size() columns take the texts, converted to the
    // columns' types; the row is in the file at once and is appended to the rows read.
    void appendRecord(const QStringList &texts);
    // Writes new values of some columns of one row (exactly that row, by its rowid).
    void updateRow(int row, const QMap<int, QVariant> &values);
    // Adds a row whose name column (see nameColumn()) takes the text, unchanged.
    void appendName(const QString &name);
    // Adds a row with some columns set (the others take their defaults); returns its index.
    // The row is kept among the rows read at `at` (the rows from there on move down by one),
    // or after them when `at` is out of range.
    int insertRow(const QMap<int, QVariant> &values, int at = -1);
    void deleteRow(int row);

Q_SIGNALS:
    // The rows are about to change as a whole (open, close, a new table or statement) /
    // have changed.
    void aboutToReset();
    void resetDone();
    // Rows first..last (0-based, inclusive) are about to come / have come into the rows
    // read: by fetching (the walk fetches too), appendRecord() or insertRow().
    void rowsAboutToBeAppended(int first, int last);
    void rowsAppended();
    // A row is about to come / has come into the rows read at `row`, before the rows read
    // (insertRow() with a position).
    void rowAboutToBeInserted(int row);
    void rowInserted();
    // A row is about to leave / has left the rows read (deleteRow()).
    void rowAboutToBeRemoved(int row);
    void rowRemoved();
    // A row's values were rewritten (updateRow()).
    void rowChanged(int row);

protected:
    explicit RecordSet(QObject *parent = nullptr);
    // The SELECT text in SQLite's dialect, and the table it reads when it is editable.
    struct Source
    {
        QString sql;
        QString editableTable; // empty: read-only
    };
    virtual Source source() const = 0;
    // Called by subclasses when their table name or statement changes.
    void sourceChanged();

private:
    void requireEditable() const;
    void requireRow(int row) const;
    bool ensureRow(int row);
    int fetchPages(int count);
    int fetchAll();
    // Keeps the statement's current row, its cells from `firstColumn` on.
    void storeCurrent(qint64 rowid, int firstColumn);
    // The row's values as the file holds them now.
    QVariantList readRow(qint64 rowid) const;
    QString quotedColumns() const;
    void storeRow(qint64 rowid, const QVariantList &values);
    // Makes the rows stored beyond the visible ones visible, with the signals a view needs.
    void announceStoredRows();
    void clearRows();

    QString m_connectionString;
    std::unique_ptr<SqliteDatabase> m_db;
    std::unique_ptr<SqliteStatement> m_statement;
    QString m_sql;
    QString m_baseTable;
    QList<FieldInfo> m_fields;
    // The rows read, kept flat (row r is cells r * width … r * width + width - 1) so that
    // reading many rows costs no allocation per row. Rows stored but not yet announced to
    // views lie beyond m_visibleRows.
    std::vector<qint64> m_rowids;
    std::vector<QVariant> m_cells;
    std::vector<RepeatedTexts> m_repeatedTexts; // one for each column of the statement
    int m_visibleRows = 0;
    QSet<qint64> m_insertedRowids; // rows this record set added, not to be read twice
    bool m_exhausted = true;
    qint64 m_nextRowid = 0; // the page after the rows read starts at this rowid
    bool m_hasRowid = false;
    int m_current = 0;
};

// Opens a table by name: every row and every column in the table's order.
class TableRecordSet : public RecordSet
{
    Q_OBJECT
public:
    explicit TableRecordSet(QObject *parent = nullptr) : RecordSet(parent) {}

    QString tableName() const { return m_tableName; }
    // A different name closes the record set; the same name changes nothing.
    void setTableName(const QString &name);

protected:
    Source source() const override;

private:
    QString m_tableName;
};

// Opens a SELECT statement written in the program's dialect.
class QueryRecordSet : public RecordSet
{
    Q_OBJECT
public:
    explicit QueryRecordSet(QObject *parent = nullptr) : RecordSet(parent) {}

    QString commandText() const { return m_commandText; }
    // A different text closes the record set; the same text changes nothing.
    void setCommandText(const QString &text);

protected:
    Source source() const override;

private:
    QString m_commandText;
};

// Points the connection at the database file and each record set at the connection: how a
// window readies its record sets for the file it works on.
void connectToDatabase(Connection &connection, const QString &databasePath,
                       std::initializer_list<RecordSet *> records);

// The refusals of a closed record set and of one that cannot be written, for the views that
// check before they ask the record set.
DbError closedRecordSetError();
DbError readOnlyError();
