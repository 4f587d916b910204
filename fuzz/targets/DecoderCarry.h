#pragma once
// The output decoder either carries an unfinished line break or UTF-8
// sequence from one chunk to the next (it then has Reset and a final
// chunk), or takes every chunk on its own. The decoder targets check the
// properties of whichever the sources have.
#include <atomic>
#include <type_traits>
#include <utility>

#include "process/OutputDecoder.h"

template <class T, class = void>
struct CCarries : std::false_type {};
template <class T>
struct CCarries<T, std::void_t<decltype(std::declval<T&>().Reset())>> : std::true_type {};

const bool kDecoderCarries = CCarries<COutputDecoder>::value;

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
