#!/bin/sh
# Makes a small corpus to try corpus runs on: COUNT files in DIR, the i-th
# holding the sample's samples repeated 2*i times after its first 60 bytes
# (files of different lengths, each a whole number of frames longer than the
# last). Prints nothing; the files are DIR/mowa1.wav ... DIR/mowaCOUNT.wav.
#
# Usage: corpus-from-sample.sh SAMPLE DIR COUNT
set -eu
sample=$1
dir=$2
count=$3
mkdir -p "$dir"
i=1
while [ "$i" -le "$count" ]; do
  file="$dir/mowa$i.wav"
  head -c 60 "$sample" > "$file"
  j=0
  while [ "$j" -lt $((2 * i)) ]; do
    tail -c +61 "$sample" >> "$file"
    j=$((j + 1))
  done
  i=$((i + 1))
done
