"""Full-screen pictures: studio splash, controller card, title logo, menu, stage
and credits backgrounds, the scrolling credits, the four tutorial pages and the
three victory pictures. Full-screen images are 1920x960 (the 2:1 world,
1066x533 units, shown on a 1920x1080 screen)."""

import math

import numpy as np

import art_characters
from art_game import draw_ball, heart, SIDE
from art_ui import face_icon, ball_icon
from artlib import (BTN_A, BTN_B, BTN_X, BTN_Y, COOL, COOL_BLUE, COOL_LIGHT, GOLD, GOLD_DEEP,
                    GOLD_LIGHT, INK, MAGENTA, NIGHT0, NIGHT1, NIGHT2, PANEL_HI, VIOLET, WARM,
                    WARM_LIGHT, WARM_RED, WHITE, Canvas, font, mix, stars)

FW, FH = 1920, 960


# ------------------------------------------------------------ scenery kit --
def sky(c, horizon, top=NIGHT0, mid=NIGHT1, low=NIGHT2):
    c.fill(c.linear((0, 0), (0, horizon), [(0, top), (0.6, mid), (1, low)]))


def beams(c, sources, opacity=0.16):
    """Soft light cones: sources = [(x_top, y_top, x_bottom, y_bottom, half_width, colour)]."""
    for (xt, yt, xb, yb, hw, col) in sources:
        dx, dy = xb - xt, yb - yt
        L = math.hypot(dx, dy)
        nx, ny = -dy / L, dx / L
        m = c.mask().poly([(xt + nx * 8, yt + ny * 8), (xt - nx * 8, yt - ny * 8),
                           (xb - nx * hw, yb - ny * hw), (xb + nx * hw, yb + ny * hw)]).blur(hw * 0.35)
        fade = c.linear((xt, yt), (xb, yb), [(0, mix(col, WHITE, 0.4)), (1, col)])
        c.paint(m, fade, opacity, "add")


def floor_grid(c, horizon, bottom, col=MAGENTA, opacity=0.55, vp_x=None, rows=11, cols=26):
    vp = vp_x if vp_x is not None else c.w / 2
    m = c.mask()
    depth = bottom - horizon
    for k in range(1, rows + 1):
        y = horizon + depth * (k / rows) ** 2.2
        m.line([(0, y), (c.w, y)], 1.2 + 1.8 * (k / rows), caps=False)
    for k in range(-cols, cols + 1):
        xb = vp + k * c.w / cols * 1.6
        m.line([(vp + (xb - vp) * 0.02, horizon + 1), (xb, bottom + 40)], 1.8, caps=False)
    fade = c.linear((0, horizon), (0, bottom), [(0, (0, 0, 0)), (0.25, mix(col, INK, 0.5)), (1, col)])
    c.paint(m, fade, opacity, "add")
    c.paint(m.blur(3), fade, opacity * 0.6, "add")


def palm(c, x, base_y, height, lean, col=(10, 6, 22), rim=MAGENTA, flip=1):
    """Palm tree silhouette (smooth tapered trunk, drooping combed fronds), faint rim light."""
    n = 40
    spine = [(x + flip * lean * (i / n) ** 2, base_y - height * i / n) for i in range(n + 1)]
    left, right = [], []
    for i, (px, py) in enumerate(spine):
        t = i / n
        w = 15 * (1 - 0.5 * t)
        j = min(i + 1, n)
        dx, dy = spine[j][0] - spine[max(0, j - 1)][0], spine[j][1] - spine[max(0, j - 1)][1]
        L = math.hypot(dx, dy) or 1
        nx, ny = -dy / L, dx / L
        left.append((px + nx * w, py + ny * w))
        right.append((px - nx * w, py - ny * w))
    tree = c.mask().poly(left + right[::-1])
    top = spine[-1]
    rings = c.mask()
    for i in range(3, n - 1, 3):
        rings.line([left[i], right[i]], 2.2, caps=False)
    fronds = c.mask()
    angles = (-168, -140, -112, -62, -34, -8, 14, 192)
    for k, ang in enumerate(angles):
        a0 = math.radians(ang)
        L = height * (0.40 + 0.07 * ((k * 5) % 3))
        droop = 0.6 + 0.15 * ((k * 3) % 2)
        pts = []
        for i in range(21):
            t = i / 20
            pts.append((top[0] + math.cos(a0) * L * t * flip,
                        top[1] + math.sin(a0) * L * t * 0.5 + droop * L * t * t * 0.8))
        for i in range(20):
            fronds.line([pts[i], pts[i + 1]], 7.5 * (1 - i / 20) + 1.5)
        for i in range(2, 20):
            t = i / 20
            px, py = pts[i]
            ln = 34 * math.sin(math.pi * min(1.0, t * 1.05)) + 4
            dxs = (pts[i + 1][0] - pts[i - 1][0])
            dir_x = 1 if dxs >= 0 else -1
            for side in (-1, 1):
                tip = (px + dir_x * ln * 0.45 + side * ln * 0.25, py + ln * 0.85)
                fronds.poly([(px - 2.5, py), (px + 2.5, py), tip])
    tree = tree | fronds | c.mask().circle(top[0], top[1], 16)
    c.paint(tree, col)
    c.paint(rings & tree, (30, 20, 50), 0.8)
    c.paint(tree - tree.shift(-2 * flip, 3), rim, 0.6)


def skyline(c, horizon, rng, col=(16, 8, 36), height=(20, 90)):
    m = c.mask()
    x = 0
    while x < c.w:
        w = rng.uniform(30, 90)
        h = rng.uniform(*height)
        m.rect(x, horizon - h, x + w, horizon + 2)
        x += w + rng.uniform(-6, 10)
    c.paint(m, col)
    win = c.mask()
    for _ in range(260):
        wx, wy = rng.uniform(0, c.w), horizon - rng.uniform(6, height[1])
        win.rect(wx, wy, wx + 3, wy + 4)
    c.paint(win & m, GOLD_LIGHT, 0.35, "add")


def synth_sun(c, cx, cy, r):
    disc = c.mask().circle(cx, cy, r)
    gaps = c.mask()
    for k in range(7):
        y = cy - r * 0.05 + r * 0.12 * k
        gaps.rect(cx - r, y, cx + r, y + 3 + k * 2.4)
    sun = disc - gaps
    c.glow(disc, MAGENTA, r * 0.35, 0.55)
    c.paint(sun, c.linear((0, cy - r), (0, cy + r), [(0, GOLD_LIGHT), (0.45, WARM), (1, MAGENTA)]))


def sea(c, top, bottom, rng, reflect_x=None):
    c.paint(c.mask().rect(0, top, c.w, bottom),
            c.linear((0, top), (0, bottom), [(0, (44, 16, 80)), (1, (18, 8, 44))]))
    m = c.mask()
    for _ in range(140):
        y = rng.uniform(top + 2, bottom)
        x = rng.uniform(0, c.w)
        w = rng.uniform(20, 120) * (0.4 + (y - top) / (bottom - top))
        m.rect(x, y, x + w, y + 1.6)
    c.paint(m, (160, 110, 220), 0.35, "add")
    if reflect_x is not None:
        r = c.mask()
        for k in range(12):
            y = top + 4 + k * (bottom - top) / 12
            w = 180 - k * 11
            r.rect(reflect_x - w, y, reflect_x + w, y + 3)
        c.paint(r.blur(1.5), c.linear((0, top), (0, bottom), [(0, GOLD), (1, MAGENTA)]), 0.6, "add")


