#include "annotationfixture.h"
#include "singlelinetextitem.h"
#include "testsupport.h"
#include "textitem.h"
#include "thememanager.h"

#include <QFontMetricsF>
#include <QJsonArray>
#include <QJsonObject>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>

#include <cmath>
#include <limits>

namespace {

QSizeF expectedSize(const QString &text, const QFont &font)
{
    const QFontMetricsF fm(font);
    return QSizeF(qMax<qreal>(fm.horizontalAdvance(text.isEmpty() ? QStringLiteral("Text") : text) + 8, 24),
                  qMax<qreal>(fm.height() + 6, 16));
}

QFont defaultNoteFont()
{
    QFont f(QStringLiteral("JetBrains Mono"));
    f.setPointSizeF(12);
    return f;
}

} // namespace

class tst_TextItem : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void newNoteWritesDefaults();
    void roundTripKeepsEveryField();
    void fontSize_data();
    void fontSize();
    void colours_data();
    void colours();
    void size_data();
    void size();
    void positionAndMistypedKeys();
    void storedNarrowNoteShowsItsWholeText();
    void sizeOnlyGrows();
    void longTextGrowsWithoutHang();

    void leftHandleDraggedFarRightPinsAtMeasuredWidth();
    void handlesWorkOnlyWhileSelected();
    void hoverCursorFollowsHandles();
    void commitKeepsTypedTextOrFallsBack_data();
    void commitKeepsTypedTextOrFallsBack();
    void startEditingTwiceOrWithoutSceneDoesNothing();
    void themeSwitchRecoloursOpenEditor();
    void newSceneRestoresZ();
    void destroyedWhileEditing();
    void sceneClearedWhileEditing();
    void styleRequestGoesToDiagramSceneOnly();
};

void tst_TextItem::initTestCase()
{
    QCOMPARE(testsupport::registerBundledMonoFont(), QStringLiteral("JetBrains Mono"));
}

void tst_TextItem::init()
{
    ThemeManager::instance()->setTheme(ThemeKind::Light);
}

void tst_TextItem::newNoteWritesDefaults()
{
    TextItem note(QStringLiteral("Text"));
    const QJsonObject o = note.toJson();
    const QSizeF size = expectedSize(QStringLiteral("Text"), defaultNoteFont());
    QCOMPARE(o.value("kind").toString(), QStringLiteral("text-item"));
    QCOMPARE(o.value("text").toString(), QStringLiteral("Text"));
    QCOMPARE(o.value("fontFamily").toString(), QStringLiteral("JetBrains Mono"));
    QCOMPARE(o.value("fontSize").toDouble(), 12.0);
    QCOMPARE(o.value("bold").toBool(true), false);
    QCOMPARE(o.value("italic").toBool(true), false);
    QCOMPARE(o.value("underline").toBool(true), false);
    QCOMPARE(o.value("colorLight").toString(), QStringLiteral("#ff000000"));
    QCOMPARE(o.value("colorDark").toString(), QStringLiteral("#ffe6e6e6"));
    QCOMPARE(o.value("width").toDouble(), size.width());
    QCOMPARE(o.value("height").toDouble(), size.height());
    QCOMPARE(o.value("x").toDouble(-1), 0.0);
    QVERIFY(!o.value("id").toString().isEmpty());
    QVERIFY(!o.value("id").toString().contains('{'));
    QCOMPARE(note.type(), 65640);
    QCOMPARE(note.zValue(), 1000.0);
    QVERIFY(note.flags() & QGraphicsItem::ItemIsMovable);
    QVERIFY(note.flags() & QGraphicsItem::ItemIsSelectable);
    QVERIFY(note.acceptHoverEvents());
}

void tst_TextItem::roundTripKeepsEveryField()
{
    TextItem note(QStringLiteral("Text"));
    QFont font(QStringLiteral("JetBrains Mono"));
    font.setPointSizeF(14.5);
    font.setBold(true);
    font.setItalic(true);
    font.setUnderline(true);
    note.setFont(font);
    note.setText(QStringLiteral("  Customer notes äß"));
    note.setColors(QColor(10, 20, 30, 200), QColor(200, 210, 220));
    note.setGeometry(QRectF(12.5, -40, 400, 60));

    const QJsonObject written = note.toJson();
    TextItem fresh(QStringLiteral("Text"));
    fresh.fromJson(written);
    QCOMPARE(fresh.toJson(), written);
    QCOMPARE(fresh.id(), note.id());
    QCOMPARE(written.value("colorLight").toString(), QStringLiteral("#c80a141e"));
}

