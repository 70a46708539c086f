#include "core/DbError.h"
#include "core/FormatSettings.h"
#include "core/ValueConversion.h"
#include "db/RecordSet.h"
#include "db/SqlDialect.h"
#include "db/Sqlite.h"
#include "db/Statements.h"
#include "tests/support/TestDatabase.h"

#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>
#include <sqlite3.h>

using namespace Qt::StringLiterals;

// What a test checks of SQLite's own doing; the server's counterparts have tests of their own.
#define SKIP_ON_SERVER()                                                                           \
    if (m_db->onServer())                                                                          \
    QSKIP("SQLite's own")

namespace {

// The texts of one column of every row, read by walking the record set.
QStringList walk(RecordSet &records, const QString &column)
{
    QStringList texts;
    for (records.first(); !records.eof(); records.next())
        texts.append(textOf(records.fieldByName(column)));
    return texts;
}

} // namespace

class TestRecordSet : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void referenceStatementsListEveryRowInOrder();
    void windowStatementsSelectTheRightRows();
    void awkwardTextsSelectExactlyTheirRows_data();
    void awkwardTextsSelectExactlyTheirRows();
    void recordCountIsExact();
    void readByNameAndPosition();
    void sameSettingsKeepTheRecordSetOpen();
    void appendConvertsToColumnTypes();
    void onlyNumbersBecomeValues_data();
    void onlyNumbersBecomeValues();
    void refusalsOfTheDatabaseAreInRussian();
    void keyedReferenceTableTakesNamesInItsTextColumn();
    void editAndDeleteReachExactlyTheRowShown();
    void filteredRecordSetIsEditable();
    void rowPostedIsSeenByRecordSetsOpenedAfterwards();
    void openGridDoesNotBlockAnotherWriter();
    void fileMadeByPlainSqliteWorks();
    void dateColumnsTakeDayMonthYear();
    void windowedRowsAreTheRowsOfAFullRead_data();
    void windowedRowsAreTheRowsOfAFullRead();
    void statementsKeepTheirOwnOrder_data();
    void statementsKeepTheirOwnOrder();
    void analysesAreReadThroughTheirIndexes();

private:
    std::unique_ptr<TestDatabase> m_db;
};

void TestRecordSet::init()
{
    FormatSettings::instance().setRegionalLocale(QLocale(QLocale::Russian, QLocale::Russia));
    m_db = std::make_unique<TestDatabase>();
}

void TestRecordSet::referenceStatementsListEveryRowInOrder()
{
    m_db->addNames(u"Дисциплины"_s, {u"Физика"_s, u"Алгебра"_s, QString(), u"Физика"_s});
    m_db->addNames(u"Критерии"_s, {u"Время"_s});
    for (const QString &table : {u"Дисциплины"_s, u"Критерии"_s, u"Средство_ИКТ"_s}) {
        QueryRecordSet query;
        query.setConnectionString(m_db->connection());
        query.setCommandText(u"SELECT * FROM "_s + table);
        query.open();
        TableRecordSet byName;
        byName.setConnectionString(m_db->connection());
        byName.setTableName(table);
        byName.open();
        QCOMPARE(query.recordCount(), byName.recordCount());
        QStringList fromQuery, fromTable;
        for (query.first(); !query.eof(); query.next())
            fromQuery.append(query.text(0));
        for (byName.first(); !byName.eof(); byName.next())
            fromTable.append(byName.text(0));
        QCOMPARE(fromQuery, fromTable);
        if (table == u"Дисциплины"_s)
            QCOMPARE(fromTable, QStringList({u"Физика"_s, u"Алгебра"_s, QString(), u"Физика"_s}));
    }
}

