#include "singlelinetextitem.h"

#include "annotationdrawing.h"
#include "dialectcatalog.h"
#include "entityhost.h"
#include "erscene.h"
#include "thememanager.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QCompleter>
#include <QCursor>
#include <QFontMetricsF>
#include <QGraphicsSceneMouseEvent>
#include <QGraphicsView>
#include <QGuiApplication>
#include <QHash>
#include <QThread>
#include <QKeyEvent>
#include <QLineF>
#include <QListView>
#include <QPainter>
#include <QPainterPath>
#include <QStringListModel>
#include <QStyleOptionGraphicsItem>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>

#include <algorithm>
#include <atomic>
#include <iterator>
#include <vector>
#include <climits>
#include <cmath>

namespace {

constexpr qreal RowDragThreshold = 5.0;
constexpr int MaxVisibleCompletions = 10;
constexpr int MinPopupWidth = 220;
// Line width that never wraps and never aligns: what measuring an unwrapped line needs.
constexpr qreal UnboundedLineWidth = INT_MAX / 256;

// What one unwrapped line of a text measures in a font. The natural width takes in the
// overhang of a slanted last glyph; the advance, what the row layout goes by, does not.
struct LineMeasure
{
    QSizeF size;
    qreal advance = 0.0;
};

// Measures are shared by text and font: the cells of a large diagram repeat a few texts
// ("id", "int") thousands of times, and shaping each again is most of building a box.
// Bounded, per thread, and dropped when the fonts on offer or the application font change,
// since either can change what a font resolves to.
class LineMeasures
{
public:
    LineMeasure measure(const QString &text, const QFont &font);

private:
    struct OfFont
    {
        QFont font;
        QHash<QString, LineMeasure> byText;
    };
    static constexpr qsizetype MaxTexts = 20000;
    static constexpr qsizetype MaxFonts = 32;
    std::vector<OfFont> m_fonts;
    qsizetype m_texts = 0;
    quint64 m_generation = 0;
};

std::atomic<quint64> s_fontGeneration{1};

// Sees the application font change, which the application receives as an event.
class ApplicationFontWatch : public QObject
{
public:
    using QObject::QObject;
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == qGuiApp && event->type() == QEvent::ApplicationFontChange)
            ++s_fontGeneration;
        return false;
    }
};

void followFontChanges()
{
    // Set up once, on the application's thread, where fonts change.
    static bool following = false;
    if (following || !qGuiApp || QThread::currentThread() != qGuiApp->thread())
        return;
    following = true;
    QObject::connect(qGuiApp, &QGuiApplication::fontDatabaseChanged, [] { ++s_fontGeneration; });
    qGuiApp->installEventFilter(new ApplicationFontWatch(qGuiApp));
}

LineMeasure layOutAndMeasure(const QString &text, const QFont &font);

LineMeasure LineMeasures::measure(const QString &text, const QFont &font)
{
    followFontChanges();
    const quint64 generation = s_fontGeneration.load();
    if (generation != m_generation || m_texts >= MaxTexts || m_fonts.size() >= MaxFonts) {
        m_fonts.clear();
        m_texts = 0;
        m_generation = generation;
    }
    auto of = std::find_if(m_fonts.begin(), m_fonts.end(),
                           [&font](const OfFont &entry) { return entry.font == font; });
    if (of == m_fonts.end()) {
        m_fonts.push_back({font, {}});
        of = std::prev(m_fonts.end());
    }
    const auto found = of->byText.constFind(text);
    if (found != of->byText.cend())
        return found.value();
    const LineMeasure measured = layOutAndMeasure(text, font);
    of->byText.insert(text, measured);
    ++m_texts;
    return measured;
}

LineMeasure measureLine(const QString &text, const QFont &font)
{
    thread_local LineMeasures measures;
    return measures.measure(text, font);
}

// Sets a flag for the lifetime of the scope and restores what it was.
class FlagScope
{
public:
    explicit FlagScope(bool &flag) : m_flag(flag), m_old(flag) { m_flag = true; }
    ~FlagScope() { m_flag = m_old; }
    FlagScope(const FlagScope &) = delete;
    FlagScope &operator=(const FlagScope &) = delete;

private:
    bool &m_flag;
    bool m_old;
};

bool isLineBreak(QChar c)
{
    switch (c.unicode()) {
    case u'\n':
    case u'\r':
    case 0x000B: // vertical tab
    case 0x000C: // form feed
    case 0x0085: // next line
    case 0x2028: // line separator
    case 0x2029: // paragraph separator, also what a new block of the document reads as
        return true;
    default:
        return false;
    }
}

