#!/usr/bin/env python3
"""Build the shipped course data from the course sources.

Reads course/lections/lection1.rvf ... lection8.rvf,
course/src/questions/lecture1.txt ... lecture8.txt and the glossary sources
course/src/glossary/*.txt, and writes

  course/dect.chh           the course data document (lecture list, no learners)
  course/questions.qzt      the question bank (one coded line per question)
  course/ansvers.qzt        the answer bank (five coded lines per question)
  course/questions.sec      the section each question tests, in bank order
  course/lections/dict.rvf  the glossary page

It prints the statistics of the question banks and refuses banks that a
learner could game (see BANK_RULES below).

Run from the repository root:  python3 tools/make_course_data.py
Only the Python 3 standard library is used. The output depends on the
sources alone, so the same sources always give the same bytes.
"""

import argparse
import base64
import os
import re
import sys
import tempfile
import xml.etree.ElementTree as ET
from xml.sax.saxutils import escape, quoteattr

LECTURE_COUNT = 8
COURSE_TITLE = "Основы информатики"
COURSE_VERSION = "1.0"
INFO_DESCRIPTION = "Как работать с учебником"
OPTIONS_PER_QUESTION = 5
# The reader keeps the positions of at most 20 checkpoints of a page.
MAX_SECTIONS = 20
# The program's line encoder takes texts shorter than this many bytes.
MAX_RECORD_BYTES = 4096

# What makes a fair bank. Each lecture has at least MIN_QUESTIONS questions,
# tests every one of its sections, and at least half of its questions ask to
# apply a rule rather than recall it. Across the course, every letter is the
# single right answer about equally often, and the keys of multi-answer
# questions do not keep starting with the same letters, so that no fixed
# answer pattern scores.
MIN_QUESTIONS = 15
MIN_APPLIED_SHARE = 0.5
SINGLE_LETTER_SHARE = (0.15, 0.25)
MULTI_FIRST_LETTER_MAX = 0.35
MULTI_A_AND_B_MAX = 0.35
LETTERS = "ABCDE"
KINDS = {"применение": "apply", "знание": "recall"}

GLOSSARY_TITLE = "Словарь терминов"
GLOSSARY_LEAD = ("Краткие определения основных понятий курса «Основы информатики». "
                 "Термины расположены по алфавиту; в скобках указан раздел лекции, "
                 "в котором понятие разбирается подробно: (§3.2) — лекция 3, раздел 3.2.")

# Used only when a lecture file is missing, so that the lecture list still
# holds nine entries in page order.
FALLBACK_TITLES = {
    1: "Информация и её измерение",
    2: "Системы счисления",
    3: "Логика и логические элементы",
    4: "Алгоритмы",
    5: "Устройство компьютера",
    6: "Операционные системы и файлы",
    7: "Компьютерные сети и Интернет",
    8: "Информационная безопасность",
}


class SourceError(Exception):
    """A source file that must be fixed before the course data can be built."""


def warn(message):
    print("warning: " + message, file=sys.stderr)


def check_cp1251(text, where):
    try:
        text.encode("cp1251")
    except UnicodeEncodeError as err:
        bad = text[err.start:err.end]
        raise SourceError(
            "%s: character %r (U+%04X) has no Windows-1251 form"
            % (where, bad, ord(bad[0]))) from None


# ---------------------------------------------------------------- lectures

def paragraphs_of_style(root, style):
    """Texts of the paragraphs that hold items of the given text style,
    each the concatenation of those items, in document order."""
    found = []
    for p in root.iter("p"):
        own_style = int(p.get("style", "0"))
        parts = []
        if p.text and own_style == style:
            parts.append(" ".join(p.text.split()))
        for child in p:
            if child.tag == "t" and int(child.get("style", "0")) == style:
                parts.append(child.text or "")
            if child.tail and own_style == style:
                parts.append(" ".join(child.tail.split()))
        text = "".join(parts).strip()
        if text:
            found.append(text)
    return found


