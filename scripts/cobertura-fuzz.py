#!/usr/bin/env python3
"""Branch coverage of the functions one fuzz target guards, from `llvm-cov export` on stdin.

    cobertura-fuzz.py TARGET REGEX   REGEX: the functions' (mangled) names, lambdas included

Prints one line: the share of branch outcomes reached, and where each one missed lies.
"""
import json
import os
import re
import sys

objetivo, patron = sys.argv[1], re.compile(sys.argv[2])
datos = json.load(sys.stdin)["data"][0]
total = alcanzadas = 0
fallan = []
for funcion in datos["functions"]:
    # Only the program's own sources, not the harness's, nor Qt's inline code.
    if not patron.search(funcion["name"]) or "/src/" not in funcion["filenames"][0]:
        continue
    archivo = os.path.basename(funcion["filenames"][0])
    # [line, column, end line, end column, times true, times false, ...]
    for linea, columna, _, _, verdad, falso, *_ in funcion["branches"]:
        for veces, lado in ((verdad, "true"), (falso, "false")):
            total += 1
            if veces:
                alcanzadas += 1
            else:
                fallan.append(f"{archivo}:{linea}:{columna} {lado}")
parte = 100.0 * alcanzadas / total if total else 100.0
print(f"fuzz_{objetivo}: {parte:5.1f}% of {total} branches", end="")
print(f"; not reached: {', '.join(fallan)}" if fallan else "")
