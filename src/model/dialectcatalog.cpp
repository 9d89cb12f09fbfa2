#include "dialectcatalog.h"

#include <QRegularExpression>
#include <QSet>

using namespace Qt::StringLiterals;

QString normalizeDialectName(const QString &name)
{
    static const QHash<QString, QString> aliases = {
        {u"conceptual er"_s, u"Conceptual ER"_s},
        {u"conceptual"_s, u"Conceptual ER"_s},
        {u"csv files"_s, u"CSV files"_s},
        {u"csv"_s, u"CSV files"_s},
        {u"parquet"_s, u"Parquet"_s},
        {u"databricks"_s, u"Databricks"_s},
        {u"duckdb"_s, u"DuckDB"_s},
        {u"mysql"_s, u"MySQL"_s},
        {u"oracle"_s, u"Oracle"_s},
        {u"postgresql"_s, u"PostgreSQL"_s},
        {u"postgres"_s, u"PostgreSQL"_s},
        {u"sqlite"_s, u"SQLite"_s},
        {u"sql server"_s, u"SQL Server"_s},
        {u"sqlserver"_s, u"SQL Server"_s},
        {u"mssql"_s, u"SQL Server"_s},
    };
    const QString trimmed = name.trimmed();
    const auto it = aliases.constFind(trimmed.toLower());
    return it != aliases.constEnd() ? it.value() : trimmed;
}

QList<TablePhysicalOption> makeOptionList(const std::pair<const char *, const char *> *pairs,
                                          qsizetype count)
{
    QList<TablePhysicalOption> options;
    if (!pairs || count <= 0)
        return options;
    options.reserve(count);
    for (qsizetype i = 0; i < count; ++i)
        options.append({QString::fromLatin1(pairs[i].first), QString::fromLatin1(pairs[i].second)});
    return options;
}

namespace {

using OptionPair = std::pair<const char *, const char *>;

template<std::size_t N>
QList<TablePhysicalOption> optionList(const OptionPair (&pairs)[N])
{
    return makeOptionList(pairs, qsizetype(N));
}

} // namespace

QList<TablePhysicalOption> dialectPhysicalOptions(const QString &dialect)
{
    static constexpr OptionPair postgres[] = {
        {"tablespace", "Tablespace"}, {"fillfactor", "Fillfactor"}, {"unlogged", "Unlogged"},
        {"partition_by", "Partition By"}, {"inherits", "Inherits"}};
    static constexpr OptionPair mysql[] = {
        {"engine", "Engine"}, {"charset", "Character Set"}, {"collation", "Collation"},
        {"row_format", "Row Format"}, {"auto_increment", "Auto Increment"}};
    static constexpr OptionPair oracle[] = {
        {"tablespace", "Tablespace"}, {"pctfree", "Pctfree"}, {"logging", "Logging"},
        {"compression", "Compression"}};
    static constexpr OptionPair sqlServer[] = {
        {"filegroup", "Filegroup"}, {"data_compression", "Data Compression"},
        {"lock_escalation", "Lock Escalation"}};
    static constexpr OptionPair sqlite[] = {{"without_rowid", "Without Rowid"}, {"strict", "Strict"}};
    static constexpr OptionPair csv[] = {
        {"delimiter", "Delimiter"}, {"encoding", "Encoding"}, {"header", "Header"}, {"quote", "Quote"}};
    static constexpr OptionPair parquet[] = {
        {"compression", "Compression"}, {"row_group_size", "Row Group Size"}};
    static constexpr OptionPair databricks[] = {
        {"location", "Location"}, {"data_format", "Format"}, {"partitioned_by", "Partitioned By"},
        {"clustered_by", "Clustered By"}};

    const QString name = normalizeDialectName(dialect);
    if (name == "PostgreSQL"_L1)
        return optionList(postgres);
    if (name == "MySQL"_L1)
        return optionList(mysql);
    if (name == "Oracle"_L1)
        return optionList(oracle);
    if (name == "SQL Server"_L1)
        return optionList(sqlServer);
    if (name == "SQLite"_L1)
        return optionList(sqlite);
    if (name == "CSV files"_L1)
        return optionList(csv);
    if (name == "Parquet"_L1)
        return optionList(parquet);
    if (name == "Databricks"_L1)
        return optionList(databricks);
    return {};
}

