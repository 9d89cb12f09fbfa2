#include "annotationdrawing.h"
#include "dialectcatalog.h"
#include "erscene.h"
#include "erview.h"
#include "singlelinetextitem.h"
#include "testentityhost.h"
#include "testsupport.h"
#include "thememanager.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QListView>
#include <QPainter>
#include <QSignalSpy>
#include <QFontMetricsF>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>

#include <memory>

namespace {

// Counts its own paints, to see whether idle painting schedules more painting.
class CountingEditor : public SingleLineTextItem
{
public:
    using SingleLineTextItem::SingleLineTextItem;
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget) override
    {
        ++paints;
        SingleLineTextItem::paint(painter, option, widget);
    }
    int paints = 0;
};

// A scene with the PostgreSQL dialect, a shown view and one host box holding an editor.
struct EditorFixture
{
    EditorFixture()
    {
        scene = std::make_unique<ERScene>();
        scene->dialect = QStringLiteral("PostgreSQL");
        scene->setSceneRect(0, 0, 580, 380);
        view = std::make_unique<ERView>();
        view->setScene(scene.get());
        view->resize(600, 400);
        view->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        host = new TestEntityHost(QRectF(0, 0, 200, 60));
        host->setPos(40, 40);
        scene->addItem(host);
        editor = new CountingEditor(host);
        editor->setFont(QFont(testsupport::registerBundledMonoFont(), 10));
        editor->setPos(10, 20);
        editor->setCompletionEnabled(true);
    }

    bool show()
    {
        view->show();
        view->activateWindow();
        if (!QTest::qWaitForWindowActive(view.get()))
            return false;
        view->setFocus();
        return true;
    }

    void startEditing(const QString &text = QString())
    {
        editor->setPlainText(text);
        editor->beginEditing();
    }

    void type(const QString &text) { QTest::keyClicks(view.get(), text); }
    void key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(view.get(), key, modifiers);
    }

    bool popupVisible() const
    {
        return editor->completionPopup() && editor->completionPopup()->isVisible();
    }

    std::unique_ptr<ERScene> scene;
    std::unique_ptr<ERView> view;
    TestEntityHost *host = nullptr;
    CountingEditor *editor = nullptr;
};

QRect inkBounds(const QImage &image, QRgb background)
{
    QRect bounds;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != background)
                bounds |= QRect(x, y, 1, 1);
    return bounds;
}

int inkCount(const QImage &image, QRgb background)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += image.pixel(x, y) != background ? 1 : 0;
    return count;
}

} // namespace

class tst_SingleLineTextItem : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void keyTable_data();
    void keyTable();
    void pastedTabsAndLineBreaksBecomeOneLine_data();
    void pastedTabsAndLineBreaksBecomeOneLine();
    void caseAdaptation_data();
    void caseAdaptation();
    void completionFollowsTypedCase();
    void singleExactMatchHidesPopup();
    void popupGeometry_data();
    void popupGeometry();
    void popupFlipsAboveNearBottom();
    void noPopupWithoutDialectOrView_data();
    void noPopupWithoutDialectOrView();
    void rowDragThreshold_data();
    void rowDragThreshold();
    void rightPressGoesToHostAndKeepsCaret();
    void underlineStopsBeforeTrailingBlanks();
    void shownCellPaintsAsItsDocument_data();
    void shownCellPaintsAsItsDocument();
    void documentOnlyWhenNeeded_data();
    void documentOnlyWhenNeeded();
    void cellsSharingATextMeasureInTheirOwnFont_data();
    void cellsSharingATextMeasureInTheirOwnFont();
    void measuresFollowTheApplicationFont();
    void metricsAdvanceFollowsTextAndFont_data();
    void metricsAdvanceFollowsTextAndFont();
    void indexFollowsChangesMadeUnmeasured();
    void idlePaintingStaysIdle();
    void destroyedWhilePopupShown();
    void popupsDoNotPileUp();
    void cellIsNoPlainTextItem();
    void viewDestroyedBeforeScene();
    void sceneClearedWhileEditing();
    void directPaintingSynthesisesBoldAndAlignsRight();
    void popupPictures();
};

void tst_SingleLineTextItem::initTestCase()
{
    testsupport::registerBundledMonoFont();
}

void tst_SingleLineTextItem::init()
{
    ThemeManager::instance()->setTheme(ThemeKind::Light);
}

void tst_SingleLineTextItem::cleanup()
{
    setFontStylesFunction({});
}

