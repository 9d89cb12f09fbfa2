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
    QVERIFY(!m_recorder.events.join(QLatin1Char('|')).contains(QLatin1String("failed:")));
    QCOMPARE(m_recorder.fullSchema.value("meta").toObject().value("dialect").toString(), QStringLiteral("postgresql"));
    QCOMPARE(diagramsummary::describe(diagram), QStringList({
        "Audit @60,60: entry:BIGINT PK, customer_id:INTEGER FK?, Wer \"hat\" geändert:TEXT",
        "categories @380,60: id:INTEGER PK, parent_id:INTEGER FK0",
        "customers @700,60: id:INTEGER PK, email:CHARACTER VARYING(40) UK, credit:NUMERIC(10,2), mood:SHOP.\"Mood\"",
        "empty_marker @1020,60: ",
        "event_notes @60,320: event_id:INTEGER FK1, happened:DATE FK1, note:TEXT",
        "events @380,320: id:INTEGER PK, happened:DATE PK",
        "invoices @700,320: id:UUID PK, customer_id:INTEGER FK2",
        "order_lines @1020,320: order_id:INTEGER PK FK3, line_no:INTEGER PK, product:TEXT",
        "orders @60,580: id:INTEGER PK, customer_id:INTEGER FK4, placed_at:TIMESTAMP WITH TIME ZONE, tags:INTEGER[]",
        "shipments @380,580: id:INTEGER PK, line_no:INTEGER FK5, order_id:INTEGER FK5",
        "E0 categories -> categories 0/1",
        "E1 events -> event_notes 0/1",
        "E2 customers -> invoices 0/1",
        "E3 orders -> order_lines 0/1",
        "E4 customers -> orders 0/1",
        "E5 order_lines -> shipments 0/1",
    }));

    // A picture of the imported schema for a person to look at.
    ERScene scene;
    QVERIFY(scene.loadFromJson(diagram));
    QCOMPARE(scenetest::entityBoxes(scene).size(), 10);
    QCOMPARE(scenetest::edgeItems(scene).size(), 6);
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
        "CUSTOMERS @60,60: ID:NUMBER(10) PK, NAME:NVARCHAR2(100) UK",
        "EMPTY_T @380,60: ",
        "ORDERS @60,320: ID:NUMBER(10) PK, CUSTOMER_ID:NUMBER(10) FK0, PERSON_ID:NUMBER FK?, "
        "AMOUNT:NUMBER(10,2), NOTE:VARCHAR2(40), PLACED:DATE",
        "E0 CUSTOMERS -> ORDERS 0/1",
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
    // Shown as progress or as the message's second line, whichever came first.
    QVERIFY2(events.contains(QStringLiteral("CSV folder %1 does not exist.").arg(missing)), qPrintable(events));
}

QTEST_MAIN(TestInspectorImport)
#include "tst_inspectorimport.moc"
