#pragma once

#include "styledialog.h"
#include "stylevalues.h"

#include <QList>

QT_BEGIN_NAMESPACE
namespace Ui {
class GroupItemStyleDialog;
}
QT_END_NAMESPACE

class ColorRow;
class GroupPreviewItem;

// The fill, border and title colours of group frames for both themes, with live
// previews. The fills keep their transparency: a fill typed as "#RRGGBB" takes the alpha
// the row last held. Made for one modal run; every Apply and OK hands the style out
// through applyRequested.
class GroupItemStyleDialog : public StyleDialog
{
    Q_OBJECT

public:
    // The index of the "Apply to" choice.
    enum ApplyTarget : int {
        SelectedItem = 0,
        SelectedItems = 1,
        AllInDiagram = 2,
        DefaultsOnly = 3
    };
    Q_ENUM(ApplyTarget)

    explicit GroupItemStyleDialog(QWidget *parent = nullptr);
    ~GroupItemStyleDialog() override;

    // Translucent surface fills and opaque borders and titles from the palettes,
    // whatever theme is active.
    static GroupItemStyle defaultStyle();

    // Shows style; each invalid colour falls back on its default.
    void setItemStyle(const GroupItemStyle &style);

    void setApplyTarget(ApplyTarget target);
    ApplyTarget applyTarget() const;
    void setUseForNew(bool use);
    bool useForNew() const;

signals:
    void applyRequested(GroupItemStyle style, GroupItemStyleDialog::ApplyTarget target,
                        bool useForNew);

protected:
    bool emitIfValid() override;

private:
    void bindRows();
    void setupPreview();
    void syncEditorsFromStyle();
    GroupItemStyle currentStyle() const;
    void onEdited();
    void updatePreview();

    Ui::GroupItemStyleDialog *ui;
    GroupItemStyle m_style;
    // In GroupItemStyle order: fill, border, title of the light theme, then the dark.
    QList<ColorRow *> m_rows;
    GroupPreviewItem *m_lightItem = nullptr;
    GroupPreviewItem *m_darkItem = nullptr;
    bool m_updating = false;
};
