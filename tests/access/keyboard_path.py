#!/usr/bin/python3
"""A learner who cannot see the screen and uses no mouse, played end to end.

Starts the textbook on a copy of the course, registers and signs in a new
learner, opens lecture 1 from the contents page, reads its first heading
and a paragraph from the accessibility tree, starts the lecture 1 test from
the topic page, answers every question and reads the result message. Keys
come from xdotool; everything is checked through AT-SPI, as a screen reader
sees it. Every wait is for a state of the program, with a generous limit
for slow (sanitizer) builds.

    keyboard_path.py <tarvel executable> <course folder>
"""

import os
import re
import subprocess
import sys
import time
import xml.etree.ElementTree as ET

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi  # noqa: E402
import pyatspi  # noqa: E402

STARTUP_LIMIT = 240  # seconds for the program to come up
STATE_LIMIT = 90     # seconds for any later state


class Failure(Exception):
    pass


def log(message):
    print(message, flush=True)


def wait_for(what, probe, limit=STATE_LIMIT):
    """Polls probe() until it returns something true; fails after limit."""
    deadline = time.monotonic() + limit
    last_error = None
    while True:
        try:
            value = probe()
            if value:
                return value
        except Exception as error:  # objects come and go while windows change
            last_error = error
        if time.monotonic() > deadline:
            detail = f" (last error: {last_error})" if last_error else ""
            raise Failure(f"timed out waiting for {what}{detail}")
        time.sleep(0.1)


def squash(text):
    return " ".join(text.split())


class Program:
    def __init__(self, exe, course):
        env = dict(os.environ)
        env.update({
            "QT_QPA_PLATFORM": "xcb",
            "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1",
            "QT_ACCESSIBILITY": "1",
            "QT_QUICK_BACKEND": "software",
            "LC_ALL": "C.UTF-8",
        })
        self.course = course
        self.proc = subprocess.Popen([exe], cwd=course, env=env)
        self.app = None

    def stop(self):
        if self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(timeout=60)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()

    def alive(self):
        if self.proc.poll() is not None:
            raise Failure(f"the program ended with status {self.proc.returncode}")

    def find_app(self):
        self.alive()
        desktop = pyatspi.Registry.getDesktop(0)
        for i in range(desktop.childCount):
            app = desktop.getChildAtIndex(i)
            if app is not None and app.get_process_id() == self.proc.pid:
                # The tree changes under us all the time: read it afresh.
                app.set_cache_mask(Atspi.Cache.NONE)
                self.app = app
                return app
        return None

    # ---- reading the tree -------------------------------------------------

    def walk(self, root=None, showing_only=True):
        """Every object under root (the application), depth first."""
        root = root or self.app
        stack = [root]
        while stack:
            node = stack.pop()
            if node is None:
                continue
            try:
                states = node.getState()
                if showing_only and node is not root and not states.contains(pyatspi.STATE_SHOWING):
                    continue
                yield node
                count = node.childCount
            except Exception:
                continue
            for i in reversed(range(min(count, 5000))):
                try:
                    stack.append(node.getChildAtIndex(i))
                except Exception:
                    pass

    def find(self, role=None, name=None, name_prefix=None, root=None):
        for node in self.walk(root):
            try:
                if role is not None and node.getRole() != role:
                    continue
                if name is not None and node.name != name:
                    continue
                if name_prefix is not None and not (node.name or "").startswith(name_prefix):
                    continue
                return node
            except Exception:
                continue
        return None

    def dump(self, limit=300):
        """What a screen reader would find now, for the failure report."""
        if self.app is None or self.proc.poll() is not None:
            return
        print("accessibility tree (showing objects):", file=sys.stderr)
        for count, node in enumerate(self.walk()):
            if count >= limit:
                break
            try:
                states = node.getState()
                mark = " [focused]" if states.contains(pyatspi.STATE_FOCUSED) else ""
                if node.getRole() == pyatspi.ROLE_TEXT:
                    mark += f": {self.text_of(node)[:160]!r}"
                print(f"  {node.getRoleName()} {node.name!r}{mark}", file=sys.stderr)
            except Exception:
                continue

    def focused(self):
        self.alive()
        found = None
        for node in self.walk():
            try:
                if node.getState().contains(pyatspi.STATE_FOCUSED):
                    found = node  # the deepest focused object wins
            except Exception:
                continue
        return found

    @staticmethod
    def text_of(node):
        text = node.queryText()
        return text.getText(0, text.characterCount)

    # ---- keys ---------------------------------------------------------------

    def focus_top_window(self):
        """Gives the keyboard to the program's topmost window.

        There is no window manager on the virtual display; this is what one
        does when a window opens or the one above it closes.
        """
        found = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", str(self.proc.pid)],
                               capture_output=True, text=True)
        windows = found.stdout.split()
        if not windows:
            return
        # The search walks the window tree bottom to top: the last is on top.
        top = windows[-1]
        current = subprocess.run(["xdotool", "getwindowfocus"], capture_output=True, text=True).stdout.strip()
        if current != top:
            subprocess.run(["xdotool", "windowfocus", "--sync", top], check=False)

    def key(self, *keys):
        self.alive()
        self.focus_top_window()
        subprocess.run(["xdotool", "key", "--clearmodifiers", *keys], check=True)

    def type(self, text):
        self.alive()
        self.focus_top_window()
        subprocess.run(["xdotool", "type", "--delay", "50", text], check=True)

    def describe(self, node):
        if node is None:
            return "nothing"
        try:
            return f"{node.getRoleName()} '{node.name}'"
        except Exception:
            return "a vanished object"

    def tab_to(self, what, matches, limit=60, backwards=False):
        """Presses Tab until the focused object matches; returns it."""
        for _ in range(limit):
            current = self.focused()
            if current is not None and matches(current):
                return current
            before = self.describe(current)
            self.key("shift+Tab" if backwards else "Tab")
            # Wait for the focus to land somewhere new before judging it.
            wait_for(f"focus to move from {before} towards {what}",
                     lambda: self.describe(self.focused()) != before or None, limit=20)
        raise Failure(f"Tab never reached {what}; focus is on {self.describe(self.focused())}")


