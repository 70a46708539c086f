#pragma once

#include "core/Waiting.h"

#include <QElapsedTimer>
#include <QPointer>
#include <memory>

class QProgressDialog;
class QWidget;

// Shows what the program waits for once the wait has taken a moment (an Access file read, a
// database file that another program holds): a dialog with a busy bar and «Отменить». It is
// modal, so the windows go on repainting meanwhile but take no input that could start
// something else.
class WaitProgress final : public Waiter
{
public:
    explicit WaitProgress(QWidget *parent);
    ~WaitProgress() override;

    bool keepWaiting(const QString &what) override;
    void finished() override;

    // A wait shorter than this shows no dialog at all.
    static constexpr int DelayMs = 400;

private:
    QPointer<QWidget> m_parent;
    std::unique_ptr<QProgressDialog> m_dialog;
    QElapsedTimer m_waited;
    bool m_cancelled = false;
};
