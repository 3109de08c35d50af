#include "tests/resources/rc_reader.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <map>
#include <set>

namespace rcscript {

namespace {

using srctext::digitValue;
using srctext::fail;

struct Token {
    enum Kind { Ident, Number, String, Punct, End } kind = End;
    std::string text;   // an identifier, a punctuator, or a string's bytes (UTF-16LE when wide)
    int64_t value = 0;
    bool isLong = false;  // a number with an L suffix
    bool wide = false;    // a string with an L prefix
    std::string where;
};

// One character of a C string: the escapes \a \b \f \n \r \t \v \\ \" \' \?,
// \x with every hexadecimal digit that follows, and up to three octal digits;
// a doubled quote is one quote.
uint32_t stringChar(const std::string& s, std::size_t& i, const std::string& where) {
    if (s[i] == '"') {
        i += 2;
        return '"';
    }
    if (s[i] != '\\') return uint8_t(s[i++]);
    const char e = s[++i];
    static const std::map<char, char> simple = {{'a', '\a'}, {'b', '\b'}, {'f', '\f'}, {'n', '\n'}, {'r', '\r'},
                                                {'t', '\t'}, {'v', '\v'}, {'\\', '\\'}, {'"', '"'}, {'\'', '\''},
                                                {'?', '?'}};
    if (simple.count(e)) {
        ++i;
        return uint8_t(simple.at(e));
    }
    uint32_t v = 0;
    if (e == 'x') {
        const std::size_t start = ++i;
        while (i < s.size() && digitValue(s[i]) < 16) v = v * 16 + digitValue(s[i++]);
        if (i == start) fail(where, "\\x without digits");
        return v;
    }
    if (digitValue(e) < 8) {
        for (int n = 0; n < 3 && i < s.size() && digitValue(s[i]) < 8; ++n) v = v * 8 + digitValue(s[i++]);
        return v;
    }
    fail(where, std::string("an escape that is not C: \\") + e);
}

std::vector<Token> tokenize(const srctext::Line& line) {
    const std::string& s = line.text;
    return srctext::tokensOf<Token>(line, [&](std::size_t& i, Token& t) {
        const char c = s[i];
        if (c == '"' || (c == 'L' && i + 1 < s.size() && s[i + 1] == '"')) {
            t.kind = Token::String;
            t.wide = c == 'L';
            i += t.wide ? 2 : 1;
            for (;;) {
                if (i >= s.size()) fail(line.where, "a string that the line does not close");
                if (s[i] == '"' && (i + 1 >= s.size() || s[i + 1] != '"')) break;
                const uint32_t ch = stringChar(s, i, line.where);
                if (ch > (t.wide ? 0xFFFFu : 0xFFu)) fail(line.where, "a character too large for its string");
                t.text += char(ch & 0xFF);
                if (t.wide) t.text += char(ch >> 8);
            }
            ++i;
        } else if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
            const std::size_t start = i;
            i = srctext::identifierEnd(s, i);
            t.kind = Token::Ident;
            t.text = s.substr(start, i - start);
        } else if (std::isdigit(static_cast<unsigned char>(c))) {
            int base = 10;
            if (c == '0' && i + 1 < s.size() && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
                base = 16;
                i += 2;
            } else if (c == '0') {
                base = 8;
            }
            const std::size_t start = i;
            while (i < s.size() && digitValue(s[i]) < base) {
                t.value = t.value * base + digitValue(s[i++]);
                if (t.value > 0xFFFFFFFFLL) fail(line.where, "a number beyond 32 bits");
            }
            if (i == start && base == 16) fail(line.where, "0x without digits");
            for (const std::size_t end = srctext::identifierEnd(s, i); i < end; ++i) {
                if (s[i] == 'L' || s[i] == 'l') t.isLong = true;
                else if (s[i] != 'U' && s[i] != 'u') fail(line.where, "not a number: " + s.substr(start, i - start + 1));
            }
            t.kind = Token::Number;
        } else {
            t.kind = Token::Punct;
            t.text = srctext::punctuatorAt(s, i, "{}()[];,:=+-*/%|&^~!<>#", line.where);
            i += t.text.size();
        }
    });
}

// --- Expressions, of #if lines and of resource data ---------------------------

struct Value {
    int64_t value = 0;
    bool isLong = false;
};

// In #if lines a name left after expansion is 0; in data it is refused.
class Expression {
public:
    Expression(const std::vector<Token>& tokens, std::size_t& pos, bool namesAreZero)
        : tokens_(tokens), pos_(pos), namesAreZero_(namesAreZero) {}
    Value parse(int level = 0) {
        const auto& levels = srctext::binaryOperatorLevels();
        if (level == int(levels.size())) return unary();
        Value a = parse(level + 1);
        while (pos_ < tokens_.size() && tokens_[pos_].kind == Token::Punct && levels[level].count(tokens_[pos_].text)) {
            const Token& op = tokens_[pos_++];
            const Value b = parse(level + 1);
            a = {srctext::applyBinary(op.text, a.value, b.value, op.where), a.isLong || b.isLong};
        }
        return a;
    }

private:
    const Token& peek() const {
        static const Token end;
        return pos_ < tokens_.size() ? tokens_[pos_] : end;
    }
    Value unary() {
        const Token& t = peek();
        if (t.kind == Token::Punct && (t.text == "-" || t.text == "~" || t.text == "!")) {
            ++pos_;
            Value v = unary();
            v.value = srctext::applyUnary(t.text, v.value);
            return v;
        }
        if (t.kind == Token::Punct && t.text == "(") {
            ++pos_;
            const Value v = parse();
            if (peek().kind != Token::Punct || peek().text != ")") fail(t.where, "')' expected");
            ++pos_;
            return v;
        }
        if (t.kind == Token::Number) {
            ++pos_;
            return {t.value, t.isLong};
        }
        if (t.kind == Token::Ident && namesAreZero_) {
            ++pos_;
            return {};
        }
        fail(t.where, "a number expected, not '" + t.text + "'");
    }
    const std::vector<Token>& tokens_;
    std::size_t& pos_;
    bool namesAreZero_;
};

// --- The preprocessor --------------------------------------------------------

struct Macro {
    bool function = false;
    std::vector<std::string> parameters;
    std::vector<Token> body;
};

class Preprocessor {
public:
    Preprocessor(std::vector<std::string> includeFolders, const std::vector<std::string>& predefined)
        : includeFolders_(std::move(includeFolders)) {
        for (const std::string& name : predefined) {
            Token one;
            one.kind = Token::Number;
            one.value = 1;
            macros_[name].body = {one};
        }
    }

