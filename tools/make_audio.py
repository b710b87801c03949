#!/usr/bin/python3
"""Regenerates all of Volleyrun's audio: music clips, interface sounds, match sounds,
announcer lines and the banks that tie them to the game's event paths and parameters.

    /usr/bin/python3 tools/make_audio.py            # everything (about four minutes)
    /usr/bin/python3 tools/make_audio.py --data DIR # write into DIR instead of Quillmoor/

Output: DIR/Audio/Sounds/{ingame,menu,ui,announcer,match}/*.ogg and DIR/Audio/Banks/*.json.
The result is deterministic: every random generator has a fixed seed and oggenc gets a
fixed stream serial, so running it twice gives identical files.
"""
import argparse
import glob
import json
import os
import sys

import numpy as np

sys.dont_write_bytecode = True  # keep tools/ free of __pycache__
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import audiosynth as a  # noqa: E402
import music_ingame  # noqa: E402
import music_menu  # noqa: E402
import sfx  # noqa: E402
from audioclips import encode_ogg, mixdown, peak_db, rms_db  # noqa: E402

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SOUND_FOLDERS = ("ingame", "menu", "ui", "announcer", "match")
# Headroom of the loudest possible moment of a song (every stem and cue fully open).
SONG_PEAK_DB = -1.5
OGG_QUALITY = 4
# Bank volumes that leave room on the master bus for a line or a click over a song at its
# loudest (check_audio.py's scenes): the limiter then has little left to do.
ANNOUNCER_VOLUME = 0.6
SELECT_VOLUME = 0.7
# The match's own feedback (swings, hits, misses, the count-in) plays under the music.
MATCH_VOLUME = 0.5


def curve(parameter, *points):
    return {"parameter": parameter, "curve": [[float(x), float(y)] for x, y in points]}


OPEN = 22000.0
# ------------------------------------------------------------------ event:/InGame
INGAME_PARAMETERS = [
    # name, min, max, default
    ("Beat", 1, 4, 1), ("Intensity", 0, 1, 0), ("Location", 0, 1, 1), ("Trigger", 0, 1, 0),
    ("Pause", 0, 1, 0), ("Win", 0, 1, 0), ("MusicianMiss", 0, 1, 0),
    ("MusicianHitLeft", 0, 4, 0), ("MusicianHitRight", 0, 4, 0),
    ("AlternatingBallLeft", 0, 1, 0), ("AlternatingBallRight", 0, 1, 0),
    ("RainbowBallLeft", 0, 1, 0), ("RainbowBallRight", 0, 1, 0),
    ("PlatinumBallLeft", 0, 1, 0), ("PlatinumBallRight", 0, 1, 0),
]

# Low-pass filters are used sparingly: the studio runs a track's filter on every mix block,
# playing or not, so each filtered track costs about as much as 25 plain ones.  Location
# and Pause therefore thin the mix with gains, and only the trigger layer (12 tracks) is
# filtered in the match song.


def pause_duck(to):
    """Gain while the map editor holds the match ("Pause" = 1)."""
    return curve("Pause", (0, 1), (1, to))


def location_gain(to):
    """Gain at "Location" 0, the match music heard behind the main menu."""
    return curve("Location", (0, to), (1, 1))


def cue(parameter):
    return curve(parameter, (0, 0), (1, 1))


def spot_cue(parameter):
    """Hit cues: the value is the spot (1, 2 or 4) the ball will reach; farther is louder."""
    return curve(parameter, (0, 0), (1, 0.7), (2, 0.85), (4, 1))


