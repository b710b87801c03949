"""In-match images: balls and letters, timing rings, grade billboards, platforms,
beat meters and notches, timer panel, lives, HUD plates and particles."""

import math

import numpy as np

from artlib import (BTN_A, BTN_B, BTN_X, BTN_Y, COOL, COOL_BLUE, COOL_LIGHT, GOLD, GOLD_DEEP,
                    GOLD_LIGHT, INK, MAGENTA, PANEL, PANEL_HI, VIOLET, WARM, WARM_LIGHT, WARM_RED,
                    WHITE, Canvas, hsv_rainbow, mix, sheet)

SIDE = {
    1: {"main": WARM, "deep": WARM_RED, "light": WARM_LIGHT, "name": "PLAYER 1", "tag": "P1"},
    2: {"main": COOL, "deep": COOL_BLUE, "light": COOL_LIGHT, "name": "PLAYER 2", "tag": "P2"},
}


# ------------------------------------------------------------------ balls --
def seam_paths(theta, cx, cy, r):
    """Pinwheel seams of a stylised volleyball, turned by theta degrees."""
    paths = []
    for k in range(3):
        a0 = theta + 120 * k
        for start, off in ((0.0, 0.0), (0.42, 40.0)):
            pts = []
            for i in range(25):
                t = start + (1.08 - start) * i / 24
                ang = math.radians(a0 + off + 62 * t - 10 * t * t)
                pts.append((cx + r * t * math.cos(ang), cy - r * t * math.sin(ang)))
            paths.append(pts)
    return paths


def draw_ball(c, cx, cy, r, theta, style="grey", glow=True, outline=3.0):
    """A volleyball on canvas c. style: "grey" (to be tinted), "rainbow" or an RGB tuple."""
    body = c.mask().circle(cx, cy, r)
    if glow:
        c.glow(body.grow(2), WHITE, r * 0.16, 0.55)
    c.paint(body.grow(outline), INK)
    # base shading
    hl = (cx - r * 0.18, cy - r * 0.38)
    if style == "grey":
        shade = c.radial(hl, r * 1.55, [(0, (255, 255, 255)), (0.45, (236, 236, 236)),
                                         (0.8, (176, 176, 176)), (1, (120, 120, 120))])
        c.paint(body, shade)
    elif style == "rainbow":
        xx, yy = c.grid()
        ang = (np.arctan2(-(yy - cy), xx - cx) / (2 * math.pi) - theta / 360.0) % 1.0
        col = hsv_rainbow(ang) * 0.8 + 0.2
        shade = c.radial(hl, r * 1.55, [(0, (255, 255, 255)), (0.5, (225, 225, 225)),
                                         (1, (110, 110, 110))])
        c.paint(body, col * shade)
    else:
        base = np.array(style, dtype=np.float32) / 255.0
        shade = c.radial(hl, r * 1.55, [(0, (255, 255, 255)), (0.5, (225, 225, 225)),
                                         (1, (110, 110, 110))])
        c.paint(body, np.clip(shade * base * 1.15, 0, 1))
    # seams, clipped to the ball
    seams = c.mask()
    for p in seam_paths(theta, cx, cy, r):
        seams.line(p, max(1.2, r * 0.055), caps=False)
    # seams fade out toward the centre, where the letter overlay sits
    clear = c.mask().circle(cx, cy, r * 0.62).blur(r * 0.18)
    c.paint((seams & body) - clear.scaled(0.8), INK, 0.55)
    # soft rim darkening and a crisp specular spot
    rim = body - c.mask().circle(cx - r * 0.05, cy - r * 0.08, r * 0.9).blur(r * 0.12)
    c.paint(rim, INK, 0.28)
    highlight = c.mask().ellipse(hl[0], hl[1] - r * 0.02, r * 0.36, r * 0.2).blur(r * 0.06)
    c.paint(highlight & body, WHITE, 0.85)
    c.paint(c.mask().circle(hl[0] - r * 0.08, hl[1] - r * 0.02, r * 0.08), WHITE, 0.95)


def ball_sheet(style):
    cell, frames = 128, []
    for i in range(12):
        c = Canvas(cell, cell)
        draw_ball(c, 64, 64, 50, i * 10.0, style)
        frames.append(c.result())
    return sheet(frames, 4)


