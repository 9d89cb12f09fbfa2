#pragma once

#include "diagramitemtypes.h"
#include "entitycolorscheme.h"
#include "entityhost.h"

#include <QColor>
#include <QGraphicsObject>
#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QPair>
#include <QPointF>
#include <QPointer>
#include <QRectF>
#include <QString>
#include <QStringList>

QT_BEGIN_NAMESPACE
class QFont;
class QGraphicsScene;
QT_END_NAMESPACE

class EdgeItem;
class SingleLineTextItem;
class SlotItem;

// What an entity box shows: a table or a view taken from tables.
enum class EntityKind : int {
    Table = 0,
    View = 1
};

// Which rows an entity box shows. Any value other than 1, 2 or 3 counts as Full.
enum EntityPerspective : int {
    Full = 0,
    NamePrimaryForeign = 1,
    NamePrimary = 2,
    NameOnly = 3
};

// Key type of generated primary-key rows: the default key type of the scene's dialect
// when scene is a diagram scene, else of no dialect ("undefined").
QString defaultKeyTypeForScene(QObject *scene);

// The box that shows one table or view on the diagram: a rounded rectangle with a
// header band carrying the title and one row per column, each row a name cell and a
// type cell edited in place. Relationship edges attach to its connection slots.
class EntityItem : public QGraphicsObject, public EntityHost
{
    Q_OBJECT

public:
    enum { Type = DiagramItemType::EntityItem };

    // One attribute row.
    struct Attribute
    {
        QString name;
        QString type;
        bool isPrimaryKey = false;
        bool isUniqueKey = false;
        bool isForeignKey = false;
        QString fkEdgeId;      // edge that contributed the row (a view: its source link)
        bool isKey = false;    // primary or unique; derived, never stored
        bool inherited = false; // row a view takes from its source
        QString columnId;      // model column the row mirrors
        QString comment;       // kept from an imported file and written back; not drawn
    };

    EntityItem(const QString &title, const QSizeF &size);
    ~EntityItem() override;

