"""Writes the tool's icon file from the module's blob text (vossel_ico.inc: the C++ string
literal of base64 text of the zlib-compressed .ico), for the host program's resources.

    python3 write_icon.py vossel_ico.inc tool.ico
"""

import base64
import re
import sys
import zlib

source, target = sys.argv[1], sys.argv[2]
with open(source, encoding="ascii") as f:
    text = "".join(re.findall(r'"([A-Za-z0-9+/=]*)"', f.read()))
with open(target, "wb") as f:
    f.write(zlib.decompress(base64.b64decode(text)))