def letter_frame(letter, cell=128):
    c = Canvas(cell, cell)
    k = cell / 128.0
    glyph = c.mask().text(64 * k, 66 * k, letter, "bold", 76 * k)
    c.paint(glyph.grow(8 * k).blur(6 * k), INK, 0.4)    # soft dark halo: a face for the letter
    c.paint(glyph.grow(6 * k), INK)                      # crisp outline
    c.paint(glyph, WHITE)
    return c.result()


def empty_circle():
    c = Canvas(128, 128)
    ring = c.mask().ring(64, 64, 55, 6)
    c.glow(ring, WHITE, 4, 0.9)
    c.paint(ring, WHITE)
    return c.result()


# ------------------------------------------------------------- billboards --
GRADES = {
    # frame: (side, word, small line, style)
    0: (1, "MISS", "", "miss"), 1: (1, "GOOD", "", "good"), 2: (1, "GREAT", "", "great"),
    3: (1, "PERFECT", "", "perfect"), 4: (1, "READY!", "PLAYER 1", "ready"),
    5: (2, "MISS", "", "miss"), 6: (2, "GOOD", "", "good"), 7: (2, "GREAT", "", "great"),
    8: (2, "PERFECT", "", "perfect"), 9: (2, "READY!", "PLAYER 2", "ready"),
    10: (1, "OK", "", "ok"), 11: (2, "OK", "", "ok"),
}


def billboard(side, word, small, style, w=400, h=200):
    c = Canvas(w, h)
    sd = SIDE[side]
    x0, y0, x1, y1 = 18, 22, w - 18, h - 22
    board = c.mask().rect(x0, y0, x1, y1, 26)
    trim = {"miss": (120, 110, 150), "ok": sd["light"], "good": sd["main"], "great": MAGENTA,
            "perfect": GOLD, "ready": sd["main"]}[style]
    c.glow(board, trim, 12, 0.55)
    c.paint(board.grow(3), INK)
    c.paint(board, c.linear((0, y0), (0, y1), [(0, (44, 26, 86)), (1, (14, 9, 34))]))
    # neon trim
    tube = c.mask().rect_outline(x0 + 6, y0 + 6, x1 - 6, y1 - 6, 20, 4)
    c.glow(tube, trim, 5, 0.9)
    c.paint(tube, mix(trim, WHITE, 0.55))
    # side tag
    tag = c.mask().rect(x0 + 16, y0 - 12, x0 + 66, y0 + 14, 8)
    c.paint(tag.grow(2), INK)
    c.paint(tag, sd["main"])
    c.paint(c.mask().text(x0 + 41, y0 + 1, sd["tag"], "condb", 20), INK)
    # the word
    size = {"PERFECT": 62, "GREAT": 84, "GOOD": 88, "OK": 96, "MISS": 88, "READY!": 70}[word]
    cy = (y0 + y1) / 2 + (12 if small else 4)
    glyph = c.mask().text(w / 2, cy, word, "condbi", size)
    fills = {
        "perfect": [(0, GOLD_LIGHT), (0.5, GOLD), (1, GOLD_DEEP)],
        "great": [(0, (255, 190, 235)), (0.5, MAGENTA), (1, (170, 20, 120))],
        "good": [(0, sd["light"]), (0.55, sd["main"]), (1, sd["deep"])],
        "ok": [(0, WHITE), (1, sd["light"])],
        "miss": [(0, (210, 200, 230)), (1, (120, 110, 150))],
        "ready": [(0, WHITE), (0.6, sd["light"]), (1, sd["main"])],
    }[style]
    c.glow(glyph, trim, 8, 0.7 if style != "miss" else 0.25)
    c.paint(glyph.grow(5), INK)
    c.paint(glyph, c.linear((0, cy - size / 2), (0, cy + size / 2), fills))
    if style == "perfect":
        for sx, sy, r in ((w * 0.17, cy - 30, 11), (w * 0.84, cy + 26, 9), (w * 0.8, cy - 34, 6)):
            st = c.mask().star(sx, sy, r, r * 0.3, 4, rot=0)
            c.glow(st, GOLD_LIGHT, 3, 0.9)
            c.paint(st, WHITE)
    if style == "miss":
        slash = c.mask().line([(w * 0.25, cy + 26), (w * 0.75, cy - 26)], 7)
        c.paint(slash.grow(3), INK)
        c.paint(slash, WARM_RED)
    if small:
        c.paint(c.mask().text(w / 2, y0 + 30, small, "condb", 24, spacing=3), sd["light"])
    return c.result()


