"""The match song: 120 beats per minute, 4/4, 96 bars (3:12) in D minor, looping whole.

Form (bars):  0 intro | 8 verse | 24 build | 32 chorus (HighIntensity) | 48 breakdown
(LowIntensity) | 56 verse | 72 chorus (HighIntensity) | 88 outro (LowIntensity) -> loop.
The kick plays on every beat from the first bar to the last, the clap on 2 and 4 once
the groove is in, and hats on sixteenths throughout, so the beat is never in doubt.

Stems and what steers them in the game (the bank settings live in make_audio.py):
  drums, perc, bass, pads, lead  the song itself; "Location" 0 and "Pause" 1 thin it out,
            "Intensity" lifts the percussion, "Win" pulls the lead back for the fanfare
  pulse     a saw chord whose level follows "Beat" (accent on 1, softer through the bar)
  energy    sixteenth arpeggio and ride, faded in by "Intensity"
  trigger   resonant D power chord opened by the analogue triggers ("Trigger")
  win       fanfare stabs and bells for "Win"
  miss      pulsing low growl for "MusicianMiss"
  hit_l/r   shimmering D-A fifth for "MusicianHitLeft"/"Right" (louder for farther spots)
  alt_l/r, rainbow_l/r, platinum_l/r   the special-ball cues, panned to the player's side
The cue layers sit on D and A, the key's tonic and fifth: over each chord of the song they
are chord tones or soft added notes (sixth, ninth, major seventh, a passing sus4 over A),
so one short loop of each serves the whole timeline.
"""
import numpy as np

import audiosynth as a
from audioclips import Clip, Song, Stem

SONG = Song(tempo=120, bars=96)

SECTIONS = [  # (first bar, name, progression)
    (0, "intro", "P1"), (8, "verse", "P1"), (24, "build", "P2"), (32, "chorus", "P3"),
    (48, "break", "P3"), (56, "verse2", "P1"), (72, "chorus2", "P3"), (88, "outro", "P1"),
]
MARKERS = [("HighIntensity", 32), ("LowIntensity", 48), ("HighIntensity", 72), ("LowIntensity", 88)]

PROGRESSIONS = {"P1": ["Dm", "Bb", "F", "C"], "P2": ["Gm", "Bb", "C", "A"], "P3": ["Bb", "F", "C", "Dm"]}
VOICING = {"Dm": [62, 65, 69], "Bb": [62, 65, 70], "F": [60, 65, 69], "C": [60, 64, 67],
           "Gm": [62, 67, 70], "A": [61, 64, 69]}
ROOT = {"Dm": 38, "Bb": 34, "F": 41, "C": 36, "Gm": 43, "A": 33}
D_MINOR = [2, 4, 5, 7, 9, 10, 0]

# Balance of the stems in dB, applied to the rendered clips before the song-wide
# normalisation; the core song sits around drums 0, cue layers loud enough to be
# heard in the sixteenth they are open.
MIX_DB = {"drums": 0.0, "perc": 12.0, "bass": -1.5, "pads": -6.0, "lead": -2.5, "pulse": -3.5,
          "energy": -4.0, "trigger": 0.0, "win": -3.0, "miss": 2.0, "hit_l": 1.0, "hit_r": 2.5,
          "alt_l": 7.0, "alt_r": 8.0, "rainbow_l": 4.0, "rainbow_r": 4.5, "platinum_l": 6.0,
          "platinum_r": 5.5}

