#pragma once

#include "ui/MenuColors.h"
#include "ui/MenuItemPainter.h"

#include <QFont>
#include <QIcon>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QSize>
#include <QStyle>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

class QAction;
class MenuItemStyle;

// The owner's menu image list: images of one size, addressed by index.
struct MenuImageList
{
    QSize imageSize; // empty while the menus have no image list
    QList<QIcon> images;
};

// An item's image index (-1: none) set on the action itself. Without one, an action whose icon
// is one of the list's images (a copy of it, as QAction::setIcon(list.at(i)) makes) has that
// image's index.
void setMenuImageIndex(QAction *action, int index);

using MenuImageIndexOf = std::function<int(const QAction *)>;

// Draws the menus of its owner window in the flat look: a light item area with a darker icon
// column, images raised with a shadow under a framed highlight, separators that start right of
// the column, right-aligned shortcuts, and an open menu bar item drawn as a tab.
//
// Qt draws menus through their style, so while Active is on the component sets a style of its
// own (a QProxyStyle over the application's style) on the owner's menu bars and menus and on
// every menu reachable from their actions; switching Active off gives each its previous style
// back. The owner wires it like this:
//
//     MenuStyle1 = new TMenuStyle(this);                     // a child of the main window
//     MenuStyle1->setImages({QSize(16, 16), ImageList1});    // the actions' icons come from it
//     applyMainWindowMenuSettings(*MenuStyle1);              // Tahoma 8 pt, ..., Active last
//
// A menu that already has a style of its own set by the program (QWidget::setStyle) counts as
// drawing itself: it is left alone unless OverrideOwnerDraw is on, and gets its own style back
// on release. Items of a QWidgetAction are always drawn by their widget, Qt never asks a style.
class TMenuStyle : public QObject
{
    Q_OBJECT

public:
    // The owner must be a window; a null owner throws std::invalid_argument.
    explicit TMenuStyle(QWidget *owner);
    ~TMenuStyle() override;

    QWidget *ownerWindow() const { return m_owner; }

    // Font and its colour; while UseSystemColors is on both are reset to the desktop's menu font
    // and menu text colour before every measured or drawn item.
    QFont font() const { return m_font; }
    void setFont(const QFont &font);
    MenuColor fontColor() const { return m_fontColor; }
    void setFontColor(const MenuColor &color) { m_fontColor = color; }

    MenuColor color() const { return m_colors.color; }
    void setColor(const MenuColor &color) { m_colors.color = color; }
    MenuColor iconBackColor() const { return m_colors.iconBackColor; }
    void setIconBackColor(const MenuColor &color) { m_colors.iconBackColor = color; }
    MenuColor menuBarColor() const { return m_colors.menuBarColor; }
    void setMenuBarColor(const MenuColor &color);
    MenuColor selectColor() const { return m_colors.selectColor; }
    void setSelectColor(const MenuColor &color) { m_colors.selectColor = color; }
    MenuColor selectBorderColor() const { return m_colors.selectBorderColor; }
    void setSelectBorderColor(const MenuColor &color) { m_colors.selectBorderColor = color; }
    MenuColor selectFontColor() const { return m_colors.selectFontColor; }
    void setSelectFontColor(const MenuColor &color) { m_colors.selectFontColor = color; }
    MenuColor disabledColor() const { return m_colors.disabledColor; }
    void setDisabledColor(const MenuColor &color) { m_colors.disabledColor = color; }
    MenuColor separatorColor() const { return m_colors.separatorColor; }
    void setSeparatorColor(const MenuColor &color) { m_colors.separatorColor = color; }
    MenuColor checkedColor() const { return m_colors.checkedColor; }
    void setCheckedColor(const MenuColor &color) { m_colors.checkedColor = color; }

    int iconWidth() const { return m_iconWidth; }
    void setIconWidth(int width) { m_iconWidth = width; }
    bool drawSelect() const { return m_drawSelect; }
    void setDrawSelect(bool on) { m_drawSelect = on; }
    bool useSystemColors() const { return m_colors.useSystemColors; }
    void setUseSystemColors(bool on);
    bool overrideOwnerDraw() const { return m_overrideOwnerDraw; }
    void setOverrideOwnerDraw(bool on);
    // Stored only: the look has no gradient or flat-border variant.
    bool gradient() const { return m_gradient; }
    void setGradient(bool on) { m_gradient = on; }
    bool flatMenu() const { return m_flatMenu; }
    void setFlatMenu(bool on) { m_flatMenu = on; }
    // Takes over menus and menu bars that the owner gets later.
    bool autoDetect() const { return m_autoDetect; }
    void setAutoDetect(bool on) { m_autoDetect = on; }
    bool isActive() const { return m_active; }
    void setActive(bool on);

    // The menus' image list. An action's icon is its own picture unless it shows a list image.
    void setImages(const MenuImageList &images);
    const MenuImageList &images() const { return m_images; }
    // Replaces the way an action's image index is found (null: the default above).
    void setImageIndexOf(MenuImageIndexOf imageIndexOf)
    {
        m_imageIndexOf = std::move(imageIndexOf);
    }
    int imageIndexOf(const QAction *action) const;

    // The style the component sets on the menus.
    QStyle *style() const;
    // Whether the widget is drawn by the component now.
    bool isTakenOver(const QWidget *widget) const;

    // Used by the style for each measured or drawn item.
    QFont currentFont();
    MenuLook lookFor(int surfaceDepth);
    // Takes over the menus opened from this one's items, at every depth, when not yet taken.
    void takeOverSubMenus(const QWidget *menu);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Taken
    {
        QPointer<QWidget> widget;
        QPointer<QStyle> previous; // null: the application's style
    };

    void activate();
    void takeOver();
    void takeOverTree(QWidget *widget, QSet<const QWidget *> &visited);
    void takeOverWidget(QWidget *widget);
    void release();
    void scheduleTakeOver();
    void resetToSystemFont();
    void relayoutMenuBars() const;

    QPointer<QWidget> m_owner;
    std::unique_ptr<MenuItemStyle> m_style;
    std::vector<Taken> m_taken;
    MenuImageList m_images;
    QList<qint64> m_imageKeys; // the images' cache keys, to recognise an action's icon
    MenuImageIndexOf m_imageIndexOf;

    QFont m_font;
    MenuColor m_fontColor = SystemColor::MenuText;
    MenuColorSettings m_colors;
    int m_iconWidth = 24;
    bool m_drawSelect = true;
    bool m_overrideOwnerDraw = false;
    bool m_gradient = false;
    bool m_flatMenu = false;
    bool m_autoDetect = false;
    bool m_active = false;
    bool m_takeOverPending = false;
};

// The settings of the main window's MenuStyle1: "Tahoma" 8 pt in the menu text colour, the
// desktop colours, a 24-pixel icon column, the highlight drawn; Active is switched on last.
void applyMainWindowMenuSettings(TMenuStyle &style);
