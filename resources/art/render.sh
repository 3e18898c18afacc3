#!/usr/bin/env bash
# Renders the artwork in this folder into the images that the resource bundle carries.
#
#   art/light/NAME.svg   -> qss/light/NAME.png, NAME@2x.png, NAME@3x.png
#   art/dark/NAME.svg    -> qss/dark/NAME.png,  NAME@2x.png, NAME@3x.png
#   art/*/loading.svg    -> qss/*/loading.gif (a spinner, one frame per 30 degrees)
#   art/logo.svg         -> image/logo.png, logo@2x.png, logo@3x.png
#   art/main-icon.svg    -> main.ico (16 to 64 pixels as bitmaps, 256 pixels as PNG), and the
#                           desktop icons packaging/icons/hicolor/NxN/apps/cameracontrol.png
#
# It then rewrites themes.qrc, which lists the logo, both style sheets and every theme image.
#
# The 1x size of each image is the width and height of its SVG root element. The output is
# committed, so building the program needs neither librsvg nor ImageMagick; run this script
# again after editing an SVG.
#
# Needs: rsvg-convert (Debian: librsvg2-bin) and ImageMagick (Debian: imagemagick).
set -euo pipefail
export LC_ALL=C # fixed file order in themes.qrc

ART_DIR="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
RES_DIR="$(dirname "$ART_DIR")"

command -v rsvg-convert >/dev/null || {
    echo "rsvg-convert is missing (apt-get install librsvg2-bin)" >&2
    exit 1
}
# ImageMagick 7 calls itself magick; some machines put a stand-in convert ahead of the real
# one on the PATH, so the distribution's binary is preferred.
if command -v magick >/dev/null; then
    IM=(magick)
elif [[ -x /usr/bin/convert ]]; then
    IM=(/usr/bin/convert)
else
    IM=(convert)
fi
"${IM[@]}" -version 2>/dev/null | grep -q ImageMagick || {
    echo "ImageMagick is missing (apt-get install imagemagick)" >&2
    exit 1
}

# Writes no time stamps into PNG files made by ImageMagick, so re-running gives equal bytes.
IM_PNG_OPTS=(-define png:exclude-chunks=date,time +set date:create +set date:modify)

TMP_DIR="$(mktemp -d)"
trap 'rm -rf "$TMP_DIR"' EXIT

svg_size() { # prints "W H" from the root element of an SVG file
    local w h
    w=$(grep -o -m1 '<svg[^>]*' "$1" | grep -o ' width="[0-9]*"' | grep -o '[0-9]\+')
    h=$(grep -o -m1 '<svg[^>]*' "$1" | grep -o ' height="[0-9]*"' | grep -o '[0-9]\+')
    echo "$w $h"
}

render_set() { # SVG OUT_DIR NAME: 1x, @2x and @3x PNG files
    local svg=$1 out=$2 name=$3 w h s suffix
    read -r w h < <(svg_size "$svg")
    for s in 1 2 3; do
        suffix=""
        [[ $s -gt 1 ]] && suffix="@${s}x"
        rsvg-convert -w $((w * s)) -h $((h * s)) -o "$out/$name$suffix.png" "$svg"
    done
}

render_spinner() { # SVG OUT_GIF BACKGROUND
    # GIF has only on/off transparency: the frames are matted on the theme's background colour
    # first, so the soft dot edges blend into the preview area, and that colour is then keyed out.
    local svg=$1 out=$2 bg=$3 w h angle frames=()
    read -r w h < <(svg_size "$svg")
    for angle in 0 30 60 90 120 150 180 210 240 270 300 330; do
        sed "s/rotate(0 25 25)/rotate($angle 25 25)/" "$svg" >"$TMP_DIR/frame.svg"
        rsvg-convert -w "$w" -h "$h" -o "$TMP_DIR/frame-$angle.png" "$TMP_DIR/frame.svg"
        frames+=("$TMP_DIR/frame-$angle.png")
    done
    "${IM[@]}" -delay 10 -loop 0 -dispose Background "${frames[@]}" \
        -background "$bg" -alpha remove -alpha off -transparent "$bg" "$out"
}

for theme in light dark; do
    out="$RES_DIR/qss/$theme"
    mkdir -p "$out"
    rm -f "$out"/*.png "$out"/*.gif
    for svg in "$ART_DIR/$theme"/*.svg; do
        name=$(basename "$svg" .svg)
        if [[ $name == loading ]]; then
            bg="#FFFFFF"
            [[ $theme == dark ]] && bg="#000000"
            render_spinner "$svg" "$out/loading.gif" "$bg"
        else
            render_set "$svg" "$out" "$name"
        fi
    done
done

mkdir -p "$RES_DIR/image"
render_set "$ART_DIR/logo.svg" "$RES_DIR/image" logo

icons=()
for s in 16 24 32 48 64 256; do
    rsvg-convert -w $s -h $s -o "$TMP_DIR/icon-$s.png" "$ART_DIR/main-icon.svg"
    icons+=("$TMP_DIR/icon-$s.png")
done
"${IM[@]}" "${icons[@]}" "${IM_PNG_OPTS[@]}" "$RES_DIR/main.ico"

# The icon theme's sizes for the installed program; the SVG itself is installed as the scalable one.
HICOLOR_DIR="$(dirname "$RES_DIR")/packaging/icons/hicolor"
for s in 16 24 32 48 64 128 256; do
    mkdir -p "$HICOLOR_DIR/${s}x$s/apps"
    rsvg-convert -w $s -h $s -o "$HICOLOR_DIR/${s}x$s/apps/cameracontrol.png" "$ART_DIR/main-icon.svg"
done

# The bundle lists what the folders hold, so an image added or removed here follows by itself.
{
    echo '<!DOCTYPE RCC>'
    echo '<RCC version="1.0">'
    echo '    <qresource prefix="/">'
    (
        cd "$RES_DIR"
        for f in image/logo*.png qss/light/* qss/dark/*; do
            echo "        <file>$f</file>"
        done
    )
    echo '    </qresource>'
    echo '</RCC>'
} >"$RES_DIR/themes.qrc"

echo "rendered into $RES_DIR/qss, $RES_DIR/image and $RES_DIR/main.ico; wrote $RES_DIR/themes.qrc"
