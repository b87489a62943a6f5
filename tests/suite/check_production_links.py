#!/usr/bin/env python3
"""Fails when a program or library the build installs links anything built from sim/.

Production programs reach the outside libraries by soname only; the simulator and the
stand-ins are for tests. Two views are checked: the link edge of every installed file in the
build's ninja file (inputs and link libraries), and the dynamic section of the built file
(needed sonames and run path) against the shared libraries found below the build's sim/.

Usage: check_production_links.py BUILD_DIR
"""
import os
import re
import subprocess
import sys

INSTALL_RE = re.compile(r'file\(INSTALL DESTINATION "[^"]*" TYPE (EXECUTABLE|SHARED_LIBRARY|STATIC_LIBRARY|MODULE) FILES ((?:"[^"]*"\s*)+)')


def installed_files(build):
    files = set()
    for directory, _, names in os.walk(build):
        if "cmake_install.cmake" not in names:
            continue
        with open(os.path.join(directory, "cmake_install.cmake")) as f:
            for match in INSTALL_RE.finditer(f.read()):
                files.update(re.findall(r'"([^"]*)"', match.group(2)))
    return {os.path.normpath(p) for p in files}


def link_edges(build):
    """Output path (relative to the build) -> text of the link step's inputs and variables;
    a library's name link maps to None (its target has an edge of its own)."""
    edges = {}
    current = None
    with open(os.path.join(build, "build.ninja")) as f:
        for line in f:
            if line.startswith("build "):
                current = None
                head, _, rest = line[len("build "):].partition(": ")
                rule, _, inputs = rest.partition(" ")
                if "LINKER" in rule:
                    current = head.split()[0]
                    edges[current] = inputs
                elif "SYMLINK" in rule:
                    for output in head.split():
                        edges.setdefault(output, None)
            elif current and line.startswith("  "):
                edges[current] += " " + line
            else:
                current = None
    return edges


def dynamic_section(path):
    out = subprocess.run(["readelf", "-d", path], capture_output=True, text=True).stdout
    needed = re.findall(r"\(NEEDED\)\s+Shared library: \[([^\]]+)\]", out)
    soname = re.findall(r"\(SONAME\)\s+Library soname: \[([^\]]+)\]", out)
    paths = re.findall(r"\((?:RUNPATH|RPATH)\)\s+Library r(?:un)?path: \[([^\]]*)\]", out)
    return needed, soname, ":".join(paths)


def main():
    build = os.path.normpath(os.path.abspath(sys.argv[1]))
    sim = os.path.join(build, "sim")
    sim_sonames = {}
    for directory, _, names in os.walk(sim):
        for name in names:
            path = os.path.join(directory, name)
            if ".so" in name and os.path.isfile(path) and not os.path.islink(path):
                for soname in dynamic_section(path)[1]:
                    sim_sonames[soname] = path

    def names_sim(token):
        token = token.strip().strip('"')
        absolute = token if os.path.isabs(token) else os.path.join(build, token)
        return os.path.normpath(absolute).startswith(sim + os.sep)

    edges = link_edges(build)
    programs = sorted(p for p in installed_files(build) if not p.startswith(sim + os.sep))
    faults = []
    for program in programs:
        relative = os.path.relpath(program, build)
        if relative not in edges:
            faults.append(f"{relative}: no link step found")
            continue
        edge = edges[relative]
        if edge is None:
            continue
        for token in re.split(r"[\s:,]+", edge):
            if token and names_sim(token):
                faults.append(f"{relative}: link step names {token}")
        if os.path.exists(program) and not program.endswith(".a"):
            needed, _, runpath = dynamic_section(program)
            faults += [f"{relative}: needs {n} from {sim_sonames[n]}" for n in needed if n in sim_sonames]
            faults += [f"{relative}: run path {p}" for p in runpath.split(":") if p and names_sim(p)]

    # The check must have looked at the programs it is about.
    card = os.path.join(build, "mgmtctl", "qvmgmtcardd", "qvmgmtcardd")
    if len(programs) < 20:
        faults.append(f"only {len(programs)} installed programs found")
    elif card in programs and "libqvcomponents.so" not in dynamic_section(card)[0]:
        faults.append("qvmgmtcardd does not link the component library by its soname")

    for fault in faults:
        print(fault)
    print(f"{len(programs)} installed programs checked, {len(faults)} faults")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
