#include "ui/MenuItemStyle.h"

#include "ui/MenuStyle.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QStyleOptionMenuItem>
#include <QWidgetAction>
#include <algorithm>

namespace {

QString captionOf(const QString &text)
{
    const qsizetype tab = text.indexOf(u'\t');
    return tab < 0 ? text : text.left(tab);
}

// The action an option was made for, while Qt measures it. Qt passes no rectangle then, so the
// action is found by its caption and icon; actions alike in both measure alike.
const QAction *measuredAction(const QWidget *widget, const QStyleOptionMenuItem &option)
{
    const bool separator = option.menuItemType == QStyleOptionMenuItem::Separator;
    const QString caption = captionOf(option.text);
    const QAction *fallback = nullptr;
    for (const QAction *action : widget->actions()) {
        if (!action->isVisible() || action->isSeparator() != separator)
            continue;
        if (separator)
            return action;
        if (captionOf(action->text()) != caption)
            continue;
        const qint64 iconKey = action->isIconVisibleInMenu() ? action->icon().cacheKey() : 0;
        if (iconKey == option.icon.cacheKey())
            return action;
        if (!fallback)
            fallback = action;
    }
    return fallback;
}

// The action drawn in an option's rectangle.
const QAction *drawnAction(const QWidget *widget, const QRect &rect)
{
    if (const auto *menu = qobject_cast<const QMenu *>(widget))
        return menu->actionAt(rect.center());
    if (const auto *bar = qobject_cast<const QMenuBar *>(widget))
        return bar->actionAt(rect.center());
    return nullptr;
}

bool opensFromMenuBar(const QMenu *menu)
{
    for (int depth = 0; menu && depth < 16; ++depth) {
        QMenu *parentMenu = nullptr;
        for (QObject *object : menu->menuAction()->associatedObjects()) {
            if (qobject_cast<QMenuBar *>(object))
                return true;
            if (auto *m = qobject_cast<QMenu *>(object))
                parentMenu = m;
        }
        menu = parentMenu;
    }
    return false;
}

// The room QMenu adds to the widest item for its shortcut column. Each item is measured with
// its own shortcut already, so the room is taken off again.
int shortcutColumnWidth(const QMenu *menu)
{
    const QFontMetrics metrics = menu->fontMetrics();
    const bool fromMenuBar = opensFromMenuBar(menu);
    int widest = 0;
    for (const QAction *action : menu->actions()) {
        if (!action->isVisible() || action->isSeparator() ||
            qobject_cast<const QWidgetAction *>(action))
            continue;
        const QString text = action->text();
        const qsizetype tab = text.indexOf(u'\t');
        if (tab >= 0)
            widest = std::max(widest, metrics.horizontalAdvance(text.mid(tab + 1)));
        else if ((fromMenuBar || action->isShortcutVisibleInContextMenu()) &&
                 !action->shortcut().isEmpty())
            widest = std::max(widest, metrics.horizontalAdvance(
                                          action->shortcut().toString(QKeySequence::NativeText)));
    }
    return widest;
}

QSize ownBitmapSize(const QIcon &icon, int fallback)
{
    const QList<QSize> sizes = icon.availableSizes();
    return sizes.isEmpty() ? QSize(fallback, fallback) : sizes.first();
}

} // namespace

MenuItemStyle::MenuItemStyle(TMenuStyle *component, QStyle *base)
    : QProxyStyle(base), m_component(component)
{}

int MenuItemStyle::pixelMetric(PixelMetric metric, const QStyleOption *option,
                               const QWidget *widget) const
{
    if (m_component->isActive()) {
        switch (metric) {
        case PM_MenuBarItemSpacing:
        case PM_MenuBarHMargin:
        case PM_MenuBarVMargin:
        case PM_MenuBarPanelWidth:
            return 0; // bar items sit side by side, each as wide as it measures
        case PM_MenuPanelWidth:
            return 1; // a one-pixel frame, drawn in drawPrimitive
        case PM_MenuHMargin:
        case PM_MenuVMargin:
            return 0; // items and their icon column reach the frame
        default:
            break;
        }
    }
    return QProxyStyle::pixelMetric(metric, option, widget);
}

