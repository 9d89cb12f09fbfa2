#include "entitycolorpreviewwidget.h"

#include "colorpresets.h"
#include "sampletable.h"

#include <QPainter>
#include <QPainterPath>

namespace {

constexpr int GridStep = 20;
constexpr int Inset = 35;
constexpr int HeaderHeight = 38;
constexpr int RowTop = 83;
constexpr int RowHeight = 24;

} // namespace

EntityColorPreviewWidget::EntityColorPreviewWidget(QWidget *parent)
    : QWidget(parent)
    , m_colors(colorpresets::defaultScheme().light)
{
    setMinimumHeight(220);
    setAutoFillBackground(true);
}

EntityColorPreviewWidget::~EntityColorPreviewWidget() = default;

void EntityColorPreviewWidget::setColors(const EntityColorScheme &colors)
{
    m_colors = colors;
    update();
}

QSize EntityColorPreviewWidget::sizeHint() const
{
    return QSize(320, 260);
}

QSize EntityColorPreviewWidget::minimumSizeHint() const
{
    return QSize(260, 220);
}

void EntityColorPreviewWidget::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.fillRect(rect(), palette().window());

    const int w = width();
    const int h = height();
    painter.setPen(QPen(QColor(0xE1, 0xE1, 0xE1), 1, Qt::SolidLine));
    for (int x = 0; x <= w - 1; x += GridStep)
        painter.drawLine(x, 0, x, h);
    for (int y = 0; y <= h - 1; y += GridStep)
        painter.drawLine(0, y, w, y);

    if (w < 250 || h < 190)
        return;
    paintTable(painter);
}

void EntityColorPreviewWidget::paintTable(QPainter &painter) const
{
    const int w = width();
    const QPen borderPen(m_colors.border, 2);
    const QRectF body(Inset, Inset, w - 2 * Inset, height() - 2 * Inset);
    painter.setPen(borderPen);
    painter.setBrush(m_colors.background);
    painter.drawRoundedRect(body, 10, 10);

    QPainterPath outline;
    outline.addRoundedRect(body, 10, 10);
    painter.save();
    painter.setClipPath(outline);
    painter.fillRect(QRectF(Inset, Inset, w - 2 * Inset, HeaderHeight), m_colors.header);
    painter.restore();
    painter.setPen(borderPen);
    painter.drawLine(QPointF(Inset, 72), QPointF(w - 36, 72));

    painter.setPen(m_colors.text);
    QFont title = font();
    title.setWeight(QFont::Bold);
    if (title.pointSizeF() > 0)
        title.setPointSizeF(title.pointSizeF() + 1);
    painter.setFont(title);
    painter.drawText(QRectF(Inset, Inset, w - 2 * Inset, HeaderHeight), Qt::AlignCenter,
                     QString::fromLatin1(sampletable::Title));

    QFont rowFont = font();
    rowFont.setWeight(QFont::Normal);
    rowFont.setStyle(QFont::StyleNormal);
    QFont keyFont = rowFont;
    keyFont.setWeight(QFont::Bold);
    QFont typeFont = rowFont;
    typeFont.setStyle(QFont::StyleItalic);
    for (int i = 0; i < sampletable::RowCount; ++i) {
        const int top = RowTop + RowHeight * i;
        painter.setFont(i == 0 ? keyFont : rowFont);
        painter.drawText(QRectF(47, top, w - 184, RowHeight), Qt::AlignLeft | Qt::AlignVCenter,
                         QString::fromLatin1(sampletable::Rows[i].name));
        painter.setFont(typeFont);
        painter.drawText(QRectF(w - 137, top, 90, RowHeight), Qt::AlignRight | Qt::AlignVCenter,
                         QString::fromLatin1(sampletable::Rows[i].type));
    }
}
