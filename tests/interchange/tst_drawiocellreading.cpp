#include "drawioreader.h"

#include <QtTest>

#include <cstring>

namespace {

QByteArray model(const QByteArray &rootContent)
{
    return "<mxGraphModel><root>" + rootContent + "</root></mxGraphModel>";
}

// One table of a large model, with the markup a plain scan of the text must step over:
// a comment and CDATA holding tags, a processing instruction, ">" and "/>" inside quoted
// values, an object wrapper with placeholders, nested cells and loose text.
QByteArray modelBlock(int number, const QByteArray &entity = "Table")
{
    const QByteArray n = QByteArray::number(number);
    QByteArray block = "\n<!-- <mxCell id=\"fake" + n + "\"/> </root> -->\n"
        "<mxCell id=\"t" + n + "\" value=\"&" + entity + ";" + n + "\" style=\"shape=table;a=\'/>\'\" vertex=\"1\" parent=\"1\">"
        "<mxGeometry x=\"" + n + ".5\" y=\"20\" width=\"200\" height=\"90\" as=\"geometry\"/></mxCell>\n"
        "<?page " + n + " > ?>"
        "<object id=\"o" + n + "\" label=\"%name% &gt; %type%\" name=\"col" + n + "\" type=\"INT\" pk=\"1\">"
        "<mxCell vertex=\"1\" parent=\"t" + n + "\" style=\"text;\"><![CDATA[<root>]]></mxCell></object>\n"
        "<mxCell id=\"r" + n + "\" parent=\"t" + n + "\" vertex=\"1\">loose text"
        "<mxCell id=\"k" + n + "\" value=\"PK\" vertex=\"1\"/></mxCell>\n";
    return block + QByteArray(1200, ' ');
}

QStringList cellLines(const QList<DrawioCell> &cells)
{
    QStringList lines;
    for (const DrawioCell &cell : cells)
        lines.append(QStringList{cell.id, cell.parent, cell.value, cell.style, QString::number(cell.x)}
                         .join(QLatin1Char('|')));
    return lines;
}

} // namespace

class TestDrawioCellReading : public QObject
{
    Q_OBJECT

private slots:
    void defaultRootCells();
    void cellAttributesAndGeometry_data();
    void cellAttributesAndGeometry();
    void objectWrappersLendIdLabelAndKeys();
    void placeholdersFillFromWrapperAttributes();
    void nestedCellsComeBeforeTheirContainer();
    void cellsWithoutIdAreDropped();
    void unclosedRootKeepsTheCellsRead();
    void inputWithoutRootReadsNothing();
    void deepNestingIsCutOffWithoutCrashing_data();
    void deepNestingIsCutOffWithoutCrashing();
    void nonFiniteGeometryReadsAsZero_data();
    void nonFiniteGeometryReadsAsZero();
    void geometryNumbersReadAsToDoubleDoes_data();
    void geometryNumbersReadAsToDoubleDoes();
    void placeholderChainIsBounded();
    void largeModelsReadAsOneReaderReadsThem_data();
    void largeModelsReadAsOneReaderReadsThem();
    void placeholderGrowthIsBoundedOverTheModel();
};

void TestDrawioCellReading::defaultRootCells()
{
    QList<DrawioCell> cells;
    QVERIFY(parseMxGraphXml(model(R"x(<mxCell id="0"/><mxCell id="1" parent="0"/>)x"), &cells));
    QCOMPARE(cells.size(), 2);
    QCOMPARE(cells.at(0).id, QStringLiteral("0"));
    QVERIFY(cells.at(0).parent.isEmpty());
    QCOMPARE(cells.at(1).parent, QStringLiteral("0"));
}

