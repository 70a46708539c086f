#include "app/HelpWindow.h"
#include "app/ShellCommands.h"
#include "app/StatusPanel.h"
#include "app/Unit1.h"
#include "app/Unit3.h"
#include "core/Clock.h"
#include "core/FileSystem.h"
#include "core/FormatSettings.h"
#include "db/forms/DataGrid.h"
#include "db/forms/DatabasePath.h"
#include "tests/support/FakeDialogs.h"
#include "tests/support/TestDatabase.h"
#include "ui/ErrorGuard.h"

#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPushButton>
#include <QScopeGuard>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <stdexcept>

using namespace Qt::StringLiterals;

namespace {

// The order in which the database windows went, by their reference names.
QStringList closedWindows;

template <typename Window> void watch(QPointer<Window> &reference, const QString &name)
{
    QVERIFY(reference);
    QObject::connect(reference.data(), &QObject::destroyed, [name] { closedWindows.append(name); });
}

// Opens the four database windows through their menu items, as the user does.
void openAllWindows(TForm1 &form)
{
    Q_EMIT form.N5->aboutToShow();
    for (QAction *item : {form.N6, form.N9, form.N10, form.N11})
        item->trigger();
    watch(adddata, u"adddata"_s);
    watch(analiz, u"analiz"_s);
    watch(addp, u"addp"_s);
    watch(eff, u"eff"_s);
}

// Leaves a grid edit in the value entry window that the database refuses to write.
void leaveRefusedEdit()
{
    QAbstractItemModel *model = adddata->DBGrid1->model();
    QVERIFY(model->rowCount() > 0);
    QVERIFY(model->setData(model->index(0, 3), u"не число"_s));
}

void processDeferredDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

// Records what was handed to the desktop to open.
class UrlRecorder : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public Q_SLOTS:
    void open(const QUrl &url) { urls.append(url); }
};

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void startState();
    void statusBarAtEverySize_data();
    void statusBarAtEverySize();
    void databaseMenuFollowsPath();
    void openDialogRequest();
    void cancelChangesNothing();
    void fileOnANetworkShareIsForOneUser();
    void confirmedFileClosesDatabaseWindows_data();
    void confirmedFileClosesDatabaseWindows();
    void refusedCloseKeepsWindowAndDatabase();
    void closingMainWindowClosesDatabaseWindows();
    void oneWindowPerReference();
    void clock_data();
    void clock();
    void aboutWindow();
    void helpAndPrinterSetup();
    void calculatorFromPath();
    void errorBox_data();
    void errorBox();

private:
    QString fileIn(const QString &name) const { return QDir(m_folder.path()).filePath(name); }

    QTemporaryDir m_runtime;
    QTemporaryDir m_folder;
    FakeDialogs m_dialogs;
    std::unique_ptr<TForm1> m_form;
    std::unique_ptr<TestDatabase> m_db;
};

void TestMainWindow::initTestCase()
{
    // The single-instance marker of these windows must not meet a real running program.
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime.path()));
    FormatSettings::instance().setRegionalLocale(QLocale(QLocale::Russian, QLocale::Russia));
}

void TestMainWindow::init()
{
    m_dialogs.clear();
    m_dialogs.fileToOpen.clear();
    m_dialogs.dropEditAnswer = true;
    closedWindows.clear();
    m_db = std::make_unique<TestDatabase>();
    m_db->addNames(u"Дисциплины"_s, {u"Физика"_s});
    m_db->addValue(u"Физика"_s, u"Время"_s, u"Доска"_s, 5.0);
    m_form = std::make_unique<TForm1>();
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
}

void TestMainWindow::cleanup()
{
    m_form.reset();
    processDeferredDeletes();
    m_db.reset();
}

void TestMainWindow::startState()
{
    TForm1 &form = *m_form;
    QCOMPARE(Form1.data(), &form);
    QCOMPARE(form.windowTitle(), u"Орвинта"_s);
    QVERIFY(!form.anotherInstanceRunning());
    QVERIFY(form.MdiArea->subWindowList().isEmpty());
    QVERIFY(!adddata && !analiz && !addp && !eff && !about);
    QVERIFY(!form.Label1->isVisible());
    QVERIFY(publishedDatabasePath().isEmpty());

    QCOMPARE(form.panelText(1), u"База данных не открыта"_s);
    QCOMPARE(form.panelText(2), QString());
    QCOMPARE(form.panelText(3), QString());
    QCOMPARE(form.panelText(4), QString());

    // The clock's first tick comes from its own timer, about a second after creation.
    QTRY_VERIFY_WITH_TIMEOUT(form.panelText(2).startsWith(u"Сегодня: "_s), 5000);
    QVERIFY(form.panelText(3).startsWith(u"Текущее время: "_s));
    QCOMPARE(form.panelText(4), QString());
}

