#include "orvex_structured_starts.h"

#include "orvex_rng.h"

#include <algorithm>
#include <numeric>

namespace orvex {

namespace {

// GF(q) for q = p or p^2: x = a + b * p stands for a + b t with t^2 = r, r a non-residue mod p.
struct Field {
    int p = 0, q = 0, r = 0;

    static int power(int base, int e, int mod)
    {
        long result = 1, b = base % mod;
        for (; e > 0; e >>= 1, b = b * b % mod)
            if (e & 1)
                result = result * b % mod;
        return static_cast<int>(result);
    }
    bool init(int order)
    {
        auto isPrime = [](int v) {
            if (v < 2)
                return false;
            for (int d = 2; d * d <= v; ++d)
                if (v % d == 0)
                    return false;
            return true;
        };
        q = order;
        if (isPrime(order)) {
            p = order;
            return true;
        }
        for (p = 2; p * p <= order; ++p)
            if (p * p == order && isPrime(p) && p > 2) {
                for (r = 2; r < p; ++r)
                    if (power(r, (p - 1) / 2, p) == p - 1)
                        return true;
            }
        return false;
    }
    bool prime() const { return p == q; }
    int sub(int x, int y) const
    {
        if (prime())
            return ((x - y) % p + p) % p;
        const int a = ((x % p - y % p) + p) % p, b = ((x / p - y / p) + p) % p;
        return a + b * p;
    }
    int mul(int x, int y) const
    {
        if (prime())
            return static_cast<int>(static_cast<long>(x) * y % p);
        const long a = x % p, b = x / p, c = y % p, d = y / p;
        return static_cast<int>((a * c + b * d % p * r) % p + (a * d + b * c) % p * p);
    }
    // Quadratic character: 0, 1 or -1.
    int chi(int x) const
    {
        if (x == 0)
            return 0;
        int result = 1, b = x;
        for (int e = (q - 1) / 2; e > 0; e >>= 1, b = mul(b, b))
            if (e & 1)
                result = mul(result, b);
        return result == 1 ? 1 : -1;
    }
};

// Jacobsthal matrix Q(i, j) = chi(x_i - x_j) of GF(q).
Eigen::MatrixXi jacobsthal(const Field& f)
{
    Eigen::MatrixXi Q(f.q, f.q);
    for (int i = 0; i < f.q; ++i)
        for (int j = 0; j < f.q; ++j)
            Q(i, j) = f.chi(f.sub(i, j));
    return Q;
}

Eigen::MatrixXi paley1(const Field& f)
{
    const int n = f.q + 1;
    Eigen::MatrixXi H = Eigen::MatrixXi::Identity(n, n);
    H.block(0, 1, 1, f.q).setOnes();
    H.block(1, 0, f.q, 1).setConstant(-1);
    H.block(1, 1, f.q, f.q) += jacobsthal(f);
    return H;
}

Eigen::MatrixXi paley2(const Field& f)
{
    const int m = f.q + 1;
    Eigen::MatrixXi C = Eigen::MatrixXi::Zero(m, m);
    C.block(0, 1, 1, f.q).setOnes();
    C.block(1, 0, f.q, 1).setOnes();
    C.block(1, 1, f.q, f.q) = jacobsthal(f);
    Eigen::MatrixXi H(2 * m, 2 * m);
    for (int i = 0; i < m; ++i)
        for (int j = 0; j < m; ++j) {
            const int c = C(i, j);
            if (c == 0) {
                const int d = i == j ? 1 : 0;
                H(2 * i, 2 * j) = d;
                H(2 * i, 2 * j + 1) = d;
                H(2 * i + 1, 2 * j) = d;
                H(2 * i + 1, 2 * j + 1) = -d;
            } else {
                H(2 * i, 2 * j) = c;
                H(2 * i, 2 * j + 1) = -c;
                H(2 * i + 1, 2 * j) = -c;
                H(2 * i + 1, 2 * j + 1) = -c;
            }
        }
    return H;
}

// Williamson's construction from four symmetric circulant +-1 matrices A, B, C, D of order m
// with A^2 + B^2 + C^2 + D^2 = 4m I; the first rows for m = 23 (order 92, which neither Paley
// construction nor doubling reaches) were found by a search over the symmetric sequences.
Eigen::MatrixXi williamson(const char* const rows[4], int m)
{
    Eigen::MatrixXi blocks[4];
    for (int b = 0; b < 4; ++b) {
        blocks[b].resize(m, m);
        for (int i = 0; i < m; ++i)
            for (int j = 0; j < m; ++j)
                blocks[b](i, j) = rows[b][(j - i + m) % m] == '+' ? 1 : -1;
    }
    const Eigen::MatrixXi &A = blocks[0], &B = blocks[1], &C = blocks[2], &D = blocks[3];
    Eigen::MatrixXi H(4 * m, 4 * m);
    H << A, B, C, D, -B, A, -D, C, -C, D, A, -B, -D, -C, B, A;
    return H;
}

const char* const kWilliamson23[4] = {
    "+--++-+-+-++++-+-+-++--",
    "+++---++--++++--++---++",
    "+--+-+-++++++++++-+-+--",
    "-++-++---++++++---++-++",
};

Eigen::MatrixXi construct(int n)
{
    if (n == 92)
        return williamson(kWilliamson23, 23);
    if (n == 1)
        return Eigen::MatrixXi::Ones(1, 1);
    if (n == 2 || n % 4 != 0) {
        if (n != 2)
            return {};
        Eigen::MatrixXi H(2, 2);
        H << 1, 1, 1, -1;
        return H;
    }
    if ((n & (n - 1)) == 0) {
        Eigen::MatrixXi H(n, n);
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j)
                H(i, j) = __builtin_popcount(static_cast<unsigned>(i & j)) % 2 ? -1 : 1;
        return H;
    }
    Field f;
    if (f.init(n - 1) && (n - 1) % 4 == 3)
        return paley1(f);
    if (n % 2 == 0 && f.init(n / 2 - 1) && (n / 2 - 1) % 4 == 1)
        return paley2(f);
    const Eigen::MatrixXi half = construct(n / 2);
    if (half.size() == 0)
        return {};
    Eigen::MatrixXi H(n, n);
    H << half, half, half, -half;
    return H;
}

int mask(const char* word)
{
    int m = 0;
    for (; *word; ++word)
        m |= 1 << (*word - 'A');
    return m;
}

// Added columns of the minimum aberration fractions (Box, Hunter and Hunter; Chen, Sun and Wu,
// 1993), by base factors and factor count.
struct FractionRow {
    int m, k;
    const char* words[6];
};

const FractionRow kFractions[] = {
    {3, 4, {"ABC"}},
    {3, 5, {"AB", "AC"}},
    {3, 6, {"AB", "AC", "BC"}},
    {3, 7, {"AB", "AC", "BC", "ABC"}},
    {4, 5, {"ABCD"}},
    {4, 6, {"ABC", "BCD"}},
    {4, 7, {"ABC", "BCD", "ACD"}},
    {4, 8, {"BCD", "ACD", "ABC", "ABD"}},
    {4, 9, {"ABC", "BCD", "ACD", "ABD", "ABCD"}},
    {5, 6, {"ABCDE"}},
    {5, 7, {"ABCD", "ABDE"}},
    {5, 8, {"ABC", "ABD", "BCDE"}},
    {5, 9, {"ABCD", "ABCE", "ABDE", "ACDE"}},
    {5, 10, {"ABCD", "ABCE", "ABDE", "ACDE", "BCDE"}},
    {5, 11, {"ABC", "BCD", "CDE", "ACD", "ADE", "BDE"}},
    {6, 7, {"ABCDEF"}},
    {6, 8, {"ABCD", "ABEF"}},
    {6, 9, {"ABCD", "ACEF", "CDEF"}},
    {6, 10, {"BCDF", "ACDF", "ABDE", "ABCE"}},
    {6, 11, {"CDE", "ABCD", "ABF", "BDEF", "ADEF"}},
};

}  // namespace

