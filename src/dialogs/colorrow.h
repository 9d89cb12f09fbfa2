#pragma once

#include <QColor>
#include <QObject>
#include <QPointer>
#include <QString>

#include <initializer_list>

QT_BEGIN_NAMESPACE
class QFrame;
class QLineEdit;
class QPushButton;
class QValidator;
class QWidget;
QT_END_NAMESPACE

// One colour of a style dialog: a swatch, a hex editor and a pick button. The row reads
// its colour from the editor's text, writes colours back in its own name format, and
// reacts to typing, to finished editing and to the picker; the dialog learns of each
// change through colorChanged() and updates its previews.
class ColorRow : public QObject
{
    Q_OBJECT

public:
    enum class Format {
        Rgb, // "#RRGGBB": the alpha is not written
        Argb // "#AARRGGBB"
    };

    // The row gives the editor the validator and the placeholder of its format, and
    // the pick button its look.
    ColorRow(QFrame *swatch, QLineEdit *hexEdit, QPushButton *pickButton,
             const QString &pickTitle, Format format, QValidator *validator,
             QObject *parent);
    ~ColorRow() override;

    // Makes the row remember the alpha of every colour set on it; a "#RRGGBB" text then
    // takes that alpha instead of being opaque.
    void rememberAlpha(int alpha);
    int rememberedAlpha() const { return m_alpha; }

    // The editor's colour: invalid when the text is empty or does not parse; a missing
    // hash is put in front.
    QColor color() const;
    // Writes a valid colour into the editor in the row's format, without the editor's
    // signals, and shows it in the swatch; an invalid colour changes nothing.
    void setColor(const QColor &color);
    // Shows a valid colour, alpha included, in the swatch.
    void showInSwatch(const QColor &color);

    // A validator for an optional hash and at most digits hexadecimal digits.
    static QValidator *hexValidator(int digits, QObject *parent);
    // Unless every colour is valid, shows the "Invalid colors" warning over dialog and
    // returns false.
    static bool confirmValid(QWidget *dialog, std::initializer_list<QColor> colors);

signals:
    // The user typed a colour, finished editing one or picked one.
    void colorChanged();

private slots:
    void onTextChanged();
    void onEditingFinished();
    void pick();

private:
    QPointer<QFrame> m_swatch;
    QPointer<QLineEdit> m_hexEdit;
    QString m_pickTitle;
    Format m_format;
    int m_alpha = -1; // remembered alpha, or -1 when the row keeps none
};