def hover_ring(side, w=400, h=200):
    c = Canvas(w, h)
    col = SIDE[side]["main"]
    ring = c.mask().ellipse(w / 2, h / 2, w / 2 - 14, h / 4).copy()
    ring = ring - c.mask().ellipse(w / 2, h / 2, w / 2 - 24, h / 4 - 7)
    c.glow(ring, col, 6, 1.0)
    c.paint(ring, mix(col, WHITE, 0.5))
    return c.result()


def billboard_sheet():
    frames = [billboard(*GRADES[i]) for i in range(12)]
    frames += [hover_ring(1), hover_ring(2)]
    return sheet(frames, 2)


# -------------------------------------------------------------- platforms --
def platform(side, w=200, h=96):
    c = Canvas(w, h)
    sd = SIDE[side]
    top = [(16, 26), (w - 16, 26), (w - 4, 44), (4, 44)]
    front = c.mask().rect(4, 42, w - 4, h - 10, 6)
    # floor glow under the riser
    c.paint(c.mask().ellipse(w / 2, h - 10, w / 2 - 4, 9).blur(5), sd["main"], 0.55, "add")
    c.paint(front.grow(2), INK)
    c.paint(front, c.linear((0, 42), (0, h - 10), [(0, (50, 36, 92)), (1, (18, 12, 40))]))
    topm = c.mask().poly(top)
    c.paint(topm.grow(2), INK)
    c.paint(topm, c.linear((0, 26), (0, 44), [(0, (120, 100, 170)), (1, (70, 56, 120))]))
    # neon edge along the lip and a row of LEDs
    lip = c.mask().line([(5, 44), (w - 5, 44)], 3.5)
    c.glow(lip, sd["main"], 5, 1.0)
    c.paint(lip, mix(sd["main"], WHITE, 0.5))
    leds = c.mask()
    for i in range(9):
        leds.circle(24 + i * (w - 48) / 8, 66, 3.2)
    c.glow(leds, sd["light"], 3, 0.8)
    c.paint(leds, sd["light"])
    # speaker grilles
    for gx in (w * 0.22, w * 0.78):
        g = c.mask().rect(gx - 22, 74, gx + 22, h - 14, 4)
        c.paint(g, (10, 6, 24), 0.8)
    return c.result()


# ----------------------------------------------------------------- meters --
def meter_back(side, w=760, h=84):
    c = Canvas(w, h)
    sd = SIDE[side]
    shell = c.mask().rect(6, 8, w - 6, h - 8, 22)
    c.glow(shell, sd["main"], 10, 0.5)
    c.paint(shell.grow(2), INK)
    c.paint(shell, c.linear((0, 8), (0, h - 8), [(0, (60, 44, 110)), (0.5, (26, 18, 56)),
                                                 (1, (16, 10, 36))]))
    track = c.mask().rect(20, 20, w - 20, h - 20, 12)
    c.paint(track, (6, 4, 16))
    # faint fill direction: a gradient toward the centre of the screen
    inner = [(0, (30, 20, 60)), (1, mix(sd["deep"], (6, 4, 16), 0.7))]
    p0, p1 = ((20, 0), (w - 20, 0)) if side == 1 else ((w - 20, 0), (20, 0))
    c.paint(track, c.linear(p0, p1, inner), 0.6)
    tube = c.mask().rect_outline(8, 10, w - 8, h - 10, 20, 3)
    c.paint(tube, mix(sd["main"], WHITE, 0.35))
    c.paint(c.mask().rect(30, 23, w - 30, 27, 2), WHITE, 0.12)
    return c.result()


def meter_notch():
    frames = []
    for col in (WHITE, MAGENTA, GOLD):
        c = Canvas(20, 44)
        pill = c.mask().rect(4, 4, 16, 40, 5)
        c.glow(pill, col, 3, 0.8)
        c.paint(pill, c.linear((0, 4), (0, 40), [(0, mix(col, WHITE, 0.7)), (0.5, col),
                                                 (1, mix(col, INK, 0.35))]))
        c.paint(c.mask().rect(6, 7, 9, 30, 1.5), WHITE, 0.6)
        frames.append(c.result())
    return sheet(frames, 3)


