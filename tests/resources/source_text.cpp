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

}  // namespace srctext
