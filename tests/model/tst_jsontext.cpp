#include "jsontext.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QTest>

#include <cmath>
#include <cstring>
#include <iterator>
#include <limits>

using namespace Qt::StringLiterals;

class tst_JsonText : public QObject
{
    Q_OBJECT

private slots:
    void matchesQtIndentedText_data();
    void matchesQtIndentedText();
    void matchesQtOnGeneratedDocuments();
};

static QByteArray qtIndented(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Indented);
}

static QString units(std::initializer_list<char16_t> list)
{
    QString text;
    for (char16_t unit : list)
        text.append(QChar(unit));
    return text;
}

// Numbers as the parser stores them: whole numbers as integers even past 2^53.
static QJsonArray parsedArray(const char *json)
{
    return QJsonDocument::fromJson(json).array();
}

static QJsonValue nested(int depth)
{
    QJsonValue value = u"bottom"_s;
    for (int level = 0; level < depth; ++level) {
        if (level % 2)
            value = QJsonObject{{"level"_L1, level}, {"inner"_L1, value}};
        else
            value = QJsonArray{level, value, QJsonArray()};
    }
    return value;
}

void tst_JsonText::matchesQtIndentedText_data()
{
    QTest::addColumn<QJsonObject>("object");

    const double inf = std::numeric_limits<double>::infinity();
    QString controls;
    for (char16_t unit = 0; unit < 0x20; ++unit)
        controls.append(QChar(unit));

    QTest::newRow("empty") << QJsonObject();
    QTest::newRow("empty containers")
        << QJsonObject{{"a"_L1, QJsonObject()}, {"b"_L1, QJsonArray()},
                       {"c"_L1, QJsonArray{QJsonArray(), QJsonObject(), QJsonArray{QJsonArray()}}},
                       {"d"_L1, QJsonObject{{"e"_L1, QJsonObject()}}}};
    QTest::newRow("scalars")
        << QJsonObject{{"t"_L1, true}, {"f"_L1, false}, {"n"_L1, QJsonValue()},
                       {"s"_L1, u""_s}, {"u"_L1, QJsonArray{QJsonValue(QJsonValue::Undefined)}}};
    QTest::newRow("keys sorted and escaped")
        << QJsonObject{{u"zeta"_s, 1}, {u"Zeta"_s, 2}, {u""_s, 3}, {u"q\"b\\n\n"_s, 4},
                       {u"caf\u00e9"_s, 5}, {units({0xdc00}), 6}, {controls, 7}};
    QTest::newRow("control characters") << QJsonObject{{"s"_L1, controls}};
    QTest::newRow("quotes slashes delete")
        << QJsonObject{{"s"_L1, u"\"quoted\" back\\slash /slash/ \x7f end"_s}};
    QTest::newRow("utf-8 widths")
        << QJsonObject{{"s"_L1, units({0x7f, 0x80, 0xe9, 0x7ff, 0x800, 0x20ac, 0xd7ff, 0xe000,
                                       0xfffd, 0xfffe, 0xffff})}};
    QTest::newRow("surrogates")
        << QJsonObject{{"pair"_L1, units({0xd83d, 0xde00, 0xdbff, 0xdfff})},
                       {"lone high"_L1, units({'a', 0xd800, 'b'})},
                       {"lone low"_L1, units({'a', 0xdc00, 'b'})},
                       {"high at end"_L1, units({'a', 0xdbff})},
                       {"high high low"_L1, units({0xd800, 0xd800, 0xdc00})},
                       {"low high"_L1, units({0xdc00, 0xd800})}};
    QTest::newRow("integers")
        << QJsonObject{{"a"_L1, QJsonArray{0, 1, -1, 9, 10, -10, std::numeric_limits<int>::max(),
                                          std::numeric_limits<int>::min()}},
                       {"b"_L1, QJsonArray{std::numeric_limits<qint64>::max(),
                                          std::numeric_limits<qint64>::min(),
                                          Q_INT64_C(9007199254740993), Q_INT64_C(-9007199254740993),
                                          Q_INT64_C(1000000000000000000)}}};
    QTest::newRow("doubles")
        << QJsonObject{{"a"_L1, QJsonArray{0.5, -0.0, 0.1, -2.5, 123456.789, 1e-7, 1e-5, 0.0001,
                                          5e-324, 2.2250738585072014e-308, 1.7976931348623157e308}},
                       {"whole"_L1, QJsonArray{320.0, -640.0, 1e15, 9007199254740992.0,
                                              9007199254740994.0, 1e16, 1e17, 1e18,
                                              9223372036854775808.0, -9223372036854775808.0,
                                              1e19, 1e20, 1e21, 1e22, 1e300}},
                       {"not finite"_L1, QJsonArray{std::nan(""), inf, -inf}}};
    QTest::newRow("parsed numbers")
        << QJsonObject{{"a"_L1, parsedArray("[10000000000000000, 9007199254740993, -0, -0.0, 1E2, "
                                            "12345678901234567890, 1e21, 1.5e300, 0.30000000000000004]")}};
    // Objects at one depth whose keys nearly match those of the object before them.
    QJsonArray shapes;
    for (const QString &second : {u"name"_s, u"name"_s, u"Name"_s, u"name2"_s, u"nam"_s,
                                  units({'n', 'a', 'm', 'e', 0}), u"n\u00e4me"_s, u"name"_s,
                                  units({'n', 0xd800, 'm', 'e'}), u"name"_s})
        shapes.append(QJsonObject{{"id"_L1, 1}, {second, 2}, {"zz"_L1, 3}});
    shapes.append(QJsonDocument::fromJson(R"j({"id": 1, "name": 2, "zz": 3})j").object());
    shapes.append(QJsonDocument::fromJson(R"j({"id": 1, "n\u00e4me": 2, "zz": 3})j").object());
    shapes.append(QJsonDocument::fromJson(R"j({"id": 1, "name": 2, "zz": 3})j").object());
    QTest::newRow("repeated shapes") << QJsonObject{{"rows"_L1, shapes}};
    QTest::newRow("deep nesting") << QJsonObject{{"deep"_L1, nested(1000)}};

    // Past the writer's first buffer, both through many small values and one long string.
    QJsonArray large;
    for (int i = 0; i < 20000; ++i)
        large.append(i % 3 == 0 ? QJsonValue(i * 1.25) : i % 3 == 1 ? QJsonValue(u"row %1"_s.arg(i)) : QJsonValue(i));
    QString longText;
    for (int i = 0; i < 40000; ++i)
        longText += units({char16_t('a' + i % 26), char16_t(i % 7 == 0 ? '\n' : 0xe9), 0xd83d, 0xde00});
    QTest::newRow("large") << QJsonObject{{"array"_L1, large}, {"text"_L1, longText}};
}

