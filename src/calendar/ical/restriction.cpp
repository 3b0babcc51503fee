#include "calendar/ical/restriction.h"

#include "calendar/calendar_service.h"

#include <QDate>
#include <QRegularExpression>
#include <algorithm>
#include <vector>

namespace rv {

namespace {

enum class Field { Start, End, Subject, Location, Sensitivity };
enum class Op { Eq, Ne, Lt, Le, Gt, Ge };

enum class TokenKind { Field, Op, Text, Number, And, Or, Not, Open, Close, End };

struct Token {
    TokenKind kind = TokenKind::End;
    QString text;
    int position = 0;
};

[[noreturn]] void badFilter(const QString& why, int position) {
    throw CalendarError(calendar_error::BadFilter,
                        QStringLiteral("The filter cannot be read at character %1: %2.")
                            .arg(position + 1)
                            .arg(why));
}

// Splits a filter into tokens; each kind of token is read by a method of its own, which leaves
// the position after it.
class Tokenizer {
public:
    explicit Tokenizer(const QString& text) : text_(text), n_(int(text.size())) {}

    std::vector<Token> tokens() {
        std::vector<Token> tokens;
        while (i_ < n_) {
            const QChar c = text_[i_];
            if (c.isSpace()) {
                ++i_;
                continue;
            }
            Token token;
            token.position = i_;
            if (c == QLatin1Char('['))
                fieldName(token);
            else if (c == QLatin1Char('\'') || c == QLatin1Char('"'))
                quotedValue(token, c);
            else if (c == QLatin1Char('(') || c == QLatin1Char(')'))
                parenthesis(token, c);
            else if (c == QLatin1Char('=') || c == QLatin1Char('<') || c == QLatin1Char('>') ||
                     c == QLatin1Char('!'))
                comparison(token, c);
            else if (c.isDigit() || c == QLatin1Char('-'))
                number(token);
            else if (c.isLetter())
                keyword(token);
            else
                badFilter(QStringLiteral("unexpected \"%1\"").arg(c), i_);
            tokens.push_back(token);
        }
        Token end;
        end.position = n_;
        tokens.push_back(end);
        return tokens;
    }

private:
    void fieldName(Token& token) {
        const int close = int(text_.indexOf(QLatin1Char(']'), i_ + 1));
        if (close < 0)
            badFilter(QStringLiteral("a field name is not closed with ]"), i_);
        token.kind = TokenKind::Field;
        token.text = text_.mid(i_ + 1, close - i_ - 1).trimmed();
        i_ = close + 1;
    }

    // A quote inside a value is written twice.
    void quotedValue(Token& token, QChar quote) {
        QString value;
        int j = i_ + 1;
        bool closed = false;
        while (j < n_) {
            if (text_[j] == quote) {
                if (j + 1 < n_ && text_[j + 1] == quote) {
                    value += quote;
                    j += 2;
                    continue;
                }
                closed = true;
                break;
            }
            value += text_[j++];
        }
        if (!closed)
            badFilter(QStringLiteral("a value is not closed with its quote"), i_);
        token.kind = TokenKind::Text;
        token.text = value;
        i_ = j + 1;
    }

    void parenthesis(Token& token, QChar c) {
        token.kind = c == QLatin1Char('(') ? TokenKind::Open : TokenKind::Close;
        ++i_;
    }

    void comparison(Token& token, QChar c) {
        int j = i_ + 1;
        if (j < n_ && (text_[j] == QLatin1Char('=') ||
                       (c == QLatin1Char('<') && text_[j] == QLatin1Char('>'))))
            ++j;
        token.kind = TokenKind::Op;
        token.text = text_.mid(i_, j - i_);
        if (token.text == QLatin1String("!"))
            badFilter(QStringLiteral("\"!\" is not an operator"), i_);
        i_ = j;
    }

    void number(Token& token) {
        int j = i_ + 1;
        while (j < n_ && text_[j].isDigit())
            ++j;
        token.kind = TokenKind::Number;
        token.text = text_.mid(i_, j - i_);
        i_ = j;
    }

    void keyword(Token& token) {
        int j = i_;
        while (j < n_ && (text_[j].isLetterOrNumber() || text_[j] == QLatin1Char('_')))
            ++j;
        const QString word = text_.mid(i_, j - i_).toLower();
        if (word == QLatin1String("and"))
            token.kind = TokenKind::And;
        else if (word == QLatin1String("or"))
            token.kind = TokenKind::Or;
        else if (word == QLatin1String("not"))
            token.kind = TokenKind::Not;
        else
            badFilter(QStringLiteral("\"%1\" is not a keyword").arg(text_.mid(i_, j - i_)), i_);
        i_ = j;
    }

