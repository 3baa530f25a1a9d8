#!/usr/bin/env python3
"""Checks that the guide's pictures of QUELM.EXE's message boxes (docs/images/*.png, captured under
Wine by scripts/capture-boxes.sh) show the close button of the caption as Windows draws it: Marlett's
cross. A Wine that cannot find Marlett draws the cross's code, the letter "r", in a text font instead.
It reads the PNG files alone and needs no Wine.

    picture_check.py PICTURE...                        check; exit status 1 and one line per fault
    picture_check.py --self-test GOOD LETTER-R...      check that faults planted in a copy of GOOD,
                                                       and pictures showing the letter, are found
"""
import struct
import sys
import zlib
from collections import Counter, deque
from pathlib import Path

PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"
BYTES_PER_PIXEL = {2: 3, 6: 4}  # RGB, RGBA, 8 bits a sample
# The cross mirrors onto itself both ways; the letter "r" (a stem on the left, an arm to the right)
# mirrors onto a tenth of itself. Anti-aliasing and hinting cost the cross a few pixels at most.
LEAST_SYMMETRY = 0.7


class PictureError(Exception):
    """The file is not a picture this check reads, or holds no caption with a close button."""


def decode_png(data):
    """(width, height, rows of (r, g, b) tuples) of an 8-bit, non-interlaced RGB or RGBA PNG."""
    if data[:8] != PNG_SIGNATURE:
        raise PictureError("not a PNG file")
    position, header, compressed = 8, None, bytearray()
    while position + 8 <= len(data):
        length, kind = struct.unpack_from(">I4s", data, position)
        body = data[position + 8:position + 8 + length]
        position += 12 + length
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            compressed += body
        elif kind == b"IEND":
            break
    if header is None:
        raise PictureError("no IHDR chunk")
    width, height, depth, color_type, _, _, interlace = header
    if depth != 8 or color_type not in BYTES_PER_PIXEL or interlace:
        raise PictureError(f"bit depth {depth}, colour type {color_type}, interlace {interlace}: expected an "
                           "8-bit RGB or RGBA picture without interlace")
    bpp = BYTES_PER_PIXEL[color_type]
    raw, stride = zlib.decompress(bytes(compressed)), width * bpp
    if len(raw) != height * (stride + 1):
        raise PictureError(f"{len(raw)} bytes of pixel data, expected {height * (stride + 1)}")
    rows, previous = [], bytearray(stride)
    for y in range(height):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            left = line[i - bpp] if i >= bpp else 0
            up_left = previous[i - bpp] if i >= bpp else 0
            line[i] = (line[i] + predictor(kind, left, previous[i], up_left)) & 0xFF
        rows.append([tuple(line[x * bpp:x * bpp + 3]) for x in range(width)])
        previous = line
    return width, height, rows


def predictor(kind, left, up, up_left):
    """What a PNG filter adds back to a byte, from its left, upper and upper-left neighbours."""
    if kind == 0:
        return 0
    if kind == 1:
        return left
    if kind == 2:
        return up
    if kind == 3:
        return (left + up) // 2
    if kind == 4:
        estimate = left + up - up_left
        nearest = min((abs(estimate - left), 0, left), (abs(estimate - up), 1, up),
                      (abs(estimate - up_left), 2, up_left))
        return nearest[2]
    raise PictureError(f"unknown PNG filter {kind}")


def luma(color):
    red, green, blue = color
    return (299 * red + 587 * green + 114 * blue) // 1000


