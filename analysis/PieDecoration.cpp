#include "analysis/PieDecoration.h"

#include <QChart>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QGraphicsSceneHoverEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPieSeries>
#include <QPieSlice>
#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

// Above the plot area and its axes, below the series (Qt Charts stacks its own items from -1
// for the background to 4 for the series): the rim, then the lines to the marks, which thus
// pass behind slices rather than over them; the marks above everything.
constexpr qreal DepthZ = 3.5;
constexpr qreal LinesZ = 3.6;
constexpr qreal MarksZ = 10;
// The line from a slice to its bend, and on to its mark, in pixels.
constexpr qreal ArmLength = 8;
constexpr qreal MarkGap = 2;
// Kept free between a mark and the chart's edge, and around a mark's text in its box.
constexpr qreal EdgeGap = 4;
constexpr qreal TextPadding = 6;
const QColor MarkBackground(255, 255, 0);

// A point on the circle, the angle in degrees from 12 o'clock, clockwise (as Qt's pie counts).
QPointF onCircle(const QPointF &centre, qreal radius, qreal degrees)
{
    const qreal radians = degrees * std::numbers::pi / 180.0;
    return centre + QPointF(radius * std::sin(radians), -radius * std::cos(radians));
}

struct SliceShape
{
    QPointF centre; // moved out for a pulled-out slice
    qreal radius;
    qreal start;
    qreal span;
    QColor colour;
};

// The slices as Qt Charts lays them out in the plot area.
QList<SliceShape> shapesOf(const QChart &chart, const QPieSeries &series)
{
    const QRectF area = chart.plotArea();
    const QPointF centre(area.left() + area.width() * series.horizontalPosition(),
                         area.top() + area.height() * series.verticalPosition());
    const qreal radius = series.pieSize() * std::min(area.width(), area.height()) / 2.0;
    QList<SliceShape> shapes;
    const QList<QPieSlice *> slices = series.slices();
    for (const QPieSlice *slice : slices) {
        const qreal middle = slice->startAngle() + slice->angleSpan() / 2;
        const QPointF moved =
            slice->isExploded() ? onCircle(centre, slice->explodeDistanceFactor() * radius, middle)
                                : centre;
        shapes.append(
            {moved, radius, slice->startAngle(), slice->angleSpan(), slice->brush().color()});
    }
    return shapes;
}

// The chart's font in pixels of the scene, so that a print (which renders the scene scaled)
// draws it as large as the screen does rather than in points of the printer.
QFont markFont(const QChart &chart)
{
    QFont font = chart.font();
    if (font.pixelSize() <= 0)
        font.setPixelSize(std::max(1, QFontInfo(font).pixelSize()));
    return font;
}

// Which side of the pie a slice's mark stands on.
bool marksToTheRight(const QPieSlice &slice)
{
    return std::fmod(slice.startAngle() + slice.angleSpan() / 2, 360.0) < 180.0;
}

// The mark with its name shortened so that its box is at most `width` wide.
QString shortened(const PieMark &mark, const QFontMetricsF &metrics, qreal width)
{
    if (metrics.horizontalAdvance(mark.text()) + TextPadding <= width || mark.name.isEmpty())
        return mark.text();
    const QString detail = QStringLiteral(": ") + mark.detail;
    const qreal forName = width - TextPadding - metrics.horizontalAdvance(detail);
    return metrics.elidedText(mark.name, Qt::ElideRight, std::max<qreal>(forName, 0)) + detail;
}

} // namespace

QString PieMark::text() const
{
    return name.isEmpty() ? detail : QStringLiteral("%1: %2").arg(name, detail);
}

// The rim: for every slice, the part of its edge on the lower half of the pie, drawn again
// lower by the depth and joined to it.
class PieDecoration::Depth final : public QGraphicsItem
{
public:
    Depth(QChart &chart, QPieSeries &series)
        : QGraphicsItem(&chart), m_chart(chart), m_series(series)
    {
        setZValue(DepthZ);
    }

    void follow()
    {
        prepareGeometryChange();
        update();
    }

    QRectF boundingRect() const override { return m_chart.rect(); }

