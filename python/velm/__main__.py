"""python3 -m velm MODEL.json: the command line."""

import sys

from velm.cli import main

sys.exit(main())
