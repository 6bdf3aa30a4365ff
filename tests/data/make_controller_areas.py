#!/usr/bin/env python3
"""Writes the event areas the simulated controllers' scripted histories fill.

Each file is the 496-byte event area (newest record first, unwritten records
erased) followed by the controller's counter at the touch (4 bytes, little
endian). Built here from the scripted timelines and the record layouts, not
from the program's codecs.
"""
import os
import struct

HERE = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'controller')
DAY = 86400
HOUR = 3600
MAIN_RANGE = 1 << 24          # seconds
GARAGE_RANGE = (1 << 22) * 8  # seconds, counted in units of 8


def main_word(code, sub, seconds):
    return code << 28 | sub << 24 | (seconds & 0xFFFFFF)


def garage_word(kind, detail, seconds):
    return detail << 24 | kind << 22 | ((seconds // 8) & 0x3FFFFF)


# (gap, kind, detail, power-up: the counter restarts at this record)
GARAGE = [
    (0, 3, 0x80, True), (40, 1, 0x05, False), (5 * DAY, 0, 0x01, False),
    (2 * HOUR, 0, 0x00, False), (3 * DAY, 1, 0x01, False), (600, 1, 0x05, False),
    (4 * DAY, 3, 0x01, False), (3 * HOUR, 3, 0x00, False), (DAY, 3, 0x80, True),
    (30, 1, 0x05, False), (6 * DAY, 2, 0x04, False), (40, 2, 0x0C, False),
    (30, 2, 0x48, False), (30, 2, 0x8C, False), (300, 2, 0xC0, False),
    (DAY, 0, 0x80, False), (5 * HOUR, 0, 0x00, False), (2 * DAY, 1, 0x03, False),
    (HOUR, 1, 0x07, False), (HOUR, 3, 0x00, False),
]

# group codes: normal, console, zone fault, zone information, automation,
# power, notification; the second zone of each
MAIN_CODES = dict(normal=0, console=3, fault=4 + 1, info=8 + 1, auto=13, power=14, note=15)
MILITARY_CODES = dict(normal=0, console=2, fault=3 + 1, info=8 + 1, auto=13, power=14, note=15)


def main_steps(c):
    # (gap, group, sub, power loss: the counter restarts after this record)
    return [
        (0, c['note'], 9, False), (60, c['normal'], 8, False), (30, c['auto'], 11, False),
        (3 * DAY, c['fault'], 1, False), (2 * HOUR, c['fault'], 0, False),
        (2 * DAY, c['power'], 4, False), (HOUR, c['power'], 8, False),
        (DAY, c['note'], 2, True), (2 * HOUR, c['note'], 9, False),
        (60, c['console'], 0, False), (60, c['auto'], 11, False),
        (4 * DAY, c['info'], 13, False), (40, c['info'], 14, False),
        (600, c['info'], 15, False), (DAY, c['auto'], 2, False),
        (HOUR, c['console'], 8, False), (300, c['console'], 0, False),
        (2 * HOUR, c['auto'], 11, False), (DAY, c['normal'], 8, False),
    ]


def area(words, counter_now):
    data = b''.join(struct.pack('<I', w) for w in reversed(words))
    return data + bytes([0xFF]) * (496 - len(data)) + struct.pack('<I', counter_now)


def garage():
    words, counter = [], 0
    for gap, kind, detail, power_up in GARAGE:
        counter = 0 if power_up else counter + gap
        words.append(garage_word(kind, detail, counter % GARAGE_RANGE))
    now = (counter + 2 * HOUR) % GARAGE_RANGE
    return area(words, now - now % 8)


def main(codes):
    words, counter, restarted = [], 0, False
    for gap, group, sub, power_loss in main_steps(codes):
        counter = min(gap, 60) if restarted else counter + gap
        restarted = power_loss
        words.append(main_word(group, sub, counter % MAIN_RANGE))
    return area(words, 30 if restarted else (counter + 2 * HOUR) % MAIN_RANGE)


os.makedirs(HERE, exist_ok=True)
for name, data in [('garage', garage()), ('main', main(MAIN_CODES)),
                   ('military', main(MILITARY_CODES))]:
    with open(os.path.join(HERE, name + '-scripted.bin'), 'wb') as f:
        f.write(data)
