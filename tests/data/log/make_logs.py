#!/usr/bin/env python3
"""Writes the saved log files the log-file tests read, and cases.tsv, which says
for each file how many whole blocks it holds and how it ends. resaved/ holds
each file as the program saves what it opened: its whole blocks, with zero
slots and padding and every text up to its first zero byte."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def fixed(number, zero_time, state, position, time, category, code, filler=0):
    b = bytearray([filler]) * 48
    b[0:4] = struct.pack('<i', number)
    b[16] = zero_time
    b[17] = state
    b[20:24] = struct.pack('<i', position)
    b[24:32] = struct.pack('<d', time)
    b[32:33] = struct.pack('<b', category)
    b[40] = code
    return bytes(b)


def text(raw):
    return struct.pack('<I', len(raw)) + raw


def block(number, texts, filler=0, time=45292.5, category=3, code=0x80):
    return fixed(number, 1, 1, number - 1, time, category, code, filler) + b''.join(
        text(t) for t in texts)


# Garage-variant texts as the program writes them, in code page 1251.
GARAGE = ['(3) Информация о питании'.encode('cp1251'), 'Питание включено'.encode('cp1251'),
          'Время требует корректировки'.encode('cp1251')]
MAIN = ['(0) Норма'.encode('cp1251'), 'Норма'.encode('cp1251'), b'']


def main():
    cases = []

    os.makedirs(os.path.join(HERE, 'resaved'), exist_ok=True)

    def write(name, data, blocks, end, resaved=None):
        with open(os.path.join(HERE, name), 'wb') as f:
            f.write(data)
        with open(os.path.join(HERE, 'resaved', name), 'wb') as f:
            f.write(data[:len(first) * blocks] if resaved is None else resaved)
        cases.append((name, blocks, end))

    first = block(1, GARAGE)
    second = block(2, MAIN, time=45293.25, category=1, code=0x08)
    write('empty.log', b'', 0, 'empty')
    write('one-block.log', first, 1, 'clean')
    write('two-blocks.log', first + second, 2, 'clean', first + second)

    # The second block cut at each of its field boundaries, and inside its texts.
    l1, l2 = len(MAIN[0]), len(MAIN[1])
    cuts = [1, 4, 8, 12, 16, 17, 18, 20, 24, 32, 33, 36, 40, 41, 47, 48, 50, 52, 52 + l1 // 2,
            52 + l1, 56 + l1, 56 + l1 + l2 // 2, 56 + l1 + l2, 58 + l1 + l2]
    assert len(second) == 60 + l1 + l2
    for cut in cuts:
        write('cut-at-%02d.log' % cut, first + second[:cut], 1, 'cut')

    # A stored length that runs past the end of the file.
    past = fixed(2, 0, 0, 1, 45293.0, 1, 8) + text(b'abc') + struct.pack('<I', 40) + b'x' * 39
    write('length-past-end.log', first + past, 1, 'cut')
    write('length-ffffffff.log', fixed(1, 0, 0, 0, 45293.0, 1, 8) + struct.pack('<I', 0xFFFFFFFF)
          + b'abc', 0, 'cut', b'')

    # A zero byte inside a text ends the text.
    write('zero-in-text.log', block(1, [b'ab\x00cd', b'\x00', b'note']), 1, 'clean',
          block(1, [b'ab', b'', b'note']))

    # Files in circulation carry arbitrary bytes in the slots and the padding.
    write('foreign-slots.log', block(1, GARAGE, filler=0xA5), 1, 'clean', first)

    # Every byte value but zero in the texts.
    every = block(1, [bytes(range(1, 256)), bytes(range(128, 256)), bytes(range(1, 128))])
    write('all-bytes.log', every, 1, 'clean', every)

    # More blocks than a tablet holds.
    many = b''.join(
        block(n, GARAGE if n % 2 else MAIN, time=45000.0 + n) for n in range(1, 201))
    write('200-blocks.log', many, 200, 'clean', many)

    with open(os.path.join(HERE, 'cases.tsv'), 'w') as f:
        f.write('# file\twhole blocks\tend\n')
        for name, blocks, end in cases:
            f.write('%s\t%d\t%s\n' % (name, blocks, end))


if __name__ == '__main__':
    main()