void TestRecordSet::windowStatementsSelectTheRightRows()
{
    m_db->addValue(u"Физика"_s, u"Время"_s, u"Проектор"_s, 4.0);
    m_db->addValue(u"Физика"_s, u"Время"_s, u"Доска"_s, 9.0);
    m_db->addValue(u"Физика"_s, u"Оценка"_s, u"Проектор"_s, 7.0);
    m_db->addValue(u"Химия"_s, u"Время"_s, u"Проектор"_s, 5.0);
    m_db->addValue(u"Физика"_s, u"Время"_s, u"Проектор"_s, 3.5);

    QueryRecordSet filter;
    filter.setConnectionString(m_db->connection());
    filter.setSource(Statements::valuesOf(u"Физика"_s, u"Время"_s));
    filter.open();
    QCOMPARE(filter.fieldCount(), 5);
    QCOMPARE(walk(filter, u"Значение"_s), QStringList({u"4"_s, u"9"_s, u"3,5"_s}));

    QueryRecordSet selection;
    selection.setConnectionString(m_db->connection());
    selection.setSource(Statements::selectionValues(u"Физика"_s, u"Время"_s, u"Проектор"_s));
    selection.open();
    QCOMPARE(selection.fieldCount(), 1);
    QCOMPARE(selection.fields().first().name, u"Значение"_s);
    QCOMPARE(walk(selection, u"Значение"_s), QStringList({u"4"_s, u"3,5"_s}));

    QueryRecordSet criterion;
    criterion.setConnectionString(m_db->connection());
    criterion.setSource(Statements::criterionValues(u"Время"_s));
    criterion.open();
    QCOMPARE(criterion.fieldCount(), 2);
    QCOMPARE(walk(criterion, u"Дисциплина"_s),
             QStringList({u"Физика"_s, u"Физика"_s, u"Химия"_s, u"Физика"_s}));
    QCOMPARE(walk(criterion, u"Значение"_s), QStringList({u"4"_s, u"9"_s, u"5"_s, u"3,5"_s}));
}

void TestRecordSet::awkwardTextsSelectExactlyTheirRows_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("double quote") << u"Курс \"Основы\""_s;
    QTest::newRow("lone double quote") << u"\""_s;
    QTest::newRow("quote and parenthesis") << u"x\") or (\"1\"=\"1"_s;
    QTest::newRow("apostrophe") << u"Д'Артаньян"_s;
    QTest::newRow("semicolon") << u"a; DROP TABLE Значения"_s;
    QTest::newRow("comment") << u"a -- b"_s;
    QTest::newRow("column name") << u"Значение"_s;
    QTest::newRow("qualified column name") << u"Значения.Дисциплина"_s;
    QTest::newRow("empty") << QString();
    QTest::newRow("spaces kept") << u" Физика "_s;
}

void TestRecordSet::awkwardTextsSelectExactlyTheirRows()
{
    QFETCH(QString, text);
    m_db->addValue(text, text, text, 1.0);
    m_db->addValue(u"Физика"_s, u"Время"_s, u"Проектор"_s, 2.0);
    m_db->addValue(text, u"Другой"_s, text, 3.0);

    QueryRecordSet filter;
    filter.setConnectionString(m_db->connection());
    filter.setSource(Statements::valuesOf(text, text));
    filter.open();
    QCOMPARE(walk(filter, u"Значение"_s), QStringList({u"1"_s}));

    QueryRecordSet selection;
    selection.setConnectionString(m_db->connection());
    selection.setSource(Statements::selectionValues(text, text, text));
    selection.open();
    QCOMPARE(walk(selection, u"Значение"_s), QStringList({u"1"_s}));

    QueryRecordSet criterion;
    criterion.setConnectionString(m_db->connection());
    criterion.setSource(Statements::criterionValues(text));
    criterion.open();
    QCOMPARE(walk(criterion, u"Дисциплина"_s), QStringList({text}));
    QCOMPARE(m_db->scalar(u"SELECT count(*) FROM Значения"_s).toInt(), 3);
}

