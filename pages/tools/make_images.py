#!/usr/bin/env python3
"""Draws the page images (a PNG logo, an animated GIF spinner and a JPEG picture of the
device) with nothing but the standard library, and writes them into pages/img/.

The images are committed; run this only to change them:  python3 pages/tools/make_images.py
"""
import math
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "..", "img")

NAVY = (22, 48, 86)
TEAL = (0, 150, 160)
AMBER = (245, 166, 35)
WHITE = (255, 255, 255)


def mix(a, b, t):
    return tuple(round(x + (y - x) * t) for x, y in zip(a, b))


def coverage(d):
    """Anti-aliasing: how much of a pixel lies inside an edge at signed distance d."""
    return max(0.0, min(1.0, 0.5 - d))


def rounded_box(x, y, x0, y0, x1, y1, r):
    """Signed distance from (x, y) to a rounded rectangle."""
    cx, cy = min(max(x, x0 + r), x1 - r), min(max(y, y0 + r), y1 - r)
    inside = x0 + r <= x <= x1 - r or y0 + r <= y <= y1 - r
    if inside and x0 <= x <= x1 and y0 <= y <= y1:
        return -min(x - x0, x1 - x, y - y0, y1 - y)
    return math.hypot(x - cx, y - cy) - r


# --- PNG ---------------------------------------------------------------------------------

def png_chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def write_png(path, width, height, pixels):
    """pixels: rows of (r, g, b, a) tuples."""
    raw = b"".join(b"\x00" + bytes(v for px in row for v in px) for row in pixels)
    data = (b"\x89PNG\r\n\x1a\n"
            + png_chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
            + png_chunk(b"IDAT", zlib.compress(raw, 9))
            + png_chunk(b"IEND", b""))
    with open(path, "wb") as f:
        f.write(data)


def logo_pixel(x, y, size):
    """A navy tile with four teal tally marks struck through by an amber bar."""
    px, py = x + 0.5, y + 0.5
    tile = coverage(rounded_box(px, py, 1, 1, size - 1, size - 1, size * 0.2))
    colour = mix(NAVY, (40, 80, 130), py / size)
    s = size / 64.0
    for i in range(4):
        mx = (18 + i * 9) * s
        mark = coverage(rounded_box(px, py, mx - 2.5 * s, 16 * s, mx + 2.5 * s, 48 * s, 2.5 * s))
        colour = mix(colour, TEAL, mark)
    # The strike: a slanted bar across the four marks.
    t = ((px - 12 * s) * 0.82 + (py - 44 * s) * -0.57)
    d = abs((px - 12 * s) * 0.57 + (py - 44 * s) * 0.82) - 2.6 * s
    along = max(-t, t - 44 * s)
    colour = mix(colour, AMBER, coverage(max(d, along)))
    return colour + (round(255 * tile),)


# --- GIF ---------------------------------------------------------------------------------

def lzw_literals(indices, min_size):
    """LZW data made only of literal codes, with a clear code often enough that the code
    width never grows: valid for every decoder, and small images stay small."""
    clear, end = 1 << min_size, (1 << min_size) + 1
    width = min_size + 1
    codes = []
    run = (1 << min_size) - 4
    for start in range(0, len(indices), run):
        codes.append(clear)
        codes.extend(indices[start:start + run])
    codes.append(end)
    bits, count, out = 0, 0, bytearray()
    for code in codes:
        bits |= code << count
        count += width
        while count >= 8:
            out.append(bits & 0xFF)
            bits >>= 8
            count -= 8
    if count:
        out.append(bits & 0xFF)
    return bytes(out)


def lzw_decode(data, min_size):
    """A plain LZW decoder, used to check what lzw_literals writes."""
    clear, end = 1 << min_size, (1 << min_size) + 1
    width, table, prev, out = min_size + 1, None, None, []
    pos = 0
    bitbuf = int.from_bytes(data, "little")
    total = len(data) * 8
    while pos + width <= total:
        code = (bitbuf >> pos) & ((1 << width) - 1)
        pos += width
        if code == clear:
            table = [[i] for i in range(clear)] + [None, None]
            width, prev = min_size + 1, None
            continue
        if code == end:
            break
        entry = table[code] if code < len(table) else table[prev] + [table[prev][0]]
        out.extend(entry)
        if prev is not None:
            table.append(table[prev] + [entry[0]])
            if len(table) == (1 << width) and width < 12:
                width += 1
        prev = code
    return out


