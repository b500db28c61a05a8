#!/usr/bin/env python3
"""Checks a payload folder before the build embeds it.

usage: check_payload.py [--unsigned-drivers] [--programs=amd64] <payload-folder> <catalogue.tsv>

Every distinct `source` (column 8) of catalogue.tsv must be a file below the folder, of the kind
its row needs:
  QUORVEL_DLL            PE32 i386 DLL, GUI subsystem, exporting CloseVantryExe by name
  PM2_EXE, PLUS_EXE      PE32 i386 executable (not a DLL), GUI subsystem
  SYS_32, PLUS_SYS_32    PE32 i386 image, native subsystem, WDM driver flag
  SYS_64, PLUS_SYS_64    PE32+ AMD64 image, native subsystem, WDM driver flag
                         Both kinds of driver also carry an Authenticode signature: the
                         certificate table (data directory 4) lies within the file and holds
                         a PKCS#7 signature. 64-bit Windows loads no unsigned driver.
                         --unsigned-drivers lifts this for the build's own stand-ins.
  *.png                  PNG signature, IHDR first, intact chunks (CRC), IEND last, and image
                         data that inflates to the size IHDR promises
  *.bmp                  "BM" file header; the pixel offset and (uncompressed) rows fit the file
  *.ico                  ICO header 00 00 01 00; every image inside the file, PNG or DIB
--programs=amd64 is for a test build's stand-ins only: a build for x86_64 (made where 32-bit
programs cannot run) builds the stand-in DLL and executables for x86_64 so that they run, and
they are then checked as PE32+ AMD64 images; every other check is the same. A real payload is
never checked with it.
Prints "payload: <path>: <what is wrong>" for each bad file and exits 1; silent and 0 when all
are good. Standard library only.
"""

import os
import struct
import sys
import zlib

from catalogue import CatalogueError, read_rows

MACHINE_I386 = 0x014C
MACHINE_AMD64 = 0x8664
MAGIC_PE32 = 0x10B
MAGIC_PE32_PLUS = 0x20B
FILE_EXECUTABLE_IMAGE = 0x0002
FILE_DLL = 0x2000
SUBSYSTEM_NATIVE = 1
SUBSYSTEM_WINDOWS_GUI = 2
DLLCHAR_WDM_DRIVER = 0x2000
DIRECTORY_SECURITY = 4
WIN_CERT_REVISION_2 = 0x0200
WIN_CERT_TYPE_PKCS_SIGNED_DATA = 0x0002

SUBSYSTEM_NAMES = {1: "native", 2: "GUI", 3: "console"}
MACHINE_NAMES = {MACHINE_I386: "i386", MACHINE_AMD64: "AMD64"}

PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"


class Bad(Exception):
    """What is wrong with one file."""


class PeImage:
    """The headers of a PE file, read from its bytes."""

    def __init__(self, data):
        if len(data) < 0x40 or data[:2] != b"MZ":
            raise Bad("not a PE image (no MZ header)")
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if pe + 24 > len(data) or data[pe:pe + 4] != b"PE\0\0":
            raise Bad("not a PE image (no PE signature)")
        (self.machine, sections, _, _, _, optional_size,
         self.characteristics) = struct.unpack_from("<HHIIIHH", data, pe + 4)
        opt = pe + 24
        if optional_size < 0x48 or opt + optional_size > len(data):
            raise Bad("truncated optional header")
        self.magic = struct.unpack_from("<H", data, opt)[0]
        if self.magic not in (MAGIC_PE32, MAGIC_PE32_PLUS):
            raise Bad("unknown optional header magic 0x%X" % self.magic)
        self.subsystem, self.dll_characteristics = struct.unpack_from("<HH", data, opt + 0x44)
        directories = opt + (0x60 if self.magic == MAGIC_PE32 else 0x70)
        self.directory_count = struct.unpack_from("<I", data, directories - 4)[0]
        self.directories = directories
        self.data = data
        self.sections = []
        table = opt + optional_size
        for i in range(sections):
            at = table + 40 * i
            if at + 40 > len(data):
                raise Bad("truncated section table")
            vsize, vaddr, raw_size, raw_ptr = struct.unpack_from("<IIII", data, at + 8)
            self.sections.append((vaddr, max(vsize, raw_size), raw_ptr, raw_size))

    def directory(self, index):
        if index >= self.directory_count:
            return 0, 0
        at = self.directories + 8 * index
        if at + 8 > len(self.data):
            raise Bad("truncated data directories")
        return struct.unpack_from("<II", self.data, at)

    def offset(self, rva):
        for vaddr, vsize, raw_ptr, raw_size in self.sections:
            if vaddr <= rva < vaddr + vsize and rva - vaddr < raw_size:
                return raw_ptr + rva - vaddr
        raise Bad("RVA 0x%X lies outside the file's sections" % rva)

    def c_string(self, rva):
        at = self.offset(rva)
        end = self.data.find(b"\0", at)
        if end < 0:
            raise Bad("unterminated name at RVA 0x%X" % rva)
        return self.data[at:end].decode("latin-1")

    def export_names(self):
        rva, size = self.directory(0)
        if rva == 0 or size == 0:
            return []
        at = self.offset(rva)
        if at + 40 > len(self.data):
            raise Bad("truncated export directory")
        count, names_rva = struct.unpack_from("<I4xI", self.data, at + 24)
        names = []
        for i in range(count):
            name_rva = struct.unpack_from("<I", self.data, self.offset(names_rva + 4 * i))[0]
            names.append(self.c_string(name_rva))
        return names


