// The instrument's base: paths and configuration file, held keys, MIDI learn, programs and the
// host-facing parameter calls.
#include "synth.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cfloat>
#include <climits>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "IPlugPaths.h"
#include "pitch.h"
#include "wdlprofile.h"

namespace {

constexpr const char* kConfigFolderName = "KestrosaMusic";
constexpr const char* kConfigFileName = "/vantorel.ini";
constexpr const char* kOldConfigFolderFormat = "%s/Library/Application Support/%s";
constexpr int kMaxConfigFolderLength = 1024;
// Created with these modes as reduced by the user's file-creation mask (which is left alone); a missing
// Music folder is made as folders usually are.
constexpr mode_t kMusicFolderMode = 0777;
constexpr mode_t kConfigFolderMode = 0774;
constexpr mode_t kConfigFileMode = 0666;

constexpr const char* kSectionStartupBank = "Startup Bank";
constexpr const char* kKeyFile = "File";
constexpr const char* kSectionEditor = "Editor";
constexpr const char* kKeyScale = "Scale";
constexpr const char* kSectionGlobal = "Global";
constexpr const char* kKeyProgramPath = "Path to Program Files";
constexpr const char* kSectionMidiGlobal = "MIDI Global";
constexpr const char* kKeyMidiThru = "MIDI Thru";
constexpr const char* kKeyIgnoreProgramChange = "Ignore Program Change";
constexpr const char* kSectionMidiControl = "MIDI Control";
constexpr int kLongValueSize = 1024;
constexpr int kShortValueSize = 64;
// Where the factory bank lies, from the folder that holds the bundle.
constexpr const char* kFactoryBankInBundle = "Vantorel.vst3/Contents/Resources/init.fxb";

// Copies every byte of the file at from into fd; a file that cannot be opened copies nothing.
void copyFileInto(const char* from, int fd) {
  const int in = open(from, O_RDONLY | O_CLOEXEC);
  if (in < 0) return;
  char buf[8192];
  for (;;) {
    ssize_t n = read(in, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    for (ssize_t done = 0; done < n;) {
      const ssize_t w = write(fd, buf + done, static_cast<size_t>(n - done));
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) {
        close(in);
        return;
      }
      done += w;
    }
  }
  close(in);
}

// strtod's reading of a number (leading blanks, the longest number at the start, 0 if none), but in the C
// locale whatever locale the host has set; non-finite values read as 0.
float parseScale(const char* text) {
  while (*text == ' ' || *text == '\t') ++text;
  if (*text == '+') ++text;
  double v = 0.0;
  std::from_chars(text, text + std::strlen(text), v);
  if (!std::isfinite(v)) return 0.0f;
  return static_cast<float>(std::clamp(v, -static_cast<double>(FLT_MAX), static_cast<double>(FLT_MAX)));
}

// "%f" in the C locale.
void formatScale(float scale, char (&out)[64]) {
  const auto r = std::to_chars(out, out + sizeof out - 1, static_cast<double>(scale), std::chars_format::fixed, 6);
  *(r.ec == std::errc() ? r.ptr : out) = '\0';
}

const char* boolText(bool b) { return b ? "true" : "false"; }

}  // namespace

