// A reader of the Mac bundles' Rez sources, written for the tests from the
// Rez language alone: the preprocessor's #include "file" (beside the
// including file only), #define without parameters, #undef, #ifdef,
// #ifndef, #else and #endif; type declarations; resource statements.  Each
// resource is laid out as Rez lays it out: the fields of its type in order,
// numbers big-endian and bit by bit, labels as bit offsets from the
// resource's start.  Whatever else the language has is refused by name, so a
// source that leans on a declaration from elsewhere fails here.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/resources/source_text.h"

namespace rez {

using srctext::ScriptError;

struct Resource {
    std::string type;  // the four characters
    int32_t id = 0;
    std::string name;  // empty when the statement names none
    std::vector<uint8_t> data;
};

std::vector<Resource> readFile(const std::string& path);
// Source text under a file name of its own; includes are looked for in
// `folder`.
std::vector<Resource> readText(const std::string& text, const std::string& file, const std::string& folder);

}  // namespace rez
