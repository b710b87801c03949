"""The menu song: 100 beats per minute, 4/4, 32 bars (1:16.8) in F major, looping whole.

A relaxed electric-piano groove, deliberately unlike the match song.  Slots of four bars:
0 intro (keys, pad) | 1 groove | 2-3 melody A | 4-5 melody B | 6 breakdown | 7 groove.

Stems and what steers them:
  drums, bass, keys, pad, melody   the song (every track fades out with "Transition")
  keys                              low-pass closes as "RightStickY" goes down
  credits   string counter-melody faded in by "Location" = 1 (the credits screen)
  lt        resonant saw chord opened by "LeftTrigger"
  rt        bell sparkles faded in by "RightTrigger"
  shimmer   high airy chord faded in as "RightStickY" goes up
"""
import numpy as np

import audiosynth as a
from audioclips import Clip, Song, Stem

SONG = Song(tempo=100, bars=32)

PROGRESSIONS = {"M1": ["Bbmaj7", "Am7", "Dm7", "C"], "M2": ["Gm7", "Am7", "Bbmaj7", "C"]}
SLOTS = ["M1", "M2", "M1", "M2", "M2", "M1", "M1", "M2"]
VOICING = {"Bbmaj7": [58, 62, 65, 69], "Am7": [57, 60, 64, 67], "Dm7": [57, 60, 62, 65],
           "C": [55, 60, 64, 67], "Gm7": [58, 62, 65, 67]}
ROOT = {"Bbmaj7": 34, "Am7": 33, "Dm7": 38, "C": 36, "Gm7": 31}
STRINGS = {"Bbmaj7": 69, "Am7": 67, "Dm7": 65, "C": 64, "Gm7": 65}

MELODY = {
    "A1": [[(0, 2, 74), (2, 2, 77), (4, 4, 81), (8, 2, 79), (10, 2, 77), (12, 4, 74)],
           [(0, 6, 76), (6, 2, 74), (8, 4, 72), (12, 4, 69)],
           [(0, 2, 69), (2, 2, 72), (4, 4, 74), (8, 2, 77), (10, 6, 76)],
           [(0, 8, 72), (8, 2, 74), (10, 2, 76), (12, 4, 79)]],
    "A2": [[(0, 4, 77), (4, 2, 74), (6, 2, 77), (8, 4, 79), (12, 4, 74)],
           [(0, 4, 76), (4, 2, 72), (6, 2, 76), (8, 8, 79)],
           [(0, 2, 81), (2, 2, 79), (4, 4, 77), (8, 4, 74), (12, 4, 77)],
           [(0, 12, 76), (12, 2, 72), (14, 2, 74)]],
    "B1": [[(0, 2, 82), (2, 2, 81), (4, 2, 79), (6, 2, 77), (8, 4, 79), (12, 4, 74)],
           [(0, 2, 81), (2, 2, 79), (4, 2, 76), (6, 2, 72), (8, 8, 76)],
           [(0, 2, 77), (2, 2, 81), (4, 4, 84), (8, 2, 81), (10, 2, 79), (12, 4, 77)],
           [(0, 6, 79), (6, 2, 76), (8, 8, 72)]],
    "B2": [[(0, 4, 81), (4, 4, 77), (8, 4, 74), (12, 4, 77)],
           [(0, 4, 76), (4, 4, 72), (8, 4, 69), (12, 4, 72)],
           [(0, 6, 74), (6, 2, 76), (8, 4, 77), (12, 4, 81)],
           [(0, 8, 79), (8, 4, 76), (12, 4, 72)]],
}

# Balance of the stems in dB before the song-wide normalisation: keys and melody lead,
# the pad sits underneath, the controller layers are clear when fully open.
MIX_DB = {"drums": 3.0, "bass": -5.0, "keys": 0.0, "pad": -16.0, "melody": 2.5, "credits": -11.0,
          "lt": -3.0, "rt": 1.0, "shimmer": -1.0}


