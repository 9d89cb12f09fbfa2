#include "diagramitem.h"
#include "documentitem.h"
#include "mappingitem.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>

using namespace Qt::StringLiterals;

class tst_DiagramItem : public QObject
{
    Q_OBJECT

private slots:
    void newDiagramHasEmptyStoredDocumentAndThreeKeys();
    void fromJsonLeavesStoredDocumentAlone();
    void mappingReadsMissingKeysAsEmpty();
    void documentNameIsFileName();
    void idRules_data();
    void idRules();
};

void tst_DiagramItem::newDiagramHasEmptyStoredDocumentAndThreeKeys()
{
    DiagramItem diagram;
    QVERIFY(diagram.sceneJson().isEmpty());
    diagram.setSceneJson(QJsonObject{{"type"_L1, u"er-diagram"_s}});
    QCOMPARE(diagram.toJson().keys(), (QStringList{u"id"_s, u"modelId"_s, u"name"_s}));
}

void tst_DiagramItem::fromJsonLeavesStoredDocumentAlone()
{
    const QJsonObject stored{{"type"_L1, u"er-diagram"_s}, {"entities"_L1, QJsonArray{1, 2}}};
    DiagramItem diagram;
    diagram.setSceneJson(stored);
    diagram.fromJson(QJsonDocument::fromJson(
        R"j({"id": "d1", "name": "Main", "modelId": "m1", "sceneJson": {"x": 1}, "entities": []})j").object());
    QCOMPARE(diagram.sceneJson(), stored);
    QCOMPARE(diagram.id(), u"d1"_s);
    QCOMPARE(diagram.name(), u"Main"_s);
    QCOMPARE(diagram.modelId(), u"m1"_s);
}

void tst_DiagramItem::mappingReadsMissingKeysAsEmpty()
{
    MappingItem mapping;
    mapping.setTargetModelId(u"old"_s);
    mapping.fromJson(QJsonDocument::fromJson(
        R"j({"name": "m", "sourceModelId": "s", "sourceColumnId": 4, "targetColumnId": "t"})j").object());
    QVERIFY(mapping.targetModelId().isEmpty());
    QVERIFY(mapping.sourceColumnId().isEmpty());
    QCOMPARE(mapping.sourceModelId(), u"s"_s);
    QCOMPARE(mapping.targetColumnId(), u"t"_s);

    mapping.setSourceTableId(u"st"_s);
    mapping.setTargetTableId(u"tt"_s);
    mapping.setDescription(u"d"_s);
    MappingItem copy;
    copy.fromJson(mapping.toJson());
    QCOMPARE(copy.toJson(), mapping.toJson());
    QCOMPARE(copy.toJson().size(), 9);
}

void tst_DiagramItem::documentNameIsFileName()
{
    DocumentItem document;
    document.setFileName(u"a.pdf"_s);
    document.setFileName(u"design-notes.docx"_s);
    QCOMPARE(document.name(), u"design-notes.docx"_s);
    QCOMPARE(document.fileName(), u"design-notes.docx"_s);
    document.setFileType(u"docx"_s);
    DocumentItem copy;
    copy.fromJson(document.toJson());
    QCOMPARE(copy.toJson(), document.toJson());
    QCOMPARE(copy.toJson().keys(),
             (QStringList{u"description"_s, u"fileName"_s, u"fileType"_s, u"id"_s}));
}

void tst_DiagramItem::idRules_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<bool>("keepsId");
    QTest::addColumn<QString>("id");
    QTest::newRow("absent") << QByteArray("{}") << true << QString();
    QTest::newRow("number") << QByteArray(R"j({"id": 3})j") << true << QString();
    QTest::newRow("empty string") << QByteArray(R"j({"id": ""})j") << false << QString();
    QTest::newRow("string") << QByteArray(R"j({"id": "x"})j") << false << u"x"_s;
}

void tst_DiagramItem::idRules()
{
    QFETCH(QByteArray, json);
    QFETCH(bool, keepsId);
    QFETCH(QString, id);
    const QJsonObject object = QJsonDocument::fromJson(json).object();

    DiagramItem diagram;
    MappingItem mapping;
    DocumentItem document;
    const QStringList before{diagram.id(), mapping.id(), document.id()};
    diagram.fromJson(object);
    mapping.fromJson(object);
    document.fromJson(object);
    const QStringList after{diagram.id(), mapping.id(), document.id()};
    const QStringList expected = keepsId ? before : QStringList{id, id, id};
    QCOMPARE(after, expected);
}

QTEST_GUILESS_MAIN(tst_DiagramItem)
#include "tst_diagramitem.moc"
