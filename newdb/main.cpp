#include "newdb/NewDatabaseDialog.h"
#include "ui/Dialogs.h"
#include "ui/WaitProgress.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QScopeGuard>
#include <QTranslator>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("orvinta-new"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("orvinta")));
    auto *translator = new QTranslator(&application);
    if (translator->load(QStringLiteral("qtbase_ru"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(translator);

    NewDatabaseDialog dialog;
    WaitProgress waitProgress(&dialog);
    setWaiter(&waitProgress);
    const auto uninstall = qScopeGuard([] { setWaiter(nullptr); });
    dialog.show();
    return application.exec();
}
