#include "db/forms/Unit6.h"

#include "db/RecordSet.h"
#include "db/forms/DataGrid.h"
#include "db/forms/DataSource.h"
#include "db/forms/GridModel.h"
#include "db/forms/RecordNavigator.h"
#include "tests/support/FakeDialogs.h"
#include "tests/support/TestDatabase.h"
#include "tests/support/WindowFixture.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

// The main window's part: the published database path and a workspace that holds the editor.
struct Workspace : WindowWorkspace
{
    QWidget area;

    Workspace()
    {
        new QVBoxLayout(&area);
        area.resize(1100, 600);
        area.show();
    }

    // Creates the editor as the menu does and waits until it has been shown.
    Taddp *open()
    {
        auto *form = new Taddp(&area);
        area.layout()->addWidget(form);
        form->show();
        return form;
    }
};

QStringList names(TestDatabase &db, const QString &table)
{
    QStringList result;
    for (const QVariantList &row : db.rows(u"SELECT * FROM %1 ORDER BY rowid"_s.arg(table)))
        result.append(row.first().toString());
    return result;
}

QStringList shown(const DataGrid *grid)
{
    const GridModel *model = grid->dataSource()->model();
    QStringList result;
    for (int row = 0; row < model->rowCount(); ++row)
        result.append(model->data(model->index(row, 0)).toString());
    return result;
}

void destroyClosed()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

class TestUnit6 : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void formMatchesTheLists();
    void withoutDatabaseEverythingStaysEmpty();
    void showingFillsTheThreeGrids();
    void addingListsTheWholeTable();
    void textsAreAddedAsTheyAre();
    void refusedNameShowsTheErrorOnly_data();
    void refusedNameShowsTheErrorOnly();
    void addingWritesAPendingGridEditFirst();
    void deleteAsksAndRemovesExactlyTheCurrentRow();
    void gridEditIsWrittenOnLeavingTheRow();
    void closingWritesEditsAndReopeningRereads();
    void refusedEditKeepsTheWindowOpen();
};

void TestUnit6::formMatchesTheLists()
{
    Workspace workspace;
    workspace.publishPath({});
    Taddp *form = workspace.open();
    QCOMPARE(addp.data(), form);
    // Each grid and its navigator share the group's data source; Delete is the only button.
    QCOMPARE(form->DBGrid2->dataSource(), form->DataSource2);
    QCOMPARE(form->DBNavigator2->dataSource(), form->DataSource2);
    QCOMPARE(form->DBNavigator3->insertButton(), nullptr);
    QVERIFY(form->DBNavigator3->deleteButton());
    QVERIFY(form->GroupBox3->isAncestorOf(form->DBNavigator3));

    QPointer<Taddp> watched = form;
    form->close();
    destroyClosed();
    QVERIFY(watched.isNull());
    QVERIFY(addp.isNull());
}

void TestUnit6::withoutDatabaseEverythingStaysEmpty()
{
    Workspace workspace;
    workspace.publishPath({});
    Taddp *form = workspace.open();
    for (const DataGrid *grid : {form->DBGrid1, form->DBGrid2, form->DBGrid3}) {
        QCOMPARE(grid->model()->rowCount(), 0);
        QCOMPARE(grid->model()->columnCount(), 0);
    }
    form->Edit1->setText(u"Физика"_s);
    form->Button1->click();
    form->Button2->click();
    form->Button3->click();
    QVERIFY(workspace.dialogs.shown.isEmpty());
    QCOMPARE(form->DBGrid1->model()->rowCount(), 0);
    QCOMPARE(form->Edit1->text(), u"Физика"_s);
}

