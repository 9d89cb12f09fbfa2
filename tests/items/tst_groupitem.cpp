#include "annotationfixture.h"
#include "groupitem.h"
#include "singlelinetextitem.h"
#include "testsupport.h"
#include "thememanager.h"

#include <QFontMetricsF>
#include <QImage>
#include <QJsonObject>
#include <QPainter>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>

#include <limits>

namespace {

QFont titleFont()
{
    QFont f(QStringLiteral("JetBrains Mono"));
    f.setPointSizeF(10);
    f.setWeight(QFont::Bold);
    return f;
}

qreal titleWidth(const QString &title)
{
    return qMax<qreal>(QFontMetricsF(titleFont()).horizontalAdvance(title) + 8, 40);
}

struct Colours
{
    QString fillLight, borderLight, textLight, fillDark, borderDark, textDark;
};

Colours coloursOf(const GroupItem &g)
{
    auto n = [](const QColor &c) { return c.name(QColor::HexArgb); };
    return { n(g.fillLight()), n(g.borderLight()), n(g.textColorLight()),
             n(g.fillDark()), n(g.borderDark()), n(g.textColorDark()) };
}

} // namespace

class tst_GroupItem : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void newFrameWritesDefaultColours();
    void roundTripKeepsEveryField();
    void colourForms_data();
    void colourForms();
    void sizes_data();
    void sizes();
    void titleReading();
    void longTitleIsInsideBoundingRect();
    void setters();

    void doubleClickStartsEditingOnlyOnTitle();
    void editingEnds_data();
    void editingEnds();
    void shiftReturnKeepsEditing();
    void blankTitleFallsBackAndLeadingBlanksStay();
    void resizePinsAtMinimum_data();
    void resizePinsAtMinimum();
    void themeSwitchRecoloursTitleEditor();
    void editorDeletedBeforeFrame();
    void sceneClearedWhileEditing();
    void destroyedWhileEditing();
    void newSceneRestoresZ();
    void styleRequestGoesToDiagramSceneOnly();
};

void tst_GroupItem::initTestCase()
{
    QCOMPARE(testsupport::registerBundledMonoFont(), QStringLiteral("JetBrains Mono"));
}

void tst_GroupItem::init()
{
    ThemeManager::instance()->setTheme(ThemeKind::Light);
}

void tst_GroupItem::newFrameWritesDefaultColours()
{
    GroupItem g(QStringLiteral("Group"), QSizeF(240, 160));
    const QJsonObject o = g.toJson();
    QCOMPARE(o.value("kind").toString(), QStringLiteral("group-item"));
    QCOMPARE(o.value("fillLight").toString(), QStringLiteral("#5afafafa"));
    QCOMPARE(o.value("borderLight").toString(), QStringLiteral("#ff000000"));
    QCOMPARE(o.value("textColorLight").toString(), QStringLiteral("#ff000000"));
    QCOMPARE(o.value("fillDark").toString(), QStringLiteral("#5a262626"));
    QCOMPARE(o.value("borderDark").toString(), QStringLiteral("#ffd2d2d2"));
    QCOMPARE(o.value("textColorDark").toString(), QStringLiteral("#ffe6e6e6"));
    QCOMPARE(o.value("width").toDouble(), 240.0);
    QCOMPARE(o.value("height").toDouble(), 160.0);
    QCOMPARE(o.value("title").toString(), QStringLiteral("Group"));
    QCOMPARE(g.type(), 65641);
    QCOMPARE(g.zValue(), -1000.0);
    QVERIFY(!o.value("id").toString().isEmpty());

    // The constructor takes its size unchecked.
    GroupItem tiny(QStringLiteral("G"), QSizeF(10, 10));
    QCOMPARE(tiny.size(), QSizeF(10, 10));
}