void TestRecordSet::recordCountIsExact()
{
    for (int i = 0; i < 1000; ++i)
        m_db->addValue(i % 3 ? u"Физика"_s : u"Химия"_s, u"Время"_s, u"Доска"_s, i);
    QueryRecordSet all;
    all.setConnectionString(m_db->connection());
    all.setCommandText(u"SELECT * FROM Значения"_s);
    all.open();
    QCOMPARE(all.recordCount(), 1000);
    QueryRecordSet none;
    none.setConnectionString(m_db->connection());
    none.setSource(Statements::valuesOf(u"Нет"_s, u"Нет"_s));
    none.open();
    QCOMPARE(none.recordCount(), 0);
    none.first();
    QVERIFY(none.eof());
}

void TestRecordSet::readByNameAndPosition()
{
    m_db->exec(u"INSERT INTO Значения VALUES ('Физика', NULL, '', NULL, '01.02.2024')"_s);
    TableRecordSet table;
    table.setConnectionString(m_db->connection());
    table.setTableName(u"Значения"_s);
    table.open();
    table.first();
    QCOMPARE(table.text(0), u"Физика"_s);
    QCOMPARE(table.text(1), QString());
    QVERIFY(table.fieldByName(u"Значение"_s).isNull());
    QCOMPARE(table.fieldByName(u"значение"_s), table.value(3));
    QVERIFY_THROWS_EXCEPTION(DbError, table.fieldByName(u"Нет такого"_s));
    table.next();
    QVERIFY(table.eof());
    table.close();
    table.close(); // closing a closed record set does nothing
    QVERIFY(!table.isOpen());
}

void TestRecordSet::sameSettingsKeepTheRecordSetOpen()
{
    TableRecordSet table;
    table.setConnectionString(m_db->connection());
    table.setTableName(u"Критерии"_s);
    table.open();
    table.setConnectionString(m_db->connection());
    table.setTableName(u"Критерии"_s);
    QVERIFY(table.isOpen());
    table.setTableName(u"Дисциплины"_s);
    QVERIFY(!table.isOpen());

    QueryRecordSet query;
    query.setConnectionString(m_db->connection());
    query.setCommandText(u"SELECT * FROM Критерии"_s);
    query.open();
    query.setCommandText(u"SELECT * FROM Критерии"_s);
    QVERIFY(query.isOpen());
    query.setConnectionString(m_db->connection() + u"x"_s);
    QVERIFY(!query.isOpen());
}

void TestRecordSet::appendConvertsToColumnTypes()
{
    TableRecordSet values;
    values.setConnectionString(m_db->connection());
    values.setTableName(u"Значения"_s);
    values.open();
    values.appendRecord({u"Физика"_s, u"Время"_s, u"Доска"_s, u"3,5"_s, u"05.03.2024"_s});
    values.appendRecord({u"Физика"_s, u"Время"_s, u"Доска"_s, u"-12"_s, u"06.03.2024"_s});
    const auto rows = m_db->rows(u"SELECT Значение, Дата FROM Значения"_s);
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows.at(0).at(0).typeId(), QMetaType::Double);
    QCOMPARE(rows.at(0).at(0).toDouble(), 3.5);
    QCOMPARE(rows.at(0).at(1).toString(), u"05.03.2024"_s);
    QCOMPARE(rows.at(1).at(0).toDouble(), -12.0);
    QCOMPARE(values.rowCount(), 2);

    TableRecordSet names;
    names.setConnectionString(m_db->connection());
    names.setTableName(u"Дисциплины"_s);
    names.open();
    names.appendRecord({QString()});
    names.appendRecord({u"  с пробелами  "_s});
    QCOMPARE(m_db->rows(u"SELECT Название FROM Дисциплины"_s),
             QList<QVariantList>({{QString()}, {u"  с пробелами  "_s}}));
}

