#include "thememanager.h"

#include <QApplication>
#include <QPalette>
#include <QSignalSpy>
#include <QTest>

class tst_ThemeManager : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void startKindFollowsDesktopLightness_data();
    void startKindFollowsDesktopLightness();
    void fixedPalettes_data();
    void fixedPalettes();
    void setThemeEmitsEveryCall();
    void setThemeOverwritesSetColors();
    void setColorsStoresExactly();
    void themeKindIsRegistered();

private:
    QPalette m_savedPalette;
};

void tst_ThemeManager::init()
{
    m_savedPalette = QGuiApplication::palette();
    ThemeManager::instance()->setTheme(ThemeKind::Light);
}

void tst_ThemeManager::cleanup()
{
    QGuiApplication::setPalette(m_savedPalette);
}

void tst_ThemeManager::startKindFollowsDesktopLightness_data()
{
    QTest::addColumn<int>("lightness");
    QTest::addColumn<ThemeKind>("expected");
    QTest::newRow("black") << 0 << ThemeKind::Dark;
    QTest::newRow("127 is dark") << 127 << ThemeKind::Dark;
    QTest::newRow("128 is light") << 128 << ThemeKind::Light;
    QTest::newRow("white") << 255 << ThemeKind::Light;
}

void tst_ThemeManager::startKindFollowsDesktopLightness()
{
    QFETCH(int, lightness);
    QFETCH(ThemeKind, expected);
    QPalette palette = QGuiApplication::palette();
    palette.setColor(QPalette::Window, QColor::fromHsl(0, 0, lightness));
    QGuiApplication::setPalette(palette);
    QCOMPARE(QGuiApplication::palette().color(QPalette::Window).lightness(), lightness);

    ThemeManager own;
    QCOMPARE(own.kind(), expected);
    QCOMPARE(own.colors(), expected == ThemeKind::Dark ? ThemeManager::darkColors()
                                                       : ThemeManager::lightColors());
}

void tst_ThemeManager::fixedPalettes_data()
{
    QTest::addColumn<int>("entry");
    QTest::addColumn<QString>("light");
    QTest::addColumn<QString>("dark");
    QTest::newRow("background") << int(ThemePalette::Background) << "#ffffff" << "#1a1a1a";
    QTest::newRow("grid") << int(ThemePalette::Grid) << "#ebebeb" << "#3c3c3c";
    QTest::newRow("surface") << int(ThemePalette::Surface) << "#fafafa" << "#262626";
    QTest::newRow("header") << int(ThemePalette::Header) << "#ebebeb" << "#373737";
    QTest::newRow("border") << int(ThemePalette::Border) << "#000000" << "#d2d2d2";
    QTest::newRow("selection") << int(ThemePalette::Selection) << "#0078d7" << "#50aaff";
    QTest::newRow("text") << int(ThemePalette::Text) << "#000000" << "#e6e6e6";
    QTest::newRow("line") << int(ThemePalette::Line) << "#000000" << "#d2d2d2";
    QTest::newRow("accent") << int(ThemePalette::Accent) << "#0078d7" << "#50aaff";
}

void tst_ThemeManager::fixedPalettes()
{
    QFETCH(int, entry);
    QFETCH(QString, light);
    QFETCH(QString, dark);
    const QColor l = ThemeManager::lightColors().at(entry);
    const QColor d = ThemeManager::darkColors().at(entry);
    QCOMPARE(l.name(), light);
    QCOMPARE(d.name(), dark);
    QCOMPARE(l.alpha(), 255);
    QCOMPARE(d.alpha(), 255);
}

void tst_ThemeManager::setThemeEmitsEveryCall()
{
    ThemeManager *tm = ThemeManager::instance();
    QSignalSpy spy(tm, &ThemeManager::themeChanged);
    tm->setTheme(ThemeKind::Light);
    QCOMPARE(spy.count(), 1);
    tm->setTheme(ThemeKind::Dark);
    tm->setTheme(ThemeKind::Light);
    QCOMPARE(spy.count(), 3);
    QCOMPARE(tm->colors(), ThemeManager::lightColors());
    QCOMPARE(tm->kind(), ThemeKind::Light);
}

void tst_ThemeManager::setThemeOverwritesSetColors()
{
    ThemeManager *tm = ThemeManager::instance();
    ThemePalette odd = ThemeManager::lightColors();
    odd.accent = QColor(Qt::magenta);
    tm->setColors(odd, ThemeKind::Dark);
    QSignalSpy spy(tm, &ThemeManager::themeChanged);
    tm->setTheme(ThemeKind::Dark);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(tm->colors(), ThemeManager::darkColors());
}

void tst_ThemeManager::setColorsStoresExactly()
{
    ThemeManager *tm = ThemeManager::instance();
    QSignalSpy spy(tm, &ThemeManager::themeChanged);

    ThemePalette mixed = ThemeManager::darkColors();
    mixed.text = QColor(1, 2, 3);
    tm->setColors(mixed, ThemeKind::Light);
    QCOMPARE(tm->colors(), mixed);
    QCOMPARE(tm->kind(), ThemeKind::Light);

    tm->setColors(mixed, ThemeKind::Light);
    QCOMPARE(spy.count(), 2);

    // A palette of invalid colours is kept as given; readers get invalid colours back.
    const ThemePalette invalid;
    tm->setColors(invalid, ThemeKind::Dark);
    QCOMPARE(spy.count(), 3);
    QVERIFY(!tm->colors().text.isValid());
    QVERIFY(!tm->colors().at(42).isValid());
    QCOMPARE(tm->kind(), ThemeKind::Dark);
}

void tst_ThemeManager::themeKindIsRegistered()
{
    QVERIFY(QMetaType::fromName("ThemeKind").isValid());
    QCOMPARE(QMetaType::fromName("ThemeKind"), QMetaType::fromType<ThemeKind>());
    QCOMPARE(int(ThemeKind::Light), 0);
    QCOMPARE(int(ThemeKind::Dark), 1);
}

QTEST_MAIN(tst_ThemeManager)
#include "tst_thememanager.moc"