    std::vector<Token> run(const std::string& path) {
        source(path, 0);
        return std::move(out_);
    }

private:
    struct Condition {
        bool active;     // this branch is being read
        bool taken;      // a branch of this #if has been read
        bool elseSeen;
        bool outerActive;
    };

    bool active() const { return conditions_.empty() || conditions_.back().active; }

    std::string locate(const std::string& name, const std::string& folder, const std::string& where) const {
        std::vector<std::string> folders = {folder};
        folders.insert(folders.end(), includeFolders_.begin(), includeFolders_.end());
        for (const std::string& f : folders)
            if (std::ifstream(f + "/" + name)) return f + "/" + name;
        fail(where, "no " + name + " beside the file or in the include folders");
    }

    void source(const std::string& path, int depth) {
        if (depth > 16) fail(path, "includes nested too deeply");
        const std::size_t conditionsAtStart = conditions_.size();
        for (const srctext::Line& line : srctext::logicalLines(srctext::readFile(path), path, "\"")) {
            const std::size_t at = line.text.find_first_not_of(" \t\r");
            if (at == std::string::npos) continue;
            if (line.text[at] != '#') {
                if (active()) {
                    const std::vector<Token> tokens = tokenize(line);
                    std::vector<Token> expanded = expand(tokens, {});
                    out_.insert(out_.end(), expanded.begin(), expanded.end());
                }
                continue;
            }
            const srctext::Line rest{line.text.substr(at + 1), line.where};
            directive(rest, tokenize(rest), path, depth);
        }
        if (conditions_.size() != conditionsAtStart) fail(path, "an #if that the file does not close");
    }

    void directive(const srctext::Line& line, const std::vector<Token>& words, const std::string& path, int depth) {
        if (words.empty() || words[0].kind != Token::Ident) fail(line.where, "a directive without a name");
        const std::string& name = words[0].text;
        const std::vector<Token> rest(words.begin() + 1, words.end());
        if (name == "if" || name == "ifdef" || name == "ifndef") {
            bool holds = false;
            if (active()) {
                if (name == "if") holds = condition(rest, line.where);
                else if (rest.size() != 1 || rest[0].kind != Token::Ident) fail(line.where, "#" + name + " NAME");
                else holds = macros_.count(rest[0].text) == (name == "ifdef");
            }
            conditions_.push_back({active() && holds, holds, false, active()});
        } else if (name == "elif" || name == "else") {
            if (conditions_.empty() || conditions_.back().elseSeen) fail(line.where, "#" + name + " without its #if");
            Condition& c = conditions_.back();
            const bool holds = c.outerActive && !c.taken && (name == "else" || condition(rest, line.where));
            c.active = holds;
            c.taken = c.taken || holds;
            c.elseSeen = name == "else";
        } else if (name == "endif") {
            if (conditions_.empty()) fail(line.where, "#endif without its #if");
            conditions_.pop_back();
        } else if (!active()) {
            return;
        } else if (name == "include") {
            if (rest.size() != 1 || rest[0].kind != Token::String || rest[0].wide)
                fail(line.where, "#include takes a quoted file name here");
            source(locate(rest[0].text, srctext::folderOf(path), line.where), depth + 1);
        } else if (name == "define") {
            define(line, rest);
        } else if (name == "undef") {
            if (rest.size() != 1 || rest[0].kind != Token::Ident) fail(line.where, "#undef NAME");
            macros_.erase(rest[0].text);
        } else if (name == "error") {
            fail(line.where, "#error:" + line.text.substr(line.text.find("error") + 5));
        } else if (name != "pragma") {
            fail(line.where, "#" + name + " is not read here");
        }
    }

