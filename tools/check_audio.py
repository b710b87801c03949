#!/usr/bin/python3
"""Checks the sound banks in Quillmoor/Audio/Banks against the bank format and the game.

    /usr/bin/python3 tools/check_audio.py [--data DIR]

It reports, one line each and naming the bank: files in the bank folder that are not
valid banks, members the loader would refuse, sounds that are missing or unreadable,
event paths, parameters and markers the game needs but no bank provides, parameters
that no track follows, and a pause-menu song that could not be kept in step with the
match song, layers the game cannot switch off, and scenes whose loudest moment would
need more from the master-bus limiter than it should give.  Exit status 0 when everything
is in order, 1 otherwise.  Measuring levels decodes the sounds with sox and needs NumPy.
"""
import argparse
import json
import math
import os
import struct
import subprocess
import sys

REQUIRED_EVENTS = {
    "event:/InGame": ["Beat", "Intensity", "Location", "Trigger", "Pause", "Win", "MusicianMiss",
                      "MusicianHitLeft", "MusicianHitRight", "AlternatingBallLeft", "AlternatingBallRight",
                      "RainbowBallLeft", "RainbowBallRight", "PlatinumBallLeft", "PlatinumBallRight"],
    "event:/PauseMenu": [],
    "event:/MainMenu": ["Location", "Transition", "LeftTrigger", "RightTrigger", "RightStickY"],
    "event:/Master/Pause Menu": [],
    "event:/UI/ButtonIn": [],
    "event:/UI/ButtonOut": [],
    "event:/UI/Select": ["Transition"],
    "event:/UI/ClickTrack": [],
    "event:/Announcer/Volleyrun": [],
    "event:/Announcer/AlternatingBall": [],
    "event:/Announcer/RainbowBall": [],
    "event:/Announcer/PlatinumBall": [],
    "event:/Match/Swing": [],
    "event:/Match/HitPerfect": [],
    "event:/Match/HitGreat": [],
    "event:/Match/HitGood": [],
    "event:/Match/HitOk": [],
    "event:/Match/Return": [],
    "event:/Match/Miss": [],
    "event:/Match/Count": [],
    "event:/Match/Go": [],
}
# Values the game sets, which each parameter's range must hold.
GAME_VALUES = {"Beat": (1, 4), "MusicianHitLeft": (0, 4), "MusicianHitRight": (0, 4),
               "RightStickY": (-1, 1), "MusicianMiss": (0, 0.5)}
REQUIRED_MARKERS = {"event:/InGame": ["HighIntensity", "LowIntensity"]}
# Layers the game switches off by setting a parameter back: at that value (also the
# default) every track following the parameter must be silent, or the layer never stops.
SWITCHED_OFF = {("event:/InGame", "MusicianMiss"): 0.0}
# What sounds at once: in each scene one event of every group (the loudest), all at their
# loudest moment (every track at the highest gain its parameters give), peaks meeting.
ANNOUNCER_LINES = ["event:/Announcer/Volleyrun", "event:/Announcer/AlternatingBall",
                   "event:/Announcer/RainbowBall", "event:/Announcer/PlatinumBall"]
INTERFACE_SOUNDS = ["event:/UI/ButtonIn", "event:/UI/ButtonOut", "event:/UI/Select"]
MATCH_HITS = ["event:/Match/HitPerfect", "event:/Match/HitGreat", "event:/Match/HitGood", "event:/Match/HitOk",
              "event:/Match/Return", "event:/Match/Miss"]
MATCH_CUES = ["event:/Match/Swing", "event:/Match/Count", "event:/Match/Go"]
# Play sounds only while the match runs; buttons only over a menu, with the match song
# going on behind (the end screen) or not.
SCENES = {"main menu": [["event:/MainMenu"], ANNOUNCER_LINES],
          "match": [["event:/InGame"], ANNOUNCER_LINES, MATCH_HITS, MATCH_CUES],
          "menu over the match": [["event:/InGame"], ANNOUNCER_LINES, INTERFACE_SOUNDS]}
# The master bus ends in a peak limiter (source/audio/studio/studiolimiter.h) with this ceiling. A scene
# may peak above it at its worst, but asking the limiter for more than this much gain
# reduction would duck the music audibly: the content must make room instead.
LIMITER_CEILING = 0.944
LIMITER_MOST_DB = 6.0
MIX_RATE = 48000
EVENT_MEMBERS = {"path", "oneShot", "tempo", "timeSignature", "firstDownbeat", "length", "loop",
                 "markers", "parameters", "tracks"}
