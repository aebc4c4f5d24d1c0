#!/usr/bin/env python3
"""Draws the application icon: a 32 by 32, 24-bit icon of a hard disk with a
green status light, written as resources/vantrel.ico (one BMP image)."""
import math
import struct
import sys

SIZE = 32


def segment_distance(x, y, a, b):
    """Distance from (x, y) to the segment a-b."""
    ax, ay = a
    bx, by = b
    t = ((x - ax) * (bx - ax) + (y - ay) * (by - ay)) / ((bx - ax) ** 2 + (by - ay) ** 2)
    t = max(0.0, min(1.0, t))
    return math.hypot(x - (ax + t * (bx - ax)), y - (ay + t * (by - ay)))


def pixel(x, y):
    """Colour (r, g, b) of a pixel, or None where the icon is transparent."""
    cx, cy = x + 0.5, y + 0.5
    # Drive body: a rounded rectangle.
    left, top, right, bottom, radius = 2, 4, 30, 28, 4
    inside_x = min(max(cx, left + radius), right - radius)
    inside_y = min(max(cy, top + radius), bottom - radius)
    if math.hypot(cx - inside_x, cy - inside_y) > radius:
        return None
    edge = math.hypot(cx - inside_x, cy - inside_y) > radius - 1.2
    if edge:
        return (30, 38, 52)
    # Platter, spindle and head arm.
    px, py = 14.5, 15.0
    d = math.hypot(cx - px, cy - py)
    if d < 1.6:
        return (60, 66, 80)
    if segment_distance(cx, cy, (24.5, 22.5), (18.0, 10.5)) < 1.0:
        return (210, 170, 60)
    if d < 10.0:
        shade = int(200 - 60 * (d / 10.0) ** 2 + 25 * math.cos(3 * math.atan2(cy - py, cx - px)))
        return (shade, shade + 5, min(255, shade + 20))
    # Status light, bottom right.
    if math.hypot(cx - 26.0, cy - 24.5) < 1.8:
        return (40, 220, 90)
    return (52, 64, 84)


def main():
    xor = bytearray()
    mask = bytearray()
    for y in reversed(range(SIZE)):  # bottom-up rows
        bits = 0
        for x in range(SIZE):
            colour = pixel(x, y)
            if colour is None:
                xor += b"\x00\x00\x00"
                bits |= 1 << (31 - x)
            else:
                r, g, b = colour
                xor += bytes((b, g, r))
        mask += struct.pack(">I", bits)
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 24, 0, len(xor) + len(mask),
                         0, 0, 0, 0)
    image = header + bytes(xor) + bytes(mask)
    icon = struct.pack("<HHH", 0, 1, 1)
    icon += struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 24, len(image), 6 + 16)
    out = sys.argv[1] if len(sys.argv) > 1 else "resources/vantrel.ico"
    with open(out, "wb") as f:
        f.write(icon + image)


if __name__ == "__main__":
    main()