def expect_pe(data, machine, magic, subsystem, dll=None, wdm=False, export=None):
    image = PeImage(data)
    if image.machine != machine or image.magic != magic:
        raise Bad("expected a %s %s image, found machine 0x%04X (%s), magic 0x%X"
                  % ("PE32+" if magic == MAGIC_PE32_PLUS else "PE32",
                     MACHINE_NAMES[machine], image.machine,
                     MACHINE_NAMES.get(image.machine, "unknown"), image.magic))
    if not image.characteristics & FILE_EXECUTABLE_IMAGE:
        raise Bad("not marked as an executable image")
    if dll is not None and bool(image.characteristics & FILE_DLL) != dll:
        raise Bad("expected %s, found %s" % ("a DLL" if dll else "an executable, not a DLL",
                                            "a DLL" if image.characteristics & FILE_DLL
                                            else "an executable"))
    if image.subsystem != subsystem:
        raise Bad("expected the %s subsystem, found %d (%s)"
                  % (SUBSYSTEM_NAMES[subsystem], image.subsystem,
                     SUBSYSTEM_NAMES.get(image.subsystem, "other")))
    if wdm and not image.dll_characteristics & DLLCHAR_WDM_DRIVER:
        raise Bad("WDM driver flag (0x2000) not set in DllCharacteristics 0x%04X"
                  % image.dll_characteristics)
    if export is not None and export not in image.export_names():
        found = image.export_names()
        raise Bad("does not export %s by name (exports: %s)"
                  % (export, ", ".join(found[:8]) or "none"))


PNG_CHANNELS = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}
ADAM7 = ((0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2),
         (0, 1, 1, 2))


