// x87 extended arithmetic in software, on MPFR: a 64-bit precision, the exponent range set to
// the x87's for each operation and mpfr_subnormalize for its gradual underflow give the x87's
// correctly rounded results. What MPFR has no notion of is written here: the encodings (the
// explicit integer bit, pseudo-denormals, the refused ones), NaN payloads and which NaN an
// operation passes on, and the choice among shortest decimal texts.
#include "config/Extended.h"

#include <stdint.h>  // before mpfr.h, for its uintmax_t functions
#define MPFR_USE_INTMAX_T
#include <mpfr.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>

namespace {
constexpr std::uint64_t IntegerBit = 1ULL << 63;
constexpr std::uint64_t QuietBit = 1ULL << 62;
// What the x87 gives for an invalid operation: the negative "real indefinite" quiet NaN.
constexpr std::uint16_t IndefiniteSignAndExponent = 0xFFFF;
constexpr std::uint64_t IndefiniteSignificand = 0xC000000000000000ULL;
// A value 2^E (MPFR's exponent E means 0.5 <= m < 1): the least denormal 2^-16445 has E = -16444,
// the largest finite value just under 2^16384 has E = 16384.
constexpr mpfr_exp_t X87Emin = -16444;
constexpr mpfr_exp_t X87Emax = 16384;

Extended Indefinite() { return Extended::FromBits(IndefiniteSignAndExponent, IndefiniteSignificand); }

enum class Kind { Zero, Finite, Infinite, NaN, Refused };

Kind KindOf(const Extended& v) {
  const unsigned exponent = v.SignAndExponent() & 0x7FFFu;
  const std::uint64_t significand = v.Significand();
  if (exponent == 0x7FFF) {
    if ((significand & IntegerBit) == 0) return Kind::Refused;  // pseudo-infinity, pseudo-NaN
    return (significand << 1) == 0 ? Kind::Infinite : Kind::NaN;
  }
  if (exponent == 0) return significand == 0 ? Kind::Zero : Kind::Finite;  // denormal or pseudo-denormal
  return (significand & IntegerBit) != 0 ? Kind::Finite : Kind::Refused;   // unnormal, pseudo-zero
}

// The x87 exponent range for one operation, the caller's range put back afterwards. MPFR keeps
// the range per thread when built thread-safe (Debian's is); otherwise one lock serialises it.
class X87Range {
 public:
  X87Range() : lock_(Mutex(), std::defer_lock) {
    if (!mpfr_buildopt_tls_p()) lock_.lock();
    emin_ = mpfr_get_emin();
    emax_ = mpfr_get_emax();
    mpfr_set_emin(X87Emin);
    mpfr_set_emax(X87Emax);
  }
  ~X87Range() {
    mpfr_set_emin(emin_);
    mpfr_set_emax(emax_);
  }
  X87Range(const X87Range&) = delete;
  X87Range& operator=(const X87Range&) = delete;

