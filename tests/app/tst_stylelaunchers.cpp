#include "colorpresets.h"
#include "colorsdialog.h"
#include "diagramitemtypes.h"
#include "edgeitem.h"
#include "entityitem.h"
#include "erscene.h"
#include "groupitem.h"
#include "groupitemstyledialog.h"
#include "mainwindow.h"
#include "textitem.h"
#include "textitemstyledialog.h"
#include "uiseam.h"

#include "windowtestcase.h"

#include <QComboBox>
#include <QLineEdit>
#include <QSpinBox>

#include <functional>
#include <memory>

namespace {

// What a run of a style dialog showed when it opened.
struct DialogRun
{
    QString dialog;
    int target = -1;
    bool useForNew = true;
    // The colour editors from top to bottom: light rows, then dark rows.
    QList<QColor> colors;
    int fontSize = 0;
};

const char *const ColorsEditors[] = {"lineEditBgHexLight", "lineEditFgHexLight", "lineEditTxtHexLight",
                                     "lineEditBgHexDark", "lineEditFgHexDark", "lineEditTxtHexDark"};
const char *const TextEditors[] = {"lineEditTextHexLight", "lineEditTextHexDark"};
const char *const GroupEditors[] = {"lineEditGroupFillHexLight", "lineEditGroupBorderHexLight",
                                    "lineEditGroupTextHexLight", "lineEditGroupFillHexDark",
                                    "lineEditGroupBorderHexDark", "lineEditGroupTextHexDark"};

template<size_t N>
QList<QColor> editorColors(const QDialog *dialog, const char *const (&names)[N])
{
    QList<QColor> colors;
    for (const char *name : names) {
        auto *edit = dialog->findChild<QLineEdit *>(QLatin1String(name));
        colors << (edit ? QColor(edit->text()) : QColor());
    }
    return colors;
}

// Plays the user of every style dialog the window runs: records what the dialog showed,
// then does what the test asks (emits applyRequested, changes the flag) and returns.
class DialogScript
{
public:
    DialogScript()
    {
        m_previous = uiseam::setDialogRunner([this](QDialog *dialog) { return run(dialog); });
    }
    ~DialogScript() { uiseam::setDialogRunner(m_previous); }

    std::function<void(QDialog *)> play;
    QList<DialogRun> runs;

private:
    int run(QDialog *dialog)
    {
        DialogRun seen;
        seen.dialog = QString::fromLatin1(dialog->metaObject()->className());
        if (auto *colors = qobject_cast<ColorsDialog *>(dialog)) {
            seen.target = colors->applyTarget();
            seen.useForNew = colors->useForNewEntities();
            seen.colors = editorColors(dialog, ColorsEditors);
        } else if (auto *text = qobject_cast<TextItemStyleDialog *>(dialog)) {
            seen.target = text->applyTarget();
            seen.useForNew = text->useForNew();
            seen.colors = editorColors(dialog, TextEditors);
            seen.fontSize = dialog->findChild<QSpinBox *>(QStringLiteral("spinTextSize"))->value();
        } else if (auto *group = qobject_cast<GroupItemStyleDialog *>(dialog)) {
            seen.target = group->applyTarget();
            seen.useForNew = group->useForNew();
            seen.colors = editorColors(dialog, GroupEditors);
        }
        runs.append(seen);
        if (play)
            play(dialog);
        return QDialog::Accepted;
    }

