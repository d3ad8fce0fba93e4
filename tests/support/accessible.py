#!/usr/bin/python3
# What a screen reader reads of the programs on the accessibility bus of the
# session in the environment: one line an object that has a name or a
# description, "role<TAB>name<TAB>description". Run by Debian's own Python,
# whose pyatspi (python3-pyatspi) reads the bus.
import sys

import pyatspi


def walk(node, lines):
    try:
        name, description, role = node.name, node.description, node.getRoleName()
        children = node.childCount
    except Exception:  # an object gone while it was read
        return
    if name or description:
        lines.append("\t".join((role, name, description)))
    for index in range(children):
        walk(node.getChildAtIndex(index), lines)


def main():
    lines = []
    desktop = pyatspi.Registry.getDesktop(0)
    for index in range(desktop.childCount):
        application = desktop.getChildAtIndex(index)
        if application is not None:
            walk(application, lines)
    print("\n".join(lines))


if __name__ == "__main__":
    sys.exit(main())
