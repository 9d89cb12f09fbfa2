// velmora_iconrender <list file> <output folder>
//
// Each line of the list names a PNG of the bundle, the SVG it is drawn from (relative to
// the list's folder) and optionally a width and height (64 x 64 otherwise). Glyph sets draw
// in currentColor or leave the fill unset; both become the dark ink #1e1e1e, which the
// dark theme inverts.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSvgRenderer>
#include <QTextStream>

#include <cstdio>

namespace {

const char *const kInk = "#1e1e1e";

QByteArray inkedSvg(QByteArray svg)
{
    svg.replace("currentColor", kInk);
    // An <svg> element without its own fill paints black by default; give it the ink.
    static const QRegularExpression rootTag(QStringLiteral("<svg\\b[^>]*>"));
    const QString text = QString::fromUtf8(svg);
    const QRegularExpressionMatch match = rootTag.match(text);
    if (!match.hasMatch())
        return svg;
    QString tag = match.captured(0);
    if (!tag.contains(QRegularExpression(QStringLiteral("\\sfill\\s*="))))
        tag.insert(4, QStringLiteral(" fill=\"%1\"").arg(QLatin1String(kInk)));
    QString result = text;
    result.replace(match.capturedStart(0), match.capturedLength(0), tag);
    return result.toUtf8();
}

bool renderOne(const QString &svgPath, const QString &pngPath, const QSize &size, QString *error)
{
    QFile in(svgPath);
    if (!in.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1").arg(svgPath);
        return false;
    }
    QSvgRenderer renderer(inkedSvg(in.readAll()));
    if (!renderer.isValid()) {
        *error = QStringLiteral("not a drawable SVG: %1").arg(svgPath);
        return false;
    }
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
    }
    image = image.convertToFormat(QImage::Format_ARGB32);

    QSaveFile out(pngPath);
    if (!out.open(QIODevice::WriteOnly) || !image.save(&out, "PNG") || !out.commit()) {
        *error = QStringLiteral("cannot write %1").arg(pngPath);
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    // Draws into images only; no display needed.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: velmora_iconrender <list file> <output folder>\n");
        return 2;
    }
    QFile list(args.at(1));
    if (!list.open(QIODevice::ReadOnly | QIODevice::Text)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(args.at(1)));
        return 1;
    }
    const QDir sourceDir = QFileInfo(list).absoluteDir();
    const QDir outputDir(args.at(2));
    int failures = 0;
    QTextStream lines(&list);
    while (!lines.atEnd()) {
        const QString line = lines.readLine().trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const QStringList fields = line.split(QRegularExpression(QStringLiteral("\\s+")));
        QSize size(64, 64);
        if (fields.size() == 4)
            size = QSize(fields.at(2).toInt(), fields.at(3).toInt());
        if ((fields.size() != 2 && fields.size() != 4) || size.isEmpty()) {
            std::fprintf(stderr, "bad line: %s\n", qPrintable(line));
            ++failures;
            continue;
        }
        QString error;
        if (!renderOne(sourceDir.filePath(fields.at(1)), outputDir.filePath(fields.at(0)), size, &error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            ++failures;
            continue;
        }
        std::printf("%s\n", qPrintable(fields.at(0)));
    }
    return failures == 0 ? 0 : 1;
}
