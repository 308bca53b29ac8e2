#!/usr/bin/env python3
"""Writes the decompression-bomb seeds of fuzz_jpeg, fuzz_png and fuzz_gif: a
stored seed whose header is made to claim 11585 x 11585 pixels, the rest left
as it is. Standard library only; run from anywhere, after the seeds exist."""
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
SIDE = 11585


def corpus(target, name):
    return os.path.join(HERE, 'corpus', target, name)


def derive(target, source, name, change):
    with open(corpus(target, source), 'rb') as f:
        data = bytearray(f.read())
    change(data)
    with open(corpus(target, name), 'wb') as f:
        f.write(data)


def jpeg_size(data):
    at = data.index(b'\xff\xc0')
    data[at + 5:at + 9] = struct.pack('>HH', SIDE, SIDE)


def png_size(data):
    data[16:24] = struct.pack('>II', SIDE, SIDE)
    data[29:33] = struct.pack('>I', zlib.crc32(bytes(data[12:29])))


def gif_screen(data):
    data[6:10] = struct.pack('<HH', SIDE, SIDE)


derive('fuzz_jpeg', 'base.jpg', 'header_bomb.jpg', jpeg_size)
derive('fuzz_png', 'rgba.png', 'header_bomb.png', png_size)
derive('fuzz_gif', 'pillow_16.gif', 'screen_bomb.gif', gif_screen)