void TestDrawioCellReading::cellAttributesAndGeometry_data()
{
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("vertex");
    QTest::addColumn<bool>("edge");
    QTest::addColumn<QList<double>>("geometry");

    const QList<double> defaults{0, 0, 180, 40};
    QTest::newRow("vertex true is not a vertex")
        << QByteArray(R"x(<mxCell id="a" vertex="true" value="v"/>)x") << "v" << false << false << defaults;
    QTest::newRow("vertex and edge")
        << QByteArray(R"x(<mxCell id="a" vertex="1" edge="1"/>)x") << "" << true << true << defaults;
    QTest::newRow("label when no value")
        << QByteArray(R"x(<mxCell id="a" label="L"/>)x") << "L" << false << false << defaults;
    QTest::newRow("value before label")
        << QByteArray(R"x(<mxCell id="a" value="V" label="L"/>)x") << "V" << false << false << defaults;
    QTest::newRow("width only")
        << QByteArray(R"x(<mxCell id="a"><mxGeometry width="120" as="geometry"/></mxCell>)x") << ""
        << false << false << QList<double>{0, 0, 120, 40};
    QTest::newRow("empty attributes give defaults")
        << QByteArray(R"x(<mxCell id="a"><mxGeometry x="" width="" height="7"/></mxCell>)x") << ""
        << false << false << QList<double>{0, 0, 180, 7};
    QTest::newRow("unconvertible gives zero")
        << QByteArray(R"x(<mxCell id="a"><mxGeometry x="abc" y="12.5" width="w"/></mxCell>)x") << ""
        << false << false << QList<double>{0, 12.5, 0, 40};
    QTest::newRow("second geometry replaces the first")
        << QByteArray(R"x(<mxCell id="a"><mxGeometry x="5" y="6"/><mxGeometry width="10"/></mxCell>)x")
        << "" << false << false << QList<double>{0, 0, 10, 40};
    QTest::newRow("geometry children skipped")
        << QByteArray(R"x(<mxCell id="a"><mxGeometry x="1" y="2"><mxPoint x="9" y="9"/><Array as="points"><mxPoint x="8"/></Array></mxGeometry></mxCell>)x")
        << "" << false << false << QList<double>{1, 2, 180, 40};
    QTest::newRow("element text as value")
        << QByteArray(R"x(<mxCell id="a">word<mxGeometry x="3"/></mxCell>)x") << "word" << false
        << false << QList<double>{3, 0, 180, 40};
}

void TestDrawioCellReading::cellAttributesAndGeometry()
{
    QFETCH(QByteArray, xml);
    QFETCH(QString, value);
    QFETCH(bool, vertex);
    QFETCH(bool, edge);
    QFETCH(QList<double>, geometry);

    QList<DrawioCell> cells;
    QVERIFY(parseMxGraphXml(model(xml), &cells));
    QCOMPARE(cells.size(), 1);
    const DrawioCell &cell = cells.first();
    QCOMPARE(cell.value, value);
    QCOMPARE(cell.vertex, vertex);
    QCOMPARE(cell.edge, edge);
    QCOMPARE((QList<double>{cell.x, cell.y, cell.width, cell.height}), geometry);
}

