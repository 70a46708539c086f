#include "ui/MenuStyle.h"

#include "ui/MenuItemStyle.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QMenu>
#include <QMenuBar>
#include <QSet>
#include <QStyle>
#include <QStyleFactory>
#include <QVariant>
#include <stdexcept>

using namespace Qt::StringLiterals;

namespace {

constexpr char imageIndexProperty[] = "menuImageIndex";

// The desktop's menu font, with the old bitmap face replaced by its scalable successor.
QFont systemMenuFont()
{
    QFont font = QApplication::font("QMenu");
    if (font.family() == u"MS Sans Serif"_s)
        font.setFamily(u"Tahoma"_s);
    return font;
}

bool isMenuWidget(const QObject *object)
{
    return qobject_cast<const QMenuBar *>(object) || qobject_cast<const QMenu *>(object);
}

QList<QMenu *> subMenus(const QWidget *widget)
{
    QList<QMenu *> menus;
    for (const QAction *action : widget->actions())
        if (QMenu *menu = action->menu())
            menus.append(menu);
    return menus;
}

// Makes the widget measure its items anew and repaint.
void refresh(QWidget *widget)
{
    QEvent styleChange(QEvent::StyleChange);
    QCoreApplication::sendEvent(widget, &styleChange);
    widget->updateGeometry();
    widget->update();
}

} // namespace

void setMenuImageIndex(QAction *action, int index)
{
    action->setProperty(imageIndexProperty, index);
}

TMenuStyle::TMenuStyle(QWidget *owner) : QObject(owner), m_owner(owner), m_font(systemMenuFont())
{
    if (!owner)
        throw std::invalid_argument("Владельцем стиля меню должно быть окно");
    // A base of the application's own kind, so that released menus look as they did.
    m_style =
        std::make_unique<MenuItemStyle>(this, QStyleFactory::create(QApplication::style()->name()));
    owner->installEventFilter(this);
}

TMenuStyle::~TMenuStyle()
{
    release();
}

void TMenuStyle::setFont(const QFont &font)
{
    m_font = font;
    relayoutMenuBars();
}

void TMenuStyle::setMenuBarColor(const MenuColor &color)
{
    m_colors.menuBarColor = color;
    for (QMenuBar *bar : m_owner->findChildren<QMenuBar *>(Qt::FindDirectChildrenOnly))
        bar->update();
}

void TMenuStyle::setUseSystemColors(bool on)
{
    m_colors.useSystemColors = on;
    relayoutMenuBars();
}

void TMenuStyle::setOverrideOwnerDraw(bool on)
{
    m_overrideOwnerDraw = on;
    if (m_active)
        activate();
}

void TMenuStyle::setActive(bool on)
{
    m_active = on;
    if (on)
        activate();
    else
        release();
    relayoutMenuBars();
}

void TMenuStyle::setImages(const MenuImageList &images)
{
    m_images = images;
    m_imageKeys.clear();
    for (const QIcon &image : images.images)
        m_imageKeys.append(image.cacheKey());
}

int TMenuStyle::imageIndexOf(const QAction *action) const
{
    if (m_imageIndexOf)
        return m_imageIndexOf(action);
    const QVariant index = action->property(imageIndexProperty);
    if (index.isValid())
        return index.toInt();
    return action->icon().isNull()
               ? -1
               : static_cast<int>(m_imageKeys.indexOf(action->icon().cacheKey()));
}

QStyle *TMenuStyle::style() const
{
    return m_style.get();
}

bool TMenuStyle::isTakenOver(const QWidget *widget) const
{
    return std::any_of(m_taken.begin(), m_taken.end(),
                       [widget](const Taken &taken) { return taken.widget == widget; });
}

QFont TMenuStyle::currentFont()
{
    // Measuring uses the font that drawing will use; otherwise a desktop menu font larger than
    // the one set here would overflow the items measured before the first drawing.
    if (m_colors.useSystemColors)
        resetToSystemFont();
    return m_font;
}

MenuLook TMenuStyle::lookFor(int surfaceDepth)
{
    const QPalette palette = QApplication::palette();
    MenuLook look;
    look.font = currentFont();
    look.fontColor = m_fontColor.resolved(palette);
    look.colors = effectiveColors(m_colors, look.fontColor, palette, surfaceDepth);
    look.iconWidth = m_iconWidth;
    look.drawSelect = m_drawSelect;
    return look;
}

