// Loads the built Vantorel.vst3 through JUCE's VST3 hosting, as a DAW does, and checks identity,
// parameters, programs, rendering, state, host program changes and MIDI thru. Expected values come
// from the instrument itself, driven directly by vantorel_reference_render in a child process.
#include <gtest/gtest.h>
#include <juce_audio_processors/juce_audio_processors.h>
#include <stdlib.h>

#include "host_util.h"
#include "../igraphics/xvfb.h"

#include <cmath>
#include <filesystem>
#include <limits>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

constexpr int kNumParams = 66;
constexpr int kNumPrograms = 64;

// ---------------------------------------------------------------------------------------------------------
// Helpers


juce::String runReference(const juce::StringArray& args) {
  juce::ChildProcess child;
  juce::StringArray all{VANTOREL_REFERENCE_RENDER};
  all.addArray(args);
  EXPECT_TRUE(child.start(all, juce::ChildProcess::wantStdOut | juce::ChildProcess::wantStdErr));
  const juce::String out = child.readAllProcessOutput();
  EXPECT_TRUE(child.waitForProcessToFinish(120000));
  EXPECT_EQ(child.getExitCode(), 0u) << out;
  return out;
}

struct ParamDesc {
  juce::String name, display;
  double defaultValue = 0.0;
  double value = 0.0;  // normalised, once the factory bank is loaded
};

struct Description {
  std::vector<ParamDesc> params;
  std::vector<juce::String> programs;
  std::vector<std::vector<double>> programValues;  // normalised, per program
};

// The factory bank that a hosted instance loads from its bundle.
juce::File factoryBank() { return juce::File(VANTOREL_BUNDLE).getChildFile("Contents/Resources/init.fxb"); }

Description describeDirectly() {
  juce::StringArray args{"describe"};
  if (factoryBank().existsAsFile()) args.add(factoryBank().getFullPathName());
  Description d;
  for (const auto& line : juce::StringArray::fromLines(runReference(args))) {
    const auto fields = juce::StringArray::fromTokens(line, "\t", "");
    if (fields.size() >= 6 && fields[0] == "P")
      d.params.push_back({fields[2], fields[4], fields[3].getDoubleValue(), fields[5].getDoubleValue()});
    if (fields.size() >= 2 && fields[0] == "N") {
      d.programs.push_back(fields.size() > 2 ? fields[2] : juce::String());
      d.programValues.emplace_back();
      for (int i = 3; i < fields.size(); ++i) d.programValues.back().push_back(fields[i].getDoubleValue());
    }
  }
  return d;
}

class TempoPlayHead : public juce::AudioPlayHead {
public:
  explicit TempoPlayHead(double bpm) : mBpm(bpm) {}
  juce::Optional<PositionInfo> getPosition() const override {
    PositionInfo info;
    info.setBpm(mBpm);
    info.setTimeInSamples(mTime);
    info.setIsPlaying(true);
    return info;
  }
  int64_t mTime = 0;

private:
  double mBpm;
};

// One MIDI message at its sample position.
struct Msg {
  int64_t pos;
  int status, d1, d2;
};

// Notes anywhere; controllers and pitch wheel only at block starts, at most one of each per block,
// because JUCE hands mapped controllers to a plug-in as one value per block at offset 0.
std::vector<Msg> testSequence() {
  return {{0, 0xB0, 1, 0},         {1000, 0x90, 60, 100},   {5000, 0x90, 64, 90},    {9001, 0x90, 67, 80},
          {12800, 0xB0, 64, 127},  {15000, 0x80, 60, 64},   {17003, 0x80, 64, 0},    {20480, 0xE0, 0x7F, 0x50},
          {25600, 0xB0, 1, 100},   {30000, 0x90, 72, 110},  {33333, 0x80, 67, 10},   {38400, 0xB0, 64, 0},
          {40960, 0xE0, 0x00, 0x40}, {45000, 0x91, 48, 64},  {60000, 0x90, 72, 0},    {70001, 0x81, 48, 0},
          {76800, 0xB0, 1, 0},     {80000, 0x90, 36, 127},  {80000, 0x90, 43, 127},  {96000, 0x80, 36, 0},
          {96001, 0x80, 43, 0}};
}
constexpr int64_t kFrames = kBlock * 500;  // 2.67 s

struct Render {
  std::vector<double> left, right;
};

