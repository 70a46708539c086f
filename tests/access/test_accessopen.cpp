#include "access/AccessSnapshot.h"
#include "core/DbError.h"
#include "db/ConnectionString.h"
#include "db/RecordSet.h"
#include "db/forms/ReferenceList.h"
#include "tests/access/AccessTestTools.h"
#include "tests/support/TestDatabase.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

void makeExecutable(const QString &path)
{
    writeBytes(path, "#!/bin/sh\n");
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

QString openError(TableRecordSet &table)
{
    return dbErrorOf([&] { table.open(); });
}

} // namespace

class TestAccessOpen : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void converterIsFoundBesideTheProgram();
    void accessFileIsConvertedOnceAndKeptApart();
    void missingTablesNameTheAccessFile();
    void snapshotServesTheWindowsAndRefusesWrites();
    void aDoubtedCodePageIsNamedInTheRefusal();

private:
    QTemporaryDir m_cache;
};

void TestAccessOpen::initTestCase()
{
    requireAccessTestFiles();
    // Snapshots go to a cache folder of this test alone.
    qputenv("XDG_CACHE_HOME", QFile::encodeName(m_cache.path()));
    setConverterProgram(QStringLiteral(ORVINTA_DB_TOOL));
}

void TestAccessOpen::cleanupTestCase()
{
    setConverterProgram({});
}

void TestAccessOpen::converterIsFoundBesideTheProgram()
{
    QTemporaryDir root;
    for (const char *folder : {"app", "installed", "other", "bin"})
        QVERIFY(QDir(root.path()).mkpath(QString::fromLatin1(folder)));
    const QString app = root.filePath(u"app"_s);
    const QString installed = root.filePath(u"installed"_s);
    const QStringList path = {root.filePath(u"other"_s), root.filePath(u"bin"_s)};
    const auto found = [&] { return findConverterProgram(app, installed, path); };

    QCOMPARE(found(), QString());
    // A file that cannot be run is no converter.
    writeBytes(root.filePath(u"bin/orvinta-db"_s), "text");
    QCOMPARE(found(), QString());
    makeExecutable(root.filePath(u"bin/orvinta-db"_s));
    QCOMPARE(found(), root.filePath(u"bin/orvinta-db"_s));
    // The installation's folder comes before PATH...
    makeExecutable(root.filePath(u"installed/orvinta-db"_s));
    QCOMPARE(found(), root.filePath(u"installed/orvinta-db"_s));
    // ...and the program's own folder before both.
    makeExecutable(root.filePath(u"app/orvinta-db"_s));
    QCOMPARE(found(), root.filePath(u"app/orvinta-db"_s));

    // What this test uses, set above, wins over any search.
    QCOMPARE(converterProgram(), QStringLiteral(ORVINTA_DB_TOOL));
}

void TestAccessOpen::accessFileIsConvertedOnceAndKeptApart()
{
    QTemporaryDir dir;
    const QString access = dir.filePath(u"старый файл.mdb"_s);
    QVERIFY(QFile::copy(accessTestFile(u"testIndexCodesV1997.mdb"_s), access));
    const QByteArray original = fileBytes(access);
    const QDateTime modified = QFileInfo(access).lastModified();

    const QString snapshot = accessSnapshotOf(access);
    QCOMPARE(snapshot, accessSnapshotPath(access));
    QVERIFY(isAccessSnapshot(snapshot));
    QVERIFY(!isAccessSnapshot(access));
    QVERIFY(snapshot.startsWith(m_cache.path()));
    QCOMPARE(nativeRows(snapshot, u"Table1"_s).size(), 275);
    QVERIFY(!(QFile::permissions(snapshot) &
              (QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther)));
    const QDateTime made = QFileInfo(snapshot).lastModified();

    // The second time the snapshot is there: nothing is converted again.
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(accessSnapshotOf(access), snapshot);
    QVERIFY(timer.elapsed() < 200);
    QCOMPARE(QFileInfo(snapshot).lastModified(), made);

    // A changed file gets a new snapshot, and the old one goes.
    QFile file(access);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.setFileTime(modified.addSecs(60), QFileDevice::FileModificationTime));
    file.close();
    const QString changed = accessSnapshotOf(access);
    QVERIFY(changed != snapshot);
    QVERIFY(!QFileInfo::exists(snapshot));
    QCOMPARE(fileBytes(access), original);
}

