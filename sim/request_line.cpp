#include "request_line.h"

namespace Sim {

namespace {

struct Keyword
{
    const char* text;
    Request_Kind kind;
};

const Keyword keywords[] = {
    {"get", Request_Kind::Get},
    {"go", Request_Kind::Go},
    {"set", Request_Kind::Set},
};

bool is_code_char(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

bool is_digit(char c)
{
    return c >= '0' && c <= '9';
}

} // namespace

std::optional<Request> parse_request(const std::string& line)
{
    for (const Keyword& keyword : keywords) {
        const std::string word = keyword.text;
        const std::size_t code_at = word.size() + 1;
        if (line.compare(0, word.size(), word) != 0 || line.size() < code_at + 3 ||
            line[word.size()] != ' ')
            continue;
        const std::string code = line.substr(code_at, 3);
        for (char c : code) {
            if (!is_code_char(c))
                return std::nullopt;
        }
        Request request;
        request.kind = keyword.kind;
        request.code = code;
        const std::size_t rest = line.size() - (code_at + 3);
        if (rest == 0)
            return request;
        // Only Set carries a value: a space and exactly three digits.
        const std::size_t value_at = code_at + 4;
        if (keyword.kind != Request_Kind::Set || rest != 4 || line[code_at + 3] != ' ' ||
            !is_digit(line[value_at]) || !is_digit(line[value_at + 1]) ||
            !is_digit(line[value_at + 2]))
            return std::nullopt;
        request.value = static_cast<unsigned>(std::stoul(line.substr(value_at, 3)));
        return request;
    }
    return std::nullopt;
}

std::string request_key(const Request& request)
{
    for (const Keyword& keyword : keywords) {
        if (keyword.kind == request.kind)
            return std::string(keyword.text) + ' ' + request.code;
    }
    return request.code;
}

} // namespace Sim
