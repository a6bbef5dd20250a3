#pragma once

#include "math/Vector3.h"

#include <cstdint>
#include <vector>

namespace spheres {

/// Many spheres gathered into one vertex array and one index array, so that a window draws them
/// all with a single call instead of one or more calls per sphere, each call being costly with a
/// software renderer. Every sphere is a copy of one unit sphere, moved and scaled.
class SphereBatch {
public:
    /// Filled triangles with unit normals, or the lines of meridians and parallels.
    enum class Shape { Solid, Wire };

    /// A unit sphere of slices around the axis and stacks from pole to pole (each at least 3 and
    /// 2), shaped like GLUT's spheres of the same counts.
    SphereBatch(Shape shape, int slices, int stacks);

    /// Forgets every sphere added.
    void clear();
    /// Adds the sphere (center, radius) in an RGBA colour.
    void add(const Vector3& center, float radius, const std::uint8_t colour[4]);
    /// Adds the outline that the sphere (center, radius) shows to an eye outside it: a circle of
    /// as many segments as the unit sphere has slices. Only for a wire batch.
    void addOutline(const Vector3& center, float radius, const Vector3& eye,
                    const std::uint8_t colour[4]);
    bool empty() const { return indexArray.empty(); }

    Shape shape() const { return kind; }
    /// x, y, z per vertex.
    const std::vector<float>& positions() const { return positionArray; }
    /// The unit normal per vertex (of a solid batch).
    const std::vector<float>& normals() const { return normalArray; }
    /// R, G, B, A per vertex.
    const std::vector<std::uint8_t>& colours() const { return colourArray; }
    /// Triangles (solid) or line segments (wire), three or two indices each.
    const std::vector<std::uint32_t>& indices() const { return indexArray; }

private:
    Shape kind;
    std::vector<Vector3> unitVertices;
    std::vector<std::uint32_t> unitIndices;
    int slices;
    std::vector<float> positionArray;
    std::vector<float> normalArray;
    std::vector<std::uint8_t> colourArray;
    std::vector<std::uint32_t> indexArray;
};

} // namespace spheres
