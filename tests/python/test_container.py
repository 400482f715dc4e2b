"""The container file and the encoders from Python, held against CPython: pickle at every
protocol, zlib, hashlib and base64 on generated records, texts and byte strings; the log
lines of each outcome; the hostile files; and the crash paths, in a child process."""

import base64
import binascii
import hashlib
import math
import os
import pickle
import pickletools
import random
import re
import subprocess
import sys
import textwrap
import zlib
from collections import OrderedDict
from pathlib import Path

import pytest

import verbix

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tools"))
import make_game_data as gen  # noqa: E402

PROTOCOLS = range(6)


# -- Generated values -------------------------------------------------------------------

INT_EDGES = [0, 1, -1, 255, 256, 65535, 65536, 2**31 - 1, -2**31, 2**31, -2**31 - 1,
             2**32, 2**63 - 1, -2**63]
FLOAT_EDGES = [0.0, -0.0, 1.5, -2.25e-310, 5e-324, 1.7976931348623157e308, math.inf, -math.inf]
ALPHABET = ("abcXYZ019 \t'\"\\,:()[]#=\u00e9\u00c5\u00df\u0151\u03a9\u0416\u3000\u00a0"
            "\u4e2d\u6587\u3042\U0001f600\U0001f3ae\n\r\x00\x1a\x7f\u0080\u00ff\u0100\uffff")


def random_text(rng, n=None):
    n = rng.choice([0, 1, 5, 40, 300]) if n is None else n
    return "".join(rng.choice(ALPHABET) for _ in range(n))


def random_value(rng, depth=0):
    kinds = ["none", "bool", "int", "float", "str", "bytes", "bytearray"]
    if depth < 4:
        kinds += ["list", "tuple", "dict"] * 2
    kind = rng.choice(kinds)
    if kind == "none":
        return None
    if kind == "bool":
        return rng.random() < 0.5
    if kind == "int":
        return rng.choice(INT_EDGES) if rng.random() < 0.5 else rng.randrange(-2**63, 2**63)
    if kind == "float":
        return rng.choice(FLOAT_EDGES) if rng.random() < 0.3 else rng.uniform(-1e9, 1e9)
    if kind == "str":
        return random_text(rng, 70_000 if rng.random() < 0.02 else None)
    if kind in ("bytes", "bytearray"):
        n = 70_000 if rng.random() < 0.02 else rng.choice([0, 1, 3, 200])
        data = rng.randbytes(n)
        return data if kind == "bytes" else bytearray(data)
    n = rng.choice([0, 1, 2, 5, 30])
    items = [random_value(rng, depth + 1) for _ in range(n)]
    if kind == "list":
        return items
    if kind == "tuple":
        return tuple(items)
    return {random_text(rng, rng.choice([0, 3, 8])): v for v in items}


def random_record(seed):
    rng = random.Random(seed)
    rec = {random_text(rng, 6): random_value(rng) for _ in range(12)}
    rec["many"] = {f"id{i:05}": [random_text(rng, 20)] for i in range(1500)}  # > one batch
    return rec


def normal(value):
    """What the core keeps of a Python value: tuples as lists, bytearrays as bytes."""
    if isinstance(value, dict):
        return {k: normal(v) for k, v in value.items()}
    if isinstance(value, (list, tuple)):
        return [normal(v) for v in value]
    if isinstance(value, bytearray):
        return bytes(value)
    return value


def assert_same(got, want, where="record"):
    """Equal with exact types and dict order (Python's == takes True for 1 and ignores order)."""
    assert type(got) is type(want), f"{where}: {type(got).__name__} != {type(want).__name__}"
    if isinstance(want, dict):
        assert list(got) == list(want), f"{where}: keys differ"
        for k in want:
            assert_same(got[k], want[k], f"{where}[{k!r}]")
    elif isinstance(want, list):
        assert len(got) == len(want), f"{where}: lengths differ"
        for i, (g, w) in enumerate(zip(got, want)):
            assert_same(g, w, f"{where}[{i}]")
    elif isinstance(want, float) and math.isnan(want):
        assert math.isnan(got), where
    else:
        assert got == want, where
        if isinstance(want, float):
            assert math.copysign(1, got) == math.copysign(1, want), where


# -- Loading what CPython writes --------------------------------------------------------

@pytest.mark.parametrize("protocol", PROTOCOLS)
@pytest.mark.parametrize("size", ["tiny", "small"])
def test_generated_game_data_loads_equal_at_every_protocol(utils, tmp_path, size, protocol):
    rec = gen.make_record(size)
    path = tmp_path / "lang.dat"
    path.write_bytes(gen.encode(rec, protocol))
    assert_same(utils.dat_load(str(path)), normal(rec))
    assert utils._errors == []


