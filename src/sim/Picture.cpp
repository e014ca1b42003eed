#include "sim/Picture.h"

#include <bit>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace zarvo::sim {
namespace {

std::uint8_t Luma(unsigned r, unsigned g, unsigned b) {
  return static_cast<std::uint8_t>((r * 299 + g * 587 + b * 114) / 1000);
}

// Byte-oriented cursor over a PGM header and its ASCII body.
class PgmScanner {
 public:
  explicit PgmScanner(const std::vector<std::uint8_t>& bytes) : bytes_(bytes) {}

  std::size_t Pos() const { return pos_; }
  void Skip(std::size_t n) { pos_ += n; }

  // Whitespace and # comments up to the end of their line.
  void SkipSpace() {
    while (pos_ < bytes_.size()) {
      const std::uint8_t c = bytes_[pos_];
      if (c == '#') {
        while (pos_ < bytes_.size() && bytes_[pos_] != '\n' && bytes_[pos_] != '\r') ++pos_;
      } else if (IsSpace(c)) {
        ++pos_;
      } else {
        return;
      }
    }
  }

  // A decimal number of at most 9 digits (larger values are never sane here).
  bool Number(long& value) {
    SkipSpace();
    const std::size_t start = pos_;
    value = 0;
    while (pos_ < bytes_.size() && bytes_[pos_] >= '0' && bytes_[pos_] <= '9') {
      if (pos_ - start >= 9) return false;
      value = value * 10 + (bytes_[pos_] - '0');
      ++pos_;
    }
    if (pos_ == start) return false;
    // A number must end at whitespace, a comment or the end of the file.
    return pos_ == bytes_.size() || IsSpace(bytes_[pos_]) || bytes_[pos_] == '#';
  }

  static bool IsSpace(std::uint8_t c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
  }

 private:
  const std::vector<std::uint8_t>& bytes_;
  std::size_t pos_ = 0;
};

bool DecodePgm(const std::vector<std::uint8_t>& bytes, GreyImage& out, std::string& error) {
  const bool binary = bytes[1] == '5';
  PgmScanner scan(bytes);
  scan.Skip(2);
  if (bytes.size() < 3 || !PgmScanner::IsSpace(bytes[2])) {
    error = "bad PGM header after the magic number";
    return false;
  }
  long width = 0, height = 0, maxValue = 0;
  if (!scan.Number(width) || !scan.Number(height) || !scan.Number(maxValue)) {
    error = "bad or truncated PGM header (width, height, maximum value)";
    return false;
  }
  if (width < 1 || height < 1 || width > MaxPictureSide || height > MaxPictureSide) {
    error = "PGM size " + std::to_string(width) + "x" + std::to_string(height) + " is outside 1.." +
            std::to_string(MaxPictureSide);
    return false;
  }
  if (maxValue < 1 || maxValue > 65535) {
    error = "PGM maximum value " + std::to_string(maxValue) + " is outside 1..65535";
    return false;
  }
  if (binary && maxValue > 255) {
    error = "16-bit binary PGM is not supported (maximum value " + std::to_string(maxValue) + ")";
    return false;
  }
  const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  GreyImage image{static_cast<int>(width), static_cast<int>(height), {}};
  image.Pixels.resize(count);
  auto scaled = [maxValue](long v) {
    return static_cast<std::uint8_t>((v * 255 + maxValue / 2) / maxValue);
  };
  if (binary) {
    // Exactly one whitespace byte separates the maximum value from the samples.
    const std::size_t data = scan.Pos() + 1;
    if (data < bytes.size() && !PgmScanner::IsSpace(bytes[data - 1])) {
      error = "bad PGM header: no whitespace before the samples";
      return false;
    }
    if (data > bytes.size() || bytes.size() - data < count) {
      error = "truncated PGM data: " + std::to_string(count) + " bytes expected";
      return false;
    }
    for (std::size_t i = 0; i < count; ++i) {
      const long v = bytes[data + i];
      if (v > maxValue) {
        error = "PGM sample " + std::to_string(v) + " above the maximum value";
        return false;
      }
      image.Pixels[i] = scaled(v);
    }
  } else {
    for (std::size_t i = 0; i < count; ++i) {
      long v = 0;
      if (!scan.Number(v)) {
        error = "bad or truncated PGM data at sample " + std::to_string(i);
        return false;
      }
      if (v > maxValue) {
        error = "PGM sample " + std::to_string(v) + " above the maximum value";
        return false;
      }
      image.Pixels[i] = scaled(v);
    }
  }
  out = std::move(image);
  return true;
}

std::uint32_t U32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return static_cast<std::uint32_t>(b[at]) | static_cast<std::uint32_t>(b[at + 1]) << 8 |
         static_cast<std::uint32_t>(b[at + 2]) << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}
