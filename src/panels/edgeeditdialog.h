#pragma once

#include <QDialog>

QT_BEGIN_NAMESPACE
namespace Ui {
class EdgeEditDialog;
}
QT_END_NAMESPACE

// The small modal dialog a relationship line's menu opens; it edits nothing.
class EdgeEditDialog : public QDialog
{
    Q_OBJECT

public:
    explicit EdgeEditDialog(const QString &name, QWidget *parent = nullptr);
    ~EdgeEditDialog() override;

private slots:
    void on_pushButtonOK_clicked();
    void on_pushButtonCancel_clicked();

private:
    Ui::EdgeEditDialog *ui;
};