void tst_SingleLineTextItem::keyTable_data()
{
    QTest::addColumn<QString>("typed");       // typed first, opens the popup when it matches
    QTest::addColumn<bool>("lastRow");
    QTest::addColumn<bool>("clearCurrentRow"); // the popup then has no current row
    QTest::addColumn<QList<int>>("keys");      // Qt::Key values; Backtab sent as Tab + Shift
    QTest::addColumn<int>("finished");
    QTest::addColumn<bool>("viaTab");
    QTest::addColumn<bool>("viaBacktab");
    QTest::addColumn<int>("newAttributes");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("stillEditing");

    QTest::newRow("Return") << "id" << false << false << QList<int>{ Qt::Key_Return }
                            << 1 << false << false << 0 << "id" << false;
    QTest::newRow("Enter, last row") << "id" << true << false << QList<int>{ Qt::Key_Enter }
                                     << 0 << false << false << 1 << "id" << true;
    QTest::newRow("Shift+Return") << "id" << false << false << QList<int>{ (Qt::SHIFT | Qt::Key_Return).toCombined() }
                                  << 0 << false << false << 1 << "id" << true;
    QTest::newRow("Escape twice with popup") << "va" << false << false
                                             << QList<int>{ Qt::Key_Escape, Qt::Key_Escape }
                                             << 1 << false << false << 0 << "va" << false;
    QTest::newRow("Tab, popup without current row") << "va" << false << true << QList<int>{ Qt::Key_Tab }
                                                    << 1 << true << false << 0 << "varbit" << false;
    QTest::newRow("Tab, popup on second row") << "va" << false << false
                                              << QList<int>{ Qt::Key_Down, Qt::Key_Tab }
                                              << 1 << true << false << 0 << "varchar" << false;
    QTest::newRow("Backtab with popup") << "va" << false << false << QList<int>{ (Qt::SHIFT | Qt::Key_Tab).toCombined() }
                                        << 1 << false << true << 0 << "va" << false;
    QTest::newRow("Return with popup, last row") << "va" << true << false << QList<int>{ Qt::Key_Return }
                                                 << 0 << false << false << 1 << "varbit" << true;
    QTest::newRow("Tab without popup") << "xyz" << false << false << QList<int>{ Qt::Key_Tab }
                                       << 1 << true << false << 0 << "xyz" << false;
}

void tst_SingleLineTextItem::keyTable()
{
    QFETCH(QString, typed);
    QFETCH(bool, lastRow);
    QFETCH(bool, clearCurrentRow);
    QFETCH(QList<int>, keys);
    QFETCH(int, finished);
    QFETCH(bool, viaTab);
    QFETCH(bool, viaBacktab);
    QFETCH(int, newAttributes);
    QFETCH(QString, text);
    QFETCH(bool, stillEditing);

    EditorFixture f;
    QVERIFY(f.show());
    f.editor->setLastRow(lastRow);
    f.startEditing();
    f.type(typed);
    const bool expectPopup = typed == QLatin1String("va");
    QCOMPARE(f.popupVisible(), expectPopup);
    if (clearCurrentRow)
        f.editor->completionPopup()->selectionModel()->clear();

    QSignalSpy finishedSpy(f.editor, &SingleLineTextItem::editingFinished);
    QSignalSpy newSpy(f.editor, &SingleLineTextItem::newAttributeRequested);
    for (int combined : keys) {
        const auto key = Qt::Key(combined & ~Qt::KeyboardModifierMask);
        const auto modifiers = Qt::KeyboardModifiers(combined & Qt::KeyboardModifierMask);
        f.key(key, modifiers);
        if (key == Qt::Key_Escape && expectPopup && finishedSpy.isEmpty() && f.editor->isEditing())
            QVERIFY(!f.popupVisible()); // the first Escape only closes the list
    }

    QCOMPARE(finishedSpy.size(), finished);
    if (finished) {
        QCOMPARE(finishedSpy.at(0).at(0).value<SingleLineTextItem *>(), f.editor);
        QCOMPARE(finishedSpy.at(0).at(1).toBool(), viaTab);
        QCOMPARE(finishedSpy.at(0).at(2).toBool(), viaBacktab);
    }
    QCOMPARE(newSpy.size(), newAttributes);
    QCOMPARE(f.editor->toPlainText(), text);
    QCOMPARE(f.editor->isEditing(), stillEditing);
    QCOMPARE(f.editor->hasFocus(), stillEditing);
    QVERIFY(!f.popupVisible());
    // Focus stays with the view either way; Tab does not walk the widget chain.
    QVERIFY(f.view->hasFocus());
}

void tst_SingleLineTextItem::pastedTabsAndLineBreaksBecomeOneLine_data()
{
    QTest::addColumn<QString>("initial");
    QTest::addColumn<int>("cursor");
    QTest::addColumn<QString>("pasted");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("expectedCursor");

    QTest::newRow("tab removed, cursor clamped") << "ab" << 2 << "c\td" << "abcd" << 4;
    QTest::newRow("tab removed mid text") << "abcdef" << 1 << "\t\t" << "abcdef" << 3;
    QTest::newRow("line feed to blank") << "ab" << 0 << "x\ny" << "x yab" << 3;
    QTest::newRow("CR LF once") << "ab" << 1 << "1\r\n2" << "a1 2b" << 4;
    QTest::newRow("lone CR") << "" << 0 << "1\r2" << "1 2" << 3;
    QTest::newRow("line and paragraph separators")
        << "" << 0 << QStringLiteral("a\u2028b\u2029c") << "a b c" << 5;
    QTest::newRow("tabs and breaks") << "" << 0 << "a\t\nb" << "a b" << 3;
    QTest::newRow("only breaks") << "x" << 1 << "\n\n" << "x  " << 3;
    QTest::newRow("10,000 characters") << "" << 0 << QStringLiteral("ab\t\n").repeated(2500)
                                       << QStringLiteral("ab ").repeated(2500) << 7500;
}

