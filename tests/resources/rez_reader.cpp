#include "tests/resources/rez_reader.h"

#include <algorithm>
#include <cctype>
#include <functional>
#include <map>
#include <optional>
#include <set>

namespace rez {

namespace {

using srctext::digitValue;
using srctext::fail;

struct Token {
    enum Kind { Ident, Number, Char, String, Punct, End } kind = End;
    std::string text;  // an identifier, a punctuator, a string's or character constant's bytes
    int64_t value = 0;  // a number's, or a character constant's as a big-endian number
    std::string where;
};

// One character of a quote, with Rez's escapes: \\ \" \' and the byte forms
// \0xHH and \$HH.
char quotedChar(const std::string& s, std::size_t& i, const std::string& where) {
    if (s[i] != '\\') return s[i++];
    auto hexByte = [&](std::size_t at) {
        if (at + 1 >= s.size() || digitValue(s[at]) >= 16 || digitValue(s[at + 1]) >= 16)
            fail(where, "a byte escape needs two hexadecimal digits");
        i = at + 2;
        return char(digitValue(s[at]) * 16 + digitValue(s[at + 1]));
    };
    if (s.compare(i, 3, "\\0x") == 0 || s.compare(i, 3, "\\0X") == 0) return hexByte(i + 3);
    if (s.compare(i, 2, "\\$") == 0) return hexByte(i + 2);
    if (i + 1 < s.size() && (s[i + 1] == '\\' || s[i + 1] == '"' || s[i + 1] == '\'')) {
        i += 2;
        return s[i - 1];
    }
    fail(where, "an escape that is not read here: " + s.substr(i, 2));
}

std::vector<Token> tokenize(const srctext::Line& line) {
    const std::string& s = line.text;
    return srctext::tokensOf<Token>(line, [&](std::size_t& i, Token& t) {
        const char c = s[i];
        if (std::isalpha(static_cast<unsigned char>(c)) || c == '_' || s.compare(i, 2, "$$") == 0) {
            const std::size_t start = i;
            i = srctext::identifierEnd(s, i + (c == '$' ? 2 : 1));
            t.kind = Token::Ident;
            t.text = s.substr(start, i - start);
        } else if (std::isdigit(static_cast<unsigned char>(c)) || (c == '$' && i + 1 < s.size() && digitValue(s[i + 1]) < 16)) {
            int base = 10;
            if (c == '$') {
                base = 16;
                ++i;
            } else if (c == '0' && i + 1 < s.size() && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
                base = 16;
                i += 2;
            } else if (c == '0') {
                base = 8;
            }
            const std::size_t start = i;
            for (const std::size_t end = srctext::identifierEnd(s, i); i < end; ++i) {
                const int d = digitValue(s[i]);
                if (d >= base) fail(line.where, "not a number: " + s.substr(start, i - start + 1));
                t.value = t.value * base + d;
                if (t.value > 0xFFFFFFFFLL) fail(line.where, "a number beyond 32 bits");
            }
            if (i == start && base != 8) fail(line.where, "a number without digits");
            t.kind = Token::Number;
        } else if (c == '"' || s.compare(i, 2, "$\"") == 0) {
            const bool hex = c == '$';
            i += hex ? 2 : 1;
            t.kind = Token::String;
            std::string digits;
            while (i < s.size() && s[i] != '"') {
                if (hex) {
                    if (!std::isspace(static_cast<unsigned char>(s[i]))) digits += s[i];
                    ++i;
                } else {
                    t.text += quotedChar(s, i, line.where);
                }
            }
            if (i >= s.size()) fail(line.where, "a string that the line does not close");
            ++i;
            if (hex) {
                if (digits.size() % 2) fail(line.where, "a hexadecimal string of an odd number of digits");
                for (std::size_t k = 0; k < digits.size(); k += 2) {
                    if (digitValue(digits[k]) >= 16 || digitValue(digits[k + 1]) >= 16)
                        fail(line.where, "not a hexadecimal string");
                    t.text += char(digitValue(digits[k]) * 16 + digitValue(digits[k + 1]));
                }
            }
        } else if (c == '\'') {
            ++i;
            t.kind = Token::Char;
            while (i < s.size() && s[i] != '\'') t.text += quotedChar(s, i, line.where);
            if (i >= s.size()) fail(line.where, "a character constant that the line does not close");
            ++i;
            if (t.text.empty() || t.text.size() > 4) fail(line.where, "a character constant of 1 to 4 characters");
            for (char b : t.text) t.value = (t.value << 8) | uint8_t(b);
        } else {
            t.kind = Token::Punct;
            t.text = srctext::punctuatorAt(s, i, "{}()[];,:=+-*/%|&^~!<>", line.where);
            i += t.text.size();
        }
    });
}

// --- The preprocessor --------------------------------------------------------

class Preprocessor {
public:
    std::vector<Token> run(const std::string& text, const std::string& file, const std::string& folder) {
        source(text, file, folder, 0);
        Token end;
        end.where = file + ": end";
        out_.push_back(end);
        return std::move(out_);
    }

private:
    void source(const std::string& text, const std::string& file, const std::string& folder, int depth) {
        if (depth > 8) fail(file, "includes nested too deeply");
        std::vector<std::pair<bool, bool>> conditions;  // (active, an #else seen)
        auto active = [&] {
            for (const auto& c : conditions)
                if (!c.first) return false;
            return true;
        };
        for (const srctext::Line& line : srctext::logicalLines(text, file, "\"'")) {
            std::size_t at = line.text.find_first_not_of(" \t\r");
            if (at == std::string::npos) continue;
            if (line.text[at] != '#') {
                if (active()) expand(tokenize(line), {});
                continue;
            }
            const srctext::Line rest{line.text.substr(at + 1), line.where};
            const std::size_t nameAt = rest.text.find_first_not_of(" \t");
            // Checked before the tokens: a <file> name is no Rez token.
            if (rest.text.compare(nameAt, 7, "include") == 0 &&
                rest.text.find_first_not_of(" \t", nameAt + 7) != rest.text.find('"'))
                fail(line.where, "#include takes a quoted file name here: nothing is included from elsewhere");
            const std::vector<Token> words = tokenize(rest);
            if (words.empty() || words[0].kind != Token::Ident) fail(line.where, "a directive without a name");
            const std::string directive = words[0].text;
            if (directive == "ifdef" || directive == "ifndef") {
                if (words.size() != 2 || words[1].kind != Token::Ident) fail(line.where, "#" + directive + " NAME");
                conditions.push_back({macros_.count(words[1].text) == (directive == "ifdef"), false});
            } else if (directive == "else") {
                if (conditions.empty() || conditions.back().second) fail(line.where, "#else without its #if");
                conditions.back() = {!conditions.back().first, true};
            } else if (directive == "endif") {
                if (conditions.empty()) fail(line.where, "#endif without its #if");
                conditions.pop_back();
            } else if (!active()) {
                continue;
            } else if (directive == "include") {
                if (words.size() != 2 || words[1].kind != Token::String)
                    fail(line.where, "#include takes a quoted file name here: nothing is included from elsewhere");
                const std::string path = folder + "/" + words[1].text;
                source(srctext::readFile(path), path, srctext::folderOf(path), depth + 1);
            } else if (directive == "define") {
                if (words.size() < 2 || words[1].kind != Token::Ident) fail(line.where, "#define NAME");
                const std::size_t nameEnd =
                    rest.text.find_first_not_of(" \t", nameAt + 6) + words[1].text.size();
                if (nameEnd < rest.text.size() && rest.text[nameEnd] == '(')
                    fail(line.where, "a macro with parameters is not read here");
                if (macros_.count(words[1].text)) fail(line.where, words[1].text + " is defined already");
                macros_[words[1].text] = std::vector<Token>(words.begin() + 2, words.end());
            } else if (directive == "undef") {
                if (words.size() != 2 || words[1].kind != Token::Ident) fail(line.where, "#undef NAME");
                macros_.erase(words[1].text);
            } else {
                fail(line.where, "#" + directive + " is not read here");
            }
        }
        if (!conditions.empty()) fail(file, "an #if that the file does not close");
    }

