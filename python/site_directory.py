"""Prints where the Python package goes under an installation prefix,
relative to it: the site directory of this interpreter's search path that
lies directly in <prefix>/lib (Debian: /usr/lib/python3/dist-packages,
/usr/local/lib/python3.X/dist-packages), so that it imports without
PYTHONPATH; for any other prefix lib/python3/dist-packages.

    python3 site_directory.py PREFIX
"""

import os
import sys


def site_directory(prefix, search_path):
    lib = os.path.join(os.path.normpath(prefix), "lib") + os.sep
    for entry in search_path:
        entry = os.path.normpath(entry)
        if entry.startswith(lib) and os.path.basename(entry) in ("dist-packages", "site-packages"):
            return os.path.relpath(entry, os.path.normpath(prefix))
    return os.path.join("lib", "python3", "dist-packages")


if __name__ == "__main__":
    print(site_directory(sys.argv[1], [p for p in sys.path if os.path.isabs(p)]))