def parse_rvf(path):
    where = os.path.relpath(path)
    try:
        root = ET.parse(path).getroot()
    except ET.ParseError as err:
        raise SourceError("%s: not well-formed XML: %s" % (where, err)) from None
    if root.tag != "rvf":
        raise SourceError("%s: the document element is <%s>, not <rvf>"
                          % (where, root.tag))
    return root


def sections_of(root, where):
    """One (mark, title) per checkpoint, in document order: the checkpoint
    name split at its first blank."""
    sections = []
    for cp in root.iter("cp"):
        name = cp.get("name", "")
        if not name.strip():
            raise SourceError("%s: a checkpoint without a name" % where)
        check_cp1251(name, "%s: checkpoint %r" % (where, name))
        mark, blank, title = name.partition(" ")
        if not blank or not mark or not title:
            raise SourceError(
                "%s: checkpoint %r is not a mark, one blank and a title"
                % (where, name))
        sections.append((mark, title))
    if not sections:
        warn("%s: no checkpoints, so the page has no sections" % where)
    if len(sections) > MAX_SECTIONS:
        warn("%s: %d checkpoints; the section menu keeps only the first %d"
             % (where, len(sections), MAX_SECTIONS))
    return sections


def read_lecture(path, number):
    """Return (description, [(mark, title), ...]) of one lecture file."""
    where = os.path.relpath(path)
    root = parse_rvf(path)

    headings = paragraphs_of_style(root, 1)
    if not headings:
        raise SourceError("%s: no title paragraph in text style 1" % where)
    heading = " ".join(headings[0].split())
    prefix = "Лекция %d. " % number
    if heading.startswith(prefix):
        description = heading[len(prefix):].strip()
    else:
        warn("%s: the title %r does not start with %r; using it whole"
             % (where, heading, prefix))
        description = heading
    if not description:
        raise SourceError("%s: the lecture title is empty" % where)
    check_cp1251(description, where + ": title")

    sections = sections_of(root, where)
    return description, sections


def course_data_document(info_sections, lectures):
    """The text of dect.chh. info_sections: the sections of the information
    page; lectures: list of (number, description, sections) for 1..8."""
    lines = [
        '<?xml version="1.0" encoding="UTF-8"?>',
        "<course_data>",
        "  <info>",
        "    <title>%s</title>" % escape(COURSE_TITLE),
        "    <version>%s</version>" % escape(COURSE_VERSION),
        "  </info>",
        "  <course>",
        "    <lectures>",
    ]
    # Page 0 is the information page; it has no lecture movie.
    entries = [(0, INFO_DESCRIPTION, "lections/info.rvf", None, info_sections)]
    entries += [(number, description, "lections/lection%d.rvf" % number,
                 "lecture%d" % number, sections)
                for number, description, sections in lectures]
    for number, description, file_name, movie, sections in entries:
        lines.append("      <lecture id=%s>" % quoteattr(str(number)))
        lines.append("        <description>%s</description>" % escape(description))
        lines.append("        <file>%s</file>" % escape(file_name))
        lines.append("        <movie>%s</movie>" % escape(movie) if movie
                     else "        <movie/>")
        for mark, title in sections:
            lines.append("        <section><mark>%s</mark><title>%s</title></section>"
                         % (escape(mark), escape(title)))
        lines.append("      </lecture>")
    lines += [
        "    </lectures>",
        "  </course>",
        "  <users/>",
        "</course_data>",
    ]
    return ("\n".join(lines) + "\n").encode("utf-8")


def check_contents(path, info_sections, lectures, present):
    """The contents page lists each page's title and its sections by hand;
    refuse one that no longer matches the lectures, since a learner would
    look for sections that are not there."""
    where = os.path.relpath(path)
    root = parse_rvf(path)
    listed = {}
    current = None
    for p in root.iter("p"):
        for child in p:
            if child.tag != "t":
                continue
            text = " ".join((child.text or "").split())
            style = child.get("style", "0")
            if style == "4":
                match = re.match(r"Лекция (\d+)\. (.*)$", text)
                current = int(match.group(1)) if match else 0
                listed[current] = [text]
            elif style == "3" and current is not None and text:
                listed[current].append(text)
    expected = {}
    if 0 in present:
        expected[0] = [INFO_DESCRIPTION] + ["%s %s" % section for section in info_sections]
    for number, description, sections in lectures:
        if number not in present:
            continue
        expected[number] = (["Лекция %d. %s" % (number, description)]
                            + ["%s %s" % section for section in sections])
    for number, lines in sorted(expected.items()):
        if listed.get(number) != lines:
            raise SourceError(
                "%s: the entry of page %d does not match its document: it lists %s, "
                "the document has %s" % (where, number, listed.get(number), lines))


