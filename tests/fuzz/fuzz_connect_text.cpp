// Arbitrary logon parts and connect strings through the connect-text helpers: nothing is written
// past the output, every output is terminated, and a display name never holds the password.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "connect_text.h"

namespace {

void Check(bool condition)
{
    if (!condition)
        abort();
}

}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // The input is user, password and database separated by zero bytes.
    std::string text((const char *)data, size);
    std::string parts[3];
    size_t start = 0;
    for (int i = 0; i < 3 && start <= text.size(); i++) {
        size_t end = text.find('\0', start);
        if (end == std::string::npos)
            end = text.size();
        parts[i] = text.substr(start, end - start);
        start = end + 1;
    }
    size_t sizes[] = {1, 2, 16, 64, 256};
    for (size_t outSize : sizes) {
        // Heap buffers of the exact size, so AddressSanitizer sees any write past them.
        char *out = (char *)malloc(outSize);
        if (BuildConnectString(parts[0].c_str(), parts[1].c_str(), parts[2].c_str(), out, outSize)) {
            Check(memchr(out, 0, outSize) != nullptr);
            char *display = (char *)malloc(outSize);
            DeriveDisplayName(out, display, outSize);
            Check(memchr(display, 0, outSize) != nullptr);
            // The password never shows in the display name when the user name holds neither
            // separator (with one, the text itself is ambiguous and the log on reads it the same way).
            if (parts[1].size() >= 4 && parts[1].find_first_of("/@") == std::string::npos &&
                parts[0].find(parts[1]) == std::string::npos && parts[2].find(parts[1]) == std::string::npos &&
                parts[0].find_first_of("/@") == std::string::npos)
                Check(strstr(display, parts[1].c_str()) == nullptr);
            free(display);
        }
        free(out);

        char *display = (char *)malloc(outSize);
        DeriveDisplayName(text.c_str(), display, outSize);
        Check(memchr(display, 0, outSize) != nullptr);
        free(display);
    }
    return 0;
}
