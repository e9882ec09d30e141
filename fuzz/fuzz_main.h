#pragma once

// The libFuzzer entry point of a target: the input through its check(), abort on a reported
// problem so that libFuzzer keeps the input. The corpus replay test calls the same check().
#include <QByteArray>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#define ZRV_FUZZ_TARGET(name, check)                                                               \
    extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {            \
        const QString problem = check(QByteArray(reinterpret_cast<const char*>(data), int(size))); \
        if (!problem.isEmpty()) {                                                                  \
            std::fprintf(stderr, name ": %s\n", qPrintable(problem));                              \
            std::abort();                                                                          \
        }                                                                                          \
        return 0;                                                                                  \
    }
