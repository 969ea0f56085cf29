#!/usr/bin/env python3
"""Prints the benchmark's table (Markdown) from the files scripts/bench wrote.

    table.py COUNTS INSTRUCTIONS [WINE]

COUNTS: "wexutil_bench counts" output (case, label, platform calls per
event, calls by name; tab-separated).  INSTRUCTIONS: "case instructions-per-
call" lines.  WINE: WexBench.exe output (RESULT lines).  Exits 1 when a
target is missed, so that a script can tell; the table says which.
"""
import sys

# Targets: instructions per call, and the only platform calls allowed.
INSTRUCTION_TARGETS = {"getmsg-unrelated": 15, "move-all": 300, "key-down": 250, "key-up": 250}
CALL_TARGETS = {"move-zero": "CallNextHookEx 1"}
WINE_TARGET = 1.02  # WexUTIL's time per event over the empty hook library's


def verdict(ok):
    return "met" if ok else "**missed**"


def number(x):
    return f"{x:.0f}" if abs(x - round(x)) < 0.05 else f"{x:.1f}"


def host_table(counts_path, instructions_path):
    instructions = {}
    with open(instructions_path) as f:
        for line in f:
            name, value = line.split()
            instructions[name] = float(value)
    missed = False
    print("| Case | Instructions per call | Target | Platform calls per event | Target |")
    print("|---|---:|---|---|---|")
    with open(counts_path) as f:
        for line in f:
            name, label, total, calls = line.rstrip("\n").split("\t")
            ir = instructions[name]
            ir_target = ""
            if name in INSTRUCTION_TARGETS:
                ok = ir <= INSTRUCTION_TARGETS[name]
                missed |= not ok
                ir_target = f"≤ {INSTRUCTION_TARGETS[name]}: {verdict(ok)}"
            call_target = ""
            if name in CALL_TARGETS:
                ok = calls == CALL_TARGETS[name]
                missed |= not ok
                call_target = f"CallNextHookEx only: {verdict(ok)}"
            print(f"| {label} | {number(ir)} | {ir_target} | {number(float(total))}: {calls} | {call_target} |")
    return missed


def wine_table(path):
    results = {}  # (stream, config) -> (median ms, min ms, max ms, median us, p90 us, missed)
    with open(path) as f:
        for line in f:
            parts = line.split()
            if parts and parts[0] == "RESULT":
                results[(parts[1], parts[2])] = [float(p) for p in parts[3:]]
    if not results:
        print("\n(no Wine results)")
        return True
    configs = ["none", "empty", "wexutil-zero", "wexutil-all"]
    missed = False
    print()
    print("| Under Wine, 2000 events | no hooks | empty hook DLL | WexUTIL, settings zero "
          "| WexUTIL, everything on | zero / empty | everything on / empty | Target |")
    print("|---|---:|---:|---:|---:|---:|---:|---|")
    for stream, label in (("moves", "cursor moves"), ("keys", "key presses")):
        row = [results[(stream, c)] for c in configs]
        empty = row[1][3]
        ratios = [r[3] / empty for r in row[2:]]
        ok = all(r <= WINE_TARGET for r in ratios)
        missed |= not ok
        cells = " | ".join(f"{r[3]:.1f} µs ({r[0]:.0f} ms)" for r in row)
        print(f"| {label}: median event (median stream) | {cells} | {ratios[0]:.3f} | {ratios[1]:.3f} "
              f"| ≤ {WINE_TARGET:.2f}: {verdict(ratios[0] <= WINE_TARGET)} with settings zero, "
              f"{verdict(ratios[1] <= WINE_TARGET)} with everything on |")
    for stream, label in (("moves", "cursor moves"), ("keys", "key presses")):
        row = [results[(stream, c)] for c in configs]
        cells = " | ".join(f"{r[1]:.0f}–{r[2]:.0f} ms, p90 {r[4]:.0f} µs, {r[5]:.0f} lost" for r in row)
        print(f"| {label}: stream range, 90th percentile event, events lost | {cells} | | | |")
    return missed


if __name__ == "__main__":
    if len(sys.argv) not in (3, 4):
        sys.exit(__doc__)
    missed = host_table(sys.argv[1], sys.argv[2])
    if len(sys.argv) == 4:
        missed |= wine_table(sys.argv[3])
    sys.exit(1 if missed else 0)
