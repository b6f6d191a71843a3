#!/usr/bin/python3
"""A blind learner with the real screen reader, played end to end.

Orca runs as a learner runs it, speaking through speech-dispatcher; the
speech goes through speech-dispatcher's generic module into a file instead
of a sound card. The learner uses keys only (xdotool) and every check is on
the words Orca said: the sign-in screen and its learner list, the home
screen's commands, the contents, lecture 1 (its title, its first line by
the caret, a power, a figure's alt text, its movie's step captions), a
test question, the result and the review.

    orca_path.py <tarvel executable> <course folder>

What Orca said at each step is printed, and written to the file named by
TARVEL_ORCA_TRANSCRIPT when that is set.
"""

import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import xml.etree.ElementTree as ET

STARTUP_LIMIT = 240  # seconds for Orca or the program to come up
SPEECH_LIMIT = 30    # seconds for Orca to say what a step waits for
PRESS_LIMIT = 10     # seconds for Orca to answer one key press
QUIET = 1.2          # seconds of silence that end Orca's answer


class Failure(Exception):
    pass


def log(message):
    print(message, flush=True)


def squash(text):
    return " ".join(text.split())


SPEECHD_CONF = """LogLevel 2
LogDir "{log}"
DefaultModule generic
AddModule "generic" "sd_generic" "generic.conf"
DefaultLanguage "ru"
AudioOutputMethod "libao"
"""

# Each message is appended to the file, one utterance a line. The text
# reaches the shell inside single quotes, so those are stripped first.
GENERIC_CONF = """GenericExecuteSynth "printf '%s' '$DATA' >> {speech} && echo >> {speech}"
GenericStripPunctChars "'"
# Long texts in one piece: cut by bytes, a Russian letter would be split.
GenericMaxChunkLength 100000
GenericLanguage "ru" "ru" "utf-8"
GenericLanguage "en" "en" "utf-8"
AddVoice "ru" "MALE1" "ru"
AddVoice "en" "MALE1" "en"
"""


# Orca as installed, started so that it neither kills nor is killed by
# another Orca of the same user (the developer's own screen reader, or a
# second run of this test): Orca names its process "orca" and takes every
# process of that name for a rival, which --replace kills and which
# otherwise stops it from starting. The test's Orca lives on its own
# display and bus, so it has no rival there.
ORCA_LAUNCH = """import runpy, sys
script = sys.argv[1]
orca = runpy.run_path(script, run_name="orca_in_test")
orca["main"].__globals__["setProcessName"] = lambda name: None
orca["main"].__globals__["otherOrcas"] = lambda: []
sys.argv = [script] + sys.argv[2:]
sys.exit(orca["main"]())
"""


