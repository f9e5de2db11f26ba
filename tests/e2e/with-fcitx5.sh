#!/usr/bin/env bash
# with-fcitx5.sh <command...>
#
# Runs the command inside a fresh X display (Xvfb), a private D-Bus session bus
# and an fcitx5 whose input-method group holds keyboard-us and pinyin. Exports
# DISPLAY, DBUS_SESSION_BUS_ADDRESS, QT_IM_MODULE=fcitx, XMODIFIERS, a throw-away
# HOME and XDG folders, and QARVEL_FCITX5_SANDBOX=1 (tests that drive fcitx5
# run only where this is set, never against a user's own fcitx5).
# Exits with the command's status; 77 (skipped) when Xvfb, dbus-daemon or fcitx5
# is missing; 1 when the sandbox can't be started. Everything it started is
# ended by process id on exit.
set -uo pipefail

if [ $# -eq 0 ]; then
    echo "usage: $0 <command...>" >&2
    exit 2
fi
. "$(dirname "$0")/lib/sandbox.sh"
sandbox_name=with-fcitx5
sandbox_require fcitx5
sandbox_begin with-fcitx5

mkdir -p "$XDG_CONFIG_HOME/fcitx5"
cat >"$XDG_CONFIG_HOME/fcitx5/profile" <<'PROFILE'
[Groups/0]
Name=Default
Default Layout=us
DefaultIM=pinyin

[Groups/0/Items/0]
Name=keyboard-us
Layout=

[Groups/0/Items/1]
Name=pinyin
Layout=

[GroupOrder]
0=Default
PROFILE

export QT_IM_MODULE=fcitx
export XMODIFIERS=@im=fcitx
export GTK_IM_MODULE=fcitx
export QARVEL_FCITX5_SANDBOX=1

fcitx5 -r >"$sandbox/fcitx5.log" 2>&1 &
sandbox_track $!
sandbox_wait_owner org.fcitx.Fcitx5 $!

"$@"
exit $?
