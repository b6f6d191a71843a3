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


def lecture_file(number, marks, titles=None, body="Текст."):
    titles = titles or {}
    cps = "".join('  <cp name="%s %s" tag="%d"/>\n  <p para="0"><t style="2">%s %s</t></p>\n'
                  '  <p para="4">%s</p>\n'
                  % (m, titles.get(m, "Раздел " + m), i + 1, m, titles.get(m, "Раздел " + m), body)
                  for i, m in enumerate(marks))
    return ('<?xml version="1.0" encoding="UTF-8"?>\n<rvf version="1">\n'
            '  <p para="2"><t style="1">Лекция %d. Тема %d</t></p>\n%s</rvf>\n' % (number, number, cps))


def question(mark, kind, key, n, select_all=None, longest=""):
    """One question block; key is its right letters; the options are of one
    length unless `longest` names letters to make longer."""
    if select_all is None:
        select_all = len(key) > 1
    options = "".join("%s вариант %s%d%s\n" % ("+" if letter in key else "-", letter, n,
                                              " и ещё слова" if letter in longest else "")
                      for letter in LETTERS)
    stem = "Вопрос %d?%s" % (n, " Выберите все верные ответы." if select_all else "")
    return "§ %s %s\n? %s\n%s\n" % (mark, kind, stem, options)


SINGLES = "ADBECBAEDCAB"
MULTIS = ["C", "AD", "BDE", "ABCE"]


def bank_of(singles, multis=(), marks=("1.1", "1.2"), longest=False, start=0):
    """Question blocks: the single-answer keys in order, then the questions
    that ask for all right options; two thirds ask to apply."""
    keys = [(key, False) for key in singles] + [(key, True) for key in multis]
    return [question(marks[n % len(marks)], "знание" if n % 3 == 2 else "применение",
                     key, start + n + 1, select_all, key if longest else "")
            for n, (key, select_all) in enumerate(keys)]


def fair_bank(marks, count=None):
    """A bank that keeps every rule: 12 single-answer questions with no
    pattern, four with keys of 1 to 4 letters."""
    return bank_of(SINGLES, MULTIS, marks)


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

    def assertRefused(self, message, *args):
        bank = os.path.join(self.dir, "questions.qzt")
        if os.path.exists(bank):
            os.remove(bank)
        code, _, err = self.run_tool(*args)
        self.assertEqual(code, 1, err)
        self.assertIn(message, err)
        self.assertFalse(os.path.exists(os.path.join(self.dir, "questions.qzt")))


