"""Interface sounds and announcer lines.

Interface sounds are synthesised: a soft rising blip when the cursor enters a button,
a softer falling blip when it leaves, a confident click-and-chime on select, and the
launch whoosh that "Transition" fades in on the play button's select.

Announcer lines are spoken by espeak-ng (22050 Hz mono), then made to sound like a
stadium announcer with sox: low cut, chest and presence boost, fast compression, a
touch of drive and a short stereo room, resampled to the mix rate.
"""
import os
import subprocess
import wave

import numpy as np

import audiosynth as a

ANNOUNCER_LINES = {
    "volleyrun": "Volley run!",
    "alternating_ball": "Alternating ball!",
    "rainbow_ball": "Rainbow ball!",
    "platinum_ball": "Platinum ball!",
}

# Voice and sox chain, kept together so the lines stay one consistent announcer.
ESPEAK = ["espeak-ng", "-v", "en-us+m3", "-s", "140", "-p", "28", "-a", "90"]
SOX_CHAIN = ["highpass", "90", "equalizer", "180", "1.0q", "3", "equalizer", "3200", "1.2q", "4",
             "compand", "0.005,0.12", "6:-60,-60,-36,-16,-12,-6,0,-3", "-4", "-60", "0.01",
             "overdrive", "2", "reverb", "25", "40", "60", "100", "10", "0"]


def button_in(rng):
    n = a.nsamples(0.16)
    t = np.arange(n) / a.SR
    f = 880.0 * (1.0 + 0.33 * (1.0 - np.exp(-t / 0.02)))
    tone = a.sine(f, n) + 0.25 * a.sine(2 * f, n)
    out = tone * a.perc_env(n, 0.003, 0.045)
    return a.fade_edges(a.stereo(out * 0.28), 0.0, 0.01)


def button_out(rng):
    n = a.nsamples(0.14)
    t = np.arange(n) / a.SR
    f = 784.0 * (1.0 - 0.25 * (1.0 - np.exp(-t / 0.025)))
    out = a.sine(f, n) * a.perc_env(n, 0.004, 0.035)
    return a.fade_edges(a.stereo(out * 0.17), 0.0, 0.01)


def click(accent):
    """The calibration's metronome: a woodblock tick whose attack is the first sample, so the
    beat's instant is the instant the click is heard. The bar's first beat is higher."""
    n = a.nsamples(0.09)
    t = np.arange(n) / a.SR
    f = 1760.0 if accent else 1175.0
    body = a.sine(f, n) * np.exp(-t / 0.012) + 0.4 * a.sine(2.76 * f, n) * np.exp(-t / 0.005)
    return a.fade_edges(a.stereo(body * (0.5 if accent else 0.38)), 0.0, 0.01)


def select(rng):
    n = a.nsamples(0.45)
    t = np.arange(n) / a.SR
    click = a.bandpass(rng.standard_normal(n), 1500.0, 9000.0) * np.exp(-t / 0.003)
    click = click / (np.abs(click).max() + 1e-9) * 0.35
    thump = a.sine(140.0 * (1 + np.exp(-t / 0.01)), n) * np.exp(-t / 0.04) * 0.4
    chime = np.zeros(n)
    for delay, midi in ((0.0, 84), (0.045, 91)):
        d = a.nsamples(delay)
        m = n - d
        tt = t[:m]
        chime[d:] += a.fm(a.hz(midi), m, 2.0, 1.4 * np.exp(-tt / 0.06)) * np.exp(-tt / 0.12) * np.clip(tt / 0.001, 0, 1)
    out = click + thump + 0.3 * chime
    return a.fade_edges(a.stereo(out), 0.0, 0.02)


def launch_whoosh(rng):
    """The play button's send-off: a noise swell and rising arpeggio into a bright chord."""
    seconds = 1.6
    n = a.nsamples(seconds)
    t = np.arange(n) / a.SR
    out = np.zeros((n, 2))
    swell = a.noise_riser(rng, 0.9, 400.0, 12000.0)
    a.mix_into(out, swell * 2.2, 0)
    for i, midi in enumerate((62, 65, 69, 74, 77, 81)):
        note = a.bell(a.hz(midi), 0.08, rng, ratio=2.0, index=1.1, decay=0.35) * 0.14
        a.mix_into(out, a.stereo(note, -0.6 + 0.24 * i), a.nsamples(0.1 * i))
    chord_at = a.nsamples(0.75)
    chord = a.pad_chord(a.hz([62, 69, 74, 77, 81]), 0.35, rng, 6000.0, attack=0.005, release=0.25, voices=5, spread=20.0)
    a.mix_into(out, chord * 0.25, chord_at)
    out += 0.3 * a.convolve(out, a.reverb_ir(1.2, 0.9, rng))
    env = np.clip((seconds - t) / 0.3, 0, 1)[:, None]
    return a.fade_edges(out * env, 0.0, 0.02)


def read_wav(path):
    with wave.open(path, "rb") as w:
        if w.getsampwidth() != 2:
            raise ValueError(f"{path}: expected 16-bit samples")
        data = np.frombuffer(w.readframes(w.getnframes()), dtype="<i2").astype(float) / 32768.0
        return data.reshape(-1, w.getnchannels())