void TestRecordSet::onlyNumbersBecomeValues_data()
{
    QTest::addColumn<QString>("valueType");
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("refusal"); // a part of the message; empty: the text is stored
    const QLocale russian(QLocale::Russian, QLocale::Russia);
    const QString notANumber = u"не является числом: столбец «Значение»"_s;
    for (const QString &type : {u"REAL"_s, u"TEXT"_s}) {
        const auto row = [&](const char *name) {
            return &QTest::newRow(qPrintable(type + u' ' + QString::fromUtf8(name)));
        };
        *row("word") << type << russian << u"много"_s << notANumber;
        *row("two points") << type << russian << u"3.5.1"_s << notANumber;
        *row("nan") << type << russian << u"nan"_s << notANumber;
        *row("inf") << type << russian << u"inf"_s << notANumber;
        *row("-inf") << type << russian << u"-inf"_s << notANumber;
        *row("overflow") << type << russian << u"1e400"_s << notANumber;
        *row("empty") << type << russian << QString() << u"Значение не указано"_s;
        *row("blank") << type << russian << u"  "_s << u"Значение не указано"_s;
        *row("point in Russian") << type << russian << u"4.5"_s << u"знаком «,», например «4,5»"_s;
        *row("comma in C") << type << QLocale::c() << u"2,000"_s
                           << u"знаком «.», например «2.000»"_s;
        *row("comma decimal") << type << russian << u"4,5"_s << QString();
        *row("grouped thousands") << type << russian << u"1\u00a0000,5"_s << QString();
        *row("exponent") << type << russian << u"1,5e3"_s << QString();
        *row("point in C") << type << QLocale::c() << u"4.5"_s << QString();
    }
}

void TestRecordSet::onlyNumbersBecomeValues()
{
    QFETCH(QString, valueType);
    QFETCH(QLocale, locale);
    QFETCH(QString, text);
    QFETCH(QString, refusal);
    FormatSettings::instance().setRegionalLocale(locale);
    m_db = std::make_unique<TestDatabase>(TestDatabase::Layout{.valueType = valueType});
    m_db->addValue(u"Физика"_s, u"Время"_s, u"Доска"_s, u"3"_s);
    TableRecordSet values;
    values.setConnectionString(m_db->connection());
    values.setTableName(u"Значения"_s);
    values.open();
    const QString added = dbErrorOf([&] {
        values.appendRecord({u"Физика"_s, u"Время"_s, u"Доска"_s, text, u"05.03.2024"_s});
    });
    const QString edited = dbErrorOf([&] { values.updateRow(0, {{3, text}}); });
    if (refusal.isEmpty()) {
        QCOMPARE(added, QString());
        QCOMPARE(edited, QString());
        // A text column keeps the text as typed; a number column the number it stands for.
        const QVariant expected =
            valueType == u"TEXT"_s ? QVariant(text)
                                   : QVariant(numberReadingLocale(locale).toDouble(text.trimmed()));
        QCOMPARE(m_db->rows(u"SELECT Значение FROM Значения"_s),
                 (QList<QVariantList>{{expected}, {expected}}));
        return;
    }
    QVERIFY2(added.contains(refusal), qPrintable(added));
    QVERIFY2(edited.contains(refusal), qPrintable(edited));
    if (!text.trimmed().isEmpty())
        QVERIFY2(added.contains(u"«"_s + text + u"»"_s), qPrintable(added));
    QCOMPARE(m_db->rows(u"SELECT Значение FROM Значения"_s), (QList<QVariantList>{{u"3"_s}}));
    QCOMPARE(values.rowCount(), 1);
}

void TestRecordSet::refusalsOfTheDatabaseAreInRussian()
{
    SKIP_ON_SERVER();
    m_db->exec(u"DROP TABLE Дисциплины; CREATE TABLE Дисциплины (Название TEXT UNIQUE NOT NULL)"_s);
    m_db->addNames(u"Дисциплины"_s, {u"Физика"_s});
    TableRecordSet names;
    names.setConnectionString(m_db->connection());
    names.setTableName(u"Дисциплины"_s);
    names.open();
    try {
        names.appendName(u"Физика"_s);
        QFAIL("a second name was taken");
    } catch (const DbError &e) {
        QCOMPARE(e.message(),
                 u"Такое значение уже есть: столбец «Название» таблицы «Дисциплины» не "
                 "допускает повторов (SQLite: UNIQUE constraint failed: "
                 "Дисциплины.Название)"_s);
    }
    QCOMPARE(sqliteErrorMessage(SQLITE_CONSTRAINT_NOTNULL,
                                u"NOT NULL constraint failed: Критерии.Название"_s),
             u"Столбец «Название» таблицы «Критерии» не может быть пустым (SQLite: NOT NULL "
             "constraint failed: Критерии.Название)"_s);
    QCOMPARE(sqliteErrorMessage(SQLITE_BUSY, u"database is locked"_s),
             u"Файл базы данных сейчас занят другой программой: закройте её или подождите и "
             "повторите действие (SQLite: database is locked)"_s);
    // What has no sentence of its own stays as SQLite says it.
    QCOMPARE(sqliteErrorMessage(SQLITE_ERROR, u"no such table: Оценки"_s),
             u"no such table: Оценки"_s);
}

