#include "dbimportdialog.h"
#include "scriptedprompts.h"
#include "testsupport.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

// The Import from Database dialog: its fields, their defaults, the command line it makes
// and the three choosers.
class TestDbImportDialog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void opensOnPostgreSqlWithDefaults();
    void argumentsForEachSource_data();
    void argumentsForEachSource();
    void switchingSourceResetsOnlyThePort();
    void choosersSetTheirFieldUnlessCancelled_data();
    void choosersSetTheirFieldUnlessCancelled();
    void importAndCancelCloseTheDialog();
    void picturesOfBothLayouts();
};

namespace {

template<typename T>
T *field(const QDialog &dialog, const char *name)
{
    T *widget = dialog.findChild<T *>(QLatin1String(name));
    if (!widget)
        qFatal("no %s in the dialog", name);
    return widget;
}

void chooseSource(DbImportDialog &dialog, const QString &data)
{
    auto *combo = field<QComboBox>(dialog, "dialectCombo");
    combo->setCurrentIndex(combo->findData(data));
}

} // namespace

void TestDbImportDialog::initTestCase()
{
    testsupport::registerBundledMonoFont();
}

void TestDbImportDialog::opensOnPostgreSqlWithDefaults()
{
    DbImportDialog dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Import Schema from Database"));
    QCOMPARE(dialog.minimumWidth(), 480);

    auto *combo = field<QComboBox>(dialog, "dialectCombo");
    QCOMPARE(combo->count(), 3);
    const QList<QPair<QString, QString>> items = {
        {"PostgreSQL", "postgresql"}, {"Oracle", "oracle"}, {"CSV files", "csv"}};
    for (int i = 0; i < items.size(); ++i) {
        QCOMPARE(combo->itemText(i), items.at(i).first);
        QCOMPARE(combo->itemData(i, Qt::UserRole).toString(), items.at(i).second);
    }
    QCOMPARE(combo->currentIndex(), 0);

    QVERIFY(!field<QGroupBox>(dialog, "connectionGroup")->isHidden());
    QVERIFY(field<QGroupBox>(dialog, "csvGroup")->isHidden());
    QCOMPARE(field<QGroupBox>(dialog, "connectionGroup")->title(), QStringLiteral("Connection"));
    QCOMPARE(field<QGroupBox>(dialog, "csvGroup")->title(), QStringLiteral("CSV directory"));
    QCOMPARE(field<QSpinBox>(dialog, "portSpin")->value(), 5432);
    QCOMPARE(field<QSpinBox>(dialog, "portSpin")->minimum(), 1);
    QCOMPARE(field<QSpinBox>(dialog, "portSpin")->maximum(), 65535);
    QCOMPARE(field<QLabel>(dialog, "databaseLabel")->text(), QStringLiteral("Database name:"));
    QCOMPARE(field<QLineEdit>(dialog, "hostEdit")->text(), QStringLiteral("localhost"));
    QCOMPARE(field<QLineEdit>(dialog, "schemaEdit")->text(), QStringLiteral("public"));
    QCOMPARE(field<QLineEdit>(dialog, "schemaEdit")->placeholderText(), QStringLiteral("public"));
    QCOMPARE(field<QLineEdit>(dialog, "databaseEdit")->text(), QString());
    QCOMPARE(field<QLineEdit>(dialog, "databaseEdit")->placeholderText(), QStringLiteral("mydb"));
    QCOMPARE(field<QLineEdit>(dialog, "passwordEdit")->echoMode(), QLineEdit::Password);
    QCOMPARE(dialog.pythonExecutable(), QStringLiteral("python3"));
    QCOMPARE(dialog.scriptPath(), QCoreApplication::applicationDirPath() + QStringLiteral("/tools/schema_inspector.py"));

    auto *buttons = dialog.findChild<QDialogButtonBox *>();
    QCOMPARE(buttons->button(QDialogButtonBox::Ok)->text(), QStringLiteral("Import"));
    QVERIFY(buttons->button(QDialogButtonBox::Cancel));
    for (const char *name : {"browsePython", "browseScript", "browseCsv"}) {
        auto *button = field<QPushButton>(dialog, name);
        QCOMPARE(button->text(), QStringLiteral("..."));
        // As wide as its text and the style's padding ask, at least 30.
        QCOMPARE(button->sizePolicy().horizontalPolicy(), QSizePolicy::Fixed);
        QCOMPARE(button->minimumWidth(), 30);
    }
}