def sub_blocks(data):
    return b"".join(bytes([len(data[i:i + 255])]) + data[i:i + 255]
                    for i in range(0, len(data), 255)) + b"\x00"


def write_gif(path, width, height, palette, frames, delay_cs):
    """frames: lists of palette indices; palette index 0 is transparent."""
    out = bytearray(b"GIF89a")
    out += struct.pack("<HHBBB", width, height, 0xF7, 0, 0)  # 256-entry global colour table
    for i in range(256):
        out += bytes(palette[i] if i < len(palette) else (0, 0, 0))
    out += b"\x21\xFF\x0BNETSCAPE2.0\x03\x01\x00\x00\x00"  # loop for ever
    for frame in frames:
        assert lzw_decode(lzw_literals(frame, 8), 8) == frame
        out += b"\x21\xF9\x04" + struct.pack("<BHBB", 0x09, delay_cs, 0, 0)
        out += b"\x2C" + struct.pack("<HHHHB", 0, 0, width, height, 0)
        out += b"\x08" + sub_blocks(lzw_literals(frame, 8))
    out += b"\x3B"
    with open(path, "wb") as f:
        f.write(bytes(out))


def spinner_frames(size, count):
    """Eight dots on a ring; the bright one moves on a step per frame, the rest fade."""
    shades = [mix(WHITE, TEAL, 0.25 + 0.75 * (k / 7)) for k in range(8)]
    palette = [(255, 255, 255)] + shades
    frames = []
    for f in range(count):
        frame = []
        for y in range(size):
            for x in range(size):
                index = 0
                for k in range(8):
                    a = 2 * math.pi * k / 8
                    cx = size / 2 + math.cos(a) * size * 0.34
                    cy = size / 2 + math.sin(a) * size * 0.34
                    if math.hypot(x + 0.5 - cx, y + 0.5 - cy) <= size * 0.1:
                        index = 1 + (k - f) % 8
                frame.append(index)
        frames.append(frame)
    return palette, frames


# --- JPEG (baseline, 4:4:4) ------------------------------------------------------------

ZIGZAG = [0, 1, 8, 16, 9, 2, 3, 10, 17, 24, 32, 25, 18, 11, 4, 5, 12, 19, 26, 33, 40, 48, 41, 34,
          27, 20, 13, 6, 7, 14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37,
          44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63]
Q_LUMA = [16, 11, 10, 16, 24, 40, 51, 61, 12, 12, 14, 19, 26, 58, 60, 55, 14, 13, 16, 24, 40, 57,
          69, 56, 14, 17, 22, 29, 51, 87, 80, 62, 18, 22, 37, 56, 68, 109, 103, 77, 24, 35, 55,
          64, 81, 104, 113, 92, 49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100,
          103, 99]
Q_CHROMA = [17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99, 24, 26, 56, 99, 99,
            99, 99, 99, 47, 66, 99, 99, 99, 99, 99, 99] + [99] * 32
