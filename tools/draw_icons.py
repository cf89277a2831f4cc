#!/usr/bin/env python3
"""Draws the programs' pictures and writes them as .ico files and enlarged PNG previews.

Run it by hand when a picture changes (python3 tools/draw_icons.py); the .ico files it writes
into resources/ are committed, and the build only reads them. Every picture uses the classic
16-colour palette and is stored as a 4-bit bitmap with its AND mask, the icon format that every
Windows version reads.
"""

import math
import os
import struct
import zlib

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
RESOURCES = os.path.join(ROOT, "resources")
PREVIEWS = os.path.join(RESOURCES, "previews")

# The classic 16-colour palette, in its usual order.
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
BLACK, MAROON, GREEN, OLIVE, NAVY, PURPLE, TEAL, SILVER = range(8)
GREY, RED, LIME, YELLOW, BLUE, FUCHSIA, AQUA, WHITE = range(8, 16)
CLEAR = None   # transparent: the AND mask shows what lies behind


class Picture:
    def __init__(self, size):
        self.size = size
        self.pixels = [[CLEAR] * size for _ in range(size)]

    def set(self, x, y, colour):
        if 0 <= x < self.size and 0 <= y < self.size:
            self.pixels[y][x] = colour

    def rect(self, x0, y0, x1, y1, colour):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.set(x, y, colour)

    def disc(self, cx, cy, r, colour):
        """Pixels whose centres lie within r of (cx, cy)."""
        for y in range(self.size):
            for x in range(self.size):
                if (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 <= r * r:
                    self.set(x, y, colour)

    def line(self, x0, y0, x1, y1, colour):
        steps = max(abs(x1 - x0), abs(y1 - y0), 1)
        for i in range(steps + 1):
            self.set(round(x0 + (x1 - x0) * i / steps), round(y0 + (y1 - y0) * i / steps), colour)

    def arc(self, cx, cy, r, width, start, end, colour):
        """A ring of the given width between two angles (degrees, 0 is up, clockwise)."""
        for y in range(self.size):
            for x in range(self.size):
                dx, dy = x + 0.5 - cx, y + 0.5 - cy
                angle = math.degrees(math.atan2(dx, -dy))
                if r - width / 2 <= math.hypot(dx, dy) <= r + width / 2 and start <= angle <= end:
                    self.set(x, y, colour)

    def rounded(self, x0, y0, x1, y1, fill, outline):
        """A rectangle with its corner pixels cut, outlined."""
        self.rect(x0, y0, x1, y1, outline)
        self.rect(x0 + 1, y0 + 1, x1 - 1, y1 - 1, fill)
        for x, y in ((x0, y0), (x1, y0), (x0, y1), (x1, y1)):
            self.set(x, y, CLEAR)


# --- The activity pictures: a small interface box with two lamps, receive (green, left) and
# send (red, right). A lit lamp is bright with a white glint; a dark lamp is the dim shade of
# its colour; "not known yet" shows both lamps empty grey with a dash, so it differs from
# "neither" at a glance.

def lamp(pic, cx, cy, fill, glint):
    pic.disc(cx, cy, 3.2, BLACK)
    pic.disc(cx, cy, 2.4, fill)
    if glint is not None:
        pic.set(int(cx) - 1, int(cy) - 2, glint)
        pic.set(int(cx) - 2, int(cy) - 1, glint)


def activity(receive, send):
    pic = Picture(16)
    pic.rounded(0, 2, 15, 13, GREY, BLACK)
    pic.rect(1, 3, 14, 3, SILVER)           # the box's lit upper edge
    pic.rect(6, 14, 9, 14, BLACK)           # the cable to the bus
    pic.rect(7, 15, 8, 15, BLACK)
    states = {
        "lit-receive": (LIME, WHITE), "dark-receive": (GREEN, None),
        "lit-send": (RED, YELLOW), "dark-send": (MAROON, None),
        "unknown": (SILVER, None),
    }
    lamp(pic, 4.0, 8.0, *states[receive])
    lamp(pic, 12.0, 8.0, *states[send])
    if receive == "unknown":
        for cx in (4, 12):
            pic.rect(cx - 2, 8, cx + 1, 8, BLACK)
    return pic


# --- The program icon: a railway track running into the distance, with the signal waves of a
# network rising from where the rails meet. RwOption adds a gear to the same picture.

def track32():
    pic = Picture(32)
    pic.rounded(0, 0, 31, 31, NAVY, BLACK)
    horizon, bottom = 13, 30
    # Sleepers, further apart near the viewer.
    y, gap = horizon + 1.0, 1.6
    while y < bottom:
        row = round(y)
        half = 4.0 + 12.5 * (row - horizon) / (bottom - horizon)
        pic.rect(round(16 - half), row, round(16 + half) - 1, row, OLIVE)
        gap *= 1.35
        y += max(gap, 2)
    # Rails, two pixels wide near the viewer.
    for side in (-1, 1):
        for row in range(horizon, bottom + 1):
            t = (row - horizon) / (bottom - horizon)
            x = 16 + side * (2.5 + 11.0 * t)
            pic.set(math.floor(x) if side > 0 else math.ceil(x) - 1, row, WHITE)
            if t > 0.45:
                pic.set(math.floor(x) + side, row, SILVER)
    # Network waves above the vanishing point.
    for r in (4.5, 8.5):
        pic.arc(16, 13.5, r, 1.6, -55, 55, YELLOW)
    pic.disc(16, 13, 1.6, YELLOW)
    return pic


def track16():
    pic = Picture(16)
    pic.rounded(0, 0, 15, 15, NAVY, BLACK)
    for row, x0, x1 in ((10, 4, 11), (12, 3, 12), (14, 1, 14)):
        pic.rect(x0, row, x1, row, OLIVE)
    pic.line(6, 8, 2, 14, WHITE)
    pic.line(9, 8, 13, 14, WHITE)
    # At this size the waves are placed by hand: two arcs and the point they rise from.
    for x0, x1, row in ((6, 9, 2), (4, 5, 3), (10, 11, 3), (3, 3, 4), (12, 12, 4),
                        (6, 9, 5), (5, 5, 6), (10, 10, 6), (7, 8, 7)):
        pic.rect(x0, row, x1, row, YELLOW)
    return pic


def gear(pic, cx, cy, outer, inner, hole):
    teeth = 8
    for y in range(pic.size):
        for x in range(pic.size):
            dx, dy = x + 0.5 - cx, y + 0.5 - cy
            r = math.hypot(dx, dy)
            angle = (math.degrees(math.atan2(dy, dx)) + 360) % (360 / teeth)
            tooth = abs(angle - 180 / teeth) < 360 / teeth / 4
            if r <= inner or (tooth and r <= outer):
                pic.set(x, y, BLACK)
            if r <= inner - 1.2 or (tooth and r <= outer - 1.2):
                pic.set(x, y, SILVER)
    pic.disc(cx, cy, hole + 1.0, GREY)
    pic.disc(cx, cy, hole, NAVY)


def option_icon():
    pic = track32()
    gear(pic, 23.0, 23.0, 9.0, 6.8, 2.0)
    return pic


# --- Files.

def bitmap(pic):
    """The picture as an icon image: header, palette, 4-bit colour rows and the mask rows."""
    size = pic.size
    colour_row = (size * 4 + 31) // 32 * 4
    mask_row = (size + 31) // 32 * 4
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 4, 0, (colour_row + mask_row) * size, 0, 0, 0, 0)
    palette = b"".join(struct.pack("BBBB", b, g, r, 0) for r, g, b in PALETTE)
    colours, mask = bytearray(), bytearray()
    for y in reversed(range(size)):   # bottom row first
        row = [0 if c is CLEAR else c for c in pic.pixels[y]]
        packed = bytearray((row[x] << 4) | row[x + 1] for x in range(0, size, 2))
        colours += packed + bytes(colour_row - len(packed))
        bits = bytearray(mask_row)
        for x, c in enumerate(pic.pixels[y]):
            if c is CLEAR:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + palette + bytes(colours) + bytes(mask)


