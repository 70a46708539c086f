#include "core/DbError.h"
#include "core/FormatSettings.h"
#include "core/Waiting.h"
#include "db/RecordSet.h"
#include "db/RowStore.h"
#include "db/forms/DataSource.h"
#include "db/forms/GridModel.h"
#include "tests/support/TestDatabase.h"

#include "db/Sqlite.h"

#include <QAbstractItemModelTester>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QTest>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

// A grid model over a table of the test database; "Смесь" has columns of every kind.
struct Fixture
{
    TestDatabase db;
    TableRecordSet records;
    GridModel model;
    // Checks every signal the model sends against its rows. Qt 6.4's tester fetches more
    // rows from inside its own reset check and then finds them out of place, so the test
    // of lazy reading goes without it.
    std::optional<QAbstractItemModelTester> tester;

    explicit Fixture(const QString &table, const QString &rows = {}, bool checked = true)
    {
        db.exec(u"CREATE TABLE Смесь (Имя TEXT, Число REAL, Штук INTEGER, Когда DATE)"_s);
        if (!rows.isEmpty())
            db.exec(u"INSERT INTO %1 VALUES %2"_s.arg(table, rows));
        if (checked)
            tester.emplace(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        records.setConnectionString(db.connection());
        records.setTableName(table);
        records.open();
        model.setRecordSet(&records);
    }

    QString shown(int row, int column = 0) const
    {
        return model.data(model.index(row, column)).toString();
    }
    bool edit(int row, const QString &text, int column = 0)
    {
        return model.setData(model.index(row, column), text);
    }
    // The first column of the table in the file, in rowid order.
    QStringList stored(const QString &table = u"Дисциплины"_s)
    {
        QStringList result;
        for (const QVariantList &row : db.rows(u"SELECT * FROM %1 ORDER BY rowid"_s.arg(table)))
            result.append(row.first().toString());
        return result;
    }
    QList<QVariantList> rowids()
    {
        return db.rows(u"SELECT rowid FROM Дисциплины ORDER BY rowid"_s);
    }
};

} // namespace

class TestGridModel : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void valuesInTheRegionalFormat();
    void everyRowIsThereAtOnce();
    void editIsWrittenToTheRowShownWhenTheRowIsLeft();
    void unchangedOrEmptiedCells();
    void refusedEditStaysPending();
    void newRowIsWrittenWhenPosted();
    void nothingWrittenForCancelledOrEmptyRows();
    void deleteRemovesExactlyTheCurrentRow();
    void readOnlyRecordSetRefusesChanges();
    void followsTheRecordSetClosedOrGone();
    void rowsAppendedElsewhereLeaveATypedRowInPlace();
    void dataSourcePostsBeforeRebinding();
    void editOfARowReadLongAgoReachesThatRow();
    void editIsStoredWhileAnotherWriterWorks_data();
    void editIsStoredWhileAnotherWriterWorks();
    void fileHeldByAnotherProgramIsBusyNotDamaged_data();
    void fileHeldByAnotherProgramIsBusyNotDamaged();
    void waitForAHeldFileIsShownAndMayBeCancelled_data();
    void waitForAHeldFileIsShownAndMayBeCancelled();
    void fileGoneFromItsPathIsNotWritten_data();
    void fileGoneFromItsPathIsNotWritten();
};

void TestGridModel::initTestCase()
{
    FormatSettings::instance().setRegionalLocale(QLocale(QLocale::Russian, QLocale::Russia));
}

void TestGridModel::valuesInTheRegionalFormat()
{
    Fixture f(u"Смесь"_s, u"('текст', 3.5, 1234567, '2024-03-05'), (NULL, 1e20, -4, NULL),"
                          " ('x', 0.1, NULL, NULL), ('y', 2.0, 0, NULL)"_s);
    QStringList titles;
    for (int c = 0; c < f.model.columnCount(); ++c)
        titles.append(f.model.headerData(c, Qt::Horizontal).toString());
    QCOMPARE(titles, (QStringList{u"Имя"_s, u"Число"_s, u"Штук"_s, u"Когда"_s}));

    QCOMPARE(f.shown(0, 1), u"3,5"_s);
    QCOMPARE(f.shown(0, 2), u"1234567"_s); // no group separator to trip over when editing
    QCOMPARE(f.shown(0, 3), u"05.03.2024"_s);
    QCOMPARE(f.shown(2, 1), u"0,1"_s);
    QCOMPARE(f.shown(3, 1), u"2"_s);
    QVERIFY(f.shown(1, 1).contains(u"e+20"_s, Qt::CaseInsensitive));
    QCOMPARE(f.shown(1, 0), QString()); // NULL
    QCOMPARE(f.model.data(f.model.index(2, 2), Qt::EditRole).typeId(), QMetaType::QString);
    QCOMPARE(f.model.columnAlignment(0), Qt::AlignLeft);
    QCOMPARE(f.model.columnAlignment(1), Qt::AlignRight);
    QVERIFY(f.model.data(f.model.index(0, 2), Qt::TextAlignmentRole).toInt() & Qt::AlignRight);

    // Typed with the decimal comma, stored as that number.
    QVERIFY(f.edit(0, u"2,25"_s, 1));
    f.model.post();
    QCOMPARE(f.db.scalar(u"SELECT Число FROM Смесь WHERE Имя = 'текст'"_s).toDouble(), 2.25);
}

