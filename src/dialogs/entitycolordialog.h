#pragma once

#include "entitycolorscheme.h"

#include <QDialog>
#include <QList>

QT_BEGIN_NAMESPACE
class QCheckBox;
class QComboBox;
class QFrame;
class QGridLayout;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
QT_END_NAMESPACE

class EntityColorPreviewWidget;

// The single-theme entity colour dialog: background, header, border and text of one
// scheme, with built-in presets and its own preview. Laid out in code; its editors are
// read-only and only hold colours the dialog wrote.
class EntityColorDialog : public QDialog
{
    Q_OBJECT

public:
    // The checked "Apply to" button.
    enum ApplyTarget : int {
        SelectedItem = 0,
        SelectedItems = 1,
        AllInDiagram = 2,
        DefaultsOnly = 3
    };
    Q_ENUM(ApplyTarget)

    explicit EntityColorDialog(QWidget *parent = nullptr);
    ~EntityColorDialog() override;

    // Shows scheme when all four colours are valid, else the "Default" colours.
    void setScheme(const EntityColorScheme &scheme);

    // A value outside the four targets changes nothing.
    void setApplyTarget(ApplyTarget target);
    ApplyTarget applyTarget() const;
    void setUseForNewEntities(bool use);
    bool useForNewEntities() const;

signals:
    void applyRequested(EntityColorScheme scheme, EntityColorDialog::ApplyTarget target,
                        bool useForNewEntities);

private slots:
    void chooseBackgroundColor();
    void chooseHeaderColor();
    void chooseBorderColor();
    void chooseTextColor();
    void resetToDefaults();
    void presetChanged(int index);
    void onApplyClicked();
    void onAccepted();

private:
    struct Row
    {
        QFrame *swatch = nullptr;
        QLineEdit *hexEdit = nullptr;
        QPushButton *pickButton = nullptr;
    };

    static EntityColorScheme defaultScheme();
    static QList<EntityColorScheme> builtInPresets();

    void buildUi();
    QWidget *buildLeftColumn();
    QGroupBox *buildBehaviourGroup(QWidget *parent);
    Row addColorRow(QGridLayout *grid, int row, const QString &label);
    void connectSignals();
    void syncEditorsFromScheme();
    EntityColorScheme currentScheme() const;
    void updatePreview();
    void setRowColor(const Row &row, const QColor &color);
    static QColor colorFromRow(const Row &row);
    void chooseRowColor(const Row &row, const QString &title);

    EntityColorScheme m_scheme;
    QComboBox *m_presetCombo = nullptr;
    QPushButton *m_resetButton = nullptr;
    QPushButton *m_savePresetButton = nullptr;
    Row m_background;
    Row m_header;
    Row m_border;
    Row m_text;
    QList<QRadioButton *> m_targetButtons;
    QCheckBox *m_useForNew = nullptr;
    QList<QCheckBox *> m_behaviourBoxes;
    EntityColorPreviewWidget *m_preview = nullptr;
    QPushButton *m_applyButton = nullptr;
    QPushButton *m_okButton = nullptr;
    QPushButton *m_cancelButton = nullptr;
};
