#include "groupitem.h"

#include "annotationdrawing.h"
#include "annotationjson.h"
#include "erscene.h"
#include "singlelinetextitem.h"
#include "thememanager.h"

#include <QFontMetricsF>
#include <QGraphicsScene>
#include <QGraphicsSceneMouseEvent>
#include <QJsonValue>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionGraphicsItem>
#include <QUuid>

#include <algorithm>

namespace {

constexpr qreal FrameZ = -1000;
constexpr qreal EditorZ = 1000;
constexpr qreal CornerRadius = 2.0;
const QPointF TitleOrigin(8, 4);

QColor withAlpha(QColor color, int alpha)
{
    color.setAlpha(alpha);
    return color;
}

} // namespace

GroupItem::GroupItem(const QString &title, const QSizeF &size, QGraphicsItem *parent)
    : AnnotationItem(FrameZ, parent)
    , m_id(QUuid::createUuid().toString(QUuid::WithoutBraces))
    , m_title(title)
    , m_titleFont(QStringLiteral("JetBrains Mono"))
    , m_size(size)
{
    m_titleFont.setPointSizeF(10);
    m_titleFont.setWeight(QFont::Bold);
    const ThemePalette light = ThemeManager::lightColors();
    const ThemePalette dark = ThemeManager::darkColors();
    m_fillLight = withAlpha(light.surface, 90);
    m_borderLight = light.border;
    m_textColorLight = light.text;
    m_fillDark = withAlpha(dark.surface, 90);
    m_borderDark = dark.border;
    m_textColorDark = dark.text;
    m_titleRect = measureTitleRect();

    connect(ThemeManager::instance(), &ThemeManager::themeChanged, this,
            [this] { onThemeChanged(); });
}

GroupItem::~GroupItem()
{
    closeTitleEditor();
}

QRectF GroupItem::boundingRect() const
{
    // The title may be wider than the frame; it is neither elided nor clipped, so the
    // bounding rectangle covers it too and a moved frame leaves no trace of it.
    return rect().united(m_titleRect).adjusted(-AnnotationMargin, -AnnotationMargin,
                                                AnnotationMargin, AnnotationMargin);
}

QPainterPath GroupItem::shape() const
{
    const QRectF r = isSelected() ? rect().adjusted(-AnnotationMargin, -AnnotationMargin,
                                                    AnnotationMargin, AnnotationMargin)
                                  : rect();
    QPainterPath path;
    path.addRoundedRect(r, CornerRadius, CornerRadius);
    return path;
}

bool GroupItem::isDark() const
{
    return ThemeManager::instance()->kind() == ThemeKind::Dark;
}

QColor GroupItem::fillColor() const
{
    return isDark() ? m_fillDark : m_fillLight;
}

QColor GroupItem::borderColor() const
{
    return isDark() ? m_borderDark : m_borderLight;
}

QColor GroupItem::textColor() const
{
    return isDark() ? m_textColorDark : m_textColorLight;
}

QRectF GroupItem::measureTitleRect() const
{
    const QFontMetricsF fm(m_titleFont);
    const QString measured = m_title.isEmpty() ? QStringLiteral("Group") : m_title;
    return QRectF(TitleOrigin.x(), TitleOrigin.y(),
                  std::max<qreal>(fm.horizontalAdvance(measured) + 8, 40),
                  std::max<qreal>(fm.height() + 2, 16));
}

QRectF GroupItem::titleClickArea() const
{
    return m_titleRect.adjusted(-4, -4, 8, 4);
}

void GroupItem::onThemeChanged()
{
    if (m_titleEditor)
        m_titleEditor->setDefaultTextColor(textColor());
    update();
}

void GroupItem::setTitle(const QString &title)
{
    // The bounding rectangle follows the title's width.
    prepareGeometryChange();
    m_title = title;
    m_titleRect = measureTitleRect();
    update();
}

void GroupItem::setFillColor(const QColor &color)
{
    if (!color.isValid())
        return;
    (isDark() ? m_fillDark : m_fillLight) = color;
    update();
}

