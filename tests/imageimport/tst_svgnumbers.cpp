#include "svgshapereader.h"

#include <QXmlStreamReader>
#include <QtTest>

class TestSvgNumbers : public QObject
{
    Q_OBJECT

private slots:
    void numberAttribute_data();
    void numberAttribute();
    void numberList_data();
    void numberList();
    void transformList_data();
    void transformList();
};

void TestSvgNumbers::numberAttribute_data()
{
    QTest::addColumn<QString>("element");
    QTest::addColumn<double>("value");
    QTest::newRow("absent") << QStringLiteral("<e/>") << 12.0;
    QTest::newRow("empty") << QStringLiteral("<e a=''/>") << 12.0;
    QTest::newRow("two blanks") << QStringLiteral("<e a='  '/>") << 0.0;
    QTest::newRow("plain") << QStringLiteral("<e a='3.5'/>") << 3.5;
    QTest::newRow("blanks around") << QStringLiteral("<e a=' -3.5 '/>") << -3.5;
    QTest::newRow("exponent") << QStringLiteral("<e a='2e2'/>") << 200.0;
    QTest::newRow("minus zero") << QStringLiteral("<e a='-0'/>") << 0.0;
    QTest::newRow("unit") << QStringLiteral("<e a='10px'/>") << 0.0;
    QTest::newRow("percent") << QStringLiteral("<e a='50%'/>") << 0.0;
    QTest::newRow("two numbers") << QStringLiteral("<e a='1 2'/>") << 0.0;
    QTest::newRow("inf") << QStringLiteral("<e a='inf'/>") << 0.0;
    QTest::newRow("minus inf") << QStringLiteral("<e a='-inf'/>") << 0.0;
    QTest::newRow("nan") << QStringLiteral("<e a='nan'/>") << 0.0;
    QTest::newRow("overflow") << QStringLiteral("<e a='1e999'/>") << 0.0;
    QTest::newRow("underflow") << QStringLiteral("<e a='1e-999'/>") << 0.0;
    QTest::newRow("another attribute") << QStringLiteral("<e b='5'/>") << 12.0;
}

void TestSvgNumbers::numberAttribute()
{
    QFETCH(QString, element);
    QFETCH(double, value);
    QXmlStreamReader reader(element);
    QCOMPARE(reader.readNext(), QXmlStreamReader::StartDocument);
    QCOMPARE(reader.readNext(), QXmlStreamReader::StartElement);
    QCOMPARE(readNumberAttribute(reader, QLatin1StringView("a"), 12.0), value);
}

void TestSvgNumbers::numberList_data()
{
    using Numbers = QList<double>;
    QTest::addColumn<QString>("text");
    QTest::addColumn<Numbers>("numbers");
    QTest::newRow("separators and signs") << QStringLiteral("10,20 30-40") << Numbers{10, 20, 30, -40};
    QTest::newRow("second point starts a number") << QStringLiteral("1.5.5") << Numbers{1.5, 0.5};
    QTest::newRow("exponent") << QStringLiteral("1e3") << Numbers{1000};
    QTest::newRow("signed exponent") << QStringLiteral("1.5E-1,+2") << Numbers{0.15, 2};
    QTest::newRow("no digit") << QStringLiteral("none here") << Numbers{};
    QTest::newRow("empty") << QString() << Numbers{};
    QTest::newRow("trailing exponent mark") << QStringLiteral("10 20e") << Numbers{10};
    QTest::newRow("trailing signed exponent mark") << QStringLiteral("10 20e-") << Numbers{10};
    // Refused by the conversion: the scan goes on one character after the candidate.
    QTest::newRow("arabic-indic digits") << QStringLiteral("\u0661\u0662,7") << Numbers{7};
    QTest::newRow("lone sign") << QStringLiteral("- 5") << Numbers{5};
    QTest::newRow("lone point") << QStringLiteral(". 5") << Numbers{5};
    QTest::newRow("point and digits") << QStringLiteral("+.5 -.5") << Numbers{0.5, -0.5};
    QTest::newRow("nan") << QStringLiteral("nan 4") << Numbers{4};
    QTest::newRow("inf") << QStringLiteral("inf -inf") << Numbers{};
    QTest::newRow("overflow skips the next character") << QStringLiteral("1e999 2 3") << Numbers{2, 3};
    QTest::newRow("overflow glued to the next") << QStringLiteral("1e999,2") << Numbers{2};
}