void TestRecordSet::keyedReferenceTableTakesNamesInItsTextColumn()
{
    SKIP_ON_SERVER();
    m_db->exec(u"DROP TABLE Дисциплины;"
               " CREATE TABLE Дисциплины (id INTEGER PRIMARY KEY, Название TEXT, Часы REAL)"_s);
    TableRecordSet names;
    names.setConnectionString(m_db->connection());
    names.setTableName(u"Дисциплины"_s);
    names.open();
    QCOMPARE(names.nameColumn(), 1);
    names.appendName(u"Физика"_s);
    QCOMPARE(m_db->rows(u"SELECT id, Название, Часы FROM Дисциплины"_s),
             (QList<QVariantList>{{qint64(1), u"Физика"_s, QVariant()}}));
}

void TestRecordSet::editAndDeleteReachExactlyTheRowShown()
{
    m_db->addValue(u"Физика"_s, u"Время"_s, u"Доска"_s, 5.0, u"01.01.2024"_s);
    m_db->addValue(u"Физика"_s, u"Время"_s, u"Доска"_s, 5.0, u"01.01.2024"_s);
    m_db->addValue(u"Физика"_s, u"Время"_s, u"Доска"_s, 5.0, u"01.01.2024"_s);
    TableRecordSet table;
    table.setConnectionString(m_db->connection());
    table.setTableName(u"Значения"_s);
    table.open();
    QCOMPARE(table.rowCount(), 3);
    table.updateRow(1, {{3, u"7,25"_s}});
    QCOMPARE(table.valueAt(1, 3).toDouble(), 7.25);
    QCOMPARE(m_db->rows(u"SELECT Значение FROM Значения ORDER BY "_s + m_db->keyColumn()),
             QList<QVariantList>({{5.0}, {7.25}, {5.0}}));
    table.deleteRow(2);
    QCOMPARE(m_db->rows(u"SELECT Значение FROM Значения ORDER BY "_s + m_db->keyColumn()),
             QList<QVariantList>({{5.0}, {7.25}}));
    QCOMPARE(table.rowCount(), 2);
    QVERIFY_THROWS_EXCEPTION(DbError, table.updateRow(0, {{3, u"x"_s}}));
    QCOMPARE(table.valueAt(0, 3).toDouble(), 5.0);
}

void TestRecordSet::filteredRecordSetIsEditable()
{
    m_db->addValue(u"Физика"_s, u"Время"_s, u"Доска"_s, 1.0);
    m_db->addValue(u"Химия"_s, u"Время"_s, u"Доска"_s, 2.0);
    QueryRecordSet filter;
    filter.setConnectionString(m_db->connection());
    filter.setSource(Statements::valuesOf(u"Химия"_s, u"Время"_s));
    filter.open();
    QVERIFY(filter.isEditable());
    filter.first();
    filter.updateRow(0, {{0, u"Биология"_s}});
    const int added = filter.insertRow({{0, u"Химия"_s}, {1, u"Время"_s}, {3, u"8"_s}});
    QCOMPARE(added, 1);
    QCOMPARE(
        m_db->rows(u"SELECT Дисциплина, Значение FROM Значения ORDER BY "_s + m_db->keyColumn()),
        QList<QVariantList>({{u"Физика"_s, 1.0}, {u"Биология"_s, 2.0}, {u"Химия"_s, 8.0}}));
    // The new row is not read a second time when the walk reaches the end.
    QStringList seen = walk(filter, u"Значение"_s);
    QCOMPARE(seen, QStringList({u"2"_s, u"8"_s}));

    QueryRecordSet expression;
    expression.setConnectionString(m_db->connection());
    expression.setCommandText(u"SELECT count(*) FROM Значения"_s);
    expression.open();
    QVERIFY(!expression.isEditable());
    QVERIFY_THROWS_EXCEPTION(DbError, expression.deleteRow(0));
}

