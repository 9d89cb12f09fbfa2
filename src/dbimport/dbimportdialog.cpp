#include "dbimportdialog.h"

#include "uiprompts.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

const QString postgresql = QStringLiteral("postgresql");
const QString oracle = QStringLiteral("oracle");
const QString csv = QStringLiteral("csv");
constexpr int postgresqlPort = 5432;
constexpr int oraclePort = 1521;
constexpr int browseButtonWidth = 30;

// A line edit followed by a "..." button with the given object name.
QHBoxLayout *withBrowseButton(QLineEdit *edit, const QString &buttonName, QWidget *parent)
{
    auto *button = new QPushButton(QStringLiteral("..."), parent);
    button->setObjectName(buttonName);
    // Narrow, but never narrower than the text and the style sheet's padding need: a fixed
    // width of 30 left no room for the dots.
    button->setMinimumWidth(browseButtonWidth);
    button->setSizePolicy(QSizePolicy::Fixed, button->sizePolicy().verticalPolicy());
    auto *row = new QHBoxLayout;
    row->addWidget(edit);
    row->addWidget(button);
    return row;
}

} // namespace

DbImportDialog::DbImportDialog(QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(tr("Import Schema from Database"));
    setMinimumWidth(480);
    buildUi();
    connectButtons();
    onDialectChanged(m_dialectCombo->currentIndex());
}

QString DbImportDialog::pythonExecutable() const
{
    return m_pythonEdit->text().trimmed();
}

QString DbImportDialog::scriptPath() const
{
    return m_scriptEdit->text().trimmed();
}

QStringList DbImportDialog::scriptArguments() const
{
    const QString dialect = m_dialectCombo->currentData().toString();
    QStringList args{QStringLiteral("--dialect"), dialect};
    if (dialect == csv) {
        args << QStringLiteral("--csv-dir") << m_csvDirEdit->text().trimmed();
        return args;
    }
    // The password goes as typed: blanks may be part of it.
    args << QStringLiteral("--host") << m_hostEdit->text().trimmed()
         << QStringLiteral("--port") << QString::number(m_portSpin->value())
         << QStringLiteral("--user") << m_userEdit->text().trimmed()
         << QStringLiteral("--password") << m_passwordEdit->text()
         << QStringLiteral("--schema") << m_schemaEdit->text().trimmed()
         << (dialect == postgresql ? QStringLiteral("--dbname") : QStringLiteral("--dsn"))
         << m_databaseEdit->text().trimmed();
    return args;
}

