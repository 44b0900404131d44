#include "IPlugPluginBase.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <string>

namespace iplug {

namespace {

// FXB/FXP identifiers (big-endian four-character codes in the file headers).
constexpr int kChunkMagic = MakeFourCC("CcnK");
constexpr int kBankChunkMagic = MakeFourCC("FBCh");    // bank stored as one opaque chunk
constexpr int kBankParamsMagic = MakeFourCC("FxBk");   // bank stored as parameter lists
constexpr int kProgChunkMagic = MakeFourCC("FPCh");    // program stored as one opaque chunk
constexpr int kProgParamsMagic = MakeFourCC("FxCk");   // program stored as a parameter list

// Header layout.
constexpr int kBankHeaderSize = 156;     // up to the programs (parameter lists) or the chunk size
constexpr int kBankChunkStart = 160;
constexpr int kBankReservedSize = 124;
constexpr int kProgHeaderSize = 56;      // up to the parameter values or the chunk size
constexpr int kProgChunkStart = 60;
constexpr int kProgNameOffset = 28;
constexpr int kProgNameSize = 28;        // zero-padded; at most 27 characters are written

// The framework's version mark at the start of every chunk it writes (little-endian).
constexpr int32_t kVersionMarkMagic = 0x70666674;  // the bytes "tffp"
constexpr int32_t kFrameworkVersion = 0x00010000;
constexpr int kVersionMarkSize = 8;

constexpr int kMaxNameLength = 255;
constexpr int64_t kMaxFileSize = 64 * 1024 * 1024;

void PutBE32(IByteChunk& chunk, int32_t v) {
  const uint32_t u = static_cast<uint32_t>(v);
  const uint8_t bytes[4] = {static_cast<uint8_t>(u >> 24), static_cast<uint8_t>(u >> 16),
                            static_cast<uint8_t>(u >> 8), static_cast<uint8_t>(u)};
  chunk.PutBytes(bytes, 4);
}

bool GetBE32(const IByteChunk& chunk, int pos, int32_t& v) {
  uint8_t b[4];
  if (chunk.GetBytes(b, 4, pos) < 0) return false;
  v = static_cast<int32_t>((static_cast<uint32_t>(b[0]) << 24) | (static_cast<uint32_t>(b[1]) << 16) |
                           (static_cast<uint32_t>(b[2]) << 8) | b[3]);
  return true;
}

bool GetBEFloat(const IByteChunk& chunk, int pos, float& f) {
  int32_t bits;
  if (!GetBE32(chunk, pos, bits)) return false;
  memcpy(&f, &bits, sizeof f);
  return true;
}

// Whether len bytes from pos lie inside a chunk of the given size.
bool Fits(int64_t pos, int64_t len, int64_t size) { return pos >= 0 && len >= 0 && pos + len <= size; }

IByteChunk SubChunk(const IByteChunk& src, int start, int len) {
  IByteChunk sub;
  sub.PutBytes(src.GetData() + start, len);
  return sub;
}

// Position after the version mark if the chunk starts with one, else 0.
int SkipVersionMark(const IByteChunk& chunk) {
  int32_t magic = 0;
  return (chunk.Size() >= kVersionMarkSize && chunk.Get(&magic, 0) > 0 && magic == kVersionMarkMagic)
           ? kVersionMarkSize
           : 0;
}

void PutVersionMark(IByteChunk& chunk) {
  chunk.Put(&kVersionMarkMagic);
  chunk.Put(&kFrameworkVersion);
}

void SetName(char (&dst)[256], const char* src) {
  strncpy(dst, src ? src : "", kMaxNameLength);
  dst[kMaxNameLength] = '\0';
}

// The 28-byte name field of a program file, read up to its first zero.
std::string ProgramName(const IByteChunk& file) {
  const char* field = reinterpret_cast<const char*>(file.GetData() + kProgNameOffset);
  return std::string(field, strnlen(field, kProgNameSize));
}

bool ReadFile(const char* path, IByteChunk& out) {
  if (!path || !*path) return false;
  const int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st;
  bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= kMaxFileSize;
  if (ok) {
    out.Resize(static_cast<int>(st.st_size));
    int done = 0;
    while (ok && done < out.Size()) {
      const ssize_t n = read(fd, out.GetData() + done, static_cast<size_t>(out.Size() - done));
      if (n > 0) done += static_cast<int>(n);
      else if (n < 0 && errno == EINTR) continue;
      else ok = false;  // error, or the file shrank while being read
    }
  }
  close(fd);
  return ok;
}

// Writes data to a new file next to path and renames it over path, so that a failure never leaves a
// half-written file in place of a good one.
bool WriteFileAtomically(const char* path, const IByteChunk& data) {
  if (!path || !*path) return false;
  static std::atomic<unsigned> counter{0};
  std::string tmp;
  int fd = -1;
  for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
    tmp = std::string(path) + ".tmp" + std::to_string(getpid()) + "-" + std::to_string(counter++);
    fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) return false;
  }
  if (fd < 0) return false;
  bool ok = true;
  int done = 0;
  while (ok && done < data.Size()) {
    const ssize_t n = write(fd, data.GetData() + done, static_cast<size_t>(data.Size() - done));
    if (n > 0) done += static_cast<int>(n);
    else if (n < 0 && errno == EINTR) continue;
    else ok = false;
  }
  ok = ok && fsync(fd) == 0;
  ok = (close(fd) == 0) && ok;
  ok = ok && rename(tmp.c_str(), path) == 0;
  if (!ok) unlink(tmp.c_str());
  return ok;
}

}  // namespace

