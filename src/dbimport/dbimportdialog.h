#pragma once

#include <QDialog>
#include <QStringList>

QT_BEGIN_NAMESPACE
class QComboBox;
class QDialogButtonBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QSpinBox;
QT_END_NAMESPACE

// Import from Database: the interpreter, the inspector script, the source and its
// connection data or CSV folder, turned into the inspector's command line. It checks
// nothing; the inspector reports what is wrong.
class DbImportDialog : public QDialog
{
    Q_OBJECT

public:
    explicit DbImportDialog(QWidget *parent = nullptr);

    QString pythonExecutable() const;
    QString scriptPath() const;
    // The inspector's arguments after the script path.
    QStringList scriptArguments() const;

private slots:
    void onDialectChanged(int index);
    void browsePython();
    void browseScript();
    void browseCsvDir();

private:
    void buildUi();
    void connectButtons();

    QLineEdit *m_pythonEdit = nullptr;
    QLineEdit *m_scriptEdit = nullptr;
    QComboBox *m_dialectCombo = nullptr;
    QGroupBox *m_connectionGroup = nullptr;
    QLineEdit *m_hostEdit = nullptr;
    QSpinBox *m_portSpin = nullptr;
    QLabel *m_databaseLabel = nullptr;
    QLineEdit *m_databaseEdit = nullptr;
    QLineEdit *m_userEdit = nullptr;
    QLineEdit *m_passwordEdit = nullptr;
    QLineEdit *m_schemaEdit = nullptr;
    QGroupBox *m_csvGroup = nullptr;
    QLineEdit *m_csvDirEdit = nullptr;
    QDialogButtonBox *m_buttonBox = nullptr;
};
