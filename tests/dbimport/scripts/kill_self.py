# Writes a line to standard error, then ends itself with SIGKILL.
import os
import signal
import sys

sys.stderr.write("about to die\n")
sys.stderr.flush()
os.kill(os.getpid(), signal.SIGKILL)
