#!/usr/bin/env python3
"""Checks that the program's layers point one way.

1. No include circle between the folders of src/ (a folder includes another
   when one of its files has #include "other/...").
2. No model target (tarvel_core, tarvel_*_model) links Qt Widgets, Qt Quick
   or QML, directly or through another target of ours; and the files of a
   model target include only headers of model targets.
3. pugixml stays inside the course data and document models: no other
   folder includes it, and no window target links it.
4. Names: a class with a T prefix (T and a capital, or Tfrm) is one of the
   kept window and view names, and no header declares a class, struct or
   enum outside a namespace unless it is on the kept list.
5. docs/architecture.md names every header under src/ (as folder/Name.h).

Prints each breach with the files that make it and exits 1; 0 when clean.
"""
import argparse
import os
import re
import sys
import tempfile

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)
SYSTEM_INCLUDE = re.compile(r'^\s*#\s*include\s+<([^>]+)>', re.M)
FORBIDDEN_FOR_MODELS = ("Qt6::Widgets", "Qt6::Quick", "Qt6::QuickWidgets", "Qt6::Qml",
                        "Qt6::OpenGL")
PUGI_FOLDERS = {"learners", "richtext"}

# The window and view names the program is written against keep their
# original form (and stay global, where every window reaches them).
KEPT_T_NAMES = {"TfrmMain", "TfrmLogin", "TfrmTest", "TfrmIntro", "TfrmAbout", "TfrmStat",
                "TfrmFont", "TfrmBookmark", "TfrmOtcher", "TRichView", "TRVStyle"}
# HistoryCommand and its kinds (hkHome, ...) are used unqualified by every
# window that pushes history.
KEPT_GLOBAL_NAMES = KEPT_T_NAMES | {"HistoryCommand", "HistoryKind"}
T_PREFIX = re.compile(r"^T(?:[A-Z]|frm)")
# Comments, strings and character literals hide braces and class words.
NOISE = re.compile(r'//[^\n]*|/\*.*?\*/|R"\((?:.|\n)*?\)"|"(?:\\.|[^"\\\n])*"|'
                   r"'(?:\\.|[^'\\\n])*'", re.S)
DECL = re.compile(r"\bnamespace\s*[\w:]*\s*\{|\{|\}|"
                  r"\b(?:enum\s+(?:class\s+|struct\s+)?|class\s+|struct\s+)"
                  r"(?:\[\[[^\]]*\]\]\s*)?([A-Za-z_]\w*)(?:\s+final)?\s*(?=[:{])")


def source_files(src):
    for folder in sorted(os.listdir(src)):
        path = os.path.join(src, folder)
        if not os.path.isdir(path):
            continue
        for root, _, files in os.walk(path):
            for name in sorted(files):
                if name.endswith((".h", ".cpp")):
                    yield folder, os.path.join(root, name)


def folder_graph(src):
    """edges[a][b] = the files of folder a that include folder b."""
    edges = {}
    for folder, path in source_files(src):
        edges.setdefault(folder, {})
        with open(path, encoding="utf-8") as f:
            text = f.read()
        for target in INCLUDE.findall(text):
            if "/" not in target:
                continue
            other = target.split("/", 1)[0]
            if other != folder and os.path.isdir(os.path.join(src, other)):
                edges[folder].setdefault(other, []).append(os.path.relpath(path, src))
    return edges


def find_cycles(edges):
    """Every elementary cycle found by a depth-first walk (one per back edge)."""
    cycles = []
    state = {}
    stack = []

    def visit(node):
        state[node] = "open"
        stack.append(node)
        for nxt in sorted(edges.get(node, {})):
            if state.get(nxt) == "open":
                cycles.append(stack[stack.index(nxt):] + [nxt])
            elif nxt not in state:
                visit(nxt)
        stack.pop()
        state[node] = "done"

    for node in sorted(edges):
        if node not in state:
            visit(node)
    return cycles


def check_circles(src):
    edges = folder_graph(src)
    problems = []
    for cycle in find_cycles(edges):
        steps = []
        for a, b in zip(cycle, cycle[1:]):
            steps.append(f"  {a} -> {b}: {', '.join(sorted(set(edges[a][b]))[:3])}")
        problems.append("include circle between folders " + " -> ".join(cycle) + "\n" +
                        "\n".join(steps))
    return problems