void TestRecordSet::rowPostedIsSeenByRecordSetsOpenedAfterwards()
{
    TableRecordSet writer;
    writer.setConnectionString(m_db->connection());
    writer.setTableName(u"Критерии"_s);
    writer.open();
    writer.appendRecord({u"Время"_s});
    QueryRecordSet reader;
    reader.setConnectionString(m_db->connection());
    reader.setCommandText(u"SELECT * FROM Критерии"_s);
    reader.open();
    QCOMPARE(reader.recordCount(), 1);
    reader.first();
    QCOMPARE(reader.text(0), u"Время"_s);
}

void TestRecordSet::openGridDoesNotBlockAnotherWriter()
{
    for (int i = 0; i < 600; ++i)
        m_db->addValue(u"Физика"_s, u"Время"_s, u"Доска"_s, i);
    QueryRecordSet grid; // has read its first rows and holds the file no longer
    grid.setConnectionString(m_db->connection());
    grid.setCommandText(u"SELECT * FROM Значения"_s);
    grid.open();
    QCOMPARE(grid.valueAt(0, 3).toDouble(), 0.0);
    TableRecordSet writer;
    writer.setConnectionString(m_db->connection());
    writer.setTableName(u"Значения"_s);
    writer.open();
    writer.appendRecord({u"Химия"_s, u"Время"_s, u"Доска"_s, u"1"_s, u"01.01.2024"_s});
    QCOMPARE(m_db->scalar(u"SELECT count(*) FROM Значения"_s).toInt(), 601);
    // The grid sees the other writer's row once it looks again.
    QSignalSpy refreshed(&grid, &RecordSet::refreshed);
    QVERIFY(grid.refresh());
    QCOMPARE(refreshed.size(), 1);
    QCOMPARE(grid.rowCount(), 601);
    QCOMPARE(grid.valueAt(600, 0).toString(), u"Химия"_s);
}

void TestRecordSet::fileMadeByPlainSqliteWorks()
{
    SKIP_ON_SERVER();
    TestDatabase plain({.tables = false});
    plain.exec(
        u"CREATE TABLE Дисциплины (Имя VARCHAR(50), Ключ INTEGER PRIMARY KEY, Примечание TEXT);"
        "CREATE TABLE Критерии (Критерий TEXT, Вес REAL DEFAULT 1);"
        "CREATE TABLE Средство_ИКТ (x);"
        "CREATE TABLE Значения (Дисциплина, Критерий, Средство_ИКТ, Значение TEXT, Когда DATE,"
        " Ид INTEGER PRIMARY KEY AUTOINCREMENT, Заметка TEXT DEFAULT 'нет');"_s);
    TableRecordSet disciplines;
    disciplines.setConnectionString(plain.connection());
    disciplines.setTableName(u"Дисциплины"_s);
    disciplines.open();
    disciplines.appendRecord({u"Физика"_s});
    QCOMPARE(disciplines.fieldCount(), 3);
    disciplines.first();
    QCOMPARE(disciplines.text(0), u"Физика"_s);
    QCOMPARE(disciplines.fields().first().displayWidth, 50);

    TableRecordSet values;
    values.setConnectionString(plain.connection());
    values.setTableName(u"Значения"_s);
    values.open();
    values.appendRecord({u"Физика"_s, u"Время"_s, u"Доска"_s, u"4,5"_s, u"05.03.2024"_s});
    QCOMPARE(plain.rows(u"SELECT Значение, Когда, Ид, Заметка FROM Значения"_s),
             QList<QVariantList>({{u"4,5"_s, u"2024-03-05"_s, qint64(1), u"нет"_s}}));
    QueryRecordSet filter;
    filter.setConnectionString(plain.connection());
    filter.setSource(Statements::valuesOf(u"Физика"_s, u"Время"_s));
    filter.open();
    QCOMPARE(filter.fieldCount(), 7);
    filter.first();
    QCOMPARE(filter.fieldByName(u"Значение"_s).toString(), u"4,5"_s);
    QCOMPARE(displayValue(filter.value(4), filter.fields().at(4)).toString(), u"05.03.2024"_s);
}

