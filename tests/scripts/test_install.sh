#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# What `cmake --install` and the Debian package put on a desktop: installs
# the component "hueline" under /usr into a staging folder (DESTDIR) and
# checks the programs, the menu entry, the AppStream description, the icon
# sizes, the manual pages, the copyright file and the changelog; then builds
# the package with CPack into a scratch folder and checks its dependencies,
# that it holds exactly the staged files, and that lintian finds no error
# and no warning in it.
#
#     sh test_install.sh BUILD_DIR DATA_DIR
set -u

BUILD=$(cd "$1" && pwd)
SOURCE=$(sed -n 's/^CMAKE_HOME_DIRECTORY:INTERNAL=//p' "$BUILD/CMakeCache.txt")
VERSION=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$BUILD/CMakeCache.txt")
APPSTREAM_ID=org.example.hueline.Hueline
ICON_SIZES="16 22 24 32 48 64 128 256"

WORK=$(mktemp -d)
STAGE="$WORK/stage"
PID=""
cleanup() {
    [ -n "$PID" ] && kill "$PID" 2>/dev/null
    rm -rf "$WORK"
}
trap cleanup EXIT
FAILURES=0

fail() {
    echo "FAIL: $*"
    FAILURES=$((FAILURES + 1))
}

need() {
    command -v "$1" >/dev/null 2>&1 || { echo "missing $1 (scripts/install-deps installs $2)"; exit 1; }
}
need desktop-file-validate desktop-file-utils
need appstreamcli appstream
need groff groff-base

[ -n "$SOURCE" ] && [ -d "$SOURCE/data" ] || { echo "no source folder in $BUILD/CMakeCache.txt"; exit 1; }
[ -n "$VERSION" ] || { echo "no project version in $BUILD/CMakeCache.txt"; exit 1; }

# The width and height that a PNG file's header claims, as "W H".
png_size() {
    [ "$(od -An -c -j1 -N3 "$1" | tr -d ' ')" = "PNG" ] || { echo "not-a-png"; return; }
    w=$(od -An -tu1 -j16 -N4 "$1" | awk '{print $1 * 16777216 + $2 * 65536 + $3 * 256 + $4}')
    h=$(od -An -tu1 -j20 -N4 "$1" | awk '{print $1 * 16777216 + $2 * 65536 + $3 * 256 + $4}')
    echo "$w $h"
}

