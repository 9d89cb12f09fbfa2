#include "ui_MainWindow.h"

#include "testsupport.h"

#include <QMainWindow>
#include <QSignalSpy>
#include <QTest>

// The designer form alone, on a bare window: names, texts, shortcuts and order.
class TestMainForm : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QMainWindow> m_window;
    Ui::MainWindow m_ui;

    QAction *action(const QString &name) const { return m_window->findChild<QAction *>(name); }

    QStringList entries(const QList<QAction *> &actions) const
    {
        QStringList names;
        for (QAction *a : actions)
            names << (a->isSeparator() ? QStringLiteral("|") : a->menu() ? a->menu()->objectName() : a->objectName());
        return names;
    }

private Q_SLOTS:
    void initTestCase()
    {
        Q_INIT_RESOURCE(velmora);
        m_window = std::make_unique<QMainWindow>();
        m_ui.setupUi(m_window.get());
    }

    void actions_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shortcut");
        QTest::addColumn<QString>("toolTip");
        QTest::addColumn<int>("checkState"); // -1 not checkable, 0 unchecked, 1 checked
        QTest::addColumn<bool>("enabled");
        const QString e = QString::fromUtf8("\u2026");
        const auto row = [](const char *name, const QString &text, const char *shortcut, const QString &tip,
                            int check = -1, bool enabled = true) {
            QTest::newRow(name) << name << text << shortcut << tip << check << enabled;
        };
        row("action_Save_As", "Save As", "", "Save As");
        row("action_Open", "&Open", "", "Open");
        row("action_Exit", "E&xit", "", "Exit Corvane");
        row("actionAdd_Table", "Add &Table", "", "Add Table", 0);
        row("actionAdd_View", "Add &View", "", "Add Entity View", 0);
        row("actionShow_Properties", "Show/Hide Model Explorer", "", "Show/Hide Model Explorer", 1);
        row("actionAdd_Text", "Add Te&xt", "", "Add Text", 0);
        row("actionAdd_Group", "Add &Group", "", "Add Group", 0);
        row("actionAdd_Relationship", "Add Relationship", "", "Add Relationship", 0);
        row("actionAdd_Column", "Add Column", "Ctrl+L", "Add Column");
        row("action_New", "New Project", "Ctrl+N", "New Project");
        row("action_New_Model", "New Model", "Ctrl+M", "New Model");
        row("action_New_Diagram", "New Diagram", "Ctrl+Shift+N", "New Diagram");
        row("actionExport_to_PDF", "Export to PDF", "", "Export to PDF");
        row("actionExport_to_SVG", "Export to SVG", "", "Export to SVG");
        row("actionExport_to_Mermaid", "Export to Mermaid" + e, "Ctrl+Shift+E", "Export erDiagram for Mermaid.js");
        row("actionExport_to_Drawio", "Export to Draw.io" + e, "Ctrl+Shift+D", "Export Entity-Relationship diagram for draw.io");
        row("actionImport_from_Image", "Import from I&mage" + e, "Ctrl+Shift+M", "Import from BMP, PNG, JPG or SVG");
        row("actionImport_from_Mermaid", "Import from Me&rmaid" + e, "Ctrl+Shift+R", "Import from Mermaid.js");
        row("actionImport_from_Database", "Import from &Database" + e, "Ctrl+Shift+I", "Import from a database connection");
        row("actionImport_from_Drawio", "Import from Draw.io" + e, "Ctrl+Shift+U", "Import Entity-Relationship diagram from draw.io");
        row("actionToggle_Theme", "Toggle Theme", "", "Toggle Theme: Light or Dark");
        row("actionSelect_All", "Select All", "", "Select All");
        row("actionAuto_layout", "Auto-layout", "", "Auto-layout");
        row("actionEntity_Colors", "Colors and fonts", "", "Colors of tables and views, or of the selected text item or group");
        row("actionManage_Datasources", "Manage Data Sources", "", "Manage Data Sources");
        row("action_Save", "&Save", "", "Save");
        row("actionGenerate_Script", "Generate Script", "", "Generate Script");
        row("actionGenerate_Data_Dictionary", "Generate Data Dictionary", "", "Generate Data Dictionary");
        row("actionAbout_velmora", "About velmora", "", "About velmora");
    }

    void actions()
    {
        QFETCH(QString, name);
        QFETCH(QString, text);
        QFETCH(QString, shortcut);
        QFETCH(QString, toolTip);
        QFETCH(int, checkState);
        QFETCH(bool, enabled);
        QAction *a = action(name);
        QVERIFY(a);
        QCOMPARE(a->text(), text);
        QCOMPARE(a->shortcut(), QKeySequence(shortcut));
        QCOMPARE(a->toolTip(), toolTip);
        QCOMPARE(a->isCheckable(), checkState >= 0);
        QCOMPARE(a->isChecked(), checkState == 1);
        QCOMPARE(a->isEnabled(), enabled);
        QCOMPARE(a->icon().isNull(), name == QLatin1String("actionAbout_velmora"));
    }

    void drawioActionsShareOneIcon()
    {
        QCOMPARE(action("actionImport_from_Drawio")->icon().cacheKey(),
                 action("actionExport_to_Drawio")->icon().cacheKey());
    }

    void menus()
    {
        QCOMPARE(entries(m_ui.menubar->actions()),
                 (QStringList{"menu_File", "menu_Edit", "menu_View", "menuRun", "menuFormat", "menu_Help"}));
        QCOMPARE(entries(m_ui.menu_File->actions()),
                 (QStringList{"action_New", "action_New_Model", "action_New_Diagram", "action_Open", "action_Save",
                              "action_Save_As", "|", "menuExport_to", "|", "menuImport_from", "|",
                              "actionManage_Datasources", "|", "action_Exit"}));
        QCOMPARE(entries(m_ui.menuExport_to->actions()),
                 (QStringList{"actionExport_to_PDF", "actionExport_to_SVG", "actionExport_to_Mermaid", "actionExport_to_Drawio"}));
        QCOMPARE(entries(m_ui.menuImport_from->actions()),
                 (QStringList{"actionImport_from_Image", "actionImport_from_Mermaid", "actionImport_from_Drawio",
                              "actionImport_from_Database"}));
        QCOMPARE(entries(m_ui.menu_Edit->actions()), QStringList{"actionSelect_All"});
        QCOMPARE(entries(m_ui.menu_View->actions()), QStringList{"actionShow_Properties"});
        QCOMPARE(entries(m_ui.menuRun->actions()), (QStringList{"actionGenerate_Script", "actionGenerate_Data_Dictionary"}));
        QCOMPARE(entries(m_ui.menuFormat->actions()), QStringList{"actionEntity_Colors"});
        QCOMPARE(entries(m_ui.menu_Help->actions()), QStringList{"actionAbout_velmora"});
        QCOMPARE(m_ui.menuExport_to->title(), QStringLiteral("Export to..."));
        QCOMPARE(m_ui.menuImport_from->title(), QStringLiteral("Import from..."));
    }

    void toolBar()
    {
        QCOMPARE(entries(m_ui.toolBar->actions()),
                 (QStringList{"action_New", "action_New_Model", "action_New_Diagram", "action_Open", "action_Save",
                              "action_Save_As", "actionExport_to_PDF", "actionExport_to_SVG", "|", "|",
                              "actionManage_Datasources", "actionGenerate_Script", "actionGenerate_Data_Dictionary", "|",
                              "actionAuto_layout", "actionShow_Properties", "|", "actionToggle_Theme"}));
        QCOMPARE(m_ui.toolBar->iconSize(), QSize(16, 16));
    }

    void dialectItemsInListedOrder()
    {
        QStringList items;
        for (int i = 0; i < m_ui.comboBoxDatabase->count(); ++i)
            items << m_ui.comboBoxDatabase->itemText(i);
        QCOMPARE(items, (QStringList{"Conceptual ER", "CSV files", "Parquet", "Databricks", "DuckDB", "MySQL",
                                     "Oracle", "PostgreSQL", "SQLite", "SQL Server"}));
        QCOMPARE(m_ui.comboBoxDatabase->currentIndex(), 0);
    }

    void namedObjects_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("className");
        const auto add = [](const QStringList &names, const char *cls) {
            for (const QString &n : names)
                QTest::newRow(qPrintable(n)) << n << QString::fromLatin1(cls);
        };
        add({"toolButtonAddTable", "toolButtonAddView", "toolButtonAddRelationship", "toolButtonAddColumn",
             "toolButtonAddText", "toolButtonAddGroup", "toolButtonEntityColors", "toolButtonFilter", "toolButtonAdd",
             "toolButtonDel", "toolButtonAddTableColumn", "toolButtonRemoveTableColumn", "toolButtonAddConstraint",
             "toolButtonRemoveConstraint", "toolButtonAddConstraintColumn", "toolButtonRemoveConstraintColumn",
             "toolButtonAddIndex", "toolButtonRemoveIndex", "toolButtonAddIndexColumn", "toolButtonRemoveIndexColumn",
             "toolButtonAddMapping", "toolButtonRemoveMapping"}, "QToolButton");
        add({"tableViewPhysical", "tableViewColumns", "tableViewConstraints", "tableViewConsColumns",
             "tableViewIndexes", "tableViewIndColumns", "tableView"}, "QTableView");
        add({"treeView", "treeViewProject"}, "QTreeView");
        add({"lineEditSchema", "lineEditTable", "lineEditSearch", "editProjectName", "editModelName",
             "editDiagramName"}, "QLineEdit");
        add({"plainTextEditTableComments", "plainTextEdit"}, "QPlainTextEdit");
        add({"comboBoxDatabase"}, "QComboBox");
        add({"dockWidget", "dockWidgetPrjModDiag"}, "QDockWidget");
        add({"view"}, "ERView");
        add({"tabWidget"}, "QTabWidget");
        add({"toolBar"}, "QToolBar");
        add({"statusbar"}, "QStatusBar");
        add({"labelProjectCaption", "labelModelCaption", "labelDialectCaption", "labelDiagramCaption"}, "QLabel");
        add({"menu_File", "menuExport_to", "menuImport_from", "menu_Edit", "menu_View", "menuRun", "menuFormat",
             "menu_Help"}, "QMenu");
    }

    void namedObjects()
    {
        QFETCH(QString, name);
        QFETCH(QString, className);
        QObject *object = m_window->findChild<QObject *>(name);
        QVERIFY2(object, qPrintable(name));
        QCOMPARE(QString::fromLatin1(object->metaObject()->className()), className);
    }

    void detailsTabsInOrder()
    {
        QStringList pages;
        QStringList titles;
        for (int i = 0; i < m_ui.tabWidget->count(); ++i) {
            pages << m_ui.tabWidget->widget(i)->objectName();
            titles << m_ui.tabWidget->tabText(i);
        }
        QCOMPARE(pages, (QStringList{"tabGeneral", "tabColumns", "tabConstraints", "tabIndexes", "tabGovernance", "tabMappings"}));
        QCOMPARE(titles, (QStringList{"General", "Columns", "Constraints", "Indexes", "Governance", "Mappings"}));
        QCOMPARE(m_ui.tabWidget->currentIndex(), 0);
    }

    void windowProperties()
    {
        QCOMPARE(m_window->windowTitle(), QStringLiteral("velmora"));
        QCOMPARE(m_window->size(), QSize(1069, 721));
        QCOMPARE(m_window->iconSize(), QSize(18, 18));
        QVERIFY(!m_window->windowIcon().isNull());
        QVERIFY(!action("actionSelect_All")->icon().isNull());
    }

    void importFromDatabaseShortcutTriggersTheAction()
    {
        m_window->show();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        QSignalSpy spy(action("actionImport_from_Database"), &QAction::triggered);
        QTest::keySequence(m_window.get(), QKeySequence(QStringLiteral("Ctrl+Shift+I")));
        QCOMPARE(spy.count(), 1);
    }
};

QTEST_MAIN(TestMainForm)
#include "tst_mainform.moc"