    uiseam::DialogRunner m_previous;
};

DualThemeColorScheme scheme(const char *lightFill, const char *darkFill)
{
    return {{QColor(lightFill), QColor(lightFill), QColor("#2D5B88"), QColor("#0F172A")},
            {QColor(darkFill), QColor(darkFill), QColor("#7EB6E8"), QColor("#E2F0FF")}};
}

// The six colours a colours dialog shows for a scheme: fill, border, text per theme.
QList<QColor> shown(const DualThemeColorScheme &s)
{
    return {s.light.background, s.light.border, s.light.text,
            s.dark.background, s.dark.border, s.dark.text};
}

QList<QColor> shown(const GroupItemStyle &s)
{
    return {s.fillLight, s.borderLight, s.textLight, s.fillDark, s.borderDark, s.textDark};
}

template<typename Item>
QList<Item *> itemsOf(ERScene *scene)
{
    QList<Item *> result;
    const QList<QGraphicsItem *> items = scene->items(Qt::AscendingOrder);
    for (QGraphicsItem *item : items) {
        if (item->type() == Item::Type)
            result.append(static_cast<Item *>(item));
    }
    return result;
}

// The item of that kind the call added.
template<typename Item>
Item *added(ERScene *scene, const std::function<void()> &add)
{
    const QList<Item *> before = itemsOf<Item>(scene);
    add();
    for (Item *item : itemsOf<Item>(scene)) {
        if (!before.contains(item))
            return item;
    }
    return nullptr;
}

EntityItem *addBox(ERScene *scene, qreal x)
{
    return added<EntityItem>(scene, [&] { scene->addEntityAt(QPointF(x, 0)); });
}

TextItem *addNote(ERScene *scene, qreal x)
{
    return added<TextItem>(scene, [&] { scene->addTextItemAt(QPointF(x, 400)); });
}

GroupItem *addFrame(ERScene *scene, qreal x)
{
    return added<GroupItem>(scene, [&] { scene->addGroupAt(QPointF(x, 800)); });
}

void select(ERScene *scene, const QList<QGraphicsItem *> &items)
{
    scene->clearSelection();
    for (QGraphicsItem *item : items)
        item->setSelected(true);
}

template<typename Dialog, typename Value>
void emitApply(QDialog *dialog, const Value &value, typename Dialog::ApplyTarget target, bool useForNew)
{
    auto *typed = qobject_cast<Dialog *>(dialog);
    QVERIFY(typed);
    emit typed->applyRequested(value, target, useForNew);
}

} // namespace

class TestStyleLaunchers : public WindowTestCase
{
    Q_OBJECT

private:
    ERScene *scene() { return probe().scene(); }

    void openColorsAction() { window().findChild<QAction *>(QStringLiteral("actionEntity_Colors"))->trigger(); }

    // Every case starts with a window in the light theme.
    void initEach() override { window(); }

private Q_SLOTS:
    void actionOpensDialogOfSelection_data()
    {
        QTest::addColumn<QString>("selection");
        QTest::addColumn<QString>("dialog");
        QTest::newRow("text only") << "t" << "TextItemStyleDialog";
        QTest::newRow("two texts") << "tt" << "TextItemStyleDialog";
        QTest::newRow("group only") << "g" << "GroupItemStyleDialog";
        QTest::newRow("text and group") << "tg" << "ColorsDialog";
        QTest::newRow("text and box") << "tb" << "ColorsDialog";
        QTest::newRow("group and box") << "gb" << "ColorsDialog";
        QTest::newRow("edges only") << "e" << "ColorsDialog";
        QTest::newRow("nothing") << "" << "ColorsDialog";
    }

    void actionOpensDialogOfSelection()
    {
        QFETCH(QString, selection);
        QFETCH(QString, dialog);
        EntityItem *from = addBox(scene(), 0);
        EntityItem *to = addBox(scene(), 400);
        EdgeItem *edge = scene()->createEdge(from, to, false);
        QVERIFY(edge);
        QList<QGraphicsItem *> chosen;
        qreal x = 0;
        for (const QChar kind : selection) {
            x += 300;
            if (kind == QLatin1Char('t'))
                chosen << addNote(scene(), x);
            else if (kind == QLatin1Char('g'))
                chosen << addFrame(scene(), x);
            else if (kind == QLatin1Char('b'))
                chosen << from;
            else
                chosen << edge;
        }
        select(scene(), chosen);

        DialogScript script;
        openColorsAction();
        QCOMPARE(script.runs.size(), 1);
        QCOMPARE(script.runs.first().dialog, dialog);
    }

