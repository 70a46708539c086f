#pragma once

#include "db/Database.h"

#include <QList>
#include <QWidget>

class DataGrid;
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
    // Checks each database the window's record sets open once, for all of them.
    DatabaseOpener &opener() { return m_opener; }
    // Ignoring the event keeps the window open (a pending edit the database refused).
    virtual void FormClose(QCloseEvent *event) = 0;

protected:
    // Writes what is pending in the grids before the window goes. An edit that the database
    // refuses is shown with the choice to drop it and go on; false when the user goes back
    // to it, which keeps the window.
    bool settlePendingEdits(const QList<DataGrid *> &grids);

    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    bool m_shown = false;
    DatabaseOpener m_opener;
};
