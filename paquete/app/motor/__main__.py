import sys

from motor.servidor import principal

sys.exit(principal())