void TestGridModel::everyRowIsThereAtOnce()
{
    QStringList values;
    for (int i = 0; i < 3 * RowStore::PageRows + 10; ++i)
        values.append(u"('%1')"_s.arg(i));
    Fixture f(u"Дисциплины"_s, values.join(u','), false);

    // The count comes first; a row far down is read when it is asked for.
    QCOMPARE(f.model.rowCount(), values.size());
    QCOMPARE(f.shown(values.size() - 1), QString::number(values.size() - 1));
    QCOMPARE(f.shown(RowStore::PageRows + 1), QString::number(RowStore::PageRows + 1));
}

void TestGridModel::editIsWrittenToTheRowShownWhenTheRowIsLeft()
{
    Fixture f(u"Дисциплины"_s, u"('Физика'), ('Физика'), ('Физика')"_s);
    f.model.setCurrentRow(1);
    QVERIFY(f.edit(1, u"Химия"_s));
    QVERIFY(f.model.hasPendingChanges());
    QCOMPARE(f.shown(1), u"Химия"_s);
    QCOMPARE(f.model.headerData(1, Qt::Vertical).toString(), u"✎"_s);
    QVERIFY(!f.edit(2, u"другое"_s)); // one row at a time
    QCOMPARE(f.stored(), (QStringList{u"Физика"_s, u"Физика"_s, u"Физика"_s}));

    f.model.setCurrentRow(0);
    QCOMPARE(f.model.currentRow(), 0);
    QVERIFY(!f.model.hasPendingChanges());
    QCOMPARE(f.stored(), (QStringList{u"Физика"_s, u"Химия"_s, u"Физика"_s}));
}

void TestGridModel::unchangedOrEmptiedCells()
{
    Fixture f(u"Смесь"_s, u"('а', 2.50, 1, '2024-01-31')"_s);
    // The texts the editor started from come back as they were: nothing to write.
    for (int column = 0; column < 4; ++column)
        QVERIFY(f.edit(0, f.model.data(f.model.index(0, column), Qt::EditRole).toString(), column));
    QVERIFY(!f.model.hasPendingChanges());

    // Emptied, a number or date cell holds no value; a text cell an empty text.
    for (int column = 0; column < 4; ++column)
        QVERIFY(f.edit(0, QString(), column));
    f.model.post();
    const QVariantList row = f.db.rows(u"SELECT * FROM Смесь"_s).first();
    QCOMPARE(row.at(0).typeId(), QMetaType::QString);
    QVERIFY(row.at(1).isNull() && row.at(2).isNull() && row.at(3).isNull());
}

void TestGridModel::refusedEditStaysPending()
{
    Fixture f(u"Смесь"_s, u"('а', 1, 1, NULL), ('б', 2, 2, NULL)"_s);
    QVERIFY(f.edit(0, u"много"_s, 1));
    QVERIFY_THROWS_EXCEPTION(DbError, f.model.setCurrentRow(1));
    QCOMPARE(f.model.currentRow(), 0);
    QCOMPARE(f.model.pendingRow(), 0);
    QCOMPARE(f.shown(0, 1), u"много"_s);
    QCOMPARE(f.db.scalar(u"SELECT Число FROM Смесь WHERE Имя = 'а'"_s).toDouble(), 1.0);

    QVERIFY(f.edit(0, u"7,5"_s, 1));
    f.model.setCurrentRow(1);
    QCOMPARE(f.db.scalar(u"SELECT Число FROM Смесь WHERE Имя = 'а'"_s).toDouble(), 7.5);
}

