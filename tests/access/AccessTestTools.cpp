#include "tests/access/AccessTestTools.h"

#include "db/Sqlite.h"
#include "tests/support/TestDatabase.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTest>

ToolRun runOrvintaDb(const QStringList &arguments, int timeoutMs)
{
    ToolRun run;
    QProcess process;
    QElapsedTimer timer;
    timer.start();
    process.start(QStringLiteral(ORVINTA_DB_TOOL), arguments);
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        run.err = QStringLiteral("orvinta-db did not finish");
        return run;
    }
    run.elapsedMs = timer.elapsed();
    run.code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

void requireAccessTestFiles()
{
    const QString folder = QDir(testDataFolder()).filePath(QStringLiteral("access"));
    const QByteArray message = "the shared test files are missing: no *.mdb in " +
                               QDir(folder).absolutePath().toUtf8() +
                               " (../shared/testdata beside the repository)";
    QVERIFY2(!accessTestFileNames().isEmpty(), message.constData());
}

QString accessTestFile(const QString &name)
{
    return QDir(testDataFolder()).filePath(QStringLiteral("access/") + name);
}

QStringList accessTestFileNames()
{
    QStringList names = QDir(QDir(testDataFolder()).filePath(QStringLiteral("access")))
                            .entryList({QStringLiteral("*.mdb")}, QDir::Files, QDir::Name);
    // Kept in a folder of its own: a file of Decimal columns at several scales.
    const QString numeric = QStringLiteral("../access-numeric/fixedNumericTestV2003.mdb");
    if (!names.isEmpty() && QFileInfo::exists(accessTestFile(numeric)))
        names.append(numeric);
    return names;
}

QString withCyrillicText(const QString &copy)
{
    QByteArray bytes = fileBytes(accessTestFile(QStringLiteral("test2V1997.mdb")));
    const QByteArray latin = "aksdkl fas dlkjflkasjd flkjaslkdjflkajlksj dfl lkasjdf";
    const qsizetype at = bytes.indexOf(latin);
    for (qsizetype i = at; at >= 0 && i < at + latin.size(); ++i) {
        if (bytes.at(i) != ' ')
            bytes[i] = char(0xE0 + (bytes.at(i) - 'a')); // а, б, в… in Windows-1251
    }
    writeBytes(copy, bytes);
    return copy;
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

QStringList nativeTables(const QString &path)
{
    SqliteDatabase db(path, SqliteDatabase::OpenMode::ReadWrite);
    SqliteStatement statement(
        db, QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY rowid"));
    QStringList names;
    while (statement.step())
        names.append(statement.value(0).toString());
    return names;
}

QStringList nativeColumns(const QString &path, const QString &table, QStringList *types)
{
    SqliteDatabase db(path, SqliteDatabase::OpenMode::ReadWrite);
    SqliteStatement statement(db, QStringLiteral("SELECT name, type FROM pragma_table_info(?1)"));
    statement.bind(1, table);
    QStringList names;
    while (statement.step()) {
        names.append(statement.value(0).toString());
        if (types)
            types->append(statement.value(1).toString());
    }
    return names;
}

QList<QVariantList> nativeRows(const QString &path, const QString &table)
{
    SqliteDatabase db(path, SqliteDatabase::OpenMode::ReadWrite);
    QString quoted = table;
    quoted.replace(u'"', QStringLiteral("\"\""));
    SqliteStatement statement(db,
                              QStringLiteral("SELECT * FROM \"%1\" ORDER BY rowid").arg(quoted));
    QList<QVariantList> rows;
    while (statement.step()) {
        QVariantList row;
        for (int i = 0; i < statement.columnCount(); ++i)
            row.append(statement.value(i));
        rows.append(row);
    }
    return rows;
}

QStringList filesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}
