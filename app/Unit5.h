#pragma once

#include <QWidget>

class QLabel;

// The small vector drawing over the splash picture: a monitor with a rising chart, made of
// filled polygons.
class SplashDrawing : public QWidget
{
    Q_OBJECT
public:
    explicit SplashDrawing(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};

// The borderless splash window shown while the main window is being built.
class TSplashForm : public QWidget
{
    Q_OBJECT
public:
    explicit TSplashForm(QWidget *parent = nullptr);

    // Shows the window centred on the screen and paints it at once, before start-up goes on.
    void showAndPaint();

    // Controls, in the order of the form
    QLabel *Image1 = nullptr;        // the splash picture, 456 by 280
    SplashDrawing *Image2 = nullptr; // left 8, top 80, 265 by 209
};

// The splash picture: 456 by 280 pixels.
QPixmap splashPicture();
