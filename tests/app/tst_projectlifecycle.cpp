// New project, model and diagram, generated names, switching diagrams and the operations
// that tie the open scene to the project.
#include "diagramitem.h"
#include "entityitem.h"
#include "erscene.h"
#include "erview.h"
#include "explorerkinds.h"
#include "modelitem.h"
#include "projectitem.h"
#include "textitem.h"

#include "projecttestsupport.h"
#include "windowtestcase.h"

#include <QComboBox>
#include <QPointer>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QUuid>

using namespace projecttest;

namespace {

// Rows of the explorer that show bold, as "kind:name".
QStringList boldRows(QStandardItemModel *model)
{
    QStringList bold;
    QList<QStandardItem *> pending{model->invisibleRootItem()};
    while (!pending.isEmpty()) {
        QStandardItem *item = pending.takeFirst();
        for (int row = 0; row < item->rowCount(); ++row)
            pending.append(item->child(row));
        if (item != model->invisibleRootItem() && item->data(Qt::FontRole).value<QFont>().weight() > QFont::Medium)
            bold.append(item->data(ExplorerKindRole).toString() + QLatin1Char(':') + item->text());
    }
    bold.sort();
    return bold;
}

QStringList modelNames(ProjectItem *project)
{
    QStringList names;
    for (ModelItem *model : project->models())
        names.append(model->name());
    return names;
}

} // namespace

class TestProjectLifeCycle : public WindowTestCase
{
    Q_OBJECT

private Q_SLOTS:
    void uniqueNames_data()
    {
        QTest::addColumn<bool>("models");
        QTest::addColumn<QStringList>("taken");
        QTest::addColumn<QString>("expected");
        QTest::newRow("gap between models") << true << QStringList{"Model 1", "Model 3"} << "Model 2";
        QTest::newRow("no models") << true << QStringList{} << "Model 1";
        QTest::newRow("empty model name does not count") << true << QStringList{""} << "Model 1";
        QTest::newRow("diagram names are case-sensitive") << false << QStringList{"Diagram 1", "diagram 2"} << "Diagram 2";
        QTest::newRow("no model") << false << QStringList{"null"} << "Diagram 1";
    }

    void uniqueNames()
    {
        QFETCH(bool, models);
        QFETCH(QStringList, taken);
        QFETCH(QString, expected);
        MainWindow w;
        MainWindowProbe probe(w);
        ProjectItem *project = probe.project();
        if (models) {
            for (ModelItem *model : project->models())
                project->removeModel(model->id());
            for (const QString &name : taken)
                project->addModel()->setName(name);
            QCOMPARE(probe.uniqueModelName(), expected);
            return;
        }
        ModelItem *model = nullptr;
        if (taken != QStringList{"null"}) {
            model = project->addModel();
            for (const QString &name : taken)
                model->addDiagram()->setName(name);
        }
        QCOMPARE(probe.uniqueDiagramName(model), expected);
    }