IPluginBase::IPluginBase(const Config& config) : mConfig(config) {
  const int nParams = config.nParams > 0 ? config.nParams : 0;
  mParams.reserve(nParams);
  for (int i = 0; i < nParams; ++i) mParams.push_back(std::make_unique<IParam>());
  mLanes = std::make_unique<ParamLane[]>(nParams);
  mPresets.resize(config.nPresets > 0 ? config.nPresets : 0);
}

IPluginBase::~IPluginBase() = default;

int IPluginBase::GetPluginVersionDecimal() const {
  const int v = mConfig.vendorVersion;
  return ((v >> 16) & 0xFFFF) * 10000 + ((v >> 8) & 0xFF) * 100 + (v & 0xFF);
}

// --- state record ---

int IPluginBase::unserializeKestrosaState(const IByteChunk& chunk, int startPos) {
  BankScope bank(mBankLock);  // the record may rename a slot and store itself there
  struct FlagScope {
    bool& flag;
    explicit FlagScope(bool& f) : flag(f) { flag = true; }
    ~FlagScope() { flag = false; }
  } scope(fullStateRestore);
  return UnserializeState(chunk, startPos);
}

bool IPluginBase::SerializeParams(IByteChunk& chunk) const {
  for (const auto& param : mParams) {
    const double v = param->Value();
    chunk.Put(&v);
  }
  return true;
}

int IPluginBase::UnserializeParams(const IByteChunk& chunk, int startPos) {
  if (startPos < 0) return -1;
  int pos = startPos;
  for (int i = 0; i < NParams() && pos >= 0; ++i) {
    double v = 0.0;
    pos = chunk.Get(&v, pos);
    if (pos >= 0) mParams[i]->Set(v);
  }
  OnParamReset(kPresetRecall);
  return pos;
}

// --- program bank ---

const char* IPluginBase::GetPresetName(int idx) const {
  return (idx >= 0 && idx < NPresets()) ? mPresets[idx].mName : "";
}

void IPluginBase::ModifyCurrentPreset(const char* name) {
  BankScope bank(mBankLock);
  IPreset* preset = GetPreset(GetCurrentPresetIdx());
  if (!preset) return;
  preset->mChunk.Clear();
  SerializeState(preset->mChunk);
  preset->mInitialized = true;
  if (name && *name) SetName(preset->mName, name);
}

// --- FXB/FXP writing ---

bool IPluginBase::SaveBankAsChunk(IByteChunk& file) const {
  IByteChunk chunk;
  PutVersionMark(chunk);
  for (const IPreset& preset : mPresets) {
    chunk.PutStr(preset.mName);
    const uint8_t initialized = preset.mInitialized ? 1 : 0;
    chunk.Put(&initialized);
    if (preset.mInitialized) chunk.PutBytes(preset.mChunk.GetData(), preset.mChunk.Size());
  }

  file.Clear();
  file.Reserve(kBankChunkStart + chunk.Size());
  PutBE32(file, kChunkMagic);
  PutBE32(file, kBankChunkStart + chunk.Size());
  PutBE32(file, kBankChunkMagic);
  PutBE32(file, 2);
  PutBE32(file, GetUniqueID());
  PutBE32(file, GetPluginVersionDecimal());
  PutBE32(file, NPresets());
  PutBE32(file, GetCurrentPresetIdx());
  const uint8_t reserved[kBankReservedSize] = {};
  file.PutBytes(reserved, kBankReservedSize);
  PutBE32(file, chunk.Size());
  file.PutBytes(chunk.GetData(), chunk.Size());
  return true;
}

