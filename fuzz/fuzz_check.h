/* A fuzz target's own checks: a broken one names itself and stops the run as a crash. */
#pragma once
#include <stdio.h>

#define CHECK(cond)                                                                   \
    do {                                                                              \
        if (!(cond)) {                                                                \
            fprintf(stderr, "%s:%d: %s does not hold\n", __FILE__, __LINE__, #cond); \
            fflush(stderr);                                                           \
            __builtin_trap();                                                         \
        }                                                                             \
    } while (0)
