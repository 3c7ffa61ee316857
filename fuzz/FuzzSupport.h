#pragma once

// Shared by the fuzz targets: a Qt application object for the code that needs one, and a
// way to stop with a message when a property does not hold, so libFuzzer keeps the input.

#include <QCoreApplication>
#include <QString>

#include <cstdio>
#include <cstdlib>

namespace Fuzz {

inline void ensureApplication()
{
    static int argc = 1;
    static char name[] = "zep-fuzz";
    static char *argv[] = {name, nullptr};
    if (!QCoreApplication::instance())
        new QCoreApplication(argc, argv);
}

[[noreturn]] inline void fail(const char *what, const QString &detail = QString())
{
    std::fprintf(stderr, "property failed: %s\n%s\n", what, qUtf8Printable(detail));
    std::abort();
}

inline void check(bool condition, const char *what, const QString &detail = QString())
{
    if (!condition)
        fail(what, detail);
}

} // namespace Fuzz
