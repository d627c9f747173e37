#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# hueline-batch from the outside: exit statuses, output kinds by ending,
# messages, timings and folder runs.
#     sh test_batch.sh BUILD_DIR DATA_DIR
BATCH="$1/hueline-batch"
DATA="$2/batch"
[ -x "$BATCH" ] || { echo "no $BATCH"; exit 1; }

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
FAILURES=0

fail() {
    echo "FAIL: $*"
    FAILURES=$((FAILURES + 1))
}

# run EXPECTED_STATUS ARGS...: runs the companion, keeps its standard error
# in $WORK/err and checks the exit status.
run() {
    expected=$1
    shift
    "$BATCH" "$@" >"$WORK/out" 2>"$WORK/err"
    status=$?
    [ "$status" -eq "$expected" ] || fail "exit $status, not $expected: $* ($(cat "$WORK/err"))"
}

err_has() { grep -q -- "$1" "$WORK/err" || fail "no '$1' in: $(cat "$WORK/err")"; }
byte_at() { od -An -tu1 -j"$2" -N1 "$1" | tr -d ' '; }
word_at() { od -An -tu4 -j"$2" -N4 "$1" | tr -d ' '; }
is_bmp() { [ "$(head -c 2 "$1")" = "BM" ]; }
is_jpeg() { [ "$(od -An -tx1 -N3 "$1" | tr -d ' ')" = "ffd8ff" ]; }
is_png() { [ "$(od -An -tx1 -N8 "$1" | tr -d ' ')" = "89504e470d0a1a0a" ]; }

# --- help and version -------------------------------------------------
run 0 --version
grep -q '^hueline-batch 2\.5$' "$WORK/out" || fail "--version printed: $(cat "$WORK/out")"
run 0 --help
for step in gray bw bwsplit=N pen erode dilate thin inverse sharpen median fringe1 fringe2 fringe3 \
    colorsplit=N undo renew give get zoomout zoomin; do
    grep -q -- " $step " "$WORK/out" || fail "--help does not list $step"
done

# --- usage errors: status 2, nothing written ----------------------------
O="$WORK/usage.jpg"
run 2
run 2 "$DATA/pal8.bmp"
run 2 "$DATA/pal8.bmp" "$O" blur
err_has "unknown step 'blur'"
run 2 "$DATA/pal8.bmp" "$O" bwsplit=256
err_has "0 to 255"
run 2 "$DATA/pal8.bmp" "$O" gray fringe1=1,2,abc,4,5,6,7,8,9
err_has "'abc' is not a valid integer value"
run 2 "$DATA/pal8.bmp" "$WORK/out.gif"
err_has "must end in"
run 2 --frobnicate "$DATA/pal8.bmp" "$O"
run 2 --format bmp "$DATA/pal8.bmp" "$O"
# A usage error is found before the input is even looked at.
run 2 "$WORK/missing.bmp" "$O" blur
[ -e "$O" ] && fail "a usage error left $O"
[ -e "$WORK/out.gif" ] && fail "a usage error left out.gif"

# --- output kinds by ending -------------------------------------------
run 0 "$DATA/pal8.bmp" "$WORK/same.bmp"
is_bmp "$WORK/same.bmp" || fail "same.bmp is not a BMP"
[ "$(byte_at "$WORK/same.bmp" 28)" = 8 ] || fail "an 8-bit picture saved at once is not 8-bit"
# PNG keeps the 8-bit picture and its palette: read back and saved as BMP
# it is the same file as the BMP saved at once.
run 0 "$DATA/pal8.bmp" "$WORK/same.PNG"
is_png "$WORK/same.PNG" || fail "same.PNG is not a PNG"
run 0 "$WORK/same.PNG" "$WORK/from-png.bmp"
cmp -s "$WORK/from-png.bmp" "$WORK/same.bmp" || fail "the picture changed on its way through PNG"
run 0 "$DATA/pal8.bmp" "$WORK/gray.Bmp" gray
is_bmp "$WORK/gray.Bmp" || fail "gray.Bmp is not a BMP"
[ "$(byte_at "$WORK/gray.Bmp" 28)" = 24 ] || fail "the BMP after a command is not 24-bit"
for name in a.jpg b.JPG c.jpeg d.JpEg; do
    run 0 "$DATA/rgb24.bmp" "$WORK/$name" median
    is_jpeg "$WORK/$name" || fail "$name is not a JPEG"
