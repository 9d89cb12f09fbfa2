#include "dialectcatalog.h"

#include <QSet>
#include <QTest>

#include <limits>

using namespace Qt::StringLiterals;

class tst_DialectCatalog : public QObject
{
    Q_OBJECT

private slots:
    void normalizeDialectName_data();
    void normalizeDialectName();
    void physicalOptionsInOrder_data();
    void physicalOptionsInOrder();
    void physicalOptionsEmptyForDialectsWithout_data();
    void physicalOptionsEmptyForDialectsWithout();
    void makeOptionListTreatsNullAsEmpty();
    void defaultKeyType_data();
    void defaultKeyType();
    void dataTypeListsHaveSizeEndsAndNoDuplicates_data();
    void dataTypeListsHaveSizeEndsAndNoDuplicates();
    void dataTypesEmptyForConceptualAndUnknown_data();
    void dataTypesEmptyForConceptualAndUnknown();
    void isNumericDataType_data();
    void isNumericDataType();
    void parseDataType_data();
    void parseDataType();
    void formatDataType_data();
    void formatDataType();
};

void tst_DialectCatalog::normalizeDialectName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");

    QTest::newRow("padded alias") << u"  postgres  "_s << u"PostgreSQL"_s;
    QTest::newRow("upper alias") << u"MSSQL"_s << u"SQL Server"_s;
    QTest::newRow("camel alias") << u"SqlServer"_s << u"SQL Server"_s;
    QTest::newRow("two words") << u"Sql Server"_s << u"SQL Server"_s;
    QTest::newRow("conceptual") << u"Conceptual"_s << u"Conceptual ER"_s;
    QTest::newRow("csv") << u"CSV"_s << u"CSV files"_s;
    QTest::newRow("display name") << u"DuckDB"_s << u"DuckDB"_s;
    QTest::newRow("tab and nbsp padding") << u"\t\u00a0mysql\u2003\n"_s << u"MySQL"_s;
    QTest::newRow("unknown keeps casing") << u"  My Dialect  "_s << u"My Dialect"_s;
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("blank") << u" \t "_s << QString();
    QTest::newRow("inner blank") << u"Postgre SQL"_s << u"Postgre SQL"_s;
    QTest::newRow("two inner blanks") << u"sql  server"_s << u"sql  server"_s;
    QTest::newRow("hyphen") << u"SQL-Server"_s << u"SQL-Server"_s;
}

void tst_DialectCatalog::normalizeDialectName()
{
    QFETCH(QString, name);
    QFETCH(QString, expected);
    QCOMPARE(::normalizeDialectName(name), expected);
}

void tst_DialectCatalog::physicalOptionsInOrder_data()
{
    QTest::addColumn<QString>("dialect");
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<QStringList>("labels");

    QTest::newRow("mysql")
        << u"mysql"_s
        << QStringList{u"engine"_s, u"charset"_s, u"collation"_s, u"row_format"_s, u"auto_increment"_s}
        << QStringList{u"Engine"_s, u"Character Set"_s, u"Collation"_s, u"Row Format"_s,
                       u"Auto Increment"_s};
    QTest::newRow("postgres")
        << u" Postgres"_s
        << QStringList{u"tablespace"_s, u"fillfactor"_s, u"unlogged"_s, u"partition_by"_s, u"inherits"_s}
        << QStringList{u"Tablespace"_s, u"Fillfactor"_s, u"Unlogged"_s, u"Partition By"_s, u"Inherits"_s};
    QTest::newRow("oracle")
        << u"ORACLE"_s
        << QStringList{u"tablespace"_s, u"pctfree"_s, u"logging"_s, u"compression"_s}
        << QStringList{u"Tablespace"_s, u"Pctfree"_s, u"Logging"_s, u"Compression"_s};
    QTest::newRow("sqlserver")
        << u"sqlserver"_s
        << QStringList{u"filegroup"_s, u"data_compression"_s, u"lock_escalation"_s}
        << QStringList{u"Filegroup"_s, u"Data Compression"_s, u"Lock Escalation"_s};
    QTest::newRow("sqlite") << u"SQLite"_s << QStringList{u"without_rowid"_s, u"strict"_s}
                            << QStringList{u"Without Rowid"_s, u"Strict"_s};
    QTest::newRow("csv") << u"csv"_s
                         << QStringList{u"delimiter"_s, u"encoding"_s, u"header"_s, u"quote"_s}
                         << QStringList{u"Delimiter"_s, u"Encoding"_s, u"Header"_s, u"Quote"_s};
    QTest::newRow("parquet") << u"parquet"_s << QStringList{u"compression"_s, u"row_group_size"_s}
                             << QStringList{u"Compression"_s, u"Row Group Size"_s};
    QTest::newRow("databricks")
        << u"Databricks"_s
        << QStringList{u"location"_s, u"data_format"_s, u"partitioned_by"_s, u"clustered_by"_s}
        << QStringList{u"Location"_s, u"Format"_s, u"Partitioned By"_s, u"Clustered By"_s};
}