# Melodies: per bar a list of (sixteenth, length in sixteenths, MIDI note).
VERSE = [
    [(0, 2, 69), (2, 2, 72), (4, 4, 74), (10, 2, 72), (12, 2, 74), (14, 2, 77)],
    [(0, 6, 74), (6, 2, 72), (8, 4, 70), (12, 4, 69)],
    [(0, 2, 69), (2, 2, 72), (4, 4, 77), (10, 2, 76), (12, 2, 77), (14, 2, 79)],
    [(0, 8, 76), (8, 2, 74), (10, 2, 72), (12, 4, 67)],
    [(0, 2, 69), (2, 2, 72), (4, 4, 74), (10, 2, 72), (12, 2, 74), (14, 2, 77)],
    [(0, 4, 74), (4, 4, 77), (8, 2, 74), (10, 2, 70), (12, 4, 74)],
    [(0, 4, 72), (4, 2, 69), (6, 2, 72), (8, 6, 77), (14, 2, 76)],
    [(0, 6, 76), (6, 2, 74), (8, 8, 72)],
]
CHORUS = [
    [(0, 4, 77), (4, 2, 77), (6, 2, 79), (8, 4, 77), (12, 4, 74)],
    [(0, 2, 72), (2, 4, 77), (6, 2, 76), (8, 2, 77), (10, 2, 79), (12, 4, 81)],
    [(0, 6, 79), (6, 2, 76), (8, 4, 72), (12, 2, 76), (14, 2, 79)],
    [(0, 4, 77), (4, 2, 76), (6, 10, 74)],
    [(0, 4, 77), (4, 2, 77), (6, 2, 79), (8, 4, 77), (12, 4, 74)],
    [(0, 2, 72), (2, 4, 77), (6, 2, 76), (8, 2, 77), (10, 2, 79), (12, 4, 81)],
    [(0, 4, 79), (4, 2, 81), (6, 2, 79), (8, 4, 76), (12, 4, 72)],
    [(0, 12, 74), (12, 2, 69), (14, 2, 72)],
]


def section_of(bar):
    first, name, prog = [s for s in SECTIONS if s[0] <= bar][-1]
    nxt = [s[0] for s in SECTIONS if s[0] > bar]
    return name, prog, bar - first, (nxt[0] if nxt else SONG.bars) - first


def chord_of(bar):
    _, prog, pos, _ = section_of(bar)
    return PROGRESSIONS[prog][pos % 4]


def third_below(note):
    """The diatonic note two scale steps below, in D natural minor (harmony line)."""
    for step in range(1, 6):
        if (note - step) % 12 in D_MINOR:
            lower = note - step
            for step2 in range(1, 4):
                if (lower - step2) % 12 in D_MINOR:
                    return lower - step2
    return note - 3


class Kit:
    """Round-robin drum hits, rendered once from the song's random generator."""

    def __init__(self, rng):
        self.rng = rng
        self.sounds = {
            "kick": [a.kick(rng, f_end=51.0, decay=0.23 + 0.01 * i) for i in range(3)],
            "clap": [a.clap(rng) for _ in range(3)],
            "snare": [a.snare(rng) for _ in range(3)],
            "hat": [a.hat(rng) for _ in range(4)],
            "ohat": [a.hat(rng, open_=True) for _ in range(2)],
            "shaker": [a.shaker(rng) for _ in range(4)],
            "tamb": [a.tambourine(rng) for _ in range(2)],
            "crash": [a.crash(rng, length=1.8)],
            "ride": [a.ride(rng) for _ in range(2)],
            "rim": [a.rim(rng) for _ in range(2)],
            "tom_hi": [a.tom(rng, pitch=170.0)], "tom_mid": [a.tom(rng, pitch=130.0)],
            "tom_lo": [a.tom(rng, pitch=98.0)],
        }
        self.turn = {k: 0 for k in self.sounds}

    def get(self, name):
        options = self.sounds[name]
        self.turn[name] = (self.turn[name] + 1) % len(options)
        return options[self.turn[name]]


