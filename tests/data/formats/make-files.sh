#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Makes the HEIF, AVIF, WebP and TIFF test files and the colour-profile
# files with Debian's own tools (libheif-examples, webp, libtiff-tools,
# imagemagick, python3-pil), and beside each, in expected/, the picture as
# the format's own library decodes it: laid over white, turned upright and
# in sRGB (PIL's ImageCms, relative colorimetric with black-point
# compensation), written as 8-bit RGB PNG.
#   tests/data/formats/make-files.sh     (from the top of the source tree)
# Needs the shared test data's photos/chelsea.bmp, or SOURCE=another photo.
set -eu
cd "$(dirname "$0")"
# The shared test data lies beside the source tree (or beside its worktrees).
SOURCE=${SOURCE:-$(ls ../../../../shared/testdata/photos/chelsea.bmp ../../../../../shared/testdata/photos/chelsea.bmp 2>/dev/null | head -1)}
PY=/usr/bin/python3
ICC=/usr/share/color/icc/ghostscript
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
rm -rf heif webp tiff profile expected
mkdir -p heif webp tiff profile expected

# The sources: a 48 x 32 piece of the photo, the same with an alpha ramp,
# at 16 bits, and a second frame for the animation.
$PY - "$SOURCE" "$work" <<'PYEOF'
import sys
from PIL import Image
src, work = sys.argv[1], sys.argv[2]
photo = Image.open(src).convert("RGB").crop((180, 60, 228, 92))
photo.save(work + "/src.png")
alpha = photo.copy()
alpha.putalpha(Image.linear_gradient("L").resize(photo.size).rotate(90))
alpha.save(work + "/alpha.png")
photo.transpose(Image.FLIP_LEFT_RIGHT).save(work + "/frame2.png")
photo.convert("L").save(work + "/gray.png")
photo.quantize(256).save(work + "/palette.png")
photo.quantize(16).save(work + "/palette16.png")
photo.convert("L").point(lambda v: 255 if v > 128 else 0).convert("1").save(work + "/bilevel.png")
PYEOF
convert "$work/src.png" -depth 16 "$work/src16.png"

# ---- HEIF and AVIF (heif-enc writes no rotation: heif_transform.py adds it)
heif-enc -q 90 "$work/src.png" -o heif/rgb8.heic
heif-enc -q 90 "$work/alpha.png" -o heif/alpha.heic
heif-enc -q 90 -b 10 "$work/src16.png" -o heif/rgb10.heic
heif-enc -q 90 "$work/src.png" -o heif/rgb8.avif
heif-enc -q 90 "$work/alpha.png" -o heif/alpha.avif
heif-enc -q 90 -b 10 "$work/src16.png" -o heif/rgb10.avif
# A rotation, and an EXIF orientation 6 that must not be applied on top.
$PY - "$work" <<'PYEOF'
import struct, sys
from PIL import Image
ifd = struct.pack("<H", 1) + struct.pack("<HHIHH", 0x112, 3, 1, 6, 0) + struct.pack("<I", 0)
Image.open(sys.argv[1] + "/src.png").save(sys.argv[1] + "/exif6.jpg", quality=95,
                                          exif=b"Exif\0\0II*\0" + struct.pack("<I", 8) + ifd)
PYEOF
heif-enc -q 90 "$work/exif6.jpg" -o "$work/exif6.heic"
$PY heif_transform.py "$work/exif6.heic" heif/rotated.heic irot 1
$PY heif_transform.py heif/rgb8.heic heif/mirrored.heic imir 1
$PY - "$work" <<'PYEOF'
import sys
from PIL import Image
Image.open(sys.argv[1] + "/src.png").save(sys.argv[1] + "/a98.png", icc_profile=open(
    "/usr/share/color/icc/ghostscript/a98.icc", "rb").read())
PYEOF
heif-enc -q 90 "$work/a98.png" -o heif/a98.heic
# Display P3 named by its primaries (nclx), as phones write AVIF; its ICC
# profile for the expected picture is made by lcms2 itself. heif-enc 1.15
# writes unspecified primaries whatever it is told: the colr box is
# changed to primaries 12 (Display P3) and the sRGB curve (13).
heif-enc -q 90 "$work/src.png" -o "$work/p3.avif"
$PY -c "
d = open('$work/p3.avif', 'rb').read()
assert d.count(b'colrnclx\0\2\0\2') == 1
open('heif/p3.avif', 'wb').write(d.replace(b'colrnclx\0\2\0\2', b'colrnclx\0\x0c\0\x0d'))"
$PY - "$work/p3.icc" <<'PYEOF'
import ctypes, sys
lcms = ctypes.CDLL("liblcms2.so.2")
class xyY(ctypes.Structure):
    _fields_ = [("x", ctypes.c_double), ("y", ctypes.c_double), ("Y", ctypes.c_double)]
