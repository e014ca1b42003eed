#pragma once
// Live sound from the desktop's audio server (PulseAudio, or PipeWire through pipewire-pulse)
// read as if from an interface box: a record stream through the audio demodulator into the
// box's byte stream, behind the serial port seam, so that the input thread reads it as any port.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "interface/SerialPort.h"
#include "settings/SoundInput.h"

namespace zarvo {

// The server's sources (settings/SoundInput.h's SoundSource) in its own order, inputs before
// monitors. False, with the reason in `error`, when the server cannot be reached or does not
// answer within a few seconds. The program sets it as the lister of ListSoundSources.
bool ListPulseSources(std::vector<SoundSource>& out, std::string& error);

// The port of a capture: sound at 48000 Hz from the source, its bytes waiting in a queue of at
// most two seconds for the input thread. Made by OpenPulseSound.
class PulseSoundPort final : public SerialPort {
 public:
  static constexpr int kSampleRate = 48000;
  static constexpr std::size_t kQueueBytes = 2 * 7200;  // older bytes are dropped beyond this

  // Ends the stream and the connection: no callback of the server's runs after it.
  ~PulseSoundPort() override;
  PulseSoundPort(const PulseSoundPort&) = delete;
  PulseSoundPort& operator=(const PulseSoundPort&) = delete;

  // The serial port's contract. Reads fail for good once the source or the server has gone,
  // after the bytes that came before; there is no box to command, so writes do nothing.
  int Read(std::uint8_t* buffer, int count) override;
  bool Write(const std::uint8_t* data, std::size_t count) override;
  void PurgeTransmit() override {}
  void SetRts(bool) override {}
  void Wake() override;

  // Why reads fail ("the sound source was removed", "the audio server has gone"); "" while the
  // capture runs. Any thread.
  std::string FailureReason() const override;
  // Bytes dropped from the queue because nothing read them in time. Any thread.
  std::uint64_t DroppedBytes() const;

 private:
  struct Impl;
  friend std::unique_ptr<SerialPort> OpenPulseSound(const std::string&, double, std::string&);
  explicit PulseSoundPort(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

// Captures `source` ("" for the server's default source), demodulated around `centreHz`
// (1000..2500). Returns once the stream runs; nullptr, with the reason in `error`, when there is
// no server, no such source, or the server does not answer within a few seconds.
std::unique_ptr<SerialPort> OpenPulseSound(const std::string& source, double centreHz,
                                           std::string& error);

// The sound opener of the program.
class PulseSoundOpener final : public SoundPortOpener {
 public:
  std::unique_ptr<SerialPort> Open(const std::string& source, double centreHz,
                                   std::string& error) override {
    return OpenPulseSound(source, centreHz, error);
  }
};

}  // namespace zarvo
