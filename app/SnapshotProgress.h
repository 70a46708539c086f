#pragma once

#include "access/AccessSnapshot.h"

#include <QElapsedTimer>
#include <QPointer>
#include <memory>

class QProgressDialog;
class QWidget;

// Shows how the reading of an Access file goes once it has taken a moment: a dialog with a
// busy bar and «Отменить». It is modal, so the windows go on repainting while the file is
// read but take no input that could start something else meanwhile.
class SnapshotProgress final : public SnapshotWaiter
{
public:
    explicit SnapshotProgress(QWidget *parent);
    ~SnapshotProgress() override;

    bool keepWaiting(const QString &accessPath) override;
    void finished() override;

    // A reading shorter than this shows no dialog at all.
    static constexpr int DelayMs = 400;

private:
    QPointer<QWidget> m_parent;
    std::unique_ptr<QProgressDialog> m_dialog;
    QElapsedTimer m_waited;
    bool m_cancelled = false;
};
