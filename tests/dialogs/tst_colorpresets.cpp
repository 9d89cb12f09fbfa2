#include "colorpresets.h"
#include "colorsdialog.h"

#include "dialogtestsupport.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QSignalSpy>

using namespace dialogtest;

namespace {

const QString Group = QStringLiteral("ColorPresets");

// One stored entry: its name and any colour values, written as the test gives them.
struct StoredEntry
{
    QVariant name;
    QMap<QString, QVariant> values;
};

void writeStore(const QList<StoredEntry> &entries)
{
    QSettings settings;
    settings.remove(Group);
    settings.beginWriteArray(Group);
    for (int i = 0; i < entries.size(); ++i) {
        settings.setArrayIndex(i);
        settings.setValue(QStringLiteral("name"), entries.at(i).name);
        for (auto it = entries.at(i).values.cbegin(); it != entries.at(i).values.cend(); ++it)
            settings.setValue(it.key(), it.value());
    }
    settings.endArray();
}

QStringList storedNames()
{
    QSettings settings;
    QStringList names;
    const int count = settings.beginReadArray(Group);
    for (int i = 0; i < count; ++i) {
        settings.setArrayIndex(i);
        names << settings.value(QStringLiteral("name")).toString();
    }
    settings.endArray();
    return names;
}

QString storedValue(int index, const QString &key)
{
    QSettings settings;
    settings.beginReadArray(Group);
    settings.setArrayIndex(index);
    return settings.value(key).toString();
}

QStringList comboTexts(const ColorsDialog &dialog)
{
    const QComboBox *combo = child<QComboBox>(&dialog, "comboBoxPreset");
    QStringList texts;
    for (int i = 0; i < combo->count(); ++i)
        texts << combo->itemText(i);
    return texts;
}

QStringList userPresetsIn(const ColorsDialog &dialog)
{
    return comboTexts(dialog).mid(7);
}

QString currentPreset(const ColorsDialog &dialog)
{
    return child<QComboBox>(&dialog, "comboBoxPreset")->currentText();
}

QString lightFillText(const ColorsDialog &dialog)
{
    return child<QLineEdit>(&dialog, "lineEditBgHexLight")->text();
}

} // namespace

class tst_ColorPresets : public DialogTestCase
{
    Q_OBJECT

private slots:
    void blankNamesAreSkippedAndDroppedOnSave();
    void storedValuesReadWithPerColourDefaults_data();
    void storedValuesReadWithPerColourDefaults();
    void oddStoresLoadWithoutPresets_data();
    void oddStoresLoadWithoutPresets();
    void choosingUserPresetShowsItsColours();
    void reservedNamesAreRefused_data();
    void reservedNamesAreRefused();
    void cancelledOrBlankNameStoresNothing();
    void newNameIsTrimmedStoredAndSelected();
    void existingNameIsOverwrittenIgnoringCase();
    void duplicateStoredNamesOverwriteTheFirst();
    void savedColoursAreLowerCaseWithHeaderEqualToFill();
    void invalidEditorIsWrittenBlack();
    void hugeStoredCountReadsOnlyTheFirstThousand();
    void fullListRefusesNewNamesButOverwrites();
    void failedWriteIsReported();
};

void tst_ColorPresets::blankNamesAreSkippedAndDroppedOnSave()
{
    writeStore({{QStringLiteral("First"), {}}, {QStringLiteral("   "), {}}, {QStringLiteral("Third"), {}}});
    ColorsDialog dialog;
    QCOMPARE(userPresetsIn(dialog), QStringList({"First", "Third"}));

    prompts().answerText(QStringLiteral("First"));
    QTest::mouseClick(child<QPushButton>(&dialog, "pushButtonSavePreset"), Qt::LeftButton);
    QCOMPARE(storedNames(), QStringList({"First", "Third"}));
}

void tst_ColorPresets::storedValuesReadWithPerColourDefaults_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<QColor>("loaded");
    QTest::newRow("missing darkBorder") << "darkBorder" << QVariant() << QColor("#C7CED9");
    QTest::newRow("colour name") << "lightText" << QVariant("red") << QColor(Qt::red);
    QTest::newRow("three digits") << "lightBg" << QVariant("#abc") << QColor("#AABBCC");
    QTest::newRow("eight digits keep alpha") << "darkBg" << QVariant("#80FF0000")
                                             << QColor(255, 0, 0, 128);
    QTest::newRow("garbage") << "lightHeader" << QVariant("#12") << QColor("#ECECEC");
    QTest::newRow("not text") << "darkText" << QVariant(QStringList({"a", "b"}))
                              << QColor("#F8FAFC");
}

