"""Interface images: menu buttons (with hover looks), toggles, the full-screen
switch, slider, cursor, arrows, panels, count-down disc, icons and the map
editor's plain pieces."""

import math

from art_game import draw_ball
from artlib import (BTN_A, BTN_B, BTN_X, BTN_Y, COOL, GOLD, GOLD_DEEP, GOLD_LIGHT, INK, MAGENTA,
                    PANEL, PANEL_HI, VIOLET, WARM, WHITE, Canvas, mix, solid)

BUTTON_W, BUTTON_H = 440, 110

LABELS = [
    # file stem, label, accent
    ("Play", "PLAY", GOLD),
    ("Tutorial", "HOW TO PLAY", COOL),
    ("Options", "OPTIONS", COOL),
    ("Credits", "CREDITS", COOL),
    ("Quit", "QUIT", MAGENTA),
    ("Back", "BACK", COOL),
    ("Resume", "RESUME", GOLD),
    ("MainMenu", "MAIN MENU", COOL),
    ("PlayAgain", "PLAY AGAIN", GOLD),
    ("Yes", "YES", GOLD),
    ("No", "NO", COOL),
    ("Controls", "CONTROLS", COOL),
    ("Defaults", "DEFAULTS", MAGENTA),
]


def slanted(c, x0, y0, x1, y1, slant, r):
    m = c.mask()
    pts = [(x0 + slant, y0), (x1, y0), (x1 - slant, y1), (x0, y1)]
    m.poly(pts)
    m.line(pts + [pts[0]], r * 2)
    return m


def menu_button(label, accent, hover, w=BUTTON_W, h=BUTTON_H):
    c = Canvas(w, h)
    body = slanted(c, 22, 20, w - 22, h - 20, 26, 5)
    if hover:
        c.glow(body, accent, 14, 0.9)
        c.paint(body.grow(3), INK)
        c.paint(body, c.linear((0, 20), (0, h - 20), [(0, mix(accent, WHITE, 0.55)), (0.5, accent),
                                                       (1, mix(accent, INK, 0.35))]))
        sheen = body & c.mask().rect(0, 20, w, h / 2 - 2)
        c.paint(sheen, WHITE, 0.22)
    else:
        c.glow(body, accent, 8, 0.35)
        c.paint(body.grow(3), INK)
        c.paint(body, c.linear((0, 20), (0, h - 20), [(0, PANEL_HI), (1, (16, 10, 36))]))
        edge = body - body.shrink(3)
        c.paint(edge, mix(accent, WHITE, 0.25))
    # chevrons on the left, pointing in
    chev = c.mask()
    for k in range(2):
        x = 44 + k * 16
        chev.line([(x, h / 2 - 12), (x + 10, h / 2), (x, h / 2 + 12)], 4.5)
    c.paint(chev, INK if hover else accent, 0.9)
    if label:
        t = c.mask().text(w / 2 + 8, h / 2 + 2, label, "condbi", 46 if len(label) < 10 else 40)
        if hover:
            c.paint(t.grow(3), INK)
            c.paint(t, WHITE)
        else:
            c.paint(t.grow(2.5), INK)
            c.paint(t, c.linear((0, h / 2 - 22), (0, h / 2 + 22), [(0, WHITE), (1, mix(accent, WHITE, 0.5))]))
    return c.result()


def toggle(on, size=88):
    """Options check box: Button00.png when off, PauseJack.png when on."""
    c = Canvas(size, size)
    box = c.mask().rect(10, 10, size - 10, size - 10, 16)
    if on:
        c.glow(box, GOLD, 8, 0.8)
        c.paint(box.grow(3), INK)
        c.paint(box, c.linear((0, 10), (0, size - 10), [(0, GOLD_LIGHT), (0.5, GOLD), (1, GOLD_DEEP)]))
        tick = c.mask().line([(size * 0.28, size * 0.52), (size * 0.44, size * 0.68),
                              (size * 0.74, size * 0.32)], 10)
        c.paint(tick.grow(2), INK, 0.9)
        c.paint(tick, WHITE)
    else:
        c.paint(box.grow(3), INK)
        c.paint(box, c.linear((0, 10), (0, size - 10), [(0, (40, 30, 80)), (1, (16, 10, 36))]))
        c.paint(box - box.shrink(3), (130, 116, 190))
        c.paint(c.mask().rect(24, 24, size - 24, size - 24, 8), (8, 4, 20), 0.6)
    return c.result()


