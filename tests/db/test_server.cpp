#include "core/DbError.h"
#include "core/FormatSettings.h"
#include "core/ValueConversion.h"
#include "db/ConnectionString.h"
#include "db/Database.h"
#include "db/RecordSet.h"
#include "db/Statements.h"
#include "db/forms/GridModel.h"
#include "tests/support/TestDatabase.h"
#include "tools/DatabaseTool.h"

#include <QApplication>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QTest>

using namespace Qt::StringLiterals;

// Several users on one server database, each user a process of its own as on a school's
// computers: what one changes is never overwritten by another.

namespace {

constexpr int Value = 3; // the column of the measured value

void openValues(TableRecordSet &values, const QString &database)
{
    values.setConnectionString(connectionString(database));
    values.setTableName(u"Значения"_s);
    values.open();
}

// What the other user does, in a process of its own: `action` on the database's first value.
int otherUser(const QString &database, const QString &action, const QString &argument)
{
    FormatSettings::instance().setRegionalLocale(QLocale(QLocale::Russian, QLocale::Russia));
    try {
        TableRecordSet values;
        openValues(values, database);
        if (action == u"edit")
            values.updateRow(0, {{Value, argument}});
        else if (action == u"delete")
            values.deleteRow(0);
        else if (action == u"enter") {
            for (int i = 0; i < 1000; ++i)
                values.appendRecord(
                    {argument, u"К"_s, u"С"_s, QString::number(i), u"01.01.2024"_s});
        }
    } catch (const DbError &e) {
        qWarning("%s", qPrintable(e.message()));
        return 1;
    }
    return 0;
}

} // namespace

class TestServer : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void writesOverAnotherUsersChangeAreRefused_data();
    void writesOverAnotherUsersChangeAreRefused();
    void twoUsersEnteringAtOnceLoseNothing();
    void aKilledUserLeavesOnlyWholeRows();
    void hostileTextsAreStoredAsTyped();
    void rightsAreThoseOfTheFourTables();
    void aPasswordIsAskedUntilRightOrCancelled();
    void aDroppedConnectionIsMadeAgain();
    void databasesGoToTheServerAndBack();
    void aWindowsRecordSetsShareTheirSessions();

private:
    // Runs the other user to the end; its warnings are shown on failure.
    void runOtherUser(const QString &action, const QString &argument = {});

    std::unique_ptr<TestDatabase> m_db;
};

void TestServer::init()
{
    FormatSettings::instance().setRegionalLocale(QLocale(QLocale::Russian, QLocale::Russia));
    m_db = std::make_unique<TestDatabase>();
    QVERIFY2(m_db->onServer(), "the server tests need ORVINTA_TEST_SERVER");
    m_db->addValue(u"Физика"_s, u"Время"_s, u"Доска"_s, 5.0);
}

void TestServer::runOtherUser(const QString &action, const QString &argument)
{
    QProcess other;
    other.start(QCoreApplication::applicationFilePath(),
                {u"--other-user"_s, m_db->path(), action, argument});
    QVERIFY(other.waitForFinished(60000));
    QVERIFY2(other.exitCode() == 0, other.readAllStandardError().constData());
}

void TestServer::writesOverAnotherUsersChangeAreRefused_data()
{
    QTest::addColumn<QString>("othersAction"); // meanwhile, on the same row
    QTest::addColumn<QString>("ours");         // an edit typed into the grid, or a delete
    QTest::addColumn<QString>("refusal");      // a part of the message
    QTest::newRow("edit over an edit")
        << u"edit"_s << u"7,5"_s << u"Сейчас в базе данных: «Значение» — «9»"_s;
    QTest::newRow("delete over an edit")
        << u"edit"_s << QString()
        << u"«Значение» — «9», «Дата» — «01.01.2024». Запись не удалена"_s;
    QTest::newRow("edit over a delete") << u"delete"_s << u"7,5"_s << u"её уже нет"_s;
}

void TestServer::writesOverAnotherUsersChangeAreRefused()
{
    QFETCH(QString, othersAction);
    QFETCH(QString, ours);
    QFETCH(QString, refusal);
    TableRecordSet values;
    openValues(values, m_db->path());
    GridModel grid;
    grid.setRecordSet(&values);
    QCOMPARE(grid.data(grid.index(0, Value)).toString(), u"5"_s);
    if (!ours.isEmpty())
        QVERIFY(grid.setData(grid.index(0, Value), ours));

    runOtherUser(othersAction, u"9"_s);

    const QString message = dbErrorOf([&] {
        if (ours.isEmpty())
            values.deleteRow(0);
        else
            grid.post();
    });
    QVERIFY2(message.contains(refusal), qPrintable(message));
    // The other user's write stands.
    const QList<QVariantList> stored = m_db->rows(u"SELECT Значение FROM Значения"_s);
    QCOMPARE(stored, othersAction == u"edit" ? QList<QVariantList>{{9.0}} : QList<QVariantList>{});
    if (othersAction != u"edit")
        return;
    // The grid shows the row as it is now under what was typed, which is kept to apply again.
    if (ours.isEmpty()) {
        QCOMPARE(grid.data(grid.index(0, Value)).toString(), u"9"_s);
        return;
    }
    QCOMPARE(grid.data(grid.index(0, Value)).toString(), ours);
    QCOMPARE(values.valueAt(0, Value).toDouble(), 9.0);
    grid.post();
    QCOMPARE(m_db->rows(u"SELECT Значение FROM Значения"_s), QList<QVariantList>{{7.5}});
}

