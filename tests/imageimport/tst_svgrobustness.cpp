#include "svgtestutil.h"
#include "recognitionsteps.h"
#include "testsupport.h"

#include <QRandomGenerator>
#include <QtTest>

#include <cmath>

namespace {

const QStringList PathCorpus{
    QStringLiteral("M10 10 L110 10 L110 70 L10 70 Z"),
    QStringLiteral("m366 20 h188 c4 0 6 2 6 6 v98 c0 4 -2 6 -6 6 h-188 z"),
    QStringLiteral("M26 20 H214 A6 6 0 0 1 220 26 V104 Q220 110 214 110 T20 104 S20 30 26 20 Z"),
    QStringLiteral("M500 130 V160 Q500 165 495 165 H465 Q460 165 460 170 V200"),
    QStringLiteral("M0 0 L100 0 Z 5 5 L 60 60 z m1e3-2e2.5.5l-.1e1,3"),
};

const QStringList Pieces{
    QStringLiteral("M"), QStringLiteral("m"), QStringLiteral("L"), QStringLiteral("h"), QStringLiteral("V"),
    QStringLiteral("C"), QStringLiteral("s"), QStringLiteral("Q"), QStringLiteral("t"), QStringLiteral("A"),
    QStringLiteral("Z"), QStringLiteral("z"), QStringLiteral(" "), QStringLiteral(","), QStringLiteral("-"),
    QStringLiteral("+"), QStringLiteral("."), QStringLiteral("e"), QStringLiteral("E"), QStringLiteral("0"),
    QStringLiteral("7"), QStringLiteral("42"), QStringLiteral("1e308"), QStringLiteral("1e999"),
    QStringLiteral("-1e300"), QStringLiteral("1e-999"), QStringLiteral("inf"), QStringLiteral("nan"),
    QStringLiteral("(") , QStringLiteral(")"), QStringLiteral("translate("), QStringLiteral("scale("),
    QStringLiteral("rotate("), QStringLiteral("matrix("), QStringLiteral("skewX("), QStringLiteral("\u0663"),
    QStringLiteral("\u00a0"), QStringLiteral("\t"), QStringLiteral("99999999999999999999999"),
};

QString randomPieces(QRandomGenerator &random, int count)
{
    QString text;
    for (int i = 0; i < count; ++i)
        text += Pieces.at(random.bounded(int(Pieces.size())));
    return text;
}

QString randomCharacters(QRandomGenerator &random, int count)
{
    QString text;
    for (int i = 0; i < count; ++i)
        text += QChar(char16_t(random.bounded(random.bounded(4) ? 128 : 0xD7FF) + 1));
    return text;
}

// Replaces, inserts or removes a few characters, or cuts the text short.
template <typename Text>
Text mutated(QRandomGenerator &random, Text text, const Text &alphabet)
{
    const int edits = 1 + random.bounded(6);
    for (int i = 0; i < edits && !text.isEmpty(); ++i) {
        const qsizetype at = random.bounded(int(text.size()));
        const auto c = alphabet.at(random.bounded(int(alphabet.size())));
        switch (random.bounded(4)) {
        case 0: text[at] = c; break;
        case 1: text.insert(at, c); break;
        case 2: text.remove(at, 1 + random.bounded(8)); break;
        default: text.truncate(at); break;
        }
    }
    return text;
}

QString randomText(QRandomGenerator &random)
{
    switch (random.bounded(3)) {
    case 0: return randomPieces(random, random.bounded(60));
    case 1: return randomCharacters(random, random.bounded(60));
    default: return mutated(random, PathCorpus.at(random.bounded(int(PathCorpus.size()))), QStringLiteral("MLZz-+.e0 5,("));
    }
}

bool finiteRects(const QList<QRectF> &rects)
{
    return std::all_of(rects.cbegin(), rects.cend(), isFiniteRect);
}

bool finiteShapes(const SvgShapeLists &shapes)
{
    const auto finiteLine = [](const QLineF &l) { return isFinitePoint(l.p1()) && isFinitePoint(l.p2()); };
    const auto finitePolyline = [](const QList<QPointF> &points) {
        return std::all_of(points.cbegin(), points.cend(), isFinitePoint);
    };
    return finiteRects(shapes.boxCandidates()) && finiteRects(shapes.headerBands())
        && std::all_of(shapes.segments().cbegin(), shapes.segments().cend(), finiteLine)
        && std::all_of(shapes.polylines().cbegin(), shapes.polylines().cend(), finitePolyline);
}

QString describeFailure(const RecognizedDiagram &out)
{
    for (qsizetype i = 0; i < out.entities.size(); ++i) {
        const RecognizedEntity &e = out.entities.at(i);
        if (!isFiniteRect(e.rect) || !isFiniteRect(e.headerRect) || !finiteRects(e.rowRects)
            || e.rowRects.size() > MaxSvgRowsPerEntity)
            return QStringLiteral("entity %1").arg(i);
    }
    for (const RecognizedLink &link : out.links) {
        if (link.oneIndex < 0 || link.manyIndex < 0 || link.oneIndex >= out.entities.size()
            || link.manyIndex >= out.entities.size() || !isFinitePoint(link.line.p1()) || !isFinitePoint(link.line.p2()))
            return QStringLiteral("link %1-%2").arg(link.oneIndex).arg(link.manyIndex);
    }
    for (const TextFragment &fragment : out.texts) {
        if (!isFiniteRect(fragment.rect))
            return QStringLiteral("text ") + fragment.text;
    }
    if (!finiteRects(out.manyMarkers) || !finiteRects(out.oneMarkers))
        return QStringLiteral("marks");
    return QString();
}

} // namespace

