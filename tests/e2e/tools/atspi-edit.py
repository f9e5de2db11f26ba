#!/usr/bin/python3
"""Asks the exam window's two text views, over the accessibility bus, to edit
themselves, as any program of the desktop session can: insert, delete, set the
contents, cut, copy and paste, on the answer box (答案) and the source view (原文).

Prints one line per finding and exits 0 when both views are still readable
(their text, their caret, the source's marks as character attributes) and
nothing changed; 1 otherwise; 77 when the bus or the program can't be found."""
import sys
import time

try:
    import gi
    gi.require_version("Atspi", "2.0")
    from gi.repository import Atspi
except (ImportError, ValueError) as e:
    print(f"no Atspi: {e}")
    sys.exit(77)


def find(node, name, depth=0):
    if node is None or depth > 12:
        return None
    try:
        if node.get_name() == name:
            return node
        for i in range(node.get_child_count()):
            found = find(node.get_child_at_index(i), name, depth + 1)
            if found is not None:
                return found
    except Exception:
        return None
    return None


def views(deadline):
    while time.time() < deadline:
        desktop = Atspi.get_desktop(0)
        for i in range(desktop.get_child_count()):
            app = desktop.get_child_at_index(i)
            answer, source = find(app, "答案"), find(app, "原文")
            if answer is not None and source is not None:
                return answer, source
        time.sleep(0.2)
    return None, None


def text_of(obj):
    return Atspi.Text.get_text(obj, 0, Atspi.Text.get_character_count(obj))


def main():
    answer, source = views(time.time() + 20)
    if answer is None:
        print("the exam window's text views are not on the accessibility bus")
        return 77
    before = {"answer": text_of(answer), "source": text_of(source)}
    print(f"read: answer {before['answer']!r}, source {before['source'][:12]!r}...")
    print(f"answer caret {Atspi.Text.get_caret_offset(answer)}")
    attrs = Atspi.Text.get_attribute_run(source, 0, False)[0]
    print(f"source attributes at 0: {attrs}")
    ok = "fg-color" in attrs and "underline" in attrs
    if not ok:
        print("FAIL: the marks are not readable as attributes")

    requests = []
    for obj, label in ((answer, "answer"), (source, "source")):
        requests += [
            (label, "insert", lambda o=obj: Atspi.EditableText.insert_text(o, 0, "你好", 2)),
            (label, "insert at end", lambda o=obj: Atspi.EditableText.insert_text(
                o, Atspi.Text.get_character_count(o), "你好", 2)),
            (label, "delete", lambda o=obj: Atspi.EditableText.delete_text(o, 0, 2)),
            (label, "set contents", lambda o=obj: Atspi.EditableText.set_text_contents(o, "是是")),
            (label, "cut", lambda o=obj: Atspi.EditableText.cut_text(o, 0, 4)),
            (label, "copy", lambda o=obj: Atspi.EditableText.copy_text(o, 0, 4)),
            (label, "paste", lambda o=obj: Atspi.EditableText.paste_text(o, 0)),
            (label, "caret", lambda o=obj: Atspi.Text.set_caret_offset(o, 0)),
            (label, "select", lambda o=obj: Atspi.Text.add_selection(o, 0, 2)),
        ]
    for label, what, call in requests:
        try:
            call()
        except Exception as e:  # a refusal may come back as an error: fine
            print(f"{label} {what}: {e.__class__.__name__}")
    time.sleep(0.5)
    after = {"answer": text_of(answer), "source": text_of(source)}
    for label in ("answer", "source"):
        if after[label] != before[label]:
            print(f"FAIL: the {label} changed: {before[label]!r} -> {after[label]!r}")
            ok = False
    if Atspi.Text.get_caret_offset(answer) != Atspi.Text.get_character_count(answer):
        print("FAIL: the answer's caret left the end")
        ok = False
    print("PASS" if ok else "FAIL")
    return 0 if ok else 1


sys.exit(main())
