// Loads the built VST3 module the way a host's scanner does (dlopen, ModuleEntry, GetPluginFactory) and
// checks what it tells the host about itself, field by field, then makes and runs one instance.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "host_doubles.h"
#include "pluginterfaces/base/ipluginbase.h"
#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstcomponent.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"
#include "pluginterfaces/vst/ivstmessage.h"
#include "pluginterfaces/vst/ivstunits.h"

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {

using GetFactoryProc = IPluginFactory* (*)();
using EntryProc = bool (*)(void*);
using ExitProc = bool (*)();

const unsigned char kClassID[16] = {0xF2, 0xAE, 0xE7, 0x0D, 0x00, 0xDE, 0x4F, 0x4E,
                                    0x4B, 0x73, 0x74, 0x61, 0x56, 0x74, 0x72, 0x6C};

std::string Ascii16(const char16* s) {
  std::string out;
  for (int i = 0; s[i]; ++i) out += static_cast<char>(s[i]);
  return out;
}

// The first and the last program name of the factory programs' table (the name opens each block).
std::pair<std::string, std::string> FactoryProgramNames() {
  std::ifstream in(VANTOREL_FACTORY_PROGRAMS);
  std::string first, last;
  bool inBlock = false;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line[0] == '#') continue;
    if (!inBlock && !line.empty()) (first.empty() ? first : last) = line;
    inBlock = !line.empty();
  }
  return {first, last};
}

class Module : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    // Instances create their configuration folder under HOME: keep it out of the real one.
    std::string pattern = (std::filesystem::temp_directory_path() / "vantorel-module-test-XXXXXX").string();
    char* dir = mkdtemp(pattern.data());
    ASSERT_NE(dir, nullptr);
    home = dir;
    setenv("HOME", dir, 1);
    handle = dlopen(VANTOREL_VST3_MODULE, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle, nullptr) << dlerror();
    auto entry = reinterpret_cast<EntryProc>(dlsym(handle, "ModuleEntry"));
    ASSERT_NE(entry, nullptr);
    ASSERT_TRUE(entry(handle));
    auto get = reinterpret_cast<GetFactoryProc>(dlsym(handle, "GetPluginFactory"));
    ASSERT_NE(get, nullptr);
    factory = get();
    ASSERT_NE(factory, nullptr);
  }
  static void TearDownTestSuite() {
    if (factory) factory->release();
    if (handle) {
      auto exitProc = reinterpret_cast<ExitProc>(dlsym(handle, "ModuleExit"));
      EXPECT_NE(exitProc, nullptr);
      if (exitProc) {
        EXPECT_TRUE(exitProc());
      }
      dlclose(handle);
    }
    if (!home.empty()) std::filesystem::remove_all(home);
  }
  static void* handle;
  static IPluginFactory* factory;
  static std::string home;
};
std::string Module::home;
void* Module::handle = nullptr;
IPluginFactory* Module::factory = nullptr;

}  // namespace

TEST_F(Module, ExportsOnlyTheEntryPoints) {
  EXPECT_NE(dlsym(handle, "GetPluginFactory"), nullptr);
  EXPECT_NE(dlsym(handle, "ModuleEntry"), nullptr);
  EXPECT_NE(dlsym(handle, "ModuleExit"), nullptr);
  EXPECT_EQ(dlsym(handle, "_ZN5iplug8MakePlugERKNS_12InstanceInfoE"), nullptr);
  EXPECT_EQ(dlsym(handle, "_ZN9Steinberg7FUnknown3iidE"), nullptr);
  // A second call hands out the same factory.
  auto get = reinterpret_cast<GetFactoryProc>(dlsym(handle, "GetPluginFactory"));
  IPluginFactory* again = get();
  EXPECT_EQ(again, factory);
  again->release();
  // The online version check loads its transfer library when it first runs, never with the module.
  EXPECT_EQ(dlopen("libcurl.so.4", RTLD_NOW | RTLD_NOLOAD), nullptr);
}

