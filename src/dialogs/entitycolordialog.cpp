#include "entitycolordialog.h"

#include "colorpresets.h"
#include "entitycolorpreviewwidget.h"
#include "uiprompts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

EntityColorScheme scheme(const char *background, const char *header, const char *border,
                         const char *text)
{
    return {QColor::fromString(background), QColor::fromString(header),
            QColor::fromString(border), QColor::fromString(text)};
}

} // namespace

EntityColorDialog::EntityColorDialog(QWidget *parent)
    : QDialog(parent)
    , m_scheme(defaultScheme())
{
    setWindowTitle(tr("Entity Colors"));
    setModal(true);
    resize(860, 560);
    buildUi();
    connectSignals();
    syncEditorsFromScheme();
}

EntityColorDialog::~EntityColorDialog() = default;

EntityColorScheme EntityColorDialog::defaultScheme()
{
    return colorpresets::defaultScheme().light;
}

QList<EntityColorScheme> EntityColorDialog::builtInPresets()
{
    return {
        defaultScheme(),
        scheme("#EAF4FF", "#D7E9FF", "#2D5B88", "#0F172A"),
        scheme("#EEF7EE", "#DCEEDD", "#3C6E47", "#102014"),
        scheme("#FFF6E8", "#FFE7BF", "#8A5A00", "#1F1300"),
        scheme("#FFF0F3", "#FFD9E2", "#8B3A57", "#2A0F18"),
        scheme("#2B2F36", "#3A404A", "#C7CED9", "#F8FAFC"),
    };
}

void EntityColorDialog::buildUi()
{
    auto *mainLayout = new QVBoxLayout(this);
    mainLayout->setContentsMargins(14, 14, 14, 14);

    auto *heading = new QVBoxLayout;
    heading->setSpacing(2);
    auto *title = new QLabel(tr("Entity Colors"), this);
    QFont titleFont = title->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() + 3);
    titleFont.setWeight(QFont::Bold);
    title->setFont(titleFont);
    auto *subtitle = new QLabel(tr("Customize how entities appear in the diagram editor."), this);
    subtitle->setStyleSheet(QStringLiteral("color: palette(mid);"));
    heading->addWidget(title);
    heading->addWidget(subtitle);
    mainLayout->addLayout(heading);

    auto *body = new QHBoxLayout;
    body->setSpacing(14);
    body->addWidget(buildLeftColumn(), 3);
    auto *previewGroup = new QGroupBox(tr("Live preview"), this);
    auto *previewLayout = new QVBoxLayout(previewGroup);
    m_preview = new EntityColorPreviewWidget(previewGroup);
    previewLayout->addWidget(m_preview);
    auto *right = new QWidget(this);
    auto *rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    rightLayout->addWidget(previewGroup, 1);
    // Under the preview rather than as a fourth group on the left: four groups stacked
    // there make the dialog taller than its opening size.
    rightLayout->addWidget(buildBehaviourGroup(right));
    body->addWidget(right, 2);
    mainLayout->addLayout(body, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    m_applyButton = new QPushButton(tr("Apply"), this);
    m_okButton = new QPushButton(tr("OK"), this);
    m_okButton->setDefault(true);
    m_cancelButton = new QPushButton(tr("Cancel"), this);
    buttons->addWidget(m_applyButton);
    buttons->addWidget(m_okButton);
    buttons->addWidget(m_cancelButton);
    mainLayout->addLayout(buttons);
}