void TestMainWindow::statusBarAtEverySize_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("pathCut");
    const QString deep = u"Школа №1/Кафедра информатики/Мониторинг средств ИКТ/"
                         "Архив измерений за учебный год/база.mdb"_s;
    QTest::newRow("restored size, long path") << 813 << deep << true;
    QTest::newRow("wide screen, long path") << 1900 << deep << true;
    QTest::newRow("wide screen, short path") << 1900 << u"б.mdb"_s << false;
}

void TestMainWindow::statusBarAtEverySize()
{
    QFETCH(int, width);
    QFETCH(QString, file);
    QFETCH(bool, pathCut);
    TForm1 &form = *m_form;
    m_dialogs.fileToOpen = fileIn(file);
    form.N7->trigger();
    form.Timer1Timer();
    form.resize(width, 541);
    QTRY_COMPARE(form.width(), width);
    QCoreApplication::processEvents();

    for (int number = 1; number < 4; ++number) {
        const StatusPanel *panel = form.panel(number);
        const StatusPanel *next = form.panel(number + 1);
        QVERIFY(panel->isVisible());
        // Side by side, each inside the window: none is painted over another.
        QVERIFY2(panel->geometry().right() < next->geometry().left(),
                 qPrintable(QString::number(number)));
        QVERIFY(next->geometry().right() < form.width());
    }
    // The date and the time are whole; the path is cut in the middle only where it must be.
    QVERIFY(!form.panel(2)->isElided() &&
            form.panel(2)->width() >= form.panel(2)->minimumSizeHint().width());
    QVERIFY(!form.panel(3)->isElided() &&
            form.panel(3)->width() >= form.panel(3)->minimumSizeHint().width());
    QCOMPARE(form.panel(1)->isElided(), pathCut);
    QCOMPARE(form.panel(1)->toolTip(), pathCut ? form.panelText(1) : QString());
    // Its own width where the window has room for all four.
    QCOMPARE(form.panel(1)->width() == 400, width > 1000);
}

void TestMainWindow::databaseMenuFollowsPath()
{
    TForm1 &form = *m_form;
    const QList<QAction *> items = {form.N6, form.N9, form.N10, form.N11};
    Q_EMIT form.N5->aboutToShow();
    for (const QAction *item : items)
        QVERIFY(!item->isEnabled());

    m_dialogs.fileToOpen = fileIn(u"база.mdb"_s);
    form.N7->trigger();
    Q_EMIT form.N5->aboutToShow();
    for (const QAction *item : items)
        QVERIFY(item->isEnabled());
}

void TestMainWindow::openDialogRequest()
{
    const QString previous = QDir::currentPath();
    QDir::setCurrent(m_folder.path());
    m_form->N7->trigger();
    QCOMPARE(m_dialogs.lastOpenRequest.nameFilter,
             u"*.mdb;;Сервер базы данных (*.orvinta-server)"_s);
    // No "Path" and no file chosen yet: the user's documents.
    QCOMPARE(m_dialogs.lastOpenRequest.directory,
             QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));

    // Then the folder of the file chosen last.
    QVERIFY(QDir(m_folder.path()).mkdir(u"базы"_s));
    m_dialogs.fileToOpen = fileIn(u"базы/новая.mdb"_s);
    m_form->N7->trigger();
    m_dialogs.fileToOpen.clear();
    m_form->N7->trigger();
    QCOMPARE(m_dialogs.lastOpenRequest.directory, fileIn(u"базы"_s));

    QVERIFY(QDir(m_folder.path()).mkdir(u"Path"_s));
    m_form->ToolButton1->click();
    QCOMPARE(m_dialogs.count(FakeDialogs::Shown::OpenFile), 4);
    QCOMPARE(m_dialogs.lastOpenRequest.directory, fileIn(u"Path"_s));
    QDir::setCurrent(previous);
}

void TestMainWindow::fileOnANetworkShareIsForOneUser()
{
    setFileSystemTypeProbe([](const QString &) { return std::optional(0xFF534D42UL); }); // CIFS
    const auto restore = qScopeGuard([] { setFileSystemTypeProbe({}); });
    m_dialogs.fileToOpen = fileIn(u"база.mdb"_s);
    m_form->N7->trigger();
    m_form->N7->trigger();
    // Said once, and shown for as long as the file is open.
    QCOMPARE(m_dialogs.informations().size(), 1);
    QVERIFY2(m_dialogs.informations().first().contains(u"несколько учителей"_s),
             qPrintable(m_dialogs.informations().first()));
    QVERIFY(m_form->panelText(1).endsWith(u"в сетевой папке: только один пользователь за раз"_s));
}

