"""The musicians who stand on the six spots: three characters (a singer, a
guitarist, a drummer), each in a warm outfit facing right (left half of the
stage) and a cool outfit facing left (right half), in four looks each:
Idle, Spotlight (lit, the player stands here), Beat (the swing) and Damaged.

Figures are posed with a tiny two-bone rig: each pose gives hand and foot
targets relative to the hip, and the elbows and knees are solved by IK.
The file names carry the character stem ("SingerWarmIdle.png") because images
are looked up by file name alone; the folder only keeps things tidy.
"""

import math

from PIL import Image

from artlib import (COOL, COOL_BLUE, COOL_LIGHT, GOLD, GOLD_LIGHT, INK, MAGENTA, VIOLET, WARM,
                    WARM_LIGHT, WARM_RED, WHITE, Canvas, mix, sheet)

CELL_W, CELL_H = 200, 260
GROUND = 248
UPPER, FORE = 27.0, 26.0      # arm bone lengths
THIGH, SHIN = 31.0, 31.0      # leg bone lengths
TORSO = 52.0
HEAD_R = 29.0

SIDES = {
    "Warm": {"main": WARM, "deep": WARM_RED, "light": WARM_LIGHT, "accent": GOLD,
             "pants": (58, 34, 84), "third": GOLD, "flip": False},
    "Cool": {"main": COOL, "deep": COOL_BLUE, "light": COOL_LIGHT, "accent": VIOLET,
             "pants": (30, 38, 92), "third": (120, 146, 255), "flip": True},
}

CHARACTERS = {
    "Singer": {"skin": (128, 78, 54), "hair": "afro", "hair_col": (34, 22, 34)},
    "Guitarist": {"skin": (244, 204, 170), "hair": "spiky", "hair_col": None},
    "Drummer": {"skin": (198, 136, 92), "hair": "cap", "hair_col": (40, 26, 22)},
}


# -------------------------------------------------------------------- rig --
def rot(v, deg):
    a = math.radians(deg)
    return (v[0] * math.cos(a) - v[1] * math.sin(a), v[0] * math.sin(a) + v[1] * math.cos(a))


def add(a, b):
    return (a[0] + b[0], a[1] + b[1])


def lerp(a, b, t):
    return (a[0] + (b[0] - a[0]) * t, a[1] + (b[1] - a[1]) * t)


def ik(root, target, l1, l2, bend):
    """Joint between root and target; bend +1 or -1 picks the side the joint points to."""
    dx, dy = target[0] - root[0], target[1] - root[1]
    d = max(1e-3, min(math.hypot(dx, dy), l1 + l2 - 0.01))
    base = math.atan2(dy, dx)
    cosa = max(-1.0, min(1.0, (l1 * l1 + d * d - l2 * l2) / (2 * l1 * d)))
    a = math.acos(cosa) * bend
    joint = (root[0] + l1 * math.cos(base + a), root[1] + l1 * math.sin(base + a))
    end = (root[0] + (l1 + l2) * math.cos(base) if d >= l1 + l2 - 0.02 else target[0],
           root[1] + (l1 + l2) * math.sin(base) if d >= l1 + l2 - 0.02 else target[1])
    return joint, end


class Body:
    """Joint positions of one frame. Pose p: hip offset, lean, hand and foot targets."""

    def __init__(self, p):
        lift = p.get("lift", 0.0)
        self.hip = (96 + p.get("dx", 0.0), 186 + p.get("bob", 0.0) - lift)
        lean = p.get("lean", 0.0)                     # degrees, + leans forward (right)
        self.lean = lean
        self.neck = add(self.hip, rot((0, -TORSO), lean))
        self.head = add(self.neck, rot((4, -HEAD_R - 3), lean + p.get("tilt", 0.0)))
        self.sh_back = add(self.neck, rot((-5, 9), lean))
        self.sh_front = add(self.neck, rot((6, 9), lean))
        self.hip_back = add(self.hip, (-7, 0))
        self.hip_front = add(self.hip, (6, 0))
        hb, hf = p["hands"]
        self.hand_back_t = add(self.hip, hb)
        self.hand_front_t = add(self.hip, hf)
        self.el_back, self.hand_back = ik(self.sh_back, self.hand_back_t, UPPER, FORE,
                                          p.get("elbow_back", 1))
        self.el_front, self.hand_front = ik(self.sh_front, self.hand_front_t, UPPER, FORE,
                                            p.get("elbow_front", 1))
        fb, ff = p.get("feet", ((-14, 70), (16, 70)))
        self.foot_back_t = (self.hip[0] + fb[0], min(GROUND - 2 - lift, self.hip[1] + fb[1]))
        self.foot_front_t = (self.hip[0] + ff[0], min(GROUND - 2 - lift, self.hip[1] + ff[1]))
        self.knee_back, self.foot_back = ik(self.hip_back, self.foot_back_t, THIGH, SHIN, -1)
        self.knee_front, self.foot_front = ik(self.hip_front, self.foot_front_t, THIGH, SHIN, -1)