class Desk:
    """speech-dispatcher, the window manager, Orca and the program."""

    def __init__(self, exe, course):
        self.exe = exe
        self.course = course
        self.dir = tempfile.mkdtemp(prefix="tarvel-orca-")
        self.speech_file = os.path.join(self.dir, "speech.txt")
        self.home = os.path.join(self.dir, "home")
        self.processes = []
        self.program = None
        self.transcript = []
        self.mark = 0
        os.makedirs(os.path.join(self.dir, "conf", "modules"))
        os.makedirs(os.path.join(self.dir, "log"))
        os.makedirs(self.home)
        # No sound card: libao's null driver takes the (empty) audio.
        with open(os.path.join(self.home, ".libao"), "w") as f:
            f.write("default_driver=null\n")
        # Orca as installed, but without echoing each key: the file then
        # holds only what the program gave Orca to say.
        orca_dir = os.path.join(self.home, ".local", "share", "orca")
        os.makedirs(orca_dir)
        with open(os.path.join(orca_dir, "user-settings.conf"), "w") as f:
            json.dump({"general": {"enableKeyEcho": False},
                       "pronunciations": {}, "keybindings": {},
                       "profiles": {"default": {"profile": ["Default", "default"],
                                                "enableKeyEcho": False}}}, f)
        with open(os.path.join(self.dir, "conf", "speechd.conf"), "w") as f:
            f.write(SPEECHD_CONF.format(log=os.path.join(self.dir, "log")))
        with open(os.path.join(self.dir, "conf", "modules", "generic.conf"), "w") as f:
            f.write(GENERIC_CONF.format(speech=self.speech_file))
        open(self.speech_file, "w").close()
        self.env = dict(os.environ)
        self.env.update({
            "HOME": self.home,
            "LANG": "ru_RU.UTF-8",
            "LC_ALL": "ru_RU.UTF-8",
            "LANGUAGE": "ru",
            "SPEECHD_ADDRESS": "unix_socket:" + os.path.join(self.dir, "speechd.sock"),
            "XDG_CONFIG_HOME": os.path.join(self.home, ".config"),
            "XDG_DATA_HOME": os.path.join(self.home, ".local", "share"),
            "GSETTINGS_BACKEND": "memory",
            "NO_AT_BRIDGE": "0",
        })

    def start(self, argv, name, **kwargs):
        out = open(os.path.join(self.dir, name + ".log"), "w")
        proc = subprocess.Popen(argv, env=self.env, stdout=out, stderr=subprocess.STDOUT, **kwargs)
        self.processes.append((name, proc))
        return proc

    def start_all(self):
        self.start(["openbox"], "openbox")
        self.start(["speech-dispatcher", "--run-single", "--timeout", "0",
                    "--communication-method", "unix_socket",
                    "--socket-path", os.path.join(self.dir, "speechd.sock"),
                    "--config-dir", os.path.join(self.dir, "conf")], "speech-dispatcher")
        deadline = time.monotonic() + 60
        while not os.path.exists(os.path.join(self.dir, "speechd.sock")):
            if time.monotonic() > deadline:
                raise Failure("speech-dispatcher did not open its socket")
            time.sleep(0.1)
        # Orca greets the learner once it is listening.
        self.orca = self.start(["/usr/bin/python3", "-c", ORCA_LAUNCH, shutil.which("orca"),
                                "--debug-file=" + os.path.join(self.dir, "orca-debug.log")], "orca")
        self.wait_speech("Orca to start", lambda said: said.strip() != "", limit=STARTUP_LIMIT)
        time.sleep(2)
        self.step("Orca starts")
        env = dict(self.env, QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
                   QT_ACCESSIBILITY="1", QT_QUICK_BACKEND="software")
        out = open(os.path.join(self.dir, "tarvel.log"), "w")
        self.program = subprocess.Popen([self.exe], cwd=self.course, env=env, stdout=out,
                                        stderr=subprocess.STDOUT)

    def stop(self):
        procs = ([("tarvel", self.program)] if self.program else []) + list(reversed(self.processes))
        for name, proc in procs:
            if proc.poll() is None:
                proc.terminate()
                try:
                    proc.wait(timeout=30)
                except subprocess.TimeoutExpired:
                    proc.kill()
                    proc.wait()

    def show_logs(self):
        for name in ("tarvel", "orca", "speech-dispatcher"):
            path = os.path.join(self.dir, name + ".log")
            if os.path.exists(path):
                with open(path, errors="replace") as f:
                    tail = f.read()[-3000:]
                print(f"---- {name} (end of its output):\n{tail}", file=sys.stderr)

    def cleanup(self):
        if os.environ.get("TARVEL_ORCA_KEEP"):
            log(f"kept {self.dir}")
            return
        shutil.rmtree(self.dir, ignore_errors=True)

    # ---- speech ------------------------------------------------------------

    def said(self):
        with open(self.speech_file, encoding="utf-8", errors="replace") as f:
            return f.read()

    def since_mark(self):
        return self.said()[self.mark:]

    def wait_speech(self, what, accept, limit=SPEECH_LIMIT):
        deadline = time.monotonic() + limit
        while True:
            self.alive()
            said = self.since_mark()
            if accept(said):
                return said
            if time.monotonic() > deadline:
                raise Failure(f"Orca never said {what}; it said since the last step:\n{said[-1500:]}")
            time.sleep(0.2)

    def step(self, title):
        """Closes a step: what Orca said during it goes to the transcript."""
        said = self.since_mark()
        self.mark += len(said)
        entry = f"== {title}\n" + "\n".join(line for line in said.splitlines() if line.strip())
        self.transcript.append(entry)
        log(entry)
        return said

    def alive(self):
        if self.program is not None and self.program.poll() is not None:
            raise Failure(f"the program ended with status {self.program.returncode}")
        if self.orca.poll() is not None:
            raise Failure(f"Orca ended with status {self.orca.returncode}")

    # ---- keys --------------------------------------------------------------

    def key(self, *keys):
        self.alive()
        subprocess.run(["xdotool", "key", "--clearmodifiers", *keys], check=True, env=self.env)

    def type(self, text):
        self.alive()
        subprocess.run(["xdotool", "type", "--delay", "80", text], check=True, env=self.env)

    def settle(self, before, limit=SPEECH_LIMIT):
        """Waits for Orca to speak after a key, then for it to fall silent."""
        deadline = time.monotonic() + limit
        while time.monotonic() < deadline and len(self.said()) == before:
            time.sleep(0.1)
        size = len(self.said())
        quiet_since = time.monotonic()
        while time.monotonic() - quiet_since < QUIET and time.monotonic() < deadline + limit:
            time.sleep(0.1)
            if len(self.said()) != size:
                size = len(self.said())
                quiet_since = time.monotonic()

    def press_until(self, what, keys, words, limit=12):
        """Presses keys until Orca has said every one of words (since the
        last step). A press Orca answers with nothing is pressed again."""
        wanted = [w.lower() for w in words]
        for _ in range(limit):
            before = len(self.said())
            self.key(*keys)
            self.settle(before, limit=PRESS_LIMIT)
            heard = squash(self.since_mark()).lower()
            if all(w in heard for w in wanted):
                return heard
        raise Failure(f"{' '.join(keys)} never made Orca say {what} {words}; it said:\n"
                      f"{self.since_mark()[-2000:]}")

    def act(self, what, keys, words, any_of=(), limit=SPEECH_LIMIT * 2):
        """Presses keys that do something (open, close, press) once, then
        waits until Orca has said every one of words and, when given, one
        of any_of. Pressed again only while Orca says nothing at all: the
        press was lost, not answered."""
        wanted = [w.lower() for w in words]
        either = [w.lower() for w in any_of]

        def heard_all(said):
            heard = squash(said).lower()
            return all(w in heard for w in wanted) and (not either or any(w in heard for w in either))

        deadline = time.monotonic() + limit
        for _ in range(3):
            before = len(self.said())
            self.key(*keys)
            self.settle(before, limit=PRESS_LIMIT)
            if len(self.said()) != before:
                break
        while not heard_all(self.since_mark()):
            self.alive()
            if time.monotonic() > deadline:
                raise Failure(f"{' '.join(keys)} never made Orca say {what} {words} {list(any_of)}; "
                              f"it said:\n{self.since_mark()[-2000:]}")
            time.sleep(0.2)
        self.settle(len(self.said()), limit=QUIET)
        return squash(self.since_mark()).lower()

    def hear(self, what, words, limit=SPEECH_LIMIT * 3):
        wanted = [w.lower() for w in words]
        return self.wait_speech(f"{what} {words}",
                                lambda said: all(w in squash(said).lower() for w in wanted), limit)