class BankRules(CourseFixture):
    def test_fair_bank_is_built_with_its_sections(self):
        code, out, err = self.run_tool()
        self.assertEqual(code, 0, err)
        self.assertIn("лекция 1: 16 вопросов", out)
        sec = self.read("questions.sec").splitlines()
        self.assertEqual(len(sec), 16)
        self.assertEqual(sec[:3], ["1 1 1.1", "1 2 1.2", "1 3 1.1"])
        with open(os.path.join(self.dir, "questions.qzt"), "rb") as f:
            first = f.read().split(b"\r\n")[0]
        self.assertEqual(base64.b64decode(first[2:]).decode("cp1251"), "1 1 Вопрос 1?")

    def test_unfair_banks_are_refused_and_nothing_is_written(self):
        blocks = fair_bank(self.marks)
        cases = {
            "too few questions": ("".join(blocks[:14]), "at least 15"),
            "untested section": ("".join(q.replace("§ 1.2", "§ 1.1") for q in blocks), "1.2"),
            "mostly recall": ("".join(q.replace("применение", "знание") for q in blocks),
                              "at least half"),
            "one letter always right": ("".join(bank_of("B" * 12, MULTIS)), "option B"),
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
                self.assertRefused(message)

    def test_single_answer_keys_hold_no_pattern(self):
        cases = {
            "a fixed quota per letter": ("ABCDEEDCBAACEBD", "fixed quota"),
            "a letter four times in a row": ("BCDDDDAEBCAEBCAE", "times in a row"),
            "a cycle": ("ABCDEABCDEABCDEA", "repeat every 5"),
            "a dominant letter": ("ABACADAEABACAB", "option A"),
        }
        for name, (singles, message) in cases.items():
            with self.subTest(name):
                self.write("src/questions/lecture1.txt", "".join(bank_of(singles, MULTIS)))
                self.assertRefused(message)

    def test_keys_with_several_letters_are_spread(self):
        cases = {
            "one letter in every key": (["E", "DE", "BCE", "ABDE"], "right in every question"),
            "a letter over-represented": (["B", "AC", "ABD", "ABCE"], "option A is 30 %"),
            "one key size": (["AB", "CD", "BE", "AC"], "share a key size"),
            "every size but one": (["AB", "CD", "BE", "AC", "BCD", "ADE", "AE", "CDE"],
                                   "has 1 or 4 right"),
        }
        for name, (multis, message) in cases.items():
            with self.subTest(name):
                self.write("src/questions/lecture1.txt", "".join(bank_of(SINGLES, multis)))
                self.assertRefused(message)
        for name, (block, message) in {
            "several right but asked as one": (question("1.1", "применение", "AB", 17, False),
                                               "must say"),
            "every option right": (question("1.1", "применение", "ABCDE", 17), "every option"),
        }.items():
            with self.subTest(name):
                self.write("src/questions/lecture1.txt", "".join(fair_bank(self.marks)) + block)
                self.assertRefused(message)

    def test_a_select_all_question_may_have_one_right_option(self):
        self.write("src/questions/lecture1.txt", "".join(bank_of(SINGLES, MULTIS)))
        code, out, err = self.run_tool()
        self.assertEqual(code, 0, err)
        self.assertIn("ключи C AD BDE ABCE", out)

    def test_the_longest_option_must_not_give_the_key_away(self):
        self.write("src/questions/lecture1.txt",
                   "".join(bank_of(SINGLES, MULTIS, longest=True)))
        self.assertRefused("the longest option is right in 13 questions")
        # A long option that is as often wrong as right is fair.
        blocks = bank_of(SINGLES, MULTIS)
        for n, key in enumerate(SINGLES[:8]):
            long = key if n % 4 == 0 else next(l for l in LETTERS if l not in key)
            blocks[n] = question(self.marks[n % 2], "применение", key, n + 1, False, long)
        self.write("src/questions/lecture1.txt", "".join(blocks))
        code, out, err = self.run_tool()
        self.assertEqual(code, 0, err)
        self.assertIn("самый длинный вариант верен в 2 (случайно 1.6)", out)

    def test_questions_point_at_teaching_sections(self):
        marks = ["1.1", "1.2", "1.3", "1.4"]
        self.write("lections/lection1.rvf", lecture_file(
            1, marks, {"1.3": "Разобранные примеры", "1.4": "Упражнения с ответами"}))
        # The practice sections need no question of their own...
        code, out, err = self.run_tool()
        self.assertEqual(code, 0, err)
        self.assertIn("разделов 2, без вопросов: нет", out)
        # ...and a question that points at one sends the learner to no teaching.
        for mark in ("1.3", "1.4"):
            with self.subTest(mark):
                self.write("src/questions/lecture1.txt",
                           "".join(fair_bank(self.marks)).replace("§ 1.2", "§ " + mark, 1))
                self.assertRefused("section %s only practises" % mark)

    def test_no_break_spaces_reach_the_banks(self):
        bank = "".join(fair_bank(self.marks)).replace(
            "? Вопрос 1?", "? Сколько бит в 5\u00a0Кбайт?", 1).replace(
            "+ вариант A1", "+ 40\u00a0960  бит", 1)
        self.write("src/questions/lecture1.txt", bank)
        code, _, err = self.run_tool()
        self.assertEqual(code, 0, err)
        with open(os.path.join(self.dir, "questions.qzt"), "rb") as f:
            first = f.read().split(b"\r\n")[0]
        with open(os.path.join(self.dir, "ansvers.qzt"), "rb") as f:
            answer = f.read().split(b"\r\n")[0]
        self.assertEqual(base64.b64decode(first[2:]).decode("cp1251"),
                         "1 1 Сколько бит в 5\u00a0Кбайт?")
        self.assertEqual(base64.b64decode(answer[2:]).decode("cp1251"),
                         "1 1 1 40\u00a0960 бит")

    def test_rules_judge_only_the_chosen_lectures(self):
        self.write("lections/lection2.rvf", lecture_file(2, ["2.1"]))
        self.write("src/questions/lecture2.txt",
                   "".join(bank_of("B" * 15, marks=("2.1",))))
        self.assertRefused("lecture2.txt: option B is the single right answer")
        code, out, err = self.run_tool("--lectures", "1")
        self.assertEqual(code, 0, err)
        self.assertNotIn("лекция 2", out)
        for bad in ("0-2", "9", "1-x"):
            with self.subTest(bad), self.assertRaises(SystemExit), \
                    contextlib.redirect_stderr(io.StringIO()):
                tool.main(["--course", self.dir, "--lectures", bad])

    def test_each_lecture_is_balanced_on_its_own(self):
        # Lecture 1 leans on A, lecture 2 avoids it: the course is even, lecture 1 is not.
        self.write("src/questions/lecture1.txt",
                   "".join(bank_of("AEABACADAEBA", MULTIS)))
        self.write("lections/lection2.rvf", lecture_file(2, ["2.1"]))
        self.write("src/questions/lecture2.txt",
                   "".join(bank_of("BCDEBCDEBCDC", MULTIS, marks=("2.1",))))
        self.assertRefused("lecture1.txt: option A is the single right answer in 6 of 12")


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


class GlossaryCoverage(CourseFixture):
    body = ('По <t style="3">каналу связи</t> идёт <t style="3">сигнал</t>; '
            '<t style="3">Юникод</t> и <t style="3">информационным весом символа</t> '
            'заняты позже.</p>\n  <p para="4"><t style="3">I = K · i</t></p>\n'
            '  <p para="2"><t style="3">Рис. 1.1. Схема</t></p>\n  <p para="4">'
            '<t style="3">photo.jpg</t> и <t style="3">алг</t> — примеры.')
    glossary = ("1.1 | Канал связи | среда передачи.\n"
                "1.1 | Сигнал | носитель сообщения.\n"
                "1.2 | Юникод (Unicode) | стандарт.\n"
                "1.2 | Информационный вес символа | i.\n")

    def setUp(self):
        super().setUp()
        self.write("lections/lection1.rvf", lecture_file(1, self.marks, body=self.body))

    def test_every_bold_term_is_defined_or_left_out_on_purpose(self):
        # Inflected forms and a name in brackets count; formulas, figure
        # captions and code do not need an entry.
        self.write("src/glossary/lecture1.txt", self.glossary + "- | алг | служебное слово.\n")
        code, _, err = self.run_tool()
        self.assertEqual(code, 0, err)
        self.assertNotIn("алг", self.read("lections/dict.rvf"))
        cases = {
            "a term missing": (self.glossary.replace("1.1 | Сигнал | носитель сообщения.\n", "")
                               + "- | алг | служебное слово.\n", "«сигнал»"),
            "nothing left out": (self.glossary, "«алг»"),
            "a different word": (self.glossary.replace("Сигнал", "Сигнализация")
                                 + "- | алг | служебное слово.\n", "«сигнал»"),
        }
        for name, (glossary, message) in cases.items():
            with self.subTest(name):
                self.write("src/glossary/lecture1.txt", glossary)
                self.assertRefused("lection1.rvf: the bold term " + message)

    def test_only_the_chosen_lectures_are_judged(self):
        self.write("src/glossary/lecture1.txt", "")
        self.write("lections/lection2.rvf", lecture_file(2, ["2.1"]))
        self.write("src/questions/lecture2.txt", "".join(bank_of(SINGLES, MULTIS, marks=("2.1",))))
        self.assertRefused("«сигнал»")
        code, _, err = self.run_tool("--lectures", "2")
        self.assertEqual(code, 0, err)


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


# The lectures whose banks and bold terms the shipped course holds to the
# rules; the others are being rewritten to them.
SHIPPED_RULED = "1-8"


class ShippedCourse(unittest.TestCase):
    def test_built_files_match_their_sources(self):
        out, err = io.StringIO(), io.StringIO()
        with contextlib.redirect_stdout(out), contextlib.redirect_stderr(err):
            code = tool.main(["--course", os.path.join(SOURCE, "course"), "--check",
                              "--lectures", SHIPPED_RULED])
        self.assertEqual(code, 0, err.getvalue())


if __name__ == "__main__":
    unittest.main()
