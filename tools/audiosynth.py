"""Synthesis building blocks for Volleyrun's music and sound effects.

Everything here is plain NumPy and works on float64 arrays at SR samples per second:
mono sounds are 1-D, stereo sounds are (n, 2).  Oscillators are band-limited by
construction (additive synthesis), so filter sweeps on saws never alias.  Randomness
always comes from a numpy Generator handed in by the caller, so a fixed seed gives
byte-identical output.
"""
import numpy as np

SR = 48000


# ----------------------------------------------------------------------------- basics

def hz(midi):
    """Frequency of a MIDI note number (69 = A4 = 440 Hz)."""
    return 440.0 * 2.0 ** ((np.asarray(midi, dtype=float) - 69.0) / 12.0)


def db(gain_db):
    return 10.0 ** (gain_db / 20.0)


def nsamples(seconds):
    return int(round(seconds * SR))


def fast_len(n):
    """Smallest length >= n made of the factors 2, 3 and 5 (quick FFTs)."""
    best = 1 << int(np.ceil(np.log2(max(n, 1))))
    f5 = 1
    while f5 <= best:
        f35 = f5
        while f35 <= best:
            m = f35
            while m < n:
                m *= 2
            best = min(best, m)
            f35 *= 3
        f5 *= 5
    return best


def stereo(x, pan=0.0):
    """Mono -> stereo with a constant-power pan (-1 left ... +1 right)."""
    if x.ndim == 2:
        return x
    a = (pan + 1.0) * np.pi / 4.0
    return np.stack([x * np.cos(a), x * np.sin(a)], axis=1) * np.sqrt(2.0)


def fade_edges(x, fade_in=0.002, fade_out=0.005):
    """Short raised-cosine ramps at both ends so a buffer starts and stops at zero."""
    x = x.copy()
    for length, sl in ((nsamples(fade_in), slice(None)), (nsamples(fade_out), slice(None, None, -1))):
        length = min(length, len(x))
        if length <= 0:
            continue
        ramp = 0.5 - 0.5 * np.cos(np.linspace(0.0, np.pi, length))
        if x.ndim == 2:
            ramp = ramp[:, None]
        if sl.step == -1:
            x[len(x) - length:] *= ramp[::-1]
        else:
            x[:length] *= ramp
    return x


def mix_into(dest, src, at, gain=1.0, wrap=False):
    """Add src into dest starting at sample `at`; the overflow is dropped or wrapped."""
    if src.ndim == 1 and dest.ndim == 2:
        src = stereo(src)
    n = len(dest)
    end = min(n, at + len(src))
    if end > at:
        dest[at:end] += gain * src[: end - at]
    if wrap and at + len(src) > n:
        rest = src[n - at:]
        mix_into(dest, rest, 0, gain, wrap=True)


# ----------------------------------------------------------------------------- envelopes

def adsr(n, attack, decay, sustain, release, gate):
    """Exponential ADSR over n samples; `gate` is how long the key is held (s)."""
    t = np.arange(n) / SR
    attack = max(attack, 1e-4)
    held = np.where(t < attack, t / attack,
                    sustain + (1.0 - sustain) * np.exp(-(t - attack) / max(decay, 1e-4)))
    if gate < attack:
        level = gate / attack
    else:
        level = sustain + (1.0 - sustain) * np.exp(-(gate - attack) / max(decay, 1e-4))
    rel = t >= gate
    held[rel] = level * np.exp(-(t[rel] - gate) / max(release, 1e-4))
    return held


def perc_env(n, attack, decay):
    """Fast attack, exponential decay (decay = time constant in seconds)."""
    t = np.arange(n) / SR
    env = np.exp(-t / decay)
    a = nsamples(attack)
    if a > 0:
        env[:a] *= np.linspace(0.0, 1.0, a)
    return env


def note_length(gate, release):
    """Samples needed for a note held `gate` s with an exponential release (-60 dB)."""
    return nsamples(gate + 6.9 * release) + 1


# ----------------------------------------------------------------------------- filters

