#include "textitemstyledialog.h"

#include "ui_TextItemStyleDialog.h"

#include "colorrow.h"
#include "flagguard.h"
#include "textpreviewitem.h"
#include "thememanager.h"

namespace {

const QString DefaultFamily = QStringLiteral("JetBrains Mono");
constexpr int DefaultPointSize = 12;

} // namespace

TextItemStyleDialog::TextItemStyleDialog(QWidget *parent)
    : StyleDialog(parent)
    , ui(new Ui::TextItemStyleDialog)
    , m_style(defaultStyle())
{
    ui->setupUi(this);
    bindFrame(ui->graphicsViewLight, ui->graphicsViewDark, ui->comboBoxApplyTo,
              ui->checkBoxUseNew);

    // The B, I and U buttons show their own style through fonts set in the form.
    makeBold({ui->labelTextLightColors, ui->labelTextDarkColors, ui->labelLightTheme,
              ui->labelDarkTheme});

    QValidator *validator = ColorRow::hexValidator(6, this);
    m_lightRow = new ColorRow(ui->frameTextColorLight, ui->lineEditTextHexLight,
                              ui->pushButtonPickTextColorLight,
                              tr("Choose text-item color (light theme)"), ColorRow::Format::Rgb,
                              validator, this);
    m_darkRow = new ColorRow(ui->frameTextColorDark, ui->lineEditTextHexDark,
                             ui->pushButtonPickTextColorDark,
                             tr("Choose text-item color (dark theme)"), ColorRow::Format::Rgb,
                             validator, this);

    setupPreview();
    connectEditors();
    syncEditorsFromStyle();
}

TextItemStyleDialog::~TextItemStyleDialog()
{
    delete ui;
}

TextItemStyle TextItemStyleDialog::defaultStyle()
{
    return {QFont(DefaultFamily, DefaultPointSize), ThemeManager::lightColors().text,
            ThemeManager::darkColors().text};
}

void TextItemStyleDialog::setupPreview()
{
    m_lightItem = new TextPreviewItem;
    m_darkItem = new TextPreviewItem;
    setUpPreviews(QRectF(0, 0, 240, 160), QPointF(24, 56), m_lightItem, m_darkItem);
}

void TextItemStyleDialog::connectEditors()
{
    connect(m_lightRow, &ColorRow::colorChanged, this, &TextItemStyleDialog::onEdited);
    connect(m_darkRow, &ColorRow::colorChanged, this, &TextItemStyleDialog::onEdited);
    connect(ui->fontComboText, &QFontComboBox::currentFontChanged, this,
            &TextItemStyleDialog::onEdited);
    connect(ui->spinTextSize, &QSpinBox::valueChanged, this, &TextItemStyleDialog::onEdited);
    for (QToolButton *button : {ui->btnTextBold, ui->btnTextItalic, ui->btnTextUnderline})
        connect(button, &QToolButton::toggled, this, &TextItemStyleDialog::onEdited);
}

void TextItemStyleDialog::setItemStyle(const TextItemStyle &style)
{
    m_style = style;
    if (m_style.font.family().isEmpty())
        m_style.font = QFont(DefaultFamily, DefaultPointSize);
    else if (m_style.font.pointSize() < 1) // a font sized in pixels has no point size
        m_style.font.setPointSize(DefaultPointSize);
    if (!m_style.colorLight.isValid())
        m_style.colorLight = ThemeManager::lightColors().text;
    if (!m_style.colorDark.isValid())
        m_style.colorDark = ThemeManager::darkColors().text;
    syncEditorsFromStyle();
}

void TextItemStyleDialog::syncEditorsFromStyle()
{
    {
        const FlagGuard guard(m_updating);
        ui->fontComboText->setCurrentFont(m_style.font);
        ui->spinTextSize->setValue(qBound(8, m_style.font.pointSize(), 72));
        ui->btnTextBold->setChecked(m_style.font.weight() > QFont::Medium);
        ui->btnTextItalic->setChecked(m_style.font.style() != QFont::StyleNormal);
        ui->btnTextUnderline->setChecked(m_style.font.underline());
        m_lightRow->setColor(m_style.colorLight);
        m_darkRow->setColor(m_style.colorDark);
    }
    updateFontSample();
    updatePreview();
}

TextItemStyle TextItemStyleDialog::currentStyle() const
{
    QFont font(ui->fontComboText->currentFont().family(), ui->spinTextSize->value());
    font.setWeight(ui->btnTextBold->isChecked() ? QFont::Bold : QFont::Normal);
    font.setStyle(ui->btnTextItalic->isChecked() ? QFont::StyleItalic : QFont::StyleNormal);
    font.setUnderline(ui->btnTextUnderline->isChecked());
    return {font, m_lightRow->color(), m_darkRow->color()};
}

void TextItemStyleDialog::onEdited()
{
    if (m_updating)
        return;
    updateFontSample();
    updatePreview();
}

void TextItemStyleDialog::updateFontSample()
{
    const TextItemStyle style = currentStyle();
    ui->labelFontPreview->setFont(style.font);
    const QColor color = style.colorLight.isValid() ? style.colorLight : QColor(Qt::black);
    ui->labelFontPreview->setStyleSheet(QStringLiteral("QLabel { color: %1; }").arg(color.name()));
}

void TextItemStyleDialog::updatePreview()
{
    const TextItemStyle style = currentStyle();
    if (m_lightItem) {
        m_lightItem->setFont(style.font);
        m_lightItem->setColor(style.colorLight);
    }
    if (m_darkItem) {
        m_darkItem->setFont(style.font);
        m_darkItem->setColor(style.colorDark);
    }
}

void TextItemStyleDialog::setApplyTarget(ApplyTarget target)
{
    setApplyTargetIndex(int(target));
}

TextItemStyleDialog::ApplyTarget TextItemStyleDialog::applyTarget() const
{
    return ApplyTarget(applyTargetIndex());
}

void TextItemStyleDialog::setUseForNew(bool use)
{
    setUseForNewChecked(use);
}

bool TextItemStyleDialog::useForNew() const
{
    return useForNewChecked();
}

bool TextItemStyleDialog::emitIfValid()
{
    const TextItemStyle style = currentStyle();
    if (!ColorRow::confirmValid(this, {style.colorLight, style.colorDark}))
        return false;
    emit applyRequested(style, applyTarget(), useForNew());
    return true;
}