void TestMainWindow::cancelChangesNothing()
{
    TForm1 &form = *m_form;
    const QString chosen = m_db->path();
    m_dialogs.fileToOpen = chosen;
    form.N7->trigger();
    openAllWindows(form);

    m_dialogs.fileToOpen.clear();
    form.N7->trigger();
    processDeferredDeletes();
    QCOMPARE(form.databasePath(), chosen);
    QCOMPARE(form.Label1->text(), chosen);
    QCOMPARE(form.panelText(1), u"База данных открыта с "_s + chosen);
    QVERIFY(closedWindows.isEmpty());
    QVERIFY(m_dialogs.errors().isEmpty());
    QCOMPARE(form.MdiArea->subWindowList().size(), 4);
}

void TestMainWindow::confirmedFileClosesDatabaseWindows_data()
{
    QTest::addColumn<QString>("second"); // empty: the database file chosen first
    QTest::newRow("another file") << u"вторая.mdb"_s;
    QTest::newRow("the same file") << QString();
    QTest::newRow("a file that does not exist") << u"нет такого.mdb"_s;
}

void TestMainWindow::confirmedFileClosesDatabaseWindows()
{
    QFETCH(QString, second);
    const QString next = second.isEmpty() ? m_db->path() : fileIn(second);
    TForm1 &form = *m_form;
    m_dialogs.fileToOpen = m_db->path();
    form.N7->trigger();
    openAllWindows(form);
    form.N8->trigger();
    QPointer<Tabout> aboutWindow = about;

    m_dialogs.fileToOpen = next;
    form.N7->trigger();
    QVERIFY(!adddata && !analiz && !addp && !eff);
    processDeferredDeletes();
    QCOMPARE(closedWindows, QStringList({u"addp"_s, u"adddata"_s, u"eff"_s, u"analiz"_s}));
    QVERIFY(form.MdiArea->subWindowList().isEmpty());

    QCOMPARE(form.databasePath(), next);
    QCOMPARE(publishedDatabasePath(), next);
    QCOMPARE(form.panelText(1), u"База данных открыта с "_s + next);
    QVERIFY(aboutWindow && aboutWindow == about && aboutWindow->isVisible());
}

void TestMainWindow::refusedCloseKeepsWindowAndDatabase()
{
    TForm1 &form = *m_form;
    const QString old = m_db->path();
    m_dialogs.fileToOpen = old;
    form.N7->trigger();
    openAllWindows(form);
    leaveRefusedEdit();

    // The user is told what is wrong and goes back to the edit.
    m_dialogs.dropEditAnswer = false;
    m_dialogs.fileToOpen = fileIn(u"новая.mdb"_s);
    form.N7->trigger();
    processDeferredDeletes();
    QCOMPARE(closedWindows, QStringList({u"addp"_s}));
    QVERIFY(!addp);
    const QStringList asked = m_dialogs.texts(FakeDialogs::Shown::DropEdit);
    QCOMPARE(asked.size(), 1);
    QVERIFY2(asked.constFirst().contains(u"«не число» не является числом"_s),
             qPrintable(asked.constFirst()));
    QVERIFY(m_dialogs.errors().isEmpty());
    QVERIFY(adddata && eff && analiz);
    QVERIFY(adddata->isVisible());
    QCOMPARE(form.databasePath(), old);
    QCOMPARE(form.Label1->text(), old);
    QCOMPARE(form.panelText(1), u"База данных открыта с "_s + old);

    // The main window stays open too, rather than lose the edit.
    QVERIFY(!form.close());
    QVERIFY(form.isVisible());
    QVERIFY(adddata && eff && analiz);

    // One answer drops the edit, and «Выход» goes on.
    m_dialogs.dropEditAnswer = true;
    m_dialogs.clear();
    form.N2->trigger();
    QVERIFY(!form.isVisible());
    QCOMPARE(m_dialogs.count(FakeDialogs::Shown::DropEdit), 1);
    processDeferredDeletes();
    QVERIFY(!adddata && !eff && !analiz);
    QCOMPARE(m_db->scalar(u"SELECT Значение FROM Значения"_s).toDouble(), 5.0);
}