 private:
  static std::mutex& Mutex() {
    static std::mutex mutex;
    return mutex;
  }
  std::unique_lock<std::mutex> lock_;
  mpfr_exp_t emin_ = 0, emax_ = 0;
};

// A number (not NaN, not refused) into x, exactly; x has 64 bits of precision.
void Decode(const Extended& v, mpfr_t x) {
  const bool negative = v.IsNegative();
  switch (KindOf(v)) {
    case Kind::Zero: mpfr_set_zero(x, negative ? -1 : 1); return;
    case Kind::Infinite: mpfr_set_inf(x, negative ? -1 : 1); return;
    case Kind::Finite: {
      // A denormal and a pseudo-denormal both weigh their significand with the exponent of 1.
      const int exponent = std::max(1, v.SignAndExponent() & 0x7FFF);
      mpfr_set_uj_2exp(x, v.Significand(), exponent - 16383 - 63, MPFR_RNDN);
      if (negative) mpfr_neg(x, x, MPFR_RNDN);
      return;
    }
    case Kind::NaN:
    case Kind::Refused: break;
  }
  mpfr_set_nan(x);
}

// x, already rounded to the x87's range and precision, as its ten bytes.
Extended Encode(const mpfr_t x) {
  if (mpfr_nan_p(x)) return Indefinite();
  const std::uint16_t sign = mpfr_signbit(x) ? 0x8000 : 0;
  if (mpfr_inf_p(x)) return Extended::FromBits(sign | 0x7FFF, IntegerBit);
  if (mpfr_zero_p(x)) return Extended::FromBits(sign, 0);
  const mpfr_exp_t e = mpfr_get_exp(x);
  const long biased = static_cast<long>(e) - 1 + 16383;
  MPFR_DECL_INIT(scaled, 64);
  // Normal: the significand is |x| / 2^(e-64); denormal: |x| / 2^-16445, exponent field 0.
  mpfr_abs(scaled, x, MPFR_RNDN);
  mpfr_mul_2si(scaled, scaled, biased >= 1 ? 64 - e : 16445, MPFR_RNDN);
  const auto significand = static_cast<std::uint64_t>(mpfr_get_uj(scaled, MPFR_RNDN));
  return Extended::FromBits(static_cast<std::uint16_t>(sign | (biased >= 1 ? biased : 0)), significand);
}

// Rounds an exact result held at 64 bits (ternary from the operation) into the denormal range.
Extended Finish(mpfr_t x, int ternary) {
  mpfr_subnormalize(x, ternary, MPFR_RNDN);
  return Encode(x);
}

bool IsSignalling(const Extended& v) { return (v.Significand() & QuietBit) == 0; }
Extended Quieted(const Extended& v) { return Extended::FromBits(v.SignAndExponent(), v.Significand() | QuietBit); }

// The NaN an operation with at least one NaN operand gives: a quiet NaN over a signalling
// one, else the larger significand, quieted (on equal significands the positive one).
Extended PassOnNaN(const Extended& a, const Extended& b) {
  const bool aNaN = KindOf(a) == Kind::NaN, bNaN = KindOf(b) == Kind::NaN;
  if (!bNaN) return Quieted(a);
  if (!aNaN) return Quieted(b);
  if (IsSignalling(a) != IsSignalling(b)) return IsSignalling(a) ? b : a;
  if (a.Significand() != b.Significand()) return Quieted(a.Significand() > b.Significand() ? a : b);
  return Quieted(a.IsNegative() ? b : a);
}

using Operation = int (*)(mpfr_ptr, mpfr_srcptr, mpfr_srcptr, mpfr_rnd_t);

Extended Arithmetic(Operation operation, const Extended& a, const Extended& b) {
  const Kind ka = KindOf(a), kb = KindOf(b);
  if (ka == Kind::Refused || kb == Kind::Refused) return Indefinite();
  if (ka == Kind::NaN || kb == Kind::NaN) return PassOnNaN(a, b);
  X87Range range;
  MPFR_DECL_INIT(x, 64);
  MPFR_DECL_INIT(y, 64);
  Decode(a, x);
  Decode(b, y);
  // Invalid operations (inf - inf, 0 x inf, 0/0, inf/inf) come out of MPFR as NaN: Encode
  // turns that into the indefinite.
  const int ternary = operation(x, x, y, MPFR_RNDN);
  return Finish(x, ternary);
}

// The decimal text digits x 10^exponent10 read back, rounded as ParseDecimal rounds it.
Extended ReadBack(const std::string& digits, long exponent10) {
  const std::string text = digits + "e" + std::to_string(exponent10);
  X87Range range;
  MPFR_DECL_INIT(x, 64);
  const int ternary = mpfr_strtofr(x, text.c_str(), nullptr, 10, MPFR_RNDN);
  return Finish(x, ternary);
}

// |value| as the integer significand x 2^power2 it is.
struct Binary {
  std::uint64_t significand;
  long power2;
};
Binary BinaryOf(const Extended& v) {
  return {v.Significand(), static_cast<long>(std::max(1, v.SignAndExponent() & 0x7FFF)) - 16383 - 63};
}

// Whether `value` lies nearer the decimal `high` than `low` (both `count` digits over the same
// power of ten 10^power10): 2 x value against low + high, compared exactly in integers.
// Returns -1 nearer low, 1 nearer high, 0 exactly between.
int Nearer(const Binary& value, const std::string& low, const std::string& high, long power10) {
  mpz_t left, right, t;
  mpz_init_set_ui(left, 0);
  mpz_init_set_str(right, low.c_str(), 10);
  mpz_init_set_str(t, high.c_str(), 10);
  mpz_add(right, right, t);
  mpz_import(left, 1, 1, sizeof value.significand, 0, 0, &value.significand);
  // left = significand x 2^(power2 + 1), right = (low + high) x 5^power10 x 2^power10.
  long twos = value.power2 + 1 - power10;  // powers of two on the left beyond the right's
  if (power10 >= 0) {
    mpz_ui_pow_ui(t, 5, static_cast<unsigned long>(power10));
    mpz_mul(right, right, t);
  } else {
    mpz_ui_pow_ui(t, 5, static_cast<unsigned long>(-power10));
    mpz_mul(left, left, t);
  }
  if (twos >= 0) {
    mpz_mul_2exp(left, left, static_cast<mp_bitcnt_t>(twos));
  } else {
    mpz_mul_2exp(right, right, static_cast<mp_bitcnt_t>(-twos));
  }
  const int order = mpz_cmp(left, right);
  mpz_clears(left, right, t, nullptr);
  return order < 0 ? -1 : order > 0 ? 1 : 0;
}

DecimalDigits DigitsOf(const Extended& value, int count, mpfr_rnd_t rounding) {
  MPFR_DECL_INIT(x, 64);
  Decode(Extended::FromBits(value.SignAndExponent() & 0x7FFF, value.Significand()), x);
  mpfr_exp_t e = 0;
  char* text = mpfr_get_str(nullptr, &e, 10, static_cast<std::size_t>(count), x, rounding);
  DecimalDigits d{value.IsNegative(), text, static_cast<int>(e - 1)};
  mpfr_free_str(text);
  return d;
}
}  // namespace