class TestSvgRobustness : public QObject
{
    Q_OBJECT

private slots:
    void readersGiveOnlyFiniteValues();
    void mutatedDrawingsGiveOnlyFiniteValues();
    void longInputsAreRead();
};

void TestSvgRobustness::readersGiveOnlyFiniteValues()
{
    QRandomGenerator random(20240607);
    for (int round = 0; round < 4000; ++round) {
        const QString numbers = randomText(random);
        const QList<double> list = parseNumberList(numbers);
        QVERIFY2(std::all_of(list.cbegin(), list.cend(), [](double v) { return std::isfinite(v); }), qPrintable(numbers));

        const QString transformText = random.bounded(2) ? randomText(random)
                                                        : QStringLiteral("translate(%1 %2) scale(%3)")
                                                              .arg(random.bounded(1e6)).arg(randomText(random))
                                                              .arg(std::pow(10.0, random.bounded(600) - 300));
        const QString d = randomText(random);
        SvgShapeLists shapes;
        parseSvgPathData(d, parseSvgTransform(transformText), shapes);
        QVERIFY2(finiteShapes(shapes), qPrintable(transformText + QLatin1String(" | ") + d));
    }
}

void TestSvgRobustness::mutatedDrawingsGiveOnlyFiniteValues()
{
    QList<QByteArray> drawings;
    for (const char *name : {"rects-and-lines", "groups-and-tspans", "paths", "untitled-boxes"}) {
        drawings.append(testsupport::readFileBytes(
            testsupport::dataPath(QStringLiteral("imageimport/data/svg/%1.svg").arg(QLatin1String(name)))));
        QVERIFY(!drawings.last().isEmpty());
    }
    const QByteArray alphabet = "<>/=\"' gtextrspan0123456789-.e,()";
    QRandomGenerator random(77);
    for (int round = 0; round < 300; ++round) {
        const QByteArray content = mutated(random, drawings.at(random.bounded(int(drawings.size()))), alphabet);
        RecognizedDiagram out;
        svgtest::readBytes(content, out);
        const QString failure = describeFailure(out);
        QVERIFY2(failure.isEmpty(), qPrintable(failure + QLatin1String(" in round ") + QString::number(round)));
    }
}

void TestSvgRobustness::longInputsAreRead()
{
    // Megabytes of digits, a path of 300,000 repeated lines, a text of two million characters,
    // a transform list that never closes: each read once, in time linear in its length.
    const QString digits(2000000, QLatin1Char('7'));
    QVERIFY(parseNumberList(digits).isEmpty());  // one number, too large to be finite
    SvgShapeLists shapes;
    parseSvgPathData(QStringLiteral("M") + digits, QTransform(), shapes);
    QVERIFY(shapes.polylines().isEmpty());

    QString zigzag = QStringLiteral("M0 0 L");
    for (int i = 0; i < 300000; ++i)
        zigzag += i % 2 ? QStringLiteral(" 0 0") : QStringLiteral(" 50 50");
    SvgShapeLists zigzagShapes;
    parseSvgPathData(zigzag, QTransform(), zigzagShapes);
    QVERIFY(zigzagShapes.polylines().isEmpty());  // more points than a polyline may have

    RecognizedDiagram out;
    QVERIFY(svgtest::readBytes(svgtest::document("<text x='0' y='20'>" + QByteArray(2000000, 'x') + "</text>"), out));
    QCOMPARE(out.texts.size(), 1);
    QCOMPARE(out.texts.first().rect.width(), 2000000 * 12 * 0.55);

    QString unclosed;
    for (int i = 0; i < 200000; ++i)
        unclosed += QStringLiteral("translate(");
    QCOMPARE(parseSvgTransform(unclosed), QTransform());
}

QTEST_GUILESS_MAIN(TestSvgRobustness)
#include "tst_svgrobustness.moc"