def read_targets(path):
    targets = {}
    with open(path, encoding="utf-8") as f:
        for line in f:
            parts = line.rstrip("\n").split(" ", 2)
            if len(parts) < 2:
                continue
            kind, name = parts[0], parts[1]
            rest = parts[2] if len(parts) > 2 else ""
            t = targets.setdefault(name, {"folder": "", "sources": [], "links": []})
            if kind == "target":
                t["folder"] = rest
            elif kind == "sources":
                t["sources"] = [s for s in rest.split(";") if s]
            elif kind == "links":
                t["links"] = [s for s in rest.split(";") if s]
    return targets


def is_model(name):
    return name == "tarvel_core" or name.endswith("_model")


def closure(targets, name):
    """Every library reached from a target through targets of ours."""
    seen, todo = set(), [name]
    while todo:
        current = todo.pop()
        for lib in targets.get(current, {}).get("links", []):
            lib = re.sub(r"^\$<LINK_ONLY:(.*)>$", r"\1", lib)
            if lib not in seen:
                seen.add(lib)
                if lib in targets:
                    todo.append(lib)
    return seen


def check_targets(src, targets):
    problems = []
    model_headers = set()
    for name, t in targets.items():
        if is_model(name):
            for s in t["sources"]:
                if s.endswith(".h"):
                    model_headers.add(f'{t["folder"]}/{os.path.basename(s)}')
    for name, t in sorted(targets.items()):
        reached = closure(targets, name)
        if is_model(name):
            bad = sorted(reached.intersection(FORBIDDEN_FOR_MODELS))
            if bad:
                problems.append(f"model target {name} links {', '.join(bad)}")
            for s in t["sources"]:
                if os.path.isabs(s) or not s.endswith((".h", ".cpp")):
                    continue  # generated by the build (moc), not ours
                path = os.path.join(src, t["folder"], s)
                with open(path, encoding="utf-8") as f:
                    text = f.read()
                for inc in INCLUDE.findall(text):
                    if "/" in inc and inc not in model_headers:
                        problems.append(f"model target {name}: {os.path.relpath(path, src)} "
                                        f"includes {inc}, which is no model header")
        elif t["folder"] not in PUGI_FOLDERS and "pugixml::pugixml" in t["links"]:
            problems.append(f"target {name} links pugixml directly")
    for folder, path in source_files(src):
        if folder in PUGI_FOLDERS:
            continue
        with open(path, encoding="utf-8") as f:
            if any(i.startswith("pugixml") for i in SYSTEM_INCLUDE.findall(f.read())):
                problems.append(f"{os.path.relpath(path, src)} includes pugixml")
    return problems


def declared_classes(text):
    """(name, global?) of every class, struct and enum defined in a header."""
    text = NOISE.sub(" ", text)
    text = re.sub(r"^\s*#.*$", " ", text, flags=re.M)
    found, scopes = [], []
    for m in DECL.finditer(text):
        word = m.group(0)
        if word.startswith("namespace"):
            scopes.append("namespace")
        elif word == "{":
            scopes.append("block")
        elif word == "}":
            if scopes:
                scopes.pop()
        elif m.group(1):
            found.append((m.group(1), not scopes))
    return found


def check_names(src):
    problems = []
    for folder, path in source_files(src):
        if not path.endswith(".h"):
            continue
        with open(path, encoding="utf-8") as f:
            classes = declared_classes(f.read())
        rel = os.path.relpath(path, src)
        for name, is_global in classes:
            if T_PREFIX.match(name) and name not in KEPT_T_NAMES:
                problems.append(f"{rel}: class {name} has a T prefix but is no kept window or "
                                f"view name (name it without the prefix)")
            elif is_global and name not in KEPT_GLOBAL_NAMES:
                problems.append(f"{rel}: {name} is declared outside a namespace (put it in "
                                f"its subsystem's namespace)")
    return problems


def check_documented(src, docs):
    problems = []
    try:
        with open(docs, encoding="utf-8") as f:
            text = f.read()
    except OSError as e:
        return [f"cannot read {docs}: {e.strerror}"]
    for folder, path in source_files(src):
        if path.endswith(".h"):
            rel = os.path.relpath(path, src).replace(os.sep, "/")
            if rel not in text:
                problems.append(f"{rel} is not named in {os.path.basename(docs)}")
    return problems


