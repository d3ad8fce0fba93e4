#pragma once

#include <memory>

namespace tinko {

// A C library's handle that is released with the library's own function,
// for example Owned<xkb_keymap, xkb_keymap_unref>.
template <typename T, auto release>
struct ReleaseWith {
    void operator()(T* handle) const { release(handle); }
};
template <typename T, auto release>
using Owned = std::unique_ptr<T, ReleaseWith<T, release>>;

}  // namespace tinko
