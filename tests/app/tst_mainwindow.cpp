#include "diagramitem.h"
#include "erscene.h"
#include "erview.h"
#include "mainwindow.h"
#include "modelitem.h"
#include "projectitem.h"
#include "tabledetailscontroller.h"
#include "tableitem.h"
#include "themehelpers.h"

#include "windowtestcase.h"
#include "testsupport.h"

#include <QAbstractProxyModel>
#include <QAction>
#include <QComboBox>
#include <QDockWidget>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QRegularExpression>
#include <QSlider>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QToolBar>
#include <QWindow>
#include <QToolButton>
#include <QTreeView>

namespace {

QStandardItemModel *sourceModel(QTreeView *tree)
{
    auto *proxy = qobject_cast<QAbstractProxyModel *>(tree->model());
    return qobject_cast<QStandardItemModel *>(proxy ? proxy->sourceModel() : tree->model());
}

QStringList childTexts(const QStandardItem *item)
{
    QStringList texts;
    for (int row = 0; row < item->rowCount(); ++row)
        texts << item->child(row)->text();
    return texts;
}

} // namespace

class TestMainWindow : public WindowTestCase
{
    Q_OBJECT

private:
    static QAction *action(MainWindow &w, const char *name)
    {
        return w.findChild<QAction *>(QLatin1String(name));
    }

private Q_SLOTS:
    void constructionLogsNoWiringWarning()
    {
        QTest::failOnWarning(QRegularExpression(QStringLiteral("connectSlotsByName|No matching signal")));
        MainWindow window;
        QVERIFY(window.findChild<QAction *>(QStringLiteral("action_Save")));
    }

    void opensInOppositeTheme_data()
    {
        QTest::addColumn<int>("desktop");
        QTest::addColumn<int>("expected");
        QTest::addColumn<QColor>("window");
        QTest::newRow("light desktop") << 0 << 1 << QColor("#2b2b2b");
        QTest::newRow("dark desktop") << 1 << 0 << QColor("#f3f3f3");
    }

    void opensInOppositeTheme()
    {
        QFETCH(int, desktop);
        QFETCH(int, expected);
        QFETCH(QColor, window);
        resetProcessTheme(static_cast<ThemeKind>(desktop));
        MainWindow w;
        MainWindowProbe probe(w);
        QCOMPARE(int(ThemeManager::instance()->kind()), expected);
        QCOMPARE(QApplication::palette().color(QPalette::Window), window);
        QAction *save = action(w, "action_Save");
        const auto &cache = expected == 1 ? probe.actionIconsDark() : probe.actionIconsLight();
        QCOMPARE(save->icon().cacheKey(), cache.value(save).cacheKey());
    }

    void toggleFlipsThemeAndRestoresIcons()
    {
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QAction *save = action(w, "action_Save");
        const qint64 before = save->icon().cacheKey();
        const ThemeKind start = ThemeManager::instance()->kind();

        action(w, "actionToggle_Theme")->trigger();
        QVERIFY(ThemeManager::instance()->kind() != start);
        QVERIFY(save->icon().cacheKey() != before);
        QTest::keySequence(&w, QKeySequence(QStringLiteral("Ctrl+T")));
        QCOMPARE(ThemeManager::instance()->kind(), start);
        QCOMPARE(save->icon().cacheKey(), before);
    }