CLEAN_TREE = {
    "low/Low.h": '#pragma once\nnamespace low {\nclass Low {};\n}\n',
    "low/Low.cpp": '#include "low/Low.h"\n',
    "high/High.h": '#pragma once\n#include "low/Low.h"\nclass TfrmMain : public low::Low {};\n',
    "top/Top.cpp": '#include "high/High.h"\n#include "low/Low.h"\n#include <QWidget>\n',
}
CLEAN_TARGETS = ("target low_model low\nsources low_model Low.h;Low.cpp\nlinks low_model Qt6::Core\n"
                 "target top_ui top\nsources top_ui Top.cpp\nlinks top_ui low_model;Qt6::Widgets\n")
CLEAN_DOCS = "`low/Low.h`, `high/High.h`"

# Each rule with a fault planted in the clean tree: (what, files changed,
# targets appended, docs, a word the report must contain).
PLANTED = [
    ("an include circle", {"low/Low.cpp": '#include "low/Low.h"\n#include "top/Top.h"\n'},
     "", CLEAN_DOCS, "include circle"),
    ("a model linking Qt Widgets", {},
     "target bad_model low\nsources bad_model Low.h\nlinks bad_model top_ui\n", CLEAN_DOCS,
     "links Qt6::Widgets"),
    ("a model including a window header", {"low/Low.cpp": '#include "high/High.h"\n'},
     "", CLEAN_DOCS, "no model header"),
    ("pugixml included outside its models", {"top/Top.cpp": "#include <pugixml.hpp>\n"},
     "", CLEAN_DOCS, "includes pugixml"),
    ("a window target linking pugixml", {},
     "target win_ui top\nsources win_ui Top.cpp\nlinks win_ui pugixml::pugixml\n", CLEAN_DOCS,
     "links pugixml"),
    ("a new T-prefixed class", {"low/Low.h": "#pragma once\nnamespace low {\nclass TfrmReview {};\n}\n"},
     "", CLEAN_DOCS, "T prefix"),
    ("a class outside a namespace", {"low/Low.h": "#pragma once\nstruct PageEntry { int a; };\n"},
     "", CLEAN_DOCS, "outside a namespace"),
    ("a header missing from the docs", {"high/Extra.h": "#pragma once\n"},
     "", CLEAN_DOCS, "high/Extra.h is not named"),
]


def check_all(src, targets_file, docs):
    problems = check_circles(src)
    problems += check_targets(src, read_targets(targets_file))
    problems += check_names(src)
    problems += check_documented(src, docs)
    return problems


def run_tree(tmp, files, targets, docs):
    for rel, text in files.items():
        path = os.path.join(tmp, "src", rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "w", encoding="utf-8") as f:
            f.write(text)
    with open(os.path.join(tmp, "targets.txt"), "w", encoding="utf-8") as f:
        f.write(targets)
    with open(os.path.join(tmp, "docs.md"), "w", encoding="utf-8") as f:
        f.write(docs)
    return check_all(os.path.join(tmp, "src"), os.path.join(tmp, "targets.txt"),
                     os.path.join(tmp, "docs.md"))


def self_test():
    # The clean tree passes, and each planted fault is reported by its rule.
    with tempfile.TemporaryDirectory() as tmp:
        found = run_tree(tmp, CLEAN_TREE, CLEAN_TARGETS, CLEAN_DOCS)
    if found:
        print("self-test: the clean tree was reported:\n" + "\n".join(found), file=sys.stderr)
        return 1
    failed = 0
    for what, files, targets, docs, word in PLANTED:
        with tempfile.TemporaryDirectory() as tmp:
            found = run_tree(tmp, {**CLEAN_TREE, **files}, CLEAN_TARGETS + targets, docs)
        if not any(word in p for p in found):
            print(f"self-test: {what} was not reported (got: {found})", file=sys.stderr)
            failed = 1
        else:
            print(f"self-test: {what} is reported")
    return failed


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--src")
    parser.add_argument("--targets")
    parser.add_argument("--docs")
    parser.add_argument("--self-test", action="store_true")
    args = parser.parse_args()
    if args.self_test:
        return self_test()
    problems = check_all(args.src, args.targets, args.docs)
    for p in problems:
        print(p, file=sys.stderr)
    if problems:
        return 1
    print("layers point one way: no include circle, no model links widgets or Qt Quick; "
          "names kept; every header documented")
    return 0


if __name__ == "__main__":
    sys.exit(main())
