// Pure geometry and pane texts of the main window (see status_layout.h).
#include "status_layout.h"

#include <climits>
#include <cstdio>

namespace {

// Window coordinates are small, but the arithmetic is done wide so that no input overflows.
int Saturate(long long value)
{
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return (int)value;
}

LayoutRect MakeRect(long long left, long long top, long long right, long long bottom)
{
    return LayoutRect{Saturate(left), Saturate(top), Saturate(right), Saturate(bottom)};
}

const char *OrEmpty(const char *text)
{
    return text != nullptr ? text : "";
}

}

ChildLayout ComputeChildLayout(LayoutRect client, int statusHeight, int buttonSize)
{
    long long l = client.left, t = client.top, r = client.right, b = client.bottom;
    long long h = statusHeight, s = buttonSize;
    ChildLayout layout;
    // Width r-l-4 and height b-t-h-4 from (l+2, t+2): right and bottom edges follow.
    layout.list = MakeRect(l + 2, t + 2, l + 2 + (r - l - 4), t + 2 + (b - t - h - 4));
    layout.button = MakeRect(r - s, b - s, r, b);
    return layout;
}

StatusGeometry ComputeStatusGeometry(LayoutRect client, int statusHeight, int buttonSize)
{
    long long l = client.left, t = client.top, r = client.right, b = client.bottom;
    long long h = statusHeight, s = buttonSize;
    // The indicator and the button take 2s + 2 at the right; seven units share the rest.
    long long u = (r - l - (2 * s + 2)) / 7;
    long long paneTop = b - s;
    StatusGeometry geometry;
    geometry.listFrame = MakeRect(l, t, r, b - h);
    geometry.panes[0] = MakeRect(l, paneTop, l + 2 * u - 2, b);
    geometry.panes[1] = MakeRect(l + 2 * u, paneTop, l + 4 * u - 2, b);
    geometry.panes[2] = MakeRect(l + 4 * u, paneTop, l + 6 * u - 2, b);
    geometry.panes[3] = MakeRect(l + 6 * u, paneTop, r - 2 * s - 4, b);
    geometry.indicator = MakeRect(r - 2 * s - 2, paneTop, r - s - 2, b);
    return geometry;
}

void FormatPaneText(int pane, const StatusFacts &facts, char *out, size_t size)
{
    if (size == 0)
        return;
    // snprintf cuts at the buffer: a spool path near 1024 bytes plus its label cannot overflow.
    switch (pane) {
    case 0:
        if (facts.spying == 1)
            snprintf(out, size, "Spying on %s", OrEmpty(facts.pipeName));
        else
            snprintf(out, size, "Not spying");
        break;
    case 1:
        if (facts.connected == 1)
            snprintf(out, size, "Connected to %s", OrEmpty(facts.displayName));
        else
            snprintf(out, size, "Not connected");
        break;
    case 2:
        if (facts.spooling)
            snprintf(out, size, "Spooling to \"%s\"", OrEmpty(facts.spoolPath));
        else
            snprintf(out, size, "Not spooling");
        break;
    case 3:
        if (facts.lineCount > 0)
            snprintf(out, size, "Line %lld of %d", (long long)facts.caretIndex + 1, facts.lineCount);
        else
            snprintf(out, size, "No lines");
        break;
    default:
        out[0] = '\0';
        break;
    }
}
