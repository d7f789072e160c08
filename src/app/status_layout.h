// Geometry of the main window's children and status strip, and the texts of the status panes,
// computed from plain numbers. No windows.h: main_window.cpp and status_strip.cpp call it, and it
// can be tested and fuzzed natively.
#ifndef VANTREL_STATUS_LAYOUT_H
#define VANTREL_STATUS_LAYOUT_H

#include <cstddef>

// Edges in client coordinates, in the order of the platform's RECT.
struct LayoutRect {
    int left;
    int top;
    int right;
    int bottom;
};

const int STATUS_PANE_COUNT = 4;
const size_t STATUS_TEXT_SIZE = 1024;      // pane text buffer: at most 1023 characters are shown

// Where the trace list and the Spy button go for a client rectangle.
struct ChildLayout {
    LayoutRect list;
    LayoutRect button;
};

// What the status strip draws besides the texts.
struct StatusGeometry {
    LayoutRect listFrame;                  // sunken edge around the list
    LayoutRect panes[STATUS_PANE_COUNT];   // spying, connection, spooling, line position
    LayoutRect indicator;                  // outer edge of the coloured square
};

// List inset by 2 with statusHeight kept free below it; button of buttonSize in the bottom-right
// corner. Results saturate at the int range rather than overflow.
ChildLayout ComputeChildLayout(LayoutRect client, int statusHeight, int buttonSize);

// Panes 1-3 take two sevenths each of the width left after the indicator and the button
// (integer division, truncating); pane 4 takes the rest. A narrow client gives empty or
// inverted rectangles, never a failure.
StatusGeometry ComputeStatusGeometry(LayoutRect client, int statusHeight, int buttonSize);

// The state a pane text depends on. Null texts count as empty.
struct StatusFacts {
    int spying;                            // programState.spying
    int connected;                         // programState.connected
    int spooling;                          // 1 when a spool file is open, active or paused
    const char *pipeName;
    const char *displayName;
    const char *spoolPath;
    int lineCount;                         // LB_GETCOUNT of the trace list
    int caretIndex;                        // LB_GETCARETINDEX of the trace list
};

// Text of pane 0 to 3 (left to right), cut to size - 1 characters; an unknown pane gives "".
// Never writes past size; writes nothing when size is 0.
void FormatPaneText(int pane, const StatusFacts &facts, char *out, size_t size);

#endif