void TestGridModel::newRowIsWrittenWhenPosted()
{
    Fixture f(u"Дисциплины"_s, u"('Физика'), ('Алгебра')"_s);
    f.model.setCurrentRow(1);
    // Where the user is: the current row moves down.
    QCOMPARE(f.model.insertNewRow(), 1);
    QCOMPARE(f.model.currentRow(), 1);
    QCOMPARE(f.model.headerData(1, Qt::Vertical).toString(), u"*"_s);
    QCOMPARE(f.shown(2), u"Алгебра"_s);
    QVERIFY(f.edit(1, u"Химия"_s));
    QCOMPARE(f.stored(), (QStringList{u"Физика"_s, u"Алгебра"_s}));

    // Leaving it for the row below writes it; the user is on the row clicked.
    f.model.setCurrentRow(2);
    QCOMPARE(f.model.rowCount(), 3);
    QVERIFY(!f.model.hasPendingChanges());
    QCOMPARE(f.stored(), (QStringList{u"Физика"_s, u"Алгебра"_s, u"Химия"_s}));
    QCOMPARE(f.model.currentRow(), 1);
    QCOMPARE(f.shown(1), u"Алгебра"_s);
    // Written, it takes its place among the rows, and the row shown is the stored one: an
    // edit changes it, not a new row.
    QCOMPARE(f.shown(2), u"Химия"_s);
    f.model.setCurrentRow(2);
    QVERIFY(f.edit(2, u"Биология"_s));
    f.model.post();
    QCOMPARE(f.stored(), (QStringList{u"Физика"_s, u"Алгебра"_s, u"Биология"_s}));
    f.model.setCurrentRow(1);
    f.model.deleteCurrentRow();
    QCOMPARE(f.stored(), (QStringList{u"Физика"_s, u"Биология"_s}));
}

void TestGridModel::nothingWrittenForCancelledOrEmptyRows()
{
    Fixture f(u"Дисциплины"_s, u"('Физика')"_s);
    QVERIFY(f.edit(0, u"Химия"_s));
    f.model.cancel();
    QCOMPARE(f.shown(0), u"Физика"_s);

    f.model.insertNewRow();
    QVERIFY(f.edit(0, QString())); // an editor opened and left empty
    f.model.setCurrentRow(1);
    QCOMPARE(f.model.rowCount(), 1);
    QCOMPARE(f.model.currentRow(), 0);

    f.model.insertNewRow();
    f.model.insertNewRow(); // the first, still empty, goes
    QCOMPARE(f.model.rowCount(), 2);
    f.model.deleteCurrentRow(); // a new row is only dropped
    QCOMPARE(f.model.rowCount(), 1);
    QCOMPARE(f.model.currentRow(), 0);
    QCOMPARE(f.stored(), QStringList{u"Физика"_s});
}

void TestGridModel::deleteRemovesExactlyTheCurrentRow()
{
    Fixture f(u"Дисциплины"_s, u"('А'), ('Б'), ('Б'), ('В')"_s);
    const QList<QVariantList> before = f.rowids();
    f.model.setCurrentRow(2);
    QVERIFY(f.edit(2, u"изменено"_s)); // an edit of the row goes with it
    f.model.deleteCurrentRow();
    QCOMPARE(f.rowids(), (QList<QVariantList>{before.at(0), before.at(1), before.at(3)}));
    QVERIFY(!f.model.hasPendingChanges());
    QCOMPARE(f.model.currentRow(), 2); // the next row takes its place
    QCOMPARE(f.shown(2), u"В"_s);

    f.model.deleteCurrentRow();
    QCOMPARE(f.model.currentRow(), 1); // at the end, the previous one
    f.model.deleteCurrentRow();
    f.model.deleteCurrentRow();
    QCOMPARE(f.model.currentRow(), -1);
    f.model.deleteCurrentRow(); // nothing left: nothing happens
    QCOMPARE(f.stored(), QStringList());
}

void TestGridModel::readOnlyRecordSetRefusesChanges()
{
    Fixture f(u"Дисциплины"_s, u"('А')"_s);
    QueryRecordSet counted;
    counted.setConnectionString(f.db.connection());
    counted.setCommandText(u"SELECT count(*) AS Число FROM Дисциплины"_s);
    counted.open();
    f.model.setRecordSet(&counted);
    QVERIFY(!(f.model.flags(f.model.index(0, 0)) & Qt::ItemIsEditable));
    QVERIFY(!f.edit(0, u"5"_s));
    QCOMPARE(f.model.columnAlignment(0), Qt::AlignRight); // an expression holding a number
    QVERIFY_THROWS_EXCEPTION(DbError, f.model.insertNewRow());
    QVERIFY_THROWS_EXCEPTION(DbError, f.model.deleteCurrentRow());
    QCOMPARE(f.model.rowCount(), 1);
}