INGAME_TRACKS = {
    "drums": {"gain": [pause_duck(0.2), location_gain(0.35)]},
    "perc": {"gain": [pause_duck(0.0), location_gain(0.0), curve("Intensity", (0, 0.75), (1, 1))]},
    "bass": {"gain": [pause_duck(0.7), location_gain(0.8)]},
    "pads": {"gain": [curve("Intensity", (0, 0.85), (1, 1))]},
    "lead": {"gain": [pause_duck(0.15), location_gain(0.25), curve("Win", (0, 1), (1, 0.4))]},
    # An accent pattern on the pulse chord: full on the downbeat, softer through the bar.
    "pulse": {"gain": [curve("Beat", (1, 1), (2, 0.3), (3, 0.55), (4, 0.2)), pause_duck(0.5), location_gain(0.5)]},
    "energy": {"gain": [cue("Intensity"), pause_duck(0.2), location_gain(0.0)]},
    "trigger": {"lowpass": curve("Trigger", (0, 200), (1, 12000)),
                "gain": [curve("Trigger", (0, 0), (0.05, 0.45), (1, 1)), pause_duck(0.3), location_gain(0.5)]},
    "win": {"gain": [cue("Win")]},
    # "MusicianMiss" is set to 0.5 on a miss and back to 0 once a bar passes without one.
    "miss": {"gain": [curve("MusicianMiss", (0, 0), (0.5, 0.7), (1, 1)), pause_duck(0.3), location_gain(0.4)]},
    "hit_l": {"gain": [spot_cue("MusicianHitLeft")]},
    "hit_r": {"gain": [spot_cue("MusicianHitRight")]},
    "alt_l": {"gain": [cue("AlternatingBallLeft")]},
    "alt_r": {"gain": [cue("AlternatingBallRight")]},
    "rainbow_l": {"gain": [cue("RainbowBallLeft")]},
    "rainbow_r": {"gain": [cue("RainbowBallRight")]},
    "platinum_l": {"gain": [cue("PlatinumBallLeft")]},
    "platinum_r": {"gain": [cue("PlatinumBallRight")]},
}

# The pause-menu music: the same clips without drums, softer and behind a closed filter.
PAUSE_TRACKS = {
    "bass": {"volume": 0.7},
    "pads": {"volume": 0.9, "lowpass": 1400.0},
    "lead": {"volume": 0.35, "lowpass": 1500.0},
}
MASTER_PAUSE_TRACKS = {
    "pads": {"volume": 0.5, "lowpass": 1000.0},
}

# ------------------------------------------------------------------ event:/MainMenu
MENU_PARAMETERS = [("Location", 0, 1, 0), ("Transition", 0, 1, 0), ("LeftTrigger", 0, 1, 0),
                   ("RightTrigger", 0, 1, 0), ("RightStickY", -1, 1, 0)]
# "Transition" = 1 is the play button: the menu song drops out under the launch whoosh
# and stays silent through the match until the main menu sets it back to 0.
GONE = curve("Transition", (0, 1), (1, 0))
MENU_TRACKS = {
    "drums": {"gain": [GONE, curve("Location", (0, 1), (1, 0.55))]},
    "bass": {"gain": [GONE]},
    "keys": {"gain": [GONE], "lowpass": curve("RightStickY", (-1, 400), (0, OPEN))},
    "pad": {"gain": [GONE]},
    "melody": {"gain": [GONE, curve("Location", (0, 1), (1, 0.6))]},
    "credits": {"gain": [GONE, curve("Location", (0, 0), (1, 1))]},
    "lt": {"gain": [GONE, curve("LeftTrigger", (0, 0), (0.05, 0.4), (1, 1))],
           "lowpass": curve("LeftTrigger", (0, 250), (1, 10000))},
    "rt": {"gain": [GONE, curve("RightTrigger", (0, 0), (1, 1))]},
    "shimmer": {"gain": [GONE, curve("RightStickY", (0, 0), (1, 1))]},
}


# ------------------------------------------------------------------ helpers
def seconds(x):
    return round(float(x), 6)


def parameters(table):
    return [{"name": n, "min": float(lo), "max": float(hi), "default": float(d)} for n, lo, hi, d in table]


def song_tracks(song, stems, folder, settings):
    tracks = []
    for stem in stems:
        if stem.name not in settings:
            continue
        for bar, variant in stem.places:
            track = {"sound": stem.file_name(folder, variant), "start": seconds(bar * song.bar_s)}
            track.update(settings[stem.name])
            tracks.append(track)
    return tracks


def song_event(path, song, tracks, markers=(), params=()):
    event = {"path": path, "oneShot": False, "tempo": song.tempo, "timeSignature": [4, 4],
             "firstDownbeat": 0.0, "length": seconds(song.length_s),
             "loop": {"start": 0.0, "end": seconds(song.length_s)}}
    if markers:
        event["markers"] = [{"name": n, "position": seconds(bar * song.bar_s)} for n, bar in markers]
    if params:
        event["parameters"] = parameters(params)
    event["tracks"] = tracks
    return event


def one_shot(path, sounds, params=()):
    event = {"path": path, "oneShot": True}
    if params:
        event["parameters"] = parameters(params)
    event["tracks"] = sounds
    return event


