#include "testsupport.h"

#include <QImage>
#include <QPainter>
#include <QTest>

// Every picture of the bundle loads from its resource path; icons are dark ink on
// transparency, so the dark theme's inversion makes them light.
class TestResourceBundle : public QObject
{
    Q_OBJECT

private:
    static QStringList iconNames()
    {
        return {"save", "save-as", "folder-open", "power", "file-plus", "model", "flowchart", "table",
                "table_view", "workflow", "grid-2x2-plus", "text-item", "group-item", "panel-left",
                "file-pdf", "svg", "mermaid", "mermaid_import", "drawio", "image_import", "database",
                "database-zap", "convert_to_text", "database_dictionary", "autorenew", "palette",
                "theme_toggle", "add_box", "remove_box", "filter", "notification", "fit_screen",
                "select-all", "pick-color"};
    }

    static QString path(const QString &name)
    {
        return QStringLiteral(":/images/resources/images/%1.png").arg(name);
    }

private Q_SLOTS:
    void initTestCase() { Q_INIT_RESOURCE(velmora); }

    void images_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("icon");
        QTest::addColumn<QSize>("size");
        for (const QString &name : iconNames())
            QTest::newRow(qPrintable(name)) << name << true << QSize(64, 64);
        QTest::newRow("corvane-icon") << "corvane-icon" << false << QSize(256, 256);
        QTest::newRow("about_bg") << "about_bg" << false << QSize(1164, 780);
    }

    void images()
    {
        QFETCH(QString, name);
        QFETCH(bool, icon);
        QFETCH(QSize, size);
        const QImage image(path(name));
        QVERIFY2(!image.isNull(), qPrintable(path(name)));
        QVERIFY(image.hasAlphaChannel());
        QCOMPARE(image.size(), size);
        if (!icon)
            return;
        const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
        int opaque = 0;
        for (int y = 0; y < argb.height(); ++y) {
            for (int x = 0; x < argb.width(); ++x) {
                const QRgb pixel = argb.pixel(x, y);
                if (qAlpha(pixel) < 250)
                    continue;
                ++opaque;
                QVERIFY2(qGray(pixel) < 64, qPrintable(QStringLiteral("%1 at %2,%3").arg(name).arg(x).arg(y)));
            }
        }
        QVERIFY(opaque > 0);
    }

    // One sheet with every icon, light and inverted, for a person to look at.
    void contactSheet()
    {
        const QStringList names = iconNames();
        QImage sheet(names.size() * 40, 80, QImage::Format_ARGB32);
        sheet.fill(Qt::white);
        QPainter painter(&sheet);
        painter.fillRect(0, 40, sheet.width(), 40, QColor(0x2b, 0x2b, 0x2b));
        for (int i = 0; i < names.size(); ++i) {
            QImage icon = QImage(path(names.at(i))).scaled(32, 32, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                              .convertToFormat(QImage::Format_ARGB32);
            painter.drawImage(i * 40 + 4, 4, icon);
            icon.invertPixels(QImage::InvertRgb);
            painter.drawImage(i * 40 + 4, 44, icon);
        }
        painter.end();
        QVERIFY(sheet.save(testsupport::outputDir(QStringLiteral("tst_resourcebundle")) + QStringLiteral("/icons.png")));
    }
};

QTEST_MAIN(TestResourceBundle)
#include "tst_resourcebundle.moc"
