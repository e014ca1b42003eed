#pragma once
// The one persistent record of the program, stored byte for byte as Zarvo.cfg. Every field is
// at its fixed offset (checked below); reserved spans are carried through untouched.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace zarvo {

static_assert(std::endian::native == std::endian::little, "the record is stored little-endian");

// Left, Top, ClientHeight, ClientWidth: the order of the reception, spectrum and detail blocks.
struct WindowBlock {
  std::int32_t Left;
  std::int32_t Top;
  std::int32_t ClientHeight;
  std::int32_t ClientWidth;
};

// The picture viewer's block stores the width before the height.
struct ViewWindowBlock {
  std::int32_t Left;
  std::int32_t Top;
  std::int32_t ClientWidth;
  std::int32_t ClientHeight;
};

using Flag = std::uint8_t;  // 0 off, anything else on; written as 0 or 1

struct TSettings {
  std::uint8_t Reserved0[8];
  std::int32_t StopBits;   // 0 one stop bit, 2 two
  std::int32_t DrumSpeed;  // 0..4: 60, 90, 120, 180, 240 lines per minute
  std::int32_t DataRate;   // samples per second
  std::uint8_t Reserved20[4];
  std::int32_t InterfaceType;  // 1..5, 0 none chosen
  char InterfaceName[16];
  std::int32_t ComPort;  // 1..4, 0 none chosen
  char ComPortName[16];  // "COM3"
  std::int32_t BaudRate;
  float SamplePeriod;    // ms per sample, derived
  float ClockCal;        // percent
  std::int32_t CalLow;   // sample of a 1200 Hz tone
  std::int32_t CalHigh;  // sample of a 2300 Hz tone
  WindowBlock SpecWindow;
  WindowBlock InVidWindow;
  WindowBlock DetailWindow;
  std::uint8_t Reserved132[4];
  float SerialCal;      // percent
  float CharTime;       // ms per serial character, derived
  std::int32_t Parity;  // 0 none, 3 mark
  std::uint8_t Reserved148[1];
  Flag LockControls;
  Flag DisableSaver;
  Flag HideSpectrum;
  Flag DisableHints;
  std::uint8_t Reserved153[81];
  char ViewDir[256];
  char SaveDir[256];
  std::uint8_t Reserved746[526];
  Flag AutoPTCII;
  std::uint8_t Reserved1273[3];
  std::int32_t IOC;  // 0 IOC 288, 1 IOC 576
  std::uint8_t Reserved1280[36];
  ViewWindowBlock ViewPicWindow;
  Flag SlowScroll;
  std::uint8_t Reserved1333[3];
  std::int32_t DeleteDays;  // 0..99, 0 = no automatic saving
};

inline constexpr std::size_t kSettingsSize = 1340;

static_assert(sizeof(TSettings) == kSettingsSize);
static_assert(offsetof(TSettings, StopBits) == 8);
static_assert(offsetof(TSettings, DrumSpeed) == 12);
static_assert(offsetof(TSettings, DataRate) == 16);
static_assert(offsetof(TSettings, InterfaceType) == 24);
static_assert(offsetof(TSettings, InterfaceName) == 28);
static_assert(offsetof(TSettings, ComPort) == 44);
static_assert(offsetof(TSettings, ComPortName) == 48);
static_assert(offsetof(TSettings, BaudRate) == 64);
static_assert(offsetof(TSettings, SamplePeriod) == 68);
static_assert(offsetof(TSettings, ClockCal) == 72);
static_assert(offsetof(TSettings, CalLow) == 76);
static_assert(offsetof(TSettings, CalHigh) == 80);
static_assert(offsetof(TSettings, SpecWindow) == 84);
static_assert(offsetof(TSettings, InVidWindow) == 100);
static_assert(offsetof(TSettings, DetailWindow) == 116);
static_assert(offsetof(TSettings, SerialCal) == 136);
static_assert(offsetof(TSettings, CharTime) == 140);
static_assert(offsetof(TSettings, Parity) == 144);
static_assert(offsetof(TSettings, LockControls) == 149);
static_assert(offsetof(TSettings, DisableSaver) == 150);
static_assert(offsetof(TSettings, HideSpectrum) == 151);
static_assert(offsetof(TSettings, DisableHints) == 152);
static_assert(offsetof(TSettings, ViewDir) == 234);
static_assert(offsetof(TSettings, SaveDir) == 490);
static_assert(offsetof(TSettings, AutoPTCII) == 1272);
static_assert(offsetof(TSettings, IOC) == 1276);
static_assert(offsetof(TSettings, ViewPicWindow) == 1316);
static_assert(offsetof(TSettings, SlowScroll) == 1332);
static_assert(offsetof(TSettings, DeleteDays) == 1336);
static_assert(sizeof(float) == 4 && sizeof(WindowBlock) == 16 && sizeof(ViewWindowBlock) == 16);