def announcer_line(text, scratch):
    """Speak one line and process it; returns stereo float at the mix rate, peak -1 dBFS."""
    os.makedirs(scratch, exist_ok=True)
    raw = os.path.join(scratch, "speech_raw.wav")
    done = os.path.join(scratch, "speech_done.wav")
    subprocess.run(ESPEAK + ["-w", raw, text], check=True)
    subprocess.run(["sox", "-R", "-D", raw, "-r", str(a.SR), "-c", "2", "-b", "16", done] + SOX_CHAIN
                   + ["gain", "-6"], check=True, stderr=subprocess.DEVNULL)
    audio = read_wav(done)
    for path in (raw, done):
        os.remove(path)
    # espeak leaves a little silence in front: trim to 10 ms before the first sound
    level = np.abs(audio).max(axis=1)
    first = int(np.argmax(level > 0.01 * level.max()))
    audio = audio[max(first - a.nsamples(0.01), 0):]
    audio = a.fade_edges(audio, 0.005, 0.05)
    return audio * (a.db(-1.0) / np.abs(audio).max())


# ------------------------------------------------------------------ match feedback
# Short, dry and pitched on D and A so that they sit in the match song (D minor, 120 BPM)
# at any moment; the bank plays them under the music.

def swing(rng):
    """Every swing: a quick airy swish, quieter than any hit so that a hit stands out."""
    n = a.nsamples(0.12)
    t = np.arange(n) / a.SR
    noise = a.bandpass(rng.standard_normal(n), 1800.0, 7000.0)
    env = np.clip(t / 0.025, 0, 1) * np.exp(-np.maximum(t - 0.025, 0) / 0.03)
    out = noise / (np.abs(noise).max() + 1e-9) * env * 0.5
    return a.fade_edges(a.stereo(out), 0.001, 0.01)


def hit(rng, grade):
    """A return: a click and a chime, brightest and fullest for the best grade; wider windows
    lose the upper note, the shimmer and some length."""
    seconds = (0.42, 0.34, 0.26, 0.2)[grade]
    n = a.nsamples(seconds)
    t = np.arange(n) / a.SR
    click = a.bandpass(rng.standard_normal(n), 2000.0, 10000.0) * np.exp(-t / 0.002)
    click = click / (np.abs(click).max() + 1e-9) * 0.3
    thump = a.sine(180.0 * (1 + 0.6 * np.exp(-t / 0.008)), n) * np.exp(-t / 0.03) * 0.35
    notes = ((81, 88, 93), (81, 86), (74, 81), (69,))[grade]  # A5 E6 A6 / A5 D6 / D5 A5 / A4
    chime = np.zeros(n)
    for i, midi in enumerate(notes):
        d = a.nsamples(0.03 * i)
        tt = t[:n - d]
        decay = (0.14, 0.11, 0.08, 0.06)[grade]
        strike = np.exp(-tt / decay) * np.clip(tt / 0.001, 0, 1)  # a soft edge: no click per note
        chime[d:] += a.fm(a.hz(midi), n - d, 2.0, (1.6 - 0.3 * grade) * np.exp(-tt / 0.05)) * strike
    out = click + thump + 0.32 * chime
    return a.fade_edges(a.stereo(out), 0.0, 0.02)


def forced_return(rng):
    """A ball returned by a forced move: a soft muted tick, no chime (nobody earned it)."""
    n = a.nsamples(0.1)
    t = np.arange(n) / a.SR
    out = a.sine(220.0 * (1 + 0.3 * np.exp(-t / 0.01)), n) * np.exp(-t / 0.025) * 0.3
    return a.fade_edges(a.stereo(out), 0.0, 0.01)


def miss(rng):
    """A lost ball: a dull low thud under a short falling buzz."""
    n = a.nsamples(0.45)
    t = np.arange(n) / a.SR
    thud = a.sine(90.0 * (1 + 0.8 * np.exp(-t / 0.02)), n) * np.exp(-t / 0.09) * 0.55
    f = 294.0 * (1.0 - 0.35 * np.clip(t / 0.3, 0, 1))
    buzz = a.lowpass(a.additive(f, n, cutoff=1600.0, shape="square"), 1400.0) * np.exp(-t / 0.12) * 0.22
    return a.fade_edges(a.stereo(thud + buzz), 0.0, 0.04)


def count_tick(rng, go=False):
    """The count-in: a woodblock on "3", "2", "1" and a brighter double tick with a chord
    on "GO!"."""
    n = a.nsamples(0.5 if go else 0.16)
    t = np.arange(n) / a.SR
    pitch = 1175.0 if go else 880.0  # D6 / A5
    block = a.fm(pitch, n, 1.5, 1.2 * np.exp(-t / 0.01)) * np.exp(-t / 0.035) * 0.45
    out = a.stereo(block)
    if go:
        chord = sum(a.fm(a.hz(m), n, 2.0, 0.8 * np.exp(-t / 0.08)) for m in (62, 69, 74, 77))
        out = out + a.stereo(chord * np.exp(-t / 0.18) * 0.12)
    return a.fade_edges(out, 0.0, 0.02)
