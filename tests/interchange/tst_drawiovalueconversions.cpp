#include "drawioreader.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QtTest>

class TestDrawioValueConversions : public QObject
{
    Q_OBJECT

private slots:
    void boolAttributeAcceptsOnlyExactYesWords_data();
    void boolAttributeAcceptsOnlyExactYesWords();
    void arrowNamesGiveCardinalities_data();
    void arrowNamesGiveCardinalities();
    void edgeLabelStyleIsASubstringTest_data();
    void edgeLabelStyleIsASubstringTest();
    void htmlBecomesPlainText_data();
    void htmlBecomesPlainText();
    void tagRemovalMatchesTheTagExpression();
    void unclosedTagsTakeLinearTime();
    void cellLabelIsOneLine_data();
    void cellLabelIsOneLine();
    void firstLabelLineIsSimplified_data();
    void firstLabelLineIsSimplified();
};

void TestDrawioValueConversions::boolAttributeAcceptsOnlyExactYesWords_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("expected");
    QTest::newRow("TRUE") << "TRUE" << true;
    QTest::newRow("Yes") << "Yes" << true;
    QTest::newRow("1") << "1" << true;
    QTest::newRow("leading blank") << " 1" << false;
    QTest::newRow("trailing blank") << "yes " << false;
    QTest::newRow("2") << "2" << false;
    QTest::newRow("on") << "on" << false;
    QTest::newRow("no") << "no" << false;
    QTest::newRow("empty") << "" << false;
}

void TestDrawioValueConversions::boolAttributeAcceptsOnlyExactYesWords()
{
    QFETCH(QString, text);
    QFETCH(bool, expected);
    QCOMPARE(parseBoolAttribute(text), expected);
}

void TestDrawioValueConversions::arrowNamesGiveCardinalities_data()
{
    QTest::addColumn<QString>("arrow");
    QTest::addColumn<int>("expected");
    QTest::newRow("zero to many padded") << " ERzeroToMany " << 3;
    QTest::newRow("zero to one lower case") << "erzerotoone" << 2;
    QTest::newRow("many reads as zero or more") << "ERmany" << 3;
    QTest::newRow("one to many") << "ERoneToMany" << 1;
    QTest::newRow("mandatory one to many") << "ERmandOneToMany" << 1;
    QTest::newRow("mandatory one") << "ERmandOne" << 0;
    QTest::newRow("one") << "ERone" << 0;
    QTest::newRow("none") << "none" << 0;
    QTest::newRow("empty") << "" << 0;
}

void TestDrawioValueConversions::arrowNamesGiveCardinalities()
{
    QFETCH(QString, arrow);
    QFETCH(int, expected);
    QCOMPARE(cardinalityFromArrow(arrow), expected);
}

void TestDrawioValueConversions::edgeLabelStyleIsASubstringTest_data()
{
    QTest::addColumn<QString>("style");
    QTest::addColumn<bool>("expected");
    QTest::newRow("Text;") << "Text;" << true;
    QTest::newRow("text html") << "text;html=1;" << true;
    QTest::newRow("edge label") << "edgeLabel;html=1;" << true;
    QTest::newRow("shape text") << "shape=text;html=1;" << true;
    QTest::newRow("wrapped box") << "whiteSpace=wrap;html=1;" << false;
    QTest::newRow("text without semicolon") << "rounded=0;text" << false;
}

void TestDrawioValueConversions::edgeLabelStyleIsASubstringTest()
{
    QFETCH(QString, style);
    QFETCH(bool, expected);
    QCOMPARE(isEdgeLabelStyle(style), expected);
}

