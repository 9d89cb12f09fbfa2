#include "textitem.h"

#include "annotationdrawing.h"
#include "annotationjson.h"
#include "erscene.h"
#include "singlelinetextitem.h"
#include "thememanager.h"

#include <QFontMetricsF>
#include <QGraphicsSceneMouseEvent>
#include <QJsonValue>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionGraphicsItem>
#include <QUuid>

#include <algorithm>
#include <cmath>

namespace {

constexpr qreal NoteZ = 1000;
constexpr qreal MaxFontPointSize = 1000;
const QPointF EditorOffset(4, 2);

} // namespace

TextItem::TextItem(const QString &text, QGraphicsItem *parent)
    : AnnotationItem(NoteZ, parent)
    , m_id(QUuid::createUuid().toString(QUuid::WithoutBraces))
    , m_text(text)
    , m_font(QStringLiteral("JetBrains Mono"))
    , m_colorLight(ThemeManager::lightColors().text)
    , m_colorDark(ThemeManager::darkColors().text)
{
    m_font.setPointSizeF(12);
    const QSizeF size = measure();
    m_width = size.width();
    m_height = size.height();
    connect(ThemeManager::instance(), &ThemeManager::themeChanged, this,
            [this] { onThemeChanged(); });
}

TextItem::~TextItem()
{
    closeEditor();
}

QRectF TextItem::boundingRect() const
{
    return rect().adjusted(-AnnotationMargin, -AnnotationMargin, AnnotationMargin,
                           AnnotationMargin);
}

QPainterPath TextItem::shape() const
{
    QPainterPath path;
    path.addRect(isSelected() ? boundingRect() : rect());
    return path;
}

QColor TextItem::textColor() const
{
    return ThemeManager::instance()->kind() == ThemeKind::Dark ? m_colorDark : m_colorLight;
}

QSizeF TextItem::measure() const
{
    const QFontMetricsF fm(m_font);
    const QString measured = m_text.isEmpty() ? QStringLiteral("Text") : m_text;
    return QSizeF(std::max<qreal>(fm.horizontalAdvance(measured) + 8, 24),
                  std::max<qreal>(fm.height() + 6, 16));
}

QRectF TextItem::textRect() const
{
    return rect().adjusted(4, 2, -4, -2);
}

void TextItem::growToFit()
{
    const QSizeF size = measure();
    m_width = std::max(size.width(), m_width);
    m_height = std::max(size.height(), m_height);
}

void TextItem::onThemeChanged()
{
    if (m_editor)
        m_editor->setDefaultTextColor(textColor());
    update();
}

void TextItem::setText(const QString &text)
{
    if (text == m_text)
        return;
    m_text = text;
    const QSizeF size = measure();
    if (size.width() > m_width || size.height() > m_height) {
        prepareGeometryChange();
        growToFit();
    }
    update();
}

void TextItem::setFont(const QFont &font)
{
    m_font = font;
    prepareGeometryChange();
    growToFit();
    if (m_editor)
        m_editor->setFont(m_font);
    update();
}

void TextItem::setColors(const QColor &colorLight, const QColor &colorDark)
{
    if (colorLight.isValid())
        m_colorLight = colorLight;
    if (colorDark.isValid())
        m_colorDark = colorDark;
    if (m_editor)
        m_editor->setDefaultTextColor(textColor());
    update();
}

void TextItem::setColor(const QColor &color)
{
    if (!color.isValid())
        return;
    if (ThemeManager::instance()->kind() == ThemeKind::Dark)
        m_colorDark = color;
    else
        m_colorLight = color;
    if (m_editor)
        m_editor->setDefaultTextColor(textColor());
    update();
}

void TextItem::setSize(const QSizeF &size)
{
    prepareGeometryChange();
    const QSizeF measured = measure();
    m_width = std::max(measured.width(), size.width());
    m_height = std::max(measured.height(), size.height());
    update();
}

void TextItem::setGeometry(const QRectF &rect)
{
    prepareGeometryChange();
    setPos(rect.topLeft());
    m_width = rect.width();
    m_height = rect.height();
    update();
}

void TextItem::paint(QPainter *painter, const QStyleOptionGraphicsItem *option,
                     QWidget *widget)
{
    const ThemePalette palette = ThemeManager::instance()->colors();
    // Without a widget the scene is being exported: no selection, text as outlines.
    const bool showSelected = widget && option && (option->state & QStyle::State_Selected);

    if (showSelected) {
        painter->save();
        painter->setPen(QPen(QBrush(palette.selection), 1.2, Qt::DashLine, Qt::SquareCap,
                             Qt::BevelJoin));
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(rect());
        painter->restore();
    }

    if (!m_editor && !m_text.isEmpty()) {
        if (widget) {
            painter->save();
            painter->setClipRect(rect(), Qt::IntersectClip);
            painter->setFont(m_font);
            painter->setPen(textColor());
            painter->drawText(textRect(), Qt::AlignLeft | Qt::AlignVCenter, m_text);
            painter->restore();
        } else {
            drawTextAsPath(painter, textRect(), m_font, m_text, textColor());
        }
    }

    if (showSelected)
        drawSelectionHandles(painter, rect(), palette.selection);
}

void TextItem::mouseDoubleClickEvent(QGraphicsSceneMouseEvent *event)
{
    startEditing();
    event->accept();
}

