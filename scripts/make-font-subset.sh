#!/usr/bin/env bash
# Writes src/res/fonts/rastelle-fallback.ttf, the font the viewer falls back
# on when fontconfig finds no Japanese font: the glyphs of the texts it draws
# (the prompt; the error caption too, at almost no cost), cut out of Droid
# Sans Fallback and renamed, since the subset is a changed copy of that font.
#
#   scripts/make-font-subset.sh [OUTPUT]
#
# writes OUTPUT instead when given (the test that the committed font is what
# the script makes uses that). Needs the Debian packages fonts-droid-fallback (the source font) and
# python3-fonttools (run with Debian's /usr/bin/python3). The texts are read
# from src/app/texts.h, so a changed text only needs this script run again.
# The same inputs give the same bytes.
set -euo pipefail
output="$(realpath -m -- "${1:-$(dirname "$0")/../src/res/fonts/rastelle-fallback.ttf}")"
cd "$(dirname "$0")/.."

source_font=/usr/share/fonts/truetype/droid/DroidSansFallbackFull.ttf
if [ ! -f "$source_font" ]; then
  echo "make-font-subset: $source_font is missing: apt-get install fonts-droid-fallback" >&2
  exit 1
fi

/usr/bin/python3 - "$source_font" src/app/texts.h "$output" <<'PYTHON'
import re
import sys

from fontTools import subset
from fontTools.ttLib import TTFont

source, texts_header, output = sys.argv[1:4]

# The texts as the viewer holds them: code page 932 bytes in C string literals.
header = open(texts_header, encoding="utf-8").read()
def text(name):
    match = re.search(r"\b%s\[\]\s*=\s*((?:\s*\"[^\"]*\")+);" % name, header)
    if not match:
        sys.exit("make-font-subset: %s not found in %s" % (name, texts_header))
    literal = "".join(re.findall(r"\"([^\"]*)\"", match.group(1)))
    raw = re.sub(r"\\x([0-9A-Fa-f]{2})", lambda m: chr(int(m.group(1), 16)), literal)
    return raw.encode("latin-1").decode("cp932")

characters = text("kPrompt") + text("kErrorCaption") + " "
print("glyphs for:", "".join(sorted(set(characters))))

options = subset.Options()
options.layout_features = []   # the texts need no substitutions or kerning
options.hinting = False        # the renderer hints unhinted outlines itself
options.drop_tables += ["vhea", "vmtx", "gasp"]
options.name_IDs = ["*"]
options.name_languages = ["*"]
options.notdef_outline = True
font = TTFont(source, recalcTimestamp=False)
subsetter = subset.Subsetter(options)
subsetter.populate(text=characters)
subsetter.subset(font)

# A changed copy of the font under another name; the original's notices
# (copyright, trademark, designer, licence) stay as they are.
family = "Rastelle Fallback"
names = font["name"]
original = names.getDebugName(4)
for record in list(names.names):
    if record.nameID in (1, 3, 4, 6, 16, 17, 18):
        names.removeNames(nameID=record.nameID)
names.setName(family, 1, 3, 1, 0x409)
names.setName(family, 4, 3, 1, 0x409)
names.setName(family.replace(" ", ""), 6, 3, 1, 0x409)
names.setName("Rastelle Fallback: subset of " + original, 3, 3, 1, 0x409)
names.setName("A subset of %s (the glyphs of the Rastelle viewer's texts), renamed; "
              "changed from the original by the Rastelle developers." % original, 10, 3, 1, 0x409)
font.save(output)
PYTHON
ls -l "$output"
