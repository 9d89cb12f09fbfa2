#pragma once

// Small helpers shared by the scene tests: boxes with rows, and a log catcher.

#include "entityitem.h"

#include <QGraphicsScene>
#include <QList>
#include <QString>
#include <QStringList>

namespace scenetest {

struct Row
{
    QString name;
    QString type;
    bool pk = false;
};

inline EntityItem *addBox(QGraphicsScene *scene, const QString &title, const QList<Row> &rows,
                          const QPointF &pos = QPointF(), bool view = false)
{
    auto *box = new EntityItem(title, QSizeF(150, 70));
    if (view)
        box->setKind(EntityKind::View);
    box->storedId = title + QStringLiteral("-id");
    scene->addItem(box);
    box->setPos(pos);
    for (const Row &row : rows)
        box->addAttributeRow(row.name, row.type, row.pk, false, false, false);
    return box;
}

inline QStringList rowNames(const EntityItem *box)
{
    QStringList names;
    for (const EntityItem::Attribute &a : box->attributes)
        names.append(a.name);
    return names;
}

// Collects warnings (and worse) while it lives; other output goes on as before.
class WarningCatcher
{
public:
    WarningCatcher()
    {
        s_caught.clear();
        m_previous = qInstallMessageHandler(&WarningCatcher::handle);
        s_previous = m_previous;
    }
    ~WarningCatcher() { qInstallMessageHandler(m_previous); }
    WarningCatcher(const WarningCatcher &) = delete;
    WarningCatcher &operator=(const WarningCatcher &) = delete;

    QStringList caught() const { return s_caught; }
    QStringList matching(const QString &text) const { return s_caught.filter(text); }

private:
    static void handle(QtMsgType type, const QMessageLogContext &context, const QString &message)
    {
        if (type != QtDebugMsg && type != QtInfoMsg)
            s_caught.append(message);
        else if (s_previous)
            s_previous(type, context, message);
    }

    QtMessageHandler m_previous = nullptr;
    static inline QStringList s_caught;
    static inline QtMessageHandler s_previous = nullptr;
};

} // namespace scenetest
