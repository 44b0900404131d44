// vantorel-factory-bank: writes the factory bank from the table of factory programs.
#include <cstdio>
#include <cstring>
#include <fstream>

#include "programtable.h"
#include "vantorel.h"

int main(int argc, char** argv) {
  if (argc == 2 && (std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "--help") == 0)) {
    std::printf("usage: %s PROGRAMS.txt OUTPUT.fxb\n"
                "Writes the factory bank of %d programs from their table (name line, then \"Parameter Name = value\"\n"
                "lines; blocks separated by empty lines).\n",
                argv[0], vantorel::kNumPrograms);
    return 0;
  }
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s PROGRAMS.txt OUTPUT.fxb (see --help)\n", argv[0]);
    return 2;
  }
  std::ifstream table(argv[1]);
  if (!table) {
    std::fprintf(stderr, "%s: cannot read %s\n", argv[0], argv[1]);
    return 1;
  }
  Vantorel plug{iplug::InstanceInfo{}};
  std::vector<factory::Program> programs;
  std::string error;
  if (!factory::readPrograms(table, plug, vantorel::kNumPrograms, programs, error)) {
    std::fprintf(stderr, "%s: %s: %s\n", argv[0], argv[1], error.c_str());
    return 1;
  }
  factory::fillBank(plug, programs);
  if (!plug.SaveBankAsFXB(argv[2])) {
    std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[2]);
    return 1;
  }
  return 0;
}
