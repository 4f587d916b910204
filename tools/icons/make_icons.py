#!/usr/bin/env python3
"""Draws the program's icons and writes them as 256-colour .ico files.

APPICON: a kestrel-blue console screen with a prompt, 16x16 and 32x32.
REDLAMP, GREENLAMP, YELLOWLAMP: a round lamp with a highlight, 16x16 and
20, 24, 32 and 48 pixels square for screens above 96 dpi.
Run from the repository root: python3 tools/icons/make_icons.py
"""
import struct, math, os

def ico(images):
    """images: list of (size, palette[list of (r,g,b)], pixels[row-major indexes], mask[bools transparent])"""
    head = struct.pack('<HHH', 0, 1, len(images))
    entries, blobs = b'', b''
    offset = 6 + 16 * len(images)
    for size, pal, px, transparent in images:
        pal = pal + [(0, 0, 0)] * (256 - len(pal))
        bih = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 8, 0, 0, 0, 0, 256, 0)
        palb = b''.join(struct.pack('BBBB', b, g, r, 0) for r, g, b in pal)
        xor = b''
        for y in range(size - 1, -1, -1):
            row = bytes(px[y * size:(y + 1) * size])
            xor += row + b'\0' * ((4 - len(row) % 4) % 4)
        andb = b''
        stride = ((size + 31) // 32) * 4
        for y in range(size - 1, -1, -1):
            bits = 0
            row = bytearray(stride)
            for x in range(size):
                if transparent[y * size + x]:
                    row[x // 8] |= 0x80 >> (x % 8)
            andb += bytes(row)
        blob = bih + palb + xor + andb
        entries += struct.pack('<BBBBHHII', size % 256, size % 256, 0, 0, 1, 8, len(blob), offset)
        offset += len(blob)
        blobs += blob
    return head + entries + blobs

def lamp_image(base, size):
    """One image of the lamp; the 16-pixel drawing scaled to size."""
    s = size / 16.0
    pal = [(0, 0, 0), (40, 40, 40)]
    shades = []
    for k in range(8):  # dark rim to bright centre
        f = 0.45 + 0.55 * k / 7
        shades.append(tuple(min(255, int(c * f)) for c in base))
    pal += shades + [(255, 255, 255)]
    px, tr = [], []
    cx = cy = (size - 1) / 2.0
    hx, hy = cx - 2.0 * s, cy - 2.5 * s
    for y in range(size):
        for x in range(size):
            d = math.hypot(x - cx, y - cy)
            if d > 7.2 * s:
                px.append(0); tr.append(True); continue
            tr.append(False)
            if d > 6.4 * s:
                px.append(1); continue
            h = math.hypot(x - hx, y - hy)
            if h < 1.6 * s:
                px.append(10); continue
            k = max(0, min(7, int(7 - d / s)))
            px.append(2 + k)
    return (size, pal, px, tr)

# The lamp is drawn at 16 pixels at 96 dpi and at these sizes above it.
LAMP_SIZES = (16, 20, 24, 32, 48)

def lamp(base):
    return ico([lamp_image(base, n) for n in LAMP_SIZES])

def appicon(size):
    pal = [(0, 0, 0), (190, 190, 190), (90, 90, 90), (20, 20, 20), (128, 255, 255), (255, 255, 0), (255, 0, 0), (0, 200, 0)]
    px, tr = [], []
    s = size / 16.0
    for y in range(size):
        for x in range(size):
            fx, fy = x / s, y / s
            tr.append(False)
            if fx < 0.5 or fx >= 15.5 or fy < 1 or fy >= 15:
                px.append(0); tr[-1] = True; continue
            if fx < 1.5 or fx >= 14.5 or fy < 2 or fy >= 14:
                px.append(1); continue
            if fy >= 11.5:  # the strip with its lamp
                px.append(2 if not (2.5 <= fx < 4.5 and 12 <= fy < 13.5) else 7); continue
            # screen with two text rows and a prompt caret
            if 3 <= fy < 4.2 and 2.5 <= fx < 10: px.append(4); continue
            if 6 <= fy < 7.2 and 2.5 <= fx < 12.5: px.append(5); continue
            if 9 <= fy < 10.2 and 2.5 <= fx < 4: px.append(4); continue
            px.append(3)
    return (size, pal, px, tr)

out = os.path.join(os.path.dirname(__file__), '..', '..', 'resources')
open(os.path.join(out, 'redlamp.ico'), 'wb').write(lamp((255, 40, 30)))
open(os.path.join(out, 'greenlamp.ico'), 'wb').write(lamp((40, 230, 60)))
open(os.path.join(out, 'yellowlamp.ico'), 'wb').write(lamp((255, 220, 30)))
open(os.path.join(out, 'kestrelbox.ico'), 'wb').write(ico([appicon(32), appicon(16)]))
