// Writes the factory bank: 64 programs at the default sound, each named "Init".
#include <cstdio>
#include <cstring>

#include "vantorel.h"

int main(int argc, char** argv) {
  if (argc != 2 || std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "--help") == 0) {
    std::fprintf(argc == 2 ? stdout : stderr, "usage: %s OUTPUT.fxb\nWrites the factory bank of 64 \"Init\" programs.\n",
                 argv[0]);
    return argc == 2 ? 0 : 2;
  }
  Vantorel plug{iplug::InstanceInfo{}};
  for (int i = 0; i < plug.NPresets(); ++i) {
    plug.SetCurrentPresetIdx(i);
    plug.initProgram();
  }
  plug.SetCurrentPresetIdx(0);
  if (!plug.SaveBankAsFXB(argv[1])) {
    std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[1]);
    return 1;
  }
  return 0;
}
