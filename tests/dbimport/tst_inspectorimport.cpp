#include "dbimportdialog.h"
#include "diagramsummary.h"
#include "importerrecorder.h"
#include "scenerendering.h"
#include "schemaimporter.h"

#include <QComboBox>
#include <QFile>
#include <QJsonDocument>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QProcess>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

// The shipped inspector script run through the dialog's command line and the importer,
// against the tests' PostgreSQL server, a CSV folder and a stand-in Oracle driver.
class TestInspectorImport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void postgresqlSchemaBecomesADiagram();
    void csvFolderBecomesADiagram();
    void oracleSchemaBecomesADiagram();
    void missingFolderFailsWithTheInspectorsReason();

private:
    QJsonObject importWith(DbImportDialog &dialog);
    SchemaImporter m_importer;
    ImporterRecorder m_recorder{&m_importer};
};

namespace {

void setField(DbImportDialog &dialog, const char *name, const QString &text)
{
    dialog.findChild<QLineEdit *>(QLatin1String(name))->setText(text);
}

void chooseSource(DbImportDialog &dialog, const QString &data)
{
    auto *combo = dialog.findChild<QComboBox *>(QStringLiteral("dialectCombo"));
    combo->setCurrentIndex(combo->findData(data));
}

} // namespace

void TestInspectorImport::initTestCase()
{
    testsupport::registerBundledMonoFont();
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
    // The build puts the script next to the executables, where the dialog looks first.
    DbImportDialog dialog;
    QVERIFY2(QFile::exists(dialog.scriptPath()), qPrintable(dialog.scriptPath()));
}

QJsonObject TestInspectorImport::importWith(DbImportDialog &dialog)
{
    m_recorder.events.clear();
    setField(dialog, "pythonEdit", importertest::python);
    m_importer.start(dialog.pythonExecutable(), dialog.scriptPath(), dialog.scriptArguments());
    if (!m_recorder.waitForEnd(60000))
        qWarning() << "the import did not end:" << m_recorder.events;
    return m_recorder.erJson;
}

void TestInspectorImport::postgresqlSchemaBecomesADiagram()
{
    const QString connectionFile = qEnvironmentVariable("VELMORA_PG_CONNECTION");
    const QJsonObject server =
        QJsonDocument::fromJson(testsupport::readFileBytes(connectionFile)).object();
    QVERIFY2(!server.isEmpty(), qPrintable(QStringLiteral("No PostgreSQL test server: '%1' is missing; "
                                                          "run through ctest, whose fixture starts it.")
                                               .arg(connectionFile)));
    DbImportDialog dialog;
    setField(dialog, "hostEdit", server["host"].toString());
    dialog.findChild<QSpinBox *>(QStringLiteral("portSpin"))->setValue(server["port"].toInt());
    setField(dialog, "userEdit", server["user"].toString());
    setField(dialog, "passwordEdit", server["password"].toString());
    setField(dialog, "schemaEdit", QStringLiteral("shop"));
    setField(dialog, "databaseEdit", server["dbname"].toString());

    const QJsonObject diagram = importWith(dialog);
    QVERIFY2(!m_recorder.events.isEmpty() && m_recorder.events.last() == QLatin1String("finished:postgresql"),
             qPrintable(m_recorder.events.join(QLatin1Char('|'))));

    // The password reached the server through the script's environment; its command line,
    // which every local user can read, never held it.
    const QString password = server["password"].toString();
    const QList<QProcess *> processes = m_importer.findChildren<QProcess *>(Qt::FindDirectChildrenOnly);
    QVERIFY(!processes.isEmpty());
    const QStringList arguments = processes.last()->arguments();
    QVERIFY(!arguments.isEmpty());
    QVERIFY(!arguments.contains(QStringLiteral("--password")));
    for (const QString &argument : arguments)
        QVERIFY2(!argument.contains(password.trimmed()), qPrintable(argument));
    QCOMPARE(processes.last()->processEnvironment().value(SchemaImporter::passwordVariable), password);
    QVERIFY(!m_recorder.events.join(QLatin1Char('|')).contains(QLatin1String("failed:")));
    QCOMPARE(m_recorder.fullSchema.value("meta").toObject().value("dialect").toString(), QStringLiteral("postgresql"));
    // Keys into the schemas hr, other and sales bring their tables, titled with their schema;
    // the table named "sales.regions" stays apart from the table regions of the schema sales;
    // NOT NULL columns say so (NN); a unique foreign key is one-to-one (invoice).
    QCOMPARE(diagramsummary::describe(diagram), QStringList({
        "\"sales\".\"regions\" @60,60: code:TEXT PK NN",
        "Audit @380,60: entry:BIGINT PK NN, customer_id:INTEGER FK0, Wer \"hat\" geändert:TEXT",
        "categories @700,60: id:INTEGER PK NN, parent_id:INTEGER FK1",
        "customers @1020,60: id:INTEGER PK NN, email:CHARACTER VARYING(40) UK NN, credit:NUMERIC(10,2), mood:SHOP.\"Mood\"",
        "empty_marker @60,320: ",
        "event_notes @380,320: event_id:INTEGER FK2, happened:DATE FK2, note:TEXT",
        "events @700,320: id:INTEGER PK NN, happened:DATE PK NN",
        "hr.employees @1020,320: id:INTEGER PK NN, badge:TEXT NN",
        "invoice @60,580: id:INTEGER PK NN, order_id:INTEGER UK NN FK3, total:NUMERIC(10,2) NN",
        "invoices @380,580: id:UUID PK NN, customer_id:INTEGER FK4",
        "order_lines @700,580: order_id:INTEGER PK NN FK5, line_no:INTEGER PK NN, product:TEXT",
        "orders @1020,580: id:INTEGER PK NN, customer_id:INTEGER NN FK6, placed_at:TIMESTAMP WITH TIME ZONE, tags:INTEGER[]",
        "other.customers @60,840: id:INTEGER PK NN",
        "sales.regions @380,840: id:INTEGER PK NN, label:TEXT NN",
        "shipments @700,840: id:INTEGER PK NN, line_no:INTEGER FK7, order_id:INTEGER FK7",
        "stores @1020,840: id:INTEGER PK NN, manager_id:INTEGER NN FK10, deputy_badge:TEXT FK8, region_code:TEXT FK11, "
        "local_region:INTEGER FK9",
        "E0 other.customers -> Audit 0/1",
        "E1 categories -> categories 0/1",
        "E2 events -> event_notes 0/1",
        "E3 orders -> invoice 0/0",
        "E4 customers -> invoices 0/1",
        "E5 orders -> order_lines 0/1",
        "E6 customers -> orders 0/1",
        "E7 order_lines -> shipments 0/1",
        "E8 hr.employees -> stores 0/1",
        "E9 sales.regions -> stores 0/1",
        "E10 hr.employees -> stores 0/1",
        "E11 \"sales\".\"regions\" -> stores 0/1",
    }));


    // A picture of the imported schema for a person to look at.
    ERScene scene;
    QVERIFY(scene.loadFromJson(diagram));
    QCOMPARE(scenetest::entityBoxes(scene).size(), 16);
    QCOMPARE(scenetest::edgeItems(scene).size(), 12);
    QVERIFY(!scenetest::renderScene(scene, QStringLiteral("tst_inspectorimport"), QStringLiteral("shop.png")).isNull());
}

