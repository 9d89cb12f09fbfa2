// Attribute rows of the entity box: adding, merging, renaming, retyping, the rows that
// relationship edges contribute, and removal.
#include "entityitem.h"

#include "edgeitem.h"
#include "itemslog.h"
#include "singlelinetextitem.h"
#include "thememanager.h"

#include <QGraphicsScene>
#include <QPointer>
#include <QtDebug>

#include <algorithm>

// --- names ----------------------------------------------------------------------------------

QString EntityItem::rightTrimmed(const QString &text)
{
    qsizetype end = text.size();
    while (end > 0 && text.at(end - 1).isSpace())
        --end;
    return text.left(end);
}

QString EntityItem::rowName(const QString &text)
{
    return rightTrimmed(singleLineText(text));
}

bool EntityItem::isBlankText(const QString &text)
{
    const QList<uint> codePoints = text.toUcs4();
    for (uint cp : codePoints) {
        const char32_t c = cp;
        if (!QChar::isSpace(c) && QChar::isPrint(c) && QChar::category(c) != QChar::Other_Format)
            return false;
    }
    return true;
}

QString EntityItem::makeUniqueName(const QString &prefix, int n, const QStringList &names)
{
    int number = qMax(n, 1);
    QString candidate = prefix + QString::number(number);
    while (names.contains(candidate))
        candidate = prefix + QString::number(++number);
    return candidate;
}

int EntityItem::indexOfName(const QString &name, int exceptRow) const
{
    // The rows list is open to its callers: a count that no longer matches, or a row that
    // no longer has the name it was found under, builds the look-up again.
    if (!m_rowOfNameValid || m_rowOfName.size() > attributes.size()) {
        m_rowOfName.clear();
        m_rowOfName.reserve(attributes.size());
        for (int row = int(attributes.size()) - 1; row >= 0; --row)
            m_rowOfName.insert(attributes.at(row).name, row);
        m_rowOfNameValid = true;
    }
    const auto found = m_rowOfName.constFind(name);
    if (found == m_rowOfName.cend())
        return -1;
    const int first = found.value();
    if (first >= attributes.size() || attributes.at(first).name != name) {
        m_rowOfNameValid = false;
        return indexOfName(name, exceptRow);
    }
    if (first != exceptRow)
        return first;
    for (int row = first + 1; row < attributes.size(); ++row) {
        if (attributes.at(row).name == name)
            return row;
    }
    return -1;
}

void EntityItem::setRowName(int row, const QString &name)
{
    attributes[row].name = name;
    m_rowOfNameValid = false;
}

void EntityItem::rowOrderChanged()
{
    m_rowOfNameValid = false;
}

QString EntityItem::uniqueNameExcept(const QString &base, int exceptRow) const
{
    const QString b = rightTrimmed(base);
    if (indexOfName(b, exceptRow) < 0)
        return b;
    for (int n = 2;; ++n) {
        const QString candidate = b + QLatin1Char('_') + QString::number(n);
        if (indexOfName(candidate, exceptRow) < 0)
            return candidate;
    }
}

QString EntityItem::uniqueName(const QString &base) const
{
    return uniqueNameExcept(base, -1);
}

// --- cells ----------------------------------------------------------------------------------

SingleLineTextItem *EntityItem::createCell(const QString &text, bool typeCell, bool foreignKey)
{
    auto *cell = new SingleLineTextItem(this);
    // Font and alignment before the text, so that the text is laid out once.
    cell->setFont(entityFont(false));
    cell->setDefaultTextColor(m_cellTextColor);
    cell->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    cell->setRowDragEnabled(true);
    if (typeCell) {
        cell->setAlignment(Qt::AlignRight);
        cell->setPlaceholderText(QStringLiteral("type"));
        cell->setCompletionEnabled(true);
    } else {
        cell->setPlaceholderText(QStringLiteral("column_name"));
    }
    cell->setPlainText(text);
    connect(cell, &SingleLineTextItem::dragStarted, this, &EntityItem::onAttributeDragStarted);
    connect(cell, &SingleLineTextItem::newAttributeRequested, this,
            &EntityItem::onNewAttributeRequested);
    connect(cell, &SingleLineTextItem::editingFinished, this,
            &EntityItem::onAttributeEditingFinished);
    if (foreignKey)
        connect(cell, &SingleLineTextItem::fkAttributeClicked, this,
                &EntityItem::onFkAttributeClicked, Qt::UniqueConnection);
    return cell;
}

