// vantorel-render: plays a Standard MIDI File (or the built-in demo) through the instrument and writes an
// audio file, driving the instrument with the same calls a host makes.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "audiowriter.h"
#include "blockrender.h"
#include "demo.h"
#include "factorybank.h"
#include "midifile.h"
#include "options.h"
#include "vantorel.h"

namespace {

using namespace render;

int fail(int code, const std::string& message) {
  std::fprintf(stderr, "vantorel-render: %s\n", message.c_str());
  return code;
}

std::vector<ParamDesc> describeParams(const iplug::IPluginBase& plug) {
  std::vector<ParamDesc> out(plug.NParams());
  for (int i = 0; i < plug.NParams(); ++i) {
    const iplug::IParam* p = plug.GetParam(i);
    out[i].name = p->GetName();
    if (p->Type() == iplug::IParam::kTypeEnum)
      for (int t = 0; t < p->NDisplayTexts(); ++t) out[i].enumTexts.push_back(p->GetDisplayText(t));
  }
  return out;
}

// Sets a plain value (clamped and, for stepped parameters, rounded by the parameter) and applies it.
void setParam(Vantorel& plug, int index, double value) {
  plug.GetParam(index)->Set(value);
  plug.OnParamChange(index);
}

// Why a file cannot be read ("" when it is a regular file that opens).
std::string unreadable(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::strerror(errno);
  struct stat st;
  const bool regular = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  close(fd);
  return regular ? "" : "not a regular file";
}

// A bank or program file the instrument refused, with the reason.
std::string refusedFile(const char* what, const std::string& path) {
  const std::string why = unreadable(path);
  if (!why.empty()) return std::string("cannot open ") + what + " '" + path + "': " + why;
  return std::string("cannot load ") + what + " '" + path + "': not a Vantorel " + what + ", or damaged";
}

// Whether the command line chooses the program played.
bool programChosen(const Options& opt) { return !opt.bankPath.empty() || opt.hasProgram || !opt.fxpPath.empty(); }

// The program played: the bank (the factory bank unless --bank), its program 0 or --program, then --fxp
// into that program, or --init. On failure returns the exit status with a message.
int choosePrograms(Vantorel& plug, const Options& opt, std::string& error) {
  if (opt.bankPath.empty()) {
    iplug::IByteChunk bank;
    bank.PutBytes(factoryBank().data(), static_cast<int>(factoryBank().size()));
    if (!plug.LoadBankFromChunk(bank)) {
      error = "the built-in factory bank is damaged";
      return 1;
    }
  } else if (!plug.LoadBankFromFXB(opt.bankPath.c_str())) {
    error = refusedFile("bank", opt.bankPath);
    return 1;
  }
  if (opt.hasProgram) {
    const iplug::IPreset* preset =
        opt.program >= 0 && opt.program < plug.NPresets() ? plug.GetPreset(static_cast<int>(opt.program)) : nullptr;
    if (!preset) {
      error = "bad program number '" + std::to_string(opt.program) + "': expected 0 to " +
              std::to_string(plug.NPresets() - 1);
      return 2;
    }
    if (!preset->mInitialized) {
      const std::string bank = opt.bankPath.empty() ? "the factory bank" : "bank '" + opt.bankPath + "'";
      error = "program " + std::to_string(opt.program) + " of " + bank + " is empty";
      return 1;
    }
    plug.RestorePreset(static_cast<int>(opt.program));
  }
  if (!opt.fxpPath.empty() && !plug.LoadPresetFromFXP(opt.fxpPath.c_str())) {
    error = refusedFile("program file", opt.fxpPath);
    return 1;
  }
  if (opt.init) plug.initProgram();
  return 0;
}

void listPrograms(const Vantorel& plug) {
  for (int i = 0; i < plug.NPresets(); ++i) std::printf("%-5d %s\n", i, plug.GetPresetName(i));
}

void listParams(const Vantorel& plug) {
  std::printf("%-5s %-30s %-32s %-10s %s\n", "index", "name", "range", "default", "display");
  for (int i = 0; i < plug.NParams(); ++i) {
    const iplug::IParam* p = plug.GetParam(i);
    char range[256], def[64];
    if (p->Type() == iplug::IParam::kTypeEnum) {
      std::string texts;
      for (int t = 0; t < p->NDisplayTexts(); ++t) texts += (t ? "|" : "") + std::string(p->GetDisplayText(t));
      std::snprintf(range, sizeof range, "%g..%g %s", p->GetMin(), p->GetMax(), texts.c_str());
    } else {
      std::snprintf(range, sizeof range, "%g..%g", p->GetMin(), p->GetMax());
    }
    std::snprintf(def, sizeof def, "%g", p->GetDefault());
    WDL_String display;
    p->GetDisplay(display);
    std::printf("%-5d %-30s %-32s %-10s %s\n", i, p->GetName(), range, def, display.Get());
  }
}

std::string tooLongMessage(const Options& opt, int64_t frames) {
  const char* why = opt.lengthMode == LengthMode::kGiven ? ""
                    : opt.lengthMode == LengthMode::kAuto ? " (the MIDI file's last event plus up to 60 s)"
                                                          : " (the MIDI file's last event plus 3 s)";
  const std::string in = opt.container == Container::kOgg ? "" : std::string(" in ") + formatName(opt.format);
  char msg[256];
  std::snprintf(msg, sizeof msg, "a render of %.1f s at %d Hz%s is too long for %s %s file%s",
                static_cast<double>(frames) / opt.rate, opt.rate, in.c_str(),
                opt.container == Container::kAiff ? "an" : "a", containerName(opt.container), why);
  return msg;
}

// A demo parameter change at its sample position.
struct ParamChange {
  int64_t pos;
  int index;
  double value;
};

// The instrument and the output file behind the block loop.
class Session : public BlockTarget {
public:
  // With a silence end, the render stops where it says; without, it runs to the loop's full length.
  Session(Vantorel& plug, AudioWriter& out, int blockSize, ProgressBar& progress, SilenceEnd* silenceEnd)
      : mPlug(plug), mOut(out), mLeft(blockSize), mRight(blockSize), mProgress(progress), mSilenceEnd(silenceEnd) {
    mOutputs[0] = mLeft.data();
    mOutputs[1] = mRight.data();
  }