# --------------------------------------------------------------- drawing --
def rpoly(mask, pts, r):
    """Polygon with corners rounded outward by r."""
    mask.poly(pts)
    mask.line(list(pts) + [pts[0]], 2 * r)
    return mask


def part(c, m, fill, outline=3.0):
    c.paint(m.grow(outline), INK)
    c.paint(m, fill)


def shade(c, top, bottom, y0, y1, base):
    return c.linear((0, y0), (0, y1), [(0, mix(base, WHITE, top)), (1, mix(base, INK, bottom))])


def draw_leg(c, b, which, pal):
    hip = b.hip_back if which == "back" else b.hip_front
    knee = b.knee_back if which == "back" else b.knee_front
    foot = b.foot_back if which == "back" else b.foot_front
    pants = pal["pants"] if which == "front" else mix(pal["pants"], INK, 0.25)
    leg = c.mask().line([hip, knee, foot], 17)
    part(c, leg, shade(c, 0.15, 0.2, hip[1] - 10, foot[1], pants))
    shoe = c.mask().ellipse(foot[0] + 7, foot[1] + 1, 13, 7.5)
    part(c, shoe, (36, 24, 50) if which == "back" else (52, 36, 70), 2.5)
    c.paint(c.mask().rect(foot[0] - 5, foot[1] + 4, foot[0] + 19, foot[1] + 8, 2) & shoe, WHITE, 0.85)
    c.paint(c.mask().line([(foot[0] - 2, foot[1] - 4), (foot[0] + 8, foot[1] - 5)], 2.5),
            pal["main"], 0.9)


def draw_arm(c, b, which, skin, sleeve):
    sh = b.sh_back if which == "back" else b.sh_front
    el = b.el_back if which == "back" else b.el_front
    hd = b.hand_back if which == "back" else b.hand_front
    dim = 0.22 if which == "back" else 0.0
    fore = c.mask().line([el, hd], 12)
    part(c, fore, mix(skin, INK, dim))
    up = c.mask().line([sh, el], 15)
    part(c, up, mix(sleeve, INK, dim))
    # sleeve cuff
    cuff = lerp(sh, el, 0.92)
    c.paint(c.mask().circle(cuff[0], cuff[1], 7.8), mix(sleeve, WHITE, 0.35 - dim))
    hand = c.mask().circle(hd[0], hd[1], 7.5)
    part(c, hand, mix(skin, INK, dim), 2.5)


def draw_torso(c, b, ch, pal, name):
    L = b.lean
    chest = add(b.hip, rot((0, -TORSO + 12), L))
    pts = [add(chest, rot((-20, -10), L)), add(chest, rot((20, -10), L)),
           add(b.hip, rot((17, 4), L)), add(b.hip, rot((-17, 4), L))]
    m = rpoly(c.mask(), pts, 6)
    y0, y1 = b.neck[1], b.hip[1] + 8
    if name == "Singer":       # sparkly stage jacket over a dark top
        part(c, m, shade(c, 0.2, 0.25, y0, y1, pal["main"]))
        shirt = c.mask().poly([add(b.neck, rot((-5, 2), L)), add(b.neck, rot((9, 2), L)),
                               add(b.hip, rot((6, -4), L)), add(b.hip, rot((-2, -4), L))])
        c.paint(shirt & m, (30, 20, 46))
        lapel = c.mask().line([add(b.neck, rot((9, 2), L)), add(b.hip, rot((6, -6), L))], 3)
        c.paint(lapel & m, pal["accent"])
    elif name == "Guitarist":  # sleeveless vest with a bold stripe
        part(c, m, shade(c, 0.15, 0.3, y0, y1, pal["deep"]))
        stripe = c.mask().line([add(chest, rot((-20, 4), L)), add(chest, rot((20, 4), L))], 7)
        c.paint(stripe & m, pal["light"])
    else:                      # tank top with a star
        part(c, m, shade(c, 0.25, 0.25, y0, y1, pal["third"]))
        star = c.mask().star(chest[0] + 2, chest[1] + 6, 10, 4.2, 5)
        c.paint(star & m, WHITE)
        trim = c.mask().line([add(b.neck, rot((-12, 2), L)), add(b.neck, rot((12, 2), L))], 4)
        c.paint(trim & m, pal["deep"])
    belt = c.mask().line([add(b.hip, rot((-15, -2), L)), add(b.hip, rot((15, -2), L))], 6)
    c.paint(belt & m.grow(2), (30, 20, 40))


