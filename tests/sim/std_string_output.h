#ifndef SIM_TEST_STD_STRING_OUTPUT_H
#define SIM_TEST_STD_STRING_OUTPUT_H

// Lets QCOMPARE show the bytes of std::string values that differ, with
// control characters escaped.

#include <QtTest>

#include <string>

namespace QTest {
template <> inline char* toString(const std::string& text)
{
    return toPrettyCString(text.data(), int(text.size()));
}
} // namespace QTest

#endif // SIM_TEST_STD_STRING_OUTPUT_H