// One line of text: tabs removed, every line break (a CR LF pair once) one blank.
// Returns false when the text was already one line without tabs.
bool toSingleLine(const QString &text, QString *result)
{
    bool changed = false;
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'\t') {
            changed = true;
        } else if (isLineBreak(c)) {
            changed = true;
            if (c == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n')
                ++i;
            out.append(u' ');
        } else if (c.unicode() == 0xFDD0 || c.unicode() == 0xFDD1) {
            // Frame markers of a pasted rich fragment carry no text.
            changed = true;
        } else {
            out.append(c);
        }
    }
    if (changed)
        *result = out;
    return changed;
}

} // namespace

QString singleLineText(const QString &text)
{
    QString result;
    return toSingleLine(text, &result) ? result : text;
}

namespace {

// Index one past the last character that is not white space; 0 for blank text.
qsizetype underlineEnd(const QString &text)
{
    qsizetype end = text.size();
    while (end > 0 && text.at(end - 1).isSpace())
        --end;
    return end;
}

bool isBackwardTab(const QKeyEvent *event)
{
    return event->key() == Qt::Key_Backtab
        || (event->key() == Qt::Key_Tab && (event->modifiers() & Qt::ShiftModifier));
}

bool isForwardTab(const QKeyEvent *event)
{
    if (isBackwardTab(event))
        return false;
    return event->key() == Qt::Key_Tab || event->text() == QLatin1String("\t");
}

// Events the base hands to its text control, which works on the document.
bool needsDocument(QEvent::Type type)
{
    switch (type) {
    case QEvent::FocusIn:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::InputMethod:
    case QEvent::GraphicsSceneMousePress:
    case QEvent::GraphicsSceneMouseDoubleClick:
    case QEvent::GraphicsSceneDragEnter:
    case QEvent::GraphicsSceneDrop:
        return true;
    default:
        return false;
    }
}

// Lays out the text of layout as one unwrapped line, width wide, at the origin: what the
// cell's document does with its single block.
QTextLine layOutOneLine(QTextLayout &layout, Qt::Alignment alignment, qreal width)
{
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    option.setAlignment(alignment);
    layout.setTextOption(option);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    line.setLineWidth(width);
    line.setPosition(QPointF(0.0, 0.0));
    layout.endLayout();
    return line;
}

LineMeasure layOutAndMeasure(const QString &text, const QFont &font)
{
    QTextLayout layout(text, font);
    const QTextLine line = layOutOneLine(layout, Qt::Alignment(), UnboundedLineWidth);
    return {QSizeF(line.naturalTextWidth(), line.height()), line.horizontalAdvance()};
}

bool isReturn(const QKeyEvent *event)
{
    return event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
}

} // namespace

QString adaptCompletionCase(const QString &word, const QString &typed)
{
    bool anyLetter = false;
    bool allUpper = true;
    bool allLower = true;
    for (const QChar c : typed) {
        if (!c.isLetter())
            continue;
        anyLetter = true;
        allUpper = allUpper && c.isUpper();
        allLower = allLower && c.isLower();
    }
    if (!anyLetter)
        return word;
    if (allUpper)
        return word.toUpper();
    if (allLower)
        return word.toLower();

    // Letter by letter; where the typed character is no letter, and past its end, the
    // case of the last typed letter carries on.
    QString out = word;
    bool upper = true;
    const qsizetype common = std::min(typed.size(), word.size());
    for (qsizetype i = 0; i < out.size(); ++i) {
        const QChar w = out.at(i);
        if (!w.isLetter())
            continue;
        if (i < common && typed.at(i).isLetter())
            upper = typed.at(i).isUpper();
        out[i] = upper ? w.toUpper() : w.toLower();
    }
    return out;
}

QRect completionPopupGeometry(const QPoint &topLeft, const QPoint &bottomLeft,
                              const QPoint &bottomRight, int completionCount, int rowHeight,
                              int frameWidth, const QSize &viewportSize)
{
    const int width = std::max(bottomRight.x() - topLeft.x(), MinPopupWidth);
    const int height = std::min(completionCount, MaxVisibleCompletions) * rowHeight + 2 * frameWidth;
    int x = bottomLeft.x();
    int y = bottomLeft.y() + 2;
    if (y + height > viewportSize.height())
        y = topLeft.y() - height - 2;
    if (x + width > viewportSize.width())
        x = viewportSize.width() - width;
    return QRect(std::max(x, 0), std::max(y, 0), width, height);
}

SingleLineTextItem::SingleLineTextItem(QGraphicsItem *parent)
    : QGraphicsTextItem(parent), m_textColor(QPalette().color(QPalette::Text))
{
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setFlag(ItemIsFocusable, true);
}

SingleLineTextItem::~SingleLineTextItem()
{
    m_editing = false;
    m_completionEnabled = false;
    releasePopup();
    if (m_completer)
        m_completer->setWidget(nullptr);
    if (m_hasDocument)
        QGraphicsTextItem::setTextInteractionFlags(Qt::NoTextInteraction);
    if (m_contentsConnection)
        disconnect(m_contentsConnection);
}

