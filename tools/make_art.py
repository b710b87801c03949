#!/usr/bin/python3
"""Draw every Volleyrun image into Quillmoor/Textures and write tools/ART.md.

    /usr/bin/python3 tools/make_art.py                 # everything
    /usr/bin/python3 tools/make_art.py --only game ui  # some groups
    /usr/bin/python3 tools/make_art.py --contact /tmp/sheet.png   # also a contact sheet

Deterministic: every random choice comes from a fixed seed, so a rerun with the
same Pillow and NumPy gives the same files. Font sheets, default.png and
TestingLines.png are made elsewhere and are not touched here.
"""

import argparse
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

from PIL import Image, ImageDraw  # noqa: E402

import art_characters  # noqa: E402
import art_game  # noqa: E402
import art_screens  # noqa: E402
import art_ui  # noqa: E402
import artlib  # noqa: E402
import artdoc  # noqa: E402

GROUPS = {
    "game": art_game.build,
    "characters": art_characters.build,
    "ui": art_ui.build,
    "screens": art_screens.build,
}


def contact_sheet(reg, out, width=2400):
    """Everything on one page over a mid-dark checker, each image fitted to a cell."""
    cell, label = 290, 26
    cols = width // cell
    rows = (len(reg.items) + cols - 1) // cols
    page = Image.new("RGB", (cols * cell, rows * (cell + label)), (40, 40, 48))
    d = ImageDraw.Draw(page)
    font = artlib.font("cond", 13)
    for i, it in enumerate(reg.items):
        x, y = (i % cols) * cell, (i // cols) * (cell + label)
        for cy in range(0, cell, 16):
            for cx in range(0, cell, 16):
                if (cx // 16 + cy // 16) % 2:
                    d.rectangle([x + cx, y + cy, x + cx + 15, y + cy + 15], fill=(56, 56, 66))
        im = Image.open(os.path.join(reg.root, it["path"])).convert("RGBA")
        k = min((cell - 8) / im.width, (cell - 8) / im.height)
        im = im.resize((max(1, int(im.width * k)), max(1, int(im.height * k))), Image.Resampling.LANCZOS)
        page.paste(im, (x + (cell - im.width) // 2, y + (cell - im.height) // 2), im)
        d.text((x + 4, y + cell + 4), os.path.basename(it["path"]), font=font, fill=(230, 230, 230))
    page.save(out)
    print("contact sheet:", out)


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--only", nargs="*", choices=sorted(GROUPS), help="draw only these groups")
    ap.add_argument("--out", default=os.path.join(HERE, "..", "Quillmoor", "Textures"))
    ap.add_argument("--contact", help="also write a contact sheet of what was drawn to this file")
    ap.add_argument("--no-doc", action="store_true", help="do not rewrite tools/ART.md")
    args = ap.parse_args()
    reg = artlib.Registry(os.path.normpath(args.out))
    for name, build in GROUPS.items():
        if not args.only or name in args.only:
            build(reg)
    if not args.only and not args.no_doc:
        artdoc.write(reg, os.path.join(HERE, "ART.md"))
    if args.contact:
        contact_sheet(reg, args.contact)


if __name__ == "__main__":
    main()
