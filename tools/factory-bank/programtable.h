#pragma once

#include <istream>
#include <string>
#include <utility>
#include <vector>

#include "IPlugPluginBase.h"

namespace factory {

// The longest program name (the program files' name field holds 27 characters).
constexpr size_t kMaxNameLength = 27;

// One program of the table: its name and the plain values it gives, by parameter index.
struct Program {
  std::string name;
  std::vector<std::pair<int, double>> values;
};

// Reads the table of factory programs: blocks separated by empty lines, each a name line followed by
// "Parameter Name = value" lines (a plain value, or for a switch its text or position); "#" starts a
// comment line. Parameters a block does not list keep their defaults. Refuses, with a message naming the
// line, an unknown parameter, a value outside the parameter's range (or not a position of a switch), a
// parameter given twice, a name that is empty, too long or used twice, and a count other than count.
bool readPrograms(std::istream& in, const iplug::IPluginBase& plug, int count, std::vector<Program>& out,
                  std::string& error);

// Fills the bank: program i gets every parameter at its default, then the values of programs[i], and
// its name. Program 0 is current afterwards, with its sound applied.
void fillBank(iplug::IPluginBase& plug, const std::vector<Program>& programs);

}  // namespace factory