// ---- the document, made on first need ----

void SingleLineTextItem::createDocument()
{
    m_hasDocument = true;
    m_paintLayout.reset();
    {
        FlagScope guard(m_formatGuard);
        QGraphicsTextItem::setFont(m_font);
        QGraphicsTextItem::setDefaultTextColor(m_textColor);
        QGraphicsTextItem::setTextInteractionFlags(m_interactionFlags);
        applySingleLineLayout();
        QTextOption option = document()->defaultTextOption();
        option.setAlignment(m_alignment);
        document()->setDefaultTextOption(option);
        QGraphicsTextItem::setPlainText(m_text);
    }
    m_text.clear();
    m_contentsConnection = connect(document(), &QTextDocument::contentsChanged, this,
                                   &SingleLineTextItem::onContentsChanged, Qt::DirectConnection);
    m_formatDirty = true;
    applyTextFormat();
    invalidateBounds();
}

QTextDocument *SingleLineTextItem::document() const
{
    if (!m_hasDocument)
        const_cast<SingleLineTextItem *>(this)->createDocument();
    return QGraphicsTextItem::document();
}

QString SingleLineTextItem::toPlainText() const
{
    if (m_hasDocument)
        return QGraphicsTextItem::toPlainText();
    // As the document reads out its text: no-break spaces as plain ones.
    QString text = m_text;
    text.replace(QChar::Nbsp, u' ');
    return text;
}

QString SingleLineTextItem::rawText() const
{
    return m_hasDocument ? QGraphicsTextItem::document()->toRawText() : m_text;
}

void SingleLineTextItem::setPlainText(const QString &text)
{
    if (m_hasDocument) {
        QGraphicsTextItem::setPlainText(text);
        return;
    }
    if (!toSingleLine(text, &m_text))
        m_text = text;
    invalidateLineSize();
    invalidateBounds();
    update();
}

QString SingleLineTextItem::toHtml() const
{
    document();
    return QGraphicsTextItem::toHtml();
}

void SingleLineTextItem::setHtml(const QString &html)
{
    document();
    QGraphicsTextItem::setHtml(html);
}

QFont SingleLineTextItem::font() const
{
    return m_hasDocument ? QGraphicsTextItem::font() : m_font;
}

QColor SingleLineTextItem::defaultTextColor() const
{
    return m_hasDocument ? QGraphicsTextItem::defaultTextColor() : m_textColor;
}

void SingleLineTextItem::setDefaultTextColor(const QColor &color)
{
    if (m_hasDocument) {
        QGraphicsTextItem::setDefaultTextColor(color);
        return;
    }
    m_textColor = color;
    update();
}

Qt::TextInteractionFlags SingleLineTextItem::textInteractionFlags() const
{
    return m_hasDocument ? QGraphicsTextItem::textInteractionFlags() : m_interactionFlags;
}

void SingleLineTextItem::setTextInteractionFlags(Qt::TextInteractionFlags flags)
{
    if (m_hasDocument) {
        QGraphicsTextItem::setTextInteractionFlags(flags);
        return;
    }
    m_interactionFlags = flags;
    // What the base does to the item flags, so that a cell without a document still
    // takes focus.
    const GraphicsItemFlags textFlags = ItemIsFocusable | ItemAcceptsInputMethod;
    setFlags(flags == Qt::NoTextInteraction ? this->flags() & ~textFlags : this->flags() | textFlags);
}

QTextCursor SingleLineTextItem::textCursor() const
{
    document();
    return QGraphicsTextItem::textCursor();
}

void SingleLineTextItem::setTextCursor(const QTextCursor &cursor)
{
    document();
    QGraphicsTextItem::setTextCursor(cursor);
}

qreal SingleLineTextItem::textWidth() const
{
    return m_hasDocument ? QGraphicsTextItem::textWidth() : -1.0;
}

void SingleLineTextItem::setTextWidth(qreal width)
{
    document();
    QGraphicsTextItem::setTextWidth(width);
}

QSizeF SingleLineTextItem::lineSize() const
{
    if (!m_lineSizeValid) {
        const LineMeasure measure = measureLine(rawText(), font());
        m_lineSize = measure.size;
        m_lineAdvance = measure.advance;
        m_lineSizeValid = true;
    }
    return m_lineSize;
}

EntityHost *SingleLineTextItem::host() const
{
    return EntityHost::of(parentItem());
}

void SingleLineTextItem::applySingleLineLayout()
{
    QTextDocument *doc = QGraphicsTextItem::document();
    doc->setDocumentMargin(0.0);
    QTextOption option = doc->defaultTextOption();
    option.setWrapMode(QTextOption::NoWrap);
    doc->setDefaultTextOption(option);
    setTextWidth(-1.0);
}