def fullscreen_button(on, w=420, h=96):
    c = Canvas(w, h)
    body = c.mask().rect(8, 12, w - 8, h - 12, 30)
    c.paint(body.grow(3), INK)
    c.paint(body, c.linear((0, 12), (0, h - 12), [(0, PANEL_HI), (1, (16, 10, 36))]))
    c.paint(body - body.shrink(2.5), (130, 116, 190))
    # screen icon
    ic = c.mask().rect(28, 30, 78, 62, 4)
    c.paint(ic.grow(2), INK)
    c.paint(ic - ic.shrink(4), WHITE)
    corners = c.mask()
    for (x, y, dx, dy) in ((34, 36, 1, 1), (72, 36, -1, 1), (34, 56, 1, -1), (72, 56, -1, -1)):
        if on:
            corners.line([(x, y + 7 * dy), (x, y), (x + 7 * dx, y)], 3)
        else:
            corners.line([(x + 7 * dx, y + 7 * dy), (x + 1 * dx, y + 1 * dy)], 3)
    c.paint(corners, GOLD if on else (180, 170, 220))
    c.paint(c.mask().rect(46, 64, 60, 70, 2), WHITE)
    label = c.mask().text(96, h / 2, "FULL SCREEN", "condb", 30, anchor="lm")
    # (the label ends near x 270; the switch starts at w - 104)
    c.paint(label, WHITE)
    # switch
    sw = c.mask().rect(w - 104, 30, w - 26, h - 30, 18)
    col = GOLD if on else (70, 60, 110)
    if on:
        c.glow(sw, GOLD, 6, 0.7)
    c.paint(sw.grow(2), INK)
    c.paint(sw, col)
    kx = w - 45 if on else w - 85
    knob = c.mask().circle(kx, h / 2, 15)
    c.paint(knob.grow(2), INK)
    c.paint(knob, c.radial((kx - 4, h / 2 - 5), 22, [(0, WHITE), (1, (190, 190, 210))]))
    c.paint(c.mask().text(w - 65 + (-18 if on else 18), h / 2 + 1, "ON" if on else "OFF", "condb", 15),
            INK if on else (200, 190, 240))
    return c.result()


def arrow(direction, hover, size=120):
    c = Canvas(size, size)
    s = size / 120.0
    disc = c.mask().circle(60 * s, 60 * s, 46 * s)
    accent = GOLD if hover else COOL
    c.glow(disc, accent, 10 * s, 0.9 if hover else 0.45)
    c.paint(disc.grow(3), INK)
    if hover:
        c.paint(disc, c.linear((0, 14), (0, 106), [(0, GOLD_LIGHT), (1, GOLD_DEEP)]))
    else:
        c.paint(disc, c.linear((0, 14), (0, 106), [(0, PANEL_HI), (1, (16, 10, 36))]))
        c.paint(disc - disc.shrink(3), mix(COOL, WHITE, 0.3))
    d = 1 if direction == "next" else -1
    tri = c.mask().poly([(60 * s - 14 * s * d, 34 * s), (60 * s + 22 * s * d, 60 * s),
                         (60 * s - 14 * s * d, 86 * s)])
    tri = tri | c.mask().line([(60 * s - 14 * s * d, 34 * s), (60 * s + 22 * s * d, 60 * s),
                               (60 * s - 14 * s * d, 86 * s)], 8 * s)
    c.paint(tri.grow(2), INK)
    c.paint(tri, INK if hover else WHITE)
    return c.result()


