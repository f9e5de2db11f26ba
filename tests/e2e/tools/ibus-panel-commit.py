#!/usr/bin/python3
# ibus-panel-commit.py <text> [pause seconds]
#
# A second program of the desktop that commits text to whatever input context
# has the focus, as the ibus panel can: it takes the panel's bus name (replacing
# a running panel) and commits the text one character at a time. Exits 0 once
# every commit was sent; 77 when the ibus bindings are missing.
import sys
import time

try:
    import gi

    gi.require_version("IBus", "1.0")
    from gi.repository import GLib, IBus
except (ImportError, ValueError):
    sys.exit(77)

text = sys.argv[1]
pause = float(sys.argv[2]) if len(sys.argv) > 2 else 0.02
bus = IBus.Bus()
if not bus.is_connected():
    print("ibus-panel-commit: no ibus bus", file=sys.stderr)
    sys.exit(1)
bus.request_name(IBus.SERVICE_PANEL, IBus.BusNameFlag.REPLACE_EXISTING)
panel = IBus.PanelService.new(bus.get_connection())
context = GLib.MainContext.default()
for ch in text:
    panel.commit_text(IBus.Text.new_from_string(ch))
    deadline = time.monotonic() + pause
    while time.monotonic() < deadline:
        context.iteration(False)
        time.sleep(0.005)
print(f"ibus-panel-commit: {len(text)} commits sent")