void TestSvgNumbers::numberList()
{
    QFETCH(QString, text);
    QFETCH(QList<double>, numbers);
    QCOMPARE(parseNumberList(text), numbers);
}

void TestSvgNumbers::transformList_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QPointF>("point");
    QTest::addColumn<QPointF>("mapped");
    QTest::newRow("empty") << QString() << QPointF(3, 4) << QPointF(3, 4);
    QTest::newRow("translate, one number") << QStringLiteral("translate(10)") << QPointF(1, 1) << QPointF(11, 1);
    QTest::newRow("translate, space before") << QStringLiteral("translate (3 4)") << QPointF(0, 0) << QPointF(3, 4);
    QTest::newRow("scale, one number") << QStringLiteral("scale(2)") << QPointF(1, 3) << QPointF(2, 6);
    QTest::newRow("scale, two numbers") << QStringLiteral("scale(2,3)") << QPointF(1, 1) << QPointF(2, 3);
    QTest::newRow("scale 0") << QStringLiteral("scale(0)") << QPointF(7, 9) << QPointF(0, 0);
    QTest::newRow("rotate about a point") << QStringLiteral("rotate(90, 10, 10)") << QPointF(20, 10) << QPointF(10, 20);
    QTest::newRow("rotate, second number ignored") << QStringLiteral("rotate(90, 10)") << QPointF(20, 10)
                                                   << QPointF(-10, 20);
    QTest::newRow("last entry applies first") << QStringLiteral("translate(10,0) scale(2)") << QPointF(5, 0)
                                              << QPointF(20, 0);
    QTest::newRow("matrix") << QStringLiteral("matrix(1 0 0 1 5 7)") << QPointF(0, 0) << QPointF(5, 7);
    QTest::newRow("matrix terms") << QStringLiteral("matrix(1,2,3,4,5,6)") << QPointF(1, 1) << QPointF(9, 12);
    QTest::newRow("matrix, seventh number ignored") << QStringLiteral("matrix(2,0,0,2,0,0,9)") << QPointF(1, 1)
                                                    << QPointF(2, 2);
    QTest::newRow("matrix with five numbers") << QStringLiteral("matrix(1 0 0 1 5)") << QPointF(1, 1) << QPointF(1, 1);
    QTest::newRow("no number") << QStringLiteral("rotate()") << QPointF(1, 2) << QPointF(1, 2);
    QTest::newRow("skew") << QStringLiteral("skewX(30)") << QPointF(1, 2) << QPointF(1, 2);
    QTest::newRow("skew between") << QStringLiteral("translate(5,5) skewX(30)") << QPointF(0, 0) << QPointF(5, 5);
    QTest::newRow("unknown function") << QStringLiteral("shift(4) scale(3)") << QPointF(1, 1) << QPointF(3, 3);
    QTest::newRow("names are case-sensitive") << QStringLiteral("Translate(5)") << QPointF(1, 1) << QPointF(1, 1);
    QTest::newRow("nested parentheses") << QStringLiteral("translate(scale(2) 5)") << QPointF(1, 1) << QPointF(1, 1);
    QTest::newRow("not closed") << QStringLiteral("scale(2) translate(5") << QPointF(1, 1) << QPointF(2, 2);
    QTest::newRow("singular") << QStringLiteral("matrix(1 1 1 1 0 0)") << QPointF(2, 3) << QPointF(5, 5);
    QTest::newRow("word as argument") << QStringLiteral("translate(a, 4)") << QPointF(1, 1) << QPointF(1, 5);
    QTest::newRow("inf argument") << QStringLiteral("translate(inf, 4)") << QPointF(1, 1) << QPointF(1, 5);
    QTest::newRow("nan argument") << QStringLiteral("scale(nan)") << QPointF(3, 3) << QPointF(0, 0);
    QTest::newRow("overflowing argument") << QStringLiteral("translate(2, 1e999)") << QPointF(1, 1) << QPointF(3, 1);
    QTest::newRow("overflowing angle") << QStringLiteral("rotate(1e999) translate(1)") << QPointF(1, 1)
                                       << QPointF(2, 1);
}

void TestSvgNumbers::transformList()
{
    QFETCH(QString, text);
    QFETCH(QPointF, point);
    QFETCH(QPointF, mapped);
    QCOMPARE(parseSvgTransform(text).map(point), mapped);
}

QTEST_GUILESS_MAIN(TestSvgNumbers)
#include "tst_svgnumbers.moc"