void EntityItem::connectForeignKeyClicks(int row)
{
    for (SingleLineTextItem *cell : {nameItems.value(row), typeItems.value(row)}) {
        if (cell)
            connect(cell, &SingleLineTextItem::fkAttributeClicked, this,
                    &EntityItem::onFkAttributeClicked, Qt::UniqueConnection);
    }
}

void EntityItem::retireCell(SingleLineTextItem *cell)
{
    // The cell may be the sender of the signal that led here (its editingFinished
    // reaching a handler that removes the row), so it is only deleted later.
    if (!cell)
        return;
    disconnect(cell, nullptr, this, nullptr);
    if (dragItem == cell)
        dragItem = nullptr;
    if (QGraphicsScene *s = cell->scene())
        s->removeItem(cell);
    cell->setParentItem(nullptr);
    cell->deleteLater();
}

void EntityItem::removeRowAt(int row)
{
    if (activeRow == row)
        clearActiveRow();
    else if (activeRow > row)
        --activeRow;
    attributes.removeAt(row);
    rowOrderChanged();
    if (row < nameItems.size())
        retireCell(nameItems.takeAt(row));
    if (row < typeItems.size())
        retireCell(typeItems.takeAt(row));
}

void EntityItem::addKeyRowIfEmptyTable()
{
    if (kind == EntityKind::Table && attributes.isEmpty())
        addAttributeRow(m_title + QStringLiteral("_id"), defaultKeyTypeForScene(scene()), true,
                        false, false, false);
}

// --- adding and changing rows -----------------------------------------------------------------

void EntityItem::addAttributeRow(const QString &name, const QString &typeText, bool isPrimaryKey,
                                 bool isUniqueKey, bool isForeignKey, bool inherited)
{
    const bool inheritedRow = inherited && isView();
    // What is stored is what the cells show, so that leaving a cell unchanged renames nothing.
    const QString n = rowName(name);
    const QString type = singleLineText(typeText);
    const int existing = indexOfName(n);
    int row;
    if (existing >= 0) {
        row = existing;
        Attribute &a = attributes[row];
        a.type = type;
        if (isForeignKey && !isPrimaryKey && !isUniqueKey) {
            a.isForeignKey = true;
        } else {
            a.isPrimaryKey = isPrimaryKey;
            a.isUniqueKey = isUniqueKey;
            a.isForeignKey = isForeignKey;
        }
        a.isKey = a.isPrimaryKey || a.isUniqueKey;
        if (SingleLineTextItem *cell = nameItems.value(row); cell && cell->toPlainText() != n)
            cell->setPlainText(n);
        if (SingleLineTextItem *cell = typeItems.value(row); cell && cell->toPlainText() != type)
            cell->setPlainText(type);
        if (a.isForeignKey)
            connectForeignKeyClicks(row);
    } else {
        Attribute a;
        a.name = n;
        a.type = type;
        a.isPrimaryKey = isPrimaryKey;
        a.isUniqueKey = isUniqueKey;
        a.isForeignKey = isForeignKey;
        a.isKey = isPrimaryKey || isUniqueKey;
        a.inherited = inheritedRow;
        attributes.append(a);
        nameItems.append(createCell(n, false, isForeignKey));
        typeItems.append(createCell(type, true, isForeignKey));
        row = int(attributes.size()) - 1;
        if (m_rowOfNameValid)
            m_rowOfName.insert(n, row);
        // The new row is the last one: it becomes the last visible row or changes nothing.
        if (isRowVisible(row))
            markLastRow(row);
    }
    applyRowFont(row);
    applyTextColors();
    relayout();
    update();
    emit structureChanged();
}

