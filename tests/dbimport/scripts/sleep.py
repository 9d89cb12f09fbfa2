# Sleeps for a minute without printing anything.
import time

time.sleep(60)