void TestGridModel::followsTheRecordSetClosedOrGone()
{
    Fixture f(u"Дисциплины"_s, u"('А')"_s);
    QVERIFY(f.edit(0, u"Б"_s));
    f.records.close();
    QCOMPARE(f.model.rowCount(), 0);
    QCOMPARE(f.model.columnCount(), 0);
    QCOMPARE(f.model.currentRow(), -1);
    QVERIFY(!f.model.hasPendingChanges());
    {
        TableRecordSet shortLived;
        shortLived.setConnectionString(f.db.connection());
        shortLived.setTableName(u"Дисциплины"_s);
        shortLived.open();
        f.model.setRecordSet(&shortLived);
        QCOMPARE(f.model.rowCount(), 1);
    }
    QCOMPARE(f.model.recordSet(), nullptr);
    QCOMPARE(f.model.rowCount(), 0);
}

void TestGridModel::rowsAppendedElsewhereLeaveATypedRowInPlace()
{
    Fixture f(u"Дисциплины"_s);
    f.records.appendRecord({u"Физика"_s});
    QCOMPARE(f.model.rowCount(), 1);
    QCOMPARE(f.model.currentRow(), 0);

    f.model.insertNewRow();
    QVERIFY(f.edit(0, u"Химия"_s));
    f.records.appendRecord({u"Алгебра"_s});
    QCOMPARE(f.model.pendingRow(), 0);
    QCOMPARE(f.model.currentRow(), 0);
    QCOMPARE(f.shown(0), u"Химия"_s);
    QCOMPARE(f.shown(2), u"Алгебра"_s);
    // Written, it comes last, in the order the rows were written, and the user is on it.
    f.model.post();
    QCOMPARE(f.model.rowCount(), 3);
    QCOMPARE(f.shown(0), u"Физика"_s);
    QCOMPARE(f.shown(2), u"Химия"_s);
    QCOMPARE(f.model.currentRow(), 2);
    QCOMPARE(f.stored(), (QStringList{u"Физика"_s, u"Алгебра"_s, u"Химия"_s}));

    // A row written meanwhile comes after the typed one, which stays where it is.
    f.model.setCurrentRow(1);
    f.model.insertNewRow();
    QVERIFY(f.edit(1, u"Геометрия"_s));
    f.records.insertRow({{0, u"Биология"_s}});
    QCOMPARE(f.model.pendingRow(), 1);
    QCOMPARE(f.model.currentRow(), 1);
    QCOMPARE(f.shown(4), u"Биология"_s);
    f.model.post();
    QCOMPARE(f.shown(4), u"Геометрия"_s);
    QCOMPARE(f.model.rowCount(), 5);
}

void TestGridModel::dataSourcePostsBeforeRebinding()
{
    Fixture f(u"Смесь"_s, u"('а', 1, 1, NULL)"_s);
    TableRecordSet other;
    other.setConnectionString(f.db.connection());
    other.setTableName(u"Дисциплины"_s);
    other.open();
    DataSource source;
    source.setDataSet(&f.records);
    GridModel *model = source.model();

    // Refused: nothing is bound, the edit stays.
    QVERIFY(model->setData(model->index(0, 2), u"полтора"_s));
    QVERIFY_THROWS_EXCEPTION(DbError, source.setDataSet(&other));
    QCOMPARE(source.dataSet(), &f.records);
    QVERIFY(model->hasPendingChanges());

    QVERIFY(model->setData(model->index(0, 2), u"15"_s));
    source.setDataSet(&other);
    QCOMPARE(source.dataSet(), &other);
    QCOMPARE(f.db.scalar(u"SELECT Штук FROM Смесь"_s).toInt(), 15);
}