    void paint(QPainter *painter, const QStyleOptionGraphicsItem *, QWidget *) override
    {
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        for (const SliceShape &shape : shapesOf(m_chart, m_series)) {
            const qreal from = std::max(shape.start, 90.0);
            const qreal to = std::min(shape.start + shape.span, 270.0);
            if (from >= to)
                continue;
            const QPointF down(0, DepthShare * shape.radius);
            const int steps = std::max(2, int(std::ceil((to - from) / 2.0)));
            QPolygonF rim;
            for (int i = 0; i <= steps; ++i)
                rim.append(onCircle(shape.centre, shape.radius, from + (to - from) * i / steps));
            for (int i = steps; i >= 0; --i)
                rim.append(onCircle(shape.centre, shape.radius, from + (to - from) * i / steps) +
                           down);
            painter->setPen(QPen(shape.colour.darker(180), 0.8));
            painter->setBrush(shape.colour.darker(150));
            painter->drawPolygon(rim);
        }
        painter->restore();
    }

private:
    QChart &m_chart;
    QPieSeries &m_series;
};

// The marks: in a column on each side of the pie, in the order of their slices from top to
// bottom, moved apart where they would overlap.
class PieDecoration::Marks final : public QGraphicsItem
{
public:
    struct Placed
    {
        QPointF edge; // where the line leaves the slice
        QPointF bend; // the end of the arm
        QRectF box;   // the mark
        QString text;
    };

    enum class Part
    {
        Lines,
        Boxes
    };

    Marks(QChart &chart, QPieSeries &series, Part part)
        : QGraphicsItem(&chart), m_chart(chart), m_series(series), m_part(part)
    {
        setZValue(part == Part::Lines ? LinesZ : MarksZ);
        // A shortened mark shows its whole text as a tooltip.
        setAcceptHoverEvents(part == Part::Boxes);
    }

    void follow()
    {
        prepareGeometryChange();
        update();
    }
    QList<PieMark> marks() const { return m_marks; }
    void setMarks(const QList<PieMark> &marks)
    {
        m_marks = marks;
        m_texts.clear();
        for (const PieMark &mark : marks)
            m_texts.append(mark.text());
    }
    QStringList texts() const { return m_texts; }
    // The texts as drawn, in slice order.
    void setTexts(const QStringList &texts) { m_texts = texts; }

    QRectF boundingRect() const override { return m_chart.rect(); }

    QList<Placed> placed() const
    {
        const QList<SliceShape> shapes = shapesOf(m_chart, m_series);
        const QFontMetricsF metrics(markFont(m_chart));
        const qreal height = metrics.height() + 2;
        QList<Placed> marks;
        QList<int> left, right;
        for (int i = 0; i < shapes.size() && i < m_texts.size(); ++i) {
            const SliceShape &shape = shapes.at(i);
            const qreal middle = shape.start + shape.span / 2;
            Placed mark;
            mark.text = m_texts.at(i);
            mark.edge = onCircle(shape.centre, shape.radius, middle);
            mark.bend = onCircle(shape.centre, shape.radius + ArmLength, middle);
            // Marks below the pie's middle clear the rim.
            if (std::cos(middle * std::numbers::pi / 180.0) < 0)
                mark.bend.ry() += DepthShare * shape.radius;
            const qreal width = metrics.horizontalAdvance(mark.text) + TextPadding;
            mark.box = QRectF(0, mark.bend.y() - height / 2, width, height);
            (marksToTheRight(*m_series.slices().at(i)) ? right : left).append(int(marks.size()));
            marks.append(mark);
        }
        if (shapes.isEmpty())
            return marks;
        const qreal radius = shapes.constFirst().radius;
        const qreal centreX = m_chart.plotArea().center().x();
        const QRectF room = m_chart.rect().adjusted(0, m_chart.plotArea().top(), 0, 0);
        setColumn(marks, right, centreX + radius + 2 * ArmLength, false, room);
        setColumn(marks, left, centreX - radius - 2 * ArmLength, true, room);
        return marks;
    }

