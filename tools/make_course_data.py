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
# Within one lecture no letter may dominate the single answers, the letters
# must not come in equal numbers (a known quota gives the last answers away
# by elimination), no letter may be the key more than MAX_RUN times in a row,
# and the keys must not repeat with a short period (ABCDE ABCDE ...).
LECTURE_SINGLE_LETTER_MAX = 0.35
MAX_RUN = 3
MAX_PERIOD = 5
PERIOD_MATCH_MAX = 0.6
# A question that may have several right options says so in its text; the
# learner is never told how many. Their keys hold 1 to 4 letters, every size
# turns up, none prevails, and every letter is about equally often right.
SELECT_ALL = "выберите все верные ответы"
MULTI_SIZES = (1, 2, 3, 4)
MULTI_SIZE_MAX_SHARE = 0.4
MULTI_SIZES_ALL_FROM = 8
MULTI_LETTER_SHARE = (0.12, 0.28)
# The longest option must not give the key away: among the questions with a
# unique longest option, that option is right about as often as chance says.
LONGEST_KEY_FACTOR = 1.25
LONGEST_KEY_SLACK = 1
LONGEST_KEY_LECTURE_SLACK = 2
LETTERS = "ABCDE"
# A question points at the section that teaches its topic; these closing
# sections only practise what the others teach.
PRACTICE_TITLES = ("Разобранные примеры", "Упражнения с ответами")
# A glossary source line "- | Термин | причина" names a bold term that is
# left out of the glossary on purpose.
OMITTED_MARK = "-"
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

    def select_all(self):
        """Whether the question asks for every right option."""
        return SELECT_ALL in self.text.casefold()

    def longest(self):
        """The index of the option that is longer than every other, or None."""
        lengths = [len(option) for _, option in self.options]
        top = max(lengths)
        return lengths.index(top) if lengths.count(top) == 1 else None


def collapse_blanks(text):
    """Blanks run together as one, but no-break spaces stay: they keep
    «40 960» and «8 бит» on one line in the test window."""
    return re.sub(r" {2,}", " ", text).strip(" ")


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
        kind, body = line[0], collapse_blanks(line[1:])
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


def practice_marks(lectures):
    """The marks of the worked-examples and exercises sections."""
    return {mark for _, _, sections in lectures for mark, title in sections
            if title in PRACTICE_TITLES}


def periodic(keys):
    """The shortest period p (2..MAX_PERIOD) with which the key sequence
    repeats itself in most places, or None."""
    for period in range(2, MAX_PERIOD + 1):
        pairs = len(keys) - period
        if pairs < 2 * period:
            continue
        same = sum(1 for i in range(pairs) if keys[i] == keys[i + period])
        if same > PERIOD_MATCH_MAX * pairs:
            return period
    return None


def longest_run(keys):
    best, run = 0, 0
    for i, key in enumerate(keys):
        run = run + 1 if i and keys[i - 1] == key else 1
        best = max(best, run)
    return best


def longest_is_key(questions):
    """(how many questions with a unique longest option have it right, how
    many would by chance)."""
    hits, chance = 0, 0.0
    for q in questions:
        index = q.longest()
        if index is None:
            continue
        chance += len(q.key()) / OPTIONS_PER_QUESTION
        hits += q.options[index][0] == "1"
    return hits, chance


