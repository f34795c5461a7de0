// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "runtimeerror.h"

#include <cstdint>
#include <limits>

// The board's counts and indices are 16-bit; overflow is an error, never a wrap.
using Int16 = std::int16_t;

inline Int16 checkedInt16(long long value)
{
    if (value < std::numeric_limits<Int16>::min() || value > std::numeric_limits<Int16>::max())
        throw RuntimeError(QStringLiteral("Overflow"));
    return static_cast<Int16>(value);
}

inline Int16 mul16(long long a, long long b)
{
    return checkedInt16(a * b);
}
inline Int16 add16(long long a, long long b)
{
    return checkedInt16(a + b);
}
inline Int16 sub16(long long a, long long b)
{
    return checkedInt16(a - b);
}

// Reads a tag as a number, as the board compares tags: text that is no number is a type mismatch.
inline double tagValue(const QString &tag)
{
    bool ok = false;
    const double value = tag.trimmed().toDouble(&ok);
    if (!ok)
        throw RuntimeError(QStringLiteral("Type mismatch"));
    return value;
}
