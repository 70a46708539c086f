#include "app/Unit1.h"

#include "app/HelpWindow.h"
#include "app/InstanceGuard.h"
#include "app/ShellCommands.h"
#include "app/StatusPanel.h"
#include "app/Unit3.h"
#include "core/Clock.h"
#include "core/FileSystem.h"
#include "core/FormatSettings.h"
#include "db/Database.h"
#include "db/forms/DatabasePath.h"
#include "ui/Dialogs.h"
#include "ui/ErrorGuard.h"
#include "ui/MenuStyle.h"
#include "ui/Printer.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QShortcut>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

// The images live in this static library: they must be registered explicitly.
static void initResources()
{
    Q_INIT_RESOURCE(orvinta);
}

namespace {

constexpr std::array<int, 4> panelWidths = {400, 195, 150, 50};
constexpr int menuImageCount = 10;

QString dayName(int dayOfWeek)
{
    static const char16_t *const names[] = {
        u"Понедельник", u"Вторник", u"Среда", u"Четверг", u"Пятница", u"Суббота", u"Воскресенье",
    };
    return QString::fromUtf16(names[dayOfWeek - 1]);
}

// What the open dialog is asked for: *.mdb files, or a server database's connection file,
// starting in "Path" under the current folder when there is one.
// The dialog starts in the "Path" folder of the working folder where there is one; else in the
// folder of the file chosen last, else in the user's documents.
OpenFileRequest openDialogRequest(const QString &lastFile)
{
    QString folder = QDir::current().absoluteFilePath(u"Path"_s);
    if (!QFileInfo(folder).isDir())
        folder = lastFile.isEmpty() ? QString() : QFileInfo(lastFile).absolutePath();
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return {QString(), folder, u"*.mdb;;Сервер базы данных (*.orvinta-server)"_s};
}

} // namespace

TForm1::TForm1(QWidget *parent) : QMainWindow(parent)
{
    initResources();
    Form1 = this;
    setWindowTitle(applicationTitle());
    resize(813, 541);

    for (int i = 0; i < menuImageCount; ++i)
        ImageList1.append(QIcon(u":/images/menu%1.png"_s.arg(i)));
    ImageList2.append(QIcon(u":/images/toolbar0.png"_s));

    Label1 = new QLabel(this);
    Label1->hide();
    publishDatabasePathLabel(Label1);

    createWorkspace();
    createStatusBar();
    createToolBar();
    createMenus();

    Timer1 = new QTimer(this);
    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this, guarded(this, &TForm1::Timer1Timer));
    Timer1->start();

    guard(this, [this] { FormCreate(); });
}

TForm1::~TForm1() = default;

void TForm1::createWorkspace()
{
    Bevel1 = new QFrame(this);
    Bevel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    MdiArea = new QMdiArea(Bevel1);
    MdiArea->setFrameShape(QFrame::NoFrame);
    MdiArea->setBackground(palette().color(QPalette::Dark));
    auto *layout = new QVBoxLayout(Bevel1);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->addWidget(MdiArea);
    setCentralWidget(Bevel1);
}

void TForm1::createStatusBar()
{
    StatusBar1 = statusBar();
    for (std::size_t i = 0; i < m_panels.size(); ++i) {
        // Each panel takes its width where the window has room. In a narrow window the date
        // and the time stay whole, and the database path is cut in the middle.
        auto *panel = new StatusPanel(panelWidths[i], i == 0 || i == 3, StatusBar1);
        StatusBar1->addWidget(panel);
        m_panels[i] = panel;
    }
}

void TForm1::createToolBar()
{
    ToolBar1 = addToolBar(QString());
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->toggleViewAction()->setVisible(false);
    ToolBar1->setIconSize(QSize(45, 39));
    ToolBar1->setFixedHeight(51);

    ToolButton1 = new QToolButton(ToolBar1);
    ToolButton1->setIcon(ImageList2.value(0));
    ToolButton1->setIconSize(ToolBar1->iconSize());
    ToolButton1->setFixedSize(52, 45);
    ToolButton1->setAutoRaise(true);
    ToolButton1->setToolTip(u"Открыть базу данных"_s);
    connect(ToolButton1, &QToolButton::clicked, this, guarded(this, &TForm1::ToolButton1Click));
    ToolBar1->addWidget(ToolButton1);

    // Kept in the bar without a function, and never shown.
    ToolButton2 = new QToolButton(ToolBar1);
    ToolButton2->setIcon(ImageList2.value(1));
    ToolButton2->setFixedSize(52, 45);
    ToolBar1->addWidget(ToolButton2)->setVisible(false);
}

