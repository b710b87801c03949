"""Drawing kit for Volleyrun's image generators.

Everything is drawn on a supersampled, premultiplied float canvas (NumPy) and
box-filtered down to the final size, which gives clean anti-aliased edges with
Pillow's aliased primitives. Shapes are drawn as masks (Pillow "L" images at
the supersampled size, coordinates given in final pixels) and then painted with
a flat colour or a gradient, either "over" or additively (neon glows).

Output is always 8-bit RGBA, non-interlaced PNG: the game's image decoder
rejects 16-bit, palette and interlaced files.
"""

import json
import math
import os

import numpy as np
from PIL import Image, ImageChops, ImageDraw, ImageFilter, ImageFont

FONT_DIR = "/usr/share/fonts/truetype/dejavu"
FONTS = {
    "sans": "DejaVuSans.ttf",
    "bold": "DejaVuSans-Bold.ttf",
    "boldi": "DejaVuSans-BoldOblique.ttf",
    "cond": "DejaVuSansCondensed.ttf",
    "condb": "DejaVuSansCondensed-Bold.ttf",
    "condbi": "DejaVuSansCondensed-BoldOblique.ttf",
    "mono": "DejaVuSansMono-Bold.ttf",
    "serifb": "DejaVuSerif-Bold.ttf",
}

# ---------------------------------------------------------------- palette --
# One palette for the whole game: a dark violet night, the left player warm,
# the right player cool, gold for highlights, and the four face buttons.
INK = (14, 8, 32)            # outlines and darkest shadows
NIGHT0 = (8, 6, 26)          # top of the night sky
NIGHT1 = (30, 14, 66)        # violet mid sky
NIGHT2 = (78, 22, 96)        # magenta haze at the horizon
PANEL = (24, 16, 52)         # UI panel body
PANEL_HI = (52, 38, 104)     # UI panel highlight
MAGENTA = (255, 46, 136)
VIOLET = (150, 80, 255)
WARM = (255, 122, 28)        # player 1 (left)
WARM_RED = (255, 58, 58)
WARM_LIGHT = (255, 200, 120)
COOL = (32, 214, 255)        # player 2 (right)
COOL_BLUE = (48, 104, 255)
COOL_LIGHT = (170, 240, 255)
GOLD = (255, 206, 56)
GOLD_LIGHT = (255, 240, 170)
GOLD_DEEP = (214, 140, 0)
WHITE = (255, 255, 255)
BTN_A = (60, 214, 76)
BTN_B = (255, 64, 64)
BTN_X = (50, 126, 255)
BTN_Y = (255, 208, 0)
FACE = {"A": BTN_A, "B": BTN_B, "X": BTN_X, "Y": BTN_Y}


def rgb(c):
    return np.array(c[:3], dtype=np.float32) / 255.0


def mix(a, b, t):
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(3))


def font(name, px):
    return ImageFont.truetype(os.path.join(FONT_DIR, FONTS[name]), max(1, int(round(px))))