Eigen::MatrixXi hadamard(int n)
{
    if (n < 1 || n > 256)
        return {};
    Eigen::MatrixXi H = construct(n);
    for (int i = 0; i < H.rows(); ++i)
        if (H(i, 0) < 0)
            H.row(i) *= -1;
    return H;
}

std::vector<int> regularFraction(int m, int k)
{
    const int N = 1 << m;
    if (m < 3 || m > 6 || k < m || k >= N)
        return {};
    std::vector<int> cols;
    for (int b = 0; b < m; ++b)
        cols.push_back(1 << b);
    if (k == m)
        return cols;
    // The largest tabled fraction not above k, then further columns of the most letters (they
    // alias the fewest low-order effects) up to k.
    const FractionRow* row = nullptr;
    for (const FractionRow& r : kFractions)
        if (r.m == m && r.k <= k && (!row || r.k > row->k))
            row = &r;
    if (row)
        for (int w = 0; w < row->k - m; ++w)
            cols.push_back(mask(row->words[w]));
    // Each further column is the one that makes the fewest words of length three with the columns
    // so far (ties: more letters), which keeps resolution IV while an odd-weight column is left.
    while (static_cast<int>(cols.size()) < k) {
        int best = -1, bestWords = 0;
        for (int c = 1; c < N; ++c) {
            if (std::find(cols.begin(), cols.end(), c) != cols.end())
                continue;
            int words = 0;
            for (size_t a = 0; a < cols.size(); ++a)
                for (size_t b = a + 1; b < cols.size(); ++b)
                    words += (cols[a] ^ cols[b]) == c;
            if (best < 0 || words < bestWords
                || (words == bestWords && __builtin_popcount(static_cast<unsigned>(c))
                        > __builtin_popcount(static_cast<unsigned>(best)))) {
                best = c;
                bestWords = words;
            }
        }
        cols.push_back(best);
    }
    return cols;
}