void TestDbImportDialog::argumentsForEachSource_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QStringList>("expected");
    // Fields as typed below: host, user, schema and database with blanks around them.
    QTest::newRow("postgresql")
        << "postgresql"
        << QStringList{"--dialect", "postgresql", "--host", "db.local", "--port", "5432", "--user", "ann",
                       "--password", " -p@ss word ", "--schema", "shop", "--dbname", "citest"};
    QTest::newRow("oracle")
        << "oracle"
        << QStringList{"--dialect", "oracle", "--host", "db.local", "--port", "1521", "--user", "ann",
                       "--password", " -p@ss word ", "--schema", "shop", "--dsn", "citest"};
    QTest::newRow("csv") << "csv" << QStringList{"--dialect", "csv", "--csv-dir", "/data/my csv"};
}

void TestDbImportDialog::argumentsForEachSource()
{
    QFETCH(QString, source);
    QFETCH(QStringList, expected);
    DbImportDialog dialog;
    field<QLineEdit>(dialog, "pythonEdit")->setText(QStringLiteral("  /usr/bin/python3 "));
    field<QLineEdit>(dialog, "scriptEdit")->setText(QStringLiteral(" /opt/inspector.py\t"));
    field<QLineEdit>(dialog, "hostEdit")->setText(QStringLiteral("  db.local "));
    field<QLineEdit>(dialog, "userEdit")->setText(QStringLiteral(" ann"));
    field<QLineEdit>(dialog, "passwordEdit")->setText(QStringLiteral(" -p@ss word "));
    field<QLineEdit>(dialog, "schemaEdit")->setText(QStringLiteral("shop "));
    field<QLineEdit>(dialog, "databaseEdit")->setText(QStringLiteral(" citest "));
    field<QLineEdit>(dialog, "csvDirEdit")->setText(QStringLiteral(" /data/my csv "));
    chooseSource(dialog, source);
    QCOMPARE(dialog.scriptArguments(), expected);
    QCOMPARE(dialog.pythonExecutable(), QStringLiteral("/usr/bin/python3"));
    QCOMPARE(dialog.scriptPath(), QStringLiteral("/opt/inspector.py"));

    // Empty fields still give their option, with an empty value.
    for (QLineEdit *edit : dialog.findChildren<QLineEdit *>())
        edit->clear();
    const QStringList empty = dialog.scriptArguments();
    QCOMPARE(empty.size(), expected.size());
    for (int i = 1; i < empty.size(); i += 2) {
        QCOMPARE(empty.at(i - 1), expected.at(i - 1));
        if (empty.at(i - 1) != QLatin1String("--dialect") && empty.at(i - 1) != QLatin1String("--port"))
            QCOMPARE(empty.at(i), QString());
    }
}

void TestDbImportDialog::switchingSourceResetsOnlyThePort()
{
    DbImportDialog dialog;
    auto *port = field<QSpinBox>(dialog, "portSpin");
    auto *schema = field<QLineEdit>(dialog, "schemaEdit");
    auto *database = field<QLineEdit>(dialog, "databaseEdit");
    port->setValue(6000);
    database->setText(QStringLiteral("kept"));

    chooseSource(dialog, QStringLiteral("oracle"));
    QCOMPARE(port->value(), 1521);
    QCOMPARE(field<QLabel>(dialog, "databaseLabel")->text(), QStringLiteral("DSN (host:port/service):"));
    QCOMPARE(database->placeholderText(), QStringLiteral("localhost:1521/ORCL"));
    QCOMPARE(schema->placeholderText(), QStringLiteral("SCOTT"));
    QCOMPARE(schema->text(), QStringLiteral("public"));
    QCOMPARE(database->text(), QStringLiteral("kept"));
    QVERIFY(!field<QGroupBox>(dialog, "connectionGroup")->isHidden());

    port->setValue(7000);
    chooseSource(dialog, QStringLiteral("postgresql"));
    QCOMPARE(port->value(), 5432);
    QCOMPARE(field<QLabel>(dialog, "databaseLabel")->text(), QStringLiteral("Database name:"));
    QCOMPARE(schema->placeholderText(), QStringLiteral("public"));

    port->setValue(6543);
    chooseSource(dialog, QStringLiteral("csv"));
    QCOMPARE(port->value(), 6543);
    QVERIFY(field<QGroupBox>(dialog, "connectionGroup")->isHidden());
    QVERIFY(!field<QGroupBox>(dialog, "csvGroup")->isHidden());
    QCOMPARE(database->text(), QStringLiteral("kept"));
}

