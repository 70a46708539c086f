#include "ui/WaitProgress.h"

#include "ui/Dialogs.h"

#include <QCoreApplication>
#include <QProgressDialog>

WaitProgress::WaitProgress(QWidget *parent) : m_parent(parent)
{}

WaitProgress::~WaitProgress() = default;

bool WaitProgress::keepWaiting(const QString &what)
{
    if (!m_waited.isValid())
        m_waited.start();
    if (!m_dialog && m_waited.elapsed() >= DelayMs) {
        m_dialog =
            std::make_unique<QProgressDialog>(what, QStringLiteral("Отменить"), 0, 0, m_parent);
        m_dialog->setWindowTitle(applicationTitle());
        m_dialog->setWindowModality(Qt::ApplicationModal);
        m_dialog->setMinimumDuration(0);
        QObject::connect(m_dialog.get(), &QProgressDialog::canceled, m_dialog.get(),
                         [this] { m_cancelled = true; });
        m_dialog->show();
    } else if (m_dialog && m_dialog->labelText() != what) {
        m_dialog->setLabelText(what);
    }
    // Until the dialog stands in the way, no input is taken: a click could start another
    // action inside this one.
    QCoreApplication::processEvents(m_dialog ? QEventLoop::AllEvents
                                             : QEventLoop::ExcludeUserInputEvents);
    return !m_cancelled;
}

void WaitProgress::finished()
{
    m_dialog.reset();
    m_waited.invalidate();
    m_cancelled = false;
}