def bank_statistics(question_sets, lectures, selected=None):
    """Print the statistics of the banks and return the list of broken rules.
    question_sets: (lecture, file name, questions); lectures: (number,
    description, sections); selected: the lectures whose questions the rules
    judge (all when None), so that part of a course can be checked while the
    rest is being rewritten."""
    sections_of_lecture = {number: [mark for mark, _ in sections]
                           for number, _, sections in lectures}
    practice = practice_marks(lectures)
    problems = []
    lines = ["Статистика банка вопросов:"]
    singles = {letter: 0 for letter in LETTERS}
    multi_letters = {letter: 0 for letter in LETTERS}
    sizes = {size: 0 for size in MULTI_SIZES}
    everything = []
    for lecture, where, questions in question_sets:
        if selected is not None and lecture not in selected:
            continue
        everything += questions
        total = len(questions)
        applied = sum(1 for q in questions if q.kind == "применение")
        single_keys = [q.key() for q in questions if not q.select_all()]
        multi_keys = [q.key() for q in questions if q.select_all()]
        own_singles = {letter: single_keys.count(letter) for letter in LETTERS}
        for letter in LETTERS:
            singles[letter] += own_singles[letter]
            multi_letters[letter] += sum(letter in key for key in multi_keys)
        for key in multi_keys:
            if len(key) in sizes:
                sizes[len(key)] += 1
        known = sections_of_lecture.get(lecture, [])
        teaching = [mark for mark in known if mark not in practice]
        tested = {q.mark for q in questions}
        for q in questions:
            if len(q.key()) > 1 and not q.select_all():
                problems.append(
                    "%s:%d: the question has %d right options, so its text must say "
                    "\"%s\"" % (where, q.line, len(q.key()), SELECT_ALL))
            if len(q.key()) > max(MULTI_SIZES):
                problems.append("%s:%d: every option of the question is right"
                                % (where, q.line))
            if known and q.mark not in known:
                problems.append("%s:%d: section %s is not a checkpoint of lection%d.rvf"
                                % (where, q.line, q.mark, lecture))
            elif q.mark in practice:
                problems.append(
                    "%s:%d: section %s only practises; point the question at the "
                    "section that teaches its topic" % (where, q.line, q.mark))
        untested = [mark for mark in teaching if mark not in tested]
        hits, chance = longest_is_key(questions)
        lines.append(
            "  лекция %d: %d вопросов, применение %d (%.0f %%); с одним ответом %d "
            "(%s), ключи %s; «все верные» %d, ключи %s; самый длинный вариант "
            "верен в %d (случайно %.1f); разделов %d, без вопросов: %s"
            % (lecture, total, applied, percent(applied, total),
               len(single_keys),
               " ".join("%s %d" % (letter, own_singles[letter]) for letter in LETTERS),
               "".join(single_keys) or "нет", len(multi_keys),
               " ".join(multi_keys) or "нет", hits, chance,
               len(teaching), ", ".join(untested) or "нет"))
        if total < MIN_QUESTIONS:
            problems.append("%s: %d questions; a lecture needs at least %d"
                            % (where, total, MIN_QUESTIONS))
        if applied < MIN_APPLIED_SHARE * total:
            problems.append("%s: %d of %d questions ask to apply; at least half must"
                            % (where, applied, total))
        if untested:
            problems.append("%s: no question tests section(s) %s"
                            % (where, ", ".join(untested)))
        if single_keys:
            for letter in LETTERS:
                if own_singles[letter] > LECTURE_SINGLE_LETTER_MAX * len(single_keys):
                    problems.append(
                        "%s: option %s is the single right answer in %d of %d questions; "
                        "at most %d %% may" % (where, letter, own_singles[letter],
                                               len(single_keys),
                                               100 * LECTURE_SINGLE_LETTER_MAX))
            if len(single_keys) >= len(LETTERS) and len(set(own_singles.values())) == 1:
                problems.append(
                    "%s: every letter is the single right answer %d times; a fixed quota "
                    "lets a learner find the last answers by elimination"
                    % (where, own_singles["A"]))
            if longest_run(single_keys) > MAX_RUN:
                problems.append("%s: the same single right answer more than %d times in a row (%s)"
                                % (where, MAX_RUN, "".join(single_keys)))
            period = periodic(single_keys)
            if period:
                problems.append("%s: the single right answers repeat every %d questions (%s)"
                                % (where, period, "".join(single_keys)))
        if len(multi_keys) >= 3:
            for letter in LETTERS:
                if all(letter in key for key in multi_keys):
                    problems.append(
                        "%s: option %s is right in every question with several right "
                        "options" % (where, letter))
        if hits > chance + LONGEST_KEY_LECTURE_SLACK:
            problems.append(
                "%s: the longest option is right in %d questions; chance gives %.1f"
                % (where, hits, chance))

    single_total = sum(singles.values())
    multi_total = sum(sizes.values())
    right_total = sum(multi_letters.values())
    hits, chance = longest_is_key(everything)
    lines.append("  всего, один верный ответ (%d): %s" % (
        single_total, ", ".join("%s %d (%.0f %%)" % (letter, singles[letter],
                                                   percent(singles[letter], single_total))
                                for letter in LETTERS)))
    lines.append("  всего, «выберите все верные ответы» (%d): верные варианты %s; "
                 "размер ключа %s" % (
                     multi_total,
                     ", ".join("%s %d (%.0f %%)" % (letter, multi_letters[letter],
                                                  percent(multi_letters[letter], right_total))
                               for letter in LETTERS),
                     ", ".join("%d: %d" % (size, sizes[size]) for size in MULTI_SIZES)))
    lines.append("  всего, самый длинный вариант верен в %d вопросах (случайно %.1f)"
                 % (hits, chance))
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
    low, high = MULTI_LETTER_SHARE
    if right_total:
        for letter in LETTERS:
            share = multi_letters[letter] / right_total
            if not low <= share <= high:
                problems.append(
                    "option %s is %.0f %% of the right options of the questions with "
                    "several right options; each letter must be %d-%d %%"
                    % (letter, 100 * share, 100 * low, 100 * high))
    if multi_total:
        for size in MULTI_SIZES:
            if sizes[size] > MULTI_SIZE_MAX_SHARE * multi_total:
                problems.append(
                    "%d of %d questions with several right options have %d right; "
                    "at most %d %% may share a key size"
                    % (sizes[size], multi_total, size, 100 * MULTI_SIZE_MAX_SHARE))
        missing = [str(size) for size in MULTI_SIZES if not sizes[size]]
        if multi_total >= MULTI_SIZES_ALL_FROM and missing:
            problems.append(
                "no question with several right options has %s right; vary the "
                "number of right options from %d to %d"
                % (" or ".join(missing), MULTI_SIZES[0], MULTI_SIZES[-1]))
    if hits > LONGEST_KEY_FACTOR * chance + LONGEST_KEY_SLACK:
        problems.append("the longest option is right in %d questions; chance gives %.1f"
                        % (hits, chance))
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
    """All glossary entries, (term, definition, mark) sorted, and the terms
    deliberately left out of the glossary, (term, reason, where)."""
    known = {mark for _, _, sections in lectures for mark, _ in sections}
    entries = []
    omitted = []
    seen = {}
    if not os.path.isdir(folder):
        warn("%s is missing; the glossary is empty" % os.path.relpath(folder))
        return entries, omitted
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
            if mark == OMITTED_MARK:
                omitted.append((term, definition, spot))
                continue
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
    return entries, omitted