white = xyY(0.3127, 0.3290, 1.0)
primaries = (xyY * 3)(xyY(0.680, 0.320, 1.0), xyY(0.265, 0.690, 1.0), xyY(0.150, 0.060, 1.0))
params = (ctypes.c_double * 5)(2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045)
lcms.cmsBuildParametricToneCurve.restype = ctypes.c_void_p
curve = lcms.cmsBuildParametricToneCurve(None, 4, params)
lcms.cmsCreateRGBProfile.restype = ctypes.c_void_p
profile = lcms.cmsCreateRGBProfile(ctypes.byref(white), primaries, (ctypes.c_void_p * 3)(curve, curve, curve))
lcms.cmsSaveProfileToFile(ctypes.c_void_p(profile), sys.argv[1].encode())
PYEOF
for f in heif/*; do heif-convert "$f" "$work/$(basename "$f").png" >/dev/null; done

# ---- WebP
cwebp -quiet -q 80 "$work/src.png" -o webp/lossy.webp
cwebp -quiet -lossless "$work/src.png" -o webp/lossless.webp
cwebp -quiet -q 80 -alpha_q 100 "$work/alpha.png" -o webp/alpha.webp
img2webp -lossless "$work/src.png" "$work/frame2.png" -o webp/animated.webp >/dev/null 2>&1
$PY -c "
import struct
ifd = struct.pack('<H', 1) + struct.pack('<HHIHH', 0x112, 3, 1, 6, 0) + struct.pack('<I', 0)
open('$work/exif6.bin', 'wb').write(b'II*\0' + struct.pack('<I', 8) + ifd)"
webpmux -set exif "$work/exif6.bin" webp/lossless.webp -o webp/exif6.webp >/dev/null
webpmux -set icc "$ICC/a98.icc" webp/lossless.webp -o webp/a98.webp >/dev/null
head -c $(( $(stat -c %s webp/lossy.webp) * 2 / 3 )) webp/lossy.webp > webp/truncated.webp
for f in webp/*.webp; do
  case $f in */truncated.webp) continue ;; esac
  if ! dwebp -quiet "$f" -o "$work/$(basename "$f").png" 2>/dev/null; then
    # dwebp decodes no animation: its first frame alone.
    webpmux -get frame 1 "$f" -o "$work/frame1.webp" >/dev/null
    dwebp -quiet "$work/frame1.webp" -o "$work/$(basename "$f").png"
  fi
done

# ---- TIFF: strips and tiles, the usual compressions, every photometric
# interpretation and depth; libtiff's own RGBA reading (tiff2rgba) gives
# what is expected.
$PY - "$work" <<'PYEOF'
import sys
from PIL import Image
w = sys.argv[1]
src = Image.open(w + "/src.png")
src.save("tiff/rgb8-lzw.tif", compression="tiff_lzw")
src.save("tiff/rgb8-packbits.tif", compression="packbits")
Image.open(w + "/alpha.png").save("tiff/rgba8.tif", compression="tiff_deflate")
Image.open(w + "/gray.png").save("tiff/gray8.tif")
Image.open(w + "/gray.png").convert("I").point(lambda v: v * 257).convert("I;16").save("tiff/gray16.tif")
Image.open(w + "/palette.png").save("tiff/palette8.tif", compression="tiff_lzw")
Image.open(w + "/bilevel.png").save("tiff/bilevel.tif", compression="group4")
src.convert("CMYK").save("tiff/cmyk.tif")
src.save("tiff/multipage.tif", save_all=True, append_images=[Image.open(w + "/frame2.png")])
src.save("tiff/a98.tif", icc_profile=open("/usr/share/color/icc/ghostscript/a98.icc", "rb").read())
# Eight strips of four rows after the directory, the file cut in the
# fifth: libtiff's writer puts the directory last, so this one is made here.
import struct
entries = [(256, 3, 1, 48), (257, 3, 1, 32), (258, 3, 3, 0), (259, 3, 1, 1), (262, 3, 1, 2),
           (273, 4, 8, 0), (277, 3, 1, 3), (278, 3, 1, 4), (279, 4, 8, 0)]
ifd_size = 2 + 12 * len(entries) + 4
extra = 8 + ifd_size
data_at = extra + 6 + 32 + 32
body = b""
for tag, kind, count, value in entries:
    if tag == 258: value = extra
    if tag == 273: value = extra + 6
    if tag == 279: value = extra + 6 + 32
    body += struct.pack("<HHI", tag, kind, count) + (struct.pack("<HH", value, 0) if kind == 3 and count == 1
                                                     else struct.pack("<I", value))
