#include "core/FormatSettings.h"
#include "db/RecordSet.h"
#include "db/forms/DataGrid.h"
#include "db/forms/DataSource.h"
#include "db/forms/GridModel.h"
#include "db/forms/RecordNavigator.h"
#include "tests/support/FakeDialogs.h"
#include "tests/support/TestDatabase.h"

#include <QClipboard>
#include <QHeaderView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace {

// A shown grid and a navigator with both buttons, sharing one data source over a table.
struct Fixture
{
    TestDatabase db;
    FakeDialogs dialogs;
    TableRecordSet records;
    DataSource source;
    QWidget window;
    DataGrid *grid = new DataGrid(&window);
    RecordNavigator *navigator =
        new RecordNavigator(RecordNavigator::Insert | RecordNavigator::Delete, &window);

    explicit Fixture(const QStringList &names, const QString &table = u"Дисциплины"_s)
    {
        db.exec(u"CREATE TABLE Числа (Число REAL, Имя TEXT)"_s);
        db.addNames(u"Дисциплины"_s, names);
        records.setConnectionString(db.connection());
        records.setTableName(table);
        records.open();
        source.setDataSet(&records);
        grid->setDataSource(&source);
        navigator->setDataSource(&source);
        grid->setGeometry(0, 30, 600, 400);
        window.resize(600, 440);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
    }

    GridModel *model() const { return source.model(); }
    QModelIndex cell(int row, int column = 0) const { return model()->index(row, column); }

    // Opens the cell's editor and types the text into it, as the user would.
    void type(int row, const QString &text, int column = 0)
    {
        grid->setCurrentIndex(cell(row, column));
        grid->edit(cell(row, column));
        QVERIFY(editor());
        editor()->setText(text);
    }

    // The cell editor open now (closed ones linger until deleted later).
    QLineEdit *editor() const
    {
        const auto editors = grid->viewport()->findChildren<QLineEdit *>();
        for (QLineEdit *candidate : editors) {
            if (candidate->isVisible())
                return candidate;
        }
        return nullptr;
    }

    QStringList names(const QString &table = u"Дисциплины"_s)
    {
        QStringList result;
        for (const QVariantList &row : db.rows(u"SELECT * FROM %1 ORDER BY rowid"_s.arg(table)))
            result.append(row.first().toString());
        return result;
    }
};

} // namespace

class TestGridWidgets : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void gridLooksLikeADataGrid();
    void refusedRowChangeKeepsTheUserOnTheRow();
    void postPendingWritesAnOpenEditor();
    void escapeDropsTheRowsEdits();
    void navigatorInsertStartsANewRow();
    void navigatorButtonsFollowTheData();
    void copyAndCsvGoToASpreadsheetAsShown();
};

void TestGridWidgets::initTestCase()
{
    FormatSettings::instance().setRegionalLocale(QLocale(QLocale::Russian, QLocale::Russia));
}

void TestGridWidgets::gridLooksLikeADataGrid()
{
    Fixture f({u"Физика"_s});
    f.db.exec(u"CREATE TABLE Ширины (Код VARCHAR(4), Описание VARCHAR(40))"_s);
    f.records.close();
    f.records.setTableName(u"Ширины"_s);
    f.records.open();
    // Default widths come from the fields' display widths.
    QVERIFY(f.grid->columnWidth(1) > 3 * f.grid->columnWidth(0) / 2);
    QVERIFY(f.grid->columnWidth(0) >= f.grid->fontMetrics().horizontalAdvance(u"Код"_s));
    // Large tables: no row is ever measured, long texts are elided on one line.
    QCOMPARE(f.grid->verticalHeader()->sectionResizeMode(0), QHeaderView::Fixed);
    QVERIFY(!f.grid->wordWrap());

    f.grid->setColumnFont(1, QFont(u"Wingdings"_s));
    QCOMPARE(f.grid->columnFont(1).family(), u"Wingdings"_s);
    QCOMPARE(f.grid->columnFont(0), f.grid->font());
}

void TestGridWidgets::refusedRowChangeKeepsTheUserOnTheRow()
{
    Fixture f({}, u"Числа"_s);
    f.db.exec(u"INSERT INTO Числа VALUES (1, 'а'), (2, 'б')"_s);
    f.records.close();
    f.records.open();

    f.type(0, u"не число"_s);
    f.grid->setCurrentIndex(f.cell(1));
    QTRY_COMPARE(f.dialogs.errors().size(), 1);
    QVERIFY(f.dialogs.errors().first().contains(u"не число"_s));
    QCOMPARE(f.grid->currentIndex().row(), 0);
    QCOMPARE(f.model()->currentRow(), 0);
    QVERIFY(f.model()->hasPendingChanges());
    QCOMPARE(f.model()->data(f.cell(0)).toString(), u"не число"_s);
    QCOMPARE(f.db.scalar(u"SELECT Число FROM Числа WHERE Имя = 'а'"_s).toDouble(), 1.0);
}

void TestGridWidgets::postPendingWritesAnOpenEditor()
{
    Fixture f({u"Физика"_s});
    f.type(0, u"Химия"_s);
    f.grid->postPending();
    QCOMPARE(f.names(), QStringList{u"Химия"_s});
    QVERIFY(!f.model()->hasPendingChanges());
    QCOMPARE(f.editor(), nullptr);
}

void TestGridWidgets::escapeDropsTheRowsEdits()
{
    Fixture f({u"Физика"_s});
    f.type(0, u"Химия"_s);
    QTest::keyClick(f.editor(), Qt::Key_Return);
    QTRY_VERIFY(f.model()->hasPendingChanges());
    QTRY_COMPARE(f.editor(), nullptr);
    QTest::keyClick(f.grid, Qt::Key_Escape);
    QVERIFY(!f.model()->hasPendingChanges());
    QCOMPARE(f.model()->data(f.cell(0)).toString(), u"Физика"_s);
}

