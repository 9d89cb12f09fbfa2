#pragma once

#include <QGraphicsView>

class SingleLineTextItem;

// The view of the diagram scene. Tab and Backtab reach the in-place editor that has
// the scene's focus instead of moving focus between widgets.
class ERView : public QGraphicsView
{
    Q_OBJECT

public:
    explicit ERView(QWidget *parent = nullptr);

protected:
    bool event(QEvent *event) override;
    bool focusNextPrevChild(bool next) override;

private:
    // The scene's focus item when it is an in-place editor that is editing.
    SingleLineTextItem *focusedEditor() const;
};
