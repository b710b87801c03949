#!/usr/bin/env python3
"""The desktop icon (packaging/volleyrun.png, 256 x 256): the game's ball (the first frame of
Quillmoor's Ball_Default sheet) with its A letter (the first of Ball_Letters) on it.
Run with Debian's python3 (python3-pil): /usr/bin/python3 tools/make_icon.py"""
import json
import os

from PIL import Image

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
BALLS = os.path.join(ROOT, "Quillmoor", "Textures", "Game", "Balls")
OUT = os.path.join(ROOT, "packaging", "volleyrun.png")


def main():
    icon = Image.new("RGBA", (256, 256))
    for sheet_name in ("Ball_Default.png", "Ball_Letters.png"):
        sheet = Image.open(os.path.join(BALLS, sheet_name)).convert("RGBA")
        with open(os.path.join(BALLS, sheet_name.replace(".png", ".txt"))) as grid:
            columns = json.load(grid)["data"][0]  # [columns, rows, frames]
        side = sheet.width // columns  # the first frame, top left, square
        frame = sheet.crop((0, 0, side, side)).resize((256, 256), Image.LANCZOS)
        icon.alpha_composite(frame)
    os.makedirs(os.path.dirname(OUT), exist_ok=True)
    icon.save(OUT, optimize=True)
    print(OUT)


if __name__ == "__main__":
    main()