    void startState()
    {
        MainWindow w;
        QCOMPARE(w.size(), QSize(1069, 721));
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        // A new project has nothing unsaved: the title carries no mark.
        QCOMPARE(w.windowHandle()->title(), QStringLiteral("velmora"));
        QVERIFY(!w.isWindowModified());
        MainWindowProbe probe(w);

        QCOMPARE(w.findChild<QLineEdit *>("editProjectName")->text(), QStringLiteral("Untitled Project"));
        QCOMPARE(w.findChild<QLineEdit *>("editModelName")->text(), QStringLiteral("Model 1"));
        QCOMPARE(w.findChild<QLineEdit *>("editDiagramName")->text(), QStringLiteral("Diagram 1"));
        QCOMPARE(w.findChild<QComboBox *>("comboBoxDatabase")->currentText(), QStringLiteral("Conceptual ER"));
        QCOMPARE(probe.scene()->dialect, QStringLiteral("Conceptual ER"));
        QCOMPARE(probe.currentModel()->dialect(), QStringLiteral("Conceptual ER"));

        auto *tree = w.findChild<QTreeView *>("treeViewProject");
        QStandardItemModel *model = sourceModel(tree);
        QCOMPARE(model->rowCount(), 1);
        QStandardItem *projectRow = model->item(0);
        QCOMPARE(projectRow->text(), QStringLiteral("Untitled Project"));
        QCOMPARE(projectRow->data(Qt::UserRole).toString(), QStringLiteral("project"));
        QCOMPARE(projectRow->rowCount(), 1);
        QStandardItem *modelRow = projectRow->child(0);
        QCOMPARE(modelRow->text(), QStringLiteral("Model 1"));
        QCOMPARE(modelRow->data(Qt::UserRole + 1).toString(), probe.currentModel()->id());
        QCOMPARE(modelRow->data(Qt::UserRole + 2).toString(), QStringLiteral("Conceptual ER"));
        QVERIFY(modelRow->data(Qt::FontRole).value<QFont>().bold());
        QCOMPARE(childTexts(modelRow), (QStringList{"Tables", "Views", "Relationships", "Sequences",
                                                    "Diagrams", "Mappings", "Documents"}));
        QStandardItem *diagrams = modelRow->child(4);
        QCOMPARE(childTexts(diagrams), QStringList{"Diagram 1"});
        QVERIFY(diagrams->child(0)->data(Qt::FontRole).value<QFont>().bold());
        QVERIFY(!diagrams->data(Qt::FontRole).value<QFont>().bold());
        QVERIFY(!projectRow->isDragEnabled());

        QVERIFY(w.findChild<QDockWidget *>("dockWidget")->isVisible());
        QCOMPARE(w.findChild<QTabWidget *>("tabWidget")->currentWidget()->objectName(), QStringLiteral("tabGeneral"));
        QCOMPARE(w.findChild<QLabel *>("labelFileName")->text(), QStringLiteral("No file"));
        QVERIFY(!w.findChild<QToolButton *>("buttonAlerts")->isEnabled());
        QCOMPARE(w.findChild<QLabel *>("labelZoomPercent")->text(), QStringLiteral("100%"));
        for (const char *name : {"actionAdd_Table", "actionAdd_View", "actionAdd_Relationship",
                                 "actionAdd_Text", "actionAdd_Group"}) {
            QVERIFY2(!action(w, name)->isChecked(), name);
        }
    }

    void toolBarEndsWithThemeToggle()
    {
        MainWindow w;
        auto *toolBar = w.findChild<QToolBar *>("toolBar");
        QCOMPARE(toolBar->toolButtonStyle(), Qt::ToolButtonIconOnly);
        const QList<QAction *> entries = toolBar->actions();
        QCOMPARE(entries.size(), 19);
        QCOMPARE(entries.at(15), action(w, "actionShow_Properties"));
        QCOMPARE(toolBar->widgetForAction(entries.at(16))->objectName(), QStringLiteral("toolBarThemeSpacer"));
        QVERIFY(entries.at(17)->isSeparator());
        QCOMPARE(entries.at(18), action(w, "actionToggle_Theme"));
    }

    void themeSpacerWithoutSeparatorStandsBeforeToggle()
    {
        QToolBar toolBar;
        QAction *first = toolBar.addAction(QStringLiteral("first"));
        QAction *toggle = toolBar.addAction(QStringLiteral("toggle"));
        QWidget *spacer = MainWindow::insertThemeSpacer(&toolBar, toggle);
        QVERIFY(spacer);
        const QList<QAction *> entries = toolBar.actions();
        QCOMPARE(entries.size(), 3);
        QCOMPARE(entries.at(0), first);
        QCOMPARE(toolBar.widgetForAction(entries.at(1)), spacer);
        QCOMPARE(entries.at(2), toggle);
        QCOMPARE(spacer->sizePolicy().horizontalPolicy(), QSizePolicy::Expanding);
    }