def timer_back(w=320, h=120):
    c = Canvas(w, h)
    plate = c.mask().poly([(22, 10), (w - 22, 10), (w - 6, h - 14), (6, h - 14)])
    c.glow(plate, GOLD, 12, 0.45)
    c.paint(plate.grow(3), INK)
    c.paint(plate, c.linear((0, 10), (0, h - 14), [(0, (62, 44, 110)), (1, (16, 10, 36))]))
    edge = c.mask().line([(24, 12), (w - 24, 12)], 3)
    c.paint(edge, GOLD_LIGHT)
    base = c.mask().line([(8, h - 15), (w - 8, h - 15)], 3)
    c.glow(base, GOLD, 4, 0.9)
    c.paint(base, GOLD)
    # the colon between the minutes and seconds texts
    dots = c.mask().circle(w / 2, h / 2 - 8, 5).circle(w / 2, h / 2 + 14, 5)
    c.glow(dots, WHITE, 3, 0.6)
    c.paint(dots, WHITE)
    return c.result()


def heart(mask, cx, cy, s):
    mask.circle(cx - s * 0.26, cy - s * 0.12, s * 0.3)
    mask.circle(cx + s * 0.26, cy - s * 0.12, s * 0.3)
    mask.poly([(cx - s * 0.54, cy - 0.02 * s), (cx + s * 0.54, cy - 0.02 * s), (cx, cy + s * 0.52)])
    return mask


def life_icon(side=None, size=48):
    c = Canvas(size, size)
    m = heart(c.mask(), size / 2, size / 2 + 1, size * 0.78)
    if side is None:
        c.paint(m.grow(2), INK, 0.9)
        c.paint(m, (36, 26, 64))
        c.paint(m - m.shrink(2.5), (120, 104, 170))
        return c.result()
    sd = SIDE[side]
    c.glow(m, sd["main"], 4, 0.8)
    c.paint(m.grow(2), INK)
    c.paint(m, c.linear((0, 6), (0, size - 6), [(0, sd["light"]), (0.5, sd["main"]),
                                                 (1, sd["deep"])]))
    c.paint(c.mask().ellipse(size * 0.36, size * 0.36, size * 0.09, size * 0.06), WHITE, 0.9)
    return c.result()


def hud_panel(side, w=480, h=110):
    c = Canvas(w, h)
    sd = SIDE[side]
    if side == 1:
        pts = [(8, 12), (w - 40, 12), (w - 8, h - 14), (8, h - 14)]
    else:
        pts = [(40, 12), (w - 8, 12), (w - 8, h - 14), (8, h - 14)]
    plate = c.mask().poly(pts)
    c.glow(plate, sd["main"], 10, 0.5)
    c.paint(plate.grow(3), INK)
    c.paint(plate, c.linear((0, 12), (0, h - 14), [(0, (58, 40, 104)), (1, (16, 10, 36))]))
    band = c.mask().poly(pts) & c.mask().rect(0, 12, w, 22)
    c.paint(band, sd["main"])
    # score window on the inner end (toward the middle of the screen)
    sx0, sx1 = (w - 170, w - 44) if side == 1 else (44, 170)
    win = c.mask().rect(sx0, 30, sx1, h - 24, 12)
    c.paint(win, (6, 4, 16))
    c.paint(c.mask().rect_outline(sx0, 30, sx1, h - 24, 12, 2), sd["light"], 0.7)
    nx = 34 if side == 1 else w - 34
    anchor = "lm" if side == 1 else "rm"
    name = c.mask().text(nx, h / 2 + 5, sd["name"], "condbi", 40, anchor=anchor)
    c.paint(name.grow(3), INK)
    c.paint(name, c.linear((0, 40), (0, 80), [(0, WHITE), (1, sd["light"])]))
    return c.result()