    void paint(QPainter *painter, const QStyleOptionGraphicsItem *, QWidget *) override
    {
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setFont(markFont(m_chart));
        for (const Placed &mark : placed()) {
            if (m_part == Part::Lines) {
                const QPointF joint(mark.box.center().x() < mark.bend.x() ? mark.box.right()
                                                                          : mark.box.left(),
                                    mark.box.center().y());
                painter->setPen(QPen(Qt::black, 0.8));
                painter->drawPolyline(QPolygonF{mark.edge, mark.bend, joint});
                continue;
            }
            painter->setPen(QPen(QColor(128, 128, 128), 0.6));
            painter->setBrush(MarkBackground);
            painter->drawRect(mark.box);
            painter->setPen(Qt::black);
            painter->drawText(mark.box, Qt::AlignCenter, mark.text);
        }
        painter->restore();
    }

protected:
    void hoverMoveEvent(QGraphicsSceneHoverEvent *event) override
    {
        QString whole;
        const QList<Placed> marks = placed();
        for (qsizetype i = 0; i < marks.size() && i < m_marks.size(); ++i) {
            if (marks.at(i).box.contains(event->pos()) && marks.at(i).text != m_marks.at(i).text())
                whole = m_marks.at(i).text();
        }
        setToolTip(whole);
    }

private:
    // Puts the marks of one side in a column that starts at x (ends there, for the left),
    // each as near its slice as the others let it, none overlapping, within the room.
    static void setColumn(QList<Placed> &marks, QList<int> side, qreal x, bool toTheLeft,
                          const QRectF &room)
    {
        std::sort(side.begin(), side.end(), [&marks](int a, int b) {
            return marks.at(a).box.center().y() < marks.at(b).box.center().y();
        });
        qreal bottom = room.top() - MarkGap;
        for (const int index : side) {
            QRectF &box = marks[index].box;
            box.moveTop(std::max(box.top(), bottom + MarkGap));
            bottom = box.bottom();
        }
        // Marks pushed past the foot of the room move up together, as far as they must.
        qreal top = room.bottom();
        for (auto it = side.rbegin(); it != side.rend(); ++it) {
            QRectF &box = marks[*it].box;
            box.moveBottom(std::min(box.bottom(), top - MarkGap));
            top = box.top();
        }
        for (const int index : side) {
            QRectF &box = marks[index].box;
            if (toTheLeft)
                box.moveRight(x);
            else
                box.moveLeft(x);
        }
    }

    QChart &m_chart;
    QPieSeries &m_series;
    Part m_part;
    QList<PieMark> m_marks;
    QStringList m_texts;
};

PieDecoration::PieDecoration(QChart &chart, QPieSeries &series)
    : m_chart(chart), m_series(series), m_depth(new Depth(chart, series)),
      m_linesItem(new Marks(chart, series, Marks::Part::Lines)),
      m_marksItem(new Marks(chart, series, Marks::Part::Boxes))
{}

void PieDecoration::setMarks(const QList<PieMark> &marks)
{
    m_linesItem->setMarks(marks);
    m_marksItem->setMarks(marks);
    update();
}

QStringList PieDecoration::marks() const
{
    QStringList texts;
    for (const PieMark &mark : m_marksItem->marks())
        texts.append(mark.text());
    return texts;
}

QStringList PieDecoration::shownMarks() const
{
    return m_marksItem->texts();
}

void PieDecoration::fitPie()
{
    const QRectF area = m_chart.plotArea();
    const qreal side = std::min(area.width(), area.height());
    if (side <= 0)
        return;
    const QList<PieMark> marks = m_marksItem->marks();
    const QList<QPieSlice *> slices = m_series.slices();
    const QFontMetricsF metrics(markFont(m_chart));
    // The widest mark on each side sets how far from the centre the pie may reach.
    qreal widestLeft = 0;
    qreal widestRight = 0;
    for (qsizetype i = 0; i < marks.size() && i < slices.size(); ++i) {
        const qreal width = metrics.horizontalAdvance(marks.at(i).text()) + TextPadding;
        qreal &widest = marksToTheRight(*slices.at(i)) ? widestRight : widestLeft;
        widest = std::max(widest, width);
    }
    const QRectF room = m_chart.rect().adjusted(EdgeGap, 0, -EdgeGap, 0);
    const qreal centreX = area.left() + area.width() * m_series.horizontalPosition();
    const qreal leftReach = centreX - room.left() - 2 * ArmLength;
    const qreal rightReach = room.right() - centreX - 2 * ArmLength;
    qreal radius =
        std::min({LargestPie * side / 2, leftReach - widestLeft, rightReach - widestRight});
    QStringList shown;
    for (const PieMark &mark : marks)
        shown.append(mark.text());
    if (radius < SmallestPie * side / 2) {
        radius = SmallestPie * side / 2;
        for (qsizetype i = 0; i < marks.size() && i < slices.size(); ++i) {
            const qreal reach = marksToTheRight(*slices.at(i)) ? rightReach : leftReach;
            shown[i] = shortened(marks.at(i), metrics, reach - radius);
        }
    }
    m_series.setPieSize(2 * radius / side);
    m_linesItem->setTexts(shown);
    m_marksItem->setTexts(shown);
}

void PieDecoration::update()
{
    fitPie();
    m_depth->follow();
    m_linesItem->follow();
    m_marksItem->follow();
}

QList<QRectF> PieDecoration::markRects() const
{
    QList<QRectF> rects;
    for (const Marks::Placed &mark : m_marksItem->placed())
        rects.append(mark.box);
    return rects;
}
