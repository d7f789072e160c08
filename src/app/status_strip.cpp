// The main window's WM_PAINT: the sunken frame around the trace list and the status strip below
// it (four text panes and the coloured indicator). Called by MainWndProc; geometry and texts come
// from status_layout.
#include "main_window.h"

#include "program_state.h"
#include "status_layout.h"

namespace {

RECT ToRect(const LayoutRect &place)
{
    RECT rect = {place.left, place.top, place.right, place.bottom};
    return rect;
}

HBRUSH IndicatorBrush(void)
{
    switch (programState.indicatorState) {
    case INDICATOR_OFF:     return programState.redBrush;
    case INDICATOR_WAITING: return programState.yellowBrush;
    default:                return programState.greenBrush;
    }
}

StatusFacts ReadStatusFacts(void)
{
    StatusFacts facts;
    facts.spying = programState.spying;
    facts.connected = programState.connected;
    facts.spooling = programState.activeSpoolFile != HFILE_ERROR || programState.pausedSpoolFile != HFILE_ERROR;
    facts.pipeName = programState.pipeName;
    facts.displayName = programState.displayName;
    facts.spoolPath = programState.spoolPath;
    facts.lineCount = (int)SendMessageA(programState.listBox, LB_GETCOUNT, 0, 0);
    facts.caretIndex = (int)SendMessageA(programState.listBox, LB_GETCARETINDEX, 0, 0);
    return facts;
}

}

void PaintStatusStrip(HWND window)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    SetBkMode(dc, TRANSPARENT);

    HFONT font = CreateFontA(programState.buttonSize - 4, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                             OUT_DEVICE_PRECIS, CLIP_DEFAULT_PRECIS, DRAFT_QUALITY, FF_SWISS | DEFAULT_PITCH,
                             "MS Sans Serif");
    HGDIOBJ previousFont = nullptr;
    if (font != nullptr)
        previousFont = SelectObject(dc, font);
    HBRUSH paneBrush = CreateSolidBrush(GetSysColor(COLOR_BTNFACE));

    RECT client;
    GetClientRect(window, &client);
    LayoutRect area = {(int)client.left, (int)client.top, (int)client.right, (int)client.bottom};
    StatusGeometry geometry = ComputeStatusGeometry(area, programState.statusHeight, programState.buttonSize);

    RECT frame = ToRect(geometry.listFrame);
    DrawEdge(dc, &frame, EDGE_SUNKEN, BF_RECT);

    RECT indicator = ToRect(geometry.indicator);
    DrawEdge(dc, &indicator, EDGE_SUNKEN, BF_RECT);
    InflateRect(&indicator, -2, -2);
    FillRect(dc, &indicator, IndicatorBrush());

    StatusFacts facts = ReadStatusFacts();
    for (int pane = 0; pane < STATUS_PANE_COUNT; pane++) {
        RECT rect = ToRect(geometry.panes[pane]);
        char text[STATUS_TEXT_SIZE];
        DrawEdge(dc, &rect, BDR_SUNKENOUTER, BF_RECT);
        FormatPaneText(pane, facts, text, sizeof text);
        InflateRect(&rect, -4, -2);
        FillRect(dc, &rect, paneBrush);
        // The line position reads from the right; the other panes from the left.
        UINT alignment = pane == STATUS_PANE_COUNT - 1 ? DT_RIGHT : DT_LEFT;
        DrawTextA(dc, text, -1, &rect, DT_SINGLELINE | DT_VCENTER | alignment);
    }

    if (font != nullptr) {
        SelectObject(dc, previousFont);
        DeleteObject(font);
    }
    DeleteObject(paneBrush);
    EndPaint(window, &paint);
}