class InGameSong:
    """Renders every clip of the match song; `stems` lists them in mixing order."""

    def __init__(self, seed=2024):
        self.rng = np.random.default_rng(seed)
        self.kit = Kit(self.rng)
        self.room = a.reverb_ir(1.2, 0.7, self.rng, bright=0.4)
        self.hall = a.reverb_ir(3.2, 2.4, self.rng, predelay=0.02, bright=0.35)
        self.stems = []

    # ------------------------------------------------------------------ helpers
    def wet(self, clip_buf, send, ir):
        return clip_buf + send * a.convolve(clip_buf, ir)

    def duck(self, buf, depth, release=0.14):
        return buf * a.sidechain(len(buf), SONG.beat_s, depth, release)[:, None]

    def vel(self, base):
        return base * self.rng.uniform(0.92, 1.0)

    def stem(self, name, **kw):
        s = Stem(name, **kw)
        self.stems.append(s)
        return s

    def render(self):
        self.render_drums()
        self.render_perc()
        self.render_bass()
        self.render_pads()
        self.render_lead()
        self.render_pulse()
        self.render_energy()
        self.render_trigger()
        self.render_win()
        self.render_miss()
        self.render_hits()
        self.render_specials()
        for stem in self.stems:
            stem.wrap_overflow(SONG)
            stem.scale(a.db(MIX_DB[stem.name]))
        return self.stems

    def slot_prog(self, slot):
        return section_of(slot * 4)[1]

    def per_progression(self, stem, make, tail_s, post=None):
        """Four-bar clip per chord progression: make(clip, chord, bar_in_clip) fills one bar,
        post(clip) adds effects to the whole clip."""
        for prog in PROGRESSIONS:
            clip = Clip(SONG, 4, tail_s)
            for b, chord in enumerate(PROGRESSIONS[prog]):
                make(clip, chord, b)
            if post:
                post(clip)
            stem.add(prog, clip.buf)
        for slot in range(SONG.bars // 4):
            stem.place(slot * 4, self.slot_prog(slot))

    def cue_loop(self, stem, make, bars=4):
        """A cue that fits every chord of the song (built on D and A): one clip of exactly
        `bars` bars, faded at its end, placed back to back over the whole timeline."""
        clip = Clip(SONG, bars, 0.0)
        make(clip, bars)
        stem.add("loop", clip.ending(0.03))
        for bar in range(0, SONG.bars, bars):
            stem.place(bar, "loop")

    # ------------------------------------------------------------------ drums
    DRUM_LEVEL = {"intro": 0.8, "break": 0.72, "outro": 0.85}

    def drum_variant(self, bar):
        name, _, pos, length = section_of(bar)
        if name == "intro":
            return "intro" if pos < 4 else ("intro2" if pos < 7 else "intro_fill")
        if name in ("verse", "verse2"):
            return "verse_fill" if pos % 8 == 7 else "verse"
        if name == "build":
            return "build" if pos < 6 else ("build_roll1" if pos == 6 else "build_roll2")
        if name in ("chorus", "chorus2"):
            return "chorus_fill" if pos % 8 == 7 else "chorus"
        if name == "break":
            return "break_fill" if pos == length - 1 else "break"
        return "outro"

    def drum_bar(self, variant):
        k = self.kit
        dry = Clip(SONG, 1, 0.6)
        send = Clip(SONG, 1, 0.6)
        section = {"intro": "intro", "intro2": "intro", "intro_fill": "intro", "break": "break",
                   "break_fill": "break", "outro": "outro"}.get(variant, "main")
        kick_level = self.DRUM_LEVEL.get(section, 1.0)
        for beat in range(4):
            dry.put(k.get("kick"), beat * 4, self.vel(kick_level))
        hat_accent = [0.55, 0.28, 0.85, 0.32] * 4
        for s in range(16):
            if section == "break" and s % 2:
                continue
            level = hat_accent[s] * (0.6 if section in ("intro", "break") else 1.0)
            if variant.startswith("chorus") and s % 4 == 2:
                dry.put(k.get("ohat"), s, self.vel(0.6), pan=0.15)
                continue
            dry.put(k.get("hat"), s, self.vel(level), pan=0.2 if s % 2 else -0.1)
        if variant not in ("intro",):
            clap_level = {"intro": 0.55, "break": 0.0, "outro": 0.7}.get(section, 1.0)
            for s in (4, 12):
                if clap_level:
                    c = k.get("clap")
                    dry.put(c, s, self.vel(clap_level))
                    send.put(c, s, self.vel(clap_level))
                if variant.startswith("chorus") or variant.startswith("build"):
                    sn = k.get("snare")
                    dry.put(sn, s, 0.45)
                    send.put(sn, s, 0.45)
        if section == "break":
            for s in (4, 12):
                dry.put(k.get("rim"), s, self.vel(0.5), pan=-0.2)
                send.put(k.get("rim"), s, 0.4)
        rolls = {
            "verse_fill": [(s, 0.35 + 0.12 * (s - 12)) for s in (12, 13, 14, 15)],
            "intro_fill": [(s, 0.25 + 0.06 * (s - 8)) for s in range(8, 16)],
            "break_fill": [(s, 0.2 + 0.1 * (s - 12)) for s in (12, 13, 14, 15)],
            "build": [(s, 0.3) for s in range(0, 16, 2)],
            "build_roll1": [(s, 0.3 + 0.025 * s) for s in range(16)],
            "build_roll2": [(s, 0.55 + 0.03 * s) for s in range(16)] + [(s + 0.5, 0.5 + 0.03 * s) for s in range(8, 16)],
        }
        for s, level in rolls.get(variant, []):
            sn = k.get("snare")
            dry.put(sn, s, level, pan=0.1)
            send.put(sn, s, level)
        if variant == "chorus_fill":
            for s, name in ((8, "tom_hi"), (10, "tom_hi"), (12, "tom_mid"), (13, "tom_mid"), (14, "tom_lo"), (15, "tom_lo")):
                t = k.get(name)
                dry.put(t, s, 0.8, pan={"tom_hi": -0.4, "tom_mid": 0.0, "tom_lo": 0.4}[name])
                send.put(t, s, 0.6)
        dry.buf += 0.22 * a.convolve(send.buf, self.room)
        return dry

    def render_drums(self):
        stem = self.stem("drums")
        for bar in range(SONG.bars):
            variant = self.drum_variant(bar)
            if variant not in stem.clips:
                stem.add(variant, self.drum_bar(variant).buf)
            stem.place(bar, variant)

    # ------------------------------------------------------------------ percussion
    def perc_variant(self, bar):
        name, _, pos, length = section_of(bar)
        if name == "intro":
            return None if pos < 4 else "soft"
        if name in ("verse", "verse2"):
            return "groove_crash" if pos == 0 else "groove"
        if name == "build":
            return "build"
        if name in ("chorus", "chorus2"):
            return "chorus_crash" if pos % 8 == 0 else "chorus"
        if name == "break":
            return "break_crash" if pos == 0 else "soft"
        return "soft"

    def perc_bar(self, variant):
        k = self.kit
        clip = Clip(SONG, 1, 1.2)
        shake = [0.7, 0.35, 0.55, 0.35] * 4
        soft = variant in ("soft", "break_crash")
        for s in range(16):
            clip.put(k.get("shaker"), s, self.vel(shake[s] * (0.55 if soft else 1.0)), pan=0.45)
        if variant.startswith("groove") or variant.startswith("chorus"):
            for s in ((4, 12) if variant.startswith("groove") else (2, 6, 10, 14)):
                clip.put(k.get("tamb"), s, self.vel(0.7), pan=-0.4)
        if variant == "build":
            for s in (0, 6, 12):
                clip.put(k.get("tom_lo"), s, 0.45, pan=0.3)
        if variant.endswith("crash"):
            clip.put(k.get("crash"), 0, 0.9, pan=-0.25)
        clip.buf += 0.3 * a.convolve(clip.buf, self.room)
        return clip.buf

    def render_perc(self):
        stem = self.stem("perc")
        for bar in range(SONG.bars):
            variant = self.perc_variant(bar)
            if variant is None:
                continue
            if variant not in stem.clips:
                stem.add(variant, self.perc_bar(variant))
            stem.place(bar, variant)
        riser = Clip(SONG, 4, 0.5)
        riser.put(a.noise_riser(self.rng, 4 * SONG.bar_s, 250.0, 11000.0), 0, 1.0)
        riser.buf = self.wet(riser.buf, 0.3, self.hall)
        stem.add("riser", riser.buf)
        for bar in (28, 68):
            stem.place(bar, "riser")

    # ------------------------------------------------------------------ bass
    def bass_clip(self, variant, prog):
        clip = Clip(SONG, 4, 0.6)
        for b, chord in enumerate(PROGRESSIONS[prog]):
            r = a.hz(ROOT[chord])
            o = b * 16
            if variant == "sustain":
                clip.put(a.sub_bass(r, SONG.bar_s - 0.08, self.rng, cutoff=220.0, grit=0.2, release=0.12), o, 0.55)
            elif variant == "verse":
                clip.put(a.sub_bass(r, 0.1, self.rng, grit=0.4), o, 0.55)
                for s in (2, 6, 10):
                    clip.put(a.sub_bass(r, 0.22, self.rng, grit=0.55), o + s, 0.95)
                clip.put(a.sub_bass(r * 2, 0.2, self.rng, grit=0.5), o + 14, 0.75)
            elif variant == "build":
                steps = range(0, 16, 2) if b < 3 else range(16)
                for s in steps:
                    clip.put(a.sub_bass(r, 0.1 if b == 3 else 0.2, self.rng, grit=0.6), o + s, 0.9)
            elif variant == "chorus":
                for s in range(16):
                    if s % 4 == 0:
                        continue
                    note = r * 2 if s % 4 == 3 else r
                    clip.put(a.sub_bass(note, 0.1, self.rng, cutoff=520.0, grit=0.7), o + s, 0.9 if s % 4 == 2 else 0.75)
        return self.duck(clip.buf, 0.0 if variant == "sustain" else 0.55, 0.1)

    def render_bass(self):
        stem = self.stem("bass", mono=True)
        plan = {1: ("sustain", "P1"), 2: ("verse", "P1"), 6: ("build", "P2"), 8: ("chorus", "P3"),
                12: ("sustain", "P3"), 14: ("verse", "P1"), 18: ("chorus", "P3"), 22: ("sustain", "P1")}
        current = None
        for slot in range(24):
            current = plan.get(slot, current)
            if current is None:
                continue
            variant, prog = current
            name = f"{variant}_{prog}"
            if name not in stem.clips:
                stem.add(name, self.bass_clip(variant, prog))
            stem.place(slot * 4, name)

    # ------------------------------------------------------------------ pads
    def pad_clip(self, variant, prog):
        clip = Clip(SONG, 4, 2.0)
        for b, chord in enumerate(PROGRESSIONS[prog]):
            freqs = a.hz(VOICING[chord])
            seconds = SONG.bar_s - 0.05
            n = a.nsamples(seconds + 1.0)
            t = np.arange(n) / a.SR + b * SONG.bar_s
            if variant == "intro":
                cutoff = 350.0 * (2500.0 / 350.0) ** (t / (4 * SONG.bar_s))
                clip.put(a.pad_chord(freqs, seconds, self.rng, cutoff, attack=0.5 if b == 0 else 0.05), b * 16, 0.8)
            elif variant == "warm":
                clip.put(a.pad_chord(freqs, seconds, self.rng, 1700.0, attack=0.08), b * 16, 0.75)
            elif variant == "build":
                cutoff = 600.0 * (9000.0 / 600.0) ** (t / (4 * SONG.bar_s))
                clip.put(a.pad_chord(freqs, seconds, self.rng, cutoff, attack=0.03, voices=5), b * 16, 0.95)
            elif variant == "chorus":
                voiced = np.concatenate([freqs, [freqs[0] * 2]])
                clip.put(a.pad_chord(voiced, seconds, self.rng, 4200.0, attack=0.01, voices=7, spread=22.0), b * 16, 0.85)
            elif variant == "soft":
                clip.put(a.pad_chord(freqs, seconds + 0.3, self.rng, 1100.0, attack=0.6, release=1.4), b * 16, 0.5)
        buf = clip.buf
        if variant == "build":
            gate = np.ones(len(buf))
            half = SONG.bar_s * 2
            t = np.arange(len(buf)) / a.SR
            in_gate = t >= half
            phase = (t % (SONG.six_s * 2)) / (SONG.six_s * 2)
            gate[in_gate] = np.where(phase[in_gate] < 0.6, 1.0, 0.25)
            buf = buf * a.lowpass(gate, 200.0)[:, None]
        depth = {"chorus": 0.6, "build": 0.45, "warm": 0.35, "intro": 0.2, "soft": 0.0}[variant]
        buf = self.duck(buf, depth, 0.16)
        clip.buf = self.wet(buf, 0.35 if variant != "soft" else 0.6, self.hall)
        return clip

    def render_pads(self):
        stem = self.stem("pads")
        plan = {0: ("intro", "P1"), 1: ("warm", "P1"), 6: ("build", "P2"), 8: ("chorus", "P3"),
                12: ("soft", "P3"), 14: ("warm", "P1"), 18: ("chorus", "P3"), 22: ("warm", "P1")}
        current = None
        for slot in range(24):
            current = plan.get(slot, current)
            variant, prog = current
            name = f"{variant}_{prog}"
            if name not in stem.clips:
                stem.add(name, self.pad_clip(variant, prog).buf)
            stem.place(slot * 4, name)

    # ------------------------------------------------------------------ lead
    def lead_clip(self, bars, voice):
        clip = Clip(SONG, 4, 1.5)
        prev = None
        for b, notes in enumerate(bars):
            for s, length, note in notes:
                gate = length * SONG.six_s * 0.92
                f = a.hz(note)
                if voice == "pluck":
                    sound = a.stereo(a.pluck(f, gate, self.rng, bright=3800.0, decay=0.22, q=1.3) * 0.8)
                elif voice == "bell":
                    sound = a.stereo(a.bell(f, gate, self.rng, ratio=3.5, index=1.6, decay=0.9) * 0.38)
                else:
                    glide = a.hz(prev) if prev is not None and abs(prev - note) <= 5 and voice == "lead" else None
                    sound = a.saw_lead(f, gate, self.rng, cutoff=3000.0, glide_from=glide) * 0.6
                    if voice == "harmony":
                        sound = sound + a.saw_lead(a.hz(third_below(note)), gate, self.rng, cutoff=2400.0) * 0.38
                clip.put(sound, b * 16 + s)
                prev = note
        dry = clip.buf
        delay = a.pingpong(dry, SONG.six_s * 3, feedback=0.42 if voice != "pluck" else 0.35)
        clip.buf = self.wet(dry + 0.38 * delay, 0.3 if voice != "bell" else 0.5, self.hall)
        return clip.buf

    def render_lead(self):
        stem = self.stem("lead")
        clips = {
            "verse1": (VERSE[:4], "pluck"), "verse2": (VERSE[4:], "pluck"),
            "chorus1": (CHORUS[:4], "lead"), "chorus2": (CHORUS[4:], "lead"),
            "chorush1": (CHORUS[:4], "harmony"), "chorush2": (CHORUS[4:], "harmony"),
            "bells1": (CHORUS[:4], "bell"), "bells2": (CHORUS[4:], "bell"),
        }
        for name, (bars, voice) in clips.items():
            stem.add(name, self.lead_clip(bars, voice))
        plan = {2: "verse1", 3: "verse2", 4: "verse1", 5: "verse2", 8: "chorus1", 9: "chorus2",
                10: "chorus1", 11: "chorus2", 12: "bells1", 13: "bells2", 14: "verse1", 15: "verse2",
                16: "verse1", 17: "verse2", 18: "chorus1", 19: "chorus2", 20: "chorush1", 21: "chorush2"}
        for slot, name in plan.items():
            stem.place(slot * 4, name)

    # ------------------------------------------------------------------ parameter layers
    def render_pulse(self):
        stem = self.stem("pulse", mono=True)

        def make(clip, chord, b):
            freqs = a.hz(np.array(VOICING[chord]) - 12)
            sound = a.pad_chord(freqs, SONG.bar_s - 0.03, self.rng, 5000.0, attack=0.004,
                                release=0.05, voices=3, spread=10.0, q=1.6)
            n = len(sound)
            sound = sound * a.sidechain(n, SONG.beat_s, 0.5, 0.12)[:, None]
            clip.put(sound, b * 16, 0.8)
        self.per_progression(stem, make, 0.3)

    def render_energy(self):
        stem = self.stem("energy")
        pattern = [0, 1, 2, 3, 2, 1, 2, 3, 0, 1, 2, 4, 3, 2, 1, 2]

        def make(clip, chord, b):
            tones = VOICING[chord] + [VOICING[chord][0] + 12, VOICING[chord][1] + 12]
            for s in range(16):
                note = tones[pattern[s]] + 12
                clip.put(a.pluck(a.hz(note), SONG.six_s * 0.6, self.rng, bright=5200.0, decay=0.08, q=1.8),
                         b * 16 + s, 0.45 if s % 4 else 0.6, pan=0.35 * np.sin(s * np.pi / 4))
            for s in (2, 6, 10, 14):
                clip.put(self.kit.get("ride"), b * 16 + s, 0.7, pan=0.35)

        def post(clip):
            echo = a.pingpong(clip.buf, SONG.six_s * 3, feedback=0.35)
            clip.buf = self.wet(self.duck(clip.buf + 0.4 * echo, 0.3), 0.25, self.hall)
        self.per_progression(stem, make, 1.0, post)

    def render_trigger(self):
        """Resonant D power chord over eight bars; the analogue triggers open its filter."""
        stem = self.stem("trigger")

        def make(clip, bars):
            seconds = bars * SONG.bar_s
            freqs = a.hz(np.array([50, 57, 62, 69]))
            sound = a.pad_chord(freqs, seconds - 0.05, self.rng, 9000.0, attack=0.01, release=0.04,
                                voices=7, spread=28.0, q=2.2)
            clip.put(sound, 0, 0.55)
            clip.buf = self.duck(clip.buf, 0.45, 0.12)
        self.cue_loop(stem, make, bars=8)

    def render_win(self):
        stem = self.stem("win")
        stabs = [(0, 3), (3, 3), (6, 2), (8, 6), (14, 2)]

        def make(clip, chord, b):
            freqs = a.hz(np.array(VOICING[chord] + [VOICING[chord][0] + 12]))
            for s, length in stabs:
                gate = length * SONG.six_s * 0.85
                n = a.note_length(gate, 0.1)
                t = np.arange(n) / a.SR
                stab = a.pad_chord(freqs, gate, self.rng, 1200.0 + 6000.0 * np.exp(-t / 0.12),
                                   attack=0.004, release=0.1, voices=5, spread=14.0, q=1.2)
                clip.put(stab, b * 16 + s, 0.55)
            for s in range(16):
                note = (VOICING[chord] * 3)[s % 3] + 24 + 12 * ((s // 3) % 2)
                clip.put(a.bell(a.hz(note), 0.1, self.rng, ratio=2.0, index=1.2, decay=0.35) * 0.16,
                         b * 16 + s, pan=-0.5 + s / 16.0)

        def post(clip):
            clip.buf = self.wet(clip.buf, 0.3, self.hall)
        self.per_progression(stem, make, 0.8, post)

    def render_miss(self):
        stem = self.stem("miss", mono=True)

        def make(clip, bars):
            r = a.hz(50)
            for s in range(16 * bars):
                level = 0.9 if s % 4 == 2 else 0.5
                n = a.note_length(SONG.six_s * 0.7, 0.03)
                t = np.arange(n) / a.SR
                growl = a.additive(r * (1 + 0.01 * np.sin(2 * np.pi * 6 * t)), n, 300.0 + 1400.0 * np.exp(-t / 0.04), 3.0)
                growl += 0.6 * a.additive(r * 1.007, n, 500.0, 1.0, shape="square")
                env = a.adsr(n, 0.003, 0.1, 0.6, 0.03, SONG.six_s * 0.7)
                clip.put(a.saturate(growl * env, 2.5) * 0.35, s, level)
        self.cue_loop(stem, make)

    def render_hits(self):
        """Left and right hit cues: a shimmering D-A fifth, the left one lower and warmer."""
        for side, pan, notes, timbre in (("l", -0.75, (74, 81, 86), "tri"), ("r", 0.75, (86, 93, 98), "square")):
            stem = self.stem(f"hit_{side}")
            self.cue_loop(stem, lambda clip, bars: self.glass(clip, bars, pan, notes, timbre))

    def glass(self, clip, bars, pan, notes, timbre):
        n = a.nsamples(bars * SONG.bar_s)
        t = np.arange(n) / a.SR
        tone = np.zeros(n)
        for f in a.hz(np.array(notes)):
            if timbre == "tri":
                tone += a.triangle(f, n) + 0.35 * a.sine(f * 2, n)
            else:
                tone += a.additive(f, n, 6000.0, 1.0, shape="square") + 0.3 * a.sine(f * 3, n)
        trem = 1.0 - 0.25 * (0.5 + 0.5 * np.cos(2 * np.pi * t / SONG.six_s))
        clip.put(a.stereo(tone * np.clip(t / 0.004, 0, 1) * trem * 0.22, pan), 0)
        clip.buf = self.wet(clip.buf, 0.2, self.hall)

    def render_specials(self):
        for kind, make in (("alt", self.alternating), ("rainbow", self.rainbow), ("platinum", self.platinum)):
            for side, pan in (("l", -0.75), ("r", 0.75)):
                stem = self.stem(f"{kind}_{side}")
                self.cue_loop(stem, lambda clip, bars: make(clip, bars, pan, side))

    def alternating(self, clip, bars, pan, side):
        """Sixteenths swapping between D and A and between the two sides of the panorama."""
        low, high = (74, 81) if side == "l" else (86, 93)
        for s in range(16 * bars):
            note = low if s % 2 == 0 else high
            gate = SONG.six_s * 0.9
            n = a.note_length(gate, 0.02)
            sound = a.additive(a.hz(note), n, 3500.0, 1.3, shape="square") * a.adsr(n, 0.002, 0.08, 0.6, 0.02, gate)
            clip.put(a.stereo(sound * 0.3, pan + (0.2 if s % 2 else -0.2)), s)
        clip.buf = self.wet(clip.buf, 0.2, self.hall)

    def rainbow(self, clip, bars, pan, side):
        """Bell glissandi up a D-E-A ladder, two per beat."""
        base = [62, 64, 69] if side == "l" else [74, 76, 81]
        ladder = [n + 12 * o for o in (0, 1, 2) for n in base]
        for i in range(32 * bars):
            note = ladder[i % len(ladder)] + 12
            sound = a.bell(a.hz(note), 0.05, self.rng, ratio=2.0, index=1.0, decay=0.25) * 0.17
            clip.put(a.stereo(sound, pan + 0.2 * np.sin(i * 0.8)), i * 0.5)
        clip.buf = self.wet(clip.buf, 0.4, self.hall)

    def platinum(self, clip, bars, pan, side):
        """Metallic strikes on every eighth over a trembling high D-A shimmer."""
        root = 86 if side == "l" else 98
        for e in range(8 * bars):
            for j, note in enumerate((root, root + 7)):
                strike = a.bell(a.hz(note), 0.15, self.rng, ratio=2.76, index=3.0, decay=0.5) * 0.14
                clip.put(a.stereo(strike, pan), e * 2 + j * 0.5)
        n = a.nsamples(bars * SONG.bar_s)
        t = np.arange(n) / a.SR
        shimmer = a.sine(a.hz(root + 12), n) + a.sine(a.hz(root + 19) * 1.003, n)
        shimmer *= (0.5 + 0.5 * np.sin(2 * np.pi * 8 * t)) * np.clip(t / 0.01, 0, 1)
        clip.put(a.stereo(shimmer * 0.05, pan), 0)
        clip.buf = self.wet(clip.buf, 0.35, self.hall)
