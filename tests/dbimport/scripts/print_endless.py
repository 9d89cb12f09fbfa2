# Prints to standard output until it is killed.
import sys

chunk = b"x" * 65536
while True:
    sys.stdout.buffer.write(chunk)
