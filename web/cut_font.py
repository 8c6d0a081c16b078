# SPDX-License-Identifier: GPL-3.0-or-later
"""Cuts a TrueType font to the characters the site's PDFs print (Latin, Greek, Cyrillic,
the signs of a report), with fontTools. Its glyphs are padded to four bytes as the
original's are: fontkit's subsetting in the browser misreads glyphs packed without it,
and the PDF's letters come out blank.
Usage: python3 cut_font.py FONT.ttf OUT.ttf UNICODES"""

import sys

from fontTools import subset
from fontTools.ttLib import TTFont

source, target, unicodes = sys.argv[1:4]
options = subset.Options()
options.layout_features = ["*"]
options.drop_tables += ["FFTM"]
font = TTFont(source)
cutter = subset.Subsetter(options)
cutter.populate(unicodes=subset.parse_unicodes(unicodes))
cutter.subset(font)
font["glyf"].padding = 4
font.save(target)