TEST_F(Module, FactoryInformation) {
  PFactoryInfo info;
  ASSERT_EQ(factory->getFactoryInfo(&info), kResultOk);
  EXPECT_STREQ(info.vendor, "Kestrosa Music");
  EXPECT_EQ(info.flags, 16);
  EXPECT_GT(std::strlen(info.url), 0u);
  EXPECT_GT(std::strlen(info.email), 0u);
  EXPECT_EQ(factory->countClasses(), 1);
  EXPECT_NE(factory->getClassInfo(1, nullptr), kResultOk);
}

TEST_F(Module, ClassEntry) {
  PClassInfo info;
  ASSERT_EQ(factory->getClassInfo(0, &info), kResultOk);
  EXPECT_EQ(std::memcmp(info.cid, kClassID, 16), 0);
  EXPECT_EQ(info.cardinality, 0x7FFFFFFF);
  EXPECT_STREQ(info.category, "Audio Module Class");
  EXPECT_STREQ(info.name, "Vantorel");
  PClassInfo bad;
  EXPECT_NE(factory->getClassInfo(1, &bad), kResultOk);

  IPluginFactory2* factory2 = nullptr;
  ASSERT_EQ(factory->queryInterface(IPluginFactory2::iid, reinterpret_cast<void**>(&factory2)), kResultOk);
  PClassInfo2 info2;
  ASSERT_EQ(factory2->getClassInfo2(0, &info2), kResultOk);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(static_cast<unsigned char>(info2.cid[i]), kClassID[i]) << "byte " << i;
  EXPECT_EQ(info2.cardinality, 0x7FFFFFFF);
  EXPECT_STREQ(info2.category, "Audio Module Class");
  EXPECT_STREQ(info2.name, "Vantorel");
  EXPECT_EQ(info2.classFlags, 2u);
  EXPECT_STREQ(info2.subCategories, "Instrument|Synth");
  EXPECT_STREQ(info2.vendor, "");
  EXPECT_STREQ(info2.version, "1.0.1");
  EXPECT_STREQ(info2.sdkVersion, "VST 3.7.3");
  factory2->release();

  IPluginFactory3* factory3 = nullptr;
  ASSERT_EQ(factory->queryInterface(IPluginFactory3::iid, reinterpret_cast<void**>(&factory3)), kResultOk);
  PClassInfoW infoW;
  ASSERT_EQ(factory3->getClassInfoUnicode(0, &infoW), kResultOk);
  EXPECT_EQ(std::memcmp(infoW.cid, kClassID, 16), 0);
  EXPECT_EQ(Ascii16(infoW.name), "Vantorel");
  EXPECT_EQ(Ascii16(infoW.version), "1.0.1");
  EXPECT_EQ(Ascii16(infoW.sdkVersion), "VST 3.7.3");
  EXPECT_STREQ(infoW.subCategories, "Instrument|Synth");
  factory3->release();
}

