#!/usr/bin/env bash
# Builds the Debian package, unpacks it into a scratch root with dpkg -x and
# checks it as installed: the program converts a sample and writes a
# thumbnail from there, F1 opens the manual installed beside it, and the
# desktop entry, the AppStream file, the MIME types and the manual page pass
# their own tools.
set -euo pipefail
build=${1:-build}
cd "$(dirname "$0")/.."
cmake --build "$build" -j2 --target quillmere desktop_files make_dng
rm -f "$build"/quillmere_*_amd64.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/quillmere_*_amd64.deb)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root="$work/root"
dpkg -x "$deb" "$root"
echo "package: $(basename "$deb"), depends: $(dpkg-deb -f "$deb" Depends)"
if dpkg-deb --ctrl-tarfile "$deb" | tar -t | grep -Eq 'preinst|postinst|prerm|postrm'; then
  echo "the package has maintainer scripts"; exit 1
fi
share="$root/usr/share"
for file in bin/quillmere bin/quillmere-thumbnailer share/doc/quillmere/quillmere.html share/doc/quillmere/README.md \
            share/man/man1/quillmere.1 share/applications/quillmere.desktop \
            share/mime/packages/quillmere.xml share/metainfo/com.varnetta.quillmere.metainfo.xml \
            share/thumbnailers/quillmere.thumbnailer share/bash-completion/completions/quillmere \
            share/icons/hicolor/scalable/apps/quillmere.svg share/icons/hicolor/256x256/apps/quillmere.png \
            share/icons/hicolor/16x16/apps/quillmere.png; do
  [ -e "$root/usr/$file" ] || { echo "missing: /usr/$file"; exit 1; }
done

desktop-file-validate "$share/applications/quillmere.desktop"
appstreamcli validate --no-net --pedantic "$share/metainfo/com.varnetta.quillmere.metainfo.xml"
warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$share/man/man1/quillmere.1" 2>&1 >/dev/null)
[ -z "$warnings" ] || { echo "man: $warnings"; exit 1; }
bash -c "source '$share/bash-completion/completions/quillmere' && complete -p quillmere" >/dev/null

# The MIME types as a desktop's database would hold them.
mkdir -p "$work/mime/packages"
cp /usr/share/mime/packages/freedesktop.org.xml "$share/mime/packages/quillmere.xml" "$work/mime/packages/"
update-mime-database "$work/mime" 2>/dev/null
grep -q '^image/x-hasselblad-3fr:\*\.3fr$' "$work/mime/globs"
grep -q '^image/x-hasselblad-3fr image/x-dcraw$' "$work/mime/subclasses"

# The installed program on a sample.
mkdir -p "$work/in" "$work/out"
"$build/tools/make_dng" "$work/in/sample.dng" --width 600 --height 400 --preview --exif >/dev/null
"$root/usr/bin/quillmere" -q -i "$work/in" -o "$work/out"
[ -s "$work/out/sample.tiff" ] || { echo "the installed program converted nothing"; exit 1; }
"$root/usr/bin/quillmere" --thumbnail=128 "$work/in/sample.dng" "$work/thumbnail.png"
[ -s "$work/thumbnail.png" ]
# As the thumbnailer entry starts it.
command=$(sed -n 's/^Exec=//p' "$share/thumbnailers/quillmere.thumbnailer")
sample="$work/in/sample.dng" entry="$work/entry.png"
command=${command//%s/128}; command=${command//%i/$sample}; command=${command//%o/$entry}
PATH="$root/usr/bin:$PATH" $command
[ -s "$work/entry.png" ]

# The installed window shows its icon, and F1 opens the installed manual; a
# stand-in for the desktop's opener records what it is asked to open.
if command -v xvfb-run >/dev/null && command -v xdotool >/dev/null; then
  mkdir -p "$work/bin" "$work/run" "$work/config"
  chmod 700 "$work/run"
  printf '#!/bin/sh\necho "$1" > "%s/opened"\n' "$work" > "$work/bin/xdg-open"
  chmod +x "$work/bin/xdg-open"
  XDG_RUNTIME_DIR="$work/run" XDG_CONFIG_HOME="$work/config" PATH="$work/bin:$PATH" \
    xvfb-run -a sh -c '
      unset QT_QPA_PLATFORM
      "$1" & pid=$!
      window=$(timeout 20 xdotool search --sync --onlyvisible --name "Varnetta Quillmere" | head -n 1)
      [ -n "$window" ] || { kill $pid; exit 1; }
      xprop -id "$window" _NET_WM_ICON | grep -q "Icon (16 x 16)" || echo "no window icon" > "$2/failed"
      xdotool windowfocus --sync "$window" key F1
      for i in $(seq 100); do [ -s "$2/opened" ] && break; sleep 0.1; done
      kill $pid; wait $pid 2>/dev/null || true' sh "$root/usr/bin/quillmere" "$work"
  [ ! -e "$work/failed" ] || { cat "$work/failed"; exit 1; }
  opened=$(cat "$work/opened" 2>/dev/null || true)
  case "$opened" in
    *"$root/usr/bin/../share/doc/quillmere/quillmere.html"|*"$root/usr/share/doc/quillmere/quillmere.html") ;;
    *) echo "F1 opened '$opened', not the installed manual"; exit 1;;
  esac
fi
echo "package-check: $(basename "$deb") installs and runs from a scratch root"
