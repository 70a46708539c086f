#pragma once

#include "core/StandInFile.h"
#include "db/Backend.h"

#include <QHash>
#include <memory>

// A database the program may work on: the file the user chose, found to be a database that
// holds the four tables. It is checked once, when it is opened; connections to it are made
// without checking again.
class Database
{
public:
    // Checks the database at the path: a missing file, a folder, an empty file, a file that is
    // no database, a damaged one, one another program holds and one without the four tables
    // each give a DbError that names the file. Nothing is ever created or changed on disk.
    static std::shared_ptr<const Database> open(const QString &path);

    // How files that SQLite does not take are read; installed once by the program.
    static void setStandInFinder(StandInFinder finder);

    QString path() const { return m_path; }
    // A new connection of its own.
    std::unique_ptr<DbConnection> connect() const;

private:
    Database(const QString &path, const QString &file, const QString &readOnlyReason);

    QString m_path;
    QString m_file;
    QString m_readOnlyReason;
};

// Opens each database once for those who share it (the record sets of one window).
class DatabaseOpener
{
public:
    std::shared_ptr<const Database> open(const QString &path);

private:
    QHash<QString, std::shared_ptr<const Database>> m_opened;
};
