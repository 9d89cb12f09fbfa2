#include "mainwindow.h"
#include "themehelpers.h"

#include "windowtestcase.h"

#include <QAction>
#include <QIconEngine>
#include <QPainter>
#include <QToolButton>

namespace {

// An engine that never draws anything.
class NullPixmapEngine : public QIconEngine
{
public:
    void paint(QPainter *, const QRect &, QIcon::Mode, QIcon::State) override {}
    QPixmap pixmap(const QSize &, QIcon::Mode, QIcon::State) override { return QPixmap(); }
    QIconEngine *clone() const override { return new NullPixmapEngine; }
    QSize actualSize(const QSize &size, QIcon::Mode, QIcon::State) override { return size; }
};

// An engine that hands out one fixed pixmap, whatever size is asked for.
class FixedPixmapEngine : public QIconEngine
{
public:
    explicit FixedPixmapEngine(const QPixmap &pixmap)
        : m_pixmap(pixmap)
    {
    }
    void paint(QPainter *painter, const QRect &rect, QIcon::Mode, QIcon::State) override
    {
        painter->drawPixmap(rect, m_pixmap);
    }
    QPixmap pixmap(const QSize &, QIcon::Mode, QIcon::State) override { return m_pixmap; }
    QIconEngine *clone() const override { return new FixedPixmapEngine(m_pixmap); }

private:
    QPixmap m_pixmap;
};

QIcon blackSquareIcon(qreal dpr = 1.0)
{
    QPixmap pixmap(QSize(16, 16) * dpr);
    pixmap.setDevicePixelRatio(dpr);
    pixmap.fill(Qt::black);
    QIcon icon;
    icon.addPixmap(pixmap);
    return icon;
}

} // namespace

class TestToolButtonIcons : public WindowTestCase
{
    Q_OBJECT

private Q_SLOTS:
    void unusableIconsGiveEmptyIcon_data()
    {
        QTest::addColumn<QIcon>("icon");
        QTest::addColumn<QSize>("size");
        QTest::newRow("null icon") << QIcon() << QSize(16, 16);
        QTest::newRow("zero width") << blackSquareIcon() << QSize(0, 16);
        QTest::newRow("null pixmap") << QIcon(new NullPixmapEngine) << QSize(16, 16);
    }

    void unusableIconsGiveEmptyIcon()
    {
        QFETCH(QIcon, icon);
        QFETCH(QSize, size);
        QVERIFY(invertedIcon(icon, size).isNull());
    }

    void realIconIsInvertedWithItsPixelRatio_data()
    {
        QTest::addColumn<qreal>("dpr");
        QTest::newRow("1.0") << 1.0;
        QTest::newRow("2.0") << 2.0;
    }

    void realIconIsInvertedWithItsPixelRatio()
    {
        QFETCH(qreal, dpr);
        QPixmap source(QSize(16, 16) * dpr);
        source.setDevicePixelRatio(dpr);
        source.fill(Qt::black);
        const QIcon inverted = invertedIcon(QIcon(new FixedPixmapEngine(source)), QSize(16, 16));
        QVERIFY(!inverted.isNull());
        const QPixmap pixmap = inverted.pixmap(QSize(16, 16), dpr);
        QCOMPARE(pixmap.devicePixelRatio(), dpr);
        QCOMPARE(pixmap.size(), QSize(16, 16) * dpr);
        QCOMPARE(pixmap.toImage().pixel(2, 2), qRgb(255, 255, 255));
    }

    void filterButtonFollowsTheme()
    {
        resetProcessTheme(ThemeKind::Light);
        MainWindow w;
        MainWindowProbe probe(w);
        auto *filter = w.findChild<QToolButton *>("toolButtonFilter");
        QCOMPARE(ThemeManager::instance()->kind(), ThemeKind::Dark);
        QVERIFY(probe.buttonIconsLight().contains(filter));
        QCOMPARE(filter->icon().cacheKey(), probe.buttonIconsDark().value(filter).cacheKey());
        probe.toggleTheme();
        QCOMPARE(filter->icon().cacheKey(), probe.buttonIconsLight().value(filter).cacheKey());
    }

    void buttonCacheRules()
    {
        MainWindow w;
        MainWindowProbe probe(w);

        auto *zeroSized = new QToolButton(&w);
        zeroSized->setIcon(blackSquareIcon());
        zeroSized->setIconSize(QSize(0, 0));
        auto *withAction = new QToolButton(&w);
        auto *buttonAction = new QAction(blackSquareIcon(), QStringLiteral("x"), withAction);
        withAction->setDefaultAction(buttonAction);
        auto *uninvertible = new QToolButton(&w);
        const QIcon keep(new NullPixmapEngine);
        uninvertible->setIcon(keep);

        probe.applyThemedToolButtonIcons(ThemeKind::Dark);
        QVERIFY(probe.buttonIconsLight().contains(zeroSized));
        QCOMPARE(probe.buttonIconsDark().value(zeroSized).availableSizes(), QList<QSize>{QSize(16, 16)});
        QVERIFY(!probe.buttonIconsLight().contains(withAction));
        QVERIFY(probe.buttonIconsLight().contains(uninvertible));
        QVERIFY(probe.buttonIconsDark().value(uninvertible).isNull());
        QCOMPARE(uninvertible->icon().cacheKey(), keep.cacheKey());

        delete zeroSized;
        QVERIFY(!probe.buttonIconsLight().contains(zeroSized));
        QVERIFY(!probe.buttonIconsDark().contains(zeroSized));
        probe.applyThemedToolButtonIcons(ThemeKind::Light);
        probe.applyThemedToolButtonIcons(ThemeKind::Dark);
    }

    void deletedActionLeavesCaches()
    {
        MainWindow w;
        MainWindowProbe probe(w);
        QAction *save = w.findChild<QAction *>(QStringLiteral("action_Save"));
        QVERIFY(probe.actionIconsDark().contains(save));
        delete save;
        QVERIFY(!probe.actionIconsLight().contains(save));
        QVERIFY(!probe.actionIconsDark().contains(save));
        probe.toggleTheme();
    }

    void placeholderActionsAnnounceThemselves_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("title");
        QTest::newRow("data sources") << "actionManage_Datasources" << "Manage Data Sources";
        QTest::newRow("script") << "actionGenerate_Script" << "Generate Script";
        QTest::newRow("dictionary") << "actionGenerate_Data_Dictionary" << "Generate Data Dictionary";
    }

    void placeholderActionsAnnounceThemselves()
    {
        QFETCH(QString, action);
        QFETCH(QString, title);
        MainWindow w;
        m_prompts.reset(1);
        w.findChild<QAction *>(action)->trigger();
        QCOMPARE(m_prompts.prompts.size(), 1);
        QCOMPARE(m_prompts.prompts.first().kind, QStringLiteral("information"));
        QCOMPARE(m_prompts.prompts.first().title, title);
        QCOMPARE(m_prompts.prompts.first().text, QStringLiteral("This functionality is not yet implemented."));
    }
};

QTEST_MAIN(TestToolButtonIcons)
#include "tst_toolbuttonicons.moc"
