#!/usr/bin/env python3
"""Truncated, corrupted and oversized PNG, BMP, GIF and JPEG sources for vorlin-render.

Valid 8 x 8 images of one colour are written from scratch (PNG, BMP and GIF by hand with
zlib and struct; JPEG by ImageMagick's convert from the BMP), then broken in listed ways.
Each case becomes a scene whose one mesh cell shows part of the image, and the renderer
must finish within the time limit without a signal or a sanitizer report:

  decode    the valid control: exit 0, no warning, drawn pixels of the image's colour
  empty     nothing to decode: exit 0, a warning on stderr, a fully transparent picture
  any       exit 0; a picture with nothing drawn must come with a warning
  toolarge  the header claims more pixels than the tool holds: exit 0, a warning that
            says the image is too large, a fully transparent picture

Whatever the case, the renderer's peak resident memory stays within the 512 MiB that it
documents as the largest image it holds (kMaxImagePixels in scene/image_files.h).

Usage: corrupt_images.py --renderer PATH --work DIR [--formats png,bmp,gif,jpeg] [--list]
"""

import argparse
import json
import os
import re
import shutil
import struct
import subprocess
import sys
import time
import zlib

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts",
                                "pylib"))
from png_chunks import png_bytes, png_chunk, png_chunk_offsets, read_rgba_png  # noqa: E402

COLOUR = (200, 100, 50)
SIDE = 8
TIMEOUT_S = 120  # a sanitizer build decodes slowly; a hang runs far beyond this
MAX_PIXELS = 1 << 27
MEMORY_BOUND_KIB = MAX_PIXELS * 4 // 1024

# ---------------------------------------------------------------------------------------
# Valid images


def valid_png():
    row = bytes(COLOUR) * SIDE
    return png_bytes(SIDE, SIDE, [row] * SIDE)


def bmp_bytes(width, height, bpp=24, compression=0, colours_used=0, pixels=None,
              offset=None, header_size=40):
    row_bytes = (width * 3 + 3) // 4 * 4 if width > 0 else 0
    if pixels is None:
        b, g, r = COLOUR[2], COLOUR[1], COLOUR[0]
        row = (bytes((b, g, r)) * max(width, 0)).ljust(row_bytes, b"\x00")
        pixels = row * abs(height) if abs(height) < 1 << 16 else b""
    if offset is None:
        offset = 14 + 40
    info = struct.pack("<IiiHHIIiiII", header_size, width, height, 1, bpp, compression,
                       len(pixels), 2835, 2835, colours_used, 0)
    file_header = b"BM" + struct.pack("<IHHI", 14 + len(info) + len(pixels), 0, 0, offset)
    return file_header + info + pixels


def valid_bmp():
    return bmp_bytes(SIDE, SIDE)


def lzw_literals(indices, min_code_size):
    """GIF LZW data that only ever sends literals, with a clear code often enough that
    the code width never grows: valid for every decoder, if not small."""
    clear = 1 << min_code_size
    end = clear + 1
    width = min_code_size + 1
    room = (1 << width) - (clear + 2) - 1  # table entries before the width would grow
    codes = []
    for i, v in enumerate(indices):
        if i % room == 0:
            codes.append(clear)
        codes.append(v)
    codes.append(end)
    bits = 0
    nbits = 0
    out = bytearray()
    for c in codes:
        bits |= c << nbits
        nbits += width
        while nbits >= 8:
            out.append(bits & 0xFF)
            bits >>= 8
            nbits -= 8
    if nbits:
        out.append(bits & 0xFF)
    return bytes(out)


def gif_sub_blocks(data):
    out = bytearray()
    for i in range(0, len(data), 255):
        part = data[i:i + 255]
        out.append(len(part))
        out += part
    out.append(0)
    return bytes(out)


def gif_bytes(screen=(SIDE, SIDE), frame=(0, 0, SIDE, SIDE), min_code_size=2,
              colour_table=True, lzw=None, trailer=True):
    palette = bytes((0, 0, 0)) + bytes(COLOUR) + bytes((255, 255, 255)) + bytes((0, 0, 255))
    flags = 0x80 | 0x01 if colour_table else 0x00  # global table of 2^(1+1) = 4 entries
    out = b"GIF89a" + struct.pack("<HHBBB", screen[0], screen[1], flags, 0, 0)
    if colour_table:
        out += palette
    x, y, w, h = frame
    out += b"," + struct.pack("<HHHHB", x, y, w, h, 0)
    if lzw is None:
        lzw = lzw_literals([1] * (w * h), min_code_size)
    out += bytes((min_code_size,)) + gif_sub_blocks(lzw)
    if trailer:
        out += b";"
    return out