void tst_GroupItem::roundTripKeepsEveryField()
{
    GroupItem g(QStringLiteral("Group"), QSizeF(240, 160));
    g.setTitle(QStringLiteral("  Billing ✓"));
    g.setGeometry(QRectF(-30.5, 44, 333, 222));
    g.setColors(QColor(1, 2, 3, 4), QColor(5, 6, 7), QColor(8, 9, 10), QColor(11, 12, 13, 14),
                QColor(15, 16, 17), QColor(18, 19, 20));
    const QJsonObject written = g.toJson();
    GroupItem fresh(QStringLiteral("Group"), QSizeF(240, 160));
    fresh.fromJson(written);
    QCOMPARE(fresh.toJson(), written);
    QCOMPARE(written.value("fillLight").toString(), QStringLiteral("#04010203"));
}

void tst_GroupItem::colourForms_data()
{
    QTest::addColumn<QJsonObject>("object");
    QTest::addColumn<QStringList>("expected"); // fill, border, text light; then dark
    const QStringList defaults{ "#5afafafa", "#ff000000", "#ff000000", "#5a262626", "#ffd2d2d2", "#ffe6e6e6" };
    QTest::newRow("no colour keys") << QJsonObject() << defaults;
    QTest::newRow("legacy fill at full alpha")
        << QJsonObject{ { "fill", "#336699" } }
        << QStringList{ "#ff336699", "#ff000000", "#ff000000", "#ff336699", "#ffd2d2d2", "#ffe6e6e6" };
    QTest::newRow("legacy all three")
        << QJsonObject{ { "fill", "#11223344" }, { "border", "red" }, { "textColor", "#0f0" } }
        << QStringList{ "#11223344", "#ffff0000", "#ff00ff00", "#11223344", "#ffff0000", "#ff00ff00" };
    QTest::newRow("fillLight wins over fill")
        << QJsonObject{ { "fill", "#336699" }, { "fillLight", "#10ffffff" } }
        << QStringList{ "#10ffffff", "#ff000000", "#ff000000", "#5a262626", "#ffd2d2d2", "#ffe6e6e6" };
    QTest::newRow("borderDark alone is legacy form")
        << QJsonObject{ { "borderDark", "#123456" } } << defaults;
    QTest::newRow("borderDark with textColorLight")
        << QJsonObject{ { "borderDark", "#123456" }, { "textColorLight", "#654321" } }
        << QStringList{ "#5afafafa", "#ff000000", "#ff654321", "#5a262626", "#ff123456", "#ffe6e6e6" };
    QTest::newRow("invalid and non-string skipped")
        << QJsonObject{ { "fillLight", "not a colour" }, { "fillDark", 3 }, { "borderLight", QJsonValue() } }
        << defaults;
    QTest::newRow("invalid legacy skipped")
        << QJsonObject{ { "fill", "#1" }, { "border", false } } << defaults;
}

void tst_GroupItem::colourForms()
{
    QFETCH(QJsonObject, object);
    QFETCH(QStringList, expected);
    GroupItem g(QStringLiteral("Group"), QSizeF(240, 160));
    g.fromJson(object);
    const Colours c = coloursOf(g);
    QCOMPARE((QStringList{ c.fillLight, c.borderLight, c.textLight, c.fillDark, c.borderDark, c.textDark }),
             expected);
}

void tst_GroupItem::sizes_data()
{
    QTest::addColumn<QJsonObject>("object");
    QTest::addColumn<QSizeF>("expected");
    QTest::newRow("raised to the minimum") << QJsonObject{ { "width", 10 }, { "height", 10 } } << QSizeF(80, 40);
    QTest::newRow("missing width keeps current") << QJsonObject{ { "height", 90 } } << QSizeF(240, 90);
    QTest::newRow("negative") << QJsonObject{ { "width", -500 }, { "height", 0 } } << QSizeF(80, 40);
    QTest::newRow("strings keep current") << QJsonObject{ { "width", "300" }, { "height", true } } << QSizeF(240, 160);
    QTest::newRow("non-finite keeps current")
        << QJsonObject{ { "width", std::numeric_limits<double>::infinity() }, { "height", std::nan("") } }
        << QSizeF(240, 160);
    QTest::newRow("huge clamped") << QJsonObject{ { "width", 1e15 }, { "height", 1e7 } } << QSizeF(1e6, 1e6);
}

