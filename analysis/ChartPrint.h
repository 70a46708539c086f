#pragma once

class QChart;
class QPrinter;

// How a chart is fitted into the printed page.
enum class ChartPageFit {
    Stretch,          // fills the page less 15 % margins on every side
    KeepProportions,  // keeps the chart's proportions, 15 % margins at the left and right
};

// Prints the chart alone on one page of the printer, with the document name "Chart1".
// Throws std::runtime_error with the printing layer's message when printing fails.
void printChart(QChart &chart, QPrinter &printer, ChartPageFit fit);