void EntityItem::updateAttribute(int row, const QString &columnId, const QString &name,
                                 const QString &typeText, bool isPrimaryKey, bool isUniqueKey,
                                 bool isForeignKey)
{
    if (row < 0 || row >= attributes.size())
        return;
    Attribute &a = attributes[row];
    if (!columnId.isEmpty())
        a.columnId = columnId;

    QString t = singleLineText(name).trimmed();
    const QString type = singleLineText(typeText);
    if (!t.isEmpty() && t != a.name) {
        if (indexOfName(t, row) >= 0)
            t = uniqueNameExcept(t, row);
        setRowName(row, t);
        if (SingleLineTextItem *cell = nameItems.value(row))
            cell->setPlainText(t);
    }
    if (type != a.type) {
        a.type = type;
        if (SingleLineTextItem *cell = typeItems.value(row))
            cell->setPlainText(type);
    }
    const bool foreignKey = isForeignKey || !a.fkEdgeId.isEmpty();
    if (a.isPrimaryKey != isPrimaryKey || a.isUniqueKey != isUniqueKey
        || a.isForeignKey != foreignKey) {
        a.isPrimaryKey = isPrimaryKey;
        a.isUniqueKey = isUniqueKey;
        a.isForeignKey = foreignKey;
        a.isKey = isPrimaryKey || isUniqueKey;
        if (foreignKey)
            connectForeignKeyClicks(row);
        applyRowFont(row);
    }
    relayout();
    update();
}

void EntityItem::renameAttribute(int row, const QString &name)
{
    if (row < 0 || row >= attributes.size())
        return;
    QString t = rowName(name);
    if (t.trimmed().isEmpty() || t == attributes.at(row).name)
        return;
    if (indexOfName(t, row) >= 0)
        t = uniqueNameExcept(t, row);
    const QString oldName = attributes.at(row).name;
    setRowName(row, t);
    if (SingleLineTextItem *cell = nameItems.value(row))
        cell->setPlainText(t);
    relayout();
    update();
    emit attributeEdited(row, oldName, t, attributes.at(row).type);
}

void EntityItem::setRowType(int row, const QString &type)
{
    attributes[row].type = type;
    if (SingleLineTextItem *cell = typeItems.value(row); cell && cell->toPlainText() != type)
        cell->setPlainText(type);
}

void EntityItem::setAttributeType(int row, const QString &typeText)
{
    if (row < 0 || row >= attributes.size())
        return;
    const QString type = singleLineText(typeText);
    SingleLineTextItem *cell = typeItems.value(row);
    if (attributes.at(row).type == type && cell && cell->toPlainText() == type)
        return;
    setRowType(row, type);
    applyRowFont(row);
    relayout();
    const QString name = attributes.at(row).name;
    const bool primaryKey = attributes.at(row).isPrimaryKey;
    QPointer<EntityItem> alive(this);
    emit attributeEdited(row, name, name, type);
    if (alive && primaryKey)
        propagatePrimaryKeyType(row);
}

void EntityItem::propagatePrimaryKeyType(int row)
{
    // Depth-first over the key -> foreign key chain, as a recursion through
    // setAttributeType would go, but on an explicit stack: chains may be long, and a row
    // that already has the type ends its branch, so cycles end too.
    struct Frame
    {
        QPointer<EntityItem> entity;
        int row;
        QList<QPointer<EdgeItem>> edges;
        int next = 0;
    };
    auto frameFor = [](EntityItem *entity, int keyRow) {
        Frame frame{entity, keyRow, {}, 0};
        for (EdgeItem *edge : qAsConst(entity->edges))
            frame.edges.append(edge);
        return frame;
    };
    if (row < 0 || row >= attributes.size() || !attributes.at(row).isPrimaryKey)
        return;

    QList<Frame> stack;
    stack.append(frameFor(this, row));
    while (!stack.isEmpty()) {
        Frame &frame = stack.last();
        EntityItem *entity = frame.entity.data();
        if (!entity || frame.row >= entity->attributes.size() || frame.next >= frame.edges.size()) {
            stack.removeLast();
            continue;
        }
        EdgeItem *edge = frame.edges.at(frame.next++).data();
        if (!edge || edge->from != entity || !edge->to)
            continue;

        const Attribute &key = entity->attributes.at(frame.row);
        int k = 0;
        for (int r = 0; r < frame.row; ++r) {
            if (entity->attributes.at(r).isPrimaryKey)
                ++k;
        }
        EntityItem *child = edge->to;
        const QList<int> rows = child->foreignKeyRowsForEdge(edge);
        int target = -1;
        for (int r : rows) {
            if (child->attributeName(r) == key.name) {
                target = r;
                break;
            }
        }
        if (target < 0 && k < rows.size() && rows.at(k) >= 0)
            target = rows.at(k);
        if (target < 0 || target >= child->attributes.size())
            continue;

        const QString type = key.type;
        SingleLineTextItem *cell = child->typeItems.value(target);
        if (child->attributes.at(target).type == type && cell && cell->toPlainText() == type)
            continue;
        child->setRowType(target, type);
        child->applyRowFont(target);
        child->relayout();
        const QString name = child->attributes.at(target).name;
        const bool childKey = child->attributes.at(target).isPrimaryKey;
        QPointer<EntityItem> childAlive(child);
        emit child->attributeEdited(target, name, name, type);
        if (childAlive && childKey)
            stack.append(frameFor(child, target));
    }
}

