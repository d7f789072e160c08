// Where a dialog goes when it is centred over its owner; pure arithmetic, used by CenterDialog
// and tested without any window.
#ifndef VANTREL_CENTER_GEOMETRY_H
#define VANTREL_CENTER_GEOMETRY_H

struct ScreenRect {
    long left;
    long top;
    long right;
    long bottom;
};

struct ScreenPoint {
    long x;
    long y;
};

// Top-left corner that centres `window` over `parent` (both in screen coordinates). Each half is
// truncated toward zero; a negative result becomes 0, so a dialog larger than its owner near the
// top-left of the screen keeps its caption on screen. Nothing limits the right or bottom edge.
ScreenPoint CenteredPosition(const ScreenRect &window, const ScreenRect &parent);

#endif
