#pragma once

// The maker's web site: the name messages and menus show, its address, the download page, and the host
// the online version check asks, with the check's time-outs. Defined once, in website.cpp.
struct MakerSite {
  const char* name;
  const char* address;
  const char* downloadPage;
  const char* versionHost;
  // Connecting may take this long; once connected, the answer ends when no byte came for the reading
  // time, and the whole check never takes longer than the two together.
  long connectTimeoutMs;
  long readTimeoutMs;
};

const MakerSite& makerSite();