void TestDrawioValueConversions::htmlBecomesPlainText_data()
{
    QTest::addColumn<QString>("html");
    QTest::addColumn<QString>("expected");
    QTest::newRow("divs") << "<div>Name</div><div>id: int</div>" << "Name\nid: int";
    QTest::newRow("breaks") << "a<br/>b<BR>c" << "a\nb\nc";
    QTest::newRow("break with blank") << "a<br />b" << "a\nb";
    QTest::newRow("rules") << "a<hr>b<HR/>c" << "a\nb\nc";
    QTest::newRow("bold and nbsp") << "<b>PK</b>&nbsp;id" << "PK id";
    QTest::newRow("nested divs") << "<div><div>x</div></div>" << "x";
    QTest::newRow("nested blocks keep line feeds") << "<div><p>x</p></div>y" << "x\n\ny";
    QTest::newRow("lone angles taken for a tag") << "a < b > c" << "a  c";
    QTest::newRow("lone less-than") << "x < y" << "x < y";
    QTest::newRow("empty angle pair stays") << "a<>b" << "a<>b";
    QTest::newRow("empty pair then tag") << "<><b>c" << "<>c";
    QTest::newRow("less-than inside tag") << "a<<b>c" << "ac";
    QTest::newRow("unclosed after tag") << "<i>a</i> < b" << "a < b";
    QTest::newRow("hex line feed any case") << "a&#XA;b" << "a\nb";
    QTest::newRow("decimal line feed") << "a&#10;b" << "a\nb";
    QTest::newRow("break with attribute dropped") << "<br class=x>" << "";
    QTest::newRow("escaped tag is text") << "&lt;b&gt;" << "<b>";
    QTest::newRow("double escaped less-than") << "&amp;lt;" << "<";
    QTest::newRow("double escaped quote") << "&amp;quot;" << "\"";
    QTest::newRow("double escaped nbsp") << "&amp;nbsp;" << "&nbsp;";
    QTest::newRow("other references stay") << "&#39;&apos;&#x20;" << "&#39;&apos;&#x20;";
    QTest::newRow("upper-case lt stays") << "&LT;" << "&LT;";
    QTest::newRow("no-break space") << QString(QChar(0x00A0)) + "a" + QChar(0x00A0) << "a";
    QTest::newRow("runs of blanks stay") << " a   b " << "a   b";
    QTest::newRow("block end with blank is a tag") << "a</div >b" << "ab";
}

void TestDrawioValueConversions::htmlBecomesPlainText()
{
    QFETCH(QString, html);
    QFETCH(QString, expected);
    QCOMPARE(htmlToPlainText(html), expected);
}

// The forward scan that removes tags must give exactly what "<[^>]+>" gives.
void TestDrawioValueConversions::tagRemovalMatchesTheTagExpression()
{
    const QRegularExpression tag(QStringLiteral("<[^>]+>"));
    const QString alphabet = QStringLiteral("<>ab ");
    QRandomGenerator random(11);
    for (int round = 0; round < 5000; ++round) {
        QString text;
        const int length = random.bounded(12);
        for (int i = 0; i < length; ++i)
            text += alphabet.at(random.bounded(alphabet.size()));
        QString expected = text;
        expected.remove(tag);
        QCOMPARE(htmlToPlainText(text), expected.trimmed());
    }
}

void TestDrawioValueConversions::unclosedTagsTakeLinearTime()
{
    const QString text = QStringLiteral("a") + QString(4 * 1024 * 1024, QLatin1Char('<'));
    QElapsedTimer timer;
    timer.start();
    const QString plain = htmlToPlainText(text);
    QCOMPARE(plain.size(), text.size());
    QVERIFY2(timer.elapsed() < 5000, "removing tags rescans the text");

    const QString pairs = QString(QStringLiteral("<>")).repeated(1024 * 1024);
    QCOMPARE(htmlToPlainText(pairs), pairs);
}

void TestDrawioValueConversions::cellLabelIsOneLine_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("expected");
    QTest::newRow("two divs") << "<div>Orders</div><div>(table)</div>" << "Orders (table)";
    QTest::newRow("only markup") << "<div><br></div>" << "";
    QTest::newRow("blank runs") << "a \t  b\n\nc" << "a b c";
}

void TestDrawioValueConversions::cellLabelIsOneLine()
{
    QFETCH(QString, value);
    QFETCH(QString, expected);
    DrawioCell cell;
    cell.value = value;
    QCOMPARE(cellLabelText(cell), expected);
}

void TestDrawioValueConversions::firstLabelLineIsSimplified_data()
{
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("expected");
    QTest::newRow("break") << "Customer<br>id PK" << "Customer";
    QTest::newRow("blanks") << "  A   B  " << "A B";
    QTest::newRow("leading empty block") << "<div><br></div><div>Title</div><div>x</div>" << "Title";
    QTest::newRow("empty") << "" << "";
}

void TestDrawioValueConversions::firstLabelLineIsSimplified()
{
    QFETCH(QString, label);
    QFETCH(QString, expected);
    QCOMPARE(firstLabelLine(label), expected);
}

QTEST_GUILESS_MAIN(TestDrawioValueConversions)
#include "tst_drawiovalueconversions.moc"
