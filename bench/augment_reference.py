#!/usr/bin/env python3
"""Reference for augmenting a design with runs kept fixed, independent of the engine.

The 2^(3-1) main-effects design (X3 = X1*X2) is kept as its first four runs and ten runs are
added for the full quadratic model in three factors (intercept, main effects, two-factor
products, squares; 10 parameters). Each of 300 random starts draws the ten new runs from the
3^3 grid and improves them by whole-run exchanges until no exchange raises det(X'X); the best
design's determinant is then recomputed exactly in rationals and printed with its
D-efficiency 100 * det(X'X)^(1/p) / n.

Run: python3 bench/augment_reference.py   (about a minute; the seed makes it repeatable)
"""
import itertools
import random
from fractions import Fraction

FIXED = [(-1, -1, 1), (1, -1, -1), (-1, 1, -1), (1, 1, 1)]
ADDED = 10
STARTS = 300


def row(x):
    a, b, c = x
    return [1, a, b, c, a * b, a * c, b * c, a * a, b * b, c * c]


def det(m):
    """Determinant by Gaussian elimination with partial pivoting (floats or Fractions)."""
    m = [r[:] for r in m]
    n = len(m)
    d = 1
    for k in range(n):
        piv = max(range(k, n), key=lambda i: abs(m[i][k]))
        if m[piv][k] == 0:
            return 0
        if piv != k:
            m[k], m[piv] = m[piv], m[k]
            d = -d
        d *= m[k][k]
        for i in range(k + 1, n):
            f = m[i][k] / m[k][k]
            if f:
                for j in range(k, n):
                    m[i][j] -= f * m[k][j]
    return d


def info(points, exact=False):
    rows = [row(p) for p in points]
    p = len(rows[0])
    conv = Fraction if exact else float
    return [[conv(sum(r[i] * r[j] for r in rows)) for j in range(p)] for i in range(p)]


def main():
    grid = list(itertools.product((-1, 0, 1), repeat=3))
    rng = random.Random(20261208)
    best, best_det = None, -1.0
    for _ in range(STARTS):
        new = [rng.choice(grid) for _ in range(ADDED)]
        cur = det(info(FIXED + new))
        improved = True
        while improved:
            improved = False
            for i in range(ADDED):
                for cand in grid:
                    if cand == new[i]:
                        continue
                    trial = new[:i] + [cand] + new[i + 1:]
                    d = det(info(FIXED + trial))
                    if d > cur * (1 + 1e-12) + 1e-12:
                        new, cur, improved = trial, d, True
        if cur > best_det:
            best, best_det = new, cur
    exact = det(info(FIXED + best, exact=True))
    n, p = len(FIXED) + ADDED, 10
    deff = 100.0 * float(exact) ** (1.0 / p) / n
    print("det(X'X) =", exact)
    print("D-efficiency = %.12f" % deff)
    print("added runs =", best)


if __name__ == "__main__":
    main()
