#!/usr/bin/env python3
"""Build the shipped course data from the course sources.

Reads course/lections/lection1.rvf ... lection8.rvf and
course/src/questions/lecture1.txt ... lecture8.txt, and writes

  course/dect.chh       the course data document (lecture list, no learners)
  course/questions.qzt  the question bank (one coded line per question)
  course/ansvers.qzt    the answer bank (five coded lines per question)

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


# ---------------------------------------------------------------- questions

def read_questions(path):
    """Parse one question file. Returns a list of (question, [(flag, text)])."""
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
    current_line = 0

    def close_block():
        if current is None:
            return
        question, options = current
        if len(options) != OPTIONS_PER_QUESTION:
            raise SourceError(
                "%s:%d: the question has %d options, not %d"
                % (where, current_line, len(options), OPTIONS_PER_QUESTION))
        if not any(flag == "1" for flag, _ in options):
            warn("%s:%d: the question has no correct option"
                 % (where, current_line))
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
        if kind == "?":
            close_block()
            if not body:
                raise SourceError("%s: empty question text" % spot)
            check_cp1251(body, spot)
            current = (body, [])
            current_line = number
        elif kind in "+-":
            if current is None:
                raise SourceError("%s: an option before the first question" % spot)
            if not body:
                raise SourceError("%s: empty option text" % spot)
            check_cp1251(body, spot)
            current[1].append(("1" if kind == "+" else "0", body))
            if len(current[1]) > OPTIONS_PER_QUESTION:
                raise SourceError(
                    "%s: more than %d options (a line break inside a text?)"
                    % (spot, OPTIONS_PER_QUESTION))
        else:
            raise SourceError(
                "%s: the line starts with neither '?', '+' nor '-' "
                "(a line break inside a text?)" % spot)
    close_block()
    if not questions:
        warn("%s: no questions" % where)
    return questions


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
        for index, (question, options) in enumerate(questions, start=1):
            spot = "%s: question %d" % (where, index)
            question_lines.append(coded_line(
                "%d %d %s" % (lecture, index, question), spot))
            for flag, option in options:
                answer_lines.append(coded_line(
                    "%d %d %s %s" % (lecture, index, flag, option), spot))

    def join(lines):
        return "".join(line + "\r\n" for line in lines).encode("ascii")

    return join(question_lines), join(answer_lines)


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
        description="Build course/dect.chh, course/questions.qzt and "
                    "course/ansvers.qzt from the lecture files and the "
                    "question sources.")
    parser.add_argument("--course", default=os.path.join(root, "course"),
                        help="the course folder (default: course/ of this repository)")
    parser.add_argument("--check", action="store_true",
                        help="write nothing; fail if the built files differ "
                             "from the ones in the course folder")
    parser.add_argument("--force", action="store_true",
                        help="replace a dect.chh that holds learner records")
    args = parser.parse_args(argv)

    course = args.course
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

        question_sets = []
        for number in range(1, LECTURE_COUNT + 1):
            path = os.path.join(sources, "lecture%d.txt" % number)
            if not os.path.exists(path):
                warn("%s is missing; lecture %d has no questions"
                     % (os.path.relpath(path), number))
                continue
            question_sets.append(
                (number, os.path.relpath(path), read_questions(path)))

        outputs = {"dect.chh": course_data_document(info_sections, lectures)}
        outputs["questions.qzt"], outputs["ansvers.qzt"] = banks(question_sets)
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
    print("dect.chh: %d lecture entries, %d sections; banks: %d questions, %d answers"
          % (len(lectures) + 1,
             len(info_sections) + sum(len(s) for _, _, s in lectures),
             total, total * OPTIONS_PER_QUESTION))
    return 0


if __name__ == "__main__":
    sys.exit(main())
