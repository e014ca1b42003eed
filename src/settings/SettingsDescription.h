#pragma once
// A readable description of a settings record ("Name = value" lines), from which the build
// writes the Zarvo.cfg installed beside the program.
#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "settings/Settings.h"

namespace zarvo {

enum class FieldKind { Int, Float, OnOff, Text, Window, ViewWindow };

struct SettingsField {
  const char* Name;
  std::size_t Offset;
  std::size_t Size;
  FieldKind Kind;
};

// Every named field of the record, in offset order.
std::span<const SettingsField> SettingsFields();

// Parses a description into `record` (fields not named stay as they are) and then derives
// SamplePeriod and CharTime from the line settings. Lines: "Name = value", '#' starts a comment,
// texts may be quoted, window blocks are four integers in the record's order. On a malformed
// line, returns false and says which line and why in `error`.
bool ParseSettingsDescription(std::string_view text, TSettings& record, std::string& error);

}  // namespace zarvo
