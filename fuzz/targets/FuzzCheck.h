#pragma once
// What the fuzz targets share: a property check that ends the run as a
// fault (libFuzzer keeps the input), and byte input read field by field.
#include <cstdio>
#include <cstdlib>
#include <string>

#include <fuzzer/FuzzedDataProvider.h>

#define KB_CHECK(cond)                                                                      \
    do {                                                                                    \
        if (!(cond)) {                                                                      \
            fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #cond);    \
            abort();                                                                        \
        }                                                                                   \
    } while (0)

// Bytes shown as C escapes, for the messages of failed properties.
inline std::string Escaped(const std::string& s)
{
    std::string r;
    for (unsigned char c : s) {
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            r += char(c);
        } else {
            char buf[8];
            snprintf(buf, sizeof buf, "\\x%02X", c);
            r += buf;
        }
    }
    return r;
}