namespace {

// Rows of "Значения" for a grid larger than one batch, in the given journal mode.
void fillValues(Fixture &f, int count, const QString &journalMode)
{
    // Leaving a write-ahead log takes the only connection to the file.
    f.records.close();
    f.db.exec(u"PRAGMA journal_mode = %1"_s.arg(journalMode));
    for (int i = 0; i < count; ++i)
        f.db.addValue(u"Физика"_s, u"Время"_s, u"Доска"_s, double(i));
    f.records.open();
}

// Another program that holds the file with BEGIN EXCLUSIVE until it is told to let go.
class ExclusiveHolder
{
public:
    explicit ExclusiveHolder(const QString &path)
    {
        m_shell.start(u"sqlite3"_s, {path});
        m_shell.write("BEGIN EXCLUSIVE;\nSELECT 'held';\n");
        m_held = m_shell.waitForStarted() && QTest::qWaitFor([this] {
                     return m_shell.readAllStandardOutput().contains("held");
                 });
    }
    ~ExclusiveHolder()
    {
        m_shell.closeWriteChannel();
        if (!m_shell.waitForFinished())
            m_shell.kill();
    }
    bool isHolding() const { return m_held; }
    void release()
    {
        m_shell.write("COMMIT;\n.quit\n");
        m_shell.waitForFinished();
    }

private:
    QProcess m_shell;
    bool m_held = false;
};

QString postError(GridModel &model)
{
    return dbErrorOf([&] { model.post(); });
}

} // namespace

void TestGridModel::editOfARowReadLongAgoReachesThatRow()
{
    Fixture f(u"Значения"_s, {}, false);
    f.records.close();
    f.db.exec(u"WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 19999)"
              " INSERT INTO Значения SELECT 'Физика', 'Время', 'Доска', i, '' FROM n"_s);
    f.records.open();
    QVERIFY(f.edit(5, u"7,5"_s, 3));
    // Scrolled through to the end: the page of the edited row is long dropped, the edit not.
    for (int row = 0; row < f.model.rowCount(); row += RowStore::PageRows / 2)
        QCOMPARE(f.shown(row, 3), QString::number(row));
    QCOMPARE(f.shown(5, 3), u"7,5"_s);
    f.model.post();
    QCOMPARE(f.db.rows(u"SELECT rowid, Значение FROM Значения WHERE Значение = 7.5"_s),
             QList<QVariantList>({{qint64(6), 7.5}}));
    QCOMPARE(f.shown(5, 3), u"7,5"_s);
}

void TestGridModel::editIsStoredWhileAnotherWriterWorks_data()
{
    QTest::addColumn<QString>("journalMode");
    QTest::newRow("write-ahead log") << u"WAL"_s;
    QTest::newRow("rollback journal") << u"DELETE"_s;
}

void TestGridModel::editIsStoredWhileAnotherWriterWorks()
{
    QFETCH(QString, journalMode);
    Fixture f(u"Значения"_s, {}, false);
    fillValues(f, 300, journalMode);
    QCOMPARE(f.shown(0, 0), u"Физика"_s); // the grid has read its first rows

    // Another connection writes meanwhile, then the user edits a row shown.
    f.db.addValue(u"Химия"_s, u"Время"_s, u"Доска"_s, 1.0);
    QVERIFY(f.edit(0, u"7,5"_s, 3));
    QCOMPARE(postError(f.model), QString());
    QCOMPARE(f.db.scalar(u"SELECT Значение FROM Значения WHERE rowid = 1"_s), QVariant(7.5));
    // Looking again, the grid finds the other writer's row too.
    f.records.refresh();
    QCOMPARE(f.model.rowCount(), 301);
    QCOMPARE(f.shown(300), u"Химия"_s);
}

void TestGridModel::fileHeldByAnotherProgramIsBusyNotDamaged_data()
{
    editIsStoredWhileAnotherWriterWorks_data();
}

void TestGridModel::fileHeldByAnotherProgramIsBusyNotDamaged()
{
    QFETCH(QString, journalMode);
    SqliteDatabase::setBusyTimeout(100);
    const auto restore = qScopeGuard([] { SqliteDatabase::setBusyTimeout(5000); });
    Fixture f(u"Значения"_s, {}, false);
    fillValues(f, 3, journalMode);
    QVERIFY(f.edit(0, u"8"_s, 3));

    ExclusiveHolder holder(f.db.path());
    QVERIFY(holder.isHolding());
    // Opening: the file is in use, not damaged (a write-ahead log still lets it be read).
    TableRecordSet another;
    another.setConnectionString(f.db.connection());
    another.setTableName(u"Критерии"_s);
    try {
        another.open();
        QCOMPARE(journalMode, u"WAL"_s);
    } catch (const DbError &e) {
        QVERIFY2(e.message().contains(u"сейчас занят другой программой"_s),
                 qPrintable(e.message()));
        QVERIFY2(!e.message().contains(u"повреждён"_s), qPrintable(e.message()));
    }
    // Writing: refused for now, and the edit stays pending to be tried again.
    const QString busy = postError(f.model);
    QVERIFY2(busy.contains(u"сейчас занят другой программой"_s), qPrintable(busy));
    QVERIFY(f.model.hasPendingChanges());
    QCOMPARE(f.shown(0, 3), u"8"_s);

    holder.release();
    QCOMPARE(postError(f.model), QString());
    QCOMPARE(f.db.scalar(u"SELECT Значение FROM Значения WHERE rowid = 1"_s), QVariant(8.0));
}

