"""A tiny vector rasteriser for the skin's pictures, standard library only.

Shapes are signed distance functions in pixel units (negative inside); a
pixel's coverage is clamp(0.5 - distance), which anti-aliases edges
analytically without supersampling. Colours are straight sRGB floats 0..1;
the canvas stores premultiplied RGBA floats and composites with "over".
Everything is deterministic: the same drawing gives the same bytes.
"""
import math
import struct
import zlib


def rgba(text, alpha=1.0):
    """'#RRGGBB' or '#RRGGBBAA' -> (r, g, b, a) floats; alpha multiplies."""
    text = text.lstrip("#")
    r, g, b = (int(text[i:i + 2], 16) / 255.0 for i in (0, 2, 4))
    a = int(text[6:8], 16) / 255.0 if len(text) == 8 else 1.0
    return (r, g, b, a * alpha)


def mix(c0, c1, t):
    return tuple(c0[i] + (c1[i] - c0[i]) * t for i in range(4))


def clamp01(v):
    return 0.0 if v < 0.0 else 1.0 if v > 1.0 else v


# ---------------------------------------------------------------- shapes

def circle(cx, cy, r):
    def sdf(x, y):
        return math.hypot(x - cx, y - cy) - r
    return sdf


def rounded_rect(x0, y0, x1, y1, radius):
    hx, hy = (x1 - x0) / 2.0, (y1 - y0) / 2.0
    cx, cy = x0 + hx, y0 + hy
    radius = min(radius, hx, hy)

    def sdf(x, y):
        qx = abs(x - cx) - hx + radius
        qy = abs(y - cy) - hy + radius
        outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
        return outside + min(max(qx, qy), 0.0) - radius
    return sdf


