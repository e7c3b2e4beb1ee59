#ifndef QUILLON_REQUEST_TEXT_H
#define QUILLON_REQUEST_TEXT_H

// Internal: the shared start of every request body, "<keyword> <code>".

#include <cstring>

namespace Quillon {
namespace detail {

// Writes keyword, a space and the three-character code; returns the bytes written.
inline int write_request_head(char* buf, const char* keyword, const char* code)
{
    const size_t k = std::strlen(keyword);
    std::memcpy(buf, keyword, k);
    buf[k] = ' ';
    std::memcpy(buf + k + 1, code, 3);
    return int(k) + 4;
}

} // namespace detail
} // namespace Quillon

#endif // QUILLON_REQUEST_TEXT_H
