#include "modeljson.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QTest>

#include <utility>

using namespace Qt::StringLiterals;

using Values = QList<std::pair<QLatin1StringView, QJsonValue>>;
Q_DECLARE_METATYPE(Values)

class tst_JsonShape : public QObject
{
    Q_OBJECT

private slots:
    void makeEqualsFillingEachKeyByName_data();
    void makeEqualsFillingEachKeyByName();
};

// What make promises: every key of the shape, null unless given, then each value set by
// name in turn.
static QJsonObject filledByName(const QList<QLatin1StringView> &keys, const Values &values)
{
    QJsonObject object;
    for (QLatin1StringView key : keys)
        object.insert(key, QJsonValue());
    for (const auto &[key, value] : values)
        object[key] = value;
    return object;
}

void tst_JsonShape::makeEqualsFillingEachKeyByName_data()
{
    QTest::addColumn<Values>("values");

    const QJsonValue undefined(QJsonValue::Undefined);
    QTest::newRow("shape order")
        << Values{{"alpha"_L1, 1}, {"beta"_L1, u"b"_s}, {"delta"_L1, true}, {"gamma"_L1, QJsonArray{1}}, {"omega"_L1, 2.5}};
    QTest::newRow("reversed order")
        << Values{{"omega"_L1, 2.5}, {"gamma"_L1, QJsonArray{1}}, {"delta"_L1, true}, {"beta"_L1, u"b"_s}, {"alpha"_L1, 1}};
    QTest::newRow("one key given twice")
        << Values{{"beta"_L1, 1}, {"alpha"_L1, 2}, {"beta"_L1, 3}, {"omega"_L1, 4}, {"beta"_L1, 5}};
    QTest::newRow("key the shape lacks sorts first")
        << Values{{"gamma"_L1, 1}, {"aardvark"_L1, 2}, {"beta"_L1, 3}, {"omega"_L1, 4}, {"alpha"_L1, 5}};
    QTest::newRow("key the shape lacks sorts last")
        << Values{{"zulu"_L1, 1}, {"alpha"_L1, 2}, {"omega"_L1, 3}, {"beta"_L1, 4}, {"delta"_L1, 5}};
    QTest::newRow("undefined removes the key")
        << Values{{"beta"_L1, undefined}, {"omega"_L1, 1}, {"alpha"_L1, 2}, {"gamma"_L1, 3}, {"delta"_L1, 4}};
    QTest::newRow("undefined for a key the shape lacks")
        << Values{{"aardvark"_L1, undefined}, {"omega"_L1, 1}, {"alpha"_L1, 2}, {"gamma"_L1, 3}, {"delta"_L1, 4}};
}

void tst_JsonShape::makeEqualsFillingEachKeyByName()
{
    QFETCH(Values, values);
    QCOMPARE(values.size(), 5); // make takes an initializer list
    // Given out of order and with one key twice; the prototype sorts and merges them.
    const QList<QLatin1StringView> keys{"omega"_L1, "beta"_L1, "alpha"_L1, "gamma"_L1, "delta"_L1, "beta"_L1};
    const QJsonObject expected = filledByName(keys, values);
    const QJsonObject actual =
        JsonShape(keys).make({values[0], values[1], values[2], values[3], values[4]});
    QCOMPARE(actual, expected);
    QCOMPARE(actual.keys(), expected.keys());
}

QTEST_GUILESS_MAIN(tst_JsonShape)
#include "tst_jsonshape.moc"
