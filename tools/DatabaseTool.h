#pragma once

#include <QStringList>
#include <QTextStream>

// The orvinta-db command: `create FILE`, `sample FILE`, `check FILE`, and
// `import [options] ACCESS FILE`, which converts an Access file into a new database.
// Returns the process exit code; messages go to `out` and errors to `err`.
int runDatabaseTool(const QStringList &arguments, QTextStream &out, QTextStream &err);
