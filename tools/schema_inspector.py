#!/usr/bin/env python3
"""Prints the schema of a PostgreSQL or Oracle database, or of a folder of CSV files, as
one JSON object on standard output, for velmora's Import from Database.

    schema_inspector.py --dialect postgresql [--host H] [--port P] [--user U]
                        [--password PW] [--schema S] [--dbname D]
    schema_inspector.py --dialect oracle --dsn HOST:PORT/SERVICE [--user U]
                        [--password PW] [--schema S] [--host H] [--port P]
    schema_inspector.py --dialect csv --csv-dir FOLDER

Every option takes the next argument as its value, even an empty one or one that begins
with "-". An empty value means "not given". Progress goes to standard error, one line at a
time; on failure the last line there is the reason and standard output stays empty.

Exit codes: 0 success, 1 runtime failure, 2 usage, 3 the source's driver is missing.

The password is best handed over in the environment variable VELMORA_DB_PASSWORD, for both
databases: the command line is visible to every local user while the script runs, so the
application never puts it there, and --password is left for a script run by hand. Without
either, libpq still uses PGPASSWORD or ~/.pgpass.

Tables are named as in their schema. A foreign key into another schema names the table by
"ref_schema" and "ref_table"; such referenced tables are listed too, with their key columns,
under their "schema", so that the relationship can be drawn. Every column says whether it is
"nullable".
"""

import csv
import io
import json
import math
import os
import re
import sys

GENERATOR = "schema_inspector.py"
DIALECTS = ("postgresql", "oracle", "csv")
OPTIONS = ("--dialect", "--host", "--port", "--user", "--password", "--schema",
           "--dbname", "--dsn", "--csv-dir")
USAGE = ("usage: schema_inspector.py --dialect postgresql|oracle|csv [--host HOST] "
         "[--port PORT] [--user USER] [--password PASSWORD] [--schema SCHEMA] "
         "[--dbname NAME] [--dsn DSN] [--csv-dir FOLDER]")
DEFAULT_PORTS = {"postgresql": 5432, "oracle": 1521}
CONNECT_TIMEOUT_S = 10
CSV_SAMPLE_ROWS = 1000
CSV_SNIFF_BYTES = 64 * 1024
CSV_DELIMITERS = ",;\t|"
INTEGER_LITERAL = re.compile(r"[+-]?[0-9]+")
NUMBER_LITERAL = re.compile(r"[+-]?([0-9]+\.?[0-9]*|\.[0-9]+)([eE][+-]?[0-9]+)?")

PASSWORD_VARIABLE = "VELMORA_DB_PASSWORD"

EXIT_FAILURE = 1
EXIT_USAGE = 2
EXIT_NO_DRIVER = 3


class InspectorError(Exception):
    """A failure with its exit code and a one-line reason for the user."""

    def __init__(self, code, reason):
        super().__init__(reason)
        self.code = code
        self.reason = reason


def progress(text):
    sys.stderr.write(text + "\n")
    sys.stderr.flush()


def one_line(text, password=""):
    """The text on one line, with the password (if any) replaced by ***."""
    if password:
        text = text.replace(password, "***")
    return " ".join(str(text).split())


# Command line -------------------------------------------------------------------------