QString defaultKeyTypeForDialect(const QString &dialect)
{
    const QString name = normalizeDialectName(dialect);
    if (name == "PostgreSQL"_L1 || name == "MySQL"_L1 || name == "SQL Server"_L1
        || name == "Databricks"_L1 || name == "DuckDB"_L1)
        return u"BIGINT"_s;
    if (name == "Oracle"_L1)
        return u"NUMBER"_s;
    if (name == "SQLite"_L1 || name == "CSV files"_L1)
        return u"INTEGER"_s;
    if (name == "Parquet"_L1)
        return u"INT64"_s;
    return u"undefined"_s;
}

const QHash<QString, QStringList> &dialectDataTypeTable()
{
    static const QHash<QString, QStringList> table = {
        {u"Conceptual ER"_s, {}},
        {u"CSV files"_s, {u"INTEGER"_s, u"REAL"_s, u"TEXT"_s}},
        {u"Parquet"_s,
         {u"BOOLEAN"_s, u"BSON"_s, u"BYTE_ARRAY"_s, u"DATE"_s, u"DECIMAL"_s, u"DOUBLE"_s,
          u"ENUM"_s, u"FIXED_LEN_BYTE_ARRAY"_s, u"FLOAT"_s, u"FLOAT16"_s, u"GEOGRAPHY"_s,
          u"GEOMETRY"_s, u"INT32"_s, u"INT64"_s, u"INT96"_s, u"INT_8"_s, u"INT_16"_s,
          u"INT_32"_s, u"INT_64"_s, u"INTEGER"_s, u"INTERVAL"_s, u"JSON"_s, u"LIST"_s,
          u"MAP"_s, u"STRING"_s, u"TIME"_s, u"TIME_MICROS"_s, u"TIME_MILLIS"_s,
          u"TIME_NANOS"_s, u"TIMESTAMP"_s, u"TIMESTAMP_MICROS"_s, u"TIMESTAMP_MILLIS"_s,
          u"TIMESTAMP_NANOS"_s, u"UINT_8"_s, u"UINT_16"_s, u"UINT_32"_s, u"UINT_64"_s,
          u"UUID"_s, u"UTF8"_s, u"VARIANT"_s}},
        {u"Databricks"_s,
         {u"ARRAY"_s, u"BIGINT"_s, u"BINARY"_s, u"BOOLEAN"_s, u"BYTE"_s, u"CHAR"_s,
          u"DATE"_s, u"DEC"_s, u"DECIMAL"_s, u"DOUBLE"_s, u"FLOAT"_s, u"GEOGRAPHY"_s,
          u"GEOMETRY"_s, u"INT"_s, u"INTEGER"_s, u"INTERVAL"_s, u"LONG"_s, u"MAP"_s,
          u"NUMERIC"_s, u"OBJECT"_s, u"REAL"_s, u"SHORT"_s, u"SMALLINT"_s, u"STRING"_s,
          u"STRUCT"_s, u"TIME"_s, u"TIMESTAMP"_s, u"TIMESTAMP_LTZ"_s, u"TIMESTAMP_NTZ"_s,
          u"TINYINT"_s, u"VARCHAR"_s, u"VARIANT"_s, u"VOID"_s}},
        {u"DuckDB"_s,
         {u"ARRAY"_s, u"BIGINT"_s, u"BIGNUM"_s, u"BINARY"_s, u"BIT"_s, u"BITSTRING"_s,
          u"BLOB"_s, u"BOOL"_s, u"BOOLEAN"_s, u"BPCHAR"_s, u"BYTEA"_s, u"CHAR"_s, u"DATE"_s,
          u"DATETIME"_s, u"DECIMAL"_s, u"DOUBLE"_s, u"ENUM"_s, u"FLOAT"_s, u"FLOAT4"_s,
          u"FLOAT8"_s, u"GEOMETRY"_s, u"HUGEINT"_s, u"INT"_s, u"INT1"_s, u"INT2"_s,
          u"INT4"_s, u"INT8"_s, u"INT16"_s, u"INT32"_s, u"INT64"_s, u"INT128"_s,
          u"INTEGER"_s, u"INTERVAL"_s, u"JSON"_s, u"LIST"_s, u"LOGICAL"_s, u"LONG"_s,
          u"MAP"_s, u"NUMERIC"_s, u"REAL"_s, u"SHORT"_s, u"SIGNED"_s, u"SMALLINT"_s,
          u"STRING"_s, u"STRUCT"_s, u"TEXT"_s, u"TIME"_s, u"TIME WITH TIME ZONE"_s,
          u"TIMESTAMP"_s, u"TIMESTAMP WITH TIME ZONE"_s, u"TIMESTAMP_MS"_s,
          u"TIMESTAMP_NS"_s, u"TIMESTAMP_S"_s, u"TIMESTAMPTZ"_s, u"TIMETZ"_s, u"TINYINT"_s,
          u"UBIGINT"_s, u"UHUGEINT"_s, u"UINT8"_s, u"UINT16"_s, u"UINT32"_s, u"UINT64"_s,
          u"UINT128"_s, u"UINTEGER"_s, u"UNION"_s, u"USMALLINT"_s, u"UTINYINT"_s, u"UUID"_s,
          u"VARBINARY"_s, u"VARCHAR"_s, u"VARIANT"_s}},
        {u"MySQL"_s,
         {u"BIGINT"_s, u"BINARY"_s, u"BIT"_s, u"BLOB"_s, u"BOOL"_s, u"BOOLEAN"_s, u"CHAR"_s,
          u"DATE"_s, u"DATETIME"_s, u"DEC"_s, u"DECIMAL"_s, u"DOUBLE"_s,
          u"DOUBLE PRECISION"_s, u"ENUM"_s, u"FIXED"_s, u"FLOAT"_s, u"GEOMETRY"_s,
          u"GEOMETRYCOLLECTION"_s, u"INT"_s, u"INTEGER"_s, u"JSON"_s, u"LINESTRING"_s,
          u"LONGBLOB"_s, u"LONGTEXT"_s, u"MEDIUMBLOB"_s, u"MEDIUMINT"_s, u"MEDIUMTEXT"_s,
          u"MULTILINESTRING"_s, u"MULTIPOINT"_s, u"MULTIPOLYGON"_s, u"NUMERIC"_s, u"POINT"_s,
          u"POLYGON"_s, u"REAL"_s, u"SET"_s, u"SMALLINT"_s, u"TEXT"_s, u"TIME"_s,
          u"TIMESTAMP"_s, u"TINYBLOB"_s, u"TINYINT"_s, u"TINYTEXT"_s, u"VARBINARY"_s,
          u"VARCHAR"_s, u"VECTOR"_s, u"YEAR"_s}},
        {u"Oracle"_s,
         {u"BFILE"_s, u"BINARY_DOUBLE"_s, u"BINARY_FLOAT"_s, u"BLOB"_s, u"BOOLEAN"_s,
          u"CHAR"_s, u"CLOB"_s, u"DATE"_s, u"FLOAT"_s, u"INTERVAL DAY TO SECOND"_s,
          u"INTERVAL YEAR TO MONTH"_s, u"JSON"_s, u"LONG"_s, u"LONG RAW"_s, u"NCHAR"_s,
          u"NCLOB"_s, u"NUMBER"_s, u"NVARCHAR2"_s, u"RAW"_s, u"ROWID"_s, u"SDO_GEOMETRY"_s,
          u"TIMESTAMP"_s, u"TIMESTAMP WITH LOCAL TIME ZONE"_s, u"TIMESTAMP WITH TIME ZONE"_s,
          u"UROWID"_s, u"VARCHAR2"_s, u"VECTOR"_s, u"XMLTYPE"_s}},
        {u"PostgreSQL"_s,
         {u"ARRAY"_s, u"BIGINT"_s, u"BIGSERIAL"_s, u"BIT"_s, u"BIT VARYING"_s, u"BOOL"_s,
          u"BOOLEAN"_s, u"BOX"_s, u"BYTEA"_s, u"CHAR"_s, u"CHARACTER"_s,
          u"CHARACTER VARYING"_s, u"CIDR"_s, u"CIRCLE"_s, u"CITEXT"_s, u"DATE"_s,
          u"DATERANGE"_s, u"DATEMULTIRANGE"_s, u"DECIMAL"_s, u"DOUBLE PRECISION"_s,
          u"FLOAT"_s, u"FLOAT4"_s, u"FLOAT8"_s, u"GEOGRAPHY"_s, u"GEOMETRY"_s, u"HSTORE"_s,
          u"INET"_s, u"INT"_s, u"INT2"_s, u"INT4"_s, u"INT4RANGE"_s, u"INT4MULTIRANGE"_s,
          u"INT8"_s, u"INT8RANGE"_s, u"INT8MULTIRANGE"_s, u"INTEGER"_s, u"INTERVAL"_s,
          u"JSON"_s, u"JSONB"_s, u"JSONPATH"_s, u"LINE"_s, u"LSEG"_s, u"LTREE"_s,
          u"MACADDR"_s, u"MACADDR8"_s, u"MONEY"_s, u"NUMERIC"_s, u"NUMRANGE"_s,
          u"NUMMULTIRANGE"_s, u"PATH"_s, u"PG_LSN"_s, u"PG_SNAPSHOT"_s, u"POINT"_s,
          u"POLYGON"_s, u"REAL"_s, u"SERIAL"_s, u"SERIAL2"_s, u"SERIAL4"_s, u"SERIAL8"_s,
          u"SMALLSERIAL"_s, u"SMALLINT"_s, u"TEXT"_s, u"TIME"_s, u"TIME WITH TIME ZONE"_s,
          u"TIME WITHOUT TIME ZONE"_s, u"TIMESTAMP"_s, u"TIMESTAMP WITH TIME ZONE"_s,
          u"TIMESTAMP WITHOUT TIME ZONE"_s, u"TIMESTAMPTZ"_s, u"TIMETZ"_s, u"TSRANGE"_s,
          u"TSMULTIRANGE"_s, u"TSTZRANGE"_s, u"TSTZMULTIRANGE"_s, u"TSQUERY"_s,
          u"TSVECTOR"_s, u"TXID_SNAPSHOT"_s, u"UUID"_s, u"VARBIT"_s, u"VARCHAR"_s,
          u"XML"_s}},
        {u"SQLite"_s,
         {u"BIGINT"_s, u"BLOB"_s, u"BOOLEAN"_s, u"CHARACTER"_s, u"CLOB"_s, u"DATE"_s,
          u"DATETIME"_s, u"DECIMAL"_s, u"DOUBLE"_s, u"DOUBLE PRECISION"_s, u"FLOAT"_s,
          u"INT"_s, u"INT2"_s, u"INT8"_s, u"INTEGER"_s, u"MEDIUMINT"_s,
          u"NATIVE CHARACTER"_s, u"NCHAR"_s, u"NUMERIC"_s, u"NVARCHAR"_s, u"REAL"_s,
          u"SMALLINT"_s, u"TEXT"_s, u"TINYINT"_s, u"UNSIGNED BIG INT"_s, u"VARCHAR"_s,
          u"VARYING CHARACTER"_s}},
        {u"SQL Server"_s,
         {u"BIGINT"_s, u"BINARY"_s, u"BIT"_s, u"CHAR"_s, u"CURSOR"_s, u"DATE"_s,
          u"DATETIME"_s, u"DATETIME2"_s, u"DATETIMEOFFSET"_s, u"DECIMAL"_s, u"FLOAT"_s,
          u"GEOGRAPHY"_s, u"GEOMETRY"_s, u"HIERARCHYID"_s, u"IMAGE"_s, u"INT"_s, u"JSON"_s,
          u"MONEY"_s, u"NCHAR"_s, u"NTEXT"_s, u"NUMERIC"_s, u"NVARCHAR"_s, u"REAL"_s,
          u"ROWVERSION"_s, u"SMALLDATETIME"_s, u"SMALLINT"_s, u"SMALLMONEY"_s,
          u"SQL_VARIANT"_s, u"SYSNAME"_s, u"TABLE"_s, u"TEXT"_s, u"TIME"_s, u"TIMESTAMP"_s,
          u"TINYINT"_s, u"UNIQUEIDENTIFIER"_s, u"VARBINARY"_s, u"VARCHAR"_s, u"VECTOR"_s,
          u"XML"_s}},
    };
    return table;
}