void tst_SingleLineTextItem::pastedTabsAndLineBreaksBecomeOneLine()
{
    QFETCH(QString, initial);
    QFETCH(int, cursor);
    QFETCH(QString, pasted);
    QFETCH(QString, expected);
    QFETCH(int, expectedCursor);

    EditorFixture f;
    f.editor->setCompletionEnabled(false);
    QVERIFY(f.show());
    f.startEditing(initial);
    QTextCursor c = f.editor->textCursor();
    c.setPosition(cursor);
    f.editor->setTextCursor(c);

    QGuiApplication::clipboard()->setText(pasted);
    f.key(Qt::Key_V, Qt::ControlModifier);

    QCOMPARE(f.editor->toPlainText(), expected);
    QCOMPARE(f.editor->document()->blockCount(), 1);
    QCOMPARE(f.editor->textCursor().position(), expectedCursor);
    QVERIFY(f.editor->isEditing());
}

void tst_SingleLineTextItem::caseAdaptation_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("word");
    QTest::addColumn<QString>("expected");

    QTest::newRow("lower") << "va" << "VARCHAR" << "varchar";
    QTest::newRow("upper") << "VA" << "VARCHAR" << "VARCHAR";
    QTest::newRow("capital first") << "Va" << "VARCHAR" << "Varchar";
    QTest::newRow("lower then capital") << "vA" << "VARCHAR" << "vARCHAR";
    QTest::newRow("no letter") << "1" << "VARCHAR" << "VARCHAR";
    QTest::newRow("empty") << "" << "Varchar" << "Varchar";
    QTest::newRow("digit carries last case") << "Ti1" << "TIMESTAMP" << "Timestamp";
    QTest::newRow("typed letter over a word digit is skipped") << "Dx" << "D2X" << "D2X";
    QTest::newRow("typed longer than word") << "IntEGER" << "INT" << "Int";
    QTest::newRow("mixed with blank") << "dOUBLE p" << "DOUBLE PRECISION" << "dOUBLE precision";
}

void tst_SingleLineTextItem::caseAdaptation()
{
    QFETCH(QString, typed);
    QFETCH(QString, word);
    QFETCH(QString, expected);
    QCOMPARE(adaptCompletionCase(word, typed), expected);
}

void tst_SingleLineTextItem::completionFollowsTypedCase()
{
    EditorFixture f;
    QVERIFY(f.show());
    f.startEditing();
    f.type(QStringLiteral("Va"));
    QVERIFY(f.popupVisible());
    const QAbstractItemModel *model = f.editor->completionPopup()->model();
    QCOMPARE(model->rowCount(), 2);
    QCOMPARE(model->index(0, 0).data().toString(), QStringLiteral("Varbit"));
    QCOMPARE(model->index(1, 0).data().toString(), QStringLiteral("Varchar"));
    QCOMPARE(f.editor->completionPopup()->currentIndex().row(), 0);
}

void tst_SingleLineTextItem::singleExactMatchHidesPopup()
{
    EditorFixture f;
    QVERIFY(f.show());
    f.startEditing();
    f.type(QStringLiteral("uui"));
    QVERIFY(f.popupVisible());
    f.type(QStringLiteral("D"));
    QVERIFY(!f.popupVisible());
    QCOMPARE(f.editor->toPlainText(), QStringLiteral("uuiD"));
}

void tst_SingleLineTextItem::popupGeometry_data()
{
    QTest::addColumn<QPoint>("topLeft");
    QTest::addColumn<QPoint>("bottomRight");
    QTest::addColumn<int>("count");
    QTest::addColumn<QSize>("viewport");
    QTest::addColumn<QRect>("expected");

    const QSize viewport(600, 400);
    QTest::newRow("below, minimum width") << QPoint(50, 40) << QPoint(120, 60) << 3 << viewport
                                          << QRect(50, 62, 220, 3 * 20 + 2);
    QTest::newRow("below, item wider") << QPoint(50, 40) << QPoint(350, 60) << 3 << viewport
                                       << QRect(50, 62, 300, 62);
    QTest::newRow("at most ten rows") << QPoint(50, 40) << QPoint(120, 60) << 40 << viewport
                                      << QRect(50, 62, 220, 202);
    QTest::newRow("flips above near bottom") << QPoint(50, 330) << QPoint(120, 350) << 3 << viewport
                                             << QRect(50, 330 - 62 - 2, 220, 62);
    QTest::newRow("shifted left near right edge") << QPoint(500, 40) << QPoint(560, 60) << 3 << viewport
                                                  << QRect(380, 62, 220, 62);
    QTest::newRow("never negative x") << QPoint(10, 40) << QPoint(60, 60) << 3 << QSize(150, 400)
                                      << QRect(0, 62, 220, 62);
    QTest::newRow("never negative y") << QPoint(10, 20) << QPoint(60, 40) << 10 << QSize(600, 100)
                                      << QRect(10, 0, 220, 202);
}

void tst_SingleLineTextItem::popupGeometry()
{
    QFETCH(QPoint, topLeft);
    QFETCH(QPoint, bottomRight);
    QFETCH(int, count);
    QFETCH(QSize, viewport);
    QFETCH(QRect, expected);

    const QPoint bottomLeft(topLeft.x(), bottomRight.y());
    QCOMPARE(completionPopupGeometry(topLeft, bottomLeft, bottomRight, count, 20, 1, viewport), expected);
}

