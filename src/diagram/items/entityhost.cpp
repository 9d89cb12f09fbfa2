#include "entityhost.h"

#include <QGraphicsItem>

EntityHost *EntityHost::of(QGraphicsItem *item)
{
    // The one place that asks an item for the interface; callers keep the result only
    // for the duration of a call.
    return item ? dynamic_cast<EntityHost *>(item) : nullptr;
}
