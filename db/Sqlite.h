#pragma once

#include "db/RepeatedTexts.h"

#include <QElapsedTimer>
#include <QString>
#include <QVariant>

class DbError;
struct sqlite3;
struct sqlite3_stmt;

// SQLite's report of a failure in Russian: a sentence that names the table and column where
// SQLite names them, followed by SQLite's own text for reference. A failure that has no
// sentence of its own keeps SQLite's text alone.
QString sqliteErrorMessage(int extendedCode, const QString &sqliteText);

// One SQLite connection, closed when the object goes. Errors are thrown as DbError.
class SqliteDatabase
{
public:
    enum class OpenMode
    {
        ReadWrite,
        CreateNew
    };

    // How long a connection waits for another one that holds the file (ours or a foreign
    // program's) before it reports the file as busy; for every connection opened later.
    static void setBusyTimeout(int milliseconds);

    // Opens without ever creating a file (ReadWrite), or creates a new one (CreateNew).
    // A file the user may not write is opened read-only.
    SqliteDatabase(const QString &path, OpenMode mode);
    ~SqliteDatabase();
    SqliteDatabase(const SqliteDatabase &) = delete;
    SqliteDatabase &operator=(const SqliteDatabase &) = delete;

    sqlite3 *handle() const { return m_db; }
    QString path() const { return m_path; }
    bool isReadOnly() const;

    // Whether the file opened is still the one at its path: a write to a file that was
    // deleted, moved away or replaced would reach nobody.
    enum class FileAtPath
    {
        Same,
        Gone,
        Replaced
    };
    FileAtPath fileAtPath() const;

    // Runs statements that return no rows.
    void exec(const QString &sql);
    // The connection's last error, for messages.
    QString lastError() const;
    qint64 lastInsertRowid() const;
    int changes() const;

    // Called after every call into SQLite that may have waited for another program: ends the
    // wait shown to the user. A wait the user cancelled is reported once, by the next failure.
    void endWait() const;
    // The error of the call that just failed, naming the file where the file system is the
    // cause, or the user's cancelling of a wait.
    DbError lastFailure() const;

private:
    // SQLite's busy handler: waits in short sleeps, shows the wait to the user after a moment,
    // and gives up after the busy timeout or when the user cancels.
    static int onBusy(void *self, int count);
    int waitWhileBusy(int count);

    sqlite3 *m_db = nullptr;
    QString m_path;
    // The wait for another program that holds the file.
    QElapsedTimer m_busySince;
    mutable bool m_waiting = false;
    mutable bool m_waitCancelled = false;
    // The file's identity when it was opened.
    quint64 m_device = 0;
    quint64 m_inode = 0;
};

// One prepared statement, finalised when the object goes.
class SqliteStatement
{
public:
    SqliteStatement(const SqliteDatabase &db, const QString &sql);
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement &) = delete;
    SqliteStatement &operator=(const SqliteStatement &) = delete;

    // Advances to the next row; false when there is none left.
    bool step();
    void reset();

    // Binds a value to the 1-based parameter: null, integer, double, bytes or text.
    void bind(int parameter, const QVariant &value);

    int columnCount() const;
    // The current row's value: null, qint64, double, QString or QByteArray. With a cache, a
    // text met before is not decoded again but shared.
    QVariant value(int column, RepeatedTexts *texts = nullptr) const;
    qint64 int64Value(int column) const;
    bool isNull(int column) const;
    QString columnName(int column) const;
    QString declaredType(int column) const;
    // The table column a result column comes from, empty for an expression.
    QString originName(int column) const;
    QString originTable(int column) const;

    sqlite3_stmt *handle() const { return m_statement; }

private:
    const SqliteDatabase &m_db;
    sqlite3_stmt *m_statement = nullptr;
    QString m_sql;
};
