"""PNG files chunk by chunk, with zlib and struct only: the one place where the scripts write
and read PNG chunks.

Writers: png_chunk (any chunk, even one a PNG library would never write), png_bytes (a whole
file of filter-0 rows, or of a given IDAT stream, with extra chunks after the header) and
write_png. Readers: png_chunk_offsets, read_png_chunks (the header and the chunks a decoder
needs), png_scanlines (the unfiltered rows of an 8-bit, non-interlaced file) and
read_rgba_png. CRCs are written but never checked.

A script elsewhere in the tree finds this module through its own location, e.g.
    sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)),
                                    "..", "..", "scripts", "pylib"))
"""
import struct
import zlib

SIGNATURE = b"\x89PNG\r\n\x1a\n"

# Samples per pixel of the 8-bit colour types the readers unfilter: grey, RGB, palette, RGBA.
CHANNELS = {0: 1, 2: 3, 3: 1, 6: 4}


# ---------------------------------------------------------------------------------------
# Writing


def png_chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


def png_bytes(width, height, rows, colour_type=2, bit_depth=8, extra=b"", idat=None,
              interlace=0):
    """A whole file: the header, `extra` (chunks as they are), one IDAT and IEND. The IDAT
    holds `rows` (bytes each), every row with filter 0, compressed at level 9, unless `idat`
    gives its data as it is."""
    ihdr = struct.pack(">IIBBBBB", width, height, bit_depth, colour_type, 0, 0, interlace)
    if idat is None:
        idat = zlib.compress(b"".join(b"\x00" + r for r in rows), 9)
    return (SIGNATURE + png_chunk(b"IHDR", ihdr) + extra +
            png_chunk(b"IDAT", idat) + png_chunk(b"IEND", b""))


def write_png(path, width, height, rows, color_type=6):
    """rows: one bytes object per row, 4 (RGBA, type 6) or 3 (RGB, type 2) bytes a pixel."""
    data = png_bytes(width, height, [bytes(r) for r in rows], colour_type=color_type)
    with open(path, "wb") as f:
        f.write(data)


# ---------------------------------------------------------------------------------------
# Reading


def png_chunk_offsets(data, kind):
    """The offsets of the chunks of that type, following the lengths from the signature on."""
    offsets = []
    pos = 8
    while pos + 8 <= len(data):
        length = struct.unpack(">I", data[pos:pos + 4])[0]
        if data[pos + 4:pos + 8] == kind:
            offsets.append(pos)
        pos += 12 + length
    return offsets


class PngChunks:
    """A file's header fields, its palette as (r, g, b) tuples, its tRNS bytes and its IDAT
    data joined."""

    def __init__(self, width, height, bit_depth, colour_type, interlace, palette, trns, idat):
        self.width, self.height = width, height
        self.bit_depth, self.colour_type, self.interlace = bit_depth, colour_type, interlace
        self.palette, self.trns, self.idat = palette, trns, idat


def read_png_chunks(data):
    """Walks the chunks after the signature (not checked here). A chunk cut short raises
    struct.error, a file without a header ValueError."""
    pos = 8
    header = None
    idat = b""
    palette, trns = [], b""
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        pos += 12 + length
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"PLTE":
            palette = [tuple(body[i:i + 3]) for i in range(0, len(body), 3)]
        elif kind == b"tRNS":
            trns = body
        elif kind == b"IDAT":
            idat += body
    if header is None:
        raise ValueError("no header chunk")
    width, height, depth, colour_type, _, _, interlace = header
    return PngChunks(width, height, depth, colour_type, interlace, palette, trns, idat)


def paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    if pa <= pb and pa <= pc:
        return a
    return b if pb <= pc else c


def png_scanlines(png):
    """The rows of an 8-bit, non-interlaced file of a colour type in CHANNELS, decompressed
    and unfiltered: one bytearray of width * channels samples each. A broken stream raises
    zlib.error, a bad filter type or missing data IndexError."""
    channels = CHANNELS[png.colour_type]
    raw = zlib.decompress(png.idat)
    stride = png.width * channels
    prev = bytearray(stride)
    lines = []
    for y in range(png.height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - channels] if i >= channels else 0
            b = prev[i]
            c = prev[i - channels] if i >= channels else 0
            pred = (0, a, b, (a + b) // 2, paeth(a, b, c))[kind]
            line[i] = (line[i] + pred) & 0xFF
        lines.append(line)
        prev = line
    return lines


def read_rgba_png(path):
    """The pixels of an 8-bit RGBA, non-interlaced PNG as a list of (r, g, b, a)."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != SIGNATURE:
        raise ValueError("not a PNG")
    png = read_png_chunks(data)
    if (png.bit_depth, png.colour_type, png.interlace) != (8, 6, 0):
        raise ValueError("not 8-bit RGBA")
    pixels = []
    for line in png_scanlines(png):
        pixels += [tuple(line[i:i + 4]) for i in range(0, len(line), 4)]
    return pixels
