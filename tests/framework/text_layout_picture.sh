#!/usr/bin/env bash
# Draws the sample text layout under a Japanese (932) and a Western (1252) system code page,
# checks that the two pictures are the same pixel for pixel (cp932 text reaches the system as
# UTF-16, never through the code page), and leaves them as PNG files to look at.
#
#   text_layout_picture.sh <wine-run> <text_layout_picture.exe> <output directory>
set -euo pipefail

run="$1" program="$2" out_dir="$3"
mkdir -p "$out_dir"
cd "$out_dir"
rm -f text_layout_932.* text_layout_1252.*

status=0
for lang in ja_JP.UTF-8:932 C.UTF-8:1252; do
  locale="${lang%%:*}" page="${lang##*:}"
  said="$(KESTREL_WINE_LANG="$locale" "$run" "$program" "text_layout_$page.bmp" | tr -d '\r')"
  if [[ "$said" != "code page $page" ]]; then
    echo "FAIL under $locale the picture program said: $said (expected code page $page)"
    status=1
  fi
  if [[ ! -s "text_layout_$page.bmp" ]]; then
    echo "FAIL no picture under $locale"
    exit 1
  fi
  convert "text_layout_$page.bmp" "text_layout_$page.png"
done

colours="$(convert text_layout_932.png -format %k info:)"
echo "picture $out_dir/text_layout_932.png: $(convert text_layout_932.png -format '%wx%h' info:), $colours colours"
# Text in several colours with antialiasing is never a handful of colours.
if [[ "$colours" -lt 3 ]]; then
  echo "FAIL the picture is (nearly) a single colour"
  status=1
fi
if cmp -s text_layout_932.bmp text_layout_1252.bmp; then
  echo "code pages 932 and 1252 draw the same pixels"
else
  differing="$(compare -metric AE text_layout_932.png text_layout_1252.png null: 2>&1 || true)"
  echo "FAIL code pages 932 and 1252 draw different pictures ($differing pixels differ)"
  status=1
fi
exit "$status"
