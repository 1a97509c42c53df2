#pragma once

// Shared by every libFuzzer target: one quiet Qt application per process and
// the way a target reports a broken assertion (an abort, which libFuzzer
// records as a crash with its input).

#include <QCoreApplication>
#include <QLoggingCategory>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace fuzz {

// Sources are QObjects and some decoders log: both want an application.
// Log output is dropped, it would only slow the fuzzer down.
inline void initialiseApplication()
{
    static int argc = 1;
    static char name[] = "kestrox-fuzz";
    static char *argv[] = {name, nullptr};
    if (!QCoreApplication::instance()) {
        static QCoreApplication *app = new QCoreApplication(argc, argv);
        Q_UNUSED(app)
    }
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    QLoggingCategory::setFilterRules(QStringLiteral("*=false"));
}

[[noreturn]] inline void fail(const char *what, const char *field, double value)
{
    std::fprintf(stderr, "FUZZ ASSERTION: %s: %s = %g\n", what, field, value);
    std::abort();
}

} // namespace fuzz