QWidget *EntityColorDialog::buildLeftColumn()
{
    auto *left = new QWidget(this);
    auto *leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);

    auto *presets = new QGroupBox(tr("Presets"), left);
    auto *presetRow = new QHBoxLayout(presets);
    m_presetCombo = new QComboBox(presets);
    m_presetCombo->addItems({tr("Custom"), tr("Default"), tr("Ocean"), tr("Forest"), tr("Amber"),
                             tr("Rose"), tr("Dark")});
    m_resetButton = new QPushButton(tr("Reset to default"), presets);
    m_savePresetButton = new QPushButton(tr("Save preset..."), presets);
    presetRow->addWidget(m_presetCombo, 1);
    presetRow->addWidget(m_resetButton);
    presetRow->addWidget(m_savePresetButton);
    leftLayout->addWidget(presets);

    auto *colors = new QGroupBox(tr("Colors"), left);
    auto *grid = new QGridLayout(colors);
    grid->setColumnStretch(2, 1);
    m_background = addColorRow(grid, 0, tr("Background"));
    m_header = addColorRow(grid, 1, tr("Header"));
    m_border = addColorRow(grid, 2, tr("Border"));
    m_text = addColorRow(grid, 3, tr("Text"));
    leftLayout->addWidget(colors);

    auto *applyTo = new QGroupBox(tr("Apply to"), left);
    auto *applyLayout = new QVBoxLayout(applyTo);
    for (const QString &text : {tr("Selected entity"), tr("Selected entities"),
                                tr("All entities in current diagram"), tr("Current defaults only")}) {
        auto *button = new QRadioButton(text, applyTo);
        applyLayout->addWidget(button);
        m_targetButtons.append(button);
    }
    m_targetButtons.first()->setChecked(true);
    applyLayout->addSpacing(6);
    m_useForNew = new QCheckBox(tr("Use for new entities by default"), applyTo);
    applyLayout->addWidget(m_useForNew);
    leftLayout->addWidget(applyTo);

    leftLayout->addStretch();
    return left;
}

QGroupBox *EntityColorDialog::buildBehaviourGroup(QWidget *parent)
{
    auto *behaviour = new QGroupBox(tr("Accessibility / behavior"), parent);
    auto *behaviourLayout = new QVBoxLayout(behaviour);
    for (const QString &text : {tr("Auto-adjust text color for contrast"),
                                tr("Show warning for low contrast"), tr("Preserve dark-mode variant"),
                                tr("Link border tone to header tone")}) {
        auto *box = new QCheckBox(text, behaviour);
        behaviourLayout->addWidget(box);
        m_behaviourBoxes.append(box);
    }
    m_behaviourBoxes.at(0)->setChecked(true);
    m_behaviourBoxes.at(1)->setChecked(true);
    return behaviour;
}

EntityColorDialog::Row EntityColorDialog::addColorRow(QGridLayout *grid, int row,
                                                       const QString &label)
{
    QWidget *parent = grid->parentWidget();
    Row result;
    grid->addWidget(new QLabel(label, parent), row, 0);
    result.swatch = new QFrame(parent);
    result.swatch->setFixedSize(28, 28);
    result.swatch->setFrameShape(QFrame::StyledPanel);
    result.swatch->setFrameShadow(QFrame::Plain);
    result.swatch->setLineWidth(1);
    result.swatch->setStyleSheet(
        QStringLiteral("QFrame { border: 1px solid #9AA0A6; border-radius: 4px; }"));
    grid->addWidget(result.swatch, row, 1);
    result.hexEdit = new QLineEdit(parent);
    result.hexEdit->setReadOnly(true);
    result.hexEdit->setMinimumWidth(110);
    grid->addWidget(result.hexEdit, row, 2);
    result.pickButton = new QPushButton(tr("Pick"), parent);
    grid->addWidget(result.pickButton, row, 3);
    return result;
}