TEST_F(Module, CreatesOneObjectWithAllInterfaces) {
  void* obj = nullptr;
  TUID wrong = {0};
  EXPECT_NE(factory->createInstance(wrong, IComponent::iid, &obj), kResultOk);
  EXPECT_EQ(obj, nullptr);

  IComponent* component = nullptr;
  ASSERT_EQ(factory->createInstance(reinterpret_cast<FIDString>(kClassID), IComponent::iid,
                                    reinterpret_cast<void**>(&component)),
            kResultOk);
  ASSERT_NE(component, nullptr);
  testhost::ComponentHandler handler;
  ASSERT_EQ(component->initialize(static_cast<IComponentHandler*>(&handler)), kResultOk);

  IAudioProcessor* processor = nullptr;
  IEditController* controller = nullptr;
  IUnitInfo* units = nullptr;
  IMidiMapping* mapping = nullptr;
  IProcessContextRequirements* requirements = nullptr;
  IConnectionPoint* connection = nullptr;
  ASSERT_EQ(component->queryInterface(IAudioProcessor::iid, reinterpret_cast<void**>(&processor)), kResultOk);
  ASSERT_EQ(component->queryInterface(IEditController::iid, reinterpret_cast<void**>(&controller)), kResultOk);
  ASSERT_EQ(component->queryInterface(IUnitInfo::iid, reinterpret_cast<void**>(&units)), kResultOk);
  ASSERT_EQ(component->queryInterface(IMidiMapping::iid, reinterpret_cast<void**>(&mapping)), kResultOk);
  ASSERT_EQ(component->queryInterface(IProcessContextRequirements::iid, reinterpret_cast<void**>(&requirements)),
            kResultOk);
  ASSERT_EQ(component->queryInterface(IConnectionPoint::iid, reinterpret_cast<void**>(&connection)), kResultOk);
  TUID controllerClass;
  EXPECT_NE(component->getControllerClassId(controllerClass), kResultOk);  // single component
  EXPECT_EQ(connection->connect(connection), kResultTrue);
  EXPECT_EQ(requirements->getProcessContextRequirements() & IProcessContextRequirements::kNeedTempo,
            IProcessContextRequirements::kNeedTempo);

  EXPECT_EQ(controller->getParameterCount(), 66 + 2 + 16 * 131);
  ParameterInfo pinfo{};
  ASSERT_EQ(controller->getParameterInfo(0, pinfo), kResultTrue);
  EXPECT_EQ(pinfo.id, 0u);
  UnitInfo unit{};
  ASSERT_EQ(units->getUnitInfo(0, unit), kResultTrue);
  ProgramListInfo list{};
  ASSERT_EQ(units->getProgramListInfo(0, list), kResultTrue);
  EXPECT_EQ(unit.programListId, list.id);
  EXPECT_EQ(list.programCount, 64);
  EXPECT_EQ(testhost::ToAscii(list.name), "Factory Presets");
  // Loaded from its bundle, the instance finds the factory bank in the bundle's resources.
  String128 programName{};
  ASSERT_EQ(units->getProgramName(list.id, 0, programName), kResultTrue);
  const auto [first, last] = FactoryProgramNames();
  EXPECT_EQ(testhost::ToAscii(programName), first);
  ASSERT_EQ(units->getProgramName(list.id, 63, programName), kResultTrue);
  EXPECT_EQ(testhost::ToAscii(programName), last);

  connection->disconnect(connection);
  connection->release();
  requirements->release();
  mapping->release();
  units->release();
  controller->release();
  processor->release();
  EXPECT_EQ(component->terminate(), kResultOk);
  EXPECT_EQ(component->release(), 0u);
}