def write_ico(path, pictures):
    images = [bitmap(p) for p in pictures]
    offset = 6 + 16 * len(images)
    out = struct.pack("<HHH", 0, 1, len(images))
    for pic, image in zip(pictures, images):
        out += struct.pack("<BBBBHHII", pic.size, pic.size, 16, 0, 1, 4, len(image), offset)
        offset += len(image)
    with open(path, "wb") as f:
        f.write(out + b"".join(images))


def write_png(path, width, height, rgb):
    """rgb(x, y) gives the colour of each pixel."""
    raw = bytearray()
    for y in range(height):
        raw.append(0)
        for x in range(width):
            raw += bytes(rgb(x, y))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
                + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


LIGHT, DARK = (0xE6, 0xE6, 0xE6), (0x20, 0x28, 0x30)   # a light and a dark taskbar


def preview_sheet(path, pictures, scale):
    """The pictures side by side, enlarged, on a light strip above a dark one, each also at its
    real size at the strip's right end, as a person sees it in the notification area."""
    size = max(p.size for p in pictures)
    cell = size * scale + 8
    real = len(pictures) * (size + 4) + 8
    width = len(pictures) * cell + 8 + real
    height = 2 * cell

    def rgb(x, y):
        background = LIGHT if y < cell else DARK
        yy = y % cell
        if x < len(pictures) * cell + 8:
            i, xx = divmod(x - 8, cell)
            px, py = xx // scale, (yy - 4) // scale
            if x >= 8 and 0 <= i < len(pictures) and 4 <= yy and px < pictures[i].size and py < pictures[i].size:
                c = pictures[i].pixels[py][px]
                return background if c is CLEAR else PALETTE[c]
            return background
        x -= len(pictures) * cell + 8
        i, xx = divmod(x - 4, size + 4)
        top = (cell - size) // 2
        if x >= 4 and i < len(pictures) and xx < pictures[i].size and top <= yy < top + pictures[i].size:
            c = pictures[i].pixels[yy - top][xx]
            return background if c is CLEAR else PALETTE[c]
        return background

    write_png(path, width, height, rgb)


def main():
    os.makedirs(PREVIEWS, exist_ok=True)
    activity_pictures = [
        ("activity_both", 104, activity("lit-receive", "lit-send")),
        ("activity_unknown", 105, activity("unknown", "unknown")),
        ("activity_send", 106, activity("dark-receive", "lit-send")),
        ("activity_receive", 107, activity("lit-receive", "dark-send")),
        ("activity_idle", 108, activity("dark-receive", "dark-send")),
    ]
    for name, _, pic in activity_pictures:
        write_ico(os.path.join(RESOURCES, name + ".ico"), [pic])
    server = [track16(), track32()]
    write_ico(os.path.join(RESOURCES, "RwServer.ico"), server)
    option = option_icon()
    write_ico(os.path.join(RESOURCES, "RwOption.ico"), [option])

    # The activity pictures in the order 104 to 108, and the program icons.
    preview_sheet(os.path.join(PREVIEWS, "activity.png"), [p for _, _, p in activity_pictures], 8)
    preview_sheet(os.path.join(PREVIEWS, "RwServer.png"), server, 6)
    preview_sheet(os.path.join(PREVIEWS, "RwOption.png"), [option], 6)


if __name__ == "__main__":
    main()