void EntityColorDialog::connectSignals()
{
    connect(m_background.pickButton, &QPushButton::clicked, this,
            &EntityColorDialog::chooseBackgroundColor);
    connect(m_header.pickButton, &QPushButton::clicked, this, &EntityColorDialog::chooseHeaderColor);
    connect(m_border.pickButton, &QPushButton::clicked, this, &EntityColorDialog::chooseBorderColor);
    connect(m_text.pickButton, &QPushButton::clicked, this, &EntityColorDialog::chooseTextColor);
    connect(m_resetButton, &QPushButton::clicked, this, &EntityColorDialog::resetToDefaults);
    connect(m_presetCombo, &QComboBox::currentIndexChanged, this, &EntityColorDialog::presetChanged);
    connect(m_applyButton, &QPushButton::clicked, this, &EntityColorDialog::onApplyClicked);
    connect(m_okButton, &QPushButton::clicked, this, &EntityColorDialog::onAccepted);
    connect(m_cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    // "Save preset..." and the behaviour boxes are placeholders: nothing reads them.
}

void EntityColorDialog::setScheme(const EntityColorScheme &scheme)
{
    m_scheme = colorpresets::allColorsSet(scheme) ? scheme : defaultScheme();
    syncEditorsFromScheme();
}

void EntityColorDialog::setApplyTarget(ApplyTarget target)
{
    const int index = int(target);
    if (index >= 0 && index < m_targetButtons.size())
        m_targetButtons.at(index)->setChecked(true);
}

EntityColorDialog::ApplyTarget EntityColorDialog::applyTarget() const
{
    for (int i = 0; i < DefaultsOnly; ++i) {
        if (m_targetButtons.at(i)->isChecked())
            return ApplyTarget(i);
    }
    return DefaultsOnly;
}

void EntityColorDialog::setUseForNewEntities(bool use)
{
    m_useForNew->setChecked(use);
}

bool EntityColorDialog::useForNewEntities() const
{
    return m_useForNew->isChecked();
}

QColor EntityColorDialog::colorFromRow(const Row &row)
{
    return QColor::fromString(row.hexEdit->text().trimmed());
}

void EntityColorDialog::setRowColor(const Row &row, const QColor &color)
{
    if (!color.isValid())
        return;
    const QString name = color.name();
    row.hexEdit->setText(name);
    row.swatch->setStyleSheet(
        QStringLiteral("QFrame, QWidget { background-color: %1; border: 1px solid #9AA0A6; border-radius: 4px;}")
            .arg(name));
}

EntityColorScheme EntityColorDialog::currentScheme() const
{
    return {colorFromRow(m_background), colorFromRow(m_header), colorFromRow(m_border),
            colorFromRow(m_text)};
}

void EntityColorDialog::updatePreview()
{
    m_preview->setColors(currentScheme());
}

void EntityColorDialog::syncEditorsFromScheme()
{
    setRowColor(m_background, m_scheme.background);
    setRowColor(m_header, m_scheme.header);
    setRowColor(m_border, m_scheme.border);
    setRowColor(m_text, m_scheme.text);
    updatePreview();
}

void EntityColorDialog::chooseRowColor(const Row &row, const QString &title)
{
    const QColor initial = colorFromRow(row);
    QColor picked = UiPrompts::current().getColor(initial, this, title);
    if (!picked.isValid())
        picked = initial;
    setRowColor(row, picked);
    m_presetCombo->setCurrentIndex(0);
    updatePreview();
}

void EntityColorDialog::chooseBackgroundColor()
{
    chooseRowColor(m_background, tr("Choose background color"));
}

void EntityColorDialog::chooseHeaderColor()
{
    chooseRowColor(m_header, tr("Choose header color"));
}

void EntityColorDialog::chooseBorderColor()
{
    chooseRowColor(m_border, tr("Choose border color"));
}

void EntityColorDialog::chooseTextColor()
{
    chooseRowColor(m_text, tr("Choose text color"));
}

void EntityColorDialog::resetToDefaults()
{
    setScheme(defaultScheme());
    m_presetCombo->setCurrentIndex(1);
}

void EntityColorDialog::presetChanged(int index)
{
    const QList<EntityColorScheme> presets = builtInPresets();
    if (index < 1 || index > presets.size())
        return;
    m_scheme = presets.at(index - 1);
    syncEditorsFromScheme();
}

void EntityColorDialog::onApplyClicked()
{
    emit applyRequested(currentScheme(), applyTarget(), useForNewEntities());
}

void EntityColorDialog::onAccepted()
{
    onApplyClicked();
    accept();
}
