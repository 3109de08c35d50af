#include "tests/resources/source_text.h"

#include <fstream>
#include <sstream>

namespace srctext {

void fail(const std::string& where, const std::string& what) { throw ScriptError(where + ": " + what); }

std::vector<Line> logicalLines(const std::string& text, const std::string& file, const std::string& quotes) {
    std::vector<Line> lines;
    std::string current;
    int line = 1, startLine = 1;
    char quote = 0;
    bool blockComment = false;
    auto where = [&](int n) { return file + ":" + std::to_string(n); };
    auto endLine = [&] {
        lines.push_back({current, where(startLine)});
        current.clear();
        startLine = line;
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const char next = i + 1 < text.size() ? text[i + 1] : '\0';
        if (c == '\n') {
            ++line;
            if (quote) fail(where(line - 1), "a quote that the line does not close");
            if (blockComment) continue;
            if (!current.empty() && current.back() == '\\') {
                current.pop_back();
                continue;
            }
            endLine();
        } else if (blockComment) {
            if (c == '*' && next == '/') {
                blockComment = false;
                ++i;
            }
        } else if (quote) {
            current += c;
            if (c == '\\' && next != '\n' && next != '\0') {
                current += next;
                ++i;
            } else if (c == quote) {
                quote = 0;
            }
        } else if (c == '/' && next == '*') {
            blockComment = true;
            current += ' ';
            ++i;
        } else if (c == '/' && next == '/') {
            while (i + 1 < text.size() && text[i + 1] != '\n') ++i;
            current += ' ';
        } else {
            if (quotes.find(c) != std::string::npos) quote = c;
            current += c;
        }
    }
    if (blockComment) fail(where(line), "a comment that the file does not close");
    if (quote) fail(where(line), "a quote that the file does not close");
    if (!current.empty()) endLine();
    return lines;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw ScriptError(path + ": cannot be read");
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

std::size_t identifierEnd(const std::string& text, std::size_t i) {
    while (i < text.size() && (std::isalnum(static_cast<unsigned char>(text[i])) || text[i] == '_')) ++i;
    return i;
}

int digitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return 99;
}

std::string punctuatorAt(const std::string& text, std::size_t i, const std::string& singles, const std::string& where) {
    for (const char* pair : {"<<", ">>", "==", "!=", "<=", ">=", "&&", "||"})
        if (text.compare(i, 2, pair) == 0) return pair;
    if (singles.find(text[i]) == std::string::npos)
        fail(where, std::string("a character that is not read here: ") + text[i]);
    return std::string(1, text[i]);
}

const std::vector<std::set<std::string>>& binaryOperatorLevels() {
    static const std::vector<std::set<std::string>> levels = {
        {"||"}, {"&&"}, {"|"}, {"^"}, {"&"}, {"==", "!="}, {"<", ">", "<=", ">="}, {"<<", ">>"}, {"+", "-"},
        {"*", "/", "%"}};
    return levels;
}

int64_t applyBinary(const std::string& op, int64_t a, int64_t b, const std::string& where) {
    if ((op == "/" || op == "%") && b == 0) fail(where, "a division by zero");
    if ((op == "<<" || op == ">>") && (b < 0 || b > 62)) fail(where, "a shift out of range");
    if (op == "||") return a || b;
    if (op == "&&") return a && b;
    if (op == "|") return a | b;
    if (op == "^") return a ^ b;
    if (op == "&") return a & b;
    if (op == "==") return a == b;
    if (op == "!=") return a != b;
    if (op == "<") return a < b;
    if (op == ">") return a > b;
    if (op == "<=") return a <= b;
    if (op == ">=") return a >= b;
    if (op == "<<") return a << b;
    if (op == ">>") return a >> b;
    if (op == "+") return a + b;
    if (op == "-") return a - b;
    if (op == "*") return a * b;
    if (op == "/") return a / b;
    if (op == "%") return a % b;
    fail(where, "not a binary operator: " + op);
}

int64_t applyUnary(const std::string& op, int64_t v) { return op == "-" ? -v : op == "~" ? ~v : !v; }

}  // namespace srctext