    void zoomKeysMoveSliderAndLabel_data()
    {
        QTest::addColumn<QKeySequence>("keys");
        QTest::addColumn<QString>("label");
        QTest::newRow("zoom in") << QKeySequence(QKeySequence::ZoomIn) << "125%";
        QTest::newRow("zoom out") << QKeySequence(QKeySequence::ZoomOut) << "80%";
        QTest::newRow("reset") << QKeySequence(QStringLiteral("Ctrl+0")) << "100%";
    }

    void zoomKeysMoveSliderAndLabel()
    {
        QFETCH(QKeySequence, keys);
        QFETCH(QString, label);
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        auto *view = w.findChild<ERView *>("view");
        if (label == QLatin1String("100%"))
            view->setZoom(2.0);
        QTest::keySequence(&w, keys);
        QCOMPARE(w.findChild<QLabel *>("labelZoomPercent")->text(), label);
        auto *slider = w.findChild<QFrame *>("zoomFrame")->findChild<QSlider *>();
        QCOMPARE(QStringLiteral("%1%").arg(slider->value()), label);
    }

    void fitKeyFitsDiagram()
    {
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        MainWindowProbe(w).scene()->addRect(0, 0, 3000, 2000);
        QTest::keySequence(&w, QKeySequence(QStringLiteral("Ctrl+9")));
        auto *view = w.findChild<ERView *>("view");
        QVERIFY(view->zoomFactor < 1.0);
        QCOMPARE(w.findChild<QLabel *>("labelZoomPercent")->text(),
                 QStringLiteral("%1%").arg(std::lround(view->zoomFactor * 100)));
    }

    void dialectChoiceReachesSceneAndModel()
    {
        MainWindow w;
        MainWindowProbe probe(w);
        auto *combo = w.findChild<QComboBox *>("comboBoxDatabase");
        combo->setCurrentText(QStringLiteral("SQLite"));
        QCOMPARE(probe.scene()->dialect, QStringLiteral("SQLite"));
        QCOMPARE(probe.currentModel()->dialect(), QStringLiteral("SQLite"));
        auto *tree = w.findChild<QTreeView *>("treeViewProject");
        QCOMPARE(sourceModel(tree)->item(0)->child(0)->data(Qt::UserRole + 2).toString(), QStringLiteral("SQLite"));
    }

    void detailsControllerGoesBeforeTheForm()
    {
        auto *w = new MainWindow;
        MainWindowProbe probe(*w);
        TableItem *table = probe.currentModel()->addTable();
        table->setName(QStringLiteral("orders"));
        auto *box = new EntityItem(QStringLiteral("orders"), QSizeF(150, 70));
        probe.scene()->addItem(box);
        TableDetailsController *details = probe.tableDetails();
        details->setTable(probe.currentModel(), table, box);
        QCOMPARE(details->table(), table);

        // The panel the controller drives is still whole when the controller goes.
        QPointer<QTabWidget> panel = w->findChild<QTabWidget *>(QStringLiteral("tabWidget"));
        QVERIFY(panel);
        bool panelWhole = false;
        connect(details, &QObject::destroyed, this, [&] { panelWhole = !panel.isNull(); });
        delete w;
        QVERIFY(panelWhole);
    }

    void screenshotsInBothThemes()
    {
        for (const ThemeKind desktop : {ThemeKind::Dark, ThemeKind::Light}) {
            resetProcessTheme(desktop);
            MainWindow w;
            w.show();
            QVERIFY(QTest::qWaitForWindowExposed(&w));
            const QString name = ThemeManager::instance()->kind() == ThemeKind::Dark
                                     ? QStringLiteral("main-window-dark.png")
                                     : QStringLiteral("main-window-light.png");
            const QImage image = w.grab().toImage();
            QVERIFY(image.save(testsupport::outputDir(QStringLiteral("tst_mainwindow")) + QLatin1Char('/') + name));
        }
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
