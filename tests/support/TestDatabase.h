#pragma once

#include "core/DbError.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariantList>
#include <memory>

class PgSession;
class SqliteDatabase;

// A real monitoring database in a temporary folder, made as orvinta-db makes one, with
// direct SQL access for arranging and checking rows. Where the test run has a server
// (ORVINTA_TEST_SERVER holds a connection string to it), the database is a new one on that
// server, and path() is its connection file.
class TestDatabase
{
public:
    // How the file is laid out, e.g. TestDatabase({.valueType = {}}).
    struct Layout
    {
        bool tables = true; // the four tables as orvinta-db makes them; an empty file if not
        // The declared type of "Значение"; an untyped column keeps stored texts texts.
        QString valueType = QStringLiteral("REAL");
        QString fileName = QStringLiteral("база.mdb");
    };

    TestDatabase();
    explicit TestDatabase(const Layout &layout);
    ~TestDatabase();

    // The connection string of the run's server; empty when the tests run on files.
    static QString testServer();

    QString path() const { return m_path; }
    bool onServer() const { return m_server != nullptr; }
    QString folder() const { return m_dir.path(); }
    QString connection() const; // the program's connection string for path()

    // The column that tells rows apart in raw SQL: SQLite's rowid, the server's key column.
    QString keyColumn() const;
    // A statement of the program's dialect in the database's own, for rows().
    QString dialect(const QString &statement) const;
    // Raw SQL in SQLite's dialect, which the server takes as well for what the tests ask:
    // "rowid" stands for the server's key column there, and "SELECT *" leaves that out.
    void exec(const QString &sql);
    // Rows of a raw query, each as a list of values.
    QList<QVariantList> rows(const QString &sql);
    QVariant scalar(const QString &sql);

    void addNames(const QString &table, const QStringList &names);
    // Adds rows of "Значения": discipline, criterion, ICT tool, value (number or text), date.
    void addValue(const QString &discipline, const QString &criterion, const QString &tool,
                  const QVariant &value, const QString &date = QStringLiteral("01.01.2024"));

private:
    QString onServer(const QString &sql) const;

    QTemporaryDir m_dir;
    QString m_path;
    std::unique_ptr<SqliteDatabase> m_db;
    std::unique_ptr<PgSession> m_server;
    QString m_serverDatabase;
};

// The folder of the shared test files (testdata), from the environment set by CTest.
QString testDataFolder();

// The message of the DbError that a call throws, or an empty text when it throws none.
template <typename Call> QString dbErrorOf(Call &&call)
{
    try {
        call();
    } catch (const DbError &e) {
        return e.message();
    }
    return {};
}
