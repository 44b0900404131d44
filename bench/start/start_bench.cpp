// Start time of the first instance in a process, the way a host meets it: load the module, get the factory,
// create and initialise an instance, set up processing (48 kHz, 512 frames), activate it and render a
// first block with a note. Each run is a fresh child process (the module's one-time work counted every
// time); the medians of the runs are printed per step and in total.
#include <dlfcn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "host_doubles.h"
#include "pluginterfaces/base/ipluginbase.h"
#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstcomponent.h"

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {

const unsigned char kClassID[16] = {0xF2, 0xAE, 0xE7, 0x0D, 0x00, 0xDE, 0x4F, 0x4E,
                                    0x4B, 0x73, 0x74, 0x61, 0x56, 0x74, 0x72, 0x6C};
constexpr int kSteps = 5;
const char* const kStepNames[kSteps] = {"load module and factory", "create and initialise", "setupProcessing",
                                        "setActive, setProcessing", "first block (512 frames)"};

using Clock = std::chrono::steady_clock;

// One start in this process; fills the step times in milliseconds. Returns an error text or nullptr.
const char* startOnce(const char* module, double* ms) {
  auto t = Clock::now();
  auto lap = [&t](double& out) {
    const auto now = Clock::now();
    out = std::chrono::duration<double, std::milli>(now - t).count();
    t = now;
  };
  void* handle = dlopen(module, RTLD_NOW | RTLD_LOCAL);
  if (!handle) return dlerror();
  auto entry = reinterpret_cast<bool (*)(void*)>(dlsym(handle, "ModuleEntry"));
  auto get = reinterpret_cast<IPluginFactory* (*)()>(dlsym(handle, "GetPluginFactory"));
  if (!entry || !get || !entry(handle)) return "no module entry";
  IPluginFactory* factory = get();
  if (!factory) return "no factory";
  lap(ms[0]);

  IComponent* component = nullptr;
  if (factory->createInstance(reinterpret_cast<FIDString>(kClassID), IComponent::iid,
                              reinterpret_cast<void**>(&component)) != kResultOk)
    return "createInstance failed";
  if (component->initialize(nullptr) != kResultOk) return "initialize failed";
  IAudioProcessor* processor = nullptr;
  if (component->queryInterface(IAudioProcessor::iid, reinterpret_cast<void**>(&processor)) != kResultOk)
    return "no IAudioProcessor";
  lap(ms[1]);

  ProcessSetup setup{kRealtime, kSample32, 512, 48000.0};
  if (processor->setupProcessing(setup) != kResultOk) return "setupProcessing failed";
  lap(ms[2]);
  if (component->setActive(true) != kResultOk || processor->setProcessing(true) != kResultOk)
    return "activation failed";
  lap(ms[3]);

  std::vector<float> left(512), right(512);
  float* channels[2] = {left.data(), right.data()};
  AudioBusBuffers out{};
  out.numChannels = 2;
  out.channelBuffers32 = channels;
  testhost::EventList events;
  events.noteOn(0, 0, 60, 0.8f);
  ProcessData data = testhost::BlockData(512, kSample32, out, nullptr, nullptr, &events, nullptr);
  if (processor->process(data) != kResultOk) return "process failed";
  lap(ms[4]);
  return nullptr;  // the process exits right away; nothing to tear down
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const size_t n = v.size();
  return n % 2 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
}

}  // namespace

int main(int argc, char** argv) {
  const char* module = VANTOREL_VST3_MODULE;
  int runs = 21;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--runs") && i + 1 < argc) {
      runs = std::atoi(argv[++i]);
    } else if (!std::strcmp(argv[i], "-h") || !std::strcmp(argv[i], "--help")) {
      std::printf("usage: %s [--runs N] [MODULE.so]\n", argv[0]);
      return 0;
    } else if (argv[i][0] != '-') {
      module = argv[i];
    } else {
      std::fprintf(stderr, "%s: unknown option %s\n", argv[0], argv[i]);
      return 2;
    }
  }
  if (runs < 1) runs = 1;

  // Instances make their configuration under HOME: a folder of our own, made by a first run that is
  // not counted (as on a user's machine, where the configuration exists after the first start).
  std::string pattern = (std::filesystem::temp_directory_path() / "vantorel-start-XXXXXX").string();
  if (!mkdtemp(pattern.data())) {
    std::perror("mkdtemp");
    return 1;
  }
  setenv("HOME", pattern.c_str(), 1);

  std::vector<std::vector<double>> steps(kSteps);
  std::vector<double> totals;
  int status = 0;
  for (int run = 0; run <= runs && status == 0; ++run) {
    int fds[2];
    if (pipe(fds) != 0) return 1;
    const pid_t pid = fork();
    if (pid == 0) {
      close(fds[0]);
      double ms[kSteps] = {};
      const char* error = startOnce(module, ms);
      if (error) {
        std::fprintf(stderr, "vantorel_start_bench: %s\n", error);
        _exit(1);
      }
      const bool ok = write(fds[1], ms, sizeof ms) == static_cast<ssize_t>(sizeof ms);
      _exit(ok ? 0 : 1);
    }
    close(fds[1]);
    double ms[kSteps] = {};
    const bool got = read(fds[0], ms, sizeof ms) == static_cast<ssize_t>(sizeof ms);
    close(fds[0]);
    waitpid(pid, &status, 0);
    if (!got) status = 1;
    if (status != 0 || run == 0) continue;
    double total = 0.0;
    for (int s = 0; s < kSteps; ++s) {
      steps[s].push_back(ms[s]);
      total += ms[s];
    }
    totals.push_back(total);
  }
  std::filesystem::remove_all(pattern);
  if (status != 0) return 1;

  std::printf("instance start, median of %d fresh processes:\n", runs);
  for (int s = 0; s < kSteps; ++s) std::printf("  %-28s %8.3f ms\n", kStepNames[s], median(steps[s]));
  std::printf("  %-28s %8.3f ms\n", "total", median(totals));
  return 0;
}