def caption_band(rows):
    """(first row, last row, colour) of the caption: the first run from the top of at least 10 rows
    that one colour fills at least half of (the frame above it is thinner)."""
    runs = []
    for y, row in enumerate(rows[:max(len(rows) // 3, 1)]):
        color, count = Counter(row).most_common(1)[0]
        color = color if count * 2 >= len(row) else None
        if runs and runs[-1][2] == color and runs[-1][1] == y - 1:
            runs[-1][1] = y
        else:
            runs.append([y, y, color])
    for first, last, color in runs:
        if color is not None and last - first + 1 >= 10:
            return first, last, color
    raise PictureError("no caption: no 10 rows near the top are mostly of one colour")


def close_button(rows):
    """(left, top, right, bottom) of the caption's close button: the rightmost filled, roughly square
    patch of other colours inside the caption, at least 8 pixels each way (the caption's text is
    made of thin strokes, the window's frame runs past the caption)."""
    first, last, color = caption_band(rows)
    seen, best = set(), None
    for y in range(first + 1, last):
        for x, pixel in enumerate(rows[y]):
            if pixel == color or (x, y) in seen:
                continue
            patch, queue = [], deque([(x, y)])
            seen.add((x, y))
            while queue:
                px, py = queue.popleft()
                patch.append((px, py))
                for nx, ny in ((px + 1, py), (px - 1, py), (px, py + 1), (px, py - 1)):
                    if (first <= ny <= last and 0 <= nx < len(rows[ny]) and (nx, ny) not in seen
                            and rows[ny][nx] != color):
                        seen.add((nx, ny))
                        queue.append((nx, ny))
            xs, ys = [p[0] for p in patch], [p[1] for p in patch]
            left, top, right, bottom = min(xs), min(ys), max(xs), max(ys)
            width, height = right - left + 1, bottom - top + 1
            if (top == first or bottom == last or width < 8 or height < 8 or not 0.6 <= width / height <= 1.8
                    or len(patch) < 0.9 * width * height):
                continue
            if best is None or right > best[2]:
                best = (left, top, right, bottom)
    if best is None:
        raise PictureError(f"no close button in the caption (rows {first} to {last})")
    return best


def button_face(rows, button):
    """(left, top, right, bottom, face colour) of the button's face: its rectangle less the edge lines
    of its bevel, which are less than half of the face's colour."""
    left, top, right, bottom = button
    face = Counter(rows[y][x] for y in range(top, bottom + 1) for x in range(left, right + 1)).most_common(1)[0][0]

    def mostly_face(pixels):
        return sum(pixel == face for pixel in pixels) * 2 >= len(pixels)

    while top < bottom and not mostly_face([rows[top][x] for x in range(left, right + 1)]):
        top += 1
    while bottom > top and not mostly_face([rows[bottom][x] for x in range(left, right + 1)]):
        bottom -= 1
    while left < right and not mostly_face([rows[y][left] for y in range(top, bottom + 1)]):
        left += 1
    while right > left and not mostly_face([rows[y][right] for y in range(top, bottom + 1)]):
        right -= 1
    return left, top, right, bottom, face


def glyph_of(rows):
    """The close button's glyph: the set of (x, y) of its ink, pixels darker than half the face's
    brightness, counted from the ink's top left corner; empty when the face is bare."""
    left, top, right, bottom, face = button_face(rows, close_button(rows))
    threshold = luma(face) / 2
    ink = [(x, y) for y in range(top, bottom + 1) for x in range(left, right + 1) if luma(rows[y][x]) < threshold]
    if not ink:
        return set()
    x0, y0 = min(x for x, _ in ink), min(y for _, y in ink)
    return {(x - x0, y - y0) for x, y in ink}


def shape_of(glyph):
    """What tells the cross from other glyphs: how far it mirrors onto itself left to right and top to
    bottom (shared pixels over all pixels), how many of the four corners of its box hold ink, and
    whether its middle does."""
    width, height = max(x for x, _ in glyph) + 1, max(y for _, y in glyph) + 1

    def symmetry(mirrored):
        return len(glyph & mirrored) / len(glyph | mirrored)

    cell_x, cell_y = (width + 3) // 4, (height + 3) // 4
    corners = sum(any((x, y) in glyph for x in xs for y in ys)
                  for xs in (range(cell_x), range(width - cell_x, width))
                  for ys in (range(cell_y), range(height - cell_y, height)))
    middle = any((x, y) in glyph for x in range(width // 3, width - width // 3)
                 for y in range(height // 3, height - height // 3))
    return {"left-right": symmetry({(width - 1 - x, y) for x, y in glyph}),
            "top-bottom": symmetry({(x, height - 1 - y) for x, y in glyph}),
            "corners": corners, "middle": middle, "size": f"{width}x{height}"}


def describe(shape):
    return (f"{shape['size']} pixels, mirror symmetry left-right {shape['left-right']:.2f} and top-bottom "
            f"{shape['top-bottom']:.2f}, ink in {shape['corners']} of 4 corners, middle "
            f"{'inked' if shape['middle'] else 'empty'}")


def faults_of(name, data):
    """The faults of one picture, as lines; none when its close button shows the cross."""
    try:
        glyph = glyph_of(decode_png(data)[2])
    except PictureError as error:
        return [f"{name}: {error}"]
    except (zlib.error, struct.error, IndexError) as error:
        return [f"{name}: not a readable PNG file ({error})"]
    if not glyph:
        return [f"{name}: the close button shows no glyph (expected Marlett's cross)"]
    shape = shape_of(glyph)
    if (shape["left-right"] >= LEAST_SYMMETRY and shape["top-bottom"] >= LEAST_SYMMETRY and shape["corners"] == 4
            and shape["middle"]):
        return []
    return [f"{name}: the close button shows no cross: expected Marlett's cross (mirror symmetry of at least "
            f"{LEAST_SYMMETRY} both ways, ink in 4 of 4 corners and the middle), found {describe(shape)} (a "
            "Wine that finds no Marlett draws its code for the cross, the letter \"r\", in a text font: see "
            "WINE_FONT_DIR in tests/e2e/wine/wine_session.py)"]


# --- Self-test ------------------------------------------------------------------------------------


def encoder_predictor(kind, left, up, up_left):
    """The decoder's predictor written the other way, so that the round trip tests the decoder."""
    if kind == 4:
        estimate = left + up - up_left
        to_left, to_up, to_up_left = abs(estimate - left), abs(estimate - up), abs(estimate - up_left)
        if to_left <= to_up and to_left <= to_up_left:
            return left
        return up if to_up <= to_up_left else up_left
    return {0: 0, 1: left, 2: up, 3: (left + up) >> 1}[kind]


def encode_png(width, height, rows, filter_of_row=lambda y: 0, alpha=False):
    """A PNG of the rows, each row's bytes filtered as filter_of_row says, with an alpha channel or not."""
    bpp, lines, previous = 4 if alpha else 3, [], bytearray(width * (4 if alpha else 3))
    for y, row in enumerate(rows):
        line = bytearray(b"".join(bytes(pixel) + (b"\xff" if alpha else b"") for pixel in row))
        kind = filter_of_row(y)
        filtered = bytearray(len(line))
        for i in range(len(line)):
            left = line[i - bpp] if i >= bpp else 0
            up_left = previous[i - bpp] if i >= bpp else 0
            filtered[i] = (line[i] - encoder_predictor(kind, left, previous[i], up_left)) & 0xFF
        lines.append(bytes([kind]) + bytes(filtered))
        previous = line

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

    header = struct.pack(">IIBBBBB", width, height, 8, 6 if alpha else 2, 0, 0, 0)
    return (PNG_SIGNATURE + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(b"".join(lines)))
            + chunk(b"IEND", b""))


def with_face(rows, paint):
    """A copy of the rows whose close button's face is bare, then painted by paint(face rectangle,
    rows)."""
    copy = [list(row) for row in rows]
    left, top, right, bottom, face = button_face(rows, close_button(rows))
    for y in range(top, bottom + 1):
        for x in range(left, right + 1):
            copy[y][x] = face
    paint((left, top, right, bottom), copy)
    return copy


def drawn(points):
    """A painter of black pixels at (x, y) counted from the face's top left corner, one pixel in."""
    def paint(face, rows):
        for x, y in points:
            rows[face[1] + 1 + y][face[0] + 1 + x] = (0, 0, 0)
    return paint


def glyph_moved(rows, keep=lambda x, y, glyph: True):
    """The picture's own glyph, as drawn(), keeping only the pixels keep(x, y, glyph) takes."""
    glyph = glyph_of(rows)
    return drawn(sorted((x, y) for x, y in glyph if keep(x, y, glyph)))


def one_stroke(x, y, glyph):
    """Whether (x, y) lies on the stroke from the glyph's top left to its bottom right."""
    width, height = max(p[0] for p in glyph) + 1, max(p[1] for p in glyph) + 1
    return abs(x / width - y / height) < 0.25


def without_button(rows):
    color = caption_band(rows)[2]
    left, top, right, bottom = close_button(rows)
    copy = [list(row) for row in rows]
    for y in range(top, bottom + 1):
        copy[y][left:right + 1] = [color] * (right - left + 1)
    return copy


def self_test(good, letter_pictures):
    """Each fault planted in a copy of the GOOD picture, and each picture of the letter "r", must be
    found; GOOD itself, encoded with every PNG filter and with an alpha channel, must pass unchanged."""
    width, height, rows = decode_png(good.read_bytes())
    box = [(x, y) for x in range(8) for y in range(8) if x in (0, 7) or y in (0, 7)]
    plus = [(x, 3) for x in range(7)] + [(3, y) for y in range(7)]
    letter = drawn([(1, y) for y in range(7)] + [(2, 1), (3, 0), (4, 0)])
    plants = [(name, encode_png(width, height, planted), expected) for name, planted, expected in (
        ("the face left bare", with_face(rows, lambda face, copy: None), "shows no glyph"),
        ("the letter r as Wine drew it in Liberation Mono", with_face(rows, letter), "found 4x7 pixels"),
        ("one stroke of the cross", with_face(rows, glyph_moved(rows, one_stroke)), "shows no cross"),
        ("the maximize box", with_face(rows, drawn(box)), "middle empty"),
        ("a plus sign", with_face(rows, drawn(plus)), "ink in 0 of 4 corners"),
        ("no button in the caption", without_button(rows), "no close button"),
    )]
    plants.append(("the file cut short", good.read_bytes()[:1000], "not a readable PNG file"))
    failures = []
    for name, data, expected in plants:
        found = faults_of(name, data)
        if not any(expected in fault for fault in found):
            failures.append(f"{name}: expected a fault naming {expected!r}, got {found!r}")
    passing = [(f"filter {kind} on every row", encode_png(width, height, rows, lambda y, k=kind: k))
               for kind in range(5)]
    passing += [("the filters in turn, with alpha", encode_png(width, height, rows, lambda y: y % 5, True)),
                ("the cross moved to the face's corner", encode_png(width, height,
                                                                   with_face(rows, glyph_moved(rows))))]
    for name, data in passing:
        if "filter" in name and decode_png(data)[2] != rows:
            failures.append(f"{name}: decoded pixels differ from those of {good.name}")
        found = faults_of(name, data)
        if found:
            failures.append(f"{name}: expected no fault, got {found!r}")
    for picture in letter_pictures:
        found = faults_of(picture.name, picture.read_bytes())
        if not any("found" in fault and "shows no cross" in fault for fault in found):
            failures.append(f"{picture}: expected the letter r to be found, got {found!r}")
    return failures


def main(arguments):
    testing = arguments[:1] == ["--self-test"]
    pictures = [Path(argument) for argument in arguments[1 if testing else 0:]]
    if len(pictures) < (2 if testing else 1):
        print(__doc__.strip())
        return 2
    if testing:
        problems = self_test(pictures[0], pictures[1:])
        print("\n".join(f"FAIL: {problem}" for problem in problems) or "OK: every planted fault found")
        return 1 if problems else 0
    problems = []
    for picture in pictures:
        faults = faults_of(picture.name, picture.read_bytes())
        problems += faults
        if not faults:
            shape = shape_of(glyph_of(decode_png(picture.read_bytes())[2]))
            print(f"OK: {picture.name}: Marlett's cross, {describe(shape)}")
        for fault in faults:
            print(f"FAIL: {fault}")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
