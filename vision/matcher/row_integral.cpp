// SPDX-License-Identifier: GPL-3.0-or-later
#include "vision/matcher/row_integral.h"

#if defined(__GNUC__) && defined(__x86_64__)
#include <immintrin.h>
#define RAVELKIN_AVX2_ROWS 1
#endif

namespace vision {
namespace {

// Pixels [from, cols) one at a time, from the running sums the pixels before them reached.
void ExtendFrom(const std::uint8_t* in, int from, int cols, const std::uint32_t* sums_above,
                const std::uint32_t* squares_above, std::uint32_t* sums, std::uint32_t* squares,
                std::uint32_t sum, std::uint32_t square) {
    for (int x = from; x < cols; ++x) {
        const std::uint32_t b = in[3 * x], g = in[3 * x + 1], r = in[3 * x + 2];
        sum += b + g + r;
        square += b * b + g * g + r * r;
        sums[x + 1] = sums_above[x + 1] + sum;
        squares[x + 1] = squares_above[x + 1] + square;
    }
}

#ifdef RAVELKIN_AVX2_ROWS
// The running sums of eight values, carried on from the eight before: two shifted adds give
// each half its own, then the lower half's total joins the upper one.
__attribute__((target("avx2"))) inline __m256i RunningSums(__m256i v, __m256i& carry) {
    v = _mm256_add_epi32(v, _mm256_slli_si256(v, 4));
    v = _mm256_add_epi32(v, _mm256_slli_si256(v, 8));
    const __m256i low_total = _mm256_shuffle_epi32(_mm256_permute2x128_si256(v, v, 0x08), 0xff);
    v = _mm256_add_epi32(_mm256_add_epi32(v, low_total), carry);
    carry = _mm256_permutevar8x32_epi32(v, _mm256_set1_epi32(7));
    return v;
}

// Eight pixels at a time: their three bytes spread to one 32-bit lane each, whose channel
// sum and sum of squares come from multiply-adds. Returns how many pixels it did; it reads no
// byte past the row.
__attribute__((target("avx2"))) int ExtendAvx2(const std::uint8_t* in, int cols,
                                               const std::uint32_t* sums_above,
                                               const std::uint32_t* squares_above,
                                               std::uint32_t* sums, std::uint32_t* squares) {
    const __m256i spread =
        _mm256_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1,  //
                         0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    const __m256i ones8 = _mm256_set1_epi8(1);
    const __m256i ones16 = _mm256_set1_epi16(1);
    const __m256i low_bytes = _mm256_set1_epi16(0xff);
    __m256i sum_carry = _mm256_setzero_si256();
    __m256i square_carry = _mm256_setzero_si256();
    int x = 0;
    // Each eight loads 28 bytes, 4 past its own.
    for (; 3 * x + 28 <= 3 * cols; x += 8) {
        const std::uint8_t* p = in + 3 * x;
        const __m256i bytes =
            _mm256_shuffle_epi8(_mm256_loadu2_m128i(reinterpret_cast<const __m128i*>(p + 12),
                                                    reinterpret_cast<const __m128i*>(p)),
                                spread);
        const __m256i pixel_sums = _mm256_madd_epi16(_mm256_maddubs_epi16(bytes, ones8), ones16);
        const __m256i even = _mm256_and_si256(bytes, low_bytes);  // blue and red
        const __m256i odd = _mm256_srli_epi16(bytes, 8);          // green
        const __m256i pixel_squares =
            _mm256_add_epi32(_mm256_madd_epi16(even, even), _mm256_madd_epi16(odd, odd));
        const __m256i s = RunningSums(pixel_sums, sum_carry);
        const __m256i q = RunningSums(pixel_squares, square_carry);
        const auto* sums_up = reinterpret_cast<const __m256i*>(sums_above + x + 1);
        const auto* squares_up = reinterpret_cast<const __m256i*>(squares_above + x + 1);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(sums + x + 1),
                            _mm256_add_epi32(s, _mm256_loadu_si256(sums_up)));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(squares + x + 1),
                            _mm256_add_epi32(q, _mm256_loadu_si256(squares_up)));
    }
    return x;
}

bool HasAvx2() {
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}
#endif

}  // namespace

void ExtendIntegral(const std::uint8_t* in, int cols, const std::uint32_t* sums_above,
                    const std::uint32_t* squares_above, std::uint32_t* sums,
                    std::uint32_t* squares) {
    sums[0] = squares[0] = 0;
    int done = 0;
#ifdef RAVELKIN_AVX2_ROWS
    if (HasAvx2()) done = ExtendAvx2(in, cols, sums_above, squares_above, sums, squares);
#endif
    // The rest goes on from the running sums the eights reached.
    const auto reached = [done](const std::uint32_t* row, const std::uint32_t* above) {
        return done == 0 ? 0u : row[done] - above[done];
    };
    ExtendFrom(in, done, cols, sums_above, squares_above, sums, squares, reached(sums, sums_above),
               reached(squares, squares_above));
}

}  // namespace vision
