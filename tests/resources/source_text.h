// What the readers of the resource scripts share: a source file as logical
// lines without comments, for a line-based preprocessor, and the C operators
// that both script languages take over.
#pragma once

#include <cctype>
#include <cstdint>
#include <set>
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

// A line's tokens: blanks are passed over, and `lex` (position, token) reads
// the token at the position and moves the position past it.
template <class Token, class Lex>
std::vector<Token> tokensOf(const Line& line, Lex lex) {
    std::vector<Token> tokens;
    for (std::size_t i = 0; i < line.text.size();) {
        if (std::isspace(static_cast<unsigned char>(line.text[i]))) {
            ++i;
            continue;
        }
        Token t;
        t.where = line.where;
        lex(i, t);
        tokens.push_back(std::move(t));
    }
    return tokens;
}

// Where the letters, digits and underscores from `i` end.
std::size_t identifierEnd(const std::string& text, std::size_t i);

// A digit's value in bases up to 16; 99 for any other character.
int digitValue(char c);

// The punctuator at `i`: one of C's two-character operators, or one of
// `singles`.  Anything else is refused.
std::string punctuatorAt(const std::string& text, std::size_t i, const std::string& singles, const std::string& where);

// C's binary operators from the loosest binding to the tightest, and what
// they and the unary - ~ ! give.  A division by zero or a shift beyond the
// value is refused.
const std::vector<std::set<std::string>>& binaryOperatorLevels();
int64_t applyBinary(const std::string& op, int64_t a, int64_t b, const std::string& where);
int64_t applyUnary(const std::string& op, int64_t v);

}  // namespace srctext