done
# Inputs by ending in any case, icons and JPEG included.
cp "$DATA/rgb24.bmp" "$WORK/UPPER.BMP"
run 0 "$WORK/UPPER.BMP" "$WORK/upper.bmp"
# (The pixels after the 54-byte headers; the resolution fields may differ.)
tail -c +55 "$WORK/upper.bmp" >"$WORK/pixels.saved"
tail -c +55 "$DATA/rgb24.bmp" >"$WORK/pixels.file"
cmp -s "$WORK/pixels.saved" "$WORK/pixels.file" || fail "a 24-bit BMP opened and saved at once changed"
rm "$WORK/pixels.saved" "$WORK/pixels.file"
run 0 "$DATA/test3.ico" "$WORK/icon.bmp"
[ "$(word_at "$WORK/icon.bmp" 18)" = 32 ] || fail "the icon is not 32 pixels wide"
run 0 "$DATA/libgdiplus_test.jpg" "$WORK/photo.bmp" fringe2
[ "$(word_at "$WORK/photo.bmp" 18)" = 100 ] || fail "the JPEG is not 100 pixels wide"

# Renew undoes everything before it, zooms included.
run 0 "$DATA/pal8.bmp" "$WORK/renew.bmp" fringe1 zoomout thin renew
cmp -s "$WORK/renew.bmp" "$WORK/same.bmp" || fail "renew did not bring back the loaded picture"

# --- timings ----------------------------------------------------------
# Each step beside one copy of the picture, measured in the same run.
run 0 --timings "$DATA/rgb24.bmp" "$WORK/t.jpg" gray bwsplit=90 fringe1=1,2,1,0,0,0,-1,-1,-1
grep -q '^copy: [0-9][0-9]*\.[0-9][0-9] ms$' "$WORK/err" || fail "no copy line: $(cat "$WORK/err")"
for what in load gray bwsplit=90 fringe1=1,2,1,0,0,0,-1,-1,-1 save; do
    grep -q "^$what: [0-9][0-9]*\.[0-9][0-9] ms ([0-9][0-9]*\.[0-9] copies)\$" "$WORK/err" ||
        fail "no timing line for $what: $(cat "$WORK/err")"
done
[ "$(wc -l <"$WORK/err")" -eq 6 ] || fail "timings printed more than one line per step"
run 0 "$DATA/rgb24.bmp" "$WORK/t.jpg" gray
[ -s "$WORK/err" ] && fail "a plain run printed: $(cat "$WORK/err")"

# --- files that cannot be read or written: status 1 ---------------------
cp "$WORK/a.jpg" "$WORK/keep.jpg"
run 1 "$WORK/missing.bmp" "$WORK/keep.jpg"
err_has "missing.bmp"
run 1 "$DATA/badbitcount.bmp" "$WORK/keep.jpg" gray
err_has "badbitcount.bmp"
cmp -s "$WORK/keep.jpg" "$WORK/a.jpg" || fail "a failed run changed the existing output"
run 1 "$DATA/pal8.bmp" "$WORK/no/such/folder/out.jpg"
err_has "out.jpg"
[ -e "$WORK/no" ] && fail "a failed write made folders"
ls "$WORK" | grep -v -E '^(out|err|.*\.(bmp|Bmp|jpg|JPG|jpeg|JpEg|BMP|PNG))$' | grep -q . && fail "left behind: $(ls "$WORK")"

# --- folders ------------------------------------------------------------
IN="$WORK/in"
mkdir "$IN"
cp "$DATA/pal8.bmp" "$DATA/libgdiplus_test.jpg" "$DATA/test3.ico" "$IN/"
cp "$DATA/badbitcount.bmp" "$IN/bad.bmp"
echo "not a picture" >"$IN/notes.txt"
run 1 "$IN" "$WORK/made/out" gray
for name in pal8 libgdiplus_test test3; do
    is_jpeg "$WORK/made/out/$name.jpg" || fail "folder run: no JPEG $name.jpg"
