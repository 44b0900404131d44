# Writes a C++ source holding the bytes of a file, returned by `std::span<const uint8_t> render::FUNC()`
# as declared in HEADER: cmake -DIN=file -DOUT=source.cpp -DHEADER=header.h -DFUNC=name -P embed.cmake
file(READ "${IN}" hex HEX)
string(LENGTH "${hex}" len)
math(EXPR size "${len} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n  " bytes "${bytes}")
get_filename_component(name "${IN}" NAME)
file(WRITE "${OUT}.tmp"
  "// Generated at build time from ${name}; do not edit.\n"
  "#include \"${HEADER}\"\n\n"
  "namespace render {\n"
  "namespace {\n"
  "const uint8_t kBytes[] = {\n  ${bytes}\n};\n"
  "}  // namespace\n\n"
  "std::span<const uint8_t> ${FUNC}() { return {kBytes, ${size}}; }\n\n"
  "}  // namespace render\n")
file(COPY_FILE "${OUT}.tmp" "${OUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUT}.tmp")