void TestRecordSet::dateColumnsTakeDayMonthYear()
{
    FieldInfo date;
    date.name = u"Когда"_s;
    date.kind = FieldKind::Date;
    date.conversion = WriteConversion::Date;
    QCOMPARE(convertForColumn(u"05.03.2024"_s, date).toString(), u"2024-03-05"_s);
    QCOMPARE(convertForColumn(u"5/3/2024"_s, date).toString(), u"2024-03-05"_s);
    QCOMPARE(convertForColumn(u"2024-03-05"_s, date).toString(), u"2024-03-05"_s);
    QVERIFY(convertForColumn(QString(), date).isNull());
    QVERIFY_THROWS_EXCEPTION(DbError, convertForColumn(u"31.02.2024"_s, date));
    QVERIFY_THROWS_EXCEPTION(DbError, convertForColumn(u"вчера"_s, date));
}

void TestRecordSet::windowedRowsAreTheRowsOfAFullRead_data()
{
    QTest::addColumn<QString>("discipline"); // empty: the whole table
    QTest::addColumn<bool>("othersWrite");
    QTest::newRow("table, its own writes") << QString() << false;
    QTest::newRow("table, another connection's writes") << QString() << true;
    QTest::newRow("filter, its own writes") << u"Д1"_s << false;
    QTest::newRow("filter, another connection's writes") << u"Д1"_s << true;
}

void TestRecordSet::windowedRowsAreTheRowsOfAFullRead()
{
    QFETCH(QString, discipline);
    QFETCH(bool, othersWrite);
    m_db->exec(u"WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 100000)"
               " INSERT INTO Значения SELECT 'Д' || (i % 7), 'К', 'С', i, '01.01.2024' FROM n"_s);
    QueryRecordSet records;
    records.setConnectionString(m_db->connection());
    records.setSource(discipline.isEmpty() ? Statements::allRows(u"Значения"_s)
                                           : Statements::valuesOf(discipline, u"К"_s));
    records.open();
    const QString where = discipline.isEmpty() ? QString() : u" WHERE Дисциплина = 'Д1'"_s;
    QList<QVariantList> full;
    const auto readFully = [&] {
        full = m_db->rows(
            u"SELECT %1, Значение FROM Значения%2 ORDER BY %1"_s.arg(m_db->keyColumn(), where));
    };
    readFully();
    // Rows compared with the full read: a jump to anywhere, or a stretch scrolled through.
    const auto sameRows = [&](int from, int count) {
        for (int row = from; row < from + count && row < full.size(); ++row) {
            if (records.keyAt(row).value != full.at(row).at(0).toLongLong() ||
                records.valueAt(row, 3) != full.at(row).at(1))
                return false;
        }
        return records.rowCount() == full.size();
    };
    QRandomGenerator random(2024);
    for (int step = 0; step < 60; ++step) {
        const int rows = int(full.size());
        switch (random.bounded(5)) {
        case 0: // a jump
            QVERIFY2(sameRows(random.bounded(rows), 3), qPrintable(QString::number(step)));
            break;
        case 1: // a scroll over a few pages
            QVERIFY2(sameRows(random.bounded(rows), 700), qPrintable(QString::number(step)));
            break;
        case 2: // the end
            QVERIFY2(sameRows(rows - 300, 300), qPrintable(QString::number(step)));
            break;
        case 3: { // a row added, the last in the order of the keys
            const QString name = discipline.isEmpty() ? u"Д9"_s : discipline;
            const double value = 0.5 + step;
            if (othersWrite)
                m_db->addValue(name, u"К"_s, u"С"_s, value);
            else
                records.appendRecord({name, u"К"_s, u"С"_s,
                                      QLocale(QLocale::Russian).toString(value), u"01.01.2024"_s});
            full.append(
                {m_db->scalar(u"SELECT max(%1) FROM Значения"_s.arg(m_db->keyColumn())), value});
            break;
        }
        default: { // a row deleted
            const int row = random.bounded(rows);
            if (othersWrite)
                m_db->exec(u"DELETE FROM Значения WHERE %1 = %2"_s.arg(
                    m_db->keyColumn(), QString::number(full.at(row).at(0).toLongLong())));
            else
                records.deleteRow(row);
            full.removeAt(row);
            break;
        }
        }
        // A view looks again from time to time; changes of its own it knows at once.
        records.refresh();
    }
    const QList<QVariantList> expected = full;
    readFully();
    QCOMPARE(full, expected);
    QVERIFY(sameRows(0, int(full.size())));
}

