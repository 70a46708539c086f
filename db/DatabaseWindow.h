#pragma once

#include <QWidget>

class QCloseEvent;

// What every database window of the workspace does alike: it goes when it is closed
// (Qt::WA_DeleteOnClose), reads its data once, when it is first shown (FormShow, inside the
// error guard, so that an error there still leaves the window shown), and decides in
// FormClose whether it may close.
class DatabaseWindow : public QWidget
{
    Q_OBJECT
public:
    explicit DatabaseWindow(QWidget *parent = nullptr);

    virtual void FormShow() = 0;
    // Ignoring the event keeps the window open (a pending edit the database refused).
    virtual void FormClose(QCloseEvent *event) = 0;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    bool m_shown = false;
};