void TestGridWidgets::navigatorInsertStartsANewRow()
{
    Fixture f({u"Физика"_s});
    // What is still in the editor is taken first, as if the row had been left.
    f.type(0, u"Химия"_s);
    f.navigator->insertButton()->click();
    QCOMPARE(f.names(), QStringList{u"Химия"_s});
    QCOMPARE(f.model()->rowCount(), 2);
    // The new row is shown where the user was, above the row that stood there.
    QCOMPARE(f.grid->currentIndex().row(), 0);
    QCOMPARE(f.model()->data(f.cell(1)).toString(), u"Химия"_s);

    // Leaving it writes it; written, it takes its place after the rows written before it,
    // and the user is on the row clicked.
    f.type(0, u"Биология"_s);
    f.grid->setCurrentIndex(f.cell(1));
    QCOMPARE(f.names(), (QStringList{u"Химия"_s, u"Биология"_s}));
    QCOMPARE(f.model()->data(f.cell(1)).toString(), u"Биология"_s);
    QCOMPARE(f.grid->currentIndex().row(), 0);
    QCOMPARE(f.model()->data(f.cell(0)).toString(), u"Химия"_s);
    QVERIFY(f.dialogs.errors().isEmpty());
}

void TestGridWidgets::navigatorButtonsFollowTheData()
{
    Fixture f({});
    QVERIFY(f.navigator->insertButton()->isEnabled());
    QVERIFY(!f.navigator->deleteButton()->isEnabled()); // nothing to delete
    f.records.appendRecord({u"Физика"_s});
    QVERIFY(f.navigator->deleteButton()->isEnabled());

    QueryRecordSet counted;
    counted.setConnectionString(f.db.connection());
    counted.setCommandText(u"SELECT count(*) FROM Дисциплины"_s);
    counted.open();
    f.source.setDataSet(&counted);
    QVERIFY(!f.navigator->insertButton()->isEnabled());
    QVERIFY(!f.navigator->deleteButton()->isEnabled());

    f.source.setDataSet(nullptr);
    QVERIFY(!f.navigator->insertButton()->isEnabled());

    RecordNavigator deleteOnly(RecordNavigator::Delete);
    QCOMPARE(deleteOnly.insertButton(), nullptr);
    QVERIFY(deleteOnly.deleteButton());
    QVERIFY(!deleteOnly.deleteButton()->isEnabled());
}

void TestGridWidgets::copyAndCsvGoToASpreadsheetAsShown()
{
    Fixture f({}, u"Числа"_s);
    f.db.exec(u"INSERT INTO Числа VALUES (1.5, 'а; б'), (-2, 'с \"кавычками\"'),"
              u" (3.25, 'две' || char(10) || 'строки'), (NULL, 'табуляция' || char(9))"_s);
    f.records.close();
    f.records.open();

    // Ctrl+C on a rectangle of cells: tab-separated, decimal commas, quoted where needed.
    f.grid->selectionModel()->select(QItemSelection(f.cell(0, 0), f.cell(2, 1)),
                                     QItemSelectionModel::ClearAndSelect);
    QTest::keySequence(f.grid, QKeySequence::Copy);
    QCOMPARE(QGuiApplication::clipboard()->text(),
             u"1,5\tа; б\n-2\t\"с \"\"кавычками\"\"\"\n3,25\t\"две\nстроки\"\n"_s);

    // CSV of every row, read back by Python's csv module.
    QTemporaryDir folder;
    const QString path = folder.filePath(u"числа.csv"_s);
    f.grid->saveCsv(path);
    QProcess python;
    python.start(u"python3"_s,
                 {u"-c"_s,
                  u"import csv, json, sys; print(json.dumps(list(csv.reader("
                  u"open(sys.argv[1], encoding='utf-8', newline=''), delimiter=';'))))"_s,
                  path});
    QVERIFY2(python.waitForFinished(), "python3 is needed to read the CSV file back");
    QCOMPARE(python.exitCode(), 0);
    const QJsonArray rows = QJsonDocument::fromJson(python.readAllStandardOutput()).array();
    const QList<QStringList> expected{{u"Число"_s, u"Имя"_s},
                                      {u"1,5"_s, u"а; б"_s},
                                      {u"-2"_s, u"с \"кавычками\""_s},
                                      {u"3,25"_s, u"две\nстроки"_s},
                                      {QString(), u"табуляция\t"_s}};
    QCOMPARE(rows.size(), expected.size());
    for (qsizetype row = 0; row < expected.size(); ++row)
        QCOMPARE(rows.at(row).toVariant().toStringList(), expected.at(row));

    // Every row means every row, also of a table far larger than what is kept at a time.
    f.db.exec(u"WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 20000)"
              u" INSERT INTO Числа SELECT i, 'строка' FROM n"_s);
    f.records.close();
    f.records.open();
    f.grid->selectAll();
    QTest::keySequence(f.grid, QKeySequence::Copy);
    const QStringList lines = QGuiApplication::clipboard()->text().split(u'\n');
    // The four rows above (one with a line break of its own), the new ones, the end.
    QCOMPARE(lines.size(), 4 + 1 + 20000 + 1);
    QCOMPARE(lines.at(lines.size() - 2), u"20000\tстрока"_s);
    f.grid->saveCsv(path);
    QFile csv(path);
    QVERIFY(csv.open(QIODevice::ReadOnly));
    QCOMPARE(csv.readAll().count("\r\n"), 1 + 4 + 20000);
}

QTEST_MAIN(TestGridWidgets)
#include "test_grid_widgets.moc"
