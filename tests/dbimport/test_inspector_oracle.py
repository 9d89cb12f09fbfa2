"""The inspector on Oracle, through a stand-in driver that answers from canned rows."""

import json
import os
import tempfile
import unittest

from inspector_testing import HERE, run_inspector

FAKE = os.path.join(HERE, "fake_oracle")


def column(name, kind, nullable):
    return {"name": name, "type": kind, "nullable": nullable}


class OracleThroughFakeDriver(unittest.TestCase):
    def setUp(self):
        folder = tempfile.TemporaryDirectory()
        self.addCleanup(folder.cleanup)
        self.log = os.path.join(folder.name, "statements.jsonl")

    def inspect(self, *extra):
        args = ["--dialect", "oracle", "--host", "localhost", "--port", "1521",
                "--dsn", " db.example:1521/ORCL "] + list(extra)
        return run_inspector(args, env={"PYTHONPATH": FAKE, "FAKE_ORACLE_LOG": self.log})

    def logged(self):
        with open(self.log, encoding="utf-8") as log:
            return [json.loads(line) for line in log]

    def test_schema_becomes_the_document(self):
        code, out, err = self.inspect("--user", "scott", "--password", "tiger", "--schema", "shop")
        self.assertEqual(code, 0, err)
        self.assertEqual(json.loads(out), {
            "meta": {"dialect": "oracle", "source": "oracle://SCOTT@db.example:1521/ORCL",
                     "schema": "SHOP", "generator": "schema_inspector.py"},
            "tables": [
                {"name": "CUSTOMERS", "columns": [column("ID", "NUMBER(10)", False),
                                                  column("NAME", "NVARCHAR2(100)", False)]},
                {"name": "EMPTY_T", "columns": []},
                {"name": "ORDERS", "columns": [
                    column("ID", "NUMBER(10)", False), column("CUSTOMER_ID", "NUMBER(10)", False),
                    column("PERSON_ID", "NUMBER", True), column("AMOUNT", "NUMBER(10,2)", True),
                    column("NOTE", "VARCHAR2(40)", True), column("PLACED", "DATE", True)]},
                {"schema": "HR", "name": "PEOPLE", "columns": [column("ID", "NUMBER", False)]},
            ],
            "constraints": [
                {"type": "PRIMARY KEY", "table": "CUSTOMERS", "columns": ["ID"]},
                {"type": "UNIQUE", "table": "CUSTOMERS", "columns": ["NAME"]},
                {"type": "PRIMARY KEY", "table": "ORDERS", "columns": ["ID"]},
                {"type": "FOREIGN KEY", "table": "ORDERS", "columns": ["CUSTOMER_ID"],
                 "name": "ORDERS.ORDERS_CUSTOMER_FK", "ref_schema": "SHOP", "ref_table": "CUSTOMERS",
                 "ref_columns": ["ID"]},
                {"type": "FOREIGN KEY", "table": "ORDERS", "columns": ["PERSON_ID"],
                 "name": "ORDERS.ORDERS_PERSON_FK", "ref_schema": "HR", "ref_table": "PEOPLE",
                 "ref_columns": ["ID"]},
                {"type": "PRIMARY KEY", "schema": "HR", "table": "PEOPLE", "columns": ["ID"]},
            ],
        })
        self.assertEqual(err.strip().splitlines(), [
            "Connecting to db.example:1521/ORCL as SCOTT", "Reading 3 tables in schema SHOP",
            "Reading constraints", "Done: 4 tables, 6 constraints"])

        entries = self.logged()
        self.assertEqual(entries[0]["connect"], {"user": "scott", "dsn": "db.example:1521/ORCL",
                                                 "password given": True, "others": {}})
        statements = [e for e in entries if "statement" in e]
        # A fixed number of catalogue queries, the owner only ever as a bind variable.
        self.assertEqual(len(statements), 4)
        for entry in statements:
            self.assertEqual(entry["binds"], {"owner": "SHOP"})
            self.assertNotIn("SHOP", entry["statement"].upper())

    def test_owner_defaults_to_the_user_in_upper_case(self):
        code, out, err = self.inspect("--user", "Shop", "--schema", "")
        self.assertEqual(code, 0, err)
        self.assertEqual(json.loads(out)["meta"]["schema"], "SHOP")
        self.assertFalse(self.logged()[0]["connect"]["password given"])

    def test_failures_say_why_without_the_password(self):
        cases = [
            ("schema not visible", ("--user", "scott", "--password", "tiger", "--schema", "public"),
             'Schema "PUBLIC" does not exist or is not visible to SCOTT.'),
            ("logon denied", ("--user", "scott", "--password", "wrong", "--schema", "shop"),
             "Could not connect to db.example:1521/ORCL: ORA-01017: invalid username/password "
             "(scott/***@db.example:1521/ORCL); logon denied"),
        ]
        for name, extra, reason in cases:
            with self.subTest(name):
                code, out, err = self.inspect(*extra)
                self.assertEqual(code, 1, err)
                self.assertEqual(out, "")
                self.assertEqual(err.strip().splitlines()[-1], reason)


if __name__ == "__main__":
    unittest.main(verbosity=2)
