#pragma once

// For the tightest per-sample loops: GCC's straight-line vectoriser packs
// unrelated scalar recursions (filter states, parallel lines) into vector
// registers, and the shuffles it adds cost more than they save and lengthen
// the recursions' dependency chains. Every operation stays the same scalar
// IEEE operation either way.
#if defined(__GNUC__) && !defined(__clang__)
#define VANTOREL_NO_SLP [[gnu::optimize("no-tree-slp-vectorize")]]
#else
#define VANTOREL_NO_SLP
#endif