# Quality 85: the example tables scaled to 30 %.
Q_LUMA = [max(1, (q * 30 + 50) // 100) for q in Q_LUMA]
Q_CHROMA = [max(1, (q * 30 + 50) // 100) for q in Q_CHROMA]
DC_BITS = [0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0]
DC_VALS = list(range(12))
AC_BITS = [0, 2, 1, 3, 3, 2, 4, 3, 5, 5, 4, 4, 0, 0, 1, 0x7D]
# Any order of the 162 run/size symbols makes a valid table; this is the usual one.
AC_VALS = [0x01, 0x02, 0x03, 0x00, 0x04, 0x11, 0x05, 0x12, 0x21, 0x31, 0x41, 0x06, 0x13, 0x51,
           0x61, 0x07, 0x22, 0x71, 0x14, 0x32, 0x81, 0x91, 0xA1, 0x08, 0x23, 0x42, 0xB1, 0xC1,
           0x15, 0x52, 0xD1, 0xF0, 0x24, 0x33, 0x62, 0x72, 0x82, 0x09, 0x0A, 0x16, 0x17, 0x18,
           0x19, 0x1A, 0x25, 0x26, 0x27, 0x28, 0x29, 0x2A, 0x34, 0x35, 0x36, 0x37, 0x38, 0x39,
           0x3A, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x49, 0x4A, 0x53, 0x54, 0x55, 0x56, 0x57,
           0x58, 0x59, 0x5A, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68, 0x69, 0x6A, 0x73, 0x74, 0x75,
           0x76, 0x77, 0x78, 0x79, 0x7A, 0x83, 0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8A, 0x92,
           0x93, 0x94, 0x95, 0x96, 0x97, 0x98, 0x99, 0x9A, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7,
           0xA8, 0xA9, 0xAA, 0xB2, 0xB3, 0xB4, 0xB5, 0xB6, 0xB7, 0xB8, 0xB9, 0xBA, 0xC2, 0xC3,
           0xC4, 0xC5, 0xC6, 0xC7, 0xC8, 0xC9, 0xCA, 0xD2, 0xD3, 0xD4, 0xD5, 0xD6, 0xD7, 0xD8,
           0xD9, 0xDA, 0xE1, 0xE2, 0xE3, 0xE4, 0xE5, 0xE6, 0xE7, 0xE8, 0xE9, 0xEA, 0xF1, 0xF2,
           0xF3, 0xF4, 0xF5, 0xF6, 0xF7, 0xF8, 0xF9, 0xFA]
assert sorted(AC_VALS) == sorted([0x00, 0xF0] + [r << 4 | s for r in range(16) for s in range(1, 11)])
assert sum(AC_BITS) == len(AC_VALS) and sum(DC_BITS) == len(DC_VALS)


def huffman_codes(bits, vals):
    codes, code, k = {}, 0, 0
    for length in range(1, 17):
        for _ in range(bits[length - 1]):
            codes[vals[k]] = (code, length)
            code += 1
            k += 1
        code <<= 1
    return codes


class BitWriter:
    def __init__(self):
        self.out, self.acc, self.count = bytearray(), 0, 0

    def put(self, value, length):
        for i in range(length - 1, -1, -1):
            self.acc = (self.acc << 1) | ((value >> i) & 1)
            self.count += 1
            if self.count == 8:
                self.out.append(self.acc)
                if self.acc == 0xFF:
                    self.out.append(0)  # byte stuffing
                self.acc, self.count = 0, 0

    def flush(self):
        while self.count:
            self.put(1, 1)


COS = [[math.cos((2 * x + 1) * u * math.pi / 16) for x in range(8)] for u in range(8)]


def fdct(block):
    out = [0.0] * 64
    for v in range(8):
        for u in range(8):
            s = 0.0
            for y in range(8):
                for x in range(8):
                    s += block[y * 8 + x] * COS[u][x] * COS[v][y]
            cu = 1 / math.sqrt(2) if u == 0 else 1
            cv = 1 / math.sqrt(2) if v == 0 else 1
            out[v * 8 + u] = 0.25 * cu * cv * s
    return out


def magnitude(v):
    size = abs(v).bit_length()
    return size, (v if v >= 0 else v + (1 << size) - 1)


def encode_block(writer, block, quant, previous_dc, dc_codes, ac_codes):
    coeffs = fdct([p - 128 for p in block])
    q = [round(coeffs[ZIGZAG[i]] / quant[ZIGZAG[i]]) for i in range(64)]
    size, bits = magnitude(q[0] - previous_dc)
    writer.put(*dc_codes[size])
    writer.put(bits, size)
    run = 0
    for value in q[1:]:
        if value == 0:
            run += 1
            continue
        while run > 15:
            writer.put(*ac_codes[0xF0])
            run -= 16
        size, bits = magnitude(value)
        writer.put(*ac_codes[run << 4 | size])
        writer.put(bits, size)
        run = 0
    if run:
        writer.put(*ac_codes[0x00])
    return q[0]


def write_jpeg(path, width, height, pixel):
    def segment(marker, data):
        return struct.pack(">BBH", 0xFF, marker, len(data) + 2) + data

    planes = [[], [], []]
    for y in range(height):
        for x in range(width):
            r, g, b = pixel(x, y)
            planes[0].append(0.299 * r + 0.587 * g + 0.114 * b)
            planes[1].append(128 - 0.168736 * r - 0.331264 * g + 0.5 * b)
            planes[2].append(128 + 0.5 * r - 0.418688 * g - 0.081312 * b)
    dc, ac = huffman_codes(DC_BITS, DC_VALS), huffman_codes(AC_BITS, AC_VALS)
    writer, previous = BitWriter(), [0, 0, 0]
    for by in range(0, height, 8):
        for bx in range(0, width, 8):
            for c in range(3):
                block = [planes[c][min(by + j, height - 1) * width + min(bx + i, width - 1)]
                         for j in range(8) for i in range(8)]
                quant = Q_LUMA if c == 0 else Q_CHROMA
                previous[c] = encode_block(writer, block, quant, previous[c], dc, ac)
    writer.flush()
    data = b"\xFF\xD8"
    data += segment(0xE0, b"JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00")
    data += segment(0xDB, b"\x00" + bytes(Q_LUMA[z] for z in ZIGZAG)
                    + b"\x01" + bytes(Q_CHROMA[z] for z in ZIGZAG))
    data += segment(0xC0, struct.pack(">BHHB", 8, height, width, 3)
                    + b"\x01\x11\x00\x02\x11\x01\x03\x11\x01")
    data += segment(0xC4, b"\x00" + bytes(DC_BITS) + bytes(DC_VALS)
                    + b"\x10" + bytes(AC_BITS) + bytes(AC_VALS))
    data += segment(0xDA, b"\x03\x01\x00\x02\x00\x03\x00\x00\x3F\x00")
    data += bytes(writer.out) + b"\xFF\xD9"
    with open(path, "wb") as f:
        f.write(data)


def device_pixel(x, y, w, h):
    """The device on a soft studio backdrop: a dark case, a display, three LEDs."""
    px, py = x + 0.5, y + 0.5
    colour = mix((226, 232, 240), (186, 198, 214), py / h)
    shadow = rounded_box(px, py, w * 0.2 + 4, h * 0.16 + 6, w * 0.8 + 4, h * 0.86 + 6, 14)
    colour = mix(colour, (150, 160, 176), 0.5 * coverage(shadow / 4))
    case = coverage(rounded_box(px, py, w * 0.2, h * 0.16, w * 0.8, h * 0.86, 14))
    colour = mix(colour, mix((52, 62, 78), (30, 36, 48), py / h), case)
    screen = coverage(rounded_box(px, py, w * 0.27, h * 0.26, w * 0.73, h * 0.52, 4))
    colour = mix(colour, mix((20, 70, 80), (10, 120, 130), px / w), screen)
    for i, led in enumerate([(80, 220, 100), (250, 80, 60), AMBER]):
        cx, cy = w * (0.36 + 0.14 * i), h * 0.68
        colour = mix(colour, led, coverage(math.hypot(px - cx, py - cy) - 5))
    for i in range(4):
        mark = rounded_box(px, py, w * (0.34 + 0.06 * i), h * 0.31, w * (0.34 + 0.06 * i) + 4,
                           h * 0.47, 2)
        colour = mix(colour, (220, 250, 250), coverage(mark))
    return colour


def main():
    os.makedirs(OUT, exist_ok=True)
    size = 64
    write_png(os.path.join(OUT, "logo.png"), size, size,
              [[logo_pixel(x, y, size) for x in range(size)] for y in range(size)])
    palette, frames = spinner_frames(32, 8)
    write_gif(os.path.join(OUT, "spinner.gif"), 32, 32, palette, frames, 10)
    w, h = 240, 160
    write_jpeg(os.path.join(OUT, "device.jpg"), w, h, lambda x, y: device_pixel(x, y, w, h))


if __name__ == "__main__":
    main()
