#include "entry/Unit2.h"

#include "core/Clock.h"
#include "core/FormatSettings.h"
#include "db/RecordSet.h"
#include "db/Statements.h"
#include "db/forms/DataGrid.h"
#include "db/forms/DataSource.h"
#include "db/forms/DatabasePath.h"
#include "db/forms/GridModel.h"
#include "db/forms/GridReport.h"
#include "tests/support/FakeDialogs.h"
#include "tests/support/TestDatabase.h"
#include "tests/support/WindowFixture.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QCompleter>
#include <QLabel>
#include <QLineEdit>
#include <QPrinter>
#include <QPushButton>
#include <QScopeGuard>
#include <QtTest>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QString Physics = u"Физика"_s;
const QString Maths = u"Математика"_s;
const QString Progress = u"Успеваемость"_s;
const QString Attendance = u"Посещаемость"_s;
const QString Projector = u"Проектор"_s;
const QString Stored = u"Данные добавлены в Базу данных"_s;
constexpr int ValueColumn = 3;

// Types the text key by key, as a user would (QTest::keyClicks knows only Latin-1).
void typeKeys(QWidget *widget, const QString &text)
{
    for (const QChar c : text)
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

QStringList itemsOf(const QComboBox *list)
{
    QStringList items;
    for (int i = 0; i < list->count(); ++i)
        items.append(list->itemText(i));
    return items;
}

// The window over three names in each list and three stored values.
struct Fixture : WindowFixture<Tadddata>
{
    Fixture()
    {
        db.addNames(u"Дисциплины"_s, {Physics, Maths});
        db.addNames(u"Критерии"_s, {Progress, Attendance});
        db.addNames(u"Средство_ИКТ"_s, {Projector});
        db.addValue(Physics, Progress, Projector, 4);
        db.addValue(Physics, Attendance, Projector, 3);
        db.addValue(Maths, Progress, Projector, 5);
    }
    GridModel *grid() const { return window->DataSource4->model(); }
    qint64 storedRows() { return db.scalar(u"SELECT count(*) FROM Значения"_s).toLongLong(); }
    QVariant valueOf(qint64 rowid)
    {
        return db.scalar(u"SELECT Значение FROM Значения WHERE rowid = %1"_s.arg(rowid));
    }

    void filter(const QString &discipline, const QString &criterion)
    {
        window->ComboBox4->setEditText(discipline);
        window->ComboBox5->setEditText(criterion);
    }
    void fillEntry(const QString &value)
    {
        window->ComboBox1->setEditText(Physics);
        window->ComboBox2->setEditText(Progress);
        window->ComboBox3->setEditText(Projector);
        window->Edit1->setText(value);
    }
    // Opens the editor of a cell and types a text into it, leaving it open.
    void typeIntoCell(int row, int column, const QString &text)
    {
        const QModelIndex cell = grid()->index(row, column);
        window->DBGrid1->setCurrentIndex(cell);
        window->DBGrid1->edit(cell);
        auto *editor = qobject_cast<QLineEdit *>(window->DBGrid1->indexWidget(cell));
        QVERIFY(editor);
        editor->setText(text);
    }
};

} // namespace

class TestValueEntry : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void dateLine_data();
    void dateLine();
    void showFillsListsAndGrid();
    void namesAreOfferedAndTypedTextStays();
    void storesValueWithTodaysDate();
    void refusedValueAddsNothing_data();
    void refusedValueAddsNothing();
    void criterionChangeFilters();
    void criterionWithQuoteFilters();
    void failedStatementLeavesGridEmpty();
    void printsGridUnderTitle();
    void reReadingWritesPendingEdit_data();
    void reReadingWritesPendingEdit();
    void closingWritesPendingEdit_data();
    void closingWritesPendingEdit();
    void refusedWriteKeepsWindowOpen();
};

void TestValueEntry::initTestCase()
{
    FormatSettings::instance().setRegionalLocale(QLocale(QLocale::Russian, QLocale::Russia));
}

