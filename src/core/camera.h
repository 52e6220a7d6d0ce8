#pragma once

namespace ovu {

// The camera swings 30 degrees either way about the vertical axis, driven by
// the frame clock, so one full swing takes about 628 frames.
float sway_angle(float frame_clock);

}  // namespace ovu