void SingleLineTextItem::beginEditing()
{
    applySingleLineLayout();
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard
                            | Qt::TextEditable);
    setFocus(Qt::MouseFocusReason);
    m_editing = true;
    QTextCursor cursor = textCursor();
    cursor.select(QTextCursor::Document);
    setTextCursor(cursor);
    prepareCompleter();
    update();
}

void SingleLineTextItem::setAlignment(Qt::Alignment alignment)
{
    m_alignment = alignment;
    if (m_hasDocument) {
        QTextOption option = document()->defaultTextOption();
        option.setAlignment(alignment);
        document()->setDefaultTextOption(option);
    }
    invalidateBounds();
    update();
}

qreal SingleLineTextItem::naturalWidth() const
{
    lineSize();
    return m_lineAdvance;
}

qreal SingleLineTextItem::metricsAdvance() const
{
    const QString text = toPlainText();
    const QFont itemFont = font();
    if (m_metricsAdvance < 0.0 || text != m_metricsText || itemFont != m_metricsFont) {
        m_metricsAdvance = QFontMetricsF(itemFont).horizontalAdvance(text);
        m_metricsText = text;
        m_metricsFont = itemFont;
    }
    return m_metricsAdvance;
}

void SingleLineTextItem::setUnderlined(bool on)
{
    m_underlined = on;
    m_formatDirty = true;
    applyTextFormat();
    update();
}

void SingleLineTextItem::setFont(const QFont &font)
{
    invalidateLineSize();
    if (!m_hasDocument) {
        // The underline is the cell's own flag, never the font's.
        m_font = font;
        m_font.setUnderline(false);
        invalidateBounds();
        update();
        return;
    }
    QGraphicsTextItem::setFont(font);
    invalidateBounds();
    m_formatDirty = true;
    applyTextFormat();
}

void SingleLineTextItem::setPlaceholderText(const QString &text)
{
    m_placeholder = text;
    update();
}

void SingleLineTextItem::setHighlighted(bool on)
{
    m_highlighted = on;
    update();
}

void SingleLineTextItem::setFocusFrameVisible(bool on)
{
    m_focusFrameVisible = on;
    update();
}

void SingleLineTextItem::setRestingLook(bool on)
{
    m_restingLook = on;
    update();
}

void SingleLineTextItem::invalidateBounds()
{
    // Bounds no one has read since the last change were announced then, and whatever
    // keeps them (index, views, parent) reads them afresh; announcing again would only
    // shape the text to report a rectangle nothing has seen. A cell being built is set up
    // in several steps and is measured once.
    if (!m_boundsValid)
        return;
    prepareGeometryChange();
    m_boundsValid = false;
}

void SingleLineTextItem::onContentsChanged()
{
    if (m_formatGuard)
        return;

    QString singleLine;
    if (toSingleLine(document()->toRawText(), &singleLine)) {
        const int oldPosition = textCursor().position();
        {
            FlagScope guard(m_formatGuard);
            setPlainText(singleLine);
        }
        applySingleLineLayout();
        QTextCursor cursor = textCursor();
        cursor.setPosition(std::clamp(oldPosition, 0, int(singleLine.size())));
        setTextCursor(cursor);
    }

    m_formatDirty = true;
    applyTextFormat();
    invalidateLineSize();
    invalidateBounds();
    update();

    if (m_editing && m_completionEnabled && !m_insertingCompletion)
        updateCompletionPopup();
}

void SingleLineTextItem::applyTextFormat()
{
    // Without a document the cell paints its underline itself.
    if (m_formatGuard || !m_hasDocument)
        return;
    QTextDocument *doc = document();
    FlagScope guard(m_formatGuard);

    QFont itemFont = font();
    if (itemFont.underline()) {
        itemFont.setUnderline(false);
        QGraphicsTextItem::setFont(itemFont);
    }
    m_formattedFont = font();

    const QString text = toPlainText();
    if (!text.isEmpty()) {
        QTextCursor cursor(doc);
        cursor.select(QTextCursor::Document);
        QTextCharFormat plain;
        plain.setUnderlineStyle(QTextCharFormat::NoUnderline);
        cursor.mergeCharFormat(plain);
        const qsizetype end = underlineEnd(text);
        if (m_underlined && end > 0) {
            cursor.setPosition(0);
            cursor.setPosition(int(end), QTextCursor::KeepAnchor);
            QTextCharFormat underlined;
            underlined.setUnderlineStyle(QTextCharFormat::SingleUnderline);
            cursor.mergeCharFormat(underlined);
        }
    }
    m_formatDirty = false;
}

// ---- completion ----

bool SingleLineTextItem::isPopupVisible() const
{
    return m_popup && m_popup->isVisible();
}

void SingleLineTextItem::hidePopup()
{
    if (m_popup)
        m_popup->hide();
}

