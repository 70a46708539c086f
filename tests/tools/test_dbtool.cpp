#include "tests/support/TestDatabase.h"
#include "tools/DatabaseTool.h"

#include "core/Clock.h"
#include "core/FileSystem.h"
#include "core/FormatSettings.h"
#include "db/ConnectionString.h"
#include "db/RecordSet.h"
#include "db/Sqlite.h"
#include "db/forms/DataGrid.h"
#include "db/forms/DataSource.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <unistd.h>

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
    void optimizeAddsTheIndexesOnce();
    void importValuesIsAllOrNothing_data();
    void importValuesIsAllOrNothing();
    void gridCsvImportsBackUnchanged();
    void badArgumentsPrintUsage();
    void commandExitCodes();
    void fileSystemCausesAreNamed_data();
    void fileSystemCausesAreNamed();
    void aFileOnANetworkShareIsForOneUser();
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

void TestDbTool::optimizeAddsTheIndexesOnce()
{
    TestDatabase plain({.tables = false});
    plain.exec(u"CREATE TABLE Дисциплины (Название TEXT); CREATE TABLE Критерии (Название TEXT);"
               "CREATE TABLE Средство_ИКТ (Название TEXT); CREATE TABLE Значения (Дисциплина TEXT,"
               " Критерий TEXT, Средство_ИКТ TEXT, Значение REAL, Дата TEXT)"_s);
    const QString indexes = u"SELECT count(*) FROM sqlite_master WHERE type = 'index'"_s;
    QCOMPARE(plain.scalar(indexes).toInt(), 0);
    const Run first = runTool({u"optimize"_s, plain.path()});
    QCOMPARE(first.code, 0);
    QVERIFY2(first.out.contains(u"Добавляю в файл"_s) && first.out.contains(u"Индексы добавлены"_s),
             qPrintable(first.out));
    QCOMPARE(plain.scalar(indexes).toInt(), 3); // two of their own, one of the counter's key
    const Run second = runTool({u"optimize"_s, plain.path()});
    QCOMPARE(second.code, 0);
    QVERIFY(second.out.contains(u"уже есть все индексы"_s));
    QCOMPARE(runTool({u"optimize"_s, plain.folder() + u"/нет.mdb"_s}).code, 1);
}

void TestDbTool::importValuesIsAllOrNothing_data()
{
    QTest::addColumn<bool>("windows1251");
    QTest::newRow("UTF-8 with its mark") << false;
    QTest::newRow("Windows-1251") << true;
}

void TestDbTool::importValuesIsAllOrNothing()
{
    QFETCH(bool, windows1251);
    FormatSettings::instance().setRegionalLocale(QLocale(QLocale::Russian, QLocale::Russia));
    const FixedClock clock(QDateTime(QDate(2024, 3, 5), QTime(9, 0)));
    TestDatabase db;
    db.addNames(u"Дисциплины"_s, {u"Физика"_s});
    // Columns in another order and case, a separator inside quotes, a doubled quote, a line
    // break inside a field, a decimal comma and point, an empty date, an ISO date.
    const QString good =
        u"средство икт;ЗНАЧЕНИЕ;Дисциплина;Критерий;Дата;Примечание\r\n"
        "Проектор;4,5;Физика;Время;01.02.2024;первая\r\n"
        "\"Доска; интерактивная\";3.25;\"Химия \"\"Б\"\"\";Время;;\"две\r\nстроки\"\r\n"
        "Проектор;-2;Физика;Оценка;2024-01-31;\r\n"_s;
    const QString wrong = u"Проектор;много;Физика;Время;;\r\n"_s;
    const auto encoded = [&](const QString &text) {
        if (!windows1251)
            return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
        QByteArray bytes;
        for (const QChar c : text) {
            const char16_t u = c.unicode();
            bytes += u >= 0x0410 && u <= 0x044F ? char(0xC0 + (u - 0x0410)) : char(u);
        }
        return bytes;
    };
    QTemporaryDir dir;
    const QString csv = dir.filePath(u"значения.csv"_s);
    const auto writeCsv = [&](const QString &text) {
        QFile file(csv);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(encoded(text));
    };

    // One wrong line: nothing added, the line and column named.
    writeCsv(good + wrong);
    const Run refused = runTool({u"import-values"_s, u"--add-names"_s, csv, db.path()});
    QCOMPARE(refused.code, 1);
    QVERIFY2(refused.err.contains(u"строка 6, столбец «Значение»: «много» не является числом"_s),
             qPrintable(refused.err));
    QVERIFY(refused.err.contains(windows1251 ? u"Windows-1251"_s : u"UTF-8"_s));
    QCOMPARE(db.scalar(u"SELECT count(*) FROM Значения"_s).toInt(), 0);
    QCOMPARE(db.scalar(u"SELECT count(*) FROM Критерии"_s).toInt(), 0);

    // Without it: every value added, exactly, and the new names with them.
    writeCsv(good);
    const Run added = runTool({u"import-values"_s, u"--add-names"_s, csv, db.path()});
    QCOMPARE(added.code, 0);
    QVERIFY2(added.out.contains(u"Добавлено значений: 3, названий: 5."_s), qPrintable(added.out));
    QCOMPARE(db.rows(u"SELECT * FROM Значения ORDER BY rowid"_s),
             (QList<QVariantList>{
                 {u"Физика"_s, u"Время"_s, u"Проектор"_s, 4.5, u"01.02.2024"_s},
                 {u"Химия \"Б\""_s, u"Время"_s, u"Доска; интерактивная"_s, 3.25, u"05.03.2024"_s},
                 {u"Физика"_s, u"Оценка"_s, u"Проектор"_s, -2.0, u"31.01.2024"_s}}));
    QCOMPARE(db.rows(u"SELECT * FROM Дисциплины"_s),
             (QList<QVariantList>{{u"Физика"_s}, {u"Химия \"Б\""_s}}));
    QCOMPARE(db.rows(u"SELECT * FROM Критерии"_s),
             (QList<QVariantList>{{u"Время"_s}, {u"Оценка"_s}}));
}