QSizeF TextItem::minimumResizeSize() const
{
    // Never smaller than the text needs.
    const QSizeF measured = measure();
    return QSizeF(std::max<qreal>(measured.width(), 16), std::max<qreal>(measured.height(), 12));
}

void TextItem::requestStyleDialog(ERScene *scene) const
{
    emit scene->textStyleDialogRequested();
}

SingleLineTextItem *TextItem::editor() const
{
    return m_editor;
}

void TextItem::startEditing()
{
    if (m_editor || !scene())
        return;
    auto *editor = new SingleLineTextItem(this);
    editor->setRowDragEnabled(false);
    editor->setFlag(ItemIsSelectable, false);
    editor->setPlainText(m_text);
    editor->setFont(m_font);
    editor->setDefaultTextColor(textColor());
    editor->setPos(EditorOffset);
    m_editor = editor;
    editor->beginEditing();
    update();
    // Every way of ending the edit commits; how it ended does not matter here.
    connect(editor, &SingleLineTextItem::editingFinished, this, [this] { finishEditing(); });
}

void TextItem::finishEditing()
{
    if (!m_editor)
        return;
    QString typed = m_editor->toPlainText();
    if (typed.trimmed().isEmpty())
        typed = QStringLiteral("Text");
    closeEditor();
    setText(typed);
    update();
}

void TextItem::closeEditor()
{
    if (!m_editor)
        return;
    SingleLineTextItem *editor = m_editor;
    m_editor = nullptr;
    disconnect(editor, nullptr, this, nullptr);
    editor->hide();
    editor->setParentItem(nullptr);
    editor->deleteLater();
    update();
}

QJsonObject TextItem::toJson() const
{
    QJsonObject o;
    o.insert(QStringLiteral("kind"), QStringLiteral("text-item"));
    o.insert(QStringLiteral("id"), m_id);
    o.insert(QStringLiteral("x"), pos().x());
    o.insert(QStringLiteral("y"), pos().y());
    o.insert(QStringLiteral("width"), m_width);
    o.insert(QStringLiteral("height"), m_height);
    o.insert(QStringLiteral("text"), m_text);
    o.insert(QStringLiteral("fontFamily"), m_font.family());
    o.insert(QStringLiteral("fontSize"), m_font.pointSizeF());
    o.insert(QStringLiteral("bold"), m_font.weight() > 500);
    o.insert(QStringLiteral("italic"), m_font.style() != QFont::StyleNormal);
    o.insert(QStringLiteral("underline"), m_font.underline());
    o.insert(QStringLiteral("colorLight"), annotationjson::writeColor(m_colorLight));
    o.insert(QStringLiteral("colorDark"), annotationjson::writeColor(m_colorDark));
    return o;
}

void TextItem::fromJson(const QJsonObject &o)
{
    using annotationjson::readColor;
    using annotationjson::readCoordinate;
    static const char who[] = "TextItem::fromJson()";

    const QJsonValue id = o.value(QStringLiteral("id"));
    if (id.isString())
        m_id = id.toString();

    setPos(readCoordinate(o, QStringLiteral("x"), pos().x(), who),
           readCoordinate(o, QStringLiteral("y"), pos().y(), who));

    const QJsonValue text = o.value(QStringLiteral("text"));
    if (text.isString())
        m_text = text.toString();

    // A size that is no finite number in (0, 1000] keeps the current one: huge values
    // overflow the rounding and blow up the glyph caches, zero or less would silently
    // give the toolkit's default.
    qreal pointSize = m_font.pointSizeF();
    const QJsonValue fontSize = o.value(QStringLiteral("fontSize"));
    if (fontSize.isDouble()) {
        const double size = fontSize.toDouble();
        if (std::isfinite(size) && size > 0 && size <= MaxFontPointSize)
            pointSize = size;
    }
    const QJsonValue family = o.value(QStringLiteral("fontFamily"));
    QFont font(family.isString() ? family.toString() : m_font.family());
    if (pointSize > 0)
        font.setPointSizeF(pointSize);
    font.setWeight(o.value(QStringLiteral("bold")).toBool(false) ? QFont::Bold : QFont::Normal);
    font.setStyle(o.value(QStringLiteral("italic")).toBool(false) ? QFont::StyleItalic
                                                                   : QFont::StyleNormal);
    font.setUnderline(o.value(QStringLiteral("underline")).toBool(false));
    m_font = font;

    if (o.contains(QStringLiteral("colorLight")) || o.contains(QStringLiteral("colorDark"))) {
        m_colorLight = readColor(o, QStringLiteral("colorLight"), m_colorLight);
        m_colorDark = readColor(o, QStringLiteral("colorDark"), m_colorDark);
    } else {
        const QColor legacy = readColor(o, QStringLiteral("color"), QColor());
        if (legacy.isValid()) {
            m_colorLight = legacy;
            m_colorDark = legacy;
        }
    }

    const double width = readCoordinate(o, QStringLiteral("width"), 0, who);
    const double height = readCoordinate(o, QStringLiteral("height"), 0, who);
    prepareGeometryChange();
    if (width > 0 && height > 0) {
        // Never narrower than the text: a stored size made with other font metrics (or by
        // hand) would cut the text off at the note's edge.
        const QSizeF measured = measure();
        m_width = std::max(measured.width(), width);
        m_height = std::max(measured.height(), height);
    } else {
        const QSizeF size = measure();
        m_width = size.width();
        m_height = size.height();
    }

    setZValue(NoteZ);
    update();
}
