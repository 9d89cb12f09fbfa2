#include "sequenceitem.h"

#include <QJsonDocument>
#include <QTest>

#include <limits>

using namespace Qt::StringLiterals;

class tst_SequenceItem : public QObject
{
    Q_OBJECT

private slots:
    void newSequenceWritesDefaults();
    void readsNumbers_data();
    void readsNumbers();
    void numbersSurviveRoundTripAsText_data();
    void numbersSurviveRoundTripAsText();
    void boundsAndCycleReadLeniently();
};

void tst_SequenceItem::newSequenceWritesDefaults()
{
    SequenceItem sequence;
    const QJsonObject json = sequence.toJson();
    QCOMPARE(json.size(), 10);
    QCOMPARE(json.value("startValue"_L1), QJsonValue(1));
    QCOMPARE(json.value("increment"_L1), QJsonValue(1));
    QCOMPARE(json.value("minValue"_L1), QJsonValue(u""_s));
    QCOMPARE(json.value("maxValue"_L1), QJsonValue(u""_s));
    QCOMPARE(json.value("cycle"_L1), QJsonValue(false));
}

void tst_SequenceItem::readsNumbers_data()
{
    QTest::addColumn<QByteArray>("number");
    QTest::addColumn<qint64>("expected");

    constexpr qint64 max = std::numeric_limits<qint64>::max();
    constexpr qint64 min = std::numeric_limits<qint64>::min();
    QTest::newRow("absent") << QByteArray() << qint64(1);
    QTest::newRow("2.9") << QByteArray("2.9") << qint64(2);
    QTest::newRow("-2.9") << QByteArray("-2.9") << qint64(-2);
    QTest::newRow("10.7") << QByteArray("10.7") << qint64(10);
    QTest::newRow("-1") << QByteArray("-1") << qint64(-1);
    QTest::newRow("0") << QByteArray("0") << qint64(0);
    QTest::newRow("quoted") << QByteArray("\"5\"") << qint64(1);
    QTest::newRow("boolean") << QByteArray("true") << qint64(1);
    QTest::newRow("null") << QByteArray("null") << qint64(1);
    QTest::newRow("2^53+1 exact") << QByteArray("9007199254740993") << qint64(9007199254740993LL);
    QTest::newRow("2^60 exact") << QByteArray("1152921504606846976") << qint64(1LL << 60);
    QTest::newRow("int64 max exact") << QByteArray("9223372036854775807") << max;
    QTest::newRow("int64 min exact") << QByteArray("-9223372036854775808") << min;
    QTest::newRow("2^63 clamped") << QByteArray("9223372036854775808") << max;
    QTest::newRow("1e30 clamped") << QByteArray("1e30") << max;
    QTest::newRow("-1e30 clamped") << QByteArray("-1e30") << min;
}

void tst_SequenceItem::readsNumbers()
{
    QFETCH(QByteArray, number);
    QFETCH(qint64, expected);

    QByteArray json = "{}";
    if (!number.isEmpty())
        json = "{\"startValue\": " + number + ", \"increment\": " + number + "}";
    QJsonParseError error;
    const QJsonObject object = QJsonDocument::fromJson(json, &error).object();
    QCOMPARE(error.error, QJsonParseError::NoError);

    SequenceItem sequence;
    sequence.setStartValue(42);
    sequence.setIncrement(42);
    sequence.fromJson(object);
    QCOMPARE(sequence.startValue(), expected);
    QCOMPARE(sequence.increment(), expected);
}

void tst_SequenceItem::numbersSurviveRoundTripAsText_data()
{
    QTest::addColumn<qint64>("value");
    QTest::newRow("2^60+1") << qint64((1LL << 60) + 1);
    QTest::newRow("max") << std::numeric_limits<qint64>::max();
    QTest::newRow("min") << std::numeric_limits<qint64>::min();
    QTest::newRow("-7") << qint64(-7);
}

void tst_SequenceItem::numbersSurviveRoundTripAsText()
{
    QFETCH(qint64, value);
    SequenceItem sequence;
    sequence.setStartValue(value);
    sequence.setIncrement(value);
    const QByteArray text = QJsonDocument(sequence.toJson()).toJson();
    SequenceItem copy;
    copy.fromJson(QJsonDocument::fromJson(text).object());
    QCOMPARE(copy.startValue(), value);
    QCOMPARE(copy.increment(), value);
}

void tst_SequenceItem::boundsAndCycleReadLeniently()
{
    SequenceItem sequence;
    const QString id = sequence.id();
    sequence.fromJson(QJsonDocument::fromJson(
        R"j({"minValue": 5, "maxValue": "999", "cycle": 1, "tableId": "t", "columnId": "c"})j").object());
    QCOMPARE(sequence.id(), id);
    QVERIFY(sequence.minValue().isEmpty());
    QCOMPARE(sequence.maxValue(), u"999"_s);
    QVERIFY(!sequence.cycle());
    QCOMPARE(sequence.tableId(), u"t"_s);
    QCOMPARE(sequence.columnId(), u"c"_s);

    sequence.setCycle(true);
    sequence.setName(u"seq"_s);
    SequenceItem copy;
    copy.fromJson(sequence.toJson());
    QCOMPARE(copy.toJson(), sequence.toJson());
}

QTEST_GUILESS_MAIN(tst_SequenceItem)
#include "tst_sequenceitem.moc"