void TestValueEntry::dateLine_data()
{
    QTest::addColumn<QDate>("today");
    QTest::addColumn<QString>("day");
    QTest::addColumn<QString>("month");
    QTest::addColumn<QString>("year");
    QTest::newRow("5 March") << QDate(2024, 3, 5) << u"05"_s << u"Марта"_s << u"2024"_s;
    QTest::newRow("December") << QDate(2023, 12, 31) << u"31"_s << u"Декабря"_s << u"2023"_s;
}

void TestValueEntry::dateLine()
{
    QFETCH(QDate, today);
    Fixture f;
    f.clock.set(QDateTime(today, QTime(23, 59)));
    FormatSettings::instance().setDateSeparator(u'/');
    const Tadddata *window = f.open();

    QCOMPARE(window->Label6->text(), u"Сегодня:"_s);
    QTEST(window->dd->text(), "day");
    QTEST(window->m->text(), "month");
    QTEST(window->y->text(), "year");
    // The last letter is a Latin "a".
    QCOMPARE(window->Label10->text(), u"год"_s + QLatin1String("a."));
    // Showing leaves the process-wide date settings alone.
    QCOMPARE(FormatSettings::instance().dateSeparator(), QChar(u'/'));
}

void TestValueEntry::showFillsListsAndGrid()
{
    Fixture f;
    // Duplicates and empty names are listed like any other, in table order.
    f.db.addNames(u"Дисциплины"_s, {QString(), Physics});
    Tadddata *window = f.open();

    const QStringList disciplines{Physics, Maths, QString(), Physics};
    QCOMPARE(itemsOf(window->ComboBox1), disciplines);
    QCOMPARE(itemsOf(window->ComboBox4), disciplines);
    QCOMPARE(itemsOf(window->ComboBox2), QStringList({Progress, Attendance}));
    QCOMPARE(itemsOf(window->ComboBox5), QStringList({Progress, Attendance}));
    QCOMPARE(itemsOf(window->ComboBox3), QStringList({Projector}));
    for (const QComboBox *list : {window->ComboBox1, window->ComboBox2, window->ComboBox3,
                                  window->ComboBox4, window->ComboBox5}) {
        QCOMPARE(list->currentIndex(), -1);
        QVERIFY(list->currentText().isEmpty());
    }

    // The grid shows every stored value, all five columns; no filter has run.
    QCOMPARE(window->DataSource4->dataSet(), window->ADODataSet4);
    QCOMPARE(f.grid()->rowCount(), 3);
    QCOMPARE(f.grid()->columnCount(), 5);
    QVERIFY(window->Label2->text().isEmpty());
    QVERIFY(f.dialogs.shown.isEmpty());
}

void TestValueEntry::namesAreOfferedAndTypedTextStays()
{
    Fixture f;
    QComboBox *list = f.open()->ComboBox1;
    QCompleter *completer = list->completer();

    // Whatever its case, a typed beginning offers the names it begins; the text stays typed.
    typeKeys(list->lineEdit(), u"физ"_s);
    QCOMPARE(list->currentText(), u"физ"_s);
    QCOMPARE(completer->completionCount(), 1);
    QTRY_VERIFY(completer->popup()->isVisible());
    QCOMPARE(completer->popup()->model()->index(0, 0).data().toString(), Physics);
    // A name is taken only when the user picks it.
    QTest::keyClick(completer->popup(), Qt::Key_Down);
    QTest::keyClick(completer->popup(), Qt::Key_Return);
    QCOMPARE(list->currentText(), Physics);
    // A text that is no name is not added to the list.
    list->lineEdit()->clear();
    typeKeys(list->lineEdit(), u"Астрономия"_s);
    QTest::keyClick(list->lineEdit(), Qt::Key_Return);
    QCOMPARE(list->currentText(), u"Астрономия"_s);
    QCOMPARE(list->count(), 2);
}

