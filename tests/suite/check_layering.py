#!/usr/bin/env python3
"""Fails when production code reaches up a floor.

The suite is built in floors; a folder may include headers of and link targets from its own floor
and the floors below, never one above, and no production target includes or links anything from
sim/. FLOORS below is the one place that lists them.

Production code is every source and CMake file outside tests/ folders, bench/ and fuzz/. Headers
are named by file name (the include directories make them visible), so an include is resolved to
the headers of that name in the tree; targets are found from add_library/add_executable and the
agent helper. Test code may use anything.

Usage: check_layering.py SOURCE_DIR
"""
import os
import re
import sys

# Lowest floor first; folders on one line share a floor.
FLOORS = [
    ["platform"],
    ["snmpagent", "sim", "interfaces"],
    ["mgmtctl"],
    ["inventory"],
    ["network"],
    ["health"],
    ["storage"],
    ["swversion"],
]
FLOOR = {folder: level for level, folders in enumerate(FLOORS) for folder in folders}
NOT_PRODUCTION = {"tests", "bench", "fuzz", "build", "cmake", "scripts"}

INCLUDE_RE = re.compile(r'^\s*#\s*include\s*[<"]([^">]+)[">]', re.M)
TARGET_RE = re.compile(r'\b(?:add_library|add_executable|qv_add_agent)\(\s*([A-Za-z0-9_.-]+)')
LINK_RE = re.compile(r'\btarget_link_libraries\(\s*([A-Za-z0-9_.-]+)([^)]*)\)', re.S)
AGENT_LIBS_RE = re.compile(r'\bqv_add_agent\(\s*([A-Za-z0-9_.-]+)([^)]*)\)', re.S)
SOURCE_SUFFIXES = (".c", ".cc", ".cpp", ".h", ".hpp")


def is_production(relative):
    parts = relative.split(os.sep)
    return parts[0] in FLOOR and "tests" not in parts


def in_sim(relative):
    return relative.split(os.sep)[0] == "sim"


def floor_of(relative):
    top = relative.split(os.sep)[0]
    return FLOOR.get(top)


def walk(top):
    for directory, dirs, names in os.walk(top):
        dirs[:] = [d for d in dirs if not d.startswith(".") and not d.startswith("build")]
        for name in names:
            yield os.path.relpath(os.path.join(directory, name), top)


def uncommented_cmake(text):
    return "\n".join(line.split("#", 1)[0] for line in text.splitlines())


def check(top):
    files = list(walk(top))
    headers = {}
    for relative in files:
        if relative.endswith((".h", ".hpp")) and floor_of(relative) is not None:
            headers.setdefault(os.path.basename(relative), []).append(relative)

    targets = {}
    cmake_files = [f for f in files if os.path.basename(f) == "CMakeLists.txt"]
    texts = {}
    for relative in cmake_files:
        with open(os.path.join(top, relative)) as f:
            texts[relative] = uncommented_cmake(f.read())
        for name in TARGET_RE.findall(texts[relative]):
            targets.setdefault(name, relative)

    faults = []
    for relative in files:
        if not relative.endswith(SOURCE_SUFFIXES) or not is_production(relative):
            continue
        level = floor_of(relative)
        with open(os.path.join(top, relative), errors="replace") as f:
            includes = INCLUDE_RE.findall(f.read())
        for included in includes:
            candidates = headers.get(os.path.basename(included), [])
            # A header beside the includer, or the one the path names, is the one meant.
            beside = [c for c in candidates if os.path.dirname(c) == os.path.dirname(relative)]
            named = [c for c in candidates if c.endswith(included)]
            for header in beside or named or candidates:
                if not is_production(header):
                    continue
                if header.split(os.sep)[0] == "sim" and not in_sim(relative):
                    faults.append(f"{relative}: includes {header} from sim/")
                elif floor_of(header) > level:
                    faults.append(f"{relative}: includes {header} of a higher floor")

    for relative, text in texts.items():
        if not is_production(relative):
            continue
        level = floor_of(relative)
        links = [(m.group(1), m.group(2)) for m in LINK_RE.finditer(text)]
        for agent, rest in AGENT_LIBS_RE.findall(text):
            libs = re.search(r'\bLIBS\b(.*?)(?:\bDEFAULT_FILES\b|\bSOURCES\b|$)', rest, re.S)
            if libs:
                links.append((agent, libs.group(1)))
        for target, rest in links:
            if targets.get(target) != relative:
                continue  # a target of another folder, or a test's
            for dependency in rest.split():
                if dependency.endswith("_compiled_in"):
                    dependency = dependency[: -len("_compiled_in")]
                home = targets.get(dependency)
                if home is None:
                    continue  # a keyword, a package's target or a variable
                if home.split(os.sep)[0] == "sim" and not in_sim(relative):
                    faults.append(f"{relative}: {target} links {dependency} from sim/")
                elif is_production(home) and floor_of(home) > level:
                    faults.append(f"{relative}: {target} links {dependency} of a higher floor ({home})")
    return faults


def main():
    if len(sys.argv) != 2:
        print(__doc__.strip().splitlines()[-1], file=sys.stderr)
        return 2
    faults = check(sys.argv[1])
    for fault in faults:
        print(fault)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