void TestInspectorImport::csvFolderBecomesADiagram()
{
    QTemporaryDir folder;
    auto write = [&](const char *name, const QByteArray &data) {
        QFile file(folder.filePath(QLatin1String(name)));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(data);
    };
    write("orders.csv", "id,customer,total\n1,ann,9.5\n2,bob,12\n");
    write("Customers.CSV", "\xEF\xBB\xBFname;since\nann;2021\n");
    write("readme.txt", "not a table\n");

    DbImportDialog dialog;
    chooseSource(dialog, QStringLiteral("csv"));
    setField(dialog, "csvDirEdit", QLatin1Char(' ') + folder.path() + QLatin1Char(' '));
    const QJsonObject diagram = importWith(dialog);
    QCOMPARE(m_recorder.events.last(), QStringLiteral("finished:csv"));
    QCOMPARE(m_recorder.fullSchema.value("meta").toObject().value("dialect").toString(), QStringLiteral("csv"));
    QCOMPARE(diagramsummary::describe(diagram), QStringList({
        "Customers @60,60: name:TEXT, since:INTEGER",
        "orders @380,60: id:INTEGER, customer:TEXT, total:REAL",
    }));
}

void TestInspectorImport::oracleSchemaBecomesADiagram()
{
    // The application passes its whole environment on to the script.
    QTemporaryDir logFolder;
    qputenv("PYTHONPATH", testsupport::dataPath(QStringLiteral("dbimport/fake_oracle")).toUtf8());
    qputenv("FAKE_ORACLE_LOG", logFolder.filePath(QStringLiteral("statements.jsonl")).toUtf8());
    DbImportDialog dialog;
    chooseSource(dialog, QStringLiteral("oracle"));
    setField(dialog, "userEdit", QStringLiteral("scott"));
    setField(dialog, "passwordEdit", QStringLiteral("tiger"));
    setField(dialog, "schemaEdit", QStringLiteral("shop"));
    setField(dialog, "databaseEdit", QStringLiteral("db.example:1521/ORCL"));
    const QJsonObject diagram = importWith(dialog);
    qunsetenv("PYTHONPATH");
    qunsetenv("FAKE_ORACLE_LOG");

    QCOMPARE(m_recorder.events.last(), QStringLiteral("finished:oracle"));
    QCOMPARE(diagramsummary::describe(diagram), QStringList({
        "CUSTOMERS @60,60: ID:NUMBER(10) PK NN, NAME:NVARCHAR2(100) UK NN",
        "EMPTY_T @380,60: ",
        "HR.PEOPLE @60,320: ID:NUMBER PK NN",
        "ORDERS @380,320: ID:NUMBER(10) PK NN, CUSTOMER_ID:NUMBER(10) NN FK0, PERSON_ID:NUMBER FK1, "
        "AMOUNT:NUMBER(10,2), NOTE:VARCHAR2(40), PLACED:DATE",
        "E0 CUSTOMERS -> ORDERS 0/1",
        "E1 HR.PEOPLE -> ORDERS 0/1",
    }));

}

void TestInspectorImport::missingFolderFailsWithTheInspectorsReason()
{
    QTemporaryDir folder;
    const QString missing = folder.filePath(QStringLiteral("missing"));
    DbImportDialog dialog;
    chooseSource(dialog, QStringLiteral("csv"));
    setField(dialog, "csvDirEdit", missing);
    importWith(dialog);
    const QString events = m_recorder.events.join(QLatin1Char('|'));
    QVERIFY2(m_recorder.events.last().startsWith(QLatin1String("failed:Python exited with code 1.\n")), qPrintable(events));
    // The reason, shown as progress a moment before, is the message's second line.
    QVERIFY2(m_recorder.events.last().contains(QStringLiteral("CSV folder %1 does not exist.").arg(missing)),
             qPrintable(events));
}

QTEST_MAIN(TestInspectorImport)
#include "tst_inspectorimport.moc"