Render renderDirectly(const std::vector<Msg>& seq, double tempo, const juce::MemoryBlock* state = nullptr) {
  const auto dir = juce::File::getSpecialLocation(juce::File::tempDirectory);
  const auto events = dir.getNonexistentChildFile("events", ".txt");
  const auto out = dir.getNonexistentChildFile("render", ".raw");
  juce::String text;
  for (const auto& m : seq) text << (juce::int64)m.pos << " " << m.status << " " << m.d1 << " " << m.d2 << "\n";
  events.replaceWithText(text);
  juce::StringArray args{"render", juce::String(kRate), juce::String(kBlock), juce::String(tempo, 6),
                         juce::String(kFrames), events.getFullPathName(), out.getFullPathName(),
                         factoryBank().existsAsFile() ? factoryBank().getFullPathName() : juce::String("-")};
  juce::File stateFile;
  if (state) {
    stateFile = dir.getNonexistentChildFile("state", ".bin");
    stateFile.replaceWithData(state->getData(), state->getSize());
    args.add(stateFile.getFullPathName());
  }
  runReference(args);
  juce::MemoryBlock raw;
  out.loadFileAsData(raw);
  Render r;
  EXPECT_EQ(raw.getSize(), static_cast<size_t>(2 * kFrames) * sizeof(double));
  if (raw.getSize() == static_cast<size_t>(2 * kFrames) * sizeof(double)) {
    const auto* d = static_cast<const double*>(raw.getData());
    r.left.assign(d, d + kFrames);
    r.right.assign(d + kFrames, d + 2 * kFrames);
  }
  events.deleteFile();
  out.deleteFile();
  if (state) stateFile.deleteFile();
  return r;
}

// Renders the sequence through the host in blocks of kBlock. FloatType picks 32- or 64-bit processing.
template <typename FloatType>
Render renderHosted(juce::AudioPluginInstance& plugin, const std::vector<Msg>& seq, double tempo) {
  TempoPlayHead playHead(tempo);
  plugin.setPlayHead(&playHead);
  juce::AudioBuffer<FloatType> buffer(2, kBlock);
  juce::MidiBuffer midi;
  Render r;
  size_t next = 0;
  for (int64_t start = 0; start < kFrames; start += kBlock) {
    midi.clear();
    for (; next < seq.size() && seq[next].pos < start + kBlock; ++next) {
      const auto& m = seq[next];
      midi.addEvent(juce::MidiMessage(m.status, m.d1, m.d2), static_cast<int>(m.pos - start));
    }
    buffer.clear();
    playHead.mTime = start;
    plugin.processBlock(buffer, midi);
    for (int i = 0; i < kBlock; ++i) {
      r.left.push_back(static_cast<double>(buffer.getSample(0, i)));
      r.right.push_back(static_cast<double>(buffer.getSample(1, i)));
    }
  }
  plugin.setPlayHead(nullptr);
  return r;
}

void prepare(juce::AudioPluginInstance& plugin, bool doublePrecision) {
  plugin.setProcessingPrecision(doublePrecision ? juce::AudioProcessor::doublePrecision
                                                : juce::AudioProcessor::singlePrecision);
  plugin.prepareToPlay(kRate, kBlock);
}

double peak(const Render& r) {
  double p = 0.0;
  for (double v : r.left) p = std::max(p, std::fabs(v));
  return p;
}

// Counts the parameter changes and the edit gestures a host sees.
struct ChangeCounter : juce::AudioProcessorListener {
  void audioProcessorParameterChanged(juce::AudioProcessor*, int index, float) override { ++changes[index]; }
  void audioProcessorChanged(juce::AudioProcessor*, const ChangeDetails&) override {}
  void audioProcessorParameterChangeGestureBegin(juce::AudioProcessor*, int) override { ++gestures; }
  std::map<int, int> changes;
  int gestures = 0;
};

// Plays blocks of silence, letting the host's message loop run between them.
void playSilence(juce::AudioPluginInstance& plugin, int blocks) {
  juce::AudioBuffer<double> buffer(2, kBlock);
  juce::MidiBuffer midi;
  for (int i = 0; i < blocks; ++i) {
    plugin.processBlock(buffer, midi);
    pump(20);
  }
}

