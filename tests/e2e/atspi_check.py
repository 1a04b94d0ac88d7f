#!/usr/bin/env python3
# Reads the running panel through the accessibility bus, as a screen reader does, and presses a
# card's toggle:  atspi_check.py DEVICE_NAME
# Finds the panel's application, the card named DEVICE_NAME (a group whose description carries
# the status) and its toggle, named after the device, and presses it. Prints what it read; exits 1
# with the reason when anything is missing. Every search has a deadline.
import sys
import time

import pyatspi

DEADLINE_S = 30


def fail(reason):
    print(f"AT-SPI check: {reason}", file=sys.stderr)
    sys.exit(1)


# Every accessible under node, depth first; a part of the tree that goes away is skipped.
def walk(node, depth=0):
    if node is None or depth > 40:
        return
    yield node
    try:
        children = list(node)
    except Exception:
        return
    for child in children:
        yield from walk(child, depth + 1)


def find(predicate, what, root):
    deadline = time.monotonic() + DEADLINE_S
    while time.monotonic() < deadline:
        for node in walk(root):
            try:
                if predicate(node):
                    return node
            except Exception:
                continue
        time.sleep(0.2)
    fail(f"timed out after {DEADLINE_S}s looking for {what}")


def main(name):
    desktop = pyatspi.Registry.getDesktop(0)
    panel = find(lambda n: n.getRoleName() == "application" and "vornisel" in n.name.lower(),
                 "the panel's application", desktop)
    groups = (pyatspi.ROLE_PANEL, pyatspi.ROLE_GROUPING)
    card = find(lambda n: n.name == name and n.getRole() in groups, f"the card {name!r}", panel)
    if not card.description:
        fail(f"the card {name!r} has no description")
    print(f"card {name!r}: {card.description}")
    toggle = find(lambda n: n.getRole() == pyatspi.ROLE_PUSH_BUTTON and n.name.endswith(name),
                  f"the toggle of {name!r}", card)
    action = toggle.queryAction()
    names = [action.getName(i) for i in range(action.nActions)]
    index = names.index("Press") if "Press" in names else 0
    if not names or not action.doAction(index):
        fail(f"pressing {toggle.name!r} ({names}) failed")
    print(f"pressed {toggle.name!r}: {names[index]}")


if __name__ == "__main__":
    main(sys.argv[1]) if len(sys.argv) == 2 else fail("usage: atspi_check.py DEVICE_NAME")