void tst_DialectCatalog::physicalOptionsInOrder()
{
    QFETCH(QString, dialect);
    QFETCH(QStringList, keys);
    QFETCH(QStringList, labels);

    QStringList gotKeys;
    QStringList gotLabels;
    for (const TablePhysicalOption &option : dialectPhysicalOptions(dialect)) {
        gotKeys << option.first;
        gotLabels << option.second;
    }
    QCOMPARE(gotKeys, keys);
    QCOMPARE(gotLabels, labels);
}

void tst_DialectCatalog::physicalOptionsEmptyForDialectsWithout_data()
{
    QTest::addColumn<QString>("dialect");
    QTest::newRow("duckdb") << u"DuckDB"_s;
    QTest::newRow("conceptual") << u"Conceptual ER"_s;
    QTest::newRow("empty") << QString();
    QTest::newRow("misspelt") << u"Postgre SQL"_s;
}

void tst_DialectCatalog::physicalOptionsEmptyForDialectsWithout()
{
    QFETCH(QString, dialect);
    QVERIFY(dialectPhysicalOptions(dialect).isEmpty());
}

void tst_DialectCatalog::makeOptionListTreatsNullAsEmpty()
{
    const std::pair<const char *, const char *> pairs[] = {{"a", nullptr}, {nullptr, "B"}};
    const QList<TablePhysicalOption> options = makeOptionList(pairs, 2);
    QCOMPARE(options.size(), 2);
    QCOMPARE(options.at(0), TablePhysicalOption(u"a"_s, QString()));
    QCOMPARE(options.at(1), TablePhysicalOption(QString(), u"B"_s));
    QVERIFY(makeOptionList(nullptr, 3).isEmpty());
}

void tst_DialectCatalog::defaultKeyType_data()
{
    QTest::addColumn<QString>("dialect");
    QTest::addColumn<QString>("expected");
    QTest::newRow("postgres") << u"postgres"_s << u"BIGINT"_s;
    QTest::newRow("mysql") << u"MySQL"_s << u"BIGINT"_s;
    QTest::newRow("mssql") << u"mssql"_s << u"BIGINT"_s;
    QTest::newRow("databricks") << u"Databricks"_s << u"BIGINT"_s;
    QTest::newRow("duckdb") << u"duckdb"_s << u"BIGINT"_s;
    QTest::newRow("PARQUET") << u"PARQUET"_s << u"INT64"_s;
    QTest::newRow("csv") << u"csv"_s << u"INTEGER"_s;
    QTest::newRow("sqlite") << u"SQLite"_s << u"INTEGER"_s;
    QTest::newRow("oracle") << u"Oracle"_s << u"NUMBER"_s;
    QTest::newRow("conceptual") << u"Conceptual ER"_s << u"undefined"_s;
    QTest::newRow("empty") << QString() << u"undefined"_s;
    QTest::newRow("unknown") << u"Sybase"_s << u"undefined"_s;
}

void tst_DialectCatalog::defaultKeyType()
{
    QFETCH(QString, dialect);
    QFETCH(QString, expected);
    QCOMPARE(defaultKeyTypeForDialect(dialect), expected);
}

void tst_DialectCatalog::dataTypeListsHaveSizeEndsAndNoDuplicates_data()
{
    QTest::addColumn<QString>("dialect");
    QTest::addColumn<int>("size");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("last");

    QTest::newRow("csv") << u"csv"_s << 3 << u"INTEGER"_s << u"TEXT"_s;
    QTest::newRow("parquet") << u"Parquet"_s << 40 << u"BOOLEAN"_s << u"VARIANT"_s;
    QTest::newRow("databricks") << u"Databricks"_s << 33 << u"ARRAY"_s << u"VOID"_s;
    QTest::newRow("duckdb") << u"DuckDB"_s << 71 << u"ARRAY"_s << u"VARIANT"_s;
    QTest::newRow("mysql") << u"MySQL"_s << 46 << u"BIGINT"_s << u"YEAR"_s;
    QTest::newRow("oracle") << u"Oracle"_s << 28 << u"BFILE"_s << u"XMLTYPE"_s;
    QTest::newRow("postgres") << u"postgres"_s << 81 << u"ARRAY"_s << u"XML"_s;
    QTest::newRow("sqlite") << u"SQLite"_s << 27 << u"BIGINT"_s << u"VARYING CHARACTER"_s;
    QTest::newRow("sql server") << u"SQL Server"_s << 39 << u"BIGINT"_s << u"XML"_s;
}