def parse_arguments(argv):
    """Reads (option, value) pairs strictly; raises InspectorError(2) on any misuse."""
    values = {}
    i = 0
    while i < len(argv):
        option = argv[i]
        if option not in OPTIONS:
            raise InspectorError(EXIT_USAGE, "unknown option %r" % option)
        if i + 1 >= len(argv):
            raise InspectorError(EXIT_USAGE, "option %s needs a value" % option)
        if option in values:
            raise InspectorError(EXIT_USAGE, "option %s given twice" % option)
        values[option] = argv[i + 1]
        i += 2

    dialect = values.get("--dialect", "")
    if dialect not in DIALECTS:
        raise InspectorError(EXIT_USAGE, "--dialect must be one of %s, not %r"
                             % (", ".join(DIALECTS), dialect))
    settings = {key[2:].replace("-", "_"): value for key, value in values.items()}
    # Everything but the password is trimmed; the password is passed exactly as typed.
    for key in ("host", "port", "user", "schema", "dbname", "dsn", "csv_dir"):
        settings[key] = settings.get(key, "").strip()
    settings.setdefault("password", "")
    # Taken out of the environment, so that nothing the drivers might start inherits it.
    handed_over = os.environ.pop(PASSWORD_VARIABLE, "")
    if not settings["password"]:
        settings["password"] = handed_over
    settings["port"] = parse_port(settings["port"], dialect)
    if dialect == "oracle" and not settings["dsn"]:
        raise InspectorError(EXIT_USAGE, "--dsn is required for oracle")
    if dialect == "csv" and not settings["csv_dir"]:
        raise InspectorError(EXIT_USAGE, "--csv-dir is required for csv")
    return settings


def parse_port(text, dialect):
    if not text:
        return DEFAULT_PORTS.get(dialect)
    if not text.isascii() or not text.isdigit() or not 1 <= int(text) <= 65535:
        raise InspectorError(EXIT_USAGE, "--port must be a number from 1 to 65535, not %r" % text)
    return int(text)


# Shared output -----------------------------------------------------------------------

def document(dialect, source, schema, tables, constraints):
    return {
        "meta": {"dialect": dialect, "source": source, "schema": schema, "generator": GENERATOR},
        "tables": tables,
        "constraints": constraints,
    }


def constraint_entry(kind, table, columns, name=None, ref_schema=None, ref_table=None,
                     ref_columns=None, schema=None):
    entry = {"type": kind, "table": table, "columns": list(columns)}
    if schema is not None:
        entry["schema"] = schema
    if kind == "FOREIGN KEY":
        # Constraint names are unique per table only; the table makes them unique here.
        entry["name"] = "%s.%s" % (table, name)
        # Schema and table apart: joined, "sales.regions" could be either a table of that
        # name or the table regions of the schema sales.
        entry["ref_schema"] = ref_schema
        entry["ref_table"] = ref_table
        entry["ref_columns"] = list(ref_columns or [])
    return entry


def referenced_tables(rows, column_of):
    """Rows of (schema, table, key kind, column row), ordered, to the tables of other schemas
    that foreign keys refer to, each with its key columns, and their keys' constraints."""
    tables = []
    keys = {}
    for schema, table, kind, row in rows:
        if not tables or (tables[-1]["schema"], tables[-1]["name"]) != (schema, table):
            tables.append({"schema": schema, "name": table, "columns": []})
        name = row[0]
        if name not in [c["name"] for c in tables[-1]["columns"]]:
            tables[-1]["columns"].append(column_of(row))
        if kind in ("PRIMARY KEY", "UNIQUE"):
            columns = keys.setdefault((schema, table, kind), [])
            if name not in columns:
                columns.append(name)
    constraints = [constraint_entry(kind, table, columns, schema=schema)
                   for (schema, table, kind), columns in keys.items()]
    return tables, constraints


CONSTRAINT_KINDS = {"p": "PRIMARY KEY", "u": "UNIQUE", "f": "FOREIGN KEY",
                    "P": "PRIMARY KEY", "U": "UNIQUE", "R": "FOREIGN KEY"}
KIND_ORDER = {"PRIMARY KEY": 0, "UNIQUE": 1, "FOREIGN KEY": 2}


def sorted_constraints(entries):
    """The inspected schema's first, then by schema, table, primary, unique, foreign, name."""
    return sorted(entries, key=lambda e: ("schema" in e, e.get("schema", ""), e["table"],
                                          KIND_ORDER[e["type"]], e.get("name", "")))


# PostgreSQL --------------------------------------------------------------------------

PG_SCHEMA_QUERY = """
SELECT current_database()::text, EXISTS (SELECT 1 FROM pg_namespace WHERE nspname = %(schema)s)
"""

# The schema's name is always a bind parameter, never part of the statement's text.
PG_NAMESPACE = "(SELECT oid FROM pg_namespace WHERE nspname = %(schema)s)"

