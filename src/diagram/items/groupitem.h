#pragma once

#include "annotationitem.h"
#include "diagramitemtypes.h"

#include <QColor>
#include <QFont>
#include <QJsonObject>
#include <QPointer>
#include <QRectF>
#include <QSizeF>
#include <QString>

class SingleLineTextItem;

// A group frame: a translucent rounded rectangle with a bold title that marks a region
// of the diagram. It lies behind everything and owns nothing drawn over it.
class GroupItem : public AnnotationItem
{
public:
    enum { Type = DiagramItemType::GroupItem };

    static constexpr qreal MinimumWidth = 80;
    static constexpr qreal MinimumHeight = 40;

    // size is taken as given; every later change keeps at least 80 x 40.
    GroupItem(const QString &title, const QSizeF &size, QGraphicsItem *parent = nullptr);
    ~GroupItem() override;

    int type() const override { return Type; }
    QRectF boundingRect() const override;
    QPainterPath shape() const override;
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option,
               QWidget *widget) override;

    QRectF rect() const override { return QRectF(QPointF(0, 0), m_size); }
    // Where the title sits, in frame coordinates; an empty title is measured as "Group".
    QRectF titleRect() const { return m_titleRect; }
    QString id() const { return m_id; }
    QString title() const { return m_title; }
    QFont titleFont() const { return m_titleFont; }
    QSizeF size() const { return m_size; }

    QColor fillLight() const { return m_fillLight; }
    QColor borderLight() const { return m_borderLight; }
    QColor textColorLight() const { return m_textColorLight; }
    QColor fillDark() const { return m_fillDark; }
    QColor borderDark() const { return m_borderDark; }
    QColor textColorDark() const { return m_textColorDark; }
    // The colours of the current theme.
    QColor fillColor() const;
    QColor borderColor() const;
    QColor textColor() const;

    void setTitle(const QString &title);
    // Each sets the colour of the current theme only; invalid colours are skipped.
    void setFillColor(const QColor &color);
    void setBorderColor(const QColor &color);
    void setTextColor(const QColor &color);
    // Light fill, border and text, then dark; invalid colours are skipped.
    void setColors(const QColor &fillLight, const QColor &borderLight,
                   const QColor &textColorLight, const QColor &fillDark,
                   const QColor &borderDark, const QColor &textColorDark);
    void setSize(const QSizeF &size);
    void setGeometry(const QRectF &rect) override;

    void startTitleEditing();
    void finishTitleEditing();
    void closeTitleEditor();
    SingleLineTextItem *titleEditor() const;

    QJsonObject toJson() const;
    // Every missing or mistyped key keeps the current value.
    void fromJson(const QJsonObject &object);

protected:
    QSizeF minimumResizeSize() const override;
    void requestStyleDialog(ERScene *scene) const override;
    void mouseDoubleClickEvent(QGraphicsSceneMouseEvent *event) override;

private:
    QRectF measureTitleRect() const;
    QRectF titleClickArea() const;
    bool isDark() const;
    void onThemeChanged();

    QString m_id;
    QString m_title;
    QFont m_titleFont;
    QColor m_fillLight;
    QColor m_fillDark;
    QColor m_borderLight;
    QColor m_borderDark;
    QColor m_textColorLight;
    QColor m_textColorDark;
    QSizeF m_size;
    QRectF m_titleRect;
    // A separate scene item: a scene clear may delete it before the frame.
    QPointer<SingleLineTextItem> m_titleEditor;
};
