// The entity object of the diagram document: writing and reading one box.
#include "entityitem.h"

#include "itemslog.h"
#include "singlelinetextitem.h"

#include <QJsonArray>
#include <QJsonValue>
#include <QSet>
#include <QtDebug>

#include <cmath>
#include <exception>

namespace {

// Positions beyond this would blow up the scene rectangle, the grid and the export.
constexpr double PositionLimit = 1000000.0;

QString perspectiveName(int perspective)
{
    switch (perspective) {
    case NamePrimaryForeign: return QStringLiteral("name-primary-foreign");
    case NamePrimary: return QStringLiteral("name-primary");
    case NameOnly: return QStringLiteral("name");
    default: return QStringLiteral("full");
    }
}

int perspectiveFromJson(const QJsonValue &value)
{
    if (value.isUndefined())
        return Full;
    if (!value.isString()) {
        const qint64 number = value.toInteger(-1);
        return (number >= 1 && number <= 3) ? int(number) : Full;
    }
    const QString text = value.toString().trimmed().toLower();
    if (text == QLatin1String("name-primary-foreign") || text == QLatin1String("name_primary_foreign")
        || text == QLatin1String("pk-fk"))
        return NamePrimaryForeign;
    if (text == QLatin1String("name-primary") || text == QLatin1String("name_primary")
        || text == QLatin1String("pk"))
        return NamePrimary;
    if (text == QLatin1String("name") || text == QLatin1String("name-only"))
        return NameOnly;
    return Full;
}

bool writableColor(const QColor &color)
{
    return color.isValid() && color != QColor(Qt::transparent);
}

QString colorText(const QColor &color)
{
    return QStringLiteral("#%1%2%3%4")
        .arg(color.alpha(), 2, 16, QLatin1Char('0'))
        .arg(color.red(), 2, 16, QLatin1Char('0'))
        .arg(color.green(), 2, 16, QLatin1Char('0'))
        .arg(color.blue(), 2, 16, QLatin1Char('0'));
}

double coordinate(const QJsonValue &value, const char *key)
{
    double v = value.isDouble() ? value.toDouble() : 0.0;
    if (!std::isfinite(v))
        v = 0.0;
    if (v > PositionLimit || v < -PositionLimit) {
        const double clamped = v > 0 ? PositionLimit : -PositionLimit;
        qWarning() << "EntityItem::fromJson position" << key << v << "clamped to" << clamped;
        v = clamped;
    }
    return v;
}

} // namespace

// Holds back layout while a read adds many rows; the box is laid out once at the end.
class LayoutDeferral
{
public:
    explicit LayoutDeferral(EntityItem *entity)
        : m_entity(entity)
    {
        ++m_entity->m_layoutDeferral;
    }
    ~LayoutDeferral()
    {
        if (--m_entity->m_layoutDeferral == 0 && m_entity->m_layoutPending) {
            m_entity->m_layoutPending = false;
            m_entity->relayout();
            m_entity->update();
        }
    }
    LayoutDeferral(const LayoutDeferral &) = delete;
    LayoutDeferral &operator=(const LayoutDeferral &) = delete;

private:
    EntityItem *m_entity;
};

QJsonObject EntityItem::toJson() const
{
    qCDebug(lcItems) << "EntityItem::toJson() called, this:" << this;
    qCDebug(lcItems) << "EntityItem::toJson() checking titleText_:" << titleText_;
    QJsonObject object;

    QString entityId;
    try {
        entityId = id();
        object.insert(QStringLiteral("id"), entityId);
    } catch (...) {
        qWarning() << "Exception getting ID";
        object.insert(QStringLiteral("id"), QStringLiteral("unknown"));
    }
    qCDebug(lcItems) << "EntityItem::toJson() id:" << entityId;

    try {
        object.insert(QStringLiteral("x"), pos().x());
        object.insert(QStringLiteral("y"), pos().y());
    } catch (...) {
        qWarning() << "Exception getting pos";
        object.insert(QStringLiteral("x"), 0);
        object.insert(QStringLiteral("y"), 0);
    }

    try {
        object.insert(QStringLiteral("title"), m_title);
        if (isView())
            object.insert(QStringLiteral("kind"), QStringLiteral("entity-view"));
        object.insert(QStringLiteral("perspective"), perspectiveName(perspective));
    } catch (...) {
        qWarning() << "Exception getting title";
        object.insert(QStringLiteral("title"), QStringLiteral("Unknown"));
    }

    try {
        const std::pair<const char *, const QColor *> colors[] = {
            {"bgLight", &bgLight}, {"bgDark", &bgDark}, {"fgLight", &fgLight},
            {"fgDark", &fgDark}, {"hdrLight", &hdrLight}, {"hdrDark", &hdrDark},
            {"txtLight", &txtLight}, {"txtDark", &txtDark},
        };
        for (const auto &entry : colors) {
            if (writableColor(*entry.second))
                object.insert(QLatin1String(entry.first), colorText(*entry.second));
        }
    } catch (...) {
        qWarning() << "Exception processing colors";
    }

    try {
        QJsonArray rows;
        for (const Attribute &a : attributes) {
            QJsonObject row;
            row.insert(QStringLiteral("name"), a.name);
            row.insert(QStringLiteral("type"), a.type);
            row.insert(QStringLiteral("isPrimaryKey"), a.isPrimaryKey);
            row.insert(QStringLiteral("isUniqueKey"), a.isUniqueKey);
            row.insert(QStringLiteral("isForeignKey"), a.isForeignKey);
            if (!a.fkEdgeId.isEmpty())
                row.insert(QStringLiteral("fkEdgeId"), a.fkEdgeId);
            if (a.inherited)
                row.insert(QStringLiteral("inherited"), true);
            if (!a.columnId.isEmpty())
                row.insert(QStringLiteral("columnId"), a.columnId);
            if (!a.comment.isEmpty())
                row.insert(QStringLiteral("comment"), a.comment);
            rows.append(row);
        }
        object.insert(QStringLiteral("attributes"), rows);
        if (!hiddenColumns.isEmpty())
            object.insert(QStringLiteral("hiddenColumns"), QJsonArray::fromStringList(hiddenColumns));
    } catch (...) {
        qWarning() << "Exception processing attributes";
        object.insert(QStringLiteral("attributes"), QJsonArray());
        object.remove(QStringLiteral("hiddenColumns"));
    }

    qCDebug(lcItems) << "EntityItem::toJson() completed for id:" << entityId;
    return object;
}

