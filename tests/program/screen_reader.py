#!/usr/bin/python3
# A screen reader's side of the accessibility bus, for the program's tests: finds the application named
# on the command line among the desktop's applications (through the registry, as screen readers do)
# and reads or works its window through the client library. One command per run:
#
#   tree                      every object below the application, one a line, depth first:
#                             "<indent><role>|<name>|<states>|<value>|<text>"
#   action <name> <n>         does action n of the object named <name>; prints its answer
#   value <name> <number>     sets the value of the object named <name>; "ok" or the error
#   select <name> <n>         selects child n of the object named <name>; prints its answer
#
# A control and the label that names it share the name: <name> means the control, not the label.
#   listen <event> <count> <seconds>
#                             prints "ready", then each event's "<type>|<role>|<name>|<detail1>" until
#                             <count> have come or <seconds> have passed
#
# Exits with 2 when the application is not found within 20 seconds.
import sys
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import GLib  # noqa: E402
import pyatspi  # noqa: E402


def find_application(name):
    until = time.monotonic() + 20
    while time.monotonic() < until:
        desktop = pyatspi.Registry.getDesktop(0)
        for app in desktop:
            if app is not None and app.name == name and app.childCount > 0:
                return app
        time.sleep(0.1)
    return None


def states_of(acc):
    return ",".join(sorted(pyatspi.stateToString(s) for s in acc.getState().getStates()))


def value_of(acc):
    try:
        v = acc.queryValue()
        return "%g[%g,%g]/%g" % (v.currentValue, v.minimumValue, v.maximumValue, v.minimumIncrement)
    except NotImplementedError:
        return ""


def text_of(acc):
    try:
        t = acc.queryText()
        return t.getText(0, -1)
    except NotImplementedError:
        return ""


def walk(acc, depth=0):
    yield depth, acc
    for child in acc:
        if child is not None:
            yield from walk(child, depth + 1)


def named(app, name):
    found = [acc for _, acc in walk(app) if acc is not app and acc.name == name]
    controls = [acc for acc in found if acc.getRoleName() != "label"]
    if not found:
        raise SystemExit("no object named %r" % name)
    return (controls or found)[0]


def main(argv):
    app = find_application(argv[1])
    if app is None:
        print("no application named %r" % argv[1])
        return 2
    command = argv[2]
    if command == "tree":
        for depth, acc in walk(app):
            if acc is app:
                continue
            print("%s%s|%s|%s|%s|%s" % ("  " * (depth - 1), acc.getRoleName(), acc.name, states_of(acc),
                                        value_of(acc), text_of(acc)))
    elif command == "action":
        print(named(app, argv[3]).queryAction().doAction(int(argv[4])))
    elif command == "value":
        try:
            named(app, argv[3]).queryValue().currentValue = float(argv[4])
            print("ok")
        except Exception as error:  # the bus's error, as a client sees it
            print("error: %s" % error)
    elif command == "select":
        print(named(app, argv[3]).querySelection().selectChild(int(argv[4])))
    elif command == "listen":
        wanted = int(argv[4])
        seen = []

        def on_event(event):
            if event.host_application is None or event.host_application.name != argv[1]:
                return
            print("%s|%s|%s|%d" % (event.type, event.source.getRoleName(), event.source.name, event.detail1),
                  flush=True)
            seen.append(event)
            if len(seen) >= wanted:
                pyatspi.Registry.stop()

        pyatspi.Registry.registerEventListener(on_event, argv[3])
        GLib.idle_add(lambda: print("ready", flush=True) and False)
        GLib.timeout_add(int(float(argv[5]) * 1000), lambda: pyatspi.Registry.stop() and False)
        pyatspi.Registry.start()
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