Synth::Synth(const iplug::InstanceInfo& /*info*/, const iplug::Config& config) : iplug::IPlugVST3(config) {
  std::fill(std::begin(midiLearnTable), std::end(midiLearnTable), -1);
  pressedKeys.reserve(kMaxPressedKeys);  // note-ons never allocate on the audio thread
  copyBuffer.Reserve(4096);
  iplug::PluginPath(pluginPath, "Vantorel");
  if (const char* home = std::getenv("HOME")) homePath.Set(home);

  // Configuration folder in the user's Music folder (made too when missing). Without a home folder there
  // is no configuration file, and every setting keeps its default.
  WDL_String music, folder;
  iplug::SharedMusicPath(music);
  if (!music.Empty()) {
    folder.SetFormatted(kMaxConfigFolderLength, "%s/%s", music.Get(), kConfigFolderName);
    if (!fileExists(folder)) {
      mkdir(music.Get(), kMusicFolderMode);
      mkdir(folder.Get(), kConfigFolderMode);
    }
    configPath.SetFormatted(0, "%s%s", folder.Get(), kConfigFileName);
  }
  programPath.Set(homePath.Get());
  if (configPath.Empty()) return;

  if (!fileExists(configPath)) {
    // A new file, filled once from the old location if a file is there. Another process that created the
    // file first wins, and this one loads what it finds.
    const int fd = open(configPath.Get(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kConfigFileMode);
    if (fd < 0 && errno != EEXIST) return;
    if (fd >= 0) {
      WDL_String old;
      old.SetFormatted(kMaxConfigFolderLength, kOldConfigFolderFormat, homePath.Get(), kConfigFolderName);
      old.Append(kConfigFileName);
      copyFileInto(old.Get(), fd);
      close(fd);
    }
  }
  loadConfig();
}

Synth::~Synth() = default;

double Synth::convert2Hz(int pitch) { return ::convert2Hz(pitch); }

// ---------------------------------------------------------------------------------------------------------
// Host and framework calls

void Synth::OnReset() {
  midiQueue.Resize(kMidiQueueSize);
  clearKeyBuffer();
  midiLearnActive = false;
  PostUIEvent(kLearnEndedEvent);  // the cancelled gesture's switch goes off too
  samplesPerTick = std::max(static_cast<int>(GetSampleRate()) / 1000, 1);
  tickCounter = 0;
}

void Synth::OnActivate(bool active) {
  // Every value again, as a reset: no parameter is touched by it.
  if (active) OnParamReset(iplug::kReset);
}

void Synth::OnParamChangeUI(int paramIdx, iplug::EParamSource source) {
  // Restores, resets and the instrument's own changes (learned controllers, Init, Paste) set many
  // parameters at once and touch none.
  if (source != iplug::kUI && source != iplug::kHost) return;
  if (midiLearnActive) {
    midiLearnParam = paramIdx;
    applyMidiLearn();
  }
}

void Synth::setParamValue(int index, double value, bool normalized) {
  if (index < 0 || index >= NParams()) return;
  SendParameterValueFromDelegate(index, value, normalized);
  const double n = normalized ? value : GetParam(index)->ToNormalized(value);
  SetParameterValue(index, n);
}

// ---------------------------------------------------------------------------------------------------------
// Configuration file

bool Synth::fileExists(const WDL_String& path) {
  struct stat st;
  return stat(path.Get(), &st) == 0;
}

bool Synth::loadConfig() {
  const char* file = configPath.Get();
  char value[kLongValueSize];
  startupBankPath.Set("");
  if (GetPrivateProfileString(kSectionStartupBank, kKeyFile, "", value, sizeof value, file) > 0)
    startupBankPath.Set(value);
  if (GetPrivateProfileString(kSectionEditor, kKeyScale, "", value, sizeof value, file) > 0) {
    // Kept as read, even 0 or less; only a positive scale resizes an open editor.
    editorScale = parseScale(value);
    resizeUI(editorScale);
  }

  char shortValue[kShortValueSize];
  if (GetPrivateProfileString(kSectionGlobal, kKeyProgramPath, "", shortValue, sizeof shortValue, file) > 0)
    programPath.Set(shortValue);
  auto readSwitch = [&](const char* key, std::atomic<bool>& flag) {
    if (GetPrivateProfileString(kSectionMidiGlobal, key, boolText(flag), shortValue, sizeof shortValue, file) > 0)
      flag = std::strcmp(shortValue, "true") == 0;
  };
  readSwitch(kKeyMidiThru, midiThru);
  readSwitch(kKeyIgnoreProgramChange, ignoreProgramChange);

  for (int cc = 0; cc < kNumLearnControllers; ++cc) {
    char key[16];
    std::snprintf(key, sizeof key, "CC%i", cc);
    if (GetPrivateProfileString(kSectionMidiControl, key, "-1", shortValue, sizeof shortValue, file) == 0) continue;
    // The leading decimal integer; text that does not start with one (other than "0...") means none.
    long n = std::strtol(shortValue, nullptr, 10);
    if ((n == 0 && shortValue[0] != '0') || n < INT_MIN || n > INT_MAX) n = -1;
    midiLearnTable[cc] = static_cast<int>(n);
  }
  return fileExists(configPath);
}

void Synth::writeStartupBank() {
  // The section holds exactly its one key (empty when there is none), in one rewrite.
  std::string startup = std::string(kKeyFile) + "=" + startupBankPath.Get();
  startup.push_back('\0');
  WritePrivateProfileSection(kSectionStartupBank, startup.c_str(), configPath.Get());
}

int Synth::saveConfig(int what) {
  const char* file = configPath.Get();
  writeStartupBank();

  if (what < 0 || what == kSaveWindowSize) {
    char scale[64];
    formatScale(currentEditorScale(), scale);
    WritePrivateProfileString(kSectionEditor, kKeyScale, scale, file);
  }
  if (what < 0 || what == kSaveMidiThru) WritePrivateProfileString(kSectionMidiGlobal, kKeyMidiThru, boolText(midiThru), file);
  if (what < 0 || what == kSaveIgnoreProgramChange)
    WritePrivateProfileString(kSectionMidiGlobal, kKeyIgnoreProgramChange, boolText(ignoreProgramChange), file);
  if (what < 0) {
    // The learned controllers replace the section whole: "CC<n>=<index>" entries, each ended by a zero.
    std::string entries;
    for (int cc = 0; cc < kNumLearnControllers; ++cc) {
      if (midiLearnTable[cc] < 0) continue;
      entries += "CC" + std::to_string(cc) + "=" + std::to_string(midiLearnTable[cc]);
      entries.push_back('\0');
    }
    WritePrivateProfileSection(kSectionMidiControl, entries.c_str(), file);
  }
  return 0;
}

// ---------------------------------------------------------------------------------------------------------
// Held keys

void Synth::addPressedKey(unsigned char key) {
  if (pressedKeys.size() >= kMaxPressedKeys) {
    // Full (keys struck over and over without release): one repeated entry makes room. What depends on
    // the list (whether a key is held, whether it is empty or holds one key) stays as it was.
    const auto repeated = std::adjacent_find(pressedKeys.begin(), pressedKeys.end());
    if (repeated == pressedKeys.end()) return;
    pressedKeys.erase(repeated);
  }
  // Insert behind equal keys: the same as appending and sorting.
  pressedKeys.insert(std::upper_bound(pressedKeys.begin(), pressedKeys.end(), key), key);
}

void Synth::removePressedKey(unsigned char key) {
  pressedKeys.erase(std::remove(pressedKeys.begin(), pressedKeys.end(), key), pressedKeys.end());
}

// ---------------------------------------------------------------------------------------------------------
// Programs

void Synth::initAllPrograms() {
  if (LoadBankFromFXB(startupBankPath.Get())) return;
  startupBankPath.Set("");
  // Outside a bundle (a command-line tool) there is no factory bank: the slots stay empty.
  if (pluginPath.Empty()) return;
  WDL_String factoryBank;
  factoryBank.SetFormatted(0, "%s%s", pluginPath.Get(), kFactoryBankInBundle);
  LoadBankFromFXB(factoryBank.Get());
}

void Synth::initProgram() {
  for (int i = 0; i < NParams(); ++i) SetParameterValue(i, std::min(GetParam(i)->GetDefault(true), 1.0));
  ModifyCurrentPreset("Init");
  for (int i = 0; i < NParams(); ++i)
    SendParameterValueFromDelegate(i, std::min(GetParam(i)->GetNormalized(), 1.0), true);
  InformHostOfPresetChange();
}

void Synth::changePreset(int index) {
  ModifyCurrentPreset();
  if (index < 0 || index >= NPresets()) return;
  // The edits were stored just now, so going to the current program again changes nothing.
  if (!RestorePreset(index, true)) return;
  InformHostOfProgramChange();  // the user's own choice, unlike the values that follow from it
  InformHostOfPresetChange();
}

void Synth::copyPreset() {
  copiedProgramIndex = GetCurrentPresetIdx();
  copyBuffer.Clear();
  SerializeState(copyBuffer);
}

void Synth::pastePreset() {
  if (copyBuffer.Size() == 0) return;
  UnserializeState(copyBuffer, 0);
  // A copy of the name: the copied program may be the current one, whose name is replaced.
  char name[sizeof(iplug::IPreset::mName)];
  std::snprintf(name, sizeof name, "%s", GetPresetName(copiedProgramIndex));
  ModifyCurrentPreset(name);
  for (int i = 0; i < NParams(); ++i)
    SendParameterValueFromDelegate(i, std::min(GetParam(i)->GetNormalized(), 1.0), true);
  InformHostOfPresetChange();
}

int Synth::setStartupFxb(const char* path) {
  startupBankPath.Set(path ? path : "");
  writeStartupBank();
  return 0;
}

void Synth::unsetStartupFxb() {
  startupBankPath.Set("");
  WritePrivateProfileSection(kSectionStartupBank, "", configPath.Get());
}

void Synth::storeProgramPath(const WDL_String* path) {
  if (path) programPath.Set(path->Get());
  WritePrivateProfileString(kSectionGlobal, kKeyProgramPath, programPath.Get(), configPath.Get());
}

// ---------------------------------------------------------------------------------------------------------
// MIDI learn
//
// The gesture's halves come from two threads: a controller from the audio thread, a touched parameter
// from a UI thread. Each half is stored before the gesture is looked at, so when both arrive at once at
// least one thread sees both; the one that switches midiLearnActive off completes the gesture.

void Synth::doMidiLearn(bool on) { startMidiLearn(false, on); }

void Synth::doMidiUnlearn(bool on) { startMidiLearn(true, on); }

void Synth::startMidiLearn(bool unlearn, bool on) {
  // The halves are cleared before the gesture shows as waiting.
  midiLearnActive = false;
  midiLearnCC = -1;
  midiLearnParam = -1;
  midiUnlearnMode = unlearn;
  midiLearnActive = on;
}

void Synth::setMidiLearnCC(int cc) {
  midiLearnCC = cc;
  applyMidiLearn();
}

void Synth::applyMidiLearn() {
  if (midiLearnActive) {
    const int cc = midiLearnCC, param = midiLearnParam;
    const bool unlearn = midiUnlearnMode;
    if (unlearn ? (cc == -1 && param == -1) : (cc == -1 || param == -1)) return;  // keeps waiting
    bool waiting = true;
    if (!midiLearnActive.compare_exchange_strong(waiting, false)) return;  // another thread completed it
    const bool validCC = cc >= 0 && cc < kNumLearnControllers;
    if (unlearn && cc != -1) {
      if (validCC) midiLearnTable[cc] = -1;
    } else {
      // Unlearning a parameter frees its controllers; learning one gives it this controller alone.
      for (std::atomic<int>& entry : midiLearnTable)
        if (entry == param) entry = -1;
      if (!unlearn && validCC) midiLearnTable[cc] = param;
    }
    if (unlearn) midiUnlearnMode = false;
  }
  midiLearnSwitchOff();
}

void Synth::midiLearnSwitchOff() {
  if (!IsAudioThread()) {
    OnMidiLearnCompleted();
    return;
  }
  PostUIEvent(kLearnEndedEvent);
}