    void expand(const std::vector<Token>& tokens, std::set<std::string> disabled) {
        for (const Token& t : tokens) {
            const auto macro = t.kind == Token::Ident ? macros_.find(t.text) : macros_.end();
            if (macro == macros_.end() || disabled.count(t.text)) {
                out_.push_back(t);
                continue;
            }
            std::set<std::string> inner = disabled;
            inner.insert(t.text);
            expand(macro->second, inner);
        }
    }

    std::map<std::string, std::vector<Token>> macros_;
    std::vector<Token> out_;
};

// --- Declarations and data ---------------------------------------------------

struct Expr {
    enum Kind { Number, Name, CountOf, ArrayIndex, Unary, Binary } kind = Number;
    int64_t value = 0;
    std::string name;  // a symbol or label; the array of a $$ function
    std::string op;
    std::vector<Expr> operands;  // a label's subscripts too
    std::string where;
};

struct Field {
    enum Kind { Integer, PString, CString, Align, Fill, Array, Switch, Label } kind = Integer;
    int bits = 0;  // an integer's width; an alignment's or fill's unit
    bool isUnsigned = false;
    std::optional<Expr> constant;
    std::map<std::string, Expr> symbols;
    std::optional<Expr> count;  // of a fill's units, or a fixed array's elements
    std::string name;           // of an array or a label
    std::vector<Field> body;    // of an array
    std::vector<std::pair<std::string, std::vector<Field>>> cases;
    std::string where;
};

struct Datum {
    enum Kind { Value, Text, List, Case } kind = Value;
    Expr expr;
    std::string text;
    std::string name;  // of a case
    std::vector<Datum> items;
    std::string where;
};

// What an expression's names mean where it is evaluated: a field's named
// values where data gives it; labels, array counts and indices in a type's
// constants.  Null: numbers only.
struct Scope {
    const std::map<std::string, Expr>* symbols = nullptr;
    std::function<int64_t(const Expr&)> label, countOf, arrayIndex;
};

int64_t evaluate(const Expr& e, const Scope* scope) {
    auto operand = [&](std::size_t i) { return evaluate(e.operands[i], scope); };
    switch (e.kind) {
    case Expr::Number:
        return e.value;
    case Expr::Name:
        if (scope && scope->symbols && scope->symbols->count(e.name) && e.operands.empty())
            return evaluate(scope->symbols->at(e.name), nullptr);
        if (scope && scope->label) return scope->label(e);
        fail(e.where, "an unknown name: " + e.name);
    case Expr::CountOf:
    case Expr::ArrayIndex:
        if (!scope || !(e.kind == Expr::CountOf ? scope->countOf : scope->arrayIndex))
            fail(e.where, "an array function outside a type's constant");
        return e.kind == Expr::CountOf ? scope->countOf(e) : scope->arrayIndex(e);
    case Expr::Unary:
        return srctext::applyUnary(e.op, operand(0));
    case Expr::Binary:
        return srctext::applyBinary(e.op, operand(0), operand(1), e.where);
    }
    return 0;
}

class Parser {
public:
    explicit Parser(std::vector<Token> tokens) : tokens_(std::move(tokens)) {}

