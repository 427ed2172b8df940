#!/usr/bin/env bash
# check-archive.sh ARCHIVE ARCH STARTER: unpacks ARCHIVE into a new folder, checks its files and
# runs the STARTER test program, which starts the unpacked zumbrel.exe and closes it again.
set -euo pipefail
archive=$1 arch=$2 starter=$3
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$work" && cmake -E tar xf "$archive")
folder=$work/$(basename "$archive" .zip)
for file in zumbrel.exe zumbrel.dll zumbrel_sim_asio.dll register-simulated-card.bat \
            unregister-simulated-card.bat README.md docs/main-window.png docs/settings-dialog.png; do
  [ -f "$folder/$file" ] || { echo "archive lacks $file"; exit 1; }
done
# Every picture the README shows is in the archive.
for picture in $(grep -o '(docs/[^)]*)' "$folder/README.md" | tr -d '()'); do
  [ -f "$folder/$picture" ] || { echo "the README shows $picture, which the archive lacks"; exit 1; }
done
extra=$(ls "$folder" | grep -v -x -E 'zumbrel\.exe|zumbrel\.dll|zumbrel_sim_asio\.dll|(un)?register-simulated-card\.bat|README\.md|docs' || true)
[ -z "$extra" ] || { echo "archive holds unexpected files: $extra"; exit 1; }
ZUMBREL_DIST_DIR="Z:$folder" "$root/scripts/wine-run.sh" "$arch" "$starter"