void tst_DialectCatalog::dataTypeListsHaveSizeEndsAndNoDuplicates()
{
    QFETCH(QString, dialect);
    QFETCH(int, size);
    QFETCH(QString, first);
    QFETCH(QString, last);

    const QStringList types = dataTypesForDialect(dialect);
    QCOMPARE(types.size(), size);
    QCOMPARE(types.first(), first);
    QCOMPARE(types.last(), last);
    QCOMPARE(QSet<QString>(types.cbegin(), types.cend()).size(), types.size());
    for (const QString &type : types)
        QCOMPARE(type, type.toUpper());
}

void tst_DialectCatalog::dataTypesEmptyForConceptualAndUnknown_data()
{
    QTest::addColumn<QString>("dialect");
    QTest::newRow("conceptual") << u"Conceptual ER"_s;
    QTest::newRow("empty") << QString();
    QTest::newRow("unknown") << u"Informix"_s;
}

void tst_DialectCatalog::dataTypesEmptyForConceptualAndUnknown()
{
    QFETCH(QString, dialect);
    QVERIFY(dataTypesForDialect(dialect).isEmpty());
    // The table itself knows all ten dialects, "Conceptual ER" with an empty list.
    QCOMPARE(dialectDataTypeTable().size(), 10);
}

void tst_DialectCatalog::isNumericDataType_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<bool>("numeric");
    QTest::newRow("padded double precision") << u" double precision "_s << true;
    QTest::newRow("money") << u"money"_s << true;
    QTest::newRow("number") << u"NUMBER"_s << true;
    QTest::newRow("float8") << u"Float8"_s << true;
    QTest::newRow("double precision two blanks") << u"DOUBLE  PRECISION"_s << false;
    QTest::newRow("int") << u"INT"_s << false;
    QTest::newRow("bigint") << u"BIGINT"_s << false;
    QTest::newRow("empty") << QString() << false;
}

void tst_DialectCatalog::isNumericDataType()
{
    QFETCH(QString, type);
    QFETCH(bool, numeric);
    QCOMPARE(::isNumericDataType(type), numeric);
}

void tst_DialectCatalog::parseDataType_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("type");
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("precision");
    QTest::addColumn<int>("scale");
    QTest::addColumn<bool>("hasParameters");

    QTest::newRow("decimal") << u"DECIMAL(10,2)"_s << u"DECIMAL"_s << -1 << 10 << 2 << true;
    QTest::newRow("decimal lower with blanks")
        << u" decimal ( 10 , 2 ) "_s << u"decimal"_s << -1 << 10 << 2 << true;
    QTest::newRow("tab around comma") << u"DECIMAL(10\t,\t2)"_s << u"DECIMAL"_s << -1 << 10 << 2 << true;
    QTest::newRow("varchar") << u"VARCHAR(40)"_s << u"VARCHAR"_s << 40 << -1 << -1 << true;
    QTest::newRow("number one") << u"NUMBER(10)"_s << u"NUMBER"_s << -1 << 10 << -1 << true;
    QTest::newRow("integer length") << u"INTEGER(11)"_s << u"INTEGER"_s << 11 << -1 << -1 << true;
    QTest::newRow("timestamp length") << u"TIMESTAMP(6)"_s << u"TIMESTAMP"_s << 6 << -1 << -1 << true;
    QTest::newRow("leading zeros") << u"CHAR(007)"_s << u"CHAR"_s << 7 << -1 << -1 << true;
    QTest::newRow("int max") << u"VARCHAR(2147483647)"_s << u"VARCHAR"_s << 2147483647 << -1 << -1 << true;
    QTest::newRow("padded with tabs and nbsp")
        << u"\t\u00a0VARCHAR(40)\u00a0\t"_s << u"VARCHAR"_s << 40 << -1 << -1 << true;
    QTest::newRow("only the last group")
        << u"INTERVAL DAY(2) TO SECOND(6)"_s << u"INTERVAL DAY(2) TO SECOND"_s << 6 << -1 << -1 << true;

    const auto unrecognised = [](const char *name, const QString &text) {
        QTest::newRow(name) << text << text.trimmed() << -1 << -1 << -1 << false;
    };
    unrecognised("two numbers non-numeric", u"VARCHAR(10,2)"_s);
    unrecognised("no closing", u"VARCHAR(40"_s);
    unrecognised("no base", u"(10)"_s);
    unrecognised("empty parameters", u"CHAR()"_s);
    unrecognised("missing scale", u"DECIMAL(10,)"_s);
    unrecognised("negative", u"DECIMAL(-1)"_s);
    unrecognised("doubled closing", u"VARCHAR(40))"_s);
    unrecognised("plain name", u" TEXT "_s);
    unrecognised("empty", QString());
    unrecognised("blank", u"  \t "_s);
    unrecognised("full-width digits", u"VARCHAR(\uff14\uff10)"_s);
    unrecognised("nbsp around comma", u"DECIMAL(10\u00a0,\u00a02)"_s);
    // Numbers beyond the 32-bit range are not read as 0: the text stays as typed.
    unrecognised("eleven nines", u"VARCHAR(99999999999)"_s);
    unrecognised("int max plus one", u"VARCHAR(2147483648)"_s);
    unrecognised("precision too large", u"DECIMAL(99999999999,2)"_s);
    unrecognised("scale too large", u"DECIMAL(10,99999999999)"_s);
}