std::uint16_t U16(const std::vector<std::uint8_t>& b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}

// One colour channel of a BI_BITFIELDS pixel, scaled to 0..255.
struct Channel {
  std::uint32_t Mask = 0;
  int Shift = 0;
  std::uint32_t Max = 0;

  bool Set(std::uint32_t mask) {
    Mask = mask;
    if (mask == 0) return false;
    Shift = std::countr_zero(mask);
    Max = mask >> Shift;
    return (Max & (Max + 1)) == 0;  // contiguous bits only
  }
  unsigned Of(std::uint32_t pixel) const {
    const std::uint64_t v = (pixel & Mask) >> Shift;
    return static_cast<unsigned>((v * 255 + Max / 2) / Max);
  }
};

bool DecodeBmp(const std::vector<std::uint8_t>& bytes, GreyImage& out, std::string& error) {
  constexpr std::size_t FileHeader = 14;
  if (bytes.size() < FileHeader + 40) {
    error = "truncated BMP header";
    return false;
  }
  const std::uint32_t offset = U32(bytes, 10);
  const std::uint32_t infoSize = U32(bytes, 14);
  if (infoSize != 40 && infoSize != 52 && infoSize != 56 && infoSize != 108 && infoSize != 124) {
    error = "unsupported BMP header size " + std::to_string(infoSize);
    return false;
  }
  if (bytes.size() < FileHeader + infoSize) {
    error = "truncated BMP header";
    return false;
  }
  const std::int64_t width = static_cast<std::int32_t>(U32(bytes, 18));
  const std::int64_t rawHeight = static_cast<std::int32_t>(U32(bytes, 22));
  const bool topDown = rawHeight < 0;
  const std::int64_t height = topDown ? -rawHeight : rawHeight;
  const unsigned planes = U16(bytes, 26);
  const unsigned bits = U16(bytes, 28);
  const std::uint32_t compression = U32(bytes, 30);
  const std::uint32_t coloursUsed = U32(bytes, 46);

  if (width < 1 || height < 1 || width > MaxPictureSide || height > MaxPictureSide) {
    error = "BMP size " + std::to_string(width) + "x" + std::to_string(rawHeight) +
            " is outside 1.." + std::to_string(MaxPictureSide);
    return false;
  }
  if (planes != 1) {
    error = "bad BMP header: " + std::to_string(planes) + " planes";
    return false;
  }
  if (bits != 8 && bits != 24 && bits != 32) {
    error = "unsupported BMP depth of " + std::to_string(bits) + " bits per pixel (8, 24, 32)";
    return false;
  }
  constexpr std::uint32_t Rgb = 0, Bitfields = 3;
  if (compression != Rgb && !(compression == Bitfields && bits == 32)) {
    error = "compressed BMP (method " + std::to_string(compression) + ") is not supported";
    return false;
  }

  // Where the header, the bit masks and the palette end: the pixels may not start before.
  std::size_t headerEnd = FileHeader + infoSize;
  Channel red, green, blue;
  if (compression == Bitfields) {
    // The masks follow a 40-byte header and sit inside the longer ones, at the same place.
    if (infoSize == 40) headerEnd += 12;
    if (bytes.size() < FileHeader + 52 || !red.Set(U32(bytes, 54)) || !green.Set(U32(bytes, 58)) ||
        !blue.Set(U32(bytes, 62))) {
      error = "bad or missing BMP colour masks";
      return false;
    }
  }
  std::vector<std::uint8_t> palette;
  if (bits == 8) {
    const std::uint32_t entries = coloursUsed == 0 ? 256 : coloursUsed;
    if (entries > 256) {
      error = "BMP palette of " + std::to_string(coloursUsed) + " colours (at most 256)";
      return false;
    }
    if (bytes.size() < headerEnd + 4 * entries) {
      error = "truncated BMP palette";
      return false;
    }
    for (std::uint32_t i = 0; i < entries; ++i) {
      const std::size_t at = headerEnd + 4 * i;
      palette.push_back(Luma(bytes[at + 2], bytes[at + 1], bytes[at]));
    }
    headerEnd += 4 * entries;
  }
  if (offset < headerEnd || offset > bytes.size()) {
    error = "bad BMP pixel data offset " + std::to_string(offset);
    return false;
  }
  const std::size_t rowBytes = (static_cast<std::size_t>(width) * bits + 7) / 8;
  const std::size_t stride = (static_cast<std::size_t>(width) * bits + 31) / 32 * 4;
  // The last row's padding is often left out, so it is not required.
  if (bytes.size() - offset < rowBytes ||
      (bytes.size() - offset - rowBytes) / stride < static_cast<std::size_t>(height - 1)) {
    error = "truncated BMP pixel data";
    return false;
  }

  GreyImage image{static_cast<int>(width), static_cast<int>(height), {}};
  image.Pixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  for (int y = 0; y < image.Height; ++y) {
    const int fileRow = topDown ? y : image.Height - 1 - y;
    const std::uint8_t* row = bytes.data() + offset + static_cast<std::size_t>(fileRow) * stride;
    std::uint8_t* target = image.Pixels.data() + static_cast<std::size_t>(y) * image.Width;
    for (int x = 0; x < image.Width; ++x) {
      if (bits == 8) {
        if (row[x] >= palette.size()) {
          error = "BMP pixel refers to colour " + std::to_string(row[x]) + " beyond the palette";
          return false;
        }
        target[x] = palette[row[x]];
      } else if (bits == 24) {
        const std::uint8_t* p = row + 3 * x;
        target[x] = Luma(p[2], p[1], p[0]);
      } else if (compression == Bitfields) {
        const std::uint8_t* p = row + 4 * x;
        const std::uint32_t v =
            p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24;
        target[x] = Luma(red.Of(v), green.Of(v), blue.Of(v));
      } else {
        const std::uint8_t* p = row + 4 * x;
        target[x] = Luma(p[2], p[1], p[0]);
      }
    }
  }
  out = std::move(image);
  return true;
}

}  // namespace

