#include "groupitemstyledialog.h"

#include "ui_GroupItemStyleDialog.h"

#include "colorrow.h"
#include "flagguard.h"
#include "grouppreviewitem.h"
#include "thememanager.h"

namespace {

constexpr int DefaultFillAlpha = 90;

QColor withAlpha(QColor color, int alpha)
{
    color.setAlpha(alpha);
    return color;
}

QList<QColor> colorsOf(const GroupItemStyle &style)
{
    return {style.fillLight, style.borderLight, style.textLight,
            style.fillDark,  style.borderDark,  style.textDark};
}

} // namespace

GroupItemStyleDialog::GroupItemStyleDialog(QWidget *parent)
    : StyleDialog(parent)
    , ui(new Ui::GroupItemStyleDialog)
    , m_style(defaultStyle())
{
    ui->setupUi(this);
    bindFrame(ui->graphicsViewLight, ui->graphicsViewDark, ui->comboBoxApplyTo,
              ui->checkBoxUseNew);

    makeBold({ui->labelGroupLightColors, ui->labelGroupDarkColors,
              ui->labelLightTheme, ui->labelDarkTheme});

    bindRows();
    setupPreview();
    syncEditorsFromStyle();
}

GroupItemStyleDialog::~GroupItemStyleDialog()
{
    delete ui;
}

GroupItemStyle GroupItemStyleDialog::defaultStyle()
{
    const ThemePalette light = ThemeManager::lightColors();
    const ThemePalette dark = ThemeManager::darkColors();
    return {withAlpha(light.surface, DefaultFillAlpha), light.border, light.text,
            withAlpha(dark.surface, DefaultFillAlpha),  dark.border,  dark.text};
}

void GroupItemStyleDialog::bindRows()
{
    QValidator *fillValidator = ColorRow::hexValidator(8, this);
    QValidator *lineValidator = ColorRow::hexValidator(6, this);
    const auto row = [&](QFrame *swatch, QLineEdit *edit, QPushButton *pick, const QString &title,
                         bool fill) {
        auto *colorRow = new ColorRow(swatch, edit, pick, title,
                                      fill ? ColorRow::Format::Argb : ColorRow::Format::Rgb,
                                      fill ? fillValidator : lineValidator, this);
        if (fill)
            colorRow->rememberAlpha(DefaultFillAlpha);
        connect(colorRow, &ColorRow::colorChanged, this, &GroupItemStyleDialog::onEdited);
        m_rows.append(colorRow);
    };
    row(ui->frameGroupFillLight, ui->lineEditGroupFillHexLight, ui->pushButtonPickGroupFillLight,
        tr("Choose group fill (light theme)"), true);
    row(ui->frameGroupBorderLight, ui->lineEditGroupBorderHexLight,
        ui->pushButtonPickGroupBorderLight, tr("Choose group border (light theme)"), false);
    row(ui->frameGroupTextLight, ui->lineEditGroupTextHexLight, ui->pushButtonPickGroupTextLight,
        tr("Choose group title (light theme)"), false);
    row(ui->frameGroupFillDark, ui->lineEditGroupFillHexDark, ui->pushButtonPickGroupFillDark,
        tr("Choose group fill (dark theme)"), true);
    row(ui->frameGroupBorderDark, ui->lineEditGroupBorderHexDark,
        ui->pushButtonPickGroupBorderDark, tr("Choose group border (dark theme)"), false);
    row(ui->frameGroupTextDark, ui->lineEditGroupTextHexDark, ui->pushButtonPickGroupTextDark,
        tr("Choose group title (dark theme)"), false);
}

void GroupItemStyleDialog::setupPreview()
{
    m_lightItem = new GroupPreviewItem;
    m_darkItem = new GroupPreviewItem;
    setUpPreviews(QRectF(0, 0, 260, 200), QPointF(20, 25), m_lightItem, m_darkItem);
}

void GroupItemStyleDialog::setItemStyle(const GroupItemStyle &style)
{
    const QList<QColor> given = colorsOf(style);
    const QList<QColor> defaults = colorsOf(defaultStyle());
    QColor chosen[6];
    for (int i = 0; i < 6; ++i)
        chosen[i] = given.at(i).isValid() ? given.at(i) : defaults.at(i);
    m_style = {chosen[0], chosen[1], chosen[2], chosen[3], chosen[4], chosen[5]};
    syncEditorsFromStyle();
}

void GroupItemStyleDialog::syncEditorsFromStyle()
{
    {
        const FlagGuard guard(m_updating);
        const QList<QColor> colors = colorsOf(m_style);
        for (int i = 0; i < m_rows.size(); ++i)
            m_rows.at(i)->setColor(colors.at(i));
    }
    updatePreview();
}

GroupItemStyle GroupItemStyleDialog::currentStyle() const
{
    return {m_rows.at(0)->color(), m_rows.at(1)->color(), m_rows.at(2)->color(),
            m_rows.at(3)->color(), m_rows.at(4)->color(), m_rows.at(5)->color()};
}

void GroupItemStyleDialog::onEdited()
{
    if (m_updating)
        return;
    updatePreview();
}

void GroupItemStyleDialog::updatePreview()
{
    const GroupItemStyle style = currentStyle();
    if (m_lightItem)
        m_lightItem->setColors(style.fillLight, style.borderLight, style.textLight);
    if (m_darkItem)
        m_darkItem->setColors(style.fillDark, style.borderDark, style.textDark);
}

void GroupItemStyleDialog::setApplyTarget(ApplyTarget target)
{
    setApplyTargetIndex(int(target));
}

GroupItemStyleDialog::ApplyTarget GroupItemStyleDialog::applyTarget() const
{
    return ApplyTarget(applyTargetIndex());
}

void GroupItemStyleDialog::setUseForNew(bool use)
{
    setUseForNewChecked(use);
}

bool GroupItemStyleDialog::useForNew() const
{
    return useForNewChecked();
}

bool GroupItemStyleDialog::emitIfValid()
{
    const GroupItemStyle style = currentStyle();
    if (!ColorRow::confirmValid(this, {style.fillLight, style.borderLight, style.textLight,
                                       style.fillDark, style.borderDark, style.textDark}))
        return false;
    emit applyRequested(style, applyTarget(), useForNew());
    return true;
}
