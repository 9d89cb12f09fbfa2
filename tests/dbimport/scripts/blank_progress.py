# Writes only blanks to standard error, then an empty object to standard output.
import sys
import time

sys.stderr.write("  \t \n")
sys.stderr.flush()
time.sleep(0.3)
sys.stdout.write("{}")