void SingleLineTextItem::releasePopup()
{
    if (!m_popup)
        return;
    // The popup stays with its viewport until the event loop deletes it.
    QListView *popup = m_popup.data();
    m_popup.clear();
    popup->hide();
    popup->disconnect(this);
    popup->setModel(nullptr);
    popup->deleteLater();
}

void SingleLineTextItem::prepareCompleter()
{
    if (!m_completionEnabled)
        return;
    const ERScene *erScene = qobject_cast<const ERScene *>(scene());
    const QStringList words = dataTypesForDialect(erScene ? erScene->dialect : QString());
    if (words.isEmpty()) {
        m_words.clear();
        if (m_wordModel)
            m_wordModel->setStringList({});
        hidePopup();
        return;
    }
    if (!m_completer) {
        m_completer = new QCompleter(this);
        m_completer->setCompletionMode(QCompleter::PopupCompletion);
        m_completer->setCaseSensitivity(Qt::CaseInsensitive);
        m_completer->setFilterMode(Qt::MatchStartsWith);
        m_completer->setMaxVisibleItems(MaxVisibleCompletions);
        m_completer->setWrapAround(true);
        m_wordModel = new QStringListModel(m_completer);
        m_completer->setModel(m_wordModel);
        connect(m_completer, qOverload<const QString &>(&QCompleter::activated), this,
                &SingleLineTextItem::insertCompletion);
    }
    m_words = words;
    m_wordModel->setStringList(words);
    if (m_popup)
        m_popup->setFont(font());
}

void SingleLineTextItem::updateCompletionPopup()
{
    if (!m_completionEnabled || !m_editing)
        return;
    prepareCompleter();
    if (!m_completer || !m_wordModel || m_words.isEmpty()) {
        hidePopup();
        return;
    }

    const QString typed = toPlainText().trimmed();
    QStringList adapted;
    adapted.reserve(m_words.size());
    for (const QString &word : std::as_const(m_words))
        adapted.append(adaptCompletionCase(word, typed));
    m_wordModel->setStringList(adapted);

    m_completer->setCompletionPrefix(typed);
    const int count = m_completer->completionCount();
    QAbstractItemModel *matches = m_completer->completionModel();
    if (count == 0) {
        hidePopup();
        return;
    }
    if (!typed.isEmpty() && count == 1
        && matches->index(0, 0).data().toString().compare(typed, Qt::CaseInsensitive) == 0) {
        hidePopup();
        return;
    }

    QGraphicsScene *itemScene = scene();
    QGraphicsView *view = itemScene && !itemScene->views().isEmpty() ? itemScene->views().constFirst()
                                                                     : nullptr;
    QWidget *viewport = view ? view->viewport() : nullptr;
    if (!viewport || !attachPopup(viewport)) {
        hidePopup();
        return;
    }
    placePopup(viewport);
    m_popup->raise();
    m_popup->show();
    if (matches->rowCount() > 0 && !m_popup->currentIndex().isValid())
        m_popup->setCurrentIndex(matches->index(0, 0));
}

bool SingleLineTextItem::attachPopup(QWidget *viewport)
{
    if (!m_popup) {
        m_popup = new QListView(viewport);
        m_popup->setModel(m_completer->completionModel());
        connect(m_popup.data(), &QAbstractItemView::clicked, this,
                [this](const QModelIndex &index) { insertCompletion(index.data().toString()); });
    } else if (m_popup->parentWidget() != viewport || m_popup->isWindow()) {
        m_popup->hide();
        m_popup->setParent(viewport, Qt::Widget);
    }
    m_popup->setAttribute(Qt::WA_ShowWithoutActivating, true);
    m_popup->setFocusPolicy(Qt::NoFocus);
    m_popup->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_popup->setSelectionMode(QAbstractItemView::SingleSelection);
    m_popup->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_popup->setFont(font());
    return true;
}

void SingleLineTextItem::placePopup(QWidget *viewport)
{
    const QGraphicsView *view = scene()->views().constFirst();
    const QRectF bounds = boundingRect();
    const QPoint topLeft = view->mapFromScene(mapToScene(bounds.topLeft()));
    const QPoint bottomLeft = view->mapFromScene(mapToScene(bounds.bottomLeft()));
    const QPoint bottomRight = view->mapFromScene(mapToScene(bounds.bottomRight()));
    int rowHeight = m_popup->sizeHintForRow(0);
    if (rowHeight <= 0)
        rowHeight = QFontMetrics(m_popup->font()).lineSpacing() + 4;
    m_popup->setGeometry(completionPopupGeometry(topLeft, bottomLeft, bottomRight,
                                                 m_completer->completionCount(), rowHeight,
                                                 m_popup->frameWidth(), viewport->size()));
}

bool SingleLineTextItem::cursorOverPopup() const
{
    if (!isPopupVisible())
        return false;
    const QPoint globalPos = QCursor::pos();
    if (m_popup->rect().contains(m_popup->mapFromGlobal(globalPos)))
        return true;
    QWidget *under = QApplication::widgetAt(globalPos);
    return under && (under == m_popup || m_popup->isAncestorOf(under));
}