void MenuItemStyle::drawPrimitive(PrimitiveElement element, const QStyleOption *option,
                                  QPainter *painter, const QWidget *widget) const
{
    if (m_component->isActive() && (element == PE_FrameMenu || element == PE_PanelMenu)) {
        // The drop-down menu's frame, in the open bar item's frame colour so that the tab and the
        // menu below it read as one outline, and whatever the items leave uncovered.
        const int depth = painter->device() ? painter->device()->depth() : 32;
        const EffectiveColors colors = m_component->lookFor(depth).colors;
        const QColor color = element == PE_FrameMenu ? colors.barFrame : colors.itemBackground;
        painter->save();
        if (element == PE_FrameMenu) {
            painter->setPen(QPen(color, 0));
            painter->setBrush(Qt::NoBrush);
            painter->drawRect(option->rect.adjusted(0, 0, -1, -1));
        } else {
            painter->fillRect(option->rect, color);
        }
        painter->restore();
        return;
    }
    QProxyStyle::drawPrimitive(element, option, painter, widget);
}

QSize MenuItemStyle::sizeFromContents(ContentsType type, const QStyleOption *option,
                                      const QSize &size, const QWidget *widget) const
{
    const auto *item = qstyleoption_cast<const QStyleOptionMenuItem *>(option);
    if (!m_component->isActive() || !item || (type != CT_MenuItem && type != CT_MenuBarItem))
        return QProxyStyle::sizeFromContents(type, option, size, widget);

    // Qt's own estimate in size is made with the widget's font, not with the style's: unused.
    const bool barItem = type == CT_MenuBarItem;
    const QAction *action = widget ? measuredAction(widget, *item) : nullptr;
    QSize measured = measureMenuItem(menuItem(*item, action, barItem), m_component->currentFont(),
                                     m_component->iconWidth());
    measured.rwidth() += ownerDrawCellRoom;
    if (const auto *menu = qobject_cast<const QMenu *>(widget); menu && !barItem)
        measured.setWidth(std::max(1, measured.width() - shortcutColumnWidth(menu)));
    return measured;
}

void MenuItemStyle::drawControl(ControlElement element, const QStyleOption *option,
                                QPainter *painter, const QWidget *widget) const
{
    const auto *item = qstyleoption_cast<const QStyleOptionMenuItem *>(option);
    if (!m_component->isActive() || !item ||
        (element != CE_MenuItem && element != CE_MenuBarItem)) {
        QProxyStyle::drawControl(element, option, painter, widget);
        return;
    }
    const bool barItem = element == CE_MenuBarItem;
    const int depth = painter->device() ? painter->device()->depth() : 32;
    drawMenuItem(*painter, item->rect, menuItem(*item, drawnAction(widget, item->rect), barItem),
                 m_component->lookFor(depth));
    if (widget)
        m_component->takeOverSubMenus(widget);
}

MenuItem MenuItemStyle::menuItem(const QStyleOptionMenuItem &option, const QAction *action,
                                 bool barItem) const
{
    MenuItem item;
    const qsizetype tab = option.text.indexOf(u'\t');
    item.caption = tab < 0 ? option.text : option.text.left(tab);
    item.shortcut = tab < 0 ? QString() : option.text.mid(tab + 1);
    item.separator = option.menuItemType == QStyleOptionMenuItem::Separator;
    item.barItem = barItem;
    item.enabled = option.state.testFlag(State_Enabled);
    // A bar item counts as highlighted while its menu is open, not while the mouse rests on it.
    item.highlighted =
        option.state.testFlag(State_Selected) && (!barItem || option.state.testFlag(State_Sunken));
    item.checked = option.checkType != QStyleOptionMenuItem::NotCheckable && option.checked;
    item.radio = option.checkType == QStyleOptionMenuItem::Exclusive;
    item.isDefault = option.menuItemType == QStyleOptionMenuItem::DefaultItem;
    item.hasSubMenu = option.menuItemType == QStyleOptionMenuItem::SubMenu;
    item.rightToLeft = option.direction == Qt::RightToLeft;

    const MenuImageList &images = m_component->images();
    const int index = action ? m_component->imageIndexOf(action) : -1;
    item.hasListImage = !images.imageSize.isEmpty() && index != -1;
    item.listImageSize = images.imageSize;
    if (item.hasListImage && index >= 0 && index < images.images.size())
        item.listImage = images.images.at(index).pixmap(images.imageSize);
    if (!item.hasListImage && !option.icon.isNull())
        item.ownBitmap = option.icon.pixmap(
            ownBitmapSize(option.icon, baseStyle()->pixelMetric(PM_SmallIconSize)));
    return item;
}