juce::MemoryBlock componentState(const juce::MemoryBlock& hostState) {
  juce::MemoryBlock raw;
  if (auto xml = juce::AudioProcessor::getXmlFromBinary(hostState.getData(), static_cast<int>(hostState.getSize()))) {
    if (auto* component = xml->getChildByName("IComponent")) raw.fromBase64Encoding(component->getAllSubText());
  }
  return raw;
}

}  // namespace

// ---------------------------------------------------------------------------------------------------------

TEST(VST3Host, IdentityBusesAndMidi) {
  juce::PluginDescription d;
  auto plugin = load(&d);
  ASSERT_NE(plugin, nullptr);
  EXPECT_EQ(d.pluginFormatName, "VST3");
  EXPECT_EQ(d.name, "Vantorel");
  EXPECT_EQ(d.manufacturerName, "Kestrosa Music");
  EXPECT_EQ(d.version, "1.0.1");
  EXPECT_EQ(d.category, "Instrument|Synth");
  EXPECT_TRUE(d.isInstrument);
  EXPECT_EQ(d.numInputChannels, 0);
  EXPECT_EQ(d.numOutputChannels, 2);
  EXPECT_EQ(plugin->getName(), "Vantorel");
  EXPECT_EQ(plugin->getTotalNumInputChannels(), 0);
  EXPECT_EQ(plugin->getTotalNumOutputChannels(), 2);
  EXPECT_EQ(plugin->getBusCount(true), 0);
  ASSERT_EQ(plugin->getBusCount(false), 1);
  EXPECT_EQ(plugin->getChannelLayoutOfBus(false, 0), juce::AudioChannelSet::stereo());
  EXPECT_TRUE(plugin->acceptsMidi());
  EXPECT_TRUE(plugin->producesMidi());
  EXPECT_TRUE(plugin->supportsDoublePrecisionProcessing());
}

TEST(VST3Host, ParametersAndProgramsAsTheInstrumentDefinesThem) {
  const Description expected = describeDirectly();
  ASSERT_EQ(expected.params.size(), static_cast<size_t>(kNumParams));
  // A few names straight from the parameter table, in case both sides agree on something wrong.
  EXPECT_EQ(expected.params[0].name, "Pitch Bend Amount");
  EXPECT_EQ(expected.params[11].name, "Organ: 16'");
  EXPECT_EQ(expected.params[65].name, "Master Volume");

  auto plugin = load();
  ASSERT_NE(plugin, nullptr);
  const auto& params = plugin->getParameters();
  ASSERT_GE(params.size(), kNumParams + 2);
  for (int i = 0; i < kNumParams; ++i) {
    auto* p = params[i];
    SCOPED_TRACE(i);
    EXPECT_EQ(p->getName(128), expected.params[i].name);
    EXPECT_FLOAT_EQ(p->getDefaultValue(), static_cast<float>(expected.params[i].defaultValue));
    EXPECT_FLOAT_EQ(p->getValue(), static_cast<float>(expected.params[i].value));  // program 0's
    EXPECT_EQ(p->getText(p->getDefaultValue(), 128), expected.params[i].display);
    EXPECT_TRUE(p->isAutomatable());
  }
  // A displayed value typed back in gives the same value (numbers, negated displays, list entries).
  for (int i : {1, 12, 21, 44, 49}) {
    const juce::String shown = params[i]->getText(0.3f, 128);
    EXPECT_EQ(params[i]->getText(params[i]->getValueForText(shown), 128), shown) << "parameter " << i;
  }

  ASSERT_EQ(plugin->getNumPrograms(), kNumPrograms);
  ASSERT_EQ(expected.programs.size(), static_cast<size_t>(kNumPrograms));
  for (int i = 0; i < kNumPrograms; ++i) EXPECT_EQ(plugin->getProgramName(i), expected.programs[i]) << i;
  EXPECT_EQ(plugin->getCurrentProgram(), 0);
}