    void define(const srctext::Line& line, const std::vector<Token>& rest) {
        if (rest.empty() || rest[0].kind != Token::Ident) fail(line.where, "#define NAME");
        Macro m;
        std::size_t body = 1;
        // Parameters only where the '(' follows the name without a blank.
        const std::size_t nameAt = line.text.find_first_not_of(" \t", line.text.find("define") + 6);
        if (line.text.compare(nameAt + rest[0].text.size(), 1, "(") == 0) {
            m.function = true;
            for (body = 2; body < rest.size() && rest[body].text != ")"; ++body) {
                if (rest[body].kind == Token::Ident) m.parameters.push_back(rest[body].text);
                else if (rest[body].text != ",") fail(line.where, "a parameter list of names");
            }
            if (body == rest.size()) fail(line.where, "a parameter list that the line does not close");
            ++body;
        }
        m.body.assign(rest.begin() + body, rest.end());
        macros_[rest[0].text] = std::move(m);
    }

    bool condition(const std::vector<Token>& tokens, const std::string& where) {
        std::vector<Token> resolved;
        for (std::size_t i = 0; i < tokens.size(); ++i) {
            if (tokens[i].kind != Token::Ident || tokens[i].text != "defined") {
                resolved.push_back(tokens[i]);
                continue;
            }
            const bool parens = i + 1 < tokens.size() && tokens[i + 1].text == "(";
            const std::size_t name = i + (parens ? 2 : 1);
            if (name >= tokens.size() || tokens[name].kind != Token::Ident || (parens && (name + 1 >= tokens.size() || tokens[name + 1].text != ")")))
                fail(where, "defined NAME or defined(NAME)");
            Token v;
            v.kind = Token::Number;
            v.value = macros_.count(tokens[name].text);
            resolved.push_back(v);
            i = name + (parens ? 1 : 0);
        }
        const std::vector<Token> expanded = expand(resolved, {});
        std::size_t pos = 0;
        const Value v = Expression(expanded, pos, true).parse();
        if (pos != expanded.size()) fail(where, "more after the #if's expression");
        return v.value != 0;
    }

    std::vector<Token> expand(const std::vector<Token>& tokens, const std::set<std::string>& disabled) const {
        std::vector<Token> out;
        for (std::size_t i = 0; i < tokens.size(); ++i) {
            const Token& t = tokens[i];
            const auto m = t.kind == Token::Ident && !disabled.count(t.text) ? macros_.find(t.text) : macros_.end();
            const bool call = m != macros_.end() && m->second.function;
            if (m == macros_.end() || (call && (i + 1 >= tokens.size() || tokens[i + 1].text != "("))) {
                out.push_back(t);
                continue;
            }
            std::set<std::string> inner = disabled;
            inner.insert(t.text);
            std::vector<Token> body = m->second.body;
            if (call) {
                std::vector<std::vector<Token>> args(1);
                int depth = 0;
                for (i += 2;; ++i) {
                    if (i >= tokens.size()) fail(t.where, "a call of " + t.text + " that the line does not close");
                    const std::string& p = tokens[i].kind == Token::Punct ? tokens[i].text : "";
                    if (p == ")" && depth == 0) break;
                    if (p == "," && depth == 0) {
                        args.emplace_back();
                        continue;
                    }
                    depth += p == "(" ? 1 : p == ")" ? -1 : 0;
                    args.back().push_back(tokens[i]);
                }
                const std::vector<std::string>& params = m->second.parameters;
                if (args.size() != std::max<std::size_t>(params.size(), 1) || (params.empty() && !args[0].empty()))
                    fail(t.where, t.text + " takes " + std::to_string(params.size()) + " arguments");
                std::vector<Token> substituted;
                for (const Token& b : body) {
                    const auto p = b.kind == Token::Ident ? std::find(params.begin(), params.end(), b.text) : params.end();
                    if (p == params.end()) {
                        substituted.push_back(b);
                        continue;
                    }
                    const std::vector<Token> arg = expand(args[p - params.begin()], disabled);
                    substituted.insert(substituted.end(), arg.begin(), arg.end());
                }
                body = std::move(substituted);
            }
            for (Token& b : body) b.where = t.where;
            const std::vector<Token> expanded = expand(body, inner);
            out.insert(out.end(), expanded.begin(), expanded.end());
        }
        return out;
    }

