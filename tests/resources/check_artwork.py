#!/usr/bin/env python3
"""Checks the committed artwork in res/ against what the resource script and
the window code rely on, and that tools/make_artwork.py reproduces it.

    python3 tests/resources/check_artwork.py --source <repository root>
"""

import argparse
import os
import struct
import subprocess
import sys
import tempfile
import unittest

SOURCE = None   # set from the command line

BANNER_W, BANNER_H = 270, 104
FACE = (240, 240, 240)
ART_FILES = ("banner.bmp", "about.bmp", "korvanta.ico")

# (size, bits per pixel) of every icon image, in directory order.
ICON_ENTRIES = ([(s, 4) for s in (16, 24, 32, 48)]
                + [(s, 8) for s in (16, 24, 32, 48)]
                + [(s, 32) for s in (16, 24, 32, 48, 64, 72, 96, 128)])


def read(name):
    with open(os.path.join(SOURCE, "res", name), "rb") as f:
        return f.read()


def parse_bmp(data):
    """Returns a dict with the header fields and rows of (r, g, b), top row
    first. Fails loudly on anything but a bottom-up 24-bit BI_RGB file."""
    if len(data) < 54:
        raise ValueError("shorter than the BMP headers")
    magic, file_size, _r1, _r2, offset = struct.unpack_from("<2sIHHI", data, 0)
    (info_size, width, height, planes, bits, compression, image_size,
     _xppm, _yppm, used, _important) = struct.unpack_from("<IiiHHIIiiII", data, 14)
    header = {"magic": magic, "file_size": file_size, "offset": offset,
              "info_size": info_size, "width": width, "height": height,
              "planes": planes, "bits": bits, "compression": compression,
              "image_size": image_size, "colours_used": used}
    stride = (abs(width) * 3 + 3) & ~3
    rows = []
    if bits == 24 and width > 0 and height > 0:
        if offset + stride * height > len(data):
            raise ValueError("pixel data runs past the end of the file")
        for y in range(height):
            start = offset + (height - 1 - y) * stride
            row = data[start:start + width * 3]
            rows.append([(row[i + 2], row[i + 1], row[i]) for i in range(0, len(row), 3)])
    header["stride"] = stride
    return header, rows


def parse_ico(data):
    reserved, kind, count = struct.unpack_from("<HHH", data, 0)
    entries = []
    for i in range(count):
        (w, h, colours, res, planes, bits, length,
         offset) = struct.unpack_from("<BBBBHHII", data, 6 + 16 * i)
        entries.append({"width": w or 256, "height": h or 256, "colours": colours,
                        "reserved": res, "planes": planes, "bits": bits,
                        "length": length, "offset": offset})
    return reserved, kind, entries


