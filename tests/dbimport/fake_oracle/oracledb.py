"""A stand-in for the oracledb driver: canned catalogue rows for owner SHOP, and every
statement with its binds appended as a JSON line to the file named by FAKE_ORACLE_LOG."""

import json
import os


class Error(Exception):
    pass


class DatabaseError(Error):
    pass


# ALL_TABLES joined with ALL_TAB_COLUMNS: table, column, type, length, precision, scale,
# nullable, char length; deliberately not in name order.
COLUMN_ROWS = [
    ("ORDERS", "ID", "NUMBER", 22, 10, 0, "N", 0),
    ("ORDERS", "CUSTOMER_ID", "NUMBER", 22, 10, 0, "N", 0),
    ("ORDERS", "PERSON_ID", "NUMBER", 22, None, None, "Y", 0),
    ("ORDERS", "AMOUNT", "NUMBER", 22, 10, 2, "Y", 0),
    ("ORDERS", "NOTE", "VARCHAR2", 160, None, None, "Y", 40),
    ("ORDERS", "PLACED", "DATE", 7, None, None, "Y", 0),
    ("CUSTOMERS", "ID", "NUMBER", 22, 10, 0, "N", 0),
    ("CUSTOMERS", "NAME", "NVARCHAR2", 200, None, None, "N", 100),
    ("EMPTY_T", None, None, None, None, None, None, None),
]

# ALL_CONSTRAINTS with ALL_CONS_COLUMNS: table, name, type, column, position, referenced
# owner, referenced table, referenced column.
CONSTRAINT_ROWS = [
    ("CUSTOMERS", "CUSTOMERS_PK", "P", "ID", 1, None, None, None),
    ("CUSTOMERS", "CUSTOMERS_NAME_UK", "U", "NAME", 1, None, None, None),
    ("ORDERS", "ORDERS_CUSTOMER_FK", "R", "CUSTOMER_ID", 1, "SHOP", "CUSTOMERS", "ID"),
    ("ORDERS", "ORDERS_PERSON_FK", "R", "PERSON_ID", 1, "HR", "PEOPLE", "ID"),
    ("ORDERS", "ORDERS_PK", "P", "ID", 1, None, None, None),
]


# The keys of other owners' tables the foreign keys refer to: owner, table, key type, then a
# column as in COLUMN_ROWS, then its position in the key.
REFERENCED_ROWS = [
    ("HR", "PEOPLE", "P", "ID", "NUMBER", 22, None, None, "N", 0, 1),
]


def _log(entry):
    with open(os.environ["FAKE_ORACLE_LOG"], "a", encoding="utf-8") as log:
        log.write(json.dumps(entry) + "\n")


class Cursor:
    def __init__(self, user):
        self._user = user
        self._rows = []

    def execute(self, statement, parameters=None, **binds):
        binds = dict(parameters or {}, **binds)
        _log({"statement": statement, "binds": binds})
        text = statement.upper()
        if "F.R_OWNER" in text:
            self._rows = REFERENCED_ROWS if binds["owner"] == "SHOP" else []
        elif "ALL_USERS" in text:
            self._rows = [(binds["owner"],)] if binds["owner"] in ("SHOP", "SCOTT") else []
        elif "ALL_TAB_COLUMNS" in text:
            self._rows = COLUMN_ROWS if binds["owner"] == "SHOP" else []
        elif "ALL_CONSTRAINTS" in text:
            self._rows = CONSTRAINT_ROWS if binds["owner"] == "SHOP" else []
        elif "FROM DUAL" in text:
            self._rows = [(self._user or "EXTERNAL",)]
        else:
            raise DatabaseError("ORA-00900: invalid SQL statement")

    def fetchone(self):
        return self._rows[0] if self._rows else None

    def fetchall(self):
        return list(self._rows)


class Connection:
    def __init__(self, user):
        self._user = user

    def cursor(self):
        return Cursor(self._user)

    def close(self):
        pass


def connect(user=None, password=None, dsn=None, **others):
    _log({"connect": {"user": user, "dsn": dsn, "password given": password is not None, "others": others}})
    if password == "wrong":
        raise DatabaseError("ORA-01017: invalid username/password (%s/%s@%s); logon denied"
                            % (user, password, dsn))
    return Connection(user.upper() if user else None)