void SingleLineTextItem::navigatePopup(QKeyEvent *event)
{
    const QAbstractItemModel *model = m_popup->model();
    const int rows = model ? model->rowCount() : 0;
    const QModelIndex current = m_popup->currentIndex();
    auto makeCurrent = [this](const QModelIndex &index) {
        if (index.isValid()) {
            m_popup->setCurrentIndex(index);
        } else {
            m_popup->selectionModel()->clear();
        }
    };
    // Up and Down wrap through "no entry" at either end of the list.
    if (rows > 0 && event->key() == Qt::Key_Up) {
        if (!current.isValid()) {
            makeCurrent(model->index(rows - 1, 0));
            return;
        }
        if (current.row() == 0) {
            makeCurrent(QModelIndex());
            return;
        }
    } else if (rows > 0 && event->key() == Qt::Key_Down) {
        if (!current.isValid()) {
            makeCurrent(model->index(0, 0));
            return;
        }
        if (current.row() == rows - 1) {
            makeCurrent(QModelIndex());
            return;
        }
    }
    QKeyEvent copy(event->type(), event->key(), event->modifiers(), event->text(),
                   event->isAutoRepeat(), ushort(event->count()));
    QCoreApplication::sendEvent(m_popup.data(), &copy);
}

void SingleLineTextItem::insertPopupChoice()
{
    if (!isPopupVisible())
        return;
    QModelIndex index = m_popup->currentIndex();
    const QAbstractItemModel *model = m_popup->model();
    if (!index.isValid() && model && model->rowCount() > 0)
        index = model->index(0, 0);
    if (index.isValid())
        insertCompletion(index.data().toString());
    else
        hidePopup();
}

void SingleLineTextItem::insertCompletion(const QString &text)
{
    if (text.isEmpty())
        return;
    {
        FlagScope guard(m_insertingCompletion);
        setPlainText(text);
    }
    QTextCursor cursor = textCursor();
    cursor.movePosition(QTextCursor::End);
    setTextCursor(cursor);
    hidePopup();
    invalidateBounds();
    update();
    setFocus(Qt::OtherFocusReason);
}

// ---- keys ----

void SingleLineTextItem::finish(Finish how)
{
    QPointer<SingleLineTextItem> self(this);
    if (how != Finish::Plain)
        hidePopup();
    bool &flag = how == Finish::Backtab ? m_finishingBacktab : m_finishingTab;
    flag = true;
    clearFocus();
    if (!self)
        return;
    emit editingFinished(this, how == Finish::Tab, how == Finish::Backtab);
    if (self)
        flag = false;
}

bool SingleLineTextItem::sceneEvent(QEvent *event)
{
    const QEvent::Type type = event->type();
    if (!m_hasDocument && needsDocument(type))
        createDocument();
    if (type == QEvent::ShortcutOverride || type == QEvent::KeyPress) {
        auto *keyEvent = static_cast<QKeyEvent *>(event);
        const bool backward = isBackwardTab(keyEvent);
        if (backward || isForwardTab(keyEvent)) {
            event->accept();
            if (type == QEvent::KeyPress) {
                if (backward) {
                    finish(Finish::Backtab);
                } else {
                    insertPopupChoice();
                    finish(Finish::Tab);
                }
            }
            return true;
        }
    }
    return QGraphicsTextItem::sceneEvent(event);
}

bool SingleLineTextItem::handlePopupKey(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Escape:
        hidePopup();
        return true;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (isBackwardTab(event)) {
            finish(Finish::Backtab);
            return true;
        }
        insertPopupChoice();
        if (event->key() == Qt::Key_Tab)
            finish(Finish::Tab);
        else if ((event->modifiers() & Qt::ShiftModifier) || m_lastRow)
            emit newAttributeRequested();
        else
            finish(Finish::Plain);
        return true;
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        navigatePopup(event);
        return true;
    default:
        return false;
    }
}

void SingleLineTextItem::handleKey(QKeyEvent *event)
{
    if (isBackwardTab(event)) {
        finish(Finish::Backtab);
    } else if (event->key() == Qt::Key_Tab) {
        finish(Finish::Tab);
    } else if (isReturn(event)) {
        hidePopup();
        if ((event->modifiers() & Qt::ShiftModifier) || m_lastRow)
            emit newAttributeRequested();
        else
            finish(Finish::Plain);
    } else if (event->key() == Qt::Key_Escape) {
        hidePopup();
        clearFocus();
    } else {
        QGraphicsTextItem::keyPressEvent(event);
        invalidateBounds();
        return;
    }
    event->accept();
}

void SingleLineTextItem::keyPressEvent(QKeyEvent *event)
{
    if (isPopupVisible() && handlePopupKey(event)) {
        event->accept();
        return;
    }
    handleKey(event);
}