void TestValueEntry::storesValueWithTodaysDate()
{
    Fixture f;
    Tadddata *window = f.open();
    f.filter(Physics, Progress);
    QCOMPARE(f.grid()->rowCount(), 1);
    FormatSettings::instance().setDateSeparator(u'/');

    f.fillEntry(u"4,5"_s);
    QTest::mouseClick(window->Button1, Qt::LeftButton);

    QCOMPARE(f.dialogs.informations(), QStringList{Stored});
    QVERIFY(f.dialogs.errors().isEmpty());
    QCOMPARE(FormatSettings::instance().dateSeparator(), QChar(u'.'));
    const auto rows = f.db.rows(u"SELECT * FROM Значения ORDER BY rowid DESC LIMIT 1"_s);
    QCOMPARE(rows.first(), QVariantList({Physics, Progress, Projector, 4.5, u"05.03.2024"_s}));

    // The grid now shows the whole table, not the chosen discipline and criterion, at the
    // new row.
    QCOMPARE(window->DataSource4->dataSet(), window->ADOTable4);
    QCOMPARE(f.grid()->rowCount(), 4);
    QCOMPARE(window->DBGrid1->currentIndex().row(), 3);
    // The boxes and the value keep their texts; the value is selected, so that the next one
    // typed replaces it.
    QCOMPARE(window->ComboBox1->currentText(), Physics);
    QCOMPARE(window->ComboBox2->currentText(), Progress);
    QCOMPARE(window->ComboBox3->currentText(), Projector);
    QCOMPARE(window->Edit1->text(), u"4,5"_s);
    QCOMPARE(window->Edit1->selectedText(), u"4,5"_s);
    QCOMPARE(window->focusWidget(), window->Edit1);

    // Return in the value field stores the next one.
    typeKeys(window->Edit1, u"5"_s);
    QTest::keyClick(window->Edit1, Qt::Key_Return);
    QCOMPARE(f.dialogs.informations().size(), 2);
    QCOMPARE(f.storedRows(), 5);
    QCOMPARE(f.grid()->rowCount(), 5);
    QCOMPARE(window->DBGrid1->currentIndex().row(), 4);
    QCOMPARE(f.db.scalar(u"SELECT Значение FROM Значения ORDER BY rowid DESC LIMIT 1"_s),
             QVariant(5.0));
    QCOMPARE(window->Edit1->text(), u"5"_s);
}

void TestValueEntry::refusedValueAddsNothing_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("message"); // a part of the error box
    const QLocale russian(QLocale::Russian, QLocale::Russia);
    QTest::newRow("not a number") << russian << u"пять"_s << u"«пять» не является числом"_s;
    QTest::newRow("empty") << russian << QString() << u"Значение не указано"_s;
    QTest::newRow("nan") << russian << u"nan"_s << u"«nan» не является числом"_s;
    QTest::newRow("inf") << russian << u"inf"_s << u"«inf» не является числом"_s;
    QTest::newRow("overflow") << russian << u"1e400"_s << u"«1e400» не является числом"_s;
    QTest::newRow("point in Russian") << russian << u"4.5"_s << u"например «4,5»"_s;
    QTest::newRow("comma in C") << QLocale::c() << u"2,000"_s << u"знаком «.»"_s;
}

void TestValueEntry::refusedValueAddsNothing()
{
    QFETCH(QLocale, locale);
    QFETCH(QString, value);
    QFETCH(QString, message);
    FormatSettings::instance().setRegionalLocale(locale);
    const auto restore = qScopeGuard([this] { initTestCase(); });
    Fixture f;
    Tadddata *window = f.open();

    // A grid edit of the value: leaving the row shows the refusal and keeps the edit.
    f.typeIntoCell(0, ValueColumn, value);
    window->DBGrid1->setCurrentIndex(f.grid()->index(1, ValueColumn));
    QTRY_COMPARE(f.dialogs.errors().size(), 1);
    QVERIFY2(f.dialogs.errors().constFirst().contains(message),
             qPrintable(f.dialogs.errors().constFirst()));
    QCOMPARE(f.db.scalar(u"SELECT Значение FROM Значения WHERE rowid = 1"_s), QVariant(4.0));
    window->DBGrid1->cancelPending();

    f.filter(Physics, Progress);
    f.fillEntry(value);
    QTest::mouseClick(window->Button1, Qt::LeftButton);
    QCOMPARE(f.dialogs.errors().size(), 2);
    QVERIFY2(f.dialogs.errors().constLast().contains(message),
             qPrintable(f.dialogs.errors().constLast()));
    QVERIFY(f.dialogs.informations().isEmpty());
    QCOMPARE(f.storedRows(), 3);
    // The grid stays as it was.
    QCOMPARE(window->DataSource4->dataSet(), window->ADODataSet4);
    QCOMPARE(f.grid()->rowCount(), 1);
}