    void createEmptyProjectTakesChooserDialectAndReplacesLater()
    {
        MainWindow w;
        MainWindowProbe probe(w);
        w.findChild<QComboBox *>(QStringLiteral("comboBoxDatabase"))->setCurrentText(QStringLiteral("SQLite"));
        const QPointer<ProjectItem> first = probe.project();
        probe.createEmptyProject();
        const QPointer<ProjectItem> second = probe.project();
        probe.createEmptyProject();
        QCOMPARE(probe.currentModel()->name(), QStringLiteral("Model 1"));
        QCOMPARE(probe.currentModel()->dialect(), QStringLiteral("SQLite"));
        QCOMPARE(probe.currentDiagram()->name(), QStringLiteral("Diagram 1"));
        QVERIFY(first && second && probe.project() != second);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!first);
        QVERIFY(!second);
        QVERIFY(probe.project());
    }

    // Each action starts from the sample project open on "Customers", with a note added
    // to the scene that only a capture keeps.
    void newActions_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<bool>("bulkBefore");
        QTest::addColumn<QStringList>("models");
        QTest::addColumn<QString>("model");
        QTest::addColumn<QString>("diagram");
        QTest::addColumn<QString>("dialect");
        QTest::addColumn<bool>("keepsFile");
        QTest::addColumn<bool>("captures");
        QTest::newRow("new project") << "action_New" << false << QStringList{"Model 1"} << "Model 1"
                                     << "Diagram 1" << "Conceptual ER" << false << false;
        QTest::newRow("new model") << "action_New_Model" << false
                                   << QStringList{"Model 1", "Sales", "Warehouse"} << "Model 1" << "Diagram 1"
                                   << "Conceptual ER" << true << true;
        QTest::newRow("new diagram") << "action_New_Diagram" << false << QStringList{"Sales", "Warehouse"}
                                     << "Sales" << "Diagram 1" << "PostgreSQL" << true << true;
        QTest::newRow("new project inside a bulk change") << "action_New" << true << QStringList{"Model 1"}
                                                          << "Model 1" << "Diagram 1" << "Conceptual ER"
                                                          << false << false;
    }

    void newActions()
    {
        QFETCH(QString, action);
        QFETCH(bool, bulkBefore);
        QFETCH(QStringList, models);
        QFETCH(QString, model);
        QFETCH(QString, diagram);
        QFETCH(QString, dialect);
        QFETCH(bool, keepsFile);
        QFETCH(bool, captures);

        MainWindow w;
        MainWindowProbe probe(w);
        const QString path = copyFixture(QStringLiteral("sample-project.json"), m_dir.path());
        QVERIFY(open(w, m_prompts, path));
        DiagramItem *previous = probe.currentDiagram();
        QCOMPARE(previous->name(), QStringLiteral("Customers"));
        const int storedNotes = annotationCount(previous->sceneJson());
        probe.scene()->addTextItemAt(QPointF(-300, -300));
        const QPointer<DiagramItem> watched(previous);
        probe.setBulkUpdate(bulkBefore);
        // The added note is unsaved work: New Project asks first, and it is let go.
        if (action == QLatin1String("action_New"))
            m_prompts.answerAsk(QStringLiteral("Discard"));

        trigger(w, action.toLatin1().constData());

        QCOMPARE(probe.bulkUpdate(), bulkBefore);
        probe.setBulkUpdate(false);
        QCOMPARE(modelNames(probe.project()), models);
        QCOMPARE(probe.currentModel()->name(), model);
        QCOMPARE(probe.currentDiagram()->name(), diagram);
        QCOMPARE(probe.scene()->dialect, dialect);
        QCOMPARE(w.findChild<QComboBox *>(QStringLiteral("comboBoxDatabase"))->currentText(), dialect);
        QCOMPARE(diagramItemCount(probe.scene()), 0);
        // New Model and New Diagram store the empty scene; the new project's diagram waits
        // for its first capture.
        QCOMPARE(probe.currentDiagram()->sceneJson().isEmpty(), !captures);
        QCOMPARE(probe.scene()->filePath, keepsFile ? path : QString());
        QCOMPARE(statusText(w), keepsFile ? QStringLiteral("sample-project.json") : QStringLiteral("No file"));
        if (captures)
            QCOMPARE(annotationCount(watched->sceneJson()), storedNotes + 1);
        const QStringList expectedBold{QStringLiteral("diagram:") + diagram, QStringLiteral("model:") + model};
        QCOMPARE(boldRows(probe.treeModel()), expectedBold);
    }

    void switchingKeepsEditsOfTheDiagramLeft()
    {
        MainWindow w;
        MainWindowProbe probe(w);
        QVERIFY(open(w, m_prompts, fixture(QStringLiteral("sample-project.json"))));
        ModelItem *sales = probe.currentModel();
        DiagramItem *customers = probe.currentDiagram();
        DiagramItem *orders = diagramNamed(sales, QStringLiteral("Orders"));
        const int items = diagramItemCount(probe.scene());
        probe.scene()->addTextItemAt(QPointF(-300, -300));

        QVERIFY(probe.loadDiagramItem(orders));
        QCOMPARE(probe.currentDiagram(), orders);
        QVERIFY(probe.loadDiagramItem(customers));
        QCOMPARE(diagramItemCount(probe.scene()), items + 1);
        QCOMPARE(probe.bulkUpdate(), false);

        // Loading the diagram that is current reverts it to what was stored.
        probe.scene()->addTextItemAt(QPointF(-600, -600));
        QVERIFY(probe.loadDiagramItem(customers));
        QCOMPARE(diagramItemCount(probe.scene()), items + 1);
    }

    void switchingToEmptyDiagramKeepsSceneRectAndZoom()
    {
        MainWindow w;
        MainWindowProbe probe(w);
        QVERIFY(open(w, m_prompts, fixture(QStringLiteral("sample-project.json"))));
        DiagramItem *customers = probe.currentDiagram();
        trigger(w, "action_New_Diagram");
        DiagramItem *empty = probe.currentDiagram();
        QVERIFY(probe.loadDiagramItem(customers));
        auto *view = w.findChild<ERView *>(QStringLiteral("view"));
        view->setZoom(1.7);
        const QRectF rect = probe.scene()->sceneRect();
        const QTransform transform = view->transform();

        QVERIFY(probe.loadDiagramItem(empty));
        QCOMPARE(diagramItemCount(probe.scene()), 0);
        QCOMPARE(probe.scene()->sceneRect(), rect);
        QCOMPARE(view->transform(), transform);
        QCOMPARE(view->zoomFactor, 1.7);
    }

    void switchingMarksOnlyChangedRows()
    {
        MainWindow w;
        MainWindowProbe probe(w);
        QVERIFY(open(w, m_prompts, fixture(QStringLiteral("sample-project.json"))));
        ProjectItem *project = probe.project();
        ModelItem *warehouse = project->modelByName(QStringLiteral("Warehouse"));
        QSignalSpy changed(probe.treeModel(), &QStandardItemModel::itemChanged);

        QVERIFY(probe.loadDiagramItem(diagramNamed(probe.currentModel(), QStringLiteral("Orders"))));
        QCOMPARE(boldRows(probe.treeModel()), (QStringList{"diagram:Orders", "model:Sales"}));
        QCOMPARE(changed.count(), 2);

        changed.clear();
        QVERIFY(probe.loadDiagramItem(diagramNamed(warehouse, QStringLiteral("Stock"))));
        QCOMPARE(probe.currentModel(), warehouse);
        QCOMPARE(boldRows(probe.treeModel()), (QStringList{"diagram:Stock", "model:Warehouse"}));
        QCOMPARE(changed.count(), 4);
        QCOMPARE(w.findChild<QComboBox *>(QStringLiteral("comboBoxDatabase"))->currentText(), QStringLiteral("MySQL"));
    }

    // The stored "modelId" of "Customers" names "Warehouse"; the model holding it wins.
    void switchingMakesTheHoldingModelCurrent()
    {
        MainWindow w;
        MainWindowProbe probe(w);
        QVERIFY(open(w, m_prompts, fixture(QStringLiteral("project-diagram-wrong-model-id.json"))));
        ProjectItem *project = probe.project();
        ModelItem *sales = project->modelByName(QStringLiteral("Sales"));
        ModelItem *warehouse = project->modelByName(QStringLiteral("Warehouse"));
        DiagramItem *customers = diagramNamed(sales, QStringLiteral("Customers"));
        QCOMPARE(customers->modelId(), warehouse->id());

        QVERIFY(probe.loadDiagramItem(diagramNamed(warehouse, QStringLiteral("Stock"))));
        QCOMPARE(probe.currentModel(), warehouse);
        QVERIFY(probe.loadDiagramItem(customers));
        QCOMPARE(probe.currentModel(), sales);
        QCOMPARE(probe.scene()->dialect, QStringLiteral("PostgreSQL"));
    }

    // A load started from a handler of another load is refused and changes nothing; the
    // half-built scene is not captured into anything.
    void loadFromInsideLoadIsRefused()
    {
        MainWindow w;
        MainWindowProbe probe(w);
        QVERIFY(open(w, m_prompts, fixture(QStringLiteral("sample-project.json"))));
        ModelItem *sales = probe.currentModel();
        DiagramItem *orders = diagramNamed(sales, QStringLiteral("Orders"));
        DiagramItem *stock = diagramNamed(probe.project()->modelByName(QStringLiteral("Warehouse")),
                                          QStringLiteral("Stock"));
        const QJsonObject stockBefore = stock->sceneJson();

        bool nestedResult = true;
        bool asked = false;
        DiagramItem *diagramBefore = nullptr;
        DiagramItem *diagramAfter = nullptr;
        ModelItem *modelBefore = nullptr;
        ModelItem *modelAfter = nullptr;
        QObject context;
        connect(probe.scene(), &ERScene::entityAdded, &context, [&](EntityItem *) {
            if (asked)
                return;
            asked = true;
            diagramBefore = probe.currentDiagram();
            modelBefore = probe.currentModel();
            nestedResult = probe.loadDiagramItem(stock);
            diagramAfter = probe.currentDiagram();
            modelAfter = probe.currentModel();
        });

        QVERIFY(probe.loadDiagramItem(orders));
        QVERIFY(asked);
        QVERIFY(!nestedResult);
        QCOMPARE(diagramAfter, diagramBefore);
        QCOMPARE(modelAfter, modelBefore);
        QCOMPARE(probe.currentDiagram(), orders);
        QCOMPARE(probe.currentModel(), sales);
        QCOMPARE(stock->sceneJson(), stockBefore);
    }

    void stableEntityIdIsKept()
    {
        MainWindow w;
        MainWindowProbe probe(w);
        probe.scene()->addEntityAt(QPointF(0, 0));
        auto *box = qgraphicsitem_cast<EntityItem *>(probe.scene()->items().constLast());
        QVERIFY(box);
        box->storedId.clear();
        const QString id = probe.stableEntityId(box);
        QCOMPARE(probe.stableEntityId(box), id);
        QCOMPARE(id, QUuid::fromString(id).toString(QUuid::WithoutBraces));
        QVERIFY(!QUuid::fromString(id).isNull());
        QCOMPARE(probe.stableEntityId(nullptr), QString());
    }

    void captureWithoutDiagramAndEmptySceneDoesNothing()
    {
        MainWindow w;
        MainWindowProbe probe(w);
        ModelItem *model = probe.currentModel();
        // As after the explorer removed the open diagram.
        model->removeDiagram(probe.currentDiagram()->id());
        probe.setCurrentDiagram(nullptr);
        probe.captureCurrentDiagram();
        QCOMPARE(model->diagrams().size(), 0);
        QCOMPARE(probe.currentDiagram(), nullptr);
    }

    void releaseSceneSelectionForgetsSelectionFocusAndDetails_data()
    {
        QTest::addColumn<bool>("bulk");
        QTest::newRow("at rest") << false;
        QTest::newRow("inside a bulk change") << true;
    }

    void releaseSceneSelectionForgetsSelectionFocusAndDetails()
    {
        QFETCH(bool, bulk);
        MainWindow w;
        MainWindowProbe probe(w);
        ERScene *scene = probe.scene();
        scene->addEntityAt(QPointF(0, 0));
        scene->addTextItemAt(QPointF(200, 0));
        EntityItem *box = nullptr;
        for (QGraphicsItem *item : scene->items()) {
            if (!box)
                box = qgraphicsitem_cast<EntityItem *>(item);
            if (item->type() == TextItem::Type)
                scene->setFocusItem(item);
        }
        box->setSelected(true);
        probe.setDetailsEntity(box);
        probe.setBulkUpdate(bulk);

        probe.releaseSceneSelection();
        QCOMPARE(probe.bulkUpdate(), bulk);
        probe.setBulkUpdate(false);
        QVERIFY(scene->selectedItems().isEmpty());
        QCOMPARE(scene->focusItem(), nullptr);
        QCOMPARE(probe.detailsEntity(), nullptr);
    }
};

QTEST_MAIN(TestProjectLifeCycle)
#include "tst_projectlifecycle.moc"
