// One libFuzzer entry point; the build names the check it runs (TOLVO_FUZZ_CHECK).
#include "FuzzChecks.h"

#include <QCoreApplication>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const QString fault = tolvo::fuzz::TOLVO_FUZZ_CHECK(input);
    if (!fault.isEmpty()) {
        std::fprintf(stderr, "fault: %s\n", qUtf8Printable(fault));
        std::abort();
    }
    return 0;
}
