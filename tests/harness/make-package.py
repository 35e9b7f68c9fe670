"""Writes a community package archive (zip) to standard output, as the maker's download host
would serve it: FOLDER/manifest.json with the given package_version, and FOLDER/layout.json.

Usage: make-package.py FOLDER VERSION
"""

import io
import json
import sys
import zipfile

folder, version = sys.argv[1], sys.argv[2]
buffer = io.BytesIO()
with zipfile.ZipFile(buffer, "w") as archive:
    archive.writestr(folder + "/manifest.json", json.dumps({"package_version": version}))
    archive.writestr(folder + "/layout.json", json.dumps({"content": []}))
sys.stdout.buffer.write(buffer.getvalue())
