#include "core/Waiting.h"

#include <utility>

namespace {

Waiter *installed = nullptr;

} // namespace

Waiter *waiter()
{
    return installed;
}

Waiter *setWaiter(Waiter *replacement)
{
    return std::exchange(installed, replacement);
}