void tst_ColorPresets::storedValuesReadWithPerColourDefaults()
{
    QFETCH(QString, key);
    QFETCH(QVariant, stored);
    QFETCH(QColor, loaded);
    StoredEntry entry{QStringLiteral("Mine"), {}};
    if (stored.isValid())
        entry.values.insert(key, stored);
    writeStore({entry});

    const QList<UserColorPreset> presets = colorpresets::loadUserPresets();
    QCOMPARE(presets.size(), 1);
    const DualThemeColorScheme defaults = colorpresets::defaultScheme();
    DualThemeColorScheme expected = defaults;
    const bool light = key.startsWith(QLatin1String("light"));
    EntityColorScheme &half = light ? expected.light : expected.dark;
    const QString suffix = key.mid(light ? 5 : 4);
    QColor &field = suffix == QLatin1String("Bg")       ? half.background
                    : suffix == QLatin1String("Header") ? half.header
                    : suffix == QLatin1String("Border") ? half.border
                                                        : half.text;
    field = loaded;
    QCOMPARE(presets.first().scheme, expected);
}

void tst_ColorPresets::oddStoresLoadWithoutPresets_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::newRow("negative count") << QByteArray("[ColorPresets]\nsize=-5\n1\\name=Kept out\n");
    QTest::newRow("count not a number") << QByteArray("[ColorPresets]\nsize=many\n1\\name=Kept out\n");
    QTest::newRow("malformed") << QByteArray("[ColorPresets\n\xff\xfe=\x01\n[[[\n=\n");
    QTest::newRow("empty file") << QByteArray();
}

void tst_ColorPresets::oddStoresLoadWithoutPresets()
{
    QFETCH(QByteArray, file);
    const QString path = env().settings.folder() + "/Haldemor/velmora.conf";
    QDir().mkpath(env().settings.folder() + "/Haldemor");
    {
        QFile out(path);
        QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(file);
    }
    QVERIFY(colorpresets::loadUserPresets().isEmpty());
    ColorsDialog dialog;
    QCOMPARE(comboTexts(dialog).size(), 7);

    // The next save replaces the damaged array and reports no failure.
    prompts().answerText(QStringLiteral("Mine"));
    QTest::mouseClick(child<QPushButton>(&dialog, "pushButtonSavePreset"), Qt::LeftButton);
    QCOMPARE(storedNames(), QStringList({"Mine"}));
}

void tst_ColorPresets::choosingUserPresetShowsItsColours()
{
    writeStore({{QStringLiteral("<b>Mine</b>"),
                 {{"lightBg", "#102030"}, {"darkText", "#405060"}}}});
    ColorsDialog dialog;
    QSignalSpy spy(&dialog, &ColorsDialog::applyRequested);
    QCOMPARE(userPresetsIn(dialog), QStringList({"<b>Mine</b>"}));
    child<QComboBox>(&dialog, "comboBoxPreset")->setCurrentIndex(7);
    QCOMPARE(lightFillText(dialog), QStringLiteral("#102030"));
    QCOMPARE(child<QLineEdit>(&dialog, "lineEditTxtHexDark")->text(), QStringLiteral("#405060"));
    QCOMPARE(child<QLineEdit>(&dialog, "lineEditFgHexDark")->text(), QStringLiteral("#C7CED9"));
    QCOMPARE(spy.count(), 0);
}

void tst_ColorPresets::reservedNamesAreRefused_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("lower case") << "default";
    QTest::newRow("capitals") << "OCEAN";
    QTest::newRow("custom with blanks") << "  Custom ";
}

void tst_ColorPresets::reservedNamesAreRefused()
{
    QFETCH(QString, name);
    writeStore({{QStringLiteral("Mine"), {}}});
    ColorsDialog dialog;
    prompts().reset(1);
    prompts().answerText(name);
    QTest::mouseClick(child<QPushButton>(&dialog, "pushButtonSavePreset"), Qt::LeftButton);

    const QList<ScriptedPrompts::Prompt> warnings = prompts().promptsOf("warning");
    QCOMPARE(warnings.size(), 1);
    QCOMPARE(warnings.first().title, QStringLiteral("Save preset"));
    QCOMPARE(warnings.first().text, QStringLiteral("That name is reserved for a built-in preset."));
    QCOMPARE(userPresetsIn(dialog), QStringList({"Mine"}));
    QCOMPARE(storedNames(), QStringList({"Mine"}));
}

