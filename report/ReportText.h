#pragma once

#include "report/ReportFont.h"

#include <QFont>
#include <QFontMetricsF>
#include <QHash>

class QPainter;
class QPaintDevice;
class QRectF;

// Measures and draws texts in one font and alignment on one paint device, in that device's
// pixels. Measuring and drawing lay a text out the same way, so a line measured while the
// pages are laid out is exactly as tall as the line painted.
class ReportText
{
public:
    ReportText(const TReportFont &font, Qt::Alignment alignment, const QPaintDevice *device);

    qreal lineHeight() const { return m_metrics.height(); }
    qreal naturalWidth(const QString &text) const;
    // The height of the text wrapped into the width: at word boundaries where possible, inside
    // a word that is wider than the whole width, and at line breaks in the text.
    qreal wrappedHeight(const QString &text, qreal width) const;

    // On one line, cut at the rectangle's edges.
    void drawLine(QPainter &painter, const QRectF &rect, const QString &text) const;
    // Wrapped as wrappedHeight() measures it, from the rectangle's top.
    void drawWrapped(QPainter &painter, const QRectF &rect, const QString &text) const;

private:
    qreal advance(const QString &text) const;
    bool fitsOnOneLine(const QString &text, qreal width) const;
    void prepare(QPainter &painter) const;

    QFont m_font;
    QFontMetricsF m_metrics;
    QColor m_colour;
    Qt::Alignment m_alignment;
    const QPaintDevice *m_device;
    // Columns repeat their values (a grid filtered by discipline prints it on every line), and
    // every text is measured while laying out and again while painting.
    mutable QHash<QString, qreal> m_advances;
};
