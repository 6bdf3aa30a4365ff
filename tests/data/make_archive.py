#!/usr/bin/env python3
"""Writes the read-out archive files the archive tests read back.

Built here from the archive's file layout, independently of the program: a
96-byte header, then the 544-byte tablet image; all numbers little-endian.
"""
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))


def archive_file(image, rom, day_count, device, year, month, day, events, variant, version):
    assert len(image) == 544
    h = bytearray(96)
    h[0:8] = b'VLMRREAD'
    h[8:10] = struct.pack('<H', 1)
    h[10:12] = struct.pack('<H', 96)
    h[12:20] = bytes(rom)
    h[20:28] = struct.pack('<d', day_count)
    h[28] = device
    h[29] = day
    h[30] = month
    h[32:34] = struct.pack('<H', year)
    h[34:36] = struct.pack('<H', events)
    h[36:52] = variant.encode('ascii').ljust(16, b'\0')
    h[52:84] = version.encode('ascii').ljust(32, b'\0')
    crc = zlib.crc32(bytes(h[0:92]) + image)
    h[92:96] = struct.pack('<I', crc)
    return bytes(h) + image


def read(name):
    with open(os.path.join(HERE, name), 'rb') as f:
        return f.read()


def write(name, data):
    os.makedirs(os.path.join(HERE, 'archive'), exist_ok=True)
    with open(os.path.join(HERE, 'archive', name), 'wb') as f:
        f.write(data)


# The main image read on 2024-01-01 12:00:00 (day count 45292.5); its tablet
# clock 1700000000 is 2023-11-14; the golden decode lists 123 events.
write('20240101-120000-0448D158E100007A.readout',
      archive_file(read('main-image.bin'), [0x04, 0x48, 0xD1, 0x58, 0xE1, 0x00, 0x00, 0x7A],
                   45292.5, 7, 2023, 11, 14, 123, 'main', '0.1.0'))
# The garage image a second before midnight of 2023-12-31 (day count 45291 +
# 86399/86400), from a longer version text; 124 events.
write('20231231-235959-04010203040506FF.readout',
      archive_file(read('garage-image.bin'), [0x04, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0xFF],
                   45291 + 86399 / 86400, 3, 2023, 11, 14, 124, 'garage',
                   '1.22.333-rc4+g0123456789abcdef'))
