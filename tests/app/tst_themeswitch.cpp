#include "aboutdialog.h"
#include "entityitem.h"
#include "erscene.h"
#include "explorerkinds.h"
#include "mainwindow.h"
#include "singlelinetextitem.h"

#include "windowtestcase.h"
#include "testsupport.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QToolBar>
#include <QTreeView>
#include <QVBoxLayout>

#include <memory>

namespace {

const QString LightSheet = QStringLiteral(":/styles/resources/styles/app-light.qss");
const QString DarkSheet = QStringLiteral(":/styles/resources/styles/app-dark.qss");

QString readSheet(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return QString();
    return QString::fromUtf8(file.readAll());
}

QAction *action(QWidget &window, const char *name)
{
    return window.findChild<QAction *>(QLatin1String(name));
}

QHash<QAction *, qint64> iconKeys(QWidget &window)
{
    QHash<QAction *, qint64> keys;
    for (QAction *a : window.findChildren<QAction *>())
        keys.insert(a, a->icon().cacheKey());
    return keys;
}

QStringList styledBackgroundNames(QWidget *top)
{
    QStringList names;
    for (QWidget *widget : top->findChildren<QWidget *>()) {
        if (widget->testAttribute(Qt::WA_StyledBackground))
            names << widget->objectName();
    }
    if (top->testAttribute(Qt::WA_StyledBackground))
        names << top->objectName();
    names.sort();
    return names;
}

} // namespace

void unregisterBundle()
{
    Q_CLEANUP_RESOURCE(velmora);
}

void registerBundle()
{
    Q_INIT_RESOURCE(velmora);
}

class TestThemeSwitch : public WindowTestCase
{
    Q_OBJECT

private Q_SLOTS:
    void toggleTwiceGivesBackFirstTheme()
    {
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const ThemeKind start = ThemeManager::instance()->kind();
        const QHash<QAction *, qint64> keys = iconKeys(w);
        const QString sheet = qApp->styleSheet();
        const QColor window = QApplication::palette().color(QPalette::Window);
        QCOMPARE(sheet, readSheet(start == ThemeKind::Dark ? DarkSheet : LightSheet));

        action(w, "actionToggle_Theme")->trigger();
        QVERIFY(ThemeManager::instance()->kind() != start);
        QCOMPARE(qApp->styleSheet(), readSheet(start == ThemeKind::Dark ? LightSheet : DarkSheet));
        QVERIFY(QApplication::palette().color(QPalette::Window) != window);

        QTest::keySequence(&w, QKeySequence(QStringLiteral("Ctrl+T")));
        QCOMPARE(ThemeManager::instance()->kind(), start);
        QCOMPARE(iconKeys(w), keys);
        QCOMPARE(qApp->styleSheet(), sheet);
        QCOMPARE(QApplication::palette().color(QPalette::Window), window);
    }

    void twentyTogglesKeepCachesAndIcons()
    {
        MainWindow w;
        MainWindowProbe probe(w);
        const ThemeKind start = ThemeManager::instance()->kind();
        const QHash<QAction *, qint64> keys = iconKeys(w);
        const qsizetype light = probe.actionIconsLight().size();
        const qsizetype dark = probe.actionIconsDark().size();
        const qsizetype buttons = probe.buttonIconsLight().size();
        for (int i = 0; i < 20; ++i)
            probe.toggleTheme();
        QCOMPARE(ThemeManager::instance()->kind(), start);
        QCOMPARE(iconKeys(w), keys);
        QCOMPARE(probe.actionIconsLight().size(), light);
        QCOMPARE(probe.actionIconsDark().size(), dark);
        QCOMPARE(probe.buttonIconsLight().size(), buttons);
    }

    void toolBarIconSizeAndLateIconsSurvive()
    {
        MainWindow w;
        MainWindowProbe probe(w);
        auto *toolBar = w.findChild<QToolBar *>(QStringLiteral("toolBar"));
        const QSize iconSize = toolBar->iconSize();
        auto *late = new QAction(&w);
        late->setIcon(QIcon(QStringLiteral(":/images/resources/images/workflow.png")));
        const qint64 lateKey = late->icon().cacheKey();
        for (int i = 0; i < 2; ++i) {
            probe.toggleTheme();
            QCOMPARE(toolBar->iconSize(), iconSize);
            QCOMPARE(late->icon().cacheKey(), lateKey);
        }
    }

    // The about dialog keeps the styled backgrounds its own sheets give it, and gets no
    // others from the theme switch.
    void aboutDialogGetsNoStyledBackgrounds()
    {
        QStringList own;
        {
            AboutDialog alone;
            alone.setAttribute(Qt::WA_DeleteOnClose, false);
            alone.show();
            QVERIFY(QTest::qWaitForWindowExposed(&alone));
            own = styledBackgroundNames(&alone);
        }
        MainWindow w;
        MainWindowProbe probe(w);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        action(w, "actionAbout_velmora")->trigger();
        QPointer<AboutDialog> about = w.findChild<AboutDialog *>();
        QVERIFY(about);
        QCOMPARE(styledBackgroundNames(about), own);
        for (int i = 0; i < 2; ++i) {
            probe.toggleTheme();
            QCOMPARE(styledBackgroundNames(about), own);
        }
        about->close();
        QTRY_VERIFY(about.isNull());
    }

