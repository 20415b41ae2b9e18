#!/usr/bin/python3
"""Makes the image decoder fixtures under tests/data/images (run once; the
results are committed, so the build needs none of the tools used here).

Each folder gets an expected.txt with one line per file:
    FILE REFERENCE WIDTH HEIGHT TOLERANCE
REFERENCE is a raw RGBA file (8 bits a channel, top row first; its width
and height follow on the line) or "-" for a file that must be refused.
TOLERANCE is the largest difference allowed per channel; a negative one
bounds the mean absolute difference instead (decoders that may round and
upsample differently).

Sources of the pictures and of their references:
- png/ps-*.png: PngSuite (Willem van Schaik, copied from Go 1.19's
  image/png/testdata/pngsuite; "Permission to use, copy, and distribute these
  images for any purpose and without fee is hereby granted"). References are
  ImageMagick's decode at 16 bits (of a copy without the colour-space chunks,
  since values are compared as stored), rounded to 8.
- png/gen-*.png, x*.png: written by the small PNG encoder below (every colour
  type and bit depth, Adam7, tRNS) and corrupted copies. References are the
  pixels the encoder was given.
- jpeg/go-*.jpeg: Go 1.19 image/testdata (BSD licence, The Go Authors), with
  references decoded by Go's own JPEG decoder (the .png files beside them).
- jpeg/pil-*.jpg, im-*.jpg: written by PIL and ImageMagick; references are
  each encoder's own decode.
- tga/, ppm/, dds/: written by the small encoders below (and some by PIL and
  ImageMagick); references are the source pixels, or the tool's own decode.
"""
import os
import random
import struct
import subprocess
import zlib

from PIL import Image

HERE = os.path.dirname(os.path.abspath(__file__))
GO = '/usr/share/go-1.19/src/image'
rng = random.Random(13)


def out(folder, name):
    os.makedirs(os.path.join(HERE, folder), exist_ok=True)
    return os.path.join(HERE, folder, name)


class Manifest:
    def __init__(self, folder):
        self.folder = folder
        self.lines = []

    def good(self, name, w, h, rgba, tolerance=0):
        ref = name + '.rgba'
        assert len(rgba) == w * h * 4, name
        with open(out(self.folder, ref), 'wb') as f:
            f.write(bytes(rgba))
        self.lines.append(f'{name} {ref} {w} {h} {tolerance}')

    def bad(self, name):
        self.lines.append(f'{name} - 0 0 0')

    def write(self):
        with open(out(self.folder, 'expected.txt'), 'w') as f:
            f.write('\n'.join(self.lines) + '\n')


def picture(w, h, seed):
    """A deterministic test picture: 16-bit RGBA samples with gradients and noise."""
    r = random.Random(seed)
    px = []
    for y in range(h):
        for x in range(w):
            px.append(((x * 65535) // max(w - 1, 1), (y * 65535) // max(h - 1, 1),
                       r.randrange(65536), ((x + y) * 4099 + r.randrange(4096)) % 65536))
    return px


def to8(v16):
    return (v16 * 255 + 32767) // 65535


# ---------------------------------------------------------------- PNG
def chunk(kind, data, crc=None):
    c = zlib.crc32(kind + data) & 0xffffffff if crc is None else crc
    return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', c)


ADAM7 = [(0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2), (0, 1, 1, 2)]


def pack_row(samples, depth):
    if depth == 8:
        return bytes(samples)
    if depth == 16:
        return b''.join(struct.pack('>H', s) for s in samples)
    bits = ''.join(format(s, f'0{depth}b') for s in samples)
    bits += '0' * (-len(bits) % 8)
    return bytes(int(bits[i:i + 8], 2) for i in range(0, len(bits), 8))


def filtered(raw_rows, bpp):
    """Applies a rotating filter (0-4) to each row, so every filter is used."""
    outb = b''
    prev = None
    for i, row in enumerate(raw_rows):
        ftype = i % 5
        prior = prev if prev is not None else bytes(len(row))
        res = bytearray()
        for j, v in enumerate(row):
            a = row[j - bpp] if j >= bpp else 0
            b = prior[j]
            c = prior[j - bpp] if j >= bpp else 0
            if ftype == 0:
                p = 0
            elif ftype == 1:
                p = a
            elif ftype == 2:
                p = b
            elif ftype == 3:
                p = (a + b) // 2
            else:
                pa, pb, pc = abs(b - c), abs(a - c), abs(a + b - 2 * c)
                p = a if pa <= pb and pa <= pc else (b if pb <= pc else c)
            res.append((v - p) & 0xff)
        outb += bytes([ftype]) + bytes(res)
        prev = row
    return outb


