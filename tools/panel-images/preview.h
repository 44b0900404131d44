#pragma once

// A picture of the whole panel for review: every control drawn at a sample value on the background, once
// with the tweak panel covered and once with it open and a value read-out showing.

#include <map>
#include <string>

#include "paint.h"

namespace preview {

using Images = std::map<std::string, paint::Surface>;

paint::Surface compose(const Images& images, const paint::Font& font);

}  // namespace preview