bool IPluginBase::SavePresetAsChunk(IByteChunk& file) const {
  IByteChunk chunk;
  PutVersionMark(chunk);
  if (!SerializeState(chunk)) return false;

  file.Clear();
  file.Reserve(kProgChunkStart + chunk.Size());
  PutBE32(file, kChunkMagic);
  PutBE32(file, kProgChunkStart + chunk.Size());
  PutBE32(file, kProgChunkMagic);
  PutBE32(file, 1);
  PutBE32(file, GetUniqueID());
  PutBE32(file, GetPluginVersionDecimal());
  PutBE32(file, NParams());
  char name[kProgNameSize] = {};
  strncpy(name, GetPresetName(GetCurrentPresetIdx()), kProgNameSize - 1);
  file.PutBytes(name, kProgNameSize);
  PutBE32(file, chunk.Size());
  file.PutBytes(chunk.GetData(), chunk.Size());
  return true;
}

bool IPluginBase::SaveBankAsFXB(const char* path) const {
  IByteChunk file;
  return SaveBankAsChunk(file) && WriteFileAtomically(path, file);
}

bool IPluginBase::SavePresetAsFXP(const char* path) const {
  IByteChunk file;
  return SavePresetAsChunk(file) && WriteFileAtomically(path, file);
}

// --- FXB/FXP reading ---
// Every reader checks sizes before it reads, and changes no slot before the whole file has been read.

bool IPluginBase::LoadBankFromChunk(const IByteChunk& file) {
  int32_t magic, fxMagic, id, nPrograms;
  if (!GetBE32(file, 0, magic) || magic != kChunkMagic) return false;
  if (!GetBE32(file, 8, fxMagic) || !GetBE32(file, 16, id) || id != GetUniqueID()) return false;
  if (!GetBE32(file, 24, nPrograms) || nPrograms < 0) return false;

  BankScope bank(mBankLock);
  // Reading a bank applies its programs one by one; the sound before the load is kept to fall back on.
  IByteChunk before;
  SerializeState(before);
  bool ok = false;
  if (fxMagic == kBankChunkMagic) ok = LoadChunkBank(file, nPrograms, before);
  else if (fxMagic == kBankParamsMagic) ok = LoadParamListBank(file, nPrograms);
  if (!ok) return false;

  // The current program stays current and sounds as loaded (RestorePreset also gives the notices). If the
  // bank leaves it empty, it takes the sound from before the load, not that of the bank's last program.
  const IPreset* current = GetPreset(GetCurrentPresetIdx());
  if (current && !current->mInitialized) UnserializeState(before, 0);
  if (!RestorePreset(GetCurrentPresetIdx())) OnPresetsModified();
  OnPresetsLoaded();
  return true;
}

bool IPluginBase::LoadChunkBank(const IByteChunk& file, int nPrograms, const IByteChunk& before) {
  int32_t chunkSize;
  if (!GetBE32(file, kBankHeaderSize, chunkSize) || !Fits(kBankChunkStart, chunkSize, file.Size())) return false;
  const IByteChunk chunk = SubChunk(file, kBankChunkStart, chunkSize);

  // The records are opaque: reading one means applying it. Read all of them into a staging list first,
  // and put the sound back if the bank turns out to be damaged.
  struct Slot {
    WDL_String name;
    bool initialized = false;
    IByteChunk state;
  };
  const int n = nPrograms < NPresets() ? nPrograms : NPresets();
  std::vector<Slot> slots(n);
  bool applied = false;
  int pos = SkipVersionMark(chunk);
  for (int i = 0; i < n && pos >= 0; ++i) {
    Slot& slot = slots[i];
    uint8_t initialized = 0;
    pos = chunk.GetStr(slot.name, pos);
    if (pos >= 0) pos = chunk.Get(&initialized, pos);
    if (pos < 0 || !initialized) continue;
    applied = true;
    const int end = UnserializeState(chunk, pos);
    slot.initialized = true;
    pos = (end > pos && SerializeState(slot.state)) ? end : -1;
  }
  if (pos < 0) {
    if (applied) UnserializeState(before, 0);
    return false;
  }

  for (int i = 0; i < n; ++i) {
    IPreset& preset = mPresets[i];
    preset.mInitialized = slots[i].initialized;
    SetName(preset.mName, slots[i].name.Get());
    preset.mChunk.Clear();
    if (preset.mInitialized) preset.mChunk.PutBytes(slots[i].state.GetData(), slots[i].state.Size());
  }
  return true;
}

