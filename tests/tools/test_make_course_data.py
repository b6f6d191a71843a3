#!/usr/bin/env python3
"""Tests of tools/make_course_data.py: the fair-bank rules, the glossary,
questions.sec, the contents check, and that the shipped course is built
from its sources."""

import base64
import contextlib
import io
import os
import shutil
import sys
import tempfile
import unittest

SOURCE = os.environ.get("TARVEL_SOURCE_DIR",
                        os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))))
sys.path.insert(0, os.path.join(SOURCE, "tools"))
import make_course_data as tool  # noqa: E402

LETTERS = "ABCDE"


def lecture_file(number, marks):
    cps = "".join('  <cp name="%s Раздел %s" tag="%d"/>\n  <p para="0"><t style="2">%s Раздел %s</t></p>\n'
                  '  <p para="4">Текст.</p>\n' % (m, m, i + 1, m, m) for i, m in enumerate(marks))
    return ('<?xml version="1.0" encoding="UTF-8"?>\n<rvf version="1">\n'
            '  <p para="2"><t style="1">Лекция %d. Тема %d</t></p>\n%s</rvf>\n' % (number, number, cps))


def question(mark, kind, key, n):
    options = "".join("%s вариант %s%d\n" % ("+" if letter in key else "-", letter, n)
                      for letter in LETTERS)
    return "§ %s %s\n? Вопрос %d?\n%s\n" % (mark, kind, n, options)


def fair_bank(marks, count=15):
    """count questions over the marks: single keys A..E in turn, then three
    multi-answer ones starting with different letters; two thirds apply."""
    multi = ["AD", "BD", "CE"]
    blocks = []
    for n in range(count):
        key = LETTERS[n % 5] if n < count - 3 else multi[n - count + 3]
        kind = "знание" if n % 3 == 2 else "применение"
        blocks.append(question(marks[n % len(marks)], kind, key, n + 1))
    return blocks


class CourseFixture(unittest.TestCase):
    """A one-lecture course in a temporary folder."""

    marks = ["1.1", "1.2"]

    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="course-")
        self.addCleanup(shutil.rmtree, self.dir)
        for sub in ("lections", "src/questions", "src/glossary"):
            os.makedirs(os.path.join(self.dir, sub))
        self.write("lections/lection1.rvf", lecture_file(1, self.marks))
        self.write("src/questions/lecture1.txt", "".join(fair_bank(self.marks)))

    def write(self, name, text):
        with open(os.path.join(self.dir, name), "w", encoding="utf-8") as f:
            f.write(text)

    def read(self, name):
        with open(os.path.join(self.dir, name), encoding="utf-8") as f:
            return f.read()

    def run_tool(self, *args):
        out, err = io.StringIO(), io.StringIO()
        with contextlib.redirect_stdout(out), contextlib.redirect_stderr(err):
            code = tool.main(["--course", self.dir] + list(args))
        return code, out.getvalue(), err.getvalue()


class BankRules(CourseFixture):
    def test_fair_bank_is_built_with_its_sections(self):
        code, out, err = self.run_tool()
        self.assertEqual(code, 0, err)
        self.assertIn("лекция 1: 15 вопросов", out)
        sec = self.read("questions.sec").splitlines()
        self.assertEqual(len(sec), 15)
        self.assertEqual(sec[:3], ["1 1 1.1", "1 2 1.2", "1 3 1.1"])
        with open(os.path.join(self.dir, "questions.qzt"), "rb") as f:
            first = f.read().split(b"\r\n")[0]
        self.assertEqual(base64.b64decode(first[2:]).decode("cp1251"), "1 1 Вопрос 1?")

    def test_unfair_banks_are_refused_and_nothing_is_written(self):
        blocks = fair_bank(self.marks)
        only_b = [question(self.marks[n % 2], "применение", "B", n + 1) for n in range(15)]
        ab_keys = blocks[:13] + [question("1.1", "применение", "ABD", 14),
                                 question("1.2", "применение", "ABE", 15)]
        cases = {
            "too few questions": ("".join(blocks[:11] + blocks[12:]), "at least 15"),
            "untested section": ("".join(q.replace("§ 1.2", "§ 1.1") for q in blocks), "1.2"),
            "mostly recall": ("".join(q.replace("применение", "знание") for q in blocks),
                              "at least half"),
            "one letter always right": ("".join(only_b), "option B"),
            "multi keys start with A and B": ("".join(ab_keys), "both A and B"),
            "unknown section": ("".join(blocks).replace("§ 1.2", "§ 1.9", 1),
                                "not a checkpoint"),
            "section of another lecture": ("".join(blocks).replace("§ 1.2", "§ 2.2", 1),
                                           "not a section of lecture 1"),
            "question without section line": ("".join(blocks).replace("§ 1.1 применение\n", "", 1),
                                              "no section line"),
            "no right option": ("".join(blocks).replace("+ вариант", "- вариант", 1),
                                "no correct option"),
        }
        for name, (bank, message) in cases.items():
            with self.subTest(name):
                self.write("src/questions/lecture1.txt", bank)
                code, _, err = self.run_tool()
                self.assertEqual(code, 1, name)
                self.assertIn(message, err)
                self.assertFalse(os.path.exists(os.path.join(self.dir, "questions.qzt")))


