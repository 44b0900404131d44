// vantorel-square-waves OUT.cpp: computes the oscillator banks' square-wave sets and writes them as a C++
// source that defines squarewave::kTable, every value an exact hexadecimal floating-point literal.
#include <cstdio>
#include <string>
#include <vector>

#include "squarewave.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: vantorel-square-waves OUT.cpp\n");
    return 2;
  }
  std::vector<double> sets(squarewave::kSets * squarewave::kLength);
  squarewave::compute(reinterpret_cast<double(*)[squarewave::kLength]>(sets.data()));

  const std::string tmp = std::string(argv[1]) + ".tmp";
  FILE* f = std::fopen(tmp.c_str(), "w");
  if (!f) {
    std::perror(tmp.c_str());
    return 1;
  }
  std::fprintf(f,
               "// Written at build time by vantorel-square-waves (squarewave::compute); not to be edited.\n"
               "#include \"squarewave.h\"\n\n"
               "namespace squarewave {\n\n"
               "alignas(64) const double kTable[kSets][kLength] = {\n");
  for (int p = 0; p < squarewave::kSets; ++p) {
    std::fprintf(f, "  {  // set %d\n", p);
    for (int j = 0; j < squarewave::kLength; ++j)
      std::fprintf(f, "%s%a,%s", j % 4 ? " " : "    ", sets[p * squarewave::kLength + j], j % 4 == 3 ? "\n" : "");
    std::fprintf(f, "  },\n");
  }
  std::fprintf(f, "};\n\n}  // namespace squarewave\n");
  if (std::fclose(f) != 0 || std::rename(tmp.c_str(), argv[1]) != 0) {
    std::perror(argv[1]);
    return 1;
  }
  return 0;
}