def first_heading_and_paragraph(course, document):
    """The first heading and the first body paragraph of a lecture file."""
    root = ET.parse(os.path.join(course, document)).getroot()
    paragraphs = root.findall("p")
    heading = squash("".join(paragraphs[0].itertext()))
    body = next(squash("".join(p.itertext())) for p in paragraphs[1:] if p.get("para") == "4")
    return heading, body


def main():
    exe, course = sys.argv[1], sys.argv[2]
    heading, paragraph = first_heading_and_paragraph(course, "lections/lection1.rvf")
    program = Program(exe, course)
    try:
        run(program, heading, paragraph)
    except Failure:
        program.dump()
        raise
    finally:
        program.stop()
    log("keyboard path: passed")


def run(p, heading, paragraph):
    wait_for("the program on the accessibility bus", p.find_app, limit=STARTUP_LIMIT)
    log("sign-in: waiting for the screen")
    wait_for("the sign-in screen", lambda: p.find(pyatspi.ROLE_PUSH_BUTTON, "Новый ученик"),
             limit=STARTUP_LIMIT)
    # The pointer rests on the window, so the keyboard goes to the program
    # even where no window manager hands out focus.
    subprocess.run(["xdotool", "mousemove", "640", "512"], check=True)

    # A new learner, by the keyboard alone.
    p.tab_to("«Новый ученик»", lambda n: n.name == "Новый ученик")
    p.key("space")
    name_field = wait_for("the caret in «Имя»",
                          lambda: (lambda f: f if f is not None and f.name == "Имя" else None)(p.focused()))
    p.type("Anna")
    wait_for("the typed name in «Имя»", lambda: p.text_of(name_field) == "Anna")
    p.key("Return")
    log("sign-in: the new learner is saved")

    # Enter on the learner list signs in.
    combo = wait_for("the learner list showing Anna",
                     lambda: (lambda c: c if c is not None and "Anna" in (c.name + p.text_of_value(c)) else None)(
                         p.find(pyatspi.ROLE_COMBO_BOX)))
    p.tab_to("the learner list", lambda n: n.getRole() == pyatspi.ROLE_COMBO_BOX)
    p.key("Return")
    log("home: waiting for the screen")
    wait_for("the home screen", lambda: p.find(pyatspi.ROLE_PUSH_BUTTON, "Содержание"))

    # The contents page, then lecture 1 from its link.
    p.tab_to("«Содержание»", lambda n: n.name == "Содержание")
    p.key("Return")
    page = wait_for("the contents page",
                    lambda: (lambda v: v if v is not None and "Содержание" in p.text_of(v) else None)(
                        p.find(pyatspi.ROLE_TEXT, "Страница")))
    contents = p.text_of(page)
    if "1.  " not in contents:
        raise Failure(f"the contents page reads: {contents[:300]!r}")
    link = p.tab_to("the link to lecture 1",
                    lambda n: n.getRole() == pyatspi.ROLE_LINK and n.name.startswith("1."))
    log(f"reader: opening {link.name!r}")
    p.key("Return")
    wait_for("lecture 1 in the page", lambda: heading in squash(p.text_of(p.find(pyatspi.ROLE_TEXT, "Страница"))))
    lecture = squash(p.text_of(p.find(pyatspi.ROLE_TEXT, "Страница")))
    first_line = lecture.split(" Информатика")[0]
    if not lecture.startswith(heading):
        raise Failure(f"the lecture does not start with its heading: {first_line[:120]!r}")
    if paragraph not in lecture:
        raise Failure(f"the lecture lacks its first paragraph {paragraph[:80]!r}")
    log(f"reader: read the heading {heading!r} and the first paragraph")

    # The toolbar is where it is drawn (the bottom of the full-screen
    # window), and its buttons work through their accessible Press action.
    toolbar_help = p.find(pyatspi.ROLE_PUSH_BUTTON, "Справка")
    window = p.find(pyatspi.ROLE_TEXT, "Страница").queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    button = toolbar_help.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    bottom = window.y + window.height
    if not (bottom <= button.y and button.y + button.height <= bottom + 60):
        raise Failure(f"the toolbar reports y={button.y}..{button.y + button.height}, "
                      f"but it is drawn under the page, which ends at y={bottom}")
    action = toolbar_help.queryAction()
    names = [action.getName(i) for i in range(action.nActions)]
    action.doAction(names.index("Press"))
    wait_for("the help page opened by the Press action",
             lambda: "Учебником можно пользоваться и без мыши" in squash(
                 p.text_of(p.find(pyatspi.ROLE_TEXT, "Страница"))))
    log("toolbar: in place, and «Справка» opens the help page through its Press action")

    # Home through the toolbar, then the test topic page.
    p.tab_to("«Главная» on the toolbar", lambda n: n.name == "Главная")
    p.key("space")
    wait_for("the home screen again", lambda: p.find(pyatspi.ROLE_PUSH_BUTTON, "Тесты"))
    p.tab_to("«Тесты»", lambda n: n.name == "Тесты")
    p.key("Return")
    wait_for("the test topic page",
             lambda: "По какой теме" in p.text_of(p.find(pyatspi.ROLE_TEXT, "Страница")))
    link = p.tab_to("the test of lecture 1",
                    lambda n: n.getRole() == pyatspi.ROLE_LINK and n.name.startswith("1."))
    log(f"topics: starting {link.name!r}")
    p.key("Return")

    # Every question: read it, tick A with Space, answer with Enter.
    number = 1
    while True:
        def next_state():
            result = p.find(name_prefix="Тест завершён")
            if result is not None:
                return ("result", result)
            view = p.find(pyatspi.ROLE_TEXT, "Вопрос")
            # "Вопрос 3", or "Вопрос 3 из 20" in the general test.
            match = view is not None and re.search(rf"Вопрос {number}(?!\d)", p.text_of(view))
            return ("question", p.text_of(view)) if match else None

        kind, value = wait_for(f"question {number} or the result", next_state)
        if kind == "result":
            break
        box = wait_for(f"focus on answer A of question {number}",
                       lambda: (lambda f: f if f is not None and f.getRole() == pyatspi.ROLE_CHECK_BOX
                                and f.name == "A" else None)(p.focused()))
        if not squash(box.description):
            raise Failure(f"answer A of question {number} has no text for a screen reader")
        p.key("space")
        wait_for("answer A ticked", lambda: box.getState().contains(pyatspi.STATE_CHECKED))
        p.key("Return")
        question = squash(value).split(" A. ")[0]
        log(f"test: read and answered {question[:100]!r}")
        number += 1
        if number > 200:
            raise Failure("the test never ends")

    result = wait_for("the result message", lambda: p.find(name_prefix="Тест завершён"))
    if not re.search(r"Тест завершён, правильных ответов: \d+ %", result.name):
        raise Failure(f"the result reads {result.name!r}")
    log(f"test: the result reads {result.name!r}")
    p.key("Return")


def text_of_value(node):
    try:
        return Program.text_of(node)
    except Exception:
        return ""


Program.text_of_value = staticmethod(text_of_value)

if __name__ == "__main__":
    try:
        main()
    except Failure as failure:
        print(f"keyboard path: FAILED: {failure}", file=sys.stderr, flush=True)
        sys.exit(1)