void GroupItem::setBorderColor(const QColor &color)
{
    if (!color.isValid())
        return;
    (isDark() ? m_borderDark : m_borderLight) = color;
    update();
}

void GroupItem::setTextColor(const QColor &color)
{
    if (!color.isValid())
        return;
    (isDark() ? m_textColorDark : m_textColorLight) = color;
    if (m_titleEditor)
        m_titleEditor->setDefaultTextColor(textColor());
    update();
}

void GroupItem::setColors(const QColor &fillLight, const QColor &borderLight,
                          const QColor &textColorLight, const QColor &fillDark,
                          const QColor &borderDark, const QColor &textColorDark)
{
    auto take = [](QColor &member, const QColor &color) {
        if (color.isValid())
            member = color;
    };
    take(m_fillLight, fillLight);
    take(m_borderLight, borderLight);
    take(m_textColorLight, textColorLight);
    take(m_fillDark, fillDark);
    take(m_borderDark, borderDark);
    take(m_textColorDark, textColorDark);
    if (m_titleEditor)
        m_titleEditor->setDefaultTextColor(textColor());
    update();
}

void GroupItem::setSize(const QSizeF &size)
{
    prepareGeometryChange();
    m_size = QSizeF(std::max(MinimumWidth, size.width()), std::max(MinimumHeight, size.height()));
    update();
}

void GroupItem::setGeometry(const QRectF &rect)
{
    prepareGeometryChange();
    setPos(rect.topLeft());
    m_size = QSizeF(std::max(MinimumWidth, rect.width()), std::max(MinimumHeight, rect.height()));
    update();
}

