"""The inspector's command line, its missing-driver exits and its pure helpers."""

import os
import tempfile
import unittest

from inspector_testing import load_inspector, run_inspector, shadow_modules

PASSWORD = "-p@ss word "


class CommandLine(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        self.addCleanup(self.folder.cleanup)
        self.dir = self.folder.name
        with open(os.path.join(self.dir, "a.csv"), "w") as f:
            f.write("id\n1\n")
        os.mkdir(os.path.join(self.dir, "-lead"))
        with open(os.path.join(self.dir, "-lead", "b.csv"), "w") as f:
            f.write("id\n1\n")

    def test_argument_vectors(self):
        d = self.dir
        csv = ["--dialect", "csv", "--csv-dir", d]
        cases = [
            # (name, argv, exit code)
            ("csv folder", csv, 0),
            ("options in any order", ["--csv-dir", d, "--dialect", "csv"], 0),
            ("value beginning with a dash", ["--dialect", "csv", "--csv-dir", "-lead"], 0),
            ("database options ignored for csv", csv + ["--password", PASSWORD, "--host", ""], 0),
            ("port 1", csv + ["--port", "1"], 0),
            ("port 65535", csv + ["--port", "65535"], 0),
            ("empty port", csv + ["--port", ""], 0),
            ("port 0", csv + ["--port", "0"], 2),
            ("port 65536", csv + ["--port", "65536"], 2),
            ("port x", csv + ["--port", "x"], 2),
            ("port with a sign", csv + ["--port", "+5432"], 2),
            ("no arguments", [], 2),
            ("missing value at the end", ["--dialect", "csv", "--csv-dir"], 2),
            ("only the dialect option", ["--dialect"], 2),
            ("empty csv folder", ["--dialect", "csv", "--csv-dir", ""], 2),
            ("blank csv folder", ["--dialect", "csv", "--csv-dir", "  "], 2),
            ("unknown option", csv + ["--verbose", "1"], 2),
            ("bare word", csv + ["extra"], 2),
            ("repeated option", csv + ["--dialect", "csv"], 2),
            ("unknown dialect", ["--dialect", "mysql"], 2),
            ("dialect in upper case", ["--dialect", "CSV", "--csv-dir", d], 2),
            ("oracle without a DSN", ["--dialect", "oracle", "--user", "scott"], 2),
            ("oracle with an empty DSN", ["--dialect", "oracle", "--dsn", ""], 2),
            ("postgresql with port 0", ["--dialect", "postgresql", "--port", "0"], 2),
        ]
        for name, argv, expected in cases:
            with self.subTest(name):
                code, out, err = run_inspector(argv, cwd=d)
                self.assertEqual(code, expected, err)
                lines = err.strip().splitlines()
                if expected == 0:
                    self.assertTrue(out.startswith("{"), out)
                    self.assertTrue(lines[-1].startswith("Done: "), err)
                else:
                    self.assertEqual(out, "")
                    self.assertTrue(lines[0].startswith("usage: schema_inspector.py"), err)
                    self.assertEqual(len(lines), 2, err)
                self.assertNotIn(PASSWORD, err)


class MissingDrivers(unittest.TestCase):
    def test_missing_driver_exits_with_3(self):
        cases = [
            ("postgresql", ["--dialect", "postgresql", "--password", PASSWORD], ("psycopg", "psycopg2"),
             "PostgreSQL support needs the Python package psycopg2 (or psycopg), which is not installed."),
            ("oracle", ["--dialect", "oracle", "--dsn", "db:1521/ORCL", "--password", PASSWORD],
             ("oracledb", "cx_Oracle"),
             "Oracle support needs the Python package oracledb, which is not installed."),
        ]
        for name, argv, modules, sentence in cases:
            with self.subTest(name), tempfile.TemporaryDirectory() as folder:
                code, out, err = run_inspector(argv, env=shadow_modules(folder, *modules))
                self.assertEqual(code, 3, err)
                self.assertEqual(out, "")
                self.assertEqual(err.strip().splitlines()[-1], sentence)
                self.assertNotIn(PASSWORD, err)


class PureHelpers(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.inspector = load_inspector()

    def test_postgresql_type_is_upper_case_outside_quoted_names(self):
        for text, expected in [
            ("character varying(40)", "CHARACTER VARYING(40)"),
            ("numeric(10,2)", "NUMERIC(10,2)"),
            ("timestamp with time zone", "TIMESTAMP WITH TIME ZONE"),
            ("integer[]", "INTEGER[]"),
            ('shop."Mood"', 'SHOP."Mood"'),
            ('"My ""odd"" type"[]', '"My ""odd"" type"[]'),
        ]:
            with self.subTest(text):
                self.assertEqual(self.inspector.postgresql_type(text), expected)

    def test_oracle_type_carries_length_or_precision(self):
        for row, expected in [
            (("VARCHAR2", 160, None, None, 40), "VARCHAR2(40)"),
            (("CHAR", 1, None, None, 1), "CHAR(1)"),
            (("RAW", 16, None, None, 0), "RAW(16)"),
            (("NUMBER", 22, 10, 2, 0), "NUMBER(10,2)"),
            (("NUMBER", 22, 10, 0, 0), "NUMBER(10)"),
            (("NUMBER", 22, None, None, 0), "NUMBER"),
            (("FLOAT", 22, 126, None, 0), "FLOAT(126)"),
            (("DATE", 7, None, None, 0), "DATE"),
            (("TIMESTAMP(6)", 11, None, 6, 0), "TIMESTAMP(6)"),
        ]:
            with self.subTest(expected):
                self.assertEqual(self.inspector.oracle_type(*row), expected)

    def test_column_names_fill_blanks_and_number_repeats(self):
        self.assertEqual(self.inspector.column_names([" id ", "", "name", "name", "name_2", " ", "name"]),
                         ["id", "column_2", "name", "name_2", "name_2_2", "column_6", "name_3"])


if __name__ == "__main__":
    unittest.main(verbosity=2)