def cursor(size=64):
    """Arrow pointer whose tip sits at pixel (24, 24): 8 px up-left of the centre, the
    pointer-tip offset (-5, +5) of the hit test when drawn at about 40x40 world units."""
    c = Canvas(size, size)
    tip = (24, 24)
    pts = [tip, (tip[0], tip[1] + 34), (tip[0] + 8.5, tip[1] + 26), (tip[0] + 15, tip[1] + 38),
           (tip[0] + 21, tip[1] + 35), (tip[0] + 15, tip[1] + 23.5), (tip[0] + 26, tip[1] + 23.5)]
    m = c.mask().poly(pts)
    c.glow(m, MAGENTA, 5, 0.7)
    c.paint(m.grow(3), INK)
    c.paint(m, c.linear(tip, (tip[0] + 20, tip[1] + 36), [(0, WHITE), (0.6, GOLD_LIGHT), (1, GOLD)]))
    c.paint(c.mask().circle(tip[0] + 1, tip[1] + 1, 2.2), WHITE)
    return c.result()


def slider_bar(w=520, h=40):
    c = Canvas(w, h)
    groove = c.mask().rect(10, h / 2 - 7, w - 10, h / 2 + 7, 7)
    c.paint(groove.grow(3), INK)
    c.paint(groove, c.linear((10, 0), (w - 10, 0), [(0, (60, 40, 120)), (1, mix(MAGENTA, INK, 0.2))]))
    c.paint(groove & c.mask().rect(0, h / 2 - 7, w, h / 2 - 3), WHITE, 0.25)
    return c.result()


def slider_knob(size=56):
    c = Canvas(size, size)
    h = size / 2
    k = c.mask().circle(h, h, h - 8)
    c.glow(k, GOLD, 5, 0.8)
    c.paint(k.grow(3), INK)
    c.paint(k, c.radial((h - 6, h - 8), h * 1.4, [(0, GOLD_LIGHT), (0.5, GOLD), (1, GOLD_DEEP)]))
    grip = c.mask()
    for dx in (-6, 0, 6):
        grip.line([(h + dx, h - 8), (h + dx, h + 8)], 2.4)
    c.paint(grip, INK, 0.55)
    return c.result()


def panel(w, h, title=None, accent=MAGENTA, subtitle=None):
    c = Canvas(w, h, s=2)
    body = c.mask().rect(24, 24, w - 24, h - 24, 36)
    c.glow(body, accent, 20, 0.55)
    c.paint(body.grow(4), INK)
    c.paint(body, c.linear((0, 24), (0, h - 24), [(0, (46, 30, 92)), (0.35, (26, 16, 58)),
                                                   (1, (12, 8, 30))]), 0.94)
    tube = c.mask().rect_outline(34, 34, w - 34, h - 34, 28, 4)
    c.glow(tube, accent, 6, 0.9)
    c.paint(tube, mix(accent, WHITE, 0.45))
    if title:
        ty = 104
        t = c.mask().text(w / 2, ty, title, "condbi", 76 if w < 1000 else 88)
        c.glow(t, accent, 10, 0.8)
        c.paint(t.grow(4), INK)
        c.paint(t, c.linear((0, ty - 32), (0, ty + 32), [(0, WHITE), (0.6, GOLD_LIGHT), (1, GOLD)]))
        bar = c.mask().rect(w / 2 - 120, ty + 46, w / 2 + 120, ty + 51, 2.5)
        c.paint(bar, accent)
        if subtitle:
            c.paint(c.mask().text(w / 2, ty + 86, subtitle, "cond", 28), (220, 210, 250))
    return c.result()


def countdown_back(size=260):
    c = Canvas(size, size)
    h = size / 2
    disc = c.mask().circle(h, h, h - 30)
    c.glow(disc, MAGENTA, 18, 0.8)
    c.paint(disc, c.radial((h, h), h - 30, [(0, (60, 30, 110)), (1, (20, 10, 44))]), 0.92)
    ring = c.mask().ring(h, h, h - 34, 6)
    c.glow(ring, GOLD, 6, 0.9)
    c.paint(ring, GOLD_LIGHT)
    ticks = c.mask()
    for k in range(12):
        a = math.radians(k * 30)
        ticks.line([(h + (h - 48) * math.cos(a), h + (h - 48) * math.sin(a)),
                    (h + (h - 56) * math.cos(a), h + (h - 56) * math.sin(a))], 3)
    c.paint(ticks, WHITE, 0.5)
    return c.result()


