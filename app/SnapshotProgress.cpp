#include "app/SnapshotProgress.h"

#include "ui/Dialogs.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProgressDialog>

SnapshotProgress::SnapshotProgress(QWidget *parent) : m_parent(parent)
{}

SnapshotProgress::~SnapshotProgress() = default;

bool SnapshotProgress::keepWaiting(const QString &accessPath)
{
    if (!m_waited.isValid())
        m_waited.start();
    if (!m_dialog && m_waited.elapsed() >= DelayMs) {
        m_dialog = std::make_unique<QProgressDialog>(
            QStringLiteral("Чтение файла Access «%1»…").arg(QFileInfo(accessPath).fileName()),
            QStringLiteral("Отменить"), 0, 0, m_parent);
        m_dialog->setWindowTitle(applicationTitle());
        m_dialog->setWindowModality(Qt::ApplicationModal);
        m_dialog->setMinimumDuration(0);
        m_dialog->setToolTip(QDir::toNativeSeparators(accessPath));
        QObject::connect(m_dialog.get(), &QProgressDialog::canceled, m_dialog.get(),
                         [this] { m_cancelled = true; });
        m_dialog->show();
    }
    // Until the dialog stands in the way, no input is taken: a click could start another
    // reading inside this one.
    QCoreApplication::processEvents(m_dialog ? QEventLoop::AllEvents
                                             : QEventLoop::ExcludeUserInputEvents);
    return !m_cancelled;
}

void SnapshotProgress::finished()
{
    m_dialog.reset();
    m_waited.invalidate();
    m_cancelled = false;
}