# ---------------------------------------------------------------- questions

class Question:
    """One question block of a source file."""

    def __init__(self, text, mark, kind, line):
        self.text = text
        self.mark = mark
        self.kind = kind
        self.line = line
        self.options = []

    def key(self):
        """The letters of the right options, "A" to "E"."""
        return "".join(LETTERS[i] for i, (flag, _) in enumerate(self.options)
                       if flag == "1")


SECTION_LINE = re.compile(r"^§\s*(\d+)\.(\d+)\s+(\S+)\s*$")


def read_questions(path, lecture=None):
    """Parse one question file. Returns a list of Question. Each block is a
    line "§ N.K применение|знание", the "?" line and five option lines."""
    where = os.path.relpath(path)
    with open(path, "rb") as f:
        raw = f.read()
    try:
        text = raw.decode("utf-8")
    except UnicodeDecodeError as err:
        raise SourceError("%s: not UTF-8 (byte %d)" % (where, err.start)) from None
    if text.startswith("\ufeff"):
        text = text[1:]

    questions = []
    current = None
    pending = None  # (mark, kind, line) of a section line awaiting its "?"

    def close_block():
        if current is None:
            return
        if len(current.options) != OPTIONS_PER_QUESTION:
            raise SourceError(
                "%s:%d: the question has %d options, not %d"
                % (where, current.line, len(current.options), OPTIONS_PER_QUESTION))
        if not current.key():
            raise SourceError("%s:%d: the question has no correct option"
                              % (where, current.line))
        texts = [option.casefold() for _, option in current.options]
        if len(set(texts)) != len(texts):
            raise SourceError("%s:%d: two options of the question are the same"
                              % (where, current.line))
        questions.append(current)

    for number, line in enumerate(text.split("\n"), start=1):
        if line.endswith("\r"):
            line = line[:-1]
        spot = "%s:%d" % (where, number)
        # Any of these would split or cut a record in the bank reader.
        for ch, name in (("\r", "a carriage return"), ("\x0c", "a form feed"),
                         ("\t", "a TAB"), ("\x00", "a NUL character")):
            if ch in line:
                raise SourceError("%s: %s inside a line" % (spot, name))
        if not line.strip():
            continue
        kind, body = line[0], " ".join(line[1:].split())
        if kind == "§":
            if pending is not None:
                raise SourceError("%s: a second section line before the question" % spot)
            close_block()
            current = None
            match = SECTION_LINE.match(line)
            if not match:
                raise SourceError(
                    "%s: a section line is \"§ N.K применение\" or \"§ N.K знание\"" % spot)
            chapter, part, what = match.groups()
            if what not in KINDS:
                raise SourceError("%s: %r is neither \"применение\" nor \"знание\""
                                  % (spot, what))
            if lecture is not None and int(chapter) != lecture:
                raise SourceError("%s: section %s.%s is not a section of lecture %d"
                                  % (spot, chapter, part, lecture))
            pending = ("%d.%d" % (int(chapter), int(part)), what, number)
        elif kind == "?":
            close_block()
            if pending is None:
                raise SourceError(
                    "%s: the question has no section line (\"§ N.K применение\") before it"
                    % spot)
            if not body:
                raise SourceError("%s: empty question text" % spot)
            check_cp1251(body, spot)
            current = Question(body, pending[0], pending[1], number)
            pending = None
        elif kind in "+-":
            if current is None:
                raise SourceError("%s: an option before the first question" % spot)
            if not body:
                raise SourceError("%s: empty option text" % spot)
            check_cp1251(body, spot)
            current.options.append(("1" if kind == "+" else "0", body))
            if len(current.options) > OPTIONS_PER_QUESTION:
                raise SourceError(
                    "%s: more than %d options (a line break inside a text?)"
                    % (spot, OPTIONS_PER_QUESTION))
        else:
            raise SourceError(
                "%s: the line starts with neither '§', '?', '+' nor '-' "
                "(a line break inside a text?)" % spot)
    if pending is not None:
        raise SourceError("%s:%d: a section line without a question"
                          % (where, pending[2]))
    close_block()
    if not questions:
        warn("%s: no questions" % where)
    return questions