QAction *TForm1::addMenuItem(QMenu *menu, const QString &caption, int image,
                             void (TForm1::*handler)())
{
    QAction *item = menu->addAction(ImageList1.value(image), caption);
    connect(item, &QAction::triggered, this, guarded(this, handler));
    return item;
}

void TForm1::createMenus()
{
    MainMenu1 = menuBar();
    // F10 opens the first menu, as in every desktop program.
    connect(new QShortcut(QKeySequence(Qt::Key_F10), this), &QShortcut::activated, this,
            [this] { MainMenu1->setActiveAction(MainMenu1->actions().value(0)); });

    N1 = MainMenu1->addMenu(u"Файл"_s);
    N7 = addMenuItem(N1, u"Открыть базу данных"_s, 2, &TForm1::N7Click);
    N12 = addMenuItem(N1, u"Параметры печати"_s, 7, &TForm1::N12Click);
    N2 = addMenuItem(N1, u"Выход"_s, 0, &TForm1::N2Click);

    N5 = MainMenu1->addMenu(u"База данных"_s);
    connect(N5, &QMenu::aboutToShow, this, guarded(this, &TForm1::N5Click));
    N6 = addMenuItem(N5, u"Ввод данных статистики"_s, 4, &TForm1::N6Click);
    N9 = addMenuItem(N5, u"Анализ данных"_s, 3, &TForm1::N9Click);
    N10 = addMenuItem(N5, u"Редактирование параметров"_s, 5, &TForm1::N10Click);
    N11 = addMenuItem(N5, u"Анализ эффективности"_s, 3, &TForm1::N11Click);

    N13 = MainMenu1->addMenu(u"Инструменты"_s);
    N14 = addMenuItem(N13, u"Калькулятор"_s, 8, &TForm1::N14Click);
    N15 = addMenuItem(N13, u"Параметры печати"_s, 7, &TForm1::N15Click);

    N3 = MainMenu1->addMenu(u"Справка"_s);
    N4 = addMenuItem(N3, u"Помощь"_s, 1, &TForm1::N4Click);
    N4->setShortcut(QKeySequence(Qt::Key_F1));
    N8 = addMenuItem(N3, u"О программе"_s, 9, &TForm1::N8Click);

    // The database items are reachable only through their menu, which sets them on opening;
    // start them in the state that matches no database.
    N5Click();

    // The menus' own flat look with the image column; the images are the actions' icons.
    MenuStyle1 = new TMenuStyle(this);
    MenuStyle1->setImages({QSize(16, 16), ImageList1});
    applyMainWindowMenuSettings(*MenuStyle1);
}

QString TForm1::panelText(int number) const
{
    return m_panels.at(std::size_t(number - 1))->text();
}

void TForm1::setPanelText(int number, const QString &text)
{
    m_panels.at(std::size_t(number - 1))->setPanelText(text);
}

void TForm1::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        guard(this, [this] { FormShow(); });
    }
}

void TForm1::closeEvent(QCloseEvent *event)
{
    // Pending edits in the database windows are written first; a window that cannot write
    // its edit keeps the program open rather than lose it.
    bool closed = false;
    guard(this, [&] { closed = closeDatabaseWindows(); });
    if (closed && about)
        about->hide();
    event->setAccepted(closed);
}

void TForm1::showInWorkspace(QWidget *window)
{
    QMdiSubWindow *frame = MdiArea->addSubWindow(window);
    // A window that closes itself takes its frame with it. Queued, so that a frame being
    // destroyed (and taking the window with it) is never touched.
    connect(window, &QObject::destroyed, frame, &QObject::deleteLater, Qt::QueuedConnection);
    frame->showMaximized();
}