def valid_gif():
    return gif_bytes()


def find_convert():
    for name in ("convert-im6.q16", "convert"):
        path = shutil.which(name)
        if path:
            return path
    return None


def valid_jpeg(work, progressive=False):
    convert = find_convert()
    if convert is None:
        raise SystemExit("corrupt_images: ImageMagick's convert is needed for the JPEG cases")
    bmp = os.path.join(work, "jpeg-base.bmp")
    jpg = os.path.join(work, "jpeg-base-progressive.jpg" if progressive else "jpeg-base.jpg")
    with open(bmp, "wb") as f:
        f.write(valid_bmp())
    args = [convert, bmp, "-quality", "95", "-sampling-factor", "1x1"]
    if progressive:
        args += ["-interlace", "JPEG"]
    subprocess.run(args + [jpg], check=True)
    with open(jpg, "rb") as f:
        return f.read()


# ---------------------------------------------------------------------------------------
# Ways of breaking them


def flip(data, positions):
    b = bytearray(data)
    for p in positions:
        b[p % len(b)] ^= 0xA5
    return bytes(b)


def png_with_size(width, height):
    """A well-formed header claiming width x height, with one row of data."""
    return png_bytes(width, height, [b"\x00" * 3])


def png_over_bound():
    """A complete, valid 1-bit grey PNG of 8192 x 16385 pixels: 2^27 + 8192 pixels, just
    past the bound, in about 17 KB. Decoding it would take half a gigabyte."""
    width, height = 8192, 16385
    row = b"\x00" + b"\x00" * (width // 8)
    compressor = zlib.compressobj(9)
    idat = b"".join(compressor.compress(row) for _ in range(height)) + compressor.flush()
    return png_bytes(width, height, None, colour_type=0, bit_depth=1, idat=idat)


def zlib_zeros(mebibytes):
    """A zlib stream of that many MiB of zero bytes, about 1 KB per MiB: one compressed
    MiB ending in a full flush (so it needs no history) repeated, then an empty final
    block and the checksum."""
    zeros = b"\x00" * (1 << 20)
    segment_compressor = zlib.compressobj(9, zlib.DEFLATED, -15)
    segment = segment_compressor.compress(zeros) + segment_compressor.flush(zlib.Z_FULL_FLUSH)
    final_block = zlib.compressobj(9, zlib.DEFLATED, -15).flush()
    adler = 1
    for _ in range(mebibytes):
        adler = zlib.adler32(zeros, adler)
    return b"\x78\xda" + segment * mebibytes + final_block + struct.pack(">I", adler)


def png_zlib_bomb():
    """A 1 x 1 PNG whose image data inflates to 640 MiB: the header promises 4 bytes of
    raw data, so a decoder need never hold more than a few."""
    return png_bytes(1, 1, None, idat=zlib_zeros(640))


def jpeg_sof_offset(data):
    pos = 2
    while pos + 4 <= len(data):
        if data[pos] != 0xFF:
            return None
        marker = data[pos + 1]
        length = struct.unpack(">H", data[pos + 2:pos + 4])[0]
        if marker in (0xC0, 0xC1, 0xC2):
            return pos
        pos += 2 + length
    return None


def jpeg_with(data, height=None, width=None, components=None):
    sof = jpeg_sof_offset(data)
    b = bytearray(data)
    if height is not None:
        b[sof + 5:sof + 7] = struct.pack(">H", height)
    if width is not None:
        b[sof + 7:sof + 9] = struct.pack(">H", width)
    if components is not None:
        b[sof + 9] = components
    return bytes(b)


def jpeg_scan_offset(data):
    return data.index(b"\xff\xda")


def cases_png(work):
    v = valid_png()
    idat = png_chunk_offsets(v, b"IDAT")[0]
    ihdr_at = 8
    rows_rgb = [bytes(COLOUR) * SIDE] * SIDE
    yield "png_valid", v, "decode"
    yield "png_empty_file", b"", "empty"
    yield "png_signature_only", v[:8], "empty"
    yield "png_truncated_in_ihdr", v[:20], "empty"
    yield "png_truncated_in_idat", v[:idat + 8 + 10], "any"
    yield "png_without_iend", v[:-12], "any"
    yield "png_one_byte_short", v[:-1], "any"
    yield "png_bad_crc", flip(v, [ihdr_at + 8 + 13]), "any"
    yield "png_corrupt_zlib", flip(v, range(idat + 10, idat + 30, 3)), "any"
    yield "png_bad_filter_type", png_bytes(SIDE, SIDE, [], idat=zlib.compress(
        b"".join(b"\x07" + r for r in rows_rgb))), "any"
    yield "png_bad_colour_type", png_bytes(SIDE, SIDE, rows_rgb, colour_type=5), "empty"
    yield "png_bad_bit_depth", png_bytes(SIDE, SIDE, rows_rgb, bit_depth=3), "empty"
    yield "png_zero_width", png_bytes(0, SIDE, [b""] * SIDE), "empty"
    yield "png_palette_missing", png_bytes(SIDE, SIDE, [b"\x01" * SIDE] * SIDE,
                                           colour_type=3), "any"
    yield "png_palette_index_beyond", png_bytes(
        SIDE, SIDE, [b"\xff" * SIDE] * SIDE, colour_type=3,
        extra=png_chunk(b"PLTE", bytes(COLOUR) * 2)), "any"
    yield "png_chunk_length_huge", v[:idat] + struct.pack(">I", 0x7FFFFFFF) + v[idat + 4:], "any"
    yield "png_too_little_data", png_bytes(64, 64, [bytes(COLOUR) * 64] * 3), "any"
    yield "png_interlaced_truncated", png_bytes(SIDE, SIDE, rows_rgb, interlace=1)[:60], "any"
    yield "png_header_60000", png_with_size(60000, 60000), "toolarge"
    yield "png_header_int_max", png_with_size(0x7FFFFFFF, 0x7FFFFFFF), "toolarge"
    yield "png_header_uint_max", png_with_size(0xFFFFFFFF, 1), "any"
    yield "png_over_bound", png_over_bound(), "toolarge"
    yield "png_zlib_bomb", png_zlib_bomb(), "any"
    # A chunk of type 0: the decoder's reason names the type, here four NUL bytes.
    yield "png_chunk_type_zero", v[:-12] + png_chunk(b"\x00\x00\x00\x00", b"") + v[-12:], "any"


def cases_bmp(work):
    v = valid_bmp()
    yield "bmp_valid", v, "decode"
    yield "bmp_top_down", bmp_bytes(SIDE, -SIDE), "decode"
    yield "bmp_empty_file", b"", "empty"
    yield "bmp_magic_only", b"BM", "empty"
    yield "bmp_truncated_header", v[:20], "empty"
    yield "bmp_truncated_pixels", v[:14 + 40 + 50], "any"
    yield "bmp_zero_width", bmp_bytes(0, SIDE), "empty"
    yield "bmp_negative_width", bmp_bytes(-SIDE, SIDE, pixels=v[54:]), "empty"
    yield "bmp_bpp_0", bmp_bytes(SIDE, SIDE, bpp=0), "empty"
    yield "bmp_bpp_7", bmp_bytes(SIDE, SIDE, bpp=7), "empty"
    yield "bmp_bpp_64", bmp_bytes(SIDE, SIDE, bpp=64), "any"
    yield "bmp_rle8_garbage", bmp_bytes(SIDE, SIDE, bpp=8, compression=1,
                                        pixels=bytes(range(256)) * 2), "any"
    yield "bmp_palette_huge", bmp_bytes(SIDE, SIDE, bpp=8, colours_used=0x7FFFFFFF,
                                        pixels=b"\x00" * 64), "any"
    yield "bmp_offset_beyond_file", bmp_bytes(SIDE, SIDE, offset=0xFFFFFF00), "any"
    yield "bmp_header_size_huge", bmp_bytes(SIDE, SIDE, header_size=0xFFFFFFFF), "empty"
    yield "bmp_header_60000", bmp_bytes(60000, 60000, pixels=b"\x00" * 64), "toolarge"
    yield "bmp_height_int_min", bmp_bytes(SIDE, -0x80000000, pixels=b"\x00" * 64), "any"


def cases_gif(work):
    v = valid_gif()
    lzw_at = v.index(b",") + 10
    yield "gif_valid", v, "decode"
    yield "gif_empty_file", b"", "empty"
    yield "gif_magic_only", b"GIF89a", "empty"
    yield "gif_truncated_in_screen", v[:9], "empty"
    yield "gif_truncated_in_lzw", v[:lzw_at + 6], "any"
    yield "gif_without_trailer", gif_bytes(trailer=False), "any"
    yield "gif_code_size_13", gif_bytes(min_code_size=13, lzw=b"\xff" * 40), "any"
    yield "gif_lzw_garbage", gif_bytes(lzw=bytes(range(7, 250, 3))), "any"
    yield "gif_lzw_flipped", flip(v, range(lzw_at + 3, lzw_at + 14, 2)), "any"
    yield "gif_frame_outside_screen", gif_bytes(frame=(100, 100, SIDE, SIDE)), "any"
    yield "gif_frame_larger_than_screen", gif_bytes(frame=(0, 0, 200, 200)), "any"
    yield "gif_no_colour_table", gif_bytes(colour_table=False), "any"
    yield "gif_zero_screen", gif_bytes(screen=(0, 0)), "any"
    yield "gif_screen_65535", gif_bytes(screen=(65535, 65535)), "toolarge"


def cases_jpeg(work):
    v = valid_jpeg(work)
    p = valid_jpeg(work, progressive=True)
    scan = jpeg_scan_offset(v)
    yield "jpeg_valid", v, "decode"
    yield "jpeg_progressive_valid", p, "decode"
    yield "jpeg_empty_file", b"", "empty"
    yield "jpeg_soi_only", v[:2], "empty"
    yield "jpeg_truncated_in_header", v[:40], "empty"
    yield "jpeg_truncated_in_scan", v[:scan + 20], "any"
    yield "jpeg_without_eoi", v[:-2], "any"
    yield "jpeg_progressive_truncated", p[:len(p) * 2 // 3], "any"
    yield "jpeg_scan_flipped", flip(v, range(scan + 14, len(v) - 4, 5)), "any"
    yield "jpeg_tables_flipped", flip(v, range(20, scan, 7)), "any"
    yield "jpeg_zero_height", jpeg_with(v, height=0), "any"
    yield "jpeg_no_components", jpeg_with(v, components=0), "empty"
    yield "jpeg_five_components", jpeg_with(v, components=5), "any"
    yield "jpeg_sof_60000", jpeg_with(v, height=60000, width=60000), "toolarge"
    yield "jpeg_progressive_sof_60000", jpeg_with(p, height=60000, width=60000), "toolarge"


FORMATS = {"png": cases_png, "bmp": cases_bmp, "gif": cases_gif, "jpeg": cases_jpeg}

# ---------------------------------------------------------------------------------------
# Running the renderer


def scene_for(image_name):
    # One cell from (0, 0) to (15, 15) showing source pixels 2..6 of the 8 x 8 image, away
    # from its edges, so a uniform image gives its colour (or one less, by truncation).
    return {
        "source": image_name,
        "selection": [2, 2, 4, 4],
        "columns": [[[0, 0], [0, 15]], [[15, 0], [15, 15]]],
        "rows": [[[0, 0], [15, 0]], [[0, 15], [15, 15]]],
    }


SANITIZER_MARKS = ("AddressSanitizer", "LeakSanitizer", "UndefinedBehaviorSanitizer",
                   "runtime error:")


def run_renderer(argv, stderr_path):
    """Runs the renderer once: (problem or None, exit status, stderr). A problem is a hang,
    a signal, a sanitizer report or a peak memory beyond the documented bound."""
    page_kib = os.sysconf("SC_PAGE_SIZE") // 1024
    started = time.monotonic()
    killed = None
    with open(stderr_path, "w+b") as errfile:
        child = subprocess.Popen(argv, stdout=subprocess.DEVNULL, stderr=errfile)
        while True:
            pid, status, usage = os.wait4(child.pid, os.WNOHANG)  # the child's own peak
            if pid:
                break
            try:
                with open("/proc/%d/statm" % child.pid) as f:
                    resident_kib = int(f.read().split()[1]) * page_kib
            except (OSError, IndexError, ValueError):
                resident_kib = 0
            # Stop a runaway early, before it takes the machine's memory or the test's time.
            if resident_kib > MEMORY_BOUND_KIB and killed is None:
                killed = "memory"
                child.kill()
            elif time.monotonic() - started > TIMEOUT_S and killed is None:
                killed = "time"
                child.kill()
            time.sleep(0.02)
        code = os.waitstatus_to_exitcode(status)
        errfile.seek(0)
        err = errfile.read().decode("utf-8", "replace")
    timed_out = killed == "time"
    if killed == "memory":
        return ("stopped after passing the %d MiB memory bound" % (MEMORY_BOUND_KIB // 1024),
                code, err[-3000:])
    if timed_out:
        return "no answer within %d s (a hang)" % TIMEOUT_S, code, err
    if code < 0:
        return "killed by signal %d\n%s" % (-code, err[-3000:]), code, err
    if any(m in err for m in SANITIZER_MARKS):
        return "sanitizer report\n" + err[:1500], code, err
    if usage.ru_maxrss > MEMORY_BOUND_KIB:
        return ("peak memory %d MiB, beyond the %d MiB bound" %
                (usage.ru_maxrss // 1024, MEMORY_BOUND_KIB // 1024)), code, err
    return None, code, err


def run_case(renderer, work, name, data, expect, fmt):
    image = os.path.join(work, name + "." + fmt)
    with open(image, "wb") as f:
        f.write(data)
    scene = os.path.join(work, name + ".scene.json")
    with open(scene, "w") as f:
        json.dump(scene_for(os.path.basename(image)), f)
    out = os.path.join(work, name + ".out.png")
    if os.path.exists(out):
        os.remove(out)
    problem, code, err = run_renderer([renderer, scene, "--png", out],
                                      os.path.join(work, name + ".stderr"))
    if problem is not None:
        return problem
    if code != 0:
        return "exit status %d\n%s" % (code, err)
    try:
        pixels = read_rgba_png(out)
    except (OSError, ValueError, zlib.error, struct.error) as e:
        return "the picture cannot be read back: %s" % e
    drawn = [p for p in pixels if p != (0, 0, 0, 0)]
    warned = "warning" in err and os.path.basename(image) in err
    if expect == "decode":
        tolerance = 12
        if err.strip():
            return "a valid image gave messages:\n" + err
        if len(drawn) != len(pixels) - 33:  # the 17 x 17 canvas less its last row and column
            return "%d of %d pixels drawn, expected %d" % (len(drawn), len(pixels), len(pixels) - 33)
        for p in drawn:
            # Truncated bilinear sums may lose one; JPEG may stray either way.
            low = tolerance if fmt == "jpeg" else 1
            high = tolerance if fmt == "jpeg" else 0
            if p[3] != 255 or any(not (c - low <= v <= c + high) for v, c in zip(p, COLOUR)):
                return "drawn pixel %s is not the image's colour %s" % (p, COLOUR)
        return None
    if drawn and expect in ("empty", "toolarge"):
        return "%d pixels drawn from an image that cannot decode" % len(drawn)
    if not drawn and not warned:
        return "nothing drawn and no warning naming the file:\n" + err
    if re.search(r"\(\s*\)|[\x00-\x08\x0b-\x1f]", err):
        return "a warning with an empty reason or control characters:\n" + repr(err)
    if expect == "toolarge" and not re.search(r"pixels|too large", err):
        return "the refusal does not say the image is too large:\n" + err
    return None


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--renderer", help="the vorlin-render executable")
    ap.add_argument("--work", required=True, help="folder for the images, scenes and output")
    ap.add_argument("--formats", default=",".join(FORMATS))
    ap.add_argument("--list", action="store_true", help="only write the images and list them")
    args = ap.parse_args()
    os.makedirs(args.work, exist_ok=True)
    failures = 0
    count = 0
    for fmt in args.formats.split(","):
        for name, data, expect in FORMATS[fmt](args.work):
            count += 1
            if args.list or not args.renderer:
                with open(os.path.join(args.work, name + "." + fmt), "wb") as f:
                    f.write(data)
                print("%-32s %-8s %8d bytes" % (name, expect, len(data)))
                continue
            problem = run_case(args.renderer, args.work, name, data, expect, fmt)
            print("%-32s %-8s %s" % (name, expect, "ok" if problem is None else "FAIL"))
            if problem is not None:
                failures += 1
                print("    " + problem.replace("\n", "\n    ").rstrip())
    print("%d cases, %d failed" % (count, failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
