#pragma once

#include <QDateTime>
#include <functional>

// "Now" for the whole program; tests fix it through FixedClock.
QDateTime currentDateTime();

// Replaces the clock while it lives.
class FixedClock
{
public:
    explicit FixedClock(const QDateTime &moment);
    ~FixedClock();
    FixedClock(const FixedClock &) = delete;
    FixedClock &operator=(const FixedClock &) = delete;

    void set(const QDateTime &moment) { m_moment = moment; }

private:
    QDateTime m_moment;
    std::function<QDateTime()> m_previous;
};
