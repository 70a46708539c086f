#include "report/ReportText.h"

#include <QPainter>
#include <QTextLayout>

namespace {

// Lays the text out in lines of the given width, wrapping inside a word only when the word
// alone is too wide; the layout is then ready to draw. Returns the height of the lines.
qreal layOutLines(QTextLayout &layout, Qt::Alignment alignment, qreal width)
{
    QTextOption option(alignment);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    qreal height = 0;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        line.setPosition(QPointF(0, height));
        height += line.height();
    }
    layout.endLayout();
    return height;
}

QString withLineSeparators(QString text)
{
    text.remove(QLatin1Char('\r'));
    text.replace(QLatin1Char('\n'), QChar::LineSeparator);
    return text;
}

} // namespace

ReportText::ReportText(const TReportFont &font, Qt::Alignment alignment, const QPaintDevice *device)
    : m_font(font.toQFont()), m_metrics(m_font, device), m_colour(font.colour),
      m_alignment(alignment & Qt::AlignHorizontal_Mask), m_device(device)
{}

qreal ReportText::advance(const QString &text) const
{
    constexpr qsizetype CacheLimit = 20000;
    if (const auto known = m_advances.constFind(text); known != m_advances.cend())
        return *known;
    if (m_advances.size() >= CacheLimit)
        m_advances.clear();
    return *m_advances.insert(text, m_metrics.horizontalAdvance(text));
}

qreal ReportText::naturalWidth(const QString &text) const
{
    return advance(text);
}

bool ReportText::fitsOnOneLine(const QString &text, qreal width) const
{
    return !text.contains(QLatin1Char('\n')) && advance(text) <= width;
}

qreal ReportText::wrappedHeight(const QString &text, qreal width) const
{
    if (fitsOnOneLine(text, width))
        return lineHeight();
    QTextLayout layout(withLineSeparators(text), m_font, m_device);
    return layOutLines(layout, m_alignment, width);
}

void ReportText::prepare(QPainter &painter) const
{
    painter.setFont(m_font);
    painter.setPen(m_colour);
}

void ReportText::drawLine(QPainter &painter, const QRectF &rect, const QString &text) const
{
    if (text.isEmpty())
        return;
    prepare(painter);
    const qreal width = advance(text);
    const bool tooWide = text.contains(QLatin1Char('\n')) || width > rect.width();
    qreal x = rect.left();
    if (m_alignment & Qt::AlignRight)
        x = rect.right() - width;
    else if (m_alignment & Qt::AlignHCenter)
        x = rect.left() + (rect.width() - width) / 2;
    if (painter.device()->logicalDpiY() != m_device->logicalDpiY()) {
        // A painter resolves its font for its own device: on another one (the preview's
        // screen) the text is laid out for this device and drawn scaled, as it will print,
        // cut at the rectangle.
        QString line = text;
        line.replace(QLatin1Char('\n'), QLatin1Char(' ')).remove(QLatin1Char('\r'));
        QTextLayout layout(line, m_font, m_device);
        layOutLines(layout, Qt::AlignLeft, 1e6);
        painter.save();
        painter.setClipRect(rect, Qt::IntersectClip);
        layout.draw(&painter, QPointF(x, rect.top()));
        painter.restore();
        return;
    }
    if (tooWide) {
        // Let Qt cut it at the rectangle.
        painter.drawText(rect, int(m_alignment | Qt::AlignTop | Qt::TextSingleLine), text);
        return;
    }
    painter.drawText(QPointF(x, rect.top() + m_metrics.ascent()), text);
}

void ReportText::drawWrapped(QPainter &painter, const QRectF &rect, const QString &text) const
{
    if (fitsOnOneLine(text, rect.width())) {
        drawLine(painter, rect, text);
        return;
    }
    prepare(painter);
    QTextLayout layout(withLineSeparators(text), m_font, m_device);
    layOutLines(layout, m_alignment, rect.width());
    painter.save();
    painter.setClipRect(rect, Qt::IntersectClip);
    layout.draw(&painter, rect.topLeft());
    painter.restore();
}