void tst_SingleLineTextItem::popupFlipsAboveNearBottom()
{
    EditorFixture f;
    f.host->setPos(500, 350); // near the bottom right corner of a 600 x 400 viewport
    QVERIFY(f.show());
    f.startEditing();
    f.type(QStringLiteral("t"));
    QVERIFY(f.popupVisible());
    QListView *popup = f.editor->completionPopup();
    QCOMPARE(popup->parentWidget(), f.view->viewport());
    QVERIFY(!popup->isWindow());
    const QPoint itemTop = f.view->mapFromScene(f.editor->mapToScene(f.editor->boundingRect().topLeft()));
    QVERIFY(popup->geometry().bottom() < itemTop.y());
    QCOMPARE(popup->geometry().right(), f.view->viewport()->width() - 1);
    QVERIFY(popup->x() >= 0);
    QCOMPARE(popup->focusPolicy(), Qt::NoFocus);
    QVERIFY(f.editor->hasFocus());
}

void tst_SingleLineTextItem::noPopupWithoutDialectOrView_data()
{
    QTest::addColumn<QString>("setup");
    QTest::newRow("empty dialect") << "empty";
    QTest::newRow("unknown dialect") << "unknown";
    QTest::newRow("conceptual") << "conceptual";
    QTest::newRow("plain scene") << "plain";
    QTest::newRow("no view") << "noview";
}

void tst_SingleLineTextItem::noPopupWithoutDialectOrView()
{
    QFETCH(QString, setup);

    EditorFixture f;
    QGraphicsScene plain;
    if (setup == QLatin1String("empty"))
        f.scene->dialect.clear();
    else if (setup == QLatin1String("unknown"))
        f.scene->dialect = QStringLiteral("Klingon SQL");
    else if (setup == QLatin1String("conceptual"))
        f.scene->dialect = QStringLiteral("Conceptual ER");
    else if (setup == QLatin1String("plain"))
        f.view->setScene(&plain), f.scene->removeItem(f.host), plain.addItem(f.host);
    else if (setup == QLatin1String("noview"))
        f.view->setScene(nullptr);

    QVERIFY(f.show());
    if (setup == QLatin1String("noview")) {
        // Without a view the editor gets focus only through an active scene.
        QEvent activate(QEvent::WindowActivate);
        QCoreApplication::sendEvent(f.scene.get(), &activate);
    }
    f.startEditing();
    QTextCursor cursor = f.editor->textCursor();
    cursor.insertText(QStringLiteral("va"));
    QCOMPARE(f.editor->toPlainText(), QStringLiteral("va"));
    QVERIFY(!f.editor->completionPopup());
    if (setup == QLatin1String("plain")) {
        plain.removeItem(f.host);
        f.scene->addItem(f.host);
    }
}

void tst_SingleLineTextItem::rowDragThreshold_data()
{
    QTest::addColumn<qreal>("distance");
    QTest::addColumn<int>("drags");
    QTest::newRow("5.0 starts nothing") << 5.0 << 0;
    QTest::newRow("5.01 starts one drag") << 5.01 << 1;
}

void tst_SingleLineTextItem::rowDragThreshold()
{
    QFETCH(qreal, distance);
    QFETCH(int, drags);

    EditorFixture f;
    f.editor->setPlainText(QStringLiteral("customer_id"));
    f.editor->setRowDragEnabled(true);
    QSignalSpy dragSpy(f.editor, &SingleLineTextItem::dragStarted);

    const QPointF press = f.editor->mapToScene(QPointF(10, 5));
    sendSceneMouse(f.scene.get(), QEvent::GraphicsSceneMousePress, press, Qt::LeftButton, Qt::LeftButton);
    QCOMPARE(f.scene->mouseGrabberItem(), f.editor);
    sendSceneMouse(f.scene.get(), QEvent::GraphicsSceneMouseMove, press + QPointF(distance, 0), Qt::NoButton,
                   Qt::LeftButton);
    QCOMPARE(dragSpy.size(), drags);
    QCOMPARE(f.editor->isRowDragActive(), drags == 1);
    sendSceneMouse(f.scene.get(), QEvent::GraphicsSceneMouseMove, press + QPointF(0, 30), Qt::NoButton,
                   Qt::LeftButton);
    QCOMPARE(dragSpy.size(), 1); // the longer move starts it; a drag starts only once
    if (drags) {
        QCOMPARE(dragSpy.at(0).at(1).toPointF(), press + QPointF(distance, 0));
        QCOMPARE(f.host->dragMoves.size(), 1);
        QCOMPARE(f.host->dragMoves.at(0), f.editor->mapToParent(f.editor->mapFromScene(press + QPointF(0, 30))));
    }
    sendSceneMouse(f.scene.get(), QEvent::GraphicsSceneMouseRelease, press + QPointF(0, 30), Qt::LeftButton,
                   Qt::NoButton);
    QCOMPARE(f.host->dragFinishes, 1);
    QVERIFY(!f.editor->isRowDragActive());
}

void tst_SingleLineTextItem::rightPressGoesToHostAndKeepsCaret()
{
    EditorFixture f;
    QVERIFY(f.show());
    f.startEditing(QStringLiteral("customer_id"));
    QTextCursor cursor = f.editor->textCursor();
    cursor.setPosition(3);
    f.editor->setTextCursor(cursor);

    const QPoint at = f.view->mapFromScene(f.editor->mapToScene(QPointF(60, 6)));
    QTest::mouseClick(f.view->viewport(), Qt::RightButton, Qt::NoModifier, at);
    QCOMPARE(f.host->contextMenus, 1);
    QCOMPARE(f.editor->textCursor().position(), 3);
    QVERIFY(!f.editor->textCursor().hasSelection());
    QVERIFY(f.host->presses.isEmpty());
}