def truss(c, y, h=34, col=(70, 60, 110)):
    m = c.mask()
    m.rect(0, y, c.w, y + 4).rect(0, y + h - 4, c.w, y + h)
    x = 0
    while x < c.w:
        m.line([(x, y + 2), (x + h, y + h - 2)], 3, caps=False)
        m.line([(x + h, y + h - 2), (x + 2 * h, y + 2)], 3, caps=False)
        x += 2 * h
    c.paint(m, col)
    c.paint(m, INK, 0.4, "multiply")


def stage_lights(c, y, xs, cols):
    for x, col in zip(xs, cols):
        can = c.mask().rect(x - 14, y, x + 14, y + 30, 6)
        c.paint(can.grow(2), INK)
        c.paint(can, (50, 44, 80))
        lens = c.mask().ellipse(x, y + 30, 12, 5)
        c.glow(lens, col, 10, 1.0)
        c.paint(lens, mix(col, WHITE, 0.6))


def speaker_stack(c, x0, y0, x1, y1, col):
    body = c.mask().rect(x0, y0, x1, y1, 6)
    c.paint(body, (20, 14, 40))
    c.paint(body - body.shrink(2), (70, 60, 110))
    cx = (x0 + x1) / 2
    n = int((y1 - y0) // 90)
    for k in range(n):
        cy = y0 + 50 + k * 90
        r = min(34, (x1 - x0) / 2 - 10)
        cone = c.mask().circle(cx, cy, r)
        c.paint(cone, c.radial((cx - 6, cy - 6), r * 1.3, [(0, (80, 70, 120)), (1, (10, 6, 22))]))
        c.paint(c.mask().ring(cx, cy, r, 2.5), col, 0.8)
        c.paint(c.mask().circle(cx, cy, r * 0.3), (30, 24, 50))


def vignette(c, strength=0.6):
    v = c.radial((c.w / 2, c.h / 2), c.w * 0.62, [(0, (0, 0, 0)), (0.7, (0, 0, 0)), (1, (255, 255, 255))],
                 ry=c.h * 0.75)
    m = c.mask()
    m.im.paste(255, (0, 0, c.W, c.H))
    c.paint(m, INK, 1.0, "over") if False else None
    a = v[..., 0] * strength
    c.px[..., :3] *= (1 - a[..., None])


def wrap(text, face, size, width):
    f = font(face, size)
    lines = []
    for para in text.split("\n"):
        words, cur = para.split(" "), ""
        for w in words:
            trial = (cur + " " + w).strip()
            if f.getlength(trial) <= width or not cur:
                cur = trial
            else:
                lines.append(cur)
                cur = w
        lines.append(cur)
    return lines


def text_block(c, x, y, width, text, face="cond", size=30, col=WHITE, gap=1.32, anchor="la",
               shadow=True):
    """Wrapped paragraph; returns the y below it."""
    m = c.mask()
    for i, line in enumerate(wrap(text, face, size, width)):
        lx = x if anchor[0] == "l" else x + width / 2
        m.text(lx, y + i * size * gap, line, face, size, anchor=("l" if anchor[0] == "l" else "m") + "a")
    if shadow:
        c.paint(m.shift(0, 2).blur(2), INK, 0.8)
    c.paint(m, col)
    return y + len(wrap(text, face, size, width)) * size * gap


def title_text(c, x, y, s, size, fill_stops, glow=MAGENTA, anchor="mm", face="condbi", outline=5,
               spacing=0):
    t = c.mask().text(x, y, s, face, size, anchor=anchor, spacing=spacing)
    if glow:
        c.glow(t, glow, size * 0.18, 0.8)
    c.paint(t.grow(outline), INK)
    c.paint(t, c.linear((0, y - size * 0.5), (0, y + size * 0.5), fill_stops))
    return t


def keycap(c, x, y, label, size=64, accent=GOLD):
    cap = c.mask().rect(x - size / 2, y - size / 2, x + size / 2, y + size / 2, size * 0.18)
    c.paint(cap.shift(0, 5).grow(2), INK)
    c.paint(cap.grow(2), INK)
    c.paint(cap, c.linear((0, y - size / 2), (0, y + size / 2), [(0, (250, 248, 255)), (1, (190, 184, 220))]))
    top = c.mask().rect(x - size / 2 + 6, y - size / 2 + 4, x + size / 2 - 6, y + size / 2 - 10, size * 0.14)
    c.paint(top, (255, 255, 255), 0.5)
    c.paint(c.mask().text(x, y - 2, label, "bold", size * 0.5), INK)
    c.paint(c.mask().rect_outline(x - size / 2, y - size / 2, x + size / 2, y + size / 2, size * 0.18, 3),
            accent)


def gamepad(c, cx, cy, k, body_col, tilt=0):
    """A friendly gamepad, k = scale (1 is about 300 px wide)."""
    def P(x, y):
        a = math.radians(tilt)
        return (cx + k * (x * math.cos(a) - y * math.sin(a)), cy + k * (x * math.sin(a) + y * math.cos(a)))
    m = c.mask()
    m.circle(*P(-95, 10), 70 * k).circle(*P(95, 10), 70 * k)
    m.poly([P(-100, -60), P(100, -60), P(110, 40), P(-110, 40)])
    grips = c.mask().circle(*P(-110, 60), 52 * k).circle(*P(110, 60), 52 * k)
    body = m | grips
    c.glow(body, body_col, 16 * k, 0.6)
    c.paint(body.grow(5 * k), INK)
    c.paint(body, c.linear(P(0, -80), P(0, 110), [(0, mix(body_col, WHITE, 0.35)), (0.5, body_col),
                                                    (1, mix(body_col, INK, 0.45))]))
    c.paint(c.mask().ellipse(*P(-40, -40), 60 * k, 12 * k) & body, WHITE, 0.25)
    # d-pad
    dp = c.mask()
    dp.rect(*P(-110, -8), *P(-70, 8), 3 * k).rect(*P(-98, -20), *P(-82, 20), 3 * k)
    c.paint(dp.grow(2 * k), INK)
    c.paint(dp, (40, 34, 70))
    # sticks
    for sx, sy in ((-45, 45), (45, 45)):
        st = c.mask().circle(*P(sx, sy), 22 * k)
        c.paint(st.grow(3 * k), INK)
        c.paint(st, c.radial(P(sx - 6, sy - 6), 30 * k, [(0, (110, 100, 150)), (1, (30, 24, 50))]))
    # face buttons in the usual diamond: Y top, X left, B right, A bottom
    for (bx, by, col, ch) in ((90, -32, BTN_Y, "Y"), (66, -8, BTN_X, "X"), (114, -8, BTN_B, "B"),
                              (90, 16, BTN_A, "A")):
        b = c.mask().circle(*P(bx, by), 13 * k)
        c.paint(b.grow(2.5 * k), INK)
        c.paint(b, c.radial(P(bx - 4, by - 4), 20 * k, [(0, mix(col, WHITE, 0.4)), (1, col)]))
        c.paint(c.mask().text(*P(bx, by + 1), ch, "bold", 14 * k), WHITE)
    # centre light
    c.paint(c.mask().circle(*P(0, -30), 10 * k), WHITE, 0.9)


def card(c, x0, y0, x1, y1, accent, fill_opacity=0.88):
    m = c.mask().rect(x0, y0, x1, y1, 22)
    c.glow(m, accent, 14, 0.35)
    c.paint(m.grow(3), INK)
    c.paint(m, c.linear((0, y0), (0, y1), [(0, (44, 30, 90)), (1, (16, 10, 38))]), fill_opacity)
    c.paint(m - m.shrink(3), mix(accent, WHITE, 0.2), 0.9)
    return m


def confetti(c, rng, count, area, cols):
    x0, y0, x1, y1 = area
    for _ in range(count):
        x, y = rng.uniform(x0, x1), rng.uniform(y0, y1)
        w, h = rng.uniform(6, 14), rng.uniform(3, 7)
        a = rng.uniform(0, math.pi)
        pts = [(x + dx * math.cos(a) - dy * math.sin(a), y + dx * math.sin(a) + dy * math.cos(a))
               for dx, dy in ((-w, -h), (w, -h), (w, h), (-w, h))]
        col = cols[rng.randint(len(cols))]
        c.paint(c.mask().poly(pts), col, rng.uniform(0.7, 1.0))


def sunburst(c, cx, cy, n, col, opacity, r=2400, width=0.5):
    m = c.mask()
    for k in range(n):
        a0 = 2 * math.pi * k / n
        a1 = a0 + 2 * math.pi / n * width
        m.poly([(cx, cy), (cx + r * math.cos(a0), cy + r * math.sin(a0)),
                (cx + r * math.cos(a1), cy + r * math.sin(a1))])
    fade = c.radial((cx, cy), r * 0.5, [(0, col), (1, (0, 0, 0))])
    c.paint(m, fade, opacity, "add")


# -------------------------------------------------------------- the logo --
def draw_logo(c, cx, cy, k=1.0):
    """VOLLEYRUN wordmark with a volleyball for the O, centred on cx, cy (k scales it)."""
    size = 190 * k
    left, right = "V", "LLEYRUN"
    f = font("condbi", size)
    wl, wr = f.getlength(left), f.getlength(right)
    ball_r = size * 0.36
    gap = size * 0.03
    total = wl + 2 * ball_r + wr + 2 * gap
    x0 = cx - total / 2
    y = cy
    # speed streaks behind
    streaks = c.mask()
    for i, (dy, L) in enumerate(((-0.28, 0.9), (-0.05, 1.1), (0.2, 0.8))):
        streaks.line([(x0 - 40 * k, y + dy * size), (x0 - 40 * k - L * 160 * k, y + dy * size)],
                     10 * k * (1 - i * 0.2))
    c.paint(streaks, c.linear((x0 - 220 * k, 0), (x0, 0), [(0, INK), (1, WARM)]), 0.9, "add")
    streaks_r = c.mask()
    xr = cx + total / 2
    for i, (dy, L) in enumerate(((-0.2, 0.8), (0.05, 1.0), (0.28, 0.7))):
        streaks_r.line([(xr + 40 * k, y + dy * size), (xr + 40 * k + L * 160 * k, y + dy * size)],
                       10 * k * (1 - i * 0.2))
    c.paint(streaks_r, c.linear((xr + 220 * k, 0), (xr, 0), [(0, INK), (1, COOL)]), 0.9, "add")
    word = c.mask()
    word.text(x0, y, left, "condbi", size, anchor="lm")
    word.text(x0 + wl + 2 * ball_r + 2 * gap, y, right, "condbi", size, anchor="lm")
    c.glow(word, MAGENTA, size * 0.16, 0.9)
    c.paint(word.grow(12 * k).shift(0, 8 * k), INK, 0.85)
    c.paint(word.grow(10 * k), INK)
    c.paint(word.grow(5 * k), WHITE)
    c.paint(word, c.linear((0, y - size * 0.42), (0, y + size * 0.42),
                           [(0, GOLD_LIGHT), (0.45, GOLD), (0.55, WARM), (1, MAGENTA)]))
    shine = word & c.mask().rect(0, y - size * 0.42, c.w, y - size * 0.12)
    c.paint(shine, WHITE, 0.35)
    bx = x0 + wl + gap + ball_r
    draw_ball(c, bx, y + size * 0.02, ball_r, 25, (255, 250, 240), outline=6 * k)


def logo_image(w=1200, h=360):
    c = Canvas(w, h, s=2)
    draw_logo(c, w / 2, h / 2 - 10, 1.0)
    tag = c.mask().text(w / 2, h - 38, "HIT IT ON THE BEAT", "condb", 34, spacing=10)
    c.paint(tag.grow(3), INK)
    c.paint(tag, COOL_LIGHT)
    return c.result()


# ------------------------------------------------------------ backgrounds --
def stage_background():
    rng = np.random.RandomState(11)
    c = Canvas(FW, FH, s=2)
    horizon = 610
    sky(c, horizon)
    stars(c, rng, 420, (0, 0, FW, horizon - 40), colours=((230, 220, 255),), opacity=(0.15, 0.8))
    c.paint(c.mask().circle(1640, 150, 52), c.radial((1625, 135), 70, [(0, (255, 250, 235)),
                                                                        (1, (200, 190, 230))]))
    c.glow(c.mask().circle(1640, 150, 52), (200, 180, 255), 40, 0.5)
    skyline(c, horizon - 6, rng, col=(20, 10, 44), height=(14, 70))
    sea(c, horizon - 6, horizon + 34, rng)
    # the stage floor
    c.paint(c.mask().rect(0, horizon + 34, FW, FH),
            c.linear((0, horizon + 34), (0, FH), [(0, (42, 18, 74)), (1, (12, 6, 28))]))
    floor_grid(c, horizon + 34, FH, col=VIOLET, opacity=0.5)
    # side glows and crossing beams
    c.paint(c.mask().circle(160, 560, 420).blur(120), WARM, 0.22, "add")
    c.paint(c.mask().circle(1760, 560, 420).blur(120), COOL, 0.22, "add")
    beams(c, [(240, 70, 620, 900, 110, WARM), (420, 70, 180, 900, 90, WARM_LIGHT),
              (1680, 70, 1300, 900, 110, COOL), (1500, 70, 1740, 900, 90, COOL_LIGHT),
              (960, 70, 960, 900, 70, GOLD)], 0.12)
    truss(c, 36)
    stage_lights(c, 70, [240, 420, 700, 960, 1220, 1500, 1680],
                 [WARM, WARM_LIGHT, MAGENTA, GOLD, MAGENTA, COOL_LIGHT, COOL])
    speaker_stack(c, 10, 300, 110, 890, WARM)
    speaker_stack(c, FW - 110, 300, FW - 10, 890, COOL)
    # the net in the middle of the stage
    post = c.mask().rect(955, 430, 965, 900, 3)
    c.paint(post.grow(2), INK)
    c.paint(post, (180, 170, 220))
    net = c.mask().poly([(938, 470), (982, 470), (976, 600), (944, 600)])
    mesh = c.mask()
    for yy in range(470, 601, 10):
        mesh.line([(936, yy), (984, yy)], 1.4, caps=False)
    for xx in range(938, 985, 8):
        mesh.line([(xx, 470), (960 + (xx - 960) * 0.75, 600)], 1.4, caps=False)
    cord = c.mask().line([(944, 600), (976, 600)], 3)
    c.paint(net, (20, 10, 40), 0.35)
    c.glow(mesh & net, MAGENTA, 4, 0.6)
    c.paint(mesh & net, (230, 210, 255), 0.8)
    c.paint(cord, WHITE, 0.9)
    antenna = c.mask().rect(957, 392, 963, 470, 2)
    c.paint(antenna.grow(1.5), INK)
    c.paint(antenna, WHITE)
    stripes = c.mask()
    for yy in range(392, 470, 16):
        stripes.rect(957, yy, 963, yy + 8)
    c.paint(stripes & antenna, WARM_RED)
    band = c.mask().rect(938, 462, 982, 474, 3)
    c.glow(band, WHITE, 6, 0.6)
    c.paint(band, WHITE)
    # front edge of the stage
    edge = c.mask().rect(0, 902, FW, 908)
    c.glow(edge, MAGENTA, 8, 0.7)
    c.paint(edge, mix(MAGENTA, WHITE, 0.4))
    c.paint(c.mask().rect(0, 908, FW, FH), c.linear((0, 908), (0, FH), [(0, (26, 12, 50)),
                                                                          (1, (6, 4, 14))]))
    # the crowd in front of the stage: heads and raised hands, a few glow sticks
    crowd = c.mask()
    sticks = c.mask()
    x = 120
    while x < FW - 120:
        hy = rng.uniform(932, 946)
        crowd.circle(x, hy, rng.uniform(13, 17))
        crowd.ellipse(x, hy + 30, 26, 20)
        if rng.random() < 0.22:
            ax = x + rng.uniform(-8, 8)
            crowd.line([(x + 10, hy + 14), (ax + 16, hy - 30)], 8)
            if rng.random() < 0.6:
                sticks.line([(ax + 16, hy - 30), (ax + 22, hy - 52)], 4)
        x += rng.uniform(30, 44)
    c.paint(crowd, (6, 3, 14))
    c.paint(crowd - crowd.shift(0, 2), MAGENTA, 0.5)
    c.glow(sticks, GOLD, 5, 0.7)
    c.paint(sticks, c.linear((0, 0), (FW, 0), [(0, WARM_LIGHT), (0.5, GOLD_LIGHT), (1, COOL_LIGHT)]))
    vignette(c, 0.45)
    return c.result()


def menu_background():
    rng = np.random.RandomState(5)
    c = Canvas(FW, FH, s=2)
    horizon = 640
    sky(c, horizon, top=(10, 6, 30), mid=(46, 14, 84), low=(120, 30, 110))
    sunburst(c, 960, 600, 28, VIOLET, 0.12)
    stars(c, rng, 360, (0, 0, FW, horizon - 180), opacity=(0.15, 0.9))
    synth_sun(c, 960, horizon - 50, 230)
    skyline(c, horizon, rng, col=(24, 8, 48), height=(10, 60))
    sea(c, horizon, horizon + 60, rng, reflect_x=960)
    c.paint(c.mask().rect(0, horizon + 60, FW, FH),
            c.linear((0, horizon + 60), (0, FH), [(0, (40, 12, 70)), (1, (10, 6, 26))]))
    floor_grid(c, horizon + 60, FH, col=MAGENTA, opacity=0.6)
    palm(c, 150, 900, 520, 120, flip=1, rim=WARM)
    palm(c, 330, 920, 380, 70, flip=1, rim=WARM)
    palm(c, FW - 150, 900, 520, 120, flip=-1, rim=COOL)
    palm(c, FW - 330, 920, 380, 70, flip=-1, rim=COOL)
    c.paint(c.mask().circle(100, 400, 380).blur(120), WARM, 0.18, "add")
    c.paint(c.mask().circle(1820, 400, 380).blur(120), COOL, 0.18, "add")
    vignette(c, 0.5)
    return c.result()


def credits_background():
    rng = np.random.RandomState(23)
    c = Canvas(FW, FH, s=2)
    sky(c, FH, top=(6, 4, 20), mid=(22, 10, 54), low=(60, 16, 86))
    # aurora ribbons
    for k, col in enumerate((MAGENTA, VIOLET, COOL)):
        pts = [(x, 260 + 90 * k + 60 * math.sin(x / 260.0 + k)) for x in range(-20, FW + 40, 40)]
        rib = c.mask().line(pts, 60 - 12 * k).blur(40)
        c.paint(rib, col, 0.25, "add")
    stars(c, rng, 700, (0, 0, FW, FH), opacity=(0.1, 0.9))
    palm(c, 120, 990, 480, 110, flip=1, rim=WARM)
    palm(c, FW - 120, 990, 480, 110, flip=-1, rim=COOL)
    vignette(c, 0.5)
    return c.result()


# ----------------------------------------------------------------- splash --
def studio_splash():
    """FMOD1.png: our studio card, Tessaroon Games."""
    c = Canvas(FW, FH, s=2)
    c.fill(c.radial((960, 430), 1100, [(0, (34, 18, 66)), (0.6, (12, 8, 28)), (1, (4, 2, 10))]))
    rng = np.random.RandomState(3)
    stars(c, rng, 160, (0, 0, FW, FH), opacity=(0.05, 0.4))
    # logo mark: a tumbling-block hexagon made of three rhombus tiles, split into a mosaic
    cx, cy, R = 960, 360, 150
    def hexpt(i, r=R):
        a = math.radians(90 + 60 * i)
        return (cx + r * math.cos(a), cy - r * math.sin(a))
    centre = (cx, cy)
    tiles = [([centre, hexpt(0), hexpt(1), hexpt(2)], GOLD, GOLD_LIGHT),
             ([centre, hexpt(2), hexpt(3), hexpt(4)], WARM, WARM_LIGHT),
             ([centre, hexpt(4), hexpt(5), hexpt(0)], COOL, COOL_LIGHT)]
    whole = c.mask().poly([hexpt(i) for i in range(6)])
    c.glow(whole, MAGENTA, 50, 0.5)
    c.paint(whole.grow(10), INK)
    for pts, col, light in tiles:
        m = c.mask().poly(pts)
        c.paint(m, c.linear(pts[0], pts[2], [(0, light), (1, col)]))
    # mosaic grout: lines parallel to the rhombus edges
    grout = c.mask()
    for i in range(6):
        grout.line([centre, hexpt(i)], 7, caps=False)
    for pts, _, _ in tiles:
        a, b, cc, d = pts
        for t in (1 / 3, 2 / 3):
            grout.line([(a[0] + (b[0] - a[0]) * t, a[1] + (b[1] - a[1]) * t),
                        (d[0] + (cc[0] - d[0]) * t, d[1] + (cc[1] - d[1]) * t)], 4, caps=False)
            grout.line([(a[0] + (d[0] - a[0]) * t, a[1] + (d[1] - a[1]) * t),
                        (b[0] + (cc[0] - b[0]) * t, b[1] + (cc[1] - b[1]) * t)], 4, caps=False)
    c.paint(grout & whole, INK, 0.9)
    c.paint(whole - whole.shrink(4), WHITE, 0.6)
    # the name
    name = c.mask().text(960, 640, "TESSAROON", "bold", 120, spacing=22)
    c.glow(name, MAGENTA, 18, 0.6)
    c.paint(name.grow(4), INK)
    c.paint(name, c.linear((0, 590), (0, 690), [(0, WHITE), (0.6, (240, 230, 255)), (1, (190, 170, 240))]))
    games = c.mask().text(960, 752, "G A M E S", "condb", 54, spacing=10)
    c.paint(games, GOLD)
    rule = c.mask().rect(700, 748, 800, 752).rect(1120, 748, 1220, 752)
    c.paint(rule, GOLD, 0.8)
    c.paint(c.mask().text(960, 860, "presents", "cond", 30), (170, 160, 210))
    return c.result()


def controllers_card(w=960, h=540):
    c = Canvas(w, h, s=2)
    body = c.mask().rect(0, 0, w, h, 34)
    c.paint(body, c.linear((0, 0), (0, h), [(0, (40, 22, 84)), (1, (10, 6, 26))]))
    c.paint(c.mask().circle(240, 190, 260).blur(70) & body, WARM, 0.25, "add")
    c.paint(c.mask().circle(720, 190, 260).blur(70) & body, COOL, 0.25, "add")
    c.paint(body - body.shrink(4), (150, 120, 230), 0.9)
    gamepad(c, 270, 190, 0.95, WARM, tilt=-8)
    gamepad(c, 690, 190, 0.95, COOL, tilt=8)
    t = c.mask().text(w / 2, 360, "Best with two controllers", "condbi", 54)
    c.paint(t.grow(4), INK)
    c.paint(t, c.linear((0, 335), (0, 385), [(0, WHITE), (1, GOLD_LIGHT)]))
    c.paint(c.mask().text(w / 2, 416, "\u2014 or share one keyboard: \u2014", "cond", 32), (220, 210, 250))
    y = 476
    for x, who, keys, col in ((250, "Player 1", "CVXD", WARM), (690, "Player 2", "M,NJ", COOL)):
        lab = c.mask().text(x - 70, y, who, "condb", 34, anchor="rm")
        c.paint(lab.grow(3), INK)
        c.paint(lab, col)
        for i, key in enumerate(keys):
            keycap(c, x - 30 + i * 52, y, key, 46, col)
    return c.result()


# ---------------------------------------------------------------- credits --
CREDITS = [
    ("ENGINE PROGRAMMING", ["Ada Moreno", "Felix Brandt"]),
    ("GAMEPLAY PROGRAMMING", ["Noor Haddad", "Sam Whitaker"]),
    ("AUDIO PROGRAMMING", ["Lena Kowalski", "Tomas Ferreira"]),
    ("ART", ["Theo Marchetti", "Yuki Tanabe"]),
    ("DESIGN", ["Rosa Delgado", "Omar Reyes"]),
    ("PRODUCTION", ["Iris Novak"]),
]
TOOLS = ["GLFW", "OpenGL", "RapidJSON", "GLM", "ALSA", "libsndfile", "libsamplerate", "stb",
         "GoogleTest", "Python", "Pillow", "NumPy", "espeak-ng"]


def credits_roll(w=960, h=3000):
    c = Canvas(w, h, s=2)
    draw_logo(c, w / 2, 200, 0.55)
    c.paint(c.mask().text(w / 2, 330, "A TESSAROON GAMES PRODUCTION", "condb", 30, spacing=4), COOL_LIGHT)
    y = 470
    for role, names in CREDITS:
        title_text(c, w / 2, y, role, 46, [(0, GOLD_LIGHT), (1, GOLD)], glow=MAGENTA, outline=3)
        y += 62
        for n in names:
            t = c.mask().text(w / 2, y, n, "cond", 42)
            c.paint(t.shift(0, 2).blur(2), INK, 0.8)
            c.paint(t, WHITE)
            y += 54
        y += 70
    y += 20
    title_text(c, w / 2, y, "BUILT WITH", 46, [(0, COOL_LIGHT), (1, COOL)], glow=COOL_BLUE, outline=3)
    y += 70
    for i in range(0, len(TOOLS), 2):
        row = "   \u00b7   ".join(TOOLS[i:i + 2])
        t = c.mask().text(w / 2, y, row, "cond", 38)
        c.paint(t.shift(0, 2).blur(2), INK, 0.8)
        c.paint(t, (235, 228, 255))
        y += 52
    y += 90
    title_text(c, w / 2, y, "SPECIAL THANKS", 46, [(0, GOLD_LIGHT), (1, GOLD)], glow=MAGENTA, outline=3)
    y += 64
    for n in ("Everyone who played the early builds", "and kept the beat."):
        c.paint(c.mask().text(w / 2, y, n, "cond", 36), WHITE)
        y += 50
    y += 150
    draw_ball(c, w / 2, y, 60, 30, "rainbow")
    y += 150
    title_text(c, w / 2, y, "THANKS FOR PLAYING!", 64, [(0, WHITE), (0.5, GOLD_LIGHT), (1, GOLD)])
    assert y < h - 80, "credits overflow: %d" % y
    return c.result()


# -------------------------------------------------------------- tutorials --
def tutorial_base(title, page, accent):
    rng = np.random.RandomState(40 + page)
    c = Canvas(FW, FH, s=2)
    c.fill(c.linear((0, 0), (0, FH), [(0, (16, 8, 40)), (1, (30, 12, 60))]))
    # faint diagonal pattern
    pat = c.mask()
    for x in range(-FH, FW, 48):
        pat.line([(x, FH), (x + FH, 0)], 10, caps=False)
    c.paint(pat, WHITE, 0.025)
    stars(c, rng, 120, (0, 0, FW, FH), opacity=(0.05, 0.35))
    c.paint(c.mask().circle(0, 0, 600).blur(160), WARM, 0.16, "add")
    c.paint(c.mask().circle(FW, FH, 700).blur(180), COOL, 0.16, "add")
    # header
    c.paint(c.mask().text(80, 70, "HOW TO PLAY", "condb", 30, anchor="lm", spacing=6), COOL_LIGHT)
    title_text(c, 80, 130, title, 76, [(0, WHITE), (0.6, GOLD_LIGHT), (1, GOLD)], glow=accent,
               anchor="lm")
    # page dots, top right
    for i in range(4):
        x = FW - 230 + i * 44
        d = c.mask().circle(x, 100, 11 if i == page else 8)
        if i == page:
            c.glow(d, GOLD, 6, 0.9)
        c.paint(d.grow(2), INK)
        c.paint(d, GOLD if i == page else (90, 80, 140))
    c.paint(c.mask().text(FW - 164, 142, "%d / 4" % (page + 1), "condb", 28), (200, 190, 240))
    c.paint(c.mask().rect(80, 182, FW - 80, 186, 2), accent, 0.8)
    return c


def mini_stage(c, x0, y0, x1, y1):
    """Little side view of the stage: two musicians, a ball arc and the lanes."""
    m = card(c, x0, y0, x1, y1, VIOLET)
    floor_y = y1 - 70
    c.paint(c.mask().rect(x0 + 20, floor_y, x1 - 20, floor_y + 4) & m, VIOLET, 0.8)
    mid = (x0 + x1) / 2
    lane = (x1 - x0 - 120) / 16.0
    ticks = c.mask()
    for k in range(-8, 9):
        ticks.rect(mid + k * lane - 1.5, floor_y + 8, mid + k * lane + 1.5, floor_y + 20)
    c.paint(ticks, (150, 140, 200), 0.7)
    p1 = art_characters.draw_frame("Guitarist", "Warm", "Spotlight", 0)
    p2 = art_characters.draw_frame("Singer", "Cool", "Spotlight", 1)
    sx1, sx2 = mid - 2 * lane, mid + 4 * lane
    c.paste_centered(p1, sx1, floor_y - 124)
    c.paste_centered(p2, sx2, floor_y - 124)
    # the net
    c.paint(c.mask().rect(mid - 3, floor_y - 150, mid + 3, floor_y), (200, 190, 230))
    c.paint(c.mask().rect(mid - 10, floor_y - 150, mid + 10, floor_y - 80), WHITE, 0.25)
    c.paint(c.mask().rect(mid - 12, floor_y - 154, mid + 12, floor_y - 146, 2), WHITE)
    # the arc from player 2 toward player 1
    pts = []
    for i in range(41):
        t = i / 40
        x = sx2 + (sx1 - sx2) * t
        pts.append((x, floor_y - 170 - 190 * 4 * t * (1 - t)))
    dots = c.mask()
    for i in range(0, 41, 3):
        dots.circle(pts[i][0], pts[i][1], 4)
    c.paint(dots, WHITE, 0.7)
    bx, by = pts[30]
    ball = Canvas(90, 90)
    draw_ball(ball, 45, 45, 32, 10, BTN_A)
    c.paste_centered(ball.result(), bx, by)
    t = c.mask().text(bx, by + 2, "A", "bold", 36)
    c.paint(t.grow(4), INK)
    c.paint(t, (170, 255, 170))
    for x, lab, col in ((sx1, "PLAYER 1", WARM), (sx2, "PLAYER 2", COOL)):
        tl = c.mask().text(x, floor_y + 44, lab, "condb", 26)
        c.paint(tl.grow(2), INK)
        c.paint(tl, col)


def tutorial_overview():
    c = tutorial_base("OVERVIEW", 0, MAGENTA)
    mini_stage(c, 80, 210, 900, 810)
    x0, w = 960, 880
    cards = [
        ("RETURN EVERY BALL", GOLD,
         "Balls fly across the stage one lane per sixteenth note of the music. Hit each ball "
         "the moment it reaches your spot, with the button shown on it. A hit sends it back."),
        ("FILL YOUR HYPE BAR", COOL,
         "Every hit fills your hype bar. Every miss drains it, scores a point for the other "
         "side and costs you a life."),
        ("WIN THE SHOW", MAGENTA,
         "A full hype bar wins at once. When the match clock runs out, the fuller bar wins; "
         "equal bars are a draw."),
    ]
    y = 210
    for head, col, body in cards:
        card(c, x0, y, x0 + w, y + 190, col)
        title_text(c, x0 + 36, y + 44, head, 40, [(0, WHITE), (1, mix(col, WHITE, 0.3))], glow=None,
                   anchor="lm", outline=3)
        text_block(c, x0 + 36, y + 78, w - 72, body, "cond", 27, (230, 224, 250), 1.28)
        y += 205
    return c.result()


def tutorial_gameplay():
    c = tutorial_base("GAMEPLAY", 1, COOL)
    # gamepad column
    card(c, 80, 220, 660, 800, GOLD)
    title_text(c, 370, 262, "GAMEPAD", 40, [(0, WHITE), (1, GOLD_LIGHT)], glow=None, outline=3)
    gamepad(c, 370, 420, 1.25, WARM)
    text_block(c, 116, 560, 508,
               "Press the face button whose letter is on the ball:",
               "cond", 28, (230, 224, 250))
    for i, (ch, col, name) in enumerate((("A", BTN_A, "green"), ("B", BTN_B, "red"),
                                         ("X", BTN_X, "blue"), ("Y", BTN_Y, "yellow"))):
        x = 150 + i * 128
        c.paste_centered(face_icon(ch, col, 72), x, 672)
        c.paint(c.mask().text(x, 728, name, "cond", 24), (210, 200, 240))
    # timing column
    card(c, 700, 220, 1260, 800, MAGENTA)
    title_text(c, 980, 262, "TIMING", 40, [(0, WHITE), (1, (255, 190, 230))], glow=None, outline=3)
    cx, cy = 980, 420
    for r, a in ((118, 0.35), (84, 0.6)):
        ring = c.mask().ring(cx, cy, r, 6)
        c.glow(ring, BTN_A, 4, a)
        c.paint(ring, (140, 255, 150), a)
    inner = c.mask().ring(cx, cy, 44, 7)
    c.glow(inner, BTN_A, 5, 0.9)
    c.paint(inner, (140, 255, 150))
    lt = c.mask().text(cx, cy + 2, "A", "bold", 50)
    c.paint(lt.grow(4), INK)
    c.paint(lt, (140, 255, 150))
    arrows = c.mask()
    for a in (45, 135, 225, 315):
        ax, ay = math.cos(math.radians(a)), math.sin(math.radians(a))
        arrows.line([(cx + ax * 150, cy + ay * 150), (cx + ax * 128, cy + ay * 128)], 5)
    c.paint(arrows, WHITE, 0.8)
    text_block(c, 736, 560, 488,
               "A ring closes on your spot as a ball comes in. Press the ball's letter when the "
               "ring meets the inner circle, on the beat: an eighth of a second either way. A "
               "swing that hits nothing costs meter and locks you out a moment.",
               "cond", 27, (230, 224, 250))
    # keyboard column
    card(c, 1300, 220, 1840, 800, COOL)
    title_text(c, 1570, 262, "ONE KEYBOARD", 40, [(0, WHITE), (1, COOL_LIGHT)], glow=None, outline=3)
    rows = ((330, "PLAYER 1", WARM, "CVXD", ("Q", "W", "E")),
            (505, "PLAYER 2", COOL, "M,NJ", ("P", "O", "I")))
    for y, who, col, letters, spots in rows:
        tl = c.mask().text(1336, y - 34, who, "condb", 32, anchor="lm")
        c.paint(tl.grow(2), INK)
        c.paint(tl, col)
        c.paint(c.mask().text(1336, y + 20, "swing", "cond", 26, anchor="lm"), (210, 200, 240))
        for i, (k, face) in enumerate(zip(letters, "ABXY")):
            keycap(c, 1466 + i * 64, y + 20, k, 52, col)
            c.paint(c.mask().text(1466 + i * 64, y + 58, face, "condb", 19), (200, 190, 235))
        c.paint(c.mask().text(1336, y + 100, "spot", "cond", 26, anchor="lm"), (210, 200, 240))
        for i, k in enumerate(spots):
            keycap(c, 1466 + i * 64, y + 100, k, 52, col)
        c.paint(c.mask().text(1780, y + 100, "far \u00b7 mid \u00b7 near", "cond", 19, anchor="rm"),
                (180, 170, 220))
    keycap(c, 1370, 720, "Esc", 58, GOLD)
    text_block(c, 1420, 702, 400, "or Start on either gamepad pauses the match.", "cond", 26,
               (230, 224, 250))
    return c.result()


def meter_diagram(c, x0, y, w):
    h = 64
    segs = ((0.0, 0.3, "30"), (0.3, 0.8, "50"), (0.8, 1.0, "20"))
    cols = (WHITE, MAGENTA, GOLD)
    shell = c.mask().rect(x0 - 14, y - 14, x0 + w + 14, y + h + 14, 20)
    c.glow(shell, WARM, 12, 0.5)
    c.paint(shell.grow(3), INK)
    c.paint(shell, (20, 12, 44))
    n = 40
    for i in range(n):
        t = (i + 0.5) / n
        seg = 0 if t < 0.3 else (1 if t < 0.8 else 2)
        lit = t < 0.62
        nx = x0 + i * w / n + 3
        notch = c.mask().rect(nx, y + 6, nx + w / n - 6, y + h - 6, 4)
        if lit:
            c.glow(notch, cols[seg], 4, 0.6)
            c.paint(notch, cols[seg])
        else:
            c.paint(notch, (60, 50, 96))
    for a, b, lab in segs:
        xm = x0 + w * (a + b) / 2
        c.paint(c.mask().text(xm, y + h + 44, lab, "condb", 30), (220, 210, 250))
        br = c.mask().line([(x0 + w * a + 4, y + h + 20), (x0 + w * b - 4, y + h + 20)], 3)
        c.paint(br, (150, 140, 200))
    for t, lab in ((0.3, "spot 2"), (0.8, "spot 1")):
        x = x0 + w * t
        c.paint(c.mask().line([(x, y - 30), (x, y + h + 6)], 4), GOLD_LIGHT)
        tl = c.mask().text(x, y - 52, "move to " + lab, "condb", 26)
        c.paint(tl.grow(2), INK)
        c.paint(tl, GOLD_LIGHT)
    c.paint(c.mask().text(x0 + w + 40, y + h / 2, "WIN!", "condbi", 40, anchor="lm").grow(3), INK)
    c.paint(c.mask().text(x0 + w + 40, y + h / 2, "WIN!", "condbi", 40, anchor="lm"), GOLD)


def tutorial_hype():
    c = tutorial_base("HYPE BAR", 2, GOLD)
    card(c, 80, 210, 1840, 500, WARM)
    meter_diagram(c, 180, 300, 1380)
    text_block(c, 80, 448, 1760, "At kick-off both bars fill up and drain once as a warm-up; "
               "then the match clock starts.", "cond", 26, (200, 192, 236), anchor="ma")
    cards = [
        ("+2 PER HIT", BTN_A, "Every return adds 2, whatever its grade: PERFECT, GREAT, GOOD or OK."),
        ("\u22121 PER MISS", BTN_B, "A miss takes 1 from your bar, or 7.5 when you miss a "
                                     "platinum ball."),
        ("MOVE IN", GOLD, "The first time your bar reaches the middle part you move in to spot 2, "
                          "the first time it reaches the top part to spot 1."),
        ("TIME UP", COOL, "When the clock runs out the fuller bar wins, counting whole points. "
                          "Lives count your misses but never end the match."),
    ]
    x, w = 80, 421
    for head, col, body in cards:
        card(c, x, 525, x + w, 815, col)
        title_text(c, x + 30, 570, head, 38, [(0, WHITE), (1, mix(col, WHITE, 0.4))], glow=None,
                   anchor="lm", outline=3)
        text_block(c, x + 30, 606, w - 60, body, "cond", 26, (230, 224, 250))
        x += w + 25
    hearts = c.mask()
    for i in range(3):
        heart(hearts, 1660 + i * 38, 572, 30)
    c.paint(hearts.grow(2), INK)
    c.paint(hearts, WARM_RED)
    return c.result()


def tutorial_events():
    c = tutorial_base("SPECIAL EVENTS", 3, VIOLET)
    text_block(c, 80, 206, 1760,
               "The announcer calls a special event (twice a match, unless changed in the options). "
               "For a while special balls join the rally:", "cond", 30, (230, 224, 250))
    cards = [
        ("rainbow", "RAINBOW BALL", MAGENTA,
         "No letter: any button, or your swing key, hits it. It comes in pairs, one from each side."),
        ("platinum", "PLATINUM BALL", (210, 210, 230),
         "Silver with a black letter. Missing it costs 7.5 of your bar instead of 1."),
        ("alternating", "ALTERNATING BALL", VIOLET,
         "Purple trail. Its letter changes every time it is hit: read it again on every return."),
    ]
    x = 80
    for kind, head, col, body in cards:
        card(c, x, 300, x + 570, 730, col)
        icon = ball_icon(kind, 250)
        c.paste_centered(icon, x + 285, 418)
        title_text(c, x + 285, 556, head, 42, [(0, WHITE), (1, mix(col, WHITE, 0.4))], glow=None,
                   outline=3)
        text_block(c, x + 40, 596, 490, body, "cond", 27, (230, 224, 250), anchor="ma")
        x += 595
    text_block(c, 80, 760, 1760,
               "OPTIONS: switch events and each special ball on or off, choose which buttons "
               "appear, and set the ball rate, events per match, event length and how often "
               "event balls spawn.", "cond", 26, (200, 192, 236), 1.28)
    return c.result()


# ---------------------------------------------------------------- victory --
def victory(kind):
    rng = np.random.RandomState({"P1": 1, "P2": 2, "Draw": 3}[kind])
    c = Canvas(FW, FH, s=2)
    c.fill((8, 4, 20, 150))
    if kind == "Draw":
        col, col2 = GOLD, GOLD_LIGHT
        c.paint(c.mask().rect(0, 0, FW / 2, FH).blur(200), WARM, 0.25, "add")
        c.paint(c.mask().rect(FW / 2, 0, FW, FH).blur(200), COOL, 0.25, "add")
    else:
        sd = SIDE[1 if kind == "P1" else 2]
        col, col2 = sd["main"], sd["light"]
    sunburst(c, 960, 420, 24, col, 0.35, r=1400)
    c.paint(c.mask().circle(960, 420, 420).blur(140), col, 0.35, "add")
    confetti(c, rng, 180, (0, 0, FW, FH), [WARM, COOL, GOLD, MAGENTA, BTN_A, WHITE])
    # figures
    if kind == "Draw":
        a = art_characters.draw_frame("Guitarist", "Warm", "Spotlight", 2, k=2)
        b = art_characters.draw_frame("Singer", "Cool", "Spotlight", 2, k=2)
        c.paste_centered(a, 560, 470)
        c.paste_centered(b, 1360, 470)
    else:
        name = "Drummer" if kind == "P1" else "Guitarist"
        side = "Warm" if kind == "P1" else "Cool"
        f = art_characters.draw_frame(name, side, "Spotlight", 2, k=2)
        c.paste_centered(f, 960, 400)
    # banner
    banner = c.mask().poly([(300, 650), (1620, 650), (1580, 830), (340, 830)])
    c.glow(banner, col, 24, 0.7)
    c.paint(banner.grow(5), INK)
    c.paint(banner, c.linear((0, 650), (0, 830), [(0, (60, 36, 110)), (1, (20, 12, 44))]))
    c.paint(banner - banner.shrink(5), col2)
    words = {"P1": "PLAYER 1 WINS!", "P2": "PLAYER 2 WINS!", "Draw": "DRAW!"}[kind]
    title_text(c, 960, 740, words, 128, [(0, WHITE), (0.45, GOLD_LIGHT), (1, GOLD)], glow=col)
    if kind != "Draw":
        crown = c.mask().poly([(900, 170), (915, 110), (940, 145), (960, 95), (980, 145), (1005, 110),
                               (1020, 170)])
        c.glow(crown, GOLD, 10, 0.9)
        c.paint(crown.grow(4), INK)
        c.paint(crown, c.linear((0, 95), (0, 170), [(0, GOLD_LIGHT), (1, GOLD_DEEP)]))
    return c.result()


def build(reg):
    print("Screens")
    reg.save(studio_splash(), "Screens/Splash/FMOD1.png",
             "Studio card: the Tessaroon Games mosaic-hexagon logo (gold, orange and cyan tiles), "
             "the name TESSAROON / GAMES and \"presents\", on a dark violet glow.",
             "FMOD1.png (first splash picture)", use="full screen 1066x533")
    reg.save(controllers_card(), "Screens/Splash/ControllersRequired.png",
             "16:9 card: two gamepads (warm and cool) over \"Best with two controllers\", "
             "\"\u2014 or share one keyboard: \u2014\" and \"Player 1 [C]  Player 2 [M]\" key caps.",
             "ControllersRequired.png (second splash picture)", use="shown at 480x270")
    reg.save(logo_image(), "Screens/Menu/VolleyrunLogo.png",
             "Title logo: VOLLEYRUN in gold-to-magenta italic capitals, a volleyball as the O, "
             "warm and cool speed streaks, tag line HIT IT ON THE BEAT.", "main menu title",
             use="scale about 667x200")
    reg.save(menu_background(), "Screens/Menu/MainMenuBackground.png",
             "Menu backdrop: synthwave sunset over a neon sea, magenta floor grid, palm "
             "silhouettes rimmed warm (left) and cool (right). The centre top is kept calm for "
             "the logo.", "MainMenu / options background", use="full screen 1066x533")
    reg.save(stage_background(), "Screens/Stage/StageBackground.png",
             "Match backdrop: night beach stage under a lighting truss, moon, city and sea on the "
             "horizon (y 604), violet floor grid, warm beams and speakers left, cool right, a "
             "glowing net post at the centre (x 960, top band at y 462-474, mesh to y 640, post "
             "to the stage edge), neon stage edge at y 902-908 with glow sticks below. Feet of "
             "the musicians belong on about y 880 (world y -222 at full-screen scale).",
             "game background", use="full screen 1066x533")
    reg.save(credits_background(), "Screens/Credits/CreditsBackground.png",
             "Credits backdrop: deep night sky with aurora ribbons, stars and two palms.",
             "CreditsUpdated background", use="full screen 1066x533")
    reg.save(credits_roll(), "Screens/Credits/Credits.png",
             "Scrolling credits on a transparent background, top to bottom: logo, \"A TESSAROON "
             "GAMES PRODUCTION\", Engine, Gameplay and Audio programming, Art, Design, "
             "Production (invented names), BUILT WITH (GLFW, OpenGL, RapidJSON, GLM, ALSA, "
             "libsndfile, libsamplerate, stb, GoogleTest, Python, Pillow, NumPy, espeak-ng), "
             "special thanks, a rainbow ball and THANKS FOR PLAYING!",
             "Credits entity", use="scale about 533x1667, start below the screen")
    pages = [("Overview", tutorial_overview,
              "page 1: stage diagram (players, lanes, net, a ball arc) and three cards: return every "
              "ball with the button on it, fill your hype bar (hit fills, miss drains and costs a "
              "life), win (full bar at once, else fuller bar at time-up, equal is a draw)."),
             ("Gameplay", tutorial_gameplay,
              "page 2: gamepad face buttons A green, B red, X blue, Y yellow; the closing timing "
              "ring and the 1/8 s window; one keyboard: Player 1 swing C, spots Q W E, Player 2 "
              "swing M, spots P O I (far, middle, near the net); Esc pauses."),
             ("Hype Bar", tutorial_hype,
              "page 3: the bar in three parts (30, 50, 20) with the move-in points; +2 per hit, "
              "-1 per miss (-7.5 for platinum), moving in to spot 2 and 1; lives never end the "
              "match; time-up rule; the warm-up fill at kick-off."),
             ("Events", tutorial_events,
              "page 4: special events called by the announcer; rainbow (no letter, any button, "
              "in pairs), platinum (-7.5 on a miss), alternating (letter changes on every hit); "
              "what the options change.")]
    for name, fn, what in pages:
        reg.save(fn(), "Screens/Tutorial/Volleyrun %s Tutorial.png" % name,
                 "Tutorial " + what + " Everything stays above y 830, leaving the bottom band "
                 "free for the arrow buttons (placed at world y -230).", "Tutorial pages", use="full screen 1066x533")
    for kind in ("P1", "P2", "Draw"):
        reg.save(victory(kind), "Screens/Victory/victoryScreen_%s.png" % kind,
                 "End-of-match picture over a translucent dark veil: rays, confetti, %s and the "
                 "banner \"%s\"." % ({"P1": "the warm drummer celebrating in a spotlight with a crown",
                                      "P2": "the cool guitarist celebrating with a crown",
                                      "Draw": "both sides' musicians"}[kind],
                                     {"P1": "PLAYER 1 WINS!", "P2": "PLAYER 2 WINS!", "Draw": "DRAW!"}[kind]),
                 "WinArt (%s)" % {"P1": "the space file's own image for a player-1 win",
                                  "P2": "victoryScreen_P2.png", "Draw": "victoryScreen_Draw.png"}[kind],
                 use="full screen 1066x533")