void TMenuStyle::takeOverSubMenus(const QWidget *menu)
{
    QSet<const QWidget *> visited{menu};
    for (QMenu *subMenu : subMenus(menu))
        takeOverTree(subMenu, visited);
}

bool TMenuStyle::eventFilter(QObject *watched, QEvent *event)
{
    if (m_active && m_autoDetect &&
        (event->type() == QEvent::ActionAdded ||
         (watched == m_owner && event->type() == QEvent::ChildAdded)))
        scheduleTakeOver();
    return QObject::eventFilter(watched, event);
}

void TMenuStyle::activate()
{
    release();
    takeOver();
}

void TMenuStyle::takeOver()
{
    if (!m_active || !m_owner)
        return;
    std::erase_if(m_taken, [](const Taken &taken) { return taken.widget.isNull(); });
    QSet<const QWidget *> visited;
    for (QObject *child : m_owner->children())
        if (isMenuWidget(child))
            takeOverTree(qobject_cast<QWidget *>(child), visited);
}

void TMenuStyle::takeOverTree(QWidget *widget, QSet<const QWidget *> &visited)
{
    if (visited.contains(widget))
        return;
    visited.insert(widget);
    takeOverWidget(widget);
    for (QMenu *subMenu : subMenus(widget))
        takeOverTree(subMenu, visited);
}

void TMenuStyle::takeOverWidget(QWidget *widget)
{
    if (isTakenOver(widget))
        return;
    // A style set by the program is the menu's own drawing, kept unless overridden.
    const bool ownStyle = widget->testAttribute(Qt::WA_SetStyle);
    if (ownStyle && !m_overrideOwnerDraw)
        return;
    m_taken.push_back({widget, ownStyle ? widget->style() : nullptr});
    widget->installEventFilter(this);
    widget->setStyle(m_style.get());
}

void TMenuStyle::release()
{
    for (const Taken &taken : m_taken) {
        if (!taken.widget)
            continue;
        taken.widget->removeEventFilter(this);
        if (taken.widget->style() == m_style.get())
            taken.widget->setStyle(taken.previous); // null gives back the application's style
    }
    m_taken.clear();
}

void TMenuStyle::scheduleTakeOver()
{
    // A child is announced before it is fully built, and many arrive together: take over once,
    // from the event loop.
    if (m_takeOverPending)
        return;
    m_takeOverPending = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_takeOverPending = false;
            takeOver();
        },
        Qt::QueuedConnection);
}

void TMenuStyle::resetToSystemFont()
{
    m_font = systemMenuFont();
    m_fontColor = SystemColor::MenuText;
}

void TMenuStyle::relayoutMenuBars() const
{
    if (!m_owner)
        return;
    for (QMenuBar *bar : m_owner->findChildren<QMenuBar *>(Qt::FindDirectChildrenOnly))
        refresh(bar);
    for (const Taken &taken : m_taken)
        if (taken.widget && !qobject_cast<QMenuBar *>(taken.widget))
            refresh(taken.widget);
}

void applyMainWindowMenuSettings(TMenuStyle &style)
{
    QFont tahoma(u"Tahoma"_s);
    tahoma.setPointSize(8);
    style.setFont(tahoma);
    style.setFontColor(SystemColor::MenuText);
    style.setColor(SystemColor::BtnFace);
    style.setIconBackColor(SystemColor::BtnFace);
    style.setMenuBarColor(SystemColor::BtnFace);
    style.setSelectColor(SystemColor::Highlight);
    style.setSelectBorderColor(SystemColor::Highlight);
    style.setSelectFontColor(SystemColor::MenuText);
    style.setDisabledColor(SystemColor::InactiveCaption);
    style.setSeparatorColor(SystemColor::BtnFace);
    style.setCheckedColor(SystemColor::Highlight);
    style.setIconWidth(24);
    style.setDrawSelect(true);
    style.setUseSystemColors(true);
    style.setOverrideOwnerDraw(false);
    style.setGradient(false);
    style.setFlatMenu(false);
    style.setAutoDetect(false);
    style.setActive(true);
}