PG_COLUMNS_QUERY = """
SELECT c.relname::text, a.attname::text, format_type(a.atttypid, a.atttypmod), NOT a.attnotnull
FROM pg_class c
LEFT JOIN pg_attribute a ON a.attrelid = c.oid AND a.attnum > 0 AND NOT a.attisdropped
WHERE c.relnamespace = """ + PG_NAMESPACE + """ AND c.relkind IN ('r', 'p') AND NOT c.relispartition
ORDER BY c.relname, a.attnum
"""

# Constraints inherited from a partitioned parent (conparentid <> 0) are the parent's.
PG_CONSTRAINTS_QUERY = """
SELECT c.relname::text, con.conname::text, con.contype::text,
       ARRAY(SELECT a.attname::text
             FROM unnest(con.conkey) WITH ORDINALITY AS k(attnum, position)
             JOIN pg_attribute a ON a.attrelid = con.conrelid AND a.attnum = k.attnum
             ORDER BY k.position),
       rn.nspname::text, rc.relname::text,
       ARRAY(SELECT a.attname::text
             FROM unnest(con.confkey) WITH ORDINALITY AS k(attnum, position)
             JOIN pg_attribute a ON a.attrelid = con.confrelid AND a.attnum = k.attnum
             ORDER BY k.position)
FROM pg_constraint con
JOIN pg_class c ON c.oid = con.conrelid
LEFT JOIN pg_class rc ON rc.oid = con.confrelid
LEFT JOIN pg_namespace rn ON rn.oid = rc.relnamespace
WHERE c.relnamespace = """ + PG_NAMESPACE + """ AND c.relkind IN ('r', 'p') AND NOT c.relispartition
  AND con.contype IN ('p', 'u', 'f') AND con.conparentid = 0
ORDER BY c.relname, con.contype, con.conname
"""

# The tables of other schemas that the schema's foreign keys refer to, with the columns of
# their primary keys and those the foreign keys refer to.
PG_REFERENCED_QUERY = """
SELECT rn.nspname::text, rc.relname::text,
       CASE WHEN a.attnum = ANY (pk.conkey) THEN 'PRIMARY KEY' ELSE '' END,
       a.attname::text, format_type(a.atttypid, a.atttypmod), NOT a.attnotnull
FROM pg_class rc
JOIN pg_namespace rn ON rn.oid = rc.relnamespace
JOIN pg_attribute a ON a.attrelid = rc.oid AND a.attnum > 0 AND NOT a.attisdropped
LEFT JOIN pg_constraint pk ON pk.conrelid = rc.oid AND pk.contype = 'p'
WHERE rc.relnamespace <> """ + PG_NAMESPACE + """
  AND rc.oid IN (SELECT con.confrelid FROM pg_constraint con JOIN pg_class c ON c.oid = con.conrelid
                 WHERE c.relnamespace = """ + PG_NAMESPACE + """ AND con.contype = 'f'
                   AND con.conparentid = 0)
  AND (a.attnum = ANY (pk.conkey)
       OR a.attnum IN (SELECT unnest(con.confkey) FROM pg_constraint con
                       JOIN pg_class c ON c.oid = con.conrelid
                       WHERE con.confrelid = rc.oid AND c.relnamespace = """ + PG_NAMESPACE + """
                         AND con.contype = 'f' AND con.conparentid = 0))
ORDER BY rn.nspname, rc.relname, a.attnum
"""


def load_postgresql_driver():
    try:
        import psycopg
        return psycopg
    except ImportError:
        pass
    try:
        import psycopg2
        return psycopg2
    except ImportError:
        raise InspectorError(EXIT_NO_DRIVER, "PostgreSQL support needs the Python package "
                             "psycopg2 (or psycopg), which is not installed.")


def postgresql_type(text):
    """format_type's text upper-cased, except inside double-quoted names."""
    parts = text.split('"')
    return '"'.join(part if i % 2 else part.upper() for i, part in enumerate(parts))


