#!/usr/bin/env python3
# The browser tests' Flash movie, an uncompressed SWF: a 400 x 300 stage in
# blue (32, 96, 192), a yellow (240, 192, 16) square of 80 pixels moving right
# at 24 frames a second for two seconds, half a second of 440 Hz as it starts.
#     tests/mainwindow/make-test-movie.py > tests/mainwindow/test-movie.swf
import math
import struct
import sys


def bits(*fields):
    """(value, width) pairs, most significant bit first, padded to bytes."""
    text = ''.join(format(value & (1 << width) - 1, '0%db' % width) for value, width in fields)
    text += '0' * (-len(text) % 8)
    return int(text, 2).to_bytes(len(text) // 8, 'big')


def tag(code, body=b''):
    return struct.pack('<HI', code << 6 | 0x3f, len(body)) + body


SIDE, FRAMES, RATE = 1600, 48, 44100  # twips (1/20 pixel), frames, samples a second
edges = [field for vertical, length in [(0, SIDE), (1, SIDE), (0, -SIDE), (1, -SIDE)]
         for field in [(0b11, 2), (14, 4), (0, 1), (vertical, 1), (length, 16)]]
shape = (struct.pack('<H', 1) + bits((16, 5), (0, 16), (SIDE, 16), (0, 16), (SIDE, 16))
         + bytes([1, 0, 240, 192, 16, 0])  # one solid fill, no lines
         + bits((1, 4), (0, 4), (0b000101, 6), (16, 5), (0, 32), (1, 1), *edges, (0, 6)))
tone = b''.join(struct.pack('<h', round(12000 * math.sin(i * 2 * math.pi * 440 / RATE)))
                for i in range(RATE // 2))
body = (tag(9, bytes([32, 96, 192])) + tag(2, shape)  # SetBackgroundColor, DefineShape
        + tag(14, struct.pack('<HBI', 2, 0x3E, RATE // 2) + tone)  # DefineSound: 16-bit PCM
        + tag(15, struct.pack('<HB', 2, 0x10)))  # StartSound, not twice at once
for frame in range(FRAMES):  # PlaceObject2, ShowFrame
    place = struct.pack('<BHH', 0x06, 1, 1) if frame == 0 else struct.pack('<BH', 0x05, 1)
    body += tag(26, place + bits((0, 2), (16, 5), (400 + frame * 100, 16), (2000, 16))) + tag(1)
body += tag(0)
header = bits((16, 5), (0, 16), (8000, 16), (0, 16), (6000, 16)) + struct.pack('<HH', 24 << 8, FRAMES)
sys.stdout.buffer.write(b'FWS\x06' + struct.pack('<I', 8 + len(header) + len(body)) + header + body)
