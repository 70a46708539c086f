#include "ui/MenuItemPainter.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QPen>
#include <QRect>
#include <algorithm>
#include <cstdlib>
#include <initializer_list>

using namespace Qt::StringLiterals;

namespace {

// A rectangle given by its edges, right and bottom exclusive, the way the drawing steps
// measure it; QRect's inclusive right and bottom would put every step one pixel off.
struct Box
{
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int width() const { return right - left; }
    int height() const { return bottom - top; }
    bool isEmpty() const { return right <= left || bottom <= top; }
    QRect rect() const { return QRect(left, top, width(), height()); }
    bool contains(QPoint p) const
    {
        return p.x() >= left && p.x() < right && p.y() >= top && p.y() < bottom;
    }
};

void fill(QPainter &painter, const Box &box, const QColor &color)
{
    if (!box.isEmpty())
        painter.fillRect(box.rect(), color);
}

// A rectangle whose outermost pixels are the frame.
void framedBox(QPainter &painter, const Box &box, const QColor &frame, const QColor &inside)
{
    fill(painter, box, frame);
    fill(painter, {box.left + 1, box.top + 1, box.right - 1, box.bottom - 1}, inside);
}

// A one-pixel line from a towards b, b itself left out, as a pen moved from point to point.
// Drawn pixel by pixel so that the result does not depend on the rasteriser's line rules.
void segment(QPainter &painter, QPoint a, QPoint b, const QColor &color)
{
    const int dx = std::abs(b.x() - a.x());
    const int dy = -std::abs(b.y() - a.y());
    const int stepX = a.x() < b.x() ? 1 : -1;
    const int stepY = a.y() < b.y() ? 1 : -1;
    int error = dx + dy;
    QPoint p = a;
    while (p != b) {
        painter.fillRect(p.x(), p.y(), 1, 1, color);
        const int twice = 2 * error;
        if (twice >= dy) {
            error += dy;
            p.rx() += stepX;
        }
        if (twice <= dx) {
            error += dx;
            p.ry() += stepY;
        }
    }
}

void polyline(QPainter &painter, std::initializer_list<QPoint> points, const QColor &color)
{
    for (auto it = points.begin(); it != points.end() && it + 1 != points.end(); ++it)
        segment(painter, *it, *(it + 1), color);
}

// Replaces every pixel by recolor(pixel); a run of equal pixels (an icon's background) costs
// one computation.
template <typename Recolor> void recolorPixels(QImage &image, Recolor recolor)
{
    bool cached = false;
    QRgb lastSource = 0;
    QRgb lastResult = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb source = image.pixel(x, y);
            if (!cached || source != lastSource) {
                lastSource = source;
                lastResult = recolor(QColor(source)).rgb();
                cached = true;
            }
            image.setPixel(x, y, lastResult);
        }
    }
}

QRgb bottomLeftPixel(const QImage &image)
{
    return image.pixel(0, image.height() - 1);
}

// The picture on an opaque background of the icon column's colour, as an image list draws an
// image through its mask onto a bitmap filled with that colour.
QImage iconBitmap(const MenuItem &item, const QColor &background)
{
    const QSize size = menuIconSize(item);
    if (size.isEmpty())
        return {};
    QImage bitmap(size, QImage::Format_RGB32);
    bitmap.fill(background);
    const QPixmap &picture = item.hasListImage ? item.listImage : item.ownBitmap;
    if (!picture.isNull()) {
        QPainter painter(&bitmap);
        painter.drawPixmap(0, 0, picture);
    }
    return bitmap;
}

// The bitmap with every pixel of its bottom-left pixel's colour made transparent.
QImage withTransparentKey(const QImage &bitmap)
{
    const QRgb key = bottomLeftPixel(bitmap);
    QImage result = bitmap.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < result.height(); ++y)
        for (int x = 0; x < result.width(); ++x)
            if (bitmap.pixel(x, y) == key)
                result.setPixel(x, y, qRgba(0, 0, 0, 0));
    return result;
}

