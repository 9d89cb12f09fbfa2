#include "themehelpers.h"

#include <QImage>
#include <QPixmap>

QPalette lightApplicationPalette()
{
    QPalette p;
    p.setColor(QPalette::Window, QColor(0xf3, 0xf3, 0xf3));
    p.setColor(QPalette::WindowText, QColor(0x1e, 0x1e, 0x1e));
    p.setColor(QPalette::Base, QColor(0xff, 0xff, 0xff));
    p.setColor(QPalette::AlternateBase, QColor(0xf0, 0xf0, 0xf0));
    p.setColor(QPalette::Text, QColor(0x1e, 0x1e, 0x1e));
    p.setColor(QPalette::Button, QColor(0xff, 0xff, 0xff));
    p.setColor(QPalette::ButtonText, QColor(0x1e, 0x1e, 0x1e));
    p.setColor(QPalette::Highlight, QColor(0x00, 0x78, 0xd4));
    p.setColor(QPalette::HighlightedText, QColor(0xff, 0xff, 0xff));
    p.setColor(QPalette::ToolTipBase, QColor(0xff, 0xff, 0xff));
    p.setColor(QPalette::ToolTipText, QColor(0x1e, 0x1e, 0x1e));
    p.setColor(QPalette::PlaceholderText, QColor(0x8a, 0x8a, 0x8a));
    p.setColor(QPalette::Link, QColor(0x00, 0x78, 0xd4));
    return p;
}

QPalette darkApplicationPalette()
{
    QPalette p;
    // Later settings win: the disabled Base and Text override the all-group ones.
    p.setColor(QPalette::Window, QColor(0x2b, 0x2b, 0x2b));
    p.setColor(QPalette::WindowText, QColor(0xbb, 0xbb, 0xbb));
    p.setColor(QPalette::Base, QColor(0x2e, 0x31, 0x33));
    p.setColor(QPalette::AlternateBase, QColor(0x26, 0x28, 0x29));
    p.setColor(QPalette::Text, QColor(0xe4, 0xe6, 0xea));
    p.setColor(QPalette::Disabled, QPalette::Base, QColor(0x2b, 0x2b, 0x2b));
    p.setColor(QPalette::Disabled, QPalette::Text, QColor(0x7a, 0x7e, 0x82));
    p.setColor(QPalette::Button, QColor(0x3c, 0x3f, 0x41));
    p.setColor(QPalette::ButtonText, QColor(0xbb, 0xbb, 0xbb));
    p.setColor(QPalette::Highlight, QColor(0x4b, 0x6e, 0xaf));
    p.setColor(QPalette::HighlightedText, QColor(0xff, 0xff, 0xff));
    p.setColor(QPalette::ToolTipBase, QColor(0x3c, 0x3f, 0x41));
    p.setColor(QPalette::ToolTipText, QColor(0xdc, 0xdc, 0xdc));
    p.setColor(QPalette::BrightText, QColor(0xff, 0x80, 0x80));
    p.setColor(QPalette::Link, QColor(0x58, 0xa6, 0xff));
    p.setColor(QPalette::LinkVisited, QColor(0x8c, 0x78, 0xc8));
    p.setColor(QPalette::PlaceholderText, QColor(0x8c, 0x8c, 0x8c));
    // Bevel roles around the button colour: the style etches disabled text with Light, which
    // the default palette leaves white.
    p.setColor(QPalette::Light, QColor(0x4e, 0x52, 0x54));
    p.setColor(QPalette::Midlight, QColor(0x45, 0x48, 0x4a));
    p.setColor(QPalette::Mid, QColor(0x31, 0x33, 0x35));
    p.setColor(QPalette::Dark, QColor(0x23, 0x25, 0x26));
    p.setColor(QPalette::Shadow, QColor(0x14, 0x14, 0x14));
    return p;
}

QPalette explorerTreePalette(ThemeKind kind)
{
    const bool light = kind == ThemeKind::Light;
    const QColor text = light ? QColor(0x1e, 0x1e, 0x1e) : QColor(0xa9, 0xb7, 0xc6);
    QPalette p;
    p.setColor(QPalette::Base, light ? QColor(0xff, 0xff, 0xff) : QColor(0x31, 0x33, 0x35));
    p.setColor(QPalette::AlternateBase, light ? QColor(0xf0, 0xf0, 0xf0) : QColor(0x26, 0x28, 0x2a));
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::Mid, light ? QColor(0x5a, 0x5a, 0x5a) : QColor(0xa9, 0xb7, 0xc6));
    p.setColor(QPalette::Highlight, light ? QColor(0x00, 0x78, 0xd4) : QColor(0x4b, 0x6e, 0xaf));
    p.setColor(QPalette::HighlightedText, QColor(0xff, 0xff, 0xff));
    return p;
}

void invertImageColors(QImage &image)
{
    if (image.format() != QImage::Format_ARGB32 && image.format() != QImage::Format_RGB32)
        image.convertTo(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            line[x] ^= 0x00ffffffu;
    }
}

QIcon invertedIcon(const QIcon &icon, const QSize &size)
{
    if (icon.isNull() || size.width() <= 0 || size.height() <= 0)
        return QIcon();
    const QPixmap pixmap = icon.pixmap(size, QIcon::Normal, QIcon::Off);
    if (pixmap.isNull())
        return QIcon();
    QImage image = pixmap.toImage();
    if (image.isNull())
        return QIcon();
    invertImageColors(image);
    QPixmap inverted = QPixmap::fromImage(image);
    inverted.setDevicePixelRatio(pixmap.devicePixelRatio());
    QIcon result;
    result.addPixmap(inverted, QIcon::Normal, QIcon::Off);
    return result;
}
