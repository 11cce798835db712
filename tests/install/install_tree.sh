#!/bin/sh
# Installs the build into a scratch prefix and checks what an installation relies on: the
# program with Alarm.wav beside it, Logs linked to PREFIX/var/log/..., the launcher's handing
# on of a plain file name as -F<file>, the files a desktop needs; then runs the installed
# panel (offscreen, not connected) and finds its first log entry through the link. The README
# and the panel's manual page must name the same folders.
# Usage: install_tree.sh BUILD_FOLDER PANEL_DIR LOG_DIR [EMULATOR...]
# PANEL_DIR and LOG_DIR are the build's (lib/quellmarinox-simple-panel, /var/log/...). In a
# cross build the emulator's command line follows: the installed programs run through it.
set -eu
build=$1
panel_dir=$2
log_dir=$3
shift 3
source_dir=$(dirname "$0")/../..
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
fail() {
  echo "install_tree: $*" >&2
  exit 1
}

cmake --install "$build" --prefix "$prefix" >/dev/null
program_dir=$prefix/$panel_dir
for file in bin/quellmarinox-simple-panel bin/quellmarinox-unit-sim bin/quellmarinox-log-report "$panel_dir/quellmarinox-simple-panel"; do
  [ -x "$prefix/$file" ] || fail "$file is missing or not executable"
done
for file in "$panel_dir/Alarm.wav" share/applications/quellmarinox-simple-panel.desktop \
  share/mime/packages/quellmarinox-simple-panel.xml share/icons/hicolor/scalable/apps/quellmarinox-simple-panel.svg \
  share/icons/hicolor/16x16/apps/quellmarinox-simple-panel.png share/icons/hicolor/256x256/apps/quellmarinox-simple-panel.png \
  share/man/man1/quellmarinox-simple-panel.1.gz share/man/man1/quellmarinox-log-report.1.gz \
  share/man/man1/quellmarinox-unit-sim.1.gz share/doc/quellmarinox-simple-panel/examples/digital_alarm.txt share/doc/quellmarinox-simple-panel/copyright; do
  [ -s "$prefix/$file" ] || fail "$file is missing"
done
[ "$(readlink "$program_dir/Logs")" = "$prefix$log_dir" ] || fail "Logs links elsewhere"
[ -d "$program_dir/Logs" ] || fail "Logs leads to no folder"
for doc in README.md doc/man/quellmarinox-simple-panel.1; do
  for folder in "/usr/$panel_dir/" "$log_dir/"; do
    grep -qF "$folder" "$source_dir/$doc" || fail "$doc does not name $folder"
  done
done
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$prefix/share/applications/quellmarinox-simple-panel.desktop" || fail "desktop entry"
fi

# The launcher, in front of a stand-in that prints what it is given.
mv "$program_dir/quellmarinox-simple-panel" "$program_dir/real-panel"
# shellcheck disable=SC2016 # the stand-in expands its own arguments
printf '#!/bin/sh\nfor a; do printf "[%%s]" "$a"; done\n' >"$program_dir/quellmarinox-simple-panel"
chmod +x "$program_dir/quellmarinox-simple-panel"
seen=$("$prefix/bin/quellmarinox-simple-panel" "a b.dat" -c -style fusion -F x.dat -- -y.dat)
[ "$seen" = "[-Fa b.dat][-c][-style][-Ffusion][-F][-Fx.dat][-F-y.dat]" ] || fail "launcher passed on $seen"
mv "$program_dir/real-panel" "$program_dir/quellmarinox-simple-panel"

# Cross built, the installed panel runs through the emulator: a wrapper of that name in its
# folder starts the real program there, which so finds its folder as installed.
if [ $# -gt 0 ]; then
  mv "$program_dir/quellmarinox-simple-panel" "$program_dir/quellmarinox-simple-panel.target"
  {
    printf '#!/bin/sh\nexec'
    printf ' "%s"' "$@" "$program_dir/quellmarinox-simple-panel.target"
    printf ' "$@"\n'
  } >"$program_dir/quellmarinox-simple-panel"
  chmod +x "$program_dir/quellmarinox-simple-panel"
fi

# The installed panel, started from elsewhere, writes its log through the link.
cd /
QT_QPA_PLATFORM=offscreen "$prefix/bin/quellmarinox-simple-panel" >/dev/null 2>&1 &
panel=$!
tries=0
until cat "$prefix$log_dir"/*.csv 2>/dev/null | grep -q "Application Started"; do
  tries=$((tries + 1))
  [ $tries -lt 300 ] || break
  sleep 0.1
done
kill "$panel" 2>/dev/null || true
wait "$panel" 2>/dev/null || true
[ $tries -lt 300 ] || fail "no \"Application Started\" in $prefix$log_dir"
cat "$prefix$log_dir"/*.csv | grep -q "Application Closed" || fail "SIGTERM did not close the panel"

# The installed log report reads the installed panel's log by default.
report=$("$@" "$prefix/bin/quellmarinox-log-report") || fail "the log report failed"
echo "$report" | grep -q "^Log folder: $prefix/$panel_dir/Logs" ||
  fail "the log report read elsewhere: $(echo "$report" | head -n 3)"
echo "install tree ok"