void tst_SingleLineTextItem::underlineStopsBeforeTrailingBlanks()
{
    EditorFixture f;
    f.editor->setPlainText(QStringLiteral("order id \u00a0 "));
    f.editor->setUnderlined(true);

    const QString text = f.editor->toPlainText();
    for (int i = 0; i < text.size(); ++i) {
        QTextCursor cursor(f.editor->document());
        cursor.setPosition(i + 1);
        const bool underlined = cursor.charFormat().fontUnderline();
        QCOMPARE(underlined, i < 8);
    }
    QVERIFY(!f.editor->font().underline());

    f.editor->setUnderlined(false);
    QTextCursor cursor(f.editor->document());
    cursor.setPosition(3);
    QVERIFY(!cursor.charFormat().fontUnderline());

    // Typing keeps the rule: the new text is underlined up to its last letter.
    f.editor->setUnderlined(true);
    f.editor->setPlainText(QStringLiteral("a b  "));
    cursor.setPosition(3);
    QVERIFY(cursor.charFormat().fontUnderline());
    cursor.setPosition(4);
    QVERIFY(!cursor.charFormat().fontUnderline());
}

namespace {

// The scene around the item rendered at scale 1, the way a view paints it.
QImage renderAround(QGraphicsScene *scene, SingleLineTextItem *item)
{
    const QRectF area = item->mapRectToScene(QRectF(-10, -10, 260, 40));
    QImage image(area.size().toSize(), QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    scene->render(&painter, QRectF(QPointF(), area.size()), area);
    return image;
}

} // namespace

void tst_SingleLineTextItem::shownCellPaintsAsItsDocument_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("proportional");
    QTest::addColumn<bool>("alignRight");
    QTest::addColumn<bool>("underlined");
    QTest::addColumn<bool>("selected");
    QTest::newRow("left") << QStringLiteral("customer_id") << false << false << false << false;
    QTest::newRow("right type") << QStringLiteral("VARCHAR(120)") << true << true << false << false;
    QTest::newRow("underlined key, trailing blanks") << QStringLiteral("order id \u00a0 ") << true << false
                                                    << true << false;
    QTest::newRow("fallback scripts") << QStringLiteral("\u10e5\u10d0 \u05d0\u05d1 \u00fc") << true
                                      << false << true << false;
    QTest::newRow("selected") << QStringLiteral("name") << false << true << false << true;
    QTest::newRow("italic overhang") << QStringLiteral("account_manager_if") << true << false << true << false;
    QTest::newRow("italic overhang, right") << QStringLiteral("integer") << false << true << false << false;
    QTest::newRow("empty, placeholder") << QString() << true << false << false << false;
}

// A cell without a document draws the same pixels, and has the same geometry, as once it
// has made one.
void tst_SingleLineTextItem::shownCellPaintsAsItsDocument()
{
    QFETCH(QString, text);
    QFETCH(bool, proportional);
    QFETCH(bool, alignRight);
    QFETCH(bool, underlined);
    QFETCH(bool, selected);

    QGraphicsScene scene;
    auto *cell = new SingleLineTextItem;
    scene.addItem(cell);
    cell->setPos(12.5, 7.25);
    QFont font = proportional ? QFont(QStringLiteral("Sans Serif"), 11)
                              : QFont(testsupport::registerBundledMonoFont(), 10);
    font.setItalic(QByteArray(QTest::currentDataTag()).startsWith("italic"));
    cell->setFont(font);
    cell->setDefaultTextColor(QColor(30, 60, 90));
    cell->setPlaceholderText(QStringLiteral("column_name"));
    if (alignRight)
        cell->setAlignment(Qt::AlignRight);
    cell->setPlainText(text);
    cell->setUnderlined(underlined);
    if (selected) {
        cell->setFlag(QGraphicsItem::ItemIsSelectable);
        cell->setSelected(true);
    }

    const QImage shown = renderAround(&scene, cell);
    const QRectF bounds = cell->boundingRect();
    const qreal width = cell->naturalWidth();
    const QRectF shape = cell->shape().boundingRect();
    const QString plain = cell->toPlainText();
    QVERIFY(!cell->hasDocument());

    QVERIFY(cell->document());
    QVERIFY(cell->hasDocument());
    QCOMPARE(cell->toPlainText(), plain);
    QCOMPARE(cell->boundingRect(), bounds);
    QCOMPARE(cell->naturalWidth(), width);
    QCOMPARE(cell->shape().boundingRect(), shape);
    const QImage edited = renderAround(&scene, cell);
    if (edited != shown) {
        shown.save(testsupport::outputDir(QStringLiteral("tst_singlelinetextitem")) + QStringLiteral("/cell_without_document.png"));
        edited.save(testsupport::outputDir(QStringLiteral("tst_singlelinetextitem")) + QStringLiteral("/cell_with_document.png"));
    }
    QCOMPARE(edited, shown);
}