namespace SoftExtended {
Extended Add(const Extended& a, const Extended& b) { return Arithmetic(mpfr_add, a, b); }
Extended Subtract(const Extended& a, const Extended& b) { return Arithmetic(mpfr_sub, a, b); }
Extended Multiply(const Extended& a, const Extended& b) { return Arithmetic(mpfr_mul, a, b); }
Extended Divide(const Extended& a, const Extended& b) { return Arithmetic(mpfr_div, a, b); }

// The x87 changes the sign of whatever it holds, NaN or refused encoding alike.
Extended Negate(const Extended& a) {
  return Extended::FromBits(static_cast<std::uint16_t>(a.SignAndExponent() ^ 0x8000), a.Significand());
}

int Compare(const Extended& a, const Extended& b) {
  const Kind ka = KindOf(a), kb = KindOf(b);
  if (ka == Kind::Refused || kb == Kind::Refused || ka == Kind::NaN || kb == Kind::NaN) return 2;
  MPFR_DECL_INIT(x, 64);
  MPFR_DECL_INIT(y, 64);
  Decode(a, x);
  Decode(b, y);
  const int order = mpfr_cmp(x, y);
  return order < 0 ? -1 : order > 0 ? 1 : 0;
}

Extended FromInt(std::int32_t value) {
  MPFR_DECL_INIT(x, 64);
  mpfr_set_si(x, value, MPFR_RNDN);
  return Encode(x);
}

Extended FromDouble(double value) {
  std::uint64_t bits;
  std::memcpy(&bits, &value, 8);
  const std::uint16_t sign = (bits >> 63) != 0 ? 0x8000 : 0;
  if (((bits >> 52) & 0x7FF) == 0x7FF && (bits << 12) != 0)  // a NaN keeps its payload, made quiet
    return Extended::FromBits(sign | 0x7FFF, IntegerBit | QuietBit | (bits << 11));
  MPFR_DECL_INIT(x, 64);
  mpfr_set_d(x, value, MPFR_RNDN);
  return Encode(x);
}

Extended ParseDecimal(const std::string& text) {
  if (!IsDecimalNumberText(text)) return Extended::FromBits(0x7FFF, IndefiniteSignificand);
  X87Range range;
  MPFR_DECL_INIT(x, 64);
  const int ternary = mpfr_strtofr(x, text.c_str(), nullptr, 10, MPFR_RNDN);
  return Finish(x, ternary);
}

DecimalDigits ShortestDigits(const Extended& value) {
  const Extended magnitude = Extended::FromBits(value.SignAndExponent() & 0x7FFF, value.Significand());
  if (magnitude.IsZero()) return {value.IsNegative(), "0", 0};
  // The same value in its normal encoding, which is what a reading back gives.
  const DecimalDigits exact = DigitsOf(magnitude, 21, MPFR_RNDN);
  const Extended target = ReadBack(exact.digits, exact.exponent10 - 20);
  // Reading back only gets easier with more digits (the nearer decimals of `count` digits are
  // decimals of count + 1 digits too), so the fewest digits that do is found by bisection.
  const auto fits = [&](const DecimalDigits& d, int count) {
    return ReadBack(d.digits, d.exponent10 - (count - 1)) == target;
  };
  int fewest = 21;
  for (int low = 1, high = 21; low <= high;) {
    const int count = (low + high) / 2;
    if (fits(DigitsOf(magnitude, count, MPFR_RNDZ), count) || fits(DigitsOf(magnitude, count, MPFR_RNDA), count)) {
      fewest = count;
      high = count - 1;
    } else {
      low = count + 1;
    }
  }
  {
    const int count = fewest;
    // The decimals of `count` digits nearest below and above; any that reads back lies
    // between them and the value, so one of them reads back too.
    const DecimalDigits low = DigitsOf(magnitude, count, MPFR_RNDZ);
    const DecimalDigits high = DigitsOf(magnitude, count, MPFR_RNDA);
    const bool lowFits = fits(low, count);
    const bool highFits = fits(high, count);
    DecimalDigits chosen = lowFits ? low : high;
    if (lowFits && highFits && low.digits != high.digits) {
      // high may have carried into one more place (999 -> 1000): then it is over a higher power.
      const long power10 = low.exponent10 - (count - 1);
      std::string highDigits = high.digits;
      if (high.exponent10 != low.exponent10) highDigits += "0";
      const int side = Nearer(BinaryOf(target), low.digits, highDigits, power10);
      if (side > 0 || (side == 0 && (high.digits.back() - '0') % 2 == 0)) chosen = high;
    }
    chosen.negative = value.IsNegative();
    return chosen;
  }
}

DecimalDigits RoundedDigits(const Extended& value, int count) {
  const Extended magnitude = Extended::FromBits(value.SignAndExponent() & 0x7FFF, value.Significand());
  if (magnitude.IsZero()) return {value.IsNegative(), std::string(static_cast<std::size_t>(count), '0'), 0};
  DecimalDigits d = DigitsOf(magnitude, count, MPFR_RNDN);
  d.negative = value.IsNegative();
  return d;
}

NumberText GeneralText(const Extended& value, int count) {
  const DecimalDigits rounded = RoundedDigits(value, count);
  std::string_view digits = rounded.digits;
  while (digits.size() > 1 && digits.back() == '0') digits.remove_suffix(1);
  const int e = rounded.exponent10;
  std::string text = rounded.negative ? "-" : "";
  if (e >= -4 && e < count) {
    if (e < 0) {
      text.append("0.").append(static_cast<std::size_t>(-e - 1), '0').append(digits);
    } else if (const auto whole = static_cast<std::size_t>(e) + 1; digits.size() <= whole) {
      text.append(digits).append(whole - digits.size(), '0');
    } else {
      text.append(digits.substr(0, whole)).append(".").append(digits.substr(whole));
    }
  } else {
    text += digits[0];
    if (digits.size() > 1) text.append(".").append(digits.substr(1));
    const std::string power = std::to_string(e < 0 ? -e : e);
    text.append(e < 0 ? "e-" : "e+").append(power.size() < 2 ? "0" : "").append(power);
  }
  NumberText result;
  result.size = std::min(text.size(), result.chars.size());
  std::copy_n(text.begin(), result.size, result.chars.begin());
  return result;
}
}  // namespace SoftExtended