TEST(VST3Host, RendersExactlyWhatTheInstrumentRendersDirectly) {
  const auto seq = testSequence();
  const Render reference = renderDirectly(seq, 120.0);
  ASSERT_EQ(reference.left.size(), static_cast<size_t>(kFrames));
  ASSERT_GT(peak(reference), 1e-3);  // the sequence makes sound

  auto plugin = load();
  ASSERT_NE(plugin, nullptr);
  prepare(*plugin, true);
  const Render hosted = renderHosted<double>(*plugin, seq, 120.0);
  ASSERT_EQ(hosted.left.size(), reference.left.size());
  int64_t firstDiff = -1;
  for (int64_t i = 0; i < kFrames && firstDiff < 0; ++i) {
    if (hosted.left[i] != reference.left[i] || hosted.right[i] != reference.right[i]) firstDiff = i;
  }
  EXPECT_EQ(firstDiff, -1) << "host " << hosted.left[firstDiff] << " direct " << reference.left[firstDiff];
  plugin->releaseResources();

  // At 32 bits the same doubles arrive rounded once to float; the audio thread flushes results below
  // float's normal range to zero.
  auto single = load();
  ASSERT_NE(single, nullptr);
  prepare(*single, false);
  const Render hosted32 = renderHosted<float>(*single, seq, 120.0);
  auto asFloat = [](double v) {
    const float f = static_cast<float>(v);
    return std::fabs(f) < std::numeric_limits<float>::min() ? 0.0f : f;
  };
  for (int64_t i = 0; i < kFrames; ++i) {
    ASSERT_EQ(static_cast<float>(hosted32.left[i]), asFloat(reference.left[i])) << i;
    ASSERT_EQ(static_cast<float>(hosted32.right[i]), asFloat(reference.right[i])) << i;
  }
}

TEST(VST3Host, StateFromOneInstanceRendersTheSameInAFreshOne) {
  // Instance A: a tempo-synced delay and a few other settings, through the host's parameters.
  auto a = load();
  ASSERT_NE(a, nullptr);
  prepare(*a, true);
  const auto& pa = a->getParameters();
  const std::map<int, float> settings = {{52, 1.0f}, {50, 0.5f}, {49, 0.25f}, {65, 0.75f}, {11, 0.125f}, {34, 1.0f}};
  for (const auto& [index, value] : settings) pa[index]->setValueNotifyingHost(value);
  juce::AudioBuffer<double> buffer(2, kBlock);
  juce::MidiBuffer midi;
  for (int i = 0; i < 4; ++i) {
    a->processBlock(buffer, midi);
    pump(20);
  }
  juce::MemoryBlock state;
  a->getStateInformation(state);
  const juce::MemoryBlock raw = componentState(state);
  // The state record (14 + 4 + 4 + name + 66 * 8 bytes) and the 32-bit bypass flag.
  ASSERT_GE(raw.getSize(), 550u + 4u);
  EXPECT_EQ(juce::String(static_cast<const char*>(raw.getData()), 14), "Vantorel_1.0.0");

  // Instance B: fresh, given the state, then set up and played at 97 bpm.
  auto b = load();
  ASSERT_NE(b, nullptr);
  b->setStateInformation(state.getData(), static_cast<int>(state.getSize()));
  const auto& pb = b->getParameters();
  for (int i = 0; i < kNumParams; ++i) EXPECT_EQ(pb[i]->getValue(), pa[i]->getValue()) << i;
  prepare(*b, true);
  const auto seq = testSequence();
  const Render hosted = renderHosted<double>(*b, seq, 97.0);
  const Render reference = renderDirectly(seq, 97.0, &raw);
  ASSERT_EQ(hosted.left.size(), reference.left.size());
  EXPECT_TRUE(hosted.left == reference.left && hosted.right == reference.right);
  // The settings matter (so the comparison above is not a comparison of two default sounds).
  const Render plain = renderDirectly(seq, 97.0);
  EXPECT_FALSE(plain.left == reference.left);
  // And so does the tempo the host reports.
  const Render otherTempo = renderDirectly(seq, 120.0, &raw);
  EXPECT_FALSE(otherTempo.left == reference.left);
}