namespace {

qreal laidOutAdvance(const QString &text, const QFont &font)
{
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    layout.setTextOption(option);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    line.setLineWidth(1e6);
    layout.endLayout();
    return line.horizontalAdvance();
}

} // namespace

void tst_SingleLineTextItem::cellsSharingATextMeasureInTheirOwnFont_data()
{
    QTest::addColumn<QFont>("other");
    const QFont base(QStringLiteral("Sans Serif"), 10);
    QFont bold = base;
    bold.setWeight(QFont::Bold);
    QFont larger = base;
    larger.setPointSize(14);
    QFont spaced = base;
    spaced.setLetterSpacing(QFont::AbsoluteSpacing, 3);
    QTest::newRow("bold") << bold;
    QTest::newRow("larger") << larger;
    QTest::newRow("letter spacing") << spaced;
    QTest::newRow("monospace") << QFont(testsupport::registerBundledMonoFont(), 10);
}

// Cells of one text in two fonts, made in turn, each measure as a layout in their font.
void tst_SingleLineTextItem::cellsSharingATextMeasureInTheirOwnFont()
{
    QFETCH(QFont, other);
    const QFont base(QStringLiteral("Sans Serif"), 10);
    const QString text = QStringLiteral("customer_id");
    QVERIFY(laidOutAdvance(text, base) != laidOutAdvance(text, other));
    QGraphicsScene scene;
    for (const QFont &font : {base, other, base, other}) {
        auto *cell = new SingleLineTextItem;
        scene.addItem(cell);
        cell->setFont(font);
        cell->setPlainText(text);
        QCOMPARE(cell->naturalWidth(), laidOutAdvance(text, font));
    }
}

// A font left to the application's resolves anew once the application font changes.
void tst_SingleLineTextItem::metricsAdvanceFollowsTextAndFont_data()
{
    QTest::addColumn<int>("change");
    QTest::newRow("text") << 0;
    QTest::newRow("font") << 1;
    QTest::newRow("text typed into the document") << 2;
}

// The kept advance is the font metrics' own after a change of text or font, also one made
// in the cell's document.
void tst_SingleLineTextItem::metricsAdvanceFollowsTextAndFont()
{
    QFETCH(int, change);
    QGraphicsScene scene;
    auto *cell = new SingleLineTextItem;
    scene.addItem(cell);
    cell->setFont(QFont(testsupport::registerBundledMonoFont(), 10));
    cell->setPlainText(QStringLiteral("orders"));
    const auto measured = [cell] {
        return QFontMetricsF(cell->font()).horizontalAdvance(cell->toPlainText());
    };
    QCOMPARE(cell->metricsAdvance(), measured());
    const qreal before = cell->metricsAdvance();

    QFont larger = cell->font();
    larger.setPointSize(16);
    switch (change) {
    case 0:
        cell->setPlainText(QStringLiteral("order_lines"));
        break;
    case 1:
        cell->setFont(larger);
        break;
    default:
        cell->document()->setPlainText(QStringLiteral("order_lines"));
        break;
    }
    QVERIFY(cell->metricsAdvance() != before);
    QCOMPARE(cell->metricsAdvance(), measured());
}

void tst_SingleLineTextItem::measuresFollowTheApplicationFont()
{
    const QFont before = QGuiApplication::font();
    const QString text = QStringLiteral("created_at");
    QGraphicsScene scene;
    auto *first = new SingleLineTextItem;
    scene.addItem(first);
    first->setFont(QFont());
    first->setPlainText(text);
    const qreal width = first->naturalWidth();

    QGuiApplication::setFont(QFont(testsupport::registerBundledMonoFont(), before.pointSize() + 9));
    auto *second = new SingleLineTextItem;
    scene.addItem(second);
    second->setFont(QFont());
    second->setPlainText(text);
    const qreal expected = laidOutAdvance(text, QFont());
    const qreal measured = second->naturalWidth();
    QGuiApplication::setFont(before);
    QVERIFY(expected > width);
    QCOMPARE(measured, expected);
}

// Text and font changed one after the other, with no one reading the bounds between them,
// still move the cell's place in the scene's index to its new extent.
void tst_SingleLineTextItem::indexFollowsChangesMadeUnmeasured()
{
    QGraphicsScene scene;
    scene.setItemIndexMethod(QGraphicsScene::BspTreeIndex);
    scene.setSceneRect(0, 0, 2000, 200);
    auto *cell = new SingleLineTextItem;
    scene.addItem(cell);
    cell->setFont(QFont(testsupport::registerBundledMonoFont(), 10));
    cell->setPlainText(QStringLiteral("id"));
    const QPointF beyond(cell->boundingRect().right() + 200, cell->boundingRect().center().y());
    QVERIFY(!scene.items(beyond).contains(cell));

    cell->setPlainText(QStringLiteral("a column name long enough to reach far to the right"));
    cell->setFont(QFont(testsupport::registerBundledMonoFont(), 12));
    QVERIFY(scene.items(beyond).contains(cell));
}

void tst_SingleLineTextItem::documentOnlyWhenNeeded_data()
{
    QTest::addColumn<QString>("trigger");
    QTest::newRow("mouse press") << QStringLiteral("press");
    QTest::newRow("focus") << QStringLiteral("focus");
    QTest::newRow("editing") << QStringLiteral("edit");
    QTest::newRow("text cursor") << QStringLiteral("cursor");
}