def player_tag(side, w=96, h=80):
    c = Canvas(w, h)
    sd = SIDE[side]
    m = c.mask().rect(8, 6, w - 8, 50, 14).poly([(w / 2 - 12, 48), (w / 2 + 12, 48), (w / 2, 66)])
    c.glow(m, sd["main"], 6, 0.8)
    c.paint(m.grow(3), INK)
    c.paint(m, c.linear((0, 6), (0, 66), [(0, sd["light"]), (1, sd["main"])]))
    t = c.mask().text(w / 2, 29, sd["tag"], "condbi", 34)
    c.paint(t.grow(2), WHITE)
    c.paint(t, INK)
    return c.result()


# -------------------------------------------------------------- particles --
def particle_star_shine(size=64, rainbow=False):
    c = Canvas(size, size)
    h = size / 2
    core = c.mask().star(h, h, h * 0.92, h * 0.13, 4, rot=-90)
    diag = c.mask().star(h, h, h * 0.5, h * 0.1, 4, rot=-45)
    body = core | diag
    if rainbow:
        col = np.clip(hsv_rainbow(c.angular((h, h), [(0, (0, 0, 0)), (1, (255, 255, 255))])[..., 0])
                      * 0.85 + 0.15, 0, 1)
        c.glow(body, WHITE, size * 0.08, 0.5)
        c.paint(body, col)
        c.paint(c.mask().circle(h, h, size * 0.09).blur(size * 0.03), WHITE)
    else:
        c.glow(body, WHITE, size * 0.1, 0.6)
        c.paint(body, WHITE)
    return c.result()


def particle_soft_ball(size=64):
    c = Canvas(size, size)
    h = size / 2
    c.paint(c.mask().circle(h, h, h * 0.55).blur(h * 0.28), WHITE)
    c.paint(c.mask().circle(h, h, h * 0.22).blur(h * 0.1), WHITE)
    return c.result()


def particle_blob(size=64):
    c = Canvas(size, size)
    h = size / 2
    rng = np.random.RandomState(7)
    pts = []
    for i in range(14):
        a = 2 * math.pi * i / 14
        r = h * (0.62 + 0.18 * math.sin(3 * a + 0.7) + 0.06 * rng.uniform(-1, 1))
        pts.append((h + r * math.cos(a), h + r * math.sin(a)))
    m = c.mask().poly(pts).blur(h * 0.08)
    c.glow(m, WHITE, h * 0.12, 0.35)
    c.paint(m, c.radial((h * 0.8, h * 0.75), h, [(0, WHITE), (1, (200, 200, 200))]))
    c.paint(c.mask().ellipse(h * 0.8, h * 0.72, h * 0.16, h * 0.1), WHITE, 0.9)
    return c.result()


