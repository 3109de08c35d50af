// What the readers of the resource scripts share: a source file as logical
// lines without comments, for a line-based preprocessor.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace srctext {

// A fault of a script, with its file and line.
struct ScriptError : std::runtime_error {
    using std::runtime_error::runtime_error;
};
[[noreturn]] void fail(const std::string& where, const std::string& what);

struct Line {
    std::string text;
    std::string where;  // "file:line" of its first physical line
};

// Comments become one blank, except inside a quote opened by one of
// `quotes`; a backslash at a line's end joins the next line to it.  An
// unterminated comment or quote is refused.
std::vector<Line> logicalLines(const std::string& text, const std::string& file, const std::string& quotes);

std::string readFile(const std::string& path);
std::string folderOf(const std::string& path);

}  // namespace srctext