    std::vector<Resource> statements() {
        std::vector<Resource> resources;
        while (peek().kind != Token::End) {
            if (acceptWord("type")) {
                const Token code = typeCode();
                expect("{");
                std::vector<Field> fields = fieldList();
                expect("}");
                expect(";");
                if (!types_.emplace(code.text, std::move(fields)).second)
                    fail(code.where, "type '" + code.text + "' is declared twice");
            } else if (acceptWord("resource")) {
                resources.push_back(resourceStatement());
                for (std::size_t i = 0; i + 1 < resources.size(); ++i)
                    if (resources[i].type == resources.back().type && resources[i].id == resources.back().id)
                        fail(peek().where, "resource '" + resources.back().type + "' " +
                                               std::to_string(resources.back().id) + " is given twice");
            } else {
                fail(peek().where, "a statement that is not read here: " + peek().text);
            }
        }
        return resources;
    }

private:
    Resource resourceStatement();

    const Token& peek(std::size_t ahead = 0) const {
        return tokens_[std::min(pos_ + ahead, tokens_.size() - 1)];
    }
    const Token& next() {
        const Token& t = peek();
        if (t.kind != Token::End) ++pos_;
        return t;
    }
    bool isPunct(const char* p, std::size_t ahead = 0) const {
        return peek(ahead).kind == Token::Punct && peek(ahead).text == p;
    }
    bool isWord(const char* w) const { return peek().kind == Token::Ident && peek().text == w; }
    bool accept(const char* p) {
        if (!isPunct(p)) return false;
        ++pos_;
        return true;
    }
    bool acceptWord(const char* w) {
        if (!isWord(w)) return false;
        ++pos_;
        return true;
    }
    void expect(const char* p) {
        if (!accept(p)) fail(peek().where, std::string("'") + p + "' expected, not '" + peek().text + "'");
    }
    std::string identifier() {
        if (peek().kind != Token::Ident) fail(peek().where, "a name expected, not '" + peek().text + "'");
        return next().text;
    }
    Token typeCode() {
        if (peek().kind != Token::Char || peek().text.size() != 4)
            fail(peek().where, "a resource type of four characters expected");
        return next();
    }