def postgresql_tables(rows):
    """Rows of (table, column, type, nullable), ordered, to the "tables" list."""
    tables = []
    for table, column, type_text, nullable in rows:
        if not tables or tables[-1]["name"] != table:
            tables.append({"name": table, "columns": []})
        if column is not None:
            tables[-1]["columns"].append(
                {"name": column, "type": postgresql_type(type_text), "nullable": bool(nullable)})
    return tables


def postgresql_constraints(rows):
    entries = []
    for table, name, contype, columns, ref_schema, ref_table, ref_columns in rows:
        kind = CONSTRAINT_KINDS[contype]
        if kind == "FOREIGN KEY":
            entries.append(constraint_entry(kind, table, columns, name, ref_schema, ref_table, ref_columns))
        else:
            entries.append(constraint_entry(kind, table, columns))
    return entries


def postgresql_referenced(rows):
    return referenced_tables(
        ((schema, table, kind, (column, type_text, nullable))
         for schema, table, kind, column, type_text, nullable in rows),
        lambda row: {"name": row[0], "type": postgresql_type(row[1]), "nullable": bool(row[2])})


def postgresql_connection_arguments(settings):
    arguments = {"port": settings["port"], "connect_timeout": CONNECT_TIMEOUT_S,
                 "application_name": "schema_inspector"}
    for key in ("host", "user", "password", "dbname"):
        if settings[key]:
            arguments[key] = settings[key]
    return arguments


def inspect_postgresql(settings):
    driver = load_postgresql_driver()
    schema = settings["schema"] or "public"
    user = settings["user"] or current_user()
    where = "%s:%s/%s" % (settings["host"] or "local socket", settings["port"],
                          settings["dbname"] or "(default database)")
    progress("Connecting to %s as %s" % (where, user))
    try:
        connection = driver.connect(**postgresql_connection_arguments(settings))
    except driver.Error as error:
        raise InspectorError(EXIT_FAILURE, "Could not connect to %s: %s" % (where, error))
    try:
        cursor = connection.cursor()
        # One consistent, read-only view of the catalogue for all queries.
        cursor.execute("SET TRANSACTION ISOLATION LEVEL REPEATABLE READ, READ ONLY")
        cursor.execute(PG_SCHEMA_QUERY, {"schema": schema})
        database, exists = cursor.fetchone()
        if not exists:
            raise InspectorError(EXIT_FAILURE, 'Schema "%s" does not exist in database "%s".'
                                 % (schema, database))
        cursor.execute(PG_COLUMNS_QUERY, {"schema": schema})
        tables = postgresql_tables(cursor.fetchall())
        progress("Reading %d tables in schema %s" % (len(tables), schema))
        progress("Reading constraints")
        cursor.execute(PG_CONSTRAINTS_QUERY, {"schema": schema})
        constraints = postgresql_constraints(cursor.fetchall())
        cursor.execute(PG_REFERENCED_QUERY, {"schema": schema})
        others, other_keys = postgresql_referenced(cursor.fetchall())
        tables += others
        constraints = sorted_constraints(constraints + other_keys)
    except driver.Error as error:
        raise InspectorError(EXIT_FAILURE, "Query failed: %s" % error)
    finally:
        connection.close()
    source = "postgresql://%s@%s/%s" % (user, where.split("/")[0], database)
    return document("postgresql", source, schema, tables, constraints)


# Oracle ------------------------------------------------------------------------------

ORACLE_OWNER_QUERY = "SELECT username FROM all_users WHERE username = :owner"

ORACLE_COLUMNS_QUERY = """
SELECT t.table_name, c.column_name, c.data_type, c.data_length, c.data_precision,
       c.data_scale, c.nullable, c.char_length
FROM all_tables t
LEFT JOIN all_tab_columns c ON c.owner = t.owner AND c.table_name = t.table_name
WHERE t.owner = :owner AND t.dropped = 'NO'
ORDER BY t.table_name, c.column_id
"""

