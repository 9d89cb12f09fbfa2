#include "jsontext.h"

#include <QCborArray>
#include <QCborMap>
#include <QCborValue>
#include <QJsonObject>
#include <QLocale>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr char hexDigits[] = "0123456789abcdef";

// For each ASCII unit: 0 when it is written as is, otherwise the letter after the
// backslash ('u' for the \u00XX form).
struct AsciiEscapes
{
    char letter[128] = {};

    constexpr AsciiEscapes()
    {
        for (int unit = 0; unit < 0x20; ++unit)
            letter[unit] = 'u';
        letter['\b'] = 'b';
        letter['\f'] = 'f';
        letter['\n'] = 'n';
        letter['\r'] = 'r';
        letter['\t'] = 't';
        letter['"'] = '"';
        letter['\\'] = '\\';
    }
};

constexpr AsciiEscapes asciiEscapes;

// Whether four UTF-16 units, read as one word, are all printable ASCII other than '"'
// and '\\', so that each is written as its own byte.
bool fourPlainUnits(quint64 word)
{
    constexpr quint64 lanes = Q_UINT64_C(0x0001000100010001);
    const quint64 quote = word ^ (0x22 * lanes);
    const quint64 backslash = word ^ (0x5c * lanes);
    const quint64 hasZeroLane = ((quote - lanes) & ~quote) | ((backslash - lanes) & ~backslash);
    // With every unit below 0x80, adding 0x60 sets bit 7 exactly for the units from 0x20.
    return (word & (0xff80 * lanes)) == 0
           && ((word + 0x60 * lanes) & (0x80 * lanes)) == 0x80 * lanes
           && (hasZeroLane & (0x8000 * lanes)) == 0;
}

bool isAscii(QStringView text)
{
    return std::all_of(text.begin(), text.end(), [](QChar unit) { return unit.unicode() < 0x80; });
}

// Writes through a raw cursor into one buffer that grows geometrically; each write first
// makes room for the most it can append. It walks the document as CBOR, the form QJsonObject
// keeps it in, because that view hands out keys without copying them and tells integers
// from doubles.
class IndentedJsonWriter
{
public:
    IndentedJsonWriter() { grow(64 * 1024); }

    void writeMap(const QCborMap &map, int depth);
    void writeArray(const QCborArray &array, int depth);
    void writeNewline() { write("\n", 1); }
    QByteArray finish();

private:
    // The keys of the last object written at one depth, each with its text up to the value.
    struct KnownKeys
    {
        std::vector<QCborValue> keys;
        std::vector<QByteArray> texts;
    };

    void writeKey(const QCborValue &key, size_t position, int depth);
    void writeValue(const QCborValueConstRef &value, int depth);
    void writeString(QStringView text);
    void writeDouble(double number);
    void writeInteger(qint64 number);
    void writeIndent(int depth);
    void writeSeparator(bool first, int depth);
    void writeClose(char bracket, bool empty, int depth);

    void write(const char *text, qsizetype size)
    {
        makeRoom(size);
        std::memcpy(m_cursor, text, size);
        m_cursor += size;
    }
    void makeRoom(qsizetype size)
    {
        if (m_end - m_cursor < size)
            grow(size);
    }
    void grow(qsizetype size);
    qsizetype written() const { return m_cursor - m_text.constData(); }

    QByteArray m_text;
    char *m_cursor = nullptr;
    char *m_end = nullptr;
    std::vector<KnownKeys> m_knownKeys;
};

void IndentedJsonWriter::grow(qsizetype size)
{
    const qsizetype used = m_cursor ? m_cursor - m_text.data() : 0;
    m_text.resize(std::max(used + size, 2 * m_text.size()));
    m_cursor = m_text.data() + used;
    m_end = m_text.data() + m_text.size();
}

QByteArray IndentedJsonWriter::finish()
{
    m_text.resize(m_cursor - m_text.data());
    m_cursor = m_end = nullptr;
    return std::move(m_text);
}

void IndentedJsonWriter::writeIndent(int depth)
{
    const qsizetype width = 4 * qsizetype(depth);
    makeRoom(width);
    std::memset(m_cursor, ' ', width);
    m_cursor += width;
}

// Before a member or element: the comma ending the previous one, then the line break.
void IndentedJsonWriter::writeSeparator(bool first, int depth)
{
    if (!first)
        write(",\n", 2);
    writeIndent(depth);
}

// An empty container still breaks the line between its brackets.
void IndentedJsonWriter::writeClose(char bracket, bool empty, int depth)
{
    if (!empty)
        writeNewline();
    writeIndent(depth);
    write(&bracket, 1);
}

void IndentedJsonWriter::writeMap(const QCborMap &map, int depth)
{
    write("{\n", 2);
    size_t position = 0;
    const auto begin = map.constBegin();
    const auto end = map.constEnd();
    for (auto it = begin; it != end; ++it, ++position) {
        writeSeparator(it == begin, depth + 1);
        writeKey(it.key(), position, depth + 1);
        writeValue(it.value(), depth + 1);
    }
    writeClose('}', begin == end, depth);
}

void IndentedJsonWriter::writeArray(const QCborArray &array, int depth)
{
    write("[\n", 2);
    const auto begin = array.constBegin();
    const auto end = array.constEnd();
    for (auto it = begin; it != end; ++it) {
        writeSeparator(it == begin, depth + 1);
        writeValue(*it, depth + 1);
    }
    writeClose(']', begin == end, depth);
}

