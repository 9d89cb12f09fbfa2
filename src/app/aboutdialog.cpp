#include "aboutdialog.h"
#include "ui_AboutDialog.h"

#include <QApplication>
#include <QGraphicsDropShadowEffect>

static QGraphicsDropShadowEffect *makeShadow(QObject *parent, qreal blur, const QColor &color,
                                             const QPointF &offset)
{
    auto *shadow = new QGraphicsDropShadowEffect(parent);
    shadow->setBlurRadius(blur);
    shadow->setColor(color);
    shadow->setOffset(offset);
    return shadow;
}

AboutDialog::AboutDialog(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::AboutDialog)
{
    ui->setupUi(this);
    setFixedSize(size());
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_TranslucentBackground);
    setAutoFillBackground(false);
    connect(this, &QDialog::accepted, this, &QWidget::close);

    ui->frameChrome->setAttribute(Qt::WA_StyledBackground);
    ui->frameCentral->setAttribute(Qt::WA_StyledBackground);
    ui->frostedPane->setAttribute(Qt::WA_StyledBackground);
    ui->frostedPane->setAutoFillBackground(false);

    ui->frameChrome->setGraphicsEffect(
        makeShadow(ui->frameChrome, 28, QColor(0, 0, 0, 180), QPointF(0, 6)));

    ui->plainTextEditAbout->setReadOnly(true);
    // Read-only mode would allow selecting again; the text stays untouchable.
    ui->plainTextEditAbout->setTextInteractionFlags(Qt::NoTextInteraction);
    ui->plainTextEditAbout->setCursorWidth(0);
    ui->plainTextEditAbout->appendPlainText(tr("Version %1").arg(QApplication::applicationVersion()));
    ui->plainTextEditAbout->appendPlainText(QString());
    ui->plainTextEditAbout->appendPlainText(
        tr("velmora is a desktop application for designing, visualizing and managing database "
           "metadata and entity-relationship diagrams."));

    ui->labelTitle->setGraphicsEffect(
        makeShadow(ui->labelTitle, 16, QColor(255, 255, 255, 150), QPointF(1, 1)));
    ui->labelAuthor->setGraphicsEffect(
        makeShadow(ui->labelAuthor, 16, QColor(255, 255, 255, 150), QPointF(1, 1)));
}

AboutDialog::~AboutDialog()
{
    delete ui;
}