ORACLE_CONSTRAINTS_QUERY = """
SELECT c.table_name, c.constraint_name, c.constraint_type, cc.column_name, cc.position,
       r.owner, r.table_name, rc.column_name
FROM all_constraints c
JOIN all_cons_columns cc
  ON cc.owner = c.owner AND cc.constraint_name = c.constraint_name AND cc.table_name = c.table_name
LEFT JOIN all_constraints r ON r.owner = c.r_owner AND r.constraint_name = c.r_constraint_name
LEFT JOIN all_cons_columns rc
  ON rc.owner = r.owner AND rc.constraint_name = r.constraint_name AND rc.position = cc.position
WHERE c.owner = :owner AND c.constraint_type IN ('P', 'U', 'R')
ORDER BY c.table_name, c.constraint_name, cc.position
"""

# The keys of other schemas' tables that the schema's foreign keys refer to, with their
# columns: owner, table, key type, then the columns as ORACLE_COLUMNS_QUERY gives them.
ORACLE_REFERENCED_QUERY = """
SELECT DISTINCT r.owner, r.table_name, r.constraint_type, rc.column_name, t.data_type,
       t.data_length, t.data_precision, t.data_scale, t.nullable, t.char_length, rc.position
FROM all_constraints f
JOIN all_constraints r ON r.owner = f.r_owner AND r.constraint_name = f.r_constraint_name
JOIN all_cons_columns rc ON rc.owner = r.owner AND rc.constraint_name = r.constraint_name
JOIN all_tab_columns t ON t.owner = rc.owner AND t.table_name = rc.table_name
                      AND t.column_name = rc.column_name
WHERE f.owner = :owner AND f.constraint_type = 'R' AND r.owner <> :owner
ORDER BY r.owner, r.table_name, r.constraint_type, rc.position
"""

ORACLE_LENGTH_TYPES = ("VARCHAR2", "NVARCHAR2", "VARCHAR", "CHAR", "NCHAR", "RAW")


def load_oracle_driver():
    try:
        import oracledb
        return oracledb
    except ImportError:
        pass
    try:
        import cx_Oracle
        return cx_Oracle
    except ImportError:
        raise InspectorError(EXIT_NO_DRIVER, "Oracle support needs the Python package "
                             "oracledb, which is not installed.")


def oracle_type(data_type, length, precision, scale, char_length):
    """ALL_TAB_COLUMNS' type with its length, or precision and scale."""
    if data_type in ORACLE_LENGTH_TYPES:
        size = char_length or length
        return "%s(%d)" % (data_type, size) if size else data_type
    if data_type == "NUMBER" and precision is not None:
        return "NUMBER(%d,%d)" % (precision, scale) if scale else "NUMBER(%d)" % precision
    if data_type == "FLOAT" and precision is not None:
        return "FLOAT(%d)" % precision
    return data_type


def oracle_tables(rows):
    """Rows of ALL_TABLES joined with ALL_TAB_COLUMNS to the "tables" list, by name."""
    tables = {}
    for table, column, data_type, length, precision, scale, nullable, char_length in rows:
        columns = tables.setdefault(table, [])
        if column is not None:
            columns.append({"name": column,
                            "type": oracle_type(data_type, length, precision, scale, char_length),
                            "nullable": nullable != "N"})
    return [{"name": name, "columns": tables[name]} for name in sorted(tables)]


def oracle_constraints(rows):
    """Rows of ALL_CONSTRAINTS with their columns by position to the "constraints" list."""
    grouped = {}
    for table, name, kind, column, _position, ref_owner, ref_table, ref_column in rows:
        entry = grouped.get((table, name))
        if entry is None:
            entry = grouped[(table, name)] = {"table": table, "name": name,
                                              "kind": CONSTRAINT_KINDS[kind], "columns": [],
                                              "ref_schema": ref_owner, "ref_table": ref_table,
                                              "ref_columns": []}
        entry["columns"].append(column)
        if ref_column is not None:
            entry["ref_columns"].append(ref_column)
    return [constraint_entry(e["kind"], e["table"], e["columns"], e["name"], e["ref_schema"],
                             e["ref_table"], e["ref_columns"])
            for e in grouped.values()]


