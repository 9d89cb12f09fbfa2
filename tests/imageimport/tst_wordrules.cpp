#include "recognitionsteps.h"

#include <QtTest>

namespace {

const QString NoBreak(QChar(0x00A0));

} // namespace

class TestWordRules : public QObject
{
    Q_OBJECT

private slots:
    void cleaning_data();
    void cleaning();
    void idColumnNames_data();
    void idColumnNames();
    void misreadWords_data();
    void misreadWords();
    void typeWords_data();
    void typeWords();
    void letterNoise_data();
    void letterNoise();
    void compactNamesAndStems_data();
    void compactNamesAndStems();
    void foreignKeyScores_data();
    void foreignKeyScores();
    void megabyteStringsStayLinear();
};

void TestWordRules::cleaning_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("cleaned");
    QTest::newRow("no-break spaces and a run") << NoBreak + "a" + NoBreak + "   b" << "a b";
    QTest::newRow("runs of spaces") << "  a     b  c " << "a b c";
    QTest::newRow("tabs stay") << "a\t\tb" << "a\t\tb";
    QTest::newRow("only spaces") << "    " << "";
    QTest::newRow("only no-break spaces") << NoBreak + NoBreak << "";
    QTest::newRow("empty") << "" << "";
}

void TestWordRules::cleaning()
{
    QFETCH(QString, text);
    QFETCH(QString, cleaned);
    QCOMPARE(cleanRecognizedText(text), cleaned);
}

void TestWordRules::idColumnNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("id");
    QTest::newRow("ID") << "ID" << true;
    QTest::newRow("Id with spaces") << "  Id  " << true;
    QTest::newRow("order_id") << "order_id" << true;
    QTest::newRow("id_order") << "id_order" << true;
    QTest::newRow("idx") << "idx" << false;
    QTest::newRow("paid") << "paid" << false;
    QTest::newRow("orderid") << "orderid" << false;
    QTest::newRow("empty") << "" << false;
}

void TestWordRules::idColumnNames()
{
    QFETCH(QString, name);
    QFETCH(bool, id);
    QCOMPARE(isIdColumnName(name), id);
}

void TestWordRules::misreadWords_data()
{
    QTest::addColumn<QString>("word");
    QTest::addColumn<QString>("fixed");
    QTest::newRow("ld at the end") << "userld" << "userId";
    QTest::newRow("ld before a capital") << "userldName" << "userIdName";
    QTest::newRow("ld after a capital stays") << "userLld" << "userLld";
    QTest::newRow("lnfo") << "lnfo" << "Info";
    QTest::newRow("1d after a digit") << "team21d" << "team2Id";
    QTest::newRow("l before Id after m") << "teamlId" << "team1Id";
    QTest::newRow("lScore after m") << "teamlScore" << "team1score";
    QTest::newRow("emaiI") << "emaiI" << "email";
    QTest::newRow("EMAII") << "EMAII" << "email";
    QTest::newRow("EMAIL is read right") << "EMAIL" << "EMAIL";
    QTest::newRow("spaces removed") << "first name" << "firstname";
    QTest::newRow("no-break spaces removed") << "first" + NoBreak + "name" << "firstname";
    QTest::newRow("nothing to repair") << "order_line" << "order_line";
}

void TestWordRules::misreadWords()
{
    QFETCH(QString, word);
    QFETCH(QString, fixed);
    QCOMPARE(fixMisreadWord(word), fixed);
}

void TestWordRules::typeWords_data()
{
    QTest::addColumn<QString>("word");
    QTest::addColumn<bool>("type");
    const QStringList words{"int", "integer", "bigint", "smallint", "tinyint", "uuid", "guid", "serial",
                            "bigserial", "text", "varchar", "nvarchar", "char", "string", "bool",
                            "boolean", "bit", "date", "time", "datetime", "timestamp", "timestamptz",
                            "numeric", "decimal", "float", "double", "real", "money", "json", "jsonb",
                            "xml", "blob", "bytea", "unknown_type", "unknown", "undefined"};
    for (const QString &word : words) {
        QString mixed = word;
        mixed[0] = mixed.at(0).toUpper();
        QTest::addRow("%s", qPrintable(mixed)) << QStringLiteral(" %1 ").arg(mixed) << true;
    }
    QTest::newRow("VARCHAR(255)") << "VARCHAR(255)" << true;
    QTest::newRow("character") << "character" << true;
    QTest::newRow("integer4") << "integer4" << true;
    QTest::newRow("name") << "name" << false;
    QTest::newRow("in") << "in" << false;
    QTest::newRow("empty") << "" << false;
}

