# Writes a C++ source holding the bytes of a file: cmake -DIN=file -DOUT=source.cpp -P embed.cmake
file(READ "${IN}" hex HEX)
string(LENGTH "${hex}" len)
math(EXPR size "${len} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n  " bytes "${bytes}")
file(WRITE "${OUT}.tmp"
  "// Generated at build time from the demo piece; do not edit.\n"
  "#include \"demo.h\"\n\n"
  "namespace render {\n"
  "namespace {\n"
  "const uint8_t kDemoMidi[] = {\n  ${bytes}\n};\n"
  "}  // namespace\n\n"
  "std::span<const uint8_t> demoMidi() { return {kDemoMidi, ${size}}; }\n\n"
  "}  // namespace render\n")
file(COPY_FILE "${OUT}.tmp" "${OUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUT}.tmp")
