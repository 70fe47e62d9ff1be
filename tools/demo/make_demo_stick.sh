#!/usr/bin/env bash
# Builds the demo stick: four root folders with their title pictures, three playback folders
# each, three short tracks each. Every track says where it is ("Animals, folder two, track
# three") and then plays a few seconds of its folder's melody. Most tracks are 44.1 kHz
# stereo; the Songs folder is 48 kHz, one track is mono and one carries an ID3v2 tag.
#   make_demo_stick.sh ASSETS_TOOL MKSTICK WORK_DIR OUT_IMAGE
set -euo pipefail
assets=$1 mkstick=$2 work=$3 out=$4
rm -rf "$work"
mkdir -p "$work/stick"
manifest="$work/demo.txt"
echo "# The demo stick" > "$manifest"
numbers=(zero one two three)
roots=("Animals circle E8772E" "Music star 3A6FD8" "Stories square 3BA55C" "Songs triangle D64545")
seed=1
for entry in "${roots[@]}"; do
  read -r root shape colour <<<"$entry"
  rate=44100
  [ "$root" = Songs ] && rate=48000
  mkdir -p "$work/stick/$root"
  "$assets" picture "$shape" "$colour" "$work/stick/$root/title.bmp"
  echo "dir \"$root\"" >> "$manifest"
  echo "file \"$root/title.bmp\" src=\"stick/$root/title.bmp\"" >> "$manifest"
  for folder in 1 2 3; do
    dir="$root/Folder $folder"
    mkdir -p "$work/stick/$dir"
    echo "dir \"$dir\"" >> "$manifest"
    for track in 1 2 3; do
      channels=2
      [ "$root" = Stories ] && [ $folder = 1 ] && [ $track = 2 ] && channels=1
      base="$work/t_${seed}"
      espeak-ng -s 150 -w "$base.speech.wav" \
        "$root, folder ${numbers[$folder]}, track ${numbers[$track]}." 2>/dev/null
      sox "$base.speech.wav" -r $rate -c $channels -b 16 "$base.speech2.wav"
      "$assets" melody $((seed / 3 + 1)) 3 $rate $channels "$base.melody.wav"
      sox "$base.speech2.wav" "$base.melody.wav" "$base.wav"
      tag=()
      if [ "$root" = Animals ] && [ $folder = 1 ] && [ $track = 1 ]; then
        tag=(--id3v2-only --tt "Animals 1-1" --ta shapeplay --tl Demo)
      fi
      mode=j
      [ $channels = 1 ] && mode=m
      lame --quiet --noreplaygain -m $mode -b 128 --resample $((rate / 1000)).$((rate % 1000 / 100)) "${tag[@]}" "$base.wav" \
        "$work/stick/$dir/Track $track.mp3"
      echo "file \"$dir/Track $track.mp3\" src=\"stick/$dir/Track $track.mp3\"" >> "$manifest"
      seed=$((seed + 1))
    done
  done
done
"$mkstick" --manifest "$manifest" --out "$out" --label SHAPEPLAY >/dev/null