    std::vector<Field> fieldList() {
        std::vector<Field> fields;
        while (!isPunct("}") && !isWord("case")) {
            fields.push_back(field());
            if (fields.back().kind != Field::Label) expect(";");
        }
        return fields;
    }

    Field field() {
        Field f;
        f.where = peek().where;
        if (peek().kind == Token::Ident && isPunct(":", 1)) {
            f.kind = Field::Label;
            f.name = next().text;
            next();
            return f;
        }
        bool key = false;
        static const std::set<std::string> formats = {"literal", "hex", "decimal", "octal", "binary"};
        for (;;) {
            if (acceptWord("key")) key = true;
            else if (acceptWord("unsigned")) f.isUnsigned = true;
            else if (peek().kind == Token::Ident && formats.count(peek().text)) next();
            else break;
        }
        const std::string word = identifier();
        static const std::map<std::string, int> widths = {{"boolean", 1}, {"byte", 8}, {"integer", 16}, {"longint", 32}};
        static const std::map<std::string, int> units = {{"bit", 1}, {"nibble", 4}, {"byte", 8}, {"word", 16}, {"long", 32}};
        if (widths.count(word) || word == "bitstring") {
            f.kind = Field::Integer;
            if (word == "bitstring") {
                expect("[");
                const Expr n = expression();
                expect("]");
                f.bits = int(evaluate(n, nullptr));
                if (f.bits < 1 || f.bits > 32) fail(f.where, "a bit string of 1 to 32 bits is read here");
            } else {
                f.bits = widths.at(word);
            }
            if (accept("=")) {
                f.constant = expression();
            } else if (peek().kind == Token::Ident && isPunct("=", 1)) {
                do {
                    const std::string name = identifier();
                    expect("=");
                    f.symbols[name] = expression();
                } while (accept(","));
            }
        } else if (word == "pstring" || word == "cstring") {
            f.kind = word == "pstring" ? Field::PString : Field::CString;
            if (isPunct("[") || isPunct("=")) fail(f.where, "a string of fixed length or value is not read here");
        } else if (word == "align" || word == "fill") {
            f.kind = word == "align" ? Field::Align : Field::Fill;
            const std::string unit = identifier();
            if (!units.count(unit)) fail(f.where, word + " " + unit + " is not Rez");
            f.bits = units.at(unit);
            if (f.kind == Field::Fill && accept("[")) {
                f.count = expression();
                expect("]");
            }
        } else if (word == "array") {
            f.kind = Field::Array;
            if (accept("[")) {
                f.count = expression();
                expect("]");
            } else if (peek().kind == Token::Ident) {
                f.name = next().text;
            }
            expect("{");
            f.body = fieldList();
            expect("}");
        } else if (word == "switch") {
            f.kind = Field::Switch;
            expect("{");
            while (acceptWord("case")) {
                const std::string name = identifier();
                expect(":");
                f.cases.emplace_back(name, fieldList());
            }
            expect("}");
        } else {
            fail(f.where, "a field type that is not read here: " + word);
        }
        if (key && !f.constant) fail(f.where, "a key field needs its constant");
        return f;
    }

