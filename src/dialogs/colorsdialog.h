#pragma once

#include "colorpresets.h"
#include "entitycolorscheme.h"
#include "styledialog.h"

#include <QList>

QT_BEGIN_NAMESPACE
namespace Ui {
class ColorsDialog;
}
QT_END_NAMESPACE

class ColorRow;
class EntityPreviewItem;

// The colours of tables and entity views for both themes at once, with built-in and
// user presets and a live sample table on a light and a dark background. Made for one
// modal run; every Apply and OK hands the colours out through applyRequested. The
// header colour it hands out equals the fill of the same theme.
class ColorsDialog : public StyleDialog
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

    explicit ColorsDialog(QWidget *parent = nullptr);
    ~ColorsDialog() override;

    // Shows scheme when all eight colours are valid, else the "Default" colours. The
    // preset choice stays as it is.
    void setScheme(const DualThemeColorScheme &scheme);

    void setApplyTarget(ApplyTarget target);
    ApplyTarget applyTarget() const;
    void setUseForNewEntities(bool use);
    bool useForNewEntities() const;

signals:
    void applyRequested(DualThemeColorScheme scheme, ColorsDialog::ApplyTarget target,
                        bool useForNewEntities);

protected:
    bool emitIfValid() override;

private slots:
    void on_pushButtonResetPreset_clicked();
    void on_pushButtonSavePreset_clicked();
    void on_comboBoxPreset_currentIndexChanged(int index);

private:
    static QStringList builtInPresetNames();

    void bindRows();
    void setupPreview();
    void onRowChanged();
    void markPresetCustom();
    void syncEditorsFromScheme();
    DualThemeColorScheme currentScheme() const;
    void updatePreview();
    void populatePresetCombo();
    void selectPreset(const QString &name);
    // Adds or overwrites the named preset; false when the list is full.
    bool storePreset(const QString &name, const DualThemeColorScheme &scheme);

    Ui::ColorsDialog *ui;
    DualThemeColorScheme m_scheme;
    // Light fill, border, text, then dark fill, border, text.
    QList<ColorRow *> m_rows;
    QList<UserColorPreset> m_userPresets;
    EntityPreviewItem *m_lightItem = nullptr;
    EntityPreviewItem *m_darkItem = nullptr;
    bool m_updating = false;
};
