#pragma once

#include <QGraphicsTextItem>
#include <QListView>
#include <QPointer>
#include <QRect>

QT_BEGIN_NAMESPACE
class QCompleter;
class QKeyEvent;
class QStringListModel;
QT_END_NAMESPACE

class EntityHost;

// The completion word rewritten after the letter case of what the user typed: all
// upper or all lower when the typed letters are, letter by letter otherwise; unchanged
// when nothing typed is a letter.
QString adaptCompletionCase(const QString &word, const QString &typed);

// Where the completion list goes in the viewport, from the item's corners in viewport
// pixels: below the item, above it when it would leave the bottom, shifted left when it
// would leave the right edge, never at a negative coordinate.
QRect completionPopupGeometry(const QPoint &topLeft, const QPoint &bottomLeft,
                              const QPoint &bottomRight, int completionCount, int rowHeight,
                              int frameWidth, const QSize &viewportSize);

// One-line text of the canvas, edited in place: entity titles and cells, and the
// temporary editors of notes and group titles. Reports how editing ended, offers the
// data types of the scene's dialect, and starts row drags for its entity box.
class SingleLineTextItem : public QGraphicsTextItem
{
    Q_OBJECT

public:
    explicit SingleLineTextItem(QGraphicsItem *parent = nullptr);
    ~SingleLineTextItem() override;

    void beginEditing();
    bool isEditing() const { return m_editing; }

    void setAlignment(Qt::Alignment alignment);
    Qt::Alignment alignment() const { return m_alignment; }
    // Advance of the plain text in the item's font.
    qreal naturalWidth() const;

    // Underlines the text up to its last non-blank character.
    void setUnderlined(bool on);
    bool isUnderlined() const { return m_underlined; }

    // Hides QGraphicsTextItem::setFont (not virtual) so the bounds and the text format
    // follow a new font; a font set through the base is caught at the next paint.
    void setFont(const QFont &font);

    void setLastRow(bool on) { m_lastRow = on; }
    bool isLastRow() const { return m_lastRow; }
    void setPlaceholderText(const QString &text);
    QString placeholderText() const { return m_placeholder; }
    void setRowDragEnabled(bool on) { m_rowDragEnabled = on; }
    bool isRowDragEnabled() const { return m_rowDragEnabled; }
    bool isRowDragActive() const { return m_rowDragActive; }
    void setHighlighted(bool on);
    bool isHighlighted() const { return m_highlighted; }
    void setFocusFrameVisible(bool on);
    bool isFocusFrameVisible() const { return m_focusFrameVisible; }
    void setCompletionEnabled(bool on) { m_completionEnabled = on; }
    bool isCompletionEnabled() const { return m_completionEnabled; }

    // The completion list, an embedded child of the viewport of the scene's first view;
    // null before it is first needed and after that viewport is gone.
    QListView *completionPopup() const { return m_popup.data(); }
    QCompleter *completer() const { return m_completer; }

    QRectF boundingRect() const override;
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option,
               QWidget *widget = nullptr) override;

signals:
    void editingFinished(SingleLineTextItem *who, bool viaTab = false, bool viaBacktab = false);
    void newAttributeRequested();
    void dragStarted(SingleLineTextItem *who, QPointF scenePos);
    void fkAttributeClicked(SingleLineTextItem *who);

protected:
    bool sceneEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void mousePressEvent(QGraphicsSceneMouseEvent *event) override;
    void mouseMoveEvent(QGraphicsSceneMouseEvent *event) override;
    void mouseReleaseEvent(QGraphicsSceneMouseEvent *event) override;
    void mouseDoubleClickEvent(QGraphicsSceneMouseEvent *event) override;
    QVariant itemChange(GraphicsItemChange change, const QVariant &value) override;

private:
    enum class Finish { Plain, Tab, Backtab };

    EntityHost *host() const;
    void applySingleLineLayout();
    void onContentsChanged();
    void applyTextFormat();
    void invalidateBounds();

    bool isPopupVisible() const;
    void hidePopup();
    void prepareCompleter();
    void updateCompletionPopup();
    bool attachPopup(QWidget *viewport);
    void placePopup(QWidget *viewport);
    bool cursorOverPopup() const;
    void navigatePopup(QKeyEvent *event);
    // Inserts the popup's current entry, or its first one when none is current.
    void insertPopupChoice();
    void insertCompletion(const QString &text);

    void finish(Finish how);
    bool handlePopupKey(QKeyEvent *event);
    void handleKey(QKeyEvent *event);

    void paintDirectly(QPainter *painter);

    mutable QRectF m_bounds;
    mutable bool m_boundsValid = false;
    QMetaObject::Connection m_contentsConnection;
    bool m_lastRow = false;
    QString m_placeholder;
    bool m_editing = false;
    bool m_finishingTab = false;
    bool m_finishingBacktab = false;
    bool m_rowDragEnabled = false;
    bool m_rowDragActive = false;
    QPointF m_pressPos;
    bool m_highlighted = false;
    bool m_focusFrameVisible = false;
    bool m_underlined = false;
    bool m_formatGuard = false;
    // Set when the text, the underline flag or the font changed and the character
    // formats still have to follow; painting never rewrites a clean document.
    bool m_formatDirty = true;
    QFont m_formattedFont;
    Qt::Alignment m_alignment = Qt::AlignLeft;
    bool m_completionEnabled = false;
    bool m_insertingCompletion = false;
    QCompleter *m_completer = nullptr;
    QStringListModel *m_wordModel = nullptr;
    QStringList m_words;
    // Owned by the viewport it sits in, which may go before the item does.
    QPointer<QListView> m_popup;
};
