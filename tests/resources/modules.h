// The Windows modules that the resource tests read, and what both products
// are expected to register on either platform.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "tests/resources/pe_resources.h"
#include "tests/resources/resource_formats.h"

namespace restest {

enum class Arch { X86_64, I686 };

struct Module {
    const char* product;  // "halvane" or "glimra"
    Arch arch;
};

const std::vector<Module>& allModules();
std::string archName(Arch arch);
uint16_t machineOf(Arch arch);

// The module's file: from $VEXLOR_WIN_MODULES_X86_64 or $VEXLOR_WIN_MODULES_I686
// (a folder holding halvane.8bf and glimra.8bf, such as a cross build), else
// the resource-only modules that the test build made.  Empty, with the
// reason in `why`, when no folder is known (the build found no mingw-w64
// tools); a named folder that lacks the module fails the test instead.
std::string modulePath(const Module& m, std::string* why);

// Loaded once per path.  Throws peres::FormatError for a bad file.
const peres::PeImage& loadModule(const std::string& path);

// The test name part of a module: "halvane_x86_64".
std::string moduleName(const Module& m);
inline void PrintTo(const Module& m, std::ostream* os) { *os << moduleName(m); }

constexpr uint16_t kLanguage = 1033;
constexpr uint16_t kRegistrationId = 16000;

// The property list's enable expression, and the flags of its seven filter
// cases in the host's order (input and output handling are white matte, 4).
extern const char* const kEnableExpression;
constexpr uint8_t kFilterCaseFlags[7] = {0x06, 0x0E, 0x0E, 0x06, 0x0E, 0x06, 0x0E};

struct ExpectedParameter {
    const char* name;
    const char* key;
    const char* type;
    const char* description;
};

struct Product {
    const char* name;              // "Halvane"
    const char* file;              // "halvane"
    const char* eventDescription;  // of the terminology's one event
    bool upperCaseKey;             // the registry key's hexadecimal letters
    const char* macProcessor;      // of the Mac bundle: "PowerPC" or "Intel"
    std::vector<ExpectedParameter> terminology;
    std::vector<const char*> valueKeys;  // scripting keys of the parameter block's values
    std::vector<const char*> flagKeys;   // and of its flags
};

const Product& productOf(const Module& m);

// Reads `name = "text"` of the product's table source, for the title and the
// registry key that the code uses.  Empty when absent.
std::string productSourceString(const Product& p, const char* name);

// Checks a terminology, of either form, against the product's table: the
// version, the one suite, its one event with the product's title and the
// parameters.
void expectTerminologyOf(const Product& p, const peres::Aete& aete);

}  // namespace restest