class Glossary(CourseFixture):
    marks = ["1.1", "1.2", "1.3"]

    def test_terms_sorted_grouped_and_cited(self):
        self.write("src/glossary/lecture1.txt",
                   "# comment\n"
                   "1.2 | ёмкость | запас.\n"
                   "1.1 | Емкостный датчик | Датчик ёмкости.\n"
                   "1.3 | Бит | единица; 2^{10} бит.\n"
                   "1.1 | URL | адрес ресурса.\n"
                   "1.1 | Ель | дерево из 1024 игл.\n")
        code, _, err = self.run_tool()
        self.assertEqual(code, 0, err)
        text = self.read("lections/dict.rvf")
        order = [text.index(t) for t in (">Бит<", ">Ель<", ">Емкостный датчик<", ">ёмкость<", ">URL<")]
        self.assertEqual(order, sorted(order))
        self.assertEqual(text.count('<cp name="Е"'), 1)
        self.assertIn('<cp name="U"', text)
        self.assertIn("— датчик ёмкости (§1.1).", text)
        self.assertIn('2<t style="8">10</t> бит (§1.3).', text)
        self.assertIn("1024\u00a0игл", text)

    def test_bad_glossary_lines_are_refused(self):
        cases = {
            "duplicate with ё": ("1.1 | Ёж | зверь.\n1.2 | ЕЖ | зверь.\n", "already defined"),
            "missing part": ("1.1 | Бит\n", "N.K | Термин"),
            "section of another lecture": ("2.1 | Бит | единица.\n", "not in lecture 1"),
            "unknown section": ("1.7 | Бит | единица.\n", "not a checkpoint"),
            "bare caret": ("1.1 | Байт | 2^3 бит.\n", "^{...}"),
        }
        for name, (text, message) in cases.items():
            with self.subTest(name):
                self.write("src/glossary/lecture1.txt", text)
                code, _, err = self.run_tool()
                self.assertEqual(code, 1)
                self.assertIn(message, err)


class Contents(CourseFixture):
    def test_contents_must_list_the_lectures_sections(self):
        entry = ('<p para="1"><t style="4">Лекция 1. Тема 1</t></p>\n'
                 '<p para="1"><t style="3">     1.1 Раздел 1.1</t></p>\n')
        page0 = '<p para="1"><t style="4">%s</t></p>\n' % tool.INFO_DESCRIPTION
        self.write("lections/content.rvf", '<rvf version="1">%s%s</rvf>\n' % (page0, entry))
        code, _, err = self.run_tool()
        self.assertEqual(code, 1)
        self.assertIn("page 1 does not match", err)
        entry += '<p para="1"><t style="3">     1.2 Раздел 1.2</t></p>\n'
        self.write("lections/content.rvf", '<rvf version="1">%s%s</rvf>\n' % (page0, entry))
        code, _, err = self.run_tool()
        self.assertEqual(code, 0, err)


class ShippedCourse(unittest.TestCase):
    def test_built_files_match_their_sources(self):
        out, err = io.StringIO(), io.StringIO()
        with contextlib.redirect_stdout(out), contextlib.redirect_stderr(err):
            code = tool.main(["--course", os.path.join(SOURCE, "course"), "--check"])
        self.assertEqual(code, 0, err.getvalue())


if __name__ == "__main__":
    unittest.main()