bool DecodePicture(const std::vector<std::uint8_t>& bytes, const std::string& name, GreyImage& out,
                   std::string& error) {
  std::string why;
  bool ok = false;
  if (bytes.size() < 2) {
    why = "too short to be a picture";
  } else if (bytes[0] == 'P' && (bytes[1] == '2' || bytes[1] == '5')) {
    ok = DecodePgm(bytes, out, why);
  } else if (bytes[0] == 'P' && bytes[1] >= '1' && bytes[1] <= '7') {
    why = std::string("unsupported PNM type P") + static_cast<char>(bytes[1]) +
          " (only grey PGM, P2 or P5)";
  } else if (bytes[0] == 'B' && bytes[1] == 'M') {
    ok = DecodeBmp(bytes, out, why);
  } else {
    why = "not a PGM or BMP picture";
  }
  if (!ok) error = name + ": " + why;
  return ok;
}

bool ReadPicture(const std::string& path, GreyImage& out, std::string& error) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) {
    error = path + ": is a folder, not a picture";
    return false;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = path + ": cannot be opened";
    return false;
  }
  std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in),
                                  std::istreambuf_iterator<char>()};
  if (in.bad()) {
    error = path + ": read error";
    return false;
  }
  return DecodePicture(bytes, path, out, error);
}

ChartBands TestChartBands(int height) {
  const int body = height - ChartTopRows;
  return {ChartTopRows, ChartTopRows + body / 3, ChartTopRows + 2 * body / 3};
}

GreyImage TestChart(int height) {
  if (height < ChartMinHeight || height > MaxPictureSide)
    throw std::invalid_argument("chart height " + std::to_string(height) + " is outside " +
                                std::to_string(ChartMinHeight) + ".." +
                                std::to_string(MaxPictureSide));
  constexpr int WedgeSteps = 16;
  constexpr int StepWidth = (ChartPatternEnd - ChartPatternFirst) / WedgeSteps;  // 78
  constexpr int Square = 32;
  constexpr int StripeGroup = (ChartPatternEnd - ChartPatternFirst) / 4;  // 312
  const ChartBands bands = TestChartBands(height);

  GreyImage chart{ChartWidth, height, std::vector<std::uint8_t>(ChartWidth * height, 255)};
  for (int y = ChartTopRows; y < height; ++y) {
    std::uint8_t* row = chart.Pixels.data() + static_cast<std::size_t>(y) * ChartWidth;
    for (int x = ChartBarFirst; x < ChartBarEnd; ++x) row[x] = 0;
    for (int x = ChartPatternFirst; x < ChartPatternEnd; ++x) {
      const int column = x - ChartPatternFirst;
      bool black = false;
      if (y < bands.Checkerboard) {
        row[x] = static_cast<std::uint8_t>(17 * (column / StepWidth));
        continue;
      } else if (y < bands.Stripes) {
        black = ((y - bands.Checkerboard) / Square + column / Square) % 2 == 0;
      } else {
        const int stripe = 16 >> (column / StripeGroup);
        black = (column % StripeGroup) / stripe % 2 == 0;
      }
      row[x] = black ? 0 : 255;
    }
  }
  return chart;
}

}  // namespace zarvo::sim
