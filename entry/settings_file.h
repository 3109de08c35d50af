// Settings files: the product's magic text, the 26 values as big-endian
// IEEE doubles, 0x0D 0x0D, the 9 flags one byte each, 0x0D 0x0D.  The same
// bytes on every platform, so a file saved on one loads on the other.
#pragma once

#include <cstddef>
#include <string>

#include "entry/params.h"

// Writes a new file beside path and puts it in place of path only when every
// byte and the close succeeded, so a failed save leaves the old file whole.
bool writeParamsToFile(parameterStructure params, std::string path, const char* magic);
// All or nothing: the parameters change only when the magic, all 26 values
// (each finite) and all 9 flags (each 0 or 1) were read.
bool loadParamsFromFile(parameterStructure params, std::string path, const char* magic);

// The file's bytes, and their reading into the parameters (loadParamsFromFile
// after the file is read).
std::string settingsFileBytes(const parameterStructure& params, const char* magic);
bool readSettingsBytes(const parameterStructure& params, const unsigned char* bytes, size_t size, const char* magic);
void writeEOL(std::string& out);
// Steps the reader past the two bytes of a line end, whatever they hold; the
// caller has made sure they are there.  Always true.
bool readEOL(const unsigned char*& p);

// Bytes a reader needs of a file with this magic: the second line end after
// the flags is never read.
size_t settingsBytesNeeded(const char* magic);

// The file operations of a save, one set per platform (mac/, win/).  Tests
// put in their own to make a step fail.
struct SettingsFileOps {
    // A new, empty file beside target; null when it cannot be made, or when
    // target exists and is read-only or not a regular file.
    void* (*createBeside)(const std::string& target, std::string& tempPath);
    bool (*write)(void* file, const void* bytes, size_t size);
    // Flushes to the disk and closes; false when anything was not written.
    bool (*close)(void* file);
    bool (*replace)(const std::string& tempPath, const std::string& target);
    void (*remove)(const std::string& tempPath);
};
extern SettingsFileOps gSettingsFileOps;

// The platform's messages (null: the platform shows none).
extern const char* const kSettingsCannotCreateText;
extern const char* const kSettingsCannotOpenText;
extern const char* const kSettingsNotValidText;
