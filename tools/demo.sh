#!/bin/sh
# The demo of `make demo`: writes the built-in sample clip, converts it into a
# movie with the default settings (the summary is printed), then checks and
# decodes the movie so the pictures and the sound can be looked at, and ends
# with a playable preview of the movie beside its source.
set -e
build=${1:-build}
out="$build/demo"
mkdir -p "$out"
vantrel="$build/app/vantrel"
sample="$build/tools/sample/vantrel-sample"
inspect="$build/tools/inspect/vantrel-inspect"

if [ ! -x "$sample" ]; then
  echo "The sample clip writer is not built yet; showing the usage instead."
  "$vantrel" -help || true
  exit 0
fi
"$sample" "$out/sample.avi"
"$vantrel" -vidfile="$out/sample.avi" -audfile="$out/sample.avi" -outfile="$out/sample.pdb"
if [ -x "$inspect" ]; then
  "$inspect" -contact="$out/sample-contact.png" -wav="$out/sample.wav" "$out/sample.pdb"
  echo "Contact sheet: $out/sample-contact.png"
  echo "Sound:         $out/sample.wav"
  "$inspect" -quiet -source="$out/sample.avi" -preview="$out/sample-preview.mp4" "$out/sample.pdb"
  echo "Preview (the source on the left, the handheld on the right): $out/sample-preview.mp4"
fi