// Every pixel that differs from the bottom-left one in the given colour, the rest transparent.
QImage silhouette(const QImage &bitmap, const QColor &color)
{
    const QRgb key = bottomLeftPixel(bitmap);
    QImage result(bitmap.size(), QImage::Format_ARGB32);
    result.fill(Qt::transparent);
    for (int y = 0; y < result.height(); ++y)
        for (int x = 0; x < result.width(); ++x)
            if (bitmap.pixel(x, y) != key)
                result.setPixel(x, y, color.rgb());
    return result;
}

void drawOpenBarItem(QPainter &painter, const Box &r, const EffectiveColors &c, bool rightToLeft)
{
    const int left = r.left, top = r.top, right = r.right, bottom = r.bottom;
    fill(painter, r, c.iconColumn);
    if (!c.deep || rightToLeft) {
        polyline(painter, {{left, bottom - 1}, {left, top}, {right - 3, top}, {right - 3, bottom}},
                 c.barFrame);
        fill(painter, {right - 2, top + 2, right, bottom}, c.barShadow);
        return;
    }
    // A tab open at the bottom with a soft shadow along its right side, darkest next to it.
    polyline(painter, {{left, bottom - 1}, {left, top}, {right - 8, top}, {right - 8, bottom}},
             c.barFrame);
    const QColor bar = c.barBackground;
    fill(painter, {right - 7, top, right, bottom}, darkened(bar, 10));
    fill(painter, {right - 7, top + 3, right - 2, bottom}, darkened(bar, 30));
    fill(painter, {right - 7, top + 5, right - 3, bottom}, darkened(bar, 60));
    fill(painter, {right - 7, top + 6, right - 5, bottom}, darkened(bar, 100));
    polyline(painter, {{right - 5, top + 1}, {right - 1, top + 1}, {right - 1, top + 6}}, bar);
    polyline(
        painter,
        {{right - 3, top + 2}, {right - 2, top + 2}, {right - 2, top + 3}, {right - 3, top + 3}},
        bar);
    polyline(painter,
             {{right - 6, top + 3},
              {right - 3, top + 3},
              {right - 3, top + 6},
              {right - 4, top + 6},
              {right - 4, top + 3}},
             darkened(bar, 10));
    polyline(painter, {{right - 5, top + 5}, {right - 4, top + 5}, {right - 4, top + 9}},
             darkened(bar, 30));
    polyline(painter, {{right - 6, top + 5}, {right - 6, top + 7}}, darkened(bar, 40));
}

void drawCheckMark(QPainter &painter, const Box &m, const MenuItem &item, const EffectiveColors &c)
{
    const QColor inside = item.highlighted ? c.checkFillHighlighted : c.checkFill;
    if (item.radio) {
        painter.save();
        painter.setPen(QPen(c.highlightFrame, 0));
        painter.setBrush(inside);
        const QRect outline(m.left, m.top, m.width() - 1, m.height() - 1);
        if (item.hasListImage)
            painter.drawRoundedRect(outline, 3, 3);
        else
            painter.drawEllipse(outline);
        painter.restore();
        return;
    }
    if (item.hasListImage) {
        framedBox(painter, m, c.highlightFrame, inside);
        return;
    }
    framedBox(painter, m, c.checkFrame, inside);
    const QColor tick(Qt::black);
    segment(painter, {m.left + 1, m.top + 5}, {m.left + 4, m.bottom - 2}, tick);
    segment(painter, {m.left + 2, m.top + 5}, {m.left + 4, m.bottom - 3}, tick);
    segment(painter, {m.left + 2, m.top + 4}, {m.left + 5, m.bottom - 3}, tick);
    segment(painter, {m.left + 4, m.bottom - 3}, {m.right + 2, m.top - 1}, tick);
    segment(painter, {m.left + 4, m.bottom - 2}, {m.right - 2, m.top + 3}, tick);
}