    const QString& text_;
    const int n_;
    int i_ = 0;
};

std::optional<Field> fieldNamed(const QString& name) {
    static const struct {
        const char* name;
        Field field;
    } fields[] = {{"start", Field::Start},
                  {"end", Field::End},
                  {"subject", Field::Subject},
                  {"location", Field::Location},
                  {"sensitivity", Field::Sensitivity}};
    for (const auto& f : fields)
        if (name.compare(QLatin1String(f.name), Qt::CaseInsensitive) == 0)
            return f.field;
    return std::nullopt;
}

std::optional<Op> opNamed(const QString& text) {
    if (text == QLatin1String("="))
        return Op::Eq;
    if (text == QLatin1String("<>") || text == QLatin1String("!="))
        return Op::Ne;
    if (text == QLatin1String("<"))
        return Op::Lt;
    if (text == QLatin1String("<="))
        return Op::Le;
    if (text == QLatin1String(">"))
        return Op::Gt;
    if (text == QLatin1String(">="))
        return Op::Ge;
    return std::nullopt;
}

template <typename T> bool compare(const T& left, Op op, const T& right) {
    switch (op) {
    case Op::Eq:
        return left == right;
    case Op::Ne:
        return left != right;
    case Op::Lt:
        return left < right;
    case Op::Le:
        return left <= right;
    case Op::Gt:
        return left > right;
    case Op::Ge:
        return left >= right;
    }
    return false;
}

struct Bounds {
    std::optional<qint64> from;
    std::optional<qint64> to;
};

} // namespace

struct Restriction::Node {
    enum class Kind { And, Or, Not, Compare } kind = Kind::Compare;
    std::shared_ptr<const Node> left;
    std::shared_ptr<const Node> right;
    Field field = Field::Start;
    Op op = Op::Eq;
    qint64 number = 0; // a wall minute for Start and End, the value for Sensitivity
    QString text;

    bool matches(const Occurrence& item) const {
        switch (kind) {
        case Kind::And:
            return left->matches(item) && right->matches(item);
        case Kind::Or:
            return left->matches(item) || right->matches(item);
        case Kind::Not:
            return !left->matches(item);
        case Kind::Compare:
            break;
        }
        switch (field) {
        case Field::Start:
            return compare(item.startMinute, op, number);
        case Field::End:
            return compare(item.endMinute, op, number);
        case Field::Sensitivity:
            return compare(qint64(item.sensitivity), op, number);
        case Field::Subject:
            return compare(item.subject.compare(text, Qt::CaseInsensitive), op, 0);
        case Field::Location:
            return compare(item.location.compare(text, Qt::CaseInsensitive), op, 0);
        }
        return false;
    }

    // An item's earlier time is at or before `to`, its later one at or after `from`.
    Bounds bounds() const {
        switch (kind) {
        case Kind::And: {
            const Bounds a = left->bounds();
            const Bounds b = right->bounds();
            Bounds r;
            r.from = a.from && b.from ? std::max(*a.from, *b.from) : (a.from ? a.from : b.from);
            r.to = a.to && b.to ? std::min(*a.to, *b.to) : (a.to ? a.to : b.to);
            return r;
        }
        case Kind::Or: {
            const Bounds a = left->bounds();
            const Bounds b = right->bounds();
            Bounds r;
            if (a.from && b.from)
                r.from = std::min(*a.from, *b.from);
            if (a.to && b.to)
                r.to = std::max(*a.to, *b.to);
            return r;
        }
        case Kind::Not:
            return {};
        case Kind::Compare:
            break;
        }
        if (field != Field::Start && field != Field::End)
            return {};
        Bounds r;
        switch (op) {
        case Op::Eq:
            r.from = number;
            r.to = number;
            break;
        case Op::Ne:
            break;
        case Op::Lt:
            r.to = number - 1;
            break;
        case Op::Le:
            r.to = number;
            break;
        case Op::Gt:
            r.from = number + 1;
            break;
        case Op::Ge:
            r.from = number;
            break;
        }
        return r;
    }
};

namespace {

class Parser {
public:
    explicit Parser(std::vector<Token> tokens) : tokens_(std::move(tokens)) {}

    std::shared_ptr<const Restriction::Node> parseAll() {
        auto node = parseOr();
        if (peek().kind != TokenKind::End)
            badFilter(QStringLiteral("unexpected text after the end of the condition"),
                      peek().position);
        return node;
    }

private:
    using NodePtr = std::shared_ptr<const Restriction::Node>;
    using Kind = Restriction::Node::Kind;

    const Token& peek() const { return tokens_[index_]; }
    const Token& take() { return tokens_[index_ < tokens_.size() - 1 ? index_++ : index_]; }

    NodePtr combine(Kind kind, NodePtr left, NodePtr right) {
        auto node = std::make_shared<Restriction::Node>();
        node->kind = kind;
        node->left = std::move(left);
        node->right = std::move(right);
        return node;
    }

