#include "erscene.h"
#include "erview.h"
#include "singlelinetextitem.h"

#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>

// Tab and Backtab reach an in-place editor that is editing, instead of moving focus
// from the view to the next widget.
class tst_ERView : public QObject
{
    Q_OBJECT

private slots:
    void newSceneDialect();
    void tabReachesEditingEditor_data();
    void tabReachesEditingEditor();
    void tabMovesFocusWithoutEditor();
};

namespace {

struct Window
{
    Window()
    {
        auto *layout = new QVBoxLayout(&top);
        view = new ERView;
        view->setScene(&scene);
        other = new QLineEdit;
        layout->addWidget(view);
        layout->addWidget(other);
        top.resize(400, 300);
        editor = new SingleLineTextItem;
        editor->setPlainText(QStringLiteral("name"));
        scene.addItem(editor);
    }

    bool show()
    {
        top.show();
        top.activateWindow();
        if (!QTest::qWaitForWindowActive(&top))
            return false;
        view->setFocus();
        return view->hasFocus();
    }

    ERScene scene;
    QWidget top;
    ERView *view = nullptr;
    QLineEdit *other = nullptr;
    SingleLineTextItem *editor = nullptr;
};

} // namespace

void tst_ERView::newSceneDialect()
{
    ERScene scene;
    QCOMPARE(scene.dialect, QStringLiteral("Conceptual ER"));
    QVERIFY(qobject_cast<ERScene *>(static_cast<QObject *>(&scene)));
}

void tst_ERView::tabReachesEditingEditor_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<bool>("viaTab");
    QTest::addColumn<bool>("viaBacktab");

    QTest::newRow("Tab") << int(Qt::Key_Tab) << int(Qt::NoModifier) << true << false;
    QTest::newRow("Backtab") << int(Qt::Key_Backtab) << int(Qt::ShiftModifier) << false << true;
    QTest::newRow("Shift+Tab") << int(Qt::Key_Tab) << int(Qt::ShiftModifier) << false << true;
}

void tst_ERView::tabReachesEditingEditor()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(bool, viaTab);
    QFETCH(bool, viaBacktab);

    Window w;
    QVERIFY(w.show());
    w.editor->beginEditing();
    QCOMPARE(w.scene.focusItem(), w.editor);
    QSignalSpy finished(w.editor, &SingleLineTextItem::editingFinished);

    QTest::keyClick(w.view, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(finished.size(), 1);
    QCOMPARE(finished.at(0).at(1).toBool(), viaTab);
    QCOMPARE(finished.at(0).at(2).toBool(), viaBacktab);
    QVERIFY(w.view->hasFocus());
    QVERIFY(!w.other->hasFocus());
}

void tst_ERView::tabMovesFocusWithoutEditor()
{
    Window w;
    QVERIFY(w.show());
    QVERIFY(!w.scene.focusItem());
    QSignalSpy finished(w.editor, &SingleLineTextItem::editingFinished);
    QTest::keyClick(w.view, Qt::Key_Tab);
    QTRY_VERIFY(w.other->hasFocus());
    QCOMPARE(finished.size(), 0);
}

QTEST_MAIN(tst_ERView)
#include "tst_erview.moc"
