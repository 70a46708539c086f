#include "core/DbError.h"
#include "db/ConnectionString.h"
#include "db/RecordSet.h"
#include "tests/support/TestDatabase.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// Opens "Критерии" of the file and returns the error's message, or an empty text.
QString openError(const QString &path)
{
    TableRecordSet table;
    table.setConnectionString(connectionString(path));
    table.setTableName(u"Критерии"_s);
    return dbErrorOf([&] { table.open(); });
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

} // namespace

class TestOpening : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void missingFileIsNotCreated();
    void unusableFilesAreNamedAndLeftAlone_data();
    void unusableFilesAreNamedAndLeftAlone();
    void missingTablesAndColumnsAreNamed();
    void pathWithSemicolonOpens();
    void readOnlyFileOpensAndRefusesWrites();
};

void TestOpening::missingFileIsNotCreated()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"нет.mdb"_s);
    const QString message = openError(path);
    QVERIFY(message.contains(path));
    QVERIFY(!QFile::exists(path));
    QVERIFY(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());
}

void TestOpening::unusableFilesAreNamedAndLeftAlone_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("folder") << u"folder"_s;
    QTest::newRow("empty file") << u"empty"_s;
    QTest::newRow("text file") << u"text"_s;
    QTest::newRow("truncated database") << u"truncated"_s;
}

void TestOpening::unusableFilesAreNamedAndLeftAlone()
{
    QFETCH(QString, kind);
    QTemporaryDir dir;
    const QString path = dir.filePath(u"база.mdb"_s);
    if (kind == u"folder"_s) {
        QVERIFY(QDir(dir.path()).mkdir(u"база.mdb"_s));
    } else if (kind == u"empty"_s) {
        writeFile(path, {});
    } else if (kind == u"text"_s) {
        writeFile(path, QByteArray("Это не база данных, а просто текст.\n").repeated(200));
    } else {
        TestDatabase good;
        for (int i = 0; i < 2000; ++i)
            good.addValue(u"Физика"_s, u"Время"_s, u"Доска"_s, i);
        good.exec(u"PRAGMA wal_checkpoint(TRUNCATE); PRAGMA journal_mode = DELETE"_s);
        const QByteArray whole = fileBytes(good.path());
        writeFile(path, whole.left(whole.size() / 3 + 100));
    }
    const QByteArray before = fileBytes(path);
    const QString message = openError(path);
    QVERIFY2(!message.isEmpty(), qPrintable(kind));
    QVERIFY2(message.contains(path), qPrintable(message));
    QCOMPARE(fileBytes(path), before);
    const QStringList left = QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries);
    QCOMPARE(left, QStringList({u"база.mdb"_s}));
}

void TestOpening::missingTablesAndColumnsAreNamed()
{
    TestDatabase partial({.tables = false});
    partial.exec(u"CREATE TABLE Дисциплины (a); CREATE TABLE Критерии (a);"
                 "CREATE TABLE Значения (Дисциплина, Критерий, Средство, Значение, Дата)"_s);
    const QString message = openError(partial.path());
    QVERIFY2(message.contains(u"таблица «Средство_ИКТ»"_s), qPrintable(message));
    QVERIFY2(message.contains(u"столбец «Средство_ИКТ»"_s), qPrintable(message));
    QVERIFY2(!message.contains(u"«Дисциплины»"_s), qPrintable(message));

    TestDatabase fourColumns({.tables = false});
    fourColumns.exec(u"CREATE TABLE Дисциплины (a); CREATE TABLE Критерии (a);"
                     "CREATE TABLE Средство_ИКТ (a);"
                     "CREATE TABLE Значения (Дисциплина, Критерий, Средство_ИКТ, Значение)"_s);
    QVERIFY(openError(fourColumns.path()).contains(u"столбец даты"_s));

    // Names need a column that takes text; a list of numbers alone has none.
    TestDatabase numbersOnly;
    numbersOnly.exec(
        u"DROP TABLE Средство_ИКТ; CREATE TABLE Средство_ИКТ (id INTEGER, Цена REAL)"_s);
    const QString noNames = openError(numbersOnly.path());
    QVERIFY2(noNames.contains(u"текстовый столбец для названий в таблице «Средство_ИКТ»"_s),
             qPrintable(noNames));
}

void TestOpening::pathWithSemicolonOpens()
{
    TestDatabase db({.fileName = u"мои;данные.mdb"_s});
    db.addNames(u"Критерии"_s, {u"Время"_s});
    QVERIFY(db.path().contains(u';'));
    TableRecordSet table;
    table.setConnectionString(db.connection());
    table.setTableName(u"Критерии"_s);
    table.open();
    QCOMPARE(table.recordCount(), 1);
}

void TestOpening::readOnlyFileOpensAndRefusesWrites()
{
    if (geteuid() == 0)
        QSKIP("root may write any file");
    TestDatabase db;
    db.addNames(u"Критерии"_s, {u"Время"_s});
    db.exec(u"PRAGMA journal_mode = DELETE"_s);
    QFile::setPermissions(db.path(), QFileDevice::ReadOwner);
    TableRecordSet table;
    table.setConnectionString(db.connection());
    table.setTableName(u"Критерии"_s);
    table.open();
    QCOMPARE(table.recordCount(), 1);
    try {
        table.appendRecord({u"Новый"_s});
        QFAIL("a read-only file took a row");
    } catch (const DbError &e) {
        QVERIFY2(e.message().contains(u"только для чтения"_s), qPrintable(e.message()));
    }
}

QTEST_GUILESS_MAIN(TestOpening)
#include "test_opening.moc"
