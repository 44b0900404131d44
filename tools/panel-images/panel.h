#pragma once

// The printed panel: the background with its sections, titles, labels, scales and legends, and the cover
// of the tweak panel. Everything is placed from the layout's tables.

#include <string>

#include "panel_layout.h"
#include "paint.h"

namespace panelart {

// Draws the background; fails with a reason when a printed text would collide with another text or a
// control, or leave its section.
bool drawBackground(const paint::Font& font, paint::Surface& out, std::string& error);
paint::Surface drawCover(const paint::Font& font);

}  // namespace panelart