# ---------------------------------------------------------------- statistics

def percent(part, whole):
    return 100.0 * part / whole if whole else 0.0


def bank_statistics(question_sets, lectures):
    """Print the statistics of the banks and return the list of broken rules.
    question_sets: (lecture, file name, questions); lectures: (number,
    description, sections)."""
    sections_of_lecture = {number: [mark for mark, _ in sections]
                           for number, _, sections in lectures}
    problems = []
    lines = ["Статистика банка вопросов:"]
    singles = {letter: 0 for letter in LETTERS}
    firsts = {letter: 0 for letter in LETTERS}
    multi_total = 0
    a_and_b = 0
    for lecture, where, questions in question_sets:
        total = len(questions)
        applied = sum(1 for q in questions if q.kind == "применение")
        own_singles = {letter: 0 for letter in LETTERS}
        multi = 0
        for q in questions:
            key = q.key()
            if len(key) == 1:
                singles[key] += 1
                own_singles[key] += 1
            else:
                multi += 1
                multi_total += 1
                firsts[key[0]] += 1
                if "A" in key and "B" in key:
                    a_and_b += 1
        known = sections_of_lecture.get(lecture, [])
        tested = {q.mark for q in questions}
        for q in questions:
            if known and q.mark not in known:
                problems.append("%s:%d: section %s is not a checkpoint of lection%d.rvf"
                                % (where, q.line, q.mark, lecture))
        untested = [mark for mark in known if mark not in tested]
        lines.append(
            "  лекция %d: %d вопросов, применение %d (%.0f %%), с одним ответом %d "
            "(%s), с несколькими %d; разделов %d, без вопросов: %s"
            % (lecture, total, applied, percent(applied, total),
               total - multi,
               " ".join("%s %d" % (letter, own_singles[letter]) for letter in LETTERS),
               multi, len(known), ", ".join(untested) or "нет"))
        if total < MIN_QUESTIONS:
            problems.append("%s: %d questions; a lecture needs at least %d"
                            % (where, total, MIN_QUESTIONS))
        if applied < MIN_APPLIED_SHARE * total:
            problems.append("%s: %d of %d questions ask to apply; at least half must"
                            % (where, applied, total))
        if untested:
            problems.append("%s: no question tests section(s) %s"
                            % (where, ", ".join(untested)))

    single_total = sum(singles.values())
    lines.append("  весь курс, один верный ответ (%d): %s" % (
        single_total, ", ".join("%s %d (%.0f %%)" % (letter, singles[letter],
                                                   percent(singles[letter], single_total))
                                for letter in LETTERS)))
    lines.append("  весь курс, несколько верных (%d): первая буква ключа %s; A и B вместе %d (%.0f %%)" % (
        multi_total, ", ".join("%s %d" % (letter, firsts[letter]) for letter in LETTERS),
        a_and_b, percent(a_and_b, multi_total)))
    print("\n".join(lines))

    low, high = SINGLE_LETTER_SHARE
    if single_total:
        for letter in LETTERS:
            share = singles[letter] / single_total
            if not low <= share <= high:
                problems.append(
                    "option %s is the single right answer in %.0f %% of single-answer "
                    "questions; each letter must be in %d-%d %%"
                    % (letter, 100 * share, 100 * low, 100 * high))
    if multi_total:
        for letter in LETTERS:
            if firsts[letter] / multi_total > MULTI_FIRST_LETTER_MAX:
                problems.append(
                    "%.0f %% of multi-answer keys start with %s; at most %d %% may"
                    % (percent(firsts[letter], multi_total), letter,
                       100 * MULTI_FIRST_LETTER_MAX))
        if a_and_b / multi_total > MULTI_A_AND_B_MAX:
            problems.append(
                "%.0f %% of multi-answer keys hold both A and B; at most %d %% may"
                % (percent(a_and_b, multi_total), 100 * MULTI_A_AND_B_MAX))
    return problems


