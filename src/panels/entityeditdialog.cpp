#include "entityeditdialog.h"

#include "ui_entityeditdialog.h"

EntityEditDialog::EntityEditDialog(const QString &name, QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::EntityEditDialog)
{
    ui->setupUi(this);
    setModal(true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    ui->labelEntityName->setText(tr("Entity: %1").arg(name));
}

EntityEditDialog::~EntityEditDialog()
{
    delete ui;
}

void EntityEditDialog::on_pushButtonOK_clicked()
{
    accept();
}

void EntityEditDialog::on_pushButtonCancel_clicked()
{
    reject();
}
