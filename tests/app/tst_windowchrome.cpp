#include "erscene.h"
#include "erview.h"
#include "mainwindow.h"
#include "themehelpers.h"

#include "windowtestcase.h"
#include "testsupport.h"

#include <QAction>
#include <QDockWidget>
#include <QFrame>
#include <QGraphicsRectItem>
#include <QLabel>
#include <QMenu>
#include <QSignalSpy>
#include <QSlider>
#include <QStyleFactory>
#include <QTreeView>

class TestWindowChrome : public WindowTestCase
{
    Q_OBJECT

private:
    template<typename T>
    T *child(const char *name)
    {
        return window().findChild<T *>(QLatin1String(name));
    }

    void initEach() override { QVERIFY(showWindow()); }

private Q_SLOTS:
    void filePathDisplay_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("tip");
        QTest::newRow("file") << "/home/u/p.json" << "p.json" << "/home/u/p.json";
        QTest::newRow("empty") << "" << "No file" << "No file";
        QTest::newRow("markup") << "/tmp/<b>x<img src=y>.json" << "<b>x<img src=y>.json" << "/tmp/<b>x<img src=y>.json";
    }

    void filePathDisplay()
    {
        QFETCH(QString, path);
        QFETCH(QString, text);
        QFETCH(QString, tip);
        probe().setFilePathDisplay(path);
        auto *label = child<QLabel>("labelFileName");
        QCOMPARE(label->text(), text);
        QCOMPARE(label->toolTip(), tip);
        QCOMPARE(label->textFormat(), Qt::PlainText);
        QCOMPARE(child<QFrame>("filenameFrame")->toolTip(), tip);
        QCOMPARE(probe().displayedFilePath(), path);
    }

    void viewZoomShowsPercent_data()
    {
        QTest::addColumn<double>("zoom");
        QTest::addColumn<QString>("label");
        QTest::addColumn<int>("slider");
        QTest::newRow("half rounds up") << 1.125 << "113%" << 113;
        QTest::newRow("small") << 0.125 << "13%" << 13;
        QTest::newRow("largest") << 4.0 << "400%" << 400;
    }

    void viewZoomShowsPercent()
    {
        QFETCH(double, zoom);
        QFETCH(QString, label);
        QFETCH(int, slider);
        auto *view = child<ERView>("view");
        view->setZoom(zoom);
        QCOMPARE(child<QLabel>("labelZoomPercent")->text(), label);
        auto *zoomSlider = child<QFrame>("zoomFrame")->findChild<QSlider *>();
        QCOMPARE(zoomSlider->value(), slider);
        QCOMPARE(zoomSlider->toolTip(), QStringLiteral("Zoom %1").arg(label));
        QCOMPARE(view->zoomFactor, zoom);
    }

    void sliderZoomsViewOnce()
    {
        auto *view = child<ERView>("view");
        QSignalSpy zoomSpy(view, &ERView::zoomChanged);
        auto *zoomSlider = child<QFrame>("zoomFrame")->findChild<QSlider *>();
        zoomSlider->setValue(250);
        QCOMPARE(zoomSpy.count(), 1);
        QCOMPARE(view->zoomFactor, 2.5);
        QCOMPARE(child<QLabel>("labelZoomPercent")->text(), QStringLiteral("250%"));
    }

    void fitBelowRangeKeepsTruePercent()
    {
        auto *view = child<ERView>("view");
        ERScene *scene = probe().scene();
        scene->addRect(0, 0, 10, 10);
        scene->addRect(100000, 0, 10, 10);
        view->fitAll();
        QVERIFY(view->zoomFactor < 0.1);
        const int percent = int(std::lround(view->zoomFactor * 100));
        QCOMPARE(child<QLabel>("labelZoomPercent")->text(), QStringLiteral("%1%").arg(percent));
        QCOMPARE(child<QFrame>("zoomFrame")->findChild<QSlider *>()->value(), 10);
        QVERIFY(view->zoomFactor < 0.1);
    }

    void treeTheme_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QColor>("base");
        QTest::addColumn<QColor>("text");
        QTest::newRow("light") << 0 << QColor("#ffffff") << QColor("#1e1e1e");
        QTest::newRow("dark") << 1 << QColor("#313335") << QColor("#a9b7c6");
        QTest::newRow("other kind is dark") << 2 << QColor("#313335") << QColor("#a9b7c6");
    }

    void treeTheme()
    {
        QFETCH(int, kind);
        QFETCH(QColor, base);
        QFETCH(QColor, text);
        probe().applyTableTheme(static_cast<ThemeKind>(kind));
        auto *tree = child<QTreeView>("treeViewProject");
        for (QWidget *widget : {static_cast<QWidget *>(tree), tree->viewport()}) {
            QCOMPARE(widget->palette().color(QPalette::Base), base);
            QCOMPARE(widget->palette().color(QPalette::Text), text);
            QVERIFY(widget->autoFillBackground());
        }
    }

    void sidebarToggle()
    {
        auto *action = child<QAction>("actionShow_Properties");
        auto *dock = child<QDockWidget>("dockWidget");
        QVERIFY(dock->isVisible());
        action->trigger();
        QVERIFY(!dock->isVisible());
        QCOMPARE(action->text(), QStringLiteral("Show Sidebar"));
        QVERIFY(!action->isChecked());
        action->trigger();
        QVERIFY(dock->isVisible());
        QCOMPARE(action->text(), QStringLiteral("Hide Sidebar"));
        QVERIFY(action->isChecked());
        dock->close();
        QVERIFY(!action->isChecked());
    }
};

