// Opens the main window's menus drawn by the menu style, for a look under Xvfb:
//   menustyle_preview [menu index] [highlighted item index]
#include "tests/ui/MenuFixture.h"

#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int menuIndex = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 0;
    const int itemIndex = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 1;

    MenuTestWindow window;
    auto *style = new TMenuStyle(&window);
    style->setImages(window.imageList);
    applyMainWindowMenuSettings(*style);
    // As before a database is chosen: the database items are disabled.
    for (QAction *action : window.databaseMenu->actions())
        action->setEnabled(false);
    window.resize(813, 541);
    window.show();

    QTimer::singleShot(300, &window, [&] {
        const QList<QAction *> barItems = window.menuBar()->actions();
        QAction *barItem = barItems.value(menuIndex, barItems.first());
        window.menuBar()->setActiveAction(barItem);
        QMenu *menu = barItem->menu();
        menu->setActiveAction(menu->actions().value(itemIndex));
    });
    return QApplication::exec();
}
