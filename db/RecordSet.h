#pragma once

#include "core/DbError.h"
#include "db/Backend.h"
#include "db/FieldInfo.h"

#include <QList>
#include <QMap>
#include <QObject>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <initializer_list>
#include <memory>

class Database;
class DatabaseOpener;
class RowStore;

// Holds a connection string and nothing else; record sets take it from here. The opener it
// carries (that of its window) checks the database once for all its record sets.
class Connection : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    QString connectionString() const { return m_connectionString; }
    void setConnectionString(const QString &text) { m_connectionString = text; }
    DatabaseOpener *opener() const { return m_opener; }
    void setOpener(DatabaseOpener *opener) { m_opener = opener; }

private:
    QString m_connectionString;
    DatabaseOpener *m_opener = nullptr;
};

// Rows of one table or one statement, read from the database through a connection of its
// own. A view reads them as it needs them, by row (RowStore keeps pages of them around what
// was asked); a reader that only goes through them once streams them (forEachRow). A record
// set over one table also writes: new rows, edited cells and deletions reach the database at
// once, each row by its key. Every failure is thrown as DbError.
class RecordSet : public QObject
{
    Q_OBJECT
public:
    ~RecordSet() override;

    QString connectionString() const { return m_connectionString; }
    // A different text closes the record set; the same text changes nothing.
    void setConnectionString(const QString &text);
    // The opener that checks the database once for every record set that shares it (those of
    // one window); without one, the record set checks the database itself when it opens.
    void setOpener(DatabaseOpener *opener) { m_opener = opener; }

    void open();
    // Forgets the rows and the connection; closing a closed record set does nothing.
    void close();
    bool isOpen() const { return m_connection != nullptr; }

    // --- Columns
    int fieldCount() const { return int(m_shape.fields.size()); }
    const QList<FieldInfo> &fields() const { return m_shape.fields; }
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
    void setCurrentRow(int row) { m_current = row; }
    // The current row's value at a 0-based position, null for an empty cell.
    QVariant value(int position) const;
    // The same as text: an empty cell gives empty text.
    QString text(int position) const;
    // The current row's value of a named column; a name the record set lacks is an error.
    QVariant fieldByName(const QString &name) const;

    // --- Reading once, without keeping the rows: the statement runs anew and each row is
    // handed over as it comes; in the order the rows are shown (the order of their keys, for
    // an editable statement), or in any order the database reads fastest.
    enum class RowOrder
    {
        AsShown,
        Any,
    };
    void forEachRow(const std::function<void(const RowCursor &row)> &visit,
                    RowOrder order = RowOrder::AsShown);

    // --- Rows as a view sees them
    // The exact number of rows; read from the database the first time it is asked.
    int rowCount();
    QVariant valueAt(int row, int column);
    RowKey keyAt(int row);
    // Where a row read lately stands now; -1 when it is not among them.
    int rowOf(RowKey key) const;
    // Reads the count and the rows anew when another connection changed them since they were
    // read, and tells the views (refreshed()); true when it did.
    bool refresh();

    // --- Writing (a table record set, or a statement over one table whose columns are all
    // the table's own and that asks for no order of its own).
    bool isEditable() const { return m_shape.isEditable(); }
    // Throws DbError ("Набор данных закрыт…") unless the record set is open.
    void requireOpen() const;
    QString baseTable() const { return m_shape.editableTable; }
    // Adds one row whose first texts.size() columns take the texts, converted to the
    // columns' types; the row is in the database at once and is the last of the rows.
    void appendRecord(const QStringList &texts);
    // Adds a row whose name column (see nameColumn()) takes the text, unchanged.
    void appendName(const QString &name);
    // Adds a row with some columns set (the others take their defaults). Returns where it
    // stands among the rows (the last, in the order of their keys), or -1 when the statement
    // does not select it.
    int insertRow(const QMap<int, QVariant> &values);
    // Writes new values of some columns of one row: exactly that row, by its key, wherever
    // it stands now.
    void updateRow(int row, const QMap<int, QVariant> &values);
    void updateRow(RowKey key, const QMap<int, QVariant> &values);
    void deleteRow(int row);

Q_SIGNALS:
    // The rows are about to change as a whole (open, close, a new table or statement) /
    // have changed.
    void aboutToReset();
    void resetDone();
    // Rows first..last (0-based, inclusive) are about to come / have come: a row written.
    void rowsAboutToBeInserted(int first, int last);
    void rowsInserted();
    // A row is about to leave / has left the rows (deleteRow()).
    void rowAboutToBeRemoved(int row);
    void rowRemoved();
    // A row's values were rewritten (updateRow()).
    void rowChanged(int row);
    // The count and the rows were read anew (another connection changed them): any row may
    // differ, and the count may have grown or shrunk.
    void refreshed();

protected:
    explicit RecordSet(QObject *parent = nullptr);
    virtual Source source() const = 0;
    // Called by subclasses when their table name or statement changes.
    void sourceChanged();

private:
    void requireEditable();
    void requireRow(int row);
    QVariantList converted(const QMap<int, QVariant> &values, QStringList &columns) const;
    // The refusal of a write to a row another user changed meanwhile: the columns' values
    // as they are now, and what became of the write.
    DbError changedMeanwhile(const StoredRow &stored, const QList<int> &columns,
                             const QString &outcome) const;
    // Tells the views, once control is back in the event loop, that the store read everything
    // anew while answering them.
    void noticeRefresh();

    QString m_connectionString;
    DatabaseOpener *m_opener = nullptr;
    std::shared_ptr<const Database> m_database;
    std::unique_ptr<DbConnection> m_connection;
    std::unique_ptr<RowStore> m_rows;
    Source m_source;
    SourceShape m_shape;
    quint64 m_seenGeneration = 0;
    bool m_refreshQueued = false;
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

// Opens a statement written in the program's dialect, with its parameters.
class QueryRecordSet : public RecordSet
{
    Q_OBJECT
public:
    explicit QueryRecordSet(QObject *parent = nullptr) : RecordSet(parent) {}

    // The statement as a person reads it, its parameters written in.
    QString commandText() const { return m_statement.displayText(); }
    // A statement without parameters. A different text closes the record set; the same
    // text changes nothing.
    void setCommandText(const QString &text) { setSource({text, {}}); }
    void setSource(const Source &source);

protected:
    Source source() const override;

private:
    Source m_statement;
};

// Points the connection at the database and each record set at the connection: how a window
// readies its record sets for the database it works on.
void connectToDatabase(Connection &connection, const QString &databasePath,
                       std::initializer_list<RecordSet *> records);

// The refusals of a closed record set and of one that cannot be written, for the views that
// check before they ask the record set.
DbError closedRecordSetError();
DbError readOnlyError();
