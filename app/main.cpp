#include "Dialogs.h"
#include "Unit1.h"
#include "Unit5.h"

#include <QApplication>
#include <QLibraryInfo>
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

} // namespace

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    loadQtTranslation(application);

    auto splash = std::make_unique<TSplashForm>();
    splash->showAndPaint();

    QApplication::setApplicationDisplayName(applicationTitle());

    // Its creation runs the single-instance guard: a second instance ends here, quietly.
    auto mainWindow = std::make_unique<TForm1>();
    if (mainWindow->anotherInstanceRunning())
        return 0;

    // No child window is created at start-up.
    splash.reset();

    mainWindow->showMaximized();
    application.exec();
    return 0;
}
