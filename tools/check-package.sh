#!/usr/bin/env bash
# Checks the installable form: validates the desktop entry, the AppStream file, the polkit action
# and the manuals, unpacks the .deb built by `cmake --workflow --preset package` into a temporary
# root and runs the unpacked programs from there on the demo disk image.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build/package

desktop-file-validate data/com.quorvel.Dravik.desktop
appstreamcli validate --no-net --pedantic "$build/data/com.quorvel.Dravik.metainfo.xml"
xmllint --noout "$build/data/com.quorvel.Dravik.policy"
for page in data/man/dravik.1 data/man/dravik-cli.1; do
    out=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
    [ -z "$out" ] || { echo "$page: $out" >&2; exit 1; }
done
bash -n data/completion/dravik-cli

deb=$(ls "$build"/dravik_*.deb)
echo "package: $deb"
dpkg-deb --info "$deb" | sed -n '/Depends/p'
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
for f in usr/bin/dravik usr/bin/dravik-cli usr/share/applications/com.quorvel.Dravik.desktop \
         usr/share/metainfo/com.quorvel.Dravik.metainfo.xml usr/share/polkit-1/actions/com.quorvel.Dravik.policy \
         usr/share/man/man1/dravik-cli.1 usr/share/man/man1/dravik.1 \
         usr/share/bash-completion/completions/dravik-cli usr/share/icons/hicolor/scalable/apps/com.quorvel.Dravik.svg; do
    [ -e "$root/$f" ] || { echo "missing in the package: $f" >&2; exit 1; }
done
ls "$root"/usr/lib/*/dravik/libVexa32.so "$root"/usr/lib/*/dravik/libVexb2.so >/dev/null

"$root/usr/bin/dravik-cli" --version
"$root/usr/bin/dravik" --version
image=$build/demo/demo.img
"$root/usr/bin/dravik-cli" --image "$image" --images-only scan --partition 1 >/dev/null
# The legacy access mode loads the private libraries from the installed layout.
"$root/usr/bin/dravik-cli" --platform-id 1 --image "$image" --images-only drives >/dev/null
echo "package checks passed"
