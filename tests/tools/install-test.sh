#!/bin/sh
# Installs the build into a temporary prefix, then converts the sample clip with
# the installed vantrel and checks the movie (and its preview) with the
# installed vantrel-inspect. Also checks that each manual page describes every
# flag its program's usage lists.
# Arguments: the cmake program, the build directory, the sample clip writer and,
# in a cross build, the emulator that runs the built programs.
set -e
cmake=$1
build=$2
sample=$3
run=${4:-}
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
fail() { echo "install test: $*" >&2; exit 1; }

"$cmake" --install "$build" --prefix "$prefix" >"$prefix/install.log" || fail "cmake --install failed"
for program in vantrel vantrel-inspect; do
  [ -x "$prefix/bin/$program" ] || fail "$prefix/bin/$program is not installed"
  [ -f "$prefix/share/man/man1/$program.1" ] || fail "the manual page $program.1 is not installed"
done

$run "$sample" "$prefix/sample.avi" >/dev/null || fail "the sample clip cannot be written"
$run "$prefix/bin/vantrel" -vidfile="$prefix/sample.avi" -audfile="$prefix/sample.avi" \
  -outfile="$prefix/sample.pdb" >"$prefix/convert.log" 2>&1 || fail "the installed vantrel failed"
$run "$prefix/bin/vantrel-inspect" -quiet -source="$prefix/sample.avi" -preview="$prefix/sample.mp4" \
  "$prefix/sample.pdb" >"$prefix/inspect.log" 2>&1 || { cat "$prefix/inspect.log"; fail "the installed vantrel-inspect failed"; }
grep -q "^movie OK" "$prefix/inspect.log" || fail "the movie did not check out"
grep -q "^preview: .*sample.mp4: " "$prefix/inspect.log" || fail "no preview was written"
[ -s "$prefix/sample.mp4" ] || fail "the preview is empty"

# The best encode in truecolor: no frame of it may fall below the default
# encode's worst frame (its lowest frame PSNR against the source).
worst() {
  $run "$prefix/bin/vantrel" -vidfile="$prefix/sample.avi" -outfile="$prefix/$1.pdb" \
    -colordepth=24 $2 >"$prefix/$1.log" 2>&1 || fail "vantrel $2 failed"
  $run "$prefix/bin/vantrel-inspect" -quiet -source="$prefix/sample.avi" "$prefix/$1.pdb" \
    >"$prefix/$1.inspect" 2>&1 || fail "the $1 movie did not check out"
  sed -n 's/^total PSNR:.* worst \([0-9.]*\) dB.*/\1/p' "$prefix/$1.inspect"
}
default_worst=$(worst default "")
best_worst=$(worst best -bestencode)
[ -n "$default_worst" ] && [ -n "$best_worst" ] || fail "no frame PSNR in the inspector's report"
awk -v b="$best_worst" -v d="$default_worst" 'BEGIN { exit !(b >= d) }' ||
  fail "a -bestencode frame falls to $best_worst dB, below the default's worst $default_worst dB"

# Every flag of a usage text (a word " -name" in it) appears in the manual page.
check_flags() {
  flags=$(sed -n 's/^\(.*\)$/ \1/p' "$2" | grep -o -- ' -[a-z][a-z]*' | sort -u)
  [ -n "$flags" ] || fail "no flags found in the usage of $1"
  for flag in $flags; do
    grep -qF -- "\\$flag" "$prefix/share/man/man1/$1.1" || fail "$1.1 does not describe $flag"
  done
}
$run "$prefix/bin/vantrel" -help >"$prefix/vantrel-usage" 2>&1 || fail "vantrel -help failed"
$run "$prefix/bin/vantrel-inspect" >"$prefix/inspect-usage" 2>&1 || true
check_flags vantrel "$prefix/vantrel-usage"
check_flags vantrel-inspect "$prefix/inspect-usage"
echo "install test: passed"