void EntityItem::setAttributeKeyFlags(int row, bool isPrimaryKey, bool isUniqueKey)
{
    if (isView() || row < 0 || row >= attributes.size())
        return;
    Attribute &a = attributes[row];
    if (a.isPrimaryKey == isPrimaryKey && a.isUniqueKey == isUniqueKey)
        return;
    a.isPrimaryKey = isPrimaryKey;
    a.isUniqueKey = isUniqueKey;
    a.isKey = isPrimaryKey || isUniqueKey;
    applyRowFont(row);
    update();
}

void EntityItem::setAttributeForeignKey(int row, const QString &fkEdgeId)
{
    if (isView() || row < 0 || row >= attributes.size())
        return;
    Attribute &a = attributes[row];
    const bool flag = !fkEdgeId.isEmpty();
    if (a.isForeignKey != flag || a.fkEdgeId != fkEdgeId) {
        a.isForeignKey = flag;
        a.fkEdgeId = fkEdgeId;
        applyRowFont(row);
        applyTextColors();
        relayout();
        update();
    }
    if (flag)
        connectForeignKeyClicks(row);
}

void EntityItem::markAttributeForeignKey(int row, const QString &fkEdgeId)
{
    if (!fkEdgeId.isEmpty())
        setAttributeForeignKey(row, fkEdgeId);
}

void EntityItem::hideColumn(const QString &columnId)
{
    if (!columnId.isEmpty() && !hiddenColumns.contains(columnId))
        hiddenColumns.append(columnId);
}

QList<QPair<QString, QString>> EntityItem::primaryKeyAttributes() const
{
    QList<QPair<QString, QString>> keys;
    for (const Attribute &a : attributes) {
        if (a.isPrimaryKey)
            keys.append({a.name, a.type});
    }
    return keys;
}

// --- rows of edges ------------------------------------------------------------------------------

QList<int> EntityItem::foreignKeyRowsForEdge(EdgeItem *edge) const
{
    QList<int> rows;
    if (!edge)
        return rows;
    if (!edge->id.isEmpty()) {
        for (int row = 0; row < attributes.size(); ++row) {
            const Attribute &a = attributes.at(row);
            if (a.fkEdgeId == edge->id && (a.isForeignKey || a.inherited))
                rows.append(row);
        }
        if (!rows.isEmpty())
            return rows;
    }
    if (!edge->from)
        return rows;
    const QList<QPair<QString, QString>> keys = edge->from->primaryKeyAttributes();
    for (int row = 0; row < attributes.size(); ++row) {
        const Attribute &a = attributes.at(row);
        if (a.isForeignKey && keys.contains({a.name, a.type}))
            rows.append(row);
    }
    return rows;
}

QString EntityItem::referencedPrimaryKeyType(int row) const
{
    if (row < 0 || row >= attributes.size() || !attributes.at(row).isForeignKey)
        return QString();
    const Attribute &a = attributes.at(row);
    EdgeItem *edge = nullptr;
    if (!a.fkEdgeId.isEmpty()) {
        for (EdgeItem *e : edges) {
            if (e && e->to == this && e->id == a.fkEdgeId) {
                edge = e;
                break;
            }
        }
    }
    if (!edge) {
        for (EdgeItem *e : edges) {
            if (e && e->to == this && foreignKeyRowsForEdge(e).contains(row)) {
                edge = e;
                break;
            }
        }
    }
    if (!edge || !edge->from)
        return QString();
    const QList<QPair<QString, QString>> keys = edge->from->primaryKeyAttributes();
    if (keys.isEmpty())
        return QString();
    for (const auto &key : keys) {
        if (key.first == a.name)
            return key.second;
    }
    QList<int> siblings;
    if (!a.fkEdgeId.isEmpty()) {
        for (int r = 0; r < attributes.size(); ++r) {
            if (attributes.at(r).isForeignKey && attributes.at(r).fkEdgeId == a.fkEdgeId)
                siblings.append(r);
        }
    } else {
        siblings = foreignKeyRowsForEdge(edge);
    }
    const int i = int(siblings.indexOf(row));
    if (i >= 0 && i < keys.size())
        return keys.at(i).second;
    if (keys.size() == 1)
        return keys.first().second;
    return QString();
}

