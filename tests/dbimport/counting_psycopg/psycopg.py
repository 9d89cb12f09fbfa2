"""Stands in for psycopg: the installed psycopg2 underneath, with every statement the
inspector runs appended as a line to the file named by COUNTING_PSYCOPG_LOG."""

import os

import psycopg2

Error = psycopg2.Error


class _Cursor:
    def __init__(self, cursor):
        self._cursor = cursor

    def execute(self, statement, parameters=None):
        with open(os.environ["COUNTING_PSYCOPG_LOG"], "a", encoding="utf-8") as log:
            log.write(" ".join(statement.split()) + "\n")
        return self._cursor.execute(statement, parameters)

    def fetchone(self):
        return self._cursor.fetchone()

    def fetchall(self):
        return self._cursor.fetchall()


class _Connection:
    def __init__(self, connection):
        self._connection = connection

    def cursor(self):
        return _Cursor(self._connection.cursor())

    def close(self):
        self._connection.close()


def connect(**arguments):
    return _Connection(psycopg2.connect(**arguments))