// What a validator does to a plug-in, on the real instrument: repeated life cycles, both sample sizes,
// odd, empty and oversized blocks, buses switched off, every parameter changed at once, state round trips.
TEST_F(Module, SurvivesAValidatorStyleWorkout) {
  IComponent* component = nullptr;
  ASSERT_EQ(factory->createInstance(reinterpret_cast<FIDString>(kClassID), IComponent::iid,
                                    reinterpret_cast<void**>(&component)),
            kResultOk);
  IAudioProcessor* processor = nullptr;
  IEditController* controller = nullptr;
  ASSERT_EQ(component->queryInterface(IAudioProcessor::iid, reinterpret_cast<void**>(&processor)), kResultOk);
  ASSERT_EQ(component->queryInterface(IEditController::iid, reinterpret_cast<void**>(&controller)), kResultOk);

  std::vector<double> l64(1024), r64(1024);
  std::vector<float> l32(1024), r32(1024);
  double* ch64[2] = {l64.data(), r64.data()};
  float* ch32[2] = {l32.data(), r32.data()};

  for (int cycle = 0; cycle < 2; ++cycle) {
    ASSERT_EQ(component->initialize(nullptr), kResultOk);
    EXPECT_EQ(component->initialize(nullptr), kResultFalse);
    std::vector<ParamID> ids;
    for (int32 i = 0; i < controller->getParameterCount(); ++i) {
      ParameterInfo info{};
      ASSERT_EQ(controller->getParameterInfo(i, info), kResultTrue);
      ids.push_back(info.id);
      String128 text{};
      EXPECT_EQ(controller->getParamStringByValue(info.id, info.defaultNormalizedValue, text), kResultTrue);
      EXPECT_GE(info.defaultNormalizedValue, 0.0);
      EXPECT_LE(info.defaultNormalizedValue, 1.0);
    }
    ParameterInfo bad{};
    EXPECT_NE(controller->getParameterInfo(-1, bad), kResultTrue);
    EXPECT_NE(controller->getParameterInfo(static_cast<int32>(ids.size()), bad), kResultTrue);

    for (int32 size : {kSample32, kSample64}) {
      ProcessSetup setup{kRealtime, size, 512, 44100.0};
      ASSERT_EQ(processor->setupProcessing(setup), kResultOk);
      ProcessSetup unsound{kRealtime, size, 512, 200.0};
      EXPECT_EQ(processor->setupProcessing(unsound), kResultFalse);
      for (int onOff = 0; onOff < 2; ++onOff) {
        ASSERT_EQ(component->activateBus(kAudio, kOutput, 0, onOff == 0), kResultTrue);
        ASSERT_EQ(component->setActive(true), kResultOk);
        ASSERT_EQ(component->setActive(true), kResultOk);  // repeated states are no error
        EXPECT_EQ(processor->setupProcessing(setup), kResultFalse);  // not while active
        ASSERT_EQ(processor->setProcessing(true), kResultOk);
        int block = 0;
        for (int32 n : {0, 1, 7, 512, 333, 0, 1024, 2}) {
          testhost::ParamChanges changes;
          testhost::EventList events;
          if (block++ == 2) {
            // Every parameter at once, hidden ones included, at varied offsets.
            for (size_t k = 0; k < ids.size(); ++k) changes.add(ids[k], static_cast<int32>(k % 7), (k % 11) / 10.0);
          }
          events.noteOn(0, 0, static_cast<int16>(40 + block), 0.7f);
          events.noteOff(n > 0 ? n - 1 : 0, 0, static_cast<int16>(39 + block), 0.0f);
          AudioBusBuffers out{};
          out.numChannels = 2;
          if (size == kSample64) out.channelBuffers64 = ch64;
          else out.channelBuffers32 = ch32;
          ProcessData data;
          data.symbolicSampleSize = size;
          data.numSamples = n;
          data.numOutputs = (n == 0 && block == 1) ? 0 : 1;  // a flush without buffers, then with
          data.outputs = data.numOutputs ? &out : nullptr;
          data.inputParameterChanges = &changes;
          data.inputEvents = &events;
          ASSERT_EQ(processor->process(data), kResultOk) << "block of " << n;
          for (int i = 0; i < n; ++i) {
            const double v = size == kSample64 ? l64[i] : l32[i];
            ASSERT_TRUE(std::isfinite(v)) << "sample " << i << " of a block of " << n;
          }
        }
        ASSERT_EQ(processor->setProcessing(false), kResultOk);
        ASSERT_EQ(processor->setProcessing(false), kResultOk);
        ASSERT_EQ(component->setActive(false), kResultOk);
        ASSERT_EQ(component->setActive(false), kResultOk);  // a validator's teardown does this
      }
    }

    // State: what is saved is restored, repeatedly and by both restore calls, byte for byte.
    testhost::MemoryStream first;
    ASSERT_EQ(component->getState(&first), kResultOk);
    for (int round = 0; round < 3; ++round) {
      first.rewind();
      ASSERT_EQ(round == 1 ? controller->setComponentState(&first) : component->setState(&first), kResultOk);
    }
    testhost::MemoryStream second;
    ASSERT_EQ(controller->getState(&second), kResultOk);
    EXPECT_EQ(first.data, second.data);

    // An old record: the 66 plain values only, no mark, no name, no bypass flag.
    testhost::MemoryStream old;
    std::vector<double> expected;
    for (ParamID id = 0; id < 66; ++id) {
      double plain = controller->normalizedParamToPlain(id, (id % 5) / 4.0);
      old.write(&plain, sizeof plain, nullptr);
      expected.push_back(controller->plainParamToNormalized(id, plain));
    }
    old.rewind();
    ASSERT_EQ(component->setState(&old), kResultOk);
    for (ParamID id = 0; id < 66; ++id) EXPECT_DOUBLE_EQ(controller->getParamNormalized(id), expected[id]) << id;
    EXPECT_EQ(controller->getParamNormalized(65536), 0.0);  // not bypassed

    EXPECT_EQ(component->terminate(), kResultOk);
    EXPECT_EQ(component->terminate(), kResultFalse);
  }
  controller->release();
  processor->release();
  EXPECT_EQ(component->release(), 0u);
}