@pytest.mark.parametrize("protocol", PROTOCOLS)
def test_random_values_load_as_cpython_loads_them(utils, tmp_path, protocol):
    path = tmp_path / "values.dat"
    for seed in range(8):
        rec = random_record(seed * 10 + protocol)
        raw = pickle.dumps(rec, protocol=protocol)
        path.write_bytes(zlib.compress(raw))
        got = utils.dat_load(path)
        assert_same(got, normal(pickle.loads(raw)), f"seed {seed}")


@pytest.mark.parametrize("protocol", PROTOCOLS)
def test_objects_referred_to_twice_stay_one_object(utils, tmp_path, protocol):
    shared = ["a", "b"]
    inner = {"x": shared}
    rec = {"one": shared, "two": shared, "maps": [inner, inner]}
    path = tmp_path / "shared.dat"
    path.write_bytes(zlib.compress(pickle.dumps(rec, protocol)))
    got = utils.dat_load(path)
    assert got == rec
    assert got["one"] is got["two"] is got["maps"][0]["x"]
    assert got["maps"][0] is got["maps"][1]


# -- Saving for CPython -----------------------------------------------------------------

def test_saved_records_are_protocol_4_with_frames_that_cpython_reads(utils, tmp_path):
    path = tmp_path / "out" / "lang.dat"
    for seed in range(6):
        rec = random_record(1000 + seed)
        assert utils.dat_save(str(path), rec) == 0
        data = path.read_bytes()
        assert data[:2] == b"\x78\x9c"
        raw = zlib.decompress(data)
        assert zlib.compress(raw, 6) == data  # the same stream Python's zlib writes
        assert_same(pickle.loads(raw), normal(rec), f"seed {seed}")
        ops = [op.name for op, _, _ in pickletools.genops(raw)]
        assert ops[0] == "PROTO" and raw[1] == 4
        assert "FRAME" in ops


def test_saved_game_data_round_trips_through_the_core(utils, tmp_path):
    rec = gen.make_record("small")
    path = tmp_path / "lang.dat"
    assert utils.dat_save(path, rec) == 0
    assert_same(utils.dat_load(path), normal(rec))
    assert pickle.loads(zlib.decompress(path.read_bytes())) == rec


def test_shared_objects_are_saved_once(utils, tmp_path):
    big = [random_text(random.Random(1), 100) for _ in range(1000)]
    rec = {"refs": [big] * 1000}
    path = tmp_path / "shared.dat"
    assert utils.dat_save(path, rec) == 0
    raw = zlib.decompress(path.read_bytes())
    assert len(raw) < 200_000
    back = pickle.loads(raw)
    assert back == rec and back["refs"][0] is back["refs"][999]


@pytest.mark.parametrize("value, error, text", [
    ({1: "int key"}, TypeError, "dict keys must be str, not 'int'"),
    ({"a": {1, 2}}, TypeError, "cannot store an object of type 'set'"),
    ({"a": 2**64}, OverflowError, "int beyond 64 bits cannot be stored"),
    ({"a": "\ud800"}, UnicodeEncodeError, "surrogates not allowed"),
])
def test_values_the_records_cannot_hold_raise_and_write_nothing(utils, tmp_path, value, error,
                                                                text):
    path = tmp_path / "tool.cfg"
    path.write_bytes(b"old")
    with pytest.raises(error, match=text):
        utils.dat_save(path, value)
    assert path.read_bytes() == b"old"
    assert utils._output == [] and utils._errors == []


def test_a_list_that_contains_itself_raises(utils, tmp_path):
    loop = []
    loop.append(loop)
    with pytest.raises(ValueError, match="contains itself"):
        utils.dat_save(tmp_path / "x.dat", {"loop": loop})


def test_nesting_is_saved_up_to_what_loads(utils, tmp_path):
    def nested(n):
        v = []
        for _ in range(n - 1):
            v = [v]
        return v
    path = tmp_path / "deep.dat"
    assert utils.dat_save(path, nested(1000)) == 0
    assert utils.dat_load(path) == nested(1000)
    with pytest.raises(ValueError, match="nested deeper than 1000 levels"):
        utils.dat_save(path, nested(1001))


# -- The log lines ------------------------------------------------------------------------

def test_outcomes_log_their_lines(utils, tmp_path, capsys):
    path = tmp_path / "lang.dat"
    absolute = utils.full_path(str(path))
    assert utils.dat_load(path) is None
    assert capsys.readouterr().out == f"DAT file not found: {absolute}\n"
    assert utils.dat_save(path, {"a": 1}) == 0
    assert utils.dat_load(path) == {"a": 1}
    assert capsys.readouterr().out == f"DAT file saved: {absolute}\nDAT file loaded: {absolute}\n"
    path.write_text("plain text")
    assert utils.dat_load(path) is None
    assert utils._errors == ["ERROR (Error -3 while decompressing data: incorrect header check): "
                             f"DAT load error: {absolute}"]