    // Boxes redraw their text in the theme's colour, and the tree keeps mirroring the
    // scene's selection.
    void boxTitleAndTreeSelectionFollowToggle()
    {
        MainWindow w;
        MainWindowProbe probe(w);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        probe.scene()->addEntityAt(QPointF(0, 0));
        EntityItem *box = nullptr;
        for (QGraphicsItem *item : probe.scene()->items()) {
            if (auto *entity = qgraphicsitem_cast<EntityItem *>(item))
                box = entity;
        }
        QVERIFY(box);
        box->setSelected(true);
        auto *tree = w.findChild<QTreeView *>(QStringLiteral("treeViewProject"));
        const auto selectedRows = [tree] {
            QStringList ids;
            for (const QModelIndex &index : tree->selectionModel()->selectedRows())
                ids << index.data(ExplorerIdRole).toString();
            return ids;
        };
        QCOMPARE(selectedRows(), QStringList{box->id()});
        for (int i = 0; i < 2; ++i) {
            probe.toggleTheme();
            QCOMPARE(box->titleText_->defaultTextColor(), ThemeManager::instance()->colors().text);
            QCOMPARE(selectedRows(), QStringList{box->id()});
        }
    }

    void sheetParsesAndHoldsThemeColours_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QStringList>("colours");
        QTest::newRow("light") << LightSheet
                               << QStringList{"#F3F3F3", "#1E1E1E", "#D4D4D4", "#FFFFFF", "#F0F0F0",
                                              "#0078D4", "#D6E8F7"};
        QTest::newRow("dark") << DarkSheet
                              << QStringList{"#2B2B2B", "#BBBBBB", "#3C3F41", "#555555", "#313335",
                                             "#26282A", "#A9B7C6", "#2E3133", "#E4E6EA", "#5C6164",
                                             "#4B6EAF", "#FFFFFF", "#0078D4"};
    }

    void sheetParsesAndHoldsThemeColours()
    {
        QFETCH(QString, path);
        QFETCH(QStringList, colours);
        const QString sheet = readSheet(path);
        QVERIFY(!sheet.isEmpty());
        for (const QString &colour : std::as_const(colours))
            QVERIFY2(sheet.contains(colour, Qt::CaseInsensitive), qPrintable(colour));
        const QStringList names{"toolBarThemeSpacer", "widgetDiagramButtons", "dockWidgetPrjModDiag",
                                "editDiagramName", "alertsFrame", "labelFileName", "labelZoomPercent",
                                "buttonZoomReset", "treeViewProject"};
        for (const QString &name : names)
            QVERIFY2(sheet.contains(QLatin1Char('#') + name), qPrintable(name));
        // The application font set at start-up stays.
        QVERIFY(!sheet.contains(QStringLiteral("font-family"), Qt::CaseInsensitive));
        QVERIFY(!sheet.contains(QRegularExpression(QStringLiteral("\\bfont\\s*:"))));
        static const QRegularExpression url(QStringLiteral("url\\(\\s*([^)\\s]+)\\s*\\)"));
        for (auto it = url.globalMatch(sheet); it.hasNext();) {
            const QString target = it.next().captured(1);
            QVERIFY2(QFile::exists(target), qPrintable(target));
        }

        QTest::failOnWarning(QRegularExpression(QStringLiteral("style ?sheet"),
                                                QRegularExpression::CaseInsensitiveOption));
        qApp->setStyleSheet(sheet);
        QWidget sample;
        auto *layout = new QVBoxLayout(&sample);
        auto *tabs = new QTabWidget(&sample);
        tabs->addTab(new QTreeView, QStringLiteral("Tree"));
        layout->addWidget(tabs);
        auto *box = new QGroupBox(QStringLiteral("Box"), &sample);
        auto *boxLayout = new QVBoxLayout(box);
        boxLayout->addWidget(new QLineEdit);
        boxLayout->addWidget(new QComboBox);
        boxLayout->addWidget(new QCheckBox(QStringLiteral("Check")));
        layout->addWidget(box);
        auto *button = new QPushButton(QStringLiteral("OK"), &sample);
        button->setDefault(true);
        layout->addWidget(button);
        sample.show();
        QVERIFY(QTest::qWaitForWindowExposed(&sample));
        QVERIFY(!sample.grab().isNull());
    }

    void missingSheetLeavesApplicationUnstyled()
    {
        MainWindow w;
        MainWindowProbe probe(w);
        QVERIFY(!qApp->styleSheet().isEmpty());
        unregisterBundle();
        probe.toggleTheme();
        const QString sheet = qApp->styleSheet();
        registerBundle();
        QVERIFY(sheet.isEmpty());
        probe.toggleTheme();
        QVERIFY(!qApp->styleSheet().isEmpty());
    }

    // The about dialog is drawn by its own sheets: the same picture in both themes.
    void aboutDialogLooksTheSameInBothThemes()
    {
        MainWindow w;
        MainWindowProbe probe(w);
        QImage pictures[2];
        for (int i = 0; i < 2; ++i) {
            auto *about = new AboutDialog(&w);
            about->show();
            QVERIFY(QTest::qWaitForWindowExposed(about));
            const bool dark = ThemeManager::instance()->kind() == ThemeKind::Dark;
            QImage &picture = pictures[dark ? 1 : 0];
            picture = about->grab().toImage().convertToFormat(QImage::Format_ARGB32);
            picture.save(testsupport::outputDir(QStringLiteral("tst_themeswitch"))
                         + (dark ? QStringLiteral("/about-dialog-dark.png") : QStringLiteral("/about-dialog-light.png")));
            about->close();
            QCoreApplication::processEvents();
            probe.toggleTheme();
        }
        QCOMPARE(qAlpha(pictures[0].pixel(1, 1)), 0);
        QCOMPARE(pictures[0], pictures[1]);
    }
};

QTEST_MAIN(TestThemeSwitch)
#include "tst_themeswitch.moc"
