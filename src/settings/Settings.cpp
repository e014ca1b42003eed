#include "settings/Settings.h"

#include <algorithm>
#include <cstring>

namespace zarvo {

TSettings Settings{};

void ClearSettings(TSettings& record) {
  std::memset(&record, 0, sizeof record);
}

float ComputeSamplePeriod(float clockCal, std::int32_t dataRate) {
  if (dataRate == 0) return 0.0f;
  const long double period = (0.01L * clockCal + 1.0L) * 1000.0L / dataRate;
  return static_cast<float>(period);
}

float ComputeCharTime(std::int32_t stopBits, std::int32_t parity, float serialCal,
                      std::int32_t baudRate) {
  if (baudRate == 0) return 0.0f;
  const int bits = 9 + (stopBits != 0 ? 2 : 1) + (parity != 0 ? 1 : 0);
  const long double time = bits * 1000.0L * (0.01L * serialCal + 1.0L) / baudRate;
  return static_cast<float>(time);
}

void ApplyInterfaceTypeFields(TSettings& record, int type) {
  const InterfaceTypeInfo& info = InterfaceTypeParams(type);
  SetText(record.InterfaceName, info.Name);
  record.BaudRate = info.BaudRate;
  record.Parity = info.Parity;
  record.StopBits = info.StopBits;
  record.DataRate = info.DataRate;
  if (info.FixedCalibration) {
    record.CalLow = info.CalLow;
    record.CalHigh = info.CalHigh;
  }
  record.SamplePeriod = ComputeSamplePeriod(record.ClockCal, record.DataRate);
  record.CharTime =
      ComputeCharTime(record.StopBits, record.Parity, record.SerialCal, record.BaudRate);
}

bool SetComPortFields(int port) {
  if (port == Settings.ComPort) return false;
  Settings.ComPort = port;
  SetText(Settings.ComPortName, "COM" + std::to_string(port));
  return true;
}

void SetInterfaceTypeFields(int type) {
  Settings.InterfaceType = type;
  ApplyInterfaceTypeFields(Settings, type);
}

}  // namespace zarvo
