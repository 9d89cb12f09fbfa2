// Unsaved work: the modified mark in the title, and the question before anything replaces
// or closes a changed project.
#include "colorsdialog.h"
#include "entityitem.h"
#include "erscene.h"
#include "erview.h"
#include "tabledetailscontroller.h"
#include "tableitem.h"
#include "uiseam.h"

#include "projecttestsupport.h"
#include "windowtestcase.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScopeGuard>
#include <QTabWidget>
#include <QTimer>
#include <QWindow>

using namespace projecttest;

namespace {

const QString Question = QStringLiteral("Save changes to the project before closing it?");
const QString SaveFailure = QStringLiteral("Could not save the project file.");

EntityItem *entityTitled(ERScene *scene, const QString &title)
{
    for (QGraphicsItem *item : scene->items()) {
        auto *entity = qgraphicsitem_cast<EntityItem *>(item);
        if (entity && entity->title() == title)
            return entity;
    }
    return nullptr;
}

// The title the window shows, with the modified mark resolved.
QString shownTitle(MainWindow &w)
{
    return w.windowHandle() ? w.windowHandle()->title() : QString();
}

} // namespace

class TestUnsavedChanges : public WindowTestCase
{
    Q_OBJECT

private:
    void cleanupEach() override { uiseam::setDialogRunner({}); }

