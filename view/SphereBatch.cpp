#include "view/SphereBatch.h"

#include <cmath>

namespace spheres {

SphereBatch::SphereBatch(Shape shape, int slices, int stacks) : kind(shape), slices(slices) {
    // Vertex 0 is the top pole (+z), then stacks - 1 rings of slices vertices from the top down,
    // then the bottom pole.
    const double pi = 3.14159265358979323846;
    unitVertices.push_back(Vector3(0.0f, 0.0f, 1.0f));
    for (int stack = 1; stack < stacks; ++stack) {
        double polar = pi * stack / stacks;
        for (int slice = 0; slice < slices; ++slice) {
            double azimuth = 2.0 * pi * slice / slices;
            unitVertices.push_back(Vector3(static_cast<float>(std::sin(polar) * std::cos(azimuth)),
                                           static_cast<float>(std::sin(polar) * std::sin(azimuth)),
                                           static_cast<float>(std::cos(polar))));
        }
    }
    std::uint32_t bottom = static_cast<std::uint32_t>(unitVertices.size());
    unitVertices.push_back(Vector3(0.0f, 0.0f, -1.0f));

    auto ring = [&](int stack, int slice) {
        // Ring stack (1 .. stacks - 1), slice taken round the circle.
        return static_cast<std::uint32_t>(1 + (stack - 1) * slices + (slice % slices));
    };
    std::vector<std::uint32_t>& out = unitIndices;
    for (int slice = 0; slice < slices; ++slice) {
        if (shape == Shape::Wire) {
            // A meridian from pole to pole, and each parallel's segment from this slice on.
            out.insert(out.end(), {0, ring(1, slice)});
            for (int stack = 1; stack < stacks - 1; ++stack) {
                out.insert(out.end(), {ring(stack, slice), ring(stack + 1, slice)});
            }
            out.insert(out.end(), {ring(stacks - 1, slice), bottom});
            for (int stack = 1; stack < stacks; ++stack) {
                out.insert(out.end(), {ring(stack, slice), ring(stack, slice + 1)});
            }
            continue;
        }
        // Counter-clockwise seen from outside: the caps' fans and two triangles per quad.
        out.insert(out.end(), {0, ring(1, slice), ring(1, slice + 1)});
        for (int stack = 1; stack < stacks - 1; ++stack) {
            std::uint32_t a = ring(stack, slice), b = ring(stack, slice + 1);
            std::uint32_t c = ring(stack + 1, slice), d = ring(stack + 1, slice + 1);
            out.insert(out.end(), {a, c, d, a, d, b});
        }
        out.insert(out.end(), {bottom, ring(stacks - 1, slice + 1), ring(stacks - 1, slice)});
    }
}

void SphereBatch::clear() {
    positionArray.clear();
    normalArray.clear();
    colourArray.clear();
    indexArray.clear();
}

void SphereBatch::add(const Vector3& center, float radius, const std::uint8_t colour[4]) {
    std::uint32_t base = static_cast<std::uint32_t>(positionArray.size() / 3);
    for (const Vector3& unit : unitVertices) {
        Vector3 p = center + unit * radius;
        positionArray.insert(positionArray.end(), {p.x, p.y, p.z});
        if (kind == Shape::Solid) {
            normalArray.insert(normalArray.end(), {unit.x, unit.y, unit.z});
        }
        colourArray.insert(colourArray.end(), colour, colour + 4);
    }
    for (std::uint32_t index : unitIndices) {
        indexArray.push_back(base + index);
    }
}

void SphereBatch::addOutline(const Vector3& center, float radius, const Vector3& eye,
                             const std::uint8_t colour[4]) {
    Vector3 axis = center - eye;
    float distance = axis.length();
    axis = axis * (1.0f / distance);
    // The silhouette: the circle where the lines from the eye touch the sphere, nearer the eye
    // than the centre by r^2 / d and a little smaller than the sphere.
    float shrink = radius / distance;
    Vector3 middle = center - axis * (radius * shrink);
    float ring = radius * std::sqrt(1.0f - shrink * shrink);
    // Two directions across the axis.
    Vector3 helper =
        std::fabs(axis.x) < 0.9f ? Vector3(1.0f, 0.0f, 0.0f) : Vector3(0.0f, 1.0f, 0.0f);
    Vector3 u(axis.y * helper.z - axis.z * helper.y, axis.z * helper.x - axis.x * helper.z,
              axis.x * helper.y - axis.y * helper.x);
    u.normalize();
    Vector3 v(axis.y * u.z - axis.z * u.y, axis.z * u.x - axis.x * u.z,
              axis.x * u.y - axis.y * u.x);
    std::uint32_t base = static_cast<std::uint32_t>(positionArray.size() / 3);
    const double pi = 3.14159265358979323846;
    for (int k = 0; k < slices; ++k) {
        double angle = 2.0 * pi * k / slices;
        Vector3 p = middle + u * (ring * static_cast<float>(std::cos(angle))) +
                    v * (ring * static_cast<float>(std::sin(angle)));
        positionArray.insert(positionArray.end(), {p.x, p.y, p.z});
        colourArray.insert(colourArray.end(), colour, colour + 4);
        indexArray.insert(indexArray.end(), {base + static_cast<std::uint32_t>(k),
                                             base + static_cast<std::uint32_t>((k + 1) % slices)});
    }
}

} // namespace spheres
