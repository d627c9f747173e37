#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# The window program in a real X display: start build/hueline under Xvfb,
# take a screenshot and check that both panes show the sample picture,
# pixel for pixel, the result pane 447 pixels right of the source pane
# (the layout at the design width of 854).
#
#   sh test_real_window.sh <build-dir> <test-data-dir>
#
# The screenshot stays in <build-dir>/real_window_shot.png for a look.
set -eu

build=$(cd "$1" && pwd)
data=$(cd "$2" && pwd)
sample="$data/../../src/app/resources/sample.bmp"
shot="$build/real_window_shot.png"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

for tool in xvfb-run import convert compare; do
    command -v "$tool" >/dev/null 2>&1 || { echo "missing $tool (scripts/install-deps installs it)"; exit 1; }
done
[ -x "$build/hueline" ] || { echo "no $build/hueline"; exit 1; }
[ -f "$sample" ] || { echo "no sample picture at $sample"; exit 1; }

# The sample's top-left 48 x 48 pixels, searched for in the screen's
# top-left corner, where the window is placed.
convert "$sample" -crop 48x48+0+0 +repage "$work/corner.png"

# Inside the display: start the program on the X server (not offscreen),
# take screenshots until the source pane shows the sample (at most 20 s),
# then end the program. The corner's place goes to $work/where.
cat > "$work/run.sh" <<INNER
QT_QPA_PLATFORM=xcb "$build/hueline" &
pid=\$!
tries=0
while [ \$tries -lt 20 ]; do
    sleep 1
    tries=\$((tries + 1))
    import -window root "$shot" 2>/dev/null || continue
    convert "$shot" -crop 160x160+0+0 +repage "$work/region.png"
    found=\$(compare -metric AE -subimage-search "$work/region.png" "$work/corner.png" null: 2>&1 || true)
    case "\$found" in
        "0 @ "*) echo "\$found" | sed 's/.*@ *//; s/,/ /' > "$work/where"; break ;;
    esac
done
kill \$pid
wait \$pid 2>/dev/null || true
INNER
xvfb-run -a -s "-screen 0 1024x768x24" sh "$work/run.sh"
[ -s "$shot" ] || { echo "no screenshot"; exit 1; }
[ -s "$work/where" ] || { echo "the sample picture is not in the source pane"; exit 1; }
set -- $(cat "$work/where")
x=$1
y=$2
echo "source picture at $x,$y"

# Both panes, whole: no pixel may differ from the sample.
fail=0
for pane in "source $x" "result $((x + 447))"; do
    set -- $pane
    convert "$shot" -crop "386x400+$2+$y" +repage "$work/$1.png"
    diff=$(compare -metric AE -fuzz 2% "$work/$1.png" "$sample" null: 2>&1 || true)
    echo "$1 pane at $2,$y: $diff pixels differ from the sample"
    [ "$diff" = "0" ] || fail=1
done
exit $fail
