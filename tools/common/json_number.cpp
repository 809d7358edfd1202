#include "tools/common/json_number.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>

// Digits by Grisu2 (Florian Loitsch, "Printing Floating-Point Numbers Quickly and Accurately with
// Integers", PLDI 2010, exponent window alpha = -60, gamma = -32), because those are the digits
// the tools' JSON has always had: Grisu2 round-trips, but for roughly one value in seven hundred
// it gives more digits than the shortest form, and an exactly shortest algorithm (std::to_chars)
// would change those numbers in files users already keep and compare.

namespace tarnwick::tools {
namespace {

// f * 2^e, f not necessarily normalized.
struct Binary {
    std::uint64_t f;
    int e;
};

// The upper 64 bits of the 128-bit product, rounded half up; 32-bit halves because 32-bit ARM
// has no 128-bit integer type.
Binary multiply(Binary x, Binary y) noexcept {
    const std::uint64_t x_lo = x.f & 0xFFFFFFFFu;
    const std::uint64_t x_hi = x.f >> 32;
    const std::uint64_t y_lo = y.f & 0xFFFFFFFFu;
    const std::uint64_t y_hi = y.f >> 32;
    const std::uint64_t lo_lo = x_lo * y_lo;
    const std::uint64_t lo_hi = x_lo * y_hi;
    const std::uint64_t hi_lo = x_hi * y_lo;
    const std::uint64_t hi_hi = x_hi * y_hi;
    std::uint64_t middle = (lo_lo >> 32) + (lo_hi & 0xFFFFFFFFu) + (hi_lo & 0xFFFFFFFFu);
    middle += std::uint64_t{1} << 31;
    return {hi_hi + (lo_hi >> 32) + (hi_lo >> 32) + (middle >> 32), x.e + y.e + 64};
}

Binary normalized(Binary x) noexcept {
    const int shift = std::countl_zero(x.f);
    return {x.f << shift, x.e - shift};
}

// The value and the two midpoints to its neighbours, the upper one normalized and the lower one
// at the upper one's exponent.
struct Boundaries {
    Binary value;
    Binary minus;
    Binary plus;
};

Boundaries boundaries_of(double value) noexcept {
    constexpr int bias = 1023 + 52;
    constexpr std::uint64_t hidden_bit = std::uint64_t{1} << 52;
    const auto bits = std::bit_cast<std::uint64_t>(value);
    const auto biased_exponent = static_cast<int>(bits >> 52);
    const std::uint64_t fraction = bits & (hidden_bit - 1);
    const Binary v = biased_exponent == 0 ? Binary{fraction, 1 - bias}
                                          : Binary{fraction + hidden_bit, biased_exponent - bias};
    // At a power of two the neighbour below is half as far away as the one above.
    const bool lower_is_closer = fraction == 0 && biased_exponent > 1;
    const Binary plus = normalized({2 * v.f + 1, v.e - 1});
    const Binary minus =
        lower_is_closer ? Binary{4 * v.f - 1, v.e - 2} : Binary{2 * v.f - 1, v.e - 1};
    return {normalized(v), {minus.f << (minus.e - plus.e), plus.e}, plus};
}

// Scaled by a cached power, the numbers get a binary exponent in [alpha, -32]: their integral
// part then fits 32 bits and the fraction keeps at least 32.
constexpr int alpha = -60;

struct CachedPower {
    std::uint64_t f;
    int e;
    int k;  // f * 2^e is about 10^k
};

// 10^k for k = -300, -292 … 340, rounded to 64 bits (nearest).
constexpr CachedPower cached_powers[] = {
    {0xAB70FE17C79AC6CA, -1060, -300}, {0xFF77B1FCBEBCDC4F, -1034, -292},
    {0xBE5691EF416BD60C, -1007, -284}, {0x8DD01FAD907FFC3C, -980, -276},
    {0xD3515C2831559A83, -954, -268},  {0x9D71AC8FADA6C9B5, -927, -260},
    {0xEA9C227723EE8BCB, -901, -252},  {0xAECC49914078536D, -874, -244},
    {0x823C12795DB6CE57, -847, -236},  {0xC21094364DFB5637, -821, -228},
    {0x9096EA6F3848984F, -794, -220},  {0xD77485CB25823AC7, -768, -212},
    {0xA086CFCD97BF97F4, -741, -204},  {0xEF340A98172AACE5, -715, -196},
    {0xB23867FB2A35B28E, -688, -188},  {0x84C8D4DFD2C63F3B, -661, -180},
    {0xC5DD44271AD3CDBA, -635, -172},  {0x936B9FCEBB25C996, -608, -164},
    {0xDBAC6C247D62A584, -582, -156},  {0xA3AB66580D5FDAF6, -555, -148},
    {0xF3E2F893DEC3F126, -529, -140},  {0xB5B5ADA8AAFF80B8, -502, -132},
    {0x87625F056C7C4A8B, -475, -124},  {0xC9BCFF6034C13053, -449, -116},
    {0x964E858C91BA2655, -422, -108},  {0xDFF9772470297EBD, -396, -100},
    {0xA6DFBD9FB8E5B88F, -369, -92},   {0xF8A95FCF88747D94, -343, -84},
    {0xB94470938FA89BCF, -316, -76},   {0x8A08F0F8BF0F156B, -289, -68},
    {0xCDB02555653131B6, -263, -60},   {0x993FE2C6D07B7FAC, -236, -52},
    {0xE45C10C42A2B3B06, -210, -44},   {0xAA242499697392D3, -183, -36},
    {0xFD87B5F28300CA0E, -157, -28},   {0xBCE5086492111AEB, -130, -20},
    {0x8CBCCC096F5088CC, -103, -12},   {0xD1B71758E219652C, -77, -4},
    {0x9C40000000000000, -50, 4},      {0xE8D4A51000000000, -24, 12},
    {0xAD78EBC5AC620000, 3, 20},       {0x813F3978F8940984, 30, 28},
    {0xC097CE7BC90715B3, 56, 36},      {0x8F7E32CE7BEA5C70, 83, 44},
    {0xD5D238A4ABE98068, 109, 52},     {0x9F4F2726179A2245, 136, 60},
    {0xED63A231D4C4FB27, 162, 68},     {0xB0DE65388CC8ADA8, 189, 76},
    {0x83C7088E1AAB65DB, 216, 84},     {0xC45D1DF942711D9A, 242, 92},
    {0x924D692CA61BE758, 269, 100},    {0xDA01EE641A708DEA, 295, 108},
    {0xA26DA3999AEF774A, 322, 116},    {0xF209787BB47D6B85, 348, 124},
    {0xB454E4A179DD1877, 375, 132},    {0x865B86925B9BC5C2, 402, 140},
    {0xC83553C5C8965D3D, 428, 148},    {0x952AB45CFA97A0B3, 455, 156},
    {0xDE469FBD99A05FE3, 481, 164},    {0xA59BC234DB398C25, 508, 172},
    {0xF6C69A72A3989F5C, 534, 180},    {0xB7DCBF5354E9BECE, 561, 188},
    {0x88FCF317F22241E2, 588, 196},    {0xCC20CE9BD35C78A5, 614, 204},
    {0x98165AF37B2153DF, 641, 212},    {0xE2A0B5DC971F303A, 667, 220},
    {0xA8D9D1535CE3B396, 694, 228},    {0xFB9B7CD9A4A7443C, 720, 236},
    {0xBB764C4CA7A44410, 747, 244},    {0x8BAB8EEFB6409C1A, 774, 252},
    {0xD01FEF10A657842C, 800, 260},    {0x9B10A4E5E9913129, 827, 268},
    {0xE7109BFBA19C0C9D, 853, 276},    {0xAC2820D9623BF429, 880, 284},
    {0x80444B5E7AA7CF85, 907, 292},    {0xBF21E44003ACDD2D, 933, 300},
    {0x8E679C2F5E44FF8F, 960, 308},    {0xD433179D9C8CB841, 986, 316},
    {0x9E19DB92B4E31BA9, 1013, 324},   {0xEB96BF6EBADF77D9, 1039, 332},
    {0xAF87023B9BF0EE6B, 1066, 340},
};

// A power c = 10^-k such that alpha <= e + c.e + 64 <= -32.
CachedPower cached_power_for(int e) noexcept {
    constexpr int min_decimal_exponent = -300;
    constexpr int step = 8;
    const int f = alpha - e - 1;
    // ceil(f * log10(2)) with log10(2) as 78913 / 2^18.
    const int k = (f * 78913) / (1 << 18) + static_cast<int>(f > 0);
    const int index = (-min_decimal_exponent + k + (step - 1)) / step;
    return cached_powers[index];
}

// The digits counted from the top: 10^(n-1) <= value < 10^n, n <= 10.
int decimal_length(std::uint32_t value, std::uint32_t& power) noexcept {
    constexpr std::uint32_t powers[] = {1,      10,      100,      1000,      10000,
                                        100000, 1000000, 10000000, 100000000, 1000000000};
    int n = 10;
    while (n > 1 && value < powers[n - 1]) {
        --n;
    }
    power = powers[n - 1];
    return n;
}

// Moves the last digit down while that brings the number closer to the value and keeps it
// inside the interval.
void round_towards_value(char* digits, int length, std::uint64_t distance, std::uint64_t delta,
                         std::uint64_t rest, std::uint64_t ten_k) noexcept {
    while (rest < distance && delta - rest >= ten_k &&
           (rest + ten_k < distance || distance - rest > rest + ten_k - distance)) {
        --digits[length - 1];
        rest += ten_k;
    }
}

// Digits of a number in [low, high] close to value, all three scaled to one exponent in
// [alpha, -32].
void generate_digits(char* digits, int& length, int& decimal_exponent, Binary low, Binary value,
                     Binary high) noexcept {
    std::uint64_t delta = high.f - low.f;
    std::uint64_t distance = high.f - value.f;
    const int shift = -high.e;
    const std::uint64_t one = std::uint64_t{1} << shift;
    auto integral = static_cast<std::uint32_t>(high.f >> shift);
    std::uint64_t fraction = high.f & (one - 1);

    std::uint32_t power = 1;
    int n = decimal_length(integral, power);
    while (n > 0) {
        const std::uint32_t digit = integral / power;
        integral %= power;
        digits[length++] = static_cast<char>('0' + digit);
        --n;
        const std::uint64_t rest = (std::uint64_t{integral} << shift) + fraction;
        if (rest <= delta) {
            decimal_exponent += n;
            round_towards_value(digits, length, distance, delta, rest,
                                std::uint64_t{power} << shift);
            return;
        }
        power /= 10;
    }
    int m = 0;
    for (;;) {
        fraction *= 10;
        digits[length++] = static_cast<char>('0' + (fraction >> shift));
        fraction &= one - 1;
        ++m;
        delta *= 10;
        distance *= 10;
        if (fraction <= delta) {
            break;
        }
    }
    decimal_exponent -= m;
    round_towards_value(digits, length, distance, delta, fraction, one);
}

// value = digits * 10^decimal_exponent, value finite and above zero.
int grisu2(char* digits, int& decimal_exponent, double value) noexcept {
    const Boundaries b = boundaries_of(value);
    const CachedPower cached = cached_power_for(b.plus.e);
    const Binary c{cached.f, cached.e};
    const Binary w = multiply(b.value, c);
    const Binary w_minus = multiply(b.minus, c);
    const Binary w_plus = multiply(b.plus, c);
    // One unit in from each end: the products may be off by up to one.
    int length = 0;
    decimal_exponent = -cached.k;
    generate_digits(digits, length, decimal_exponent, {w_minus.f + 1, w_minus.e}, w,
                    {w_plus.f - 1, w_plus.e});
    return length;
}

char* write_exponent(char* out, int e) noexcept {
    *out++ = e < 0 ? '-' : '+';
    auto k = static_cast<unsigned>(e < 0 ? -e : e);
    // At least two digits, as printf's %g.
    if (k >= 100) {
        *out++ = static_cast<char>('0' + k / 100);
        k %= 100;
    }
    *out++ = static_cast<char>('0' + k / 10);
    *out++ = static_cast<char>('0' + k % 10);
    return out;
}

// Plain notation for 10^-5 < value < 10^15, otherwise d.ddde+XX; a plain integer gets ".0".
char* lay_out(char* out, const char* digits, int k, int decimal_exponent) noexcept {
    constexpr int min_exponent = -4;
    constexpr int max_exponent = 15;
    const int n = k + decimal_exponent;  // where the decimal point goes
    if (k <= n && n <= max_exponent) {
        std::memcpy(out, digits, static_cast<std::size_t>(k));
        std::memset(out + k, '0', static_cast<std::size_t>(n - k));
        out += n;
        *out++ = '.';
        *out++ = '0';
        return out;
    }
    if (0 < n && n <= max_exponent) {
        std::memcpy(out, digits, static_cast<std::size_t>(n));
        out[n] = '.';
        std::memcpy(out + n + 1, digits + n, static_cast<std::size_t>(k - n));
        return out + k + 1;
    }
    if (min_exponent < n && n <= 0) {
        *out++ = '0';
        *out++ = '.';
        std::memset(out, '0', static_cast<std::size_t>(-n));
        out += -n;
        std::memcpy(out, digits, static_cast<std::size_t>(k));
        return out + k;
    }
    *out++ = digits[0];
    if (k > 1) {
        *out++ = '.';
        std::memcpy(out, digits + 1, static_cast<std::size_t>(k - 1));
        out += k - 1;
    }
    *out++ = 'e';
    return write_exponent(out, n - 1);
}

// Digits without an exponent however large or small the value: XML's decimals have none.
char* lay_out_plain(char* out, const char* digits, int k, int decimal_exponent) noexcept {
    const int n = k + decimal_exponent;
    if (n >= k) {
        std::memcpy(out, digits, static_cast<std::size_t>(k));
        std::memset(out + k, '0', static_cast<std::size_t>(n - k));
        return out + n;
    }
    if (n > 0) {
        std::memcpy(out, digits, static_cast<std::size_t>(n));
        out[n] = '.';
        std::memcpy(out + n + 1, digits + n, static_cast<std::size_t>(k - n));
        return out + k + 1;
    }
    *out++ = '0';
    *out++ = '.';
    std::memset(out, '0', static_cast<std::size_t>(-n));
    out += -n;
    std::memcpy(out, digits, static_cast<std::size_t>(k));
    return out + k;
}

using Layout = char* (*)(char*, const char*, int, int) noexcept;

char* write_number(char* out, double value, Layout layout, const char* zero) noexcept {
    if (std::signbit(value)) {
        *out++ = '-';
        value = -value;
    }
    if (value == 0) {
        const std::size_t size = std::strlen(zero);
        std::memcpy(out, zero, size);
        return out + size;
    }
    char digits[18];
    int decimal_exponent = 0;
    const int length = grisu2(digits, decimal_exponent, value);
    return layout(out, digits, length, decimal_exponent);
}

}  // namespace

char* write_json_number(char* out, double value) noexcept {
    return write_number(out, value, lay_out, "0.0");
}

char* write_plain_number(char* out, double value) noexcept {
    return write_number(out, value, lay_out_plain, "0");
}

double as_written(float value) noexcept {
    char shortest[32];
    const auto written = std::to_chars(std::begin(shortest), std::end(shortest), value);
    double widened = value;
    std::from_chars(std::begin(shortest), written.ptr, widened);
    return widened;
}

}  // namespace tarnwick::tools
