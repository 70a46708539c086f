#include "ui/MenuColors.h"

#include <algorithm>

namespace {

int channel(int value)
{
    return std::clamp(value, 0, 255);
}

int lightenedChannel(int x, int percent)
{
    return channel(x + roundHalfEven((255 - x) * percent, 100));
}

} // namespace

int roundHalfEven(int numerator, int denominator)
{
    int quotient = numerator / denominator;
    int remainder = numerator % denominator;
    if (remainder < 0) { // floor division, so that the remainder is never negative
        --quotient;
        remainder += denominator;
    }
    const int twice = 2 * remainder;
    if (twice > denominator || (twice == denominator && quotient % 2 != 0))
        ++quotient;
    return quotient;
}

QColor systemColor(SystemColor color, const QPalette &palette)
{
    switch (color) {
    case SystemColor::BtnFace:
        return palette.color(QPalette::Active, QPalette::Button);
    case SystemColor::Highlight:
        return palette.color(QPalette::Active, QPalette::Highlight);
    case SystemColor::Menu:
        // Qt has no menu role of its own; menus and menu bars paint with the window colour.
        return palette.color(QPalette::Active, QPalette::Window);
    case SystemColor::BtnShadow:
        return palette.color(QPalette::Active, QPalette::Dark);
    case SystemColor::MenuText:
        return palette.color(QPalette::Active, QPalette::WindowText);
    case SystemColor::InactiveCaption:
        // No caption colours either; the menu style uses this one for disabled text only.
        return palette.color(QPalette::Disabled, QPalette::WindowText);
    }
    return {};
}

QColor darkened(const QColor &color, int n)
{
    return QColor(channel(color.red() - n), channel(color.green() - n + 2),
                  channel(color.blue() - n));
}

QColor lightened(const QColor &color, int percent)
{
    const int p = std::min(percent, 100);
    return QColor(lightenedChannel(color.red(), p), lightenedChannel(color.green(), p),
                  lightenedChannel(color.blue(), p));
}

QColor greyed(const QColor &color, int offset)
{
    const int g = std::min(offset, 100) + (color.red() + color.green() + color.blue()) / 3;
    const int grey = std::clamp(g, 0, 240);
    return QColor(grey, grey, grey);
}

EffectiveColors effectiveColors(const MenuColorSettings &settings, const QColor &fontColor,
                                const QPalette &palette, int surfaceDepth)
{
    const QColor btnFace = systemColor(SystemColor::BtnFace, palette);
    const QColor highlight = systemColor(SystemColor::Highlight, palette);
    const QColor btnShadow = systemColor(SystemColor::BtnShadow, palette);
    const QColor white(255, 255, 255);

    EffectiveColors c;
    c.deep = surfaceDepth >= 16;
    if (settings.useSystemColors) {
        c.itemBackground = c.deep ? lightened(btnFace, 86) : white;
        c.iconColumn = c.deep ? lightened(btnFace, 16) : btnFace;
        c.highlightFill = c.deep ? lightened(highlight, 68) : white;
        c.highlightFrame = highlight;
        c.highlightText = fontColor;
        c.barBackground = c.deep ? systemColor(SystemColor::Menu, palette) : btnFace;
        c.disabledText = c.deep ? lightened(btnShadow, 10) : btnShadow;
        c.separator = c.deep ? lightened(btnShadow, 25) : btnShadow;
        c.checkFrame = highlight;
        c.checkFill = c.deep ? lightened(highlight, 75) : white;
        c.checkFillHighlighted = c.deep ? lightened(highlight, 50) : white;
    } else {
        const QColor select = settings.selectColor.resolved(palette);
        c.itemBackground = settings.color.resolved(palette);
        c.iconColumn = settings.iconBackColor.resolved(palette);
        c.highlightFill = select;
        c.highlightFrame = settings.selectBorderColor.resolved(palette);
        c.highlightText = settings.selectFontColor.resolved(palette);
        c.barBackground = settings.menuBarColor.resolved(palette);
        c.disabledText = settings.disabledColor.resolved(palette);
        c.separator = settings.separatorColor.resolved(palette);
        c.checkFrame = settings.checkedColor.resolved(palette);
        c.checkFill = c.deep ? lightened(select, 75) : white;
        c.checkFillHighlighted = c.deep ? lightened(select, 50) : QColor(192, 192, 192);
    }
    // The menu bar's frame and shadow do not depend on the colour properties.
    c.barFrame = c.deep ? darkened(btnFace, 90) : btnShadow;
    c.barShadow = c.deep ? darkened(btnFace, 76) : btnShadow;
    return c;
}
