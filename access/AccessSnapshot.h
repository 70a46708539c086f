#pragma once

#include "core/StandInFile.h"

#include <QString>
#include <QStringList>

// The program reads an Access file through a native copy of it, a snapshot, that the
// orvinta-db program makes in a child process; the database layer itself never links the
// Access reader. Snapshots live in the user's cache folder ("access-snapshots" under
// QStandardPaths::CacheLocation, or under the temporary folder when there is none), one
// per file, named after the file's canonical path, size and modification time, so the
// many record sets of the windows convert a file once and a changed file again.

// Where the converter is looked for: "orvinta-db" next to the running program (the build
// puts both programs in one folder, and so does an installation), then in the folder the
// programs are installed to, then in every folder of `searchPath` (PATH). Empty when none
// of them holds an executable file.
QString findConverterProgram(const QString &applicationDir, const QString &installedDir,
                             const QStringList &searchPath);

// The converter this process uses: the one set by setConverterProgram(), else the one
// findConverterProgram() finds for this program, the installation's bin folder and $PATH.
// Throws DbError when there is none.
QString converterProgram();
// Fixes the converter (tests, and orvinta-db itself); an empty text restores the search.
void setConverterProgram(const QString &program);

// Where the snapshot of an Access file in its present state (size, modification time)
// lives, made or not. Throws DbError when the file does not exist.
QString accessSnapshotPath(const QString &accessPath);

// The snapshot of an Access file: reused when it exists, else made now (see
// convertAccessFile()). The snapshot is made read-only on disk. Throws DbError naming the
// Access file when it cannot be read.
QString accessSnapshotOf(const QString &accessPath);

// While a snapshot is made, which may take a while for a large file, the process's waiter
// (core/Waiting.h) is asked to go on, and may cancel it.

// Whether a database file is one of the snapshots.
bool isAccessSnapshot(const QString &databasePath);

// What the user is told when a write to an Access file is refused: the file, and the
// orvinta-db import command that makes an editable copy of it.
QString accessReadOnlyMessage(const QString &accessPath);

// How the program reads an Access file: through its snapshot, and never writing it. Nothing
// for a file that is no Access file.
std::optional<StandInFile> accessStandIn(const QString &path);
