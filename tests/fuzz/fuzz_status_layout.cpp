// Arbitrary client rectangles and state through the status strip's layout and pane texts: no
// overflow in the arithmetic (UndefinedBehaviorSanitizer), every text terminated within its buffer.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "status_layout.h"

namespace {

int TakeInt(const uint8_t *&data, size_t &size)
{
    int32_t value = 0;
    size_t n = size < sizeof value ? size : sizeof value;
    memcpy(&value, data, n);
    data += n;
    size -= n;
    return value;
}

}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    LayoutRect client;
    client.left = TakeInt(data, size);
    client.top = TakeInt(data, size);
    client.right = TakeInt(data, size);
    client.bottom = TakeInt(data, size);
    int statusHeight = TakeInt(data, size);
    int buttonSize = TakeInt(data, size);
    int lineCount = TakeInt(data, size);
    int caretIndex = TakeInt(data, size);
    int flags = TakeInt(data, size);
    ComputeChildLayout(client, statusHeight, buttonSize);
    ComputeStatusGeometry(client, statusHeight, buttonSize);

    std::string rest((const char *)data, size);
    size_t third = rest.size() / 3;
    std::string pipe = rest.substr(0, third), display = rest.substr(third, third), path = rest.substr(2 * third);
    StatusFacts facts = {flags & 1, (flags >> 1) & 1, (flags >> 2) & 1, pipe.c_str(), display.c_str(), path.c_str(),
                         lineCount, caretIndex};
    size_t sizes[] = {0, 1, 7, STATUS_TEXT_SIZE};
    for (int pane = -1; pane <= STATUS_PANE_COUNT; pane++) {
        for (size_t outSize : sizes) {
            // Exact-size heap buffer, so AddressSanitizer sees any write past it.
            char *out = (char *)malloc(outSize == 0 ? 1 : outSize);
            FormatPaneText(pane, facts, out, outSize);
            if (outSize > 0 && memchr(out, 0, outSize) == nullptr)
                abort();
            free(out);
        }
    }
    return 0;
}
