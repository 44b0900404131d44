#include "IPlugVST3Factory.h"

#include <atomic>
#include <cstring>

using namespace Steinberg;

namespace iplug {

namespace {

void CopyText(char8* dst, const char* src, size_t size) {
  std::memset(dst, 0, size);
  if (src) std::strncpy(dst, src, size - 1);
}

// ASCII/UTF-8 text into UTF-16 (codes above 0x7F in UTF-8 sequences are decoded).
void CopyText16(char16* dst, const char* src, size_t size) {
  std::memset(dst, 0, size * sizeof(char16));
  const auto* s = reinterpret_cast<const unsigned char*>(src ? src : "");
  size_t n = 0;
  while (*s && n + 1 < size) {
    uint32_t cp = *s++;
    int extra = cp >= 0xE0 ? 2 : cp >= 0xC0 ? 1 : 0;
    if (extra) cp &= (0x3F >> extra);
    for (; extra > 0 && (*s & 0xC0) == 0x80; --extra) cp = (cp << 6) | (*s++ & 0x3F);
    dst[n++] = static_cast<char16>(extra ? 0xFFFD : cp);
  }
}

class Factory final : public IPluginFactory3 {
public:
  explicit Factory(const VST3ClassDescription& desc) : mDesc(desc) {}

  tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override {
    if (!obj) return kInvalidArgument;
    if (FUnknownPrivate::iidEqual(iid, FUnknown::iid) || FUnknownPrivate::iidEqual(iid, IPluginFactory::iid) ||
        FUnknownPrivate::iidEqual(iid, IPluginFactory2::iid) || FUnknownPrivate::iidEqual(iid, IPluginFactory3::iid)) {
      addRef();
      *obj = static_cast<IPluginFactory3*>(this);
      return kResultOk;
    }
    *obj = nullptr;
    return kNoInterface;
  }
  // The factory lives as long as the module; the count is kept for the hosts' bookkeeping only.
  uint32 PLUGIN_API addRef() override { return ++mRefs; }
  uint32 PLUGIN_API release() override { return mRefs > 0 ? --mRefs : 0; }

  tresult PLUGIN_API getFactoryInfo(PFactoryInfo* info) override {
    if (!info) return kInvalidArgument;
    *info = {};
    CopyText(info->vendor, mDesc.vendor, PFactoryInfo::kNameSize);
    CopyText(info->url, mDesc.url, PFactoryInfo::kURLSize);
    CopyText(info->email, mDesc.email, PFactoryInfo::kEmailSize);
    info->flags = mDesc.factoryFlags;
    return kResultOk;
  }

  int32 PLUGIN_API countClasses() override { return 1; }

  tresult PLUGIN_API getClassInfo(int32 index, PClassInfo* info) override {
    if (!info || index != 0) return kInvalidArgument;
    *info = {};
    std::memcpy(info->cid, mDesc.classID, sizeof info->cid);
    info->cardinality = mDesc.cardinality;
    CopyText(info->category, mDesc.category, PClassInfo::kCategorySize);
    CopyText(info->name, mDesc.name, PClassInfo::kNameSize);
    return kResultOk;
  }

  tresult PLUGIN_API getClassInfo2(int32 index, PClassInfo2* info) override {
    if (!info || index != 0) return kInvalidArgument;
    *info = {};
    std::memcpy(info->cid, mDesc.classID, sizeof info->cid);
    info->cardinality = mDesc.cardinality;
    CopyText(info->category, mDesc.category, PClassInfo::kCategorySize);
    CopyText(info->name, mDesc.name, PClassInfo::kNameSize);
    info->classFlags = mDesc.classFlags;
    CopyText(info->subCategories, mDesc.subCategories, PClassInfo2::kSubCategoriesSize);
    CopyText(info->vendor, mDesc.classVendor, PFactoryInfo::kNameSize);
    CopyText(info->version, mDesc.version, PClassInfo2::kVersionSize);
    CopyText(info->sdkVersion, mDesc.sdkVersion, PClassInfo2::kVersionSize);
    return kResultOk;
  }

  tresult PLUGIN_API getClassInfoUnicode(int32 index, PClassInfoW* info) override {
    if (!info || index != 0) return kInvalidArgument;
    *info = {};
    std::memcpy(info->cid, mDesc.classID, sizeof info->cid);
    info->cardinality = mDesc.cardinality;
    CopyText(info->category, mDesc.category, PClassInfo::kCategorySize);
    CopyText16(info->name, mDesc.name, PClassInfo::kNameSize);
    info->classFlags = mDesc.classFlags;
    CopyText(info->subCategories, mDesc.subCategories, PClassInfoW::kSubCategoriesSize);
    CopyText16(info->vendor, mDesc.classVendor, PFactoryInfo::kNameSize);
    CopyText16(info->version, mDesc.version, PClassInfoW::kVersionSize);
    CopyText16(info->sdkVersion, mDesc.sdkVersion, PClassInfoW::kVersionSize);
    return kResultOk;
  }

  tresult PLUGIN_API setHostContext(FUnknown* /*context*/) override { return kResultOk; }

  tresult PLUGIN_API createInstance(FIDString cid, FIDString iid, void** obj) override {
    if (!obj) return kInvalidArgument;
    *obj = nullptr;
    if (!cid || !iid || std::memcmp(cid, mDesc.classID, 16) != 0) return kNoInterface;
    FUnknown* instance = nullptr;
    try {
      instance = mDesc.createInstance ? mDesc.createInstance(nullptr) : nullptr;
    } catch (...) {
      instance = nullptr;
    }
    if (!instance) return kOutOfMemory;
    TUID wanted;
    std::memcpy(wanted, iid, sizeof wanted);
    const tresult result = instance->queryInterface(wanted, obj);
    instance->release();  // the creation reference; the interface returned holds its own
    if (result != kResultOk) *obj = nullptr;
    return result;
  }

private:
  VST3ClassDescription mDesc;
  std::atomic<uint32> mRefs{0};
};

}  // namespace

IPluginFactory* GetVST3Factory(const VST3ClassDescription& desc) {
  static Factory factory(desc);  // built once, under the language's initialisation guard
  factory.addRef();
  return &factory;
}

}  // namespace iplug
