#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantList>

// What tests of the Access import share: the test files, the orvinta-db program, and a
// look into the native files it writes.

struct ToolRun
{
    int code = -1;
    QString out;
    QString err;
    qint64 elapsedMs = 0;
};

// Runs the built orvinta-db with the arguments.
ToolRun runOrvintaDb(const QStringList &arguments, int timeoutMs = 120000);

// Fails the test case in one clear line when the shared test files are not beside the
// repository (../shared/testdata), instead of failing later on a missing file.
void requireAccessTestFiles();

// A file of the shared Access test files.
QString accessTestFile(const QString &name);
QStringList accessTestFileNames();
QByteArray fileBytes(const QString &path);
void writeBytes(const QString &path, const QByteArray &bytes);

// A copy of the Jet 3 file test2V1997.mdb, whose header names code page 1252, with Latin
// words of a text turned into Cyrillic in Windows-1251 ("актгкл еат …").
QString withCyrillicText(const QString &copy);

// Tables of a native file in their order, and the rows of one (values as SQLite gives them).
QStringList nativeTables(const QString &path);
QStringList nativeColumns(const QString &path, const QString &table, QStringList *types = nullptr);
QList<QVariantList> nativeRows(const QString &path, const QString &table);

// Files in a folder, hidden ones too: a failed import leaves none behind.
QStringList filesIn(const QString &folder);
