#!/usr/bin/env python3
"""Writes fraction cases for the reduction test: one line per case,
"numerator denominator reduced_numerator reduced_denominator", the reduced
pair being what Python's fractions module makes of the first two (the sign
on the numerator). A denominator of 0 is written with 0 1."""
import random
import sys
from fractions import Fraction

SMALL = [2, 3, 5, 7, 11, 13, 17, 19, 23, 29, 31]
LARGE = [37, 41, 97, 251, 65521]
I32_MIN, I32_MAX = -2**31, 2**31 - 1


def smooth(rng, limit):
    value = 1
    while True:
        factor = rng.choice(SMALL + LARGE[:2])
        if value * factor > limit:
            return value
        value *= factor
        if rng.random() < 0.25:
            return value


def cases(rng):
    yield from [(4000, 6000), (37, 74), (-300, 200), (5, 0), (300, -200), (I32_MIN, 1 << 30),
                (I32_MIN, I32_MIN), (I32_MAX, I32_MAX), (1, 1), (-1, -1), (600, 1), (72, 300),
                (0, 5), (0, -8)]
    for _ in range(3000):
        common = smooth(rng, 2**20)
        limit = I32_MAX // common
        n = rng.randint(1, max(1, limit)) * common * rng.choice([1, -1])
        d = rng.randint(1, max(1, limit)) * common * rng.choice([1, 1, 1, -1])
        if rng.random() < 0.1:
            d = rng.choice(LARGE) * rng.choice(SMALL)
            n = d * rng.randint(-1000, 1000) or 1
        if I32_MIN <= n <= I32_MAX and I32_MIN <= d <= I32_MAX:
            yield n, d


def main():
    rng = random.Random(20240601)
    with open(sys.argv[1], "w") as out:
        for n, d in cases(rng):
            if d == 0:
                out.write(f"{n} {d} 0 1\n")
                continue
            f = Fraction(n, d)
            out.write(f"{n} {d} {f.numerator} {f.denominator}\n")


if __name__ == "__main__":
    main()
