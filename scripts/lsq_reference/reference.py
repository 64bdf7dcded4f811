# Reference numbers of tests/core/tst_standard_least_squares.cpp and tests/views/tst_fit_model_sls.cpp.
# Build the tail helper first: g++ -O1 -o tails tails.cpp ; then: python3 reference.py ./tails
# Exact reference for standard least squares of A + B + C + A*C with C effect-coded (last level -1)
# and A, B coded to -1..1 from their ranges: rational normal equations, square roots in 50-digit
# decimals, upper tails from Boost.Math in long double (tails.cpp).
from fractions import Fraction as Fr
from decimal import Decimal, getcontext
import subprocess, random, sys
getcontext().prec = 50
random.seed(7)
levels = ['a', 'b', 'c']
As = [0, 2.5, 5, 7.5, 10]
Bs = [20, 25, 30, 35, 40]
rows = []
for i in range(15):
    c = levels[i % 3]
    a = As[(i * 2) % 5]
    b = Bs[(i * 3 + i // 5) % 5]
    eff = {'a': 1.5, 'b': -0.7, 'c': -0.8}[c]
    slope = {'a': 0.4, 'b': -0.2, 'c': 0.1}[c]
    y = 10 + 0.3 * a + 0.05 * b + eff + slope * a + random.gauss(0, 0.6)
    rows.append((str(a).rstrip('0').rstrip('.') if '.' in str(a) else str(a), str(b), c, '%.2f' % y))
def code(v, lo, hi): return (2 * Fr(v) - (lo + hi)) / (hi - lo)
def ccode(c): return {'a': [1, 0], 'b': [0, 1], 'c': [-1, -1]}[c]
X, Y = [], []
for a, b, c, y in rows:
    A = code(a, 0, 10); B = code(b, 20, 40); C = ccode(c)
    X.append([Fr(1), A, B, Fr(C[0]), Fr(C[1]), A * C[0], A * C[1]])
    Y.append(Fr(y))
n, p = len(X), 7
xtx = [[sum(X[i][j] * X[i][k] for i in range(n)) for k in range(p)] for j in range(p)]
xty = [sum(X[i][j] * Y[i] for i in range(n)) for j in range(p)]
def inv(m):
    k = len(m); a = [row[:] + [Fr(int(i == j)) for j in range(k)] for i, row in enumerate(m)]
    for c in range(k):
        piv = next(r for r in range(c, k) if a[r][c] != 0); a[c], a[piv] = a[piv], a[c]
        pv = a[c][c]; a[c] = [v / pv for v in a[c]]
        for r in range(k):
            if r != c and a[r][c] != 0:
                f = a[r][c]; a[r] = [x - f * y for x, y in zip(a[r], a[c])]
    return [row[k:] for row in a]
V = inv(xtx)
beta = [sum(V[j][k] * xty[k] for k in range(p)) for j in range(p)]
sse = sum((Y[i] - sum(X[i][j] * beta[j] for j in range(p))) ** 2 for i in range(n))
dfe = n - p; mse = sse / dfe
ybar = sum(Y) / n; sst = sum((v - ybar) ** 2 for v in Y)
def D(f): return Decimal(f.numerator) / Decimal(f.denominator)
se = [(D(mse * V[j][j])).sqrt() for j in range(p)]
tr = [D(beta[j]) / se[j] for j in range(p)]
terms = [('A', [1]), ('B', [2]), ('C', [3, 4]), ('A*C', [5, 6])]
eff = []
for name, idx in terms:
    vt = inv([[V[a][b] for b in idx] for a in idx])
    bt = [beta[a] for a in idx]
    ss = sum(bt[a] * vt[a][b] * bt[b] for a in range(len(idx)) for b in range(len(idx)))
    F = ss / len(idx) / mse
    eff.append((name, len(idx), ss, F))
fm = (sst - sse) / (p - 1) / mse
q = ''.join('F %s %d %d\n' % (D(F), df, dfe) for _, df, _, F in eff) + 'F %s %d %d\n' % (D(fm), p - 1, dfe)
q += ''.join('T %s %d\n' % (t, dfe) for t in tr)
tails = subprocess.run([sys.argv[1] if len(sys.argv) > 1 else './tails'], input=q, capture_output=True, text=True).stdout.split()
print('rows:')
for r in rows: print('    {"%s", "%s", "%s", "%s"},' % r)
print('params:')
for j in range(p): print('    {%.17e, %.17e, %.17e, %s},' % (D(beta[j]), se[j], tr[j], tails[len(eff) + 1 + j]))
print('effects:')
for k, (name, df, ss, F) in enumerate(eff): print('    {"%s", %d, %.17e, %.17e, %s},' % (name, df, D(ss), D(F), tails[k]))
print('anova: sse %.17e ssm %.17e F %.17e p %s dfe %d' % (D(sse), D(sst - sse), D(fm), tails[len(eff)], dfe))
