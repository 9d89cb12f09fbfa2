#pragma once

#include "annotationitem.h"
#include "diagramitemtypes.h"

#include <QColor>
#include <QFont>
#include <QJsonObject>
#include <QPointer>
#include <QRectF>
#include <QString>

class SingleLineTextItem;

// A free one-line text note of the diagram. It floats above everything else, grows to
// fit its text (it never shrinks by itself), is resized by eight handles while selected
// and edits its text in place on double-click.
class TextItem : public AnnotationItem
{
public:
    enum { Type = DiagramItemType::TextItem };

    explicit TextItem(const QString &text, QGraphicsItem *parent = nullptr);
    ~TextItem() override;

    int type() const override { return Type; }
    QRectF boundingRect() const override;
    QPainterPath shape() const override;
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option,
               QWidget *widget) override;

    QRectF rect() const override { return QRectF(0, 0, m_width, m_height); }
    QString id() const { return m_id; }
    QString text() const { return m_text; }
    QFont font() const { return m_font; }
    QColor colorLight() const { return m_colorLight; }
    QColor colorDark() const { return m_colorDark; }
    // The colour of the current theme.
    QColor textColor() const;
    // Size the current text needs in the current font.
    QSizeF measure() const;

    void setText(const QString &text);
    void setFont(const QFont &font);
    // Invalid colours are skipped.
    void setColors(const QColor &colorLight, const QColor &colorDark);
    // Sets the colour of the current theme only.
    void setColor(const QColor &color);
    // Never smaller than the measured size.
    void setSize(const QSizeF &size);
    // Position and size exactly as given.
    void setGeometry(const QRectF &rect) override;

    void startEditing();
    void finishEditing();
    void closeEditor();
    SingleLineTextItem *editor() const;

    QJsonObject toJson() const;
    // Every missing or mistyped key keeps the current value.
    void fromJson(const QJsonObject &object);

protected:
    QSizeF minimumResizeSize() const override;
    void requestStyleDialog(ERScene *scene) const override;
    void mouseDoubleClickEvent(QGraphicsSceneMouseEvent *event) override;

private:
    QRectF textRect() const;
    void growToFit();
    void onThemeChanged();

    QString m_id;
    QString m_text;
    QFont m_font;
    QColor m_colorLight;
    QColor m_colorDark;
    qreal m_width = 0;
    qreal m_height = 0;
    // A child item, yet held weakly: a scene clear may delete it on its own.
    QPointer<SingleLineTextItem> m_editor;
};
