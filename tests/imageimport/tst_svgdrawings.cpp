#include "svgtestutil.h"
#include "testsupport.h"

#include <QtTest>

using svgtest::line;
using svgtest::rect;

namespace {

QString entityName(const QList<RecognizedEntity> &entities, int index)
{
    const QString title = index >= 0 && index < entities.size() ? entities.at(index).title : QString();
    return title.isEmpty() ? QStringLiteral("#%1").arg(index) : QLatin1Char('"') + title + QLatin1Char('"');
}

// What was read, in the form of the .expected files beside the drawings.
QStringList describe(bool read, const RecognizedDiagram &out)
{
    QStringList lines{QStringLiteral("result %1").arg(read ? "true" : "false")};
    for (const RecognizedEntity &entity : out.entities) {
        lines.append(QStringLiteral("entity \"%1\" %2 header %3 rows %4 from %5 pitch %6")
                         .arg(entity.title, rect(entity.rect), rect(entity.headerRect))
                         .arg(entity.rowRects.size())
                         .arg(entity.rowRects.isEmpty() ? 0.0 : entity.rowRects.first().y())
                         .arg(entity.rowRects.isEmpty() ? 0.0 : entity.rowRects.first().height()));
        for (const RecognizedAttribute &attribute : entity.attributes)
            lines.append(QStringLiteral("  %1: %2").arg(attribute.name, attribute.type));
    }
    for (const RecognizedLink &link : out.links) {
        lines.append(QStringLiteral("link %1 > %2 %3")
                         .arg(entityName(out.entities, link.oneIndex), entityName(out.entities, link.manyIndex),
                              line(link.line)));
    }
    for (const QRectF &mark : out.manyMarkers)
        lines.append(QStringLiteral("many ") + rect(mark));
    for (const QRectF &mark : out.oneMarkers)
        lines.append(QStringLiteral("one ") + rect(mark));
    for (const TextFragment &fragment : out.texts)
        lines.append(QStringLiteral("text ") + fragment.text);
    return lines;
}

QStringList expectedLines(const QString &path)
{
    QStringList lines;
    const QString content = QString::fromUtf8(testsupport::readFileBytes(path));
    for (const QString &line : content.split(QLatin1Char('\n'))) {
        if (!line.trimmed().isEmpty() && !line.startsWith(QLatin1Char('#')))
            lines.append(line);
    }
    return lines;
}

} // namespace

class TestSvgDrawings : public QObject
{
    Q_OBJECT

private slots:
    void drawingGivesItsExpectation_data();
    void drawingGivesItsExpectation();
};

void TestSvgDrawings::drawingGivesItsExpectation_data()
{
    QTest::addColumn<QString>("name");
    for (const char *name : {"rects-and-lines", "groups-and-tspans", "paths", "untitled-boxes", "text-only", "cut-short"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

void TestSvgDrawings::drawingGivesItsExpectation()
{
    QFETCH(QString, name);
    const QString base = testsupport::dataPath(QStringLiteral("imageimport/data/svg/") + name);
    const QStringList expected = expectedLines(base + QStringLiteral(".expected"));
    QVERIFY(!expected.isEmpty());
    RecognizedDiagram out;
    const bool read = readSvgShapes(base + QStringLiteral(".svg"), out);
    QCOMPARE(describe(read, out), expected);
}

QTEST_GUILESS_MAIN(TestSvgDrawings)
#include "tst_svgdrawings.moc"
