#!/usr/bin/env python3
"""Reference value for the split-plot design test, independent of the engine.

Three two-level factors A, B, C with A hard to change; model: intercept, main effects and the
two-factor products (7 parameters); 16 runs in 8 whole plots of 2 runs; eta = 1, so within a
whole plot V = I + J and V^-1 = I - J / 3. A coordinate exchange over the candidates -1 and +1
(A per whole plot, B and C per run) from 300 random starts; the best log det X'V^-1 X is
recomputed exactly with rational arithmetic and printed.

Plain Python (no third-party packages): python3 bench/split_plot_reference.py [starts] [seed]
"""
import math
import random
import sys
from fractions import Fraction

RUNS, PLOTS, ETA = 16, 8, 1


def row(a, b, c):
    return [1, a, b, c, a * b, a * c, b * c]


def plot_of(i):
    return i * PLOTS // RUNS


def information(design, exact=False):
    """X'V^-1 X summed over whole plots: sum_j X_j'X_j - k_j s_j s_j', k_j = eta / (1 + eta m_j)."""
    p = 7
    zero = Fraction(0) if exact else 0.0
    m = [[zero] * p for _ in range(p)]
    plots = {}
    for i, (a, b, c) in enumerate(design):
        plots.setdefault(plot_of(i), []).append(row(a, b, c))
    for rows in plots.values():
        size = len(rows)
        k = Fraction(ETA, 1 + ETA * size) if exact else ETA / (1.0 + ETA * size)
        s = [sum(r[j] for r in rows) for j in range(p)]
        for x in range(p):
            for y in range(p):
                m[x][y] += sum(r[x] * r[y] for r in rows) - k * s[x] * s[y]
    return m


def determinant(m):
    """Gaussian elimination with pivoting; exact for Fractions."""
    a = [list(r) for r in m]
    n = len(a)
    det = Fraction(1) if isinstance(a[0][0], Fraction) else 1.0
    for col in range(n):
        piv = max(range(col, n), key=lambda r: abs(a[r][col]))
        if a[piv][col] == 0:
            return 0
        if piv != col:
            a[col], a[piv] = a[piv], a[col]
            det = -det
        det *= a[col][col]
        for r in range(col + 1, n):
            f = a[r][col] / a[col][col]
            for c in range(col, n):
                a[r][c] -= f * a[col][c]
    return det


def score(design):
    d = determinant(information(design))
    return math.log(d) if d > 1e-12 else -math.inf


def exchange(rng):
    design = [[0, rng.choice((-1, 1)), rng.choice((-1, 1))] for _ in range(RUNS)]
    for j in range(PLOTS):
        a = rng.choice((-1, 1))
        for i in range(RUNS):
            if plot_of(i) == j:
                design[i][0] = a
    best = score(design)
    improved = True
    while improved:
        improved = False
        # Whole-plot coordinates: A of every run in the plot at once.
        for j in range(PLOTS):
            members = [i for i in range(RUNS) if plot_of(i) == j]
            for i in members:
                design[i][0] = -design[i][0]
            s = score(design)
            if s > best + 1e-10:
                best, improved = s, True
            else:
                for i in members:
                    design[i][0] = -design[i][0]
        # Sub-plot coordinates.
        for i in range(RUNS):
            for f in (1, 2):
                design[i][f] = -design[i][f]
                s = score(design)
                if s > best + 1e-10:
                    best, improved = s, True
                else:
                    design[i][f] = -design[i][f]
    return best, [list(r) for r in design]


def main():
    starts = int(sys.argv[1]) if len(sys.argv) > 1 else 300
    rng = random.Random(int(sys.argv[2]) if len(sys.argv) > 2 else 20071)
    best, best_design = -math.inf, None
    for _ in range(starts):
        s, d = exchange(rng)
        if s > best:
            best, best_design = s, d
    exact = determinant(information(best_design, exact=True))
    print("starts", starts)
    print("det", exact)
    print("logdet %.15g" % math.log(exact))
    for r in best_design:
        print(r)


if __name__ == "__main__":
    main()
