#include "tests/support/TestDatabase.h"
#include "tools/DatabaseTool.h"

#include "db/ConnectionString.h"
#include "db/RecordSet.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

struct Run
{
    int code = 0;
    QString out;
    QString err;
};

Run runTool(const QStringList &arguments)
{
    Run run;
    QTextStream out(&run.out);
    QTextStream err(&run.err);
    run.code = runDatabaseTool(arguments, out, err);
    return run;
}

} // namespace

class TestDbTool : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void createMakesAnEmptyUsableDatabase();
    void sampleIsRealisticAndAnalysable();
    void neverOverwrites();
    void checkNamesWhatIsMissing();
    void badArgumentsPrintUsage();
    void commandExitCodes();
};

void TestDbTool::createMakesAnEmptyUsableDatabase()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"новая.mdb"_s);
    QCOMPARE(runTool({u"create"_s, path}).code, 0);
    const Run checked = runTool({u"check"_s, path});
    QCOMPARE(checked.code, 0);
    QVERIFY(checked.out.contains(u"Значения: строк 0"_s));

    TableRecordSet values;
    values.setConnectionString(connectionString(path));
    values.setTableName(u"Значения"_s);
    values.open();
    QCOMPARE(values.fieldCount(), 5);
    QCOMPARE(values.fields().at(3).kind, FieldKind::Float);
    QCOMPARE(values.fields().at(4).kind, FieldKind::String);
}

void TestDbTool::sampleIsRealisticAndAnalysable()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"пример.mdb"_s);
    QCOMPARE(runTool({u"sample"_s, path}).code, 0);
    TableRecordSet disciplines;
    disciplines.setConnectionString(connectionString(path));
    disciplines.setTableName(u"Дисциплины"_s);
    disciplines.open();
    QCOMPARE(disciplines.recordCount(), 8);

    QueryRecordSet values;
    values.setConnectionString(connectionString(path));
    values.setCommandText(u"SELECT * FROM Значения"_s);
    values.open();
    const qint64 count = values.recordCount();
    QVERIFY2(count >= 200 && count <= 2000, qPrintable(QString::number(count)));
    QDate earliest(9999, 1, 1), latest(1, 1, 1);
    for (values.first(); !values.eof(); values.next()) {
        QCOMPARE(values.fieldByName(u"Значение"_s).typeId(), QMetaType::Double);
        const QDate day = QDate::fromString(values.text(4), u"dd.MM.yyyy"_s);
        QVERIFY(day.isValid());
        earliest = std::min(earliest, day);
        latest = std::max(latest, day);
    }
    QVERIFY(earliest.daysTo(latest) > 500);
}

void TestDbTool::neverOverwrites()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"есть.mdb"_s);
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("данные пользователя");
    }
    for (const QString &command : {u"create"_s, u"sample"_s}) {
        const Run run = runTool({command, path});
        QCOMPARE(run.code, 1);
        QVERIFY(run.err.contains(u"уже существует"_s));
    }
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("данные пользователя"));
}

void TestDbTool::checkNamesWhatIsMissing()
{
    TestDatabase partial({.tables = false});
    partial.exec(u"CREATE TABLE Дисциплины (a); CREATE TABLE Критерии (a)"_s);
    const Run run = runTool({u"check"_s, partial.path()});
    QCOMPARE(run.code, 1);
    QVERIFY2(run.err.contains(u"таблица «Средство_ИКТ»"_s), qPrintable(run.err));
    QVERIFY2(run.err.contains(u"таблица «Значения»"_s), qPrintable(run.err));
    QTemporaryDir dir;
    QCOMPARE(runTool({u"check"_s, dir.filePath(u"нет.mdb"_s)}).code, 1);
    QVERIFY(!QFile::exists(dir.filePath(u"нет.mdb"_s)));

    // A usable file made elsewhere, with a rollback journal, is left byte for byte as it was.
    TestDatabase usable;
    usable.addValue(u"Физика"_s, u"Время"_s, u"Доска"_s, 5.0);
    usable.exec(u"PRAGMA journal_mode = DELETE"_s);
    QFile file(usable.path());
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    QCOMPARE(runTool({u"check"_s, usable.path()}).code, 0);
    QVERIFY(file.seek(0));
    QCOMPARE(file.readAll(), before);
}

void TestDbTool::badArgumentsPrintUsage()
{
    for (const QStringList &arguments :
         {QStringList(), QStringList({u"create"_s}), QStringList({u"drop"_s, u"x.mdb"_s}),
          QStringList({u"create"_s, u"a.mdb"_s, u"b.mdb"_s})}) {
        const Run run = runTool(arguments);
        QCOMPARE(run.code, 2);
        QVERIFY(run.err.contains(u"Использование"_s));
    }
}

void TestDbTool::commandExitCodes()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"база.mdb"_s);
    QCOMPARE(QProcess::execute(QStringLiteral(ORVINTA_DB_TOOL), {u"create"_s, path}), 0);
    QCOMPARE(QProcess::execute(QStringLiteral(ORVINTA_DB_TOOL), {u"create"_s, path}), 1);
    QCOMPARE(QProcess::execute(QStringLiteral(ORVINTA_DB_TOOL), {u"check"_s, path}), 0);
    QCOMPARE(QProcess::execute(QStringLiteral(ORVINTA_DB_TOOL), {}), 2);
}

QTEST_GUILESS_MAIN(TestDbTool)
#include "test_dbtool.moc"