def png_data_size(width, height, depth, colour_type, interlaced):
    """Bytes of filtered scanlines the IDAT stream must inflate to."""
    bits = depth * PNG_CHANNELS[colour_type]

    def lines(w, h):
        return 0 if w == 0 or h == 0 else h * (1 + (w * bits + 7) // 8)

    if not interlaced:
        return lines(width, height)
    return sum(lines((width - x + dx - 1) // dx, (height - y + dy - 1) // dy)
               for x, y, dx, dy in ADAM7)


def check_png(data):
    if not data.startswith(PNG_SIGNATURE):
        raise Bad("no PNG signature")
    at = len(PNG_SIGNATURE)
    header = None
    idat = []
    while at + 12 <= len(data):
        length, kind = struct.unpack_from(">I4s", data, at)
        end = at + 12 + length
        name = kind.decode("latin-1")
        if end > len(data):
            raise Bad("PNG chunk %r runs past the end of the file" % name)
        crc = struct.unpack_from(">I", data, end - 4)[0]
        if zlib.crc32(data[at + 4:end - 4]) & 0xFFFFFFFF != crc:
            raise Bad("PNG chunk %r has a bad CRC" % name)
        body = data[at + 8:end - 4]
        if header is None:
            if kind != b"IHDR" or length != 13:
                raise Bad("PNG does not start with IHDR")
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat.append(body)
        elif kind == b"IEND":
            if end != len(data):
                raise Bad("%d bytes after IEND" % (len(data) - end))
            check_png_pixels(header, b"".join(idat))
            return
        at = end
    raise Bad("PNG has no IEND chunk at its end")


def check_png_pixels(header, stream):
    """The image data inflates to exactly the scanlines IHDR promises."""
    width, height, depth, colour_type, _, _, interlace = header
    if width == 0 or height == 0 or colour_type not in PNG_CHANNELS or interlace > 1:
        raise Bad("PNG header of %dx%d, colour type %d, interlace %d is not valid"
                  % (width, height, colour_type, interlace))
    if not stream:
        raise Bad("PNG has no IDAT chunk")
    try:
        pixels = zlib.decompress(stream)
    except zlib.error as e:
        raise Bad("PNG image data does not inflate: %s" % e)
    want = png_data_size(width, height, depth, colour_type, interlace == 1)
    if len(pixels) != want:
        raise Bad("PNG image data holds %d bytes, %dx%d needs %d"
                  % (len(pixels), width, height, want))


def check_bmp(data):
    if len(data) < 26 or data[:2] != b"BM":
        raise Bad("no BMP header (\"BM\")")
    offset = struct.unpack_from("<I", data, 10)[0]
    if not 26 <= offset < len(data):
        raise Bad("BMP pixel offset %d lies outside the file of %d bytes" % (offset, len(data)))
    if struct.unpack_from("<I", data, 14)[0] < 40 or len(data) < 54:
        return
    width, height, _, bits, compression = struct.unpack_from("<iiHHI", data, 18)
    if compression == 0:
        need = ((abs(width) * bits + 31) // 32) * 4 * abs(height)
        if offset + need > len(data):
            raise Bad("BMP of %dx%d at %d bits needs %d bytes of pixels, the file has %d"
                      % (width, height, bits, need, len(data) - offset))


def check_ico(data):
    if len(data) < 6 or data[:4] != b"\x00\x00\x01\x00":
        raise Bad("no ICO header (00 00 01 00)")
    count = struct.unpack_from("<H", data, 4)[0]
    if count == 0:
        raise Bad("ICO holds no image")
    if 6 + 16 * count > len(data):
        raise Bad("ICO directory of %d entries runs past the end of the file" % count)
    for i in range(count):
        size, offset = struct.unpack_from("<II", data, 6 + 16 * i + 8)
        if size < 8 or offset + size > len(data):
            raise Bad("ICO image %d (%d bytes at %d) lies outside the file" % (i, size, offset))
        image = data[offset:offset + size]
        if image.startswith(PNG_SIGNATURE):
            try:
                check_png(image)
            except Bad as e:
                raise Bad("ICO image %d: %s" % (i, e))
        elif struct.unpack_from("<I", image, 0)[0] not in (12, 40, 108, 124):
            raise Bad("ICO image %d is neither PNG nor a DIB" % i)


def check_quorvel_dll(data):
    expect_pe(data, MACHINE_I386, MAGIC_PE32, SUBSYSTEM_WINDOWS_GUI, dll=True,
              export="CloseVantryExe")


def check_gui_exe(data):
    expect_pe(data, MACHINE_I386, MAGIC_PE32, SUBSYSTEM_WINDOWS_GUI, dll=False)


def expect_signature(data):
    """The image carries an Authenticode certificate table. Its directory entry holds a file
    offset, not an RVA: the table follows the sections, outside the mapped image."""
    image = PeImage(data)
    offset, size = image.directory(DIRECTORY_SECURITY)
    if offset == 0 or size == 0:
        raise Bad("no Authenticode signature (empty certificate table entry); "
                  "Windows will not load an unsigned driver")
    if size < 8 or offset + size > len(data):
        raise Bad("certificate table (%d bytes at offset %d) lies outside the file of %d bytes"
                  % (size, offset, len(data)))
    length, revision, kind = struct.unpack_from("<IHH", data, offset)
    if not 8 < length <= size or revision != WIN_CERT_REVISION_2 \
            or kind != WIN_CERT_TYPE_PKCS_SIGNED_DATA:
        raise Bad("certificate table holds no Authenticode signature (length %d, revision "
                  "0x%04X, type 0x%04X)" % (length, revision, kind))


def check_quorvel_dll_amd64(data):
    expect_pe(data, MACHINE_AMD64, MAGIC_PE32_PLUS, SUBSYSTEM_WINDOWS_GUI, dll=True,
              export="CloseVantryExe")


def check_gui_exe_amd64(data):
    expect_pe(data, MACHINE_AMD64, MAGIC_PE32_PLUS, SUBSYSTEM_WINDOWS_GUI, dll=False)


def check_driver_32(data):
    expect_pe(data, MACHINE_I386, MAGIC_PE32, SUBSYSTEM_NATIVE, wdm=True)


def check_driver_64(data):
    expect_pe(data, MACHINE_AMD64, MAGIC_PE32_PLUS, SUBSYSTEM_NATIVE, wdm=True)


# Programs and drivers are checked by their row's type, images by the source's extension.
CHECKS_BY_TYPE = {
    "QUORVEL_DLL": check_quorvel_dll,
    "PM2_EXE": check_gui_exe,
    "PLUS_EXE": check_gui_exe,
    "SYS_32": check_driver_32,
    "PLUS_SYS_32": check_driver_32,
    "SYS_64": check_driver_64,
    "PLUS_SYS_64": check_driver_64,
}
AMD64_PROGRAM_CHECKS = {
    "QUORVEL_DLL": check_quorvel_dll_amd64,
    "PM2_EXE": check_gui_exe_amd64,
    "PLUS_EXE": check_gui_exe_amd64,
}
CHECKS_BY_EXTENSION = {".png": check_png, ".bmp": check_bmp, ".ico": check_ico}
DRIVER_TYPES = ("SYS_32", "PLUS_SYS_32", "SYS_64", "PLUS_SYS_64")


def check_for(row_type, source, amd64_programs=False):
    """The check a row needs, or None when no check is known for it."""
    if amd64_programs and row_type in AMD64_PROGRAM_CHECKS:
        return AMD64_PROGRAM_CHECKS[row_type]
    if row_type in CHECKS_BY_TYPE:
        return CHECKS_BY_TYPE[row_type]
    return CHECKS_BY_EXTENSION.get(os.path.splitext(source)[1].lower())


def main(argv):
    flags = argv[1:-2]
    unsigned_drivers = "--unsigned-drivers" in flags
    amd64_programs = "--programs=amd64" in flags
    if len(argv) < 3 or any(f not in ("--unsigned-drivers", "--programs=amd64") for f in flags):
        sys.stderr.write("usage: check_payload.py [--unsigned-drivers] [--programs=amd64] <payload-folder> "
                         "<catalogue.tsv>\n")
        return 2
    folder, catalogue = argv[-2], argv[-1]
    try:
        rows = read_rows(catalogue)
    except (OSError, UnicodeDecodeError, CatalogueError) as e:
        print("payload: %s: %s" % (catalogue, e))
        return 1
    if not os.path.isdir(folder):
        print("payload: %s: no such folder" % folder)
        return 1

    bad = 0
    checked = {}
    for row in rows:
        number, row_type, source = row.line, row.type, row.source
        path = os.path.join(folder, *source.split("/"))
        check = check_for(row_type, source, amd64_programs)
        if source in checked:
            if checked[source] is not check:
                print("payload: %s: catalogue line %d needs another kind of file than an "
                      "earlier row of the same source" % (path, number))
                bad += 1
            continue
        checked[source] = check
        try:
            if check is None:
                raise Bad("catalogue line %d: no check known for type %s" % (number, row_type))
            if not os.path.isfile(path):
                raise Bad("missing")
            with open(path, "rb") as f:
                data = f.read()
            if not data:
                raise Bad("empty file")
            check(data)
            if row_type in DRIVER_TYPES and not unsigned_drivers:
                expect_signature(data)
        except Bad as e:
            print("payload: %s: %s" % (path, e))
            bad += 1
        except (OSError, struct.error) as e:
            print("payload: %s: unreadable: %s" % (path, e))
            bad += 1
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
