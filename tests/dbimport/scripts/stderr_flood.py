# Writes its first argument many times (second argument) to standard error, one flushed
# piece at a time, then an empty object to standard output.
import sys

piece = sys.argv[1]
for _ in range(int(sys.argv[2])):
    sys.stderr.write(piece)
    sys.stderr.flush()
sys.stdout.write("{}")
