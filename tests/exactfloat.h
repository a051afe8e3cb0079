#pragma once

#include <QtTest>

#include <cstring>

// QCOMPARE on floating point forgives the last few bits; print places must match to the bit.
inline bool sameBits(float a, float b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

inline bool sameBits(double a, double b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

#define COMPARE_EXACT(actual, expected)                                                            \
    QVERIFY2(sameBits((actual), (expected)), qPrintable(QStringLiteral("%1 is %2, expected %3")    \
                                                            .arg(QStringLiteral(#actual))          \
                                                            .arg(double(actual), 0, 'g', 17)       \
                                                            .arg(double(expected), 0, 'g', 17)))
