#!/usr/bin/env python3
"""Writes the accessible tree of a running program, as a screen reader reads
it through at-spi2, to a file: one line per shown object,
"role|name|actions|text", indented by depth.

usage: atspi_tree.py PID OUTPUT
"""
import sys
import time

import pyatspi


def describe(node):
    try:
        action = node.queryAction()
        actions = ",".join(action.getName(i) for i in range(action.nActions))
    except NotImplementedError:
        actions = ""
    try:
        text = node.queryText().getText(0, -1).replace("\n", "\\n")
    except NotImplementedError:
        text = ""
    return f"{node.getRoleName()}|{node.name}|{actions}|{text}"


def walk(node, depth, lines):
    if depth > 0 and not node.getState().contains(pyatspi.STATE_SHOWING):
        return
    lines.append("  " * depth + describe(node))
    for child in node:
        if child is not None:
            walk(child, depth + 1, lines)


def main():
    pid, output = int(sys.argv[1]), sys.argv[2]
    lines = []
    # The program registers with the accessibility bus when its first
    # window appears; give it a moment.
    for _ in range(50):
        for app in pyatspi.Registry.getDesktop(0):
            if app is not None and app.get_process_id() == pid:
                walk(app, 0, lines)
        if len(lines) > 1:
            break
        lines = []
        time.sleep(0.1)
    with open(output, "w", encoding="utf-8") as out:
        out.write("\n".join(lines) + "\n")
    return 0 if lines else 1


if __name__ == "__main__":
    sys.exit(main())