void TestRecordSet::statementsKeepTheirOwnOrder_data()
{
    QTest::addColumn<QString>("statement");
    QTest::newRow("where and order")
        << u"SELECT * FROM Значения WHERE Критерий = \"Время\" ORDER BY Значение DESC"_s;
    QTest::newRow("order alone") << u"SELECT * FROM Значения ORDER BY Дисциплина, Значение"_s;
    QTest::newRow("limit") << u"SELECT * FROM Значения LIMIT 3 OFFSET 1"_s;
}

void TestRecordSet::statementsKeepTheirOwnOrder()
{
    QFETCH(QString, statement);
    const double values[] = {3, 9, 1, 7, 5, 8};
    for (int i = 0; i < 6; ++i)
        m_db->addValue(i % 2 ? u"Физика"_s : u"Химия"_s, u"Время"_s, u"Доска"_s, values[i]);
    QueryRecordSet records;
    records.setConnectionString(m_db->connection());
    records.setCommandText(statement);
    records.open();
    // Read as the statement orders them; rows that a read by key would reorder are read-only.
    QVERIFY(!records.isEditable());
    QStringList expected;
    for (const QVariantList &row : m_db->rows(m_db->dialect(statement)))
        expected.append(textOf(row.at(3)));
    QCOMPARE(walk(records, u"Значение"_s), expected);
    QStringList shown;
    for (int row = 0; row < records.rowCount(); ++row)
        shown.append(textOf(records.valueAt(row, 3)));
    QCOMPARE(shown, expected);
}

void TestRecordSet::analysesAreReadThroughTheirIndexes()
{
    SKIP_ON_SERVER();
    // The pie's statement reads the covering index alone; the line chart's and the grid's rows
    // come by their index in the order they were entered.
    const auto plan = [this](const Source &source) {
        QString steps;
        QString sql = translateStatement(source.statement);
        for (qsizetype i = 0; i < source.parameters.size(); ++i)
            sql.replace(u"?%1"_s.arg(i + 1), u"'x'"_s);
        for (const QVariantList &row : m_db->rows(u"EXPLAIN QUERY PLAN "_s + sql))
            steps += row.last().toString() + u'\n';
        return steps;
    };
    const QString pie = plan(Statements::criterionValues(u"Время"_s));
    QVERIFY2(pie.contains(u"COVERING INDEX Значения_критерий_дисциплина_значение"_s),
             qPrintable(pie));
    const QString line = plan(Statements::selectionValues(u"Ф"_s, u"В"_s, u"Д"_s));
    QVERIFY2(line.contains(u"INDEX Значения_дисциплина_критерий_средство"_s), qPrintable(line));
    QVERIFY2(!line.contains(u"TEMP B-TREE"_s), qPrintable(line));
}

QTEST_GUILESS_MAIN(TestRecordSet)
#include "test_recordset.moc"
