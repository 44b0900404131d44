// The instrument driven directly through IPlugAPIBase, the way vantorel-render drives it, for the VST3
// host test to compare against:
//   vantorel_reference_render describe [BANK.fxb]
//     prints "P<TAB>index<TAB>name<TAB>default (normalised, %.17g)<TAB>display of the default" for every
//     parameter and "N<TAB>index<TAB>name" for every program (of BANK.fxb when given)
//   vantorel_reference_render render RATE BLOCK TEMPO FRAMES EVENTS OUT [STATE]
//     EVENTS holds one "position status data1 data2" line per MIDI message, in order; STATE is a host state
//     (state record and bypass flag) restored before rendering; OUT receives FRAMES left then FRAMES right
//     samples as doubles.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "blockrender.h"
#include "vantorel.h"

namespace {

class Target : public render::BlockTarget {
public:
  Target(Vantorel& plug, int blockSize, int64_t frames) : mPlug(plug), mLeft(frames), mRight(frames), mBlock(blockSize) {}

  void midi(int offset, const render::ScheduledEvent& e) override {
    mPlug.ProcessMidiMsg(iplug::IMidiMsg(offset, e.status, e.data1, e.data2));
  }
  bool process(int64_t start, int n) override {
    double* outputs[2] = {mLeft.data() + start, mRight.data() + start};
    mPlug.ProcessBlock(nullptr, outputs, n);
    return true;
  }

  Vantorel& mPlug;
  std::vector<double> mLeft, mRight;
  int mBlock;
};

int describe(const char* bankPath) {
  auto plug = std::make_unique<Vantorel>(iplug::InstanceInfo{});
  if (bankPath && !plug->LoadBankFromFXB(bankPath)) {
    std::fprintf(stderr, "cannot load %s\n", bankPath);
    return 1;
  }
  for (int i = 0; i < plug->NParams(); ++i) {
    const iplug::IParam* p = plug->GetParam(i);
    WDL_String text;
    p->GetDisplay(p->GetDefault(true), true, text);
    std::printf("P\t%d\t%s\t%.17g\t%s\t%.17g\n", i, p->GetName(), p->GetDefault(true), text.Get(),
                p->GetNormalized());
  }
  for (int i = 0; i < plug->NPresets(); ++i) {
    std::printf("N\t%d\t%s", i, plug->GetPresetName(i));
    if (plug->RestorePreset(i))
      for (int p = 0; p < plug->NParams(); ++p) std::printf("\t%.17g", plug->GetParam(p)->GetNormalized());
    std::printf("\n");
  }
  return 0;
}

int renderFile(int argc, char** argv) {
  const double rate = std::atof(argv[2]);
  const int block = std::atoi(argv[3]);
  const double tempo = std::atof(argv[4]);
  const int64_t frames = std::atoll(argv[5]);
  std::vector<render::ScheduledEvent> events;
  {
    std::ifstream in(argv[6]);
    long long pos;
    int status, d1, d2;
    while (in >> pos >> status >> d1 >> d2) {
      events.push_back({pos, static_cast<uint8_t>(status), static_cast<uint8_t>(d1), static_cast<uint8_t>(d2)});
    }
  }

  // As a hosted instance lives: the factory bank loaded at construction, then set up.
  auto plug = std::make_unique<Vantorel>(iplug::InstanceInfo{});
  if (std::string(argv[8]) != "-" && !plug->LoadBankFromFXB(argv[8])) {
    std::fprintf(stderr, "cannot load %s\n", argv[8]);
    return 1;
  }
  // The host activates it before it sets it up, so it is first reset at the framework's default rate
  // (which steps the ensemble's sweep once more).
  plug->ResetProcessing(plug->GetSampleRate(), block);
  plug->ResetProcessing(rate, block);
  if (argc > 9) {
    std::ifstream in(argv[9], std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    iplug::IByteChunk chunk;
    chunk.PutBytes(bytes.data(), static_cast<int>(bytes.size()));
    if (plug->unserializeKestrosaState(chunk, 0) <= 0) {
      std::fprintf(stderr, "cannot restore %s\n", argv[9]);
      return 1;
    }
  }
  plug->SetTempo(tempo);

  Target target(*plug, block, frames);
  render::renderBlocks(events, frames, block, target);
  FILE* out = std::fopen(argv[7], "wb");
  if (!out) return 1;
  std::fwrite(target.mLeft.data(), sizeof(double), target.mLeft.size(), out);
  std::fwrite(target.mRight.data(), sizeof(double), target.mRight.size(), out);
  return std::fclose(out) == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && std::string(argv[1]) == "describe") return describe(argc > 2 ? argv[2] : nullptr);
  if (argc >= 9 && std::string(argv[1]) == "render") return renderFile(argc, argv);
  std::fprintf(stderr, "usage: %s describe [BANK.fxb] | render RATE BLOCK TEMPO FRAMES EVENTS OUT BANK.fxb|- [STATE]\n",
               argv[0]);
  return 2;
}