void tst_JsonText::matchesQtIndentedText()
{
    QFETCH(QJsonObject, object);
    QCOMPARE(indentedJsonText(object), qtIndented(object));
}

namespace {

// Random documents with the awkward parts over-represented: escapes, every UTF-8 width,
// lone surrogates, and numbers at the edges of the integer and double forms.
class DocumentGenerator
{
public:
    explicit DocumentGenerator(quint32 seed) : m_random(seed) {}

    QJsonObject object(int depth)
    {
        QJsonObject object;
        const int size = int(m_random.bounded(depth > 0 ? 7 : 12));
        for (int i = 0; i < size; ++i)
            object.insert(key(), value(depth));
        return object;
    }

private:
    QJsonValue value(int depth)
    {
        switch (m_random.bounded(depth > 0 ? 8 : 6)) {
        case 0: return QJsonValue();
        case 1: return m_random.bounded(2) == 0;
        case 2: return text();
        case 3: return integer();
        case 4: return floating();
        case 5: return QJsonValue(QJsonValue::Undefined);
        case 6: return object(depth - 1);
        default: return array(depth - 1);
        }
    }

    QJsonArray array(int depth)
    {
        QJsonArray array;
        const int size = int(m_random.bounded(8));
        for (int i = 0; i < size; ++i)
            array.append(value(depth));
        return array;
    }

    // Half the keys come from a few that differ only slightly, so that objects at one
    // depth share some keys and not others.
    QString key()
    {
        static const QString common[] = {u"id"_s, u"Id"_s, u"id "_s, u"name"_s, u"n\u00e4me"_s,
                                         u""_s, u"a\"b"_s, units({'i', 'd', 0xdc00})};
        if (m_random.bounded(2))
            return common[m_random.bounded(int(std::size(common)))];
        return text();
    }

    QString text()
    {
        static constexpr char16_t awkward[] = {0, 0x1f, '\b', '\f', '\n', '\r', '\t', '"', '\\',
                                               '/', 0x7f, 0x80, 0xff, 0x7ff, 0x800, 0xd7ff,
                                               0xd800, 0xdbff, 0xdc00, 0xdfff, 0xe000, 0xfffe, 0xffff};
        QString text;
        const int size = int(m_random.bounded(12));
        for (int i = 0; i < size; ++i) {
            switch (m_random.bounded(6)) {
            case 0:
                text.append(QChar(awkward[m_random.bounded(int(std::size(awkward)))]));
                break;
            case 1: {
                const char32_t point = 0x10000 + m_random.bounded(0x100000);
                text.append(QChar::highSurrogate(point));
                text.append(QChar::lowSurrogate(point));
                break;
            }
            case 2:
                text.append(QChar(char16_t(m_random.bounded(0x10000))));
                break;
            default:
                text.append(QChar(char16_t(0x20 + m_random.bounded(0x5f))));
                break;
            }
        }
        return text;
    }

    QJsonValue integer()
    {
        const qint64 bits = qint64(m_random.generate64());
        return QJsonValue(bits >> m_random.bounded(64));
    }

    QJsonValue floating()
    {
        switch (m_random.bounded(4)) {
        case 0: {
            // Any bit pattern: subnormals, huge values, NaN and infinities.
            const quint64 bits = m_random.generate64();
            double d;
            std::memcpy(&d, &bits, sizeof d);
            return d;
        }
        case 1:
            // Whole numbers on both sides of 2^53 and of the 64-bit range.
            return std::ldexp(double(m_random.bounded(1 << 20)), int(m_random.bounded(60)))
                   * (m_random.bounded(2) ? -1 : 1);
        case 2:
            return double(qint64(m_random.generate64()) >> m_random.bounded(64)) / 100.0;
        default:
            return m_random.generateDouble() * std::pow(10.0, int(m_random.bounded(60)) - 30);
        }
    }

    QRandomGenerator m_random;
};

} // namespace

void tst_JsonText::matchesQtOnGeneratedDocuments()
{
    DocumentGenerator generator(20240611);
    for (int document = 0; document < 300; ++document) {
        const QJsonObject object = generator.object(4);
        const QByteArray expected = qtIndented(object);
        const QByteArray actual = indentedJsonText(object);
        if (actual != expected)
            qWarning("document %d differs", document);
        QCOMPARE(actual, expected);
    }
}

QTEST_GUILESS_MAIN(tst_JsonText)
#include "tst_jsontext.moc"