void TForm1::bringToFront(QWidget *window)
{
    if (auto *frame = qobject_cast<QMdiSubWindow *>(window->parentWidget())) {
        MdiArea->setActiveSubWindow(frame);
    } else {
        window->raise();
        window->activateWindow();
    }
}

bool TForm1::closeWorkspaceWindow(QWidget *window)
{
    if (!window)
        return true;
    QWidget *frame = qobject_cast<QMdiSubWindow *>(window->parentWidget());
    QWidget *closing = frame ? frame : window;
    if (!closing->close())
        return false;
    // Disposed of even when the window was not built to delete itself on closing.
    closing->deleteLater();
    return true;
}

bool TForm1::closeDatabaseWindows()
{
    return closeWorkspaceWindow(addp) && closeWorkspaceWindow(adddata) &&
           closeWorkspaceWindow(eff) && closeWorkspaceWindow(analiz);
}

void TForm1::FormCreate()
{
    m_instanceGuard = new InstanceGuard(InstanceGuard::defaultFolder(), this);
    m_anotherInstanceRunning = m_instanceGuard->IsAlreadyRunning(windowTitle());
}

void TForm1::FormShow()
{
    showDatabaseState();
}

void TForm1::showDatabaseState()
{
    QString state = m_databasePath.isEmpty() ? u"База данных не открыта"_s
                                             : u"База данных открыта с "_s + m_databasePath;
    if (!isServerFile(m_databasePath) && !sharedFileWarning(m_databasePath).isEmpty())
        state += u" — в сетевой папке: только один пользователь за раз"_s;
    setPanelText(1, state);
}

void TForm1::N2Click()
{
    close();
}

void TForm1::N4Click()
{
    // help.chm where something can show it; the program's own manual everywhere else.
    if (canShowHelpFile(u"help.chm"_s)) {
        openDocument(u"help.chm"_s);
        return;
    }
    if (!m_help)
        m_help = new HelpWindow(this);
    m_help->show();
    m_help->raise();
    m_help->activateWindow();
}

void TForm1::N5Click()
{
    const bool open = !m_databasePath.isEmpty();
    for (QAction *item : {N6, N9, N10, N11})
        item->setEnabled(open);
}

void TForm1::N6Click()
{
    createOrShow(adddata);
}

void TForm1::N7Click()
{
    const QString file = dialogs().openFileName(this, openDialogRequest(m_databasePath));
    if (!file.isEmpty()) {
        // A database window that cannot write its pending edit stays open, and so does the
        // database it works on.
        if (!closeDatabaseWindows())
            return;
        m_databasePath = file;
        Label1->setText(m_databasePath);
        // Several users on one file in a network folder would damage it: said once per file.
        if (const QString warning = isServerFile(file) ? QString() : sharedFileWarning(file);
            !warning.isEmpty() && !m_warnedShares.contains(file)) {
            m_warnedShares.insert(file);
            dialogs().information(this, warning);
        }
    }
    showDatabaseState();
    Label1->setText(m_databasePath);
}

void TForm1::N8Click()
{
    if (!about)
        about = new Tabout(this);
    about->show();
    about->raise();
    about->activateWindow();
}

void TForm1::N9Click()
{
    createOrShow(analiz);
}

void TForm1::N10Click()
{
    createOrShow(addp);
}

void TForm1::N11Click()
{
    createOrShow(eff);
}

void TForm1::N12Click()
{
    dialogs().printerSetup(this, &currentPrinter());
}

void TForm1::N14Click()
{
    startCalculator();
}

void TForm1::N15Click()
{
    N12Click();
}

void TForm1::ToolButton1Click()
{
    N7Click();
}

void TForm1::Timer1Timer()
{
    const QDateTime now = currentDateTime();
    FormatSettings &settings = FormatSettings::instance();
    settings.setShortDateFormat(u"dd.mm.yyyy"_s);
    setPanelText(2, u"Сегодня: "_s + settings.formatShortDate(now.date()) + u" ("_s +
                        dayName(now.date().dayOfWeek()) + u')');
    setPanelText(3, u"Текущее время: "_s + settings.formatLongTime(now.time()));
}