def segment_distance(x, y, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    length2 = dx * dx + dy * dy
    t = 0.0 if length2 == 0 else clamp01(((x - ax) * dx + (y - ay) * dy) / length2)
    return math.hypot(x - ax - dx * t, y - ay - dy * t)


def stroke(points, width):
    """A polyline with round joins and caps."""
    half = width / 2.0
    segments = list(zip(points, points[1:]))

    def sdf(x, y):
        return min(segment_distance(x, y, a[0], a[1], b[0], b[1]) for a, b in segments) - half
    return sdf


def polygon(points):
    """A filled simple polygon (even-odd rule)."""
    edges = list(zip(points, points[1:] + points[:1]))

    def sdf(x, y):
        d = min(segment_distance(x, y, a[0], a[1], b[0], b[1]) for a, b in edges)
        inside = False
        for (ax, ay), (bx, by) in edges:
            if (ay > y) != (by > y) and x < (bx - ax) * (y - ay) / (by - ay) + ax:
                inside = not inside
        return -d if inside else d
    return sdf


def ring(cx, cy, r, width):
    base = circle(cx, cy, r)
    half = width / 2.0
    return lambda x, y: abs(base(x, y)) - half


def arc(cx, cy, r, width, start_deg, sweep_deg):
    """Part of a ring with round caps; angles clockwise from 12 o'clock."""
    half = width / 2.0
    a0 = math.radians(start_deg)
    a1 = math.radians(start_deg + sweep_deg)
    lo, hi = min(a0, a1), max(a0, a1)
    caps = [(cx + r * math.sin(a), cy - r * math.cos(a)) for a in (a0, a1)]

    def sdf(x, y):
        angle = math.atan2(x - cx, -(y - cy))
        while angle < lo:
            angle += 2 * math.pi
        if angle <= hi:
            return abs(math.hypot(x - cx, y - cy) - r) - half
        return min(math.hypot(x - px, y - py) for px, py in caps) - half
    return sdf


def curve_below(f, df):
    """The region below the curve y = f(x) (y grows downwards)."""
    def sdf(x, y):
        return (f(x) - y) / math.sqrt(1.0 + df(x) ** 2)
    return sdf


def union(*shapes):
    return lambda x, y: min(s(x, y) for s in shapes)


def intersect(*shapes):
    return lambda x, y: max(s(x, y) for s in shapes)


def subtract(shape, cut):
    return lambda x, y: max(shape(x, y), -cut(x, y))


def offset(shape, dx, dy):
    return lambda x, y: shape(x - dx, y - dy)


def coverage(d):
    if d >= 0.5:
        return 0.0
    if d <= -0.5:
        return 1.0
    return 0.5 - d


# ---------------------------------------------------------------- paints

def solid(colour):
    return lambda x, y: colour


def _sample(stops, t):
    t = clamp01(t)
    for (t0, c0), (t1, c1) in zip(stops, stops[1:]):
        if t <= t1:
            return mix(c0, c1, 0.0 if t1 == t0 else (t - t0) / (t1 - t0))
    return stops[-1][1]


def linear(x0, y0, x1, y1, stops):
    """stops: [(t, colour), ...] along the line from (x0, y0) to (x1, y1)."""
    dx, dy = x1 - x0, y1 - y0
    length2 = dx * dx + dy * dy

    def paint(x, y):
        return _sample(stops, ((x - x0) * dx + (y - y0) * dy) / length2)
    return paint


def radial(cx, cy, r, stops, sx=1.0, sy=1.0):
    def paint(x, y):
        return _sample(stops, math.hypot((x - cx) / sx, (y - cy) / sy) / r)
    return paint


# ---------------------------------------------------------------- canvas

_BAYER = [0, 32, 8, 40, 2, 34, 10, 42, 48, 16, 56, 24, 50, 18, 58, 26,
          12, 44, 4, 36, 14, 46, 6, 38, 60, 28, 52, 20, 62, 30, 54, 22,
          3, 35, 11, 43, 1, 33, 9, 41, 51, 19, 59, 27, 49, 17, 57, 25,
          15, 47, 7, 39, 13, 45, 5, 37, 63, 31, 55, 23, 61, 29, 53, 21]


class Canvas:
    def __init__(self, width, height):
        self.width = width
        self.height = height
        self.px = [0.0] * (width * height * 4)

    def _box(self, box):
        if box is None:
            return 0, 0, self.width, self.height
        x0, y0, x1, y1 = box
        return (max(0, int(math.floor(x0))), max(0, int(math.floor(y0))),
                min(self.width, int(math.ceil(x1))), min(self.height, int(math.ceil(y1))))

    def fill(self, shape, paint, box=None, clip=None, opacity=1.0):
        """Composites paint over the canvas where shape covers it."""
        x0, y0, x1, y1 = self._box(box)
        px, w = self.px, self.width
        for y in range(y0, y1):
            fy = y + 0.5
            for x in range(x0, x1):
                fx = x + 0.5
                c = coverage(shape(fx, fy)) if shape is not None else 1.0
                if c <= 0.0:
                    continue
                if clip is not None:
                    c *= coverage(clip(fx, fy))
                    if c <= 0.0:
                        continue
                r, g, b, a = paint(fx, fy)
                a *= c * opacity
                if a <= 0.0:
                    continue
                i = (y * w + x) * 4
                k = 1.0 - a
                px[i] = r * a + px[i] * k
                px[i + 1] = g * a + px[i + 1] * k
                px[i + 2] = b * a + px[i + 2] * k
                px[i + 3] = a + px[i + 3] * k

    def shadow(self, shape, colour, sigma, dx=0.0, dy=0.0, box=None, clip=None):
        """A blurred copy of shape's coverage, shifted by (dx, dy), in colour."""
        x0, y0, x1, y1 = self._box(box)
        bw, bh = x1 - x0, y1 - y0
        if bw <= 0 or bh <= 0:
            return
        mask = [0.0] * (bw * bh)
        for y in range(bh):
            fy = y0 + y + 0.5 - dy
            for x in range(bw):
                mask[y * bw + x] = coverage(shape(x0 + x + 0.5 - dx, fy))
        mask = gaussian_blur(mask, bw, bh, sigma)
        r, g, b, a = colour
        px, w = self.px, self.width
        for y in range(bh):
            for x in range(bw):
                m = mask[y * bw + x] * a
                if m <= 1e-6:
                    continue
                if clip is not None:
                    m *= coverage(clip(x0 + x + 0.5, y0 + y + 0.5))
                    if m <= 0.0:
                        continue
                i = ((y0 + y) * w + x0 + x) * 4
                k = 1.0 - m
                px[i] = r * m + px[i] * k
                px[i + 1] = g * m + px[i + 1] * k
                px[i + 2] = b * m + px[i + 2] * k
                px[i + 3] = m + px[i + 3] * k

    def blit(self, other, dx, dy):
        """Composites another canvas over this one at an integer offset."""
        for y in range(other.height):
            ty = y + dy
            if not 0 <= ty < self.height:
                continue
            for x in range(other.width):
                tx = x + dx
                if not 0 <= tx < self.width:
                    continue
                j = (y * other.width + x) * 4
                a = other.px[j + 3]
                if a <= 0.0:
                    continue
                i = (ty * self.width + tx) * 4
                k = 1.0 - a
                for c in range(4):
                    self.px[i + c] = other.px[j + c] + self.px[i + c] * k

    def rgba_bytes(self, dither=True):
        """Straight-alpha 8-bit RGBA rows, ordered-dithered to avoid banding."""
        out = bytearray(self.width * self.height * 4)
        px = self.px
        for y in range(self.height):
            for x in range(self.width):
                i = (y * self.width + x) * 4
                a = px[i + 3]
                if a <= 1e-6:
                    continue
                noise = (_BAYER[(y & 7) * 8 + (x & 7)] + 0.5) / 64.0 if dither else 0.5
                a8 = min(255, int(a * 255.0 + noise))
                if a8 == 0:
                    continue
                inv = 1.0 / a
                out[i] = min(255, int(clamp01(px[i] * inv) * 255.0 + noise))
                out[i + 1] = min(255, int(clamp01(px[i + 1] * inv) * 255.0 + noise))
                out[i + 2] = min(255, int(clamp01(px[i + 2] * inv) * 255.0 + noise))
                out[i + 3] = a8
        return bytes(out)


def gaussian_blur(values, width, height, sigma):
    """Three box blurs per axis approximate a Gaussian of the given sigma."""
    if sigma <= 0:
        return values
    n = 3
    ideal = math.sqrt(12.0 * sigma * sigma / n + 1.0)
    lower = int(math.floor(ideal))
    if lower % 2 == 0:
        lower -= 1
    upper = lower + 2
    m = round((12.0 * sigma * sigma - n * lower * lower - 4 * n * lower - 3 * n) / (-4 * lower - 4))
    sizes = [lower if i < m else upper for i in range(n)]
    data = list(values)
    for size in sizes:
        radius = (size - 1) // 2
        data = _box_blur_rows(data, width, height, radius)
        data = _transpose(data, width, height)
        data = _box_blur_rows(data, height, width, radius)
        data = _transpose(data, height, width)
    return data


def _box_blur_rows(data, width, height, radius):
    out = [0.0] * (width * height)
    scale = 1.0 / (2 * radius + 1)
    for y in range(height):
        row = y * width
        total = 0.0
        for x in range(-radius, radius + 1):
            if 0 <= x < width:
                total += data[row + x]
        for x in range(width):
            out[row + x] = total * scale
            leaving = x - radius
            entering = x + radius + 1
            if 0 <= leaving < width:
                total -= data[row + leaving]
            if entering < width:
                total += data[row + entering]
    return out


def _transpose(data, width, height):
    out = [0.0] * (width * height)
    for y in range(height):
        row = y * width
        for x in range(width):
            out[x * height + y] = data[row + x]
    return out


# ---------------------------------------------------------------- files

def _chunk(kind, data):
    return (struct.pack(">I", len(data)) + kind + data +
            struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))