def lp_mag(freq, cutoff, q=0.707):
    """|H| of a resonant 4-pole low-pass (two cascaded 2-pole sections) at freq."""
    x2 = (freq / cutoff) ** 2
    return 1.0 / ((1.0 - x2) ** 2 + x2 / (q * q))


def fft_filter(x, response):
    """Zero-phase filter: multiply the spectrum by response(freqs_hz). Works on 1-D or (n, 2)."""
    n = len(x)
    size = fast_len(n + 2048)
    spectrum = np.fft.rfft(x, size, axis=0)
    gains = response(np.fft.rfftfreq(size, 1.0 / SR))
    if x.ndim == 2:
        gains = gains[:, None]
    return np.fft.irfft(spectrum * gains, size, axis=0)[:n]


def lowpass(x, cutoff, order=2):
    return fft_filter(x, lambda f: 1.0 / np.sqrt(1.0 + (f / cutoff) ** (2 * order)))


def highpass(x, cutoff, order=2):
    return fft_filter(x, lambda f: 1.0 / np.sqrt(1.0 + (cutoff / np.maximum(f, 1e-3)) ** (2 * order)))


def bandpass(x, low, high, order=2):
    return fft_filter(x, lambda f: 1.0 / np.sqrt(1.0 + (f / high) ** (2 * order))
                      / np.sqrt(1.0 + (low / np.maximum(f, 1e-3)) ** (2 * order)))


def peak_eq(x, centre, gain_db, width_oct=1.0):
    """Bell-shaped boost or cut on a log-frequency axis."""
    def resp(f):
        d = np.log2(np.maximum(f, 1.0) / centre) / width_oct
        return db(gain_db * np.exp(-0.5 * d * d * 4.0))
    return fft_filter(x, resp)


def sweep_filter(x, cutoff_at, q=0.707, frame=1024):
    """Time-varying low-pass by overlapping FFT frames; cutoff_at(t_seconds) -> Hz."""
    hop = frame // 4
    win = np.hanning(frame)
    n = len(x)
    pad = np.concatenate([np.zeros(frame), x, np.zeros(frame)])
    out = np.zeros_like(pad)
    norm = np.zeros_like(pad)
    freqs = np.fft.rfftfreq(frame, 1.0 / SR)
    for start in range(0, len(pad) - frame, hop):
        seg = pad[start:start + frame] * win
        t = (start + frame / 2 - frame) / SR
        g = lp_mag(freqs, max(cutoff_at(t), 20.0), q)
        out[start:start + frame] += np.fft.irfft(np.fft.rfft(seg) * g, frame) * win
        norm[start:start + frame] += win * win
    return (out / np.maximum(norm, 1e-3))[frame:frame + n]


# ----------------------------------------------------------------------------- oscillators

def phase_of(freq, n, phase0=0.0):
    """Running phase (radians) of a possibly time-varying frequency."""
    f = np.broadcast_to(np.asarray(freq, dtype=float), (n,))
    return phase0 + 2.0 * np.pi * (np.cumsum(f) - f[0]) / SR


def additive(freq, n, cutoff=20000.0, q=0.707, shape="saw", phase0=0.0):
    """Band-limited saw ("saw") or square ("square") heard through a resonant low-pass.

    freq and cutoff may be scalars or arrays of n samples (pitch glides, filter
    envelopes).  Each harmonic is generated by the Chebyshev recurrence and weighted
    by the filter's magnitude at its own frequency, so nothing above Nyquist is made.
    """
    f = np.broadcast_to(np.asarray(freq, dtype=float), (n,))
    fc = np.maximum(np.broadcast_to(np.asarray(cutoff, dtype=float), (n,)), 20.0)
    theta = phase_of(f, n, phase0)
    fmin, fmax = float(f.min()), float(f.max())
    kmax = int(min(0.47 * SR / fmax, 7.0 * float(fc.max()) / fmin + 1, 400))
    kmax = max(kmax, 1)
    s_prev = np.zeros(n)
    s_k = np.sin(theta)
    c2 = 2.0 * np.cos(theta)
    inv_fc2 = (f / fc) ** 2
    iq2 = 1.0 / (q * q)
    out = np.zeros(n)
    step = 2 if shape == "square" else 1
    for k in range(1, kmax + 1):
        if (k - 1) % step == 0:
            x2 = inv_fc2 * (k * k)
            out += s_k / (k * ((1.0 - x2) ** 2 + x2 * iq2))
        s_prev, s_k = s_k, c2 * s_k - s_prev
    return out * (2.0 / np.pi)