void TestWordRules::typeWords()
{
    QFETCH(QString, word);
    QFETCH(bool, type);
    QCOMPARE(startsWithTypeWord(word), type);
}

void TestWordRules::letterNoise_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("noise");
    QTest::newRow("IIII") << "IIII" << true;
    QTest::newRow("llll") << "llll" << true;
    QTest::newRow("iIiI1") << "iIiI1" << true;
    QTest::newRow("III") << "III" << false;
    QTest::newRow("IlIl") << "IlIl" << false;
    QTest::newRow("1111") << "1111" << false;
    QTest::newRow("spaced") << "l - l - l - l" << true;
    QTest::newRow("accented letters") << QStringLiteral("ÉéÉé") << true;
    QTest::newRow("Greek letters") << QStringLiteral("ΣσΣσ") << true;
    QTest::newRow("combining marks are ignored") << QStringLiteral("e\u0301e\u0301E\u0301e\u0301") << true;
    QTest::newRow("lone surrogates are no letters") << QString(4, QChar(0xD800)) << false;
    QTest::newRow("empty") << "" << false;
}

void TestWordRules::letterNoise()
{
    QFETCH(QString, text);
    QFETCH(bool, noise);
    QCOMPARE(isRepeatedLetterNoise(text), noise);
}

void TestWordRules::compactNamesAndStems_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("compact");
    QTest::addColumn<QString>("stem");
    QTest::newRow("Customer_ID") << "Customer_ID" << "customerid" << "customer";
    QTest::newRow("customers") << "customers" << "customers" << "customer";
    QTest::newRow("bus") << "bus" << "bus" << "bus";
    QTest::newRow("id") << "id" << "id" << "id";
    QTest::newRow("order ids") << "order ids" << "orderids" << "orderid";
    QTest::newRow("letters above 127") << QStringLiteral("Straße-Nr.") << QStringLiteral("straßenr")
                                       << QStringLiteral("straßenr");
    QTest::newRow("digits kept") << "Line 2 Items" << "line2items" << "line2item";
}

void TestWordRules::compactNamesAndStems()
{
    QFETCH(QString, name);
    QFETCH(QString, compact);
    QFETCH(QString, stem);
    QCOMPARE(compactLowerName(name), compact);
    QCOMPARE(nameStem(name), stem);
}

void TestWordRules::foreignKeyScores_data()
{
    QTest::addColumn<QString>("attribute");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QList<KeyRow>>("keys");
    QTest::addColumn<double>("score");
    QTest::newRow("equal stems and id") << "customer_id" << "Customers" << QList<KeyRow>{} << 14.0;
    QTest::newRow("stem begins the title") << "cust_id" << "Customer" << QList<KeyRow>{} << 6.0;
    QTest::newRow("id alone") << "id" << "Orders" << QList<KeyRow>{} << 0.0;
    QTest::newRow("no id ending") << "customer" << "Customers" << QList<KeyRow>{} << 12.0;
    QTest::newRow("key row beats the title")
        << "buyer_ref" << "Customers" << QList<KeyRow>{{"buyer_ref", "uuid"}} << 12.0;
    QTest::newRow("short stems never match") << "ab_id" << "ab" << QList<KeyRow>{} << 2.0;
}

void TestWordRules::foreignKeyScores()
{
    QFETCH(QString, attribute);
    QFETCH(QString, title);
    QFETCH(QList<KeyRow>, keys);
    QFETCH(double, score);
    QCOMPARE(foreignKeyMatchScore(attribute, title, keys), score);
}

// Strings of megabytes: a rule that rescanned for every character would not finish.
void TestWordRules::megabyteStringsStayLinear()
{
    const QString spaces(4 * 1024 * 1024, u' ');
    const QString runs = QString(QStringLiteral("a") + QString(63, u' ')).repeated(64 * 1024);
    const QString letters(4 * 1024 * 1024, u'l');
    QCOMPARE(cleanRecognizedText(spaces), QString());
    QCOMPARE(cleanRecognizedText(runs).size(), 2 * 64 * 1024 - 1);
    QCOMPARE(fixMisreadWord(runs).size(), 64 * 1024);
    QVERIFY(isRepeatedLetterNoise(letters));
    QCOMPARE(nameStem(letters + QStringLiteral("_ID")).size(), letters.size());
    QVERIFY(!startsWithTypeWord(spaces));
    QVERIFY(!isIdColumnName(spaces));
}

QTEST_GUILESS_MAIN(TestWordRules)
#include "tst_wordrules.moc"
