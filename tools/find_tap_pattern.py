#!/usr/bin/env python3
"""Searches for the keystream register's tap pattern and prints it.

The register is a Fibonacci feedback-with-carry shift register. Reading a tap
at cell j as the coefficient of 2^(255 - j), its connection integer is

    q = -1 + sum(2^(255 - j) for every tapped cell j)

and after its first 255 outputs (the loaded cells themselves) the output is
the 2-adic expansion of a rational number with denominator q. A pattern is
accepted only when it meets all of these:

  1. cell 1 is tapped and there are at least three taps, so that only the
     state with cell 0 alone set (the one-character password 0x01) gives an
     output that becomes constant;
  2. q is a safe prime (q = 2p + 1, p prime), so the order of 2 modulo q is
     at least (q - 1) / 2 and no output falls into a short cycle;
  3. no tap lies in cells 192..254, so q = -1 (mod 2^64) and the register can
     be run 64 outputs at a time with shifts and additions only;
  4. three to six taps, so that each 64-output step needs few additions.

Reset folds the pattern so that cells 0, 32, ..., 224 can never be taps.
Among the patterns that qualify, the search prefers the fewest taps, then the
most taps at cells 63, 127 and 191 (whose terms land on 64-bit word
boundaries in the 64-output step), then the smallest cells. The order is
fixed, so every run prints the same pattern.

Usage: find_tap_pattern.py          print the pattern, its cells and q
       find_tap_pattern.py --check  also verify the pattern in the sources
"""

import itertools
import pathlib
import re
import sys

CELLS = 255
PATTERN_LENGTH = 255
WORD_ALIGNED_CELLS = (63, 127, 191)
ALLOWED_CELLS = [j for j in range(1, 192) if j % 32 != 0]


def is_probable_prime(n: int) -> bool:
    """Deterministic-enough Miller-Rabin: 40 fixed bases."""
    if n < 2:
        return False
    small = [2, 3, 5, 7, 11, 13, 17, 19, 23, 29, 31, 37]
    for p in small:
        if n % p == 0:
            return n == p
    d, s = n - 1, 0
    while d % 2 == 0:
        d //= 2
        s += 1
    bases = small + [41 + 6 * i for i in range(28)]
    for a in bases:
        x = pow(a, d, n)
        if x in (1, n - 1):
            continue
        for _ in range(s - 1):
            x = x * x % n
            if x == n - 1:
                break
        else:
            return False
    return True


def connection_integer(cells) -> int:
    return -1 + sum(1 << (CELLS - j) for j in cells)


def pattern_index_of_cell(cell: int) -> int:
    """Which pattern character Reset folds into the given mask bit."""
    word, bit = divmod(cell, 32)
    assert bit != 0 and cell < CELLS
    return bit - 1 if word == 7 else 222 - 32 * word + bit


def pattern_for(cells) -> str:
    chars = ["0"] * PATTERN_LENGTH
    for cell in cells:
        chars[pattern_index_of_cell(cell)] = "1"
    return "".join(chars)


def qualifies(cells) -> bool:
    q = connection_integer(cells)
    return is_probable_prime(q) and is_probable_prime((q - 1) // 2)


def candidates():
    others = [j for j in ALLOWED_CELLS if j != 1]
    for extra in range(2, 6):  # 3 to 6 taps, cell 1 always among them
        combos = [(1,) + c for c in itertools.combinations(others, extra)]
        combos.sort(key=lambda c: (-sum(j in WORD_ALIGNED_CELLS for j in c), c))
        yield from combos


def find():
    return next(c for c in candidates() if qualifies(c))


def check_sources(cells, pattern) -> int:
    root = pathlib.Path(__file__).resolve().parent.parent
    source = (root / "cipher" / "tap_pattern.h").read_text()
    found = "".join(re.findall(r'"([01]+)"', source))
    if found != pattern:
        print("cipher/tap_pattern.h does not hold the searched pattern")
        return 1
    q_hex = format(connection_integer(cells), "x")
    if q_hex not in source.replace("'", "").lower():
        print("cipher/tap_pattern.h does not state q =", q_hex)
        return 1
    print("cipher/tap_pattern.h matches")
    return 0


def main() -> int:
    cells = find()
    pattern = pattern_for(cells)
    q = connection_integer(cells)
    print("tapped cells:", ", ".join(map(str, cells)))
    print("q = 0x%x" % q)
    print("pattern:", pattern)
    if "--check" in sys.argv[1:]:
        return check_sources(cells, pattern)
    return 0


if __name__ == "__main__":
    sys.exit(main())