void tst_TextItem::fontSize_data()
{
    QTest::addColumn<QJsonValue>("value");
    QTest::addColumn<qreal>("expected");
    QTest::newRow("fractional") << QJsonValue(10.5) << qreal(10.5);
    QTest::newRow("1000 is allowed") << QJsonValue(1000) << qreal(1000);
    QTest::newRow("missing") << QJsonValue(QJsonValue::Undefined) << qreal(12);
    QTest::newRow("zero") << QJsonValue(0) << qreal(12);
    QTest::newRow("negative") << QJsonValue(-3) << qreal(12);
    QTest::newRow("huge") << QJsonValue(1e12) << qreal(12);
    QTest::newRow("just above the cap") << QJsonValue(1000.5) << qreal(12);
    QTest::newRow("string") << QJsonValue(QStringLiteral("12")) << qreal(12);
    QTest::newRow("bool") << QJsonValue(true) << qreal(12);
    QTest::newRow("infinite") << QJsonValue(std::numeric_limits<double>::infinity()) << qreal(12);
    QTest::newRow("nan") << QJsonValue(std::nan("")) << qreal(12);
}

void tst_TextItem::fontSize()
{
    QFETCH(QJsonValue, value);
    QFETCH(qreal, expected);
    TextItem note(QStringLiteral("Text"));
    QJsonObject o{ { "bold", true } };
    if (!value.isUndefined())
        o.insert("fontSize", value);
    note.fromJson(o);
    QCOMPARE(note.font().pointSizeF(), expected);
    QCOMPARE(note.font().family(), QStringLiteral("JetBrains Mono"));
    QCOMPARE(note.font().weight(), QFont::Bold);
}

void tst_TextItem::colours_data()
{
    QTest::addColumn<QJsonObject>("object");
    QTest::addColumn<QString>("light");
    QTest::addColumn<QString>("dark");
    QTest::newRow("none") << QJsonObject() << "#ff000000" << "#ffe6e6e6";
    QTest::newRow("legacy color for both") << QJsonObject{ { "color", "#336699" } } << "#ff336699" << "#ff336699";
    QTest::newRow("color with colorDark ignores color")
        << QJsonObject{ { "color", "#336699" }, { "colorDark", "#112233" } } << "#ff000000" << "#ff112233";
    QTest::newRow("per theme") << QJsonObject{ { "colorLight", "red" }, { "colorDark", "#80ffffff" } }
                               << "#ffff0000" << "#80ffffff";
    QTest::newRow("invalid per-theme value kept")
        << QJsonObject{ { "colorLight", "nonsense" }, { "colorDark", 12 } } << "#ff000000" << "#ffe6e6e6";
    QTest::newRow("invalid legacy kept") << QJsonObject{ { "color", "#12" } } << "#ff000000" << "#ffe6e6e6";
    QTest::newRow("legacy not a string") << QJsonObject{ { "color", true } } << "#ff000000" << "#ffe6e6e6";
}

void tst_TextItem::colours()
{
    QFETCH(QJsonObject, object);
    QFETCH(QString, light);
    QFETCH(QString, dark);
    TextItem note(QStringLiteral("Text"));
    note.fromJson(object);
    QCOMPARE(note.colorLight().name(QColor::HexArgb), light);
    QCOMPARE(note.colorDark().name(QColor::HexArgb), dark);

    // Setters skip invalid colours too.
    note.setColors(QColor(), QColor());
    note.setColor(QColor());
    QCOMPARE(note.colorLight().name(QColor::HexArgb), light);
    QCOMPARE(note.colorDark().name(QColor::HexArgb), dark);
}

void tst_TextItem::size_data()
{
    QTest::addColumn<QJsonObject>("object");
    QTest::addColumn<QSizeF>("expected"); // empty: the measured size
    QTest::newRow("smaller than the text grows to fit") << QJsonObject{ { "width", 5 }, { "height", 5 } } << QSizeF();
    QTest::newRow("larger than the text is kept") << QJsonObject{ { "width", 300 }, { "height", 40 } }
                                                  << QSizeF(300, 40);
    QTest::newRow("width without height") << QJsonObject{ { "width", 200 } } << QSizeF();
    QTest::newRow("zero") << QJsonObject{ { "width", 0 }, { "height", 30 } } << QSizeF();
    QTest::newRow("negative") << QJsonObject{ { "width", -50 }, { "height", 30 } } << QSizeF();
    QTest::newRow("strings") << QJsonObject{ { "width", "200" }, { "height", "30" } } << QSizeF();
    QTest::newRow("huge is clamped") << QJsonObject{ { "width", 1e12 }, { "height", 3e6 } } << QSizeF(1e6, 1e6);
    QTest::newRow("infinite") << QJsonObject{ { "width", std::numeric_limits<double>::infinity() }, { "height", 30 } }
                              << QSizeF();
}

