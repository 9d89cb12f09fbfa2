#include "mermaidreader.h"

#include <QtTest>

class TestMermaidCardinality : public QObject
{
    Q_OBJECT

private slots:
    void readsSymbols_data();
    void readsSymbols();
    void readsWords_data();
    void readsWords();
    void writesSymbols_data();
    void writesSymbols();
    void writtenSymbolsReadBack();
    void formsMayNotBeMixed_data();
    void formsMayNotBeMixed();
};

void TestMermaidCardinality::readsSymbols_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("matches");
    QTest::addColumn<int>("card");
    QTest::addColumn<int>("end");

    QTest::newRow("||") << "||--" << true << 0 << 2;
    QTest::newRow("|o") << "|o--" << true << 2 << 2;
    QTest::newRow("o|") << "o| B" << true << 2 << 2;
    QTest::newRow("}|") << "}|--" << true << 1 << 2;
    QTest::newRow("|{") << "|{ B" << true << 1 << 2;
    QTest::newRow("}o") << "}o--" << true << 3 << 2;
    QTest::newRow("o{") << "o{ B" << true << 3 << 2;
    QTest::newRow("after blanks and a comment") << "  %% c\n  o{" << true << 3 << 11;
    QTest::newRow("upper-case O is no symbol") << "O{" << false << 0 << 0;
    QTest::newRow("single character") << "|" << false << 0 << 0;
    QTest::newRow("connector") << "--" << false << 0 << 0;
}

void TestMermaidCardinality::readsSymbols()
{
    QFETCH(QString, text);
    QFETCH(bool, matches);
    QFETCH(int, card);
    QFETCH(int, end);

    int pos = 0;
    int got = -1;
    QCOMPARE(matchCardinalitySymbol(text, pos, got), matches);
    if (matches) {
        QCOMPARE(got, card);
        QCOMPARE(pos, end);
    }
}

void TestMermaidCardinality::readsWords_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("matches");
    QTest::addColumn<int>("card");
    QTest::addColumn<int>("end");

    QTest::newRow("one or zero") << "One Or Zero B" << true << 2 << 11;
    QTest::newRow("zero or one") << "ZERO OR ONE" << true << 2 << 11;
    QTest::newRow("one or more") << "one or MORE to" << true << 1 << 11;
    QTest::newRow("one or many") << "one or many" << true << 1 << 11;
    QTest::newRow("zero or more") << "Zero or more B" << true << 3 << 12;
    QTest::newRow("zero or many") << "zero OR many" << true << 3 << 12;
    QTest::newRow("only one") << "ONLY ONE to" << true << 0 << 8;
    QTest::newRow("many(1)") << "MANY(1) to" << true << 1 << 7;
    QTest::newRow("many(0)") << "many(0) to" << true << 3 << 7;
    QTest::newRow("1+") << "1+ to" << true << 1 << 2;
    QTest::newRow("0+") << "0+" << true << 3 << 2;
    QTest::newRow("word followed by punctuation") << "only one: x" << true << 0 << 8;
    QTest::newRow("only ones") << "only ones" << false << 0 << 0;
    QTest::newRow("word followed by a digit") << "0+1" << false << 0 << 0;
    QTest::newRow("word followed by a non-ASCII letter") << QString::fromUtf8("only oneé") << false << 0 << 0;
    QTest::newRow("1 then blank") << "1 to" << true << 0 << 1;
    QTest::newRow("1 then colon") << "1:x" << true << 0 << 1;
    QTest::newRow("1 at the end") << "1" << true << 0 << 1;
    QTest::newRow("1 then plus is 1+") << "1+" << true << 1 << 2;
    QTest::newRow("1 then digit") << "12 to" << false << 0 << 0;
    QTest::newRow("1 then letter") << "1a to" << false << 0 << 0;
    QTest::newRow("symbol is no word") << "||" << false << 0 << 0;
}

void TestMermaidCardinality::readsWords()
{
    QFETCH(QString, text);
    QFETCH(bool, matches);
    QFETCH(int, card);
    QFETCH(int, end);

    int pos = 0;
    int got = -1;
    QCOMPARE(matchCardinalityWord(text, pos, got), matches);
    if (matches) {
        QCOMPARE(got, card);
        QCOMPARE(pos, end);
    }
}

void TestMermaidCardinality::writesSymbols_data()
{
    QTest::addColumn<int>("card");
    QTest::addColumn<QString>("left");
    QTest::addColumn<QString>("right");

    QTest::newRow("exactly one") << 0 << "||" << "||";
    QTest::newRow("one or more") << 1 << "}|" << "|{";
    QTest::newRow("zero or one") << 2 << "|o" << "o|";
    QTest::newRow("zero or more") << 3 << "}o" << "o{";
    QTest::newRow("above the range") << 7 << "}|" << "|{";
    QTest::newRow("negative") << -1 << "}|" << "|{";
}

void TestMermaidCardinality::writesSymbols()
{
    QFETCH(int, card);
    QFETCH(QString, left);
    QFETCH(QString, right);
    QCOMPARE(mermaidLeftCardinalitySymbol(card), left);
    QCOMPARE(mermaidRightCardinalitySymbol(card), right);
}

void TestMermaidCardinality::writtenSymbolsReadBack()
{
    for (int card = 0; card <= 3; ++card) {
        for (const QString &symbol :
             {mermaidLeftCardinalitySymbol(card), mermaidRightCardinalitySymbol(card)}) {
            int pos = 0;
            int got = -1;
            QVERIFY(matchCardinalitySymbol(symbol, pos, got));
            QCOMPARE(got, card);
        }
    }
}

void TestMermaidCardinality::formsMayNotBeMixed_data()
{
    QTest::addColumn<QString>("line");

    QTest::newRow("symbol then word") << "A ||--zero or more B";
    QTest::newRow("word then symbol") << "A only one to o{ B";
}

void TestMermaidCardinality::formsMayNotBeMixed()
{
    QFETCH(QString, line);
    QList<MermaidEntity> entities;
    QList<MermaidRelationship> relationships;
    QVERIFY(readMermaidText(QStringLiteral("erDiagram\n") + line, &entities, &relationships, nullptr));
    QVERIFY(relationships.isEmpty());
    QCOMPARE(entities.first().name, QStringLiteral("A"));
}

QTEST_GUILESS_MAIN(TestMermaidCardinality)
#include "tst_mermaidcardinality.moc"
