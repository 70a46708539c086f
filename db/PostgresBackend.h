#pragma once

#include "db/Backend.h"

#include <QHash>
#include <memory>

class PgSession;
class PgCursor;

// A database on a PostgreSQL server: the program's statements in the server's dialect, rows
// keyed by the key column the program's tables have (see Schema::ServerKeyColumn) and versioned
// by the server's row version (xmin), so that a write of a row another user has changed since
// it was read changes nothing. Rows of a whole read come one at a time, as the server sends
// them. Changes of other connections show in a count of changes that the tables' triggers
// keep. A connection that was lost is made again at the next action.
class PgConnection final : public DbConnection
{
public:
    explicit PgConnection(std::unique_ptr<PgSession> session);
    ~PgConnection() override;

    PgSession &session() { return *m_session; }

    QString databasePath() const override;
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

    // Called by a cursor whose rows still come: the connection is free again.
    void streamEnded(PgCursor *cursor);

private:
    struct Table
    {
        qint64 oid = 0;
        QHash<int, QString> columnByNumber;
        QHash<int, QString> typeByNumber;
        QStringList shownColumns; // in their order, the key column left out
        bool keyed = false;
    };
    const Table &table(const QString &name);
    // The source's statement in the server's dialect; "*" over one table names its columns,
    // so that the key column stays out of sight.
    QString serverStatement(const Source &source);
    QString keyedStatement(const QString &sql);
    // Makes the connection free for a statement: the rows of a cursor that still come are
    // taken in, a lost connection is made again.
    void prepareForStatement();
    // Runs a read; one that failed because the connection was lost is run once more on a new
    // connection, outside a transaction.
    template <typename Read> auto reading(Read &&read) -> decltype(read());
    std::unique_ptr<RowCursor> stream(const QString &sql, const QVariantList &parameters,
                                      int firstColumn);

    std::unique_ptr<PgSession> m_session;
    QHash<QString, Table> m_tables;
    PgCursor *m_streaming = nullptr;
    quint64 m_changes = 0;
    // The server's count of changes when last read, and this connection's writes since.
    qint64 m_countedChanges = -1;
    qint64 m_ownWrites = 0;
    bool m_changesCounted = true;
    bool m_inTransaction = false;
};
