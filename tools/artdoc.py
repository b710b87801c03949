"""Writes tools/ART.md: how the art is made and the exact inventory of images."""

import os

INTRO = """# Volleyrun art

Every image under `Quillmoor/Textures/` except `default.png`, `TestingLines.png` and the font
sheets is drawn by the generators in this folder. This page is written by
`tools/make_art.py` together with the images; edit the generators (the inventory text lives
next to each `reg.save` call), not this file.

## Making the images

    /usr/bin/python3 tools/make_art.py                     # everything, about 5 minutes
    /usr/bin/python3 tools/make_art.py --only ui game      # some groups (ART.md is then left alone)
    /usr/bin/python3 tools/make_art.py --contact /tmp/sheet.png   # plus a contact sheet to look at

Groups: `game`, `characters`, `ui`, `screens`. The modules: `artlib.py` (supersampled
premultiplied canvas, masks, gradients, glows, palette, writer), `art_game.py`,
`art_characters.py`, `art_ui.py`, `art_screens.py`, `artdoc.py` (this page). Every random
choice has a fixed seed, so a rerun rewrites identical files. Needs Debian's `/usr/bin/python3`
with `python3-pil`, `python3-numpy` and `fonts-dejavu-core`.

## Rules the files follow

- 8-bit RGBA PNG, not interlaced (the image decoder rejects 16-bit, palette and interlaced files).
- File names are unique across the whole Textures tree: the game finds an image by its file name
  alone, so the folders only keep things tidy. That is why the musicians' files carry their
  character stem (`SingerWarmIdle.png`, not `Idle.png` in a folder): `BehaviorMusician` looks up
  `character + "Idle.png"`, so its "character" property is the stem, for example `"SingerWarm"`.
- Images with frames have a grid description beside them: `Name.txt` holding
  `{"data": [columns, rows, frames]}`. Frame 0 is the top-left cell; frames run left to right,
  then top to bottom. All cells of a sheet have the same size. No image uses an `.atlas`.
- Sizes are close to the pixels an image covers on a 1920x1080 screen, because textures are
  sampled with nearest filtering: the 2:1 world (x about +-533, y about +-267 at zoom 2) maps one
  world unit to about 1.8 screen pixels. "Suggested scale" below is the `Transform` scale in world
  units that shows an image at about 1:1 (pixels / 1.8). Full-screen pictures are 1920x960 and
  take the scale 1066x533.

## Tints and frame conventions the code relies on

- **Balls.** `Ball_Default.png` is a light-grey volleyball; the game multiplies it by the ball
  colour (A green, B red, X blue, Y yellow, platinum silver). `Ball_Letters.png` has the letters
  in frame order A, B, X, Y (the letter number) as white glyphs with a black outline and a soft
  dark halo: the overlay is tinted with the same colour as the ball, so a letter shows in the
  button colour edged in black (pure white is impossible under that tint), and platinum balls
  tint it black. Both ball sheets have 12 frames of one 120-degree-periodic spin, so every frame
  order the ball code produces reads as rolling. `Ball_Rainbow.png` is already coloured: use it
  as the "ball" archetype's sprite image (rainbow balls keep it; the others switch to
  `Ball_Default.png`). The letters are drawn on the ball with its own matrix, so a ball whose
  x scale is negated after a hit shows a mirrored B (A, X and Y are symmetric).
- **Billboards.** `UI_Billboards_Rings.png` frames: 0 P1 MISS, 1 P1 GOOD, 2 P1 GREAT,
  3 P1 PERFECT, 4 "PLAYER 1 READY!", 5 P2 MISS, 6 P2 GOOD, 7 P2 GREAT, 8 P2 PERFECT,
  9 "PLAYER 2 READY!", 10 P1 OK, 11 P2 OK (the frame numbers the ball and the opening sequence
  show), then 12 and 13, warm and cool ripple rings for `Hover` (set its "player" to 12 or 13;
  0 and 1 would draw billboards).
- **Musicians.** Six characters for the six spots: `SingerWarm`, `GuitaristWarm`,
  `DrummerWarm` (orange/red outfits, facing right, for the left half) and `SingerCool`,
  `GuitaristCool`, `DrummerCool` (cyan/blue, facing left, for the right half). Each has
  `<stem>Idle.png`, `<stem>Beat.png`, `<stem>Spotlight.png`, `<stem>Damaged.png`, every one a
  4x1 grid of 200x260 frames, so a frame index stays valid when the look changes. Frame 0 of each
  is its key pose (enough without an `Animation`); with an `Animation` and a four-division
  `BeatDivider` the four frames make one move per beat. Feet stand at pixel row 248 of 260.
  Idle images are bright on purpose: the game dims a figure to 64/255 when the player leaves it.
- **Cursor.** One frame; the arrow tip is at pixel (24, 24) of 64x64, 8 px up and left of the
  centre, which is the (-5, +5) probe point of the hit test when the cursor is drawn at 40x40.
- **Toggles.** `Button00.png` is the OFF box and `PauseJack.png` the ON box (the options
  screen swaps them by setting); `FullScreenButtonOn.png` / `FullScreenButtonOff.png` show the
  window state.
- **Particles** are white (or rainbow) so the emitter colour tints them. `MeterNotch.png`
  frame 0 is white for the same reason.

## Suggested layout of the match space (world units, camera at 0, zoom 2)

- `StageBackground.png` at (0, 0), scale 1066x533. Its stage edge is at world y about -236 and
  the net post stands at x 0.
- Musicians at x = +-100, +-200, +-400 (spots 1, 2, 4), scale 111x144, centre y -156 puts the feet
  on y -222. Platforms (110x53) centred about 7 units below the feet (y -229).
- Meters (420x46) at (-300, 232) and (300, 232); `TimerBack.png` (178x67) at (0, 232) with the
  minutes text left of its colon and the seconds right; HUD plates (267x61) under the meters;
  billboards (200x100) around (-300, 120) and (300, 120); lives (26x26, offsetX 30) under the
  plates.

## Inventory
"""


def write(reg, path):
    root = os.path.normpath(reg.root)
    total = 0
    rows = []
    for it in sorted(reg.items, key=lambda e: e["path"].lower()):
        size = os.path.getsize(os.path.join(root, it["path"]))
        total += size
        g = it["grid"]
        frames = "%d frames, %dx%d grid of %dx%d" % (g[2], g[0], g[1], it["size"][0] // g[0],
                                                     it["size"][1] // g[1]) if g else "1"
        rows.append("| `%s` | %dx%d | %s | %s | %s | %s |" % (
            it["path"], it["size"][0], it["size"][1], frames, it["what"].replace("|", "/"),
            it["names"], it["use"]))
    with open(path, "w") as f:
        f.write(INTRO)
        f.write("\n%d images, %.1f MB in all. Paths are relative to `Quillmoor/Textures/`; a "
                "grid image's `.txt` sits beside it.\n\n" % (len(rows), total / 1e6))
        f.write("| Path | Pixels | Frames | What it shows | Used as | Suggested scale |\n")
        f.write("|---|---|---|---|---|---|\n")
        f.write("\n".join(rows) + "\n")
    print("wrote", path)