void TestUnit6::showingFillsTheThreeGrids()
{
    Workspace workspace;
    TestDatabase &db = workspace.db;
    db.addNames(u"Дисциплины"_s, {u"Физика"_s, u"Химия"_s});
    db.addNames(u"Критерии"_s, {u"Время"_s});
    db.addNames(u"Средство_ИКТ"_s, {u"Проектор"_s, QString(), u"Проектор"_s});
    Taddp *form = workspace.open();

    QCOMPARE(shown(form->DBGrid1), (QStringList{u"Физика"_s, u"Химия"_s}));
    QCOMPARE(shown(form->DBGrid2), QStringList{u"Время"_s});
    QCOMPARE(shown(form->DBGrid3), (QStringList{u"Проектор"_s, QString(), u"Проектор"_s}));
    QCOMPARE(form->DBGrid1->model()->headerData(0, Qt::Horizontal).toString(), u"Название"_s);
    // The grids show the statements' rows; both record sets stay open.
    QCOMPARE(form->DataSource1->dataSet(), form->ADODataSet1);
    QCOMPARE(form->ADODataSet1->commandText(), u"SELECT * FROM Дисциплины"_s);
    QCOMPARE(form->ADOTable3->tableName(), u"Средство_ИКТ"_s);
    QVERIFY(form->ADOTable1->isOpen() && form->ADOTable2->isOpen() && form->ADOTable3->isOpen());
    QCOMPARE(form->ADOConnection2->connectionString(),
             u"Provider=Microsoft.Jet.OLEDB.4.0;Data Source="_s + db.path());
    QVERIFY(workspace.dialogs.shown.isEmpty());
}

void TestUnit6::addingListsTheWholeTable()
{
    Workspace workspace;
    TestDatabase &db = workspace.db;
    db.addNames(u"Дисциплины"_s, {u"Физика"_s});
    Taddp *form = workspace.open();

    // While the box is open the grid still shows what it showed before.
    QStringList duringBox;
    workspace.dialogs.onInformation = [&] { duringBox = shown(form->DBGrid1); };
    form->Edit1->setText(u"Химия"_s);
    form->Button1->click();

    QCOMPARE(workspace.dialogs.informations(), QStringList{u"Данные добавлены."_s});
    QCOMPARE(duringBox, QStringList{u"Физика"_s});
    QCOMPARE(names(db, u"Дисциплины"_s), (QStringList{u"Физика"_s, u"Химия"_s}));
    QCOMPARE(form->DataSource1->dataSet(), form->ADOTable1);
    QCOMPARE(shown(form->DBGrid1), (QStringList{u"Физика"_s, u"Химия"_s}));
    QCOMPARE(form->Edit1->text(), u"Химия"_s);
    QVERIFY(form->ADODataSet1->isOpen());
    // The other lists are untouched.
    QCOMPARE(form->DataSource2->dataSet(), form->ADODataSet2);
}

void TestUnit6::textsAreAddedAsTheyAre()
{
    Workspace workspace;
    TestDatabase &db = workspace.db;
    Taddp *form = workspace.open();
    form->Button3->click(); // empty
    form->Edit3->setText(u"  Доска \"умная\" "_s);
    form->Button3->click();
    form->Button3->click(); // the same again
    form->Edit2->setText(u"Время"_s);
    QTest::keyClick(form->Edit2, Qt::Key_Return); // as «Добавить»

    const QList<QVariantList> rows = db.rows(u"SELECT * FROM Средство_ИКТ ORDER BY rowid"_s);
    QCOMPARE(rows.size(), 3);
    QCOMPARE(rows.at(0).at(0).typeId(), QMetaType::QString); // an empty text, not NULL
    QCOMPARE(names(db, u"Средство_ИКТ"_s),
             (QStringList{QString(), u"  Доска \"умная\" "_s, u"  Доска \"умная\" "_s}));
    QCOMPARE(shown(form->DBGrid3), names(db, u"Средство_ИКТ"_s));
    // Each group adds to its own table only.
    QCOMPARE(names(db, u"Критерии"_s), QStringList{u"Время"_s});
    QCOMPARE(names(db, u"Дисциплины"_s), QStringList());
    QCOMPARE(workspace.dialogs.informations().size(), 4);
    QVERIFY(workspace.dialogs.errors().isEmpty());
}

