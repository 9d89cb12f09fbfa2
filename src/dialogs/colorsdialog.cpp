#include "colorsdialog.h"

#include "ui_ColorsDialog.h"

#include "colorrow.h"
#include "entitypreviewitem.h"
#include "flagguard.h"
#include "uiprompts.h"

#include <utility>

namespace {

constexpr int FirstUserPresetIndex = 7;

} // namespace

ColorsDialog::ColorsDialog(QWidget *parent)
    : StyleDialog(parent)
    , ui(new Ui::ColorsDialog)
    , m_scheme(colorpresets::defaultScheme())
{
    ui->setupUi(this);
    bindFrame(ui->graphicsViewLight, ui->graphicsViewDark, ui->comboBoxSelectedChoice,
              ui->checkBoxUseNewEntities);

    makeBold({ui->labelLightColors, ui->labelDarkColors, ui->labelLightTheme,
              ui->labelDarkTheme});

    bindRows();
    m_userPresets = colorpresets::loadUserPresets();
    populatePresetCombo();
    setupPreview();
    syncEditorsFromScheme();
}

ColorsDialog::~ColorsDialog()
{
    delete ui;
}

QStringList ColorsDialog::builtInPresetNames()
{
    return {tr("Custom"), tr("Default"), tr("Ocean"), tr("Forest"),
            tr("Amber"),  tr("Rose"),    tr("Dark")};
}

void ColorsDialog::bindRows()
{
    QValidator *validator = ColorRow::hexValidator(6, this);
    const auto row = [&](QFrame *swatch, QLineEdit *edit, QPushButton *pick, const QString &title) {
        auto *colorRow = new ColorRow(swatch, edit, pick, title, ColorRow::Format::Rgb, validator, this);
        connect(colorRow, &ColorRow::colorChanged, this, &ColorsDialog::onRowChanged);
        m_rows.append(colorRow);
    };
    row(ui->frameBgColorLight, ui->lineEditBgHexLight, ui->pushButtonPickBgColorLight,
        tr("Choose table fill (light theme)"));
    row(ui->frameFgColorLight, ui->lineEditFgHexLight, ui->pushButtonPickFgColorLight,
        tr("Choose table border (light theme)"));
    row(ui->frameTxtColorLight, ui->lineEditTxtHexLight, ui->pushButtonPickTxtColorLight,
        tr("Choose table text (light theme)"));
    row(ui->frameBgColorDark, ui->lineEditBgHexDark, ui->pushButtonPickBgColorDark,
        tr("Choose table fill (dark theme)"));
    row(ui->frameFgColorDark, ui->lineEditFgHexDark, ui->pushButtonPickFgColorDark,
        tr("Choose table border (dark theme)"));
    row(ui->frameTxtColorDark, ui->lineEditTxtHexDark, ui->pushButtonPickTxtColorDark,
        tr("Choose table text (dark theme)"));
}

void ColorsDialog::setupPreview()
{
    m_lightItem = new EntityPreviewItem;
    m_darkItem = new EntityPreviewItem;
    setUpPreviews(QRectF(0, 0, 260, 220), QPointF(20, 28), m_lightItem, m_darkItem);
}

void ColorsDialog::setScheme(const DualThemeColorScheme &scheme)
{
    const bool complete = colorpresets::allColorsSet(scheme.light)
                       && colorpresets::allColorsSet(scheme.dark);
    m_scheme = complete ? scheme : colorpresets::defaultScheme();
    syncEditorsFromScheme();
}

void ColorsDialog::setApplyTarget(ApplyTarget target)
{
    setApplyTargetIndex(int(target));
}

ColorsDialog::ApplyTarget ColorsDialog::applyTarget() const
{
    return ApplyTarget(applyTargetIndex());
}

void ColorsDialog::setUseForNewEntities(bool use)
{
    setUseForNewChecked(use);
}

bool ColorsDialog::useForNewEntities() const
{
    return useForNewChecked();
}

void ColorsDialog::onRowChanged()
{
    if (m_updating)
        return;
    markPresetCustom();
    updatePreview();
}

void ColorsDialog::markPresetCustom()
{
    if (m_updating)
        return;
    const FlagGuard guard(m_updating);
    ui->comboBoxPreset->setCurrentIndex(0);
}

