#pragma once

#include <QColor>
#include <QList>
#include <QString>

class PrintJob;
class QChart;

// How a chart is fitted into the printed page.
enum class ChartPageFit
{
    Stretch,         // fills the page less 15 % margins on every side
    KeepProportions, // keeps the chart's proportions, 15 % margins at the left and right
};

// One line of the legend printed under a chart: a stroke in the line's colour and its text; a
// line without a colour is text alone.
struct ChartLegendEntry
{
    QColor colour;
    QString text;
};

// The document name of every chart print.
QString chartDocumentName();

// Prints the chart on one page of the job, with the legend under it, and ends the job; returns
// the file written (empty for a printer). Throws std::runtime_error with a message when
// printing fails.
QString printChart(QChart &chart, PrintJob &job, ChartPageFit fit,
                   const QList<ChartLegendEntry> &legend = {});
