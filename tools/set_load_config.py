#!/usr/bin/env python3
"""Points a linked PE file's load configuration directory at its _load_config_used, which GNU ld 2.40 leaves
empty, then sets the header's checksum. Usage: set_load_config.py EXE MAP (the linker's map of EXE)."""
import re
import struct
import sys


def headers(data):
    """Offsets of the optional header and the section table, the number of sections, and whether it is PE32+."""
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    count, optional_size = struct.unpack_from("<H12xH", data, pe + 6)
    optional = pe + 24
    return optional, optional + optional_size, count, struct.unpack_from("<H", data, optional)[0] == 0x20B


def file_offset(data, rva):
    _, sections, count, _ = headers(data)
    for n in range(count):
        size, address, _, raw = struct.unpack_from("<4I", data, sections + 40 * n + 8)
        if address <= rva < address + size:
            return rva - address + raw
    raise ValueError("RVA %#x is in no section" % rva)


def directory(data, index):
    optional, _, _, plus = headers(data)
    return optional + (112 if plus else 96) + 8 * index


def checksum(data):
    """The PE checksum: 16-bit words summed with their carries folded in, plus the file's length."""
    optional = headers(data)[0]
    data = bytearray(data)
    struct.pack_into("<I", data, optional + 64, 0)
    if len(data) % 2:
        data += b"\0"
    total = 0
    for (word,) in struct.iter_unpack("<H", bytes(data)):
        total += word
        total = (total & 0xFFFF) + (total >> 16)
    return (total & 0xFFFF) + len(data)


def main(exe, map_file):
    with open(map_file) as f:
        found = re.search(r"^\s+0x([0-9a-f]+)\s+_?_load_config_used\s*$", f.read(), re.M)
    if not found:
        sys.exit("set_load_config: no _load_config_used in " + map_file)
    with open(exe, "rb") as f:
        data = bytearray(f.read())
    optional, _, _, plus = headers(data)
    image_base = struct.unpack_from("<Q" if plus else "<I", data, optional + (24 if plus else 28))[0]
    rva = int(found.group(1), 16) - image_base
    size = struct.unpack_from("<I", data, file_offset(data, rva))[0]
    struct.pack_into("<II", data, directory(data, 10), rva, size)
    struct.pack_into("<I", data, optional + 64, checksum(data))
    with open(exe, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main(*sys.argv[1:])
