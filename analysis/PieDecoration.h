#pragma once

#include <QGraphicsItem>
#include <QStringList>

QT_FORWARD_DECLARE_CLASS(QChart)
QT_FORWARD_DECLARE_CLASS(QPieSeries)

// The mark of one slice: a name that may be shortened where room is short, and a detail (the
// value and the share) that never is.
struct PieMark
{
    QString name;
    QString detail;

    // "name: detail", or the detail alone for a slice without a name.
    QString text() const;
};

// What Qt Charts' pie leaves out, drawn as items of the chart itself so that a print of the
// chart carries them: the depth of a pie seen from a little above (a darker rim below the
// slices), and the slices' marks, set beside the pie and moved apart so that they never
// overlap, each joined to its slice by a line. The pie is made as small as the marks need to
// stay whole within the chart; where even the smallest pie leaves too little room, the names
// are shortened with "…" and shown whole in the mark's tooltip.
class PieDecoration
{
public:
    // The items become children of the chart; the series must be the chart's.
    PieDecoration(QChart &chart, QPieSeries &series);

    // One mark per slice, in slice order.
    void setMarks(const QList<PieMark> &marks);
    // The whole texts of the marks, in slice order.
    QStringList marks() const;
    // The texts as drawn, shortened where room is short.
    QStringList shownMarks() const;
    // Sizes the pie for the marks, and follows it after its slices or the chart's layout
    // changed.
    void update();

    // The largest share of the plot area's smaller side that the pie takes, and the smallest,
    // below which names are shortened instead.
    static constexpr qreal LargestPie = 0.6;
    static constexpr qreal SmallestPie = 0.3;

    // The depth of the rim as a share of the radius.
    static constexpr qreal DepthShare = 0.2;

    // Where the marks stand, in chart coordinates, in slice order (for tests).
    QList<QRectF> markRects() const;

private:
    class Depth;
    class Marks;
    void fitPie();

    QChart &m_chart;
    QPieSeries &m_series;
    // Owned by the chart.
    Depth *m_depth;
    Marks *m_linesItem;
    Marks *m_marksItem;
};
