// The maker's web site as these tests see it, linked instead of the product's own: the version check
// asks a server of the test on this machine (versionHostForTests), with time-outs short enough for a test.
#include <string>

#include "website.h"

std::string versionHostForTests = "http://127.0.0.1:9";

const MakerSite& makerSite() {
  static MakerSite site = {"Test Site", "https://site.test", "https://site.test/download/", "", 1000, 500};
  site.versionHost = versionHostForTests.c_str();
  return site;
}
