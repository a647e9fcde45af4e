#!/usr/bin/python3
"""Other software as outside readers of the ID3v2 tags we write.

  id3v2_peers.py check FILE EXPECTED.json   mutagen, kid3-cli and ffprobe read the values

EXPECTED.json: {"codec": "cp932", "version": 3, "fields": {"TIT2": "...", ...},
"genreName": "Rock", "encoding": 0}. Texts are UTF-8; with codec cp932, frames stored with
encoding 0 hold Shift-JIS bytes, which the peers read as Latin-1 and which are turned back
into bytes and decoded. With "encoding", every frame checked must declare it. kid3-cli and
ffprobe take part when installed. Exit 0 when everything matched; mismatches are printed.
"""
import json
import shutil
import subprocess
import sys

from mutagen.id3 import ID3

KID3_NAMES = {
    "TIT2": "title", "TPE1": "artist", "TALB": "album", "YEAR": "date", "TCON": "genre",
    "COMM": "comment", "TRCK": "track number", "TCOM": "composer", "TOPE": "original artist",
    "TCOP": "copyright", "WXXX": "WXXX", "TENC": "encoded-by",
}
FFPROBE_NAMES = {
    "TIT2": "title", "TPE1": "artist", "TALB": "album", "COMM": "comment", "TCON": "genre",
}


def frame_of(tags, key):
    if key == "YEAR":
        for year_id in ("TDRC", "TYER"):
            found = tags.getall(year_id)
            if found:
                return found[0]
        return None
    found = tags.getall(key)
    return found[0] if found else None


def text_of(frame, key):
    if frame is None:
        return None
    if key == "WXXX":
        return frame.url
    value = frame.text[0] if frame.text else ""
    return str(value)


def restore(text, frame, codec):
    """Shift-JIS bytes under encoding 0 (read as Latin-1) turned back into the characters they
    stand for. In the UTF-8 code page every frame must declare its real encoding."""
    if text is None or frame is None or frame.encoding != 0 or codec == "utf-8":
        return text
    return text.encode("latin-1").decode(codec)


def kid3_values(path):
    commands = []
    for key in KID3_NAMES:
        commands += ["-c", json.dumps({"method": "get", "params": [KID3_NAMES[key], 2]})]
    out = subprocess.run(["kid3-cli", *commands, path], capture_output=True, check=True,
                         text=True, encoding="utf-8").stdout
    # One JSON answer per command, compact or spread over lines.
    decoder = json.JSONDecoder()
    results = []
    pos = out.find("{")
    while pos >= 0:
        answer, end = decoder.raw_decode(out, pos)
        results.append(answer.get("result"))
        pos = out.find("{", end)
    return dict(zip(KID3_NAMES, results))


def ffprobe_values(path):
    out = subprocess.run(["ffprobe", "-v", "quiet", "-show_entries", "format_tags", "-of",
                          "json", path], capture_output=True, check=True, text=True,
                         encoding="utf-8").stdout
    return json.loads(out).get("format", {}).get("tags", {})


def check(path, expected_path):
    with open(expected_path, encoding="utf-8") as f:
        expected = json.load(f)
    codec = expected["codec"]
    tags = ID3(path)
    problems = []
    if tags.version[1] != expected["version"]:
        problems.append(f"mutagen version {tags.version}")
    kid3 = kid3_values(path) if shutil.which("kid3-cli") else None
    ffprobe = ffprobe_values(path) if shutil.which("ffprobe") else None
    for key, want in expected["fields"].items():
        frame = frame_of(tags, key)
        got = restore(text_of(frame, key), frame, codec)
        if key == "TCON":
            # The peers show a genre code by its name.
            want = expected.get("genreName", want)
        if got != want:
            problems.append(f"mutagen {key}: {got!r} != {want!r}")
        if frame is not None and expected.get("encoding", frame.encoding) != frame.encoding:
            problems.append(f"mutagen {key}: encoding {int(frame.encoding)}")
        if ffprobe is not None and key in FFPROBE_NAMES:
            ff_got = ffprobe.get(FFPROBE_NAMES[key])
            if key != "TCON":
                ff_got = restore(ff_got, frame, codec)
            if ff_got != want and not (want == "" and ff_got is None):
                problems.append(f"ffprobe {key}: {ff_got!r} != {want!r}")
        if kid3 is None:
            continue
        kid3_got = restore(kid3[key], frame, codec) if key != "TCON" else kid3[key]
        if kid3_got != want and not (want == "" and kid3_got is None):
            problems.append(f"kid3 {key}: {kid3_got!r} != {want!r}")
    for p in problems:
        print(p)
    return 1 if problems else 0


def main(argv):
    if len(argv) == 4 and argv[1] == "check":
        return check(argv[2], argv[3])
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