# The value of KEY in the [Desktop Entry] group of a desktop file.
desktop_value() {
    awk -v key="$2" -F= '
        /^\[/ { group = $0; next }
        group == "[Desktop Entry]" && $1 == key { sub(/^[^=]*=/, ""); print; exit }' "$1"
}

# --- the staged install --------------------------------------------------
if ! DESTDIR="$STAGE" cmake --install "$BUILD" --prefix /usr --component hueline >"$WORK/install.log" 2>&1; then
    cat "$WORK/install.log"
    echo "FAIL: cmake --install failed"
    exit 1
fi

PROGRAMS="hueline"
[ -x "$BUILD/hueline-batch" ] && PROGRAMS="$PROGRAMS hueline-batch"

EXPECTED="usr/share/applications/hueline.desktop
usr/share/metainfo/$APPSTREAM_ID.metainfo.xml
usr/share/icons/hicolor/scalable/apps/hueline.svg
usr/share/doc/hueline/copyright
usr/share/doc/hueline/changelog.gz"
for p in $PROGRAMS; do
    EXPECTED="$EXPECTED
usr/bin/$p
usr/share/man/man1/$p.1.gz"
done
for s in $ICON_SIZES; do
    EXPECTED="$EXPECTED
usr/share/icons/hicolor/${s}x${s}/apps/hueline.png"
done
echo "$EXPECTED" | sort >"$WORK/expected"
(cd "$STAGE" && find . -type f -o -type l) | sed 's|^\./||' | sort >"$WORK/staged"
if ! cmp -s "$WORK/expected" "$WORK/staged"; then
    fail "the staged files differ from the expected ones (< missing, > not expected):"
    diff "$WORK/expected" "$WORK/staged" | grep '^[<>]'
fi
for p in $PROGRAMS; do
    [ -x "$STAGE/usr/bin/$p" ] || fail "usr/bin/$p is not executable"
done

# --- the menu entry ------------------------------------------------------
DESKTOP="$STAGE/usr/share/applications/hueline.desktop"
if [ -f "$DESKTOP" ]; then
    desktop-file-validate "$DESKTOP" >"$WORK/dfv" 2>&1 || fail "desktop-file-validate: $(cat "$WORK/dfv")"
    grep -Eqi 'error|warning' "$WORK/dfv" && fail "desktop-file-validate: $(cat "$WORK/dfv")"
    [ "$(desktop_value "$DESKTOP" Type)" = "Application" ] || fail "the menu entry is not of type Application"
    for key in Name GenericName Comment; do
        [ -n "$(desktop_value "$DESKTOP" $key)" ] || fail "the menu entry has no $key"
    done
    categories=";$(desktop_value "$DESKTOP" Categories)"
    for c in Graphics RasterGraphics; do
        case "$categories" in *";$c;"*) ;; *) fail "the menu entry is not in the category $c" ;; esac
    done
    # The window opens the one file a file manager hands it.
    exec_line=$(desktop_value "$DESKTOP" Exec)
    [ "$exec_line" = "hueline %f" ] || fail "the menu entry starts '$exec_line', not 'hueline %f'"
    case "$(desktop_value "$DESKTOP" MimeType)" in
        *image/bmp\;*image/jpeg\;*image/png\;*) ;;
        *) fail "the menu entry does not offer Hueline for BMP, JPEG and PNG pictures" ;;
    esac
    [ -x "$STAGE/usr/bin/$(desktop_value "$DESKTOP" TryExec)" ] || fail "TryExec names no installed program"
    icon=$(desktop_value "$DESKTOP" Icon)
    [ -f "$STAGE/usr/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "the menu entry's icon '$icon' is not installed"
fi

# --- the icon ------------------------------------------------------------
for s in $ICON_SIZES; do
    f="$STAGE/usr/share/icons/hicolor/${s}x${s}/apps/hueline.png"
    [ -f "$f" ] || continue
    [ "$(png_size "$f")" = "$s $s" ] || fail "${s}x${s}/apps/hueline.png is $(png_size "$f") pixels"
done
SVG="$STAGE/usr/share/icons/hicolor/scalable/apps/hueline.svg"
[ -f "$SVG" ] && { grep -q '<svg' "$SVG" || fail "hueline.svg holds no SVG picture"; }

# --- the AppStream description -------------------------------------------
METAINFO="$STAGE/usr/share/metainfo/$APPSTREAM_ID.metainfo.xml"
if [ -f "$METAINFO" ]; then
    appstreamcli validate --no-net --strict "$METAINFO" >"$WORK/asv" 2>&1 ||
        fail "appstreamcli validate: $(cat "$WORK/asv")"
    # The whole tree: the description's launchable must be an installed
    # menu entry.
    appstreamcli validate-tree --no-net --strict "$STAGE/usr" >"$WORK/ast" 2>&1 ||
        fail "appstreamcli validate-tree: $(cat "$WORK/ast")"
    grep -q "<id>$APPSTREAM_ID</id>" "$METAINFO" || fail "the metainfo's id is not $APPSTREAM_ID"
    grep -q '<launchable type="desktop-id">hueline.desktop</launchable>' "$METAINFO" ||
        fail "the metainfo does not launch hueline.desktop"
    for p in $PROGRAMS; do
        grep -q "<binary>$p</binary>" "$METAINFO" || fail "the metainfo does not provide $p"
    done
    grep -q '<description>' "$METAINFO" || fail "the metainfo has no description"
    # The newest release is the package's version.
    release=$(sed -n 's/.*<release version="\([^"]*\)".*/\1/p' "$METAINFO" | head -n 1)
    [ "$release" = "$VERSION" ] || fail "the metainfo's newest release is '$release', the project's version $VERSION"
    # The screenshot is docs/screenshot.png, at the size the metainfo says.
    shot_size=$(sed -n 's/.*<image[^>]* width="\([0-9]*\)" height="\([0-9]*\)".*/\1 \2/p' "$METAINFO" | head -n 1)
    [ -n "$shot_size" ] || fail "the metainfo has no screenshot with its size"
    [ "$(png_size "$SOURCE/docs/screenshot.png")" = "$shot_size" ] ||
        fail "docs/screenshot.png is $(png_size "$SOURCE/docs/screenshot.png"), the metainfo says $shot_size"
fi

# --- the manual pages ----------------------------------------------------
for p in $PROGRAMS; do
    page="$STAGE/usr/share/man/man1/$p.1.gz"
    [ -f "$page" ] || continue
    if ! gzip -dc "$page" >"$WORK/$p.1"; then
        fail "$p.1.gz is not gzip data"
        continue
    fi
    sed "s/@HUELINE_VERSION_SHORT@/${VERSION%.*}/g" "$SOURCE/data/$p.1.in" >"$WORK/$p.1.expected"
    cmp -s "$WORK/$p.1" "$WORK/$p.1.expected" || fail "$p.1.gz is not data/$p.1.in for version ${VERSION%.*}"
    LC_ALL=C.UTF-8 groff -man -Tutf8 -ww -z "$WORK/$p.1" >"$WORK/groff" 2>&1
    [ -s "$WORK/groff" ] && fail "groff warns about $p.1: $(cat "$WORK/groff")"
    if command -v man >/dev/null 2>&1; then
        LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" >/dev/null 2>"$WORK/man"
        [ -s "$WORK/man" ] && fail "man warns about $p.1: $(cat "$WORK/man")"
    fi
    # Plain text, one line per paragraph, no hyphenation: for the checks
    # below.
    LC_ALL=C groff -man -Tascii -P-cbou -rLL=400n -rHY=0 "$WORK/$p.1" 2>/dev/null >"$WORK/$p.txt"
    grep -q "^NAME" "$WORK/$p.txt" && grep -q "^SYNOPSIS" "$WORK/$p.txt" || fail "$p.1 lacks NAME or SYNOPSIS"
    grep -q "^ *$p - " "$WORK/$p.txt" || fail "$p.1's NAME line does not begin '$p - '"
done

# The companion's page lists every step and option that its --help lists.
if [ -x "$STAGE/usr/bin/hueline-batch" ] && [ -f "$WORK/hueline-batch.txt" ]; then
    "$STAGE/usr/bin/hueline-batch" --help >"$WORK/help" 2>&1 || fail "the installed hueline-batch --help failed"
    awk '/^Steps:/ { on = 1; next } /^$/ { on = 0 } on { print $1 }' "$WORK/help" | sort -u >"$WORK/steps"
    [ -s "$WORK/steps" ] || fail "no steps in hueline-batch --help"
    # The page's STEPS section: each paragraph's tag, at the start of the
    # text column, names one step or several separated by ", ".
    awk '/^STEPS/ { on = 1; next } /^[A-Z]/ { on = 0 }
         on && /^       [^ ]/ { sub(/^ +/, ""); sub(/  .*/, ""); gsub(/, /, "\n"); print }' \
        "$WORK/hueline-batch.txt" | sort -u >"$WORK/man_steps"
    cmp -s "$WORK/steps" "$WORK/man_steps" || {
        fail "the steps of hueline-batch.1 differ from its --help (< --help only, > page only):"
        diff "$WORK/steps" "$WORK/man_steps" | grep '^[<>]'
    }
    grep -o -- '--[a-z][a-z-]*' "$WORK/help" | sort -u | while read -r option; do
        grep -qF -- "$option" "$WORK/hueline-batch.txt" || echo "$option"
    done >"$WORK/missing_options"
    [ -s "$WORK/missing_options" ] && fail "hueline-batch.1 lacks the options: $(tr '\n' ' ' <"$WORK/missing_options")"
fi

# --- the copyright file and the changelog ----------------------------------
COPYRIGHT="$STAGE/usr/share/doc/hueline/copyright"
if [ -f "$COPYRIGHT" ]; then
    head -n 1 "$COPYRIGHT" | grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
        fail "the copyright file is not in the machine-readable format"
    grep -q '^License: GPL-3.0-or-later$' "$COPYRIGHT" || fail "the copyright file does not name GPL-3.0-or-later"
fi
CHANGELOG="$STAGE/usr/share/doc/hueline/changelog.gz"
if [ -f "$CHANGELOG" ]; then
    newest=$(gzip -dc "$CHANGELOG" | sed -n '1s/^hueline (\([^)]*\)).*/\1/p')
    [ "$newest" = "$VERSION" ] || fail "the changelog's newest entry is '$newest', the project's version $VERSION"
fi

# --- the installed window starts as the menu entry starts it --------------
# Offscreen, as no display is needed to see that it comes up and stays up.
if [ -x "$STAGE/usr/bin/hueline" ]; then
    QT_QPA_PLATFORM=offscreen "$STAGE/usr/bin/$(desktop_value "$DESKTOP" TryExec)" >"$WORK/window" 2>&1 &
    PID=$!
    sleep 3
    if kill -0 "$PID" 2>/dev/null; then
        kill "$PID"
        wait "$PID" 2>/dev/null
    else
        wait "$PID"
        fail "the installed hueline ended within 3 s (status $?): $(cat "$WORK/window")"
    fi
    PID=""
fi

# --- the Debian package --------------------------------------------------
if command -v cpack >/dev/null 2>&1 && command -v dpkg-deb >/dev/null 2>&1 &&
    command -v dpkg-shlibdeps >/dev/null 2>&1; then
    if cpack -G DEB --config "$BUILD/CPackConfig.cmake" -B "$WORK/package" >"$WORK/cpack.log" 2>&1; then
        deb=$(ls "$WORK/package"/hueline_"$VERSION"_*.deb 2>/dev/null | head -n 1)
        if [ -z "$deb" ]; then
            fail "cpack made no hueline_${VERSION}_*.deb: $(ls "$WORK/package")"
        else
            depends=$(dpkg-deb -f "$deb" Depends)
            # The libraries, and the fonts metafiles' text and signs are drawn with.
            for lib in libqt6widgets6 libqt6gui6 libqt6core6 libjpeg62-turbo libspng0 libstdc++6 \
                fonts-liberation2 fonts-crosextra-carlito fonts-crosextra-caladea fonts-dejavu-core fonts-symbola; do
                case "$depends" in *"$lib "*|*"$lib,"*|*"$lib") ;; *) fail "the package does not depend on $lib: $depends" ;; esac
            done
            [ "$(dpkg-deb -f "$deb" Package)" = "hueline" ] || fail "the package is not named hueline"
            [ "$(dpkg-deb -f "$deb" Version)" = "$VERSION" ] || fail "the package's version is not $VERSION"
            [ "$(dpkg-deb -f "$deb" Section)" = "graphics" ] || fail "the package is not in the section graphics"
            dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sed 's|^\./||' | sort >"$WORK/packaged"
            cmp -s "$WORK/staged" "$WORK/packaged" || {
                fail "the package's files differ from the staged install (< staged only, > package only):"
                diff "$WORK/staged" "$WORK/packaged" | grep '^[<>]'
            }
            if command -v lintian >/dev/null 2>&1; then
                lintian --fail-on error,warning "$deb" >"$WORK/lintian" 2>&1 ||
                    fail "lintian: $(grep -v 'root privileges' "$WORK/lintian")"
            else
                echo "note: lintian missing (scripts/install-deps installs it); the package was not checked"
            fi
        fi
    else
        fail "cpack failed: $(tail -n 20 "$WORK/cpack.log")"
    fi
else
    echo "note: cpack, dpkg-deb or dpkg-shlibdeps missing; the package was not built"
fi

if [ "$FAILURES" -ne 0 ]; then
    echo "$FAILURES check(s) failed"
    exit 1
fi
echo "install checks passed"
