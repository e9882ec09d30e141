#include "instruments/spectrum/spectrum.h"

#include "instruments/oscilloscope/oscscale.h"

#include <algorithm>
#include <cmath>
#ifdef __SSE2__
#include <immintrin.h>
#endif

namespace {

// Adds one at the top bit of a `bits`-bit number and carries downwards.
inline int nextReversedInline(int k, int bits) {
    if (bits < 1 || bits > 31)
        return 0;
    unsigned bit = 1u << (bits - 1);
    unsigned v = unsigned(k) & ((bit << 1) - 1);
    while (bit && (v & bit)) {
        v ^= bit;
        bit >>= 1;
    }
    return int(v | bit);
}

} // namespace

namespace core {

int reverse(int value, int bits) {
    // Unsigned copy: the shifted-out bits are the only ones read, so an arithmetic and a logical
    // shift give the same result, and negative values stay well defined.
    unsigned v = unsigned(value);
    unsigned r = 0;
    for (int i = 0; i < bits; ++i) {
        r = 2 * r + (v & 1u);
        v >>= 1;
    }
    return int(r);
}

int nextReversed(int k, int bits) {
    return nextReversedInline(k, bits);
}

double decabel(double x) {
    return 10.0 * std::log10(x);
}

void windowTable(Window w, double* out, int n) {
    static constexpr double coefficients[windows][5] = {
        {0.54, 0.46, 0, 0, 0},
        {0.5, 0.5, 0, 0, 0},
        {0.35875, 0.48829, 0.14128, 0.01168, 0},
        {0.21557895, 0.41663158, 0.277263158, 0.083578947, 0.006947368},
    };
    const double* a = coefficients[int(w)];
    const double pi = 3.14159265358979323846;
    for (int i = 0; i < n; ++i) {
        double v = 0.0, sign = 1.0;
        for (int k = 0; k < 5; ++k, sign = -sign)
            v += sign * a[k] * std::cos(2 * pi * k * i / n);
        out[i] = v;
    }
}

Peak strongest(const double* power, int n) {
    Peak p;
    // The DC lobe's main lobe ends 4 bins out.
    for (int i = lobeBins - 1; i < n; ++i)
        if (power[i] > 0 && (p.bin < 0 || power[i] > power[p.bin]))
            p.bin = i;
    if (p.bin < 0)
        return p;
    p.at = p.bin;
    if (p.bin + 1 < n && power[p.bin - 1] > 0 && power[p.bin + 1] > 0) {
        const double a = decabel(power[p.bin - 1]), b = decabel(power[p.bin]),
                     c = decabel(power[p.bin + 1]);
        const double bend = a - 2 * b + c;
        if (bend < 0)
            p.at += 0.5 * (a - c) / bend;
    }
    return p;
}

Figures figures(const double* power, int n) {
    Figures f;
    f.peak = strongest(power, n);
    const int k = f.peak.bin;
    if (k < 2 * lobeBins || k + lobeBins >= n || n > 4096)
        return f;
    // Lobes claimed by the tone and its harmonics, in order; the rest is noise.
    bool claimed[4096];
    std::fill(claimed, claimed + n, false);
    std::fill(claimed, claimed + lobeBins, true);
    const auto lobe = [&](int centre, double* sum) {
        int count = 0;
        for (int j = std::max(lobeBins, centre - lobeBins); j <= centre + lobeBins && j < n; ++j)
            if (!claimed[j]) {
                claimed[j] = true;
                *sum += power[j];
                ++count;
            }
        return count;
    };
    double toneSum = 0.0;
    const int toneBins = lobe(k, &toneSum);
    double harmonicSum[11] = {};
    int harmonicBins[11] = {};
    for (int h = 2; h <= 10; ++h) {
        const int centre = int(std::lround(h * f.peak.at));
        if (centre >= n)
            break;
        harmonicBins[h] = lobe(centre, &harmonicSum[h]);
    }
    // The strongest other line: the highest bin beyond the DC lobe and the tone's lobe, and
    // its own lobe around it.
    int spurBin = -1;
    for (int j = lobeBins; j < n; ++j)
        if ((j < k - lobeBins || j > k + lobeBins) && (spurBin < 0 || power[j] > power[spurBin]))
            spurBin = j;
    for (int j = std::max(lobeBins, spurBin - lobeBins); j <= spurBin + lobeBins && j < n; ++j)
        if (j < k - lobeBins || j > k + lobeBins)
            f.spur += power[j];
    // The noise's mean per bin leaves out that line too: a spur is noise where it stands, not
    // in the bins it would fill in.
    double noiseSum = 0.0, spurPart = 0.0;
    int noiseBins = 0, spurBins = 0;
    for (int j = lobeBins; j < n; ++j)
        if (!claimed[j]) {
            noiseSum += power[j];
            ++noiseBins;
            if (std::abs(j - spurBin) <= lobeBins) {
                spurPart += power[j];
                ++spurBins;
            }
        }
    if (noiseBins == 0)
        return f;
    const double perBin = noiseBins > spurBins ? (noiseSum - spurPart) / (noiseBins - spurBins)
                                               : noiseSum / noiseBins;
    f.noise = noiseSum + perBin * (n - noiseBins);
    f.tone = std::max(0.0, toneSum - perBin * toneBins);
    for (int h = 2; h <= 10; ++h)
        f.harmonics += std::max(0.0, harmonicSum[h] - perBin * harmonicBins[h]);
    f.known = f.tone > 0;
    return f;
}

namespace {

// One butterfly. The order of operations is fixed: it defines the exact result.
inline void butterfly(double* re, double* im, int u, int l, double sn, double cs) {
    const double tRe = re[l] * cs + im[l] * sn;
    const double tIm = im[l] * cs - re[l] * sn;
    re[l] = re[u] - tRe;
    im[l] = im[u] - tIm;
    re[u] = re[u] + tRe;
    im[u] = im[u] + tIm;
}

#ifdef __SSE2__
// Two butterflies side by side, lane by lane the same operations as butterfly().
inline void butterfly2(__m128d& uRe, __m128d& uIm, __m128d& lRe, __m128d& lIm, __m128d sn,
                       __m128d cs) {
    const __m128d tRe = _mm_add_pd(_mm_mul_pd(lRe, cs), _mm_mul_pd(lIm, sn));
    const __m128d tIm = _mm_sub_pd(_mm_mul_pd(lIm, cs), _mm_mul_pd(lRe, sn));
    lRe = _mm_sub_pd(uRe, tRe);
    lIm = _mm_sub_pd(uIm, tIm);
    uRe = _mm_add_pd(uRe, tRe);
    uIm = _mm_add_pd(uIm, tIm);
}

// A stage whose groups span at least two butterflies: pairs of neighbouring butterflies share
// the group's twiddle factor.
void wideStage(double* re, double* im, int span, int groups, int bits, const double* table,
               int quarter) {
    for (int g = 0, k = 0; g < groups; ++g, k = nextReversedInline(k, bits)) {
        const __m128d sn = _mm_set1_pd(table[k]);
        const __m128d cs = _mm_set1_pd(table[k + quarter]);
        double* uRe = re + 2 * span * g;
        double* uIm = im + 2 * span * g;
        double* lRe = uRe + span;
        double* lIm = uIm + span;
        for (int j = 0; j < span; j += 2) {
            __m128d a = _mm_loadu_pd(uRe + j), b = _mm_loadu_pd(uIm + j);
            __m128d c = _mm_loadu_pd(lRe + j), d = _mm_loadu_pd(lIm + j);
            butterfly2(a, b, c, d, sn, cs);
            _mm_storeu_pd(uRe + j, a);
            _mm_storeu_pd(uIm + j, b);
            _mm_storeu_pd(lRe + j, c);
            _mm_storeu_pd(lIm + j, d);
        }
    }
}

#if defined(__x86_64__) && defined(__GNUC__)
#define ZRV_SPECTRUM_AVX 1
// The same stage four butterflies at a time where the processor has AVX (no fused multiply-add:
// every lane rounds exactly as butterfly() does).
__attribute__((target("avx"))) void wideStageAvx(double* re, double* im, int span, int groups,
                                                 int bits, const double* table, int quarter) {
    for (int g = 0, k = 0; g < groups; ++g, k = nextReversedInline(k, bits)) {
        const __m256d sn = _mm256_set1_pd(table[k]);
        const __m256d cs = _mm256_set1_pd(table[k + quarter]);
        double* uRe = re + 2 * span * g;
        double* uIm = im + 2 * span * g;
        double* lRe = uRe + span;
        double* lIm = uIm + span;
        for (int j = 0; j < span; j += 4) {
            const __m256d a = _mm256_loadu_pd(uRe + j), b = _mm256_loadu_pd(uIm + j);
            const __m256d c = _mm256_loadu_pd(lRe + j), d = _mm256_loadu_pd(lIm + j);
            const __m256d tRe = _mm256_add_pd(_mm256_mul_pd(c, cs), _mm256_mul_pd(d, sn));
            const __m256d tIm = _mm256_sub_pd(_mm256_mul_pd(d, cs), _mm256_mul_pd(c, sn));
            _mm256_storeu_pd(lRe + j, _mm256_sub_pd(a, tRe));
            _mm256_storeu_pd(lIm + j, _mm256_sub_pd(b, tIm));
            _mm256_storeu_pd(uRe + j, _mm256_add_pd(a, tRe));
            _mm256_storeu_pd(uIm + j, _mm256_add_pd(b, tIm));
        }
    }
}

__attribute__((target("avx"))) inline void butterfly4(__m256d& uRe, __m256d& uIm, __m256d& lRe,
                                                      __m256d& lIm, __m256d sn, __m256d cs) {
    const __m256d tRe = _mm256_add_pd(_mm256_mul_pd(lRe, cs), _mm256_mul_pd(lIm, sn));
    const __m256d tIm = _mm256_sub_pd(_mm256_mul_pd(lIm, cs), _mm256_mul_pd(lRe, sn));
    lRe = _mm256_sub_pd(uRe, tRe);
    lIm = _mm256_sub_pd(uIm, tIm);
    uRe = _mm256_add_pd(uRe, tRe);
    uIm = _mm256_add_pd(uIm, tIm);
}

// Two stages in one pass: each group of the first (span 2 * half, `groups` of them) and then
// its two halves, the groups 2g and 2g + 1 of the next. Every butterfly is the one the two
// stages would do, in the same order within each element's chain.
__attribute__((target("avx"))) void twoStagesAvx(double* re, double* im, int half, int groups,
                                                 int bits, const double* table, int quarter) {
    for (int g = 0, k = 0, next = 0; g < groups; ++g, k = nextReversedInline(k, bits)) {
        const int kA = next;
        const int kB = nextReversedInline(kA, bits);
        next = nextReversedInline(kB, bits);
        const __m256d sn = _mm256_set1_pd(table[k]), cs = _mm256_set1_pd(table[k + quarter]);
        const __m256d snA = _mm256_set1_pd(table[kA]), csA = _mm256_set1_pd(table[kA + quarter]);
        const __m256d snB = _mm256_set1_pd(table[kB]), csB = _mm256_set1_pd(table[kB + quarter]);
        double* r = re + 4 * half * g;
        double* i = im + 4 * half * g;
        for (int j = 0; j < half; j += 4) {
            __m256d r0 = _mm256_loadu_pd(r + j), i0 = _mm256_loadu_pd(i + j);
            __m256d r1 = _mm256_loadu_pd(r + j + half), i1 = _mm256_loadu_pd(i + j + half);
            __m256d r2 = _mm256_loadu_pd(r + j + 2 * half), i2 = _mm256_loadu_pd(i + j + 2 * half);
            __m256d r3 = _mm256_loadu_pd(r + j + 3 * half), i3 = _mm256_loadu_pd(i + j + 3 * half);
            butterfly4(r0, i0, r2, i2, sn, cs);
            butterfly4(r1, i1, r3, i3, sn, cs);
            butterfly4(r0, i0, r1, i1, snA, csA);
            butterfly4(r2, i2, r3, i3, snB, csB);
            _mm256_storeu_pd(r + j, r0);
            _mm256_storeu_pd(i + j, i0);
            _mm256_storeu_pd(r + j + half, r1);
            _mm256_storeu_pd(i + j + half, i1);
            _mm256_storeu_pd(r + j + 2 * half, r2);
            _mm256_storeu_pd(i + j + 2 * half, i2);
            _mm256_storeu_pd(r + j + 3 * half, r3);
            _mm256_storeu_pd(i + j + 3 * half, i3);
        }
    }
}

bool haveAvx() {
    static const bool avx = __builtin_cpu_supports("avx");
    return avx;
}
#endif

// The last stage, one butterfly per group: two groups at a time, each with its own twiddle.
void lastStage(double* re, double* im, int groups, int bits, const double* table, int quarter) {
    int k = 0;
    for (int g = 0; g + 1 < groups; g += 2) {
        const int k1 = nextReversedInline(k, bits);
        const __m128d sn = _mm_set_pd(table[k1], table[k]);
        const __m128d cs = _mm_set_pd(table[k1 + quarter], table[k + quarter]);
        double* r = re + 2 * g;
        double* i = im + 2 * g;
        const __m128d r01 = _mm_loadu_pd(r), r23 = _mm_loadu_pd(r + 2);
        const __m128d i01 = _mm_loadu_pd(i), i23 = _mm_loadu_pd(i + 2);
        __m128d uRe = _mm_unpacklo_pd(r01, r23), lRe = _mm_unpackhi_pd(r01, r23);
        __m128d uIm = _mm_unpacklo_pd(i01, i23), lIm = _mm_unpackhi_pd(i01, i23);
        butterfly2(uRe, uIm, lRe, lIm, sn, cs);
        _mm_storeu_pd(r, _mm_unpacklo_pd(uRe, lRe));
        _mm_storeu_pd(r + 2, _mm_unpackhi_pd(uRe, lRe));
        _mm_storeu_pd(i, _mm_unpacklo_pd(uIm, lIm));
        _mm_storeu_pd(i + 2, _mm_unpackhi_pd(uIm, lIm));
        k = nextReversedInline(k1, bits);
    }
    if (groups % 2) // a single group: the 2-point transform
        butterfly(re, im, 2 * (groups - 1), 2 * (groups - 1) + 1, table[k], table[k + quarter]);
}
#else
// Any stage, one butterfly at a time.
void plainStage(double* re, double* im, int span, int groups, int bits, const double* table,
                int quarter) {
    for (int g = 0, k = 0; g < groups; ++g, k = nextReversedInline(k, bits)) {
        const double sn = table[k];
        const double cs = table[k + quarter];
        const int base = 2 * span * g;
        for (int j = 0; j < span; ++j)
            butterfly(re, im, base + j, base + span + j, sn, cs);
    }
}
#endif

// One stage on the widest vectors the processor offers.
void stage(double* re, double* im, int span, int groups, int bits, const double* table,
           int quarter) {
#ifdef ZRV_SPECTRUM_AVX
    if (span >= 4 && haveAvx()) {
        wideStageAvx(re, im, span, groups, bits, table, quarter);
        return;
    }
#endif
#ifdef __SSE2__
    if (span >= 2)
        wideStage(re, im, span, groups, bits, table, quarter);
    else
        lastStage(re, im, groups, bits, table, quarter);
#else
    plainStage(re, im, span, groups, bits, table, quarter);
#endif
}

// Stage s from `first` on: 2^s groups of `span` butterflies; group g turns by table entry
// reverse(g, m - 1).
void stages(double* re, double* im, int m, const double* table, int quarter, int first = 0) {
    for (int s = first; s < m; ++s) {
#ifdef ZRV_SPECTRUM_AVX
        // Two stages a pass while the second's groups span four butterflies or more: half the
        // trips through memory.
        if (s + 1 < m && ((1 << m) >> (s + 2)) >= 4 && haveAvx()) {
            twoStagesAvx(re, im, (1 << m) >> (s + 2), 1 << s, m - 1, table, quarter);
            ++s;
            continue;
        }
#endif
        const int span = (1 << m) >> (s + 1);
        const int groups = 1 << s;
        stage(re, im, span, groups, m - 1, table, quarter);
    }
}

#ifdef __SSE2__
// The first two stages on real input (im zero) in one pass, Hamming-windowed on the way in when
// `hamming`. With im zero and table[0] zero, every term with an imaginary input is a zero, so
// what is left are the same products and sums as the two stages: the same values (a zero's sign
// aside) at a third of the memory traffic. Needs m >= 3 and table[0] == 0.
void realFirstStages(double* re, double* im, int m, const double* table, int quarter,
                     bool hamming) {
    const int n = 1 << m, h = n / 2, q = n / 4;
    const int k1 = nextReversedInline(0, m - 1);
    const __m128d s0 = _mm_set1_pd(table[0]), c0 = _mm_set1_pd(table[quarter]);
    const __m128d s1 = _mm_set1_pd(table[k1]), c1 = _mm_set1_pd(table[k1 + quarter]);
    const __m128d a0 = _mm_set1_pd(0.54), a1 = _mm_set1_pd(0.46), zero = _mm_setzero_pd();
    const auto load = [&](int i) {
        const __m128d x = _mm_loadu_pd(re + i);
        return hamming ? _mm_mul_pd(
                             x, _mm_sub_pd(a0, _mm_mul_pd(a1, _mm_loadu_pd(table + quarter + i))))
                       : x;
    };
    for (int j = 0; j < q; j += 2) {
        const __m128d x0 = load(j), x1 = load(j + q), x2 = load(j + h), x3 = load(j + h + q);
        // Stage 0, one group turning by entry 0: j with j + h, j + q with j + h + q.
        const __m128d t2 = _mm_mul_pd(x2, c0), t3 = _mm_mul_pd(x3, c0);
        const __m128d u0 = _mm_add_pd(x0, t2), u2 = _mm_sub_pd(x0, t2);
        const __m128d u1 = _mm_add_pd(x1, t3), u3 = _mm_sub_pd(x1, t3);
        // Stage 1: the lower half turns by entry 0, the upper half by entry k1.
        const __m128d v1 = _mm_mul_pd(u1, c0), w1 = _mm_mul_pd(u1, s0);
        const __m128d v3 = _mm_mul_pd(u3, c1), w3 = _mm_mul_pd(u3, s1);
        _mm_storeu_pd(re + j, _mm_add_pd(u0, v1));
        _mm_storeu_pd(re + j + q, _mm_sub_pd(u0, v1));
        _mm_storeu_pd(im + j, _mm_sub_pd(zero, w1));
        _mm_storeu_pd(im + j + q, w1);
        _mm_storeu_pd(re + j + h, _mm_add_pd(u2, v3));
        _mm_storeu_pd(re + j + h + q, _mm_sub_pd(u2, v3));
        _mm_storeu_pd(im + j + h, _mm_sub_pd(zero, w3));
        _mm_storeu_pd(im + j + h + q, w3);
    }
}
#ifdef ZRV_SPECTRUM_AVX
// Four samples from i on, Hamming-windowed when `hamming`.
__attribute__((target("avx"))) inline __m256d loadAvx(const double* re, const double* table,
                                                      int quarter, bool hamming, int i) {
    const __m256d x = _mm256_loadu_pd(re + i);
    if (!hamming)
        return x;
    const __m256d w =
        _mm256_sub_pd(_mm256_set1_pd(0.54),
                      _mm256_mul_pd(_mm256_set1_pd(0.46), _mm256_loadu_pd(table + quarter + i)));
    return _mm256_mul_pd(x, w);
}

// The same four lanes wide (m >= 4).
__attribute__((target("avx"))) void
realFirstStagesAvx(double* re, double* im, int m, const double* table, int quarter, bool hamming) {
    const int n = 1 << m, h = n / 2, q = n / 4;
    const int k1 = nextReversedInline(0, m - 1);
    const __m256d s0 = _mm256_set1_pd(table[0]), c0 = _mm256_set1_pd(table[quarter]);
    const __m256d s1 = _mm256_set1_pd(table[k1]), c1 = _mm256_set1_pd(table[k1 + quarter]);
    const __m256d zero = _mm256_setzero_pd();
    for (int j = 0; j < q; j += 4) {
        const __m256d x0 = loadAvx(re, table, quarter, hamming, j),
                      x1 = loadAvx(re, table, quarter, hamming, j + q),
                      x2 = loadAvx(re, table, quarter, hamming, j + h),
                      x3 = loadAvx(re, table, quarter, hamming, j + h + q);
        // Stage 0, one group turning by entry 0: j with j + h, j + q with j + h + q.
        const __m256d t2 = _mm256_mul_pd(x2, c0), t3 = _mm256_mul_pd(x3, c0);
        const __m256d u0 = _mm256_add_pd(x0, t2), u2 = _mm256_sub_pd(x0, t2);
        const __m256d u1 = _mm256_add_pd(x1, t3), u3 = _mm256_sub_pd(x1, t3);
        // Stage 1: the lower half turns by entry 0, the upper half by entry k1.
        const __m256d v1 = _mm256_mul_pd(u1, c0), w1 = _mm256_mul_pd(u1, s0);
        const __m256d v3 = _mm256_mul_pd(u3, c1), w3 = _mm256_mul_pd(u3, s1);
        _mm256_storeu_pd(re + j, _mm256_add_pd(u0, v1));
        _mm256_storeu_pd(re + j + q, _mm256_sub_pd(u0, v1));
        _mm256_storeu_pd(im + j, _mm256_sub_pd(zero, w1));
        _mm256_storeu_pd(im + j + q, w1);
        _mm256_storeu_pd(re + j + h, _mm256_add_pd(u2, v3));
        _mm256_storeu_pd(re + j + h + q, _mm256_sub_pd(u2, v3));
        _mm256_storeu_pd(im + j + h, _mm256_sub_pd(zero, w3));
        _mm256_storeu_pd(im + j + h + q, w3);
    }
}
#endif

void firstStages(double* re, double* im, int m, const double* table, int quarter, bool hamming) {
#ifdef ZRV_SPECTRUM_AVX
    if (m >= 4 && haveAvx()) {
        realFirstStagesAvx(re, im, m, table, quarter, hamming);
        return;
    }
#endif
    realFirstStages(re, im, m, table, quarter, hamming);
}
#endif

} // namespace

void windowedButterflies(double* re, double* im, int m, const double* table, int tableLen) {
    if (m < 0 || m > 30)
        return;
    const int n = 1 << m;
    const int quarter = tableLen / 4;
#ifdef __SSE2__
    if (m >= 3 && table[0] == 0.0) {
        firstStages(re, im, m, table, quarter, true);
        stages(re, im, m, table, quarter, 2);
        return;
    }
#endif

    int i = 0;
#ifdef __SSE2__
    const __m128d a0 = _mm_set1_pd(0.54), a1 = _mm_set1_pd(0.46);
    for (; i + 1 < n; i += 2) {
        const __m128d w = _mm_sub_pd(a0, _mm_mul_pd(a1, _mm_loadu_pd(table + quarter + i)));
        _mm_storeu_pd(re + i, _mm_mul_pd(_mm_loadu_pd(re + i), w));
        _mm_storeu_pd(im + i, _mm_setzero_pd());
    }
#endif
    for (; i < n; ++i) {
        re[i] = re[i] * (0.54 - 0.46 * table[quarter + i]);
        im[i] = 0.0;
    }

    stages(re, im, m, table, quarter);
}

void butterflies(double* re, double* im, int m, const double* table, int tableLen) {
    if (m < 0 || m > 30)
        return;
#ifdef __SSE2__
    if (m >= 3 && table[0] == 0.0) {
        firstStages(re, im, m, table, tableLen / 4, false);
        stages(re, im, m, table, tableLen / 4, 2);
        return;
    }
#endif
    std::fill(im, im + (1 << m), 0.0);
    stages(re, im, m, table, tableLen / 4);
}

double hertzPerBin(int timeBase, int points) {
    return OscScale::sampleRate(timeBase) / points;
}

} // namespace core