done
[ -e "$WORK/made/out/bad.jpg" ] && fail "folder run wrote the bad picture"
[ "$(ls "$WORK/made/out" | wc -l)" -eq 3 ] || fail "folder run wrote: $(ls "$WORK/made/out")"
err_has "bad.bmp"
err_has "3 of 4 pictures written"

rm "$IN/bad.bmp"
run 0 --format bmp "$IN" "$WORK/bmps" zoomout
for name in pal8 libgdiplus_test test3; do
    is_bmp "$WORK/bmps/$name.bmp" || fail "folder run --format bmp: no BMP $name.bmp"
done
[ "$(word_at "$WORK/bmps/pal8.bmp" 18)" = 101 ] || fail "folder run did not run the steps"
run 0 --format png "$IN" "$WORK/pngs" pen
for name in pal8 libgdiplus_test test3; do
    is_png "$WORK/pngs/$name.png" || fail "folder run --format png: no PNG $name.png"
done
run 0 --format svg "$IN" "$WORK/svgs" pen
run 0 --format pdf "$IN" "$WORK/pdfs" pen
for name in pal8 libgdiplus_test test3; do
    grep -q '<svg ' "$WORK/svgs/$name.svg" || fail "folder run --format svg: no SVG $name.svg"
    [ "$(head -c 5 "$WORK/pdfs/$name.pdf")" = "%PDF-" ] || fail "folder run --format pdf: no PDF $name.pdf"
done
run 0 --quiet --format=jpg "$IN" "$WORK/quiet"
[ -s "$WORK/err" ] && fail "--quiet printed: $(cat "$WORK/err")"
run 2 "$IN" "$WORK/a.jpg"
err_has "must be a folder"

# --- folder runs never write over an input --------------------------------
SAME="$WORK/same"
mkdir "$SAME"
cp "$DATA/pal8.bmp" "$SAME/a.bmp"
cp "$DATA/rgb24.bmp" "$SAME/b.bmp"
cp "$DATA/libgdiplus_test.jpg" "$SAME/c.jpg"
run 1 --format bmp "$SAME" "$SAME" gray
cmp -s "$SAME/a.bmp" "$DATA/pal8.bmp" || fail "a folder run into its own folder replaced a.bmp"
cmp -s "$SAME/b.bmp" "$DATA/rgb24.bmp" || fail "a folder run into its own folder replaced b.bmp"
is_bmp "$SAME/c.bmp" || fail "a folder run into its own folder did not write c.bmp"
err_has "a.bmp is this picture itself"
err_has "1 of 3 pictures written"
# Files, not names: an output name that is a link to an input is refused.
mkdir "$WORK/linked"
ln -s "$SAME/c.jpg" "$WORK/linked/a.jpg"
run 1 "$SAME" "$WORK/linked"
cmp -s "$SAME/c.jpg" "$DATA/libgdiplus_test.jpg" || fail "a folder run wrote through a link over an input"
err_has "is one of the input pictures"

# --- every folder entry on its own ------------------------------------------
EN="$WORK/entries"
mkdir "$EN" "$EN/folder.jpg"
cp "$DATA/pal8.bmp" "$EN/good.bmp"
mkfifo "$EN/pipe.bmp"
ln -s loop.jpg "$EN/loop.jpg"
ln -s nowhere.bmp "$EN/dangling.bmp"
timeout 60 "$BATCH" "$EN" "$WORK/entries_out" >"$WORK/out" 2>"$WORK/err"
status=$?
[ "$status" -eq 1 ] || fail "a folder of odd entries exited $status, not 1: $(cat "$WORK/err")"
is_jpeg "$WORK/entries_out/good.jpg" || fail "the good picture among odd entries was not written"
err_has "pipe.bmp: it is a FIFO"
err_has "loop.jpg: it is a symbolic link that loops"
err_has "dangling.bmp: it is a symbolic link to a file that does not exist"
err_has "folder.jpg: it is a folder"
err_has "1 of 5 pictures written"