void TestDbTool::gridCsvImportsBackUnchanged()
{
    FormatSettings::instance().setRegionalLocale(QLocale(QLocale::Russian, QLocale::Russia));
    TestDatabase from;
    from.addValue(u"Физика"_s, u"Время"_s, u"Проектор"_s, 4.5, u"01.02.2024"_s);
    from.addValue(u"Химия; \"органическая\""_s, u"Оценка\nзачёт"_s, u"Доска"_s, -1e-3,
                  u"29.02.2024"_s);
    from.addValue(u"Физика"_s, u"Время"_s, u"Проектор"_s, 123456789.125, u"31.12.2023"_s);
    TableRecordSet values;
    values.setConnectionString(from.connection());
    values.setTableName(u"Значения"_s);
    values.open();
    DataSource source;
    source.setDataSet(&values);
    DataGrid grid;
    grid.setDataSource(&source);
    QTemporaryDir dir;
    const QString csv = dir.filePath(u"таблица.csv"_s);
    grid.saveCsv(csv);

    TestDatabase to;
    QCOMPARE(runTool({u"import-values"_s, u"--add-names"_s, csv, to.path()}).code, 0);
    const QString all = u"SELECT * FROM Значения ORDER BY rowid"_s;
    QCOMPARE(to.rows(all), from.rows(all));
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

void TestDbTool::fileSystemCausesAreNamed_data()
{
    QTest::addColumn<QStringList>("arguments"); // $D stands for the case's folder
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("told"); // on the error output, or on the output when it worked
    QTest::newRow("create in a missing folder")
        << QStringList{u"create"_s, u"$D/нет/новая.mdb"_s} << 1
        << u"Не удалось создать файл базы данных «$D/нет/новая.mdb»: папки «$D/нет» нет"_s;
    QTest::newRow("create in a read-only folder")
        << QStringList{u"create"_s, u"$D/только-чтение/новая.mdb"_s} << 1
        << u"нет прав на запись в папку «$D/только-чтение»"_s;
    QTest::newRow("create where a file stands for the folder")
        << QStringList{u"sample"_s, u"$D/только-чтение/база.mdb/новая.mdb"_s} << 1
        << u"«$D/только-чтение/база.mdb» — файл, а не папка"_s;
    QTest::newRow("check a file not to be read")
        << QStringList{u"check"_s, u"$D/закрытая.mdb"_s} << 1
        << u"нет прав на чтение файла «$D/закрытая.mdb»"_s;
    // A file in WAL mode needs its folder even to be read; one with a rollback journal can be
    // read, and check says that it cannot be written.
    QTest::newRow("check a WAL file in a read-only folder")
        << QStringList{u"check"_s, u"$D/только-чтение/база.mdb"_s} << 1
        << u"нет прав на запись в папку «$D/только-чтение», а рядом с файлом базы данных пишется "
           u"её журнал"_s;
    QTest::newRow("check a file in a read-only folder")
        << QStringList{u"check"_s, u"$D/только-чтение/журнал.mdb"_s} << 0
        << u"Изменения в него записать не удастся: нет прав на запись в папку "
           u"«$D/только-чтение», а рядом с файлом базы данных пишется её журнал"_s;
    QTest::newRow("check a folder")
        << QStringList{u"check"_s, u"$D"_s} << 1 << u"«$D» — это папка, а не файл базы данных"_s;
}

void TestDbTool::fileSystemCausesAreNamed()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, code);
    QFETCH(QString, told);
    // Root may write anywhere: the tool runs as nobody, in a folder every user may enter.
    QTemporaryDir dir;
    QFile::setPermissions(dir.path(), QFile::Permissions(0x7777));
    const QString readOnly = dir.filePath(u"только-чтение"_s);
    QVERIFY(QDir(dir.path()).mkdir(u"только-чтение"_s));
    QCOMPARE(runTool({u"create"_s, readOnly + u"/база.mdb"_s}).code, 0);
    QCOMPARE(runTool({u"create"_s, dir.filePath(u"закрытая.mdb"_s)}).code, 0);
    {
        TestDatabase journal;
        journal.exec(u"PRAGMA journal_mode = DELETE"_s);
        QVERIFY(QFile::copy(journal.path(), readOnly + u"/журнал.mdb"_s));
    }
    for (const QString &file :
         {readOnly + u"/база.mdb"_s, readOnly + u"/журнал.mdb"_s, dir.filePath(u"закрытая.mdb"_s)})
        QFile::setPermissions(file, QFile::Permissions(0x6666));
    QFile::setPermissions(dir.filePath(u"закрытая.mdb"_s), QFile::WriteOwner);
    QFile::setPermissions(readOnly, QFile::Permissions(0x5555));
    const auto restore =
        qScopeGuard([&] { QFile::setPermissions(readOnly, QFile::Permissions(0x7777)); });

    for (QString &argument : arguments)
        argument.replace(u"$D"_s, dir.path());
    told.replace(u"$D"_s, dir.path());
    QProcess tool;
    if (::geteuid() == 0) {
        const QString setpriv = QStandardPaths::findExecutable(u"setpriv"_s);
        if (setpriv.isEmpty())
            QSKIP("setpriv is needed to run orvinta-db as an unprivileged user");
        tool.start(setpriv, QStringList{u"--reuid=65534"_s, u"--regid=65534"_s, u"--clear-groups"_s,
                                        QStringLiteral(ORVINTA_DB_TOOL)} +
                                arguments);
    } else {
        tool.start(QStringLiteral(ORVINTA_DB_TOOL), arguments);
    }
    QVERIFY(tool.waitForFinished(30000));
    const QString out = QString::fromUtf8(tool.readAllStandardOutput());
    const QString err = QString::fromUtf8(tool.readAllStandardError());
    QCOMPARE(tool.exitCode(), code);
    QVERIFY2((code == 0 ? out : err).contains(told), qPrintable(out + err));
}

