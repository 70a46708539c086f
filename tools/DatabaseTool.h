#pragma once

#include <QStringList>
#include <QTextStream>

// The orvinta-db command: `create FILE`, `sample FILE`, `check FILE`, `optimize FILE`,
// `import-values CSV FILE`, `import [options] ACCESS FILE`, which converts an Access file into a
// new database, and `push FILE SERVER` / `pull SERVER FILE` between a file and a server
// database (SERVER: its connection file, which create, sample, check and optimize take too).
// Returns the process exit code; messages go to `out` and errors to `err`.
int runDatabaseTool(const QStringList &arguments, QTextStream &out, QTextStream &err);
