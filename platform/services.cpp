// SPDX-License-Identifier: GPL-3.0-or-later
#include "services.h"

#include <QStringList>
#include <chrono>

namespace {
std::uint64_t splitmix64(std::uint64_t x)
{
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}
} // namespace

ClockRandom::ClockRandom(std::uint64_t seed, Clock clock)
    : m_state(splitmix64(seed))
    , m_clock(clock ? std::move(clock) : Clock(&ClockRandom::systemClock))
{ }

std::int64_t ClockRandom::systemClock()
{
    return std::chrono::steady_clock::now().time_since_epoch().count();
}

void ClockRandom::Randomize()
{
    // Mixed in, not restarted: reseeds within one clock tick still give fresh draws.
    m_state = splitmix64(m_state ^ static_cast<std::uint64_t>(m_clock()));
}

float ClockRandom::Rnd()
{
    m_state = splitmix64(m_state);
    return static_cast<float>(m_state >> 40) * (1.0f / 16777216.0f);
}

QList<FilterEntry> parseFilter(const QString &filter)
{
    QList<FilterEntry> entries;
    const QStringList parts = filter.split(QLatin1Char('|'));
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        entries.append({parts[i], parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts)});
    return entries;
}
