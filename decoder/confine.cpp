// SPDX-License-Identifier: GPL-3.0-or-later
#include "confine.h"

#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sched.h>
#include <seccomp.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

struct FilterFree
{
    void operator()(void *filter) const { seccomp_release(filter); }
};

// A condition on an argument of the call, built without libseccomp's C99 macros.
scmp_arg_cmp argument(unsigned index, scmp_compare op, scmp_datum_t a, scmp_datum_t b = 0)
{
    scmp_arg_cmp condition {};
    condition.arg = index;
    condition.op = op;
    condition.datum_a = a;
    condition.datum_b = b;
    return condition;
}

scmp_arg_cmp equals(unsigned index, scmp_datum_t value)
{
    return argument(index, SCMP_CMP_EQ, value);
}

// The bits of `mask` in the argument are those of `value`.
scmp_arg_cmp masked(unsigned index, scmp_datum_t mask, scmp_datum_t value)
{
    return argument(index, SCMP_CMP_MASKED_EQ, mask, value);
}

bool allow(scmp_filter_ctx filter, int call)
{
    return seccomp_rule_add(filter, SCMP_ACT_ALLOW, call, 0) == 0;
}

template<typename... Conditions>
bool allowIf(scmp_filter_ctx filter, int call, Conditions... conditions)
{
    const scmp_arg_cmp all[] = {conditions...};
    return seccomp_rule_add_array(filter, SCMP_ACT_ALLOW, call, sizeof...(conditions), all) == 0;
}

bool addRules(scmp_filter_ctx filter, const Confinement &c)
{
    bool ok = true;
    // Memory, threads, time and the process's own signals, as the decoders' libraries and the C
    // library use them; no memory made executable once confined.
    for (const int call : {SCMP_SYS(brk),
                           SCMP_SYS(munmap),
                           SCMP_SYS(mremap),
                           SCMP_SYS(madvise),
                           SCMP_SYS(futex),
                           SCMP_SYS(set_robust_list),
                           SCMP_SYS(rseq),
                           SCMP_SYS(sched_yield),
                           SCMP_SYS(sched_getaffinity),
                           SCMP_SYS(clock_gettime),
                           SCMP_SYS(clock_nanosleep),
                           SCMP_SYS(nanosleep),
                           SCMP_SYS(gettid),
                           SCMP_SYS(getpid),
                           SCMP_SYS(getrandom),
                           SCMP_SYS(rt_sigprocmask),
                           SCMP_SYS(rt_sigaction),
                           SCMP_SYS(rt_sigreturn),
                           SCMP_SYS(exit),
                           SCMP_SYS(exit_group),
                           SCMP_SYS(close),
                           SCMP_SYS(fstat),
                           SCMP_SYS(membarrier)})
        ok = ok && allow(filter, call);
#ifdef PUZZLE_SANITIZE
    // The sanitizers' own stack for their signal handlers.
    ok = ok && allow(filter, SCMP_SYS(sigaltstack));
#endif
    ok = ok && allowIf(filter, SCMP_SYS(mmap), masked(2, PROT_EXEC, 0));
    ok = ok && allowIf(filter, SCMP_SYS(mprotect), masked(2, PROT_EXEC, 0));
    // A thread of this process, never a process of its own: glibc tries clone3 first, whose
    // flags no filter can read, and falls back to clone when told it is missing.
    ok = ok && allowIf(filter, SCMP_SYS(clone), masked(0, CLONE_THREAD, CLONE_THREAD));
    ok = ok && seccomp_rule_add(filter, SCMP_ACT_ERRNO(ENOSYS), SCMP_SYS(clone3), 0) == 0;
    // Opening a file is refused, not fatal: the C library's allocator reads a kernel setting
    // the first time it gives memory back from a thread's arena, at a moment no one chooses,
    // and a load's outcome must not depend on when that is.
    for (const int call : {SCMP_SYS(open), SCMP_SYS(openat), SCMP_SYS(openat2), SCMP_SYS(creat)})
        ok = ok && seccomp_rule_add(filter, SCMP_ACT_ERRNO(EACCES), call, 0) == 0;
    // A thread may name itself.
    ok = ok && allowIf(filter, SCMP_SYS(prctl), equals(0, PR_SET_NAME));
    // Signals to itself only (an abort).
    const auto self = scmp_datum_t(getpid());
    ok = ok && allowIf(filter, SCMP_SYS(tgkill), equals(0, self));
    // Its input, read and sought; its answer and the standard error, written. A thread Qt
    // starts (to scale a picture) makes a descriptor of its own to be woken with: the only kind
    // of descriptor the process can make once confined, none past the first three being open
    // then.
    ok = ok && allow(filter, SCMP_SYS(eventfd2));
    const auto input = scmp_datum_t(c.input);
    const scmp_arg_cmp made = argument(0, SCMP_CMP_GE, 3);
    for (const int call : {SCMP_SYS(read), SCMP_SYS(pread64), SCMP_SYS(lseek)}) {
        ok = ok && allowIf(filter, call, equals(0, input));
        ok = ok && allowIf(filter, call, made);
    }
    for (const int call : {SCMP_SYS(write), SCMP_SYS(writev)}) {
        for (const auto fd : {scmp_datum_t(c.output), scmp_datum_t(STDERR_FILENO)})
            ok = ok && allowIf(filter, call, equals(0, fd));
        ok = ok && allowIf(filter, call, made);
    }
    // A stream's first write asks what the descriptor is, by descriptor alone.
    for (const int call : {SCMP_SYS(newfstatat), SCMP_SYS(statx)})
        for (const auto fd : {input, scmp_datum_t(c.output), scmp_datum_t(STDERR_FILENO)})
            ok = ok
                && allowIf(filter, call, equals(0, fd), masked(2, AT_EMPTY_PATH, AT_EMPTY_PATH));
    return ok;
}

} // namespace

namespace {
// Whether the process holds no descriptor past the standard three.
bool onlyStandardDescriptors()
{
    DIR *listing = opendir("/proc/self/fd");
    if (!listing)
        return false;
    bool only = true;
    while (const dirent *entry = readdir(listing)) {
        const int fd = std::atoi(entry->d_name);
        if (entry->d_name[0] != '.' && fd > STDERR_FILENO && fd != dirfd(listing))
            only = false;
    }
    closedir(listing);
    return only;
}
} // namespace

bool confine(const Confinement &c)
{
    if (!onlyStandardDescriptors() || c.input > STDERR_FILENO || c.output > STDERR_FILENO)
        return false;
    if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 || prctl(PR_SET_DUMPABLE, 0, 0, 0, 0) != 0)
        return false;
    const rlimit noCore {0, 0};
    if (setrlimit(RLIMIT_CORE, &noCore) != 0)
        return false;
    if (c.addressSpace > 0) {
        const rlimit space {rlim_t(c.addressSpace), rlim_t(c.addressSpace)};
        if (setrlimit(RLIMIT_AS, &space) != 0)
            return false;
    }
    std::unique_ptr<void, FilterFree> filter(seccomp_init(SCMP_ACT_KILL_PROCESS));
    return filter && addRules(filter.get(), c) && seccomp_load(filter.get()) == 0;
}