std::vector<std::vector<double>> structuredStarts(const Space& sp, int n, std::uint64_t seed)
{
    const int F = sp.F;
    if (F == 0 || n < 2)
        return {};
    for (int f = 0; f < F; ++f) {
        const Factor& fac = sp.m.factor(f);
        const bool two = fac.kind == FactorKind::Continuous ? (sp.twoLevel[f] || sp.fixed(f))
                                                            : fac.levelCount() == 2;
        if (!two)
            return {};
    }
    // Orders: the largest at most n and the smallest above it, with room for every factor.
    std::vector<int> orders;
    auto candidate = [](int N) { return N <= 2 || N % 4 == 0; };
    for (int N = std::min(n, 256); N > F; --N)
        if (candidate(N) && hadamard(N).size() > 0) {
            orders.push_back(N);
            break;
        }
    for (int N = n + 1; N <= std::min(2 * n, 256); ++N)
        if (N > F && candidate(N) && hadamard(N).size() > 0) {
            orders.push_back(N);
            break;
        }
    std::vector<std::vector<double>> starts;
    Rng rng(seed ^ 0x5DEECE66Dull);
    for (int N : orders) {
        const Eigen::MatrixXi H = hadamard(N);
        std::vector<std::vector<int>> selections;
        if ((N & (N - 1)) == 0) {
            const int m = __builtin_ctz(static_cast<unsigned>(N));
            const std::vector<int> frac = regularFraction(m, F);
            if (!frac.empty())
                selections.push_back(frac);
        }
        std::vector<int> first(F);
        std::iota(first.begin(), first.end(), 1);
        selections.push_back(first);
        for (int draw = 0; draw < 3 && F < N - 1; ++draw) {
            std::vector<int> all(N - 1);
            std::iota(all.begin(), all.end(), 1);
            for (int j = 0; j < F; ++j)
                std::swap(all[j], all[j + rng.below(N - 1 - j)]);
            all.resize(F);
            selections.push_back(all);
        }
        for (const auto& sel : selections) {
            std::vector<double> coords(static_cast<size_t>(n) * F, 0.0);
            for (int i = 0; i < n; ++i)
                for (int f = 0; f < F; ++f) {
                    const Factor& fac = sp.m.factor(f);
                    const int v = H(i % N, sel[f]);
                    double& c = coords[static_cast<size_t>(i) * F + f];
                    if (fac.kind != FactorKind::Continuous)
                        c = v > 0 ? 0.0 : 1.0;
                    else
                        c = sp.fixed(f) ? 0.0 : v;
                }
            starts.push_back(std::move(coords));
        }
    }
    return starts;
}

}  // namespace orvex
