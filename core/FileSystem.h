#pragma once

#include <QString>
#include <functional>
#include <optional>

// What kind of file system holds a path. A database on a network share must not be shared
// through SQLite's locks, and the kernel's own file systems (/proc, /sys, /dev) hold no
// documents: reading one of their files may block forever.
enum class FileSystemKind
{
    Local,
    Network,
    Virtual,
};

// The file system of the path, or of its nearest folder that exists. Looks only at the file
// system's type: never opens or reads a file.
FileSystemKind fileSystemKind(const QString &path);

// Tests stand a file system of their choice in for the real one: the type number that
// statfs(2) would report for a path; nullopt leaves the path to statfs. An empty probe ends it.
using FileSystemTypeProbe = std::function<std::optional<unsigned long>(const QString &path)>;
void setFileSystemTypeProbe(FileSystemTypeProbe probe);

// Why a database file in this place should not be shared by several users (a network share:
// SQLite's locks are not to be trusted there); empty for a local file.
QString sharedFileWarning(const QString &path);

// What is about to be done with a file.
enum class FileUse
{
    Read,   // an existing file is read
    Write,  // an existing file is changed, with a journal written beside it
    Create, // a file is made at the path (whether one may be replaced is the caller's call)
};

// Why the file cannot be used so, in the user's words, naming the file or folder that stands in
// the way and the cause (a missing folder, a folder where a file should be, a special file, a
// read-only disk, no permission); empty when the file system shows nothing in the way. Looks
// only at names and permissions: never opens or reads a file, so it never blocks.
QString fileUseProblem(const QString &path, FileUse use);

// Whether the file is simply not there: its folder exists and may be looked into.
bool isMissingFile(const QString &path);