def draw_hair_back(c, b, ch, pal):
    h = b.head
    if ch["hair"] == "afro":
        m = c.mask()
        for dx, dy, r in ((-10, -14, 26), (8, -20, 24), (-20, 2, 20), (14, -6, 22), (-2, -26, 20)):
            m.circle(h[0] + dx, h[1] + dy, r)
        part(c, m, shade(c, 0.12, 0.1, h[1] - 46, h[1] + 20, ch["hair_col"]))


def draw_head(c, b, ch, pal, expr):
    h, skin = b.head, ch["skin"]
    x, y = h
    neck = c.mask().line([b.neck, lerp(b.neck, h, 0.5)], 12)
    part(c, neck, mix(skin, INK, 0.15))
    draw_hair_back(c, b, ch, pal)
    face = c.mask().circle(x, y, HEAD_R)
    part(c, face, c.radial((x + 6, y - 8), HEAD_R * 1.5, [(0, mix(skin, WHITE, 0.15)),
                                                            (1, mix(skin, INK, 0.2))]))
    # ear on the far side of the face
    ear = c.mask().ellipse(x - 12, y + 3, 6, 8)
    part(c, ear, mix(skin, INK, 0.08), 2)
    c.paint(c.mask().circle(x + 19, y + 10, 5.5).blur(2), (255, 110, 130), 0.5)   # cheek
    draw_face(c, x, y, expr)
    draw_hair_front(c, b, ch, pal)


def draw_face(c, x, y, expr):
    ex = (x + 7, x + 21)
    ey = y - 2
    if expr == "hurt":
        m = c.mask()
        for cx in ex:
            m.line([(cx - 4, ey - 4), (cx + 4, ey + 4)], 3).line([(cx - 4, ey + 4), (cx + 4, ey - 4)], 3)
        c.paint(m, INK)
        wave = [(x + 6 + i * 2.2, y + 14 + 2.2 * math.sin(i * 1.6)) for i in range(9)]
        c.paint(c.mask().line(wave, 2.6), INK)
    else:
        for cx in ex:
            if expr == "happy":      # closed happy eyes
                c.paint(c.mask().arc(cx, ey + 3, 5, 20, 160, 3, caps=True), INK)
            else:
                eye = c.mask().ellipse(cx, ey, 4.8, 6.2)
                c.paint(eye.grow(1.2), INK)
                c.paint(eye, WHITE)
                c.paint(c.mask().circle(cx + 1.6, ey + 0.8, 3.2), INK)
                c.paint(c.mask().circle(cx + 2.4, ey - 1, 1.1), WHITE)
        brow = c.mask()
        tilt = 2.5 if expr == "focus" else -1.0
        for cx in ex:
            brow.line([(cx - 4.5, ey - 10 - tilt), (cx + 4.5, ey - 10 + tilt)], 2.6)
        c.paint(brow, INK)
        if expr in ("happy", "cheer"):
            mouth = c.mask().poly([(x + 5, y + 10), (x + 25, y + 9)] +
                                  [(x + 15 + 10 * math.cos(math.radians(a)), y + 9.5 +
                                    9 * math.sin(math.radians(a))) for a in range(0, 181, 15)])
            c.paint(mouth.grow(1.3), INK)
            c.paint(mouth, (150, 30, 60))
            c.paint(c.mask().ellipse(x + 15, y + 16, 5, 3) & mouth, (255, 120, 140))
            c.paint(c.mask().rect(x + 6, y + 9, x + 24, y + 12) & mouth, WHITE)
        elif expr == "focus":
            mouth = c.mask().ellipse(x + 17, y + 14, 5.5, 4.5)
            c.paint(mouth.grow(1.3), INK)
            c.paint(mouth, (150, 30, 60))
        else:
            c.paint(c.mask().arc(x + 15, y + 7, 8, 205, 335, 2.8, caps=True), INK)