// ---- focus ----

void SingleLineTextItem::focusInEvent(QFocusEvent *event)
{
    QPointer<SingleLineTextItem> self(this);
    if (EntityHost *entity = host())
        entity->onCellFocusChanged(this, true);
    if (self)
        QGraphicsTextItem::focusInEvent(event);
}

void SingleLineTextItem::focusOutEvent(QFocusEvent *event)
{
    if (cursorOverPopup()) {
        event->accept();
        return;
    }
    QPointer<SingleLineTextItem> self(this);
    m_editing = false;
    // One popup per cell edited would pile up in the viewport.
    releasePopup();
    if (textInteractionFlags() & Qt::TextEditable) {
        setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
        if (!m_finishingTab && !m_finishingBacktab)
            emit editingFinished(this, false, false);
        if (!self)
            return;
    }
    m_finishingTab = false;
    m_finishingBacktab = false;

    QTextCursor cursor = textCursor();
    cursor.clearSelection();
    setTextCursor(cursor);
    invalidateBounds();
    QGraphicsTextItem::focusOutEvent(event);
    if (EntityHost *entity = host())
        entity->onCellFocusChanged(this, false);
}

// ---- mouse ----

void SingleLineTextItem::mousePressEvent(QGraphicsSceneMouseEvent *event)
{
    if (event->button() == Qt::RightButton) {
        if (EntityHost *entity = host()) {
            event->accept();
            entity->showContextMenu(event->screenPos(), event->modifiers());
            return;
        }
    }
    if (m_rowDragEnabled && event->button() == Qt::LeftButton) {
        m_rowDragActive = false;
        m_pressPos = event->pos();
    }
    QGraphicsTextItem::mousePressEvent(event);
}

void SingleLineTextItem::mouseMoveEvent(QGraphicsSceneMouseEvent *event)
{
    if (m_rowDragEnabled && (event->buttons() & Qt::LeftButton)) {
        if (m_rowDragActive) {
            if (EntityHost *entity = host())
                entity->onAttributeDragMoved(mapToParent(event->pos()));
            event->accept();
            return;
        }
        if (QLineF(m_pressPos, event->pos()).length() > RowDragThreshold) {
            m_rowDragActive = true;
            setCursor(Qt::ClosedHandCursor);
            emit dragStarted(this, mapToScene(event->pos()));
            event->accept();
            return;
        }
    }
    QGraphicsTextItem::mouseMoveEvent(event);
}

void SingleLineTextItem::mouseReleaseEvent(QGraphicsSceneMouseEvent *event)
{
    if (m_rowDragEnabled && m_rowDragActive) {
        m_rowDragActive = false;
        unsetCursor();
        if (EntityHost *entity = host())
            entity->finishAttributeDrag();
        event->accept();
        return;
    }
    QGraphicsTextItem::mouseReleaseEvent(event);
}

void SingleLineTextItem::mouseDoubleClickEvent(QGraphicsSceneMouseEvent *event)
{
    beginEditing();
    QGraphicsTextItem::mouseDoubleClickEvent(event);
}

QVariant SingleLineTextItem::itemChange(GraphicsItemChange change, const QVariant &value)
{
    if (change == ItemSelectedHasChanged) {
        if (EntityHost *entity = host()) {
            if (value.toBool())
                entity->selectEdgesOfRow(this);
            else
                entity->deselectEdgesOfRow(this);
        }
    }
    return QGraphicsTextItem::itemChange(change, value);
}

// ---- geometry and painting ----

QRectF SingleLineTextItem::boundingRect() const
{
    if (!m_boundsValid) {
        const QFontMetricsF metrics(font());
        const QRectF own(-2.0, -2.0, naturalWidth() + 4.0, metrics.height() + 4.0);
        const QRectF text = m_hasDocument ? QGraphicsTextItem::boundingRect()
                                          : QRectF(QPointF(0.0, 0.0), lineSize());
        m_bounds = own.united(text.adjusted(-2.0, -2.0, 2.0, 2.0));
        m_boundsValid = true;
    }
    return m_bounds;
}

QPainterPath SingleLineTextItem::shape() const
{
    if (m_hasDocument)
        return QGraphicsTextItem::shape();
    QPainterPath path;
    path.addRect(QRectF(QPointF(0.0, 0.0), lineSize()));
    return path;
}

bool SingleLineTextItem::contains(const QPointF &point) const
{
    if (m_hasDocument)
        return QGraphicsTextItem::contains(point);
    return QRectF(QPointF(0.0, 0.0), lineSize()).contains(point);
}

