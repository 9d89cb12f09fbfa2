#pragma once

#include <QDialog>
#include <QPointer>

#include <initializer_list>

QT_BEGIN_NAMESPACE
class QCheckBox;
class QComboBox;
class QGraphicsItem;
class QGraphicsView;
QT_END_NAMESPACE

// What the three form-based style dialogs share: a light and a dark preview view that
// fit their scenes after every show and resize, the "Apply to" combo box whose index is
// the target, the use-for-new check box, and Apply, OK and Cancel around the dialog's
// own check and signal. Made for one modal run.
class StyleDialog : public QDialog
{
    Q_OBJECT

protected:
    explicit StyleDialog(QWidget *parent);
    ~StyleDialog() override;

    // Called once the form is set up.
    void bindFrame(QGraphicsView *lightView, QGraphicsView *darkView, QComboBox *applyTo,
                   QCheckBox *useForNew);

    // Shows a light and a dark preview scene of sceneRect in the bound views, each
    // holding one of the given items at itemPos; the scenes take the items.
    void setUpPreviews(const QRectF &sceneRect, const QPointF &itemPos, QGraphicsItem *lightItem,
                       QGraphicsItem *darkItem);

    // Gives each widget its own font in weight 700.
    static void makeBold(std::initializer_list<QWidget *> widgets);

    // The combo's index, or 2 (the whole diagram) when no valid entry is current.
    int applyTargetIndex() const;
    void setApplyTargetIndex(int target);
    bool useForNewChecked() const;
    void setUseForNewChecked(bool use);

    // Emits applyRequested when every colour is valid; otherwise shows the "Invalid
    // colors" warning, emits nothing and returns false.
    virtual bool emitIfValid() = 0;

    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;

private slots:
    void on_pushButtonOK_clicked();
    void on_pushButtonApply_clicked();
    void on_pushButtonCancel_clicked();

private:
    void fitPreviews();

    QPointer<QGraphicsView> m_lightView;
    QPointer<QGraphicsView> m_darkView;
    QPointer<QComboBox> m_applyTo;
    QPointer<QCheckBox> m_useForNew;
};
