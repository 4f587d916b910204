#pragma once
// The output decoder carries an unfinished line break or UTF-8 sequence
// from one chunk to the next, and is told of the stream's last chunk. The
// targets drive a decoder without that final flag too, so that one that
// takes every chunk on its own still builds, and fails output_split.
#include <atomic>
#include <type_traits>
#include <utility>

#include "process/OutputDecoder.h"

// A decoder with Reset takes the final flag too.
template <class T, class = void>
struct CCarries : std::false_type {};
template <class T>
struct CCarries<T, std::void_t<decltype(std::declval<T&>().Reset())>> : std::true_type {};

// Decode with the end of the stream marked where the decoder knows of it.
template <class T>
bool DecodeChunk(T& decoder, const char* p, DWORD n, bool bUtf8, const std::atomic<bool>& bAbort,
                 IOutputSink& sink, bool bFinal)
{
    if constexpr (CCarries<T>::value)
        return decoder.Decode(p, n, bUtf8, bAbort, sink, bFinal);
    else
        return decoder.Decode(p, n, bUtf8, bAbort, sink);
}
