#include "access/AccessSnapshot.h"
#include "app/Unit1.h"
#include "app/Unit5.h"
#include "db/Database.h"
#include "ui/Dialogs.h"
#include "ui/WaitProgress.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QScopeGuard>
#include <QTranslator>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

// Qt's own dialogs and standard buttons speak Russian, as the rest of the program does.
void loadQtTranslation(QApplication &application)
{
    auto *translator = new QTranslator(&application);
    if (translator->load(u"qtbase_ru"_s, QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(translator);
}

// The program's own icon on every window (and left of the menu bar of a maximised child).
QIcon applicationIcon()
{
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addFile(u":/icons/orvinta-%1.png"_s.arg(size), QSize(size, size));
    return icon;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationVersion(QStringLiteral(ORVINTA_VERSION));
    QApplication::setWindowIcon(applicationIcon());
    loadQtTranslation(application);

    auto splash = std::make_unique<TSplashForm>();
    splash->showAndPaint();

    // The application title "Орвинта" is the main window's caption and the caption of every
    // box (applicationTitle()). It is not made the display name, which the window system
    // would append to every title ("Орвинта - [Анализ данных] — Орвинта").
    QApplication::setApplicationName(QStringLiteral("orvinta"));

    // Its creation runs the single-instance guard: a second instance ends here, quietly.
    auto mainWindow = std::make_unique<TForm1>();
    if (mainWindow->anotherInstanceRunning())
        return 0;

    // Access files are read through their snapshots; a slow wait (an Access file read, a file
    // held by another program) shows its progress and can be cancelled.
    Database::setStandInFinder(&accessStandIn);
    // A server that wants a password asks for it; it is kept in memory for the session.
    Database::setPasswordPrompt([](const QString &path) {
        return dialogs().password(QApplication::activeWindow(),
                                  u"Сервер базы данных «%1» просит пароль.\nПароль:"_s.arg(path));
    });
    WaitProgress waitProgress(mainWindow.get());
    setWaiter(&waitProgress);
    const auto uninstall = qScopeGuard([] { setWaiter(nullptr); });

    // No child window is created at start-up.
    splash.reset();

    mainWindow->showMaximized();
    application.exec();
    return 0;
}
