#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

namespace spheres {

/// values.assign(count, value), with the room grown at least twofold when it must grow. Arrays
/// sized by the tree, which gains a few hundred nodes a frame, would otherwise be allocated again
/// (and the allocator's free lists consolidated) on every frame.
template <class T> void assignGrowing(std::vector<T>& values, std::size_t count, const T& value) {
    if (count > values.capacity()) {
        values.reserve(std::max(count, 2 * values.capacity()));
    }
    values.assign(count, value);
}

} // namespace spheres