def draw_hair_front(c, b, ch, pal):
    x, y = b.head
    if ch["hair"] == "spiky":
        col = pal["deep"] if pal["flip"] is False else VIOLET
        col = MAGENTA if not pal["flip"] else (120, 90, 255)
        spikes = [(x - 30, y - 2), (x - 40, y - 22), (x - 22, y - 24), (x - 26, y - 46),
                  (x - 8, y - 32), (x, y - 54), (x + 8, y - 32), (x + 24, y - 46), (x + 20, y - 24),
                  (x + 34, y - 22), (x + 26, y - 12), (x + 6, y - 16), (x - 8, y - 8), (x - 24, y + 8)]
        m = c.mask().poly(spikes)
        part(c, m, c.linear((0, y - 54), (0, y + 8), [(0, mix(col, WHITE, 0.4)), (1, mix(col, INK, 0.3))]))
    elif ch["hair"] == "cap":
        cap = c.mask().poly([(x - 29, y - 8)] + [(x + 29 * math.cos(math.radians(a)),
                                                   y - 8 - 27 * math.sin(math.radians(a)))
                                                  for a in range(180, -1, -10)])
        part(c, cap, shade(c, 0.2, 0.2, y - 34, y - 2, pal["deep"]))
        brim = c.mask().poly([(x + 12, y - 16), (x + 44, y - 13), (x + 42, y - 8), (x + 8, y - 9)])
        part(c, brim, mix(pal["deep"], INK, 0.25), 2.5)
        c.paint(c.mask().circle(x - 4, y - 23, 6), pal["light"])
        c.paint(c.mask().text(x - 4, y - 23, "V", "bold", 9), INK)
        # sideburn under the cap
        c.paint(c.mask().rect(x - 20, y - 6, x - 8, y + 6, 3), ch["hair_col"])
    else:  # afro: a fringe over the forehead
        m = c.mask().circle(x + 4, y - 24, 13).circle(x + 18, y - 20, 10).circle(x - 10, y - 22, 12)
        part(c, m, shade(c, 0.15, 0.05, y - 38, y - 10, ch["hair_col"]), 2)
        band = c.mask().arc(x, y - 2, 28, 35, 150, 4)
        c.paint(band, pal["main"])


# ------------------------------------------------------------- instruments --
def draw_mic(c, hand, angle):
    """Handheld microphone held in hand; angle in degrees from straight up, + tilts forward."""
    d = rot((0, -1), angle)
    top = add(hand, (d[0] * 20, d[1] * 20))
    bot = add(hand, (-d[0] * 8, -d[1] * 8))
    handle = c.mask().line([bot, top], 6.5)
    part(c, handle, (60, 56, 80), 2)
    head = c.mask().circle(top[0] + d[0] * 5, top[1] + d[1] * 5, 8)
    part(c, head, c.radial((top[0] - 2, top[1] - 2), 14, [(0, WHITE), (1, (130, 130, 150))]), 2)
    grid = c.mask()
    for k in (-3, 0, 3):
        grid.line([(top[0] + d[0] * 5 - 6, top[1] + d[1] * 5 + k), (top[0] + d[0] * 5 + 6,
                                                                    top[1] + d[1] * 5 + k)], 1)
    c.paint(grid & head, INK, 0.35)


