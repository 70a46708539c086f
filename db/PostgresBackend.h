#pragma once

#include "db/Backend.h"

#include <QHash>
#include <functional>
#include <memory>
#include <vector>

class PgSession;
class PgCursor;

// Sessions to one server database that no connection uses any more, kept for the next: a
// window opens record sets one after another, and a new session costs the server a process.
class PgSessionPool
{
public:
    // `password` gives the password to send, asked when a session is made.
    PgSessionPool(const QString &connectionString, const QString &shownPath,
                  std::function<QString()> password);
    ~PgSessionPool();

    QString shownPath() const;
    // A session kept, or a new one. Throws DbError.
    std::unique_ptr<PgSession> take();
    // Keeps a session that is sound and idle, up to a few.
    void giveBack(std::unique_ptr<PgSession> session);

private:
    QString m_connectionString;
    QString m_shownPath;
    std::function<QString()> m_password;
    std::vector<std::unique_ptr<PgSession>> m_idle;
};

// A database on a PostgreSQL server: the program's statements in the server's dialect, rows
// keyed by the key column the program's tables have (see Schema::ServerKeyColumn) and versioned
// by the server's row version (xmin), so that a write of a row another user has changed since
// it was read changes nothing. Rows of a whole read come one at a time, as the server sends
// them. Changes of other connections show in a count of changes that the tables' triggers
// keep. A connection that was lost is made again at the next action. A connection holds a
// session of the window's pool only while it acts.
class PgConnection final : public DbConnection
{
public:
    // A connection over a session of the pool, which gets the session back at the end.
    explicit PgConnection(std::shared_ptr<PgSessionPool> pool);
    ~PgConnection() override;

    // The session held while rows come.
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
    // Makes the connection free for a statement: a session taken from the pool, the rows of a
    // cursor that still come taken in, a lost connection made again.
    void prepareForStatement();
    // Gives the session back to the pool between actions, unless rows still come or a
    // transaction is open: the record sets of a window share a session or two.
    void releaseIfIdle();
    // Runs a read; one that failed because the connection was lost is run once more on a new
    // connection, outside a transaction.
    template <typename Read> auto reading(Read &&read) -> decltype(read());
    std::unique_ptr<RowCursor> stream(const QString &sql, const QVariantList &parameters,
                                      int firstColumn);

    std::shared_ptr<PgSessionPool> m_pool;
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