def chord_of(bar):
    return PROGRESSIONS[SLOTS[bar // 4]][bar % 4]


class MenuSong:
    def __init__(self, seed=1977):
        self.rng = np.random.default_rng(seed)
        self.room = a.reverb_ir(1.0, 0.6, self.rng, bright=0.3)
        self.hall = a.reverb_ir(3.0, 2.2, self.rng, predelay=0.025, bright=0.3)
        self.sounds = {
            "kick": [a.kick(self.rng, f_start=120.0, f_end=50.0, decay=0.22, click=0.15) for _ in range(2)],
            "rim": [a.rim(self.rng) for _ in range(2)],
            "clap": [a.clap(self.rng) for _ in range(2)],
            "hat": [a.hat(self.rng) for _ in range(3)],
            "ohat": [a.hat(self.rng, open_=True)],
            "shaker": [a.shaker(self.rng) for _ in range(3)],
        }
        self.turns = {}
        self.stems = []

    def hit(self, name):
        self.turns[name] = self.turns.get(name, -1) + 1
        options = self.sounds[name]
        return options[self.turns[name] % len(options)]

    def stem(self, name, **kw):
        s = Stem(name, **kw)
        self.stems.append(s)
        return s

    def duck(self, buf, depth):
        return buf * a.sidechain(len(buf), SONG.beat_s, depth, 0.18)[:, None]

    def render(self):
        self.render_drums()
        self.render_bass()
        self.render_keys()
        self.render_pad()
        self.render_melody()
        self.render_credits()
        self.render_layers()
        for stem in self.stems:
            stem.wrap_overflow(SONG)
            stem.scale(a.db(MIX_DB[stem.name]))
        return self.stems

    def per_slot(self, stem, make, slots=range(8)):
        """Four-bar clip per progression, rendered once and placed on every slot."""
        for slot in slots:
            prog = SLOTS[slot]
            if prog not in stem.clips:
                stem.add(prog, make(prog).buf)
            stem.place(slot * 4, prog)

    # ------------------------------------------------------------------ song stems
    def drum_variant(self, bar):
        slot, pos = divmod(bar, 4)
        if slot in (0, 6):
            return "shaker"
        if pos == 3 and slot in (3, 5):
            return "fill"
        return "b" if slot in (4, 5) else "a"

    def drum_bar(self, variant):
        clip = Clip(SONG, 1, 0.6)
        send = Clip(SONG, 1, 0.6)
        shake = [0.6, 0.3, 0.45, 0.3] * 4
        for s in range(16):
            clip.put(self.hit("shaker"), s, shake[s] * (0.7 if variant == "shaker" else 1.0), pan=0.4)
        if variant != "shaker":
            for beat in range(4):
                clip.put(self.hit("kick"), beat * 4, 0.9)
            for s in (4, 12):
                r = self.hit("rim") if variant == "a" else self.hit("clap")
                clip.put(r, s, 0.55 if variant == "a" else 0.6, pan=-0.15)
                send.put(r, s, 0.5)
            for s in (2, 6, 10, 14):
                h = self.hit("ohat") if variant == "b" else self.hit("hat")
                clip.put(h, s, 0.45 if variant == "b" else 0.6, pan=0.2)
            if variant == "fill":
                for s in (13, 14, 15):
                    clip.put(self.hit("rim"), s, 0.3 + 0.1 * (s - 13), pan=0.3)
        clip.buf += 0.25 * a.convolve(send.buf, self.room)
        return clip

    def render_drums(self):
        stem = self.stem("drums")
        for bar in range(SONG.bars):
            variant = self.drum_variant(bar)
            if variant not in stem.clips:
                stem.add(variant, self.drum_bar(variant).buf)
            stem.place(bar, variant)

    def render_bass(self):
        stem = self.stem("bass", mono=True)
        pattern = [(0, 3, 0), (6, 2, 0), (8, 3, 12), (11, 2, 0), (14, 2, 7)]

        def make(prog):
            clip = Clip(SONG, 4, 0.5)
            for b, chord in enumerate(PROGRESSIONS[prog]):
                for s, length, interval in pattern:
                    f = a.hz(ROOT[chord] + interval + 12)
                    gate = length * SONG.six_s * 0.9
                    n = a.note_length(gate, 0.06)
                    t = np.arange(n) / a.SR
                    tone = a.fm(f, n, 1.0, 0.9 * np.exp(-t / 0.15) + 0.2) * a.adsr(n, 0.004, 0.3, 0.7, 0.06, gate)
                    clip.put(tone + 0.5 * a.sine(f / 2, n) * a.adsr(n, 0.004, 0.3, 0.7, 0.06, gate), b * 16 + s, 0.8)
            clip.buf = self.duck(clip.buf, 0.35)
            return clip
        self.per_slot(stem, make, slots=range(1, 8))

    def render_keys(self):
        stem = self.stem("keys")
        comp = [(0, 3, 1.0), (3, 3, 0.7), (6, 4, 0.85), (10, 2, 0.6), (12, 4, 0.8)]

        def make(prog):
            clip = Clip(SONG, 4, 1.5)
            for b, chord in enumerate(PROGRESSIONS[prog]):
                for s, length, vel in comp:
                    gate = length * SONG.six_s * 0.85
                    for i, note in enumerate(VOICING[chord]):
                        tone = a.epiano(a.hz(note), gate, self.rng, vel)
                        clip.put(tone * 0.22, b * 16 + s, pan=-0.3 + 0.2 * i)
            trem = 1.0 + 0.12 * np.sin(2 * np.pi * np.arange(len(clip.buf)) / a.SR / (SONG.beat_s / 2))
            clip.buf = self.duck(clip.buf * trem[:, None], 0.2)
            clip.buf += 0.3 * a.convolve(clip.buf, self.hall)
            return clip
        self.per_slot(stem, make)

    def render_pad(self):
        stem = self.stem("pad")

        def make(prog):
            clip = Clip(SONG, 4, 2.0)
            for b, chord in enumerate(PROGRESSIONS[prog]):
                freqs = a.hz(np.array(VOICING[chord]) - 12)
                clip.put(a.pad_chord(freqs, SONG.bar_s - 0.05, self.rng, 900.0, attack=0.7, release=1.0, voices=5), b * 16)
            clip.buf = self.duck(clip.buf, 0.25)
            clip.buf += 0.5 * a.convolve(clip.buf, self.hall)
            return clip
        self.per_slot(stem, make)

    def melody_clip(self, bars, voice):
        clip = Clip(SONG, 4, 1.5)
        for b, notes in enumerate(bars):
            for s, length, note in notes:
                gate = length * SONG.six_s * 0.9
                f = a.hz(note)
                if voice == "bell":
                    tone = a.bell(f, gate, self.rng, ratio=3.0, index=1.2, decay=0.8) * 0.3
                else:
                    tone = a.pluck(f, gate, self.rng, bright=2200.0, decay=0.3, q=1.0, release=0.15, shape="square") * 0.5
                    # a quiet octave chime on the attack gives the soft square a glassy edge
                    clip.put(a.bell(f * 2, 0.05, self.rng, ratio=1.0, index=0.8, decay=0.4) * 0.08, b * 16 + s)
                clip.put(tone, b * 16 + s)
        echo = a.pingpong(clip.buf, SONG.six_s * 3, feedback=0.45, tone=2500.0)
        clip.buf = clip.buf + 0.4 * echo
        clip.buf += 0.35 * a.convolve(clip.buf, self.hall)
        return clip.buf

    def render_melody(self):
        stem = self.stem("melody")
        plan = {2: ("A1", "pluck"), 3: ("A2", "pluck"), 4: ("B1", "pluck"), 5: ("B2", "pluck"),
                6: ("A1", "bell"), 7: ("A2", "bell")}
        for slot, (phrase, voice) in plan.items():
            name = f"{phrase}_{voice}"
            if name not in stem.clips:
                stem.add(name, self.melody_clip(MELODY[phrase], voice))
            stem.place(slot * 4, name)

    def render_credits(self):
        stem = self.stem("credits")

        def make(prog):
            clip = Clip(SONG, 4, 2.0)
            for b, chord in enumerate(PROGRESSIONS[prog]):
                note = STRINGS[chord]
                freqs = a.hz(np.array([note, note + 12]))
                clip.put(a.pad_chord(freqs, SONG.bar_s - 0.1, self.rng, 2600.0, attack=0.5, release=0.9,
                                     voices=7, spread=12.0), b * 16)
            n = len(clip.buf)
            vib = 1.0 + 0.08 * np.sin(2 * np.pi * 5.0 * np.arange(n) / a.SR)
            clip.buf = clip.buf * vib[:, None]
            clip.buf += 0.5 * a.convolve(clip.buf, self.hall)
            return clip
        self.per_slot(stem, make)

    # ------------------------------------------------------------------ controller layers
    def chord_layer(self, stem, make, tail_s):
        """Four-bar clip per progression, make(clip, chord, bar_in_clip) filling one bar."""
        def render(prog):
            clip = Clip(SONG, 4, tail_s)
            for b, chord in enumerate(PROGRESSIONS[prog]):
                make(clip, chord, b)
            clip.buf += 0.4 * a.convolve(clip.buf, self.hall)
            return clip
        self.per_slot(stem, render)

    def render_layers(self):
        def saw_chord(clip, chord, b):
            freqs = a.hz(np.array(VOICING[chord]))
            sound = a.pad_chord(freqs, SONG.bar_s - 0.03, self.rng, 9000.0, attack=0.01, release=0.08,
                                voices=7, spread=25.0, q=2.4)
            clip.put(sound * a.sidechain(len(sound), SONG.beat_s, 0.4, 0.18)[:, None], b * 16, 0.6)
        self.chord_layer(self.stem("lt"), saw_chord, 0.6)

        def sparkle(clip, chord, b):
            ladder = [n + 12 * o for o in (1, 2) for n in sorted(VOICING[chord])]
            for i in range(32):
                idx = i % (2 * len(ladder) - 2)
                note = ladder[idx if idx < len(ladder) else 2 * len(ladder) - 2 - idx]
                clip.put(a.stereo(a.bell(a.hz(note), 0.05, self.rng, ratio=2.0, index=0.9, decay=0.3) * 0.15,
                                  0.6 * np.sin(i * 0.7)), b * 16 + i * 0.5)
        self.chord_layer(self.stem("rt"), sparkle, 1.0)

        def air(clip, chord, b):
            freqs = a.hz(np.array(VOICING[chord]) + 24)
            n = a.nsamples(SONG.bar_s)
            t = np.arange(n) / a.SR
            tone = sum(a.sine(f * (1 + 0.002 * k), n) + 0.3 * a.sine(f * 2.0, n) for k, f in enumerate(freqs))
            env = np.clip(t / 0.08, 0, 1) * np.clip((SONG.bar_s - t) / 0.1, 0, 1)
            clip.put(a.stereo(tone * env * 0.1 * (1 + 0.3 * np.sin(2 * np.pi * 3 * t)), 0.0), b * 16)
        self.chord_layer(self.stem("shimmer"), air, 1.0)