// Setting up, measuring and painting a cell leave it without a document; what works on
// the text (a click, focus, editing, the cursor) makes one holding the cell's state.
void tst_SingleLineTextItem::documentOnlyWhenNeeded()
{
    QFETCH(QString, trigger);
    EditorFixture f;
    f.editor->setPlainText(QStringLiteral("line one\nline two\tend"));
    f.editor->setDefaultTextColor(QColor(200, 10, 10));
    f.editor->setAlignment(Qt::AlignRight);
    f.editor->setUnderlined(true);
    f.editor->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QCOMPARE(f.editor->toPlainText(), QStringLiteral("line one line twoend"));
    QVERIFY(f.editor->naturalWidth() > 0);
    QVERIFY(f.editor->flags() & QGraphicsItem::ItemIsFocusable);
    QImage image(300, 100, QImage::Format_ARGB32);
    QPainter painter(&image);
    f.scene->render(&painter);
    QVERIFY(!f.editor->hasDocument());

    if (trigger == QLatin1String("press")) {
        const QPointF at = f.editor->mapToScene(QPointF(10, 5));
        sendSceneMouse(f.scene.get(), QEvent::GraphicsSceneMousePress, at, Qt::LeftButton, Qt::LeftButton);
        sendSceneMouse(f.scene.get(), QEvent::GraphicsSceneMouseRelease, at, Qt::LeftButton, Qt::NoButton);
    } else if (trigger == QLatin1String("focus")) {
        QEvent activate(QEvent::WindowActivate);
        QCoreApplication::sendEvent(f.scene.get(), &activate);
        f.editor->setFocus();
    } else if (trigger == QLatin1String("edit")) {
        f.editor->beginEditing();
    } else {
        f.editor->textCursor();
    }
    QVERIFY(f.editor->hasDocument());
    QCOMPARE(f.editor->document()->toPlainText(), QStringLiteral("line one line twoend"));
    QCOMPARE(f.editor->defaultTextColor(), QColor(200, 10, 10));
    QCOMPARE(f.editor->document()->defaultTextOption().alignment(), Qt::AlignRight);
    QCOMPARE(f.editor->document()->defaultTextOption().wrapMode(), QTextOption::NoWrap);
    QVERIFY(f.editor->textInteractionFlags() & Qt::TextSelectableByMouse);
    QTextCursor cursor(f.editor->document());
    cursor.setPosition(2);
    QVERIFY(cursor.charFormat().fontUnderline());
}

void tst_SingleLineTextItem::idlePaintingStaysIdle()
{
    EditorFixture f;
    f.editor->setPlainText(QStringLiteral("customer_id"));
    f.editor->setUnderlined(true);
    f.editor->setFocusFrameVisible(true);
    QVERIFY(f.show());
    QTRY_VERIFY(f.editor->paints > 0);
    QTest::qWait(50);
    const int settled = f.editor->paints;
    QTest::qWait(200);
    QCOMPARE(f.editor->paints, settled);

    // A font set through the base class is caught at the next paint, once.
    f.editor->QGraphicsTextItem::setFont(QFont(testsupport::registerBundledMonoFont(), 12));
    f.editor->update();
    QTRY_VERIFY(f.editor->paints > settled);
    QTest::qWait(50);
    const int afterFont = f.editor->paints;
    QTest::qWait(200);
    QCOMPARE(f.editor->paints, afterFont);
}

void tst_SingleLineTextItem::destroyedWhilePopupShown()
{
    EditorFixture f;
    QVERIFY(f.show());
    f.startEditing();
    f.type(QStringLiteral("va"));
    QVERIFY(f.popupVisible());
    QPointer<QListView> popup = f.editor->completionPopup();
    delete f.editor;
    QVERIFY(!popup || !popup->isVisible());
    QTRY_VERIFY(!popup);
    QVERIFY(f.view->hasFocus());
}

