#pragma once

// A stereo sample pair: left, then right.
struct Signal {
  double left = 0.0;
  double right = 0.0;
};
