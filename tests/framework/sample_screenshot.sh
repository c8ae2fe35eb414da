#!/usr/bin/env bash
# Runs the framework sample under Wine, lets the driver check its window and dialog from
# outside and photograph them, then checks the picture and the sample's exit status.
#
#   sample_screenshot.sh <wine-run> <sample.exe> <driver.exe> <output directory>
#
# Leaves <output directory>/framework_sample.png (and the driver's report beside it).
set -euo pipefail

run="$1" sample="$2" driver="$3" out_dir="$4"
mkdir -p "$out_dir"
cd "$out_dir"
rm -f framework_sample.bmp framework_sample.png

# Xvfb has no window manager to draw captions and frames: let Wine draw the sample's own (a
# setting for this one program only).
"$run" reg add 'HKCU\Software\Wine\AppDefaults\framework_sample.exe\X11 Driver' \
  /v Decorated /t REG_SZ /d N /f >/dev/null 2>&1 || true
"$run" reg add 'HKCU\Software\Wine\AppDefaults\framework_sample.exe\X11 Driver' \
  /v Managed /t REG_SZ /d N /f >/dev/null 2>&1 || true

"$run" "$sample" &
sample_pid=$!

status=0
"$run" "$driver" framework_sample.bmp | tee framework_sample_driver.txt || status=1

# The driver closed the main window: the sample must end by itself, with exit status 0.
for _ in $(seq 300); do
  kill -0 "$sample_pid" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$sample_pid" 2>/dev/null; then
  echo "FAIL the sample did not end after its window was closed"
  kill "$sample_pid" || true
  status=1
fi
sample_status=0
wait "$sample_pid" || sample_status=$?
if [[ $sample_status -ne 0 ]]; then
  echo "FAIL the sample exited with status $sample_status"
  status=1
fi

if [[ -s framework_sample.bmp ]]; then
  convert framework_sample.bmp framework_sample.png
  colours="$(convert framework_sample.png -format %k info:)"
  size="$(convert framework_sample.png -format '%wx%h' info:)"
  echo "screenshot $out_dir/framework_sample.png: $size, $colours colours"
  # A window with a label, a dialog and a progress bar is never one flat colour.
  if [[ "$colours" -lt 3 ]]; then
    echo "FAIL the screenshot is (nearly) a single colour"
    status=1
  fi
else
  echo "FAIL no screenshot"
  status=1
fi
exit "$status"