void EntityItem::fromJson(const QJsonObject &object)
{
    qCDebug(lcItems) << "EntityItem::fromJson called, this:" << this;
    LayoutDeferral deferral(this);

    kind = object.value(QStringLiteral("kind")).toString() == QLatin1String("entity-view")
        ? EntityKind::View
        : EntityKind::Table;
    perspective = perspectiveFromJson(object.value(QStringLiteral("perspective")));

    if (object.contains(QStringLiteral("x")) && object.contains(QStringLiteral("y"))) {
        const double x = coordinate(object.value(QStringLiteral("x")), "x");
        const double y = coordinate(object.value(QStringLiteral("y")), "y");
        setPos(x, y);
        qCDebug(lcItems) << "EntityItem::fromJson position set to:" << x << y;
    }

    if (object.contains(QStringLiteral("title")))
        setTitle(object.value(QStringLiteral("title")).toString());

    const std::pair<const char *, QColor *> colors[] = {
        {"bgLight", &bgLight}, {"bgDark", &bgDark}, {"fgLight", &fgLight},
        {"fgDark", &fgDark}, {"hdrLight", &hdrLight}, {"hdrDark", &hdrDark},
        {"txtLight", &txtLight}, {"txtDark", &txtDark},
    };
    for (const auto &entry : colors) {
        const QJsonValue value = object.value(QLatin1String(entry.first));
        if (value.isUndefined())
            continue;
        *entry.second = value.isString() ? QColor::fromString(value.toString()) : QColor();
    }

    qCDebug(lcItems) << "EntityItem::fromJson clearing" << attributes.size() << "attributes";
    clearRowsForRead();

    if (object.contains(QStringLiteral("attributes"))) {
        const QJsonArray rows = object.value(QStringLiteral("attributes")).toArray();
        qCDebug(lcItems) << "EntityItem::fromJson adding" << rows.size() << "attributes";
        for (const QJsonValue &element : rows) {
            const QJsonObject row = element.toObject();
            const QString name = row.value(QStringLiteral("name")).toString();
            const QString type = row.value(QStringLiteral("type")).toString();
            bool primaryKey = row.value(QStringLiteral("isPrimaryKey")).toBool(false);
            bool uniqueKey = row.value(QStringLiteral("isUniqueKey")).toBool(false);
            bool foreignKey = row.value(QStringLiteral("isForeignKey")).toBool(false);
            const bool inherited = row.value(QStringLiteral("inherited")).toBool(false);
            if (!primaryKey && !uniqueKey && !foreignKey && row.contains(QStringLiteral("badges"))) {
                const QJsonArray badges = row.value(QStringLiteral("badges")).toArray();
                for (const QJsonValue &badge : badges) {
                    const QString text = badge.toString().toUpper();
                    if (text == QLatin1String("PK"))
                        primaryKey = true;
                    else if (text == QLatin1String("UK"))
                        uniqueKey = true;
                    else if (text == QLatin1String("FK"))
                        foreignKey = true;
                }
            }
            addAttributeRow(name, type, primaryKey, uniqueKey, foreignKey, inherited);

            const int target = indexOfName(rowName(name));
            if (target < 0)
                continue;
            const QString columnId = row.value(QStringLiteral("columnId")).toString();
            if (!columnId.isEmpty())
                attributes[target].columnId = columnId;
            if (row.contains(QStringLiteral("fkEdgeId")))
                attributes[target].fkEdgeId = row.value(QStringLiteral("fkEdgeId")).toString();
            if (row.contains(QStringLiteral("comment")))
                attributes[target].comment = row.value(QStringLiteral("comment")).toString();
        }
    }

    hiddenColumns.clear();
    const QJsonArray hidden = object.value(QStringLiteral("hiddenColumns")).toArray();
    QSet<QString> listed;
    for (const QJsonValue &value : hidden) {
        const QString columnId = value.toString();
        if (!columnId.isEmpty() && !listed.contains(columnId)) {
            listed.insert(columnId);
            hiddenColumns.append(columnId);
        }
    }

    // Colour keys apply to the title too, also when the object brings no rows.
    applyTextColors();
    qCDebug(lcItems) << "EntityItem::fromJson completed";
}
