#pragma once

#include <QGraphicsItem>
#include <QStringList>

QT_FORWARD_DECLARE_CLASS(QChart)
QT_FORWARD_DECLARE_CLASS(QPieSeries)

// What Qt Charts' pie leaves out, drawn as items of the chart itself so that a print of the
// chart carries them: the depth of a pie seen from a little above (a darker rim below the
// slices), and the slices' marks, set beside the pie and moved apart so that they never
// overlap, each joined to its slice by a line.
class PieDecoration
{
public:
    // The items become children of the chart; the series must be the chart's.
    PieDecoration(QChart &chart, QPieSeries &series);

    // One text per slice, in slice order.
    void setMarks(const QStringList &marks);
    QStringList marks() const;
    // Follows the pie after its slices or the chart's layout changed.
    void update();

    // The depth of the rim as a share of the radius.
    static constexpr qreal DepthShare = 0.2;

    // Where the marks stand, in chart coordinates, in slice order (for tests).
    QList<QRectF> markRects() const;

private:
    class Depth;
    class Marks;

    // Owned by the chart.
    Depth *m_depth;
    Marks *m_linesItem;
    Marks *m_marksItem;
};
