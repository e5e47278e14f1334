#pragma once
// The few POSIX calls the test helpers use, for the Windows build of the
// tests (included into every test source there by the build).
#if defined(_WIN32)
#include <direct.h>
#include <process.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <random>

// Not defined outside _POSIX: the tests only pass it to their own helpers,
// which end the process with exit code 128 + 9 as a shell reports it.
#ifndef SIGKILL
#define SIGKILL 9
#endif

inline int setenv(const char* name, const char* value, int overwrite) {
    if (!overwrite && std::getenv(name) != nullptr) {
        return 0;
    }
    return _putenv_s(name, value) == 0 ? 0 : -1;
}

// An empty value removes the variable on Windows.
inline int unsetenv(const char* name) {
    return _putenv_s(name, "") == 0 ? 0 : -1;
}

// Replaces the trailing "XXXXXX" with random letters until a new directory
// could be made.
inline char* mkdtemp(char* pattern) {
    const std::size_t n = std::strlen(pattern);
    if (n < 6 || std::strcmp(pattern + n - 6, "XXXXXX") != 0) {
        errno = EINVAL;
        return nullptr;
    }
    static const char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device seed;
    std::mt19937 gen(seed() ^ static_cast<unsigned>(_getpid()));
    for (int attempt = 0; attempt < 100; ++attempt) {
        for (std::size_t i = n - 6; i < n; ++i) {
            pattern[i] = kChars[gen() % (sizeof kChars - 1)];
        }
        if (_mkdir(pattern) == 0) {
            return pattern;
        }
        if (errno != EEXIST) {
            return nullptr;
        }
    }
    return nullptr;
}

// Every test program reports a crash on its standard error and keeps its
// output line-buffered (tests/support/CrashReport.cpp): named here, in every
// test source, so the report is linked into every program.
int InstallTestCrashReport();
inline const int kTestCrashReport = InstallTestCrashReport();
#endif
