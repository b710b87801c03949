"""Clips, stems and arrangement for the generated music, plus Ogg encoding.

A song is cut into bar-aligned clips: each clip is one stem's sound for one or four
bars, rendered with its release and reverb tail, and the bank places it on the event
timeline as one track.  Clips that repeat (the same drum bar, the same chord) are
rendered once and placed many times, which keeps the sound files small.  Because a
clip carries its own tail and overlaps the next one, placing the clips back to back
sounds exactly like one continuous render.
"""
import os
import subprocess
import wave
import zlib

import numpy as np

from audiosynth import SR, fade_edges, mix_into, stereo, nsamples


class Song:
    """Tempo grid of one piece of music: sample positions of bars and sixteenths."""

    def __init__(self, tempo, bars, beats_per_bar=4):
        self.tempo = float(tempo)
        self.bars = bars
        self.beats_per_bar = beats_per_bar
        self.beat_s = 60.0 / tempo
        self.bar_s = self.beat_s * beats_per_bar
        self.six_s = self.beat_s / 4.0
        self.length_s = self.bar_s * bars
        bar_n = self.bar_s * SR
        if abs(bar_n - round(bar_n)) > 1e-6:
            raise ValueError("tempo must give a whole number of samples per bar")

    def sample(self, sixteenth):
        """Sample index of a sixteenth counted from the clip start (fractions allowed)."""
        return int(round(sixteenth * self.six_s * SR))


class Clip:
    """One stem's audio for `bars` bars plus a tail that rings into the next clip."""

    def __init__(self, song, bars, tail_s):
        self.song = song
        self.bars = bars
        self.body = nsamples(bars * song.bar_s)
        self.buf = np.zeros((self.body + nsamples(tail_s), 2))

    def put(self, sound, sixteenth, gain=1.0, pan=0.0):
        """Mix a mono or stereo sound in at a sixteenth of this clip (bar b = 16*b)."""
        mix_into(self.buf, stereo(sound, pan) if sound.ndim == 1 else sound,
                 self.song.sample(sixteenth), gain)

    def ending(self, fade_s=0.06):
        """The last clip before the loop point: cut at the bar line, faded to silence,
        so the jump back to the start of the timeline never clicks."""
        out = self.buf[: self.body].copy()
        n = nsamples(fade_s)
        ramp = 0.5 + 0.5 * np.cos(np.linspace(0.0, np.pi, n))
        out[-n:] *= ramp[:, None]
        return out


class Stem:
    """A named layer of an event: its distinct clips and where each one is placed.

    `tracks` carries what the bank adds to every placement of the stem (volume,
    gain automations, low-pass)."""

    def __init__(self, name, mono=False, **tracks):
        self.name = name
        self.mono = mono
        self.clips = {}          # variant name -> float array (n,) or (n, 2)
        self.places = []         # (bar, variant name)
        self.tracks = tracks

    def add(self, variant, audio):
        if variant in self.clips:
            raise ValueError(f"{self.name}: variant {variant} rendered twice")
        # A clip's buffer ends wherever its tail was cut off: fade that edge so the
        # track never stops on a non-zero sample.
        audio = fade_edges(audio, 0.0, 0.04)
        self.clips[variant] = audio.mean(axis=1) if self.mono and audio.ndim == 2 else audio

    def scale(self, gain):
        for variant in self.clips:
            self.clips[variant] = self.clips[variant] * gain

    def place(self, bar, variant):
        self.places.append((bar, variant))

    def wrap_overflow(self, song):
        """Moves what rings past the end of the timeline to its start.

        The event loops from its end back to 0, so the part of a late clip that lies
        beyond the end is placed again at 0 as its own short clip: at the loop point the
        sound carries on sample for sample instead of being cut off.  (On the very first
        pass that tail is heard faintly under the opening bars.)"""
        end = nsamples(song.length_s)
        for bar, variant in list(self.places):
            audio = self.clips[variant]
            start = nsamples(bar * song.bar_s)
            over = start + len(audio) - end
            if over <= 0:
                continue
            name = variant + "_wrap"
            if name not in self.clips:
                self.clips[name] = audio[len(audio) - over:]
            self.places.append((0, name))

    def file_name(self, folder, variant):
        return f"{folder}/{self.name}_{variant}.ogg"


def mixdown(song, stems, gains=None, length_s=None):
    """Whole timeline as the player hears it with every listed stem at full gain."""
    n = nsamples(length_s or song.length_s)
    out = np.zeros((n, 2))
    for stem in stems:
        g = 1.0 if gains is None else gains.get(stem.name, 0.0)
        if g == 0.0:
            continue
        for bar, variant in stem.places:
            mix_into(out, stereo(stem.clips[variant]), nsamples(bar * song.bar_s), g)
    return out


def peak_db(x):
    p = float(np.max(np.abs(x)))
    return -120.0 if p == 0 else 20.0 * np.log10(p)


def rms_db(x):
    r = float(np.sqrt(np.mean(np.square(x))))
    return -120.0 if r == 0 else 20.0 * np.log10(r)


def write_wav16(path, audio):
    """16-bit PCM WAV; the caller has already made sure nothing exceeds full scale."""
    if np.max(np.abs(audio)) > 1.0:
        raise ValueError(f"{path}: would clip ({peak_db(audio):.2f} dBFS)")
    pcm = np.round(audio * 32767.0).astype("<i2")
    with wave.open(path, "wb") as w:
        w.setnchannels(1 if audio.ndim == 1 else audio.shape[1])
        w.setsampwidth(2)
        w.setframerate(SR)
        w.writeframes(pcm.tobytes())


def encode_ogg(audio, out_path, quality=4.0, scratch="/tmp/volleyrun_audio"):
    """Ogg Vorbis through oggenc; the stream serial number comes from the file name so
    that re-running the generator reproduces the same bytes."""
    os.makedirs(scratch, exist_ok=True)
    os.makedirs(os.path.dirname(out_path), exist_ok=True)
    tmp = os.path.join(scratch, os.path.basename(out_path) + ".wav")
    write_wav16(tmp, audio)
    serial = zlib.crc32(os.path.basename(out_path).encode()) & 0x7FFFFFFF
    subprocess.run(["oggenc", "-Q", "-q", str(quality), "--serial", str(serial),
                    "-o", out_path, tmp], check=True)
    os.remove(tmp)
