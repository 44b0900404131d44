#include "programtable.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <set>

namespace factory {

namespace {

std::string trim(const std::string& s) {
  const size_t first = s.find_first_not_of(" \t\r");
  if (first == std::string::npos) return "";
  return s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
}

int findParam(const iplug::IPluginBase& plug, const std::string& name) {
  for (int i = 0; i < plug.NParams(); ++i)
    if (name == plug.GetParam(i)->GetName()) return i;
  return -1;
}

// A number in the parameter's range, or for a switch one of its texts or positions.
bool readValue(const iplug::IParam& p, const std::string& text, double& value, std::string& why) {
  const bool isSwitch = p.Type() == iplug::IParam::kTypeEnum;
  for (int t = 0; isSwitch && t < p.NDisplayTexts(); ++t) {
    if (text == p.GetDisplayText(t)) {
      value = t;
      return true;
    }
  }
  char* end = nullptr;
  errno = 0;
  value = std::strtod(text.c_str(), &end);
  if (text.empty() || *end || errno || !std::isfinite(value)) {
    why = "is not a number" + std::string(isSwitch ? " or a text of the switch" : "");
    return false;
  }
  if (value < p.GetMin() || value > p.GetMax() || (isSwitch && value != std::floor(value))) {
    char range[96];
    std::snprintf(range, sizeof range, "is outside %g ... %g%s", p.GetMin(), p.GetMax(), isSwitch ? " (whole)" : "");
    why = range;
    return false;
  }
  return true;
}

}  // namespace

bool readPrograms(std::istream& in, const iplug::IPluginBase& plug, int count, std::vector<Program>& out,
                  std::string& error) {
  out.clear();
  std::set<std::string> names;
  std::set<int> given;
  bool inBlock = false;
  int lineNo = 0;
  auto fail = [&](const std::string& what) {
    error = "line " + std::to_string(lineNo) + ": " + what;
    return false;
  };
  for (std::string raw; std::getline(in, raw);) {
    ++lineNo;
    const std::string line = trim(raw);
    if (!line.empty() && line[0] == '#') continue;
    if (line.empty()) {
      inBlock = false;
      continue;
    }
    if (!inBlock) {
      if (line.size() > kMaxNameLength)
        return fail("program name \"" + line + "\" is longer than " + std::to_string(kMaxNameLength) + " characters");
      if (!names.insert(line).second) return fail("program name \"" + line + "\" is used twice");
      out.push_back({line, {}});
      given.clear();
      inBlock = true;
      continue;
    }
    const size_t eq = line.find('=');
    if (eq == std::string::npos) return fail("expected \"Parameter Name = value\"");
    const std::string name = trim(line.substr(0, eq)), text = trim(line.substr(eq + 1));
    const int index = findParam(plug, name);
    if (index < 0) return fail("unknown parameter \"" + name + "\"");
    if (!given.insert(index).second) return fail("parameter \"" + name + "\" is given twice");
    double value = 0.0;
    std::string why;
    if (!readValue(*plug.GetParam(index), text, value, why))
      return fail("value \"" + text + "\" of \"" + name + "\" " + why);
    out.back().values.emplace_back(index, value);
  }
  if (static_cast<int>(out.size()) != count) {
    error = "the table holds " + std::to_string(out.size()) + " programs, not " + std::to_string(count);
    return false;
  }
  return true;
}

void fillBank(iplug::IPluginBase& plug, const std::vector<Program>& programs) {
  for (int i = 0; i < static_cast<int>(programs.size()) && i < plug.NPresets(); ++i) {
    for (int p = 0; p < plug.NParams(); ++p) plug.GetParam(p)->SetToDefault();
    for (const auto& [index, value] : programs[i].values) plug.GetParam(index)->Set(value);
    plug.OnParamReset(iplug::kPresetRecall);
    plug.SetCurrentPresetIdx(i);
    plug.ModifyCurrentPreset(programs[i].name.c_str());
  }
  plug.RestorePreset(0);
}

}  // namespace factory