void tst_ColorPresets::cancelledOrBlankNameStoresNothing()
{
    ColorsDialog dialog;
    prompts().answerText(QStringLiteral("Kept out"), false);
    prompts().answerText(QStringLiteral("   "));
    for (int i = 0; i < 2; ++i)
        QTest::mouseClick(child<QPushButton>(&dialog, "pushButtonSavePreset"), Qt::LeftButton);
    const ScriptedPrompts::Prompt ask = prompts().promptsOf("text").value(0);
    QCOMPARE(ask.title, QStringLiteral("Save preset"));
    QCOMPARE(ask.detail, QStringLiteral("Preset name:"));
    QCOMPARE(ask.initial, QString());
    QCOMPARE(userPresetsIn(dialog), QStringList());
    QVERIFY(!QSettings().childGroups().contains(Group));
}

void tst_ColorPresets::newNameIsTrimmedStoredAndSelected()
{
    ColorsDialog dialog;
    QSignalSpy spy(&dialog, &ColorsDialog::applyRequested);
    retype(child<QLineEdit>(&dialog, "lineEditBgHexLight"), QStringLiteral("#334455"));
    prompts().answerText(QStringLiteral(" Slate "));
    QTest::mouseClick(child<QPushButton>(&dialog, "pushButtonSavePreset"), Qt::LeftButton);

    QCOMPARE(storedNames(), QStringList({"Slate"}));
    QCOMPARE(currentPreset(dialog), QStringLiteral("Slate"));
    QCOMPARE(lightFillText(dialog), QStringLiteral("#334455"));
    QCOMPARE(spy.count(), 0);

    ColorsDialog later;
    QCOMPARE(userPresetsIn(later), QStringList({"Slate"}));
}

void tst_ColorPresets::existingNameIsOverwrittenIgnoringCase()
{
    writeStore({{QStringLiteral("Slate"), {{"lightBg", "#111111"}}}});
    ColorsDialog dialog;
    retype(child<QLineEdit>(&dialog, "lineEditBgHexLight"), QStringLiteral("#222222"));
    prompts().answerText(QStringLiteral("slate"));
    QTest::mouseClick(child<QPushButton>(&dialog, "pushButtonSavePreset"), Qt::LeftButton);

    QCOMPARE(storedNames(), QStringList({"Slate"}));
    QCOMPARE(storedValue(0, "lightBg"), QStringLiteral("#222222"));
    QCOMPARE(userPresetsIn(dialog), QStringList({"Slate"}));
    QCOMPARE(currentPreset(dialog), QStringLiteral("Custom"));
}

void tst_ColorPresets::duplicateStoredNamesOverwriteTheFirst()
{
    writeStore({{QStringLiteral("Twin"), {{"darkBg", "#010101"}}},
                {QStringLiteral("Twin"), {{"darkBg", "#020202"}}}});
    ColorsDialog dialog;
    QCOMPARE(userPresetsIn(dialog), QStringList({"Twin", "Twin"}));
    retype(child<QLineEdit>(&dialog, "lineEditBgHexDark"), QStringLiteral("#030303"));
    prompts().answerText(QStringLiteral("Twin"));
    QTest::mouseClick(child<QPushButton>(&dialog, "pushButtonSavePreset"), Qt::LeftButton);

    QCOMPARE(storedValue(0, "darkBg"), QStringLiteral("#030303"));
    QCOMPARE(storedValue(1, "darkBg"), QStringLiteral("#020202"));
    QCOMPARE(currentPreset(dialog), QStringLiteral("Twin"));
    QCOMPARE(child<QComboBox>(&dialog, "comboBoxPreset")->currentIndex(), 7);
}

void tst_ColorPresets::savedColoursAreLowerCaseWithHeaderEqualToFill()
{
    ColorsDialog dialog;
    child<QComboBox>(&dialog, "comboBoxPreset")->setCurrentText(QStringLiteral("Ocean"));
    prompts().answerText(QStringLiteral("Sea"));
    QTest::mouseClick(child<QPushButton>(&dialog, "pushButtonSavePreset"), Qt::LeftButton);

    QCOMPARE(storedValue(0, "lightBg"), QStringLiteral("#eaf4ff"));
    QCOMPARE(storedValue(0, "lightHeader"), QStringLiteral("#eaf4ff"));
    QCOMPARE(storedValue(0, "darkHeader"), QStringLiteral("#0f2744"));
    QCOMPARE(colorpresets::loadUserPresets().value(0).scheme.dark.border, QColor("#7EB6E8"));
}