void TestDbImportDialog::choosersSetTheirFieldUnlessCancelled_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("fieldName");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("answer");

    const QString python = QStringLiteral("open-file");
    for (const QString &answer : {QStringLiteral("/chosen/path"), QString()}) {
        const QByteArray suffix = answer.isEmpty() ? " cancelled" : " chosen";
        QTest::newRow(QByteArray("python" + suffix).constData())
            << "browsePython" << "pythonEdit" << python << "Select Python executable" << "All files (*)" << answer;
        QTest::newRow(QByteArray("script" + suffix).constData())
            << "browseScript" << "scriptEdit" << python << "Select schema_inspector.py"
            << "Python scripts (*.py);;All files (*)" << answer;
        QTest::newRow(QByteArray("csv folder" + suffix).constData())
            << "browseCsv" << "csvDirEdit" << "directory" << "Select CSV directory" << QString() << answer;
    }
}

void TestDbImportDialog::choosersSetTheirFieldUnlessCancelled()
{
    QFETCH(QString, button);
    QFETCH(QString, fieldName);
    QFETCH(QString, kind);
    QFETCH(QString, title);
    QFETCH(QString, filter);
    QFETCH(QString, answer);

    ScriptedPrompts prompts;
    UiPrompts::Override scripted(&prompts);
    if (kind == QLatin1String("directory"))
        prompts.answerDirectory(answer);
    else
        prompts.answerOpenFile(answer);

    DbImportDialog dialog;
    chooseSource(dialog, QStringLiteral("csv"));
    auto *edit = dialog.findChild<QLineEdit *>(fieldName);
    edit->setText(QStringLiteral("/before"));
    dialog.findChild<QPushButton *>(button)->click();

    QCOMPARE(edit->text(), answer.isEmpty() ? QStringLiteral("/before") : answer);
    const QList<ScriptedPrompts::Prompt> asked = prompts.promptsOf(kind);
    QCOMPARE(asked.size(), 1);
    QCOMPARE(asked.first().title, title);
    QCOMPARE(asked.first().filter, filter);
    // The folder chooser starts at the folder in the field; the file choosers nowhere.
    QCOMPARE(asked.first().initial, kind == QLatin1String("directory") ? QStringLiteral("/before") : QString());
    QCOMPARE(prompts.prompts.size(), 1);
    QCOMPARE(prompts.unexpected, 0);
}

void TestDbImportDialog::importAndCancelCloseTheDialog()
{
    // It validates nothing: an empty folder is accepted as it is.
    DbImportDialog dialog;
    chooseSource(dialog, QStringLiteral("csv"));
    auto *buttons = dialog.findChild<QDialogButtonBox *>();
    buttons->button(QDialogButtonBox::Ok)->click();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.scriptArguments(), QStringList({"--dialect", "csv", "--csv-dir", ""}));

    DbImportDialog other;
    other.findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Cancel)->click();
    QCOMPARE(other.result(), int(QDialog::Rejected));
}

void TestDbImportDialog::picturesOfBothLayouts()
{
    const QDir out(testsupport::outputDir(QStringLiteral("tst_dbimportdialog")));
    DbImportDialog dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    const QSize postgresSize = dialog.size();
    QVERIFY(dialog.grab().save(out.filePath(QStringLiteral("postgresql.png"))));

    chooseSource(dialog, QStringLiteral("csv"));
    QCoreApplication::processEvents();
    // The dialog shrinks to its contents without the connection fields.
    QVERIFY(dialog.height() < postgresSize.height());
    QVERIFY(dialog.width() >= 480);
    QVERIFY(dialog.grab().save(out.filePath(QStringLiteral("csv.png"))));
}

QTEST_MAIN(TestDbImportDialog)
#include "tst_dbimportdialog.moc"
