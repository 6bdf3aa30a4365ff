#!/usr/bin/env python3
"""Writes the tablet images and dumps the golden tests decode.

The inputs are built here from the record layouts; the expected outputs in
golden/ were checked by hand against the layouts and are not regenerated.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def crc8(data):
    crc = 0
    for b in data:
        crc ^= b
        for _ in range(8):
            crc = (crc >> 1) ^ 0x8C if crc & 1 else crc >> 1
    return crc


def image(device, stamp, clock, words, key=0x12345678, version=2, size=544):
    b = bytearray(544)
    b[0:7] = bytes([0x04]) + struct.pack('<I', key) + bytes([version, 0])
    b[7] = crc8(b[0:7])
    area = b''.join(struct.pack('<I', w) for w in words)
    area = area + bytes([0xFF]) * (496 - len(area))
    b[16:512] = area
    b[8] = device
    b[9:13] = struct.pack('<i', stamp)
    b[13:15] = struct.pack('<H', sum(b[16:512]) & 0xFFFF)
    b[15] = crc8(b[8:15])
    b[512] = 0x00
    b[513] = 0x10  # oscillator running
    b[514] = 0x80
    b[515:519] = struct.pack('<I', clock)
    return bytes(b[:size])


def main_word(code, sub, seconds):
    return code << 28 | sub << 24 | (seconds & 0xFFFFFF)


def garage_word(kind, detail, units):
    return detail << 24 | kind << 22 | (units & 0x3FFFFF)


def write(name, data):
    with open(os.path.join(HERE, name), 'wb') as f:
        f.write(data)


# Main variant: one run after a power loss marker, every group once, a dropped
# zone information record and a counter wrap at the oldest records.
main_words = [
    main_word(0, 8, 86000), main_word(9, 13, 85000), main_word(9, 10, 84990),
    main_word(8, 0, 84000), main_word(5, 1, 80000), main_word(3, 8, 70000),
    main_word(13, 11, 60000), main_word(14, 4, 50000), main_word(15, 2, 40000),
    main_word(2, 2, 30000), main_word(1, 0, 20000), main_word(12, 3, 10000),
    main_word(7, 7, 5000), main_word(15, 15, 100), main_word(0, 0, 16777000),
]
write('main-image.bin', image(7, 86400, 1700000000, main_words))

# Garage variant: the newest run, a power-up, and older runs to be corrected.
garage_words = [
    garage_word(0, 0x00, 9000), garage_word(2, 0x48, 8990), garage_word(2, 0x8C, 8980),
    garage_word(1, 0x85, 8000), garage_word(3, 0x80, 0), garage_word(3, 0x01, 4000),
    garage_word(0, 0x03, 3000), garage_word(1, 0x03, 2000), garage_word(3, 0x80, 0),
    garage_word(2, 0x0C, 500), garage_word(3, 0x00, 100),
]
write('garage-image.bin', image(3, 72000, 1700000000, garage_words))
write('garage-image-512.bin', image(3, 72000, 1700000000, garage_words, size=512))

# Military variant: five zones, dated from the computer's clock.
military_words = [
    main_word(0, 8, 400000), main_word(12, 9, 399940), main_word(12, 0, 399000),
    main_word(7, 5, 390000), main_word(3, 1, 380000), main_word(2, 0, 370000),
    main_word(1, 2, 360000), main_word(1, 0, 350000), main_word(15, 3, 340000),
]
write('military-image.bin', image(8, 400000, 1000000, military_words))

good = bytearray(image(3, 72000, 1700000000, garage_words))
broken = bytearray(good)
broken[3] ^= 0x01
write('broken-first-header.bin', bytes(broken))
broken = bytearray(good)
broken[8] = 7
write('broken-second-header.bin', bytes(broken))
broken = bytearray(good)
broken[100] ^= 0x01
write('broken-event-sum.bin', bytes(broken))
write('erased-tablet.bin', bytes([0xFF]) * 544)

# A raw dump: 8 header bytes of junk, then garage records, then a partial record.
dump = bytes(range(8)) + b''.join(struct.pack('<I', w) for w in garage_words) + b'\x01\x02'
write('garage-dump.bin', dump)
