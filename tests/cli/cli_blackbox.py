#!/usr/bin/env python3
"""Black-box tests of korvanta-cli: runs the built program (natively or under
an emulator such as wine64) on bundled sample images and on damaged images
built here, and checks its output, its JSON (parsed) and its exit codes.

    cli_blackbox.py --cli PROGRAM [--maker PROGRAM] [--emulator EMU] [--samples DIR]
                    [--expect-version X.Y.Z] [unittest names...]
"""
import argparse
import json
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest

CLI = None
MAKER = None
EMULATOR = []
SAMPLES = None
EXPECT_VERSION = None

BOOTLOADER_ID = 0xE3000010
MAINCODE_ID = 0x01FE0101

MODELS = {
    1: ("ALI-3329B", [("bootloader", 0xE3000010), ("maincode", 0x01FE0101),
                      ("CAS_data", 0x08F70100), ("ScriptGUI", 0x0EF10100),
                      ("Radioback", 0x02FD0100), ("defaultdb", 0x03FC0100),
                      ("userdb", 0x04FB0100)]),
    2: ("ALI-3329B DVR CI", [("bootloader", 0xE3000010), ("maincodeB", 0x01FE0101),
                             ("CAS_data", 0x08F70100), ("ScriptGUI", 0x0EF10100),
                             ("logo", 0x02FD0100), ("logo_radio", 0x02FD0300),
                             ("defaultdb", 0x03FC0100), ("userdb", 0x04FB0100)]),
    3: ("ALI-3329C", [("bootloader", 0xE3000010), ("maincodeC", 0x01FE0101),
                      ("CAS_data", 0x08F70100), ("ScriptGUI", 0x0EF10100),
                      ("logo", 0x02FD0100), ("logo_radio", 0x02FD0300),
                      ("defaultdb", 0x03FC0100), ("userdb", 0x04FB0100)]),
}
VARIANT_BYTES = {0x00: 1, ord("B"): 2, ord("C"): 3}
VARIANT_OF_MODEL = {1: 0x00, 2: ord("B"), 3: ord("C")}


# ---------------------------------------------------------------- images --

def header(block_id, extent, variant=0, version=b"", date=b""):
    h = bytearray(64)
    h[0:4] = struct.pack(">I", block_id)
    h[4:8] = b"\x5A\xA5\x00\x01"
    h[8:12] = struct.pack(">I", extent)
    h[24] = variant
    h[32:32 + len(version[:16])] = version[:16]
    h[48:48 + len(date[:16])] = date[:16]
    return bytes(h)