def decode_dib(blob, size, bits):
    """Decodes one icon image: returns (rgba rows top first, mask rows top
    first with True = transparent, palette or None)."""
    (info_size, width, height, planes, bitcount, compression, _image_size,
     _x, _y, used, _important) = struct.unpack_from("<IiiHHIIiiII", blob, 0)
    assert info_size == 40, "not a BITMAPINFOHEADER"
    assert (width, height) == (size, 2 * size), "DIB is %dx%d" % (width, height)
    assert planes == 1 and bitcount == bits and compression == 0
    pos = 40
    palette = None
    if bits <= 8:
        n = used or (1 << bits)
        palette = [tuple(blob[pos + 4 * i + 2 - c] for c in range(3)) for i in range(n)]
        pos += 4 * n
    stride = ((size * bits + 31) // 32) * 4
    mask_stride = ((size + 31) // 32) * 4
    assert len(blob) == pos + stride * size + mask_stride * size, "image size mismatch"
    pixels = []
    for y in range(size):
        row = blob[pos + (size - 1 - y) * stride: pos + (size - y) * stride]
        out = []
        for x in range(size):
            if bits == 32:
                b, g, r, a = row[4 * x:4 * x + 4]
                out.append((r, g, b, a))
            elif bits == 8:
                out.append(palette[row[x]] + (255,))
            else:
                index = (row[x // 2] >> (4 if x % 2 == 0 else 0)) & 0x0F
                out.append(palette[index] + (255,))
        pixels.append(out)
    mask_pos = pos + stride * size
    mask = []
    for y in range(size):
        row = blob[mask_pos + (size - 1 - y) * mask_stride: mask_pos + (size - y) * mask_stride]
        mask.append([bool(row[x // 8] & (0x80 >> (x % 8))) for x in range(size)])
    return pixels, mask, palette


class BitmapTests(unittest.TestCase):
    def test_headers(self):
        for name in ("banner.bmp", "about.bmp"):
            with self.subTest(file=name):
                data = read(name)
                header, rows = parse_bmp(data)
                self.assertEqual(header["magic"], b"BM")
                self.assertEqual(header["file_size"], len(data))
                self.assertEqual(header["info_size"], 40, "BITMAPINFOHEADER expected")
                self.assertEqual((header["width"], header["height"]), (BANNER_W, BANNER_H),
                                 "positive height: bottom-up rows")
                self.assertEqual(header["planes"], 1)
                self.assertEqual(header["bits"], 24)
                self.assertEqual(header["compression"], 0, "BI_RGB expected")
                self.assertEqual(header["colours_used"], 0)
                self.assertEqual(header["offset"], 54)
                self.assertEqual(len(data), 54 + header["stride"] * BANNER_H)
                self.assertEqual(len(rows), BANNER_H)

    def test_banner_background_is_black_at_the_edges(self):
        _, rows = parse_bmp(read("banner.bmp"))
        # corners and the whole outer frame: the face must show unchanged there
        frame = [(x, y) for x in range(BANNER_W) for y in (0, 1, BANNER_H - 2, BANNER_H - 1)]
        frame += [(x, y) for y in range(BANNER_H) for x in (0, 1, BANNER_W - 2, BANNER_W - 1)]
        for x, y in frame:
            if rows[y][x] != (0, 0, 0):
                self.fail("banner pixel %d,%d is %r, not black" % (x, y, rows[y][x]))

    def test_banner_is_a_picture_designed_for_the_face(self):
        _, rows = parse_bmp(read("banner.bmp"))
        pixels = [p for row in rows for p in row]
        drawn = [p for p in pixels if p != (0, 0, 0)]
        self.assertGreater(len(drawn), len(pixels) // 10, "banner is nearly empty")
        # seen on the face, the lettering must come out dark: XOR with the
        # face gives many near-black pixels and a range of tones (edges)
        on_face = [tuple(c ^ f for c, f in zip(p, FACE)) for p in pixels]
        dark = [p for p in on_face if sum(p) < 3 * 80]
        self.assertGreater(len(dark), len(pixels) // 20, "too little dark ink on the face")
        tones = {sum(p) // 3 for p in on_face}
        self.assertGreater(len(tones), 64, "no anti-aliased edges")

    def test_about_is_the_exact_inverse_of_the_banner(self):
        banner, about = read("banner.bmp"), read("about.bmp")
        self.assertEqual(banner[:54], about[:54], "headers differ")
        header, banner_rows = parse_bmp(banner)
        _, about_rows = parse_bmp(about)
        for y in range(BANNER_H):
            for x in range(BANNER_W):
                expected = tuple(255 - c for c in banner_rows[y][x])
                if about_rows[y][x] != expected:
                    self.fail("about pixel %d,%d is %r, expected %r"
                              % (x, y, about_rows[y][x], expected))
        # row padding stays zero in both
        stride = header["stride"]
        for data in (banner, about):
            for y in range(BANNER_H):
                pad = data[54 + y * stride + BANNER_W * 3:54 + (y + 1) * stride]
                self.assertEqual(pad, b"\0" * len(pad))


class IconTests(unittest.TestCase):
    def setUp(self):
        self.data = read("korvanta.ico")
        self.reserved, self.kind, self.entries = parse_ico(self.data)

    def test_directory(self):
        self.assertEqual((self.reserved, self.kind), (0, 1), "not an icon file")
        self.assertEqual([(e["width"], e["bits"]) for e in self.entries], ICON_ENTRIES)
        for e in self.entries:
            with self.subTest(size=e["width"], bits=e["bits"]):
                self.assertEqual(e["height"], e["width"])
                self.assertEqual(e["colours"], 16 if e["bits"] == 4 else 0)
                self.assertEqual((e["reserved"], e["planes"]), (0, 1))

    def test_images_lie_inside_the_file_without_overlap(self):
        spans = sorted((e["offset"], e["offset"] + e["length"]) for e in self.entries)
        self.assertGreaterEqual(spans[0][0], 6 + 16 * len(self.entries))
        for (_a, end), (start, _b) in zip(spans, spans[1:]):
            self.assertLessEqual(end, start, "icon images overlap")
        self.assertEqual(spans[-1][1], len(self.data), "trailing or missing bytes")

    def test_images_are_dibs_with_consistent_masks(self):
        for e in self.entries:
            size, bits = e["width"], e["bits"]
            with self.subTest(size=size, bits=bits):
                blob = self.data[e["offset"]:e["offset"] + e["length"]]
                self.assertNotEqual(blob[:8], b"\x89PNG\r\n\x1a\n", "PNG entry")
                pixels, mask, palette = decode_dib(blob, size, bits)
                if palette is not None:
                    self.assertEqual(len(palette), 1 << bits)
                opaque = 0
                for y in range(size):
                    for x in range(size):
                        r, g, b, a = pixels[y][x]
                        if bits == 32:
                            # the mask and the alpha channel agree
                            self.assertEqual(mask[y][x], a == 0, "mask/alpha at %d,%d" % (x, y))
                        if mask[y][x]:
                            # transparent pixels are black so the screen shows through
                            self.assertEqual((r, g, b), (0, 0, 0), "pixel %d,%d" % (x, y))
                        else:
                            opaque += 1
                self.assertTrue(mask[0][0] and mask[size - 1][size - 1],
                                "corners should be transparent")
                self.assertFalse(mask[size // 2][size // 2], "centre should be opaque")
                self.assertGreater(opaque, size * size // 2)
                # a light monogram on a dark body: both tones present
                lum = [sum(p[:3]) / 3 for row, mrow in zip(pixels, mask)
                       for p, m in zip(row, mrow) if not m]
                self.assertLess(min(lum), 80)
                self.assertGreater(max(lum), 200)


    def test_palette_images_match_the_true_colour_image_of_their_size(self):
        # catches scrambled indices, nibble order or a wrong palette, which
        # the directory and mask checks would let through
        images = {}
        for e in self.entries:
            blob = self.data[e["offset"]:e["offset"] + e["length"]]
            images[(e["width"], e["bits"])] = decode_dib(blob, e["width"], e["bits"])
        for size, bits in ICON_ENTRIES:
            if bits == 32:
                continue
            with self.subTest(size=size, bits=bits):
                ref_pixels, ref_mask, _ = images[(size, 32)]
                pixels, mask, _ = images[(size, bits)]
                same_mask = sum(m == r for mrow, rrow in zip(mask, ref_mask)
                                for m, r in zip(mrow, rrow))
                self.assertGreaterEqual(same_mask, size * size * 95 // 100)
                diffs = [sum(abs(a - b) for a, b in zip(p[:3], q[:3])) / 3.0
                         for prow, qrow, mrow, rrow in zip(pixels, ref_pixels, mask, ref_mask)
                         for p, q, m, r in zip(prow, qrow, mrow, rrow) if not m and not r]
                self.assertLess(sum(diffs) / len(diffs), 24.0)


class GeneratorTests(unittest.TestCase):
    def test_generator_reproduces_the_committed_files(self):
        script = os.path.join(SOURCE, "tools", "make_artwork.py")
        with tempfile.TemporaryDirectory() as out:
            result = subprocess.run([sys.executable, script, "--out", out],
                                    capture_output=True, text=True)
            self.assertEqual(result.returncode, 0, result.stderr)
            for name in ART_FILES:
                with self.subTest(file=name):
                    with open(os.path.join(out, name), "rb") as f:
                        fresh = f.read()
                    self.assertTrue(fresh == read(name),
                                    "%s differs from what tools/make_artwork.py draws; "
                                    "run it and commit the result" % name)


def main():
    global SOURCE
    parser = argparse.ArgumentParser()
    parser.add_argument("--source", required=True, help="repository root")
    args, rest = parser.parse_known_args()
    SOURCE = os.path.abspath(args.source)
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()
