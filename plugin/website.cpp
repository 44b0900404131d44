// The maker's web site (addresses under a reserved domain until the real ones are known). This file
// holds nothing else, so that a test program can link its own instead.
#include "website.h"

namespace {
constexpr MakerSite kMakerSite = {
    "Kestrosa Music",
    "https://www.kestrosamusic.example",
    "https://www.kestrosamusic.example/music/vantorel/",
    "https://www.kestrosamusic.example",
    10000,
    10000,
};
}  // namespace

const MakerSite& makerSite() { return kMakerSite; }
