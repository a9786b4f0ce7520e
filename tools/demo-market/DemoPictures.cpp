// The demo market's pictures: which picture paths exist, and for each a tiny valid
// 4x4 RGB PNG whose colours and text chunk come from its path, so every picture
// has its own bytes.
#include <array>
#include <cctype>
#include <cstdint>
#include <string>

#include "demo-market/DemoCatalog.h"
#include "demo-market/DemoText.h"

namespace vormla::demo {

namespace {

std::uint32_t Crc32(const std::string& bytes) {
  static const std::array<std::uint32_t, 256> table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t n = 0; n < 256; ++n) {
      std::uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320U ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  std::uint32_t c = 0xFFFFFFFFU;
  for (unsigned char b : bytes) c = table[(c ^ b) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFU;
}

void Put32(std::string& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((v >> shift) & 0xFF);
}

void Chunk(std::string& out, const char* type, const std::string& data) {
  Put32(out, static_cast<std::uint32_t>(data.size()));
  const std::string body = std::string(type, 4) + data;
  out += body;
  Put32(out, Crc32(body));
}

}  // namespace

std::optional<std::string> Catalog::Picture(const std::string& path, bool serveMissing) const {
  // "/img/<supplier>/<code>_<nn>.png", "_t<nn>" (thumbnails) or "_x<nn>" (missing).
  const std::string prefix = "/img/";
  if (path.rfind(prefix, 0) != 0) return std::nullopt;
  const std::string rest = path.substr(prefix.size());
  const size_t slash = rest.find('/');
  if (slash == std::string::npos) return std::nullopt;
  const std::string supplier = rest.substr(0, slash);
  const std::string file = rest.substr(slash + 1);
  if (file.size() < 12 || file[10] != '_') return std::nullopt;
  if (!KeyFromPath(supplier, file.substr(0, 10))) return std::nullopt;
  std::string tag = file.substr(11);
  if (tag.size() < 6 || tag.substr(tag.size() - 4) != ".png") return std::nullopt;
  tag.resize(tag.size() - 4);
  bool missing = false;
  if (tag[0] == 't')
    tag.erase(0, 1);
  else if (tag[0] == 'x') {
    tag.erase(0, 1);
    missing = true;
  }
  if (tag.size() != 2 || !std::isdigit(static_cast<unsigned char>(tag[0])) ||
      !std::isdigit(static_cast<unsigned char>(tag[1])))
    return std::nullopt;
  if (missing && !serveMissing) return std::nullopt;
  return PngFor(path);
}

std::string PngFor(const std::string& seed) {
  constexpr int kSide = 4;
  std::string raw;  // filter byte 0, then RGB per pixel, per row
  std::uint64_t h = HashText(seed);
  for (int y = 0; y < kSide; ++y) {
    raw += '\0';
    for (int x = 0; x < kSide * 3; ++x) {
      h = Mix(h);
      raw += static_cast<char>(h & 0xFF);
    }
  }
  // zlib stream with one stored (uncompressed) deflate block.
  std::string z = "\x78\x01";
  z += '\x01';
  const auto len = static_cast<std::uint16_t>(raw.size());
  z += static_cast<char>(len & 0xFF);
  z += static_cast<char>(len >> 8);
  const auto nlen = static_cast<std::uint16_t>(~len);
  z += static_cast<char>(nlen & 0xFF);
  z += static_cast<char>(nlen >> 8);
  z += raw;
  std::uint32_t a = 1, b = 0;
  for (unsigned char c : raw) {
    a = (a + c) % 65521;
    b = (b + a) % 65521;
  }
  Put32(z, (b << 16) | a);

  std::string ihdr;
  Put32(ihdr, kSide);
  Put32(ihdr, kSide);
  ihdr += '\x08';  // bit depth
  ihdr += '\x02';  // truecolour
  ihdr += std::string(3, '\0');

  std::string png = "\x89PNG\r\n\x1a\n";
  Chunk(png, "IHDR", ihdr);
  Chunk(png, "tEXt", std::string("Comment") + '\0' + seed);
  Chunk(png, "IDAT", z);
  Chunk(png, "IEND", "");
  return png;
}

}  // namespace vormla::demo
