#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "programtable.h"
#include "vantorel.h"

// A fresh, empty HOME for as long as the object lives; instances made meanwhile keep their configuration
// there. The previous HOME comes back afterwards.
struct ScopedHome {
  ScopedHome() {
    if (const char* old = getenv("HOME")) previous = old;
    std::string pattern = (std::filesystem::temp_directory_path() / "vantorel-home-XXXXXX").string();
    if (mkdtemp(pattern.data())) dir = pattern;
    setenv("HOME", dir.c_str(), 1);
  }
  ~ScopedHome() {
    std::filesystem::remove_all(dir);
    if (previous.empty()) unsetenv("HOME");
    else setenv("HOME", previous.c_str(), 1);
  }
  ScopedHome(const ScopedHome&) = delete;
  ScopedHome& operator=(const ScopedHome&) = delete;
  std::filesystem::path configFolder() const { return dir / "Music" / "KestrosaMusic"; }
  std::filesystem::path configFile() const { return configFolder() / "vantorel.ini"; }

  std::filesystem::path dir;
  std::string previous;
};

// A Vantorel driven the way a host drives it, with stereo output buffers at hand.
struct TestInstrument {
  explicit TestInstrument(double rate = 48000.0, int block = 512) : plug(std::make_unique<Vantorel>(iplug::InstanceInfo{})) {
    plug->ResetProcessing(rate, block);
  }

  void set(int index, double plain) {
    plug->GetParam(index)->Set(plain);
    plug->OnParamChange(index);
  }
  void midi(int offset, int status, int d1, int d2) {
    plug->ProcessMidiMsg(iplug::IMidiMsg(offset, static_cast<uint8_t>(status), static_cast<uint8_t>(d1),
                                         static_cast<uint8_t>(d2)));
  }
  void noteOn(int offset, int key, int velocity = 100) { midi(offset, 0x90, key, velocity); }
  void noteOff(int offset, int key) { midi(offset, 0x80, key, 0); }
  void cc(int offset, int number, int value) { midi(offset, 0xB0, number, value); }

  // Renders n samples as one host block, appended to left/right.
  void block(int n) {
    const size_t at = left.size();
    left.resize(at + n);
    right.resize(at + n);
    double* outs[2] = {left.data() + at, right.data() + at};
    plug->ProcessBlock(nullptr, outs, n);
  }
  void render(int total, int blockSize) {
    while (total > 0) {
      const int n = total < blockSize ? total : blockSize;
      block(n);
      total -= n;
    }
  }
  Vantorel& operator*() { return *plug; }
  Vantorel* operator->() { return plug.get(); }

  std::unique_ptr<Vantorel> plug;
  std::vector<double> left, right;
};

// Fills the bank with the factory programs from their table, as the bundle's bank has them (an instance
// outside a bundle finds no factory bank of its own); false if the table cannot be read.
inline bool loadFactoryPrograms(Vantorel& plug) {
  std::ifstream table(VANTOREL_FACTORY_PROGRAMS);
  std::vector<factory::Program> programs;
  std::string error;
  if (!factory::readPrograms(table, plug, vantorel::kNumPrograms, programs, error)) return false;
  factory::fillBank(plug, programs);
  return true;
}