void drawIcon(QPainter &painter, const Box &column, const MenuItem &item, const MenuLook &look)
{
    QImage bitmap = iconBitmap(item, look.colors.iconColumn);
    if (bitmap.isNull())
        return;
    const int width = bitmap.width();
    QPoint at(column.left + (width <= look.iconWidth ? (look.iconWidth - width) / 2 - 1 : 2),
              column.top + 4);
    const bool raised = item.highlighted && item.enabled && !item.checked;
    if (raised && !item.barItem)
        at -= QPoint(1, 1);

    if (!item.highlighted && item.enabled && !item.checked && look.colors.deep)
        recolorPixels(bitmap, [](const QColor &c) { return lightened(c, 30); });
    if (!item.enabled)
        recolorPixels(bitmap, [](const QColor &c) { return greyed(c, 90); });
    if (raised)
        painter.drawImage(at + QPoint(2, 2),
                          silhouette(bitmap, darkened(look.colors.highlightFill, 50)));
    painter.drawImage(at, withTransparentKey(bitmap));
}

QColor textColor(const MenuItem &item, const MenuLook &look)
{
    const EffectiveColors &c = look.colors;
    if (!item.enabled)
        return c.disabledText;
    if (!item.highlighted)
        return look.fontColor;
    if (!item.barItem)
        return c.highlightText;
    // The open bar item's text stands on the icon column's colour.
    const QColor column = c.iconColumn;
    const bool light = (column.red() + column.blue()) / 2 > 150 || column.green() > 200;
    return light ? look.fontColor : lightened(column, 90);
}

// A small right-pointing triangle near the right edge, where the cell has room beyond the text.
void drawSubMenuArrow(QPainter &painter, const Box &r, int cellHeight, const QColor &color)
{
    const int middle = r.top + cellHeight / 2;
    const int left = r.right - 9;
    for (int i = 0; i < 4; ++i)
        fill(painter, {left + i, middle - 3 + i, left + i + 1, middle + 4 - i}, color);
}

// Where the parts of one item go. cell is R, the item's rectangle with its bottom one pixel
// lower; column is I, the icon column; mark is M, the check mark's box; text is T.
struct Layout
{
    Box cell;
    Box column;
    Box mark;
    Box text;
    Box highlight;
    bool openBarItem = false;
    bool highlightBox = false;

    // The colour painted at p before the texts, which the default item's embossing reads.
    QColor surfaceAt(QPoint p, const MenuItem &item, const EffectiveColors &c) const
    {
        if (openBarItem)
            return c.iconColumn;
        if (item.barItem)
            return c.barBackground;
        if (highlightBox && highlight.contains(p)) {
            const bool onFrame = p.x() == highlight.left || p.x() == highlight.right - 1 ||
                                 p.y() == highlight.top || p.y() == highlight.bottom - 1;
            return onFrame ? c.highlightFrame : c.highlightFill;
        }
        return column.contains(p) ? c.iconColumn : c.itemBackground;
    }
};

Layout layoutOf(const QRect &rect, const MenuItem &item, const MenuLook &look)
{
    Layout l;
    l.cell = {rect.left(), rect.top(), rect.left() + rect.width(), rect.top() + rect.height() + 1};
    l.column = {l.cell.left, l.cell.top, l.cell.left + look.iconWidth, l.cell.bottom};
    if (item.hasListImage) {
        l.mark = {l.column.left + 1, l.column.top + 2, l.column.right - 3, l.column.bottom - 2};
    } else {
        const int left = l.column.left + (l.column.width() - 10) / 2;
        const int top = l.column.top + (l.column.height() - 10) / 2;
        l.mark = {left, top, left + 10, top + 10};
    }
    l.text = {l.cell.left + look.iconWidth, l.cell.top, l.cell.right, l.cell.bottom};
    if (item.ownBitmap.width() > look.iconWidth)
        l.text.left = l.cell.left + item.ownBitmap.width() + 4;
    if (item.barItem)
        l.text.left = item.hasListImage ? l.cell.left + look.iconWidth - 5 : l.cell.left;
    l.highlight = {l.cell.left, l.cell.top + 1, l.cell.right, l.cell.bottom - 1};
    l.openBarItem = item.barItem && item.highlighted && look.drawSelect;
    l.highlightBox = !item.barItem && item.highlighted && look.drawSelect;
    return l;
}

