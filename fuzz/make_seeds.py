#!/usr/bin/env python3
"""Writes the small constructed seed files of the fuzz targets into seeds/.

Each seed holds the structures its target looks for, so that fuzzing starts
from inputs that reach past the first signature tests.
"""
import io
import os
import struct
import sys
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))


def record(ver_inst, rec_type, body):
    return struct.pack("<HHI", ver_inst, rec_type, len(body)) + body


def user_edit(long_form=False):
    body = struct.pack("<IHHIIIHH", 0, 0, 3, 0, 0, 1, 1, 0)
    return record(0x0000, 0x0FF5, body + (b"\x00" * 4 if long_form else b""))


def design_name(text):
    return record(0x0020, 0x0FBA, text.encode("utf-16-le"))


def property_set():
    """A SummaryInformation-like property set with title, subject and author."""
    header = struct.pack("<HHI16sI", 0xFFFE, 0, 0x00020006, b"\x00" * 16, 1)
    header += b"\x00" * 16 + struct.pack("<I", 48)
    strings = [b"Title\x00", b"Subject\x00", b"Author\x00"]
    pairs = b""
    data = b""
    offset = 8 + 8 * len(strings)
    for pid, text in zip((2, 3, 4), strings):
        pairs += struct.pack("<II", pid, offset + len(data))
        data += struct.pack("<II", 30, len(text)) + text
        data += b"\x00" * (-len(data) % 4)
    section = struct.pack("<II", offset + len(data), len(strings)) + pairs + data
    return header + section


def document_stream():
    master = record(0x000F, 0x03F8, design_name("Design") + b"\x00" * 16)
    document = record(0x000F, 0x03E8, b"\x00" * 40 + master)
    return document + user_edit() + record(0x000F, 0x03E8, b"\x01" * 24) + user_edit(True)


BLIPS = [(0x3D40, 0xF01A, 58), (0x2170, 0xF01B, 74), (0x5420, 0xF01C, 58), (0x46A0, 0xF01D, 25),
         (0x6E00, 0xF01E, 25), (0x7A90, 0xF01F, 41), (0x6E40, 0xF020, 25)]


def text_bytes(text):
    return record(0x0000, 0x0FA8, text.encode("latin-1"))


def text_chars(text):
    return record(0x0000, 0x0FA0, text.encode("utf-16-le", "surrogatepass"))


def picture_name(name):
    """An OfficeArt pibName property with its UTF-16 name."""
    encoded = name.encode("utf-16-le")
    return b"\x00" * 4 + bytes([0, 0, 0x05, 0xC1]) + struct.pack("<I", len(encoded)) + b"\x00" * 6 + encoded


def slide():
    atom = record(0x0002, 0x03EF, struct.pack("<I", 1) + b"\x00" * 20)
    body = atom + text_bytes("Title \xe9t\xe9") + text_chars("Body \u00fc\u4e2d\ud83d\ude00") + picture_name("image1.png")
    return record(0x000F, 0x03EE, body)


def slide_list():
    persist = record(0x0000, 0x03F3, b"\x00" * 20)
    body = persist + text_chars("First") + persist + text_bytes("Second") + text_chars("\ud800 lone")
    return record(0x000F, 0x0FF0, body)


def pictures():
    out = b""
    for first, rec_type, data_offset in BLIPS:
        body = b"\x11" * (data_offset - 8) + b"picture-data" * 3
        out += struct.pack("<HHI", first, rec_type, len(body)) + body
    return out


def current_user(encrypted):
    token = 0xF3D1C4DF if encrypted else 0xE391C05F
    return record(0x0000, 0x0FF6, struct.pack("<III", 20, token, 0) + b"\x00" * 8)


# The "Current User" stream as the writer writes it.
CURRENT_USER_TEMPLATE = bytes([
    0x00, 0x00, 0xF6, 0x0F, 0x1B, 0x00, 0x00, 0x00, 0x14, 0x00, 0x00, 0x00, 0x5F, 0xC0, 0x91, 0xE3,
    0xF8, 0xA8, 0x01, 0x00, 0x03, 0x00, 0xF4, 0x03, 0x03, 0x00, 0xFF, 0xFF, 0x2E, 0x2E, 0x2E,
    0x08, 0x00, 0x00, 0x00, 0x61, 0x00, 0x00, 0x00, 0x61, 0x6E, 0x08, 0x00, 0x00,
    0x00, 0x51, 0x00, 0x75, 0x00, 0x65, 0x00, 0x6E, 0x00, 0x64, 0x00, 0x72, 0x00, 0x69, 0x00, 0x76, 0x00, 0x6F])


def crypt_session():
    return record(0x000F, 0x2F14, struct.pack("<HHI", 4, 2, 0) + b"\x00" * 16)


