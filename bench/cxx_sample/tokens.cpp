#include <cctype>
#include <string>
#include <vector>

enum class TokenKind { Number, Word, Symbol, End };

struct Token {
    TokenKind kind;
    std::string text;
    int line;
};

class Lexer {
public:
    explicit Lexer(std::string source) : src_(std::move(source)) {}
    Token next();
    std::vector<Token> all();
    int line() const { return line_; }

private:
    char peek() const { return pos_ < src_.size() ? src_[pos_] : '\0'; }
    std::string src_;
    std::size_t pos_ = 0;
    int line_ = 1;
};

Token Lexer::next()
{
    while (pos_ < src_.size() && std::isspace(static_cast<unsigned char>(peek()))) {
        if (peek() == '\n')
            ++line_;
        ++pos_;
    }
    if (pos_ >= src_.size())
        return {TokenKind::End, "", line_};
    std::size_t start = pos_;
    TokenKind kind = TokenKind::Symbol;
    if (std::isdigit(static_cast<unsigned char>(peek()))) {
        kind = TokenKind::Number;
        while (std::isdigit(static_cast<unsigned char>(peek()))) ++pos_;
    } else if (std::isalpha(static_cast<unsigned char>(peek()))) {
        kind = TokenKind::Word;
        while (std::isalnum(static_cast<unsigned char>(peek()))) ++pos_;
    } else
        ++pos_;
    return {kind, src_.substr(start, pos_ - start), line_};
}

std::vector<Token> Lexer::all()
{
    std::vector<Token> out;
    for (Token t = next(); t.kind != TokenKind::End; t = next())
        out.push_back(t);
    return out;
}

int count_words(const std::string &text)
{
    Lexer lx(text);
    int n = 0;
    for (const Token &t : lx.all())
        n += t.kind == TokenKind::Word;
    return n;
}