void TestUnit6::refusedNameShowsTheErrorOnly_data()
{
    QTest::addColumn<QString>("definition");
    QTest::addColumn<QStringList>("stored");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");
    QTest::newRow("no empty name")
        << u"CREATE TABLE Дисциплины (Название TEXT NOT NULL CHECK (Название <> ''))"_s
        << QStringList() << QString()
        << u"Значение не прошло проверку, которую задаёт база данных"_s;
    QTest::newRow("unique names")
        << u"CREATE TABLE Дисциплины (Название TEXT UNIQUE)"_s << QStringList{u"Физика"_s}
        << u"Физика"_s
        << u"Такое значение уже есть: столбец «Название» таблицы «Дисциплины» не допускает повторов"_s;
}

void TestUnit6::refusedNameShowsTheErrorOnly()
{
    QFETCH(QString, definition);
    QFETCH(QStringList, stored);
    QFETCH(QString, text);
    QFETCH(QString, message);
    Workspace workspace;
    TestDatabase &db = workspace.db;
    db.exec(u"DROP TABLE Дисциплины; "_s + definition);
    if (!stored.isEmpty())
        db.addNames(u"Дисциплины"_s, stored);
    Taddp *form = workspace.open();

    form->Edit1->setText(text);
    form->Button1->click();
    QCOMPARE(workspace.dialogs.errors().size(), 1);
    QVERIFY2(workspace.dialogs.errors().constFirst().startsWith(message),
             qPrintable(workspace.dialogs.errors().constFirst()));
    QVERIFY(workspace.dialogs.informations().isEmpty());
    QCOMPARE(names(db, u"Дисциплины"_s), stored);
    // Stopped before re-reading: the grid still shows the statement's rows.
    QCOMPARE(form->DataSource1->dataSet(), form->ADODataSet1);
    QCOMPARE(shown(form->DBGrid1), stored);
    QCOMPARE(addp.data(), form);
}

void TestUnit6::addingWritesAPendingGridEditFirst()
{
    Workspace workspace;
    TestDatabase &db = workspace.db;
    db.addNames(u"Дисциплины"_s, {u"Физика"_s});
    Taddp *form = workspace.open();
    form->Edit1->setText(u"Химия"_s);
    form->Button1->click();
    // Now the grid shows the table record set, which the next addition re-reads.
    GridModel *model = form->DataSource1->model();
    QVERIFY(model->setData(model->index(0, 0), u"Астрономия"_s));
    form->Edit1->setText(u"Биология"_s);
    form->Button1->click();
    const QStringList expected{u"Астрономия"_s, u"Химия"_s, u"Биология"_s};
    QCOMPARE(names(db, u"Дисциплины"_s), expected);
    QCOMPARE(shown(form->DBGrid1), expected);
}

void TestUnit6::deleteAsksAndRemovesExactlyTheCurrentRow()
{
    Workspace workspace;
    TestDatabase &db = workspace.db;
    db.addNames(u"Дисциплины"_s, {u"Физика"_s, u"Химия"_s, u"Химия"_s});
    Taddp *form = workspace.open();
    const QList<QVariantList> rowids = db.rows(u"SELECT rowid FROM Дисциплины ORDER BY rowid"_s);

    form->DBGrid1->setCurrentIndex(form->DBGrid1->model()->index(2, 0));
    workspace.dialogs.confirmAnswer = false;
    form->DBNavigator1->deleteButton()->click();
    QCOMPARE(workspace.dialogs.confirmations(), QStringList{u"Delete record?"_s});
    QCOMPARE(db.rows(u"SELECT rowid FROM Дисциплины ORDER BY rowid"_s), rowids);

    workspace.dialogs.confirmAnswer = true;
    form->DBNavigator1->deleteButton()->click();
    QCOMPARE(db.rows(u"SELECT rowid FROM Дисциплины ORDER BY rowid"_s),
             (QList<QVariantList>{rowids.at(0), rowids.at(1)}));
    QCOMPARE(shown(form->DBGrid1), (QStringList{u"Физика"_s, u"Химия"_s}));

    // After an addition the navigator acts on the whole table the grid now shows.
    form->Edit1->setText(u"Химия"_s);
    form->Button1->click();
    form->DBGrid1->setCurrentIndex(form->DBGrid1->model()->index(1, 0));
    form->DBNavigator1->deleteButton()->click();
    QCOMPARE(names(db, u"Дисциплины"_s), (QStringList{u"Физика"_s, u"Химия"_s}));
    QCOMPARE(db.scalar(u"SELECT count(*) FROM Дисциплины WHERE rowid = %1"_s.arg(
                           rowids.at(1).first().toLongLong()))
                 .toInt(),
             0);
}

