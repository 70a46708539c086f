#include "db/forms/DatabaseWindow.h"

#include "db/forms/DataGrid.h"

#include "ui/Dialogs.h"
#include "ui/ErrorGuard.h"

#include <QCloseEvent>

DatabaseWindow::DatabaseWindow(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_DeleteOnClose);
}

bool DatabaseWindow::settlePendingEdits(const QList<DataGrid *> &grids)
{
    for (DataGrid *grid : grids) {
        try {
            grid->postPending();
        } catch (const std::exception &e) {
            if (!dialogs().dropUnsavedEdit(this, errorBoxText(QString::fromUtf8(e.what()))))
                return false;
            grid->cancelPending();
        }
    }
    return true;
}

void DatabaseWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // Shown once per window: bringing it forward again reads nothing anew.
    if (m_shown)
        return;
    m_shown = true;
    guard(this, [this] { FormShow(); });
}

void DatabaseWindow::closeEvent(QCloseEvent *event)
{
    FormClose(event);
}