def test_a_folder_is_an_io_error_both_ways(utils, tmp_path):
    folder = tmp_path / "taken"
    folder.mkdir()
    absolute = utils.full_path(str(folder))
    assert utils.dat_save(str(folder), {"a": 1}) == 1
    assert utils.dat_load(str(folder)) is None
    # Windows refuses to write to a folder as access denied, in its own words.
    reason = r"(?:\[Errno 21\] Is a directory" + (
        r"|\[WinError 5\] [^:]+)" if sys.platform == "win32" else ")")
    where = re.escape(f": '{folder}'): DAT ")
    assert [re.sub(f"^ERROR \\({reason}{where}", "ERROR (...): DAT ", e) for e in utils._errors] == [
        f"ERROR (...): DAT save IOError {absolute}", f"ERROR (...): DAT load IOError: {absolute}"]


# -- Hostile files: "DAT load error: " and None, nothing run --------------------------

class RunsACommand:
    def __init__(self, command):
        self.command = command

    def __reduce__(self):
        return (os.system, (self.command,))


def hostile_files(marker):
    yield "not zlib", b"\x00\x01not a zlib stream"
    yield "zlib of garbage", zlib.compress(random.Random(5).randbytes(500))
    for p in PROTOCOLS:
        yield f"os.system at protocol {p}", zlib.compress(
            pickle.dumps(RunsACommand(f"touch {marker}"), p))
    yield "a million levels", zlib.compress(b"\x80\x04" + b"]" * 1_000_000 + b"a" * 999_999 + b".")
    bomb = b"\x80\x04](" + b"N" * 1000 + b"e\x94"
    for level in range(3):
        bomb += b"](" + (b"h" + bytes([level])) * 1000 + b"e\x94"
    yield "a memo bomb", zlib.compress(bomb + b".")
    yield "an int of a million digits", zlib.compress(b"\x80\x02L" + b"7" * 1_000_000 + b"L\n.")
    yield "an int of a million digits, binary", zlib.compress(pickle.dumps(7 ** 1_200_000, 4))
    yield "a class instance", zlib.compress(pickle.dumps(OrderedDict(a=1), 4))


def test_hostile_files_are_load_errors_and_run_nothing(utils, tmp_path):
    marker = tmp_path / "ran"
    path = tmp_path / "lang.dat"
    absolute = utils.full_path(str(path))
    for name, data in hostile_files(marker):
        path.write_bytes(data)
        utils._errors = []
        assert utils.dat_load(path) is None, name
        assert len(utils._errors) == 1, name
        assert utils._errors[0].endswith(f"): DAT load error: {absolute}"), (name, utils._errors)
    assert not marker.exists()


def test_every_cut_of_a_small_file_is_a_load_error(utils, tmp_path):
    data = gen.encode(gen.make_record("tiny"), 2)
    path = tmp_path / "lang.dat"
    for n in range(0, len(data), 7):
        path.write_bytes(data[:n])
        assert utils.dat_load(path) is None, n
    assert len(utils._errors) == len(range(0, len(data), 7))


# -- Encoders ---------------------------------------------------------------------------

def test_hash_string_is_a_prefix_of_hashlib(utils):
    rng = random.Random(3)
    for _ in range(200):
        text = random_text(rng, rng.choice([0, 1, 10, 100, 1000]))
        full = hashlib.sha256(text.encode("utf-8")).hexdigest()
        for n in [0, -5, 1, 15, 16, 17, 63, 64, 65, 100]:
            assert utils.hash_string(text, n) == full[:max(n, 1)], (text, n)
        assert utils.hash_string(text) == full[:16]


def test_buff_2_str_is_base64_of_zlib(utils):
    rng = random.Random(4)
    for n in [1, 2, 3, 4, 5, 100, 4097, 70_000]:
        data = rng.randbytes(n)
        assert utils.buff_2_str(data) == base64.b64encode(zlib.compress(data)).decode()
        assert utils.buff_2_str(data, False) == base64.b64encode(data).decode()
        assert utils.buff_2_str(bytearray(data), p_compress=False) == base64.b64encode(data).decode()
    for empty in [b"", bytearray(), None]:
        assert utils.buff_2_str(empty) == "" and utils.buff_2_str(empty, False) == ""


def with_strays(rng, text):
    strays = " \n\t\r!@#$%^&*-_.~\u00e9\u20ac\x00"
    out = list(text)
    for _ in range(rng.randrange(0, 8)):
        out.insert(rng.randrange(0, len(out) + 1), rng.choice(strays))
    return "".join(out)


