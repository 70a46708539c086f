#include "core/DbError.h"
#include "db/ConnectionString.h"
#include "db/SqlDialect.h"
#include "db/Statements.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestDialect : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void translatesLiterals_data();
    void translatesLiterals();
    void unterminatedLiteralIsAnError();
    void translatesForAServer_data();
    void translatesForAServer();
    void escapedTextRoundTrips_data();
    void escapedTextRoundTrips();
    void recognisesSingleTableSelects_data();
    void recognisesSingleTableSelects();
    void connectionStringKeepsTheWholePath();
    void windowStatements_data();
    void windowStatements();
};

void TestDialect::translatesLiterals_data()
{
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QString>("expected");
    QTest::newRow("double-quoted literal")
        << u"SELECT * FROM Значения WHERE (Значения.Критерий)=(\"Время\")"_s
        << u"SELECT * FROM Значения WHERE (Значения.Критерий)=('Время')"_s;
    QTest::newRow("doubled quote inside") << u"x=(\"a\"\"b\")"_s << u"x=('a\"b')"_s;
    QTest::newRow("apostrophe inside") << u"x=(\"O'Brien\")"_s << u"x=('O''Brien')"_s;
    QTest::newRow("single-quoted passes") << u"x='it''s'"_s << u"x='it''s'"_s;
    QTest::newRow("bracketed name")
        << u"SELECT [Средство ИКТ] FROM t"_s << u"SELECT \"Средство ИКТ\" FROM t"_s;
    QTest::newRow("comment marks stay inside") << u"x=(\"--;\")"_s << u"x=('--;')"_s;
    QTest::newRow("empty literal") << u"x=(\"\")"_s << u"x=('')"_s;
}

void TestDialect::translatesLiterals()
{
    QFETCH(QString, statement);
    QFETCH(QString, expected);
    QCOMPARE(translateStatement(statement), expected);
}

void TestDialect::unterminatedLiteralIsAnError()
{
    QVERIFY_THROWS_EXCEPTION(DbError, translateStatement(u"x=(\"abc)"_s));
}

void TestDialect::translatesForAServer_data()
{
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QString>("expected");
    // Names beyond ASCII are quoted, so that the server keeps them as written; keywords and
    // the texts of literals stay as they are.
    QTest::newRow("window statement")
        << u"select Значения.Значение from Значения where Значения.Критерий=(?)"_s
        << u"select \"Значения\".\"Значение\" from \"Значения\" where "
           "\"Значения\".\"Критерий\"=($1)"_s;
    QTest::newRow("literal and parameters")
        << u"SELECT count(*) FROM Значения WHERE Дисциплина = \"Физика ? да\" AND Дата > ?"
           " AND Критерий = ?"_s
        << u"SELECT count(*) FROM \"Значения\" WHERE \"Дисциплина\" = 'Физика ? да' AND "
           "\"Дата\" > $1 AND \"Критерий\" = $2"_s;
    QTest::newRow("bracketed and quoted names")
        << u"SELECT [Средство ИКТ], \"x\" FROM [Средство_ИКТ]"_s
        << u"SELECT \"Средство ИКТ\", 'x' FROM \"Средство_ИКТ\""_s;
}

void TestDialect::translatesForAServer()
{
    QFETCH(QString, statement);
    QFETCH(QString, expected);
    QCOMPARE(translateForServer(translateStatement(statement)), expected);
}

void TestDialect::escapedTextRoundTrips_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("plain") << u"Математика"_s;
    QTest::newRow("quotes") << u"\"Про\" \"\"x"_s;
    QTest::newRow("closing quote and parenthesis") << u"a\") or (\"1\"=\"1"_s;
}

void TestDialect::escapedTextRoundTrips()
{
    QFETCH(QString, text);
    const QString statement = u"x=(\""_s + escapeLiteral(text) + u"\")"_s;
    QString inner = text;
    inner.replace(u'\'', u"''"_s);
    QCOMPARE(translateStatement(statement), u"x=('"_s + inner + u"')"_s);
}

