#pragma once

#include "view/ViewCamera.h"
#include "view/ViewPicture.h"

#include <cstdint>
#include <string>
#include <vector>

namespace spheres {

/// Draws a ViewPicture with the part of OpenGL that desktop GL 3.3 and OpenGL ES 3.0 (WebGL2)
/// share: vertex buffers and arrays, instancing, and shaders that differ only in their version
/// line. Each sphere is a point or a square facing the eye, just large enough to hold its
/// outline, where every pixel casts its ray at the sphere: a body is lit where the ray meets it,
/// with the depth of that point, a shell is shaded by how it faces the ray, and a silhouette is
/// the band of pixels whose rays pass the sphere at about its radius. Large silhouettes are
/// rings of triangles instead, which cover fewer pixels. It compiles unchanged for a desktop GL
/// 3.3 and a WebGL2 context (the one line that differs: the points' size from the shader is
/// switched on in desktop GL, always on in WebGL2) and needs a current context of either kind.
class ViewRenderer {
public:
    ViewRenderer() = default;
    ViewRenderer(const ViewRenderer&) = delete;
    ViewRenderer& operator=(const ViewRenderer&) = delete;

    /// Compiles the shaders and makes the buffers in the current context; false, with the
    /// compiler's or linker's message in error, when it cannot.
    bool init(std::string& error);
    /// Draws picture seen through camera into the viewport (0, 0, width, height) of the window's
    /// framebuffer, over what is there (the caller clears). The faint levels are drawn at half
    /// the resolution into a layer of their own, then laid over the bodies: they are most of the
    /// pixels a software renderer covers, and a faint line hardly changes for being soft.
    /// Leaves depth testing on, depth writes on, blending off (its function the usual
    /// source-alpha one) and no program, vertex array, buffer or texture bound, so that a
    /// caller may draw text with whatever it likes afterwards.
    void draw(const ViewPicture& picture, const CameraMatrices& camera, int width, int height);

private:
    struct Program {
        unsigned id = 0;
        int projection = -1;
        int modelview = -1;
        int depth = -1;
        int pixels = -1;
        int viewport = -1;
        int colour = -1;
    };
    /// What a square shows: a body, a shell, a silhouette, or a silhouette that may be dashed.
    enum Kind { Body, Shell, Silhouette, Dashed, kindCount };
    /// A corner of a sphere's square, with the sphere.
    struct Corner {
        float x;
        float y;
        DrawnSphere sphere;
    };
    Program squares[kindCount];
    Program rings;
    /// Small bodies, small silhouettes.
    Program points[2];
    Program line;
    /// The faint layer laid over the picture.
    Program layer;
    // The squares: four corners a sphere in one buffer, indexed by a second that holds two
    // triangles for as many spheres as were ever drawn at once.
    unsigned squareArray = 0;
    unsigned cornerBuffer = 0;
    unsigned squareIndices = 0;
    std::size_t indexedSpheres = 0;
    std::vector<Corner> corners;
    std::vector<std::uint32_t> indices;
    // The rings: one ring of triangles, drawn once per sphere from a buffer of instances.
    unsigned ringArray = 0;
    unsigned ringBuffer = 0;
    unsigned instanceBuffer = 0;
    // The small bodies and silhouettes: one point a sphere, from the same buffer of instances.
    unsigned pointArray = 0;
    unsigned lineArray = 0;
    unsigned lineBuffer = 0;
    // The faint layer: a texture and a depth buffer of half the window's size.
    unsigned layerFramebuffer = 0;
    unsigned layerTexture = 0;
    unsigned layerDepth = 0;
    unsigned layerArray = 0;
    unsigned layerBuffer = 0;
    int layerWidth = 0;
    int layerHeight = 0;
    // The picture being drawn.
    const CameraMatrices* camera = nullptr;
    int width = 1;
    int height = 1;

    void use(const Program& program);
    void drawSquares(const std::vector<DrawnSphere>& spheres, Kind kind);
    void drawRings(const std::vector<DrawnSphere>& spheres);
    void drawPoints(const std::vector<DrawnSphere>& spheres, bool bodies);
    void drawBodies(const ViewPicture& picture);
    void drawFaint(const ViewPicture& picture);
    /// Sizes the faint layer for the picture's width x height; false if the framebuffer cannot
    /// be made, and then the faint levels are drawn at full resolution.
    bool prepareLayer();
};

} // namespace spheres
