#!/usr/bin/env python3
"""Writes the stand-in skin: one image for every "Skin" row of catalogue.tsv.

usage: make_skin.py <payload-folder> <catalogue.tsv>

Each row's `source` (column 8, relative to the payload folder) gets:
  *.png  a PNG (8-bit RGB or RGBA), its size, colours and drawing derived from the path
  *.bmp  a 188 x 29, 24-bit BMP with its BITMAPFILEHEADER
  *.ico  an icon of eight 32-bit images: 256 (PNG-compressed), 16, 32, 128, 96, 64, 48, 32

The output depends on the catalogue and this script only: the same input gives the same files
(byte for byte with the same zlib).
Standard library only.
"""

import hashlib
import math
import operator
import os
import re
import struct
import sys
import zlib

from catalogue import read_rows

ICON_SIZES = (256, 16, 32, 128, 96, 64, 48, 32)
BMP_SIZE = (188, 29)
NOISE_TILE_ROWS = 61
NOISE_GRAIN = (4, 2)

# Theme colour per skin folder, as a real skin tints each of its sections.
THEMES = {
    "dt": (40, 110, 190),
    "force": (190, 50, 40),
    "gaming": (120, 40, 170),
    "hm": (30, 150, 110),
}
DEFAULT_THEME = (50, 90, 150)

# (pattern on the lower-case source, width, height, style). First match wins.
SHAPES = [
    (r"cover/cover\.png$", 520, 340, "photo"),
    (r"popupwindow/bg03_[ab]\.png$", 420, 300, "photo"),
    (r"pop[-_]up-window", 420, 280, "panel"),
    (r"warning_bg01\.png$", 400, 220, "panel"),
    (r"background/[^/]+/logo\.png$", 260, 72, "logo"),
    (r"mask_(left|right)\.png$", 36, 480, "mask"),
    (r"titlebar_01\.png$", 760, 36, "bar"),
    (r"titlebar_right_line01\.png$", 4, 36, "bar"),
    (r"button/(close|small)_", 28, 24, "button"),
    (r"animation/\d+\.png$", 96, 96, "spinner"),
    (r"textbox_browsebutton_", 76, 26, "button"),
    (r"drop-down-menu", 188, 29, "button"),
    (r"groupbutton/", 150, 120, "icon"),
    (r"loading/loading_(base|light)\d+\.png$", 160, 160, "spinner"),
    (r"loadingbar_", 320, 14, "bar"),
    (r"/button1?_(d|n|o|x|un)\.png$", 120, 34, "button"),
    (r"bar_button_n\.png$", 24, 24, "button"),
    (r"popupwindow/line_\d+\.png$", 400, 2, "bar"),
    (r"scroll4_bar_n-\d+\.png$", 12, 10, "bar"),
    (r"scroll4_(up|down)_", 14, 14, "button"),
    (r"scroll4_dynamic-\d+\.png$", 12, 40, "bar"),
    (r"bgs_(left|right)_(top|down)\.png$", 16, 16, "shadow"),
    (r"bgs_(left|right)_middle\d*\.png$", 16, 200, "shadow"),
    (r"bgs_(top|down)_middle\.png$", 400, 16, "shadow"),
]
DEFAULT_SHAPE = (64, 32, "button")

# Button states by file-name suffix: brightness change and whether the image is greyed.
STATES = {"n": (0, False), "o": (30, False), "d": (-35, False), "x": (0, True),
          "un": (0, True), "sn": (15, False), "so": (45, False)}


# SHIFT_TABLES[b] maps a texture value v (128 = neutral) to the pixel value v - 128 + b, clamped;
# NOISE_TABLES[n] scales a random byte to 0..n-1.
SHIFT_TABLES = {b: bytes(min(max(v - 128 + b, 0), 255) for v in range(256))
                for b in range(-128, 384)}
NOISE_TABLES = {n: bytes((v * n) >> 8 for v in range(256)) for n in range(0, 64)}


def digest(key, size):
    """Deterministic pseudo-random bytes for a key."""
    return hashlib.shake_256(key.encode("utf-8")).digest(size)


def clamp(v):
    return 0 if v < 0 else 255 if v > 255 else v


