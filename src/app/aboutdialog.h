#pragma once

#include <QDialog>

namespace Ui {
class AboutDialog;
}

// The about box: frameless, fixed size, drawn by its style sheets. It is modal and
// deletes itself when closed.
class AboutDialog : public QDialog
{
    Q_OBJECT

public:
    explicit AboutDialog(QWidget *parent = nullptr);
    ~AboutDialog() override;

private:
    Ui::AboutDialog *ui;
};