def lecture_facts(course):
    """Lecture 1's title and the words of its name in the contents."""
    root = ET.parse(os.path.join(course, "lections", "lection1.rvf")).getroot()
    title = squash("".join(root.find("p").itertext()))
    return title, title.split(". ", 1)[1]


def movie_captions(course):
    """The step captions of lecture 1's movie, as Orca would say them."""
    with open(os.path.join(course, "pictures", "lecture1.qml"), encoding="utf-8") as f:
        scene = f.read()
    block = re.search(r"captions:\s*\[(.*?)\]\s*\n", scene, re.S).group(1)
    return [squash(c) for c in re.findall(r'"((?:[^"\\]|\\.)*)"', block)]


# What Orca calls the focused control, one of these follows a screen's title.
ROLE_WORDS = ("кнопка", "список", "флажок", "текст", "ссылка")


def visit_screen(d, command, title):
    """From the home screen: the command's sub-screen opens and is read, and
    Escape closes it as its «Закрыть» does, back on the same command."""
    d.press_until(f"the command «{command}»", ["Tab"], [command, "кнопка"], limit=40)
    d.step(f"Tab to «{command}»")
    d.act(f"the screen «{title}» and its focused control", ["Return"], [title, "диалог"], ROLE_WORDS)
    d.step(f"Enter: the screen «{title}»")
    d.act("the home screen's command again", ["Escape"], [command, "кнопка"])
    d.step("Escape closes it: back on the home screen")