head = b"II*\0" + struct.pack("<I", 8) + struct.pack("<H", len(entries)) + body + struct.pack("<I", 0)
head += struct.pack("<3H", 8, 8, 8) + struct.pack("<8I", *[data_at + 576 * i for i in range(8)])
head += struct.pack("<8I", *[576] * 8)
open("tiff/truncated.tif", "wb").write((head + src.tobytes())[:data_at + 576 * 4 + 100])
src.save("tiff/srgb.tif", icc_profile=open("/usr/share/color/icc/ghostscript/srgb.icc", "rb").read())
PYEOF
tiffcp -c zip -t -w 16 -l 16 tiff/rgb8-lzw.tif tiff/rgb8-tiles-deflate.tif
tiffcp -c jpeg:90 -r 16 tiff/rgb8-lzw.tif tiff/rgb8-jpeg.tif
tiffcp -p separate tiff/rgb8-lzw.tif tiff/rgb8-planes.tif
convert "$work/src16.png" -depth 16 -compress none tiff/rgb16.tif
convert "$work/palette16.png" -depth 4 -type Palette -compress none tiff/palette4.tif
cp tiff/rgb8-lzw.tif tiff/orient6.tif && tiffset -s 274 6 tiff/orient6.tif
cp tiff/rgb8-lzw.tif tiff/orient3.tif && tiffset -s 274 3 tiff/orient3.tif
for f in tiff/*.tif; do
  case $f in */truncated.tif|*/orient*) continue ;; esac
  tiff2rgba -c none "$f" "$work/$(basename "$f").rgba.tif"
done

# ---- JPEG and PNG with colour profiles; a damaged profile.
$PY - "$work" <<'PYEOF'
import sys
from PIL import Image
w = sys.argv[1]
src = Image.open(w + "/src.png")
icc = "/usr/share/color/icc/ghostscript/"
for name in ("a98", "rommrgb", "srgb"):
    src.save("profile/%s.png" % name, icc_profile=open(icc + name + ".icc", "rb").read())
src.save("profile/a98.jpg", quality=95, icc_profile=open(icc + "a98.icc", "rb").read())
src.save("profile/broken.png", icc_profile=b"\0\0\0\x80broken profile" + bytes(120))
Image.open(w + "/gray.png").save("profile/gray-gamma.png", icc_profile=open(icc + "sgray.icc", "rb").read())
src.save("profile/colour-gray-profile.png", icc_profile=open(icc + "sgray.icc", "rb").read())
PYEOF
djpeg -dct float -outfile "$work/a98.jpg.ppm" profile/a98.jpg

# ---- expected pictures
$PY - "$work" <<'PYEOF'
import os, sys
from PIL import Image, ImageCms
w = sys.argv[1]
icc = "/usr/share/color/icc/ghostscript/"

def over_white(im):
    """Alpha laid over white: (c * a + 255 * (255 - a) + 127) / 255."""
    if im.mode not in ("RGBA", "LA", "PA") and "transparency" not in im.info:
        return im.convert("RGB")
    out = Image.new("RGB", im.size)
    out.putdata([tuple((c * q[3] + 255 * (255 - q[3]) + 127) // 255 for c in q[:3])
                 for q in im.convert("RGBA").getdata()])
    return out

def premultiplied_over_white(path):
    """libtiff's RGBA pixels come premultiplied: each channel gains 255 - a.
    Read raw from tiff2rgba's uncompressed strips, which follow the header."""
    im = Image.open(path)
    start = im.tag_v2[273][0]
    raw = open(path, "rb").read()[start:start + im.size[0] * im.size[1] * 4]
    out = Image.new("RGB", im.size)
    out.putdata([tuple(min(255, raw[i + k] + 255 - raw[i + 3]) for k in range(3)) for i in range(0, len(raw), 4)])
    return out

def to_srgb(im, profile):
    return ImageCms.profileToProfile(im, ImageCms.getOpenProfile(profile), ImageCms.createProfile("sRGB"),
                                     renderingIntent=ImageCms.INTENT_RELATIVE_COLORIMETRIC, outputMode="RGB",
                                     flags=ImageCms.FLAGS["BLACKPOINTCOMPENSATION"])

def save(im, name):
    im.convert("RGB").save("expected/" + name + ".png")

for f in sorted(os.listdir(w)):
    path = w + "/" + f
    if f.endswith((".heic.png", ".avif.png", ".webp.png")):
        base = f[:-4]
        im = over_white(Image.open(path))
        if base.startswith("a98."):
            im = to_srgb(im, icc + "a98.icc")
        if base == "p3.avif":
            im = to_srgb(im, w + "/p3.icc")
        if base == "exif6.webp":
            im = im.transpose(Image.ROTATE_270)
        save(im, base)
    elif f.endswith(".rgba.tif"):
        base = f[:-len(".rgba.tif")]
        im = premultiplied_over_white(path)
        if base == "a98.tif":
            im = to_srgb(im, icc + "a98.icc")
        save(im, base)
        if base == "rgb8-lzw.tif":
            save(im.transpose(Image.ROTATE_270), "orient6.tif")
            save(im.transpose(Image.ROTATE_180), "orient3.tif")
src = Image.open(w + "/src.png")
for name in ("a98", "rommrgb"):
    save(to_srgb(src, icc + name + ".icc"), name + ".png")
save(to_srgb(Image.open(w + "/a98.jpg.ppm"), icc + "a98.icc"), "a98.jpg")
save(to_srgb(Image.open(w + "/gray.png"), icc + "sgray.icc"), "gray-gamma.png")
PYEOF
ls -l heif webp tiff profile expected | awk '{s+=$5} END {print s " bytes"}'