void tst_GroupItem::sizes()
{
    QFETCH(QJsonObject, object);
    QFETCH(QSizeF, expected);
    GroupItem g(QStringLiteral("Group"), QSizeF(240, 160));
    if (expected.width() == 1e6) {
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("\"width\".*clamped"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("\"height\".*clamped"));
    }
    g.fromJson(object);
    QCOMPARE(g.size(), expected);
}

void tst_GroupItem::titleReading()
{
    GroupItem g(QStringLiteral("Group"), QSizeF(240, 160));
    g.fromJson(QJsonObject{ { "title", 5 } });
    QCOMPARE(g.title(), QStringLiteral("Group"));
    g.fromJson(QJsonObject{ { "title", "" } });
    QCOMPARE(g.title(), QString());
    // An empty title is measured as "Group", so there is still something to double-click.
    const QFontMetricsF fm(titleFont());
    QCOMPARE(g.titleRect(), QRectF(8, 4, titleWidth(QStringLiteral("Group")), qMax<qreal>(fm.height() + 2, 16)));

    const QString id = g.id();
    g.fromJson(QJsonObject{ { "id", QJsonObject() } });
    QCOMPARE(g.id(), id);
    g.fromJson(QJsonObject{ { "id", "frame-1" }, { "x", 12 }, { "y", "3" } });
    QCOMPARE(g.id(), QStringLiteral("frame-1"));
    QCOMPARE(g.pos(), QPointF(12, 0));
}

void tst_GroupItem::longTitleIsInsideBoundingRect()
{
    GroupItem g(QStringLiteral("Group"), QSizeF(240, 160));
    QCOMPARE(g.boundingRect(), QRectF(-6, -6, 252, 172));
    const QString title(10000, QLatin1Char('W'));
    g.setTitle(title);
    QCOMPARE(g.titleRect().width(), titleWidth(title));
    QVERIFY(g.boundingRect().contains(g.titleRect()));
    QCOMPARE(g.boundingRect().right(), g.titleRect().right() + 6);
    // The shape stays the frame's own.
    QVERIFY(!g.shape().contains(QPointF(400, 10)));
}

void tst_GroupItem::setters()
{
    GroupItem g(QStringLiteral("Group"), QSizeF(240, 160));
    g.setSize(QSizeF(10, 500));
    QCOMPARE(g.size(), QSizeF(80, 500));
    g.setGeometry(QRectF(5, 6, 100, 1));
    QCOMPARE(g.pos(), QPointF(5, 6));
    QCOMPARE(g.size(), QSizeF(100, 40));

    g.setFillColor(QColor("#abcdef"));
    g.setBorderColor(QColor());
    QCOMPARE(g.fillLight(), QColor("#abcdef"));
    QCOMPARE(g.borderLight(), QColor("#000000"));
    ThemeManager::instance()->setTheme(ThemeKind::Dark);
    g.setTextColor(QColor("#fedcba"));
    QCOMPARE(g.textColorDark(), QColor("#fedcba"));
    QCOMPARE(g.textColorLight(), QColor("#000000"));
    QCOMPARE(g.textColor(), QColor("#fedcba"));
    QCOMPARE(g.fillColor(), g.fillDark());
    g.setColors(QColor(), QColor(), QColor(), QColor(), QColor("#010101"), QColor());
    QCOMPARE(g.borderDark(), QColor("#010101"));
    QCOMPARE(g.fillLight(), QColor("#abcdef"));
}

void tst_GroupItem::doubleClickStartsEditingOnlyOnTitle()
{
    AnnotationFixture f;
    QVERIFY(f.show());
    auto *g = new GroupItem(QString(), QSizeF(240, 160));
    f.scene.addItem(g);
    g->setPos(100, 100);

    f.doubleClick(QPointF(200, 200));
    QVERIFY(!g->titleEditor());

    // Inside the title area of an empty title (as wide as "Group"), right of its text.
    const QRectF title = g->titleRect().translated(g->pos());
    f.doubleClick(QPointF(title.right() + 6, title.center().y()));
    SingleLineTextItem *editor = g->titleEditor();
    QVERIFY(editor);
    QVERIFY(!editor->parentItem());
    QCOMPARE(editor->scene(), &f.scene);
    QCOMPARE(editor->zValue(), 1000.0);
    QCOMPARE(editor->pos(), QPointF(108, 104));
    QCOMPARE(editor->toPlainText(), QString());
    QCOMPARE(editor->font().weight(), QFont::Bold);
    QVERIFY(editor->isEditing());
}