# ---------------------------------------------------------------- glossary

# Russian order with ё sorted as е; Latin letters after the Cyrillic ones.
RUSSIAN = "абвгдежзийклмнопрстуфхцчшщъыьэюя"


def sort_key(term):
    key = []
    for ch in term.casefold().replace("ё", "е"):
        if ch in RUSSIAN:
            key.append((1, RUSSIAN.index(ch)))
        elif "a" <= ch <= "z":
            key.append((2, ord(ch)))
        elif ch.isdigit():
            key.append((0, ord(ch)))
        elif ch.isalpha():
            key.append((3, ord(ch)))
        # blanks, hyphens and brackets do not order terms
    return key


def heading_letter(term):
    for ch in term:
        if ch.isalpha():
            return "Е" if ch in "Ёё" else ch.upper()
    return "#"


def read_glossary(folder, lectures):
    """All glossary entries: (term, definition, mark), sorted."""
    known = {mark for _, _, sections in lectures for mark, _ in sections}
    entries = []
    seen = {}
    if not os.path.isdir(folder):
        warn("%s is missing; the glossary is empty" % os.path.relpath(folder))
        return entries
    for name in sorted(os.listdir(folder)):
        if not name.endswith(".txt"):
            continue
        path = os.path.join(folder, name)
        where = os.path.relpath(path)
        with open(path, "rb") as f:
            try:
                text = f.read().decode("utf-8")
            except UnicodeDecodeError as err:
                raise SourceError("%s: not UTF-8 (byte %d)" % (where, err.start)) from None
        own = re.fullmatch(r"lecture(\d+)\.txt", name)
        for number, line in enumerate(text.lstrip("\ufeff").split("\n"), start=1):
            line = line.rstrip("\r")
            spot = "%s:%d" % (where, number)
            if not line.strip() or line.lstrip().startswith("#"):
                continue
            parts = [part.strip() for part in line.split("|")]
            if len(parts) != 3 or not all(parts):
                raise SourceError("%s: a glossary line is \"N.K | Термин | Определение.\""
                                  % spot)
            mark, term, definition = parts
            if not re.fullmatch(r"\d+\.\d+", mark):
                raise SourceError("%s: %r is not a section mark such as 3.2" % (spot, mark))
            if own and mark.split(".")[0] != own.group(1):
                raise SourceError("%s: section %s is not in lecture %s"
                                  % (spot, mark, own.group(1)))
            if known and mark not in known:
                raise SourceError("%s: section %s is not a checkpoint of any lecture"
                                  % (spot, mark))
            # dict.rvf is UTF-8 like the lectures, so ¬ ∧ ∨ ⊕ may appear here.
            if re.search(r"\^(?!\{)", definition):
                raise SourceError("%s: write a superscript as ^{...}" % spot)
            folded = term.casefold().replace("ё", "е")
            if folded in seen:
                raise SourceError("%s: the term %r is already defined at %s"
                                  % (spot, term, seen[folded]))
            seen[folded] = spot
            entries.append((term, definition.rstrip(". "), mark))
    entries.sort(key=lambda entry: (sort_key(entry[0]), entry[0]))
    return entries