void DbImportDialog::buildUi()
{
    auto *layout = new QVBoxLayout(this);
    layout->setSpacing(10);

    auto *pythonGroup = new QGroupBox(tr("Python environment"), this);
    auto *pythonForm = new QFormLayout(pythonGroup);
    m_pythonEdit = new QLineEdit(QStringLiteral("python3"), pythonGroup);
    m_pythonEdit->setObjectName(QStringLiteral("pythonEdit"));
    pythonForm->addRow(tr("Python executable:"),
                       withBrowseButton(m_pythonEdit, QStringLiteral("browsePython"), pythonGroup));
    m_scriptEdit = new QLineEdit(QCoreApplication::applicationDirPath()
                                     + QStringLiteral("/tools/schema_inspector.py"),
                                 pythonGroup);
    m_scriptEdit->setObjectName(QStringLiteral("scriptEdit"));
    pythonForm->addRow(tr("Script (schema_inspector.py):"),
                       withBrowseButton(m_scriptEdit, QStringLiteral("browseScript"), pythonGroup));
    layout->addWidget(pythonGroup);

    auto *sourceGroup = new QGroupBox(tr("Source"), this);
    auto *sourceForm = new QFormLayout(sourceGroup);
    m_dialectCombo = new QComboBox(sourceGroup);
    m_dialectCombo->setObjectName(QStringLiteral("dialectCombo"));
    m_dialectCombo->addItem(tr("PostgreSQL"), postgresql);
    m_dialectCombo->addItem(tr("Oracle"), oracle);
    m_dialectCombo->addItem(tr("CSV files"), csv);
    sourceForm->addRow(tr("Dialect:"), m_dialectCombo);
    layout->addWidget(sourceGroup);

    m_connectionGroup = new QGroupBox(tr("Connection"), this);
    m_connectionGroup->setObjectName(QStringLiteral("connectionGroup"));
    auto *connectionForm = new QFormLayout(m_connectionGroup);
    m_hostEdit = new QLineEdit(QStringLiteral("localhost"), m_connectionGroup);
    m_hostEdit->setObjectName(QStringLiteral("hostEdit"));
    connectionForm->addRow(tr("Host:"), m_hostEdit);
    m_portSpin = new QSpinBox(m_connectionGroup);
    m_portSpin->setObjectName(QStringLiteral("portSpin"));
    m_portSpin->setRange(1, 65535);
    m_portSpin->setValue(postgresqlPort);
    connectionForm->addRow(tr("Port:"), m_portSpin);
    m_databaseLabel = new QLabel(tr("Database name:"), m_connectionGroup);
    m_databaseLabel->setObjectName(QStringLiteral("databaseLabel"));
    m_databaseEdit = new QLineEdit(m_connectionGroup);
    m_databaseEdit->setObjectName(QStringLiteral("databaseEdit"));
    connectionForm->addRow(m_databaseLabel, m_databaseEdit);
    m_userEdit = new QLineEdit(m_connectionGroup);
    m_userEdit->setObjectName(QStringLiteral("userEdit"));
    connectionForm->addRow(tr("User:"), m_userEdit);
    m_passwordEdit = new QLineEdit(m_connectionGroup);
    m_passwordEdit->setObjectName(QStringLiteral("passwordEdit"));
    m_passwordEdit->setEchoMode(QLineEdit::Password);
    connectionForm->addRow(tr("Password:"), m_passwordEdit);
    m_schemaEdit = new QLineEdit(QStringLiteral("public"), m_connectionGroup);
    m_schemaEdit->setObjectName(QStringLiteral("schemaEdit"));
    connectionForm->addRow(tr("Schema:"), m_schemaEdit);
    layout->addWidget(m_connectionGroup);

    m_csvGroup = new QGroupBox(tr("CSV directory"), this);
    m_csvGroup->setObjectName(QStringLiteral("csvGroup"));
    m_csvDirEdit = new QLineEdit(m_csvGroup);
    m_csvDirEdit->setObjectName(QStringLiteral("csvDirEdit"));
    auto *csvRow = withBrowseButton(m_csvDirEdit, QStringLiteral("browseCsv"), m_csvGroup);
    m_csvGroup->setLayout(csvRow);
    layout->addWidget(m_csvGroup);

    m_buttonBox = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_buttonBox->button(QDialogButtonBox::Ok)->setText(tr("Import"));
    layout->addWidget(m_buttonBox);
}

void DbImportDialog::connectButtons()
{
    connect(m_dialectCombo, &QComboBox::currentIndexChanged, this, &DbImportDialog::onDialectChanged);
    connect(findChild<QPushButton *>(QStringLiteral("browsePython")), &QPushButton::clicked,
            this, &DbImportDialog::browsePython);
    connect(findChild<QPushButton *>(QStringLiteral("browseScript")), &QPushButton::clicked,
            this, &DbImportDialog::browseScript);
    connect(findChild<QPushButton *>(QStringLiteral("browseCsv")), &QPushButton::clicked,
            this, &DbImportDialog::browseCsvDir);
    connect(m_buttonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void DbImportDialog::onDialectChanged(int index)
{
    const QString dialect = m_dialectCombo->itemData(index).toString();
    m_connectionGroup->setVisible(dialect == postgresql || dialect == oracle);
    m_csvGroup->setVisible(dialect == csv);
    // Only the port is reset; field texts stay as the user left them.
    if (dialect == postgresql) {
        m_portSpin->setValue(postgresqlPort);
        m_databaseLabel->setText(tr("Database name:"));
        m_databaseEdit->setPlaceholderText(QStringLiteral("mydb"));
        m_schemaEdit->setPlaceholderText(QStringLiteral("public"));
    } else if (dialect == oracle) {
        m_portSpin->setValue(oraclePort);
        m_databaseLabel->setText(tr("DSN (host:port/service):"));
        m_databaseEdit->setPlaceholderText(QStringLiteral("localhost:1521/ORCL"));
        m_schemaEdit->setPlaceholderText(QStringLiteral("SCOTT"));
    }
    adjustSize();
}

void DbImportDialog::browsePython()
{
    const QString path = UiPrompts::current().getOpenFileName(
        this, tr("Select Python executable"), QString(), tr("All files (*)"));
    if (!path.isEmpty())
        m_pythonEdit->setText(path);
}

void DbImportDialog::browseScript()
{
    const QString path = UiPrompts::current().getOpenFileName(
        this, tr("Select schema_inspector.py"), QString(), tr("Python scripts (*.py);;All files (*)"));
    if (!path.isEmpty())
        m_scriptEdit->setText(path);
}

void DbImportDialog::browseCsvDir()
{
    const QString path = UiPrompts::current().getExistingDirectory(
        this, tr("Select CSV directory"), m_csvDirEdit->text());
    if (!path.isEmpty())
        m_csvDirEdit->setText(path);
}