class Canvas:
    """An RGBA or RGB image held as one bytearray per row."""

    def __init__(self, width, height, alpha):
        self.width = width
        self.height = height
        self.channels = 4 if alpha else 3
        self.rows = [bytearray(width * self.channels) for _ in range(height)]

    def fill_textured(self, key, top, bottom, ramp, noise):
        """Vertical gradient top->bottom, a horizontal brightness ramp and a noise texture.

        Works on whole rows with bytes.translate and map so that large images stay fast."""
        w, h = self.width, self.height
        tile_rows = min(h, NOISE_TILE_ROWS)
        raw = digest(key + "/noise", 3 * tile_rows * w)
        scale = NOISE_TABLES[noise]
        ramp_row = bytes(128 + (x * ramp) // max(w, 1) - ramp // 2 for x in range(w))
        tiles = []
        for c in range(3):
            tile = []
            for ty in range(tile_rows):
                # The grain is NOISE_GRAIN[0] pixels wide and NOISE_GRAIN[1] rows high.
                cells = raw[(c * tile_rows + ty) * w:][:w].translate(scale)
                grain = bytearray(w)
                for k in range(NOISE_GRAIN[0]):
                    grain[k::NOISE_GRAIN[0]] = cells[:len(range(k, w, NOISE_GRAIN[0]))]
                tile.append(bytes(map(operator.add, ramp_row, grain)))
            tiles.append(tile)
        for y in range(h):
            row = self.rows[y]
            texture = (y // NOISE_GRAIN[1]) % tile_rows
            for c in range(3):
                base = top[c] + ((bottom[c] - top[c]) * y) // max(h - 1, 1) - noise // 2
                row[c::self.channels] = tiles[c][texture].translate(SHIFT_TABLES[base])
            if self.channels == 4:
                row[3::4] = b"\xff" * w

    def put(self, x, y, rgba):
        if 0 <= x < self.width and 0 <= y < self.height:
            i = x * self.channels
            self.rows[y][i:i + self.channels] = bytes(rgba[:self.channels])

    def blend(self, x, y, rgb, coverage):
        """Paints rgb over the pixel with the given coverage (0..1)."""
        if coverage <= 0 or not (0 <= x < self.width and 0 <= y < self.height):
            return
        row, i = self.rows[y], x * self.channels
        for c in range(3):
            row[i + c] = clamp(int(row[i + c] + (rgb[c] - row[i + c]) * coverage))
        if self.channels == 4:
            row[i + 3] = clamp(int(row[i + 3] + (255 - row[i + 3]) * coverage))

    def frame(self, rgb):
        """A one-pixel border."""
        px = bytes(rgb[:3]) + (b"\xff" if self.channels == 4 else b"")
        self.rows[0][:] = px * self.width
        self.rows[-1][:] = px * self.width
        for row in self.rows:
            row[:self.channels] = px
            row[-self.channels:] = px

    def round_corners(self, radius):
        """Makes the corners outside a circle of the radius transparent (RGBA only)."""
        if self.channels != 4:
            return
        r = min(radius, self.width // 2, self.height // 2)
        for dy in range(r):
            for dx in range(r):
                ox, oy = r - dx - 0.5, r - dy - 0.5
                if ox * ox + oy * oy <= r * r:
                    continue
                for x, y in ((dx, dy), (self.width - 1 - dx, dy), (dx, self.height - 1 - dy),
                             (self.width - 1 - dx, self.height - 1 - dy)):
                    self.rows[y][x * 4 + 3] = 0

    def fade_alpha(self, horizontal, from_edge):
        """A soft shadow: alpha falls off across the image (RGBA only)."""
        def level(i, n):
            t = i / max(n - 1, 1)
            return clamp(int(40 + 160 * (1 - t if from_edge else t)))
        if horizontal:
            alpha = bytes(level(x, self.width) for x in range(self.width))
            for row in self.rows:
                row[3::4] = alpha
            return
        for y, row in enumerate(self.rows):
            row[3::4] = bytes([level(y, self.height)]) * self.width

    def ring(self, cx, cy, radius, thickness, rgb, start=0.0, sweep=1.0):
        """An antialiased ring (or an arc of it: start and sweep in turns)."""
        r_out, r_in = radius + thickness / 2, radius - thickness / 2
        for y in range(int(cy - r_out - 1), int(cy + r_out + 2)):
            for x in range(int(cx - r_out - 1), int(cx + r_out + 2)):
                dx, dy = x + 0.5 - cx, y + 0.5 - cy
                d = math.hypot(dx, dy)
                cover = min(d - r_in + 0.5, r_out - d + 0.5, 1.0)
                if cover <= 0:
                    continue
                if sweep < 1.0:
                    turn = (math.atan2(dy, dx) / (2 * math.pi) - start) % 1.0
                    if turn > sweep:
                        continue
                    cover *= 0.35 + 0.65 * (turn / sweep)
                self.blend(x, y, rgb, cover)

    def disc(self, cx, cy, radius, rgb):
        for y in range(int(cy - radius - 1), int(cy + radius + 2)):
            for x in range(int(cx - radius - 1), int(cx + radius + 2)):
                d = math.hypot(x + 0.5 - cx, y + 0.5 - cy)
                self.blend(x, y, rgb, min(radius - d + 0.5, 1.0))

    def rect(self, x0, y0, x1, y1, rgb):
        for y in range(max(y0, 0), min(y1, self.height)):
            for x in range(max(x0, 0), min(x1, self.width)):
                self.put(x, y, tuple(rgb[:3]) + (255,))


def shade(rgb, delta):
    return tuple(clamp(c + delta) for c in rgb)


def grey(rgb):
    g = (rgb[0] * 30 + rgb[1] * 59 + rgb[2] * 11) // 100
    return (g, g, g)


def theme_of(source):
    for part in source.lower().split("/"):
        if part in THEMES:
            return THEMES[part]
    # Folders without a theme of their own get a tint derived from their name.
    folder = source.rsplit("/", 1)[0]
    h = digest(folder + "/tint", 3)
    return tuple(clamp(DEFAULT_THEME[c] + h[c] % 61 - 30) for c in range(3))


def state_of(source):
    m = re.search(r"_(n|o|d|x|un|sn|so)\.(png|bmp)$", source.lower())
    return STATES[m.group(1)] if m else (0, False)


def shape_of(source):
    low = source.lower()
    for pattern, w, h, style in SHAPES:
        if re.search(pattern, low):
            return w, h, style
    return DEFAULT_SHAPE


def frame_index(source):
    m = re.search(r"(\d+)\.png$", source)
    return int(m.group(1)) if m else 0


def draw(source):
    """The canvas for one skin image."""
    w, h, style = shape_of(source)
    key = source
    colour = theme_of(source)
    delta, disabled = state_of(source)
    colour = shade(colour, delta)
    if disabled:
        colour = grey(colour)
    # A little per-file variation, as no two images of a real skin share exact colours.
    jitter = digest(key + "/jitter", 3)
    colour = tuple(clamp(colour[c] + jitter[c] % 13 - 6) for c in range(3))

    if style == "photo":
        canvas = Canvas(w, h, alpha=False)
        canvas.fill_textured(key, shade(colour, 60), shade(colour, -70), ramp=50, noise=10)
        seeds = digest(key + "/discs", 12)
        for i in range(4):
            canvas.disc(seeds[3 * i] * w // 256, seeds[3 * i + 1] * h // 256,
                        12 + seeds[3 * i + 2] % 40, shade(colour, 90 - 30 * i))
        return canvas
    if style == "panel":
        canvas = Canvas(w, h, alpha=False)
        canvas.fill_textured(key, (236, 238, 242), (206, 210, 218), ramp=10, noise=2)
        canvas.rect(1, 1, w - 1, 30, shade(colour, -10))
        canvas.frame(shade(colour, -50))
        return canvas
    if style == "logo":
        canvas = Canvas(w, h, alpha=True)
        canvas.fill_textured(key, shade(colour, 40), shade(colour, -40), ramp=60, noise=4)
        canvas.ring(h / 2, h / 2, h / 2 - 10, 7, (250, 250, 250))
        canvas.rect(h + 4, h // 2 - 4, w - 14, h // 2 + 4, (245, 245, 245))
        canvas.round_corners(12)
        return canvas
    if style == "mask":
        canvas = Canvas(w, h, alpha=True)
        canvas.fill_textured(key, shade(colour, -20), shade(colour, -90), ramp=-40, noise=2)
        canvas.fade_alpha(horizontal=True, from_edge="left" in source)
        return canvas
    if style == "shadow":
        canvas = Canvas(w, h, alpha=True)
        canvas.fill_textured(key, (20, 20, 24), (0, 0, 0), ramp=0, noise=2)
        canvas.fade_alpha(horizontal=w <= h, from_edge="left" in source or "top" in source)
        return canvas
    if style == "bar":
        canvas = Canvas(w, h, alpha=True)
        canvas.fill_textured(key, shade(colour, 50), shade(colour, -30), ramp=30, noise=3)
        return canvas
    if style == "spinner":
        canvas = Canvas(w, h, alpha=True)
        canvas.fill_textured(key, shade(colour, -60), shade(colour, -90), ramp=0, noise=3)
        step = frame_index(source)
        canvas.ring(w / 2, h / 2, w * 0.33, max(w // 12, 3), shade(colour, 110),
                    start=(step % 12) / 12.0, sweep=0.7)
        canvas.round_corners(w // 6)
        return canvas
    if style == "icon":
        canvas = Canvas(w, h, alpha=True)
        canvas.fill_textured(key, shade(colour, 30), shade(colour, -30), ramp=20, noise=2)
        canvas.disc(w / 2, h * 0.42, h * 0.24, shade(colour, 120))
        glyph = digest(key.rsplit("_", 1)[0] + "/glyph", 4)
        canvas.ring(w / 2, h * 0.42, h * (0.10 + glyph[0] % 6 / 100), 4, shade(colour, -60),
                    start=glyph[1] / 256, sweep=0.55 + glyph[2] % 40 / 100)
        canvas.rect(w // 4, int(h * 0.78), w * 3 // 4, int(h * 0.78) + 4, (250, 250, 250))
        canvas.frame(shade(colour, -60))
        canvas.round_corners(8)
        return canvas
    canvas = Canvas(w, h, alpha=True)
    canvas.fill_textured(key, shade(colour, 45), shade(colour, -25), ramp=0, noise=4)
    canvas.frame(shade(colour, -70))
    canvas.round_corners(min(4, h // 4))
    return canvas


def png_chunk(kind, data):
    return (struct.pack(">I", len(data)) + kind + data +
            struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))


def encode_png(canvas):
    colour_type = 6 if canvas.channels == 4 else 2
    ihdr = struct.pack(">IIBBBBB", canvas.width, canvas.height, 8, colour_type, 0, 0, 0)
    raw = b"".join(b"\x00" + bytes(row) for row in canvas.rows)
    return (b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", ihdr) +
            png_chunk(b"IDAT", zlib.compress(raw, 9)) + png_chunk(b"IEND", b""))


def encode_bmp(canvas):
    """24-bit bottom-up BMP; each row padded to a multiple of 4 bytes."""
    w, h = canvas.width, canvas.height
    stride = (w * 3 + 3) & ~3
    pixels = bytearray()
    for row in reversed(canvas.rows):
        bgr = bytearray(w * 3)
        for c in range(3):
            bgr[2 - c::3] = row[c::canvas.channels]
        pixels += bgr + b"\x00" * (stride - w * 3)
    offset = 14 + 40
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    return header + info + bytes(pixels)


def icon_canvas(size):
    canvas = Canvas(size, size, alpha=True)
    canvas.fill_textured("icon/%d" % size, (70, 150, 230), (20, 60, 140), ramp=30, noise=0)
    canvas.ring(size / 2, size / 2, size * 0.3, max(size / 9, 1.5), (250, 250, 250))
    canvas.disc(size / 2, size / 2, size * 0.1, (250, 200, 60))
    canvas.round_corners(max(size // 6, 2))
    return canvas


def encode_dib_icon(canvas):
    """An ICO image as a DIB: BITMAPINFOHEADER of double height, BGRA XOR rows, AND mask."""
    size = canvas.width
    xor = bytearray()
    mask = bytearray()
    mask_stride = ((size + 31) // 32) * 4
    for row in reversed(canvas.rows):
        bgra = bytearray(size * 4)
        bgra[0::4], bgra[1::4], bgra[2::4], bgra[3::4] = row[2::4], row[1::4], row[0::4], row[3::4]
        xor += bgra
        bits = bytearray(mask_stride)
        for x in range(size):
            if row[x * 4 + 3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(mask),
                       0, 0, 0, 0)
    return info + bytes(xor) + bytes(mask)


def encode_ico():
    images = []
    for size in ICON_SIZES:
        canvas = icon_canvas(size)
        images.append((size, encode_png(canvas) if size >= 256 else encode_dib_icon(canvas)))
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, data in images:
        dim = 0 if size >= 256 else size
        out += struct.pack("<BBBBHHII", dim, dim, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for _, data in images:
        out += data
    return bytes(out)


def skin_file(source):
    ext = os.path.splitext(source)[1].lower()
    if ext == ".png":
        return encode_png(draw(source))
    if ext == ".bmp":
        # The BMP twins of the drop-down images: same drawing, flat 24-bit.
        canvas = draw(source[:-4] + ".png")
        if (canvas.width, canvas.height) != BMP_SIZE:
            raise ValueError("%s: BMP stand-ins are %dx%d" % (source, *BMP_SIZE))
        return encode_bmp(canvas)
    if ext == ".ico":
        return encode_ico()
    raise ValueError("%s: no stand-in for a %s skin file" % (source, ext or "extension-less"))


def main(argv):
    if len(argv) != 3:
        sys.stderr.write("usage: make_skin.py <payload-folder> <catalogue.tsv>\n")
        return 2
    out_dir, catalogue = argv[1], argv[2]
    try:
        done = set()
        for source in (row.source for row in read_rows(catalogue) if row.group == "Skin"):
            if source in done:
                continue
            done.add(source)
            data = skin_file(source)
            path = os.path.join(out_dir, *source.split("/"))
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "wb") as f:
                f.write(data)
    except (OSError, ValueError) as e:
        sys.stderr.write("make_skin: %s\n" % e)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