def draw_guitar(c, body, angle, pal):
    """Guitar with its body centre at body, neck pointing at angle (degrees from +x, up = +)."""
    d = (math.cos(math.radians(angle)), -math.sin(math.radians(angle)))
    n = (-d[1], d[0])
    neck_end = add(body, (d[0] * 78, d[1] * 78))
    neck = c.mask().line([add(body, (d[0] * 10, d[1] * 10)), neck_end], 7, caps=False)
    part(c, neck, (120, 74, 40), 2)
    fr = c.mask()
    for k in range(5):
        p = add(body, (d[0] * (34 + k * 9), d[1] * (34 + k * 9)))
        fr.line([add(p, (n[0] * 3.5, n[1] * 3.5)), add(p, (-n[0] * 3.5, -n[1] * 3.5))], 1.2, caps=False)
    c.paint(fr, GOLD_LIGHT, 0.9)
    head = c.mask().line([neck_end, add(neck_end, (d[0] * 14 + n[0] * 3, d[1] * 14 + n[1] * 3))], 9)
    part(c, head, INK, 1)

    def at(u, v):
        return add(body, (d[0] * u + n[0] * v, d[1] * u + n[1] * v))
    shape = c.mask().circle(*at(-10, 0), 19).circle(*at(10, -3), 14).circle(*at(8, 6), 11)
    shape = shape | c.mask().poly([at(-10, -19), at(14, -15), at(14, 13), at(-10, 19)])
    horn = c.mask().poly([at(10, -12), at(30, -22), at(24, -6)])
    shape = shape | horn
    col = GOLD if not pal["flip"] else (230, 236, 255)
    part(c, shape, c.radial(at(-4, -8), 36, [(0, mix(col, WHITE, 0.45)), (1, mix(col, INK, 0.25))]))
    guard = c.mask().circle(*at(-4, 6), 9)
    c.paint(guard & shape, (30, 22, 44), 0.9)
    pick = c.mask()
    for v in (-5, 5):
        pick.line([at(-20, v * 0.3), at(40, v * 0.3)], 1, caps=False)
    c.paint(pick, WHITE, 0.65)
    c.paint(c.mask().rect(*at(-14, -6), *at(-11, 6)) if False else c.mask(), INK)
    for u in (-14, 2):
        p = at(u, 0)
        c.paint(c.mask().rect(p[0] - 3, p[1] - 5, p[0] + 3, p[1] + 5, 1.5), (200, 200, 210))


def draw_drum(c, centre, pal, tilt=0):
    x, y = centre
    side = c.mask().rect(x - 24, y - 4, x + 24, y + 18, 3)
    part(c, side, c.linear((x - 24, 0), (x + 24, 0), [(0, mix(pal["deep"], INK, 0.3)),
                                                       (0.4, mix(pal["main"], WHITE, 0.15)),
                                                       (1, mix(pal["deep"], INK, 0.35))]))
    zig = [(x - 24 + i * 6, y + (1 if i % 2 else 14)) for i in range(9)]
    c.paint(c.mask().line(zig, 1.6) & side, GOLD_LIGHT)
    rim = c.mask().ellipse(x, y + 18, 24, 5) - c.mask().rect(x - 30, y + 4, x + 30, y + 18)
    c.paint(rim, (210, 210, 220))
    top = c.mask().ellipse(x, y - 4, 24, 7)
    part(c, top, c.radial((x - 6, y - 6), 30, [(0, WHITE), (1, (190, 190, 205))]), 2.5)
    c.paint(c.mask().ellipse(x, y - 4, 24, 7) - c.mask().ellipse(x, y - 4, 21, 5.5),
            (170, 170, 190))


def draw_stick(c, hand, angle, length=40):
    d = rot((0, -1), angle)
    tip = add(hand, (d[0] * length, d[1] * length))
    tail = add(hand, (-d[0] * 8, -d[1] * 8))
    m = c.mask().line([tail, tip], 4.2)
    part(c, m, (236, 200, 140), 1.8)
    c.paint(c.mask().circle(tip[0], tip[1], 3.2), WHITE)
    return tip