void tst_GroupItem::editingEnds_data()
{
    QTest::addColumn<int>("key"); // 0: a click elsewhere
    QTest::newRow("escape") << int(Qt::Key_Escape);
    QTest::newRow("tab") << int(Qt::Key_Tab);
    QTest::newRow("return") << int(Qt::Key_Return);
    QTest::newRow("click elsewhere") << 0;
}

void tst_GroupItem::editingEnds()
{
    QFETCH(int, key);
    AnnotationFixture f;
    QVERIFY(f.show());
    auto *g = new GroupItem(QStringLiteral("Group"), QSizeF(240, 160));
    f.scene.addItem(g);
    g->setPos(100, 100);
    g->startTitleEditing();
    QPointer<SingleLineTextItem> editor = g->titleEditor();
    QVERIFY(editor);
    editor->setPlainText(QStringLiteral("Sales"));

    if (key)
        QTest::keyClick(f.viewport(), Qt::Key(key));
    else
        f.click(QPointF(600, 500));
    QTRY_VERIFY(!g->titleEditor());
    QCOMPARE(g->title(), QStringLiteral("Sales"));
    QTRY_VERIFY(!editor);
}

void tst_GroupItem::shiftReturnKeepsEditing()
{
    AnnotationFixture f;
    QVERIFY(f.show());
    auto *g = new GroupItem(QStringLiteral("Group"), QSizeF(240, 160));
    f.scene.addItem(g);
    g->startTitleEditing();
    g->titleEditor()->setPlainText(QStringLiteral("Sales"));
    QTest::keyClick(f.viewport(), Qt::Key_Return, Qt::ShiftModifier);
    QVERIFY(g->titleEditor());
    QCOMPARE(g->title(), QStringLiteral("Group"));
}

void tst_GroupItem::blankTitleFallsBackAndLeadingBlanksStay()
{
    AnnotationFixture f;
    QVERIFY(f.show());
    auto *g = new GroupItem(QStringLiteral("Old"), QSizeF(240, 160));
    f.scene.addItem(g);
    g->startTitleEditing();
    g->titleEditor()->setPlainText(QStringLiteral("   "));
    QTest::keyClick(f.viewport(), Qt::Key_Return);
    QCOMPARE(g->title(), QStringLiteral("Group"));

    g->startTitleEditing();
    g->titleEditor()->setPlainText(QStringLiteral("  Sales"));
    QTest::keyClick(f.viewport(), Qt::Key_Return);
    QCOMPARE(g->title(), QStringLiteral("  Sales"));
}

void tst_GroupItem::resizePinsAtMinimum_data()
{
    QTest::addColumn<QPointF>("handle"); // in frame coordinates
    QTest::addColumn<QPointF>("delta");
    QTest::addColumn<QRectF>("expected"); // position and size
    QTest::newRow("left far right") << QPointF(0, 80) << QPointF(500, 0) << QRectF(260, 100, 80, 160);
    QTest::newRow("bottom right far up-left") << QPointF(240, 160) << QPointF(-500, -500) << QRectF(100, 100, 80, 40);
    QTest::newRow("top grows") << QPointF(120, 0) << QPointF(0, -30) << QRectF(100, 70, 240, 190);
}

void tst_GroupItem::resizePinsAtMinimum()
{
    QFETCH(QPointF, handle);
    QFETCH(QPointF, delta);
    QFETCH(QRectF, expected);
    AnnotationFixture f;
    QVERIFY(f.show());
    auto *g = new GroupItem(QStringLiteral("Group"), QSizeF(240, 160));
    f.scene.addItem(g);
    g->setPos(100, 100);
    g->setSelected(true);
    f.drag(g->pos() + handle, g->pos() + handle + delta);
    QCOMPARE(QRectF(g->pos(), g->size()), expected);
    QVERIFY(g->flags() & QGraphicsItem::ItemIsMovable);
}

