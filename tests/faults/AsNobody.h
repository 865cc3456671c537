#pragma once

#include <cstdio>
#include <grp.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

// Root may write everywhere, so permission faults are tried as the unprivileged user nobody.
// Run as root, the test program forks at once: the parent waits and returns the child's
// status, the child goes on as nobody. Returns -1 in the process that runs the tests.
inline int continueAsNobody()
{
    if (geteuid() != 0)
        return -1;
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child < 0)
        return 1;
    if (child > 0) {
        int status = 0;
        if (waitpid(child, &status, 0) != child)
            return 1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0)
        _exit(90);
    // A changed user makes the process undumpable, which keeps the leak checker out at exit.
    prctl(PR_SET_DUMPABLE, 1);
    return -1;
}
