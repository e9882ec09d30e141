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

// Stage s: 2^s groups of `span` butterflies; group g turns by table entry reverse(g, m - 1).
void stages(double* re, double* im, int m, const double* table, int quarter) {
    for (int s = 0; s < m; ++s) {
        const int span = (1 << m) >> (s + 1);
        const int groups = 1 << s;
        stage(re, im, span, groups, m - 1, table, quarter);
    }
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

    stages(re, im, m, table, quarter);
}

void butterflies(double* re, double* im, int m, const double* table, int tableLen) {
    if (m < 0 || m > 30)
        return;
    std::fill(im, im + (1 << m), 0.0);
    stages(re, im, m, table, tableLen / 4);
}

double hertzPerBin(int timeBase, int points) {
    return OscScale::sampleRate(timeBase) / points;
}

} // namespace core