class TestThemeHelpers : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void invertKeepsAlpha_data()
    {
        QTest::addColumn<QImage::Format>("format");
        QTest::addColumn<QImage::Format>("resultFormat");
        QTest::addColumn<bool>("alpha");
        QTest::newRow("ARGB32") << QImage::Format_ARGB32 << QImage::Format_ARGB32 << true;
        QTest::newRow("RGB32 stays") << QImage::Format_RGB32 << QImage::Format_RGB32 << false;
        QTest::newRow("premultiplied") << QImage::Format_ARGB32_Premultiplied << QImage::Format_ARGB32 << true;
        QTest::newRow("Indexed8") << QImage::Format_Indexed8 << QImage::Format_ARGB32 << false;
        QTest::newRow("RGB16") << QImage::Format_RGB16 << QImage::Format_ARGB32 << false;
    }

    void invertKeepsAlpha()
    {
        QFETCH(QImage::Format, format);
        QFETCH(QImage::Format, resultFormat);
        QFETCH(bool, alpha);
        QImage source(2, 1, QImage::Format_ARGB32);
        source.setPixel(0, 0, qRgba(0, 0, 0, alpha ? 128 : 255));
        source.setPixel(1, 0, alpha ? qRgba(0, 0, 0, 0) : qRgb(255, 255, 255));
        QImage image = source.convertToFormat(format);
        invertImageColors(image);
        QCOMPARE(image.format(), resultFormat);
        if (alpha) {
            QCOMPARE(qAlpha(image.pixel(0, 0)), 128);
            QCOMPARE(qGray(image.pixel(0, 0)), 255);
            QCOMPARE(qAlpha(image.pixel(1, 0)), 0);
        } else {
            QCOMPARE(image.pixel(0, 0), qRgb(255, 255, 255));
            QCOMPARE(image.pixel(1, 0), qRgb(0, 0, 0));
        }
    }

    void darkPaletteLaterRowsWin()
    {
        const QPalette p = darkApplicationPalette();
        QCOMPARE(p.color(QPalette::Disabled, QPalette::Base), QColor("#2b2b2b"));
        QCOMPARE(p.color(QPalette::Disabled, QPalette::Text), QColor("#7a7e82"));
        QCOMPARE(p.color(QPalette::Active, QPalette::Base), QColor("#2e3133"));
        QCOMPARE(p.color(QPalette::Active, QPalette::Text), QColor("#e4e6ea"));
    }

    // The style etches disabled text with the Light role: with a light value left in the
    // dark palette, disabled menu entries get a white relief.
    void darkPaletteDrawsDisabledTextWithoutLightRelief()
    {
        std::unique_ptr<QStyle> fusion(QStyleFactory::create(QStringLiteral("Fusion")));
        QVERIFY(fusion);
        QMenu menu;
        menu.setStyle(fusion.get());
        menu.setPalette(darkApplicationPalette());
        menu.addAction(QStringLiteral("Save Project As..."))->setEnabled(false);
        menu.addAction(QStringLiteral("Export to PDF"))->setEnabled(false);
        menu.resize(menu.sizeHint());
        QImage image(menu.size(), QImage::Format_RGB32);
        menu.render(&image);
        image.save(testsupport::outputDir(QStringLiteral("tst_windowchrome")) + QStringLiteral("/disabled-menu-dark.png"));

        // Nothing the disabled entries draw is brighter than the palette's own light text.
        const QColor brightest = darkApplicationPalette().color(QPalette::Active, QPalette::Text);
        int brighter = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x)
                brighter += qGray(image.pixel(x, y)) > qGray(brightest.rgb()) ? 1 : 0;
        }
        QCOMPARE(brighter, 0);
    }
};

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    int status = 0;
    {
        TestThemeHelpers helpers;
        status |= QTest::qExec(&helpers, argc, argv);
    }
    {
        TestWindowChrome chrome;
        status |= QTest::qExec(&chrome, argc, argv);
    }
    return status;
}

#include "tst_windowchrome.moc"
