import sys

from motor.servidor import comprobar, principal

sys.exit(comprobar() if sys.argv[1:] == ["--comprobar"] else principal())
