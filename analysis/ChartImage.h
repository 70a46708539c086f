#pragma once

#include <QString>

QT_FORWARD_DECLARE_CLASS(QChartView)

// How many times the view's size a PNG picture of a chart is: sharp in a document or on a slide.
constexpr int ChartImageScale = 2;

// Writes the chart as the view shows it: a PNG at ChartImageScale times the view's size, or an
// SVG (by the name's extension) at the view's size. Throws when the file cannot be written.
void saveChartImage(QChartView &view, const QString &path);

// What a right click on the view does besides: a view whose right click zooms out and pans
// shows its menu only with Ctrl held, or from the keyboard (the menu key, Shift+F10).
enum class RightClick
{
    OpensMenu,
    IsTaken
};

// Gives the view a context menu with «Сохранить как изображение…», which asks for the file.
void offerChartImage(QChartView &view, const QString &proposedName,
                     RightClick rightClick = RightClick::OpensMenu);