void SingleLineTextItem::paint(QPainter *painter, const QStyleOptionGraphicsItem *option,
                               QWidget *widget)
{
    if (m_hasDocument && (m_formatDirty || font() != m_formattedFont))
        applyTextFormat();

    if (m_restingLook) {
        paintWithoutDocument(painter);
        return;
    }

    const QRectF bounds = boundingRect();
    if (m_highlighted)
        painter->fillRect(bounds, QColor(0, 120, 215, 100));

    if (!option && !m_editing) {
        paintDirectly(painter);
        return;
    }

    if (toPlainText().isEmpty() && !m_editing && !m_placeholder.isEmpty()) {
        painter->save();
        painter->setPen(Qt::gray);
        painter->setFont(font());
        painter->drawText(bounds, Qt::AlignLeft | Qt::AlignVCenter, m_placeholder);
        painter->restore();
    }

    // The base painting needs an option; an editor painted directly gets a plain one.
    QStyleOptionGraphicsItem fallback;
    if (!option) {
        fallback.exposedRect = bounds;
        fallback.rect = bounds.toAlignedRect();
    }
    if (!m_hasDocument)
        paintWithoutDocument(painter);
    // Without a document the base only draws the selection and focus outline.
    QGraphicsTextItem::paint(painter, option ? option : &fallback, widget);

    if (m_focusFrameVisible && option) {
        painter->save();
        QPen pen(ThemeManager::instance()->colors().accent, 1.5);
        pen.setJoinStyle(Qt::RoundJoin);
        painter->setPen(pen);
        painter->setBrush(Qt::NoBrush);
        painter->drawRoundedRect(bounds.adjusted(1.0, 1.0, -1.0, -1.0), 2.0, 2.0);
        painter->restore();
    }
}

void SingleLineTextItem::paintWithoutDocument(QPainter *painter) const
{
    // The cell's text as it stands; a cell with a document is painted so for an export.
    const QString text = rawText();
    const QFont textFont = font();
    if (text.isEmpty())
        return;
    // The document's frame is as wide as the natural line, which shifts a right-aligned
    // slanted text by its overhang.
    const qreal width = lineSize().width();
    if (!m_paintLayout || m_paintLayout->text() != text || m_paintLayout->font() != textFont
        || m_paintLayoutUnderlined != m_underlined || m_paintLayoutAlignment != m_alignment
        || m_paintLayoutWidth != width) {
        m_paintLayout = std::make_unique<QTextLayout>(text, textFont);
        const qsizetype end = underlineEnd(text);
        if (m_underlined && end > 0) {
            QTextLayout::FormatRange range;
            range.start = 0;
            range.length = int(end);
            range.format.setUnderlineStyle(QTextCharFormat::SingleUnderline);
            m_paintLayout->setFormats({range});
        }
        layOutOneLine(*m_paintLayout, m_alignment, width);
        m_paintLayoutUnderlined = m_underlined;
        m_paintLayoutAlignment = m_alignment;
        m_paintLayoutWidth = width;
    }
    painter->save();
    painter->setPen(defaultTextColor());
    m_paintLayout->draw(painter, QPointF(0.0, 0.0));
    painter->restore();
}

void SingleLineTextItem::paintDirectly(QPainter *painter)
{
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, true);
    const QString text = toPlainText();
    const QColor color = defaultTextColor();
    if (!text.isEmpty()) {
        bool syntheticBold = false;
        bool syntheticItalic = false;
        const QFont drawingFont = resolvedFont(font(), &syntheticBold, &syntheticItalic);
        const QFontMetricsF metrics(drawingFont);
        const qreal ascent = metrics.ascent();
        QPainterPath path;
        path.addText(QPointF(0.0, ascent), drawingFont, text);
        if (syntheticItalic) {
            QTransform shear;
            shear.translate(0.0, ascent);
            shear.shear(-0.3, 0.0);
            shear.translate(0.0, -ascent);
            path = shear.map(path);
        }
        qreal offset = 0.0;
        if (m_alignment & Qt::AlignRight) {
            const qreal shift = QFontMetricsF(font()).horizontalAdvance(text)
                - path.boundingRect().right();
            if (std::abs(shift) > 1e-12) {
                offset = shift;
                path.translate(shift, 0.0);
            }
        }
        drawGlyphPath(painter, path, drawingFont, color, syntheticBold);

        const QString underlined = text.left(underlineEnd(text));
        if (m_underlined && !underlined.isEmpty()) {
            const qreal y = ascent + metrics.underlinePos();
            painter->setPen(QPen(color, std::max(metrics.lineWidth(), 1.0)));
            painter->drawLine(QPointF(offset, y),
                              QPointF(offset + metrics.horizontalAdvance(underlined), y));
        }
    } else if (!m_placeholder.isEmpty()) {
        QFont placeholderFont = font();
        placeholderFont.setItalic(false);
        painter->setFont(placeholderFont);
        painter->setPen(Qt::gray);
        painter->drawText(QPointF(0.0, QFontMetricsF(placeholderFont).ascent()), m_placeholder);
    }
    painter->restore();
}
