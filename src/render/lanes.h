// How wide the vector paths of drawing may run.
#pragma once

namespace brindlet {

// The widest vector the blend of dots and the conversion of scan lines may
// use, in 64-bit lanes: 1 (none), 2 (128-bit), 4 (256-bit) or 8 (512-bit).
// It is BRINDLET_BLEND_LANES, or 8 when that is not set, so that the
// narrower paths can be checked on a processor that has the wider. Every
// width gives the same bytes.
int VectorLaneCap();

}  // namespace brindlet