void TestValueEntry::criterionChangeFilters()
{
    Fixture f;
    f.db.addValue(Physics, Progress, Projector, 2);
    Tadddata *window = f.open();

    // Choosing a discipline alone changes nothing.
    window->ComboBox4->setCurrentIndex(0);
    QCOMPARE(window->ComboBox4->currentText(), Physics);
    QVERIFY(window->Label2->text().isEmpty());
    QCOMPARE(f.grid()->rowCount(), 4);

    // Choosing a criterion runs the statement, which the hidden label shows.
    window->ComboBox5->setCurrentIndex(0);
    QCOMPARE(window->Label2->text(),
             u"SELECT * FROM Значения WHERE (Значения.Дисциплина)=(\"Физика\") and "
             u"(Значения.Критерий)=(\"Успеваемость\")"_s);
    QCOMPARE(window->DataSource4->dataSet(), window->ADODataSet4);
    QCOMPARE(f.grid()->rowCount(), 2);
    QCOMPARE(f.grid()->index(1, ValueColumn).data().toString(), u"2"_s);

    // Typing: every change of the text runs it again.
    window->ComboBox5->clearEditText();
    QCOMPARE(f.grid()->rowCount(), 0);
    const QString typed = Attendance.left(4);
    for (qsizetype n = 1; n <= typed.size(); ++n) {
        typeKeys(window->ComboBox5->lineEdit(), typed.mid(n - 1, 1));
        QCOMPARE(window->Label2->text(),
                 Statements::valuesOf(Physics, typed.left(n)).displayText());
    }
    QCOMPARE(f.grid()->rowCount(), 0);
    typeKeys(window->ComboBox5->lineEdit(), Attendance.mid(typed.size()));
    QCOMPARE(window->ComboBox5->currentText(), Attendance);
    QCOMPARE(f.grid()->rowCount(), 1);

    // A discipline and criterion with no values give an empty grid.
    f.filter(u"Химия"_s, Progress);
    QCOMPARE(f.grid()->rowCount(), 0);
    QCOMPARE(f.grid()->columnCount(), 5);
    QVERIFY(f.dialogs.shown.isEmpty());
}

void TestValueEntry::criterionWithQuoteFilters()
{
    Fixture f;
    const QString quoted = u"Оценка \"5\""_s;
    f.db.addValue(Physics, quoted, Projector, 5);
    Tadddata *window = f.open();

    f.filter(Physics, quoted);

    QVERIFY2(f.dialogs.shown.isEmpty(), qPrintable(f.dialogs.errors().join(u'\n')));
    QCOMPARE(f.grid()->rowCount(), 1);
    QCOMPARE(f.grid()->index(0, 1).data().toString(), quoted);
    QVERIFY(window->Label2->text().endsWith(u"=(\"Оценка \"\"5\"\"\")"_s));
}

void TestValueEntry::failedStatementLeavesGridEmpty()
{
    Fixture f;
    if (f.db.onServer())
        QSKIP("a database file taken away");
    Tadddata *window = f.open();
    f.filter(Physics, Progress);
    QCOMPARE(f.grid()->rowCount(), 1);

    const QString away = f.db.path() + u".away"_s;
    QVERIFY(QFile::rename(f.db.path(), away));
    window->ComboBox5->setEditText(Attendance);
    QCOMPARE(f.dialogs.errors().size(), 1);
    QCOMPARE(f.grid()->rowCount(), 0);

    QVERIFY(QFile::rename(away, f.db.path()));
    window->ComboBox5->setEditText(Progress);
    QCOMPARE(f.dialogs.errors().size(), 1);
    QCOMPARE(f.grid()->rowCount(), 1);
}