void GroupItem::paint(QPainter *painter, const QStyleOptionGraphicsItem *option,
                      QWidget *widget)
{
    const ThemePalette palette = ThemeManager::instance()->colors();
    // Without a widget the scene is being exported: no selection, title as outlines.
    const bool showSelected = widget && option && (option->state & QStyle::State_Selected);

    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, true);
    painter->setPen(QPen(QBrush(showSelected ? palette.selection : borderColor()),
                         showSelected ? 2.0 : 1.5, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
    painter->setBrush(QBrush(fillColor()));
    painter->drawRoundedRect(rect(), CornerRadius, CornerRadius);

    if (!m_titleEditor && !m_title.isEmpty()) {
        if (widget) {
            painter->setFont(m_titleFont);
            painter->setPen(textColor());
            painter->drawText(m_titleRect, Qt::AlignLeft | Qt::AlignVCenter, m_title);
        } else {
            drawTextAsPath(painter, m_titleRect, m_titleFont, m_title, textColor());
        }
    }
    painter->restore();

    if (showSelected)
        drawSelectionHandles(painter, rect(), palette.selection);
}

void GroupItem::mouseDoubleClickEvent(QGraphicsSceneMouseEvent *event)
{
    if (titleClickArea().contains(event->pos()))
        startTitleEditing();
    event->accept();
}

QSizeF GroupItem::minimumResizeSize() const
{
    return QSizeF(MinimumWidth, MinimumHeight);
}

void GroupItem::requestStyleDialog(ERScene *scene) const
{
    emit scene->groupStyleDialogRequested();
}

SingleLineTextItem *GroupItem::titleEditor() const
{
    return m_titleEditor;
}

void GroupItem::startTitleEditing()
{
    if (m_titleEditor || !scene())
        return;
    auto *editor = new SingleLineTextItem(nullptr);
    editor->setRowDragEnabled(false);
    editor->setFlag(ItemIsSelectable, false);
    editor->setZValue(EditorZ);
    editor->setPlainText(m_title);
    editor->setFont(m_titleFont);
    editor->setDefaultTextColor(textColor());
    editor->setPos(mapToScene(TitleOrigin));
    scene()->addItem(editor);
    m_titleEditor = editor;
    editor->beginEditing();
    update();
    // Every way of ending the edit commits; how it ended does not matter here.
    connect(editor, &SingleLineTextItem::editingFinished, this,
            [this] { finishTitleEditing(); });
}

void GroupItem::finishTitleEditing()
{
    if (!m_titleEditor)
        return;
    QString typed = m_titleEditor->toPlainText();
    if (typed.trimmed().isEmpty())
        typed = QStringLiteral("Group");
    closeTitleEditor();
    setTitle(typed);
}

void GroupItem::closeTitleEditor()
{
    // Already gone (for example deleted by a scene clear): nothing to close.
    if (!m_titleEditor)
        return;
    SingleLineTextItem *editor = m_titleEditor;
    m_titleEditor = nullptr;
    disconnect(editor, nullptr, this, nullptr);
    editor->hide();
    editor->deleteLater();
    update();
}

QJsonObject GroupItem::toJson() const
{
    using annotationjson::writeColor;
    QJsonObject o;
    o.insert(QStringLiteral("kind"), QStringLiteral("group-item"));
    o.insert(QStringLiteral("id"), m_id);
    o.insert(QStringLiteral("x"), pos().x());
    o.insert(QStringLiteral("y"), pos().y());
    o.insert(QStringLiteral("width"), m_size.width());
    o.insert(QStringLiteral("height"), m_size.height());
    o.insert(QStringLiteral("title"), m_title);
    o.insert(QStringLiteral("fillLight"), writeColor(m_fillLight));
    o.insert(QStringLiteral("borderLight"), writeColor(m_borderLight));
    o.insert(QStringLiteral("textColorLight"), writeColor(m_textColorLight));
    o.insert(QStringLiteral("fillDark"), writeColor(m_fillDark));
    o.insert(QStringLiteral("borderDark"), writeColor(m_borderDark));
    o.insert(QStringLiteral("textColorDark"), writeColor(m_textColorDark));
    return o;
}

void GroupItem::fromJson(const QJsonObject &o)
{
    using annotationjson::readColor;
    using annotationjson::readCoordinate;
    static const char who[] = "GroupItem::fromJson()";

    const QJsonValue id = o.value(QStringLiteral("id"));
    if (id.isString())
        m_id = id.toString();

    setPos(readCoordinate(o, QStringLiteral("x"), pos().x(), who),
           readCoordinate(o, QStringLiteral("y"), pos().y(), who));

    const QJsonValue title = o.value(QStringLiteral("title"));
    if (title.isString())
        setTitle(title.toString());

    const bool perTheme = o.contains(QStringLiteral("fillLight"))
        || o.contains(QStringLiteral("fillDark")) || o.contains(QStringLiteral("borderLight"))
        || o.contains(QStringLiteral("textColorLight"));
    if (perTheme) {
        m_fillLight = readColor(o, QStringLiteral("fillLight"), m_fillLight);
        m_fillDark = readColor(o, QStringLiteral("fillDark"), m_fillDark);
        m_borderLight = readColor(o, QStringLiteral("borderLight"), m_borderLight);
        m_borderDark = readColor(o, QStringLiteral("borderDark"), m_borderDark);
        m_textColorLight = readColor(o, QStringLiteral("textColorLight"), m_textColorLight);
        m_textColorDark = readColor(o, QStringLiteral("textColorDark"), m_textColorDark);
    } else {
        auto readLegacy = [&o](const QString &key, QColor &light, QColor &dark) {
            const QColor color = readColor(o, key, QColor());
            if (color.isValid()) {
                light = color;
                dark = color;
            }
        };
        readLegacy(QStringLiteral("fill"), m_fillLight, m_fillDark);
        readLegacy(QStringLiteral("border"), m_borderLight, m_borderDark);
        readLegacy(QStringLiteral("textColor"), m_textColorLight, m_textColorDark);
    }

    const double width = readCoordinate(o, QStringLiteral("width"), m_size.width(), who);
    const double height = readCoordinate(o, QStringLiteral("height"), m_size.height(), who);
    setSize(QSizeF(width, height));

    setZValue(FrameZ);
    update();
}
