// A reader of the Windows resource scripts, written for the tests from the
// script language and the C preprocessor that reads it, so that it shares
// nothing with the resource compiler: the preprocessor's #include "file",
// #define with and without parameters, #undef, #if, #ifdef, #ifndef, #elif,
// #else and #endif with defined(), #error and #pragma; then the LANGUAGE
// statements and every user-defined resource given inline (`name type BEGIN
// ... END`), built as the compiler builds one: a number is two bytes
// little-endian, four with an L suffix anywhere in its expression; a string
// is its bytes without a terminator.  Dialogs and string tables are passed
// over; any other statement is refused.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/resources/pe_resources.h"
#include "tests/resources/source_text.h"

namespace rcscript {

using srctext::ScriptError;

struct Resource {
    peres::ResourceId type;
    peres::ResourceId name;
    uint16_t language = 0;
    std::vector<uint8_t> data;
};

// `predefined`: the names that the compiler's preprocessor defines for its
// target, such as __x86_64__.  Includes are looked for beside the including
// file, then in `includeFolders`.
std::vector<Resource> readUserResources(const std::string& path, const std::vector<std::string>& includeFolders,
                                        const std::vector<std::string>& predefined);

// Null when absent.
const Resource* findUserResource(const std::vector<Resource>& resources, const char* type, uint16_t name,
                                 uint16_t language);

}  // namespace rcscript
