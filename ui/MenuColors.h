#pragma once

#include <QColor>
#include <QPalette>

// The desktop colours that the menu style derives its look from.
enum class SystemColor
{
    BtnFace,
    Highlight,
    Menu,
    BtnShadow,
    MenuText,
    InactiveCaption,
};

// The one place where a desktop colour is taken from the palette.
QColor systemColor(SystemColor color, const QPalette &palette);

// A colour property of the menu style: either a fixed colour or a desktop colour that is
// looked up each time it is used, so that a change of the desktop colours shows at once.
class MenuColor
{
public:
    // Implicit, so that a property reads like the colour it is set to.
    MenuColor(SystemColor color) : m_system(color), m_isSystem(true) {}
    MenuColor(const QColor &color) : m_fixed(color) {}

    QColor resolved(const QPalette &palette) const
    {
        return m_isSystem ? systemColor(m_system, palette) : m_fixed;
    }
    bool isSystem() const { return m_isSystem; }

    friend bool operator==(const MenuColor &a, const MenuColor &b)
    {
        return a.m_isSystem == b.m_isSystem &&
               (a.m_isSystem ? a.m_system == b.m_system : a.m_fixed == b.m_fixed);
    }

private:
    QColor m_fixed;
    SystemColor m_system = SystemColor::BtnFace;
    bool m_isSystem = false;
};

// numerator / denominator (denominator > 0) rounded to the nearest integer, halves to even.
int roundHalfEven(int numerator, int denominator);

// Colour operations of the menu look. Channels are limited to 0..255.
// Red and blue less n, green less n - 2; a negative n lightens.
QColor darkened(const QColor &color, int n);
// Each channel moves percent (at most 100) of the way to 255, rounded half to even.
QColor lightened(const QColor &color, int percent);
// Grey of the channels' mean plus min(offset, 100), at most 240.
QColor greyed(const QColor &color, int offset);

// The colour properties of the menu style.
struct MenuColorSettings
{
    MenuColor color = SystemColor::BtnFace;
    MenuColor iconBackColor = SystemColor::BtnFace;
    MenuColor menuBarColor = SystemColor::BtnFace;
    MenuColor selectColor = SystemColor::Highlight;
    MenuColor selectBorderColor = SystemColor::Highlight;
    MenuColor selectFontColor = SystemColor::MenuText;
    MenuColor disabledColor = SystemColor::InactiveCaption;
    MenuColor separatorColor = SystemColor::BtnFace;
    MenuColor checkedColor = SystemColor::Highlight;
    bool useSystemColors = true;
};

// The colours one item is drawn with, worked out anew for every item.
struct EffectiveColors
{
    QColor itemBackground;
    QColor iconColumn;
    QColor highlightFill;
    QColor highlightFrame;
    QColor highlightText;
    QColor barBackground;
    QColor disabledText;
    QColor separator;
    QColor checkFrame;
    QColor checkFill;
    QColor checkFillHighlighted;
    QColor barFrame;
    QColor barShadow;
    bool deep = true; // the surface has 16 bits per pixel or more
};

// fontColor is the resolved colour of the style's font. The nearest colour that the surface
// can show is picked by the paint device itself when the colour is drawn.
EffectiveColors effectiveColors(const MenuColorSettings &settings, const QColor &fontColor,
                                const QPalette &palette, int surfaceDepth);
