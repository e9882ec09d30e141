#include "instruments/spectrum/spectrum.h"

#include "instruments/oscilloscope/oscscale.h"

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

double thdn(double* power, int n, double totalDb) {
    for (int i = 0; i < 2 && i < n; ++i)
        power[i] = 0.0;
    if (n < 1)
        return -1.0;

    double best = -100000.0;
    int index = -1;
    for (int i = 0; i < n; ++i) {
        if (power[i] > best) {
            best = power[i];
            index = i;
        }
    }
    if (index < 0)
        return -1.0;

    // Three bins below the fundamental and two above it; bins outside 0 .. n-1 would not count
    // in the residual anyway, so they are left alone.
    for (int j = index - 3; j <= index + 2; ++j) {
        if (j >= 0 && j < n)
            power[j] = 0.0;
    }

    double residual = 0.0;
    for (int i = 0; i < n; ++i)
        residual += power[i];
    // Levels are power decibels: 20 dB per decade of amplitude.
    return 100.0 * std::pow(10.0, (decabel(residual) - totalDb) / 20.0);
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

} // namespace

void windowedButterflies(double* re, double* im, int m, const double* table, int tableLen) {
    if (m < 0 || m > 30)
        return;
    const int n = 1 << m;
    const int quarter = tableLen / 4;

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

    // Stage s: 2^s groups of `span` butterflies; group g turns by table entry reverse(g, m - 1).
    for (int s = 0; s < m; ++s) {
        const int span = n >> (s + 1);
        const int groups = 1 << s;
        stage(re, im, span, groups, m - 1, table, quarter);
    }
}

double hertzPerBin(int timeBase, int points) {
    return OscScale::sampleRate(timeBase) / points;
}

} // namespace core
