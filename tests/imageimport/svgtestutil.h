#pragma once

// Helpers of the SVG reader tests: a drawing written to a file and read back, and readable
// one-line forms of what was read.

#include "svgshapereader.h"

#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

namespace svgtest {

// body inside an svg element.
inline QByteArray document(const QByteArray &body)
{
    return "<svg xmlns='http://www.w3.org/2000/svg' width='1000' height='800'>" + body + "</svg>";
}

// readSvgShapes of content written to a file, as the importer reads one.
inline bool readBytes(const QByteArray &content, RecognizedDiagram &out)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("drawing.svg"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        return false;
    file.close();
    return readSvgShapes(path, out);
}

inline QString rect(const QRectF &r)
{
    return QStringLiteral("%1,%2,%3,%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

inline QString line(const QLineF &l)
{
    return QStringLiteral("%1,%2>%3,%4").arg(l.x1()).arg(l.y1()).arg(l.x2()).arg(l.y2());
}

inline QStringList fragments(const QList<TextFragment> &texts)
{
    QStringList described;
    for (const TextFragment &fragment : texts)
        described.append(fragment.text + QLatin1Char('@') + rect(fragment.rect));
    return described;
}

inline QStringList links(const QList<RecognizedLink> &links)
{
    QStringList described;
    for (const RecognizedLink &link : links) {
        described.append(QStringLiteral("%1-%2 %3%4").arg(link.oneIndex).arg(link.manyIndex).arg(line(link.line),
                                                                                                  link.hasLine ? QString() : QStringLiteral(" no line")));
    }
    return described;
}

} // namespace svgtest
