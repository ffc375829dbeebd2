#include "fileinfo/TextHelpers.h"

#include <cmath>

namespace fileinfo_detail {

std::string_view TrimRight(std::string_view S) {
  size_t End = S.size();
  while (End > 0 && IsBlankOrControl(static_cast<unsigned char>(S[End - 1])))
    --End;
  return S.substr(0, End);
}

std::string_view Trim(std::string_view S) {
  S = TrimRight(S);
  size_t Begin = 0;
  while (Begin < S.size() && IsBlankOrControl(static_cast<unsigned char>(S[Begin])))
    ++Begin;
  return S.substr(Begin);
}

void AppendUtf8(std::string &Out, uint32_t C) {
  if (C < 0x80) {
    Out += static_cast<char>(C);
  } else if (C < 0x800) {
    Out += static_cast<char>(0xC0 | (C >> 6));
    Out += static_cast<char>(0x80 | (C & 0x3F));
  } else if (C < 0x10000) {
    Out += static_cast<char>(0xE0 | (C >> 12));
    Out += static_cast<char>(0x80 | ((C >> 6) & 0x3F));
    Out += static_cast<char>(0x80 | (C & 0x3F));
  } else {
    Out += static_cast<char>(0xF0 | (C >> 18));
    Out += static_cast<char>(0x80 | ((C >> 12) & 0x3F));
    Out += static_cast<char>(0x80 | ((C >> 6) & 0x3F));
    Out += static_cast<char>(0x80 | (C & 0x3F));
  }
}

std::string Utf16ToUtf8(const uint16_t *Units, size_t Count) {
  std::string Out;
  Out.reserve(Count);
  for (size_t I = 0; I < Count; ++I) {
    const uint32_t U = Units[I];
    if (U >= 0xD800 && U <= 0xDBFF && I + 1 < Count && Units[I + 1] >= 0xDC00 && Units[I + 1] <= 0xDFFF) {
      AppendUtf8(Out, 0x10000 + ((U - 0xD800) << 10) + (Units[I + 1] - 0xDC00u));
      ++I;
    } else if (U >= 0xD800 && U <= 0xDFFF) {
      Out += '?';
    } else {
      AppendUtf8(Out, U);
    }
  }
  return Out;
}

int32_t DecimalOrZero(std::string_view S) {
  size_t I = 0;
  bool Negative = false;
  if (I < S.size() && (S[I] == '+' || S[I] == '-')) {
    Negative = S[I] == '-';
    ++I;
  }
  if (I == S.size())
    return 0;
  int64_t Value = 0;
  for (; I < S.size(); ++I) {
    if (S[I] < '0' || S[I] > '9')
      return 0;
    Value = Value * 10 + (S[I] - '0');
    if (Value > int64_t{INT32_MAX} + 1)
      return 0;
  }
  if (Negative)
    Value = -Value;
  if (Value > INT32_MAX || Value < INT32_MIN)
    return 0;
  return static_cast<int32_t>(Value);
}

int64_t RoundHalfEven(double Value) {
  if (!std::isfinite(Value) || Value >= 9.2e18 || Value <= -9.2e18)
    return 0;
  double Whole = std::floor(Value);
  const double Fraction = Value - Whole;
  if (Fraction > 0.5 || (Fraction == 0.5 && std::fmod(Whole, 2.0) != 0.0))
    Whole += 1.0;
  return static_cast<int64_t>(Whole);
}

std::string_view Utf8Prefix(std::string_view S, size_t MaxBytes) {
  if (S.size() <= MaxBytes)
    return S;
  auto IsContinuation = [&](size_t I) { return (static_cast<unsigned char>(S[I]) & 0xC0) == 0x80; };
  // Step back over at most three continuation bytes so the cut falls before a lead byte;
  // bytes that are not UTF-8 at all are cut where the limit falls.
  size_t End = MaxBytes;
  for (int Steps = 0; End > 0 && Steps < 3 && IsContinuation(End); ++Steps)
    --End;
  if (IsContinuation(End))
    End = MaxBytes;
  return S.substr(0, End);
}

std::string_view WithoutCutSequence(std::string_view S) {
  // The last lead byte among the final four bytes tells how long its sequence should be.
  for (size_t Back = 1; Back <= 4 && Back <= S.size(); ++Back) {
    const auto C = static_cast<unsigned char>(S[S.size() - Back]);
    if ((C & 0xC0) == 0x80)
      continue; // a continuation byte: look further back
    const size_t Needed = C >= 0xF0 ? 4 : C >= 0xE0 ? 3 : C >= 0xC0 ? 2 : 1;
    return Needed > Back ? S.substr(0, S.size() - Back) : S;
  }
  return S;
}

} // namespace fileinfo_detail
