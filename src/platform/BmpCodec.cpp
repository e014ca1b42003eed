#include "platform/BmpCodec.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cstring>

#include "platform/PlatformError.h"
#include "platform/PosixFiles.h"

namespace zarvo {
namespace {

void Put16(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v) {
  out[at] = static_cast<std::uint8_t>(v);
  out[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

void Put32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

constexpr std::uint32_t kFileHeader = 14;
constexpr std::uint32_t kInfoHeader = 40;
constexpr std::uint32_t kPalette = 256 * 4;

}  // namespace

std::uint8_t GreyIndex(std::uint32_t colour) {
  const std::uint32_t sum = ((colour >> 16) & 0xFF) + ((colour >> 8) & 0xFF) + (colour & 0xFF);
  return static_cast<std::uint8_t>((sum + 1) / 3);
}

std::vector<std::uint8_t> EncodeGreyBmp(const Bitmap& picture, int height) {
  const int rows = std::clamp(height, 0, picture.Height());
  const std::uint32_t width = static_cast<std::uint32_t>(picture.Width());
  const std::uint32_t stride = (width + 3) & ~3u;
  const std::uint32_t offset = kFileHeader + kInfoHeader + kPalette;
  const std::uint32_t imageSize = stride * static_cast<std::uint32_t>(rows);
  std::vector<std::uint8_t> out(offset + imageSize, 0);

  out[0] = 'B';
  out[1] = 'M';
  Put32(out, 2, offset + imageSize);
  Put32(out, 10, offset);
  Put32(out, 14, kInfoHeader);
  Put32(out, 18, width);
  Put32(out, 22, static_cast<std::uint32_t>(rows));  // positive: bottom-up
  Put16(out, 26, 1);                                 // planes
  Put16(out, 28, 8);                                 // bits per pixel
  Put32(out, 30, 0);                                 // no compression
  Put32(out, 34, imageSize);
  Put32(out, 38, 3780);  // 96 dpi
  Put32(out, 42, 3780);
  Put32(out, 46, 256);  // colours used
  Put32(out, 50, 0);    // all important
  for (std::uint32_t i = 0; i < 256; ++i) {
    const std::size_t at = kFileHeader + kInfoHeader + 4 * i;
    out[at] = out[at + 1] = out[at + 2] = static_cast<std::uint8_t>(i);
  }
  for (int y = 0; y < rows; ++y) {
    const std::uint32_t* source = picture.Row(y);
    std::uint8_t* dest = out.data() + offset + stride * static_cast<std::uint32_t>(rows - 1 - y);
    for (std::uint32_t x = 0; x < width; ++x) dest[x] = GreyIndex(source[x]);
  }
  return out;
}

bool WriteGreyBmp(const std::string& path, const Bitmap& picture, int height, bool exclusive) {
  switch (WriteWholeFile(path, EncodeGreyBmp(picture, height), exclusive)) {
    case WriteResult::Written:
      return true;
    case WriteResult::Exists:
      return false;
    case WriteResult::Failed:
      break;
  }
  throw PlatformError("Cannot create file " + path + ": " + std::strerror(errno));
}

namespace {

[[noreturn]] void NotValid() {
  throw PlatformError("Bitmap image is not valid");
}
[[noreturn]] void ReadError() {
  throw PlatformError("Stream read error");
}

constexpr std::int64_t kMaxSide = kMaxPictureSide;
constexpr std::int64_t kMaxPixels = kMaxPicturePixels;
constexpr std::uint64_t kMaxFileSize = std::uint64_t{1} << 30;

enum : std::uint32_t { kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3 };

// Little-endian fields of the file image; a field that runs past its end is a read error.
class ImageBytes {
 public:
  ImageBytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::uint64_t Size() const { return size_; }
  void Need(std::uint64_t end) const {
    if (end > size_) ReadError();
  }
  std::uint32_t U16(std::uint64_t at) const {
    Need(at + 2);
    return data_[at] | static_cast<std::uint32_t>(data_[at + 1]) << 8;
  }
  std::uint32_t U32(std::uint64_t at) const { return U16(at) | U16(at + 2) << 16; }
  const std::uint8_t* At(std::uint64_t at) const { return data_ + at; }

 private:
  const std::uint8_t* data_;
  std::uint64_t size_;
};

// One bit-field channel, scaled to 8 bits with rounding to nearest.
class Channel {
 public:
  explicit Channel(std::uint32_t mask)
      : mask_(mask), shift_(mask ? std::countr_zero(mask) : 0), max_(mask >> shift_) {}
  std::uint32_t operator()(std::uint32_t value) const {
    if (max_ == 0) return 0;
    const std::uint64_t level = (value & mask_) >> shift_;
    return static_cast<std::uint32_t>((level * 255 + max_ / 2) / max_);
  }

 private:
  std::uint32_t mask_;
  int shift_;
  std::uint64_t max_;
};

struct BmpHeader {
  std::int64_t Width = 0;
  std::int64_t Height = 0;  // rows, always >= 0
  bool TopDown = false;
  std::uint32_t Bits = 0;
  std::uint32_t Compression = kRgb;
  std::uint32_t Masks[3] = {0x7C00, 0x03E0, 0x001F};  // red, green, blue; 16-bit default 5-5-5
  std::uint64_t TableAt = 0;                          // the colour table follows the headers
  std::uint32_t EntrySize = 4;
  std::uint64_t Colours = 0;  // colour-table entries (depths up to 8 only)
};

BmpHeader ReadHeader(const ImageBytes& in) {
  BmpHeader h;
  const std::uint32_t infoSize = in.U32(14);
  if (infoSize != 12 && infoSize != 40 && infoSize != 52 && infoSize != 56 && infoSize != 108 &&
      infoSize != 124)
    NotValid();
  in.Need(14 + std::uint64_t{infoSize});
  std::uint32_t planes = 0;
  std::uint64_t coloursUsed = 0;
  if (infoSize == 12) {  // OS/2: unsigned 16-bit sides, always bottom-up, 3-byte entries
    h.Width = in.U16(18);
    h.Height = in.U16(20);
    planes = in.U16(22);
    h.Bits = in.U16(24);
    h.EntrySize = 3;
  } else {
    h.Width = static_cast<std::int32_t>(in.U32(18));
    const std::int64_t height = static_cast<std::int32_t>(in.U32(22));
    h.TopDown = height < 0;
    h.Height = height < 0 ? -height : height;
    planes = in.U16(26);
    h.Bits = in.U16(28);
    h.Compression = in.U32(30);
    coloursUsed = in.U32(46);
  }
  h.TableAt = 14 + std::uint64_t{infoSize};

  if (planes != 1 || h.Width <= 0) NotValid();
  if (h.Width > kMaxSide || h.Height > kMaxSide || h.Width * h.Height > kMaxPixels) NotValid();
  const std::uint32_t b = h.Bits;
  switch (h.Compression) {
    case kRgb:
      if (b != 1 && b != 4 && b != 8 && b != 16 && b != 24 && b != 32) NotValid();
      break;
    case kRle8:
      if (b != 8 || h.TopDown) NotValid();
      break;
    case kRle4:
      if (b != 4 || h.TopDown) NotValid();
      break;
    case kBitFields:
      if (b != 16 && b != 32) NotValid();
      for (int i = 0; i < 3; ++i) h.Masks[i] = in.U32(54 + 4 * static_cast<std::uint64_t>(i));
      if (infoSize == 40) h.TableAt += 12;  // the masks follow the short header
      break;
    default:
      NotValid();
  }
  if (b == 32 && h.Compression == kRgb) {
    h.Masks[0] = 0xFF0000;
    h.Masks[1] = 0x00FF00;
    h.Masks[2] = 0x0000FF;
  }
  if (b <= 8) {
    const std::uint64_t full = std::uint64_t{1} << b;
    h.Colours = coloursUsed == 0 ? full : std::min(coloursUsed, full);
  }
  return h;
}

using ColourTable = std::array<std::uint32_t, 256>;

// Entries past the file's table stay black.
ColourTable ReadColourTable(const ImageBytes& in, const BmpHeader& h) {
  ColourTable table{};
  in.Need(h.TableAt + h.Colours * h.EntrySize);
  for (std::uint64_t i = 0; i < h.Colours; ++i) {
    const std::uint8_t* e = in.At(h.TableAt + i * h.EntrySize);
    table[i] =
        static_cast<std::uint32_t>(e[2]) << 16 | static_cast<std::uint32_t>(e[1]) << 8 | e[0];
  }
  return table;
}

void DecodeRow(const BmpHeader& h, const ColourTable& table, const Channel* rgb,
               const std::uint8_t* s, std::uint32_t* d) {
  const std::int64_t w = h.Width;
  switch (h.Bits) {
    case 1:
      for (std::int64_t x = 0; x < w; ++x) d[x] = table[(s[x >> 3] >> (7 - (x & 7))) & 1];
      break;
    case 4:
      for (std::int64_t x = 0; x < w; ++x) d[x] = table[(s[x >> 1] >> (x & 1 ? 0 : 4)) & 0xF];
      break;
    case 8:
      for (std::int64_t x = 0; x < w; ++x) d[x] = table[s[x]];
      break;
    case 24:
      for (std::int64_t x = 0; x < w; ++x, s += 3)
        d[x] =
            static_cast<std::uint32_t>(s[2]) << 16 | static_cast<std::uint32_t>(s[1]) << 8 | s[0];
      break;
    case 16:
      for (std::int64_t x = 0; x < w; ++x, s += 2) {
        const std::uint32_t v = s[0] | static_cast<std::uint32_t>(s[1]) << 8;
        d[x] = rgb[0](v) << 16 | rgb[1](v) << 8 | rgb[2](v);
      }
      break;
    case 32:
      for (std::int64_t x = 0; x < w; ++x, s += 4) {
        const std::uint32_t v = s[0] | static_cast<std::uint32_t>(s[1]) << 8 |
                                static_cast<std::uint32_t>(s[2]) << 16 |
                                static_cast<std::uint32_t>(s[3]) << 24;
        d[x] = rgb[0](v) << 16 | rgb[1](v) << 8 | rgb[2](v);
      }
      break;
  }
}

// Run-length streams, bottom-up only. Runs past a row's end are cut; a stream that ends without
// its end-of-bitmap code keeps what it drew.
void DecodeRle(const BmpHeader& h, const ColourTable& table, const std::uint8_t* s,
               const std::uint8_t* end, Bitmap& out) {
  const bool four = h.Bits == 4;
  const std::int64_t w = h.Width;
  std::int64_t x = 0;
  std::int64_t y = 0;  // counted from the bottom row
  auto index = [four](std::uint32_t byte, std::uint32_t i) {
    return four ? (i & 1 ? byte & 0xF : byte >> 4) : byte;
  };
  while (end - s >= 2 && y < h.Height) {
    const std::uint32_t count = s[0];
    const std::uint32_t code = s[1];
    s += 2;
    std::uint32_t* row = out.Row(static_cast<int>(h.Height - 1 - y));
    if (count > 0) {
      for (std::uint32_t i = 0; i < count && x < w; ++i, ++x) row[x] = table[index(code, i)];
    } else if (code == 0) {
      x = 0;
      ++y;
    } else if (code == 1) {
      return;
    } else if (code == 2) {
      if (end - s < 2) return;
      x += s[0];
      y += s[1];
      s += 2;
    } else {
      const std::int64_t bytes = four ? (code + 1) / 2 : code;
      const std::int64_t have = std::min<std::int64_t>(bytes, end - s);
      for (std::uint32_t i = 0; i < code && x < w; ++i, ++x) {
        const std::int64_t at = four ? i / 2 : i;
        if (at >= have) break;
        row[x] = table[index(s[at], i)];
      }
      s += std::min<std::int64_t>((bytes + 1) & ~std::int64_t{1}, end - s);
    }
  }
}

}  // namespace

Bitmap DecodeBmp(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return Bitmap();
  const ImageBytes in(data, size);
  in.Need(2);
  if (data[0] != 'B' || data[1] != 'M') NotValid();
  const std::uint64_t pixelsAt = in.U32(10);
  const BmpHeader h = ReadHeader(in);
  const ColourTable table = h.Bits <= 8 ? ReadColourTable(in, h) : ColourTable{};
  const std::uint64_t tableEnd = h.TableAt + h.Colours * h.EntrySize;
  // Some writers leave the offset 0 or point it into the headers: the pixels follow the table.
  const std::uint64_t start = pixelsAt >= tableEnd ? pixelsAt : tableEnd;

  const int width = static_cast<int>(h.Width);
  const int height = static_cast<int>(h.Height);
  if (h.Compression == kRle8 || h.Compression == kRle4) {
    Bitmap out(width, height, table[0]);  // pixels the stream skips keep colour 0
    if (start < in.Size()) DecodeRle(h, table, in.At(start), in.At(in.Size()), out);
    return out;
  }

  // The last row may lack its padding.
  const std::uint64_t stride = ((static_cast<std::uint64_t>(h.Width) * h.Bits + 31) / 32) * 4;
  const std::uint64_t lastRow = (static_cast<std::uint64_t>(h.Width) * h.Bits + 7) / 8;
  if (height > 0) in.Need(start + stride * static_cast<std::uint64_t>(height - 1) + lastRow);
  const Channel rgb[3] = {Channel(h.Masks[0]), Channel(h.Masks[1]), Channel(h.Masks[2])};
  Bitmap out(width, height);
  for (int y = 0; y < height; ++y) {
    const std::uint64_t fileRow = h.TopDown ? y : height - 1 - y;
    DecodeRow(h, table, rgb, in.At(start + stride * fileRow), out.Row(y));
  }
  return out;
}

Bitmap ReadBmpFile(const std::string& path) {
  std::vector<std::uint8_t> image;
  switch (ReadWholeFile(path, kMaxFileSize, image)) {
    case ReadResult::Read:
      break;
    case ReadResult::Failed:
      throw PlatformError("Cannot open file " + path);
    case ReadResult::TooLarge:
      NotValid();
  }
  return DecodeBmp(image.data(), image.size());
}

}  // namespace zarvo
