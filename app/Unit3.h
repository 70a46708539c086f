#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

// The about window: a small top-level window of its own, not modal. "OK" disposes of it;
// its close box only hides it, so the next "О программе" shows the same window again.
class Tabout : public QWidget
{
    Q_OBJECT
public:
    // The owner (the main window) takes the window with it when it goes.
    explicit Tabout(QWidget *owner = nullptr);

    void Button1Click();

    // Controls, in the order of the form
    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;
    QPushButton *Button1 = nullptr;
};