def compound_file(stream, sector_shift=9):
    """A compound file: header, one FAT sector, one directory sector, then the
    stream in consecutive sectors."""
    size = 1 << sector_shift
    stream += b"\x00" * (-len(stream) % size)
    stream_sectors = len(stream) // size
    fat = [0xFFFFFFFD, 0xFFFFFFFE]
    for i in range(stream_sectors):
        fat.append(0xFFFFFFFE if i == stream_sectors - 1 else 3 + i)
    fat += [0xFFFFFFFF] * (size // 4 - len(fat))
    header = bytes.fromhex("D0CF11E0A1B11AE1") + b"\x00" * 16
    header += struct.pack("<HHHHH", 0x3E, 3 if sector_shift == 9 else 4, 0xFFFE, sector_shift, 6)
    header += b"\x00" * 6 + struct.pack("<IIIIIIIII", 0, 1, 1, 0, 4096, 0xFFFFFFFE, 0, 0xFFFFFFFE, 0)
    header += struct.pack("<I", 0) + struct.pack("<I", 0xFFFFFFFF) * 108
    header += b"\x00" * (size - len(header))
    name = "PowerPoint Document".encode("utf-16-le") + b"\x00\x00"
    entry = name.ljust(64, b"\x00") + struct.pack("<HBB", len(name), 2, 1)
    entry += struct.pack("<III", 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF) + b"\x00" * 36
    entry += struct.pack("<IQ", 2, len(stream))
    directory = entry.ljust(size, b"\x00")
    fat_bytes = struct.pack("<%dI" % (size // 4), *fat)
    return header + fat_bytes + directory + stream


def package(compression, zip64=False, streamed=False):
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w", compression) as archive:
        for name, text in (("[Content_Types].xml", "<Types/>"), ("ppt/presentation.xml", "<p:presentation/>" * 20),
                           ("ppt/media/image1.png", "\x89PNG" + "x" * 100)):
            info = zipfile.ZipInfo(name)
            info.compress_type = compression
            with archive.open(info, "w", force_zip64=zip64) as entry:
                entry.write(text.encode())
    data = buffer.getvalue()
    if streamed:
        # Local headers with the data-descriptor flag, as streamed writers leave them.
        data = data.replace(b"PK\x03\x04\x14\x00\x00\x00", b"PK\x03\x04\x14\x00\x08\x00")
    return data


def spoilt(data, at, mask):
    """`data` with the byte at `at` XORed with `mask`."""
    return data[:at] + bytes([data[at] ^ mask]) + data[at + 1:]


def seeds():
    stream = document_stream()
    summary = property_set()
    return {
        "source_scan": {
            "pictures.bin": compound_file(stream + pictures()),
            "encrypted-user.bin": compound_file(stream) + current_user(True),
            "crypt-session.bin": compound_file(stream + crypt_session()),
            "plain-user.bin": b"\x00" * 100 + current_user(False) + pictures(),
        },
        "match_picture": {"pictures.bin": pictures()},
        "document_records": {"document.bin": stream + summary, "summary.bin": summary},
        "document_trim": {"document.bin": stream + summary, "two-documents.bin": stream + stream},
        "stream_locator": {"cfb512.bin": compound_file(stream), "cfb4096.bin": compound_file(stream, 12)},
        "binary_chain": {
            "cfb512.bin": compound_file(stream),
            "cfb4096.bin": compound_file(stream, 12),
            "pictures.bin": compound_file(stream + pictures()),
        },
        "current_user_patch": {
            "template.bin": b"\x00" * 500 + CURRENT_USER_TEMPLATE + b"\x00" * 100,
            "across-blocks.bin": b"\x07" * 480 + CURRENT_USER_TEMPLATE * 2 + b"\x07" * 40,
        },
        "walk_container": {
            "slide.bin": slide(),
            "slide-list.bin": slide_list(),
            "notes.bin": record(0x000F, 0x03F0, slide()[8:]),
        },
        "record_tree_mend": {
            "slide.bin": slide(),
            "spoilt-length.bin": spoilt(slide(), 8 + 4, 0x40),
            "slide-list.bin": record(0x000F, 0x03E8, slide_list()),
        },
        "package_rebuild": {
            "stored.zip": package(zipfile.ZIP_STORED),
            "deflated.zip": package(zipfile.ZIP_DEFLATED),
            "zip64.zip": package(zipfile.ZIP_DEFLATED, zip64=True),
            "streamed.zip": package(zipfile.ZIP_STORED, streamed=True),
            "junk-prefix.zip": b"\x01\x02" * 300 + package(zipfile.ZIP_STORED),
        },
    }


def main():
    for target, files in seeds().items():
        folder = os.path.join(HERE, "seeds", target)
        os.makedirs(folder, exist_ok=True)
        for name, data in files.items():
            with open(os.path.join(folder, name), "wb") as out:
                out.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main())