TRACK_MEMBERS = {"sound", "start", "volume", "gain", "lowpass"}
PARAMETER_MEMBERS = {"name", "min", "max", "default"}


def is_number(x):
    return isinstance(x, (int, float)) and not isinstance(x, bool)


def is_curve(points):
    return (isinstance(points, list) and len(points) > 0
            and all(isinstance(p, list) and len(p) == 2 and all(is_number(v) for v in p) for p in points))


def evaluate(points, x):
    """A curve's output at x, as the studio computes it: flat outside, straight between."""
    if x <= points[0][0]:
        return points[0][1]
    for (x0, y0), (x1, y1) in zip(points, points[1:]):
        if x <= x1:
            return y0 + (y1 - y0) * (x - x0) / (x1 - x0)
    return points[-1][1]


def decode(path):
    """The sound as stereo float frames at the mix rate (NumPy array), decoded by sox."""
    import numpy as np
    raw = subprocess.run(["sox", path, "-t", "f32", "-c", "2", "-r", str(MIX_RATE), "-"],
                         check=True, capture_output=True).stdout
    return np.frombuffer(raw, dtype=np.float32).reshape(-1, 2)


class Checker:
    def __init__(self, data):
        self.banks_dir = os.path.join(data, "Audio", "Banks")
        self.sounds_dir = os.path.join(data, "Audio", "Sounds")
        self.problems = []
        self.events = {}          # path -> (bank file name, event object)
        self.sound_cache = {}     # relative name -> (channels, rate, seconds) or None
        self.samples = {}         # relative name -> decoded frames, for the level check
        self.used_sounds = set()

    def fail(self, where, text):
        self.problems.append(f"{where}: {text}")

    # ------------------------------------------------------------------ sounds
    def sound_info(self, name):
        if name not in self.sound_cache:
            self.sound_cache[name] = self.read_sound(name)
        return self.sound_cache[name]

    def read_sound(self, name):
        """(channels, rate, seconds) from the file's own header, or a text saying what is wrong."""
        path = os.path.join(self.sounds_dir, name)
        if not os.path.isfile(path):
            return "does not exist"
        with open(path, "rb") as f:
            data = f.read()
        if name.endswith(".ogg"):
            return self.ogg_info(data)
        if name.endswith(".wav"):
            return self.wav_info(data)
        return "is neither .ogg nor .wav"

    @staticmethod
    def ogg_info(data):
        if data[:4] != b"OggS":
            return "is not an Ogg stream"
        at = data.find(b"\x01vorbis")
        if at < 0 or at + 16 > len(data):
            return "has no Vorbis identification header"
        channels = data[at + 11]
        rate = struct.unpack_from("<I", data, at + 12)[0]
        last = data.rfind(b"OggS")
        granule = struct.unpack_from("<q", data, last + 6)[0]
        if rate == 0 or granule <= 0:
            return "has an empty or broken Vorbis stream"
        return channels, rate, granule / rate

    @staticmethod
    def wav_info(data):
        if data[:4] != b"RIFF" or data[8:12] != b"WAVE":
            return "is not a RIFF WAVE file"
        at = data.find(b"fmt ")
        dat = data.find(b"data")
        if at < 0 or dat < 0:
            return "has no fmt or data chunk"
        channels, rate = struct.unpack_from("<HI", data, at + 10)
        block = struct.unpack_from("<H", data, at + 20)[0]
        size = struct.unpack_from("<I", data, dat + 4)[0]
        return channels, rate, size / max(block, 1) / max(rate, 1)

    # ------------------------------------------------------------------ bank structure
    def check_all(self):
        if not os.path.isdir(self.banks_dir):
            self.fail(self.banks_dir, "bank folder missing")
            return
        for name in sorted(os.listdir(self.banks_dir)):
            self.check_bank(name)
        self.check_required()
        self.check_unused_sounds()

    def check_bank(self, name):
        where = f"Bank {name}"
        try:
            with open(os.path.join(self.banks_dir, name)) as f:
                bank = json.load(f)
        except (OSError, UnicodeDecodeError, json.JSONDecodeError) as e:
            self.fail(where, f"not a readable JSON bank ({e})")
            return
        if not isinstance(bank, dict) or bank.get("version") != 1:
            self.fail(where, "version must be 1")
            return
        extra = set(bank) - {"version", "events"}
        if extra:
            self.fail(where, f"unknown members {sorted(extra)}")
        events = bank.get("events")
        if not isinstance(events, list):
            self.fail(where, "events must be an array")
            return
        for i, event in enumerate(events):
            self.check_event(f"{where}: events[{i}]", name, event)

    def check_event(self, where, bank, event):
        if not isinstance(event, dict):
            self.fail(where, "must be an object")
            return
        for key in sorted(set(event) - EVENT_MEMBERS):
            self.fail(where, f"unknown member {key!r}")
        path = event.get("path")
        if not isinstance(path, str) or not path.startswith("event:/") or len(path) <= len("event:/"):
            self.fail(where, "path must be \"event:/\" followed by a name")
            return
        where = f"{where} ({path})"
        if path in self.events:
            self.fail(where, f"path already defined in {self.events[path][0]}")
        self.events[path] = (bank, event)
        self.check_timeline(where, event)
        params = self.check_parameters(where, event.get("parameters", []))
        tracks = event.get("tracks")
        if not isinstance(tracks, list):
            self.fail(where, "tracks must be an array")
            return
        followed = set()
        for j, track in enumerate(tracks):
            followed |= self.check_track(f"{where}: tracks[{j}]", track, params)
        for name in sorted(set(params) - followed):
            self.fail(where, f"parameter {name!r} changes nothing (no track follows it)")

    def check_timeline(self, where, event):
        one_shot = event.get("oneShot", "loop" not in event)
        if not isinstance(one_shot, bool):
            self.fail(where, "oneShot must be true or false")
        if one_shot and "loop" in event:
            self.fail(where, "a one-shot cannot loop")
        tempo = event.get("tempo", 120)
        if not is_number(tempo) or tempo <= 0:
            self.fail(where, "tempo must be a number above 0")
        sig = event.get("timeSignature", [4, 4])
        if (not isinstance(sig, list) or len(sig) != 2 or not all(isinstance(x, int) for x in sig)
                or not 1 <= sig[0] <= 32 or sig[1] not in (1, 2, 4, 8, 16, 32)):
            self.fail(where, "timeSignature must be [1..32, 1|2|4|8|16|32]")
        for key in ("firstDownbeat", "length"):
            if key in event and (not is_number(event[key]) or event[key] < 0):
                self.fail(where, f"{key} must be a number >= 0")
        length = event.get("length")
        loop = event.get("loop")
        if loop is not None:
            if not isinstance(loop, dict) or set(loop) != {"start", "end"}:
                self.fail(where, "loop must be {\"start\": s, \"end\": e}")
            elif not (0 <= loop["start"] < loop["end"] <= (length if is_number(length) else float("inf"))):
                self.fail(where, "loop must satisfy 0 <= start < end <= length")
        for k, marker in enumerate(event.get("markers", [])):
            if (not isinstance(marker, dict) or set(marker) != {"name", "position"}
                    or not isinstance(marker["name"], str) or not is_number(marker["position"])
                    or marker["position"] < 0):
                self.fail(f"{where}: markers[{k}]", "must be {\"name\": text, \"position\": seconds >= 0}")

    def check_parameters(self, where, items):
        params = {}
        for k, p in enumerate(items):
            at = f"{where}: parameters[{k}]"
            if not isinstance(p, dict) or not isinstance(p.get("name"), str):
                self.fail(at, "needs a name")
                continue
            for key in sorted(set(p) - PARAMETER_MEMBERS):
                self.fail(at, f"unknown member {key!r}")
            lo, hi = p.get("min", 0), p.get("max", 1)
            default = p.get("default", lo)
            if not all(is_number(x) for x in (lo, hi, default)) or not lo <= default <= hi:
                self.fail(at, "needs min <= default <= max")
                continue
            if p["name"] in params:
                self.fail(at, f"parameter {p['name']!r} declared twice")
            params[p["name"]] = (lo, hi)
        return params

    def check_track(self, where, track, params):
        if not isinstance(track, dict):
            self.fail(where, "must be an object")
            return set()
        for key in sorted(set(track) - TRACK_MEMBERS):
            self.fail(where, f"unknown member {key!r}")
        sound = track.get("sound")
        if not isinstance(sound, str) or not sound or ".." in sound.split("/") or sound.startswith("/"):
            self.fail(where, "sound must name a file inside Audio/Sounds")
        else:
            self.used_sounds.add(sound)
            info = self.sound_info(sound)
            if isinstance(info, str):
                self.fail(where, f"sound {sound!r} {info}")
            elif info[0] not in (1, 2):
                self.fail(where, f"sound {sound!r} has {info[0]} channels (1 or 2 allowed)")
        for key in ("start", "volume"):
            if key in track and (not is_number(track[key]) or track[key] < 0):
                self.fail(where, f"{key} must be a number >= 0")
        followed = set()
        gains = track.get("gain", [])
        if not isinstance(gains, list):
            self.fail(where, "gain must be an array of automations")
            gains = []
        for g in gains:
            followed |= self.check_automation(where + ": gain", g, params, lambda y: y >= 0)
        lp = track.get("lowpass")
        if isinstance(lp, dict):
            followed |= self.check_automation(where + ": lowpass", lp, params, lambda y: y > 0)
        elif lp is not None and (not is_number(lp) or lp <= 0):
            self.fail(where, "lowpass must be an automation or a cut-off above 0 Hz")
        return followed

    def check_automation(self, where, auto, params, output_ok):
        if not isinstance(auto, dict) or set(auto) != {"parameter", "curve"}:
            self.fail(where, "automation must be {\"parameter\": name, \"curve\": [[x, y], ...]}")
            return set()
        name = auto["parameter"]
        if name not in params:
            self.fail(where, f"parameter {name!r} is not declared by the event")
        points = auto["curve"]
        if not is_curve(points):
            self.fail(where, "curve must be a non-empty list of [value, output] pairs")
            return {name}
        xs = [p[0] for p in points]
        if any(b <= a for a, b in zip(xs, xs[1:])):
            self.fail(where, "curve parameter values must strictly increase")
        if not all(output_ok(p[1]) for p in points):
            self.fail(where, "curve output out of range")
        return {name}

    # ------------------------------------------------------------------ what the game needs
    def check_required(self):
        for path, names in REQUIRED_EVENTS.items():
            if path not in self.events:
                self.fail("Banks", f"no bank defines {path}")
                continue
            bank, event = self.events[path]
            declared = {p.get("name"): p for p in event.get("parameters", []) if isinstance(p, dict)}
            for name in names:
                if name not in declared:
                    self.fail(f"Bank {bank} ({path})", f"parameter {name!r} missing")
                elif name in GAME_VALUES:
                    lo, hi = GAME_VALUES[name]
                    if declared[name].get("min", 0) > lo or declared[name].get("max", 1) < hi:
                        self.fail(f"Bank {bank} ({path})", f"parameter {name!r} must cover {lo} to {hi}")
            marks = {m.get("name") for m in event.get("markers", []) if isinstance(m, dict)}
            for marker in REQUIRED_MARKERS.get(path, []):
                if marker not in marks:
                    self.fail(f"Bank {bank} ({path})", f"marker {marker!r} missing")
        self.check_music_pair()
        self.check_switched_off()

    def check_switched_off(self):
        for (path, name), off in SWITCHED_OFF.items():
            if path not in self.events:
                continue
            bank, event = self.events[path]
            where = f"Bank {bank} ({path})"
            for p in event.get("parameters", []):
                if isinstance(p, dict) and p.get("name") == name and p.get("default", p.get("min", 0)) != off:
                    self.fail(where, f"parameter {name!r} must start at {off}, where its layer is silent")
            for j, track in enumerate(event.get("tracks", [])):
                for g in track.get("gain", []) if isinstance(track, dict) else []:
                    if (isinstance(g, dict) and g.get("parameter") == name and is_curve(g.get("curve"))
                            and evaluate(g["curve"], off) != 0):
                        self.fail(f"{where}: tracks[{j}]", f"still sounds with {name!r} at {off}, "
                                  "where the game switches the layer off")

    # ------------------------------------------------------------------ levels
    def loudest_moment(self, path):
        """Peak of the event with every track at its highest gain, its clips in place."""
        import numpy as np
        placed = []
        for track in self.events[path][1]["tracks"]:
            gain = track.get("volume", 1.0)
            for g in track.get("gain", []):
                gain *= max(y for _, y in g["curve"])
            if gain > 0:
                start = round(track.get("start", 0.0) * MIX_RATE)
                placed.append((start, gain, self.decoded(track["sound"])))
        if not placed:
            return 0.0
        mix = np.zeros((max(start + len(audio) for start, _, audio in placed), 2), dtype=np.float32)
        for start, gain, audio in placed:
            mix[start:start + len(audio)] += gain * audio
        return float(np.abs(mix).max())

    def decoded(self, name):
        if name not in self.samples:
            self.samples[name] = decode(os.path.join(self.sounds_dir, name))
        return self.samples[name]

    def check_levels(self):
        """Each scene's worst case after the master bus, as the limiter would leave it."""
        if self.problems:
            return []  # levels of broken banks mean nothing
        try:
            paths = {path for groups in SCENES.values() for group in groups for path in group}
            peaks = {path: self.loudest_moment(path) for path in paths}
        except (ImportError, OSError, subprocess.CalledProcessError) as e:
            self.fail("Levels", f"cannot be measured without NumPy and sox ({e})")
            return []
        report = []
        for scene, groups in SCENES.items():
            worst = sum(max(peaks[path] for path in group) for group in groups)
            reduction = max(0.0, 20 * math.log10(worst / LIMITER_CEILING))
            report.append(f"{scene}: worst case peaks {20 * math.log10(worst):+.1f} dBFS, "
                          f"the limiter takes {reduction:.1f} dB")
            if reduction > LIMITER_MOST_DB:
                self.fail(f"Scene {scene}", f"its worst case needs {reduction:.1f} dB from the master-bus "
                          f"limiter (at most {LIMITER_MOST_DB:.0f}): lower the loudest event's volume")
        return report

    def check_music_pair(self):
        """The pause-menu song copies the match song's timeline position, so both must share
        tempo and length; the match song must last three minutes or loop."""
        if "event:/InGame" not in self.events or "event:/PauseMenu" not in self.events:
            return
        game = self.events["event:/InGame"][1]
        pause = self.events["event:/PauseMenu"][1]
        for key in ("tempo", "length", "timeSignature", "firstDownbeat", "loop"):
            if game.get(key) != pause.get(key):
                self.fail("event:/PauseMenu", f"{key} differs from event:/InGame")
        if "loop" not in game and game.get("length", 0) < 180:
            self.fail("event:/InGame", "neither loops nor lasts three minutes")
        if game.get("oneShot", "loop" not in game):
            self.fail("event:/InGame", "must not be a one-shot (the game tracks and restarts it)")

    def check_unused_sounds(self):
        """Files nobody plays are dead weight in every start-up; name them."""
        if not os.path.isdir(self.sounds_dir):
            return
        for root, _, files in os.walk(self.sounds_dir):
            for f in files:
                rel = os.path.relpath(os.path.join(root, f), self.sounds_dir).replace(os.sep, "/")
                if rel not in self.used_sounds:
                    self.fail("Sounds", f"{rel} is not used by any bank")


