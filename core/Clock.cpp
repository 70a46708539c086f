#include "core/Clock.h"

namespace {

std::function<QDateTime()> &clockSource()
{
    static std::function<QDateTime()> source;
    return source;
}

} // namespace

QDateTime currentDateTime()
{
    const auto &source = clockSource();
    return source ? source() : QDateTime::currentDateTime();
}

FixedClock::FixedClock(const QDateTime &moment) : m_moment(moment), m_previous(clockSource())
{
    clockSource() = [this] { return m_moment; };
}

FixedClock::~FixedClock()
{
    clockSource() = m_previous;
}