    // Rez's operators are C's.
    Expr expression(int level = 0) {
        const auto& levels = srctext::binaryOperatorLevels();
        if (level == int(levels.size())) return unary();
        Expr left = expression(level + 1);
        while (peek().kind == Token::Punct && levels[level].count(peek().text)) {
            Expr e;
            e.kind = Expr::Binary;
            e.where = peek().where;
            e.op = next().text;
            e.operands = {std::move(left), expression(level + 1)};
            left = std::move(e);
        }
        return left;
    }

    Expr unary() {
        Expr e;
        e.where = peek().where;
        if (isPunct("-") || isPunct("~") || isPunct("!")) {
            e.kind = Expr::Unary;
            e.op = next().text;
            e.operands = {unary()};
        } else if (accept("(")) {
            e = expression();
            expect(")");
        } else if (peek().kind == Token::Number || peek().kind == Token::Char) {
            e.value = next().value;
        } else if (peek().kind == Token::Ident && peek().text.rfind("$$", 0) == 0) {
            const std::string function = next().text;
            if (function == "$$CountOf") e.kind = Expr::CountOf;
            else if (function == "$$ArrayIndex") e.kind = Expr::ArrayIndex;
            else fail(e.where, function + " is not read here");
            expect("(");
            e.name = identifier();
            expect(")");
        } else {
            e.kind = Expr::Name;
            e.name = identifier();
            if (accept("[")) {
                do e.operands.push_back(expression());
                while (accept(","));
                expect("]");
            }
        }
        return e;
    }

    std::vector<Datum> dataList() {
        std::vector<Datum> items;
        if (accept("}")) return items;
        for (;;) {
            items.push_back(datum());
            if (accept("}")) return items;
            if (!accept(",") && !accept(";"))
                fail(peek().where, "',', ';' or '}' expected, not '" + peek().text + "'");
            if (isPunct("}")) fail(peek().where, "a separator before '}'");
        }
    }

    Datum datum() {
        Datum d;
        d.where = peek().where;
        if (accept("{")) {
            d.kind = Datum::List;
            d.items = dataList();
        } else if (peek().kind == Token::String) {
            d.kind = Datum::Text;
            while (peek().kind == Token::String) d.text += next().text;
        } else if (peek().kind == Token::Ident && isPunct("{", 1)) {
            d.kind = Datum::Case;
            d.name = next().text;
            next();
            d.items = dataList();
        } else {
            d.expr = expression();
        }
        return d;
    }