def run(d, course):
    title, link_text = lecture_facts(course)
    d.start_all()

    # The sign-in screen: its title, the learner list and its buttons.
    d.hear("the sign-in screen", ["Вход в учебник", "Ученик"], limit=STARTUP_LIMIT)
    d.step("The program starts: the sign-in screen")
    d.press_until("the button for a new learner", ["Tab"], ["Новый ученик", "кнопка"])
    d.step("Tab")
    d.act("the registration form", ["space"], ["Имя", "текст"])
    d.step("Space on «Новый ученик»: the registration form")
    d.type("Anna")
    d.step("The name typed")
    d.act("the learner list with the new learner", ["Return"], ["Anna"])
    d.step("Enter saves the learner: back on the list")
    d.press_until("the sign-in button", ["Tab"], ["Войти", "кнопка"])
    d.step("Tab to «Войти»")

    # The home screen starts on its first command.
    d.act("the home screen on its first command", ["space"], ["Начать обучение", "кнопка"])
    d.step("Space on «Войти»: the home screen")
    visit_screen(d, "Закладки", "Закладки")
    visit_screen(d, "Статистика", "Статистика")
    visit_screen(d, "Отчёт", "Отчёт")
    visit_screen(d, "Шрифт", "Выбор шрифта")
    visit_screen(d, "О программе", "О программе")
    d.press_until("the contents command", ["Tab"], ["Содержание", "кнопка"], limit=40)
    d.step("Tab to «Содержание»")

    # The contents, then lecture 1.
    d.act("the contents page", ["Return"], ["Страница", "Содержание"])
    d.step("Enter: the contents page")
    d.press_until("the link to lecture 1", ["Tab"], [link_text, "ссылка"], limit=30)
    d.step("Tab to the link of lecture 1")
    d.act("lecture 1's title", ["Return"], [title])
    d.step("Enter: lecture 1 opens")

    # Reading by caret: the first line, a heading, a figure by its alt text,
    # a power spoken as a power. Lines follow the window's width: words are
    # awaited, not whole lines.
    d.press_until("the first line of the page", ["Down"], ["информатика изучает"], limit=6)
    d.step("Down: the first line by caret")
    d.press_until("the heading of section 1.1", ["h"], ["1.1 понятие информации", "заголовок"], limit=3)
    d.step("H: the next heading")
    d.press_until("the figure's alt text", ["Down"], ["схема: источник информации"], limit=40)
    d.step("Down to the figure: its alt text")
    d.press_until("the heading of section 1.3", ["h"], ["1.3 единицы измерения", "заголовок"], limit=4)
    d.step("H to section 1.3")
    d.press_until("a power spoken as a power", ["Down"], ["2 в степени 8"], limit=60)
    d.step("Down to a power")

    # The lecture movie: its first caption as the panel comes out; in the
    # movie, «Шаг» tells the next step's caption.
    captions = movie_captions(course)
    d.act("the movie's first caption", ["F3"], ["уведомление", captions[0][:40]])
    d.step("F3: the lecture movie comes out")
    d.press_until("the movie's step button", ["Tab"], ["Шаг", "кнопка"], limit=30)
    d.step("Tab to «Шаг» in the movie")
    before = len(d.said())
    d.key("space")
    d.settle(before, limit=PRESS_LIMIT)
    # Orca may put symbols into words («=», «·»): a caption is known by its
    # opening words.
    heard = " ".join(re.findall(r"\w+", d.since_mark().lower()))
    openings = [" ".join(re.findall(r"\w+", c.lower())[:2]) for c in captions]
    if "уведомление" not in heard or not any(o in heard for o in openings):
        raise Failure(f"«Шаг» told no caption: {heard[-600:]}")
    d.step("Space on «Шаг»: the next step's caption")
    # Back to the page's top, where Tab leaves the page as before.
    before = len(d.said())
    d.key("ctrl+Home")
    d.settle(before, limit=PRESS_LIMIT)
    d.step("Ctrl+Home: the page's top")

    # The reader's toolbar, home by its first button, the test of lecture 1.
    d.press_until("the home button of the toolbar", ["Tab"], ["Главная", "кнопка"], limit=100)
    d.step("Tab to «Главная» on the toolbar")
    # The home screen now starts on «Продолжить»: where the learner stopped.
    d.act("the home screen", ["space"], ["Продолжить", "кнопка"])
    d.step("Space on «Главная»")
    d.press_until("the tests command", ["Tab"], ["Тесты", "кнопка"], limit=40)
    d.step("Tab to «Тесты»")
    # The reader comes back with the topics page, the keyboard where it was
    # (on the toolbar); Tab walks on to the page's links.
    d.act("the reader again", ["Return"], ["Тарвел"])
    d.step("Enter: the test topics")
    d.press_until("the test of lecture 1", ["Tab"], [link_text, "ссылка"], limit=40)
    d.step("Tab to the test of lecture 1")
    heard = d.act("question 1 with its text", ["Return"], ["Вопрос 1", "несколько ответов"])
    # The question's own words come between its number and the note.
    if not re.search(r"вопрос 1 из \d+\. (\w+\W+){3,}.*можно отметить несколько ответов", heard):
        raise Failure(f"question 1 was read without its text: {heard[-600:]}")
    d.step("Enter: the test starts on question 1")

    # Every question: tick A, answer with Enter; then the result.
    for number in range(2, 200):
        d.press_until("answer A ticked", ["space"], ["отмечено"])
        before = len(d.said())
        d.key("Return")
        d.settle(before, limit=PRESS_LIMIT)
        said = d.wait_speech(f"question {number} or the result",
                             lambda said: f"Вопрос {number} " in squash(said) or "Тест завершён" in squash(said),
                             limit=SPEECH_LIMIT * 2)
        if "Тест завершён" in squash(said):
            break
        d.step(f"Space, Enter: question {number}")
    if not re.search(r"Тест завершён, правильных ответов: \d+ %", squash(d.since_mark())):
        d.hear("the result", ["Тест завершён, правильных ответов"])
    d.step("Enter on the last question: the result")
    d.act("the review", ["Return"], ["Разбор теста"], ROLE_WORDS)
    d.step("Enter: the review")
    d.act("the reader again", ["Escape"], ["Тарвел"])
    d.step("Escape closes the review")


def main():
    exe, course = sys.argv[1], sys.argv[2]
    if shutil.which("orca") is None or shutil.which("speech-dispatcher") is None:
        raise Failure("Orca or speech-dispatcher is not installed (scripts/deps installs them)")
    d = Desk(exe, course)
    try:
        run(d, course)
    except Failure:
        d.step("(failed here)")
        shot = os.environ.get("TARVEL_ORCA_SHOT")
        if shot:
            subprocess.run(["import", "-window", "root", shot], env=d.env, check=False)
        d.show_logs()
        raise
    finally:
        d.stop()
        path = os.environ.get("TARVEL_ORCA_TRANSCRIPT")
        if path:
            with open(path, "w", encoding="utf-8") as f:
                f.write("\n\n".join(d.transcript) + "\n")
        d.cleanup()
    log("orca path: passed")


if __name__ == "__main__":
    try:
        main()
    except Failure as failure:
        print(f"orca path: FAILED: {failure}", file=sys.stderr, flush=True)
        sys.exit(1)