void TestDialect::recognisesSingleTableSelects_data()
{
    QTest::addColumn<QString>("statement");
    QTest::addColumn<bool>("matches");
    QTest::addColumn<QString>("table");
    QTest::newRow("star") << u"SELECT * FROM Значения"_s << true << u"Значения"_s;
    QTest::newRow("lower case with where")
        << u"select Значения.Значение from Значения where Значения.Критерий=('a')"_s << true
        << u"Значения"_s;
    QTest::newRow("parenthesised where")
        << u"SELECT * FROM Значения WHERE (Значения.Дисциплина)=('from') and (x)=('y')"_s << true
        << u"Значения"_s;
    QTest::newRow("join") << u"SELECT * FROM a JOIN b ON a.x=b.x"_s << false << QString();
    QTest::newRow("two tables") << u"SELECT * FROM a, b"_s << false << QString();
    QTest::newRow("distinct") << u"SELECT DISTINCT x FROM a"_s << false << QString();
    QTest::newRow("group by") << u"SELECT x FROM a WHERE y=1 GROUP BY x"_s << false << QString();
    QTest::newRow("not a select") << u"DELETE FROM a"_s << false << QString();
}

void TestDialect::recognisesSingleTableSelects()
{
    QFETCH(QString, statement);
    QFETCH(bool, matches);
    QFETCH(QString, table);
    const SingleTableSelect select = analyseSelect(statement);
    QCOMPARE(select.matches, matches);
    if (matches)
        QCOMPARE(select.table, table);
}

void TestDialect::connectionStringKeepsTheWholePath()
{
    const QString path = u"/home/u/базы;2024/данные.mdb"_s;
    const QString connection = connectionString(path);
    QCOMPARE(connection, u"Provider=Microsoft.Jet.OLEDB.4.0;Data Source="_s + path);
    QCOMPARE(databasePathOf(connection), path);
    QVERIFY_THROWS_EXCEPTION(DbError, databasePathOf(u"Provider=x"_s));
}

void TestDialect::windowStatements_data()
{
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QVariantList>("parameters");
    QTest::addColumn<QString>("text");
    // The typed texts go as parameters; written in, a double quote is doubled and a typed
    // "%1" stays as it is.
    const auto row = [](const char *name, const Source &source, const QString &text) {
        QTest::newRow(name) << source.statement << source.parameters << text
                            << source.displayText();
    };
    QTest::addColumn<QString>("shown");
    row("every row", Statements::allRows(u"Дисциплины"_s), u"SELECT * FROM Дисциплины"_s);
    row("the entry grid", Statements::valuesOf(u"Физика"_s, u"Вре\"мя %1"_s),
        u"SELECT * FROM Значения WHERE (Значения.Дисциплина)=(\"Физика\") and "
        u"(Значения.Критерий)=(\"Вре\"\"мя %1\")"_s);
    row("a line of the chart", Statements::selectionValues(u"Физика"_s, u"Время"_s, u"%2"_s),
        u"select Значения.Значение from Значения where Значения.Дисциплина=(\"Физика\") and "
        u"Значения.Критерий=(\"Время\") and Значения.Средство_ИКТ=(\"%2\")"_s);
    row("the pie", Statements::criterionValues(u"Время"_s),
        u"select Значения.Значение, Значения.Дисциплина from Значения where "
        u"Значения.Критерий=(\"Время\")"_s);
}

void TestDialect::windowStatements()
{
    QFETCH(QString, statement);
    QFETCH(QVariantList, parameters);
    QFETCH(QString, text);
    QFETCH(QString, shown);
    QCOMPARE(shown, text);
    // No typed text is part of the statement: each "?" is one parameter.
    QCOMPARE(statement.count(u'?'), parameters.size());
    for (const QVariant &parameter : parameters)
        QVERIFY(!statement.contains(u'"' + parameter.toString()));
}

QTEST_GUILESS_MAIN(TestDialect)
#include "test_dialect.moc"
