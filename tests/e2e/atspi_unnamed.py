#!/usr/bin/python3
# Walks the shown windows of one program over AT-SPI, as a screen reader sees them, and prints
# every visible control a user can press whose spoken name is empty or only a glyph ("⚙", "×").
# Usage: atspi_unnamed.py PID. Exit status: 0 all named, 1 some printed, 2 AT-SPI not reachable.
import sys
import time

try:
    import pyatspi
except ImportError:
    print("python3-pyatspi is not installed")
    sys.exit(2)

PRESSABLE = {
    pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_TOGGLE_BUTTON, pyatspi.ROLE_CHECK_BOX,
    pyatspi.ROLE_RADIO_BUTTON, pyatspi.ROLE_COMBO_BOX, pyatspi.ROLE_LINK,
    pyatspi.ROLE_MENU_ITEM, pyatspi.ROLE_PAGE_TAB,
}


def find_program(pid):
    # The program registers itself a moment after its first window appears.
    for _ in range(50):
        for app in pyatspi.Registry.getDesktop(0):
            if app is not None and app.get_process_id() == pid:
                return app
        time.sleep(0.2)
    return None


def pressable(node):
    if node.getRole() in PRESSABLE:
        return True
    try:
        action = node.queryAction()
    except NotImplementedError:
        return False
    return any(action.getName(i).lower() == "press" for i in range(action.nActions))


def walk(node, window, found):
    for child in node:
        if child is None:
            continue
        name = child.name or ""
        # A hidden control is not met (the toolbar's overflow button until it overflows).
        visible = child.getState().contains(pyatspi.STATE_VISIBLE)
        if visible and pressable(child) and not any(c.isalnum() for c in name):
            found.append(f"{child.getRoleName()} '{name}' in '{node.name}' of '{window}'")
        walk(child, window, found)


def main():
    try:
        program = find_program(int(sys.argv[1]))
    except Exception as error:  # no session bus, no registry
        print(error)
        return 2
    if program is None:
        print("the program is not on the accessibility bus")
        return 2
    found = []
    for window in program:
        if window is not None and window.getState().contains(pyatspi.STATE_SHOWING):
            walk(window, window.name, found)
    print("\n".join(found))
    return 1 if found else 0


sys.exit(main())