def oracle_referenced(rows):
    return referenced_tables(
        ((owner, table, CONSTRAINT_KINDS[kind], row) for owner, table, kind, *row in rows),
        lambda row: {"name": row[0], "type": oracle_type(*row[1:5], row[6]), "nullable": row[5] != "N"})


def oracle_connection_arguments(settings):
    arguments = {"dsn": settings["dsn"]}
    for key in ("user", "password"):
        if settings[key]:
            arguments[key] = settings[key]
    return arguments


def inspect_oracle(settings):
    driver = load_oracle_driver()
    user = settings["user"].upper()
    progress("Connecting to %s as %s" % (settings["dsn"], user or "(external user)"))
    try:
        connection = driver.connect(**oracle_connection_arguments(settings))
    except driver.Error as error:
        raise InspectorError(EXIT_FAILURE, "Could not connect to %s: %s" % (settings["dsn"], error))
    try:
        cursor = connection.cursor()
        if not user:
            cursor.execute("SELECT USER FROM dual")
            user = cursor.fetchone()[0]
        owner = (settings["schema"] or user).upper()
        cursor.execute(ORACLE_OWNER_QUERY, owner=owner)
        if cursor.fetchone() is None:
            raise InspectorError(EXIT_FAILURE, 'Schema "%s" does not exist or is not visible to %s.'
                                 % (owner, user))
        cursor.execute(ORACLE_COLUMNS_QUERY, owner=owner)
        tables = oracle_tables(cursor.fetchall())
        progress("Reading %d tables in schema %s" % (len(tables), owner))
        progress("Reading constraints")
        cursor.execute(ORACLE_CONSTRAINTS_QUERY, owner=owner)
        constraints = oracle_constraints(cursor.fetchall())
        cursor.execute(ORACLE_REFERENCED_QUERY, owner=owner)
        others, other_keys = oracle_referenced(cursor.fetchall())
        tables += others
        constraints = sorted_constraints(constraints + other_keys)
    except driver.Error as error:
        raise InspectorError(EXIT_FAILURE, "Query failed: %s" % error)
    finally:
        connection.close()
    return document("oracle", "oracle://%s@%s" % (user, settings["dsn"]), owner, tables, constraints)


# CSV folder --------------------------------------------------------------------------

def csv_files(folder):
    """Regular, non-hidden *.csv files directly in folder, by file name."""
    if not os.path.exists(folder):
        raise InspectorError(EXIT_FAILURE, "CSV folder %s does not exist." % folder)
    if not os.path.isdir(folder):
        raise InspectorError(EXIT_FAILURE, "%s is not a folder." % folder)
    try:
        entries = list(os.scandir(folder))
    except OSError as error:
        raise InspectorError(EXIT_FAILURE, "Cannot read the folder %s: %s" % (folder, error.strerror))
    names = sorted(e.name for e in entries
                   if not e.name.startswith(".") and e.name.lower().endswith(".csv")
                   and len(e.name) > 4 and e.is_file())
    if not names:
        raise InspectorError(EXIT_FAILURE, "No .csv files in %s" % folder)
    return names


def sniff_delimiter(sample):
    """The candidate that splits the header line into the most fields; comma on a tie."""
    best, best_fields = ",", 1
    for delimiter in CSV_DELIMITERS:
        try:
            fields = len(next(csv.reader(io.StringIO(sample), delimiter=delimiter), []))
        except csv.Error:
            continue
        if fields > best_fields:
            best, best_fields = delimiter, fields
    return best


def column_names(header):
    """Header fields trimmed; blanks named column_<n>, repeats <name>_2, <name>_3, ..."""
    names = []
    seen = set()
    for position, field in enumerate(header, start=1):
        name = field.strip() or "column_%d" % position
        if name in seen:
            suffix = 2
            while "%s_%d" % (name, suffix) in seen:
                suffix += 1
            name = "%s_%d" % (name, suffix)
        seen.add(name)
        names.append(name)
    return names