    void withoutSceneColoursStartBuiltInForWholeDiagram()
    {
        probe().setEntityColorDefaults(scheme("#101010", "#202020"));
        ERScene *kept = probe().takeScene();
        DialogScript script;
        script.play = [](QDialog *dialog) {
            if (qobject_cast<ColorsDialog *>(dialog))
                emitApply<ColorsDialog>(dialog, scheme("#303030", "#404040"), ColorsDialog::DefaultsOnly, true);
        };
        openColorsAction();
        probe().showTextStyleDialog();
        probe().putSceneBack(kept);

        QCOMPARE(script.runs.size(), 2);
        QCOMPARE(script.runs.at(0).dialog, QStringLiteral("ColorsDialog"));
        QCOMPARE(script.runs.at(0).target, int(ColorsDialog::AllInDiagram));
        QCOMPARE(script.runs.at(0).colors, shown(colorpresets::defaultScheme()));
        QCOMPARE(script.runs.at(1).target, int(TextItemStyleDialog::AllInDiagram));
        // Without a scene an apply stores nothing.
        QCOMPARE(probe().entityColorDefaults(), scheme("#101010", "#202020"));
        QVERIFY(!kept->defaultEntityColors.light.background.isValid());
    }

    void targetFollowsSelectedCount_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("target");
        for (const int kind : {int(DiagramItemType::EntityItem), int(DiagramItemType::TextItem),
                               int(DiagramItemType::GroupItem)}) {
            const QByteArray name = kind == DiagramItemType::EntityItem ? "box"
                                    : kind == DiagramItemType::TextItem ? "text"
                                                                         : "group";
            QTest::newRow(name + " x1") << kind << 1 << 0;
            QTest::newRow(name + " x3") << kind << 3 << 1;
            QTest::newRow(name + " x0") << kind << 0 << 2;
        }
    }

    void targetFollowsSelectedCount()
    {
        QFETCH(int, kind);
        QFETCH(int, count);
        QFETCH(int, target);
        QList<QGraphicsItem *> items;
        for (int i = 0; i < 3; ++i) {
            const qreal x = 300 * i;
            items << (kind == DiagramItemType::EntityItem ? static_cast<QGraphicsItem *>(addBox(scene(), x))
                      : kind == DiagramItemType::TextItem ? static_cast<QGraphicsItem *>(addNote(scene(), x))
                                                          : static_cast<QGraphicsItem *>(addFrame(scene(), x)));
        }
        // A box of another kind selected as well never counts.
        QList<QGraphicsItem *> chosen = items.mid(0, count);
        if (kind != DiagramItemType::EntityItem)
            chosen << addBox(scene(), 1200);
        select(scene(), chosen);

        DialogScript script;
        if (kind == DiagramItemType::EntityItem)
            probe().showColorsDialog();
        else if (kind == DiagramItemType::TextItem)
            probe().showTextStyleDialog();
        else
            probe().showGroupStyleDialog();
        QCOMPARE(script.runs.size(), 1);
        QCOMPARE(script.runs.first().target, target);
    }

    void noteMenuProposesSelectedNote()
    {
        TextItem *note = addNote(scene(), 0);
        addNote(scene(), 300);
        select(scene(), {note});
        DialogScript script;
        emit scene()->textStyleDialogRequested();
        QCOMPARE(script.runs.size(), 1);
        QCOMPARE(script.runs.first().dialog, QStringLiteral("TextItemStyleDialog"));
        QCOMPARE(script.runs.first().target, int(TextItemStyleDialog::SelectedItem));
    }

    void coloursStartValue_data()
    {
        QTest::addColumn<DualThemeColorScheme>("remembered");
        QTest::addColumn<int>("selectedBoxes");
        QTest::addColumn<DualThemeColorScheme>("expected");
        const DualThemeColorScheme stored = scheme("#ABCDEF", "#123456");
        DualThemeColorScheme oneInvalid = stored;
        oneInvalid.dark.text = QColor();
        QTest::newRow("built-in") << DualThemeColorScheme() << 0 << colorpresets::defaultScheme();
        QTest::newRow("remembered") << stored << 0 << stored;
        QTest::newRow("remembered with one invalid colour") << oneInvalid << 0 << colorpresets::defaultScheme();
        // The first selected box wins over the remembered colours, with one or more selected.
        QTest::newRow("one selected box") << stored << 1 << DualThemeColorScheme();
        QTest::newRow("three selected boxes") << stored << 3 << DualThemeColorScheme();
    }

    void coloursStartValue()
    {
        QFETCH(DualThemeColorScheme, remembered);
        QFETCH(int, selectedBoxes);
        QFETCH(DualThemeColorScheme, expected);
        probe().setEntityColorDefaults(remembered);
        QList<QGraphicsItem *> boxes;
        const char *fills[] = {"#AA0000", "#00AA00", "#0000AA"};
        for (int i = 0; i < 3; ++i) {
            EntityItem *box = addBox(scene(), 300 * i);
            box->setColorScheme(scheme(fills[i], "#333333"));
            boxes << box;
        }
        select(scene(), boxes.mid(0, selectedBoxes));
        if (selectedBoxes > 0) {
            const QList<QGraphicsItem *> selected = scene()->selectedItems();
            expected = static_cast<EntityItem *>(selected.first())->colorScheme();
        }

        DialogScript script;
        probe().showColorsDialog();
        QCOMPARE(script.runs.size(), 1);
        QCOMPARE(script.runs.first().colors, shown(expected));
    }

    void textStartValue_data()
    {
        QTest::addColumn<bool>("stored");
        QTest::addColumn<bool>("selected");
        QTest::addColumn<int>("size");
        QTest::addColumn<QColor>("light");
        QTest::newRow("built-in") << false << false << 12 << QColor("#000000");
        QTest::newRow("scene style") << true << false << 20 << QColor("#204060");
        QTest::newRow("selected note") << true << true << 30 << QColor("#806040");
    }

    void textStartValue()
    {
        QFETCH(bool, stored);
        QFETCH(bool, selected);
        QFETCH(int, size);
        QFETCH(QColor, light);
        if (stored)
            scene()->setTextItemStyle(QFont(QStringLiteral("JetBrains Mono"), 20), QColor("#204060"), QColor("#A0C0E0"));
        TextItem *note = addNote(scene(), 0);
        note->setFont(QFont(QStringLiteral("JetBrains Mono"), 30));
        note->setColors(QColor("#806040"), QColor("#E0C0A0"));
        select(scene(), selected ? QList<QGraphicsItem *>{note} : QList<QGraphicsItem *>{});

        DialogScript script;
        probe().showTextStyleDialog();
        QCOMPARE(script.runs.size(), 1);
        QCOMPARE(script.runs.first().fontSize, size);
        QCOMPARE(script.runs.first().colors.first(), light);
    }

    void groupStartValue_data()
    {
        QTest::addColumn<bool>("stored");
        QTest::addColumn<bool>("selected");
        QTest::addColumn<GroupItemStyle>("expected");
        const GroupItemStyle sceneStyle{QColor("#5A102030"), QColor("#405060"), QColor("#708090"),
                                        QColor("#5A304050"), QColor("#A0B0C0"), QColor("#D0E0F0")};
        const GroupItemStyle frameStyle{QColor("#5A803010"), QColor("#604020"), QColor("#902010"),
                                        QColor("#5A103080"), QColor("#2040C0"), QColor("#1030F0")};
        QTest::newRow("built-in") << false << false << GroupItemStyleDialog::defaultStyle();
        QTest::newRow("scene style") << true << false << sceneStyle;
        QTest::newRow("selected frame") << true << true << frameStyle;
    }

    void groupStartValue()
    {
        QFETCH(bool, stored);
        QFETCH(bool, selected);
        QFETCH(GroupItemStyle, expected);
        if (stored) {
            scene()->setGroupItemStyle(QColor("#5A102030"), QColor("#405060"), QColor("#708090"),
                                       QColor("#5A304050"), QColor("#A0B0C0"), QColor("#D0E0F0"));
        }
        GroupItem *frame = addFrame(scene(), 0);
        frame->setColors(QColor("#5A803010"), QColor("#604020"), QColor("#902010"), QColor("#5A103080"),
                         QColor("#2040C0"), QColor("#1030F0"));
        select(scene(), selected ? QList<QGraphicsItem *>{frame} : QList<QGraphicsItem *>{});

        DialogScript script;
        probe().showGroupStyleDialog();
        QCOMPARE(script.runs.size(), 1);
        QCOMPARE(script.runs.first().colors, shown(expected));
    }

    void useForNewStartsOffEveryLaunch()
    {
        addNote(scene(), 0);
        DialogScript script;
        script.play = [](QDialog *dialog) {
            if (auto *colors = qobject_cast<ColorsDialog *>(dialog))
                colors->setUseForNewEntities(true);
            else if (auto *text = qobject_cast<TextItemStyleDialog *>(dialog))
                text->setUseForNew(true);
            else if (auto *group = qobject_cast<GroupItemStyleDialog *>(dialog))
                group->setUseForNew(true);
        };
        for (int round = 0; round < 2; ++round) {
            probe().showColorsDialog();
            probe().showEntityColorDialog();
            probe().showTextStyleDialog();
            probe().showGroupStyleDialog();
        }
        QCOMPARE(script.runs.size(), 8);
        for (const DialogRun &run : std::as_const(script.runs))
            QVERIFY2(!run.useForNew, qPrintable(run.dialog));
        // showEntityColorDialog only forwards to the colours dialog.
        QCOMPARE(script.runs.at(1).dialog, QStringLiteral("ColorsDialog"));
    }

    void selectedTargetsRecolourEverySelectedBox_data()
    {
        QTest::addColumn<int>("target");
        QTest::newRow("selected item") << int(ColorsDialog::SelectedItem);
        QTest::newRow("selected items") << int(ColorsDialog::SelectedItems);
    }

    void selectedTargetsRecolourEverySelectedBox()
    {
        QFETCH(int, target);
        QList<EntityItem *> boxes;
        for (int i = 0; i < 4; ++i)
            boxes << addBox(scene(), 300 * i);
        const DualThemeColorScheme untouched = boxes.last()->colorScheme();
        select(scene(), {boxes.at(0), boxes.at(1), boxes.at(2)});
        const DualThemeColorScheme chosen = scheme("#C0FFEE", "#102030");

        DialogScript script;
        script.play = [&](QDialog *dialog) {
            emitApply<ColorsDialog>(dialog, chosen, ColorsDialog::ApplyTarget(target), false);
        };
        probe().showColorsDialog();
        for (int i = 0; i < 3; ++i)
            QCOMPARE(boxes.at(i)->colorScheme(), chosen);
        QCOMPARE(boxes.last()->colorScheme(), untouched);
        QVERIFY(!scene()->defaultEntityColors.light.background.isValid());
    }

    void wholeDiagramLeavesNewTablesInThemeColours()
    {
        EntityItem *selectedBox = addBox(scene(), 0);
        EntityItem *otherBox = addBox(scene(), 300);
        const DualThemeColorScheme themeColours = otherBox->colorScheme();
        select(scene(), {selectedBox});
        const DualThemeColorScheme chosen = scheme("#C0FFEE", "#102030");

        DialogScript script;
        script.play = [&](QDialog *dialog) {
            emitApply<ColorsDialog>(dialog, chosen, ColorsDialog::AllInDiagram, false);
        };
        probe().showColorsDialog();
        QCOMPARE(selectedBox->colorScheme(), chosen);
        QCOMPARE(otherBox->colorScheme(), chosen);
        QCOMPARE(addBox(scene(), 600)->colorScheme(), themeColours);
        QCOMPARE(probe().entityColorDefaults(), DualThemeColorScheme());
    }

    void defaultsOnlyColoursReachNextTableAndNextDialog()
    {
        EntityItem *box = addBox(scene(), 0);
        const DualThemeColorScheme before = box->colorScheme();
        select(scene(), {box});
        const DualThemeColorScheme chosen = scheme("#C0FFEE", "#102030");

        DialogScript script;
        script.play = [&](QDialog *dialog) {
            emitApply<ColorsDialog>(dialog, chosen, ColorsDialog::DefaultsOnly, false);
        };
        probe().showColorsDialog();
        QCOMPARE(box->colorScheme(), before);
        QCOMPARE(addBox(scene(), 300)->colorScheme(), chosen);
        QCOMPARE(probe().entityColorDefaults(), chosen);

        script.play = nullptr;
        scene()->clearSelection();
        openColorsAction();
        QCOMPARE(script.runs.size(), 2);
        QCOMPARE(script.runs.last().colors, shown(chosen));
    }

    void useForNewAlsoStoresColours()
    {
        EntityItem *box = addBox(scene(), 0);
        select(scene(), {box});
        const DualThemeColorScheme chosen = scheme("#C0FFEE", "#102030");
        DialogScript script;
        script.play = [&](QDialog *dialog) {
            emitApply<ColorsDialog>(dialog, chosen, ColorsDialog::SelectedItem, true);
        };
        probe().showColorsDialog();
        QCOMPARE(box->colorScheme(), chosen);
        QCOMPARE(scene()->defaultEntityColors, chosen);
        QCOMPARE(probe().entityColorDefaults(), chosen);
    }

    void textStyleOnOtherKindsStoresOnlyWithFlag_data()
    {
        QTest::addColumn<bool>("useForNew");
        QTest::newRow("flag off") << false;
        QTest::newRow("flag on") << true;
    }

    void textStyleOnOtherKindsStoresOnlyWithFlag()
    {
        QFETCH(bool, useForNew);
        TextItem *note = addNote(scene(), 0);
        const QFont noteFont = note->font();
        const QColor noteLight = note->colorLight();
        EntityItem *box = addBox(scene(), 300);
        select(scene(), {box});
        const TextItemStyle style{QFont(QStringLiteral("JetBrains Mono"), 22), QColor("#AA2200"), QColor("#22AAFF")};

        DialogScript script;
        script.play = [&](QDialog *dialog) {
            emitApply<TextItemStyleDialog>(dialog, style, TextItemStyleDialog::SelectedItems, useForNew);
        };
        probe().showTextStyleDialog();
        QCOMPARE(note->font(), noteFont);
        QCOMPARE(note->colorLight(), noteLight);
        QCOMPARE(scene()->textItemStyleSet, useForNew);
        if (useForNew) {
            QCOMPARE(scene()->textItemFont, style.font);
            QCOMPARE(scene()->textItemColorDark, style.colorDark);
        }
    }

    void textStyleReachesSelectedNotes()
    {
        TextItem *chosenNote = addNote(scene(), 0);
        TextItem *otherNote = addNote(scene(), 300);
        const QColor otherLight = otherNote->colorLight();
        select(scene(), {chosenNote});
        const TextItemStyle style{QFont(QStringLiteral("JetBrains Mono"), 22), QColor("#AA2200"), QColor("#22AAFF")};
        DialogScript script;
        script.play = [&](QDialog *dialog) {
            emitApply<TextItemStyleDialog>(dialog, style, TextItemStyleDialog::SelectedItem, false);
        };
        probe().showTextStyleDialog();
        QCOMPARE(chosenNote->font().pointSize(), 22);
        QCOMPARE(chosenNote->colorLight(), style.colorLight);
        QCOMPARE(chosenNote->colorDark(), style.colorDark);
        QCOMPARE(otherNote->colorLight(), otherLight);
        QVERIFY(!scene()->textItemStyleSet);
    }

    void groupDefaultsOnlyReachNextFrame()
    {
        GroupItem *frame = addFrame(scene(), 0);
        const QColor frameFill = frame->fillLight();
        const GroupItemStyle style{QColor("#5A803010"), QColor("#604020"), QColor("#902010"),
                                   QColor("#5A103080"), QColor("#2040C0"), QColor("#1030F0")};
        DialogScript script;
        script.play = [&](QDialog *dialog) {
            emitApply<GroupItemStyleDialog>(dialog, style, GroupItemStyleDialog::DefaultsOnly, false);
        };
        probe().showGroupStyleDialog();
        QCOMPARE(frame->fillLight(), frameFill);
        GroupItem *next = addFrame(scene(), 600);
        QCOMPARE((QList<QColor>{next->fillLight(), next->borderLight(), next->textColorLight(),
                                next->fillDark(), next->borderDark(), next->textColorDark()}),
                 shown(style));
    }

    // Frames skip an unset colour; the scene keeps the style as it was handed out.
    void invalidGroupColourIsSkippedByFramesAndStoredAsGiven()
    {
        GroupItem *frame = addFrame(scene(), 0);
        const QColor frameFill = frame->fillLight();
        select(scene(), {frame});
        const GroupItemStyle style{QColor(), QColor("#604020"), QColor("#902010"),
                                   QColor("#5A103080"), QColor("#2040C0"), QColor("#1030F0")};
        DialogScript script;
        script.play = [&](QDialog *dialog) {
            emitApply<GroupItemStyleDialog>(dialog, style, GroupItemStyleDialog::SelectedItem, true);
        };
        probe().showGroupStyleDialog();
        QCOMPARE(frame->fillLight(), frameFill);
        QCOMPARE(frame->borderLight(), QColor("#604020"));
        QVERIFY(scene()->groupItemStyleSet);
        QVERIFY(!scene()->groupFillLight.isValid());
    }

    void applyThenOkAppliesEachAtOnce()
    {
        EntityItem *box = addBox(scene(), 0);
        select(scene(), {box});
        const DualThemeColorScheme first = scheme("#111111", "#222222");
        const DualThemeColorScheme second = scheme("#333333", "#444444");
        DualThemeColorScheme afterApply;
        DialogScript script;
        script.play = [&](QDialog *dialog) {
            emitApply<ColorsDialog>(dialog, first, ColorsDialog::SelectedItem, false);
            afterApply = box->colorScheme();
            emitApply<ColorsDialog>(dialog, second, ColorsDialog::SelectedItem, false);
        };
        probe().showColorsDialog();
        QCOMPARE(afterApply, first);
        QCOMPARE(box->colorScheme(), second);
    }

    // A load that finishes while the dialog is open replaces the boxes; the next apply
    // acts on the scene as it is then.
    void applyAfterSceneClearedActsOnNewItems()
    {
        addBox(scene(), 0);
        addBox(scene(), 300);
        const DualThemeColorScheme chosen = scheme("#C0FFEE", "#102030");
        EntityItem *fresh = nullptr;
        DialogScript script;
        script.play = [&](QDialog *dialog) {
            scene()->clearScene();
            fresh = addBox(scene(), 0);
            emitApply<ColorsDialog>(dialog, chosen, ColorsDialog::AllInDiagram, false);
        };
        probe().showColorsDialog();
        QVERIFY(fresh);
        QCOMPARE(itemsOf<EntityItem>(scene()).size(), 1);
        QCOMPARE(fresh->colorScheme(), chosen);
    }
};

QTEST_MAIN(TestStyleLaunchers)
#include "tst_stylelaunchers.moc"