def supersaw(freq, n, cutoff, voices=5, spread=14.0, q=0.8, rng=None, width=0.8):
    """Detuned stack of band-limited saws spread across the stereo field; (n, 2)."""
    rng = rng or np.random.default_rng(0)
    out = np.zeros((n, 2))
    for i in range(voices):
        pos = (i - (voices - 1) / 2) / max((voices - 1) / 2, 1)
        cents = pos * spread
        voice = additive(np.asarray(freq) * 2 ** (cents / 1200.0), n, cutoff, q,
                         phase0=rng.uniform(0, 2 * np.pi))
        out += stereo(voice, pos * width)
    return out / np.sqrt(voices)


def sine(freq, n, phase0=0.0):
    return np.sin(phase_of(freq, n, phase0))


def triangle(freq, n, harmonics=9):
    theta = phase_of(freq, n)
    out = np.zeros(n)
    for i, k in enumerate(range(1, 2 * harmonics, 2)):
        out += ((-1) ** i) * np.sin(k * theta) / (k * k)
    return out * (8.0 / np.pi ** 2)


def fm(freq, n, ratio, index, phase0=0.0):
    """Two-operator FM: carrier at freq, modulator at freq*ratio; index may be an array."""
    mod = np.sin(phase_of(np.asarray(freq) * ratio, n))
    return np.sin(phase_of(freq, n, phase0) + np.asarray(index) * mod)


# ----------------------------------------------------------------------------- effects

def reverb_ir(seconds, rt60, rng, predelay=0.012, bright=0.5):
    """Stereo impulse response: early taps plus decorrelated noise tails whose highs die faster."""
    n = nsamples(seconds)
    t = np.arange(n) / SR
    ir = np.zeros((n, 2))
    for ch in range(2):
        noise = rng.standard_normal(n)
        spectrum = np.fft.rfft(noise)
        freqs = np.fft.rfftfreq(n, 1.0 / SR)
        low = np.fft.irfft(spectrum * (freqs < 1500), n)
        high = np.fft.irfft(spectrum * (freqs >= 1500), n)
        tail = low * np.exp(-6.9 * t / rt60) + bright * high * np.exp(-6.9 * t / (rt60 * 0.45))
        tail *= np.clip(t / 0.03, 0, 1)
        for k in range(6):
            at = nsamples(0.004 + 0.011 * k + rng.uniform(0, 0.006))
            if at < n:
                tail[at] += rng.uniform(0.4, 0.9) * (0.8 ** k) * (1 if rng.random() < 0.5 else -1) * 8
        ir[:, ch] = tail
    d = nsamples(predelay)
    ir = np.concatenate([np.zeros((d, 2)), ir])[:n]
    return ir / np.sqrt(np.sum(ir ** 2) / 2)


def convolve(x, ir):
    """FFT convolution of stereo x with stereo ir; output has len(x) samples (tails kept by caller's padding)."""
    x = stereo(x)
    n = len(x)
    size = fast_len(n + len(ir))
    out = np.fft.irfft(np.fft.rfft(x, size, axis=0) * np.fft.rfft(ir, size, axis=0), size, axis=0)
    return out[:n]


def pingpong(x, delay_s, feedback=0.45, taps=6, tone=3500.0):
    """Dotted/ping-pong echo: each repeat jumps channel, gets quieter and darker."""
    x = stereo(x)
    d = nsamples(delay_s)
    mono = lowpass(x.mean(axis=1), tone)
    out = np.zeros_like(x)
    for k in range(1, taps + 1):
        if k * d >= len(x):
            break
        ch = (k + 1) % 2
        out[k * d:, ch] += (feedback ** k) * mono[:len(x) - k * d]
        mono = lowpass(mono, tone * 1.5) if k % 2 == 0 else mono
    return out