def test_str_2_buff_decodes_as_pythons_lenient_decoder(utils):
    rng = random.Random(6)
    checked = 0
    for _ in range(300):
        data = rng.randbytes(rng.choice([1, 2, 3, 10, 500]))
        compress = rng.random() < 0.5
        text = with_strays(rng, base64.b64encode(zlib.compress(data) if compress else data).decode())
        try:
            want = base64.b64decode(text.encode("utf-8"))
            if compress:
                want = zlib.decompress(want)
        except (binascii.Error, zlib.error):
            continue  # the crash path, tested below
        assert utils.str_2_buff(text, compress) == want, text
        checked += 1
    assert checked > 250
    assert utils.str_2_buff("") == b"" and utils.str_2_buff(None, False) == b""


def test_every_blob_comes_back(utils):
    rng = random.Random(7)
    for n in range(1, 50):
        data = rng.randbytes(n)
        assert utils.str_2_buff(utils.buff_2_str(data)) == data
        assert utils.str_2_buff(utils.buff_2_str(data, False), False) == data


def test_buff_files_keep_their_bytes(utils, tmp_path):
    path = tmp_path / "img" / "ui" / "title.png"
    data = random.Random(8).randbytes(5000)
    for given in [data, bytearray(data), memoryview(data)]:
        assert utils.buff_save(path, given) == 0
        loaded = utils.buff_load(path)
        assert type(loaded) is bytearray and loaded == data


@pytest.mark.parametrize("a, b, depth, match", [
    ({"a": 1, "b": 2}, {"b": 3, "a": 4}, 1, True),
    ({"a": 1}, [], 1, False),
    (None, {}, 1, False),
    ({"a": 1}, {"b": 1}, 0, True),
    ({1: "x", (2, 3): "y"}, {(2, 3): 0, 1: 0}, 1, True),
    (OrderedDict(m={"x": 1}), {"m": {"y": 2}}, 1, True),
    ({"m": {"x": 1}}, {"m": {"y": 2}}, 2, False),
    ({"m": {"x": 1}, "n": {}}, {"m": {"x": 5}, "n": "later maps are not looked at"}, 2, True),
    ({"s": 1, "m": {}}, {"s": 1, "m": "text"}, 1, False),
])
def test_structs_match(utils, a, b, depth, match):
    assert utils.structs_match(a, b, depth) is match


# -- The crash paths, in a child process ------------------------------------------------

def run_child(tmp_path, body):
    code = textwrap.dedent(f"""
        import verbix
        u = verbix.utils
        u.CSH_WAIT = False
        u.log_dir_and_file({str(tmp_path / "logs")!r}, "log.txt")
    """) + textwrap.dedent(body)
    return subprocess.run([sys.executable, "-c", code], capture_output=True, text=True,
                          timeout=120, stdin=subprocess.DEVNULL)


@pytest.mark.parametrize("call, lines", [
    ('u.str_2_buff("aGVsbG8=")',
     ["aGVsbG8=", "ERROR (1): Failed to decompress and decode string: Error -3 while "
      "decompressing data: incorrect header check"]),
    ('u.str_2_buff("aGVsbG8", False)',
     ["aGVsbG8", "ERROR (1): Failed to decompress and decode string: Incorrect padding"]),
    ('u.str_2_buff(b"aGVsbG8=")',
     ["b'aGVsbG8='", "ERROR (1): Failed to decompress and decode string: 'bytes' object has no "
      "attribute 'encode'"]),
    ('u.buff_2_str("text")',
     ["text", "ERROR (1): Failed to compress and encode bytes: a bytes-like object is required, "
      "not 'str'"]),
])
def test_encoder_failures_log_the_input_and_end_the_process(tmp_path, call, lines):
    done = run_child(tmp_path, call)
    assert done.returncode == 1, done.stderr
    out = done.stdout.splitlines()
    assert out[:2] == lines


def test_buff_load_of_a_missing_file_ends_the_process(tmp_path):
    missing = tmp_path / "absent.png"
    done = run_child(tmp_path, f"u.buff_load({str(missing)!r})")
    assert done.returncode == 1
    assert (f"ERROR (1): Failed to load file: [Errno 2] No such file or directory: '{missing}'"
            in done.stdout.splitlines())


def test_buff_save_of_text_ends_the_process_and_leaves_the_file(tmp_path):
    path = tmp_path / "keep.png"
    path.write_bytes(b"old")
    done = run_child(tmp_path, f"u.buff_save({str(path)!r}, 'text')")
    assert done.returncode == 1
    assert ("ERROR (1): Failed to save file: a bytes-like object is required, not 'str'"
            in done.stdout.splitlines())
    assert path.read_bytes() == b"old"
