#!/bin/sh
# Shows what the program does so far: its usage text and one command-line run.
set -e
build=${1:-build}
"$build/app/vantrel" -help || true