# ------------------------------------------------------------------ poses --
def poses(name, look, f):
    """Pose for character name, look and frame f (0-3). Hand targets are relative to the hip."""
    bob = [3, 0, -1, 1][f]
    p = {"bob": bob, "expr": "smile"}
    if look == "Idle":
        p.update(tilt=[2, 0, -2, 0][f])
    elif look == "Spotlight":
        p.update(bob=[4, -4, -9, -2][f], lift=[0, 0, 4, 0][f], tilt=[4, -3, -5, 2][f],
                 lean=[4, -2, 3, 0][f], expr="cheer" if f != 2 else "happy",
                 feet=[((-18, 80), (18, 80)), ((-12, 82), (20, 80)), ((-16, 78), (16, 78)),
                       ((-20, 80), (14, 82))][f])
    elif look == "Beat":
        p.update(bob=[4, 5, 3, 1][f], lean=[14, 10, 4, 0][f], expr="focus",
                 feet=((-26, 78), (26, 76)))
    else:  # Damaged
        p.update(bob=[6, 4, 3, 2][f], lean=[-16, -12, -8, -4][f], tilt=[-14, -10, -6, -3][f],
                 dx=[-8, -6, -3, -1][f], expr="hurt", feet=((-20, 80), (14, 80)))

    if name == "Singer":
        if look == "Idle":
            p["hands"] = ((-14, 6), (38, -47 + bob * 0.5))
            p["mic"] = -20
        elif look == "Spotlight":
            p["hands"] = (((-30, -92), (-36, -80), (-40, -96), (-34, -84))[f], (38, -48))
            p["mic"] = -22
            p["elbow_back"] = -1
        elif look == "Beat":
            p["hands"] = ((-30, -20), ((58, -74), (56, -56), (44, -44), (30, -54))[f])
            p["mic"] = (60, 80, 60, 20)[f]
            p["swing"] = True
        else:
            p["hands"] = ((-34, -70), (30, -84))
            p["mic"] = -40
            p["elbow_back"] = -1
    elif name == "Guitarist":
        if look == "Beat":
            # the guitar swung up and forward like a racket, held in front of the chest
            ang = (72, 52, 34, 24)[f]
            a = math.radians(ang)
            p["guitar"] = (ang, (30, -44))
            p["hands"] = ((24, -38), (30 + 40 * math.cos(a), -44 - 40 * math.sin(a)))
            p["swing"] = True
        else:
            strum = {"Idle": [0, -4, 0, 4], "Spotlight": [4, -8, 4, -8],
                     "Damaged": [0, 0, 0, 0]}[look][f]
            gang = 28 if look != "Damaged" else 45
            p["guitar"] = (gang, (14, -22))
            p["hands"] = ((8, -28 + strum), (56, -52 if look != "Damaged" else -66))
        if look == "Damaged":
            p["hands"] = ((-30, -74), p["hands"][1])
            p["elbow_back"] = -1
    else:  # Drummer
        if look == "Idle":
            p["hands"] = ((6, -34), (30, -36 + [4, 0, -2, 0][f]))
            p["sticks"] = (70, (75, 60, 55, 60)[f])
        elif look == "Spotlight":
            p["hands"] = (((4, -44), (2, -36), (4, -56), (2, -36))[f],
                          ((30, -56), (32, -38), (30, -46), (32, -38))[f])
            p["sticks"] = ((40, 70, 20, 70)[f], (30, 80, 50, 80)[f])
        elif look == "Beat":
            p["hands"] = ((2, -36), ((50, -86), (56, -66), (46, -48), (36, -44))[f])
            p["sticks"] = (70, (20, 70, 110, 95)[f])
            p["swing"] = True
        else:
            p["hands"] = ((-30, -76), (28, -82))
            p["sticks"] = (-20, 10)
            p["elbow_back"] = -1
        p["drum"] = True
    return p


# ---------------------------------------------------------------- effects --
def spotlight_beam(c, pal, f):
    fade = c.ramp_mask((0, 0), (0, 110))     # the beam fades in below the top of the cell
    beam = c.mask().poly([(80, -10), (116, -10), (182, GROUND + 8), (14, GROUND + 8)]).blur(7) & fade
    c.paint(beam, c.linear((0, 0), (0, GROUND), [(0, mix(pal["light"], WHITE, 0.6)),
                                                  (1, pal["main"])]), 0.32, "add")
    core = c.mask().poly([(90, -10), (106, -10), (150, GROUND), (46, GROUND)]).blur(10) & fade
    c.paint(core, WHITE, 0.14, "add")
    pool = c.mask().ellipse(98, GROUND + 2, 80, 14).blur(5)
    c.paint(pool, mix(pal["light"], WHITE, 0.4), 0.55, "add")
    sparks = c.mask()
    for i, (sx, sy) in enumerate(((30, 60), (166, 96), (40, 150), (160, 34), (150, 170))):
        if (i + f) % 2 == 0:
            sparks.star(sx, sy, 7, 2, 4, rot=0)
    c.glow(sparks, pal["light"], 3, 0.8)
    c.paint(sparks, WHITE)


def floor_shadow(c, b):
    c.paint(c.mask().ellipse(b.hip[0] + 4, GROUND + 2, 44, 8).blur(3), INK, 0.55)