// Objects of one shape repeat their keys in the same order. Comparing a key with the one
// at its position in the last object of the same depth copies nothing, unlike reading it
// as a QString. Only ASCII keys are kept, for which that comparison is exact.
void IndentedJsonWriter::writeKey(const QCborValue &key, size_t position, int depth)
{
    if (m_knownKeys.size() <= size_t(depth))
        m_knownKeys.resize(depth + 1);
    KnownKeys &known = m_knownKeys[depth];
    if (position < known.keys.size() && key == known.keys[position]) {
        const QByteArray &text = known.texts[position];
        write(text.constData(), text.size());
        return;
    }

    const QString text = key.toString();
    const qsizetype start = written();
    writeString(text);
    write(": ", 2);
    if (!isAscii(text))
        return;
    if (known.keys.size() <= position) {
        known.keys.resize(position + 1);
        known.texts.resize(position + 1);
    }
    known.keys[position] = key;
    known.texts[position] = QByteArray(m_text.constData() + start, written() - start);
}

void IndentedJsonWriter::writeValue(const QCborValueConstRef &value, int depth)
{
    // A document made through QJsonObject holds only the JSON types; Qt writes anything
    // else as null, and so does this.
    switch (value.type()) {
    case QCborValue::False:
        write("false", 5);
        break;
    case QCborValue::True:
        write("true", 4);
        break;
    case QCborValue::Integer:
        writeInteger(value.toInteger());
        break;
    case QCborValue::Double:
        writeDouble(value.toDouble());
        break;
    case QCborValue::String:
        writeString(value.toString());
        break;
    case QCborValue::Array:
        writeArray(value.toArray(), depth);
        break;
    case QCborValue::Map:
        writeMap(value.toMap(), depth);
        break;
    default:
        write("null", 4);
        break;
    }
}

// Qt writes a number held as an integer in full and formats only the others as doubles,
// so 10000000000000000 read from a file and 1e16 set as a double stay apart.
void IndentedJsonWriter::writeDouble(double number)
{
    if (!qIsFinite(number)) {
        write("null", 4);
        return;
    }
    const QByteArray text = QByteArray::number(number, 'g', QLocale::FloatingPointShortest);
    write(text.constData(), text.size());
}

void IndentedJsonWriter::writeInteger(qint64 number)
{
    char digits[20];
    char *first = std::end(digits);
    quint64 magnitude = number < 0 ? 0 - quint64(number) : quint64(number);
    do {
        *--first = char('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude);
    makeRoom(21);
    if (number < 0)
        *m_cursor++ = '-';
    const qsizetype size = std::end(digits) - first;
    std::memcpy(m_cursor, first, size);
    m_cursor += size;
}

void IndentedJsonWriter::writeString(QStringView text)
{
    // Six bytes per UTF-16 unit is the most any unit takes (\u001f, a lone surrogate).
    makeRoom(6 * text.size() + 2);
    char *out = m_cursor;
    *out++ = '"';
    const char16_t *src = text.utf16();
    const char16_t *const end = src + text.size();
    while (src != end) {
        if (end - src >= 4) {
            quint64 word;
            std::memcpy(&word, src, sizeof word);
            if (fourPlainUnits(word)) {
                out[0] = char(src[0]);
                out[1] = char(src[1]);
                out[2] = char(src[2]);
                out[3] = char(src[3]);
                out += 4;
                src += 4;
                continue;
            }
        }
        const char16_t unit = *src++;
        if (unit < 0x80) {
            const char letter = asciiEscapes.letter[unit];
            if (!letter) {
                *out++ = char(unit);
            } else if (letter != 'u') {
                *out++ = '\\';
                *out++ = letter;
            } else {
                std::memcpy(out, "\\u00", 4);
                out[4] = hexDigits[unit >> 4];
                out[5] = hexDigits[unit & 0xf];
                out += 6;
            }
        } else if (unit < 0x800) {
            *out++ = char(0xc0 | (unit >> 6));
            *out++ = char(0x80 | (unit & 0x3f));
        } else if (!QChar::isSurrogate(unit)) {
            *out++ = char(0xe0 | (unit >> 12));
            *out++ = char(0x80 | ((unit >> 6) & 0x3f));
            *out++ = char(0x80 | (unit & 0x3f));
        } else if (QChar::isHighSurrogate(unit) && src != end && QChar::isLowSurrogate(*src)) {
            const char32_t point = QChar::surrogateToUcs4(unit, *src++);
            *out++ = char(0xf0 | (point >> 18));
            *out++ = char(0x80 | ((point >> 12) & 0x3f));
            *out++ = char(0x80 | ((point >> 6) & 0x3f));
            *out++ = char(0x80 | (point & 0x3f));
        } else {
            // A surrogate without its partner has no UTF-8 form; Qt escapes it.
            out[0] = '\\';
            out[1] = 'u';
            out[2] = hexDigits[unit >> 12];
            out[3] = hexDigits[(unit >> 8) & 0xf];
            out[4] = hexDigits[(unit >> 4) & 0xf];
            out[5] = hexDigits[unit & 0xf];
            out += 6;
        }
    }
    *out++ = '"';
    m_cursor = out;
}

} // namespace

QByteArray indentedJsonText(const QJsonObject &object)
{
    IndentedJsonWriter writer;
    writer.writeMap(QCborMap::fromJsonObject(object), 0);
    writer.writeNewline();
    return writer.finish();
}
