#!/usr/bin/env bash
# with-ibus.sh <command...>
#
# Runs the command inside a fresh X display (Xvfb), a private D-Bus session bus
# and an ibus-daemon whose preload-engines are xkb:us::eng and libpinyin.
# Exports DISPLAY, DBUS_SESSION_BUS_ADDRESS, QT_IM_MODULE=ibus, XMODIFIERS, a
# throw-away HOME and XDG folders, and QARVEL_IBUS_SANDBOX=1. Exits with the
# command's status; 77 (skipped) when Xvfb, dbus-daemon, ibus-daemon, gsettings
# or the libpinyin engine is missing. Everything it started is ended by process
# id on exit.
set -uo pipefail

if [ $# -eq 0 ]; then
    echo "usage: $0 <command...>" >&2
    exit 2
fi
. "$(dirname "$0")/lib/sandbox.sh"
sandbox_name=with-ibus
sandbox_require ibus-daemon gsettings
if [ ! -e /usr/share/ibus/component/libpinyin.xml ]; then
    echo "with-ibus: ibus-libpinyin not installed, skipping" >&2
    exit 77
fi
sandbox_begin with-ibus

# The engines the user has set up (dconf, through the bus started above).
gsettings set org.freedesktop.ibus.general preload-engines "['xkb:us::eng', 'libpinyin']" \
    2>"$sandbox/gsettings.log" || sandbox_fail "gsettings could not set preload-engines"

export QT_IM_MODULE=ibus
export XMODIFIERS=@im=ibus
export GTK_IM_MODULE=ibus
export QARVEL_IBUS_SANDBOX=1

ibus-daemon --xim --panel=disable >"$sandbox/ibus.log" 2>&1 &
sandbox_track $!
sandbox_wait_owner org.freedesktop.IBus $!

"$@"
exit $?
