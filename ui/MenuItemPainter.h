#pragma once

#include "ui/MenuColors.h"

#include <QFont>
#include <QPixmap>
#include <QSize>
#include <QString>

class QPainter;
class QRect;

// One menu item as the menu look measures and draws it, free of any widget.
struct MenuItem
{
    QString caption;  // may hold "&" before the character to underline
    QString shortcut; // the shortcut's text; empty when the item has none
    bool separator = false;
    bool barItem = false; // a top-level item of a menu bar
    bool enabled = true;
    bool highlighted = false;
    bool checked = false;
    bool radio = false;     // one of an exclusive group
    bool isDefault = false; // the menu's default item, drawn embossed
    bool hasSubMenu = false;
    bool rightToLeft = false;
    bool hasListImage = false; // the item shows an image of the owner's image list
    QSize listImageSize;       // the image list's image size
    QPixmap listImage;         // that image; null when its index lies outside the list
    QPixmap ownBitmap;         // the item's own picture, used when it has no list image
};

// Everything one item is drawn with besides the item itself.
struct MenuLook
{
    QFont font;
    QColor fontColor;
    EffectiveColors colors;
    int iconWidth = 24;
    bool drawSelect = true;
};

// The size of the item's picture: the list image's, else the own bitmap's, else empty.
QSize menuIconSize(const MenuItem &item);

// The size the item asks for: text (without the "&") plus icon plus 10 wide, a separator 4 high.
QSize measureMenuItem(const MenuItem &item, const QFont &font, int iconWidth);

// Draws the item into rect, which is its whole cell; nothing is drawn outside rect.
void drawMenuItem(QPainter &painter, const QRect &rect, const MenuItem &item, const MenuLook &look);
