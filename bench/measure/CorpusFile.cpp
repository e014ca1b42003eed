#include "measure/CorpusFile.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "settings/Settings.h"

namespace zarvo::measure {
namespace {

// Just enough JSON for the descriptions: objects, arrays, numbers, strings without \u escapes,
// true, false and null.
struct Json {
  enum class Type { Null, Bool, Number, String, Array, Object } Kind = Type::Null;
  double Number = 0;
  bool Flag = false;
  std::string Text;
  std::vector<Json> Items;        // an array's values, or an object's
  std::vector<std::string> Keys;  // an object's names, one for each item

  const Json* Find(const std::string& key) const {
    for (std::size_t i = 0; i < Keys.size(); ++i)
      if (Keys[i] == key) return &Items[i];
    return nullptr;
  }
};

class JsonReader {
 public:
  explicit JsonReader(const std::string& text) : text_(text) {}

  bool Read(Json& out, std::string& error) {
    if (!Value(out, 0) || (Space(), pos_ != text_.size())) {
      error = (error_.empty() ? "unexpected text" : error_) + " at byte " + std::to_string(pos_);
      return false;
    }
    return true;
  }

 private:
  static constexpr int MaxDepth = 32;

  void Space() {
    while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\n' ||
                                   text_[pos_] == '\r' || text_[pos_] == '\t'))
      ++pos_;
  }
  bool Fail(const char* why) {
    if (error_.empty()) error_ = why;
    return false;
  }
  bool Literal(const char* word) {
    const std::string w(word);
    if (text_.compare(pos_, w.size(), w) != 0) return Fail("unknown word");
    pos_ += w.size();
    return true;
  }

  bool String(std::string& out) {
    if (pos_ >= text_.size() || text_[pos_] != '"') return Fail("string expected");
    ++pos_;
    out.clear();
    while (pos_ < text_.size() && text_[pos_] != '"') {
      char c = text_[pos_++];
      if (c == '\\') {
        if (pos_ >= text_.size()) break;
        const char e = text_[pos_++];
        static const std::string from = "\"\\/bfnrt", to = "\"\\/\b\f\n\r\t";
        const auto k = from.find(e);
        if (k == std::string::npos) return Fail("unsupported escape");
        c = to[k];
      }
      out += c;
    }
    if (pos_ >= text_.size()) return Fail("unterminated string");
    ++pos_;
    return true;
  }

  bool Value(Json& out, int depth) {
    if (depth > MaxDepth) return Fail("nested too deeply");
    Space();
    if (pos_ >= text_.size()) return Fail("value expected");
    const char c = text_[pos_];
    if (c == '{') {
      out.Kind = Json::Type::Object;
      ++pos_;
      Space();
      if (pos_ < text_.size() && text_[pos_] == '}') return ++pos_, true;
      for (;;) {
        std::string key;
        Space();
        if (!String(key)) return false;
        Space();
        if (pos_ >= text_.size() || text_[pos_] != ':') return Fail("':' expected");
        ++pos_;
        out.Keys.push_back(key);
        out.Items.emplace_back();
        if (!Value(out.Items.back(), depth + 1)) return false;
        Space();
        if (pos_ < text_.size() && text_[pos_] == ',') {
          ++pos_;
          continue;
        }
        if (pos_ < text_.size() && text_[pos_] == '}') return ++pos_, true;
        return Fail("',' or '}' expected");
      }
    }
    if (c == '[') {
      out.Kind = Json::Type::Array;
      ++pos_;
      Space();
      if (pos_ < text_.size() && text_[pos_] == ']') return ++pos_, true;
      for (;;) {
        out.Items.emplace_back();
        if (!Value(out.Items.back(), depth + 1)) return false;
        Space();
        if (pos_ < text_.size() && text_[pos_] == ',') {
          ++pos_;
          continue;
        }
        if (pos_ < text_.size() && text_[pos_] == ']') return ++pos_, true;
        return Fail("',' or ']' expected");
      }
    }
    if (c == '"') {
      out.Kind = Json::Type::String;
      return String(out.Text);
    }
    if (c == 't' || c == 'f') {
      out.Kind = Json::Type::Bool;
      out.Flag = c == 't';
      return Literal(out.Flag ? "true" : "false");
    }
    if (c == 'n') return Literal("null");
    const char* start = text_.c_str() + pos_;
    char* end = nullptr;
    out.Number = std::strtod(start, &end);
    if (end == start || !std::isfinite(out.Number)) return Fail("number expected");
    out.Kind = Json::Type::Number;
    pos_ += static_cast<std::size_t>(end - start);
    return true;
  }

  const std::string& text_;
  std::size_t pos_ = 0;
  std::string error_;
};

// Field readers that name what is missing.
class Fields {
 public:
  Fields(const Json& object, std::string where, std::string& error)
      : object_(object), where_(std::move(where)), error_(error) {}

  const Json* Get(const std::string& key, Json::Type type) {
    const Json* v = object_.Find(key);
    if (!v || v->Kind != type) {
      if (error_.empty()) error_ = where_ + ": no " + key;
      return nullptr;
    }
    return v;
  }
  double Number(const std::string& key) {
    const Json* v = Get(key, Json::Type::Number);
    return v ? v->Number : 0;
  }
  int Whole(const std::string& key, int low, int high) {
    const double v = Number(key);
    if (error_.empty() && (v != std::floor(v) || v < low || v > high))
      error_ = where_ + ": " + key + " out of range";
    return error_.empty() ? static_cast<int>(v) : 0;
  }
  std::string Text(const std::string& key) {
    const Json* v = Get(key, Json::Type::String);
    return v ? v->Text : std::string();
  }

