#pragma once

#include <QDialog>

QT_BEGIN_NAMESPACE
namespace Ui {
class EntityEditDialog;
}
QT_END_NAMESPACE

// The small modal dialog the entity box's menu opens for one entity; it edits nothing.
class EntityEditDialog : public QDialog
{
    Q_OBJECT

public:
    explicit EntityEditDialog(const QString &name, QWidget *parent = nullptr);
    ~EntityEditDialog() override;

private slots:
    void on_pushButtonOK_clicked();
    void on_pushButtonCancel_clicked();

private:
    Ui::EntityEditDialog *ui;
};