void TestDrawioCellReading::objectWrappersLendIdLabelAndKeys()
{
    QList<DrawioCell> cells;
    QVERIFY(parseMxGraphXml(model(R"x(
        <object id="w1" label="Wrapped"><mxCell vertex="1" parent="1" style="s"/></object>
        <UserObject id="w2" name="  Name  " type=" INT " primaryKey="TRUE" foreignKey="1" unique="yes" parent="p2">
            <mxCell vertex="1"/>
        </UserObject>
        <object id="w3" name="code" dataType="CHAR(3)" pk="1" fk="no" uk="0"><mxCell id="own" parent="x" value="kept"/></object>
        <object id="w4" label="  "><mxCell/></object>
    )x"), &cells));

    QCOMPARE(cells.size(), 4);
    const DrawioCell &first = cells.at(0);
    QCOMPARE(first.id, QStringLiteral("w1"));
    QCOMPARE(first.value, QStringLiteral("Wrapped"));
    QCOMPARE(first.parent, QStringLiteral("1"));
    QCOMPARE(first.style, QStringLiteral("s"));

    const DrawioCell &second = cells.at(1);
    QCOMPARE(second.id, QStringLiteral("w2"));
    QCOMPARE(second.value, QStringLiteral("Name : INT PK FK UK"));
    QCOMPARE(second.parent, QStringLiteral("p2"));
    QVERIFY(second.primaryKey && second.foreignKey && second.unique);

    const DrawioCell &third = cells.at(2);
    QCOMPARE(third.id, QStringLiteral("own"));
    QCOMPARE(third.value, QStringLiteral("kept"));
    QCOMPARE(third.parent, QStringLiteral("x"));
    QVERIFY(third.primaryKey);
    QVERIFY(!third.foreignKey && !third.unique);

    QCOMPARE(cells.at(3).id, QStringLiteral("w4"));
    QVERIFY(cells.at(3).value.isEmpty());
}

void TestDrawioCellReading::placeholdersFillFromWrapperAttributes()
{
    QList<DrawioCell> cells;
    QVERIFY(parseMxGraphXml(model(R"x(
        <object id="o" label="%name% : %type% (%id%, %label%, %Name%)" name="amount" type="NUMERIC">
            <mxCell vertex="1"/>
        </object>)x"), &cells));
    QCOMPARE(cells.size(), 1);
    QCOMPARE(cells.first().value, QStringLiteral("amount : NUMERIC (%id%, %label%, %Name%)"));
}

void TestDrawioCellReading::nestedCellsComeBeforeTheirContainer()
{
    QList<DrawioCell> cells;
    QVERIFY(parseMxGraphXml(model(R"x(
        <mxCell id="outer"><mxCell id="inner"/><object id="obj"><mxCell/></object></mxCell>
        <wrapper><mxCell id="wrapped"/></wrapper>
        <object id="o2" parent="op"><object id="o3"><mxCell/></object><mxCell id="c2"/></object>)x"),
                            &cells));
    QStringList order;
    QStringList parents;
    for (const DrawioCell &cell : std::as_const(cells)) {
        order << cell.id;
        parents << cell.parent;
    }
    QCOMPARE(order, (QStringList{"inner", "obj", "outer", "wrapped", "o3", "c2"}));
    QCOMPARE(parents, (QStringList{"outer", "outer", "", "", "o2", "op"}));
}

void TestDrawioCellReading::cellsWithoutIdAreDropped()
{
    QList<DrawioCell> cells;
    QVERIFY(parseMxGraphXml(model(R"x(<mxCell value="x"><mxCell id="kept"/></mxCell>)x"), &cells));
    QCOMPARE(cells.size(), 1);
    QCOMPARE(cells.first().id, QStringLiteral("kept"));
    QCOMPARE(cells.first().parent, QString());

    QVERIFY(!parseMxGraphXml(model(R"x(<mxCell value="x"/>)x"), &cells));
    QVERIFY(cells.isEmpty());
}

void TestDrawioCellReading::unclosedRootKeepsTheCellsRead()
{
    QList<DrawioCell> cells;
    QVERIFY(parseMxGraphXml(R"x(<mxGraphModel><root><mxCell id="0"/><mxCell id="1" parent="0"/><mxCell id="2" va)x",
                            &cells));
    QCOMPARE(cells.size(), 2);
}

void TestDrawioCellReading::inputWithoutRootReadsNothing()
{
    QList<DrawioCell> cells;
    cells.append(DrawioCell());
    QVERIFY(!parseMxGraphXml(R"x(<mxGraphModel><mxCell id="0"/></mxGraphModel>)x", &cells));
    QVERIFY(cells.isEmpty());
    QVERIFY(!parseMxGraphXml(QByteArray(), &cells));
    QVERIFY(!parseMxGraphXml("\x89PNG\r\n\x1a\n", &cells));
}

void TestDrawioCellReading::deepNestingIsCutOffWithoutCrashing_data()
{
    QTest::addColumn<QByteArray>("open");
    QTest::addColumn<QByteArray>("close");
    QTest::newRow("mxCell") << QByteArray("<mxCell id=\"n\">") << QByteArray("</mxCell>");
    QTest::newRow("object") << QByteArray("<object id=\"n\"><mxCell/>") << QByteArray("</object>");
    QTest::newRow("UserObject") << QByteArray("<UserObject id=\"n\"><mxCell/>") << QByteArray("</UserObject>");
}

void TestDrawioCellReading::deepNestingIsCutOffWithoutCrashing()
{
    QFETCH(QByteArray, open);
    QFETCH(QByteArray, close);
    const int depth = 100000;
    QByteArray xml = "<mxGraphModel><root><mxCell id=\"first\"/>";
    xml.reserve(xml.size() + depth * (open.size() + close.size()) + 100);
    for (int i = 0; i < depth; ++i)
        xml += open;
    for (int i = 0; i < depth; ++i)
        xml += close;
    xml += "<mxCell id=\"last\"/></root></mxGraphModel>";

    QList<DrawioCell> cells;
    QVERIFY(parseMxGraphXml(xml, &cells));
    QCOMPARE(cells.first().id, QStringLiteral("first"));
    QCOMPARE(cells.last().id, QStringLiteral("last"));
    QVERIFY(cells.size() > 2);
    QVERIFY(cells.size() <= 2 + DrawioMaxCellNesting);
}

void TestDrawioCellReading::nonFiniteGeometryReadsAsZero_data()
{
    QTest::addColumn<QByteArray>("number");
    QTest::newRow("inf") << QByteArray("inf");
    QTest::newRow("negative inf") << QByteArray("-inf");
    QTest::newRow("nan") << QByteArray("nan");
    QTest::newRow("overflow") << QByteArray("1e999");
}

void TestDrawioCellReading::nonFiniteGeometryReadsAsZero()
{
    QFETCH(QByteArray, number);
    QList<DrawioCell> cells;
    QVERIFY(parseMxGraphXml(model("<mxCell id=\"a\"><mxGeometry x=\"" + number + "\" y=\"" + number
                                  + "\" width=\"" + number + "\" height=\"" + number + "\"/></mxCell>"),
                            &cells));
    const DrawioCell &cell = cells.first();
    QCOMPARE((QList<double>{cell.x, cell.y, cell.width, cell.height}), (QList<double>{0, 0, 0, 0}));
}

// Plain decimals take a quicker road than other numbers; both must give the double
// QString::toDouble gives, to the last bit.
void TestDrawioCellReading::geometryNumbersReadAsToDoubleDoes_data()
{
    QTest::addColumn<QByteArray>("number");
    for (const char *number : {"245.5", "-30", "0.1", "0.3", "1234.5678", "-0", "-0.0", "007.50",
                               "123456789012345", "0.123456789012345", "1234567890123456",
                               "9007199254740993", "0.30000000000000004", "5.", ".5", "1e3", "+7",
                               " 12", "1,5", "-", "2.5e-3"}) {
        QTest::newRow(number) << QByteArray(number);
    }
}

void TestDrawioCellReading::geometryNumbersReadAsToDoubleDoes()
{
    QFETCH(QByteArray, number);
    QList<DrawioCell> cells;
    QVERIFY(parseMxGraphXml(model("<mxCell id=\"a\"><mxGeometry x=\"" + number + "\"/></mxCell>"), &cells));
    bool ok = false;
    double expected = QString::fromLatin1(number).toDouble(&ok);
    if (!ok)
        expected = 0;
    // Bit for bit: QCOMPARE on doubles forgives the last digits.
    const auto bits = [](double value) {
        quint64 pattern = 0;
        std::memcpy(&pattern, &value, sizeof pattern);
        return pattern;
    };
    QCOMPARE(bits(cells.first().x), bits(expected));
}

// Models of a few MiB are read in pieces on several threads; the cells must be those one
// reader finds, block by block, also where the text stops a reader part way.
void TestDrawioCellReading::largeModelsReadAsOneReaderReadsThem_data()
{
    QTest::addColumn<QByteArray>("between");   // markup put between block 1500 and 1501
    QTest::addColumn<int>("blocksRead");        // blocks read before it stops, of 3000
    QTest::addColumn<bool>("closed");           // the root and model are closed

    QTest::newRow("whole") << QByteArray() << 3000 << true;
    QTest::newRow("cut off") << QByteArray() << 1500 << false;
    QTest::newRow("a root inside the root") << QByteArray("<group><root/></group>") << 1500 << true;
    QTest::newRow("an undeclared prefix") << QByteArray("<x:mxCell id=\"x\"/>") << 1500 << true;
    QTest::newRow("a stray end tag") << QByteArray("</group>") << 1500 << true;
}

void TestDrawioCellReading::largeModelsReadAsOneReaderReadsThem()
{
    QFETCH(QByteArray, between);
    QFETCH(int, blocksRead);
    QFETCH(bool, closed);

    // The entity comes from the document type, which only the single reader may read.
    for (const QByteArray &doctype : {QByteArray(), QByteArray("<!DOCTYPE m [<!ENTITY Entity \"Table\">]>")}) {
        const QByteArray entity = doctype.isEmpty() ? "amp" : "Entity";
        QByteArray text = doctype + "<mxGraphModel><root><mxCell id=\"0\"/><mxCell id=\"1\" parent=\"0\"/>";
        QStringList expected{"0||||0", "1|0|||0"};
        for (int block = 0; block < 3000; ++block) {
            if (block == 1500)
                text += between;
            if (!closed && block == 1500)
                break;
            text += modelBlock(block, entity);
            if (block < blocksRead) {
                QList<DrawioCell> alone;
                QVERIFY(parseMxGraphXml(doctype + model(modelBlock(block, entity)), &alone));
                expected += cellLines(alone);
            }
        }
        if (closed)
            text += "</root></mxGraphModel>";
        QVERIFY(text.size() > 2 * 1024 * 1024);

        QList<DrawioCell> cells;
        QVERIFY(parseMxGraphXml(text, &cells));
        QCOMPARE(cellLines(cells), expected);
    }
}

// Thirty attributes, each holding the next one's placeholder twice: filled without
// bound, the label would hold 2^30 copies of the last value.
void TestDrawioCellReading::placeholderChainIsBounded()
{
    QByteArray attributes;
    for (int i = 0; i < 30; ++i)
        attributes += " a" + QByteArray::number(i) + "=\"%a" + QByteArray::number(i + 1) + "%%a"
                      + QByteArray::number(i + 1) + "%\"";
    attributes += " a30=\"end\"";
    QList<DrawioCell> cells;
    QVERIFY(parseMxGraphXml(model("<object id=\"o\" label=\"%a0%\"" + attributes + "><mxCell/></object>"),
                            &cells));
    const QString value = cells.first().value;
    QVERIFY(value.size() <= DrawioMaxFilledLabelLength);
    QVERIFY(value.contains(QStringLiteral("%a")));
}

void TestDrawioCellReading::placeholderGrowthIsBoundedOverTheModel()
{
    const QByteArray big(60000, 'x');
    QByteArray root;
    const int objects = 400; // 400 x 60000 characters is past the whole-model bound
    for (int i = 0; i < objects; ++i)
        root += "<object id=\"o" + QByteArray::number(i) + "\" label=\"%v%\" v=\"" + big + "\"><mxCell/></object>";
    QList<DrawioCell> cells;
    QVERIFY(parseMxGraphXml(model(root), &cells));
    QCOMPARE(cells.size(), objects);
    qsizetype filled = 0;
    for (const DrawioCell &cell : std::as_const(cells))
        filled += cell.value == QLatin1String("%v%") ? 0 : cell.value.size();
    QVERIFY(filled > 0);
    QVERIFY(filled <= DrawioMaxPlaceholderGrowth + objects * 3);
    QCOMPARE(cells.last().value, QStringLiteral("%v%"));
}

QTEST_GUILESS_MAIN(TestDrawioCellReading)
#include "tst_drawiocellreading.moc"