def _paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    if pa <= pb and pa <= pc:
        return a
    return b if pb <= pc else c


def encode_png(width, height, rgba_data):
    """PNG of 8-bit RGBA rows; opaque pictures are stored as RGB. Each row
    takes the filter with the smallest sum of absolute differences."""
    opaque = all(rgba_data[i] == 255 for i in range(3, len(rgba_data), 4))
    channels = 3 if opaque else 4
    if opaque:
        data = bytearray()
        for i in range(0, len(rgba_data), 4):
            data += rgba_data[i:i + 3]
    else:
        data = rgba_data
    stride = width * channels
    raw = bytearray()
    previous = bytes(stride)
    for y in range(height):
        row = data[y * stride:(y + 1) * stride]
        best = None
        for kind in range(5):
            filtered = bytearray(stride)
            for x in range(stride):
                left = row[x - channels] if x >= channels else 0
                up = previous[x]
                upper_left = previous[x - channels] if x >= channels else 0
                predictor = (0, left, up, (left + up) // 2, _paeth(left, up, upper_left))[kind]
                filtered[x] = (row[x] - predictor) & 0xFF
            score = sum(v if v < 128 else 256 - v for v in filtered)
            if best is None or score < best[0]:
                best = (score, kind, filtered)
        raw.append(best[1])
        raw += best[2]
        previous = row
    header = struct.pack(">IIBBBBB", width, height, 8, 6 if channels == 4 else 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + _chunk(b"IHDR", header) +
            _chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + _chunk(b"IEND", b""))


def decode_png(blob):
    """(width, height, RGBA bytes) of an 8-bit RGB or RGBA PNG (as written above)."""
    if blob[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError("not a PNG")
    pos, idat, header = 8, b"", None
    while pos < len(blob):
        length, kind = struct.unpack(">I4s", blob[pos:pos + 8])
        data = blob[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", data)
        elif kind == b"IDAT":
            idat += data
        pos += 12 + length
    width, height, depth, colour_type = header[:4]
    if depth != 8 or colour_type not in (2, 6):
        raise ValueError("unsupported PNG format")
    channels = 4 if colour_type == 6 else 3
    stride = width * channels
    raw = zlib.decompress(idat)
    out = bytearray()
    previous = bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        row = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for x in range(stride):
            left = row[x - channels] if x >= channels else 0
            up = previous[x]
            upper_left = previous[x - channels] if x >= channels else 0
            predictor = (0, left, up, (left + up) // 2, _paeth(left, up, upper_left))[kind]
            row[x] = (row[x] + predictor) & 0xFF
        previous = row
        if channels == 4:
            out += row
        else:
            for x in range(width):
                out += row[x * 3:x * 3 + 3] + b"\xff"
    return width, height, bytes(out)


def encode_ico(images):
    """An .ico from [(size, RGBA bytes)]: sizes up to 128 as 32-bit BMP entries
    (with their AND mask, readable by every Windows version), 256 as PNG."""
    entries = []
    for size, data in images:
        if size >= 256:
            entries.append((size, encode_png(size, size, data)))
            continue
        pixels = bytearray()
        mask_stride = ((size + 31) // 32) * 4
        mask = bytearray(mask_stride * size)
        for row in range(size):
            y = size - 1 - row  # bottom-up rows
            for x in range(size):
                r, g, b, a = data[(y * size + x) * 4:(y * size + x) * 4 + 4]
                pixels += bytes((b, g, r, a))
                if a < 128:
                    mask[row * mask_stride + x // 8] |= 0x80 >> (x % 8)
        header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0,
                             len(pixels) + len(mask), 0, 0, 0, 0)
        entries.append((size, header + bytes(pixels) + bytes(mask)))
    out = struct.pack("<HHH", 0, 1, len(entries))
    offset = 6 + 16 * len(entries)
    for size, blob in entries:
        dim = 0 if size >= 256 else size
        out += struct.pack("<BBBBHHII", dim, dim, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
    for _, blob in entries:
        out += blob
    return out


def decode_ico(blob):
    """[(size, RGBA bytes)] of an .ico written by encode_ico."""
    _, _, count = struct.unpack("<HHH", blob[:6])
    images = []
    for n in range(count):
        dim, _, _, _, _, _, length, offset = struct.unpack("<BBBBHHII", blob[6 + 16 * n:22 + 16 * n])
        body = blob[offset:offset + length]
        if body[:8] == b"\x89PNG\r\n\x1a\n":
            width, _, data = decode_png(body)
            images.append((width, data))
            continue
        size = dim
        pixels = body[40:40 + size * size * 4]
        data = bytearray(size * size * 4)
        for row in range(size):
            y = size - 1 - row
            for x in range(size):
                b, g, r, a = pixels[(row * size + x) * 4:(row * size + x) * 4 + 4]
                data[(y * size + x) * 4:(y * size + x) * 4 + 4] = bytes((r, g, b, a))
        images.append((size, bytes(data)))
    return images