void EntityItem::addForeignKeyAttribute(const QString &name, const QString &type,
                                        const QString &fkEdgeId, const QString &suffix)
{
    if (isView())
        return;
    const QString n = uniqueName(suffix.isEmpty() ? name : name + suffix);
    QPointer<EntityItem> alive(this);
    addAttributeRow(n, type, false, false, true, false);
    if (!alive)
        return;
    // Reactions to the new row may have rewritten its flags before it knew its edge.
    const int row = indexOfName(n);
    if (row >= 0 && !fkEdgeId.isEmpty())
        setAttributeForeignKey(row, fkEdgeId);
}

void EntityItem::inheritAttributesFrom(EntityItem *source, const QString &edgeId)
{
    if (!isView() || !source || source == this)
        return;
    if (!edgeId.isEmpty()) {
        for (const Attribute &a : qAsConst(attributes)) {
            if (a.fkEdgeId == edgeId)
                return;
        }
    }
    const QList<Attribute> sourceRows = source->attributes;
    QPointer<EntityItem> alive(this);
    for (const Attribute &a : sourceRows) {
        if (a.name.isEmpty())
            continue;
        addAttributeRow(uniqueName(a.name), a.type, a.isPrimaryKey, a.isUniqueKey,
                        a.isForeignKey, true);
        if (!alive)
            return;
        if (!edgeId.isEmpty() && !attributes.isEmpty())
            attributes.last().fkEdgeId = edgeId;
    }
}

void EntityItem::highlightEdgeAttributes(EdgeItem *edge, bool on)
{
    const QList<int> rows = foreignKeyRowsForEdge(edge);
    for (int row : rows) {
        for (SingleLineTextItem *cell : {nameItems.value(row), typeItems.value(row)}) {
            if (cell) {
                cell->setHighlighted(on);
                cell->update();
            }
        }
    }
}

QList<EdgeItem *> EntityItem::edgesOfRow(SingleLineTextItem *cell) const
{
    QList<EdgeItem *> result;
    const int row = rowIndexOfTextItem(cell);
    if (row < 0)
        return result;
    const Attribute &a = attributes.at(row);
    if (a.isForeignKey) {
        if (!a.fkEdgeId.isEmpty()) {
            for (EdgeItem *edge : edges) {
                if (edge && edge->id == a.fkEdgeId) {
                    result.append(edge);
                    return result;
                }
            }
        }
        for (EdgeItem *edge : edges) {
            if (edge && edge->to == this && edge->from
                && edge->from->primaryKeyAttributes().contains({a.name, a.type})) {
                result.append(edge);
                return result;
            }
        }
        return result;
    }
    if (a.isPrimaryKey) {
        for (EdgeItem *edge : edges) {
            if (edge && edge->from == this)
                result.append(edge);
        }
    }
    return result;
}

void EntityItem::selectEdgesOfRow(SingleLineTextItem *cell)
{
    const QList<EdgeItem *> rowEdges = edgesOfRow(cell);
    for (EdgeItem *edge : rowEdges)
        edge->setSelected(true);
}

void EntityItem::deselectEdgesOfRow(SingleLineTextItem *cell)
{
    const QList<EdgeItem *> rowEdges = edgesOfRow(cell);
    for (EdgeItem *edge : rowEdges)
        edge->setSelected(false);
}

// --- removal ------------------------------------------------------------------------------------

void EntityItem::deleteEdges(const QList<EdgeItem *> &candidates)
{
    // A self-relationship is listed twice, and an edge's destructor takes it out of
    // this list: collect each edge once and check it is still here before deleting.
    QList<QPointer<EdgeItem>> unique;
    for (EdgeItem *edge : candidates) {
        if (edge && !unique.contains(edge))
            unique.append(edge);
    }
    for (const QPointer<EdgeItem> &edge : qAsConst(unique)) {
        if (edge && edges.contains(edge.data()))
            delete edge.data();
    }
}

void EntityItem::deleteIncomingEdgesById(const QString &edgeId)
{
    QList<EdgeItem *> found;
    for (EdgeItem *edge : qAsConst(edges)) {
        if (edge && edge->id == edgeId && edge->to == this)
            found.append(edge);
    }
    deleteEdges(found);
}

