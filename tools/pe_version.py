#!/usr/bin/env python3
"""Reads the file version of a PE image from its version resource, the number a deployment tool's
file-version detection rule compares (VS_FIXEDFILEINFO's dwFileVersionMS and dwFileVersionLS, as
Windows shows it as "File version").

usage: pe_version.py FILE
prints the version as four numbers, "major.minor.build.revision", and exits 0; exits 1, saying
why on stderr, when the file has no usable version: not a PE image, no version resource, one cut
short or malformed, or a version of 0.0.0.0 (a rule comparing it would hold for any file); exits
2 when the file cannot be read.

The file comes from a payload folder and may be anything: every offset it holds is checked
against the file's size before it is followed, and the resource tree is walked to a fixed depth,
so a bad file ends in a refusal, never in a wrong number.
"""
import struct
import sys

RT_VERSION = 16
FIXED_FILE_INFO_SIGNATURE = 0xFEEF04BD
VERSION_KEY = "VS_VERSION_INFO"


class NoVersion(Exception):
    """The file has no usable file version; the message says why."""


class Image:
    """The bytes of a PE image, read only through bounds-checked accessors."""

    def __init__(self, data):
        self.data = data

    def unpack(self, fmt, offset, what):
        size = struct.calcsize(fmt)
        if offset < 0 or offset + size > len(self.data):
            raise NoVersion(f"{what} lies outside the file (offset {offset:#x}, {size} bytes)")
        return struct.unpack_from(fmt, self.data, offset)

    def u16(self, offset, what):
        return self.unpack("<H", offset, what)[0]

    def u32(self, offset, what):
        return self.unpack("<I", offset, what)[0]


def sections(image):
    """The section table, as (virtual address, virtual size, raw offset, raw size), and the
    resource directory's RVA and size."""
    if image.data[:2] != b"MZ":
        raise NoVersion("not a PE image (no MZ header)")
    pe = image.u32(0x3C, "the PE header's offset")
    if image.data[pe:pe + 4] != b"PE\0\0":
        raise NoVersion("not a PE image (no PE signature)")
    count = image.u16(pe + 6, "the section count")
    optional_size = image.u16(pe + 20, "the optional header's size")
    optional = pe + 24
    magic = image.u16(optional, "the optional header")
    if magic == 0x10B:
        rva_count_at, directories = optional + 92, optional + 96
    elif magic == 0x20B:
        rva_count_at, directories = optional + 108, optional + 112
    else:
        raise NoVersion(f"not a PE image (optional header magic {magic:#x})")
    # The resource directory is the third data directory; it must lie within the header.
    resource_entry = directories + 2 * 8
    if image.u32(rva_count_at, "the data directory count") < 3 or resource_entry + 8 > optional + optional_size:
        raise NoVersion("no resource directory")
    resource_rva, resource_size = image.unpack("<II", resource_entry, "the resource directory entry")
    table = []
    for n in range(count):
        at = optional + optional_size + 40 * n
        virtual_size, virtual_address, raw_size, raw_offset = image.unpack("<IIII", at + 8, f"section {n + 1}")
        table.append((virtual_address, virtual_size, raw_offset, raw_size))
    if resource_rva == 0 or resource_size == 0:
        raise NoVersion("no resource directory")
    return table, resource_rva, resource_size


def file_offset(table, rva, length, what):
    """The file offset of `length` bytes at `rva`, which must lie within one section's raw data."""
    for virtual_address, virtual_size, raw_offset, raw_size in table:
        # What is mapped from the file: the raw data, less the alignment padding past the
        # virtual size (a virtual size of 0 means the raw size).
        extent = min(virtual_size, raw_size) if virtual_size else raw_size
        if virtual_address <= rva and rva + length <= virtual_address + extent:
            return raw_offset + rva - virtual_address
    raise NoVersion(f"{what} lies outside the file's sections (RVA {rva:#x}, {length} bytes)")


def directory_entries(image, base, offset, limit, what):
    """The (name or id, data offset) entries of the resource directory at `base` + `offset`."""
    if offset + 16 > limit:
        raise NoVersion(f"{what} lies outside the resource directory")
    named, ids = image.unpack("<HH", base + offset + 12, what)
    if offset + 16 + 8 * (named + ids) > limit:
        raise NoVersion(f"{what} runs past the resource directory")
    return [image.unpack("<II", base + offset + 16 + 8 * n, what) for n in range(named + ids)]


def subdirectory(entry, what):
    target = entry[1]
    if not target & 0x80000000:
        raise NoVersion(f"{what} is data where a directory belongs")
    return target & 0x7FFFFFFF


def version_data(image):
    """The bytes of the first version resource (the first name, the first language)."""
    table, resource_rva, resource_size = sections(image)
    base = file_offset(table, resource_rva, 16, "the resource directory")
    types = directory_entries(image, base, 0, resource_size, "the resource type directory")
    versions = [e for e in types if e[0] == RT_VERSION]
    if not versions:
        raise NoVersion("no version resource")
    names = directory_entries(image, base, subdirectory(versions[0], "the version type"), resource_size,
                              "the version resource's names")
    if not names:
        raise NoVersion("the version resource has no name")
    languages = directory_entries(image, base, subdirectory(names[0], "the version name"), resource_size,
                                  "the version resource's languages")
    if not languages:
        raise NoVersion("the version resource has no language")
    entry = languages[0][1]
    if entry & 0x80000000 or entry + 16 > resource_size:
        raise NoVersion("the version resource's data entry is malformed")
    rva, size = image.unpack("<II", base + entry, "the version resource's data entry")
    start = file_offset(table, rva, size, "the version resource")
    if start + size > len(image.data):
        raise NoVersion("the version resource runs past the end of the file")
    return image.data[start:start + size]


def fixed_file_version(block):
    """The file version in a VS_VERSIONINFO block, as four numbers."""
    image = Image(block)
    length, value_length = image.unpack("<HH", 0, "the version block's header")
    key_end = 6 + 2 * (len(VERSION_KEY) + 1)
    if length > len(block) or length < key_end or block[6:key_end].decode("utf-16-le", "replace") != VERSION_KEY + "\0":
        raise NoVersion("the version resource is not a VS_VERSION_INFO block")
    if value_length < 52:
        raise NoVersion("the version resource holds no fixed file information")
    fixed = (key_end + 3) & ~3
    if fixed + 52 > length:
        raise NoVersion("the version resource's fixed file information is cut short")
    signature, _, version_ms, version_ls = image.unpack("<IIII", fixed, "the fixed file information")
    if signature != FIXED_FILE_INFO_SIGNATURE:
        raise NoVersion(f"the fixed file information has signature {signature:#x}")
    version = (version_ms >> 16, version_ms & 0xFFFF, version_ls >> 16, version_ls & 0xFFFF)
    if version == (0, 0, 0, 0):
        raise NoVersion("the file version is 0.0.0.0")
    return version


def file_version(data):
    """The file version of the PE image `data` as "a.b.c.d"; NoVersion says why there is none."""
    return ".".join(str(n) for n in fixed_file_version(version_data(Image(data))))


def main(argv):
    if len(argv) != 2:
        print("usage: pe_version.py FILE", file=sys.stderr)
        return 2
    try:
        with open(argv[1], "rb") as f:
            data = f.read()
    except OSError as e:
        print(f"pe_version: {argv[1]}: {e.strerror}", file=sys.stderr)
        return 2
    try:
        print(file_version(data))
    except NoVersion as e:
        print(f"pe_version: {argv[1]}: {e}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