void TestValueEntry::printsGridUnderTitle()
{
    Fixture f;
    Tadddata *window = f.open();
    QStringList titles;
    f.dialogs.onPreview = [&titles](QPrinter *printer) { titles.append(printer->docName()); };

    QTest::mouseClick(window->Button2, Qt::LeftButton);
    f.filter(Physics, Progress);
    QTest::mouseClick(window->Button2, Qt::LeftButton);

    QCOMPARE(titles, QStringList({u"Данные по дисциплине ."_s, u"Данные по дисциплине Физика."_s}));
    QCOMPARE(window->GridReport1->Caption(), u"Данные по дисциплине Физика."_s);

    // While its preview is open the window's print handler is still running: it stays.
    bool closed = true;
    f.dialogs.onPreview = [&](QPrinter *) { closed = window->close(); };
    QTest::mouseClick(window->Button2, Qt::LeftButton);
    QVERIFY(!closed);
    QCOMPARE(f.dialogs.informations().size(), 1);
    QVERIFY(window->close());
}

void TestValueEntry::reReadingWritesPendingEdit_data()
{
    QTest::addColumn<bool>("byStoring");
    QTest::newRow("criterion changed") << false;
    QTest::newRow("value stored") << true;
}

// The grid is re-read after a change of the criterion and after "Добавить"; the edit the
// user left in it is written first.
void TestValueEntry::reReadingWritesPendingEdit()
{
    QFETCH(bool, byStoring);
    Fixture f;
    Tadddata *window = f.open();
    f.filter(Physics, Progress);
    if (byStoring) {
        // The grid shows the whole table after the first value, and is re-read by the next.
        f.fillEntry(u"1"_s);
        QTest::mouseClick(window->Button1, Qt::LeftButton);
    }
    const qint64 rowid = window->DataSource4->dataSet()->keyAt(0).value;
    f.typeIntoCell(0, ValueColumn, u"8"_s);

    if (byStoring) {
        window->Edit1->setText(u"2"_s);
        QTest::mouseClick(window->Button1, Qt::LeftButton);
        QCOMPARE(f.storedRows(), 5);
    } else {
        window->ComboBox5->setEditText(Attendance);
        QCOMPARE(f.grid()->rowCount(), 1);
    }
    QVERIFY(f.dialogs.errors().isEmpty());
    QCOMPARE(f.valueOf(rowid).toDouble(), 8.0);
}

void TestValueEntry::closingWritesPendingEdit_data()
{
    QTest::addColumn<bool>("afterStoring");
    QTest::newRow("filtered grid") << false;
    QTest::newRow("whole table after storing") << true;
}

void TestValueEntry::closingWritesPendingEdit()
{
    QFETCH(bool, afterStoring);
    Fixture f;
    Tadddata *window = f.open();
    QCOMPARE(adddata.data(), window);
    f.filter(Physics, Progress);
    if (afterStoring) {
        f.fillEntry(u"1"_s);
        QTest::mouseClick(window->Button1, Qt::LeftButton);
        QCOMPARE(window->DataSource4->dataSet(), window->ADOTable4);
    }
    const qint64 rowid = window->DataSource4->dataSet()->keyAt(0).value;
    f.typeIntoCell(0, ValueColumn, u"9"_s);

    QVERIFY(window->close());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(adddata.isNull());

    QVERIFY(f.dialogs.errors().isEmpty());
    QCOMPARE(f.valueOf(rowid).toDouble(), 9.0);
}

void TestValueEntry::refusedWriteKeepsWindowOpen()
{
    Fixture f;
    Tadddata *window = f.open();
    f.filter(Physics, Progress);
    const qint64 rowid = window->ADODataSet4->keyAt(0).value;
    f.typeIntoCell(0, ValueColumn, u"девять"_s);

    // Told what is wrong, the user goes back to the edit.
    f.dialogs.dropEditAnswer = false;
    QVERIFY(!window->close());
    QCOMPARE(f.dialogs.count(FakeDialogs::Shown::DropEdit), 1);
    QCOMPARE(adddata.data(), window);
    QVERIFY(f.grid()->hasPendingChanges());
    QCOMPARE(f.valueOf(rowid).toDouble(), 4.0);

    // Mended, the same edit goes through.
    f.typeIntoCell(0, ValueColumn, u"9"_s);
    QVERIFY(window->close());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(adddata.isNull());
    QCOMPARE(f.valueOf(rowid).toDouble(), 9.0);
}

QTEST_MAIN(TestValueEntry)
#include "test_unit2.moc"
