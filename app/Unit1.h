#pragma once

#include "app/WindowReferences.h"

#include <QIcon>
#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QSet>
#include <array>

class HelpWindow;
class InstanceGuard;
class QAction;
class QFrame;
class QLabel;
class QMdiArea;
class QMenu;
class QMenuBar;
class QStatusBar;
class QTimer;
class QToolBar;
class QToolButton;
class StatusPanel;
class TMenuStyle;

// The main window: the workspace of the database windows, the menus and toolbar from which
// every window and tool is reached, the status bar with the database state and the clock.
// It owns the database path and publishes it in the caption of the invisible Label1.
class TForm1 : public QMainWindow
{
    Q_OBJECT
public:
    explicit TForm1(QWidget *parent = nullptr);
    ~TForm1() override;

    // True when FormCreate found another instance running: the caller ends at once.
    bool anotherInstanceRunning() const { return m_anotherInstanceRunning; }

    // Empty until the user first confirms a file; never emptied again.
    QString databasePath() const { return m_databasePath; }

    // The text of a status bar panel, numbered 1 to 4.
    QString panelText(int number) const;
    const StatusPanel *panel(int number) const { return m_panels.at(std::size_t(number - 1)); }

    // Brings the database window of `reference` to the front, or creates it (default
    // constructible, Qt::WA_DeleteOnClose) maximised in the workspace. At most one window per
    // reference exists; the reference empties itself when the window is destroyed.
    template <typename Window> void createOrShow(QPointer<Window> &reference)
    {
        if (reference) {
            bringToFront(reference);
            return;
        }
        // Set before the window is shown: its show handler may already look for it.
        reference = new Window;
        showInWorkspace(reference);
    }

    // Handlers
    void FormCreate();
    void FormShow();
    void N2Click();
    void N4Click();
    void N5Click();
    void N6Click();
    void N7Click();
    void N8Click();
    void N9Click();
    void N10Click();
    void N11Click();
    void N12Click();
    void N14Click();
    void N15Click();
    void ToolButton1Click();
    void Timer1Timer();

    // Controls, in the order of the form
    QLabel *Label1 = nullptr;
    QFrame *Bevel1 = nullptr;
    QStatusBar *StatusBar1 = nullptr;
    QToolBar *ToolBar1 = nullptr;
    QToolButton *ToolButton1 = nullptr;
    QToolButton *ToolButton2 = nullptr;
    QMenuBar *MainMenu1 = nullptr;
    QList<QIcon> ImageList1;
    TMenuStyle *MenuStyle1 = nullptr;
    QTimer *Timer1 = nullptr;
    QList<QIcon> ImageList2;

    QMdiArea *MdiArea = nullptr; // the workspace inside Bevel1

    // Main menu
    QMenu *N1 = nullptr;
    QAction *N7 = nullptr;
    QAction *N12 = nullptr;
    QAction *N2 = nullptr;
    QMenu *N5 = nullptr;
    QAction *N6 = nullptr;
    QAction *N9 = nullptr;
    QAction *N10 = nullptr;
    QAction *N11 = nullptr;
    QMenu *N13 = nullptr;
    QAction *N14 = nullptr;
    QAction *N15 = nullptr;
    QMenu *N3 = nullptr;
    QAction *N4 = nullptr;
    QAction *N8 = nullptr;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void createWorkspace();
    void createStatusBar();
    void createToolBar();
    void createMenus();
    QAction *addMenuItem(QMenu *menu, const QString &caption, int image, void (TForm1::*handler)());

    void showInWorkspace(QWidget *window);
    void bringToFront(QWidget *window);
    // Closes the database windows through their own close events, in the order addp, adddata,
    // eff, analiz, and empties their references. Stops at the first window that refuses (a
    // pending edit that cannot be written), leaving it and the windows after it open.
    bool closeDatabaseWindows();
    // Closes one window through its close event; false when it refused.
    bool closeWorkspaceWindow(QWidget *window);
    template <typename Window> bool closeWorkspaceWindow(QPointer<Window> &reference)
    {
        if (!closeWorkspaceWindow(static_cast<QWidget *>(reference)))
            return false;
        reference.clear();
        return true;
    }
    void setPanelText(int number, const QString &text);
    void showDatabaseState();

    QString m_databasePath;
    // Network folders whose one-user warning was shown this session.
    QSet<QString> m_warnedShares;
    QPointer<HelpWindow> m_help;
    std::array<StatusPanel *, 4> m_panels{};
    InstanceGuard *m_instanceGuard = nullptr;
    bool m_anotherInstanceRunning = false;
    bool m_shown = false;
};