    // Triggers the action that replaces or closes the project. True when it went on: its
    // own first step (file dialog, import dialog, a new project, the close) happened.
    bool runReplacingAction(const QString &action)
    {
        MainWindow &w = window();
        ProjectItem *before = probe().project();
        bool dialogRan = false;
        uiseam::setDialogRunner([&dialogRan](QDialog *) {
            dialogRan = true;
            return int(QDialog::Rejected);
        });
        const auto fileDialogs = [this] { return m_prompts.promptsOf(QStringLiteral("open-file")).size(); };
        const qsizetype dialogsBefore = fileDialogs();
        if (action == QLatin1String("close")) {
            QCloseEvent event;
            QCoreApplication::sendEvent(&w, &event);
            return event.isAccepted();
        }
        if (action == QLatin1String("action_Exit")) {
            // Exit ends the application's event loop; one runs for it here, and a timer
            // ends it with another code when Exit does not.
            QTimer fallback;
            fallback.setSingleShot(true);
            connect(&fallback, &QTimer::timeout, [] { QCoreApplication::exit(1); });
            QTimer::singleShot(0, &w, [&w, &fallback] {
                trigger(w, "action_Exit");
                fallback.start(200);
            });
            return qApp->exec() == 0;
        }
        if (action != QLatin1String("action_New") && action != QLatin1String("actionImport_from_Database"))
            m_prompts.answerOpenFile(QString());
        trigger(w, action.toLatin1().constData());
        waitIdle(w);
        if (action == QLatin1String("action_New"))
            return probe().project() != before;
        if (action == QLatin1String("actionImport_from_Database"))
            return dialogRan;
        return fileDialogs() > dialogsBefore;
    }

private Q_SLOTS:
    void replacingOrClosingAsksAboutChanges_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("answer");
        const QList<QPair<const char *, const char *>> actions{
            {"action_New", "New Project"},
            {"action_Open", "Open Project"},
            {"actionImport_from_Mermaid", "Import from Mermaid"},
            {"actionImport_from_Drawio", "Import from draw.io"},
            {"actionImport_from_Image", "Import from Image"},
            {"actionImport_from_Database", "Import from Database"},
            {"action_Exit", "Exit"},
            {"close", "Exit"},
        };
        // "unchanged": nothing was edited, nothing is asked. "failed save": the file
        // cannot be written. "no file chosen": Save's file dialog is cancelled.
        for (const auto &[action, title] : actions) {
            for (const char *answer : {"unchanged", "Save", "Discard", "Cancel", "closed", "failed save",
                                       "no file chosen"}) {
                QTest::addRow("%s, %s", action, answer) << action << title << answer;
            }
        }
    }

    void replacingOrClosingAsksAboutChanges()
    {
        QFETCH(QString, action);
        QFETCH(QString, title);
        QFETCH(QString, answer);
        MainWindow &w = window();
        const QString savedPath = tempPath(QStringLiteral("unsaved-%1.json").arg(QTest::currentDataTag()));
        QFile::remove(savedPath);

        const bool edited = answer != QLatin1String("unchanged");
        if (edited)
            probe().applyProjectName(QStringLiteral("Edited Shop"));
        QCOMPARE(w.hasUnsavedChanges(), edited);

        if (answer == QLatin1String("closed"))
            m_prompts.answerAsk(-1);
        else if (edited)
            m_prompts.answerAsk(answer == QLatin1String("Discard") || answer == QLatin1String("Cancel")
                                    ? answer
                                    : QStringLiteral("Save"));
        if (answer == QLatin1String("Save"))
            m_prompts.answerSaveFile(savedPath);
        else if (answer == QLatin1String("failed save"))
            m_prompts.answerSaveFile(tempPath(QStringLiteral("missing-folder/project.json")));
        else if (answer == QLatin1String("no file chosen"))
            m_prompts.answerSaveFile(QString());
        if (answer == QLatin1String("failed save"))
            m_prompts.allowed = 1;

        const bool wentOn = runReplacingAction(action);

        const QList<ScriptedPrompts::Prompt> asked = m_prompts.promptsOf(QStringLiteral("ask"));
        QCOMPARE(asked.size(), edited ? 1 : 0);
        if (edited) {
            QCOMPARE(asked.first().title, title);
            QCOMPARE(asked.first().text, Question);
            QCOMPARE(asked.first().buttons, (QStringList{"Save", "Discard", "Cancel"}));
        }
        const bool expectGoOn = answer == QLatin1String("unchanged") || answer == QLatin1String("Save")
            || answer == QLatin1String("Discard");
        QCOMPARE(wentOn, expectGoOn);

        QCOMPARE(QFile::exists(savedPath), answer == QLatin1String("Save"));
        if (answer == QLatin1String("Save"))
            QCOMPARE(readJson(savedPath).value("data").toObject().value("name").toString(),
                     QStringLiteral("Edited Shop"));
        const QList<ScriptedPrompts::Prompt> warnings = m_prompts.promptsOf(QStringLiteral("warning"));
        QCOMPARE(warnings.size(), answer == QLatin1String("failed save") ? 1 : 0);
        if (!warnings.isEmpty())
            QCOMPARE(warnings.first().text, SaveFailure);

        // A project kept open keeps its changes and its mark.
        if (!expectGoOn) {
            QCOMPARE(probe().project()->name(), QStringLiteral("Edited Shop"));
            QVERIFY(w.hasUnsavedChanges());
            QVERIFY(w.isWindowModified());
        }
        if (answer == QLatin1String("Save"))
            QVERIFY(!w.isWindowModified());
    }

    void typicalEditsMarkTheTitleAndSaveClearsIt_data()
    {
        QTest::addColumn<QString>("edit");
        QTest::newRow("box moved") << "box moved";
        QTest::newRow("table schema in the panel") << "panel";
        QTest::newRow("project renamed in the name bar") << "rename";
        QTest::newRow("table colours") << "style";
        QTest::newRow("dialect chosen") << "dialect";
    }

    void typicalEditsMarkTheTitleAndSaveClearsIt()
    {
        QFETCH(QString, edit);
        MainWindow &w = window();
        QVERIFY(showWindow());
        w.activateWindow();
        QVERIFY(open(w, m_prompts, copyFixture(QStringLiteral("adoption-diagram.json"), m_dir.path())));
        ERScene *scene = probe().scene();
        EntityItem *book = entityTitled(scene, QStringLiteral("book"));
        QVERIFY(book);
        auto *view = w.findChild<ERView *>(QStringLiteral("view"));
        QWidget *viewport = view->viewport();

        // Input that edits nothing leaves the mark off.
        QTest::mouseClick(w.findChild<QLabel *>(QStringLiteral("labelFileName")), Qt::LeftButton);
        QTest::qWait(400);
        QVERIFY(!w.isWindowModified());
        QCOMPARE(shownTitle(w), QStringLiteral("velmora"));

        if (edit == QLatin1String("box moved")) {
            view->centerOn(book);
            const QPoint from = view->mapFromScene(book->mapToScene(QPointF(3, 3)));
            const QPoint to = from + QPoint(80, 60);
            const QPointF before = book->pos();
            QTest::mousePress(viewport, Qt::LeftButton, Qt::NoModifier, from);
            for (int step = 1; step <= 4; ++step) {
                const QPoint at = from + (to - from) * step / 4;
                QMouseEvent move(QEvent::MouseMove, at, viewport->mapToGlobal(at), Qt::NoButton,
                                 Qt::LeftButton, Qt::NoModifier);
                QCoreApplication::sendEvent(viewport, &move);
            }
            QTest::mouseRelease(viewport, Qt::LeftButton, Qt::NoModifier, to);
            QVERIFY(book->pos() != before);
        } else if (edit == QLatin1String("panel")) {
            scene->clearSelection();
            book->setSelected(true);
            QTRY_COMPARE(probe().detailsEntity(), book);
            auto *schema = w.findChild<QLineEdit *>(QStringLiteral("lineEditSchema"));
            w.findChild<QTabWidget *>(QStringLiteral("tabWidget"))->setCurrentIndex(0);
            schema->setFocus();
            schema->selectAll();
            QTest::keyClicks(schema, QStringLiteral("sales"));
            QTest::keyClick(schema, Qt::Key_Return);
            QCOMPARE(TableDetailsController::findTableInProject(probe().project(), book->id())->schema(), QStringLiteral("sales"));
        } else if (edit == QLatin1String("rename")) {
            auto *name = w.findChild<QLineEdit *>(QStringLiteral("editProjectName"));
            name->setFocus();
            name->selectAll();
            QTest::keyClicks(name, QStringLiteral("Library"));
            QTest::keyClick(name, Qt::Key_Return);
            QCOMPARE(probe().project()->name(), QStringLiteral("Library"));
        } else if (edit == QLatin1String("style")) {
            scene->clearSelection();
            book->setSelected(true);
            const DualThemeColorScheme colours{
                {QColor("#FFEEDD"), QColor("#FFEEDD"), QColor("#2D5B88"), QColor("#0F172A")},
                {QColor("#332211"), QColor("#332211"), QColor("#7EB6E8"), QColor("#E2F0FF")}};
            uiseam::setDialogRunner([colours](QDialog *dialog) {
                if (auto *typed = qobject_cast<ColorsDialog *>(dialog))
                    emit typed->applyRequested(colours, ColorsDialog::SelectedItem, false);
                return int(QDialog::Accepted);
            });
            trigger(w, "actionEntity_Colors");
        } else if (edit == QLatin1String("dialect")) {
            auto *combo = w.findChild<QComboBox *>(QStringLiteral("comboBoxDatabase"));
            combo->setFocus();
            QTest::keyClick(combo, Qt::Key_Down);
            QVERIFY(probe().currentModel()->dialect() == combo->currentText());
        }

        QTRY_VERIFY(w.isWindowModified());
        QCOMPARE(shownTitle(w), QStringLiteral("velmora*"));
        QVERIFY(w.hasUnsavedChanges());

        const QString path = tempPath(QStringLiteral("typical-%1.json").arg(QTest::currentDataTag()));
        QVERIFY(runFileAction(w, m_prompts, "action_Save_As", path, true));
        QVERIFY(!w.isWindowModified());
        QCOMPARE(shownTitle(w), QStringLiteral("velmora"));
        QVERIFY(!w.hasUnsavedChanges());
        // Nothing to ask about once saved.
        m_prompts.answerOpenFile(QString());
        trigger(w, "action_Open");
        QVERIFY(m_prompts.promptsOf(QStringLiteral("ask")).isEmpty());
    }

    void openingSavingAndCreatingLeaveNoChanges_data()
    {
        QTest::addColumn<QString>("file");
        QTest::newRow("project") << "sample-project.json";
        QTest::newRow("three diagrams") << "three-diagrams.json";
        QTest::newRow("diagram") << "adoption-diagram.json";
        QTest::newRow("diagram with dialect") << "diagram-with-dialect.json";
    }

    void openingSavingAndCreatingLeaveNoChanges()
    {
        QFETCH(QString, file);
        MainWindow &w = window();
        QVERIFY(showWindow());
        QVERIFY(!w.hasUnsavedChanges());
        QVERIFY(open(w, m_prompts, copyFixture(file, m_dir.path())));
        // The deferred work of a load (routes, scene rectangle) is no change of the user's.
        QTest::qWait(300);
        // Input that edits nothing leaves the mark off.
        QTest::mouseClick(w.findChild<QLabel *>(QStringLiteral("labelFileName")), Qt::LeftButton);
        QTest::qWait(400);
        QVERIFY(!w.isWindowModified());
        QVERIFY(!w.hasUnsavedChanges());

        probe().applyProjectName(QStringLiteral("Changed"));
        QVERIFY(w.hasUnsavedChanges());
        trigger(w, "action_Save");
        QVERIFY(waitIdle(w));
        QVERIFY(!w.hasUnsavedChanges());

        probe().applyProjectName(QStringLiteral("Changed again"));
        m_prompts.answerAsk(QStringLiteral("Discard"));
        trigger(w, "action_New");
        QVERIFY(!w.hasUnsavedChanges());
        QVERIFY(!w.isWindowModified());
        QCOMPARE(probe().project()->name(), QStringLiteral("Untitled Project"));
    }
};

QTEST_MAIN(TestUnsavedChanges)
#include "tst_unsavedchanges.moc"
