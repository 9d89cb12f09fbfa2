"""The inspector on a folder of CSV files: which files, names, columns and types."""

import json
import os
import tempfile
import unittest

from inspector_testing import run_inspector


def write(folder, name, data):
    path = os.path.join(folder, name)
    with open(path, "wb") as f:
        f.write(data)
    return path


def column(name, kind, nullable=False):
    return {"name": name, "type": kind, "nullable": nullable}


class CsvFolder(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        self.addCleanup(self.folder.cleanup)
        self.dir = os.path.realpath(self.folder.name)

    def inspect(self, folder=None):
        return run_inspector(["--dialect", "csv", "--csv-dir", folder if folder is not None else self.dir])

    def test_folder_becomes_tables(self):
        d = self.dir
        write(d, "a.csv", b"id,price,label,maybe\n1,2.5,x,\n-2,3,y,7\n+3,1e3,z,\n")
        write(d, "b.CSV", "\ufeffcode;name\n10;Zoë\n;\n".encode("utf-8"))
        write(d, "empty.csv", b"")
        write(d, "header_only.csv", b"only, header\n")
        write(d, "headers.csv", b"name,,name, name ,\n1,2,3,4,5\n")
        write(d, "ragged.csv", b"a\tb\tc\n1\t2\n4\t5\t6\t7\n")
        write(d, "odd bytes.csv", b"caf\xe9,n\nx\xff,nan\n")
        write(d, "notes.txt", b"id\n1\n")
        write(d, ".hidden.csv", b"id\n1\n")
        os.mkdir(os.path.join(d, "folder.csv"))
        with open(os.path.join(d, "folder.csv", "inner.csv"), "wb") as f:
            f.write(b"id\n1\n")

        code, out, err = self.inspect()
        self.assertEqual(code, 0, err)
        self.assertIn("Warning: empty.csv has no header line", err)
        self.assertEqual(err.strip().splitlines()[-1], "Done: 7 tables, 0 constraints")
        self.assertEqual(json.loads(out), {
            "meta": {"dialect": "csv", "source": d, "schema": "", "generator": "schema_inspector.py"},
            "tables": [
                {"name": "a", "columns": [column("id", "INTEGER"), column("price", "REAL"),
                                          column("label", "TEXT"), column("maybe", "INTEGER", True)]},
                {"name": "b", "columns": [column("code", "INTEGER", True), column("name", "TEXT", True)]},
                {"name": "empty", "columns": []},
                {"name": "header_only", "columns": [column("only", "TEXT", True), column("header", "TEXT", True)]},
                {"name": "headers", "columns": [column("name", "INTEGER"), column("column_2", "INTEGER"),
                                                column("name_2", "INTEGER"), column("name_3", "INTEGER"),
                                                column("column_5", "INTEGER")]},
                {"name": "odd bytes", "columns": [column("caf\ufffd", "TEXT"), column("n", "TEXT")]},
                {"name": "ragged", "columns": [column("a", "INTEGER"), column("b", "INTEGER"),
                                               column("c", "INTEGER", True)]},
            ],
            "constraints": [],
        })

    def test_only_the_first_thousand_rows_are_sampled(self):
        with open(os.path.join(self.dir, "big.csv"), "w") as f:
            f.write("n|m\n")
            f.write("1|2.5\n" * 999_999)
            f.write("word|text\n")
        code, out, err = self.inspect()
        self.assertEqual(code, 0, err)
        self.assertEqual(json.loads(out)["tables"],
                         [{"name": "big", "columns": [column("n", "INTEGER"), column("m", "REAL")]}])

    @unittest.skipIf(os.geteuid() == 0, "root reads every file whatever its mode")
    def test_unreadable_file_is_skipped_with_a_warning(self):
        write(self.dir, "good.csv", b"id\n1\n")
        os.chmod(write(self.dir, "locked.csv", b"id\n1\n"), 0)
        code, out, err = self.inspect()
        self.assertEqual(code, 0, err)
        self.assertIn("Warning: skipping locked.csv", err)
        self.assertEqual([t["name"] for t in json.loads(out)["tables"]], ["good"])

    def test_folder_errors(self):
        write(self.dir, "notes.txt", b"id\n")
        file_path = write(self.dir, "plain.csv.txt", b"")
        missing = os.path.join(self.dir, "missing")
        for name, folder, reason in [
            ("missing", missing, "CSV folder %s does not exist." % missing),
            ("a file", file_path, "%s is not a folder." % file_path),
            ("no CSV file", self.dir, "No .csv files in %s" % self.dir),
        ]:
            with self.subTest(name):
                code, out, err = self.inspect(folder)
                self.assertEqual(code, 1, err)
                self.assertEqual(out, "")
                self.assertEqual(err.strip().splitlines()[-1], reason)


if __name__ == "__main__":
    unittest.main(verbosity=2)
