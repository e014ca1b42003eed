#pragma once
// Bitmap files built byte by byte, for the two readers of them: the viewer's and the simulator's;
// and fields patched into them, or into any binary file.
#include <cstdint>
#include <iterator>
#include <vector>

namespace zarvo::test {

// `b` with `n` bytes at `at` set to `v`, lowest first.
inline std::vector<std::uint8_t> Patched(std::vector<std::uint8_t> b, std::size_t at,
                                         std::uint32_t v, int n = 4) {
  for (int i = 0; i < n; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
  return b;
}

// A file with the 40-byte header (or a longer one whose tail is the first bytes of `extra`);
// `extra` (header tail, masks, colour table) and `pixels` follow, the offset pointing at pixels.
inline std::vector<std::uint8_t> InfoFile(std::int32_t width, std::int32_t height, int bits,
                                          int compression, int colours,
                                          const std::vector<std::uint8_t>& extra,
                                          const std::vector<std::uint8_t>& pixels,
                                          int headerSize = 40) {
  std::vector<std::uint8_t> b(54);
  b.insert(b.end(), extra.begin(), extra.end());
  b.insert(b.end(), pixels.begin(), pixels.end());
  const std::size_t at[] = {0, 2, 10, 14, 18, 22, 26, 28, 30, 46};
  const std::int64_t value[] = {
      'B' | 'M' << 8, std::ssize(b), 54 + std::ssize(extra), headerSize, width, height, 1, bits,
      compression,    colours};
  // Four bytes each, in order: a two-byte field's zero top is overwritten by the next field.
  for (int f = 0; f < 10; ++f) b = Patched(b, at[f], static_cast<std::uint32_t>(value[f]));
  return b;
}

}  // namespace zarvo::test
