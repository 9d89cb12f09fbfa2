#pragma once

#include "diagramitemtypes.h"

#include <QGraphicsTextItem>
#include <QListView>
#include <QPointer>
#include <QRect>
#include <QTextCursor>

#include <memory>

QT_BEGIN_NAMESPACE
class QCompleter;
class QKeyEvent;
class QStringListModel;
class QTextDocument;
class QTextLayout;
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

// The editor's one-line rule, what a cell shows of any text: tabs removed, every line
// break (a CR LF pair once) one blank, the frame markers of pasted rich text removed.
QString singleLineText(const QString &text);

// One-line text of the canvas, edited in place: entity titles and cells, and the
// temporary editors of notes and group titles. Reports how editing ended, offers the
// data types of the scene's dialect, and starts row drags for its entity box.
class SingleLineTextItem : public QGraphicsTextItem
{
    Q_OBJECT

public:
    // A type code of its own: the QGraphicsTextItem members the cell hides below are not
    // virtual, so code that took a cell for a plain text item would read an empty text and
    // the default font. Scene-wide code asks for SingleLineTextItem instead.
    enum { Type = DiagramItemType::SingleLineTextItem };

    explicit SingleLineTextItem(QGraphicsItem *parent = nullptr);
    ~SingleLineTextItem() override;

    int type() const override { return Type; }

    void beginEditing();
    bool isEditing() const { return m_editing; }

    void setAlignment(Qt::Alignment alignment);
    Qt::Alignment alignment() const { return m_alignment; }
    // Advance of the plain text in the item's font.
    qreal naturalWidth() const;
    // The plain text's advance as the item's font metrics give it, kept while the text and
    // the font stay the same: a box places its title by it at every layout pass.
    qreal metricsAdvance() const;

    // Underlines the text up to its last non-blank character.
    void setUnderlined(bool on);
    bool isUnderlined() const { return m_underlined; }

    // A cell that is only shown keeps its text, font, colour and interaction flags here
    // and paints them itself: a text document per cell costs kilobytes and several text
    // shapings, and a diagram holds tens of thousands of cells. The document is made when
    // the cell is focused, clicked, edited or asked for it, and kept from then on. These
    // hide the QGraphicsTextItem members of the same names (not virtual) for that reason.
    bool hasDocument() const { return m_hasDocument; }
    QTextDocument *document() const;
    QString toPlainText() const;
    void setPlainText(const QString &text);
    QString toHtml() const;
    void setHtml(const QString &html);
    QFont font() const;
    // Also keeps the bounds and the text format in step with the font; a font set
    // through the base is caught at the next paint.
    void setFont(const QFont &font);
    QColor defaultTextColor() const;
    void setDefaultTextColor(const QColor &color);
    Qt::TextInteractionFlags textInteractionFlags() const;
    void setTextInteractionFlags(Qt::TextInteractionFlags flags);
    QTextCursor textCursor() const;
    void setTextCursor(const QTextCursor &cursor);
    qreal textWidth() const;
    void setTextWidth(qreal width);

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
    // Paints only the text, as a cell at rest, whatever its focus, edit or marks: for a
    // rendering of the scene that leaves the screen's state out. Changes no state.
    void setRestingLook(bool on);
    bool hasRestingLook() const { return m_restingLook; }
    void setCompletionEnabled(bool on) { m_completionEnabled = on; }
    bool isCompletionEnabled() const { return m_completionEnabled; }

    // The completion list, an embedded child of the viewport of the scene's first view;
    // null before it is first needed, once editing ends and after that viewport is gone.
    QListView *completionPopup() const { return m_popup.data(); }
    QCompleter *completer() const { return m_completer; }

    QRectF boundingRect() const override;
    QPainterPath shape() const override;
    bool contains(const QPointF &point) const override;
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
    // Takes the popup out of its viewport for good; the next edit makes a new one.
    void releasePopup();
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
    // Draws the text as the document would: same layout, same pixels.
    void paintWithoutDocument(QPainter *painter) const;
    void createDocument();
    // Natural width and height of the one laid-out line of the text in the item's font;
    // also measures the advance naturalWidth() gives.
    QSizeF lineSize() const;
    // The text as laid out, no-break spaces and all.
    QString rawText() const;
    void invalidateLineSize() { m_lineSizeValid = false; }

    // The line as last painted without a document, kept until its text, font, underline,
    // alignment or width changes: laying it out and shaping it again at every paint
    // costs more than drawing it.
    mutable std::unique_ptr<QTextLayout> m_paintLayout;
    mutable bool m_paintLayoutUnderlined = false;
    mutable Qt::Alignment m_paintLayoutAlignment;
    mutable qreal m_paintLayoutWidth = -1.0;
    mutable QRectF m_bounds;
    mutable bool m_boundsValid = false;
    mutable QSizeF m_lineSize;
    mutable qreal m_lineAdvance = 0.0;
    mutable bool m_lineSizeValid = false;
    mutable QString m_metricsText;
    mutable QFont m_metricsFont;
    mutable qreal m_metricsAdvance = -1.0;
    // What the document holds once it exists; until then the cell's own state.
    bool m_hasDocument = false;
    QString m_text;
    QFont m_font;
    QColor m_textColor;
    Qt::TextInteractionFlags m_interactionFlags = Qt::NoTextInteraction;
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
    bool m_restingLook = false;
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