// The global record, zero from program start until the settings are loaded.
extern TSettings Settings;

// Zeroes the whole record.
void ClearSettings(TSettings& record);

inline bool IsOn(Flag flag) {
  return flag != 0;
}
inline Flag FlagOf(bool on) {
  return on ? 1 : 0;
}

// A text field as a string; a field without its NUL (a damaged file) is cut at its size.
template <std::size_t N>
std::string TextOf(const char (&field)[N]) {
  std::size_t length = 0;
  while (length < N && field[length] != '\0') ++length;
  return std::string(field, length);
}

// Stores `text` into a text field, cut to fit with its NUL; the rest of the field is zeroed.
template <std::size_t N>
void SetText(char (&field)[N], std::string_view text) {
  const std::size_t length = text.size() < N ? text.size() : N - 1;
  for (std::size_t i = 0; i < N; ++i) field[i] = i < length ? text[i] : '\0';
}

// Milliseconds per interface sample: (0.01 x ClockCal + 1) x 1000 / DataRate, computed in
// extended precision. 0 for a data rate of 0 (the caller repairs that rate).
float ComputeSamplePeriod(float clockCal, std::int32_t dataRate);

// Milliseconds per serial character: bits x 1000 x (0.01 x SerialCal + 1) / BaudRate, with
// bits = 9 + (2 stop bits ? 2 : 1) + (parity ? 1 : 0). 0 for a baud rate of 0.
float ComputeCharTime(std::int32_t stopBits, std::int32_t parity, float serialCal,
                      std::int32_t baudRate);

// The calibration a record gets back when its own cannot be used: a box whose bytes run from 0
// at 1200 Hz to 255 at 2300 Hz.
inline constexpr std::int32_t kDefaultCalLow = 0;
inline constexpr std::int32_t kDefaultCalHigh = 255;

// Line settings and calibration of the five interface types.
struct InterfaceTypeInfo {
  const char* Name;
  std::int32_t BaudRate;
  std::int32_t Parity;
  std::int32_t StopBits;
  std::int32_t DataRate;
  // Types 3..5 bring their own CalLow/CalHigh; types 1 and 2 are calibrated by the user, and
  // their pair here is the default.
  bool FixedCalibration;
  std::int32_t CalLow;
  std::int32_t CalHigh;
};

inline constexpr int kInterfaceTypeCount = 5;
inline constexpr InterfaceTypeInfo kInterfaceTypes[kInterfaceTypeCount] = {
    {"Quorvex", 115200, 3, 2, 7200, false, kDefaultCalLow, kDefaultCalHigh},
    {"Tarsk-bus", 115200, 3, 2, 7200, false, kDefaultCalLow, kDefaultCalHigh},
    {"PTC-II", 57600, 0, 0, 5760, true, 28, 184},
    {"Morvant IV", 115200, 3, 2, 4800, true, 36, 236},
    {"Morvant 1/2/3", 57600, 0, 2, 5236, true, 36, 236},
};

// The table entry of type 1..5; a type above 5 is the last entry, below 1 the first.
constexpr const InterfaceTypeInfo& InterfaceTypeParams(int type) {
  return kInterfaceTypes[(type < 1                     ? 1
                          : type > kInterfaceTypeCount ? kInterfaceTypeCount
                                                       : type) -
                         1];
}

// Writes the type's fields into the record: name, line settings, data rate, the fixed
// calibration of types 3..5, and the derived SamplePeriod and CharTime.
void ApplyInterfaceTypeFields(TSettings& record, int type);

// The record part of the configuration window's choices, on the global record: the port 1..4
// (false when it is the one already chosen) and the interface type with its fields.
bool SetComPortFields(int port);
void SetInterfaceTypeFields(int type);

}  // namespace zarvo