def write_bank(path, events):
    """Pretty JSON with one track per line, so a bank of many clips stays readable."""
    lines = ["{", '    "version": 1,', '    "events": [']
    for i, event in enumerate(events):
        lines.append("        {")
        members = list(event.items())
        for j, (key, value) in enumerate(members):
            comma = "," if j < len(members) - 1 else ""
            if key in ("tracks", "markers", "parameters"):
                lines.append(f'            "{key}": [')
                for k, item in enumerate(value):
                    sep = "," if k < len(value) - 1 else ""
                    lines.append("                " + json.dumps(item) + sep)
                lines.append("            ]" + comma)
            else:
                lines.append(f'            "{key}": {json.dumps(value)}{comma}')
        lines.append("        }" + ("," if i < len(events) - 1 else ""))
    lines += ["    ]", "}", ""]
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path + ".tmp", "w") as f:
        f.write("\n".join(lines))
    os.replace(path + ".tmp", path)


def normalise(song, stems, label):
    """Scale every stem alike so the loudest moment with everything open peaks at SONG_PEAK_DB."""
    everything = mixdown(song, stems)
    gain = a.db(SONG_PEAK_DB - peak_db(everything))
    for stem in stems:
        stem.scale(gain)
    core = mixdown(song, [s for s in stems if s.name in CORE_STEMS])
    print(f"{label}: all stems peak {peak_db(everything * gain):.1f} dBFS, "
          f"core mix peak {peak_db(core):.1f} dBFS, RMS {rms_db(core):.1f} dBFS")


CORE_STEMS = ("drums", "perc", "bass", "pads", "lead", "pulse", "keys", "pad", "melody")


def encode_stems(stems, sounds_dir, folder):
    for stem in stems:
        for variant, audio in stem.clips.items():
            encode_ogg(audio, os.path.join(sounds_dir, stem.file_name(folder, variant)), OGG_QUALITY)


def clear_generated(sounds_dir, banks_dir):
    """Remove what an earlier run wrote, so renamed clips do not linger."""
    for folder in SOUND_FOLDERS:
        for path in glob.glob(os.path.join(sounds_dir, folder, "*.ogg")):
            os.remove(path)
    for path in glob.glob(os.path.join(banks_dir, "*.json")):
        os.remove(path)


# ------------------------------------------------------------------ the four banks
def make_ingame(sounds_dir):
    song = music_ingame.InGameSong()
    stems = song.render()
    normalise(music_ingame.SONG, stems, "event:/InGame")
    encode_stems(stems, sounds_dir, "ingame")
    grid = music_ingame.SONG
    return [
        song_event("event:/InGame", grid, song_tracks(grid, stems, "ingame", INGAME_TRACKS),
                   music_ingame.MARKERS, INGAME_PARAMETERS),
        song_event("event:/PauseMenu", grid, song_tracks(grid, stems, "ingame", PAUSE_TRACKS)),
        song_event("event:/Master/Pause Menu", grid, song_tracks(grid, stems, "ingame", MASTER_PAUSE_TRACKS)),
    ]


def make_menu(sounds_dir):
    song = music_menu.MenuSong()
    stems = song.render()
    normalise(music_menu.SONG, stems, "event:/MainMenu")
    encode_stems(stems, sounds_dir, "menu")
    grid = music_menu.SONG
    return [song_event("event:/MainMenu", grid, song_tracks(grid, stems, "menu", MENU_TRACKS),
                       params=MENU_PARAMETERS)]


# The calibration's click track: a steady beat at a known tempo, one bar to listen and then
# enough beats for two dozen taps with room to miss some. It does not loop: the studio
# counts bars from the start of the timeline again after a loop.
CLICK_TEMPO = 100.0
CLICK_BARS = 12


def click_track():
    beat_s = 60.0 / CLICK_TEMPO
    tracks = [{"sound": "ui/click_accent.ogg" if b % 4 == 0 else "ui/click.ogg", "start": seconds(b * beat_s)}
              for b in range(CLICK_BARS * 4)]
    return {"path": "event:/UI/ClickTrack", "oneShot": False, "tempo": CLICK_TEMPO, "timeSignature": [4, 4],
            "firstDownbeat": 0.0, "length": seconds(CLICK_BARS * 4 * beat_s), "tracks": tracks}