def sidechain(n, beat_s, depth=0.6, release=0.14, offset=0):
    """Gain curve ducking on every beat, as if keyed by the kick."""
    t = ((np.arange(n) + offset) / SR) % beat_s
    duck = 1.0 - depth * np.exp(-t / release) * np.clip(t / 0.004, 0, 1) ** 0.3
    attack = np.clip(t / 0.004, 0, 1)
    return np.where(attack < 1, 1.0 - depth * attack, duck)


def saturate(x, drive=1.5):
    return np.tanh(drive * x) / np.tanh(drive)


# ----------------------------------------------------------------------------- drums

def kick(rng, vel=1.0, f_start=170.0, f_end=47.0, sweep=0.04, decay=0.30, length=0.5, click=0.35):
    n = nsamples(length)
    t = np.arange(n) / SR
    f = f_end + (f_start - f_end) * np.exp(-t / sweep)
    body = np.sin(phase_of(f, n)) * np.exp(-t / decay)
    body *= np.clip(t / 0.0015, 0, 1)
    tail_fade = np.clip((length - t) / 0.05, 0, 1)
    snap = highpass(rng.standard_normal(n) * perc_env(n, 0.0003, 0.004), 1500.0)
    out = saturate(body * 1.2, 1.8) + click * snap
    return fade_edges(out * tail_fade * vel, 0.0, 0.003)


def snare(rng, vel=1.0, tone=190.0, decay=0.16, length=0.45, bright=1.0):
    n = nsamples(length)
    t = np.arange(n) / SR
    body = (np.sin(phase_of(tone * (1 + 0.25 * np.exp(-t / 0.01)), n)) * np.exp(-t / 0.05)
            + 0.5 * np.sin(phase_of(tone * 1.78, n)) * np.exp(-t / 0.03))
    noise = bandpass(rng.standard_normal(n), 1200.0, 9000.0 * bright) * perc_env(n, 0.0005, decay)
    out = 0.55 * body + 0.9 * noise / (np.std(noise[: nsamples(0.05)]) + 1e-9) * 0.3
    return fade_edges(out * vel, 0.0, 0.01)


def clap(rng, vel=1.0, length=0.5):
    n = nsamples(length)
    t = np.arange(n) / SR
    env = np.zeros(n)
    for k, at in enumerate((0.0, 0.0105, 0.021, 0.031)):
        tt = t - at
        env += np.where(tt >= 0, np.exp(-np.maximum(tt, 0) / (0.0045 if k < 3 else 0.13)), 0) * (0.9 if k < 3 else 0.75)
    noise = bandpass(rng.standard_normal(n), 900.0, 5200.0, order=2)
    noise = peak_eq(noise, 1500.0, 5.0, 0.8)
    out = noise / (np.std(noise) + 1e-9) * env * 0.33
    return fade_edges(out * vel, 0.0, 0.01)


def metallic(n, base=1.0):
    """Six detuned square partials, the classic analogue cymbal source."""
    out = np.zeros(n)
    for f in (205.3, 304.4, 369.6, 522.7, 540.0, 800.0):
        out += np.sign(np.sin(phase_of(f * base * 2.0, n)) + 1e-9)
    return out / 6.0


def hat(rng, vel=1.0, open_=False, length=None):
    decay = 0.22 if open_ else 0.035
    length = length or (0.6 if open_ else 0.12)
    n = nsamples(length)
    src = 0.6 * metallic(n) + 0.7 * rng.standard_normal(n)
    src = highpass(src, 7000.0, order=3)
    src = peak_eq(src, 10500.0, 4.0, 1.0)
    out = src / (np.std(src) + 1e-9) * perc_env(n, 0.0005, decay) * 0.22
    return fade_edges(out * vel, 0.0, 0.01)


def shaker(rng, vel=1.0):
    n = nsamples(0.12)
    t = np.arange(n) / SR
    env = np.clip(t / 0.012, 0, 1) * np.exp(-t / 0.035)
    src = bandpass(rng.standard_normal(n), 4500.0, 11000.0)
    return fade_edges(src / (np.std(src) + 1e-9) * env * 0.15 * vel, 0.0, 0.01)


