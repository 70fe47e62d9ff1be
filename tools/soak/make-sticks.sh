#!/usr/bin/env bash
# Makes the two sticks of the soak: A with three root folders of three playback folders each,
# B with two root folders of long names; every root folder with a small title picture, every
# playback folder with a few tracks (made with sox and lame, 20 to 30 seconds, cheap to decode).
# Usage: make-sticks.sh MKSTICK OUTDIR   (writes OUTDIR/stick-a.img and OUTDIR/stick-b.img)
set -euo pipefail
mkstick=$(realpath "$1")
out=$(realpath -m "$2")
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

bmp() {  # WIDTH HEIGHT R G B FILE: a 24-bit BMP of one colour
  perl -e 'my ($w, $h, $r, $g, $b) = @ARGV; my $row = int(($w * 3 + 3) / 4) * 4;
    print pack("a2 V v v V V V V v v V V V V V V", "BM", 54 + $row * $h, 0, 0, 54, 40, $w, $h,
               1, 24, 0, $row * $h, 2835, 2835, 0, 0);
    print((pack("C3", $b, $g, $r) x $w) . ("\0" x ($row - $w * 3))) for 1 .. $h;' "$@" >"$6"
}
for i in 1 2 3 4; do
  sox -n -r 22050 -c 1 -b 16 "t$i.wav" synth $((16 + 4 * i)) sine $((200 * i + 100)) \
    >/dev/null 2>&1
  lame --quiet -b 48 "t$i.wav" "t$i.mp3"
done
bmp 64 64 200 40 40 red.bmp
bmp 48 48 40 200 40 green.bmp
bmp 32 32 40 40 200 blue.bmp

{
  n=0
  for root in Tiere Musik Lieder; do
    echo "file \"$root/title.bmp\" src=$( [ $root = Musik ] && echo green || echo red ).bmp"
    for sub in Eins Zwei Drei; do
      for t in 1 2 3; do
        n=$((n % 4 + 1))
        echo "file \"$root/$sub/$t.mp3\" src=t$n.mp3"
      done
    done
  done
} >a.txt
cat >b.txt <<'M'
file "Hörspiele für die ganze Familie/Bild.bmp" src=blue.bmp
file "Hörspiele für die ganze Familie/Folge 1/Kapitel 1.mp3" src=t1.mp3
file "Hörspiele für die ganze Familie/Folge 1/Kapitel 2.mp3" src=t2.mp3
file "Hörspiele für die ganze Familie/Folge 2/Kapitel 1.mp3" src=t3.mp3
file "Gute Nacht/title.bmp" src=green.bmp
file "Gute Nacht/Lieder/a.mp3" src=t4.mp3
file "Gute Nacht/Lieder/b.mp3" src=t1.mp3
M
"$mkstick" --manifest a.txt --out "$out/stick-a.img" >/dev/null
"$mkstick" --manifest b.txt --out "$out/stick-b.img" --fat 16 >/dev/null