void EntityItem::deleteIncomingEdgesByPrimaryKey(const QString &name, const QString &type)
{
    QList<EdgeItem *> found;
    for (EdgeItem *edge : qAsConst(edges)) {
        if (edge && edge->to == this && edge->from
            && edge->from->primaryKeyAttributes().contains({name, type}))
            found.append(edge);
    }
    deleteEdges(found);
}

void EntityItem::removeAttribute(int row)
{
    if (row < 0 || row >= attributes.size())
        return;
    removeRowAt(row);
    markLastVisibleRow();
    relayout();
    update();
    emit structureChanged();
}

bool EntityItem::removeAttributeOfTextItem(SingleLineTextItem *cell)
{
    const int row = rowIndexOfTextItem(cell);
    if (row < 0)
        return false;
    removeRowAt(row);
    markLastVisibleRow();
    relayout();
    update();
    addKeyRowIfEmptyTable();
    return true;
}

void EntityItem::removeAttributeByName(const QString &name)
{
    const int row = indexOfName(name);
    if (row < 0)
        return;
    const Attribute a = attributes.at(row);
    QPointer<EntityItem> alive(this);
    if (a.isForeignKey) {
        if (!a.fkEdgeId.isEmpty())
            deleteIncomingEdgesById(a.fkEdgeId);
        else
            deleteIncomingEdgesByPrimaryKey(a.name, a.type);
    }
    if (alive && a.isPrimaryKey) {
        // A view's link to this table carries no rows made from the key: it stays.
        QList<EdgeItem *> outgoing;
        for (EdgeItem *edge : qAsConst(edges)) {
            if (edge && edge->from == this && !edge->isEntityViewEdge())
                outgoing.append(edge);
        }
        deleteEdges(outgoing);
    }
    if (!alive)
        return;
    // The edges' destructors may have taken rows away (also the named one, or rows
    // above it on a self-relationship), so the row is looked up again.
    const int current = indexOfName(name);
    if (current >= 0) {
        removeRowAt(current);
        markLastVisibleRow();
        relayout();
        update();
    }
    addKeyRowIfEmptyTable();
    if (alive)
        emit structureChanged();
}

void EntityItem::removeAttributes(const QString &fkEdgeId)
{
    // An empty id would match every foreign-key row that no edge made.
    if (fkEdgeId.isEmpty())
        return;
    QList<int> rows;
    for (int row = 0; row < attributes.size(); ++row) {
        if (attributes.at(row).isForeignKey && attributes.at(row).fkEdgeId == fkEdgeId)
            rows.append(row);
    }
    if (rows.isEmpty())
        return;
    std::sort(rows.begin(), rows.end(), std::greater<int>());
    for (int row : qAsConst(rows))
        removeRowAt(row);
    markLastVisibleRow();
    relayout();
    update();
}

void EntityItem::moveAttribute(int from, int to)
{
    const int count = int(attributes.size());
    if (from < 0 || from >= count || to < 0 || to >= count || from == to)
        return;
    attributes.move(from, to);
    rowOrderChanged();
    if (from < nameItems.size() && to < nameItems.size())
        nameItems.move(from, to);
    if (from < typeItems.size() && to < typeItems.size())
        typeItems.move(from, to);
    if (activeRow == from)
        activeRow = to;
    else if (from < activeRow && activeRow <= to)
        --activeRow;
    else if (to <= activeRow && activeRow < from)
        ++activeRow;
    markLastVisibleRow();
    applyRowFont(to);
    positionRows();
    update();
    emit structureChanged();
    qCDebug(lcItems) << "Attribute moved from" << from << "to" << to;
}

// --- clearing for a read -----------------------------------------------------------------------

void EntityItem::clearRowsForRead()
{
    // Reading replaces the rows only: no edge is deleted and no key row is added.
    clearActiveRow();
    rowOrderChanged();
    for (int row = int(attributes.size()) - 1; row >= 0; --row) {
        attributes.removeAt(row);
        if (row < nameItems.size())
            retireCell(nameItems.takeAt(row));
        if (row < typeItems.size())
            retireCell(typeItems.takeAt(row));
    }
    for (SingleLineTextItem *cell : qAsConst(nameItems))
        retireCell(cell);
    for (SingleLineTextItem *cell : qAsConst(typeItems))
        retireCell(cell);
    nameItems.clear();
    typeItems.clear();
}
