"""python3 -m xrdcalc: the package's command line (see _cli)."""

import sys

from ._cli import main

sys.exit(main())
