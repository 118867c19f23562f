#!/usr/bin/env python3
"""Checks that every target's sources compile as one unit.

A tree without a compiler cache compiles a target's sources eight to a unit,
in the order of the glob, so a file added anywhere moves its neighbours into
other units. Two files whose private names (anonymous namespaces, statics,
file-scope using-directives) clash then break a build that had nothing to do
with them. Compiled all in one unit per target, every pair meets once: this
finds such a clash now, whichever order the files come in later.

Usage: scripts/one-unit-check.py [BUILD_DIR]   (default: build-one-unit)
Configures BUILD_DIR, runs the code generators, then checks the syntax of
each target's unit on every core. Exits non-zero, printing the errors, when
a unit does not compile.
"""
import concurrent.futures
import glob
import json
import os
import re
import subprocess
import sys

root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "build-one-unit"))


def run(args, **kwargs):
    return subprocess.run(args, check=True, **kwargs)


run(["cmake", "-S", root, "-B", build, "-DCMAKE_BUILD_TYPE=Debug", "-DCMAKE_CXX_FLAGS_DEBUG=-O0",
     "-DTROVIX_UNITY=ON", "-DCMAKE_UNITY_BUILD_BATCH_SIZE=0", "-DTROVIX_PCH=OFF",
     "-DTROVIX_BUILD_UI=ON", "-DTROVIX_BUILD_BENCHES=ON"], stdout=subprocess.DEVNULL)
# The units include what moc makes. Each generator runs alone, from its own
# makefile: through the targets, moc would wait for the libraries below to
# be built, and a clash there would stop it.
for makefile in glob.glob(os.path.join(build, "**/CMakeFiles/*_autogen.dir/build.make"),
                          recursive=True):
    target_dir = os.path.relpath(os.path.dirname(makefile), build)
    run(["make", "-s", "-f", os.path.relpath(makefile, build), target_dir + "/build"], cwd=build,
        stdout=subprocess.DEVNULL)

with open(os.path.join(build, "compile_commands.json")) as f:
    units = [e for e in json.load(f) if re.search(r"/Unity/unity_\d+_cxx\.cxx$", e["file"])]


def check(entry):
    command = re.sub(r"\s-o\s+\S+", " -fsyntax-only", entry["command"])
    done = subprocess.run(command, shell=True, cwd=entry["directory"], capture_output=True, text=True)
    target = entry["file"].split("/CMakeFiles/")[1].split(".dir/")[0]
    return target, done.returncode, done.stderr


failed = 0
with concurrent.futures.ThreadPoolExecutor(os.cpu_count()) as pool:
    for target, status, errors in pool.map(check, units):
        if status != 0:
            failed += 1
            print(f"== {target}: its sources do not compile as one unit\n{errors}")
print(f"{len(units)} targets checked, {failed} with clashing names", file=sys.stderr)
sys.exit(1 if failed else 0)