void tst_GroupItem::themeSwitchRecoloursTitleEditor()
{
    AnnotationFixture f;
    QVERIFY(f.show());
    auto *g = new GroupItem(QStringLiteral("Group"), QSizeF(240, 160));
    f.scene.addItem(g);
    g->startTitleEditing();
    QCOMPARE(g->titleEditor()->defaultTextColor(), QColor("#000000"));
    ThemeManager::instance()->setTheme(ThemeKind::Dark);
    QCOMPARE(g->titleEditor()->defaultTextColor(), QColor("#e6e6e6"));
}

void tst_GroupItem::editorDeletedBeforeFrame()
{
    AnnotationFixture f;
    QVERIFY(f.show());
    auto *g = new GroupItem(QStringLiteral("Group"), QSizeF(240, 160));
    f.scene.addItem(g);
    g->startTitleEditing();
    delete g->titleEditor();
    QVERIFY(!g->titleEditor());
    // The frame paints its title again and closes nothing that is gone.
    QImage img(300, 200, QImage::Format_ARGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    f.scene.render(&p);
    p.end();
    g->closeTitleEditor();
    g->finishTitleEditing();
    QCOMPARE(g->title(), QStringLiteral("Group"));
    g->startTitleEditing();
    QVERIFY(g->titleEditor());
    delete g;
}

void tst_GroupItem::sceneClearedWhileEditing()
{
    AnnotationFixture f;
    QVERIFY(f.show());
    // Frames before and after their editors in the scene's item order.
    for (int i = 0; i < 2; ++i) {
        auto *g = new GroupItem(QStringLiteral("Group"), QSizeF(240, 160));
        f.scene.addItem(g);
        g->startTitleEditing();
        g->titleEditor()->setPlainText(QStringLiteral("typed"));
    }
    auto *late = new GroupItem(QStringLiteral("Late"), QSizeF(240, 160));
    f.scene.addItem(late);
    f.scene.clear();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(f.scene.items().isEmpty());
}

void tst_GroupItem::destroyedWhileEditing()
{
    AnnotationFixture f;
    QVERIFY(f.show());
    auto *g = new GroupItem(QStringLiteral("Group"), QSizeF(240, 160));
    f.scene.addItem(g);
    g->startTitleEditing();
    QPointer<SingleLineTextItem> editor = g->titleEditor();
    delete g;
    QVERIFY(editor);
    QVERIFY(!editor->isVisible());
    QTRY_VERIFY(!editor);
    QVERIFY(f.scene.items().isEmpty());
}

void tst_GroupItem::newSceneRestoresZ()
{
    QGraphicsScene first;
    QGraphicsScene second;
    auto *g = new GroupItem(QStringLiteral("Group"), QSizeF(240, 160));
    first.addItem(g);
    g->setZValue(5);
    first.removeItem(g);
    second.addItem(g);
    QCOMPARE(g->zValue(), -1000.0);
}

void tst_GroupItem::styleRequestGoesToDiagramSceneOnly()
{
    ERScene scene;
    auto *g = new GroupItem(QStringLiteral("Group"), QSizeF(240, 160));
    scene.addItem(g);
    QSignalSpy spy(&scene, &ERScene::groupStyleDialogRequested);
    const QString action = QString::fromUtf8("Colors and fonts…");
    QCOMPARE(runContextMenu(&scene, g, QString()), QStringList{ action });
    QVERIFY(g->isSelected());
    QCOMPARE(spy.count(), 0);
    runContextMenu(&scene, g, action);
    QCOMPARE(spy.count(), 1);

    QGraphicsScene plain;
    auto *loose = new GroupItem(QStringLiteral("Group"), QSizeF(240, 160));
    plain.addItem(loose);
    runContextMenu(&plain, loose, action);
    QCOMPARE(spy.count(), 1);
}

QTEST_MAIN(tst_GroupItem)
#include "tst_groupitem.moc"