def face_icon(letter, col, size=96):
    c = Canvas(size, size)
    h = size / 2
    d = c.mask().circle(h, h, h - 8)
    c.glow(d, col, 6, 0.7)
    c.paint(d.grow(3), INK)
    c.paint(d, c.radial((h - 10, h - 14), h * 1.5, [(0, mix(col, WHITE, 0.45)), (0.55, col),
                                                      (1, mix(col, INK, 0.4))]))
    t = c.mask().text(h, h + 2, letter, "bold", size * 0.56)
    c.paint(t.grow(3), INK)
    c.paint(t, WHITE)
    c.paint(c.mask().ellipse(h - 10, h - 24, 16, 7) & d, WHITE, 0.35)
    return c.result()


def ball_icon(kind, size=96):
    c = Canvas(size, size)
    h = size / 2
    r = size * 0.33
    k = size / 96.0
    if kind == "rainbow":
        draw_ball(c, h, h, r, 20, "rainbow")
    elif kind == "platinum":
        draw_ball(c, h, h, r, 20, (229, 228, 226))
        t = c.mask().text(h, h + 2 * k, "B", "bold", 40 * k)
        c.paint(t.grow(3 * k), INK)
        for (x, y, rr) in ((h + 30 * k, h - 28 * k, 9 * k), (h - 30 * k, h + 24 * k, 6 * k)):
            st = c.mask().star(x, y, rr, rr * 0.3, 4, rot=0)
            c.glow(st, WHITE, 3 * k, 0.9)
            c.paint(st, WHITE)
    else:  # alternating: letter-coloured ball, purple trail, the letter changes on every hit
        r = size * 0.29
        trail = c.mask()
        for i, (dx, rr) in enumerate(((-40, 7), (-31, 9), (-22, 11))):
            trail.circle(h + dx * k, h + (6 - 3 * i) * k, rr * k)
        c.glow(trail, (120, 81, 169), 3 * k, 0.8)
        c.paint(trail, (150, 110, 210))
        draw_ball(c, h + 6 * k, h + 4 * k, r, 20, BTN_X)
        t = c.mask().text(h + 6 * k, h + 6 * k, "X", "bold", 36 * k)
        c.paint(t.grow(4 * k), INK)
        c.paint(t, (140, 190, 255))
        arr = c.mask().arc(h + 6 * k, h + 4 * k, r + 7 * k, 30, 150, 5 * k)
        tip = (h + 6 * k - (r + 7 * k) * math.cos(math.radians(30)) - 2 * k,
               h + 4 * k - (r + 7 * k) * math.sin(math.radians(30)))
        arr = arr | c.mask().poly([(tip[0] - 9 * k, tip[1] - 6 * k), (tip[0] + 7 * k, tip[1] - 9 * k),
                                   (tip[0] + 2 * k, tip[1] + 8 * k)])
        c.paint(arr.grow(2 * k), INK)
        c.paint(arr, GOLD)
    return c.result()


def events_icon(size=96):
    c = Canvas(size, size)
    h = size / 2
    bolt = c.mask().poly([(h + 6, 8), (h - 22, h + 6), (h - 2, h + 6), (h - 10, size - 8),
                          (h + 24, h - 8), (h + 2, h - 8)])
    c.glow(bolt, MAGENTA, 6, 0.8)
    c.paint(bolt.grow(3), INK)
    c.paint(bolt, c.linear((0, 8), (0, size - 8), [(0, GOLD_LIGHT), (1, WARM)]))
    return c.result()


def volume_icon(size=96):
    c = Canvas(size, size)
    m = c.mask().poly([(14, 38), (30, 38), (50, 20), (50, 76), (30, 58), (14, 58)])
    waves = c.mask().arc(48, 48, 16, -45, 45, 5, caps=True).arc(48, 48, 28, -50, 50, 5, caps=True)
    c.paint((m | waves).grow(3), INK)
    c.paint(m, WHITE)
    c.paint(waves, COOL)
    return c.result()