def swing_arc(c, b, pal, f):
    if f > 1:
        return
    s = b.sh_front
    r = 72 if f == 0 else 62
    a0, a1 = (120, -20) if f == 0 else (90, -40)
    arc = c.mask().arc(s[0] - 4, s[1] + 6, r, a0, a1, 9 if f == 0 else 6)
    c.glow(arc, pal["light"], 6, 0.9)
    c.paint(arc.blur(1.5), WHITE, 0.85, "add")
    if f == 0:
        tip = add(b.hand_front, (10, -10))
        burst = c.mask().star(tip[0] + 6, tip[1] - 4, 17, 6, 8, rot=0)
        c.glow(burst, GOLD, 5, 1.0)
        c.paint(burst, GOLD_LIGHT)


def dizzy_stars(c, b, f):
    x, y = b.head
    m = c.mask()
    for k in range(3):
        a = math.radians(f * 40 + k * 120)
        m.star(x + 34 * math.cos(a), y - 34 + 9 * math.sin(a), 8, 3.2, 5)
    c.paint(m.grow(2), INK)
    c.paint(m, GOLD)
    if f == 0:
        bang = c.mask().star(x + 38, y - 4, 20, 8, 7, rot=10)
        c.paint(bang.grow(2.5), INK)
        c.paint(bang, WARM_RED)
        c.paint(c.mask().star(x + 38, y - 4, 10, 4, 7, rot=10), GOLD_LIGHT)


# ------------------------------------------------------------------ frame --
def draw_frame(name, side, look, f, k=1):
    """One frame; k = 2 gives it at twice the size (for the big pictures)."""
    ch, pal = CHARACTERS[name], SIDES[side]
    p = poses(name, look, f)
    b = Body(p)
    c = Canvas(CELL_W, CELL_H, s=4 * k)
    if look == "Spotlight":
        spotlight_beam(c, pal, f)
    floor_shadow(c, b)
    sleeve = {"Singer": pal["main"], "Guitarist": pal["deep"], "Drummer": pal["third"]}[name]
    skin = ch["skin"]
    if name == "Drummer":
        draw_stick(c, b.hand_back, p["sticks"][0] - 20, 36)
    draw_arm(c, b, "back", skin, sleeve)
    draw_leg(c, b, "back", pal)
    draw_torso(c, b, ch, pal, name)
    draw_leg(c, b, "front", pal)
    if p.get("drum"):
        draw_drum(c, add(b.hip, (26, 2)), pal)
    if name == "Guitarist":
        draw_guitar(c, add(b.hip, p["guitar"][1]), p["guitar"][0], pal)
    draw_head(c, b, ch, pal, p["expr"])
    if p.get("swing"):
        swing_arc(c, b, pal, f)
    draw_arm(c, b, "front", skin, sleeve)
    if name == "Singer":
        draw_mic(c, b.hand_front, p["mic"])
    if name == "Drummer":
        draw_stick(c, b.hand_front, p["sticks"][1], 40)
    # neon rim light on the back edge (the stage lights are behind the players)
    fig = c.alpha_mask()
    c.paint(fig - fig.shift(3, 0), pal["main"], 0.55, "atop")
    if look == "Damaged":
        dizzy_stars(c, b, f)
        if f == 0:
            c.paint(c.alpha_mask(), WARM_RED, 0.28, "atop")
    img = c.result(k)
    if pal["flip"]:
        img = img.transpose(Image.Transpose.FLIP_LEFT_RIGHT)
    return img


LOOKS = ("Idle", "Beat", "Spotlight", "Damaged")
LOOK_TEXT = {
    "Idle": "relaxed, nodding on the beat (frame 0 is the rest pose)",
    "Beat": "the swing: frame 0 is the strike with a motion arc and a spark, frames 1-3 follow "
            "through and recover",
    "Spotlight": "lit by a spotlight beam with a light pool and sparkles, dancing",
    "Damaged": "hit: leaning back, X eyes, dizzy stars (frame 0 flashes red and has an impact burst)",
}


def build(reg):
    print("Musicians")
    for name in CHARACTERS:
        for side in SIDES:
            stem = name + side
            for look in LOOKS:
                frames = [draw_frame(name, side, look, f) for f in range(4)]
                reg.save(sheet(frames, 4), "Characters/%s/%s%s.png" % (stem, stem, look),
                         "%s, %s outfit facing %s: %s. 4 frames of %dx%d." %
                         (name, side.lower(), "left" if SIDES[side]["flip"] else "right",
                          LOOK_TEXT[look], CELL_W, CELL_H),
                         'BehaviorMusician "character": "%s"' % stem, grid=(4, 1, 4),
                         use="scale about 111x144, feet at the bottom edge")
