#pragma once

#include "edgeitem.h"

// Holds the batch timer of edge re-routing while the scope lives (requests still queue),
// so that no quick re-route runs in the middle of work that routes edges itself. The
// state before comes back at the end: a nested hold does not release an outer one.
class RerouteTimerHold
{
public:
    RerouteTimerHold()
        : m_previous(EdgeItem::isRerouteTimerHeld())
    {
        EdgeItem::setRerouteTimerHeld(true);
    }
    ~RerouteTimerHold() { EdgeItem::setRerouteTimerHeld(m_previous); }
    RerouteTimerHold(const RerouteTimerHold &) = delete;
    RerouteTimerHold &operator=(const RerouteTimerHold &) = delete;

private:
    bool m_previous;
};
