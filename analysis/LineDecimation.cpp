#include "analysis/LineDecimation.h"

#include <algorithm>
#include <array>

QList<QPointF> decimatedLine(const QList<QPointF> &points, double left, double right, int columns)
{
    if (columns <= 0 || points.size() <= 4 * qsizetype(columns) || !(right > left))
        return points;
    const auto before = [](const QPointF &point, double x) { return point.x() < x; };
    const auto after = [](double x, const QPointF &point) { return x < point.x(); };
    const auto begin = std::lower_bound(points.cbegin(), points.cend(), left, before);
    const auto end = std::upper_bound(begin, points.cend(), right, after);
    const double columnWidth = (right - left) / columns;
    const auto columnOf = [&](const QPointF &point) {
        return std::min(columns - 1, int((point.x() - left) / columnWidth));
    };

    QList<QPointF> kept;
    kept.reserve(4 * columns + 2);
    if (begin != points.cbegin())
        kept.append(*(begin - 1));
    for (auto it = begin; it != end;) {
        const int column = columnOf(*it);
        std::array<QList<QPointF>::const_iterator, 4> picks{it, it, it,
                                                            it}; // first, low, high, last
        for (++it; it != end && columnOf(*it) == column; ++it) {
            if (it->y() < picks[1]->y())
                picks[1] = it;
            if (it->y() > picks[2]->y())
                picks[2] = it;
            picks[3] = it;
        }
        std::sort(picks.begin(), picks.end());
        const auto unique = std::unique(picks.begin(), picks.end());
        for (auto pick = picks.begin(); pick != unique; ++pick)
            kept.append(**pick);
    }
    if (end != points.cend())
        kept.append(*end);
    return kept;
}
