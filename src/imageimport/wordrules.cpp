// Clean-up and repair of recognised words, and the name rules that tell id columns, data
// types, letter noise and references to other tables.
#include "recognitionsteps.h"

#include <QLatin1StringView>
#include <QRegularExpression>

#include <algorithm>
#include <array>

namespace {

constexpr char16_t NoBreakSpace = 0x00A0;

bool isAsciiLetter(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

bool isAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// ASCII letters, or letters of any script above 127.
bool isNoiseLetter(QChar c)
{
    return c.unicode() < 128 ? isAsciiLetter(c) : c.isLetter();
}

bool isNameCharacter(QChar c)
{
    return c.unicode() < 128 ? isAsciiLetter(c) || isAsciiDigit(c) : c.isLetterOrNumber();
}

// Score of one name stem against another; stems under 3 characters never match.
double stemScore(const QString &stem, const QString &other)
{
    if (stem.size() < 3 || other.size() < 3)
        return 0.0;
    if (stem == other)
        return 12.0;
    return nameMatchScore(stem, other);
}

bool hasIdEnding(const QString &compact)
{
    return compact.size() > 2 && compact.endsWith(QLatin1StringView("id"));
}

} // namespace

QString cleanRecognizedText(const QString &text)
{
    const QString trimmed = text.trimmed();
    QString cleaned;
    cleaned.reserve(trimmed.size());
    bool afterSpace = false;
    for (QChar c : trimmed) {
        if (c == QChar(NoBreakSpace))
            c = u' ';
        const bool space = c == u' ';
        if (space && afterSpace)
            continue;
        afterSpace = space;
        cleaned.append(c);
    }
    return cleaned;
}

bool isIdColumnName(const QString &name)
{
    const QString s = name.trimmed().toLower();
    return s == QLatin1StringView("id") || s.startsWith(QLatin1StringView("id_"))
        || s.endsWith(QLatin1StringView("_id"));
}

QString fixMisreadWord(const QString &word)
{
    static const QRegularExpression lowerLdBeforeCapitalOrEnd(QStringLiteral("(?<=[a-z])ld(?=[A-Z]|$)"));
    static const QRegularExpression digitOneDAtEnd(QStringLiteral("(?<=[0-9])1d$"));
    static const QRegularExpression mLIdAtEnd(QStringLiteral("(?<=m)lId$"));
    static const QRegularExpression mLScoreAtEnd(QStringLiteral("(?<=m)lscore$"),
                                                 QRegularExpression::CaseInsensitiveOption);

    QString s = cleanRecognizedText(word);
    s.remove(u' ');
    s.replace(lowerLdBeforeCapitalOrEnd, QStringLiteral("Id"));
    s.replace(QLatin1StringView("lnfo"), QLatin1StringView("Info"));
    s.replace(digitOneDAtEnd, QStringLiteral("Id"));
    s.replace(mLIdAtEnd, QStringLiteral("1Id"));
    s.replace(mLScoreAtEnd, QStringLiteral("1score"));
    if (s.compare(QLatin1StringView("emaiI"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("email");
    return s;
}

bool startsWithTypeWord(const QString &word)
{
    static const std::array<QLatin1StringView, 36> typeWords = {
        QLatin1StringView("int"), QLatin1StringView("integer"), QLatin1StringView("bigint"),
        QLatin1StringView("smallint"), QLatin1StringView("tinyint"), QLatin1StringView("uuid"),
        QLatin1StringView("guid"), QLatin1StringView("serial"), QLatin1StringView("bigserial"),
        QLatin1StringView("text"), QLatin1StringView("varchar"), QLatin1StringView("nvarchar"),
        QLatin1StringView("char"), QLatin1StringView("string"), QLatin1StringView("bool"),
        QLatin1StringView("boolean"), QLatin1StringView("bit"), QLatin1StringView("date"),
        QLatin1StringView("time"), QLatin1StringView("datetime"), QLatin1StringView("timestamp"),
        QLatin1StringView("timestamptz"), QLatin1StringView("numeric"), QLatin1StringView("decimal"),
        QLatin1StringView("float"), QLatin1StringView("double"), QLatin1StringView("real"),
        QLatin1StringView("money"), QLatin1StringView("json"), QLatin1StringView("jsonb"),
        QLatin1StringView("xml"), QLatin1StringView("blob"), QLatin1StringView("bytea"),
        QLatin1StringView("unknown_type"), QLatin1StringView("unknown"), QLatin1StringView("undefined"),
    };
    const QString t = word.trimmed().toLower();
    return std::any_of(typeWords.cbegin(), typeWords.cend(),
                       [&t](QLatin1StringView typeWord) { return t.startsWith(typeWord); });
}

bool isRepeatedLetterNoise(const QString &text)
{
    qsizetype letters = 0;
    QChar first;
    for (QChar c : text) {
        if (!isNoiseLetter(c))
            continue;
        const QChar lower = c.toLower();
        if (letters == 0)
            first = lower;
        else if (lower != first)
            return false;
        ++letters;
    }
    return letters >= 4;
}

QString compactLowerName(const QString &name)
{
    QString compact = name.toLower();
    compact.removeIf([](QChar c) { return !isNameCharacter(c); });
    return compact;
}

QString nameStem(const QString &name)
{
    QString stem = compactLowerName(name);
    if (hasIdEnding(stem))
        stem.chop(2);
    if (stem.size() > 4 && stem.endsWith(u's'))
        stem.chop(1);
    return stem;
}

double foreignKeyMatchScore(const QString &attributeName, const QString &targetTitle,
                            const QList<KeyRow> &keyRows)
{
    const QString stem = nameStem(attributeName);
    double result = stemScore(stem, nameStem(targetTitle));
    for (const KeyRow &row : keyRows)
        result = std::max(result, stemScore(stem, nameStem(row.first)));
    if (hasIdEnding(compactLowerName(attributeName)))
        result += 2.0;
    return result;
}
