#pragma once
// Shared by the fuzz targets: one instrument for a whole run, made in a home folder of the run's own,
// and the checks every input must pass.
#include <stdlib.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>

#include "vantorel.h"

namespace fuzz {

// Stops the run with a message: libFuzzer then saves the input that got here.
[[noreturn]] inline void fail(const char* what) {
  std::fprintf(stderr, "fuzz check failed: %s\n", what);
  std::abort();
}

// A fresh HOME (on a memory file system when there is one, so configuration rewrites are cheap).
// Kept for the whole process (never destroyed), so the exit handler can still remove the folder.
inline const std::string& home() {
  static const std::string* dir = [] {
    const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    auto* pattern = new std::string(std::string(base) + "/vantorel-fuzz-XXXXXX");
    if (!mkdtemp(pattern->data())) fail("cannot make a home folder");
    setenv("HOME", pattern->c_str(), 1);
    std::atexit([] { std::filesystem::remove_all(home()); });
    return pattern;
  }();
  return *dir;
}

inline Vantorel& instrument() {
  static Vantorel* plug = [] {
    home();
    auto* p = new Vantorel(iplug::InstanceInfo{});
    p->ResetProcessing(48000.0, 64);
    return p;
  }();
  return *plug;
}

// Every parameter in its range, and a short render with a note is finite.
inline void checkSound(Vantorel& plug) {
  for (int i = 0; i < plug.NParams(); ++i) {
    const iplug::IParam* p = plug.GetParam(i);
    const double v = p->Value();
    if (!(v >= p->GetMin() && v <= p->GetMax())) fail("parameter outside its range");
  }
  double left[64], right[64];
  double* outs[2] = {left, right};
  plug.ProcessMidiMsg(iplug::IMidiMsg(0, 0x90, 60, 100));
  plug.ProcessBlock(nullptr, outs, 64);
  plug.ProcessMidiMsg(iplug::IMidiMsg(0, 0x80, 60, 0));
  plug.ProcessBlock(nullptr, outs, 64);
  for (int i = 0; i < 64; ++i)
    if (!std::isfinite(left[i]) || !std::isfinite(right[i])) fail("non-finite sample");
}

// The whole bank, the current program and the current sound.
inline std::string snapshot(const Vantorel& plug) {
  iplug::IByteChunk bank, state;
  plug.SaveBankAsChunk(bank);
  plug.SerializeState(state);
  return std::string(reinterpret_cast<const char*>(bank.GetData()), bank.Size()) + "|" +
         std::string(reinterpret_cast<const char*>(state.GetData()), state.Size());
}

}  // namespace fuzz