QStringList dataTypesForDialect(const QString &dialect)
{
    return dialectDataTypeTable().value(normalizeDialectName(dialect));
}

bool isNumericDataType(const QString &type)
{
    static const QSet<QString> numeric = {
        u"NUMBER"_s, u"NUMERIC"_s, u"DECIMAL"_s, u"DEC"_s, u"FLOAT"_s,
        u"DOUBLE"_s, u"REAL"_s, u"MONEY"_s, u"SMALLMONEY"_s, u"BINARY_FLOAT"_s,
        u"BINARY_DOUBLE"_s, u"DOUBLE PRECISION"_s, u"FIXED"_s, u"FLOAT4"_s, u"FLOAT8"_s,
    };
    return numeric.contains(type.trimmed().toUpper());
}

namespace {

// A parameter that does not fit an int makes the whole list unrecognised: reading it
// as 0 would silently turn VARCHAR(99999999999) into VARCHAR(0).
bool toParameter(const QString &digits, int *value)
{
    bool ok = false;
    const int number = digits.toInt(&ok, 10);
    if (ok)
        *value = number;
    return ok;
}

} // namespace

ParsedDataType parseDataType(const QString &text)
{
    ParsedDataType result;
    const QString trimmed = text.trimmed();
    result.type = trimmed;

    if (!trimmed.endsWith(u')'))
        return result;
    const qsizetype open = trimmed.lastIndexOf(u'(');
    if (open <= 0)
        return result;
    const QString base = trimmed.left(open).trimmed();
    const QString parameters = trimmed.mid(open + 1, trimmed.size() - open - 2).trimmed();
    if (base.isEmpty() || parameters.isEmpty())
        return result;

    static const QRegularExpression oneNumber(u"^(\\d+)$"_s);
    static const QRegularExpression twoNumbers(u"^(\\d+)\\s*,\\s*(\\d+)$"_s);

    const QRegularExpressionMatch pair = twoNumbers.match(parameters);
    if (pair.hasMatch()) {
        int precision = -1;
        int scale = -1;
        if (!isNumericDataType(base) || !toParameter(pair.captured(1), &precision)
            || !toParameter(pair.captured(2), &scale))
            return result;
        result.type = base;
        result.precision = precision;
        result.scale = scale;
        result.hasParameters = true;
        return result;
    }

    const QRegularExpressionMatch single = oneNumber.match(parameters);
    if (single.hasMatch()) {
        int number = -1;
        if (!toParameter(single.captured(1), &number))
            return result;
        result.type = base;
        result.hasParameters = true;
        if (isNumericDataType(base))
            result.precision = number;
        else
            result.length = number;
    }
    return result;
}

QString formatDataType(const QString &type, int length, int precision, int scale)
{
    const ParsedDataType parsed = parseDataType(type);
    if (!parsed.hasParameters && !type.isEmpty() && type.contains(u'('))
        return type.trimmed();

    const QString base = parsed.type.trimmed();
    if (base.isEmpty())
        return QString();

    const bool numeric = isNumericDataType(base);
    if (parsed.hasParameters) {
        if (numeric) {
            if (precision < 0)
                precision = parsed.precision;
            if (scale < 0)
                scale = parsed.scale;
        } else if (length < 0) {
            length = parsed.length;
        }
    }

    // One-pass arg(): a "%" inside a typed name must not be taken for a placeholder.
    if (numeric) {
        if (precision >= 0 && scale >= 0)
            return u"%1(%2,%3)"_s.arg(base, QString::number(precision), QString::number(scale));
        if (precision >= 0)
            return u"%1(%2)"_s.arg(base, QString::number(precision));
        return base;
    }
    if (length >= 0)
        return u"%1(%2)"_s.arg(base, QString::number(length));
    return base;
}