void ColorsDialog::syncEditorsFromScheme()
{
    {
        const FlagGuard guard(m_updating);
        const QColor colors[] = {m_scheme.light.background, m_scheme.light.border,
                                 m_scheme.light.text,       m_scheme.dark.background,
                                 m_scheme.dark.border,      m_scheme.dark.text};
        for (int i = 0; i < m_rows.size(); ++i)
            m_rows.at(i)->setColor(colors[i]);
    }
    updatePreview();
}

DualThemeColorScheme ColorsDialog::currentScheme() const
{
    const auto half = [this](int first) {
        const QColor fill = m_rows.at(first)->color();
        return EntityColorScheme{fill, fill, m_rows.at(first + 1)->color(),
                                 m_rows.at(first + 2)->color()};
    };
    return {half(0), half(3)};
}

void ColorsDialog::updatePreview()
{
    const DualThemeColorScheme scheme = currentScheme();
    if (m_lightItem)
        m_lightItem->setColors(scheme.light);
    if (m_darkItem)
        m_darkItem->setColors(scheme.dark);
}

void ColorsDialog::populatePresetCombo()
{
    const FlagGuard guard(m_updating);
    const QString remembered = ui->comboBoxPreset->currentText();
    ui->comboBoxPreset->clear();
    ui->comboBoxPreset->addItems(builtInPresetNames());
    for (const UserColorPreset &preset : std::as_const(m_userPresets))
        ui->comboBoxPreset->addItem(preset.name);
    selectPreset(remembered);
}

void ColorsDialog::selectPreset(const QString &name)
{
    const FlagGuard guard(m_updating);
    const int index = ui->comboBoxPreset->findText(name, Qt::MatchExactly | Qt::MatchCaseSensitive);
    ui->comboBoxPreset->setCurrentIndex(qMax(index, 0));
}

void ColorsDialog::on_comboBoxPreset_currentIndexChanged(int index)
{
    if (m_updating || index < 1)
        return;
    if (index < FirstUserPresetIndex) {
        m_scheme = colorpresets::builtInSchemes().at(index - 1);
    } else {
        const int user = index - FirstUserPresetIndex;
        if (user >= m_userPresets.size())
            return;
        m_scheme = m_userPresets.at(user).scheme;
    }
    syncEditorsFromScheme();
}

bool ColorsDialog::emitIfValid()
{
    const DualThemeColorScheme scheme = currentScheme();
    if (!ColorRow::confirmValid(this, {scheme.light.background, scheme.light.border,
                                       scheme.light.text, scheme.dark.background,
                                       scheme.dark.border, scheme.dark.text}))
        return false;
    emit applyRequested(scheme, applyTarget(), useForNewEntities());
    return true;
}

void ColorsDialog::on_pushButtonResetPreset_clicked()
{
    setScheme(colorpresets::defaultScheme());
    const FlagGuard guard(m_updating);
    ui->comboBoxPreset->setCurrentIndex(1);
}

void ColorsDialog::on_pushButtonSavePreset_clicked()
{
    bool ok = false;
    const QString name = UiPrompts::current()
                             .getText(this, tr("Save preset"), tr("Preset name:"), QString(), &ok)
                             .trimmed();
    if (!ok || name.isEmpty())
        return;
    if (builtInPresetNames().contains(name, Qt::CaseInsensitive)) {
        UiPrompts::current().warning(this, tr("Save preset"),
                                     tr("That name is reserved for a built-in preset."));
        return;
    }
    if (!storePreset(name, currentScheme())) {
        UiPrompts::current().warning(
            this, tr("Save preset"),
            tr("No more presets can be saved; the limit is %1.").arg(colorpresets::MaxUserPresets));
        return;
    }
    const bool written = colorpresets::saveUserPresets(m_userPresets);
    populatePresetCombo();
    selectPreset(name);
    if (!written) {
        UiPrompts::current().warning(this, tr("Save preset"),
                                     tr("The preset could not be written to the settings file."));
    }
}

bool ColorsDialog::storePreset(const QString &name, const DualThemeColorScheme &scheme)
{
    for (UserColorPreset &preset : m_userPresets) {
        if (preset.name.compare(name, Qt::CaseInsensitive) == 0) {
            preset.scheme = scheme;
            return true;
        }
    }
    if (m_userPresets.size() >= colorpresets::MaxUserPresets)
        return false;
    m_userPresets.append({name, scheme});
    return true;
}