def tambourine(rng, vel=1.0):
    n = nsamples(0.3)
    t = np.arange(n) / SR
    jingles = sum(np.sin(phase_of(f, n, rng.uniform(0, 6.28))) * np.exp(-t / rng.uniform(0.05, 0.12))
                  for f in rng.uniform(6500.0, 11000.0, 9))
    noise = highpass(rng.standard_normal(n), 6000.0) * np.exp(-t / 0.05)
    out = (0.04 * jingles / 3.0 + 0.04 * noise / (np.std(noise) + 1e-9)) * np.clip(t / 0.002, 0, 1)
    return fade_edges(out * vel, 0.0, 0.01)


def crash(rng, vel=1.0, length=2.6):
    n = nsamples(length)
    t = np.arange(n) / SR
    src = 0.5 * metallic(n, 1.37) + rng.standard_normal(n)
    src = highpass(src, 2800.0, order=2)
    src = src / (np.std(src) + 1e-9)
    env = np.exp(-t / 0.55) * 0.7 + np.exp(-t / 0.05) * 0.5
    return fade_edges(src * env * 0.18 * vel, 0.0, 0.05)


def ride(rng, vel=1.0):
    n = nsamples(0.9)
    t = np.arange(n) / SR
    bell = sum(np.sin(phase_of(f, n)) for f in (1890.0, 2720.0, 3510.0, 5090.0)) / 4.0
    src = highpass(0.5 * metallic(n, 2.1) + 0.6 * rng.standard_normal(n), 4000.0)
    src = src / (np.std(src) + 1e-9)
    out = (0.08 * src * np.exp(-t / 0.3) + 0.18 * bell * np.exp(-t / 0.25)) * np.clip(t / 0.001, 0, 1)
    return fade_edges(out * vel, 0.0, 0.02)


def tom(rng, vel=1.0, pitch=110.0):
    n = nsamples(0.55)
    t = np.arange(n) / SR
    f = pitch * (1 + 0.5 * np.exp(-t / 0.03))
    body = np.sin(phase_of(f, n)) * np.exp(-t / 0.18)
    skin = bandpass(rng.standard_normal(n), 300.0, 3000.0) * np.exp(-t / 0.02) * 0.15
    return fade_edges(saturate(body + skin, 1.3) * 0.8 * vel, 0.001, 0.02)


def rim(rng, vel=1.0):
    n = nsamples(0.12)
    t = np.arange(n) / SR
    tone = (np.sin(phase_of(1750.0, n)) * np.exp(-t / 0.012) + 0.6 * np.sin(phase_of(520.0, n)) * np.exp(-t / 0.02))
    click = highpass(rng.standard_normal(n), 2000.0) * np.exp(-t / 0.004) * 0.3
    return fade_edges((0.5 * tone + click) * vel, 0.0, 0.01)


def noise_riser(rng, seconds, f_from=300.0, f_to=9000.0):
    """Noise swelling in level and brightness over `seconds` (stereo)."""
    n = nsamples(seconds)
    t = np.arange(n) / SR
    out = np.zeros((n, 2))
    for ch in range(2):
        src = rng.standard_normal(n)
        src = sweep_filter(src, lambda tt: f_from * (f_to / f_from) ** min(max(tt / seconds, 0), 1), q=1.6)
        out[:, ch] = src / (np.std(src) + 1e-9)
    env = (t / seconds) ** 2.2
    return fade_edges(out * env[:, None] * 0.12, 0.01, 0.02)


# ----------------------------------------------------------------------------- tonal voices

def pluck(freq, gate, rng, bright=4500.0, decay=0.18, q=1.4, release=0.08, shape="saw"):
    """Saw pluck with a snapping filter envelope."""
    n = note_length(gate, release)
    t = np.arange(n) / SR
    cutoff = freq * 1.5 + bright * np.exp(-t / decay)
    amp = adsr(n, 0.002, decay * 2.2, 0.35, release, gate)
    return additive(freq, n, cutoff, q, shape=shape, phase0=rng.uniform(0, 6.28)) * amp