# A name is taken only once its picture is written: bad.bmp fails, so
# bad.jpg may still be written under the same output name.
TWIN="$WORK/twins"
mkdir "$TWIN"
cp "$DATA/badbitcount.bmp" "$TWIN/bad.bmp"
cp "$DATA/libgdiplus_test.jpg" "$TWIN/bad.jpg"
run 1 "$TWIN" "$WORK/twins_out"
is_jpeg "$WORK/twins_out/bad.jpg" || fail "bad.jpg was not written after bad.bmp failed"
grep -q "already written" "$WORK/err" && fail "a failed picture kept its output name: $(cat "$WORK/err")"

# --- many pictures at a time -------------------------------------------------
# Several threads write what one writes, byte for byte, and say the same in
# the same order: failures, a twin name taken by the first that is written,
# icons and pictures side by side.
MANY="$WORK/many"
mkdir "$MANY"
for k in 1 2 3 4 5; do
    cp "$DATA/rgb24.bmp" "$MANY/rgb$k.bmp"
    cp "$DATA/libgdiplus_test.jpg" "$MANY/photo$k.jpg"
done
cp "$DATA/pal8.bmp" "$DATA/test3.ico" "$2/metafile/emf/libemf2svg/test-013.emf" "$MANY/"
cp "$DATA/badbitcount.bmp" "$MANY/bad.bmp"
cp "$DATA/pal8.bmp" "$MANY/photo1.bmp"
run 1 -j 1 "$MANY" "$WORK/many1" fringe2 median
sed 's/ in [0-9.]* s/ in T s/; s|many1|OUT|' "$WORK/err" >"$WORK/err1"
run 1 -j4 "$MANY" "$WORK/many4" fringe2 median
sed 's/ in [0-9.]* s/ in T s/; s|many4|OUT|' "$WORK/err" >"$WORK/err4"
diff -r "$WORK/many1" "$WORK/many4" >/dev/null || fail "-j 4 wrote other files than -j 1"
cmp -s "$WORK/err1" "$WORK/err4" || fail "-j 4 said other things than -j 1: $(diff "$WORK/err1" "$WORK/err4")"
grep -q "photo1.jpg: not written, since .*photo1.jpg was already written from .*photo1.bmp" "$WORK/err1" ||
    fail "the twin name was not refused: $(cat "$WORK/err1")"
grep -q "13 of 15 pictures written" "$WORK/err1" || fail "the summary does not count them all: $(cat "$WORK/err1")"
run 2 -j 0 "$MANY" "$WORK/many0"
err_has "from 1 to"
run 2 --jobs=x "$MANY" "$WORK/many0"

