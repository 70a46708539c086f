#include "tests/ui/MenuFixture.h"

#include <QAction>
#include <QIcon>
#include <QImage>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>

using namespace Qt::StringLiterals;

MenuTestWindow::MenuTestWindow()
{
    setWindowTitle(u"Орвинта"_s);
    menuBar()->setNativeMenuBar(false);
    imageList = makeMenuImages();
    // Items take their icons from the image list, as the main window does.
    const auto addItem = [this](QMenu *menu, const QString &caption, int image) {
        return menu->addAction(imageList.images.value(image), caption);
    };

    fileMenu = menuBar()->addMenu(u"Файл"_s);
    openAction = addItem(fileMenu, u"Открыть базу данных"_s, 2);
    addItem(fileMenu, u"Параметры печати"_s, 7);
    addItem(fileMenu, u"Выход"_s, 0);

    databaseMenu = menuBar()->addMenu(u"База данных"_s);
    addItem(databaseMenu, u"Ввод данных статистики"_s, 4);
    addItem(databaseMenu, u"Анализ данных"_s, 3);
    addItem(databaseMenu, u"Редактирование параметров"_s, 5);
    addItem(databaseMenu, u"Анализ эффективности"_s, 3);

    toolsMenu = menuBar()->addMenu(u"Инструменты"_s);
    addItem(toolsMenu, u"Калькулятор"_s, 8);
    addItem(toolsMenu, u"Параметры печати"_s, 7);

    helpMenu = menuBar()->addMenu(u"Справка"_s);
    helpAction = addItem(helpMenu, u"Помощь"_s, 1);
    helpAction->setShortcut(QKeySequence(Qt::Key_F1));
    aboutAction = addItem(helpMenu, u"О программе"_s, 9);
}

MenuImageList makeMenuImages()
{
    MenuImageList list;
    list.imageSize = QSize(16, 16);
    const QColor colors[] = {Qt::darkRed,  Qt::darkBlue,   Qt::darkGreen, Qt::darkMagenta,
                             Qt::darkCyan, Qt::darkYellow, Qt::red,       Qt::blue,
                             Qt::black,    Qt::darkGray};
    int index = 0;
    for (const QColor &color : colors) {
        QPixmap image(16, 16);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setPen(Qt::NoPen);
        painter.setBrush(color);
        if (index % 2 == 0)
            painter.drawRect(2, 2, 12, 12);
        else
            painter.drawEllipse(1, 1, 14, 14);
        painter.end();
        list.images.append(QIcon(image));
        ++index;
    }
    return list;
}

QPalette testPalette()
{
    // The classic XP ("Luna") desktop colours.
    QPalette palette;
    palette.setColor(QPalette::Button, QColor(236, 233, 216));
    palette.setColor(QPalette::Window, QColor(255, 255, 255));
    palette.setColor(QPalette::Highlight, QColor(49, 106, 197));
    palette.setColor(QPalette::Dark, QColor(172, 168, 153));
    palette.setColor(QPalette::WindowText, QColor(0, 0, 0));
    palette.setColor(QPalette::Disabled, QPalette::WindowText, QColor(157, 185, 235));
    return palette;
}

QRect inkBounds(const QImage &image, const QRect &area, QRgb background)
{
    QRect bounds;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (image.pixel(x, y) != background)
                bounds |= QRect(x, y, 1, 1);
    return bounds;
}
