#pragma once

#include "ui/MenuItemPainter.h"

#include <QProxyStyle>

class QAction;
class QStyleOptionMenuItem;
class TMenuStyle;

// Windows gives an owner-drawn menu cell a check mark's width less one (12 pixels at 96 dpi)
// beyond what the item measures, and the look relies on it: the submenu arrow goes there, and
// the open bar item's shadow lies right of its caption. Qt gives a cell exactly the size the
// style reports, so the style adds that room itself.
inline constexpr int ownerDrawCellRoom = 12;

// The style that TMenuStyle sets on the menus it takes over: it measures and draws menu items,
// menu bar items and the drop-down menu's frame with the menu look, and leaves everything else
// to the application's style.
class MenuItemStyle : public QProxyStyle
{
    Q_OBJECT

public:
    // Takes ownership of base, which may be null for the desktop's default style.
    MenuItemStyle(TMenuStyle *component, QStyle *base);

    int pixelMetric(PixelMetric metric, const QStyleOption *option = nullptr,
                    const QWidget *widget = nullptr) const override;
    void drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                       const QWidget *widget = nullptr) const override;
    QSize sizeFromContents(ContentsType type, const QStyleOption *option, const QSize &size,
                           const QWidget *widget) const override;
    void drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                     const QWidget *widget = nullptr) const override;

private:
    // The item as the menu look sees it; action may be null.
    MenuItem menuItem(const QStyleOptionMenuItem &option, const QAction *action,
                      bool barItem) const;

    TMenuStyle *m_component;
};