    int type() const override { return Type; }
    QRectF boundingRect() const override;
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option,
               QWidget *widget) override;

    // --- identity and structure -------------------------------------------------------
    // The stored id; a box without one gets a fresh UUID on the first call and keeps it.
    QString id() const;
    const QString &title() const { return m_title; }
    void setTitle(const QString &title);
    void setKind(EntityKind kind);
    bool isView() const { return kind == EntityKind::View; }
    void setPerspective(int perspective);
    // "table_<n>" or "view_<n>" with the first number not taken in scene.
    QString defaultTitle(QGraphicsScene *scene, bool view) const;

    // --- row accessors (defaults out of range) -------------------------------------
    int attributeCount() const { return int(attributes.size()); }
    QString attributeName(int row) const;
    QString attributeType(int row) const;
    bool isAttributePrimaryKey(int row) const;
    bool isAttributeUniqueKey(int row) const;
    bool isAttributeForeignKey(int row) const;
    QString attributeFkEdgeId(int row) const;
    QString attributeColumnId(int row) const;
    void setAttributeColumnId(int row, const QString &columnId);
    bool isRowVisible(int row) const;
    int visibleRowCount() const;
    int rowIndexOfTextItem(SingleLineTextItem *item) const;

    // --- row operations ---------------------------------------------------------------
    void addAttributeRow(const QString &name, const QString &type, bool isPrimaryKey,
                         bool isUniqueKey, bool isForeignKey, bool inherited);
    void updateAttribute(int row, const QString &columnId, const QString &name,
                         const QString &type, bool isPrimaryKey, bool isUniqueKey,
                         bool isForeignKey);
    void renameAttribute(int row, const QString &name);
    void setAttributeType(int row, const QString &type);
    void setAttributeKeyFlags(int row, bool isPrimaryKey, bool isUniqueKey);
    void setAttributeForeignKey(int row, const QString &fkEdgeId);
    void markAttributeForeignKey(int row, const QString &fkEdgeId);
    void addForeignKeyAttribute(const QString &name, const QString &type,
                                const QString &fkEdgeId, const QString &suffix);
    void inheritAttributesFrom(EntityItem *source, const QString &edgeId);
    void removeAttribute(int row);
    bool removeAttributeOfTextItem(SingleLineTextItem *cell);
    void removeAttributeByName(const QString &name);
    void removeAttributes(const QString &fkEdgeId);
    void moveAttribute(int from, int to);
    void hideColumn(const QString &columnId);
    QList<QPair<QString, QString>> primaryKeyAttributes() const;
    void highlightEdgeAttributes(EdgeItem *edge, bool on);
    void addNewAttribute();
    // F2: edits the name of the last visible row, adding a row when there is none.
    void editLastVisibleAttribute();

    // Rows that belong to edge: its foreign-key (or inherited) rows.
    QList<int> foreignKeyRowsForEdge(EdgeItem *edge) const;
    // The type a foreign-key row should have: that of the key it references.
    QString referencedPrimaryKeyType(int row) const;
    void propagatePrimaryKeyType(int row);

    // --- names ------------------------------------------------------------------------
    static QString rightTrimmed(const QString &text);
    // A row name as a row keeps it: one line, as its cell shows it, without trailing blanks.
    static QString rowName(const QString &text);
    static bool isBlankText(const QString &text);
    static QString makeUniqueName(const QString &prefix, int n, const QStringList &names);
    // base without trailing blanks, or base_2, base_3, ... the first no row has.
    QString uniqueName(const QString &base) const;

    // --- layout -----------------------------------------------------------------------
    void relayout();
    void positionRows();
    void updateRowVisibility();
    void markLastVisibleRow();
    void applyRowFont(int row);
    int dropGapAt(const QPointF &localPos) const;

    // --- colours ----------------------------------------------------------------------
    void setColors(const EntityColorScheme &scheme, bool dark);
    void setColorScheme(const DualThemeColorScheme &scheme);
    EntityColorScheme themeColorScheme(bool dark) const;
    DualThemeColorScheme colorScheme() const;
    void applyTextColors();

    // --- focused row --------------------------------------------------------------------
    void markActiveRow(int row);
    void clearActiveRow();
    void activateRowOfCell(SingleLineTextItem *cell);

    // --- edges and connection slots -------------------------------------------------
    // Changes whenever any box moves, changes size or stacking, or joins or leaves a
    // scene: what was worked out from the boxes' places holds while it stays the same.
    static quint64 placesGeneration();
    void addEdge(EdgeItem *edge);
    void removeEdge(EdgeItem *edge);
    void updateEdges();
    void releaseSlot(SlotItem *slot);
    SlotItem *freeSlot();
    SlotItem *slotAt(EntitySide side, const QPointF &localPos);
    SlotItem *slotForScenePoint(const QPointF &scenePos);

    // --- menu, dialog, selection --------------------------------------------------------
    void openEditDialog();
    void requestRefreshFromModel();
    static QList<EntityItem *> selectedEntityItems(QGraphicsScene *scene);
    static bool selectionHasInnerEdges(QGraphicsScene *scene);

    // --- JSON -------------------------------------------------------------------------
    QJsonObject toJson() const;
    void fromJson(const QJsonObject &object);

    // --- what the cells and slots ask of their box ---------------------------------
    QRectF hostRect() const override;
    void onCellFocusChanged(SingleLineTextItem *cell, bool focusIn) override;
    void showContextMenu(const QPoint &screenPos, Qt::KeyboardModifiers modifiers) override;
    void selectEdgesOfRow(SingleLineTextItem *cell) override;
    void deselectEdgesOfRow(SingleLineTextItem *cell) override;

    // --- fields -------------------------------------------------------------------------
    QStringList hiddenColumns;
    QRectF rect;
    EntityKind kind = EntityKind::Table;
    int perspective = Full;
    QList<EdgeItem *> edges;
    QList<Attribute> attributes;
    SingleLineTextItem *titleText_ = nullptr;
    QList<SingleLineTextItem *> nameItems;
    QList<SingleLineTextItem *> typeItems;
    QColor bgLight;
    QColor fgLight;
    QColor bgDark;
    QColor fgDark;
    QColor hdrLight;
    QColor hdrDark;
    QColor txtLight;
    QColor txtDark;
    QList<SlotItem *> slotItems;
    int activeRow = -1;
    // Written directly by the scene loader and the main window; id() fills it when empty.
    mutable QString storedId;
    bool dragActive = false;
    int dragRow = -1;
    SingleLineTextItem *dragItem = nullptr;
    QPointF dragPos;
    int dropGap = -1;