namespace {

// One program of a parameter-list file: name and normalised values, read after checking its size.
struct ParamListProgram {
  std::string name;
  std::vector<float> values;
};

// Reads the program at pos ("FxCk" form); returns the position after it, or -1.
int ReadParamListProgram(const IByteChunk& file, int pos, ParamListProgram& prog) {
  int32_t magic, fxMagic, nParams;
  if (!Fits(pos, kProgHeaderSize, file.Size())) return -1;
  if (!GetBE32(file, pos, magic) || magic != kChunkMagic) return -1;
  if (!GetBE32(file, pos + 8, fxMagic) || fxMagic != kProgParamsMagic) return -1;
  if (!GetBE32(file, pos + 24, nParams) || !Fits(pos + kProgHeaderSize, 4LL * nParams, file.Size())) return -1;
  const char* field = reinterpret_cast<const char*>(file.GetData() + pos + kProgNameOffset);
  prog.name.assign(field, strnlen(field, kProgNameSize));
  prog.values.resize(nParams);
  for (int i = 0; i < nParams; ++i) GetBEFloat(file, pos + kProgHeaderSize + 4 * i, prog.values[i]);
  return pos + kProgHeaderSize + 4 * nParams;
}

}  // namespace

bool IPluginBase::LoadParamListBank(const IByteChunk& file, int nPrograms) {
  const int n = nPrograms < NPresets() ? nPrograms : NPresets();
  std::vector<ParamListProgram> programs(n);
  int pos = kBankHeaderSize;
  for (int i = 0; i < n && pos >= 0; ++i) pos = ReadParamListProgram(file, pos, programs[i]);
  if (pos < 0) return false;

  for (int i = 0; i < n; ++i) {
    const ParamListProgram& prog = programs[i];
    for (int p = 0; p < NParams() && p < static_cast<int>(prog.values.size()); ++p)
      mParams[p]->SetNormalized(prog.values[p]);
    OnParamReset(kPresetRecall);
    IPreset& preset = mPresets[i];
    preset.mChunk.Clear();
    preset.mInitialized = SerializeState(preset.mChunk);
    SetName(preset.mName, prog.name.c_str());
  }
  return true;
}

bool IPluginBase::LoadPresetFromChunk(const IByteChunk& file) {
  int32_t magic, fxMagic, version, id;
  if (!GetBE32(file, 0, magic) || magic != kChunkMagic) return false;
  if (!GetBE32(file, 8, fxMagic) || !GetBE32(file, 12, version) || version != 1) return false;
  if (!GetBE32(file, 16, id) || id != GetUniqueID()) return false;

  BankScope bank(mBankLock);
  bool ok = false;
  if (fxMagic == kProgChunkMagic) ok = LoadChunkProgram(file);
  else if (fxMagic == kProgParamsMagic) ok = LoadParamListProgram(file);
  if (!ok) return false;

  OnRestoreState();
  OnPresetsModified();
  OnPresetsLoaded();
  return true;
}

bool IPluginBase::LoadChunkProgram(const IByteChunk& file) {
  int32_t chunkSize;
  if (!GetBE32(file, kProgHeaderSize, chunkSize) || !Fits(kProgChunkStart, chunkSize, file.Size())) return false;
  const IByteChunk chunk = SubChunk(file, kProgChunkStart, chunkSize);
  IByteChunk backup;
  SerializeState(backup);
  const int pos = SkipVersionMark(chunk);
  if (UnserializeState(chunk, pos) <= pos) {
    UnserializeState(backup, 0);
    return false;
  }
  ModifyCurrentPreset(ProgramName(file).c_str());
  return true;
}

bool IPluginBase::LoadParamListProgram(const IByteChunk& file) {
  ParamListProgram prog;
  if (ReadParamListProgram(file, 0, prog) < 0) return false;
  for (int p = 0; p < NParams() && p < static_cast<int>(prog.values.size()); ++p)
    mParams[p]->SetNormalized(prog.values[p]);
  OnParamReset(kPresetRecall);
  ModifyCurrentPreset(prog.name.c_str());
  return true;
}

bool IPluginBase::LoadBankFromFXB(const char* path) {
  IByteChunk file;
  return ReadFile(path, file) && LoadBankFromChunk(file);
}

bool IPluginBase::LoadPresetFromFXP(const char* path) {
  IByteChunk file;
  return ReadFile(path, file) && LoadPresetFromChunk(file);
}

}  // namespace iplug
