#pragma once

#include "edgeitem.h"

// Turns one of the edges' class-wide re-routing switches on for a scope and puts back what
// it was before, so a nested use (another scene during an event-loop turn) leaves the outer
// one in place.
template<bool (*isOn)(), void (*setOn)(bool)>
class EdgeSwitchScope
{
public:
    EdgeSwitchScope()
        : m_previous(isOn())
    {
        setOn(true);
    }
    ~EdgeSwitchScope() { setOn(m_previous); }
    EdgeSwitchScope(const EdgeSwitchScope &) = delete;
    EdgeSwitchScope &operator=(const EdgeSwitchScope &) = delete;

private:
    bool m_previous;
};

// No quick re-route from the batch timer while it lives; requests still queue.
using RerouteTimerHold = EdgeSwitchScope<&EdgeItem::isRerouteTimerHeld, &EdgeItem::setRerouteTimerHeld>;
// No re-routing at all while it lives, as while the loader builds a scene.
using RoutingSuppression = EdgeSwitchScope<&EdgeItem::isRoutingSuppressed, &EdgeItem::setSuppressRouting>;
// Routes keep to the candidate shapes while it lives: no search around boxes.
using RouteSearchHold = EdgeSwitchScope<&EdgeItem::isRouteSearchHeld, &EdgeItem::setRouteSearchHeld>;