signals:
    void titleChanged(const QString &title);
    void attributeEdited(int index, const QString &oldName, const QString &name,
                         const QString &type);
    void structureChanged();
    void refreshFromModelRequested();

public slots:
    void onAttributeEditingFinished(SingleLineTextItem *item, bool viaTab = false,
                                    bool viaBacktab = false);
    void onNewAttributeRequested();
    void onAttributeDragStarted(SingleLineTextItem *item, QPointF scenePos);
    void onAttributeDragMoved(const QPointF &localPos) override;
    void finishAttributeDrag() override;
    void onFkAttributeClicked(SingleLineTextItem *item);
    void onThemeChanged();

protected:
    QVariant itemChange(GraphicsItemChange change, const QVariant &value) override;
    void mousePressEvent(QGraphicsSceneMouseEvent *event) override;
    void mouseDoubleClickEvent(QGraphicsSceneMouseEvent *event) override;
    void mouseReleaseEvent(QGraphicsSceneMouseEvent *event) override;
    void mouseMoveEvent(QGraphicsSceneMouseEvent *event) override;
    bool sceneEvent(QEvent *event) override;

private:
    friend class LayoutDeferral;

    static QFont entityFont(bool bold);
    void onTitleEditingFinished(SingleLineTextItem *item);
    SingleLineTextItem *createCell(const QString &text, bool typeCell, bool foreignKey);
    void connectForeignKeyClicks(int row);
    void removeRowAt(int row);
    void retireCell(SingleLineTextItem *cell);
    void clearRowsForRead();
    void addKeyRowIfEmptyTable();
    int indexOfName(const QString &name, int exceptRow = -1) const;
    // Every change of a row's name or of the rows' order goes through here, so that the
    // look-up of rows by name is built again.
    void setRowName(int row, const QString &name);
    void rowOrderChanged();
    // Marks last (or no row, at -1) as the last visible row; only the cells that change
    // are touched.
    void markLastRow(int last);
    QString uniqueNameExcept(const QString &base, int exceptRow) const;
    QString defaultAttributeType(int row) const;
    void setRowType(int row, const QString &type);
    void walkAfterEdit(SingleLineTextItem *item, bool viaTab, bool viaBacktab);
    QList<EdgeItem *> edgesOfRow(SingleLineTextItem *cell) const;
    void deleteIncomingEdgesById(const QString &edgeId);
    void deleteIncomingEdgesByPrimaryKey(const QString &name, const QString &type);
    void deleteEdges(const QList<EdgeItem *> &candidates);
    void resetDragVisuals();
    QColor effectiveTextColor() const;
    qreal titleWidth() const;
    // (name, type) advance of each row's cells; 0 for hidden rows.
    QList<QPair<qreal, qreal>> cellWidths() const;
    void placeRows(const QList<QPair<qreal, qreal>> &widths);
    bool layoutDeferred() const { return m_layoutDeferral > 0; }
    static void placesChanged();

    QString m_title;
    // The first row of each name, built on the first look-up after the rows changed; a
    // table of many thousand columns would otherwise compare every name for each new row.
    mutable QHash<QString, int> m_rowOfName;
    mutable bool m_rowOfNameValid = false;
    // The cells marked as the last visible row.
    QPointer<SingleLineTextItem> m_lastNameCell;
    QPointer<SingleLineTextItem> m_lastTypeCell;
    // The text colour every cell has; new cells are made in it.
    QColor m_cellTextColor;
    int m_layoutDeferral = 0;
    bool m_layoutPending = false;
    bool m_batchModeStarted = false;
    bool m_destroying = false;
};