void tst_TextItem::size()
{
    QFETCH(QJsonObject, object);
    QFETCH(QSizeF, expected);
    if (expected.isEmpty())
        expected = expectedSize(QStringLiteral("Text"), defaultNoteFont());
    TextItem note(QStringLiteral("Text"));
    note.setSize(QSizeF(300, 90));
    if (std::isfinite(object.value("width").toDouble()) && object.value("width").toDouble() > 1e6)
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("\"width\".*clamped"));
    if (object.value("height").toDouble() > 1e6)
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("\"height\".*clamped"));
    note.fromJson(object);
    QCOMPARE(note.rect().size(), expected);
    QCOMPARE(note.boundingRect(), note.rect().adjusted(-6, -6, 6, 6));
}

void tst_TextItem::positionAndMistypedKeys()
{
    TextItem note(QStringLiteral("Text"));
    note.setPos(10, 20);
    const QString id = note.id();
    note.fromJson(QJsonObject{ { "id", 42 }, { "text", QJsonArray() }, { "x", "5" }, { "y", 7.5 } });
    QCOMPARE(note.id(), id);
    QCOMPARE(note.text(), QStringLiteral("Text"));
    QCOMPARE(note.pos(), QPointF(10, 7.5));

    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("\"x\".*clamped"));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("\"y\".*clamped"));
    note.fromJson(QJsonObject{ { "id", "abc" }, { "text", "" }, { "x", -1e300 }, { "y", 2e6 } });
    QCOMPARE(note.id(), QStringLiteral("abc"));
    QCOMPARE(note.text(), QString());
    QCOMPARE(note.pos(), QPointF(-1e6, 1e6));
}

void tst_TextItem::storedNarrowNoteShowsItsWholeText()
{
    AnnotationFixture f;
    QVERIFY(f.show());
    const QString sentence = QStringLiteral("Every order belongs to one customer");
    auto *note = new TextItem(QStringLiteral("Text"));
    f.scene.addItem(note);
    // As a file written with narrower font metrics stores it.
    note->fromJson(QJsonObject{ { "text", sentence }, { "x", 40 }, { "y", 40 }, { "width", 240 }, { "height", 28 } });
    const QSizeF measured = expectedSize(sentence, defaultNoteFont());
    QVERIFY(measured.width() > 240);
    QCOMPARE(note->rect().width(), measured.width());
    QCoreApplication::processEvents();

    // The last word is drawn: ink between the stored right edge and the measured one.
    const QImage shown = f.view->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    QVERIFY(shown.save(testsupport::outputDir(QStringLiteral("items")) + QStringLiteral("/note-stored-narrow.png")));
    const QPoint from = f.viewPoint(QPointF(40 + 240 + 2, 40 + 2));
    const QPoint to = f.viewPoint(QPointF(40 + measured.width() - 4, 40 + measured.height() - 2));
    const QRgb paper = shown.pixel(f.viewPoint(QPointF(40 + measured.width() + 20, 40 + 4)));
    int ink = 0;
    for (int y = from.y(); y <= to.y(); ++y) {
        for (int x = from.x(); x <= to.x(); ++x)
            ink += std::abs(qGray(shown.pixel(x, y)) - qGray(paper)) > 60 ? 1 : 0;
    }
    QVERIFY2(ink > 20, qPrintable(QString::number(ink)));
}

void tst_TextItem::sizeOnlyGrows()
{
    TextItem note(QStringLiteral("A somewhat longer note"));
    const QSizeF start = note.rect().size();
    note.setText(QStringLiteral("Hi"));
    QCOMPARE(note.rect().size(), start);
    QFont small = note.font();
    small.setPointSizeF(8);
    note.setFont(small);
    QCOMPARE(note.rect().size(), start);

    const QString longer = QStringLiteral("A considerably longer note than before, really");
    note.setText(longer);
    QCOMPARE(note.rect().width(), expectedSize(longer, small).width());
    QCOMPARE(note.rect().height(), start.height());

    // setSize never goes below the measured size.
    note.setSize(QSizeF(1, 1));
    QCOMPARE(note.rect().size(), expectedSize(longer, small));
}

