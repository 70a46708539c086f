#pragma once

#include "ui/MenuStyle.h"

#include <QMainWindow>
#include <QPalette>

class QAction;
class QImage;
class QMenu;

// A main window with the program's menus: Файл, База данных, Инструменты, Справка, with their
// images from a ten-image list and F1 on "Помощь".
class MenuTestWindow : public QMainWindow
{
public:
    MenuTestWindow();

    QMenu *fileMenu = nullptr;      // N1
    QMenu *databaseMenu = nullptr;  // N5
    QMenu *toolsMenu = nullptr;     // N13
    QMenu *helpMenu = nullptr;      // N3
    QAction *openAction = nullptr;  // N7
    QAction *helpAction = nullptr;  // N4
    QAction *aboutAction = nullptr; // N8
    MenuImageList imageList;
};

// Ten 16 by 16 images on a transparent background, each a different colour and shape.
MenuImageList makeMenuImages();

// The desktop colours of a well-known theme, so that expected colours are fixed.
QPalette testPalette();

// The smallest rectangle holding every pixel of area whose colour is not background.
QRect inkBounds(const QImage &image, const QRect &area, QRgb background);