    std::vector<Token> tokens_;
    std::size_t pos_ = 0;
    std::map<std::string, std::vector<Field>> types_;
};

// Lays one resource out against its type.
class Builder {
public:
    std::vector<uint8_t> build(const std::vector<Field>& type, const std::vector<Datum>& data, const std::string& where) {
        std::size_t next = 0;
        bind(type, data, next);
        if (next != data.size()) fail(data[next].where, "more values than the type has fields");
        for (const Deferred& d : deferred_) {
            context_ = d.context;
            const Scope scope = constantScope();
            put(d.bit, evaluate(*d.field->constant, &scope), *d.field);
        }
        if (bit_ % 8) fail(where, "the resource ends inside a byte");
        return bytes_;
    }

private:
    using Context = std::vector<std::pair<std::string, int>>;  // the enclosing arrays' names and 1-based indices
    struct Deferred {
        std::size_t bit;
        const Field* field;
        Context context;
    };

    std::vector<int> indices() const {
        std::vector<int> v;
        for (const auto& a : context_) v.push_back(a.second);
        return v;
    }
    static std::string key(const std::string& name, const std::vector<int>& at) {
        std::string k = name + "[";
        for (int i : at) k += std::to_string(i) + ",";
        return k + "]";
    }
    // Where a type's constants are evaluated, in the context they were laid
    // out in.
    Scope constantScope() {
        Scope scope;
        scope.label = [this](const Expr& e) {
            std::vector<int> at;
            const Scope inner = constantScope();
            for (const Expr& subscript : e.operands) at.push_back(int(evaluate(subscript, &inner)));
            const auto l = labels_.find(key(e.name, at));
            if (l == labels_.end()) fail(e.where, "no label " + key(e.name, at) + " in this resource");
            return l->second;
        };
        scope.countOf = [this](const Expr& e) {
            const auto c = counts_.find(key(e.name, indices()));
            if (c == counts_.end()) fail(e.where, "no array " + e.name + " here");
            return c->second;
        };
        scope.arrayIndex = [this](const Expr& e) {
            for (auto a = context_.rbegin(); a != context_.rend(); ++a)
                if (a->first == e.name) return int64_t(a->second);
            fail(e.where, "not inside an array " + e.name);
        };
        return scope;
    }

    void bits(uint64_t value, int count) {
        for (int i = count - 1; i >= 0; --i) {
            if (bit_ % 8 == 0) bytes_.push_back(0);
            if ((value >> i) & 1) bytes_[bit_ / 8] |= uint8_t(0x80 >> (bit_ % 8));
            ++bit_;
        }
    }
    // A value into a field laid out at `at`, refused where it does not fit.
    void put(std::size_t at, int64_t value, const Field& f) {
        const int64_t lowest = f.isUnsigned || f.bits == 1 ? 0 : -(int64_t(1) << (f.bits - 1));
        const int64_t highest = f.isUnsigned || f.bits == 1 ? (int64_t(1) << f.bits) - 1 : (int64_t(1) << (f.bits - 1)) - 1;
        if (value < lowest || value > highest)
            fail(f.where, std::to_string(value) + " does not fit a field of " + std::to_string(f.bits) + " bits" +
                              (f.isUnsigned ? " without sign" : " with sign"));
        for (int i = 0; i < f.bits; ++i) {
            const std::size_t bit = at + i;
            const uint8_t mask = uint8_t(0x80 >> (bit % 8));
            if ((uint64_t(value) >> (f.bits - 1 - i)) & 1) bytes_[bit / 8] |= mask;
            else bytes_[bit / 8] &= uint8_t(~mask);
        }
    }