# A bold term is a text item of this style inside running text.
TERM_STYLE = "3"
SCRIPT_STYLES = (TERM_STYLE, "7", "8")
# Formulas, code, paths and templates are set in the same style but are no terms.
NOT_A_TERM = re.compile(r"[\d=·:/\\@<>→…«»;,.]")


def bold_terms(root):
    """The bold terms of a lecture, each once, in document order."""
    found = []
    for p in root.iter("p"):
        if p.get("para") == "2":
            continue
        items = [child for child in p if child.tag == "t"]
        # Lines that are all in the term style are code, tables or formulas.
        running = bool((p.text or "").strip()) or any(
            (child.tail or "").strip() for child in p) or any(
            (child.text or "").strip() and child.get("style", "0") not in SCRIPT_STYLES
            for child in items)
        if not running:
            continue
        for child in items:
            if child.get("style", "0") != TERM_STYLE:
                continue
            text = " ".join((child.text or "").replace("\u00a0", " ").split()).rstrip(".")
            if (len(re.findall(r"[^\W\d_]", text)) < 2 or NOT_A_TERM.search(text)
                    or text in found):
                continue
            found.append(text)
    return found


def term_words(term):
    return term.casefold().replace("ё", "е").replace("\u00a0", " ").split()


def same_word(a, b):
    """Two forms of one word: a long common beginning, differing only in the
    ending, as «каналу» and «канал» or «весом» and «вес» do."""
    common = len(os.path.commonprefix([a, b]))
    return a == b or (common >= 3 and common >= max(len(a), len(b)) - 3)


def names_of(term):
    """A glossary term and the names it stands for: «Юникод (Unicode)» is
    also «Юникод» and «Unicode»."""
    names = [term]
    match = re.fullmatch(r"(.*?)\s*\(([^()]*)\)\s*(.*)", term)
    if match:
        names += [" ".join(filter(None, (match.group(1), match.group(3)))), match.group(2)]
    return [term_words(name) for name in names if name.strip()]


def covers(term, bold):
    """Whether a glossary term names a bold term of a lecture: the bold
    words, in some grammatical form, stand together in the term
    («достоверность» is «Достоверность информации», «с плавающей запятой»
    is «Число с плавающей запятой»)."""
    words = term_words(bold)
    return any(all(same_word(a, b) for a, b in zip(words, name[start:]))
               for name in names_of(term)
               for start in range(len(name) - len(words) + 1))


def uncovered_terms(root, glossary, omitted):
    """The bold terms of a lecture that the glossary neither defines nor
    lists as left out."""
    known = [term for term, _, _ in glossary] + [term for term, _, _ in omitted]
    return [bold for bold in bold_terms(root)
            if not any(covers(term, bold) for term in known)]


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


def lecture_selection(text):
    """"1-4" or "1,3,5-8" as a set of lecture numbers."""
    chosen = set()
    for part in text.split(","):
        match = re.fullmatch(r"\s*(\d+)\s*(?:-\s*(\d+)\s*)?", part)
        if not match:
            raise argparse.ArgumentTypeError("%r is not a list such as 1-4 or 1,3,5-8" % text)
        first = int(match.group(1))
        last = int(match.group(2) or first)
        if not 1 <= first <= last <= LECTURE_COUNT:
            raise argparse.ArgumentTypeError(
                "%r: lectures are numbered 1 to %d" % (text, LECTURE_COUNT))
        chosen.update(range(first, last + 1))
    return chosen


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
    parser.add_argument("--lectures", type=lecture_selection, default=None,
                        metavar="LIST",
                        help="judge the banks and the glossary coverage of these "
                             "lectures only, e.g. 1-4 or 1,3,5-8 (default: all)")
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

        problems = bank_statistics(question_sets, lectures, args.lectures)
        glossary, omitted = read_glossary(os.path.join(course, "src", "glossary"),
                                          lectures)
        for number in range(1, LECTURE_COUNT + 1):
            path = os.path.join(lections, "lection%d.rvf" % number)
            if (args.lectures is not None and number not in args.lectures
                    or not os.path.exists(path)):
                continue
            for term in uncovered_terms(parse_rvf(path), glossary, omitted):
                problems.append(
                    "%s: the bold term «%s» is neither in the glossary nor listed "
                    "there as left out (\"%s | %s | причина\")"
                    % (os.path.relpath(path), term, OMITTED_MARK, term))
        if problems:
            for problem in problems:
                print("error: " + problem, file=sys.stderr)
            print("error: the course breaks %d rule(s); nothing written"
                  % len(problems), file=sys.stderr)
            return 1

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