def glossary_document(entries):
    """The text of dict.rvf: a heading per first letter, each with one
    checkpoint, so that the section menu jumps from letter to letter."""
    lines = [
        '<?xml version="1.0" encoding="UTF-8"?>',
        '<rvf version="1">',
        '  <p para="2"><t style="1">%s</t></p>' % escape(GLOSSARY_TITLE),
        '  <p para="4">%s</p>' % escape(GLOSSARY_LEAD),
    ]
    letter = None
    tag = 0
    for term, definition, mark in entries:
        first = heading_letter(term)
        if first != letter:
            letter = first
            tag += 1
            lines.append('  <cp name=%s tag="%d"/>' % (quoteattr(letter), tag))
            lines.append('  <p para="0"><t style="2">%s</t></p>' % escape(letter))
        lines.append('  <p para="1"><t style="3">%s</t> — %s (§%s).</p>'
                     % (escape(term), definition_markup(definition), escape(mark)))
    lines.append("</rvf>")
    return ("\n".join(lines) + "\n").encode("utf-8")


def definition_markup(definition):
    """The definition as paragraph content: ^{...} raised, _{...} lowered,
    the first letter small since it follows the term and a dash."""
    if len(definition) > 1 and definition[0].isupper() and definition[1].islower():
        definition = definition[0].lower() + definition[1:]
    # A number stays on the line of its unit, and digit groups stay together.
    definition = re.sub(r"(\d) (?=\d{3}(?!\d))", "\\1\u00a0", definition)
    definition = re.sub(r"(\d) (?=[А-Яа-яЁё%°])", "\\1\u00a0", definition)
    out = []
    for piece in re.split(r"(\^\{[^}]*\}|_\{[^}]*\})", definition):
        if piece.startswith("^{"):
            out.append('<t style="8">%s</t>' % escape(piece[2:-1]))
        elif piece.startswith("_{"):
            out.append('<t style="7">%s</t>' % escape(piece[2:-1]))
        else:
            out.append(escape(piece))
    return "".join(out)


def coded_line(record, where):
    data = record.encode("cp1251")
    if len(data) >= MAX_RECORD_BYTES:
        raise SourceError("%s: the record is %d bytes long; the limit is %d"
                          % (where, len(data), MAX_RECORD_BYTES - 1))
    return "0;" + base64.b64encode(data).decode("ascii")


def banks(question_sets):
    """The bytes of questions.qzt and ansvers.qzt. question_sets: list of
    (lecture number, file name, questions) in lecture order."""
    question_lines = []
    answer_lines = []
    for lecture, where, questions in question_sets:
        for index, question in enumerate(questions, start=1):
            spot = "%s: question %d" % (where, index)
            question_lines.append(coded_line(
                "%d %d %s" % (lecture, index, question.text), spot))
            for flag, option in question.options:
                answer_lines.append(coded_line(
                    "%d %d %s %s" % (lecture, index, flag, option), spot))

    def join(lines):
        return "".join(line + "\r\n" for line in lines).encode("ascii")

    return join(question_lines), join(answer_lines)


def section_list(question_sets):
    """The bytes of questions.sec: "<lecture> <number> <mark>" per question,
    in bank order, so that a test review can send a learner to the section."""
    lines = []
    for lecture, _, questions in question_sets:
        for index, question in enumerate(questions, start=1):
            lines.append("%d %d %s\n" % (lecture, index, question.mark))
    return "".join(lines).encode("utf-8")


# ---------------------------------------------------------------- output

def existing_learners(path):
    """Number of learner records in an existing dect.chh, or None if there
    is no readable file."""
    try:
        root = ET.parse(path).getroot()
    except (OSError, ET.ParseError):
        return None
    children = list(root)
    return len(list(children[2])) if len(children) > 2 else 0


def write_atomically(path, data):
    folder = os.path.dirname(os.path.abspath(path))
    fd, temp = tempfile.mkstemp(prefix=".tmp-", dir=folder)
    try:
        with os.fdopen(fd, "wb") as f:
            f.write(data)
            f.flush()
            os.fsync(f.fileno())
        os.chmod(temp, 0o644)
        os.replace(temp, path)
    except BaseException:
        if os.path.exists(temp):
            os.remove(temp)
        raise


