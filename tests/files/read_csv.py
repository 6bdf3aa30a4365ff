#!/usr/bin/env python3
"""Reads a CSV file of the event export with Python's csv module, as a
spreadsheet-minded reader would, and prints it back for the test to compare:
one line per record, each field as the hexadecimal digits of its UTF-8 bytes,
fields separated by tabs.

The file must begin with the UTF-8 byte order mark, use ';' between fields,
end each record with CR LF and quote as RFC 4180 says (the reader is strict:
a stray quote is an error, and so is a field after a closing quote)."""
import csv
import sys


def main(path):
    with open(path, 'rb') as f:
        raw = f.read()
    if not raw.startswith(b'\xef\xbb\xbf'):
        sys.exit('no byte order mark')
    if not raw.endswith(b'\r\n'):
        sys.exit('the last record does not end with CR LF')
    with open(path, encoding='utf-8-sig', newline='') as f:
        rows = list(csv.reader(f, delimiter=';', quotechar='"', doublequote=True,
                               strict=True))
    out = sys.stdout
    for row in rows:
        out.write('\t'.join(field.encode('utf-8').hex() for field in row) + '\n')


if __name__ == '__main__':
    main(sys.argv[1])