TEST(VST3Host, ProgramChangeIsRestoredOnceWithoutEditGestures) {
  const Description expected = describeDirectly();
  auto plugin = load();
  ASSERT_NE(plugin, nullptr);
  prepare(*plugin, true);
  const auto& params = plugin->getParameters();
  // An unsaved edit of program 0 ...
  params[65]->setValueNotifyingHost(0.25f);
  playSilence(*plugin, 3);
  ASSERT_FLOAT_EQ(params[65]->getValue(), 0.25f);

  ChangeCounter counter;
  plugin->addListener(&counter);
  plugin->setCurrentProgram(5);
  playSilence(*plugin, 10);
  // ... is gone: program 5 is current and sounds as stored; the host was told of every value.
  EXPECT_EQ(plugin->getCurrentProgram(), 5);
  EXPECT_EQ(plugin->getProgramName(5), expected.programs[5]);
  ASSERT_EQ(expected.programValues[5].size(), static_cast<size_t>(kNumParams));
  for (int i = 0; i < kNumParams; ++i) EXPECT_FLOAT_EQ(params[i]->getValue(), static_cast<float>(expected.programValues[5][i])) << i;
  for (int i = 0; i < kNumParams; ++i) EXPECT_GE(counter.changes[i], 1) << "parameter " << i << " not announced";

  // A MIDI program change, rendered on an audio thread: the plug-in announces it, and an edit made before
  // the host passes the announcement back to the controller stays.
  std::thread audio([&plugin] {
    juce::AudioBuffer<double> buffer(2, kBlock);
    juce::MidiBuffer midi;
    midi.addEvent(juce::MidiMessage::programChange(1, 7), 0);
    plugin->processBlock(buffer, midi);
  });
  audio.join();
  params[65]->setValueNotifyingHost(0.25f);
  playSilence(*plugin, 10);
  EXPECT_EQ(plugin->getCurrentProgram(), 7);
  EXPECT_FLOAT_EQ(params[65]->getValue(), 0.25f);
  plugin->removeListener(&counter);
  EXPECT_EQ(counter.gestures, 0);  // nothing for a host in automation-write mode to record
}

TEST(VST3Host, DamagedStateKeepsEveryProgram) {
  const Description expected = describeDirectly();
  // A project saved with program 5 current, its record cut short in the parameter values.
  auto a = load();
  ASSERT_NE(a, nullptr);
  a->setCurrentProgram(5);
  pump(50);
  const float stored = a->getParameters()[2]->getValue();  // program 5's own "Synth: Volume"
  ASSERT_NE(stored, 0.125f);
  a->getParameters()[2]->setValueNotifyingHost(0.125f);
  pump(50);
  juce::MemoryBlock state;
  a->getStateInformation(state);
  const juce::MemoryBlock raw = componentState(state);
  ASSERT_GT(raw.getSize(), 300u);
  juce::MemoryBlock cut(raw.getData(), raw.getSize() - 300);
  juce::XmlElement xml("VST3PluginState");
  xml.createNewChildElement("IComponent")->addTextElement(cut.toBase64Encoding());
  juce::MemoryBlock damaged;
  juce::AudioProcessor::copyXmlToBinary(xml, damaged);

  auto b = load();
  ASSERT_NE(b, nullptr);
  prepare(*b, true);
  b->setCurrentProgram(2);
  playSilence(*b, 3);
  b->setStateInformation(damaged.getData(), static_cast<int>(damaged.getSize()));
  playSilence(*b, 3);
  EXPECT_FLOAT_EQ(b->getParameters()[2]->getValue(), 0.125f);  // what the record holds is applied
  EXPECT_EQ(b->getCurrentProgram(), 2);
  for (int i = 0; i < kNumPrograms; ++i) EXPECT_EQ(b->getProgramName(i), expected.programs[i]) << i;
  // Program 5 still holds its stored sound, not the half-restored one.
  b->setCurrentProgram(5);
  playSilence(*b, 3);
  EXPECT_FLOAT_EQ(b->getParameters()[2]->getValue(), stored);
}

// Writes the configuration file that instances created from now on read.
void writeConfig(const std::string& text) {
  const auto folder = std::filesystem::path(getenv("HOME")) / "Music" / "KestrosaMusic";
  std::filesystem::create_directories(folder);
  ASSERT_TRUE(juce::File((folder / "vantorel.ini").string()).replaceWithText(text));
}

