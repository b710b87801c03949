#!/usr/bin/python3
"""Generates the engine's own images in Quillmoor/Textures:

- FontSheet00.png and FontSheetGlow00.png: 10 x 10 grids of 40 x 64 pixel cells holding the
  91 characters from the space (32) to the small letter z (122), cell k showing character
  32 + k, read left to right and top to bottom; each with its grid description
  (FontSheet00.txt: {"data": [10, 10, 91]}). White glyphs (tinted by the text's colour when
  drawn) from DejaVu Sans Mono Bold; the glow sheet adds a soft warm halo.
  A SpriteText advances 37 world units per unit of size and draws each glyph on its
  Transform's scale times (size, 0.75): a Transform scale of (37, 79) keeps the cell's
  40:64 shape at size 1; scale x 37 makes neighbouring cells touch.
- default.png: the magenta and black checkerboard drawn for every image name that is not
  in the texture table.
- TestingLines.png: the default image of a new Sprite, a frame with diagonals, a centre
  cross and a red top edge, so orientation mistakes show at once.

Run with Debian's interpreter (Pillow lives there): /usr/bin/python3 tools/make_fonts.py
Every output is an 8-bit RGBA PNG, the only kind the game's image decoder reads reliably.
"""

import json
import os

from PIL import Image, ImageDraw, ImageFilter, ImageFont

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
TEXTURES = os.path.join(ROOT, "Quillmoor", "Textures")
FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono-Bold.ttf"

COLUMNS, ROWS = 10, 10
CELL_W, CELL_H = 40, 64
FIRST, LAST = 32, 122  # space to the small letter z
SCALE = 4  # drawn this much larger, then reduced: smooth edges at the final size


def glyph_mask(font, char):
    """Coverage of one character, centred in its cell on a common baseline."""
    big = Image.new("L", (CELL_W * SCALE, CELL_H * SCALE), 0)
    draw = ImageDraw.Draw(big)
    ascent, descent = font.getmetrics()
    advance = font.getlength(char)
    x = (CELL_W * SCALE - advance) / 2
    y = (CELL_H * SCALE - (ascent + descent)) / 2
    draw.text((x, y), char, font=font, fill=255)
    return big.resize((CELL_W, CELL_H), Image.LANCZOS)


def sheet(masks, glow):
    image = Image.new("RGBA", (COLUMNS * CELL_W, ROWS * CELL_H), (0, 0, 0, 0))
    for k, mask in enumerate(masks):
        cell = Image.new("RGBA", (CELL_W, CELL_H), (0, 0, 0, 0))
        if glow:
            halo = mask.filter(ImageFilter.MaxFilter(3)).filter(ImageFilter.GaussianBlur(2))
            halo = halo.point(lambda v: min(255, v * 2))
            cell = Image.composite(Image.new("RGBA", cell.size, (255, 190, 60, 255)), cell, halo)
        white = Image.new("RGBA", cell.size, (255, 255, 255, 255))
        cell = Image.composite(white, cell, mask)
        image.paste(cell, ((k % COLUMNS) * CELL_W, (k // COLUMNS) * CELL_H))
    return image


def write_grid(name, image, frames):
    image.save(os.path.join(TEXTURES, name + ".png"))
    with open(os.path.join(TEXTURES, name + ".txt"), "w") as description:
        json.dump({"data": [COLUMNS, ROWS, frames]}, description)
        description.write("\n")


def make_fonts():
    font = ImageFont.truetype(FONT, 50 * SCALE)
    masks = [glyph_mask(font, chr(code)) for code in range(FIRST, LAST + 1)]
    write_grid("FontSheet00", sheet(masks, glow=False), len(masks))
    write_grid("FontSheetGlow00", sheet(masks, glow=True), len(masks))


def make_default():
    size, square = 64, 8
    image = Image.new("RGBA", (size, size), (0, 0, 0, 255))
    draw = ImageDraw.Draw(image)
    for row in range(size // square):
        for column in range(size // square):
            if (row + column) % 2 == 0:
                x, y = column * square, row * square
                draw.rectangle([x, y, x + square - 1, y + square - 1], fill=(255, 0, 255, 255))
    image.save(os.path.join(TEXTURES, "default.png"))


def make_testing_lines():
    size = 128
    image = Image.new("RGBA", (size, size), (40, 40, 48, 160))
    draw = ImageDraw.Draw(image)
    white = (255, 255, 255, 255)
    draw.line([(0, 0), (size - 1, size - 1)], fill=white, width=3)
    draw.line([(0, size - 1), (size - 1, 0)], fill=white, width=3)
    draw.line([(size // 2, 0), (size // 2, size - 1)], fill=(120, 200, 255, 255), width=3)
    draw.line([(0, size // 2), (size - 1, size // 2)], fill=(120, 200, 255, 255), width=3)
    draw.rectangle([0, 0, size - 1, size - 1], outline=white, width=4)
    draw.rectangle([0, 0, size - 1, 5], fill=(230, 40, 40, 255))  # top edge: shows which way is up
    image.save(os.path.join(TEXTURES, "TestingLines.png"))


if __name__ == "__main__":
    os.makedirs(TEXTURES, exist_ok=True)
    make_fonts()
    make_default()
    make_testing_lines()