# ------------------------------------------------------------------ build --
def build(reg):
    print("Game images")
    reg.save(ball_sheet("grey"), "Game/Balls/Ball_Default.png",
             "Volleyball sheet in light greys, made to be tinted by the ball colour (A green, B red, "
             "X blue, Y yellow, platinum silver). 12 frames of 128x128: the ball turned 10 degrees "
             "further clockwise per frame; the seam pattern repeats every 120 degrees, so frame 11 "
             "runs on into frame 0 and any frame order reads as spin.",
             "Ball_Default.png (ball behaviour, every kind but rainbow)", grid=(4, 3, 12),
             use="ball scale about 60x60")
    reg.save(ball_sheet("rainbow"), "Game/Balls/Ball_Rainbow.png",
             "Rainbow ball, same 12-frame spin as Ball_Default.png, already coloured (a rainbow "
             "ball is drawn with white tint). Use it as the \"ball\" archetype's sprite image: "
             "non-rainbow balls switch themselves to Ball_Default.png.",
             "Ball_Rainbow.png (ball letter overlay's default image; archetype sprite)",
             grid=(4, 3, 12), use="ball scale about 60x60")
    reg.save(sheet([letter_frame(ch) for ch in "ABXY"], 4), "Game/Balls/Ball_Letters.png",
             "Letter overlay, 4 frames of 128x128 in the order A, B, X, Y (frame = letter number). "
             "White letter with a black outline and a soft dark halo, so that under the ball's tint "
             "the letter shows in the button colour edged in black; platinum balls tint it black.",
             "Ball_Letters.png", grid=(4, 1, 4), use="same scale as the ball")
    reg.save(empty_circle(), "Game/Balls/EmptyCircle.png",
             "White ring with a soft glow, transparent inside (timing rings; tinted by the ring colour).",
             "EmptyCircle.png", use="drawn at 50x50 up to 175x175 by the ball")
    reg.save(billboard_sheet(), "Game/HUD/UI_Billboards_Rings.png",
             "Grade billboards and hover rings, 14 frames of 400x200 (2 columns, 7 rows). "
             "0 P1 MISS, 1 P1 GOOD, 2 P1 GREAT, 3 P1 PERFECT, 4 PLAYER 1 READY!, 5 P2 MISS, "
             "6 P2 GOOD, 7 P2 GREAT, 8 P2 PERFECT, 9 PLAYER 2 READY!, 10 P1 OK, 11 P2 OK, "
             "12 warm ripple ring (P1), 13 cool ripple ring (P2). The ripple rings are drawn as "
             "4:1 ellipses so that on the square hover scale they show as 2:1 floor ripples: give "
             "Hover components \"player\" 12 or 13.",
             "UI_Billboards_Rings.png (billboards, Hover ring)", grid=(2, 7, 14),
             use="billboard scale about 200x100")
    for side in (1, 2):
        reg.save(platform(side), "Game/Stage/Platform_P%d.png" % side,
                 "Stage riser under a spot: purple box with a %s neon lip, LEDs and floor glow." %
                 ("warm" if side == 1 else "cool"), "Platform entities",
                 use="scale about 110x53")
    for side in (1, 2):
        reg.save(meter_back(side), "Game/HUD/MeterBack_P%d.png" % side,
                 "Beat (hype) meter housing: dark track with a %s rim; its inner glow brightens "
                 "toward the middle of the screen, the way the bar grows." %
                 ("warm" if side == 1 else "cool"),
                 "BeatMeter%d / BeatMeter%dBackBottom" % (side, side), use="scale about 420x46")
    reg.save(meter_notch(), "Game/HUD/MeterNotch.png",
             "Meter notch, 3 frames of 20x44: 0 white, 1 magenta, 2 gold (one look per meter "
             "segment if the notch rows pick frames; frame 0 alone works with tints).",
             "MeterNotch archetype", grid=(3, 1, 3), use="scale about 10x24")
    reg.save(timer_back(), "Game/HUD/TimerBack.png",
             "Match clock plate with a gold edge and the colon between the minutes (left) and "
             "seconds (right) texts baked in at its centre.", "behind TimerMin / TimerSec / TimerGlow",
             use="scale about 178x67")
    reg.save(life_icon(None), "Game/HUD/LifeEmpty.png", "Empty life slot: dark heart outline.",
             "LifeIndicator imageName", use="scale about 26x26, offsetX about 30")
    for side in (1, 2):
        reg.save(life_icon(side), "Game/HUD/LifeFull_P%d.png" % side,
                 "Remaining life: glossy %s heart." % ("orange" if side == 1 else "cyan"),
                 "LifeIndicator imageOverlay", use="scale about 26x26")
    for side in (1, 2):
        reg.save(hud_panel(side), "Game/HUD/HudPanel_P%d.png" % side,
                 "Name plate \"%s\" with an empty score window at its inner end (%s) for the "
                 "PlayerScore text." % (SIDE[side]["name"], "right" if side == 1 else "left"),
                 "behind PlayerScore%d" % (side - 1), use="scale about 267x61")
        reg.save(player_tag(side), "Game/HUD/PlayerTag_P%d.png" % side,
                 "\"%s\" badge with a downward point, to float over the active spot." %
                 SIDE[side]["tag"], "Player%d (optional)" % (side - 1), use="scale about 53x44")
    print("Particles")
    reg.save(particle_star_shine(), "Particles/ParticleStarShine.png",
             "White four-point sparkle (platinum ball trail).", "ParticleStarShine.png",
             use="particle initSize 16-24")
    reg.save(particle_star_shine(rainbow=True), "Particles/ParticleStarRainbow.png",
             "Rainbow four-point sparkle (balls without a letter).", "ParticleStarRainbow.png")
    reg.save(particle_soft_ball(), "Particles/ParticleSoftBall.png",
             "Soft white round puff (default ball trail, tinted by the emitter).", "ParticleSoftBall.png")
    reg.save(particle_blob(), "Particles/ParticleBlob.png",
             "White glossy blob (alternating ball trail, tinted purple).", "ParticleBlob.png")