void tst_TextItem::longTextGrowsWithoutHang()
{
    TextItem note(QStringLiteral("Text"));
    const QString text(10000, QLatin1Char('x'));
    note.setText(text);
    QCOMPARE(note.rect().width(), expectedSize(text, defaultNoteFont()).width());
}

void tst_TextItem::leftHandleDraggedFarRightPinsAtMeasuredWidth()
{
    AnnotationFixture f;
    QVERIFY(f.show());
    auto *note = new TextItem(QStringLiteral("Text"));
    f.scene.addItem(note);
    note->setPos(100, 100);
    note->setSize(QSizeF(200, 40));
    note->setSelected(true);
    const qreal right = note->sceneBoundingRect().right() - 6;

    f.drag(QPointF(100, 120), QPointF(600, 130));
    const qreal measured = expectedSize(QStringLiteral("Text"), defaultNoteFont()).width();
    QCOMPARE(note->rect().width(), measured);
    QCOMPARE(note->pos().x() + note->rect().width(), right);
    QCOMPARE(note->pos().y(), 100.0);
    QVERIFY(note->flags() & QGraphicsItem::ItemIsMovable);

    // A note stored smaller than its text loads as large as the text.
    note->fromJson(QJsonObject{ { "width", 5 }, { "height", 5 } });
    QCOMPARE(note->rect().size(), expectedSize(QStringLiteral("Text"), defaultNoteFont()));
}

void tst_TextItem::handlesWorkOnlyWhileSelected()
{
    AnnotationFixture f;
    QVERIFY(f.show());
    auto *note = new TextItem(QStringLiteral("Text"));
    f.scene.addItem(note);
    note->setPos(100, 100);
    note->setSize(QSizeF(200, 40));
    QVERIFY(!note->isSelected());

    // The bottom-right handle point of an unselected note: the press moves the note.
    const QPointF corner(299, 139);
    f.drag(corner, corner + QPointF(50, 30));
    QCOMPARE(note->rect().size(), QSizeF(200, 40));
    QCOMPARE(note->pos(), QPointF(150, 130));
    QVERIFY(note->isSelected());

    // Now selected, the same handle resizes.
    const QPointF handle = note->pos() + QPointF(200, 40);
    f.drag(handle, handle + QPointF(50, 30));
    QCOMPARE(note->pos(), QPointF(150, 130));
    QCOMPARE(note->rect().size(), QSizeF(250, 70));
}

void tst_TextItem::hoverCursorFollowsHandles()
{
    AnnotationFixture f;
    QVERIFY(f.show());
    auto *note = new TextItem(QStringLiteral("Text"));
    f.scene.addItem(note);
    note->setPos(100, 100);
    note->setSize(QSizeF(200, 40));
    note->setSelected(true);
    QTest::mouseMove(f.viewport(), f.viewPoint(QPointF(300, 120)));
    QTRY_COMPARE(note->cursor().shape(), Qt::SizeHorCursor);
    QTest::mouseMove(f.viewport(), f.viewPoint(QPointF(200, 120)));
    QTRY_COMPARE(note->cursor().shape(), Qt::ArrowCursor);
    note->setSelected(false);
    QTest::mouseMove(f.viewport(), f.viewPoint(QPointF(300, 121)));
    QTRY_VERIFY(!note->hasCursor());
}

void tst_TextItem::commitKeepsTypedTextOrFallsBack_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("expected");
    QTest::newRow("blanks only") << "   " << "Text";
    QTest::newRow("empty") << "" << "Text";
    QTest::newRow("leading blanks kept") << "  indented" << "  indented";
}

void tst_TextItem::commitKeepsTypedTextOrFallsBack()
{
    QFETCH(QString, typed);
    QFETCH(QString, expected);
    AnnotationFixture f;
    QVERIFY(f.show());
    auto *note = new TextItem(QStringLiteral("Old"));
    f.scene.addItem(note);
    note->setPos(100, 100);

    f.doubleClick(QPointF(110, 110));
    QPointer<SingleLineTextItem> editor = note->editor();
    QVERIFY(editor);
    QCOMPARE(editor->parentItem(), note);
    QCOMPARE(editor->pos(), QPointF(4, 2));
    QVERIFY(editor->isEditing());
    QCOMPARE(editor->toPlainText(), QStringLiteral("Old"));
    QVERIFY(!(editor->flags() & QGraphicsItem::ItemIsSelectable));
    QVERIFY(!editor->isRowDragEnabled());

    editor->setPlainText(typed);
    QTest::keyClick(f.viewport(), Qt::Key_Return);
    QVERIFY(!note->editor());
    QCOMPARE(note->text(), expected);
    QTRY_VERIFY(!editor);
}

