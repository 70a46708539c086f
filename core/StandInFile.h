#pragma once

#include <QString>
#include <functional>
#include <optional>

// A database file that SQLite does not take but that the program reads through an SQLite file
// made of it (an Access file through its snapshot): the file read instead, and why the
// database may not be written.
struct StandInFile
{
    QString sqliteFile;
    QString readOnlyReason;
};

// Gives the stand-in of a file at a path, or nothing for a file it does not know.
using StandInFinder = std::function<std::optional<StandInFile>(const QString &path)>;
