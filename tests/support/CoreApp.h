#pragma once

#include <QCoreApplication>

// Event loops, timers and socket notifiers need an application object: one per test program.
inline void EnsureCoreApp()
{
    static int argc = 1;
    static char name[] = "tests";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance())
        new QCoreApplication(argc, argv);
}
