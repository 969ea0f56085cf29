#!/usr/bin/env python3
"""Instructions of the library's own code in a callgrind profile.

    library_cost.py PROFILE ROOT...

Sums the exclusive instruction counts (Ir) of every function reachable from
the ROOT functions (the hook procedures) without passing through a platform
function (a name in namespace os::).  What the platform functions do (the
simulated desktop, its bookkeeping, the C++ library it uses) is left out;
the library's own instructions around each platform call (arguments, the
call, using the answer) stay in.  Prints the sum.
"""
import re
import sys
from collections import defaultdict


def parse(path):
    names = {}  # compressed id -> name
    exclusive = defaultdict(int)
    calls = defaultdict(set)

    def name_of(spec):
        m = re.match(r"\((\d+)\)(?: (.*))?$", spec)
        if not m:
            return spec
        if m.group(2) is not None:
            names[m.group(1)] = m.group(2)
        return names[m.group(1)]

    fn = None
    callee = None
    call_cost_next = False
    with open(path) as f:
        for line in f:
            line = line.rstrip("\n")
            if line.startswith("fn="):
                fn = name_of(line[3:])
            elif line.startswith("cfn="):
                callee = name_of(line[4:])
            elif line.startswith("calls="):
                call_cost_next = True
            elif line and (line[0].isdigit() or line[0] in "+-*"):
                if call_cost_next:
                    # The inclusive cost of the call just named: it belongs to
                    # the callee, not to this function.
                    calls[fn].add(callee)
                    call_cost_next = False
                    continue
                parts = line.split()
                if fn is not None and len(parts) >= 2:
                    exclusive[fn] += int(parts[1])
    return exclusive, calls


def library_cost(path, roots):
    exclusive, calls = parse(path)
    platform = re.compile(r"^os::")
    seen = set()
    todo = [r for r in exclusive.keys() | calls.keys() if r in roots]
    if not todo:
        sys.exit(f"library_cost: none of {sorted(roots)} ran in {path}")
    while todo:
        fn = todo.pop()
        if fn in seen or platform.match(fn):
            continue
        seen.add(fn)
        todo.extend(calls.get(fn, ()))
    return sum(exclusive[fn] for fn in seen)


if __name__ == "__main__":
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    print(library_cost(sys.argv[1], set(sys.argv[2:])))
