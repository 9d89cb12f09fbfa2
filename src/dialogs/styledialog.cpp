#include "styledialog.h"

#include "colorrow.h"
#include "previewscene.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGraphicsItem>
#include <QGraphicsView>

StyleDialog::StyleDialog(QWidget *parent)
    : QDialog(parent)
{
}

StyleDialog::~StyleDialog()
{
    // The dialog that handled the rows' changes is already gone, but hiding the window
    // (in QDialog's destructor) still ends editing in a focused hex editor.
    for (ColorRow *row : findChildren<ColorRow *>())
        row->blockSignals(true);
}

void StyleDialog::bindFrame(QGraphicsView *lightView, QGraphicsView *darkView,
                            QComboBox *applyTo, QCheckBox *useForNew)
{
    m_lightView = lightView;
    m_darkView = darkView;
    m_applyTo = applyTo;
    m_useForNew = useForNew;
    setModal(true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
}

void StyleDialog::setUpPreviews(const QRectF &sceneRect, const QPointF &itemPos,
                                QGraphicsItem *lightItem, QGraphicsItem *darkItem)
{
    const auto preview = [&](ThemeKind theme, QGraphicsItem *item, QGraphicsView *view) {
        auto *scene = new PreviewScene(sceneRect, theme, this);
        item->setPos(itemPos);
        scene->addItem(item);
        scene->showIn(view);
    };
    preview(ThemeKind::Light, lightItem, m_lightView);
    preview(ThemeKind::Dark, darkItem, m_darkView);
}

void StyleDialog::makeBold(std::initializer_list<QWidget *> widgets)
{
    for (QWidget *widget : widgets) {
        QFont font = widget->font();
        font.setWeight(QFont::Bold);
        widget->setFont(font);
    }
}

int StyleDialog::applyTargetIndex() const
{
    const int index = m_applyTo ? m_applyTo->currentIndex() : -1;
    return index >= 0 && index <= 3 ? index : 2;
}

void StyleDialog::setApplyTargetIndex(int target)
{
    if (m_applyTo)
        m_applyTo->setCurrentIndex(target);
}

bool StyleDialog::useForNewChecked() const
{
    return m_useForNew && m_useForNew->isChecked();
}

void StyleDialog::setUseForNewChecked(bool use)
{
    if (m_useForNew)
        m_useForNew->setChecked(use);
}

void StyleDialog::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    fitPreviews();
}

void StyleDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    fitPreviews();
}

void StyleDialog::fitPreviews()
{
    PreviewScene::fitViews({m_lightView, m_darkView});
}

void StyleDialog::on_pushButtonOK_clicked()
{
    if (emitIfValid())
        accept();
}

void StyleDialog::on_pushButtonApply_clicked()
{
    emitIfValid();
}

void StyleDialog::on_pushButtonCancel_clicked()
{
    reject();
}