void TestMainWindow::closingMainWindowClosesDatabaseWindows()
{
    m_dialogs.fileToOpen = m_db->path();
    m_form->N7->trigger();
    openAllWindows(*m_form);
    // An edit not yet written is written, not lost, when the program ends.
    QAbstractItemModel *model = adddata->DBGrid1->model();
    QVERIFY(model->setData(model->index(0, 3), u"7,5"_s));
    m_form->N8->trigger();
    m_form->N2->trigger();
    QVERIFY(!m_form->isVisible());
    processDeferredDeletes();
    QCOMPARE(closedWindows, QStringList({u"addp"_s, u"adddata"_s, u"eff"_s, u"analiz"_s}));
    QCOMPARE(m_db->scalar(u"SELECT Значение FROM Значения"_s).toDouble(), 7.5);
    QVERIFY(!about->isVisible());
}

void TestMainWindow::oneWindowPerReference()
{
    TForm1 &form = *m_form;
    m_dialogs.fileToOpen = m_db->path();
    form.N7->trigger();
    Q_EMIT form.N5->aboutToShow();
    form.N10->trigger();
    QWidget *first = addp;
    form.N6->trigger();
    QCOMPARE(form.MdiArea->activeSubWindow()->widget(), adddata.data());

    form.N10->trigger();
    QCOMPARE(addp.data(), first);
    QCOMPARE(form.MdiArea->subWindowList().size(), 2);
    QCOMPARE(form.MdiArea->activeSubWindow()->widget(), first);
    QVERIFY(form.MdiArea->activeSubWindow()->isMaximized());

    // Closed by itself or through its frame, a window goes with its frame and reference.
    QVERIFY(addp->close());
    QTRY_VERIFY(!addp);
    QTRY_COMPARE(form.MdiArea->subWindowList().size(), 1);
    form.MdiArea->subWindowList().constFirst()->close();
    QTRY_VERIFY(!adddata);
    QTRY_VERIFY(form.MdiArea->subWindowList().isEmpty());
}

void TestMainWindow::clock_data()
{
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<QString>("date");
    QTest::newRow("Monday") << QDateTime(QDate(2024, 1, 1), QTime(9, 5, 7))
                            << u"Сегодня: 01.01.2024 (Понедельник)"_s;
    QTest::newRow("Sunday") << QDateTime(QDate(2023, 12, 31), QTime(23, 59, 58))
                            << u"Сегодня: 31.12.2023 (Воскресенье)"_s;
}

void TestMainWindow::clock()
{
    QFETCH(QDateTime, now);
    QFETCH(QString, date);
    FixedClock fixed(now);
    // Another window may have left its own short date format; every tick sets it back.
    FormatSettings::instance().setShortDateFormat(u"m/d/yy"_s);

    m_form->Timer1Timer();
    QCOMPARE(m_form->panelText(2), date);
    QCOMPARE(FormatSettings::instance().shortDateFormat(), u"dd.mm.yyyy"_s);
    // The long time format is the user's own; its hours, minutes and seconds come first.
    QVERIFY2(
        m_form->panelText(3).startsWith(u"Текущее время: "_s + now.time().toString(u"HH:mm:ss"_s)),
        qPrintable(m_form->panelText(3)));
    QCOMPARE(m_form->panelText(4), QString());
}

