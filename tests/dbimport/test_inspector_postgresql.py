"""The inspector against the tests' private PostgreSQL server (pg_server.sh)."""

import json
import os
import socket
import tempfile
import time
import unittest

from inspector_testing import HERE, run_inspector

CONNECTION_FILE = os.environ.get("VELMORA_PG_CONNECTION", "")


def connection():
    if not os.path.isfile(CONNECTION_FILE):
        raise AssertionError("No PostgreSQL test server: %r is missing. Run the tests through ctest, "
                             "whose fixture starts tests/dbimport/pg_server.sh." % CONNECTION_FILE)
    with open(CONNECTION_FILE, encoding="utf-8") as f:
        return json.load(f)


def closed_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class PostgreSQL(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.server = connection()

    def inspect(self, schema="shop", password=None, port=None, dbname=None, env=None):
        s = self.server
        args = ["--dialect", "postgresql", "--host", " %s " % s["host"], "--port", str(port or s["port"]),
                "--user", s["user"], "--password", s["password"] if password is None else password,
                "--schema", schema, "--dbname", dbname or s["dbname"]]
        return run_inspector(args, env=env)

    def test_schema_shop_is_the_expected_document(self):
        code, out, err = self.inspect()
        self.assertEqual(code, 0, err)
        document = json.loads(out)
        source = document["meta"].pop("source")
        self.assertEqual(source, "postgresql://inspector@127.0.0.1:%d/citest" % self.server["port"])
        with open(os.path.join(HERE, "data", "pg_expected.json"), encoding="utf-8") as f:
            self.assertEqual(document, json.load(f))
        self.assertEqual(err.strip().splitlines(), [
            "Connecting to 127.0.0.1:%d/citest as inspector" % self.server["port"],
            "Reading 13 tables in schema shop", "Reading constraints", "Done: 16 tables, 28 constraints"])
        self.assertNotIn(self.server["password"], out + err)

    def test_statements_do_not_grow_with_the_schema(self):
        counts = {}
        for schema in ("shop", "empty_one"):
            with tempfile.TemporaryDirectory() as folder:
                log = os.path.join(folder, "statements.log")
                code, out, err = self.inspect(schema=schema, env={
                    "PYTHONPATH": os.path.join(HERE, "counting_psycopg"), "COUNTING_PSYCOPG_LOG": log})
                self.assertEqual(code, 0, err)
                with open(log, encoding="utf-8") as f:
                    statements = f.read().splitlines()
                counts[schema] = len(statements)
                # The schema's name only ever travels as a bind parameter.
                self.assertFalse([s for s in statements if schema in s], statements)
        self.assertEqual(counts, {"shop": 5, "empty_one": 5})

    def test_empty_password_falls_back_to_pgpassword(self):
        code, out, err = self.inspect(password="", env={"PGPASSWORD": self.server["password"]})
        self.assertEqual(code, 0, err)
        self.assertEqual(len(json.loads(out)["tables"]), 16)

    def test_password_handed_over_in_the_environment(self):
        code, out, err = self.inspect(password="", env={"VELMORA_DB_PASSWORD": self.server["password"]})
        self.assertEqual(code, 0, err)
        self.assertEqual(len(json.loads(out)["tables"]), 16)
        # A wrong one fails as a wrong --password does, and is not repeated.
        secret = "Wrong -secret 42"
        code, out, err = self.inspect(password="", env={"VELMORA_DB_PASSWORD": secret})
        self.assertEqual(code, 1, err)
        self.assertIn("password authentication failed", err)
        self.assertNotIn(secret, err)

    def test_keys_into_other_schemas_bring_their_tables(self):
        code, out, err = self.inspect()
        self.assertEqual(code, 0, err)
        document = json.loads(out)
        others = [(t["schema"], t["name"], [c["name"] for c in t["columns"]])
                  for t in document["tables"] if "schema" in t]
        # The primary key, and a unique column a key refers to.
        self.assertEqual(others, [("hr", "employees", ["id", "badge"]), ("other", "customers", ["id"]),
                                  ("sales", "regions", ["code"])])
        references = sorted((c["table"], c["ref_schema"], c["ref_table"])
                            for c in document["constraints"] if c["type"] == "FOREIGN KEY"
                            and c["table"] == "stores")
        # The table named "sales.regions" and the table regions of the schema sales stay apart.
        self.assertEqual(references, [("stores", "hr", "employees"), ("stores", "hr", "employees"),
                                      ("stores", "sales", "regions"), ("stores", "shop", "sales.regions")])

    def test_existing_empty_schema_has_no_tables(self):
        code, out, err = self.inspect(schema="empty_one")
        self.assertEqual(code, 0, err)
        self.assertEqual(json.loads(out)["tables"], [])

    def test_failures_exit_1_with_a_reason_and_no_password(self):
        secret = "Wrong -secret 42"
        cases = [
            ("wrong password", dict(password=secret), "password authentication failed"),
            ("closed port", dict(password=secret, port=closed_port()), "Could not connect to 127.0.0.1:"),
            ("missing database", dict(dbname="nowhere"), 'database "nowhere" does not exist'),
            ("missing schema", dict(schema="nope"), 'Schema "nope" does not exist in database "citest".'),
            ("injection in the schema", dict(schema="x'; drop table t; --"),
             'Schema "x\'; drop table t; --" does not exist in database "citest".'),
        ]
        for name, options, reason in cases:
            with self.subTest(name):
                started = time.monotonic()
                code, out, err = self.inspect(**options)
                self.assertLess(time.monotonic() - started, 20)
                self.assertEqual(code, 1, err)
                self.assertEqual(out, "")
                self.assertIn(reason, err.strip().splitlines()[-1])
                self.assertNotIn(secret, err)
        # The injected statement never ran.
        code, out, err = self.inspect(schema="other")
        self.assertEqual(code, 0, err)
        self.assertEqual([t["name"] for t in json.loads(out)["tables"]], ["customers", "t"])


if __name__ == "__main__":
    unittest.main(verbosity=2)
