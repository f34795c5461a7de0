// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

// What a process that reads untrusted pictures may still do once it has confined itself: read
// the descriptor it was given, write its answer, think with memory and threads of its own.
// Nothing that opens a file (refused), connects, starts a program or reaches another process;
// any call outside these ends the process at once.
struct Confinement
{
    int input = 0; // read and seek here, a standard descriptor
    int output = 1; // write here, a standard descriptor, and to the standard error
    std::int64_t addressSpace = 0; // bytes the process may map in all; 0 for no limit
};

// Confines the calling process for good: no new privileges, no core dump, the address-space
// limit, and the system-call filter, in that order. The process must hold no descriptor but
// the standard three (its input and output among them). False (and the process as it was,
// but for what was already applied) where that is not so or the kernel refuses any of them.
bool confine(const Confinement &confinement);