def make_ui(sounds_dir):
    rng = np.random.default_rng(4242)
    # peak level of each sound in dBFS: hover blips sit under the music, select is firm
    sounds = {"button_in": (sfx.button_in(rng), -13.0), "button_out": (sfx.button_out(rng), -18.0),
              "select": (sfx.select(rng), -6.0), "select_launch": (sfx.launch_whoosh(rng), -5.0),
              "click": (sfx.click(False), -9.0), "click_accent": (sfx.click(True), -6.0)}
    for name, (audio, peak) in sounds.items():
        audio = audio * a.db(peak - peak_db(audio))
        encode_ogg(audio, os.path.join(sounds_dir, "ui", name + ".ogg"), OGG_QUALITY)
        print(f"ui/{name}.ogg: {len(audio) / a.SR:.2f} s, peak {peak_db(audio):.1f} dBFS")
    return [
        one_shot("event:/UI/ButtonIn", [{"sound": "ui/button_in.ogg"}]),
        one_shot("event:/UI/ButtonOut", [{"sound": "ui/button_out.ogg"}]),
        one_shot("event:/UI/Select", [
            {"sound": "ui/select.ogg", "volume": SELECT_VOLUME},
            {"sound": "ui/select_launch.ogg", "volume": SELECT_VOLUME, "gain": [curve("Transition", (0, 0), (1, 1))]},
        ], params=[("Transition", 0, 1, 0)]),
        click_track(),
    ]


MATCH_EVENTS = {"swing": "event:/Match/Swing", "hit_perfect": "event:/Match/HitPerfect",
                "hit_great": "event:/Match/HitGreat", "hit_good": "event:/Match/HitGood",
                "hit_ok": "event:/Match/HitOk", "return": "event:/Match/Return", "miss": "event:/Match/Miss",
                "count": "event:/Match/Count", "go": "event:/Match/Go"}


def make_match(sounds_dir):
    rng = np.random.default_rng(2718)
    # peak level of each sound in dBFS: the swing and a forced return stay small, a
    # PERFECT is the firmest hit
    sounds = {"swing": (sfx.swing(rng), -20.0), "hit_perfect": (sfx.hit(rng, 0), -8.0),
              "hit_great": (sfx.hit(rng, 1), -9.0), "hit_good": (sfx.hit(rng, 2), -10.0),
              "hit_ok": (sfx.hit(rng, 3), -11.0), "return": (sfx.forced_return(rng), -20.0),
              "miss": (sfx.miss(rng), -9.0), "count": (sfx.count_tick(rng), -12.0),
              "go": (sfx.count_tick(rng, go=True), -9.0)}
    events = []
    for name, (audio, peak) in sounds.items():
        audio = audio * a.db(peak - peak_db(audio))
        encode_ogg(audio, os.path.join(sounds_dir, "match", name + ".ogg"), OGG_QUALITY)
        print(f"match/{name}.ogg: {len(audio) / a.SR:.2f} s, peak {peak_db(audio):.1f} dBFS")
        events.append(one_shot(MATCH_EVENTS[name], [{"sound": f"match/{name}.ogg", "volume": MATCH_VOLUME}]))
    return events


ANNOUNCER_EVENTS = {"volleyrun": "event:/Announcer/Volleyrun",
                    "alternating_ball": "event:/Announcer/AlternatingBall",
                    "rainbow_ball": "event:/Announcer/RainbowBall",
                    "platinum_ball": "event:/Announcer/PlatinumBall"}


def make_announcer(sounds_dir):
    events = []
    for name, text in sfx.ANNOUNCER_LINES.items():
        audio = sfx.announcer_line(text, "/tmp/volleyrun_audio")
        encode_ogg(audio, os.path.join(sounds_dir, "announcer", name + ".ogg"), OGG_QUALITY)
        print(f"announcer/{name}.ogg: {len(audio) / a.SR:.2f} s, RMS {rms_db(audio):.1f} dBFS")
        events.append(one_shot(ANNOUNCER_EVENTS[name], [{"sound": f"announcer/{name}.ogg", "volume": ANNOUNCER_VOLUME}]))
    return events


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--data", default=os.path.join(REPO, "Quillmoor"), help="content root")
    args = parser.parse_args()
    sounds_dir = os.path.join(args.data, "Audio", "Sounds")
    banks_dir = os.path.join(args.data, "Audio", "Banks")
    clear_generated(sounds_dir, banks_dir)
    write_bank(os.path.join(banks_dir, "ui.json"), make_ui(sounds_dir))
    write_bank(os.path.join(banks_dir, "announcer.json"), make_announcer(sounds_dir))
    write_bank(os.path.join(banks_dir, "match.json"), make_match(sounds_dir))
    write_bank(os.path.join(banks_dir, "menu.json"), make_menu(sounds_dir))
    write_bank(os.path.join(banks_dir, "ingame.json"), make_ingame(sounds_dir))
    import check_audio
    sys.exit(check_audio.main(["--data", args.data]))


if __name__ == "__main__":
    main()
