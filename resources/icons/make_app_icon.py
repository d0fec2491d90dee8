#!/usr/bin/env python3
"""Build app_icon.ico from app_icon.svg.

Renders the drawing with rsvg-convert (Debian package librsvg2-bin) at each
icon size and packs the PNG images into one Windows icon file. PNG-compressed
entries are valid in .ico files; each must be 8-bit RGBA so that the icon
counts as 32-bit colour. Only the Python standard library is used.

Usage: make_app_icon.py [source.svg] [output.ico]
(defaults: app_icon.svg and app_icon.ico next to this script)
"""

import os
import struct
import subprocess
import sys
import tempfile

SIZES = (16, 32, 48, 64, 128, 256)
PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"
PNG_COLOR_RGBA = 6
BITS_PER_PIXEL = 32


def render_png(svg_path, size, work_dir):
    out = os.path.join(work_dir, f"icon_{size}.png")
    subprocess.run(
        ["rsvg-convert", "--width", str(size), "--height", str(size),
         "--format", "png", "--output", out, svg_path],
        check=True,
    )
    with open(out, "rb") as f:
        return f.read()


def check_png(data, size):
    """Refuse anything but a size x size, 8-bit RGBA PNG."""
    if data[:8] != PNG_SIGNATURE or data[12:16] != b"IHDR":
        raise ValueError(f"{size}px: not a PNG file")
    width, height, depth, color_type = struct.unpack(">IIBB", data[16:26])
    if (width, height) != (size, size):
        raise ValueError(f"{size}px: rendered as {width}x{height}")
    if depth != 8 or color_type != PNG_COLOR_RGBA:
        raise ValueError(
            f"{size}px: bit depth {depth}, colour type {color_type}; "
            "need 8-bit RGBA (colour type 6)")


def pack_ico(images):
    """images: list of (size, png bytes), in the order they go in the file."""
    header = struct.pack("<HHH", 0, 1, len(images))  # reserved, type icon, count
    offset = len(header) + 16 * len(images)
    entries = b""
    for size, data in images:
        dim = 0 if size >= 256 else size  # 0 stands for 256 in the one-byte fields
        entries += struct.pack("<BBBBHHII", dim, dim, 0, 0, 1, BITS_PER_PIXEL,
                               len(data), offset)
        offset += len(data)
    return header + entries + b"".join(data for _, data in images)


def main(argv):
    here = os.path.dirname(os.path.abspath(__file__))
    svg_path = argv[1] if len(argv) > 1 else os.path.join(here, "app_icon.svg")
    ico_path = argv[2] if len(argv) > 2 else os.path.join(here, "app_icon.ico")
    with tempfile.TemporaryDirectory() as work_dir:
        images = []
        for size in SIZES:
            data = render_png(svg_path, size, work_dir)
            check_png(data, size)
            images.append((size, data))
    with open(ico_path, "wb") as f:
        f.write(pack_ico(images))
    print(f"wrote {ico_path}: {', '.join(str(s) for s in SIZES)} px")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