def build_image(size, blocks, fill=0xFF):
    """blocks: (offset, id, extent, variant, version, date); each header is
    followed by a payload pattern that depends on the offset, so a copy taken
    from the wrong place never matches."""
    data = bytearray([fill]) * size
    for offset, block_id, extent, variant, version, date in blocks:
        h = header(block_id, extent, variant, version, date)
        end = min(size, offset + max(extent, 64))
        data[offset:offset + 64] = h[:max(0, min(64, size - offset))]
        for i in range(offset + 64, min(end, offset + extent)):
            data[i] = (i * 7 + offset // 64) & 0xFF
    return bytes(data[:size])


def model_image(model, size=0x40000, omit=(), extra=()):
    """A small well-formed image of `model`: every catalogue block, 0x4000
    bytes each, one after the other."""
    name, catalogue = MODELS[model]
    blocks = []
    offset = 0
    for index, (block_name, block_id) in enumerate(catalogue):
        if block_name not in omit:
            variant = VARIANT_OF_MODEL[model] if block_id == MAINCODE_ID else 0
            blocks.append((offset, block_id, 0x4000, variant,
                           ("V1.%02d.%02d" % (model, index)).encode(),
                           ("2024-0%d-1%d" % (model, index)).encode()))
        offset += 0x4000
    blocks.extend(extra)
    return build_image(size, blocks)


# ------------------------------------------------- independent reference --

def search(data, wanted):
    """The search rule: aligned big-endian words, the last whole word never
    examined, the last match wins."""
    words = len(data) // 4
    found, offset, matches = False, 0, 0
    for k in range(max(0, words - 1)):
        if struct.unpack_from(">I", data, 4 * k)[0] == wanted:
            found, offset, matches = True, 4 * k, matches + 1
    return found, offset, matches


def stamp_text(data, start):
    field = data[start:start + 16]
    nul = field.find(b"\0")
    if nul >= 0:
        field = field[:nul]
    # JSON's \u00XX for every byte outside 0x20-0x7E reads back as that code point.
    return "".join(chr(b) for b in field)


def expected_report(path_shown, data):
    size = len(data)
    report = {"image": path_shown, "size": size, "status": None, "board": None, "blocks": []}
    found, _, _ = search(data, BOOTLOADER_ID)
    if not found:
        report["status"] = "no_bootloader"
        return report
    found, main_offset, _ = search(data, MAINCODE_ID)
    if not found:
        report["status"] = "no_maincode"
        return report
    variant_at = main_offset + 24
    model = VARIANT_BYTES.get(data[variant_at]) if variant_at < size else None
    if model is None:
        report["status"] = "unrecognised_variant"
        return report
    report["status"] = "ok"
    model_name, catalogue = MODELS[model]
    report["board"] = {"model": model, "name": model_name}
    for index, (name, block_id) in enumerate(catalogue):
        found, offset, matches = search(data, block_id)
        entry = {"index": index, "name": name, "id": "0x%08X" % block_id, "found": found,
                 "matches": matches, "offset": None, "extent": None, "past_end": None,
                 "version": None, "date": None}
        if found:
            entry["offset"] = offset
            if offset + 12 <= size:
                extent = struct.unpack_from(">I", data, offset + 8)[0]
                entry["extent"] = extent
                entry["past_end"] = offset + extent > size
            entry["version"] = stamp_text(data, offset + 32)
            entry["date"] = stamp_text(data, offset + 48)
        report["blocks"].append(entry)
    return report


# ---------------------------------------------------------------- driver --

class Run:
    def __init__(self, code, out, err):
        self.code, self.out, self.err = code, out, err

    def __repr__(self):
        return "exit %d\n--- stdout\n%s--- stderr\n%s" % (self.code, self.out, self.err)


def run_cli(args, cwd):
    return run_program(CLI, args, cwd)


def run_program(program, args, cwd):
    env = dict(os.environ)
    if EMULATOR:
        env.setdefault("WINEDEBUG", "-all")
        env.setdefault("WINEDLLOVERRIDES", "mscoree,mshtml=")
    proc = subprocess.run(EMULATOR + [program] + list(args), cwd=cwd, env=env,
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=120)
    norm = lambda b: b.replace(b"\r\n", b"\n").decode("latin-1")
    return Run(proc.returncode, norm(proc.stdout), norm(proc.stderr))


class CliCase(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="korvanta-cli-test-")
        self.addCleanup(shutil.rmtree, self.dir, True)

    def write(self, name, data):
        path = os.path.join(self.dir, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
        return name

    def read(self, name):
        with open(os.path.join(self.dir, name), "rb") as f:
            return f.read()

    def exists(self, name):
        return os.path.exists(os.path.join(self.dir, name))

    def cli(self, *args):
        return run_cli(args, self.dir)

    def info_json(self, name, *extra):
        run = self.cli("info", name, "--json", *extra)
        try:
            report = json.loads(run.out)
        except ValueError as e:
            self.fail("not JSON (%s): %r" % (e, run))
        return run, report

    def sample(self, file_name):
        source = os.path.join(SAMPLES, file_name) if SAMPLES else None
        if not source or not os.path.exists(source):
            self.skipTest("bundled sample %s is not there" % file_name)
        shutil.copyfile(source, os.path.join(self.dir, file_name))
        return file_name

    def make(self, name, *options):
        """An image from the sample-image maker."""
        if not MAKER:
            self.skipTest("no sample-image maker given")
        run = run_program(MAKER, list(options) + [name], self.dir)
        self.assertEqual(run.code, 0, run)
        return name

    def sample_files(self):
        if not SAMPLES or not os.path.isdir(SAMPLES):
            return []
        return sorted(f for f in os.listdir(SAMPLES) if f.endswith(".bin"))


# ------------------------------------------------------------------ info --

def damaged_images():
    """(label, bytes, expected status, expected exit code)."""
    good = model_image(2)
    return [
        ("7 bytes", bytes(7), "no_bootloader", 1),
        ("no bootloader", model_image(2, omit=("bootloader",)), "no_bootloader", 1),
        ("bootloader only at an unaligned offset",
         b"\0\0" + good[:-2], "no_bootloader", 1),
        ("bootloader only in the last whole word",
         bytes(60) + struct.pack(">I", BOOTLOADER_ID), "no_bootloader", 1),
        ("no main code", model_image(2, omit=("maincodeB",)), "no_maincode", 1),
        ("lower-case variant byte",
         build_image(0x1000, [(0, BOOTLOADER_ID, 0x80, 0, b"", b""),
                              (0x100, MAINCODE_ID, 0x80, ord("b"), b"", b"")]),
         "unrecognised_variant", 1),
        ("variant byte 0x01",
         build_image(0x1000, [(0, BOOTLOADER_ID, 0x80, 0, b"", b""),
                              (0x100, MAINCODE_ID, 0x80, 1, b"", b"")]),
         "unrecognised_variant", 1),
        ("variant byte past the end",
         build_image(0x108, [(0, BOOTLOADER_ID, 0x80, 0, b"", b""),
                             (0x100, MAINCODE_ID, 0x80, 0, b"", b"")]),
         "unrecognised_variant", 1),
        ("truncated in the middle", good[:0x12345], "ok", 0),
        ("truncated inside a header", good[:0x8000 + 40], "ok", 0),
        ("extent past the end",
         model_image(3, extra=[(0x3F000, 0x02FD0300, 0x00100000, 0, b"big", b"")]), "ok", 0),
        ("extent 0xFFFFFFFF",
         model_image(1, extra=[(0x3F000, 0x04FB0100, 0xFFFFFFFF, 0, b"huge", b"")]), "ok", 0),
        ("extent field past the end",
         model_image(1, size=0x3F00C)[:0x3F004] + struct.pack(">I", 0x04FB0100) + b"\0\0\0\0"
         + b"\0\0", "ok", 0),
        ("duplicate identifiers",
         model_image(2, extra=[(0x30000, 0x0EF10100, 0x100, 0, b"second", b"copy"),
                               (0x34000, 0x0EF10100, 0x100, 0, b"third", b"copy")]), "ok", 0),
        ("odd stamp bytes",
         build_image(0x2000, [(0, BOOTLOADER_ID, 0x80, 0, b'V"1\\2\x01\xe9\x7f\x1b', b"16 bytes exactly"),
                              (0x100, MAINCODE_ID, 0x80, ord("C"), b"\xff" * 16, b"\n\t")]),
         "ok", 0),
    ]


class InfoTests(CliCase):
    def test_bundled_samples_agree_with_the_reference(self):
        files = self.sample_files()
        if not files:
            self.skipTest("no bundled samples")
        models_seen = set()
        for file_name in files:
            with self.subTest(sample=file_name):
                name = self.sample(file_name)
                run, report = self.info_json(name)
                self.assertEqual(run.code, 0, run)
                self.assertEqual(report, expected_report(name, self.read(name)))
                models_seen.add(report["board"]["model"])
                self.assertTrue(all(b["found"] for b in report["blocks"]), report)
        self.assertEqual(models_seen, {1, 2, 3}, "the samples cover the three variants")

    def test_damaged_images_agree_with_the_reference(self):
        for label, data, status, code in damaged_images():
            with self.subTest(image=label):
                name = self.write("image.bin", data)
                run, report = self.info_json(name)
                self.assertEqual(report["status"], status, run)
                self.assertEqual(run.code, code, run)
                self.assertEqual(report, expected_report(name, data))
                if status != "ok":
                    self.assertIsNone(report["board"])
                    self.assertEqual(report["blocks"], [])
                    self.assertIn(name, run.err)

    def test_maker_images_agree_with_the_reference(self):
        cases = [
            ("B", []), ("DVR", []), ("C", []),
            ("C", ["--omit", "logo_radio", "--omit", "CAS_data"]),
            ("DVR", ["--duplicate", "logo", "--duplicate", "userdb"]),
            ("B", ["--extent", "userdb=0xFFFFFFFF", "--extent", "bootloader=0"]),
            ("C", ["--truncate", "3000000"]),
            ("DVR", ["--truncate", "131100"]),
            ("B", ["--variant-byte", "66"]),
            ("C", ["--variant-byte", "98"]),
            ("B", ["--omit", "maincode"]),
            ("DVR", ["--omit", "bootloader"]),
        ]
        statuses = set()
        for model, options in cases:
            with self.subTest(model=model, options=options):
                name = self.make("made.bin", "--model", model, *options)
                data = self.read(name)
                run, report = self.info_json(name)
                expected = expected_report(name, data)
                self.assertEqual(report, expected)
                self.assertEqual(run.code, 0 if expected["status"] == "ok" else 1, run)
                statuses.add(report["status"])
        self.assertEqual(statuses, {"ok", "no_bootloader", "no_maincode", "unrecognised_variant"})

    def test_answers_spelled_out(self):
        # A few answers spelled out, so a fault shared with the reference shows.
        data = model_image(2, extra=[(0x30000, 0x0EF10100, 0x100, 0, b"second", b"copy"),
                                     (0x3F000, 0x02FD0300, 0x10000, 0, b"big", b"")])
        name = self.write("b.bin", data)
        run, report = self.info_json(name)
        self.assertEqual(run.code, 0, run)
        self.assertEqual(report["board"], {"model": 2, "name": "ALI-3329B DVR CI"})
        blocks = {b["name"]: b for b in report["blocks"]}
        self.assertEqual([b["name"] for b in report["blocks"]],
                         ["bootloader", "maincodeB", "CAS_data", "ScriptGUI", "logo",
                          "logo_radio", "defaultdb", "userdb"])
        self.assertEqual(blocks["ScriptGUI"]["matches"], 2)
        self.assertEqual(blocks["ScriptGUI"]["offset"], 0x30000)
        self.assertEqual(blocks["ScriptGUI"]["version"], "second")
        self.assertEqual(blocks["logo_radio"]["offset"], 0x3F000)
        self.assertEqual(blocks["logo_radio"]["extent"], 0x10000)
        self.assertIs(blocks["logo_radio"]["past_end"], True)
        self.assertEqual(blocks["maincodeB"]["offset"], 0x4000)
        self.assertEqual(blocks["maincodeB"]["version"], "V1.02.01")
        self.assertEqual(blocks["maincodeB"]["date"], "2024-02-11")
        self.assertIs(blocks["userdb"]["past_end"], False)
        self.assertEqual(report["blocks"][1]["id"], "0x01FE0101")

    def test_missing_file(self):
        run, report = self.info_json("no-such-image.bin")
        self.assertEqual(run.code, 1, run)
        self.assertEqual(report, {"image": "no-such-image.bin", "size": 0, "status": "not_opened",
                                  "board": None, "blocks": []})
        self.assertFalse(self.exists("no-such-image.bin"), "a missing image is never created")
        text = self.cli("info", "no-such-image.bin")
        self.assertEqual(text.code, 1, text)
        self.assertIn("cannot be opened", text.out)

    def test_json_escaping_is_ascii_with_u00xx(self):
        data = build_image(0x2000, [(0, BOOTLOADER_ID, 0x80, 0, b'a"b\\c\x01\xe9', b"\x7f"),
                                    (0x100, MAINCODE_ID, 0x80, 0, b"", b"")])
        name = self.write("odd.bin", data)
        run, report = self.info_json(name)
        self.assertEqual(run.code, 0, run)
        raw = run.out
        self.assertTrue(all(0x20 <= ord(c) <= 0x7E or c == "\n" for c in raw), raw)
        self.assertIn(r'"a\"b\\c\u0001\u00E9"'.lower(), raw.lower())
        self.assertIn(r'"\u007F"'.lower(), raw.lower())
        self.assertEqual(report["blocks"][0]["version"], 'a"b\\c\x01\xe9')

    def test_image_path_is_escaped_too(self):
        data = model_image(3)
        name = self.write('we"ird\\name.bin' if os.name != "nt" and not EMULATOR
                          else "we ird#name.bin", data)
        run, report = self.info_json(name)
        self.assertEqual(run.code, 0, run)
        self.assertEqual(report["image"], name)

    def test_text_table(self):
        data = model_image(2, extra=[(0x30000, 0x0EF10100, 0x100, 0, b"second", b"copy"),
                                     (0x3F000, 0x02FD0300, 0x10000, 0, b"big", b"")])
        name = self.write("table.bin", data)
        run = self.cli("info", name)
        self.assertEqual(run.code, 0, run)
        lines = run.out.split("\n")
        self.assertIn("table.bin", lines[0])
        self.assertIn("%d bytes" % len(data), lines[1])
        self.assertIn("ALI-3329B DVR CI", lines[2])
        head = next(i for i, l in enumerate(lines) if l.split()[:2] == ["#", "Name"])
        titles = ["Name", "Id", "Offset", "Extent", "Version", "Date"]
        starts = [lines[head].index(t) for t in titles]
        rows = lines[head + 1:head + 9]
        expected = expected_report(name, data)["blocks"]
        for row, block in zip(rows, expected):
            with self.subTest(row=row):
                self.assertEqual(row.split()[0], str(block["index"]))
                # every value starts exactly under its column title
                self.assertEqual(row[starts[0]:].split()[0], block["name"])
                self.assertEqual(row[starts[1]:].split()[0], block["id"])
                offset = row[starts[2]:].split()[0]
                extent = row[starts[3]:].split()[0]
                if block["found"]:
                    self.assertEqual(offset.rstrip("*"), "0x%08X" % block["offset"])
                    self.assertEqual(offset.endswith("*"), block["matches"] > 1)
                    self.assertEqual(extent.rstrip("!"), "0x%08X" % block["extent"])
                    self.assertEqual(extent.endswith("!"), block["past_end"])
                    self.assertEqual(row[starts[4]:].split()[0], block["version"])
                else:
                    self.assertEqual((offset, extent), ("-", "-"))
        notes = "\n".join(lines[head + 9:])
        self.assertIn("ScriptGUI", notes)
        self.assertIn("2 times", notes)
        self.assertIn("!", notes)

    def test_text_shows_missing_blocks_and_unreadable_extent(self):
        data = model_image(1, omit=("CAS_data",), size=0x3F00C)
        data = data[:0x3F004] + struct.pack(">I", 0x04FB0100) + b"\0\0\0\0" + b"\0\0"
        name = self.write("cut.bin", data)
        run = self.cli("info", name)
        self.assertEqual(run.code, 0, run)
        rows = {l.split()[1]: l.split() for l in run.out.split("\n")
                if len(l.split()) > 2 and l.split()[0].isdigit()}
        self.assertEqual(rows["CAS_data"][3:5], ["-", "-"])
        self.assertEqual(rows["userdb"][3], "0x0003F004*")  # also at 0x18000
        self.assertEqual(rows["userdb"][4], "?")

    def test_rejected_text(self):
        for label, data, status, code in damaged_images():
            if status == "ok":
                continue
            with self.subTest(image=label):
                name = self.write("rej.bin", data)
                run = self.cli("info", name)
                self.assertEqual(run.code, 1, run)
                self.assertIn("rejected", run.out)
                self.assertIn("%d bytes" % len(data), run.out)
                self.assertNotIn("Board:", run.out)

    def test_options_before_and_after_operands(self):
        name = self.write("x.bin", model_image(1))
        expected = expected_report(name, self.read(name))
        for args in (["info", name, "--json"], ["info", "--json", name], ["--json", "info", name]):
            with self.subTest(args=args):
                run = self.cli(*args)
                self.assertEqual(run.code, 0, run)
                self.assertEqual(json.loads(run.out), expected)

    def test_double_dash_ends_options(self):
        name = self.write("-image.bin", model_image(3))
        run = self.cli("info", "--json", "--", name)
        self.assertEqual(run.code, 0, run)
        self.assertEqual(json.loads(run.out)["image"], "-image.bin")


class LargeTests(CliCase):
    """Kept apart: each command reads 4 GiB (of a sparse file)."""

    def test_offsets_beyond_4_gib(self):
        # A sparse file of a little over 4 GiB: sizes and offsets are 64-bit.
        path = os.path.join(self.dir, "big.bin")
        main_at = (1 << 32) + 0x100
        with open(path, "wb") as f:
            f.write(header(BOOTLOADER_ID, 0x80))
            f.seek(main_at)
            f.write(header(MAINCODE_ID, 0x200, ord("B"), b"V9.9", b"2030-01-01") + b"\x5A" * 0x1C0)
            f.truncate(main_at + 0x1000)
        size = os.path.getsize(path)
        run, report = self.info_json("big.bin")
        self.assertEqual(run.code, 0, run)
        self.assertEqual(report["size"], size)
        main = report["blocks"][1]
        self.assertEqual((main["name"], main["offset"], main["extent"], main["version"]),
                         ("maincodeB", main_at, 0x200, "V9.9"))
        run = self.cli("extract", "big.bin", "maincodeB")
        self.assertEqual(run.code, 0, run)
        with open(path, "rb") as f:
            f.seek(main_at)
            self.assertEqual(self.read("maincodeB.bin"), f.read(0x200))


# --------------------------------------------------------------- extract --

class ExtractTests(CliCase):
    def block_bytes(self, data, name):
        block = next(b for b in expected_report("", data)["blocks"] if b["name"] == name)
        return data[block["offset"]:block["offset"] + block["extent"]]

    def test_named_blocks_byte_for_byte(self):
        data = model_image(2)
        name = self.write("img.bin", data)
        run = self.cli("extract", name, "logo", "bootloader", "userdb")
        self.assertEqual(run.code, 0, run)
        for block, file_name in (("logo", "logo.bin"), ("bootloader", "bootloader.abs"),
                                 ("userdb", "userdb.bin")):
            with self.subTest(block=block):
                self.assertEqual(self.read(file_name), self.block_bytes(data, block))
                line = next(l for l in run.out.split("\n") if file_name in l)
                self.assertIn("%d bytes" % 0x4000, line)
        self.assertEqual(len([l for l in run.out.split("\n") if l]), 3)

    def test_output_folder_before_and_after(self):
        data = model_image(3)
        name = self.write("img.bin", data)
        for args in (["extract", name, "maincodeC", "-o", "out1"],
                     ["-o", "out2", "extract", name, "maincodeC"],
                     ["extract", "--output=out3", name, "maincodeC"],
                     ["extract", name, "--output", "out4", "maincodeC"]):
            folder = next(a for a in args if a.startswith("out") or a.startswith("--output="))
            folder = folder.split("=")[-1]
            os.makedirs(os.path.join(self.dir, folder))
            with self.subTest(args=args):
                run = self.cli(*args)
                self.assertEqual(run.code, 0, run)
                self.assertEqual(self.read(os.path.join(folder, "maincodeC.bin")),
                                 self.block_bytes(data, "maincodeC"))
                self.assertIn(folder, run.out)
                self.assertFalse(self.exists("maincodeC.bin"))

    def test_all(self):
        data = model_image(1, omit=("CAS_data",))
        name = self.write("img.bin", data)
        os.makedirs(os.path.join(self.dir, "all"))
        run = self.cli("extract", name, "--all", "-o", "all")
        self.assertEqual(run.code, 0, run)
        written = sorted(os.listdir(os.path.join(self.dir, "all")))
        self.assertEqual(written, sorted(["bootloader.abs", "maincode.bin", "ScriptGUI.bin",
                                          "Radioback.bin", "defaultdb.bin", "userdb.bin"]))
        for file_name in written:
            block = file_name.rsplit(".", 1)[0]
            self.assertEqual(self.read(os.path.join("all", file_name)),
                             self.block_bytes(data, block))
        self.assertIn("CAS_data", run.out)

    def test_unknown_block_name_is_a_usage_error(self):
        name = self.write("img.bin", model_image(1))
        run = self.cli("extract", name, "userdb", "logo")  # "logo" is not a 3329B block
        self.assertEqual(run.code, 2, run)
        self.assertIn("logo", run.err)
        for valid in ("bootloader", "maincode", "CAS_data", "ScriptGUI", "Radioback",
                      "defaultdb", "userdb"):
            self.assertIn(valid, run.err)
        self.assertIn("Usage:", run.err)
        self.assertFalse(self.exists("userdb.bin"), "nothing is written on a usage error")

    def test_block_missing_from_image(self):
        data = model_image(2, omit=("logo_radio",))
        name = self.write("img.bin", data)
        run = self.cli("extract", name, "logo_radio", "defaultdb")
        self.assertEqual(run.code, 3, run)
        self.assertFalse(self.exists("logo_radio.bin"))
        self.assertEqual(self.read("defaultdb.bin"), self.block_bytes(data, "defaultdb"))
        self.assertIn("logo_radio.bin", run.out)

    def test_unwritable_output(self):
        data = model_image(3)
        name = self.write("img.bin", data)
        self.write("plainfile", b"not a folder")
        run = self.cli("extract", name, "logo", "-o", "plainfile")
        self.assertEqual(run.code, 3, run)
        self.assertIn("not written", run.out)
        self.assertIn("logo.bin", run.err)
        self.assertEqual(self.read("plainfile"), b"not a folder")
        run = self.cli("extract", name, "logo", "-o", "missing-folder")
        self.assertEqual(run.code, 3, run)

    def test_some_written_some_not(self):
        data = model_image(3)
        name = self.write("img.bin", data)
        os.makedirs(os.path.join(self.dir, "logo.bin"))  # a folder where the file should go
        run = self.cli("extract", name, "logo", "userdb")
        self.assertEqual(run.code, 3, run)
        self.assertEqual(self.read("userdb.bin"), self.block_bytes(data, "userdb"))
        self.assertTrue(os.path.isdir(os.path.join(self.dir, "logo.bin")))

    def test_cut_at_the_end_is_written_with_a_warning(self):
        data = model_image(3, extra=[(0x3F000, 0x02FD0300, 0x00100000, 0, b"big", b"")])
        name = self.write("img.bin", data)
        run = self.cli("extract", name, "logo_radio")
        self.assertEqual(run.code, 0, run)
        self.assertEqual(self.read("logo_radio.bin"), data[0x3F000:])
        self.assertIn("warning", run.err)
        self.assertIn("%d bytes" % (len(data) - 0x3F000), run.out)

    def test_extent_field_past_the_end_is_not_written(self):
        data = model_image(1, size=0x3F00C)[:0x3F004] + struct.pack(">I", 0x04FB0100) + b"\0" * 6
        name = self.write("img.bin", data)
        run = self.cli("extract", name, "userdb", "defaultdb")
        self.assertEqual(run.code, 3, run)
        self.assertFalse(self.exists("userdb.bin"))
        self.assertIn("userdb.bin", run.err)
        self.assertEqual(self.read("defaultdb.bin"), self.block_bytes(data, "defaultdb"))

    def test_rejected_image_writes_nothing(self):
        for label, data, status, code in damaged_images():
            if status == "ok":
                continue
            with self.subTest(image=label):
                name = self.write("rej.bin", data)
                run = self.cli("extract", name, "--all")
                self.assertEqual(run.code, 1, run)
                self.assertEqual(sorted(os.listdir(self.dir)), ["rej.bin"])
        run = self.cli("extract", "absent.bin", "--all")
        self.assertEqual(run.code, 1, run)
        self.assertFalse(self.exists("absent.bin"))

    def test_twice_and_over_a_longer_file(self):
        data = model_image(2)
        name = self.write("img.bin", data)
        self.write("CAS_data.bin", b"\xAA" * 0x10000)
        for _ in range(2):
            run = self.cli("extract", name, "CAS_data")
            self.assertEqual(run.code, 0, run)
            self.assertEqual(self.read("CAS_data.bin"), self.block_bytes(data, "CAS_data"))

    def test_never_overwrites_the_image(self):
        data = model_image(1)
        name = self.write("userdb.bin", data)
        run = self.cli("extract", name, "userdb", "defaultdb")
        self.assertEqual(run.code, 3, run)
        self.assertEqual(self.read("userdb.bin"), data)
        self.assertEqual(self.read("defaultdb.bin"), self.block_bytes(data, "defaultdb"))

    def test_maker_image_every_block(self):
        name = self.make("dvr.bin", "--model", "DVR", "--extent", "userdb=0x7FFFFFFF")
        data = self.read(name)
        os.makedirs(os.path.join(self.dir, "blocks"))
        run = self.cli("extract", name, "--all", "-o", "blocks")
        self.assertEqual(run.code, 0, run)
        self.assertIn("userdb.bin", run.err)  # cut at the end: a warning, still written
        report = expected_report(name, data)
        self.assertEqual(len(os.listdir(os.path.join(self.dir, "blocks"))), 8)
        for block in report["blocks"]:
            ext = ".abs" if block["name"] == "bootloader" else ".bin"
            with self.subTest(block=block["name"]):
                end = min(len(data), block["offset"] + block["extent"])
                self.assertEqual(self.read(os.path.join("blocks", block["name"] + ext)),
                                 data[block["offset"]:end])

    def test_bundled_sample_all(self):
        files = self.sample_files()
        if not files:
            self.skipTest("no bundled samples")
        name = self.sample(files[0])
        data = self.read(name)
        os.makedirs(os.path.join(self.dir, "s"))
        run = self.cli("extract", "--all", name, "-o", "s")
        self.assertEqual(run.code, 0, run)
        report = expected_report(name, data)
        for block in report["blocks"]:
            ext = ".abs" if block["name"] == "bootloader" else ".bin"
            with self.subTest(block=block["name"]):
                end = min(len(data), block["offset"] + block["extent"])
                self.assertEqual(self.read(os.path.join("s", block["name"] + ext)),
                                 data[block["offset"]:end])


# ----------------------------------------------------------------- usage --

class UsageTests(CliCase):
    def test_help(self):
        for args, marker in ((["--help"], "extract IMAGE --all"), (["-h"], "info IMAGE"),
                             (["info", "--help"], "--json"),
                             (["extract", "--help"], "--all"),
                             (["--help", "extract"], "-o")):
            with self.subTest(args=args):
                run = self.cli(*args)
                self.assertEqual(run.code, 0, run)
                self.assertIn("Usage:", run.out)
                self.assertIn(marker, run.out)
                self.assertEqual(run.err.strip(), "")

    def test_version(self):
        run = self.cli("--version")
        self.assertEqual(run.code, 0, run)
        if EXPECT_VERSION:
            self.assertEqual(run.out, "korvanta-cli %s\n" % EXPECT_VERSION)
        self.assertRegex(run.out, r"^korvanta-cli \d+\.\d+\.\d+\n$")

    def test_usage_errors(self):
        name = self.write("img.bin", model_image(2))
        cases = [
            ([], "no command"),
            (["list", name], "unknown command"),
            (["info"], "needs an IMAGE"),
            (["info", name, name], "one image"),
            (["info", name, "--bogus"], "unknown option"),
            (["info", name, "--all"], "--all"),
            (["info", name, "-o", "x"], "-o"),
            (["extract", name], "block names or --all"),
            (["extract", name, "logo", "--all"], "not both"),
            (["extract", name, "logo", "-o"], "needs a folder"),
            (["extract", name, "logo", "-o", "a", "-o", "b"], "twice"),
            (["extract", name, "logo", "--json"], "--json"),
            (["extract", "-x", name, "logo"], "unknown option"),
        ]
        for args, message in cases:
            with self.subTest(args=args):
                run = self.cli(*args)
                self.assertEqual(run.code, 2, run)
                self.assertIn(message, run.err)
                self.assertIn("Usage:", run.err)
                self.assertEqual(run.out, "")
        self.assertEqual(sorted(os.listdir(self.dir)), ["img.bin"])


def main():
    global CLI, MAKER, EMULATOR, SAMPLES, EXPECT_VERSION
    parser = argparse.ArgumentParser()
    parser.add_argument("--cli", required=True)
    parser.add_argument("--maker", default="")
    parser.add_argument("--emulator", default="")
    parser.add_argument("--samples", default="")
    parser.add_argument("--expect-version", default="")
    args, rest = parser.parse_known_args()
    CLI = os.path.abspath(args.cli)
    MAKER = os.path.abspath(args.maker) if args.maker else None
    EMULATOR = [e for e in args.emulator.split("|") if e]
    SAMPLES = args.samples or None
    EXPECT_VERSION = args.expect_version or None
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()