void drawTexts(QPainter &painter, const Layout &layout, const MenuItem &item, const MenuLook &look)
{
    Box text = layout.text;
    text.left += 5;
    const QFontMetrics metrics = painter.fontMetrics();
    text.top += (text.height() - metrics.height()) / 2;
    const QColor color = textColor(item, look);
    const int flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine | Qt::TextDontClip;
    const QString caption = u' ' + item.caption;

    if (item.isDefault && item.enabled) {
        struct Copy
        {
            int dx, dy, darken;
        };
        for (const Copy &copy : {Copy{1, 0, 30}, Copy{1, 2, 30}, Copy{0, 1, 40}, Copy{1, 1, 60}}) {
            const QPoint start(text.left + copy.dx, text.top + copy.dy);
            painter.setPen(darkened(layout.surfaceAt(start, item, look.colors), copy.darken));
            painter.drawText(text.rect().translated(copy.dx, copy.dy), flags | Qt::TextShowMnemonic,
                             caption);
        }
    }
    painter.setPen(color);
    painter.drawText(text.rect(), flags | Qt::TextShowMnemonic, caption);

    if (!item.shortcut.isEmpty()) {
        // Right-aligned with its trailing space, 10 pixels in from the right edge; placed by
        // hand because Qt's alignment would not count the trailing space.
        const QString shortcut = item.shortcut + u' ';
        const int width = metrics.horizontalAdvance(shortcut);
        painter.setPen(look.colors.deep ? darkened(color, -40) : color);
        painter.drawText(QRect(text.right - 10 - width, text.top, width, text.height()), flags,
                         shortcut);
    }
}

} // namespace

QSize menuIconSize(const MenuItem &item)
{
    if (item.hasListImage)
        return item.listImageSize;
    if (item.ownBitmap.width() > 0)
        return item.ownBitmap.size();
    return {0, 0};
}

QSize measureMenuItem(const MenuItem &item, const QFont &font, int iconWidth)
{
    const QFontMetrics metrics(font);
    QString text = item.separator ? QString() : item.caption;
    if (!item.shortcut.isEmpty())
        text += item.shortcut + u"WWW"_s; // the three letters stand for the gap before the shortcut
    QSize icon = menuIconSize(item);
    if (!item.barItem)
        icon.setWidth(std::max(icon.width(), iconWidth));

    int width = metrics.horizontalAdvance(text) + icon.width() + 10;
    if (text.contains(u'&'))
        width -= metrics.horizontalAdvance(u'&');
    if (item.separator)
        return {width, 4};
    const int h = metrics.height();
    return {width, std::max(h + roundHalfEven(3 * h, 4), icon.height() + 4)};
}

void drawMenuItem(QPainter &painter, const QRect &rect, const MenuItem &source,
                  const MenuLook &look)
{
    // A disabled item keeps its resting look under the mouse. Qt repaints the whole cell, so
    // "drawing nothing new" over it means drawing it exactly as when it is not highlighted.
    MenuItem item = source;
    if (!item.enabled)
        item.highlighted = false;
    const EffectiveColors &c = look.colors;
    const Layout layout = layoutOf(rect, item, look);

    painter.save();
    painter.setClipRect(rect, Qt::IntersectClip);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setBackgroundMode(Qt::TransparentMode);
    painter.setFont(look.font);

    if (item.barItem) {
        fill(painter, layout.cell, c.barBackground);
    } else {
        fill(painter, layout.cell, c.itemBackground);
        fill(painter, layout.column, c.iconColumn);
    }
    if (layout.openBarItem)
        drawOpenBarItem(painter, layout.cell, c, item.rightToLeft);
    else if (layout.highlightBox)
        framedBox(painter, layout.highlight, c.highlightFrame, c.highlightFill);
    if (item.checked)
        drawCheckMark(painter, layout.mark, item, c);
    drawIcon(painter, layout.column, item, look);

    if (item.separator) {
        const Box &text = layout.text;
        const int y = text.top + roundHalfEven(text.bottom - text.top, 2);
        segment(painter, {text.left + 7, y}, {text.right, y}, c.separator);
    } else {
        drawTexts(painter, layout, item, look);
        if (item.hasSubMenu && !item.barItem)
            drawSubMenuArrow(painter, layout.cell, rect.height(), textColor(item, look));
    }
    painter.restore();
}
