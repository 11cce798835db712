#!/bin/sh
# Starts the panel, which lives with its Alarm.wav and its Logs in ../@QMX_PANEL_INSTALL_DIR@.
#
# The panel takes a data file only as -F<file>, with no blank. A file manager or the desktop
# menu passes a plain file name instead (the desktop entry says "%f"), so a plain argument is
# handed on as -F<argument>. Every argument that begins with "-" goes through unchanged (the
# panel reads each by its own rules alone, the toolkit's options such as -style included).
# After "--" every argument is a file name, even one that begins with "-".
set -e
here=$(dirname "$(readlink -f "$0")")
program=$here/../@QMX_PANEL_INSTALL_DIR@/quellmarinox-simple-panel

count=$#
files_only=
while [ "$count" -gt 0 ]; do
  argument=$1
  shift
  count=$((count - 1))
  if [ -z "$files_only" ] && [ "$argument" = "--" ]; then
    files_only=yes
  elif [ -z "$files_only" ]; then
    case $argument in
      -*) set -- "$@" "$argument" ;;
      *) set -- "$@" "-F$argument" ;;
    esac
  else
    set -- "$@" "-F$argument"
  fi
done
exec "$program" "$@"
