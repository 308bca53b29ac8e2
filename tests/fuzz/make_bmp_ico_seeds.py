#!/usr/bin/env python3
"""Writes the tiny seed files of fuzz_bmp and fuzz_ico: one of each layout the
readers know, a few pixels each, and the hostile ones: a 120-byte run-length
bitmap claiming 11585 x 11585 pixels, and an icon whose 4,096 entries all name
one damaged PNG. Standard library only; run from anywhere."""
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))


def info(width, height, bits, compression=0, colours=0, size=40, masks=()):
    if size == 12:
        return struct.pack('<IHHHH', 12, width, height, 1, bits)
    head = struct.pack('<IiiHHIIiiII', size, width, height, 1, bits, compression, 0, 3780, 3780, colours, 0)
    if size > 40:
        head += b''.join(struct.pack('<I', m) for m in masks) + bytes(size - 40 - 4 * len(masks))
        return head
    return head + b''.join(struct.pack('<I', m) for m in masks)


def table(colours, entry=4):
    return b''.join(struct.pack('<BBB', c[2], c[1], c[0]) + bytes(entry - 3) for c in colours)


def bmp(dib_info, palette, bits):
    offset = 14 + len(dib_info) + len(palette)
    return b'BM' + struct.pack('<IHHI', offset + len(bits), 0, 0, offset) + dib_info + palette + bits


GREYS = [(i * 17, i * 17, 255 - i * 17) for i in range(16)]
BMP_SEEDS = {
    'rgb24.bmp': bmp(info(3, 2, 24), b'', bytes([0, 0, 255, 0, 255, 0, 255, 0, 0, 0, 0, 0] * 2)),
    'topdown24.bmp': bmp(info(2, -2, 24), b'', bytes([255, 255, 255, 0, 0, 255, 0, 0] * 2)),
    'mono.bmp': bmp(info(9, 2, 1, colours=2), table([(0, 0, 0), (255, 255, 255)]), bytes([0xA5, 0x80, 0, 0, 0x5A, 0, 0, 0])),
    'two_bits.bmp': bmp(info(5, 1, 2, colours=4), table(GREYS[:4]), bytes([0x1B, 0x40, 0, 0])),
    'pal4.bmp': bmp(info(3, 2, 4), table(GREYS), bytes([0x12, 0x30, 0, 0, 0xAB, 0xC0, 0, 0])),
    'pal8_short.bmp': bmp(info(3, 1, 8, colours=3), table(GREYS[:3]), bytes([0, 1, 2, 0])),
    'core8.bmp': bmp(info(2, 2, 8, size=12), table(GREYS, 3), bytes([1, 2, 0, 0, 3, 4, 0, 0])),
    'rgb555.bmp': bmp(info(2, 1, 16), b'', bytes([0x1F, 0x7C, 0xE0, 0x03])),
    'v5_565.bmp': bmp(info(2, 1, 16, 3, size=124, masks=(0xF800, 0x07E0, 0x001F)), b'', bytes([0x00, 0xF8, 0x1F, 0x00])),
    'bitfields32.bmp': bmp(info(1, 2, 32, 3, masks=(0x3FF00000, 0xFFC00, 0x3FF)), b'', bytes([0, 0, 0xF8, 0x3F, 0xFF, 3, 0, 0])),
    'rle8.bmp': bmp(info(4, 3, 8, 1, colours=16), table(GREYS),
                    bytes([0, 3, 1, 2, 3, 0, 1, 5, 0, 0, 2, 1, 0, 2, 1, 1, 3, 4, 0, 1])),
    'rle4.bmp': bmp(info(5, 2, 4, 2, colours=16), table(GREYS), bytes([5, 0x12, 0, 0, 0, 3, 0x34, 0x50, 0, 1])),
}


def icon_dib(width, height, bits, colour_rows, mask_rows, palette=b''):
    return info(width, 2 * height, bits, colours=len(palette) // 4) + palette + colour_rows + mask_rows


def png(width, height, rgba_rows):
    def chunk(kind, data):
        return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))
    raw = b''.join(b'\0' + row for row in rgba_rows)
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', width, height, 8, 6, 0, 0, 0))
            + chunk(b'IDAT', zlib.compress(raw)) + chunk(b'IEND', b''))


def ico(images):
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for width, height, bits, data in images:
        out += struct.pack('<BBBBHHII', width & 0xFF, height & 0xFF, 0, 0, 1, bits, len(data), offset)
        offset += len(data)
    return out + b''.join(image[3] for image in images)


ALPHA = icon_dib(2, 2, 32, bytes([0, 0, 255, 128, 255, 0, 0, 255, 0, 255, 0, 0, 9, 9, 9, 255]), bytes(8))
MASKED = icon_dib(3, 2, 1, bytes([0x60, 0, 0, 0, 0xA0, 0, 0, 0]), bytes([0xC0, 0, 0, 0, 0x20, 0, 0, 0]),
                  table([(0, 0, 0), (255, 0, 0)]))
PAL4 = icon_dib(2, 1, 4, bytes([0x1F, 0, 0, 0]), bytes(4), table(GREYS))
PNG = png(2, 1, [bytes([255, 0, 0, 255, 0, 0, 255, 128])])
# 27 runs of 255 pixels, then the end of the bitmap: 120 bytes in all.
BMP_SEEDS['rle8_bomb.bmp'] = bmp(info(11585, 11585, 8, 1, colours=2), table([(0, 0, 0), (255, 255, 255)]),
                                 bytes([255, 1] * 27 + [0, 0, 0, 1]))
DAMAGED_PNG = bytearray(png(64, 64, [bytes(range(256))] * 64))
DAMAGED_PNG[len(DAMAGED_PNG) // 2] ^= 0x5A


def one_image_icon(image, count):
    out = struct.pack('<HHH', 0, 1, count)
    offset = 6 + 16 * count
    for _ in range(count):
        out += struct.pack('<BBBBHHII', 64, 64, 0, 0, 1, 32, len(image), offset)
    return out + bytes(image)


ICO_SEEDS = {
    'many_entries.ico': one_image_icon(DAMAGED_PNG, 4096),
    'alpha32.ico': ico([(2, 2, 32, ALPHA)]),
    'mask1.ico': ico([(3, 2, 1, MASKED)]),
    'two_images.ico': ico([(2, 1, 4, PAL4), (2, 2, 32, ALPHA)]),
    'png.ico': ico([(2, 1, 32, PNG)]),
}

for folder, seeds in (('fuzz_bmp', BMP_SEEDS), ('fuzz_ico', ICO_SEEDS)):
    os.makedirs(os.path.join(HERE, 'corpus', folder), exist_ok=True)
    for name, data in seeds.items():
        with open(os.path.join(HERE, 'corpus', folder, name), 'wb') as f:
            f.write(data)