    std::vector<std::string> includeFolders_;
    std::map<std::string, Macro> macros_;
    std::vector<Condition> conditions_;
    std::vector<Token> out_;
};

// --- Statements --------------------------------------------------------------

bool isWord(const Token& t, const char* w) { return t.kind == Token::Ident && t.text == w; }
bool opensBlock(const Token& t) { return isWord(t, "BEGIN") || (t.kind == Token::Punct && t.text == "{"); }
bool closesBlock(const Token& t) { return isWord(t, "END") || (t.kind == Token::Punct && t.text == "}"); }

peres::ResourceId idOf(const Token& t) {
    if (t.kind == Token::Number) {
        if (t.value > 0xFFFF) fail(t.where, "a resource id beyond 16 bits");
        return peres::ResourceId::of(uint16_t(t.value));
    }
    if (t.kind != Token::Ident) fail(t.where, "a resource name or number expected, not '" + t.text + "'");
    peres::ResourceId id;
    id.isName = true;
    id.name = t.text;
    return id;
}

class Statements {
public:
    explicit Statements(std::vector<Token> tokens) : tokens_(std::move(tokens)) {}

    std::vector<Resource> userResources() {
        std::vector<Resource> resources;
        uint16_t language = 0;
        while (pos_ < tokens_.size()) {
            if (isWord(peek(), "LANGUAGE")) {
                ++pos_;
                const int64_t primary = number().value;
                expectComma();
                const int64_t sub = number().value;
                language = uint16_t(primary | sub << 10);
            } else if (isWord(peek(), "STRINGTABLE")) {
                skipBlock();
            } else {
                const Token& name = next();
                const Token& type = next();
                if (isWord(type, "DIALOGEX") || isWord(type, "DIALOG")) {
                    skipBlock();
                } else if (opensBlock(peek())) {
                    ++pos_;
                    resources.push_back({idOf(type), idOf(name), language, data()});
                } else {
                    fail(type.where, "a statement that is not read here: " + name.text + " " + type.text);
                }
            }
        }
        return resources;
    }

private:
    const Token& peek() const {
        if (pos_ >= tokens_.size()) fail(tokens_.empty() ? "script" : tokens_.back().where, "the script ends inside a statement");
        return tokens_[pos_];
    }
    const Token& next() {
        const Token& t = peek();
        ++pos_;
        return t;
    }
    void expectComma() {
        if (peek().text != ",") fail(peek().where, "',' expected");
        ++pos_;
    }
    Value number() { return Expression(tokens_, pos_, false).parse(); }

    // Passes over a statement's options and its block.
    void skipBlock() {
        while (!opensBlock(peek())) ++pos_;
        for (int depth = 0;;) {
            const Token& t = next();
            if (opensBlock(t)) ++depth;
            else if (closesBlock(t) && --depth == 0) return;
        }
    }

    // The items of a user-defined resource up to its END.
    std::vector<uint8_t> data() {
        std::vector<uint8_t> bytes;
        while (!closesBlock(peek())) {
            if (peek().kind == Token::String) {
                const bool wide = peek().wide;
                while (peek().kind == Token::String) {
                    if (peek().wide != wide) fail(peek().where, "narrow and wide strings joined");
                    bytes.insert(bytes.end(), peek().text.begin(), peek().text.end());
                    ++pos_;
                }
            } else {
                const std::string where = peek().where;
                const Value v = number();
                const int bits = v.isLong ? 32 : 16;
                if (v.value < -(int64_t(1) << (bits - 1)) || v.value >= int64_t(1) << bits)
                    fail(where, std::to_string(v.value) + " does not fit " + std::to_string(bits) + " bits");
                for (int i = 0; i < bits / 8; ++i) bytes.push_back(uint8_t(uint64_t(v.value) >> (8 * i)));
            }
            if (closesBlock(peek())) break;
            expectComma();
        }
        ++pos_;
        return bytes;
    }

    std::vector<Token> tokens_;
    std::size_t pos_ = 0;
};

}  // namespace

std::vector<Resource> readUserResources(const std::string& path, const std::vector<std::string>& includeFolders,
                                        const std::vector<std::string>& predefined) {
    return Statements(Preprocessor(includeFolders, predefined).run(path)).userResources();
}

const Resource* findUserResource(const std::vector<Resource>& resources, const char* type, uint16_t name,
                                 uint16_t language) {
    for (const Resource& r : resources)
        if (r.type.matches(peres::ResourceId::of(type)) && r.name.matches(peres::ResourceId::of(name)) &&
            r.language == language)
            return &r;
    return nullptr;
}

}  // namespace rcscript
