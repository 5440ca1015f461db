// The x86 vector intrinsics, where the compiler can target them: then
// BRINDLET_X86_VECTORS is 1, and the paths that use them pick the widest
// unit the processor has within VectorLaneCap() at run time; elsewhere 0.
#pragma once

#if (defined(__x86_64__) || defined(__i386__)) && defined(__SSE2__) && (defined(__GNUC__) || defined(__clang__))
// GCC 12 warns inside its own AVX-512 headers (an "undefined" vector it
// starts from on purpose); the warning is about the header, not its users.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#ifndef __clang__
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <immintrin.h>
#pragma GCC diagnostic pop
#define BRINDLET_X86_VECTORS 1
#else
#define BRINDLET_X86_VECTORS 0
#endif