void TestUnit6::gridEditIsWrittenOnLeavingTheRow()
{
    Workspace workspace;
    TestDatabase &db = workspace.db;
    db.addNames(u"Критерии"_s, {u"Время"_s, u"Время"_s});
    Taddp *form = workspace.open();
    DataGrid *grid = form->DBGrid2;
    grid->setCurrentIndex(grid->model()->index(1, 0));
    grid->edit(grid->model()->index(1, 0));
    auto *editor = grid->viewport()->findChild<QLineEdit *>();
    QVERIFY(editor && editor->isVisible());
    editor->setText(u"Качество"_s);
    QCOMPARE(names(db, u"Критерии"_s), (QStringList{u"Время"_s, u"Время"_s}));
    grid->setCurrentIndex(grid->model()->index(0, 0));
    QCOMPARE(names(db, u"Критерии"_s), (QStringList{u"Время"_s, u"Качество"_s}));
}

void TestUnit6::closingWritesEditsAndReopeningRereads()
{
    Workspace workspace;
    TestDatabase &db = workspace.db;
    db.addNames(u"Средство_ИКТ"_s, {u"Проектор"_s});
    Taddp *form = workspace.open();
    GridModel *model = form->DataSource3->model();
    QVERIFY(model->setData(model->index(0, 0), u"Интерактивная доска"_s));
    form->close();
    destroyClosed();
    QVERIFY(addp.isNull());
    QCOMPARE(names(db, u"Средство_ИКТ"_s), QStringList{u"Интерактивная доска"_s});

    // Changed meanwhile by someone else: the new window reads the file as it is now.
    db.addNames(u"Средство_ИКТ"_s, {u"Планшет"_s});
    Taddp *again = workspace.open();
    QCOMPARE(addp.data(), again);
    QCOMPARE(shown(again->DBGrid3), (QStringList{u"Интерактивная доска"_s, u"Планшет"_s}));
}

void TestUnit6::refusedEditKeepsTheWindowOpen()
{
    Workspace workspace;
    TestDatabase &db = workspace.db;
    db.exec(u"DROP TABLE Критерии; CREATE TABLE Критерии (Название TEXT CHECK (Название <> ''))"_s);
    db.addNames(u"Критерии"_s, {u"Время"_s});
    QPointer<Taddp> form = workspace.open();
    GridModel *model = form->DataSource2->model();
    QVERIFY(model->setData(model->index(0, 0), QString()));
    workspace.dialogs.dropEditAnswer = false;
    form->close();
    destroyClosed();
    QVERIFY(!form.isNull());
    QCOMPARE(addp.data(), form.data());
    const QStringList asked = workspace.dialogs.texts(FakeDialogs::Shown::DropEdit);
    QCOMPARE(asked.size(), 1);
    QVERIFY2(asked.constFirst().contains(u"проверку"_s), qPrintable(asked.constFirst()));
    QVERIFY(model->hasPendingChanges());
    QCOMPARE(names(db, u"Критерии"_s), QStringList{u"Время"_s});

    // Put right, the edit is written and the window goes.
    QVERIFY(model->setData(model->index(0, 0), u"Точность"_s));
    form->close();
    destroyClosed();
    QVERIFY(form.isNull());
    QCOMPARE(names(db, u"Критерии"_s), QStringList{u"Точность"_s});
}

QTEST_MAIN(TestUnit6)
#include "test_unit6.moc"
