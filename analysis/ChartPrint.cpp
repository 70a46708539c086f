#include "analysis/ChartPrint.h"

#include "ui/Printer.h"

#include <QChart>
#include <QFontMetricsF>
#include <QGraphicsLayout>
#include <QGraphicsScene>
#include <QPainter>
#include <QPrinter>
#include <QScopeGuard>

#include <stdexcept>

using namespace Qt::StringLiterals;

namespace {

constexpr double marginShare = 0.15;

// Where the chart goes on a page of the given size (the printable area, in device pixels).
QRect chartRect(const QSize &page, const QSizeF &chartSize, ChartPageFit fit)
{
    const int marginX = qRound(page.width() * marginShare);
    const int marginY = qRound(page.height() * marginShare);
    const QRect within(marginX, marginY, page.width() - 2 * marginX, page.height() - 2 * marginY);
    if (fit == ChartPageFit::Stretch || chartSize.isEmpty())
        return within;

    // The full width between the side margins; the height follows and the chart is centred
    // vertically. A chart too tall for that is fitted to the height instead.
    int width = within.width();
    int height = qRound(width * chartSize.height() / chartSize.width());
    if (height > within.height()) {
        height = within.height();
        width = qRound(height * chartSize.width() / chartSize.height());
    }
    return QRect((page.width() - width) / 2, (page.height() - height) / 2, width, height);
}

// The legend in the margin under the chart, one entry a line, in the printer's own points.
void paintLegend(QPainter &painter, const QRect &chart, const QList<ChartLegendEntry> &legend,
                 qreal pixelsPerMm)
{
    if (legend.isEmpty())
        return;
    painter.save();
    QFont font = painter.font();
    font.setPointSize(10);
    painter.setFont(font);
    const QFontMetricsF metrics(font, painter.device());
    const qreal stroke = 12 * pixelsPerMm;
    qreal top = chart.bottom() + 4 * pixelsPerMm;
    for (const ChartLegendEntry &entry : legend) {
        const qreal middle = top + metrics.height() / 2;
        qreal left = chart.left();
        if (entry.colour.isValid()) {
            painter.setPen(QPen(entry.colour, 0.8 * pixelsPerMm, Qt::SolidLine, Qt::FlatCap));
            painter.drawLine(QPointF(left, middle), QPointF(left + stroke, middle));
            left += stroke + 3 * pixelsPerMm;
        }
        painter.setPen(Qt::black);
        // A long entry wraps rather than losing the end of its names.
        const QRectF room(left, top, chart.right() - left, 10 * metrics.height());
        QRectF used;
        painter.drawText(room, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, entry.text, &used);
        top += used.height() + 0.4 * metrics.height();
    }
    painter.restore();
}

} // namespace

QString chartDocumentName()
{
    return u"Chart1"_s;
}

QString printChart(QChart &chart, PrintJob &job, ChartPageFit fit,
                   const QList<ChartLegendEntry> &legend)
{
    // The chart is printed as its view lays it out on screen.
    QGraphicsScene *scene = chart.scene();
    if (!scene)
        throw std::logic_error("printChart: the chart is shown in no view");

    // Paper is white: the chart's panel, grey like the window around it, is left off.
    const bool background = chart.isBackgroundVisible();
    chart.setBackgroundVisible(false);
    const auto restore = qScopeGuard([&] { chart.setBackgroundVisible(background); });

    // Axes and ticks as the chart's latest data put them, even before the screen caught up.
    if (chart.layout())
        chart.layout()->activate();

    QPainter &painter = job.begin();
    const QPrinter &printer = job.printer();
    const QRectF source = chart.mapRectToScene(QRectF(QPointF(0.0, 0.0), chart.size()));
    const QRect target = chartRect(QSize(printer.width(), printer.height()), source.size(), fit);
    scene->render(&painter, QRectF(target), source, Qt::IgnoreAspectRatio);
    paintLegend(painter, target, legend, printer.resolution() / 25.4);
    return job.finish();
}
