#pragma once

#include "db/Backend.h"

#include <memory>

class SqliteDatabase;
class SqliteStatement;

// A database file read and written through SQLite: the program's statements in SQLite's
// dialect, rows keyed by their rowid, a page of rows after or before a key read by the rowid's
// order, changes of other connections seen through the file's data version.
class SqliteConnection final : public DbConnection
{
public:
    // `file` is the SQLite file that is opened (an Access file's snapshot, for one);
    // `shownPath` the database as the user chose it. A non-empty `readOnlyReason` refuses every
    // write with that message.
    SqliteConnection(std::unique_ptr<SqliteDatabase> file, const QString &shownPath,
                     const QString &readOnlyReason = {});
    ~SqliteConnection() override;

    SqliteDatabase &file() { return *m_file; }

    QString databasePath() const override { return m_shownPath; }
    SourceShape describe(const Source &source) override;
    std::unique_ptr<RowCursor> read(const Source &source) override;
    qint64 count(const Source &source) override;
    std::unique_ptr<RowCursor> readPage(const Source &source, const SourceShape &shape,
                                        const PageRequest &page) override;
    StoredRow readRow(const QString &table, const QList<FieldInfo> &columns, RowKey key) override;
    quint64 changeCount() override;
    void requireWritable() override;
    RowKey insert(const QString &table, const QStringList &columns,
                  const QVariantList &values) override;
    int update(const QString &table, RowKey key, const QStringList &columns,
               const QVariantList &values) override;
    int remove(const QString &table, RowKey key) override;
    void begin() override;
    void commit() override;
    void rollback() override;

private:
    std::unique_ptr<SqliteDatabase> m_file;
    // Declared after the file: it goes first.
    std::unique_ptr<SqliteStatement> m_dataVersionStatement;
    QString m_shownPath;
    QString m_readOnlyReason;
    quint64 m_dataVersion = 0;
    quint64 m_changes = 0;
};