TEST(VST3Host, MidiThruPassesMessagesOut) {
  // The configuration file switches MIDI thru on.
  writeConfig("[MIDI Global]\nMIDI Thru=true\n\n");
  auto plugin = load();
  ASSERT_NE(plugin, nullptr);
  prepare(*plugin, true);

  juce::AudioBuffer<double> buffer(2, kBlock);
  juce::MidiBuffer midi;
  midi.addEvent(juce::MidiMessage(0xB3, 7, 99), 0);
  midi.addEvent(juce::MidiMessage(0x93, 62, 77), 10);
  midi.addEvent(juce::MidiMessage(0x83, 62, 0), 200);
  plugin->processBlock(buffer, midi);

  std::vector<std::pair<int, juce::MidiMessage>> out;
  for (const auto meta : midi) out.emplace_back(meta.samplePosition, meta.getMessage());
  ASSERT_EQ(out.size(), 3u);
  EXPECT_TRUE(out[0].second.isController());
  EXPECT_EQ(out[0].second.getChannel(), 4);
  EXPECT_EQ(out[0].second.getControllerNumber(), 7);
  EXPECT_EQ(out[0].second.getControllerValue(), 99);
  EXPECT_TRUE(out[1].second.isNoteOn());
  EXPECT_EQ(out[1].first, 10);
  EXPECT_EQ(out[1].second.getNoteNumber(), 62);
  EXPECT_EQ(out[1].second.getVelocity(), 77);
  EXPECT_TRUE(out[2].second.isNoteOff());
  EXPECT_EQ(out[2].first, 200);

  // Switched off, nothing comes out.
  writeConfig("[MIDI Global]\nMIDI Thru=false\n\n");
  auto shipped = load();
  ASSERT_NE(shipped, nullptr);
  prepare(*shipped, true);
  midi.clear();
  midi.addEvent(juce::MidiMessage(0x93, 62, 77), 10);
  shipped->processBlock(buffer, midi);
  EXPECT_TRUE(midi.isEmpty());
}

TEST(VST3Host, StartupBankOrElseTheFactoryBank) {
  const Description expected = describeDirectly();
  ASSERT_EQ(expected.programs.size(), static_cast<size_t>(kNumPrograms));
  juce::MemoryBlock factory;
  ASSERT_TRUE(factoryBank().loadFileAsData(factory));
  // The user's startup bank: the factory bank with program 0 renamed; then the same with a foreign ID.
  const std::string name = expected.programs[0].toStdString();
  const std::string renamed = juce::String(name).toUpperCase().toStdString();
  ASSERT_NE(name, renamed);
  std::string bank(static_cast<const char*>(factory.getData()), factory.getSize());
  for (size_t at = bank.find(name); at != std::string::npos; at = bank.find(name, at))
    bank.replace(at, name.size(), renamed);
  const auto home = std::filesystem::path(getenv("HOME"));
  const juce::File startup((home / "startup.fxb").string()), foreign((home / "foreign.fxb").string());
  ASSERT_TRUE(startup.replaceWithData(bank.data(), bank.size()));
  ASSERT_TRUE(foreign.replaceWithData(bank.replace(16, 4, "Xtrl").data(), bank.size()));

  for (const auto& [file, first] : {std::pair{startup, renamed}, std::pair{foreign, name}}) {
    SCOPED_TRACE(file.getFileName());
    const std::string config = "[Startup Bank]\nFile=" + file.getFullPathName().toStdString() + "\n\n";
    writeConfig(config);
    auto plugin = load();
    ASSERT_NE(plugin, nullptr);
    EXPECT_EQ(plugin->getProgramName(0), juce::String(first));
    for (int i = 1; i < kNumPrograms; ++i) EXPECT_EQ(plugin->getProgramName(i), expected.programs[i]) << i;
    // A refused bank is forgotten by the instance, not by the configuration file.
    const juce::File ini((home / "Music" / "KestrosaMusic" / "vantorel.ini").string());
    EXPECT_TRUE(ini.loadFileAsString().contains("File=" + file.getFullPathName()));
  }
  writeConfig("");
}

int main(int argc, char** argv) {
  // Instances create their configuration folder under HOME: give this run a home of its own.
  std::string pattern = (std::filesystem::temp_directory_path() / "vantorel-host-test-XXXXXX").string();
  char* dir = mkdtemp(pattern.data());
  if (!dir) return 1;
  setenv("HOME", dir, 1);
  // The editor tests need an X server: a private one, started before JUCE looks for a display.
  xtest::PrivateXServer xServer;
  if (!xServer.Start("1920x1080x24")) noDisplay = xServer.problem;
  if (!xServer.missing && !noDisplay.empty()) return 1;
  ::testing::InitGoogleTest(&argc, argv);
  int result = 0;
  {
    juce::ScopedJuceInitialiser_GUI juce;
    result = RUN_ALL_TESTS();
  }
  juce::File(dir).deleteRecursively();
  return result;
}
