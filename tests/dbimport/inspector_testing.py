"""Shared by the inspector's tests: runs tools/schema_inspector.py as the application does
(an argument list, no shell, input closed) and loads it as a module for its pure parts."""

import importlib.util
import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
INSPECTOR = os.environ.get("VELMORA_INSPECTOR",
                           os.path.join(HERE, "..", "..", "tools", "schema_inspector.py"))
PYTHON = "/usr/bin/python3"


def run_inspector(args, env=None, cwd=None, timeout=60):
    """Runs the inspector; returns (exit code, standard output, standard error)."""
    environment = dict(os.environ)
    environment.update(env or {})
    done = subprocess.run([PYTHON, INSPECTOR] + list(args), stdin=subprocess.DEVNULL,
                          capture_output=True, env=environment, cwd=cwd, timeout=timeout)
    return done.returncode, done.stdout.decode("utf-8"), done.stderr.decode("utf-8")


def load_inspector():
    module_spec = importlib.util.spec_from_file_location("schema_inspector", INSPECTOR)
    module = importlib.util.module_from_spec(module_spec)
    module_spec.loader.exec_module(module)
    return module


def shadow_modules(folder, *names):
    """Writes modules into folder that refuse to import, to hide installed drivers."""
    for name in names:
        with open(os.path.join(folder, name + ".py"), "w") as module:
            module.write("raise ImportError('hidden by the test')\n")
    return {"PYTHONPATH": folder}