 private:
  const Json& object_;
  std::string where_;
  std::string& error_;
};

bool SectionKindOf(const std::string& name, sim::SectionKind& kind) {
  static const std::pair<const char*, sim::SectionKind> names[] = {
      {"leadin", sim::SectionKind::Lead},     {"start", sim::SectionKind::Start},
      {"phasing", sim::SectionKind::Phasing}, {"image", sim::SectionKind::Picture},
      {"stop", sim::SectionKind::Stop},       {"trailer", sim::SectionKind::Trailer},
  };
  for (const auto& [text, k] : names)
    if (name == text) {
      kind = k;
      return true;
    }
  return false;
}

}  // namespace

int InterfaceTypeForRate(int rate) {
  for (int type = 1; type <= kInterfaceTypeCount; ++type)
    if (InterfaceTypeParams(type).DataRate == rate) return type;
  return 0;
}

bool ReadCorpusFile(const std::string& jsonPath, CorpusFile& out, std::string& error) {
  std::ifstream in(jsonPath, std::ios::binary);
  if (!in) return error = "cannot read " + jsonPath, false;
  std::stringstream buffer;
  buffer << in.rdbuf();
  const std::string text = buffer.str();
  Json root;
  if (!JsonReader(text).Read(root, error)) return error = jsonPath + ": " + error, false;
  if (root.Kind != Json::Type::Object) return error = jsonPath + ": not an object", false;

  const std::filesystem::path path(jsonPath);
  const std::string streamName = path.stem().string();  // NAME.raw
  CorpusFile file;
  file.Stream = (path.parent_path() / streamName).string();
  file.Name = std::filesystem::path(streamName).stem().string();
  error.clear();
  Fields top(root, file.Name, error);
  file.Rate = top.Whole("rate", 100, 100000);
  file.CalLow = top.Whole("cal_low", 0, 255);
  file.CalHigh = top.Whole("cal_high", 0, 255);
  file.ClockPpm = top.Number("clock_ppm");
  file.NoiseHz = top.Number("noise_hz");
  file.MistuneHz = top.Number("mistune_hz");
  file.TotalSamples = static_cast<std::uint64_t>(top.Whole("total_samples", 0, 1 << 30));
  const Json* broadcasts = top.Get("broadcasts", Json::Type::Array);
  if (error.empty() && file.CalLow >= file.CalHigh) error = file.Name + ": calibration reversed";
  if (!error.empty()) return false;

  for (const Json& b : broadcasts->Items) {
    const std::string where = file.Name + " broadcast " + std::to_string(file.Broadcasts.size());
    if (b.Kind != Json::Type::Object) return error = where + ": not an object", false;
    Fields fields(b, where, error);
    CorpusBroadcast broadcast;
    broadcast.Lpm = fields.Whole("lpm", 1, 10000);
    broadcast.Ioc = fields.Whole("ioc", 288, 576);
    const Json* image = fields.Get("image", Json::Type::Object);
    const Json* sections = fields.Get("sections", Json::Type::Array);
    if (!error.empty()) return false;
    if (broadcast.Ioc != 288 && broadcast.Ioc != 576) return error = where + ": bad ioc", false;
    Fields picture(*image, where + " image", error);
    broadcast.RowsSent = picture.Whole("rows_sent", 1, 100000);
    broadcast.SentPicture = picture.Text("sent_pgm");
    if (!error.empty()) return false;
    for (const Json& s : sections->Items) {
      if (s.Kind != Json::Type::Object) return error = where + ": bad section", false;
      Fields section(s, where + " section", error);
      sim::Section part;
      const std::string name = section.Text("name");
      part.FirstSample = static_cast<std::uint64_t>(section.Whole("start_sample", 0, 1 << 30));
      part.EndSample = static_cast<std::uint64_t>(section.Whole("end_sample", 0, 1 << 30));
      part.StartSeconds = section.Number("start_s");
      part.Seconds = section.Number("end_s") - part.StartSeconds;
      part.StartPosition = section.Number("start_pos");
      part.Repetition = static_cast<int>(file.Broadcasts.size());
      if (!error.empty()) return false;
      if (!SectionKindOf(name, part.Kind))
        return error = where + ": unknown section " + name, false;
      if (part.EndSample < part.FirstSample || part.EndSample > file.TotalSamples)
        return error = where + ": section " + name + " outside the stream", false;
      broadcast.Sections.push_back(part);
    }
    file.Broadcasts.push_back(std::move(broadcast));
  }
  out = std::move(file);
  return true;
}

bool ReadCorpus(const std::string& folder, std::vector<CorpusFile>& out, std::string& error) {
  std::vector<std::string> paths;
  std::error_code failed;
  for (const auto& entry : std::filesystem::directory_iterator(folder, failed)) {
    const std::string name = entry.path().filename().string();
    if (name.size() > 9 && name.ends_with(".raw.json")) paths.push_back(entry.path().string());
  }
  if (failed) return error = "cannot list " + folder, false;
  std::sort(paths.begin(), paths.end());
  std::vector<CorpusFile> files;
  for (const auto& path : paths) {
    CorpusFile file;
    if (!ReadCorpusFile(path, file, error)) return false;
    files.push_back(std::move(file));
  }
  out = std::move(files);
  return true;
}

}  // namespace zarvo::measure
