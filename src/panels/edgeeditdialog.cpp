#include "edgeeditdialog.h"

#include "ui_edgeeditdialog.h"

EdgeEditDialog::EdgeEditDialog(const QString &name, QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::EdgeEditDialog)
{
    ui->setupUi(this);
    setModal(true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    ui->labelRelationshipName->setText(tr("Relationship: %1").arg(name));
}

EdgeEditDialog::~EdgeEditDialog()
{
    delete ui;
}

void EdgeEditDialog::on_pushButtonOK_clicked()
{
    accept();
}

void EdgeEditDialog::on_pushButtonCancel_clicked()
{
    reject();
}
