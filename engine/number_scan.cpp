// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/number_scan.h"

#include <charconv>
#include <limits>

namespace engine {
namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

void SkipSpace(std::string_view text, std::size_t& pos) {
    while (pos < text.size() && IsSpace(text[pos])) ++pos;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

enum class Field { kOk, kMismatch, kOutOfRange };

Field ReadInt(std::string_view text, std::size_t& pos, std::int32_t* out) {
    SkipSpace(text, pos);
    std::size_t p = pos;
    bool negative = false;
    if (p < text.size() && (text[p] == '+' || text[p] == '-')) negative = text[p++] == '-';
    if (p >= text.size() || !IsDigit(text[p])) return Field::kMismatch;
    // Accumulate as a negative magnitude so that INT32_MIN fits.
    constexpr std::int64_t kMin = std::numeric_limits<std::int32_t>::min();
    std::int64_t value = 0;
    bool overflow = false;
    while (p < text.size() && IsDigit(text[p])) {
        if (!overflow) {
            value = value * 10 - (text[p] - '0');
            if (value < kMin) overflow = true;
        }
        ++p;
    }
    pos = p;
    if (!negative) value = -value;
    if (overflow || value > std::numeric_limits<std::int32_t>::max()) return Field::kOutOfRange;
    *out = static_cast<std::int32_t>(value);
    return Field::kOk;
}

Field ReadReal(std::string_view text, std::size_t& pos, double* out) {
    SkipSpace(text, pos);
    std::size_t p = pos;
    // from_chars takes no leading plus; the C scan does.
    if (p < text.size() && text[p] == '+' && !(p + 1 < text.size() && text[p + 1] == '-')) {
        ++p;
    }
    double value = 0;
    const auto result = std::from_chars(text.data() + p, text.data() + text.size(), value);
    if (result.ec == std::errc::invalid_argument) return Field::kMismatch;
    // Out of range for a double: the C scan gives infinity or zero; so do we.
    if (result.ec == std::errc::result_out_of_range) {
        value = (text[p] == '-') ? -std::numeric_limits<double>::infinity()
                                 : std::numeric_limits<double>::infinity();
        const std::string_view digits =
            text.substr(p, static_cast<std::size_t>(result.ptr - (text.data() + p)));
        // A tiny value underflows rather than overflows.
        const auto e = digits.find_first_of("eE");
        if (e != std::string_view::npos && e + 1 < digits.size() && digits[e + 1] == '-') {
            value = 0;
        }
    }
    pos = static_cast<std::size_t>(result.ptr - text.data());
    *out = value;
    return Field::kOk;
}

}  // namespace

int ScanNumbers(std::string_view text, std::string_view pattern,
                std::initializer_list<ScanTarget> targets) {
    std::size_t pos = 0;
    int converted = 0;
    auto target = targets.begin();
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        if (c == ' ') {
            SkipSpace(text, pos);
            continue;
        }
        if (c != '%') {
            if (pos >= text.size() || text[pos] != c) return converted;
            ++pos;
            continue;
        }
        if (target == targets.end()) return converted;
        Field field;
        if (pattern.substr(i, 3) == "%lf") {
            field = ReadReal(text, pos, std::get<double*>(*target));
            i += 2;
        } else {
            field = ReadInt(text, pos, std::get<std::int32_t*>(*target));
            i += 1;
        }
        if (field == Field::kOutOfRange) return kOutOfRange;
        if (field == Field::kMismatch) return converted;
        ++converted;
        ++target;
    }
    return converted;
}

}  // namespace engine