void tst_DialectCatalog::parseDataType()
{
    QFETCH(QString, text);
    QFETCH(QString, type);
    QFETCH(int, length);
    QFETCH(int, precision);
    QFETCH(int, scale);
    QFETCH(bool, hasParameters);

    const ParsedDataType parsed = ::parseDataType(text);
    QCOMPARE(parsed.type, type);
    QCOMPARE(parsed.length, length);
    QCOMPARE(parsed.precision, precision);
    QCOMPARE(parsed.scale, scale);
    QCOMPARE(parsed.hasParameters, hasParameters);
}

void tst_DialectCatalog::formatDataType_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("precision");
    QTest::addColumn<int>("scale");
    QTest::addColumn<QString>("expected");

    QTest::newRow("decimal p,s") << u"DECIMAL"_s << -1 << 10 << 2 << u"DECIMAL(10,2)"_s;
    QTest::newRow("decimal p") << u"DECIMAL"_s << -1 << 10 << -1 << u"DECIMAL(10)"_s;
    QTest::newRow("decimal s only") << u"DECIMAL"_s << -1 << -1 << 2 << u"DECIMAL"_s;
    QTest::newRow("decimal length ignored") << u"DECIMAL"_s << 5 << -1 << -1 << u"DECIMAL"_s;
    QTest::newRow("varchar length wins") << u"VARCHAR"_s << 40 << 10 << 2 << u"VARCHAR(40)"_s;
    QTest::newRow("integer zero") << u"INTEGER"_s << 0 << -1 << -1 << u"INTEGER(0)"_s;
    QTest::newRow("padded integer") << u"  INTEGER  "_s << -1 << -1 << -1 << u"INTEGER"_s;
    QTest::newRow("parsed length") << u"VARCHAR(40)"_s << -1 << -1 << -1 << u"VARCHAR(40)"_s;
    QTest::newRow("given length wins") << u"VARCHAR(40)"_s << 100 << -1 << -1 << u"VARCHAR(100)"_s;
    QTest::newRow("given precision, parsed scale")
        << u"DECIMAL(10,2)"_s << -1 << 12 << -1 << u"DECIMAL(12,2)"_s;
    QTest::newRow("unrecognised as typed") << u"VARCHAR(10,2)"_s << 5 << -1 << -1 << u"VARCHAR(10,2)"_s;
    QTest::newRow("overflow as typed")
        << u" VARCHAR(99999999999) "_s << -1 << -1 << -1 << u"VARCHAR(99999999999)"_s;
    QTest::newRow("empty") << QString() << 10 << 10 << 2 << QString();
    QTest::newRow("percent in name") << u"T%2"_s << 5 << -1 << -1 << u"T%2(5)"_s;
}

void tst_DialectCatalog::formatDataType()
{
    QFETCH(QString, type);
    QFETCH(int, length);
    QFETCH(int, precision);
    QFETCH(int, scale);
    QFETCH(QString, expected);
    QCOMPARE(::formatDataType(type, length, precision, scale), expected);
}

QTEST_GUILESS_MAIN(tst_DialectCatalog)
#include "tst_dialectcatalog.moc"