void TestGridModel::fileGoneFromItsPathIsNotWritten_data()
{
    QTest::addColumn<bool>("replaced");
    QTest::newRow("deleted") << false;
    QTest::newRow("replaced") << true;
}

void TestGridModel::fileGoneFromItsPathIsNotWritten()
{
    QFETCH(bool, replaced);
    Fixture f(u"Дисциплины"_s, u"('Физика')"_s);
    // Files without a write-ahead log beside them: each is whole in its one file.
    f.records.close();
    f.db.exec(u"PRAGMA journal_mode = DELETE"_s);
    f.records.open();
    TestDatabase other({.fileName = u"другая.mdb"_s});
    other.exec(u"PRAGMA journal_mode = DELETE"_s);
    QVERIFY(QFile::remove(f.db.path()));
    if (replaced)
        QVERIFY(QFile::copy(other.path(), f.db.path()));

    QVERIFY(f.edit(0, u"Химия"_s));
    const QString refused = postError(f.model);
    QVERIFY2(refused.contains(replaced ? u"заменён другим файлом"_s : u"больше нет на месте"_s),
             qPrintable(refused));
    QVERIFY(f.model.hasPendingChanges());
    // Nothing went into the file that was there, nor into the one that is.
    QCOMPARE(f.stored(), QStringList{u"Физика"_s});
    if (replaced) {
        const SqliteDatabase now(f.db.path(), SqliteDatabase::OpenMode::ReadWrite);
        SqliteStatement count(now, u"SELECT count(*) FROM Дисциплины"_s);
        QVERIFY(count.step());
        QCOMPARE(count.int64Value(0), 0);
    }
}

namespace {

// Stands for the progress dialog: notes what it was shown, and answers as the test says.
struct RecordingWaiter final : Waiter
{
    std::function<bool(int asked)> answer;
    QStringList shown;
    int finishedCount = 0;

    bool keepWaiting(const QString &what) override
    {
        shown.append(what);
        return answer(int(shown.size()));
    }
    void finished() override { ++finishedCount; }
};

} // namespace

void TestGridModel::waitForAHeldFileIsShownAndMayBeCancelled_data()
{
    QTest::addColumn<bool>("cancel");
    QTest::newRow("the other program lets go") << false;
    QTest::newRow("the user cancels") << true;
}

void TestGridModel::waitForAHeldFileIsShownAndMayBeCancelled()
{
    QFETCH(bool, cancel);
    Fixture f(u"Значения"_s, {}, false);
    fillValues(f, 3, u"DELETE"_s);
    ExclusiveHolder holder(f.db.path());
    QVERIFY(holder.isHolding());

    // Opening waits for the file; the wait is shown, and ends as the user or the other
    // program decides.
    RecordingWaiter user;
    user.answer = [&](int asked) {
        if (asked == 20 && !cancel)
            holder.release();
        return !(cancel && asked == 20);
    };
    const Waiter *previous = setWaiter(&user);
    const auto restore = qScopeGuard([previous] { setWaiter(const_cast<Waiter *>(previous)); });
    TableRecordSet values;
    values.setConnectionString(f.db.connection());
    values.setTableName(u"Значения"_s);
    const QString error = dbErrorOf([&] { values.open(); });
    QVERIFY(user.shown.size() >= 20);
    QVERIFY2(user.shown.constFirst().contains(QFileInfo(f.db.path()).fileName()) &&
                 user.shown.constFirst().contains(u"занят другой программой"_s),
             qPrintable(user.shown.constFirst()));
    QVERIFY(user.finishedCount >= 1);
    if (cancel) {
        QVERIFY2(error.startsWith(u"Ожидание отменено: файл базы данных «%1»"_s.arg(f.db.path())),
                 qPrintable(error));
    } else {
        QCOMPARE(error, QString());
        QCOMPARE(values.recordCount(), 3);
    }
}

QTEST_MAIN(TestGridModel)
#include "test_grid_model.moc"
