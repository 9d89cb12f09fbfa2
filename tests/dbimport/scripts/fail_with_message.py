# Writes its first argument to standard error, waits until it has surely been read, and
# exits with code 2.
import sys
import time

sys.stderr.write(sys.argv[1])
sys.stderr.flush()
time.sleep(0.3)
sys.exit(2)
