#pragma once

#include "db/RepeatedTexts.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>
#include <vector>

class DbError;
struct pg_conn;
struct pg_result;

// What a server connection file holds: a libpq connection string ("host=… dbname=… user=…",
// "service=…"). Throws DbError naming the file when it cannot be read or holds nothing.
QString readServerFile(const QString &path);

// One result of the server, cleared when the object goes. Values are converted by their
// column's type: integers to qint64, floating and decimal numbers to double, bytea to bytes,
// booleans to 0 or 1, dates and every other type to their text in ISO form.
class PgResult
{
public:
    explicit PgResult(pg_result *result = nullptr) : m_result(result) {}
    ~PgResult();
    PgResult(PgResult &&other) noexcept;
    PgResult &operator=(PgResult &&other) noexcept;
    PgResult(const PgResult &) = delete;
    PgResult &operator=(const PgResult &) = delete;

    pg_result *handle() const { return m_result; }
    int rows() const;
    int columns() const;
    bool isNull(int row, int column) const;
    QVariant value(int row, int column, RepeatedTexts *texts = nullptr) const;
    qint64 int64Value(int row, int column) const;
    QString text(int row, int column) const;
    // The number of rows an INSERT, UPDATE or DELETE changed.
    int changedRows() const;

private:
    pg_result *m_result;
};

// One connection to a server database through libpq, closed when the object goes. Every
// parameter travels apart from the statement, as text; errors are thrown as DbError in
// Russian, naming the database as the user chose it (`shownPath`).
class PgSession
{
public:
    // Connects, with the password when the server asks for one and it is not empty. Throws
    // DbError; `needsPassword` says afterwards whether the server asked for a password that
    // was not given or not right.
    PgSession(const QString &connectionString, const QString &password, const QString &shownPath,
              bool *needsPassword = nullptr);
    ~PgSession();
    PgSession(const PgSession &) = delete;
    PgSession &operator=(const PgSession &) = delete;

    pg_conn *handle() const { return m_conn; }
    QString shownPath() const { return m_shownPath; }
    int backendPid() const;

    // Re-establishes a connection that was lost; true when it had to (whatever the session had
    // set up on the server is gone then). Throws DbError when the server cannot be reached.
    bool reconnectIfLost();
    bool isLost() const;

    // Runs one statement ($1, $2… for the parameters) and waits for its whole result.
    PgResult exec(const QString &sql, const QVariantList &parameters = {});
    // Runs statements separated by semicolons, without parameters.
    void execScript(const QString &sql);
    // Sends a statement whose rows are then taken one by one with PQgetResult.
    void sendSingleRows(const QString &sql, const QVariantList &parameters);
    // Throws the DbError of a result that failed; returns the result otherwise.
    PgResult checked(pg_result *result) const;
    // The error of the connection itself (a lost one, a refused login).
    DbError connectionError() const;

private:
    void setUp();

    pg_conn *m_conn = nullptr;
    QString m_shownPath;
};

// Rows sent to a table with COPY … FROM STDIN, in COPY's text format: many rows in few round
// trips. Nothing is kept unless finish() is called (within the caller's transaction).
class PgCopy
{
public:
    PgCopy(PgSession &session, const QString &table, const QStringList &columns);
    ~PgCopy();
    PgCopy(const PgCopy &) = delete;
    PgCopy &operator=(const PgCopy &) = delete;

    void add(const QVariantList &row);
    // Sends the rest and ends the copy; the number of rows copied.
    qint64 finish();

private:
    void send();

    PgSession &m_session;
    QByteArray m_buffer;
    qint64 m_rows = 0;
    bool m_open = true;
};

// The values of a parameter list as libpq takes them: UTF-8 texts, null for a null value.
class PgParameters
{
public:
    explicit PgParameters(const QVariantList &values);
    int count() const { return int(m_pointers.size()); }
    const char *const *values() const { return m_pointers.data(); }

private:
    std::vector<QByteArray> m_texts;
    std::vector<const char *> m_pointers;
};