void tst_TextItem::startEditingTwiceOrWithoutSceneDoesNothing()
{
    TextItem loose(QStringLiteral("Text"));
    loose.startEditing();
    QVERIFY(!loose.editor());

    AnnotationFixture f;
    QVERIFY(f.show());
    auto *note = new TextItem(QStringLiteral("Text"));
    f.scene.addItem(note);
    note->startEditing();
    SingleLineTextItem *first = note->editor();
    QVERIFY(first);
    note->startEditing();
    QCOMPARE(note->editor(), first);
    QCOMPARE(note->childItems().size(), 1);
}

void tst_TextItem::themeSwitchRecoloursOpenEditor()
{
    AnnotationFixture f;
    QVERIFY(f.show());
    auto *note = new TextItem(QStringLiteral("Text"));
    f.scene.addItem(note);
    note->setColors(QColor("#102030"), QColor("#a0b0c0"));
    note->startEditing();
    QVERIFY(note->editor());
    QCOMPARE(note->editor()->defaultTextColor(), QColor("#102030"));
    ThemeManager::instance()->setTheme(ThemeKind::Dark);
    QCOMPARE(note->editor()->defaultTextColor(), QColor("#a0b0c0"));
    QCOMPARE(note->textColor(), QColor("#a0b0c0"));
    note->setColor(QColor("#ffffff"));
    QCOMPARE(note->colorDark(), QColor("#ffffff"));
    QCOMPARE(note->colorLight(), QColor("#102030"));
    QCOMPARE(note->editor()->defaultTextColor(), QColor("#ffffff"));
}

void tst_TextItem::newSceneRestoresZ()
{
    QGraphicsScene first;
    QGraphicsScene second;
    auto *note = new TextItem(QStringLiteral("Text"));
    first.addItem(note);
    note->setZValue(3);
    first.removeItem(note);
    second.addItem(note);
    QCOMPARE(note->zValue(), 1000.0);
}

void tst_TextItem::destroyedWhileEditing()
{
    AnnotationFixture f;
    QVERIFY(f.show());
    auto *note = new TextItem(QStringLiteral("Text"));
    f.scene.addItem(note);
    note->startEditing();
    QPointer<SingleLineTextItem> editor = note->editor();
    QVERIFY(editor);
    editor->setPlainText(QStringLiteral("never committed"));
    delete note;
    QTRY_VERIFY(!editor);
    QVERIFY(f.scene.items().isEmpty());
}

void tst_TextItem::sceneClearedWhileEditing()
{
    AnnotationFixture f;
    QVERIFY(f.show());
    auto *note = new TextItem(QStringLiteral("Text"));
    f.scene.addItem(note);
    note->startEditing();
    QPointer<SingleLineTextItem> editor = note->editor();
    f.scene.clear();
    QTRY_VERIFY(!editor);
    QVERIFY(f.scene.items().isEmpty());
}

void tst_TextItem::styleRequestGoesToDiagramSceneOnly()
{
    ERScene scene;
    auto *other = new TextItem(QStringLiteral("Other"));
    auto *note = new TextItem(QStringLiteral("Text"));
    scene.addItem(other);
    scene.addItem(note);
    other->setSelected(true);
    QSignalSpy spy(&scene, &ERScene::textStyleDialogRequested);

    const QString action = QString::fromUtf8("Colors and fonts…");
    QCOMPARE(runContextMenu(&scene, note, QString()), QStringList{ action });
    QCOMPARE(spy.count(), 0);
    QVERIFY(note->isSelected());
    QVERIFY(other->isSelected());

    runContextMenu(&scene, note, action);
    QCOMPARE(spy.count(), 1);

    QGraphicsScene plain;
    auto *loose = new TextItem(QStringLiteral("Text"));
    plain.addItem(loose);
    runContextMenu(&plain, loose, action);
    QVERIFY(loose->isSelected());
    QCOMPARE(spy.count(), 1);
}

QTEST_MAIN(tst_TextItem)
#include "tst_textitem.moc"
