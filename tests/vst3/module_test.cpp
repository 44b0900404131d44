// Loads the built VST3 module the way a host's scanner does (dlopen, ModuleEntry, GetPluginFactory) and
// checks what it tells the host about itself, field by field, then makes and runs one instance.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cmath>
#include <cstring>
#include <string>

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

class Module : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    // Instances create their configuration folder under HOME: keep it out of the real one.
    char dir[] = "/tmp/vantorel-module-test-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
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
  }
  static void* handle;
  static IPluginFactory* factory;
};
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

TEST_F(Module, CreatesOneObjectWithAllInterfacesAndRuns) {
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

  // One note through the whole chain at 64-bit: sound comes out.
  ProcessSetup setup{kRealtime, kSample64, 512, 48000.0};
  ASSERT_EQ(processor->setupProcessing(setup), kResultOk);
  ASSERT_EQ(component->setActive(true), kResultOk);
  ASSERT_EQ(processor->setProcessing(true), kResultOk);
  testhost::EventList events;
  events.noteOn(0, 0, 60, 0.8f);
  std::vector<double> left(512), right(512);
  double* channels[2] = {left.data(), right.data()};
  AudioBusBuffers out{};
  out.numChannels = 2;
  out.channelBuffers64 = channels;
  ProcessData data;
  data.symbolicSampleSize = kSample64;
  data.numSamples = 512;
  data.numOutputs = 1;
  data.outputs = &out;
  data.inputEvents = &events;
  double peak = 0.0;
  for (int block = 0; block < 40; ++block) {
    ASSERT_EQ(processor->process(data), kResultOk);
    events.events.clear();
    for (int i = 0; i < 512; ++i) {
      ASSERT_TRUE(std::isfinite(left[i]) && std::isfinite(right[i]));
      peak = std::max(peak, std::fabs(left[i]));
    }
  }
  EXPECT_GT(peak, 1e-3);
  processor->setProcessing(false);
  component->setActive(false);

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