def encode_png(w, h, ctype, depth, samples_at, interlace=False, plte=None, trns=None, extra=b''):
    channels = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}[ctype]
    bpp = max(1, channels * depth // 8)

    def rows_of(xs, ys):
        return [pack_row([s for x in xs for s in samples_at(x, y)], depth) for y in ys]

    if not interlace:
        data = filtered(rows_of(range(w), range(h)), bpp)
    else:
        data = b''
        for x0, y0, dx, dy in ADAM7:
            xs, ys = range(x0, w, dx), range(y0, h, dy)
            if len(xs) and len(ys):
                data += filtered(rows_of(xs, ys), bpp)
    png = b'\x89PNG\r\n\x1a\n'
    png += chunk(b'IHDR', struct.pack('>IIBBBBB', w, h, depth, ctype, 0, 0, 1 if interlace else 0))
    png += extra
    if plte is not None:
        png += chunk(b'PLTE', b''.join(bytes(c) for c in plte))
    if trns is not None:
        png += chunk(b'tRNS', trns)
    comp = zlib.compress(data, 9)
    png += chunk(b'IDAT', comp[:len(comp) // 2]) + chunk(b'IDAT', comp[len(comp) // 2:])
    png += chunk(b'IEND', b'')
    return png


def without_colour_chunks(png):
    """The PNG with its gAMA, cHRM, sRGB and iCCP chunks left out."""
    outb, pos = png[:8], 8
    while pos + 8 <= len(png):
        length = struct.unpack('>I', png[pos:pos + 4])[0]
        kind = png[pos + 4:pos + 8]
        if kind not in (b'gAMA', b'cHRM', b'sRGB', b'iCCP'):
            outb += png[pos:pos + 12 + length]
        pos += 12 + length
    return outb


def make_png():
    m = Manifest('png')
    # PngSuite, references by ImageMagick.
    suite = os.path.join(GO, 'png/testdata/pngsuite')
    for name in sorted(os.listdir(suite)):
        if not name.endswith('.png'):
            continue
        dst = 'ps-' + name
        with open(os.path.join(suite, name), 'rb') as f:
            data = f.read()
        with open(out('png', dst), 'wb') as f:
            f.write(data)
        size = subprocess.run(['identify', '-format', '%w %h', os.path.join(suite, name)], check=True,
                              capture_output=True, text=True).stdout.split()
        w, h = int(size[0]), int(size[1])
        # ImageMagick would apply the gAMA chunk; the library keeps values as stored.
        raw = subprocess.run(['convert', 'png:-', '-depth', '16', '-endian', 'MSB', 'rgba:-'], check=True,
                             input=without_colour_chunks(data), capture_output=True).stdout
        vals = struct.unpack(f'>{w * h * 4}H', raw)
        m.good(dst, w, h, [to8(v) for v in vals], 1 if b'IHDR' in data and data[24] == 16 else 0)

    # Every colour type and bit depth, plain and Adam7, with and without tRNS.
    w, h = 13, 11
    for ctype, depths in ((0, (1, 2, 4, 8, 16)), (2, (8, 16)), (3, (1, 2, 4, 8)), (4, (8, 16)), (6, (8, 16))):
        for depth in depths:
            for interlace in (False, True):
                for use_trns in ((False, True) if ctype in (0, 2, 3) else (False,)):
                    src = picture(w, h, ctype * 100 + depth)
                    maxv = (1 << depth) - 1
                    plte = trns = None
                    if ctype == 3:
                        n = 1 << depth
                        plte = [(rng.randrange(256), rng.randrange(256), rng.randrange(256)) for _ in range(n)]
                        alphas = [rng.randrange(256) for _ in range(n)]
                        idx = [[(x * 7 + y * 3) % n for x in range(w)] for y in range(h)]
                        if use_trns:
                            trns = bytes(alphas[:max(1, n - 1)])  # shorter than the palette: the rest opaque
                        at = lambda x, y: [idx[y][x]]

                        def ref_px(x, y):
                            i = idx[y][x]
                            a = trns[i] if trns is not None and i < len(trns) else 255
                            return list(plte[i]) + [a]
                    else:
                        q = [[[s * maxv // 65535 for s in src[y * w + x]] for x in range(w)] for y in range(h)]
                        key = None
                        if use_trns:
                            key = q[h // 2][w // 2][:3] if ctype == 2 else q[h // 2][w // 2][:1]
                            trns = b''.join(struct.pack('>H', k) for k in key)

                        def at(x, y, q=q):
                            s = q[y][x]
                            return {0: s[:1], 2: s[:3], 4: [s[0], s[3]], 6: s}[ctype]

                        def ref_px(x, y, q=q, key=key, maxv=maxv):
                            s = q[y][x]
                            e = lambda v: to8(v * 65535 // maxv)
                            if ctype in (0, 4):
                                g = e(s[0])
                                a = e(s[3]) if ctype == 4 else (0 if key is not None and [s[0]] == key else 255)
                                return [g, g, g, a]
                            a = e(s[3]) if ctype == 6 else (0 if key is not None and s[:3] == key else 255)
                            return [e(s[0]), e(s[1]), e(s[2]), a]
                    name = f'gen-c{ctype}-d{depth}{"-i" if interlace else ""}{"-trns" if use_trns else ""}.png'
                    data = encode_png(w, h, ctype, depth, at, interlace, plte, trns)
                    with open(out('png', name), 'wb') as f:
                        f.write(data)
                    m.good(name, w, h, [c for y in range(h) for x in range(w) for c in ref_px(x, y)],
                           1 if depth == 16 else 0)

    # Corrupt files, modelled on PngSuite's x*.png set.
    base = encode_png(8, 8, 0, 8, lambda x, y: [x * 30 + y])
    text = chunk(b'tEXt', b'Comment\x00made for the corrupt set')
    with_text = encode_png(8, 8, 0, 8, lambda x, y: [x * 30 + y], extra=text)
    ihdr_end = 8 + 25

    def put(name, data):
        with open(out('png', name), 'wb') as f:
            f.write(data)
        m.bad(name)

    put('xs1-signature-byte1.png', b'\x88' + base[1:])
    put('xs2-signature-crlf.png', base[:4] + b'\r\r' + base[6:])
    put('xs7-signature-lf.png', base[:6] + b'\r\n' + base[8:])
    put('xhd-ihdr-crc.png', base[:ihdr_end - 1] + bytes([base[ihdr_end - 1] ^ 1]) + base[ihdr_end:])
    for label, ctype, depth in (('xc1-colour-type-1', 1, 8), ('xc9-colour-type-9', 9, 8),
                                ('xd0-depth-0', 0, 0), ('xd3-depth-3', 2, 3), ('xd9-depth-99', 2, 99),
                                ('xd4-palette-depth-16', 3, 16)):
        bad_ihdr = chunk(b'IHDR', struct.pack('>IIBBBBB', 8, 8, depth, ctype, 0, 0, 0))
        put(label + '.png', base[:8] + bad_ihdr + base[ihdr_end:])
    put('xhuge-declared.png', base[:8] + chunk(b'IHDR', struct.pack('>IIBBBBB', 60000, 60000, 16, 6, 0, 0, 0)) +
        base[ihdr_end:])
    put('xzw-zero-width.png', base[:8] + chunk(b'IHDR', struct.pack('>IIBBBBB', 0, 8, 8, 0, 0, 0, 0)) +
        base[ihdr_end:])
    idat = base.index(b'IDAT')
    crc_at = idat + 4 + struct.unpack('>I', base[idat - 4:idat])[0]
    put('xcs-idat-crc.png', base[:crc_at] + bytes([base[crc_at] ^ 0x40]) + base[crc_at + 1:])
    tpos = with_text.index(b'tEXt')
    tcrc = tpos + 4 + struct.unpack('>I', with_text[tpos - 4:tpos])[0]
    put('xta-text-crc.png', with_text[:tcrc] + bytes([with_text[tcrc] ^ 1]) + with_text[tcrc + 1:])
    # A broken deflate stream and a bad Adler-32, each with a correct CRC.
    raw = b''.join(b'\x00' + bytes(x * 30 + y for x in range(8)) for y in range(8))
    comp = bytearray(zlib.compress(raw, 9))
    broken = bytes(comp[:2]) + b'\xff\xff\xff\xff' + bytes(comp[6:])
    bad_adler = bytes(comp[:-1]) + bytes([comp[-1] ^ 0x55])
    head = base[:ihdr_end]
    put('xzl-bad-deflate.png', head + chunk(b'IDAT', broken) + chunk(b'IEND', b''))
    put('xad-bad-adler.png', head + chunk(b'IDAT', bad_adler) + chunk(b'IEND', b''))
    put('xdt-no-idat.png', head + chunk(b'IEND', b''))
    put('xsd-short-data.png', head + chunk(b'IDAT', zlib.compress(raw[:40])) + chunk(b'IEND', b''))
    for cut in (12, 40, len(base) - 20):
        put(f'xtr-truncated-{cut}.png', base[:cut])
    # A palette image whose PLTE is missing.
    nopal = encode_png(4, 4, 3, 8, lambda x, y: [0], plte=[(1, 2, 3)])
    p = nopal.index(b'PLTE')
    put('xpl-no-plte.png', nopal[:p - 4] + nopal[p + 8:])
    m.write()


# ---------------------------------------------------------------- JPEG
def make_jpeg():
    m = Manifest('jpeg')
    folder = os.path.join(GO, 'testdata')
    for name in sorted(os.listdir(folder)):
        if not name.endswith('.jpeg'):
            continue
        with open(os.path.join(folder, name), 'rb') as f:
            data = f.read()
        dst = 'go-' + name
        with open(out('jpeg', dst), 'wb') as f:
            f.write(data)
        go_ref = os.path.join(folder, name[:-5] + '.png')
        if os.path.exists(go_ref):
            # Go's decoder rounds and upsamples its own way: judged by the mean difference.
            ref = Image.open(go_ref).convert('RGBA')
            m.good(dst, ref.width, ref.height, ref.tobytes(), -4)
        else:
            ref = Image.open(os.path.join(folder, name)).convert('RGBA')
            m.good(dst, ref.width, ref.height, ref.tobytes(), 2)
    # PIL: every subsampling, grey, progressive, restart markers; references its own decode.
    src = Image.open(os.path.join(folder, 'video-001.png')).convert('RGB')
    for label, kw in (('444', dict(subsampling=0)), ('422', dict(subsampling=1)), ('420', dict(subsampling=2)),
                      ('420-progressive', dict(subsampling=2, progressive=True)),
                      ('444-progressive', dict(subsampling=0, progressive=True))):
        name = f'pil-{label}.jpg'
        src.save(out('jpeg', name), quality=85, **kw)
        m.good(name, src.width, src.height, Image.open(out('jpeg', name)).convert('RGBA').tobytes(), 2)
    grey = src.convert('L')
    grey.save(out('jpeg', 'pil-grey.jpg'), quality=85)
    m.good('pil-grey.jpg', grey.width, grey.height, Image.open(out('jpeg', 'pil-grey.jpg')).convert('RGBA').tobytes(),
           2)
    # ImageMagick: restart markers, odd sizes, 4:1:1.
    for label, args in (('restart', ['-define', 'jpeg:restart-interval=1', '-sampling-factor', '2x2']),
                        ('odd-411', ['-resize', '67x45!', '-sampling-factor', '4x1']),
                        ('cmyk', ['-colorspace', 'CMYK'])):
        name = f'im-{label}.jpg'
        subprocess.run(['convert', os.path.join(folder, 'video-001.png')] + args + ['-quality', '90', out('jpeg', name)],
                       check=True)
        if label == 'cmyk':
            continue  # no independent CMYK reference; the Go file below covers CMYK
        ref = Image.open(out('jpeg', name)).convert('RGBA')
        m.good(name, ref.width, ref.height, ref.tobytes(), 2)
    os.remove(out('jpeg', 'im-cmyk.jpg'))
    good = open(out('jpeg', 'pil-420.jpg'), 'rb').read()
    for label, data in (('xtr-truncated-half.jpg', good[:len(good) // 2]), ('xtr-header-only.jpg', good[:200]),
                        ('xsoi-only.jpg', b'\xff\xd8\xff'),
                        ('xsof-zero-size.jpg', zero_sof(good)), ('xsof-huge.jpg', huge_sof(good))):
        with open(out('jpeg', label), 'wb') as f:
            f.write(data)
        m.bad(label)
    m.write()


def huge_sof(data):
    i = data.index(b'\xff\xc0')
    return data[:i + 5] + b'\xff\xff\xff\xff' + data[i + 9:]


def zero_sof(data):
    i = data.index(b'\xff\xc0')
    return data[:i + 5] + b'\x00\x00\x00\x00' + data[i + 9:]


# ---------------------------------------------------------------- TGA
def tga_header(id_len, map_type, img_type, map_first, map_len, map_bits, w, h, bits, desc):
    return struct.pack('<BBBHHBHHHHBB', id_len, map_type, img_type, map_first, map_len, map_bits, 0, 0, w, h, bits,
                       desc)


def rle_encode(pixels):
    """Run-length packets: runs of equal pixels, raw packets otherwise (runs may cross rows)."""
    outb = b''
    i = 0
    while i < len(pixels):
        j = i
        while j + 1 < len(pixels) and pixels[j + 1] == pixels[i] and j - i < 127:
            j += 1
        if j > i:
            outb += bytes([0x80 | (j - i)]) + pixels[i]
            i = j + 1
        else:
            j = i
            while j + 1 < len(pixels) and pixels[j + 1] != pixels[j] and j - i < 127:
                j += 1
            outb += bytes([j - i]) + b''.join(pixels[i:j + 1])
            i = j + 1
    return outb


def make_tga():
    m = Manifest('tga')
    w, h = 9, 7
    src = picture(w, h, 7)
    # Blocky so that run-length packets appear.
    src = [src[(y // 2) * w + (x // 3) * 3] for y in range(h) for x in range(w)]
    e5 = lambda v: (v * 255 + 15) // 31

    def write(name, header, pixel_bytes, ref, rle, top_down, right_to_left, extra=b''):
        order = []
        for row in range(h):
            y = row if top_down else h - 1 - row
            for col in range(w):
                x = w - 1 - col if right_to_left else col
                order.append(pixel_bytes(x, y))
        body = rle_encode(order) if rle else b''.join(order)
        with open(out('tga', name), 'wb') as f:
            f.write(header + extra + body)
        m.good(name, w, h, [c for y in range(h) for x in range(w) for c in ref(x, y)])

    for rle in (False, True):
        for top_down in (False, True):
            for rtl in ((False, True) if top_down else (False,)):
                tag = ('rle' if rle else 'raw') + ('-top' if top_down else '-bottom') + ('-rtl' if rtl else '')
                desc_o = (0x20 if top_down else 0) | (0x10 if rtl else 0)
                s = lambda x, y: [to8(v) for v in src[y * w + x]]
                write(f'tc32-{tag}.tga', tga_header(0, 0, 10 if rle else 2, 0, 0, 0, w, h, 32, 8 | desc_o),
                      lambda x, y: bytes([s(x, y)[2], s(x, y)[1], s(x, y)[0], s(x, y)[3]]),
                      lambda x, y: s(x, y), rle, top_down, rtl)
                write(f'tc24-{tag}.tga', tga_header(5, 0, 10 if rle else 2, 0, 0, 0, w, h, 24, desc_o),
                      lambda x, y: bytes([s(x, y)[2], s(x, y)[1], s(x, y)[0]]),
                      lambda x, y: s(x, y)[:3] + [255], rle, top_down, rtl, extra=b'hello')
                c5 = lambda x, y: [v >> 11 for v in src[y * w + x]]
                for bits, alpha_bits in ((15, 0), (16, 1), (16, 0)):
                    def px16(x, y, bits=bits):
                        r, g, b, a = c5(x, y)
                        v = (r << 10) | (g << 5) | b | ((a & 16) << 11 if bits == 16 else 0)
                        return struct.pack('<H', v)

                    def ref16(x, y, alpha_bits=alpha_bits):
                        r, g, b, a = c5(x, y)
                        return [e5(r), e5(g), e5(b), (255 if a & 16 else 0) if alpha_bits else 255]
                    write(f'tc{bits}a{alpha_bits}-{tag}.tga',
                          tga_header(0, 0, 10 if rle else 2, 0, 0, 0, w, h, bits, alpha_bits | desc_o), px16, ref16,
                          rle, top_down, rtl)
                g = lambda x, y: to8(src[y * w + x][0])
                write(f'grey-{tag}.tga', tga_header(0, 0, 11 if rle else 3, 0, 0, 0, w, h, 8, desc_o),
                      lambda x, y: bytes([g(x, y)]), lambda x, y: [g(x, y)] * 3 + [255], rle, top_down, rtl)
                for map_bits in (15, 16, 24, 32):
                    first = 3
                    n = 20
                    pal = [(rng.randrange(32), rng.randrange(32), rng.randrange(32), rng.randrange(2) * 255)
                           if map_bits < 24 else
                           (rng.randrange(256), rng.randrange(256), rng.randrange(256), rng.randrange(256))
                           for _ in range(n)]

                    def entry(p, map_bits=map_bits):
                        if map_bits < 24:
                            return struct.pack('<H', (p[0] << 10) | (p[1] << 5) | p[2] | (0x8000 if p[3] else 0))
                        return bytes([p[2], p[1], p[0]] + ([p[3]] if map_bits == 32 else []))

                    def ref_entry(p, map_bits=map_bits):
                        if map_bits < 24:
                            return [e5(p[0]), e5(p[1]), e5(p[2]), p[3] if map_bits == 16 else 255]
                        return [p[0], p[1], p[2], p[3] if map_bits == 32 else 255]
                    index = lambda x, y: first + (x + 2 * y) % n
                    alpha_bits = 1 if map_bits == 16 else (8 if map_bits == 32 else 0)
                    write(f'cm{map_bits}-{tag}.tga',
                          tga_header(0, 1, 9 if rle else 1, first, n, map_bits, w, h, 8, alpha_bits | desc_o),
                          lambda x, y: bytes([index(x, y)]),
                          lambda x, y, pal=pal: ref_entry(pal[index(x, y) - first]), rle, top_down, rtl,
                          extra=b''.join(entry(p) for p in pal))
    # Written by PIL and ImageMagick.
    im = Image.open(os.path.join(GO, 'testdata/video-001.png')).convert('RGBA').resize((40, 30))
    im.save(out('tga', 'pil-rgba-rle.tga'), compression='tga_rle')
    m.good('pil-rgba-rle.tga', 40, 30, Image.open(out('tga', 'pil-rgba-rle.tga')).convert('RGBA').tobytes())
    im.convert('RGB').save(out('tga', 'pil-rgb.tga'))
    m.good('pil-rgb.tga', 40, 30, Image.open(out('tga', 'pil-rgb.tga')).convert('RGBA').tobytes())
    subprocess.run(['convert', out('tga', 'pil-rgb.tga'), '-compress', 'RLE', out('tga', 'im-rgb-rle.tga')], check=True)
    # ImageMagick reads its own bottom-up run-length file upside down: PIL's decode is the reference.
    m.good('im-rgb-rle.tga', 40, 30, Image.open(out('tga', 'im-rgb-rle.tga')).convert('RGBA').tobytes())
    # Refused: truncated raw and run-length data, a map running past the end.
    good = open(out('tga', 'tc32-raw-bottom.tga'), 'rb').read()
    good_rle = open(out('tga', 'tc32-rle-bottom.tga'), 'rb').read()
    cm = open(out('tga', 'cm24-raw-bottom.tga'), 'rb').read()
    huge_rle = tga_header(0, 0, 10, 0, 0, 0, 65535, 65535, 32, 8) + bytes([0xff, 1, 2, 3, 4]) * 64
    for name, data in (('xtr-raw.tga', good[:-5]), ('xtr-rle.tga', good_rle[:-3]), ('xtr-map.tga', cm[:40]),
                       ('xhuge-rle.tga', huge_rle)):
        with open(out('tga', name), 'wb') as f:
            f.write(data)
        m.bad(name)
    m.write()


# ---------------------------------------------------------------- PPM
def make_ppm():
    m = Manifest('ppm')
    w, h = 7, 5
    src = picture(w, h, 5)
    for maxval in (1, 15, 255, 256, 1000, 65535):
        q = [[s * maxval // 65535 for s in p[:3]] for p in src]
        e = lambda v: to8(v * 65535 // maxval) if maxval > 255 else (v * 255 + maxval // 2) // maxval
        ref = [c for p in q for c in [e(v) for v in p] + [255]]
        tol = 1 if maxval > 255 else 0
        fmt = '>H' if maxval > 255 else 'B'
        raw = b''.join(struct.pack(fmt, v) for p in q for v in p)
        name = f'p6-max{maxval}.ppm'
        with open(out('ppm', name), 'wb') as f:
            f.write(f'P6\n# made by make_fixtures.py\n{w} {h}\n# maxval next\n{maxval}\n'.encode() + raw)
        m.good(name, w, h, ref, tol)
        name = f'p3-max{maxval}.ppm'
        text = '\n'.join(' '.join(f'{v:>3}' for p in q[y * w:(y + 1) * w] for v in p) for y in range(h))
        with open(out('ppm', name), 'wb') as f:
            f.write(f'P3 {w}\t{h}#comment right after a number\r\n {maxval}\n{text}\n'.encode())
        m.good(name, w, h, ref, tol)
    # ImageMagick's writers, references its own decode.
    for name, args in (('im-p6.ppm', []), ('im-p3.ppm', ['-compress', 'none']), ('im-p6-16.ppm', ['-depth', '16'])):
        subprocess.run(['convert', os.path.join(GO, 'testdata/video-001.png'), '-resize', '23x17!'] + args +
                       [out('ppm', name)], check=True)
        raw = subprocess.run(['convert', out('ppm', name), '-depth', '16', '-endian', 'MSB', 'rgba:-'], check=True,
                             capture_output=True).stdout
        m.good(name, 23, 17, [to8(v) for v in struct.unpack(f'>{23 * 17 * 4}H', raw)], 1 if '16' in name else 0)
    good = open(out('ppm', 'p6-max255.ppm'), 'rb').read()
    for name, data in (('xtr-p6.ppm', good[:-1]), ('xmax0.ppm', b'P6 1 1 0\n\0\0\0'),
                       ('xmax-big.ppm', b'P6 1 1 65536\n\0\0\0\0\0\0'), ('xabove.ppm', b'P3 1 1 10 11 0 0\n'),
                       ('xtr-p3.ppm', b'P3 2 1 255 1 2 3 4 5\n'), ('xzero.ppm', b'P6 0 1 255\n'),
                       ('xnospace.ppm', b'P6 1 1 255'), ('xhuge.ppm', b'P6 99999999 99999999 255\n\0\0\0')):
        with open(out('ppm', name), 'wb') as f:
            f.write(data)
        m.bad(name)
    m.write()


# ---------------------------------------------------------------- DDS
def dds_header(w, h, flags, pf, caps=0x1000, caps2=0, mips=0, depth=0):
    return b'DDS ' + struct.pack('<7I', 124, flags | 0x1007, h, w, 0, depth, mips) + bytes(44) + pf + \
        struct.pack('<4I', caps, caps2, 0, 0) + bytes(4)


def pf_masks(flags, bits, r, g, b, a):
    return struct.pack('<8I', 32, flags, 0, bits, r, g, b, a)


def pf_fourcc(code):
    return struct.pack('<2I', 32, 4) + (code if isinstance(code, bytes) else struct.pack('<I', code)) + bytes(20)


def make_dds():
    m = Manifest('dds')
    w, h = 8, 6
    src = [[to8(v) for v in p] for p in picture(w, h, 9)]

    def save(name, data, ref=None, ww=w, hh=h, tol=0):
        with open(out('dds', name), 'wb') as f:
            f.write(data)
        if ref is None:
            m.bad(name)
        else:
            m.good(name, ww, hh, ref, tol)

    flat = [c for p in src for c in p]
    argb = b''.join(bytes([p[2], p[1], p[0], p[3]]) for p in src)
    save('a8r8g8b8.dds', dds_header(w, h, 0x1000, pf_masks(0x41, 32, 0xff0000, 0xff00, 0xff, 0xff000000)) + argb,
         flat)
    save('x8r8g8b8.dds', dds_header(w, h, 0x1000, pf_masks(0x40, 32, 0xff0000, 0xff00, 0xff, 0)) + argb,
         [c for p in src for c in p[:3] + [255]])
    save('a8b8g8r8.dds', dds_header(w, h, 0x1000, pf_masks(0x41, 32, 0xff, 0xff00, 0xff0000, 0xff000000)) +
         bytes(flat), flat)
    save('r8g8b8.dds', dds_header(w, h, 0x1000, pf_masks(0x40, 24, 0xff0000, 0xff00, 0xff, 0)) +
         b''.join(bytes([p[2], p[1], p[0]]) for p in src), [c for p in src for c in p[:3] + [255]])
    s565 = [(p[0] >> 3, p[1] >> 2, p[2] >> 3) for p in src]
    save('r5g6b5.dds', dds_header(w, h, 0x1000, pf_masks(0x40, 16, 0xf800, 0x7e0, 0x1f, 0)) +
         b''.join(struct.pack('<H', (r << 11) | (g << 5) | b) for r, g, b in s565),
         [c for r, g, b in s565 for c in ((r * 255 + 15) // 31, (g * 255 + 31) // 63, (b * 255 + 15) // 31, 255)])
    save('l8.dds', dds_header(w, h, 0x1000, pf_masks(0x20000, 8, 0xff, 0, 0, 0)) + bytes(p[0] for p in src),
         [c for p in src for c in (p[0], p[0], p[0], 255)])
    save('a8l8.dds', dds_header(w, h, 0x1000, pf_masks(0x20001, 16, 0xff, 0, 0, 0xff00)) +
         b''.join(bytes([p[0], p[3]]) for p in src), [c for p in src for c in (p[0], p[0], p[0], p[3])])
    save('a8.dds', dds_header(w, h, 0x1000, pf_masks(0x2, 8, 0, 0, 0, 0xff)) + bytes(p[3] for p in src),
         [c for p in src for c in (0, 0, 0, p[3])])
    a16 = b''.join(struct.pack('<4H', *(v * 257 for v in p)) for p in src)
    save('a16b16g16r16.dds', dds_header(w, h, 0x1000, pf_fourcc(36)) + a16, flat)
    f32 = b''.join(struct.pack('<4f', *(v / 255.0 for v in p)) for p in src)
    save('a32b32g32r32f.dds', dds_header(w, h, 0x1000, pf_fourcc(116)) + f32, flat)
    # Mip chain of three levels, each level a flat colour.
    levels = b''
    lw, lh = w, h
    for i in range(3):
        levels += bytes([10 * i, 20 * i, 30 * i, 255]) * (lw * lh)
        lw, lh = max(1, lw // 2), max(1, lh // 2)
    save('mips3.dds', dds_header(w, h, 0x21000, pf_masks(0x41, 32, 0xff0000, 0xff00, 0xff, 0xff000000),
                                 caps=0x401008, mips=3) + levels, [0, 0, 0, 255] * (w * h))
    # DX10 extended header, B8G8R8A8.
    save('dx10-bgra.dds', dds_header(w, h, 0x1000, pf_fourcc(b'DX10')) + struct.pack('<5I', 87, 3, 0, 1, 0) + argb,
         flat)
    # Cube map, six 4x4 faces, and a 4x4x3 volume.
    faces = b''.join(bytes([f * 40, 0, 0, 255]) * 16 for f in range(6))
    save('cube.dds', dds_header(4, 4, 0x1000, pf_masks(0x41, 32, 0xff0000, 0xff00, 0xff, 0xff000000), caps=0x1008,
                                caps2=0xfe00) + faces, [0, 0, 0, 255] * 16, 4, 4)
    slices = b''.join(bytes([0, 0, z * 50, 255]) * 16 for z in range(3))
    save('volume.dds', dds_header(4, 4, 0x801000, pf_masks(0x41, 32, 0xff0000, 0xff00, 0xff, 0xff000000),
                                  caps=0x1008, caps2=0x200000, depth=3) + slices, [0, 0, 0, 255] * 16, 4, 4)
    # DXT1/3/5 by ImageMagick, references its own decode.
    png = out('dds', 'source.png')
    Image.open(os.path.join(GO, 'testdata/video-001.png')).convert('RGBA').resize((32, 24)).save(png)
    for comp in ('dxt1', 'dxt3', 'dxt5'):
        name = f'im-{comp}.dds'
        subprocess.run(['convert', png, '-define', f'dds:compression={comp}', '-define', 'dds:mipmaps=2',
                        out('dds', name)], check=True)
        raw = subprocess.run(['convert', out('dds', name) + '[0]', '-depth', '8', 'rgba:-'], check=True,
                             capture_output=True).stdout
        # ImageMagick rounds 5- and 6-bit endpoints its own way: allow 2.
        m.good(name, 32, 24, raw, 2)
    os.remove(png)
    good = open(out('dds', 'a8r8g8b8.dds'), 'rb').read()
    for name, data in (('xtr-data.dds', good[:-1]), ('xsize.dds', good[:4] + struct.pack('<I', 100) + good[8:]),
                       ('xmips.dds', dds_header(w, h, 0x21000, pf_masks(0x41, 32, 0xff0000, 0xff00, 0xff,
                                                                        0xff000000), mips=9) + argb * 2),
                       ('xformat.dds', dds_header(w, h, 0x1000, pf_masks(0x40, 32, 0xf, 0xf0, 0xf00, 0)) + argb),
                       ('xhuge.dds', dds_header(0x40000, 0x40000, 0x1000, pf_fourcc(b'DXT1')) + bytes(64)),
                       ('xarray.dds', dds_header(w, h, 0x1000, pf_fourcc(b'DX10')) +
                        struct.pack('<5I', 87, 3, 0, 2, 0) + argb * 2)):
        with open(out('dds', name), 'wb') as f:
            f.write(data)
        m.bad(name)
    m.write()


if __name__ == '__main__':
    make_png()
    make_jpeg()
    make_tga()
    make_ppm()
    make_dds()