def main(argv=None):
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    parser = argparse.ArgumentParser(
        description="Build course/dect.chh, the question and answer banks, "
                    "course/questions.sec and course/lections/dict.rvf from the "
                    "lecture files and the question and glossary sources.")
    parser.add_argument("--course", default=os.path.join(root, "course"),
                        help="the course folder (default: course/ of this repository)")
    parser.add_argument("--check", action="store_true",
                        help="write nothing; fail if the built files differ "
                             "from the ones in the course folder")
    parser.add_argument("--force", action="store_true",
                        help="replace a dect.chh that holds learner records")
    args = parser.parse_args(argv)

    course = args.course
    if not os.path.isdir(course):
        print("error: %s is not a folder" % course, file=sys.stderr)
        return 1
    lections = os.path.join(course, "lections")
    sources = os.path.join(course, "src", "questions")

    try:
        info_path = os.path.join(lections, "info.rvf")
        if os.path.exists(info_path):
            info_sections = sections_of(parse_rvf(info_path),
                                        os.path.relpath(info_path))
        else:
            warn("%s is missing; its entry gets no sections"
                 % os.path.relpath(info_path))
            info_sections = []

        lectures = []
        for number in range(1, LECTURE_COUNT + 1):
            path = os.path.join(lections, "lection%d.rvf" % number)
            if os.path.exists(path):
                description, sections = read_lecture(path, number)
            else:
                warn("%s is missing; its entry gets the default title and no "
                     "sections" % os.path.relpath(path))
                description, sections = FALLBACK_TITLES[number], []
            lectures.append((number, description, sections))

        contents_path = os.path.join(lections, "content.rvf")
        if os.path.exists(contents_path):
            present = {number for number in range(LECTURE_COUNT + 1)
                       if os.path.exists(os.path.join(
                           lections, "lection%d.rvf" % number if number else "info.rvf"))}
            check_contents(contents_path, info_sections, lectures, present)

        question_sets = []
        for number in range(1, LECTURE_COUNT + 1):
            path = os.path.join(sources, "lecture%d.txt" % number)
            if not os.path.exists(path):
                warn("%s is missing; lecture %d has no questions"
                     % (os.path.relpath(path), number))
                continue
            question_sets.append(
                (number, os.path.relpath(path), read_questions(path, number)))

        problems = bank_statistics(question_sets, lectures)
        if problems:
            for problem in problems:
                print("error: " + problem, file=sys.stderr)
            print("error: the question banks break %d rule(s); nothing written"
                  % len(problems), file=sys.stderr)
            return 1

        glossary = read_glossary(os.path.join(course, "src", "glossary"), lectures)

        outputs = {"dect.chh": course_data_document(info_sections, lectures)}
        outputs["questions.qzt"], outputs["ansvers.qzt"] = banks(question_sets)
        outputs["questions.sec"] = section_list(question_sets)
        outputs[os.path.join("lections", "dict.rvf")] = glossary_document(glossary)
    except (SourceError, OSError, ValueError) as err:
        print("error: %s" % err, file=sys.stderr)
        return 1

    if args.check:
        stale = []
        for name, data in outputs.items():
            try:
                with open(os.path.join(course, name), "rb") as f:
                    same = f.read() == data
            except OSError:
                same = False
            if not same:
                stale.append(name)
        if stale:
            print("out of date: " + ", ".join(stale), file=sys.stderr)
            return 1
        print("course data is up to date")
        return 0

    # The shipped document has no learners; a dect.chh that has some is a
    # working copy whose learners would be lost.
    learners = existing_learners(os.path.join(course, "dect.chh"))
    if learners and not args.force:
        print("error: %s holds %d learner record(s); rerun with --force to "
              "replace it with an empty learner list"
              % (os.path.relpath(os.path.join(course, "dect.chh")), learners),
              file=sys.stderr)
        return 1

    for name, data in outputs.items():
        write_atomically(os.path.join(course, name), data)
    total = sum(len(q) for _, _, q in question_sets)
    print("dect.chh: %d lecture entries, %d sections; banks: %d questions, %d answers; "
          "glossary: %d terms"
          % (len(lectures) + 1,
             len(info_sections) + sum(len(s) for _, _, s in lectures),
             total, total * OPTIONS_PER_QUESTION, len(glossary)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