  // Demo changes after the start, each applied before the block that contains its time.
  std::vector<ParamChange> changes;
  double processSeconds = 0.0;
  int64_t written = 0;  // frames
  std::string error;

  void beginBlock(int64_t start, int n) override {
    const auto t0 = Clock::now();
    for (; mNextChange < changes.size() && changes[mNextChange].pos < start + n; ++mNextChange)
      setParam(mPlug, changes[mNextChange].index, changes[mNextChange].value);
    processSeconds += Seconds(Clock::now() - t0).count();
  }
  void midi(int offset, const ScheduledEvent& e) override {
    const auto t0 = Clock::now();
    mPlug.ProcessMidiMsg(iplug::IMidiMsg(offset, e.status, e.data1, e.data2));
    processSeconds += Seconds(Clock::now() - t0).count();
  }
  bool process(int64_t start, int n) override {
    const auto t0 = Clock::now();
    mPlug.ProcessBlock(nullptr, mOutputs, n);
    processSeconds += Seconds(Clock::now() - t0).count();
    const int keep = mSilenceEnd ? mSilenceEnd->keep(start, mLeft.data(), mRight.data(), n) : n;
    if (!mOut.write(mLeft.data(), mRight.data(), keep, error)) return false;
    written += keep;
    mProgress.update(start + n);
    return true;
  }
  bool finished() const override { return mSilenceEnd && mSilenceEnd->reached(); }

private:
  using Clock = std::chrono::steady_clock;
  using Seconds = std::chrono::duration<double>;
  Vantorel& mPlug;
  AudioWriter& mOut;
  std::vector<double> mLeft, mRight;
  double* mOutputs[2];
  ProgressBar& mProgress;
  SilenceEnd* mSilenceEnd;
  size_t mNextChange = 0;
};

int run(int argc, char** argv) {
  Options opt;
  std::string error;
  if (!parseOptions(argc, argv, opt, error)) return fail(2, error);
  if (opt.help) {
    std::fputs(usageText(), stdout);
    return 0;
  }
  const bool demo = opt.midiPath.empty();
  const bool listing = opt.listParams || opt.listPrograms;
  const double rate = opt.rate;

  MidiFile midi;
  if (!listing) {
    const bool ok = demo ? parseMidi(demoMidi().data(), demoMidi().size(), midi, error)
                         : loadMidiFile(opt.midiPath, midi, error);
    if (!ok) return fail(1, demo ? "demo piece: " + error : error);
  }

  auto plug = std::make_unique<Vantorel>(iplug::InstanceInfo{});
  plug->ResetProcessing(rate, opt.block);
  if (const int status = choosePrograms(*plug, opt, error)) return fail(status, error);

  const std::vector<ParamDesc> params = describeParams(*plug);
  std::vector<std::pair<int, double>> settings;
  std::set<int> userSet;
  for (const ParamSetting& s : opt.settings) {
    int index;
    double value;
    if (!resolveSetting(s, params, index, value, error)) return fail(2, error);
    settings.emplace_back(index, value);
    userSet.insert(index);
  }

  // The demo's own sound, unless a program is chosen: every parameter at its default, then the opening
  // settings, so that --set can change them; its later changes leave alone what the command line set.
  std::vector<ParamChange> laterChanges;
  if (demo && !programChosen(opt)) {
    for (int i = 0; i < plug->NParams(); ++i) setParam(*plug, i, plug->GetParam(i)->GetDefault());
    for (const DemoChange& c : demoChanges()) {
      int index = 0;
      while (index < static_cast<int>(params.size()) && params[index].name != c.param) ++index;
      if (index == static_cast<int>(params.size())) return fail(1, std::string("demo piece: no parameter ") + c.param);
      if (c.seconds <= 0.0) setParam(*plug, index, c.value);
      else if (!userSet.count(index)) laterChanges.push_back({samplePosition(c.seconds, rate), index, c.value});
    }
  }
  for (const auto& [index, value] : settings) setParam(*plug, index, value);

  if (listing) {
    if (opt.listPrograms) listPrograms(*plug);
    if (opt.listParams) listParams(*plug);
    return 0;
  }

  plug->SetTempo(opt.hasTempo ? opt.tempo : midi.firstTempoBpm > 0.0 ? midi.firstTempoBpm : 120.0);

  const std::vector<ScheduledEvent> events = scheduleEvents(midi, opt.rate);
  std::optional<SilenceEnd> silenceEnd;
  if (opt.lengthMode == LengthMode::kAuto) silenceEnd.emplace(events.empty() ? 0 : events.back().pos, opt.rate);
  // The loop's full length; an automatic one ends earlier once the sound has died.
  const int64_t frames = opt.lengthMode == LengthMode::kGiven ? samplePosition(opt.length, opt.rate)
                         : silenceEnd                         ? silenceEnd->limit()
                                                              : defaultLength(midi, opt.rate);
  if (!fitsInFile(frames, opt.container, opt.format))
    return fail(opt.lengthMode == LengthMode::kGiven ? 2 : 1, tooLongMessage(opt, frames));

  const std::string outPath = opt.outPath.empty() ? defaultOutputPath(opt.midiPath) : opt.outPath;
  AudioWriter out;
  if (!out.open(outPath, opt.rate, opt.container, opt.format, error)) return fail(1, error);

  ProgressBar progress(stderr, isatty(STDERR_FILENO) != 0, frames, rate);
  Session session(*plug, out, opt.block, progress, silenceEnd ? &*silenceEnd : nullptr);
  session.changes = std::move(laterChanges);
  if (!renderBlocks(events, frames, opt.block, session)) {
    progress.stop();
    out.discard();
    return fail(1, session.error);
  }
  progress.finish();
  if (!out.close(error)) {
    out.discard();
    return fail(1, error);
  }

  if (opt.bench) {
    const double rendered = static_cast<double>(session.written) / rate;
    const double wall = session.processSeconds;
    std::printf("rendered %.3f s of audio in %.4f s wall: %.1fx real time\n", rendered, wall,
                wall > 0.0 ? rendered / wall : 0.0);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return run(argc, argv);
  } catch (const std::exception& e) {
    return fail(1, std::string("internal error: ") + e.what());
  }
}
