#include "colorrow.h"

#include "thememanager.h"
#include "uiprompts.h"

#include <QFrame>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>

namespace {

// The dropper is drawn black; on the dark theme's buttons it is shown inverted.
QIcon pickIcon()
{
    const QString path = QStringLiteral(":/images/resources/images/pick-color.png");
    if (!ThemeManager::instance()->isDark())
        return QIcon(path);
    QImage image(path);
    if (image.isNull())
        return QIcon(path);
    image.invertPixels(QImage::InvertRgb);
    return QIcon(QPixmap::fromImage(image));
}

void givePickButtonItsLook(QPushButton *button)
{
    button->setText(QString());
    button->setIcon(pickIcon());
    button->setIconSize(QSize(16, 16));
    button->setFlat(true);
    button->setCursor(Qt::PointingHandCursor);
    button->setStyleSheet(QStringLiteral(
        "QPushButton { padding: 2px; min-width: 24px; max-width: 24px; min-height: 24px; max-height: 24px;}"));
    button->setToolTip(ColorRow::tr("Pick color"));
}

} // namespace

ColorRow::ColorRow(QFrame *swatch, QLineEdit *hexEdit, QPushButton *pickButton,
                   const QString &pickTitle, Format format, QValidator *validator,
                   QObject *parent)
    : QObject(parent)
    , m_swatch(swatch)
    , m_hexEdit(hexEdit)
    , m_pickTitle(pickTitle)
    , m_format(format)
{
    givePickButtonItsLook(pickButton);
    m_hexEdit->setValidator(validator);
    m_hexEdit->setPlaceholderText(format == Format::Argb ? QStringLiteral("#AARRGGBB")
                                                         : QStringLiteral("#RRGGBB"));
    connect(m_hexEdit, &QLineEdit::textChanged, this, &ColorRow::onTextChanged);
    connect(m_hexEdit, &QLineEdit::editingFinished, this, &ColorRow::onEditingFinished);
    connect(pickButton, &QPushButton::clicked, this, &ColorRow::pick);
}

ColorRow::~ColorRow() = default;

void ColorRow::rememberAlpha(int alpha)
{
    m_alpha = qBound(0, alpha, 255);
}

QColor ColorRow::color() const
{
    if (!m_hexEdit)
        return QColor();
    QString text = m_hexEdit->text().trimmed();
    if (text.isEmpty())
        return QColor();
    if (!text.startsWith(QLatin1Char('#')))
        text.prepend(QLatin1Char('#'));
    QColor color = QColor::fromString(text);
    // Only the "#RRGGBB" form takes the remembered alpha; "#RGB" stays opaque and
    // "#AARRGGBB" brings its own.
    if (color.isValid() && text.size() == 7 && m_alpha >= 0 && m_alpha != 255)
        color.setAlpha(m_alpha);
    return color;
}

void ColorRow::setColor(const QColor &color)
{
    if (!color.isValid() || !m_hexEdit)
        return;
    if (m_alpha >= 0)
        m_alpha = color.alpha();
    {
        const QSignalBlocker blocker(m_hexEdit);
        m_hexEdit->setText(
            color.name(m_format == Format::Argb ? QColor::HexArgb : QColor::HexRgb).toUpper());
    }
    showInSwatch(color);
}

void ColorRow::showInSwatch(const QColor &color)
{
    if (!color.isValid() || !m_swatch)
        return;
    m_swatch->setStyleSheet(
        QStringLiteral("QFrame { background-color: rgba(%1, %2, %3, %4); border: 1px solid #9AA0A6; border-radius: 4px;}")
            .arg(color.red())
            .arg(color.green())
            .arg(color.blue())
            .arg(color.alpha()));
}

QValidator *ColorRow::hexValidator(int digits, QObject *parent)
{
    return new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("^#?[0-9A-Fa-f]{0,%1}$").arg(digits)), parent);
}

bool ColorRow::confirmValid(QWidget *dialog, std::initializer_list<QColor> colors)
{
    for (const QColor &color : colors) {
        if (!color.isValid()) {
            UiPrompts::current().warning(dialog, tr("Invalid colors"),
                                         tr("Please enter valid hex colors for all fields."));
            return false;
        }
    }
    return true;
}

void ColorRow::onTextChanged()
{
    const QColor parsed = color();
    if (!parsed.isValid())
        return;
    showInSwatch(parsed);
    emit colorChanged();
}

void ColorRow::onEditingFinished()
{
    const QColor parsed = color();
    if (!parsed.isValid())
        return;
    setColor(parsed);
    emit colorChanged();
}

void ColorRow::pick()
{
    const QColor current = color();
    const QColor picked = UiPrompts::current().getColor(current.isValid() ? current : QColor(Qt::white),
                                                        qobject_cast<QWidget *>(parent()),
                                                        m_pickTitle);
    if (!picked.isValid())
        return;
    setColor(picked);
    emit colorChanged();
}
