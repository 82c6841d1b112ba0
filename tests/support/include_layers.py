#!/usr/bin/env python3
"""Checks every #include "folder/..." in src/ against the layers and the link graph.

A source file belongs to the target built from its folder (src/main.cpp to the program). Each
include that names another folder of src/ must
  - not climb: the included folder stands at or below the including one in LAYERS, and
  - be of a library the target links, directly or through the libraries it links (CMake passes
    PUBLIC and INTERFACE links on), read from the CMakeLists.txt files under src/.
Core folders (all but ui/ and main.cpp) include no Qt header.

Usage: include_layers.py SRC_DIR. Prints one line per fault and exits 1 when there is any.
"""

import os
import re
import sys

# Lowest first. A folder may include only itself and folders before it. A new folder needs a
# place here: the check refuses a folder it does not know.
LAYERS = [
    "text", "net", "platform", "settings", "sysproxy", "proxylist", "history", "http", "acquire",
    "validate", "judge", "gateway", "update", "config", "app", "cli", "ui", "main.cpp",
]
# Where Qt may be included.
QT_FOLDERS = {"ui", "main.cpp"}

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.M)
CALL = re.compile(r'\b(lumvex_module|target_link_libraries|add_library|add_executable)\s*\(([^)]*)\)',
                  re.S)
KEYWORDS = {"PUBLIC", "PRIVATE", "INTERFACE", "STATIC", "SHARED", "OBJECT"}


def read_build(src):
    """Returns ({folder: target}, {target: [linked targets]}) from the CMakeLists.txt under src."""
    owner, links = {}, {}
    for dirpath, _, files in os.walk(src):
        if "CMakeLists.txt" not in files:
            continue
        with open(os.path.join(dirpath, "CMakeLists.txt"), encoding="utf-8") as f:
            text = re.sub(r"#[^\n]*", "", f.read())
        here = os.path.relpath(dirpath, src)
        for verb, args in CALL.findall(text):
            words = args.split()
            if not words:
                continue
            name, rest = words[0], [w for w in words[1:] if w not in KEYWORDS]
            if verb == "lumvex_module":
                owner[rest[0]] = name
                links.setdefault(name, []).extend(rest[1:])
            elif verb == "target_link_libraries":
                links.setdefault(name, []).extend(rest)
            elif verb == "add_library" and here != ".":
                owner[here] = name  # a folder with its own CMakeLists.txt builds its library
            elif verb == "add_executable" and any(w.endswith("/main.cpp") for w in rest):
                owner["main.cpp"] = name
    return owner, links


def closure(target, links):
    seen, todo = set(), [target]
    while todo:
        for dep in links.get(todo.pop(), []):
            if dep not in seen:
                seen.add(dep)
                todo.append(dep)
    return seen


def sources(src):
    for dirpath, _, files in os.walk(src):
        for name in sorted(files):
            if name.endswith((".cpp", ".h")):
                path = os.path.join(dirpath, name)
                rel = os.path.relpath(path, src)
                yield path, rel, rel.split(os.sep)[0]


def faults(src):
    owner, links = read_build(src)
    folders = {name for name in os.listdir(src) if os.path.isdir(os.path.join(src, name))}
    found = []
    for folder in sorted(folders | {"main.cpp"}):
        if folder not in LAYERS:
            found.append(f"{folder}: a folder the layer list does not place")
        if folder not in owner:
            found.append(f"{folder}: no target in the CMakeLists.txt files builds it")
    for path, rel, folder in sources(src):
        if folder not in LAYERS or folder not in owner:
            continue
        linked = closure(owner[folder], links)
        with open(path, encoding="utf-8", errors="replace") as f:
            text = f.read()
        for line_start, (quote, name) in ((m.start(), m.groups()) for m in INCLUDE.finditer(text)):
            where = f"{rel}:{text.count(chr(10), 0, line_start) + 1}"
            if quote == "<":
                if folder not in QT_FOLDERS and re.match(r"Q[A-Za-z]*(/|$)", name):
                    found.append(f"{where}: core code includes Qt <{name}>")
                continue
            first = name.split("/")[0]
            if "/" not in name or first == folder or first not in folders:
                continue
            if first not in LAYERS or LAYERS.index(first) > LAYERS.index(folder):
                found.append(f"{where}: {folder}/ includes {name}, a higher folder")
            elif owner.get(first) not in linked:
                found.append(f"{where}: {folder}/ includes {name}, but {owner[folder]} does not "
                             f"link {owner.get(first, '(nothing)')}")
    return found


def main():
    if len(sys.argv) != 2:
        sys.stderr.write("usage: include_layers.py SRC_DIR\n")
        return 2
    found = faults(sys.argv[1])
    for fault in found:
        print(fault)
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