    void bind(const std::vector<Field>& fields, const std::vector<Datum>& items, std::size_t& next) {
        auto take = [&](const Field& f, Datum::Kind kind, const char* what) -> const Datum& {
            if (next >= items.size()) fail(f.where, std::string("no value given for this field (") + what + ")");
            const Datum& d = items[next++];
            if (d.kind != kind) fail(d.where, std::string(what) + " expected");
            return d;
        };
        for (const Field& f : fields) {
            switch (f.kind) {
            case Field::Label:
                if (!labels_.emplace(key(f.name, indices()), int64_t(bit_)).second)
                    fail(f.where, "label " + f.name + " set twice");
                break;
            case Field::Integer: {
                const std::size_t at = bit_;
                bits(0, f.bits);
                if (f.constant) {
                    deferred_.push_back({at, &f, context_});
                } else {
                    const Datum& d = take(f, Datum::Value, "a number");
                    Scope scope;
                    scope.symbols = &f.symbols;
                    put(at, evaluate(d.expr, &scope), f);
                }
                break;
            }
            case Field::PString:
            case Field::CString: {
                const Datum& d = take(f, Datum::Text, "a string");
                if (bit_ % 8) fail(f.where, "a string that starts inside a byte");
                if (f.kind == Field::PString) {
                    if (d.text.size() > 255) fail(d.where, "a string of more than 255 bytes for a pstring");
                    bits(d.text.size(), 8);
                }
                for (char c : d.text) bits(uint8_t(c), 8);
                if (f.kind == Field::CString) bits(0, 8);
                break;
            }
            case Field::Align:
                while (bit_ % f.bits) bits(0, 1);
                break;
            case Field::Fill:
                for (int64_t n = f.count ? evaluate(*f.count, nullptr) : 1; n > 0; --n) bits(0, f.bits);
                break;
            case Field::Array: {
                const Datum& d = take(f, Datum::List, "a list in braces");
                const int64_t fixed = f.count ? evaluate(*f.count, nullptr) : -1;
                std::size_t inner = 0;
                int count = 0;
                const std::vector<int> outer = indices();
                while (fixed >= 0 ? count < fixed : inner < d.items.size()) {
                    context_.emplace_back(f.name, ++count);
                    const std::size_t before = inner;
                    bind(f.body, d.items, inner);
                    context_.pop_back();
                    if (inner == before && fixed < 0) fail(f.where, "an array whose elements take no values");
                }
                if (inner != d.items.size()) fail(d.items[inner].where, "more values than the array's elements take");
                if (!f.name.empty()) counts_[key(f.name, outer)] = count;
                break;
            }
            case Field::Switch: {
                const Datum& d = take(f, Datum::Case, "a case with its values in braces");
                const auto c = std::find_if(f.cases.begin(), f.cases.end(), [&](const auto& c) { return c.first == d.name; });
                if (c == f.cases.end()) fail(d.where, "no case " + d.name + " in this switch");
                std::size_t inner = 0;
                bind(c->second, d.items, inner);
                if (inner != d.items.size()) fail(d.items[inner].where, "more values than case " + d.name + " takes");
                break;
            }
            }
        }
    }

    std::vector<uint8_t> bytes_;
    std::size_t bit_ = 0;
    Context context_;
    std::map<std::string, int64_t> labels_, counts_;
    std::vector<Deferred> deferred_;
};

Resource Parser::resourceStatement() {
    Resource r;
    const Token code = typeCode();
    r.type = code.text;
    expect("(");
    const int64_t id = evaluate(expression(), nullptr);
    if (id < -32768 || id > 32767) fail(code.where, "a resource id beyond 16 bits");
    r.id = int32_t(id);
    while (accept(",")) {
        if (peek().kind == Token::String) r.name = next().text;
        else identifier();  // an attribute such as purgeable: no part of the data
    }
    expect(")");
    expect("{");
    const std::vector<Datum> data = dataList();
    expect(";");
    const auto type = types_.find(r.type);
    if (type == types_.end()) fail(code.where, "no type '" + r.type + "' is declared");
    r.data = Builder().build(type->second, data, code.where);
    return r;
}

}  // namespace

std::vector<Resource> readText(const std::string& text, const std::string& file, const std::string& folder) {
    return Parser(Preprocessor().run(text, file, folder)).statements();
}

std::vector<Resource> readFile(const std::string& path) {
    return readText(srctext::readFile(path), path, srctext::folderOf(path));
}

}  // namespace rez