def saw_lead(freq, gate, rng, cutoff=3200.0, vibrato=0.004, glide_from=None, q=1.1, release=0.12, voices=3):
    """Singing detuned lead with delayed vibrato and optional glide-in; stereo."""
    n = note_length(gate, release)
    t = np.arange(n) / SR
    vib = 1.0 + vibrato * np.sin(2 * np.pi * 5.2 * t) * np.clip((t - 0.18) / 0.25, 0, 1)
    f = freq * vib
    if glide_from:
        f = f * (glide_from / freq) ** np.exp(-t / 0.03)
    fc = cutoff * (1.0 + 1.2 * np.exp(-t / 0.12))
    amp = adsr(n, 0.006, 0.3, 0.75, release, gate)
    out = np.zeros((n, 2))
    for i in range(voices):
        pos = (i - (voices - 1) / 2) / max((voices - 1) / 2, 1)
        out += stereo(additive(f * 2 ** (pos * 9 / 1200), n, fc, q, phase0=rng.uniform(0, 6.28)), 0.5 * pos)
    out += stereo(0.35 * additive(f * 0.5, n, fc * 0.5, 0.7, shape="square"))
    return out * amp[:, None] / np.sqrt(voices)


def bell(freq, gate, rng, ratio=3.5, index=2.2, decay=1.2):
    """FM bell: bright strike that mellows as the modulation index falls."""
    n = note_length(gate, decay * 0.6) + nsamples(decay)
    t = np.arange(n) / SR
    idx = index * np.exp(-t / (decay * 0.35))
    amp = np.exp(-t / decay) * np.clip(t / 0.001, 0, 1)
    body = fm(freq, n, ratio, idx, rng.uniform(0, 6.28)) * amp
    shimmer = 0.25 * fm(freq * 2.0, n, 1.0, idx * 0.4) * np.exp(-t / (decay * 0.5))
    return fade_edges(body + shimmer, 0.0, 0.02)


def epiano(freq, gate, rng, vel=1.0):
    """Electric piano: FM tine (ratio 1 body + ratio 14 bark) with a soft release."""
    release = 0.25
    n = note_length(gate, release)
    t = np.arange(n) / SR
    idx = (1.2 + vel) * np.exp(-t / 0.4) + 0.3
    body = fm(freq, n, 1.0, idx, rng.uniform(0, 6.28))
    bark = 0.3 * vel * fm(freq, n, 14.0, 1.0) * np.exp(-t / 0.05)
    amp = adsr(n, 0.002, 1.3, 0.25, release, gate)
    return (body + bark) * amp


def sub_bass(freq, gate, rng, cutoff=420.0, drive=1.6, release=0.05, q=1.2, grit=0.5, glide=None):
    """Sine sub under a filtered saw, lightly saturated: the bass of the in-game song."""
    n = note_length(gate, release)
    t = np.arange(n) / SR
    f = np.full(n, float(freq))
    if glide:
        f = freq * (glide / freq) ** np.exp(-t / 0.025)
    amp = adsr(n, 0.003, 0.25, 0.85, release, gate)
    fc = cutoff * (1.0 + 2.5 * np.exp(-t / 0.06))
    body = np.sin(phase_of(f, n)) + grit * additive(f, n, fc, q)
    return saturate(body * amp, drive) * 0.8


def pad_chord(freqs, seconds, rng, cutoff, attack=0.4, release=0.8, voices=5, spread=16.0, q=0.8):
    """Sustained supersaw chord; cutoff may be an array (filter sweep)."""
    gate = seconds
    n = note_length(gate, release)
    if np.ndim(cutoff):
        cutoff = np.concatenate([cutoff, np.full(max(n - len(cutoff), 0), cutoff[-1])])[:n]
    amp = adsr(n, attack, 1.0, 0.9, release, gate)
    out = np.zeros((n, 2))
    for f in freqs:
        out += supersaw(f, n, cutoff, voices, spread, q, rng)
    return out * amp[:, None] / np.sqrt(len(freqs))