void TestAccessOpen::missingTablesNameTheAccessFile()
{
    QTemporaryDir dir;
    const QString access = dir.filePath(u"проект.mdb"_s);
    QVERIFY(QFile::copy(accessTestFile(u"test2V2003.mdb"_s), access));
    const QByteArray original = fileBytes(access);
    TableRecordSet table;
    table.setConnectionString(connectionString(access));
    table.setTableName(u"Критерии"_s);
    const QString message = openError(table);
    QVERIFY2(message.startsWith(u"В базе данных «%1» нет: таблица «Дисциплины»"_s.arg(access)),
             qPrintable(message));
    QVERIFY(message.contains(u"таблица «Значения»"_s));
    QCOMPARE(fileBytes(access), original);
    QCOMPARE(filesIn(dir.path()), QStringList({u"проект.mdb"_s}));

    // A damaged Access file is named in the error too, and no snapshot is left of it.
    const QString broken = dir.filePath(u"обрезан.mdb"_s);
    writeBytes(broken, original.left(original.size() - 100));
    table.setConnectionString(connectionString(broken));
    const QString damaged = openError(table);
    QVERIFY2(damaged.contains(broken) && damaged.contains(u"обрезан"_s), qPrintable(damaged));
    QVERIFY(!QFileInfo::exists(accessSnapshotPath(broken)));
}

void TestAccessOpen::snapshotServesTheWindowsAndRefusesWrites()
{
    // None of the real Access test files holds the program's four tables, so the snapshot
    // of one is made here from a monitoring database; everything after that is the path a
    // converted file takes.
    QTemporaryDir dir;
    const QString access = dir.filePath(u"мониторинг.mdb"_s);
    QVERIFY(QFile::copy(accessTestFile(u"noRoman.mdb"_s), access));
    const QByteArray original = fileBytes(access);
    {
        TestDatabase monitoring;
        monitoring.addNames(u"Дисциплины"_s, {u"Информатика"_s, u"Физика"_s});
        monitoring.addNames(u"Критерии"_s, {u"Успеваемость"_s});
        monitoring.addNames(u"Средство_ИКТ"_s, {u"Проектор"_s});
        monitoring.addValue(u"Информатика"_s, u"Успеваемость"_s, u"Проектор"_s, 4.5);
        monitoring.addValue(u"Физика"_s, u"Успеваемость"_s, u"Проектор"_s, 3.5);
        monitoring.exec(u"PRAGMA journal_mode = DELETE"_s);
        QVERIFY(QDir().mkpath(QFileInfo(accessSnapshotPath(access)).absolutePath()));
        QVERIFY(QFile::copy(monitoring.path(), accessSnapshotPath(access)));
    }

    TableRecordSet disciplines;
    disciplines.setConnectionString(connectionString(access));
    disciplines.setTableName(u"Дисциплины"_s);
    disciplines.open();
    QComboBox list;
    appendReferenceNames(disciplines, {&list});
    QCOMPARE(list.count(), 2);
    QCOMPARE(list.itemText(1), u"Физика"_s);

    QueryRecordSet values;
    values.setConnectionString(connectionString(access));
    values.setCommandText(u"SELECT * FROM Значения WHERE (Значения.Дисциплина)=(\"Физика\") AND "
                          u"(Значения.Критерий)=(\"Успеваемость\")"_s);
    values.open();
    QCOMPARE(values.recordCount(), 1);
    values.first();
    QCOMPARE(values.fieldByName(u"Значение"_s).toDouble(), 3.5);

    const QStringList refusals = {
        dbErrorOf([&] { disciplines.appendRecord({u"Химия"_s}); }),
        dbErrorOf([&] {
            values.updateRow(0, {{3, 5.0}});
        }),
        dbErrorOf([&] { values.deleteRow(0); }),
    };
    for (const QString &message : refusals) {
        QVERIFY2(message.contains(u"«%1»"_s.arg(access)), qPrintable(message));
        QVERIFY(message.contains(u"только для чтения"_s));
        QVERIFY(message.contains(u"orvinta-db import \"%1\""_s.arg(access)));
    }
    QCOMPARE(nativeRows(accessSnapshotPath(access), u"Дисциплины"_s).size(), 2);
    QCOMPARE(nativeRows(accessSnapshotPath(access), u"Значения"_s).size(), 2);
    QCOMPARE(fileBytes(access), original);
}

void TestAccessOpen::aDoubtedCodePageIsNamedInTheRefusal()
{
    QTemporaryDir dir;
    const QString access = withCyrillicText(dir.filePath(u"кириллица.mdb"_s));
    accessSnapshotOf(access);
    const QString message = accessReadOnlyMessage(access);
    QVERIFY2(message.contains(u"orvinta-db import --code-page 1251 \"%1\""_s.arg(access)) &&
                 message.contains(u"кодовой странице 1252"_s),
             qPrintable(message));
    QVERIFY(!accessReadOnlyMessage(accessTestFile(u"test2V1997.mdb"_s)).contains(u"--code-page"_s));
}

QTEST_MAIN(TestAccessOpen)
#include "test_accessopen.moc"
