// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <stdexcept>

// The one error type of the game: a failing control operation, an overflow, a type mismatch
// or a cancelled dialog. It ends the handler that raised it; what was done stays done.
class RuntimeError : public std::runtime_error
{
public:
    explicit RuntimeError(const QString &what)
        : std::runtime_error(what.toStdString())
    { }
};

// Runs one event handler. A handler that fails ends there, and the program goes on.
template<typename Handler> void guarded(Handler &&handler) noexcept
{
    try {
        handler();
    } catch (const std::exception &) {
        // Nothing to show: the handler ends, keeping what it did.
    }
}