def editor_panel(w=64, h=64):
    c = Canvas(w, h)
    c.paint(c.mask().rect(0, 0, w, h), (14, 10, 30), 0.82)
    c.paint(c.mask().rect(0, 0, w, h) - c.mask().rect(2, 2, w - 2, h - 2), VIOLET, 0.9)
    return c.result()


def editor_field(w=256, h=32):
    c = Canvas(w, h)
    f = c.mask().rect(1, 1, w - 1, h - 1, 5)
    c.paint(f, (236, 232, 250))
    c.paint(f - f.shrink(1.5), (120, 100, 190))
    return c.result()


def editor_button(w=160, h=40):
    c = Canvas(w, h)
    f = c.mask().rect(1, 1, w - 1, h - 1, 8)
    c.paint(f, c.linear((0, 0), (0, h), [(0, (110, 80, 200)), (1, (60, 40, 120))]))
    c.paint(f - f.shrink(1.5), (200, 180, 255))
    return c.result()


def build(reg):
    print("Interface images")
    reg.save(toggle(False), "UI/Toggles/Button00.png",
             "Options toggle, OFF: an empty dark box with a lilac edge.",
             "Button00.png (toggle whose setting is false)", use="scale about 49x49")
    reg.save(toggle(True), "UI/Toggles/PauseJack.png",
             "Options toggle, ON: a glowing gold box with a white tick.",
             "PauseJack.png (toggle whose setting is true)", use="scale about 49x49")
    reg.save(fullscreen_button(True), "UI/Toggles/FullScreenButtonOn.png",
             "\"FULL SCREEN\" label with a screen icon and the switch ON (gold).",
             "FullScreenButtonOn.png", use="scale about 233x53")
    reg.save(fullscreen_button(False), "UI/Toggles/FullScreenButtonOff.png",
             "\"FULL SCREEN\" label with a screen icon and the switch OFF (grey).",
             "FullScreenButtonOff.png", use="scale about 233x53")
    reg.save(menu_button("", COOL, False), "UI/Buttons/MenuButton.png",
             "Blank slanted menu button (dark glass, cyan edge) for a SpriteText label.",
             "any Button", use="scale about 244x61")
    reg.save(menu_button("", COOL, True), "UI/Buttons/MenuButton_Hover.png",
             "Blank menu button, hovered look (lit cyan).", "hoveredImageName of MenuButton.png")
    for stem, label, accent in LABELS:
        reg.save(menu_button(label, accent, False), "UI/Buttons/Button_%s.png" % stem,
                 "Menu button labelled \"%s\"." % label, "Button", use="scale about 244x61")
        reg.save(menu_button(label, accent, True), "UI/Buttons/Button_%s_Hover.png" % stem,
                 "Hovered look of Button_%s.png (lit, same size)." % stem,
                 "hoveredImageName")
    for d in ("Next", "Prev"):
        for hv in (False, True):
            reg.save(arrow(d.lower(), hv), "UI/Buttons/Arrow%s%s.png" % (d, "_Hover" if hv else ""),
                     "Round %s arrow button%s." % ("right" if d == "Next" else "left",
                                                    ", hovered (gold)" if hv else ""),
                     "%sButton of the tutorial" % ("Next" if d == "Next" else "Previous"),
                     use="scale about 60x60")
    reg.save(cursor(), "UI/Cursor.png",
             "Mouse pointer, white-to-gold arrow with a magenta glow; tip at pixel (24, 24), 8 px "
             "up and left of the centre (one frame, so the cursor always shows frame 0).",
             "Mouse entity", use="scale 40x40 puts the tip on the (-5, +5) probe point")
    reg.save(slider_bar(), "UI/Slider/SliderBar.png", "Slider track: violet-to-magenta groove.",
             "behind a Slider", use="scale = sliderLength + knob width, by about 20")
    reg.save(slider_knob(), "UI/Slider/SliderKnob.png", "Slider knob: gold disc with grip lines.",
             "Slider entity", use="scale about 31x31")
    reg.save(panel(760, 640, "PAUSED"), "UI/Panels/PausePanel.png",
             "Pause menu panel with the title PAUSED at the top.", "PauseMenu background",
             use="scale about 420x355")
    reg.save(panel(1200, 860, "OPTIONS", COOL), "UI/Panels/OptionsPanel.png",
             "Options panel with the title OPTIONS.", "MainMenuOptions / OptionsMenu background",
             use="scale about 667x478")
    reg.save(panel(1200, 860, "CONTROLS", COOL), "UI/Panels/ControlsPanel.png",
             "Controls panel with the title CONTROLS: bindings, offsets and calibration.", "Controls background",
             use="scale about 667x478")
    reg.save(panel(800, 380), "UI/Panels/DialogPanel.png", "Untitled dialog panel.",
             "any overlay", use="scale about 444x211")
    reg.save(panel(800, 380, "QUIT VOLLEYRUN?", MAGENTA), "UI/Panels/QuitGamePanel.png",
             "Dialog panel titled QUIT VOLLEYRUN? (room below the title for Yes / No).",
             "MainMenuQuitConfirm", use="scale about 444x211")
    reg.save(panel(800, 380, "LEAVE THE MATCH?", MAGENTA, "Back to the main menu"),
             "UI/Panels/QuitMatchPanel.png",
             "Dialog panel titled LEAVE THE MATCH? with the line \"Back to the main menu\".",
             "QuitConfirm", use="scale about 444x211")
    reg.save(panel(900, 560, "MATCH OVER", GOLD), "UI/Panels/EndGamePanel.png",
             "End screen panel titled MATCH OVER (room for the result line and buttons).",
             "EndGame", use="scale about 500x311")
    reg.save(countdown_back(), "UI/Panels/CountdownBack.png",
             "Glowing disc with a gold ring, behind the 3-2-1-GO! count-down text.",
             "ReturnToGame", use="scale about 144x144")
    reg.save(solid(16, 16, (0, 0, 0)), "UI/Panels/FadeBlack.png",
             "Plain black square (fade panel; scaled to 1200x600 by the space loader).", "FadePanel")
    reg.save(solid(16, 16, (255, 255, 255)), "UI/Panels/SolidWhite.png",
             "Plain white square, for tinted bars and flashes.", "any")
    for letter, col in (("A", BTN_A), ("B", BTN_B), ("X", BTN_X), ("Y", BTN_Y)):
        reg.save(face_icon(letter, col), "UI/Icons/Icon_%s.png" % letter,
                 "Face button %s icon: %s disc, white letter." % (letter, {"A": "green", "B": "red",
                                                                        "X": "blue", "Y": "yellow"}[letter]),
                 "%sButton row of the options" % letter, use="scale about 53x53")
    for kind in ("rainbow", "platinum", "alternating"):
        reg.save(ball_icon(kind), "UI/Icons/Icon_%sBall.png" % kind.capitalize(),
                 {"rainbow": "Rainbow ball icon.", "platinum": "Platinum ball icon: silver ball, black letter, "
                  "sparkles.", "alternating": "Alternating ball icon: blue X ball with a purple "
                  "trail and a turning arrow."}[kind], "%sBallButton row" % kind.capitalize(),
                 use="scale about 53x53")
    reg.save(events_icon(), "UI/Icons/Icon_Events.png", "Lightning bolt: special events.",
             "EventsButton row", use="scale about 53x53")
    reg.save(volume_icon(), "UI/Icons/Icon_Volume.png", "Speaker: master volume.",
             "MasterSoundSlider row", use="scale about 53x53")
    reg.save(editor_panel(), "UI/Editor/EditorPanel.png",
             "Map editor backdrop: translucent dark square with a violet edge (stretch it).",
             "MapEditorSpace")
    reg.save(editor_field(), "UI/Editor/EditorField.png",
             "Map editor text field / list entry: light rounded bar (dark text reads on it).",
             "TextBox background, DropDown entries")
    reg.save(editor_button(), "UI/Editor/EditorButton.png", "Map editor button: violet bar.",
             "SaveSpaceButton, SaveArchButton, AddCompButton, RemoveCompButton")
