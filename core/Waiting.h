#pragma once

#include <QString>

// Waits with the user while slow work holds this thread: an Access file being read, a database
// file that another program holds. After a moment the program shows what it waits for, with
// «Отменить»; nothing is shown for a short wait.
class Waiter
{
public:
    virtual ~Waiter() = default;
    // Asked again and again while the work goes on; `what` says what is waited for. False
    // cancels the work.
    virtual bool keepWaiting(const QString &what) = 0;
    // The work is done, has failed or was cancelled.
    virtual void finished() = 0;
};

// The waiter of this process; nullptr (the default): none, slow work just blocks.
Waiter *waiter();
// Installs the waiter (not owned); returns the one it replaces.
Waiter *setWaiter(Waiter *waiter);
