// The edge object of the diagram document: writing it, and applying a read object to an
// edge the scene has made between the two boxes it names.
#include "edgeitem.h"

#include "edgeroute.h"
#include "entityitem.h"
#include "routescoring.h"
#include "slotitem.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QLoggingCategory>
#include <QUuid>

#include <cmath>
#include <optional>

namespace {

// The bound the entity box puts on positions; a route point beyond it is unusable.
constexpr double CoordinateLimit = 1000000;

QString endId(const EntityItem *entity)
{
    const QString id = entity->id();
    // The address stands in only for a box without an id, which the box no longer allows.
    return id.isEmpty() ? QString::number(quintptr(entity)) : id;
}

QJsonObject slotJson(const SlotItem *slot)
{
    return QJsonObject{ { QStringLiteral("side"), int(slot->side()) },
                        { QStringLiteral("x"), slot->pos().x() },
                        { QStringLiteral("y"), slot->pos().y() } };
}

int cardinalityFrom(const QJsonValue &value)
{
    return value.isDouble() ? value.toInt() : 0;
}

std::optional<double> usableCoordinate(const QJsonValue &value)
{
    if (!value.isDouble())
        return std::nullopt;
    const double v = value.toDouble();
    if (!std::isfinite(v) || std::abs(v) > CoordinateLimit)
        return std::nullopt;
    return v;
}

// The stored route, or nothing when any of its points cannot be used: a route through
// made-up points would be drawn through the diagram's origin.
std::optional<QList<QPointF>> storedRoute(const QJsonArray &array)
{
    QList<QPointF> route;
    route.reserve(array.size());
    for (const QJsonValue &element : array) {
        if (!element.isObject())
            return std::nullopt;
        const QJsonObject point = element.toObject();
        const std::optional<double> x = usableCoordinate(point.value(QStringLiteral("x")));
        const std::optional<double> y = usableCoordinate(point.value(QStringLiteral("y")));
        if (!x || !y)
            return std::nullopt;
        route.append(QPointF(*x, *y));
    }
    return route;
}

} // namespace

QJsonObject EdgeItem::toJson() const
{
    if (!from || !to) {
        qWarning("EdgeItem::toJson() called with null entities");
        return {};
    }
    QJsonObject object{ { QStringLiteral("from"), endId(from) },
                        { QStringLiteral("to"), endId(to) },
                        { QStringLiteral("startCard"), startCard },
                        { QStringLiteral("endCard"), endCard },
                        { QStringLiteral("id"), id } };
    if (!label.isEmpty())
        object.insert(QStringLiteral("label"), label);
    if (!identifying)
        object.insert(QStringLiteral("identifying"), false);
    if (fromSlot)
        object.insert(QStringLiteral("fromSlot"), slotJson(fromSlot));
    if (toSlot)
        object.insert(QStringLiteral("toSlot"), slotJson(toSlot));
    if (points.size() >= 2) {
        QJsonArray route;
        for (const QPointF &p : points)
            route.append(QJsonObject{ { QStringLiteral("x"), p.x() }, { QStringLiteral("y"), p.y() } });
        object.insert(QStringLiteral("points"), route);
    }
    return object;
}

void EdgeItem::fromJson(const QJsonObject &object)
{
    const QJsonValue storedId = object.value(QStringLiteral("id"));
    if (storedId.isString() && !storedId.toString().isEmpty()) {
        id = storedId.toString();
    } else {
        // An empty id would register a nameless relationship whose rows could never be
        // removed with it.
        if (!storedId.isUndefined())
            qWarning("EdgeItem::fromJson: unusable edge id, a new one is given");
        id = QUuid::createUuid().toString(QUuid::WithoutBraces);
    }

    label = object.value(QStringLiteral("label")).toString();
    identifying = object.value(QStringLiteral("identifying")).toBool(true);

    if (object.contains(QStringLiteral("startCard")))
        startCard = cardinalityFrom(object.value(QStringLiteral("startCard")));
    if (object.contains(QStringLiteral("endCard")))
        endCard = cardinalityFrom(object.value(QStringLiteral("endCard")));

    if (object.contains(QStringLiteral("fromSlot")) && fromSlot)
        readSlotJson(fromSlot, object.value(QStringLiteral("fromSlot")).toObject());
    if (object.contains(QStringLiteral("toSlot")) && toSlot)
        readSlotJson(toSlot, object.value(QStringLiteral("toSlot")).toObject());

    if (!object.contains(QStringLiteral("points")))
        return;
    const std::optional<QList<QPointF>> route = storedRoute(object.value(QStringLiteral("points")).toArray());
    if (!route) {
        qWarning("EdgeItem::fromJson: unusable point in the stored route of edge %s; it is routed afresh",
                 qPrintable(id));
        return;
    }
    if (route->size() >= 2)
        fitLoadedRoute(*route);
}

void EdgeItem::readSlotJson(SlotItem *slot, const QJsonObject &object)
{
    if (!slot)
        return;
    if (object.contains(QStringLiteral("side"))) {
        const QJsonValue side = object.value(QStringLiteral("side"));
        const double value = side.isDouble() ? side.toDouble() : 0;
        // A slot on no side would fail every end test of the router and vanish.
        if (value == 0 || value == 1 || value == 2 || value == 3)
            slot->setSide(EntitySide(int(value)));
        else
            qWarning("EdgeItem::readSlotJson: side %g is no side of a box; the slot keeps its side", value);
    }
    if (object.contains(QStringLiteral("x")) && object.contains(QStringLiteral("y"))) {
        const QJsonValue x = object.value(QStringLiteral("x"));
        const QJsonValue y = object.value(QStringLiteral("y"));
        const QPointF pos(x.isDouble() ? x.toDouble() : 0, y.isDouble() ? y.toDouble() : 0);
        // Documents built in code can carry them; a route through them would be lost.
        if (std::isfinite(pos.x()) && std::isfinite(pos.y()))
            slot->setPos(pos);
        else
            qWarning("EdgeItem::readSlotJson: position (%g, %g) is not finite; the slot keeps its place",
                     pos.x(), pos.y());
    }
    slot->constrainToParent();
}

void EdgeItem::fitLoadedRoute(const QList<QPointF> &route)
{
    if (route.size() < 2)
        return;
    if (!fromSlot || !toSlot) {
        applyRoundedPath(routing::removeCollinearPoints(route));
        return;
    }
    applyRoundedPath(edgeroute::fitStoredRoute(route, fromSlot->center(), toSlot->center(), int(fromSlot->side()),
                                               int(toSlot->side())));
}
