#pragma once

#include "styledialog.h"
#include "stylevalues.h"


QT_BEGIN_NAMESPACE
namespace Ui {
class TextItemStyleDialog;
}
QT_END_NAMESPACE

class ColorRow;
class TextPreviewItem;

// The font and the light and dark colours of text notes, with a font sample and live
// previews on a light and a dark background. Made for one modal run; every Apply and OK
// hands the style out through applyRequested, read back from the editors.
class TextItemStyleDialog : public StyleDialog
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

    explicit TextItemStyleDialog(QWidget *parent = nullptr);
    ~TextItemStyleDialog() override;

    // JetBrains Mono 12 pt in the palettes' text colours, whatever theme is active.
    static TextItemStyle defaultStyle();

    // Shows style; an empty family, a size in pixels and invalid colours fall back on
    // the defaults.
    void setItemStyle(const TextItemStyle &style);

    void setApplyTarget(ApplyTarget target);
    ApplyTarget applyTarget() const;
    void setUseForNew(bool use);
    bool useForNew() const;

signals:
    void applyRequested(TextItemStyle style, TextItemStyleDialog::ApplyTarget target,
                        bool useForNew);

protected:
    bool emitIfValid() override;

private:
    void setupPreview();
    void connectEditors();
    void syncEditorsFromStyle();
    TextItemStyle currentStyle() const;
    void onEdited();
    void updateFontSample();
    void updatePreview();

    Ui::TextItemStyleDialog *ui;
    TextItemStyle m_style;
    TextPreviewItem *m_lightItem = nullptr;
    TextPreviewItem *m_darkItem = nullptr;
    ColorRow *m_lightRow = nullptr;
    ColorRow *m_darkRow = nullptr;
    bool m_updating = false;
};
