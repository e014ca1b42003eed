#include "settings/SettingsDescription.h"

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

namespace zarvo {
namespace {

#define ZARVO_FIELD(name, kind)                                                \
  SettingsField {                                                              \
#name, offsetof(TSettings, name), sizeof(TSettings::name), FieldKind::kind \
  }

const SettingsField kFields[] = {
    ZARVO_FIELD(StopBits, Int),
    ZARVO_FIELD(DrumSpeed, Int),
    ZARVO_FIELD(DataRate, Int),
    ZARVO_FIELD(InterfaceType, Int),
    ZARVO_FIELD(InterfaceName, Text),
    ZARVO_FIELD(ComPort, Int),
    ZARVO_FIELD(ComPortName, Text),
    ZARVO_FIELD(BaudRate, Int),
    ZARVO_FIELD(SamplePeriod, Float),
    ZARVO_FIELD(ClockCal, Float),
    ZARVO_FIELD(CalLow, Int),
    ZARVO_FIELD(CalHigh, Int),
    ZARVO_FIELD(SpecWindow, Window),
    ZARVO_FIELD(InVidWindow, Window),
    ZARVO_FIELD(DetailWindow, Window),
    ZARVO_FIELD(SerialCal, Float),
    ZARVO_FIELD(CharTime, Float),
    ZARVO_FIELD(Parity, Int),
    ZARVO_FIELD(LockControls, OnOff),
    ZARVO_FIELD(DisableSaver, OnOff),
    ZARVO_FIELD(HideSpectrum, OnOff),
    ZARVO_FIELD(DisableHints, OnOff),
    ZARVO_FIELD(ViewDir, Text),
    ZARVO_FIELD(SaveDir, Text),
    ZARVO_FIELD(AutoPTCII, OnOff),
    ZARVO_FIELD(IOC, Int),
    ZARVO_FIELD(ViewPicWindow, ViewWindow),
    ZARVO_FIELD(SlowScroll, OnOff),
    ZARVO_FIELD(DeleteDays, Int),
};

#undef ZARVO_FIELD

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r'))
    s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

// The line without its comment; a '#' inside quotes belongs to the text.
std::string_view StripComment(std::string_view line) {
  bool quoted = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i] == '"') quoted = !quoted;
    if (line[i] == '#' && !quoted) return line.substr(0, i);
  }
  return line;
}

bool ParseInt(std::string_view text, std::int32_t& value) {
  const std::string s(Trim(text));
  if (s.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const long long v = std::strtoll(s.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || v < std::numeric_limits<std::int32_t>::min() ||
      v > std::numeric_limits<std::int32_t>::max())
    return false;
  value = static_cast<std::int32_t>(v);
  return true;
}

bool ParseFloat(std::string_view text, float& value) {
  const std::string s(Trim(text));
  if (s.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const float v = std::strtof(s.c_str(), &end);
  if (errno != 0 || *end != '\0' || !std::isfinite(v)) return false;
  value = v;
  return true;
}

bool ParseFlag(std::string_view text, Flag& value) {
  const std::string_view s = Trim(text);
  if (s == "1" || s == "on" || s == "yes") return value = 1, true;
  if (s == "0" || s == "off" || s == "no") return value = 0, true;
  return false;
}

bool ParseInts(std::string_view text, std::int32_t (&values)[4]) {
  std::size_t n = 0;
  text = Trim(text);
  while (!text.empty()) {
    const std::size_t space = text.find_first_of(" \t");
    if (n == 4 || !ParseInt(text.substr(0, space), values[n])) return false;
    ++n;
    text = space == std::string_view::npos ? std::string_view() : Trim(text.substr(space));
  }
  return n == 4;
}

bool ParseText(std::string_view text, std::size_t size, std::string& value) {
  text = Trim(text);
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"')
    text = text.substr(1, text.size() - 2);
  else if (text.find('"') != std::string_view::npos)
    return false;
  if (text.size() >= size) return false;
  value = std::string(text);
  return true;
}

template <typename T>
void Put(TSettings& record, std::size_t offset, const T& value) {
  std::memcpy(reinterpret_cast<unsigned char*>(&record) + offset, &value, sizeof value);
}

bool ApplyLine(const SettingsField& field, std::string_view value, TSettings& record) {
  switch (field.Kind) {
    case FieldKind::Int: {
      std::int32_t v;
      if (!ParseInt(value, v)) return false;
      Put(record, field.Offset, v);
      return true;
    }
    case FieldKind::Float: {
      float v;
      if (!ParseFloat(value, v)) return false;
      Put(record, field.Offset, v);
      return true;
    }
    case FieldKind::OnOff: {
      Flag v;
      if (!ParseFlag(value, v)) return false;
      Put(record, field.Offset, v);
      return true;
    }
    case FieldKind::Text: {
      std::string v;
      if (!ParseText(value, field.Size, v)) return false;
      auto* dest = reinterpret_cast<unsigned char*>(&record) + field.Offset;
      std::memset(dest, 0, field.Size);
      std::memcpy(dest, v.data(), v.size());
      return true;
    }
    case FieldKind::Window:
    case FieldKind::ViewWindow: {
      std::int32_t v[4];
      if (!ParseInts(value, v)) return false;
      Put(record, field.Offset, v);
      return true;
    }
  }
  return false;
}

const char* KindHint(FieldKind kind) {
  switch (kind) {
    case FieldKind::Int:
      return "a 32-bit integer";
    case FieldKind::Float:
      return "a number";
    case FieldKind::OnOff:
      return "0 or 1";
    case FieldKind::Text:
      return "a text that fits its field";
    case FieldKind::Window:
      return "four integers: Left Top ClientHeight ClientWidth";
    case FieldKind::ViewWindow:
      return "four integers: Left Top ClientWidth ClientHeight";
  }
  return "";
}

}  // namespace

std::span<const SettingsField> SettingsFields() {
  return kFields;
}

bool ParseSettingsDescription(std::string_view text, TSettings& record, std::string& error) {
  std::size_t lineNumber = 0;
  while (!text.empty()) {
    ++lineNumber;
    const std::size_t newline = text.find('\n');
    const std::string_view raw = text.substr(0, newline);
    text = newline == std::string_view::npos ? std::string_view() : text.substr(newline + 1);
    const std::string_view line = Trim(StripComment(raw));
    if (line.empty()) continue;
    const std::string where = "line " + std::to_string(lineNumber) + ": ";
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) {
      error = where + "expected \"Name = value\"";
      return false;
    }
    const std::string_view name = Trim(line.substr(0, equals));
    const SettingsField* field = nullptr;
    for (const SettingsField& f : kFields)
      if (name == f.Name) field = &f;
    if (!field) {
      error = where + "unknown field \"" + std::string(name) + "\"";
      return false;
    }
    if (!ApplyLine(*field, line.substr(equals + 1), record)) {
      error = where + field->Name + " needs " + KindHint(field->Kind);
      return false;
    }
  }
  record.SamplePeriod = ComputeSamplePeriod(record.ClockCal, record.DataRate);
  record.CharTime =
      ComputeCharTime(record.StopBits, record.Parity, record.SerialCal, record.BaudRate);
  return true;
}

}  // namespace zarvo