void TestDbTool::aFileOnANetworkShareIsForOneUser()
{
    // The folder stands for a share mounted over NFS.
    QTemporaryDir share;
    setFileSystemTypeProbe([&share](const QString &path) -> std::optional<unsigned long> {
        return path.startsWith(share.path()) ? std::optional(0x6969UL) : std::nullopt;
    });
    const auto restore = qScopeGuard([] { setFileSystemTypeProbe({}); });
    const QString path = share.filePath(u"общая.mdb"_s);
    const Run created = runTool({u"create"_s, path});
    QCOMPARE(created.code, 0);
    QVERIFY2(created.out.contains(u"лежит в сетевой папке"_s), qPrintable(created.out));
    const Run checked = runTool({u"check"_s, path});
    QVERIFY2(checked.out.contains(u"«База данных на сервере для всей школы»"_s),
             qPrintable(checked.out));
    // SQLite's WAL needs memory shared by every user of the file: never on a share.
    SqliteDatabase db(path, SqliteDatabase::OpenMode::ReadWrite);
    SqliteStatement mode(db, u"PRAGMA journal_mode"_s);
    QVERIFY(mode.step());
    QCOMPARE(mode.value(0).toString(), u"delete"_s);
    // A file made elsewhere says nothing of the kind.
    QTemporaryDir local;
    QVERIFY(runTool({u"create"_s, local.filePath(u"своя.mdb"_s)}).out.endsWith(u"».\n"_s));
}

QTEST_MAIN(TestDbTool)
#include "test_dbtool.moc"