void TestServer::twoUsersEnteringAtOnceLoseNothing()
{
    QProcess first;
    QProcess second;
    first.start(QCoreApplication::applicationFilePath(),
                {u"--other-user"_s, m_db->path(), u"enter"_s, u"Первый"_s});
    second.start(QCoreApplication::applicationFilePath(),
                 {u"--other-user"_s, m_db->path(), u"enter"_s, u"Второй"_s});
    QVERIFY(first.waitForFinished(120000));
    QVERIFY(second.waitForFinished(120000));
    QCOMPARE(first.exitCode(), 0);
    QCOMPARE(second.exitCode(), 0);
    const QList<QVariantList> counted =
        m_db->rows(u"SELECT Дисциплина, count(*), count(DISTINCT Значение) FROM Значения "
                   "GROUP BY Дисциплина ORDER BY Дисциплина"_s);
    QCOMPARE(counted, (QList<QVariantList>{{u"Второй"_s, qint64(1000), qint64(1000)},
                                           {u"Первый"_s, qint64(1000), qint64(1000)},
                                           {u"Физика"_s, qint64(1), qint64(1)}}));
}

void TestServer::aKilledUserLeavesOnlyWholeRows()
{
    QProcess killed;
    killed.start(QCoreApplication::applicationFilePath(),
                 {u"--other-user"_s, m_db->path(), u"enter"_s, u"Прерванный"_s});
    QVERIFY(killed.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(
        m_db->scalar(u"SELECT count(*) FROM Значения WHERE Дисциплина = 'Прерванный'"_s)
                .toLongLong() >= 20,
        60000);
    killed.kill();
    QVERIFY(killed.waitForFinished());
    // Every value written before is there, whole, and nothing of the one being written.
    const QList<QVariantList> rows =
        m_db->rows(u"SELECT Значение, Критерий, Средство_ИКТ, Дата FROM Значения WHERE "
                   "Дисциплина = 'Прерванный' ORDER BY rowid"_s);
    QVERIFY(rows.size() >= 20 && rows.size() < 1000);
    for (int i = 0; i < rows.size(); ++i)
        QCOMPARE(rows.at(i), (QVariantList{double(i), u"К"_s, u"С"_s, u"01.01.2024"_s}));
}

void TestServer::hostileTextsAreStoredAsTyped()
{
    const QStringList texts = {u"'"_s,
                               u"\""_s,
                               u";"_s,
                               u"--"_s,
                               u"'); DROP TABLE Значения; --"_s,
                               u"\"); DELETE FROM \"Дисциплины\"; --"_s,
                               QString(10000, u'я'),
                               u"\t\r\n\x01\x1f"_s};
    TableRecordSet names;
    names.setConnectionString(connectionString(m_db->path()));
    names.setTableName(u"Дисциплины"_s);
    names.open();
    TableRecordSet values;
    openValues(values, m_db->path());
    for (const QString &text : texts) {
        names.appendName(text);
        values.appendRecord({text, text, text, u"1"_s, text});
    }
    QList<QVariantList> expected;
    for (const QString &text : texts)
        expected.append({text});
    QCOMPARE(m_db->rows(u"SELECT Название FROM Дисциплины ORDER BY "_s + m_db->keyColumn()),
             expected);
    // Each text selects exactly its own row, through the statements' parameters.
    for (const QString &text : texts) {
        QueryRecordSet selected;
        selected.setConnectionString(connectionString(m_db->path()));
        selected.setSource(Statements::selectionValues(text, text, text));
        selected.open();
        QCOMPARE(selected.recordCount(), 1);
        QCOMPARE(selected.fieldByName(u"Значение"_s).toDouble(), 1.0);
    }
    QCOMPARE(m_db->scalar(u"SELECT count(*) FROM Значения"_s).toLongLong(), texts.size() + 1);
    QCOMPARE(
        m_db->scalar(u"SELECT count(*) FROM pg_tables WHERE schemaname = 'public'"_s).toLongLong(),
        4);
}

void TestServer::rightsAreThoseOfTheFourTables()
{
    // The rights the README gives a teacher: those of the four tables and nothing else.
    m_db->exec(u"DROP ROLE IF EXISTS teacher; CREATE ROLE teacher LOGIN PASSWORD 'т'; GRANT "
               "SELECT, INSERT, UPDATE, DELETE ON Дисциплины, Критерии, Средство_ИКТ, Значения TO "
               "teacher; DROP ROLE IF EXISTS reader; CREATE ROLE reader LOGIN PASSWORD 'ч'; "
               "GRANT SELECT ON ALL TABLES IN SCHEMA public TO reader; "
               "DROP ROLE IF EXISTS outsider; CREATE ROLE outsider LOGIN PASSWORD 'п'"_s);
    // Their passwords where libpq looks for them, as the README tells a school to keep them.
    QFile passwords(m_db->folder() + u"/pgpass"_s);
    QVERIFY(passwords.open(QIODevice::WriteOnly));
    passwords.write("*:*:*:teacher:\xd1\x82\n*:*:*:reader:\xd1\x87\n*:*:*:outsider:\xd0\xbf\n");
    passwords.close();
    passwords.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    qputenv("PGPASSFILE", passwords.fileName().toLocal8Bit());
    const auto forget = qScopeGuard([] { qunsetenv("PGPASSFILE"); });
    const auto connectionFileFor = [this](const QString &user) {
        QFile original(m_db->path());
        QVERIFY(original.open(QIODevice::ReadOnly));
        const QString as = QString::fromUtf8(original.readAll()) + u" user="_s + user;
        QFile file(m_db->folder() + u'/' + user + u".orvinta-server"_s);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(as.toUtf8());
    };
    connectionFileFor(u"teacher"_s);
    connectionFileFor(u"reader"_s);
    connectionFileFor(u"outsider"_s);

    TableRecordSet teachers;
    openValues(teachers, m_db->folder() + u"/teacher.orvinta-server"_s);
    teachers.appendRecord({u"Ф"_s, u"В"_s, u"Д"_s, u"2"_s});
    teachers.updateRow(1, {{Value, u"3"_s}});
    teachers.deleteRow(0);
    QCOMPARE(m_db->rows(u"SELECT Дисциплина, Значение FROM Значения"_s),
             (QList<QVariantList>{{u"Ф"_s, 3.0}}));

    TableRecordSet readable;
    openValues(readable, m_db->folder() + u"/reader.orvinta-server"_s);
    QCOMPARE(readable.recordCount(), 1);
    m_db->addValue(u"Физика"_s, u"Время"_s, u"Доска"_s, 5.0);
    const QString refused = dbErrorOf([&] {
        readable.appendRecord({u"Ф"_s, u"В"_s, u"Д"_s, u"1"_s});
    });
    QVERIFY2(refused.startsWith(u"Нет прав на это действие в базе данных на сервере"_s),
             qPrintable(refused));
    QCOMPARE(m_db->scalar(u"SELECT count(*) FROM Значения"_s).toLongLong(), 2);

    TableRecordSet unreadable;
    const QString closed = dbErrorOf([&] {
        openValues(unreadable, m_db->folder() + u"/outsider.orvinta-server"_s);
        unreadable.recordCount();
    });
    QVERIFY2(closed.startsWith(u"Нет прав на это действие"_s), qPrintable(closed));
    m_db->exec(u"DROP OWNED BY teacher, reader; DROP ROLE teacher, reader, outsider"_s);
}

void TestServer::aPasswordIsAskedUntilRightOrCancelled()
{
    m_db->exec(u"DROP ROLE IF EXISTS pupil; CREATE ROLE pupil LOGIN PASSWORD 'секрет'; GRANT "
               "SELECT ON Критерии TO pupil"_s);
    QFile original(m_db->path());
    QVERIFY(original.open(QIODevice::ReadOnly));
    const QString file = m_db->folder() + u"/pupil.orvinta-server"_s;
    QFile asPupil(file);
    QVERIFY(asPupil.open(QIODevice::WriteOnly));
    asPupil.write(original.readAll() + " user=pupil");
    asPupil.close();

    QStringList answers{u"неверно"_s, u"секрет"_s};
    int asked = 0;
    Database::setPasswordPrompt([&](const QString &path) -> std::optional<QString> {
        ++asked;
        if (path != file || answers.isEmpty())
            return std::nullopt;
        return answers.takeFirst();
    });
    const auto uninstall = qScopeGuard([] { Database::setPasswordPrompt({}); });
    QueryRecordSet criteria;
    criteria.setConnectionString(connectionString(file));
    criteria.setCommandText(u"SELECT * FROM Критерии"_s);
    criteria.open();
    QCOMPARE(asked, 2);
    // Kept for the session: the next connection does not ask again.
    QueryRecordSet again;
    again.setConnectionString(connectionString(file));
    again.setCommandText(u"SELECT * FROM Критерии"_s);
    again.open();
    QCOMPARE(again.recordCount(), 0);
    QCOMPARE(asked, 2);

    // Cancelled: a plain refusal that names the database.
    const QString other = m_db->folder() + u"/другой.orvinta-server"_s;
    QVERIFY(QFile::copy(file, other));
    QueryRecordSet cancelled;
    cancelled.setConnectionString(connectionString(other));
    cancelled.setCommandText(u"SELECT * FROM Критерии"_s);
    const QString refusal = dbErrorOf([&] { cancelled.open(); });
    QCOMPARE(refusal, u"Подключение к серверу базы данных «%1» отменено"_s.arg(other));
    m_db->exec(u"DROP OWNED BY pupil; DROP ROLE pupil"_s);
}

void TestServer::aDroppedConnectionIsMadeAgain()
{
    TableRecordSet values;
    openValues(values, m_db->path());
    GridModel grid;
    grid.setRecordSet(&values);
    QVERIFY(grid.setData(grid.index(0, Value), u"6"_s));
    // The server ends every other connection to the database, as a restart would.
    m_db->exec(u"SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE datname = "
               "current_database() AND pid <> pg_backend_pid()"_s);
    const QString lost = dbErrorOf([&] { grid.post(); });
    QVERIFY2(lost.contains(u"прервана"_s), qPrintable(lost));
    QVERIFY(grid.hasPendingChanges());
    // The next action connects again, and the edit kept is written.
    grid.post();
    QCOMPARE(m_db->rows(u"SELECT Значение FROM Значения"_s), QList<QVariantList>{{6.0}});
    QCOMPARE(values.recordCount(), 1);
}

void TestServer::databasesGoToTheServerAndBack()
{
    const auto tool = [](const QStringList &arguments, QString *said = nullptr) {
        QString out;
        QString err;
        QTextStream outStream(&out);
        QTextStream errStream(&err);
        const int code = runDatabaseTool(arguments, outStream, errStream);
        if (said)
            *said = out + err;
        return code;
    };
    const QString file = m_db->folder() + u"/пример.mdb"_s;
    const QString copy = m_db->folder() + u"/копия.mdb"_s;
    QCOMPARE(tool({u"sample"_s, file}), 0);
    // The test's database has its tables already: nothing is overwritten.
    QString said;
    QCOMPARE(tool({u"push"_s, file, m_db->path()}, &said), 1);
    QVERIFY2(said.contains(u"не будут перезаписаны"_s), qPrintable(said));
    m_db->exec(u"DROP TABLE Дисциплины, Критерии, Средство_ИКТ, Значения"_s);
    QCOMPARE(tool({u"push"_s, file, m_db->path()}, &said), 0);
    QVERIFY2(said.contains(u"Значения: строк 769"_s), qPrintable(said));
    QCOMPARE(tool({u"check"_s, m_db->path()}), 0);
    QCOMPARE(tool({u"pull"_s, m_db->path(), copy}, &said), 0);
    QCOMPARE(tool({u"pull"_s, m_db->path(), copy}), 1);

    const auto everything = [](const QString &database) {
        QStringList rows;
        TableRecordSet values;
        openValues(values, database);
        for (int row = 0; row < values.rowCount(); ++row) {
            QStringList cells;
            for (int column = 0; column < values.fieldCount(); ++column)
                cells.append(textOf(values.valueAt(row, column)));
            rows.append(cells.join(u'|'));
        }
        return rows;
    };
    const QStringList original = everything(file);
    QCOMPARE(original.size(), 769);
    QCOMPARE(everything(m_db->path()), original);
    QCOMPARE(everything(copy), original);
}

void TestServer::aWindowsRecordSetsShareTheirSessions()
{
    // A school's server serves every teacher's windows: a window's open record sets do not
    // hold a server process each.
    DatabaseOpener window;
    std::vector<std::unique_ptr<QueryRecordSet>> open;
    for (int i = 0; i < 6; ++i) {
        auto records = std::make_unique<QueryRecordSet>();
        records->setConnectionString(connectionString(m_db->path()));
        records->setOpener(&window);
        records->setCommandText(u"SELECT * FROM Значения"_s);
        records->open();
        QCOMPARE(records->recordCount(), 1);
        open.push_back(std::move(records));
    }
    const qint64 sessions =
        m_db->scalar(u"SELECT count(*) FROM pg_stat_activity WHERE datname = current_database()"_s)
            .toLongLong();
    QVERIFY2(sessions <= 3, qPrintable(QString::number(sessions))); // the test's own and two
}

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc == 5 && QByteArray(argv[1]) == "--other-user")
        return otherUser(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]),
                         QString::fromLocal8Bit(argv[4]));
    TestServer test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_server.moc"
