// Japanese literals for the engine's Shift-JIS text.
//
// Sources are UTF-8, while every text the engine handles is Shift-JIS bytes. Write
// the literal as UTF-8 and take it through SjisLiteral: SjisLiteral<"在庫あり">()
// converts once, on first use, and hands back the same string afterwards.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>

#include "text/TextOps.h"

namespace vormla {

// A string literal usable as a template argument.
template <std::size_t N>
struct Utf8Literal {
  constexpr Utf8Literal(const char (&text)[N]) { std::copy_n(text, N, bytes); }  // NOLINT: implicit on purpose
  constexpr std::string_view View() const { return std::string_view(bytes, N - 1); }
  char bytes[N]{};
};

template <Utf8Literal Text>
const std::string& SjisLiteral() {
  static const std::string converted = Utf8ToSjis(Text.View());
  return converted;
}

}  // namespace vormla