TYPE_RANK = {"INTEGER": 0, "REAL": 1, "TEXT": 2}


def value_kind(cell):
    if INTEGER_LITERAL.fullmatch(cell):
        return "INTEGER"
    if NUMBER_LITERAL.fullmatch(cell) and math.isfinite(float(cell)):
        return "REAL"
    return "TEXT"


def column_types(rows, count):
    """INTEGER, REAL or TEXT per column from the sampled rows; empty cells do not count.
    Also whether a column had an empty cell (or no rows at all)."""
    kinds = [None] * count
    nullable = [not rows] * count
    for row in rows:
        for index in range(count):
            cell = row[index].strip() if index < len(row) else ""
            if not cell:
                nullable[index] = True
            elif kinds[index] != "TEXT":  # nothing widens TEXT: stop looking
                kind = value_kind(cell)
                if kinds[index] is None or TYPE_RANK[kind] > TYPE_RANK[kinds[index]]:
                    kinds[index] = kind
    return [kind or "TEXT" for kind in kinds], nullable


def csv_table(path, name):
    """The table of one CSV file, or None (with a warning) when it cannot be read."""
    try:
        with open(path, encoding="utf-8-sig", errors="replace", newline="") as source:
            delimiter = sniff_delimiter(source.read(CSV_SNIFF_BYTES))
            source.seek(0)
            reader = csv.reader(source, delimiter=delimiter)
            header = next(reader, None)
            if header is None:
                progress("Warning: %s has no header line; its table has no columns" % os.path.basename(path))
                return {"name": name, "columns": []}
            rows = [row for _, row in zip(range(CSV_SAMPLE_ROWS), reader)]
    except OSError as error:
        progress("Warning: skipping %s: %s" % (os.path.basename(path), error.strerror or error))
        return None
    except csv.Error as error:
        progress("Warning: skipping %s: %s" % (os.path.basename(path), one_line(error)))
        return None
    names = column_names(header)
    types, nullable = column_types(rows, len(names))
    return {"name": name,
            "columns": [{"name": n, "type": t, "nullable": z} for n, t, z in zip(names, types, nullable)]}


def inspect_csv(settings):
    folder = os.path.abspath(settings["csv_dir"])
    names = csv_files(folder)
    progress("Reading %d CSV files in %s" % (len(names), folder))
    tables = []
    for file_name in names:
        table = csv_table(os.path.join(folder, file_name), file_name[:-4])
        if table is not None:
            tables.append(table)
    return document("csv", folder, "", tables, [])


# Entry -------------------------------------------------------------------------------

INSPECTORS = {"postgresql": inspect_postgresql, "oracle": inspect_oracle, "csv": inspect_csv}


def current_user():
    try:
        import getpass
        return getpass.getuser()
    except Exception:
        return "(current user)"


def detach_input():
    """Nothing here or in a driver may wait for input: standard input reads end of file."""
    try:
        null = os.open(os.devnull, os.O_RDONLY)
        os.dup2(null, 0)
        os.close(null)
    except OSError:
        pass


def main(argv):
    detach_input()
    sys.stdout.reconfigure(encoding="utf-8")
    sys.stderr.reconfigure(encoding="utf-8", errors="replace")
    password = ""
    try:
        settings = parse_arguments(argv)
        password = settings["password"]
        result = INSPECTORS[settings["dialect"]](settings)
    except InspectorError as error:
        if error.code == EXIT_USAGE:
            progress(USAGE)
        progress(one_line(error.reason, password))
        return error.code
    except Exception as error:  # a driver's or the system's surprise: still one line
        progress(one_line("%s: %s" % (type(error).__name__, error), password))
        return EXIT_FAILURE
    progress("Done: %d tables, %d constraints" % (len(result["tables"]), len(result["constraints"])))
    # dumps encodes in one pass in C; dump would write thousands of small pieces.
    sys.stdout.write(json.dumps(result, ensure_ascii=False) + "\n")
    sys.stdout.flush()
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