void tst_SingleLineTextItem::popupsDoNotPileUp()
{
    EditorFixture f;
    QVERIFY(f.show());
    QList<SingleLineTextItem *> cells{f.editor};
    for (int i = 1; i < 5; ++i) {
        auto *cell = new SingleLineTextItem(f.host);
        cell->setPos(10, 20 + 14 * i);
        cell->setCompletionEnabled(true);
        cells.append(cell);
    }
    for (SingleLineTextItem *cell : std::as_const(cells)) {
        cell->setPlainText(QString());
        cell->beginEditing();
        f.type(QStringLiteral("va"));
        QVERIFY(cell->completionPopup() && cell->completionPopup()->isVisible());
        cell->clearFocus();
        QVERIFY(!cell->completionPopup());
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(f.view->viewport()->findChildren<QListView *>().isEmpty());
}

void tst_SingleLineTextItem::cellIsNoPlainTextItem()
{
    // Code that walks the scene must not take a cell for a plain text item: the text and
    // font it would read from the base are not what the cell shows.
    SingleLineTextItem cell;
    cell.setFont(QFont(testsupport::registerBundledMonoFont(), 10));
    cell.setPlainText(QStringLiteral("id"));
    QGraphicsItem *item = &cell;
    QCOMPARE(qgraphicsitem_cast<QGraphicsTextItem *>(item), nullptr);
    QCOMPARE(qgraphicsitem_cast<SingleLineTextItem *>(item), &cell);
    QCOMPARE(qgraphicsitem_cast<SingleLineTextItem *>(item)->toPlainText(), QStringLiteral("id"));
}

void tst_SingleLineTextItem::viewDestroyedBeforeScene()
{
    EditorFixture f;
    QVERIFY(f.show());
    f.startEditing();
    f.type(QStringLiteral("va"));
    QVERIFY(f.popupVisible());
    f.view.reset();
    QVERIFY(!f.editor->completionPopup());
    // Typing on without any view: no popup, no crash; destruction skips the popup.
    QTextCursor cursor = f.editor->textCursor();
    cursor.insertText(QStringLiteral("r"));
    QVERIFY(!f.editor->completionPopup());
    f.scene.reset();
}

void tst_SingleLineTextItem::sceneClearedWhileEditing()
{
    EditorFixture f;
    QVERIFY(f.show());
    f.startEditing();
    f.type(QStringLiteral("va"));
    QVERIFY(f.popupVisible());
    f.scene->clear();
    QVERIFY(!f.scene->focusItem());
    f.type(QStringLiteral("x"));
    f.key(Qt::Key_Tab);
    QTRY_VERIFY(f.view->viewport()->findChildren<QListView *>().isEmpty());
}

void tst_SingleLineTextItem::directPaintingSynthesisesBoldAndAlignsRight()
{
    const QString family = testsupport::registerBundledMonoFont();
    setFontStylesFunction([](const QString &) { return QStringList{ QStringLiteral("Regular") }; });

    auto render = [&](bool bold, Qt::Alignment alignment, bool underlined) {
        SingleLineTextItem item;
        QFont font(family, 20);
        font.setBold(bold);
        item.setFont(font);
        item.setPlainText(QStringLiteral("Wide"));
        item.setAlignment(alignment);
        item.setUnderlined(underlined);
        item.setDefaultTextColor(Qt::black);
        QImage image(200, 60, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        QPainter painter(&image);
        painter.translate(20, 10);
        item.paint(&painter, nullptr, nullptr);
        painter.end();
        return std::make_pair(image, QFontMetricsF(font).horizontalAdvance(QStringLiteral("Wide")));
    };

    const QRgb white = QColor(Qt::white).rgb();
    const auto [regular, regularAdvance] = render(false, Qt::AlignLeft, false);
    const auto [bold, boldAdvance] = render(true, Qt::AlignLeft, false);
    const int regularInk = inkCount(regular, white);
    QVERIFY(regularInk > 0);
    QVERIFY2(inkCount(bold, white) > regularInk * 1.15, "a bold font strokes the outline");

    const auto [right, rightAdvance] = render(false, Qt::AlignRight, false);
    QVERIFY(qAbs(20 + rightAdvance - (inkBounds(right, white).right() + 1)) <= 1.5);
    QVERIFY(inkBounds(right, white).left() > inkBounds(regular, white).left());

    const auto [underlinedImage, underlineAdvance] = render(false, Qt::AlignLeft, true);
    QVERIFY(inkBounds(underlinedImage, white).bottom() > inkBounds(regular, white).bottom());
    Q_UNUSED(regularAdvance);
    Q_UNUSED(boldAdvance);
    Q_UNUSED(underlineAdvance);

    // An editor that is editing paints through the text item even without an option.
    EditorFixture f;
    QVERIFY(f.show());
    f.startEditing(QStringLiteral("Wide"));
    QImage editing(200, 60, QImage::Format_ARGB32_Premultiplied);
    editing.fill(Qt::white);
    {
        QPainter painter(&editing);
        f.editor->paint(&painter, nullptr, nullptr);
    }
    QVERIFY(inkCount(editing, white) > 0);

    const QString dir = testsupport::outputDir(QStringLiteral("tst_singlelinetextitem"));
    QVERIFY(bold.save(dir + "/direct_synthetic_bold.png"));
    QVERIFY(right.save(dir + "/direct_right_aligned.png"));
}

void tst_SingleLineTextItem::popupPictures()
{
    for (const ThemeKind kind : { ThemeKind::Light, ThemeKind::Dark }) {
        ThemeManager::instance()->setTheme(kind);
        const ThemePalette palette = ThemeManager::instance()->colors();
        EditorFixture f;
        f.scene->setBackgroundBrush(palette.background);
        f.host->setBrush(palette.surface);
        f.host->setPen(QPen(palette.border, 1.0));
        f.editor->setDefaultTextColor(palette.text);
        f.editor->setFocusFrameVisible(true);
        QPalette popupPalette = f.view->palette();
        popupPalette.setColor(QPalette::Base, palette.surface);
        popupPalette.setColor(QPalette::Text, palette.text);
        f.view->setPalette(popupPalette);
        QVERIFY(f.show());
        f.startEditing();
        f.type(QStringLiteral("Ti"));
        QVERIFY(f.popupVisible());
        const QImage shot = f.view->grab().toImage();
        const QString name = kind == ThemeKind::Light ? QStringLiteral("popup_light.png")
                                                      : QStringLiteral("popup_dark.png");
        QVERIFY(shot.save(testsupport::outputDir(QStringLiteral("tst_singlelinetextitem")) + "/" + name));
    }
}

QTEST_MAIN(tst_SingleLineTextItem)
#include "tst_singlelinetextitem.moc"