void tst_ColorPresets::invalidEditorIsWrittenBlack()
{
    ColorsDialog dialog;
    retype(child<QLineEdit>(&dialog, "lineEditTxtHexLight"), QStringLiteral("#12"));
    prompts().answerText(QStringLiteral("Half done"));
    QTest::mouseClick(child<QPushButton>(&dialog, "pushButtonSavePreset"), Qt::LeftButton);

    QCOMPARE(storedValue(0, "lightText"), QStringLiteral("#000000"));
    QCOMPARE(colorpresets::loadUserPresets().value(0).scheme.light.text, QColor(Qt::black));
}

void tst_ColorPresets::hugeStoredCountReadsOnlyTheFirstThousand()
{
    {
        QSettings settings;
        settings.beginWriteArray(Group);
        settings.setArrayIndex(999);
        settings.setValue(QStringLiteral("name"), QStringLiteral("Last read"));
        settings.setArrayIndex(1000);
        settings.setValue(QStringLiteral("name"), QStringLiteral("Never read"));
        settings.endArray();
        settings.setValue(Group + QStringLiteral("/size"), 2147483647);
    }
    QTest::ignoreMessage(QtWarningMsg,
                         "loadUserPresets: ColorPresets holds 2147483647 entries; only the first 1000 are read");
    QElapsedTimer timer;
    timer.start();
    ColorsDialog dialog;
    QCOMPARE(userPresetsIn(dialog), QStringList({"Last read"}));
    QVERIFY2(timer.elapsed() < 10000, "loading must not walk the stored count");
}

void tst_ColorPresets::fullListRefusesNewNamesButOverwrites()
{
    QList<StoredEntry> entries;
    for (int i = 0; i < colorpresets::MaxUserPresets; ++i)
        entries.append({QStringLiteral("P%1").arg(i), {}});
    writeStore(entries);
    ColorsDialog dialog;
    QCOMPARE(userPresetsIn(dialog).size(), colorpresets::MaxUserPresets);

    prompts().reset(1);
    prompts().answerText(QStringLiteral("One too many"));
    QTest::mouseClick(child<QPushButton>(&dialog, "pushButtonSavePreset"), Qt::LeftButton);
    const ScriptedPrompts::Prompt warning = prompts().promptsOf("warning").value(0);
    QCOMPARE(warning.title, QStringLiteral("Save preset"));
    QCOMPARE(warning.text, QStringLiteral("No more presets can be saved; the limit is 1000."));
    QCOMPARE(storedNames().size(), colorpresets::MaxUserPresets);
    QVERIFY(!storedNames().contains(QStringLiteral("One too many")));

    retype(child<QLineEdit>(&dialog, "lineEditBgHexLight"), QStringLiteral("#ABCDEF"));
    prompts().answerText(QStringLiteral("p999"));
    QTest::mouseClick(child<QPushButton>(&dialog, "pushButtonSavePreset"), Qt::LeftButton);
    QCOMPARE(storedValue(999, "lightBg"), QStringLiteral("#abcdef"));
    QCOMPARE(storedNames().size(), colorpresets::MaxUserPresets);
}

void tst_ColorPresets::failedWriteIsReported()
{
    // A directory where the store's file belongs: no write can succeed, even as root.
    QTemporaryDir blocked;
    QVERIFY(QDir().mkpath(blocked.path() + "/Haldemor/velmora.conf"));
    SettingsSandbox::usePath(blocked.path());
    ColorsDialog dialog;
    prompts().reset(1);
    prompts().answerText(QStringLiteral("Slate"));
    QTest::mouseClick(child<QPushButton>(&dialog, "pushButtonSavePreset"), Qt::LeftButton);
    SettingsSandbox::usePath(env().settings.folder());

    const ScriptedPrompts::Prompt warning = prompts().promptsOf("warning").value(0);
    QCOMPARE(warning.title, QStringLiteral("Save preset"));
    QCOMPARE(warning.text, QStringLiteral("The preset could not be written to the settings file."));
    QCOMPARE(userPresetsIn(dialog), QStringList({"Slate"}));
    QCOMPARE(currentPreset(dialog), QStringLiteral("Slate"));
}

QTEST_MAIN(tst_ColorPresets)
#include "tst_colorpresets.moc"
