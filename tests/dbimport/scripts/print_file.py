# Copies the file named by its first argument to standard output, byte for byte.
import sys

with open(sys.argv[1], "rb") as source:
    sys.stdout.buffer.write(source.read())