void TestMainWindow::aboutWindow()
{
    TForm1 &form = *m_form;
    form.N8->trigger();
    QPointer<Tabout> first = about;
    QVERIFY(first && first->isVisible() && first->isWindow());
    QCOMPARE(first->windowTitle(), u"about"_s);
    QCOMPARE(first->size(), QSize(324, 146));
    QVERIFY(form.MdiArea->subWindowList().isEmpty());
    // A close box only: nothing to minimise or maximise it with, and no size to change.
    const Qt::WindowFlags flags = first->windowFlags();
    QVERIFY(flags & Qt::WindowCloseButtonHint);
    QVERIFY(!(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    QCOMPARE(first->minimumSize(), first->maximumSize());

    // The close box only hides it; "О программе" shows the same window again.
    QVERIFY(first->close());
    processDeferredDeletes();
    QVERIFY(first && about == first && !first->isVisible());
    form.N8->trigger();
    QVERIFY(about == first && first->isVisible());

    // OK disposes of it once the click has been handled; the next one is new.
    QTest::mouseClick(first->Button1, Qt::LeftButton);
    processDeferredDeletes();
    QVERIFY(!first);
    QVERIFY(!about);
    form.N8->trigger();
    QVERIFY(about && about->isVisible());
}

void TestMainWindow::helpAndPrinterSetup()
{
    // No help.chm here: the program's own manual, one window, its chapters listed.
    m_form->N4->trigger();
    m_form->N4->trigger();
    const auto helps = m_form->findChildren<HelpWindow *>();
    QCOMPARE(helps.size(), 1);
    HelpWindow *help = helps.first();
    QVERIFY(help->isVisible());
    QVERIFY2(help->contents()->count() >= 9,
             qPrintable(QString::number(help->contents()->count())));
    QCOMPARE(help->contents()->item(1)->text(), u"Файл базы данных"_s);
    help->contents()->setCurrentRow(help->contents()->count() - 1);
    QTRY_VERIFY(help->text()->verticalScrollBar()->value() > 0);
    help->close();

    // help.chm beside the program and a viewer for it on the PATH: the desktop opens it.
    const QString previous = QDir::currentPath();
    QDir::setCurrent(m_folder.path());
    QFile chm(fileIn(u"help.chm"_s));
    QVERIFY(chm.open(QIODevice::WriteOnly));
    chm.close();
    QFile viewer(fileIn(u"xchm"_s));
    QVERIFY(viewer.open(QIODevice::WriteOnly));
    viewer.write("#!/bin/sh\n");
    viewer.close();
    QVERIFY(viewer.setPermissions(viewer.permissions() | QFile::ExeOwner));
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(m_folder.path()) + ':' + path);
    UrlRecorder recorder;
    QDesktopServices::setUrlHandler(u"file"_s, &recorder, "open");
    m_form->N4->trigger();
    QDesktopServices::unsetUrlHandler(u"file"_s);
    qputenv("PATH", path);
    QDir::setCurrent(previous);
    QCOMPARE(recorder.urls, QList<QUrl>({QUrl::fromLocalFile(fileIn(u"help.chm"_s))}));

    m_form->N12->trigger();
    m_form->N15->trigger();
    QCOMPARE(m_dialogs.count(FakeDialogs::Shown::PrinterSetup), 2);
    // No message of the program's own, whatever the shell made of the help file.
    QCOMPARE(m_dialogs.shown.size(), 2);
}

void TestMainWindow::calculatorFromPath()
{
    // Stand-ins for two calculators that note where they were started.
    const auto addCalculator = [this](const QString &name) {
        QFile script(fileIn(name));
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\n: > \"$0.started\"\n");
        script.close();
        QVERIFY(script.setPermissions(script.permissions() | QFile::ExeOwner));
    };
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(m_folder.path()));

    // None there: the user is told which programs were looked for.
    m_form->N14->trigger();
    QCOMPARE(m_dialogs.errors().size(), 1);
    for (const QString &name : calculatorNames())
        QVERIFY2(m_dialogs.errors().constFirst().contains(name),
                 qPrintable(m_dialogs.errors().constFirst()));
    m_dialogs.shown.clear();

    addCalculator(u"xcalc"_s);
    addCalculator(u"kcalc"_s);
    m_form->N14->trigger();
    qputenv("PATH", path);

    QTRY_VERIFY(QFile::exists(fileIn(u"kcalc.started"_s)));
    QVERIFY(!QFile::exists(fileIn(u"xcalc.started"_s)));
    QVERIFY(m_dialogs.shown.isEmpty());
}

void TestMainWindow::errorBox_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("shown");
    QTest::newRow("ends in a letter") << u"Файл не найден"_s << u"Файл не найден."_s;
    QTest::newRow("ends in a digit") << u"Ошибка 42"_s << u"Ошибка 42."_s;
    QTest::newRow("ends in a colon") << u"Нет поля:"_s << u"Нет поля:."_s;
    QTest::newRow("ends in a full stop") << u"Нет данных."_s << u"Нет данных."_s;
    QTest::newRow("ends in a parenthesis")
        << u"Неверное значение (x)"_s << u"Неверное значение (x)"_s;
    QTest::newRow("ends in an exclamation mark") << u"Стоп!"_s << u"Стоп!"_s;
}

void TestMainWindow::errorBox()
{
    QFETCH(QString, message);
    QFETCH(QString, shown);
    // A handler run from the event loop: its error is shown, the loop and the window go on.
    bool finished = false;
    QTimer::singleShot(0, m_form.get(), [&] {
        guard(m_form.get(), [&] { throw std::runtime_error(message.toStdString()); });
        finished = true;
    });
    QTRY_VERIFY(finished);
    QCOMPARE(m_dialogs.errors(), QStringList({shown}));
    QVERIFY(m_form->isVisible());
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
