#include "DatabaseWindow.h"

#include "ErrorGuard.h"

#include <QCloseEvent>

DatabaseWindow::DatabaseWindow(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_DeleteOnClose);
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