# A list of pictures instead of a folder, split by GNU parallel over two
# runs at a time as it would split one over several machines.
command -v parallel >/dev/null 2>&1 || fail "missing parallel (scripts/install-deps installs it)"
ls "$MANY"/* | grep -v -e bad.bmp -e photo1.jpg >"$WORK/list"
parallel --will-cite --pipe -N 3 -j 2 "$BATCH" --quiet --files-from - "$WORK/split" fringe2 median \
    <"$WORK/list" >"$WORK/out" 2>"$WORK/err" || fail "parallel runs failed: $(cat "$WORK/err")"
[ "$(ls "$WORK/split" | wc -l)" -eq 13 ] || fail "the split runs wrote: $(ls "$WORK/split")"
for f in "$WORK/split"/*; do
    cmp -s "$f" "$WORK/many1/${f##*/}" || fail "the split runs wrote another ${f##*/} than the folder run"
done
printf '%s\n\n%s\n' "$MANY/pal8.bmp" "$WORK/missing.bmp" >"$WORK/list2"
run 1 --files-from "$WORK/list2" "$WORK/listed"
is_jpeg "$WORK/listed/pal8.jpg" || fail "--files-from did not write pal8.jpg"
err_has "missing.bmp: no such file"
err_has "1 of 2 pictures written"
run 1 --files-from "$WORK/no-list" "$WORK/listed"
err_has "no-list"

# A list is read as the pictures are done: the second name comes only once
# the first picture is written. A carriage return ending a line is no part
# of the name; a line longer than 4096 bytes stops the list, naming it.
STREAM="$WORK/streamed"
{
    printf '%s\r\n' "$DATA/pal8.bmp"
    k=0
    while [ ! -e "$STREAM/pal8.jpg" ] && [ $k -lt 200 ]; do sleep 0.05; k=$((k + 1)); done
    # A run that waits for the whole list first gets no more of it.
    [ -e "$STREAM/pal8.jpg" ] || exit 0
    printf '%s\n%s\n' "$DATA/rgb24.bmp" "$(head -c 5000 /dev/zero | tr '\0' x)"
    echo "$DATA/test3.ico"
} | timeout 30 "$BATCH" -j 2 --files-from - "$STREAM" >"$WORK/out" 2>"$WORK/err"
status=$?
[ "$status" -eq 1 ] || fail "a streamed list with a long line exited $status, not 1: $(cat "$WORK/err")"
is_jpeg "$STREAM/pal8.jpg" || fail "a name ending in a carriage return was not taken"
is_jpeg "$STREAM/rgb24.jpg" || fail "the list was not read on after its first picture"
[ -e "$STREAM/test3.jpg" ] && fail "the list was read on past its long line"
err_has "standard input: line 3 is longer than 4,096 bytes"
err_has "2 of 2 pictures written"

# Outputs are files, not names: b.jpg, a link to a.jpg, is not written over
# what a.bmp wrote.
ALIAS="$WORK/alias"
mkdir "$ALIAS" "$ALIAS/in" "$ALIAS/out"
cp "$DATA/pal8.bmp" "$ALIAS/in/a.bmp"
cp "$DATA/rgb24.bmp" "$ALIAS/in/b.bmp"
ln -s a.jpg "$ALIAS/out/b.jpg"
run 1 -j 2 "$ALIAS/in" "$ALIAS/out"
err_has "b.bmp: not written, since .*out/b.jpg is the file .*out/a.jpg, already written from .*a.bmp"
err_has "1 of 2 pictures written"
run 0 "$ALIAS/in/a.bmp" "$ALIAS/a-alone.jpg"
cmp -s "$ALIAS/out/a.jpg" "$ALIAS/a-alone.jpg" || fail "b.bmp's picture was written over a.bmp's"

# --- what a save may not replace, and where it cannot go ---------------------
run 1 "$DATA/pal8.bmp" "$WORK/no-such-folder/x.bmp"
err_has "x.bmp: the folder .*no-such-folder does not exist"
if [ "$(id -u)" -eq 0 ] && command -v setpriv >/dev/null 2>&1 && id nobody >/dev/null 2>&1; then
    PROT="$WORK/protected"
    mkdir "$PROT"
    cp "$DATA/pal8.bmp" "$DATA/rgb24.bmp" "$PROT/"
    chmod 0444 "$PROT/pal8.bmp"
    chown -R nobody "$PROT"
    chmod 0755 "$WORK"
    setpriv --reuid=nobody --regid=nogroup --clear-groups "$BATCH" "$PROT/rgb24.bmp" "$PROT/pal8.bmp" gray \
        >"$WORK/out" 2>"$WORK/err"
    status=$?
    [ "$status" -eq 1 ] || fail "saving over a write-protected file exited $status, not 1"
    err_has "pal8.bmp: it is write-protected"
    cmp -s "$PROT/pal8.bmp" "$DATA/pal8.bmp" || fail "a write-protected file was replaced"
else
    echo "skipped: the write-protected file needs root to act as the user nobody"
fi

# --- a damaged JPEG opens, with a warning --------------------------------------
head -c 2000 "$DATA/libgdiplus_test.jpg" >"$WORK/short.jpg"
run 0 "$WORK/short.jpg" "$WORK/short.bmp"
err_has "warning: .*short.jpg is damaged: its data ends early, so the picture is gray below row"
is_bmp "$WORK/short.bmp" || fail "the damaged JPEG was not written"

# --- a sign no installed font has is drawn, with a warning ----------------------
run 0 "$2/metafile/wmf/wmf2svg/symbol-font-tables.wmf" "$WORK/tables.png"
err_has "warning: .*symbol-font-tables.wmf: 1 sign of Wingdings could not be drawn"
is_png "$WORK/tables.png" || fail "the symbol tables were not written"

if [ "$FAILURES" -ne 0 ]; then
    echo "$FAILURES check(s) failed"
    exit 1
fi
echo "all batch checks passed"