def main(argv=None):
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description="Check Volleyrun's sound banks.")
    parser.add_argument("--data", default=os.path.join(os.path.dirname(here), "Quillmoor"))
    args = parser.parse_args(argv)
    checker = Checker(args.data)
    checker.check_all()
    levels = checker.check_levels()
    for line in checker.problems:
        print(line)
    total = sum(os.path.getsize(os.path.join(r, f)) for r, _, fs in os.walk(checker.sounds_dir) for f in fs) \
        if os.path.isdir(checker.sounds_dir) else 0
    seconds = sum(i[2] for i in checker.sound_cache.values() if not isinstance(i, str))
    for path, (_, event) in sorted(checker.events.items()):
        tracks = event.get("tracks", []) if isinstance(event.get("tracks"), list) else []
        filtered = sum(1 for t in tracks if isinstance(t, dict) and "lowpass" in t)
        if len(tracks) > 1:
            print(f"{path}: {len(tracks)} tracks, {filtered} with a low-pass")
    for line in levels:
        print(line)
    print(f"{len(checker.events)} events in {checker.banks_dir}; {len(checker.sound_cache)} sounds, "
          f"{seconds:.0f} s of audio, {total / 1e6:.1f} MB; "
          f"{'OK' if not checker.problems else str(len(checker.problems)) + ' problem(s)'}")
    return 1 if checker.problems else 0


if __name__ == "__main__":
    sys.exit(main())