    NodePtr parseOr() {
        NodePtr node = parseAnd();
        while (peek().kind == TokenKind::Or) {
            take();
            node = combine(Kind::Or, node, parseAnd());
        }
        return node;
    }

    NodePtr parseAnd() {
        NodePtr node = parseNot();
        while (peek().kind == TokenKind::And) {
            take();
            node = combine(Kind::And, node, parseNot());
        }
        return node;
    }

    NodePtr parseNot() {
        if (peek().kind == TokenKind::Not) {
            if (++depth_ > kMaxDepth)
                badFilter(QStringLiteral("the condition is nested too deeply"), peek().position);
            take();
            NodePtr inner = parseNot();
            --depth_;
            return combine(Kind::Not, inner, nullptr);
        }
        return parsePrimary();
    }

    NodePtr parsePrimary() {
        if (++depth_ > kMaxDepth)
            badFilter(QStringLiteral("the condition is nested too deeply"), peek().position);
        NodePtr node;
        if (peek().kind == TokenKind::Open) {
            take();
            node = parseOr();
            if (peek().kind != TokenKind::Close)
                badFilter(QStringLiteral("a parenthesis is not closed"), peek().position);
            take();
        } else {
            node = parseComparison();
        }
        --depth_;
        return node;
    }

    NodePtr parseComparison() {
        const Token& fieldToken = take();
        if (fieldToken.kind != TokenKind::Field)
            badFilter(QStringLiteral("a [field] was expected"), fieldToken.position);
        const std::optional<Field> field = fieldNamed(fieldToken.text);
        if (!field)
            badFilter(QStringLiteral("there is no field [%1]").arg(fieldToken.text),
                      fieldToken.position);
        const Token& opToken = take();
        const std::optional<Op> op =
            opToken.kind == TokenKind::Op ? opNamed(opToken.text) : std::nullopt;
        if (!op)
            badFilter(QStringLiteral("a comparison operator was expected"), opToken.position);
        const Token& value = take();
        if (value.kind != TokenKind::Text && value.kind != TokenKind::Number)
            badFilter(QStringLiteral("a value was expected"), value.position);

        auto node = std::make_shared<Restriction::Node>();
        node->field = *field;
        node->op = *op;
        switch (*field) {
        case Field::Start:
        case Field::End: {
            const std::optional<qint64> minute = parseRestrictionDateTime(value.text);
            if (!minute || value.kind != TokenKind::Text)
                badFilter(QStringLiteral("\"%1\" is not a date and time (dd/mm/yyyy hh:mm AM)")
                              .arg(value.text),
                          value.position);
            node->number = *minute;
            break;
        }
        case Field::Sensitivity: {
            bool ok = false;
            node->number = value.text.trimmed().toLongLong(&ok);
            if (!ok)
                badFilter(QStringLiteral("\"%1\" is not a number").arg(value.text), value.position);
            break;
        }
        case Field::Subject:
        case Field::Location:
            node->text = value.text;
            break;
        }
        return node;
    }

    static constexpr int kMaxDepth = 200;
    std::vector<Token> tokens_;
    size_t index_ = 0;
    int depth_ = 0;
};

} // namespace

std::optional<qint64> parseRestrictionDateTime(const QString& text) {
    static const QRegularExpression pattern(
        QStringLiteral("^\\s*(\\d{1,2})/(\\d{1,2})/(\\d{4})"
                       "(?:\\s+(\\d{1,2}):(\\d{2})(?::(\\d{2}))?\\s*([AaPp][Mm])?)?\\s*$"));
    const QRegularExpressionMatch m = pattern.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    const QDate date(m.captured(3).toInt(), m.captured(2).toInt(), m.captured(1).toInt());
    if (!date.isValid())
        return std::nullopt;
    int hour = 0;
    int minute = 0;
    if (m.hasCaptured(4)) {
        hour = m.captured(4).toInt();
        minute = m.captured(5).toInt();
        if (minute > 59 || (m.hasCaptured(6) && m.captured(6).toInt() > 59))
            return std::nullopt;
        if (m.hasCaptured(7)) {
            if (hour < 1 || hour > 12)
                return std::nullopt;
            const bool pm = m.captured(7).toUpper() == QLatin1String("PM");
            hour = hour % 12 + (pm ? 12 : 0);
        } else if (hour > 23) {
            return std::nullopt;
        }
    }
    return QDate(1970, 1, 1).daysTo(date) * 1440 + hour * 60 + minute;
}

Restriction Restriction::parse(const QString& text) {
    Parser parser(Tokenizer(text).tokens());
    return Restriction(parser.parseAll());
}

bool Restriction::matches(const Occurrence& item) const {
    return root_->matches(item);
}

std::optional<TimeWindow> Restriction::window() const {
    const Bounds b = root_->bounds();
    if (!b.from || !b.to)
        return std::nullopt;
    return TimeWindow{*b.from, *b.to};
}

} // namespace rv
