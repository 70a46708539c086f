#pragma once

#include "core/StandInFile.h"
#include "db/Backend.h"

#include <QHash>
#include <functional>
#include <memory>
#include <optional>

class PgSession;
class PgSessionPool;

// Asks the user for the password of a server database (the path of its connection file);
// nullopt when the user cancels.
using PasswordPrompt = std::function<std::optional<QString>(const QString &path)>;

// A database the program may work on: the file the user chose, found to be a database that
// holds the four tables, or the database on a server that a connection file (*.orvinta-server)
// names. It is checked once, when it is opened; connections to it are made without checking
// again.
class Database
{
public:
    // Checks the database at the path: a missing file, a folder, an empty file, a file that is
    // no database, a damaged one, one another program holds and one without the four tables
    // each give a DbError that names the file. Nothing is ever created or changed on disk.
    static std::shared_ptr<const Database> open(const QString &path);

    // How files that SQLite does not take are read; installed once by the program.
    static void setStandInFinder(StandInFinder finder);
    // How a server's password is asked for; without one, a server that wants a password is
    // refused. A password given is kept in memory for the session, never written anywhere.
    static void setPasswordPrompt(PasswordPrompt prompt);

    QString path() const { return m_path; }
    bool isOnServer() const { return m_sessions != nullptr; }
    // Why several users should not share this file; empty when nothing speaks against it.
    QString sharingWarning() const { return m_sharingWarning; }
    // A new connection of its own.
    std::unique_ptr<DbConnection> connect() const;

private:
    Database() = default;
    static std::shared_ptr<const Database> openOnServer(const QString &path);

    QString m_path;
    QString m_file;
    QString m_readOnlyReason;
    QString m_sharingWarning;
    std::shared_ptr<PgSessionPool> m_sessions;
};

// Whether a path names a server database's connection file rather than a database file.
bool isServerFile(const QString &path);

// A connection to the server database that a connection file names, the password asked for
// when the server wants one (see Database::setPasswordPrompt). Throws DbError.
std::unique_ptr<PgSession> connectToServer(const QString &serverFile);

// Opens each database once for those who share it (the record sets of one window).
class DatabaseOpener
{
public:
    std::shared_ptr<const Database> open(const QString &path);

private:
    QHash<QString, std::shared_ptr<const Database>> m_opened;
};