# ------------------------------------------------------------------- masks --
class Mask:
    """A coverage mask at the canvas' supersampled size; coordinates in final px."""

    def __init__(self, w, h, s, im=None):
        self.w, self.h, self.s = w, h, s
        self.im = im if im is not None else Image.new("L", (w * s, h * s), 0)
        self.d = ImageDraw.Draw(self.im)

    def _p(self, v):
        return v * self.s

    def copy(self):
        return Mask(self.w, self.h, self.s, self.im.copy())

    # shapes -------------------------------------------------------------
    def ellipse(self, cx, cy, rx, ry, fill=255):
        s = self.s
        self.d.ellipse([(cx - rx) * s, (cy - ry) * s, (cx + rx) * s - 1, (cy + ry) * s - 1], fill=fill)
        return self

    def circle(self, cx, cy, r, fill=255):
        return self.ellipse(cx, cy, r, r, fill)

    def ring(self, cx, cy, r, width, fill=255):
        s = self.s
        self.d.ellipse([(cx - r) * s, (cy - r) * s, (cx + r) * s - 1, (cy + r) * s - 1],
                       outline=fill, width=max(1, int(round(width * s))))
        return self

    def rect(self, x0, y0, x1, y1, r=0, fill=255):
        s = self.s
        box = [x0 * s, y0 * s, x1 * s - 1, y1 * s - 1]
        if r > 0:
            self.d.rounded_rectangle(box, radius=r * s, fill=fill)
        else:
            self.d.rectangle(box, fill=fill)
        return self

    def rect_outline(self, x0, y0, x1, y1, r, width, fill=255):
        s = self.s
        self.d.rounded_rectangle([x0 * s, y0 * s, x1 * s - 1, y1 * s - 1], radius=r * s,
                                 outline=fill, width=max(1, int(round(width * s))))
        return self

    def poly(self, pts, fill=255):
        s = self.s
        self.d.polygon([(x * s, y * s) for x, y in pts], fill=fill)
        return self

    def line(self, pts, width, fill=255, caps=True):
        s = self.s
        sp = [(x * s, y * s) for x, y in pts]
        self.d.line(sp, fill=fill, width=max(1, int(round(width * s))), joint="curve")
        if caps:
            r = width / 2.0
            for x, y in (pts[0], pts[-1]):
                self.circle(x, y, r, fill)
        return self

    def capsule(self, a, b, width, fill=255):
        return self.line([a, b], width, fill)

    def arc(self, cx, cy, r, a0, a1, width, fill=255, caps=False, steps=None):
        """Arc from angle a0 to a1 (degrees, 0 = +x, counter-clockwise on screen is negative y)."""
        n = steps or max(8, int(abs(a1 - a0) / 3))
        pts = [(cx + r * math.cos(math.radians(a0 + (a1 - a0) * i / n)),
                cy - r * math.sin(math.radians(a0 + (a1 - a0) * i / n))) for i in range(n + 1)]
        return self.line(pts, width, fill, caps)

    def star(self, cx, cy, r_out, r_in, points=5, rot=-90, fill=255):
        pts = []
        for i in range(points * 2):
            r = r_out if i % 2 == 0 else r_in
            a = math.radians(rot + i * 180.0 / points)
            pts.append((cx + r * math.cos(a), cy + r * math.sin(a)))
        return self.poly(pts, fill)

    def text(self, x, y, s, face, size, anchor="mm", stroke=0, fill=255, spacing=0):
        f = font(face, size * self.s)
        if spacing:
            # manual letter spacing (Pillow has none): lay out glyph by glyph
            widths = [f.getlength(ch) for ch in s]
            total = sum(widths) + spacing * self.s * (len(s) - 1)
            if anchor[0] == "m":
                cx = x * self.s - total / 2
            elif anchor[0] == "r":
                cx = x * self.s - total
            else:
                cx = x * self.s
            for ch, wdt in zip(s, widths):
                self.d.text((cx, y * self.s), ch, font=f, anchor="l" + anchor[1], fill=fill,
                            stroke_width=int(round(stroke * self.s)), stroke_fill=fill)
                cx += wdt + spacing * self.s
            return self
        self.d.text((x * self.s, y * self.s), s, font=f, anchor=anchor, fill=fill,
                    stroke_width=int(round(stroke * self.s)), stroke_fill=fill)
        return self

    def multiline(self, x, y, s, face, size, anchor="la", fill=255, line_gap=1.25, align="left"):
        f = font(face, size * self.s)
        self.d.multiline_text((x * self.s, y * self.s), s, font=f, anchor=anchor, fill=fill,
                              spacing=int(size * self.s * (line_gap - 1.0)), align=align)
        return self

    # operations ---------------------------------------------------------
    def blur(self, r):
        """Gaussian blur with radius r final pixels; large radii blur a reduced copy."""
        rs = r * self.s
        if rs <= 0:
            return self.copy()
        k = 1
        while rs / k > 24 and k < 16:
            k *= 2
        if k > 1:
            small = self.im.resize((max(1, self.im.width // k), max(1, self.im.height // k)),
                                   Image.Resampling.BOX)
            small = small.filter(ImageFilter.GaussianBlur(rs / k))
            im = small.resize(self.im.size, Image.Resampling.BILINEAR)
        else:
            im = self.im.filter(ImageFilter.GaussianBlur(rs))
        return Mask(self.w, self.h, self.s, im)

    def grow(self, r):
        """Dilate by r final pixels (outline / stroke helper); octagonal structuring element."""
        rs = int(round(r * self.s))
        bb = self.im.getbbox()
        if rs <= 0 or bb is None:
            return self.copy()
        W, H = self.im.size
        box = (max(0, bb[0] - rs), max(0, bb[1] - rs), min(W, bb[2] + rs), min(H, bb[3] + rs))
        a = _morph(np.asarray(self.im.crop(box)), rs, np.maximum)
        out = Image.new("L", self.im.size, 0)
        out.paste(Image.fromarray(a, "L"), box[:2])
        return Mask(self.w, self.h, self.s, out)

    def shrink(self, r):
        rs = int(round(r * self.s))
        bb = self.im.getbbox()
        if rs <= 0 or bb is None:
            return self.copy()
        a = _morph(np.asarray(self.im.crop(bb)), rs, np.minimum)
        out = Image.new("L", self.im.size, 0)
        out.paste(Image.fromarray(a, "L"), bb[:2])
        return Mask(self.w, self.h, self.s, out)

    def shift(self, dx, dy):
        im = ImageChops.offset(self.im, int(round(dx * self.s)), int(round(dy * self.s)))
        # offset wraps; clear the wrapped strips
        out = Image.new("L", self.im.size, 0)
        sx, sy = int(round(dx * self.s)), int(round(dy * self.s))
        W, H = self.im.size
        box = (max(0, sx), max(0, sy), min(W, W + sx), min(H, H + sy))
        out.paste(im.crop(box), box)
        return Mask(self.w, self.h, self.s, out)

    def __or__(self, o):
        return Mask(self.w, self.h, self.s, ImageChops.lighter(self.im, o.im))

    def __and__(self, o):
        return Mask(self.w, self.h, self.s, ImageChops.multiply(self.im, o.im))

    def __sub__(self, o):
        return Mask(self.w, self.h, self.s, ImageChops.subtract(self.im, o.im))

    def scaled(self, k):
        return Mask(self.w, self.h, self.s, self.im.point(lambda v: int(v * k)))

    def array(self):
        return np.asarray(self.im, dtype=np.float32) / 255.0


def _morph(a, steps, op):
    """steps rounds of 3x3 max/min, alternating square and cross (an octagon ~ a disc)."""
    for i in range(steps):
        p = np.pad(a, 1)
        if i % 2:
            a = op.reduce([p[1:-1, 1:-1], p[:-2, 1:-1], p[2:, 1:-1], p[1:-1, :-2], p[1:-1, 2:]])
        else:
            t = op(op(p[:, :-2], p[:, 1:-1]), p[:, 2:])
            a = op(op(t[:-2], t[1:-1]), t[2:])
    return np.ascontiguousarray(a)


# ------------------------------------------------------------------ canvas --
class Canvas:
    """Premultiplied RGBA float canvas, supersampled by s."""

    def __init__(self, w, h, s=4):
        self.w, self.h, self.s = w, h, s
        self.W, self.H = w * s, h * s
        self.px = np.zeros((self.H, self.W, 4), dtype=np.float32)
        self._yy = None

    def mask(self):
        return Mask(self.w, self.h, self.s)

    # coordinates of every supersampled pixel, in final pixels
    def grid(self):
        if self._yy is None:
            ys = (np.arange(self.H, dtype=np.float32) + 0.5) / self.s
            xs = (np.arange(self.W, dtype=np.float32) + 0.5) / self.s
            self._xx, self._yy = np.meshgrid(xs, ys)
        return self._xx, self._yy

    def _colour(self, colour, sl):
        if isinstance(colour, np.ndarray):
            c = colour[sl] if colour.ndim == 3 else colour
            return c[..., :3], (c[..., 3] if c.shape[-1] == 4 else None)
        c = np.array(colour, dtype=np.float32) / 255.0
        return c[:3], (c[3] if len(c) == 4 else None)

    def paint(self, mask, colour, opacity=1.0, blend="over"):
        """Paint colour (tuple 0-255 or HxWx3/4 array 0-1) through mask."""
        m = mask.im
        bb = m.getbbox()
        if bb is None:
            return self
        x0, y0, x1, y1 = bb
        sl = (slice(y0, y1), slice(x0, x1))
        a = np.asarray(m.crop(bb), dtype=np.float32) / 255.0 * opacity
        c, ca = self._colour(colour, sl)
        if ca is not None:
            a = a * ca
        dst = self.px[sl]
        a3 = a[..., None]
        if blend == "over":
            dst[..., :3] = c * a3 + dst[..., :3] * (1 - a3)
            dst[..., 3] = a + dst[..., 3] * (1 - a)
        elif blend == "add":
            dst[..., :3] = np.minimum(dst[..., :3] + c * a3, 1.0)
            dst[..., 3] = np.minimum(dst[..., 3] + a, 1.0)
        elif blend == "atop":   # paint only where something already is (keeps alpha)
            da = dst[..., 3:4]
            dst[..., :3] = c * a3 * da + dst[..., :3] * (1 - a3)
        elif blend == "multiply":  # darken existing pixels, alpha unchanged
            dst[..., :3] = dst[..., :3] * (1 - a3 + a3 * c)
        elif blend == "erase":
            dst *= (1 - a3)
        else:
            raise ValueError(blend)
        return self

    def fill(self, colour, opacity=1.0, blend="over"):
        m = self.mask()
        m.im.paste(255, (0, 0, self.W, self.H))
        return self.paint(m, colour, opacity, blend)

    def glow(self, mask, colour, radius, opacity=1.0, blend="add"):
        return self.paint(mask.blur(radius), colour, opacity, blend)

    def shadow(self, mask, dx=0, dy=4, radius=6, opacity=0.6, colour=INK):
        return self.paint(mask.shift(dx, dy).blur(radius), colour, opacity)

    def outlined(self, mask, colour, outline=INK, width=3, opacity=1.0):
        """Fill a shape with a dark outline around it (the outline sits outside)."""
        if width > 0:
            self.paint(mask.grow(width), outline, opacity)
        return self.paint(mask, colour, opacity)

    def alpha_mask(self):
        """The current coverage as a mask (for glows around what is drawn)."""
        a = (np.clip(self.px[..., 3], 0, 1) * 255 + 0.5).astype(np.uint8)
        return Mask(self.w, self.h, self.s, Image.fromarray(a, "L"))

    def paste(self, img, x, y, opacity=1.0, blend="over"):
        """Composite a finished RGBA image (final-pixel size) with its top-left at x, y."""
        s = self.s
        big = img.resize((img.width * s, img.height * s), Image.Resampling.NEAREST)
        arr = np.asarray(big, dtype=np.float32) / 255.0
        X, Y = int(round(x * s)), int(round(y * s))
        xa, ya = max(0, X), max(0, Y)
        xb, yb = min(self.W, X + big.width), min(self.H, Y + big.height)
        if xa >= xb or ya >= yb:
            return self
        src = arr[ya - Y:yb - Y, xa - X:xb - X]
        a = src[..., 3:4] * opacity
        dst = self.px[ya:yb, xa:xb]
        if blend == "add":
            dst[..., :3] = np.minimum(dst[..., :3] + src[..., :3] * a, 1)
            dst[..., 3:4] = np.minimum(dst[..., 3:4] + a, 1)
        else:
            dst[..., :3] = src[..., :3] * a + dst[..., :3] * (1 - a)
            dst[..., 3:4] = a + dst[..., 3:4] * (1 - a)
        return self

    def paste_centered(self, img, cx, cy, opacity=1.0, blend="over"):
        return self.paste(img, cx - img.width / 2.0, cy - img.height / 2.0, opacity, blend)

    # gradients ----------------------------------------------------------
    def linear(self, p0, p1, stops):
        """HxWx3 array: colour along p0 -> p1. stops: [(t, (r,g,b)), ...]."""
        xx, yy = self.grid()
        dx, dy = p1[0] - p0[0], p1[1] - p0[1]
        L2 = dx * dx + dy * dy or 1.0
        t = ((xx - p0[0]) * dx + (yy - p0[1]) * dy) / L2
        return ramp(np.clip(t, 0, 1), stops)

    def radial(self, c, r, stops, ry=None):
        xx, yy = self.grid()
        ry = ry or r
        t = np.sqrt(((xx - c[0]) / r) ** 2 + ((yy - c[1]) / ry) ** 2)
        return ramp(np.clip(t, 0, 1), stops)

    def angular(self, c, stops, offset=0.0):
        xx, yy = self.grid()
        t = (np.arctan2(yy - c[1], xx - c[0]) / (2 * math.pi) + 0.5 + offset) % 1.0
        return ramp(t, stops)

    def ramp_mask(self, p0, p1, v0=0.0, v1=1.0):
        """A mask whose value runs linearly from v0 at p0 to v1 at p1 (for fading shapes)."""
        xx, yy = self.grid()
        dx, dy = p1[0] - p0[0], p1[1] - p0[1]
        t = np.clip(((xx - p0[0]) * dx + (yy - p0[1]) * dy) / (dx * dx + dy * dy or 1.0), 0, 1)
        a = ((v0 + (v1 - v0) * t) * 255 + 0.5).astype(np.uint8)
        return Mask(self.w, self.h, self.s, Image.fromarray(a, "L"))

    def result(self, k=1):
        """The finished image, k times the canvas size (k must divide the supersampling)."""
        assert self.s % k == 0
        s = self.s // k
        p = self.px.reshape(self.h * k, s, self.w * k, s, 4).mean(axis=(1, 3))
        a = np.clip(p[..., 3], 0, 1)
        rgbv = np.where(a[..., None] > 1e-6, p[..., :3] / np.maximum(a[..., None], 1e-6), 0)
        out = np.dstack([np.clip(rgbv, 0, 1), a])
        return Image.fromarray((out * 255 + 0.5).astype(np.uint8), "RGBA")


def ramp(t, stops):
    """Piecewise-linear colour ramp; t any shape -> t.shape + (3,)."""
    ts = np.array([s[0] for s in stops], dtype=np.float32)
    cs = np.array([s[1][:3] for s in stops], dtype=np.float32) / 255.0
    out = np.empty(t.shape + (3,), dtype=np.float32)
    for ch in range(3):
        out[..., ch] = np.interp(t, ts, cs[:, ch])
    return out


def hsv_rainbow(t):
    """t in 0..1 -> saturated rainbow (HxW -> HxWx3)."""
    h = (t % 1.0) * 6.0
    i = np.floor(h).astype(int) % 6
    f = h - np.floor(h)
    one = np.ones_like(f)
    zero = np.zeros_like(f)
    r = np.choose(i, [one, 1 - f, zero, zero, f, one])
    g = np.choose(i, [f, one, one, 1 - f, zero, zero])
    b = np.choose(i, [zero, zero, f, one, one, 1 - f])
    return np.dstack([r, g, b]).astype(np.float32)


# ------------------------------------------------------------------ output --
class Registry:
    """Collects what was written, for the inventory in tools/ART.md."""

    def __init__(self, root):
        self.root = root
        self.items = []

    def save(self, img, rel, what, names="", grid=None, use=""):
        """Write img (RGBA) to root/rel. grid = (cols, rows, frames) writes the .txt beside it."""
        assert img.mode == "RGBA", rel
        path = os.path.join(self.root, rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        img.save(path, "PNG", optimize=True)
        entry = {"path": rel, "size": img.size, "what": what, "names": names, "grid": grid, "use": use}
        if grid:
            cols, rows, frames = grid
            assert img.width % cols == 0 and img.height % rows == 0, rel
            with open(os.path.splitext(path)[0] + ".txt", "w") as f:
                f.write(json.dumps({"data": [cols, rows, frames]}) + "\n")
        self.items.append(entry)
        print("  %-55s %4dx%-4d%s" % (rel, img.width, img.height,
                                         "  grid %dx%d (%d frames)" % grid if grid else ""))
        return path


def sheet(frames, cols):
    """Pack equal-size frames into a grid image, reading order."""
    fw, fh = frames[0].size
    rows = (len(frames) + cols - 1) // cols
    out = Image.new("RGBA", (fw * cols, fh * rows), (0, 0, 0, 0))
    for i, fr in enumerate(frames):
        out.paste(fr, ((i % cols) * fw, (i // cols) * fh))
    return out


def solid(w, h, colour):
    return Image.new("RGBA", (w, h), tuple(colour[:3]) + ((colour[3],) if len(colour) > 3 else (255,)))


def stars(c, rng, count, area, size=(0.4, 1.6), colours=((255, 255, 255),), opacity=(0.3, 1.0),
          twinkle=0.12):
    """Scatter small soft stars inside area (x0, y0, x1, y1)."""
    x0, y0, x1, y1 = area
    m = c.mask()
    bright = c.mask()
    for _ in range(count):
        x, y = rng.uniform(x0, x1), rng.uniform(y0, y1)
        r = rng.uniform(*size)
        v = int(255 * rng.uniform(*opacity))
        m.circle(x, y, r, fill=v)
        if rng.random() < twinkle:
            L = r * rng.uniform(4, 7)
            bright.line([(x - L, y), (x + L, y)], max(0.5, r * 0.35), fill=v, caps=False)
            bright.line([(x, y - L), (x, y + L)], max(0.5, r * 0.35), fill=v, caps=False)
    col = colours[0]
    c.paint(m, col, blend="add")
    c.paint(bright.blur(0.6), col, 0.8, blend="add")
    c.glow(m, col, 2.5, 0.6)
