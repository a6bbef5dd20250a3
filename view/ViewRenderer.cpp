#include "view/ViewRenderer.h"

#include <cmath>
#include <cstddef>

// The only lines that differ between the window and the page: the header and the shaders'
// version line, and the points' size from the shader switched on in desktop GL (always on in
// OpenGL ES). Nothing else below uses a call or an enum outside OpenGL ES 3.0.
#ifdef __EMSCRIPTEN__
#include <GLES3/gl3.h>
#define SPHERES_GLSL_VERSION "#version 300 es\n"
#else
#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>
#define SPHERES_GLSL_VERSION "#version 330 core\n"
#endif

namespace spheres {

namespace {

// Attribute locations, the same in every program.
enum Attribute : GLuint { Mesh = 0, Sphere = 1, Colour = 2, Line = 3 };

// Segments of a large silhouette's ring.
constexpr int ringSegments = 96;

// Shared by the vertex shaders: the matrices, and the eye-space basis of a sphere's square or
// ring: the axis from the eye to the centre and two unit vectors across it.
const char* const vertexCommon = R"(
precision highp float;
uniform mat4 uProjection;
uniform mat4 uModelview;
layout(location = 0) in vec4 aMesh;
layout(location = 1) in vec4 aSphere;
layout(location = 2) in vec4 aColour;
layout(location = 3) in vec2 aLine;
void basis(vec3 axis, out vec3 u, out vec3 v) {
    vec3 helper = abs(axis.y) < 0.9 ? vec3(0.0, 1.0, 0.0) : vec3(1.0, 0.0, 0.0);
    u = normalize(cross(helper, axis));
    v = cross(axis, u);
}
// The silhouette of the sphere about eye-space c of radius r, d2 = |c|^2 > r^2: the circle
// where the eye's lines touch the sphere lies nearer than the centre by r^2 / d, its radius
// r sqrt(1 - r^2 / d^2); its line of width pixels is band to either side of it, in units at
// the circle's distance from the eye, sqrt(d^2 - r^2), for pixels a unit at distance 1.
void silhouette(vec3 c, float r, float d2, float width, float pixels, out vec3 centre,
                out float circle, out float band) {
    float shrink = r * r / d2;
    centre = c * (1.0 - shrink);
    circle = r * sqrt(1.0 - shrink);
    band = 0.5 * width * sqrt(max(d2 - r * r, 0.0)) / pixels;
}
)";

// Shared by the fragment shaders: a body's light (white, from the eye's side, like the demo's)
// with a highlight, and the window depth of an eye-space z through the projection's third and
// fourth rows.
const char* const fragmentCommon = R"(
precision highp float;
uniform vec2 uDepth;
vec4 litBody(vec3 colour, vec3 n, vec3 dir) {
    float diffuse = max(n.z, 0.0);
    float highlight = max(dot(n, normalize(vec3(0.0, 0.0, 1.0) - dir)), 0.0);
    highlight *= highlight;
    highlight *= highlight;
    highlight *= highlight;
    highlight *= highlight;
    highlight *= highlight;
    return vec4(colour * (0.2 + 0.75 * diffuse) + vec3(0.25 * highlight), 1.0);
}
float windowDepth(float z) {
    return 0.5 - 0.5 * (uDepth.x * z + uDepth.y) / z;
}
)";

// A square facing the eye. For a body or a shell it lies across the sphere's centre, as large as
// the circle in which the cone of the eye's lines that touch the sphere cuts that plane:
// r d / sqrt(d^2 - r^2). For a silhouette it lies in the plane of the circle where those lines
// touch the sphere, nearer than the centre by r^2 / d, of radius r sqrt(1 - r^2 / d^2), so
// that every point of the circle has its true depth; the line's half width there is half its
// pixels at the circle's distance from the eye, sqrt(d^2 - r^2). A sphere that holds the eye
// shows neither and is left out (outside the clip volume).
const char* const squareVertex = R"(
uniform float uPixels;
out vec3 vPoint;
out vec2 vPlane;
flat out vec4 vSphere;
flat out vec4 vColour;
flat out vec2 vBand;
flat out float vDashes;
void main() {
    vec3 c = (uModelview * vec4(aSphere.xyz, 1.0)).xyz;
    float r = aSphere.w;
    float d2 = dot(c, c);
    vSphere = vec4(c, r);
    vColour = aColour;
    vDashes = aLine.y;
    vPoint = c;
    vPlane = vec2(0.0);
    vBand = vec2(0.0);
    if (d2 <= r * r) {
        gl_Position = vec4(2.0, 2.0, 2.0, 1.0);
        return;
    }
    vec3 u;
    vec3 v;
    basis(c * inversesqrt(d2), u, v);
#if defined(SILHOUETTE) || defined(DASHED)
    vec3 centre;
    float circle;
    float band;
    silhouette(c, r, d2, aLine.x, uPixels, centre, circle, band);
    float extent = circle + 2.0 * band;
    vBand = vec2(circle, band);
#else
    vec3 centre = c;
    float extent = r * sqrt(d2 / (d2 - r * r));
    vBand = vec2(extent, 0.0);
#endif
    vPlane = aMesh.xy * extent;
    vPoint = centre + (u * aMesh.x + v * aMesh.y) * extent;
    gl_Position = uProjection * vec4(vPoint, 1.0);
}
)";

// SILHOUETTE: the pixels within the band around the circle, in its plane; DASHED ones are cut
// round the circle into dashes. BODY: the pixel's ray from the eye meets the sphere where it
// passes the cone's circle; the nearest point of the sphere on the ray gives the depth and the
// normal, lit like the demo's light (white, from the eye's side) with a highlight. SHELL: the
// same point, translucent, clearest where the sphere faces the eye. Each kind is a program of
// its own, so that a software renderer runs only its own few lines per pixel.
const char* const squareFragment = R"(
in vec3 vPoint;
in vec2 vPlane;
flat in vec4 vSphere;
flat in vec4 vColour;
flat in vec2 vBand;
flat in float vDashes;
layout(location = 0) out vec4 fragColour;
void main() {
#if defined(SILHOUETTE) || defined(DASHED)
    if (abs(length(vPlane) - vBand.x) > vBand.y) {
        discard;
    }
#ifdef DASHED
    if (vDashes > 0.0 && fract(atan(vPlane.y, vPlane.x) / 6.2831853 * vDashes) > 0.5) {
        discard;
    }
#endif
    fragColour = vColour;
#else
    if (dot(vPlane, vPlane) > vBand.x * vBand.x) {
        discard;
    }
    vec3 dir = normalize(vPoint);
    vec3 c = vSphere.xyz;
    float r = vSphere.w;
    float along = dot(dir, c);
    vec3 across = dir * along - c;
    vec3 hit = dir * (along - sqrt(max(r * r - dot(across, across), 0.0)));
    vec3 n = (hit - c) / r;
#ifdef BODY
    fragColour = litBody(vColour.rgb, n, dir);
#else
    float rim = 1.0 - max(dot(n, -dir), 0.0);
    fragColour = vec4(vColour.rgb, vColour.a * (0.1 + 0.9 * rim * rim * rim));
#endif
    gl_FragDepth = windowDepth(hit.z);
#endif
}
)";

// A large silhouette as a ring of triangles: the circle where the eye's lines touch the sphere,
// nearer than the centre by r^2 / d, of radius r sqrt(1 - r^2 / d^2); its two edges half the
// line's width in pixels inside and outside it, measured on the screen.
const char* const ringVertex = R"(
uniform vec2 uViewport;
flat out vec4 vColour;
flat out float vDashes;
out float vAlong;
void main() {
    vec3 c = (uModelview * vec4(aSphere.xyz, 1.0)).xyz;
    float r = aSphere.w;
    float d2 = dot(c, c);
    vColour = aColour;
    vDashes = aLine.y;
    vAlong = aMesh.w;
    if (d2 <= r * r) {
        gl_Position = vec4(2.0, 2.0, 2.0, 1.0);
        return;
    }
    vec3 u;
    vec3 v;
    basis(c * inversesqrt(d2), u, v);
    vec3 middle;
    float circle;
    float band;
    silhouette(c, r, d2, 0.0, 1.0, middle, circle, band);
    vec3 p = middle + (u * aMesh.x + v * aMesh.y) * circle;
    vec4 point = uProjection * vec4(p, 1.0);
    vec4 centre = uProjection * vec4(middle, 1.0);
    vec2 offset = vec2(0.0);
    if (point.w > 0.0 && centre.w > 0.0) {
        vec2 outward = (point.xy / point.w - centre.xy / centre.w) * uViewport;
        float len = length(outward);
        if (len > 0.0) {
            offset = outward / len * ((aMesh.z - 0.5) * aLine.x) * 2.0 / uViewport;
        }
    }
    gl_Position = point + vec4(offset * point.w, 0.0, 0.0);
}
)";

const char* const ringFragment = R"(
flat in vec4 vColour;
flat in float vDashes;
in float vAlong;
layout(location = 0) out vec4 fragColour;
void main() {
    if (vDashes > 0.0 && fract(vAlong * vDashes) > 0.5) {
        discard;
    }
    fragColour = vColour;
}
)";

// A small sphere as one point, the cheapest thing a software renderer draws: one vertex and no
// triangle to set up. The point is as many pixels wide as the sphere's projection can take (a
// body) or its silhouette's (the circle where the eye's lines touch the sphere, nearer than the
// centre by r^2 / d, of radius r sqrt(1 - r^2 / d^2), and its line's band): every point of a
// sphere of radius e about c projects within f e sqrt(max(|c.x|, |c.y|)^2 + c.z^2) /
// ((-c.z - e) (-c.z)) pixels of c's projection, f the pixels of one unit at distance 1.
const char* const pointVertex = R"(
uniform float uPixels;
flat out vec3 vCentre;
flat out vec2 vBand;
flat out vec4 vColour;
void main() {
    vec3 c = (uModelview * vec4(aSphere.xyz, 1.0)).xyz;
    float r = aSphere.w;
    float d2 = dot(c, c);
    vColour = aColour;
#ifdef BODY
    vCentre = c;
    vBand = vec2(r, 0.0);
    float extent = r;
#else
    float circle;
    float band;
    silhouette(c, r, d2, aLine.x, uPixels, vCentre, circle, band);
    vBand = vec2(circle, band);
    float extent = circle + 2.0 * band;
#endif
    float depth = -vCentre.z;
    if (d2 <= r * r || depth <= extent) {
        gl_Position = vec4(2.0, 2.0, 2.0, 1.0);
        gl_PointSize = 1.0;
        return;
    }
    float across = max(abs(vCentre.x), abs(vCentre.y));
    float reach = uPixels * extent * sqrt(across * across + depth * depth) / ((depth - extent) * depth);
    gl_PointSize = 2.0 * reach;
#ifdef BODY
    gl_Position = uProjection * vec4(c * (1.0 - r * inversesqrt(d2)), 1.0);
#else
    gl_Position = uProjection * vec4(vCentre, 1.0);
#endif
}
)";

// The pixel's ray from the eye, from its window position through the projection. BODY: lit where
// the ray meets the sphere, as on a square, at the depth of the sphere's nearest point.
// SILHOUETTE: the pixels where the ray meets the circle's plane (through its centre, facing the
// eye) within the band around the circle, at the depth of the circle's centre. A depth from the
// vertex lets a software renderer test it before the pixel's code runs, and spares computing
// one per pixel; on a sphere this small the difference hardly shows.
const char* const pointFragment = R"(
uniform mat4 uProjection;
uniform vec2 uViewport;
flat in vec3 vCentre;
flat in vec2 vBand;
flat in vec4 vColour;
layout(location = 0) out vec4 fragColour;
void main() {
    vec2 ndc = gl_FragCoord.xy / uViewport * 2.0 - 1.0;
    vec3 dir = vec3((ndc.x + uProjection[2][0]) / uProjection[0][0],
                    (ndc.y + uProjection[2][1]) / uProjection[1][1], -1.0);
#ifdef BODY
    dir = normalize(dir);
    float along = dot(dir, vCentre);
    vec3 across = dir * along - vCentre;
    float inside = vBand.x * vBand.x - dot(across, across);
    if (inside < 0.0) {
        discard;
    }
    vec3 hit = dir * (along - sqrt(inside));
    fragColour = litBody(vColour.rgb, (hit - vCentre) / vBand.x, dir);
#else
    vec3 q = dir * (dot(vCentre, vCentre) / dot(dir, vCentre));
    if (abs(length(q - vCentre) - vBand.x) > vBand.y) {
        discard;
    }
    fragColour = vColour;
#endif
}
)";

const char* const lineVertex = R"(
void main() {
    gl_Position = uProjection * (uModelview * vec4(aMesh.xyz, 1.0));
}
)";

const char* const lineFragment = R"(
uniform vec4 uColour;
layout(location = 0) out vec4 fragColour;
void main() {
    fragColour = uColour;
}
)";

// The faint layer over the whole viewport: one triangle that covers it, its texture smoothly
// enlarged; its colours are already weighted by their opacity. Its lines, one pixel of the layer
// wide, are two of the window's: at 0.7 of their opacity they weigh about what they did.
const char* const layerVertex = R"(
out vec2 vTexel;
void main() {
    vTexel = aMesh.xy * 0.5 + 0.5;
    gl_Position = vec4(aMesh.xy, 0.0, 1.0);
}
)";

const char* const layerFragment = R"(
uniform sampler2D uLayer;
in vec2 vTexel;
layout(location = 0) out vec4 fragColour;
void main() {
    fragColour = 0.7 * texture(uLayer, vTexel);
}
)";

bool compile(GLuint shader, const char* const* parts, int count, std::string& error) {
    glShaderSource(shader, count, parts, nullptr);
    glCompileShader(shader);
    GLint ok = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (ok == GL_TRUE) {
        return true;
    }
    char log[1024] = "";
    glGetShaderInfoLog(shader, sizeof log, nullptr, log);
    error = std::string("a shader does not compile: ") + log;
    return false;
}

// Links the version line, the definition that picks a kind and the common part with each of
// the vertex and the fragment shader; 0, with error set,
// when either fails.
GLuint link(const char* define, const char* vertex, const char* fragment, std::string& error) {
    const char* vertexParts[] = {SPHERES_GLSL_VERSION, define, vertexCommon, vertex};
    const char* fragmentParts[] = {SPHERES_GLSL_VERSION, define, fragmentCommon, fragment};
    GLuint vs = glCreateShader(GL_VERTEX_SHADER);
    GLuint fs = glCreateShader(GL_FRAGMENT_SHADER);
    GLuint program = 0;
    if (compile(vs, vertexParts, 4, error) && compile(fs, fragmentParts, 4, error)) {
        program = glCreateProgram();
        glAttachShader(program, vs);
        glAttachShader(program, fs);
        glLinkProgram(program);
        GLint ok = GL_FALSE;
        glGetProgramiv(program, GL_LINK_STATUS, &ok);
        if (ok != GL_TRUE) {
            char log[1024] = "";
            glGetProgramInfoLog(program, sizeof log, nullptr, log);
            error = std::string("the shaders do not link: ") + log;
            glDeleteProgram(program);
            program = 0;
        }
    }
    glDeleteShader(vs);
    glDeleteShader(fs);
    return program;
}

const void* at(std::size_t bytes) {
    return reinterpret_cast<const void*>(bytes);
}

// The sphere's three attributes from a buffer of records stride bytes apart, the sphere at
// offset first; a divisor of 1 steps them once per instance.
void sphereAttributes(GLsizei stride, std::size_t first, GLuint divisor) {
    glEnableVertexAttribArray(Sphere);
    glVertexAttribPointer(Sphere, 4, GL_FLOAT, GL_FALSE, stride,
                          at(first + offsetof(DrawnSphere, center)));
    glVertexAttribDivisor(Sphere, divisor);
    glEnableVertexAttribArray(Colour);
    glVertexAttribPointer(Colour, 4, GL_UNSIGNED_BYTE, GL_TRUE, stride,
                          at(first + offsetof(DrawnSphere, colour)));
    glVertexAttribDivisor(Colour, divisor);
    glEnableVertexAttribArray(Line);
    glVertexAttribPointer(Line, 2, GL_FLOAT, GL_FALSE, stride,
                          at(first + offsetof(DrawnSphere, width)));
    glVertexAttribDivisor(Line, divisor);
}

} // namespace

bool ViewRenderer::init(std::string& error) {
    struct Source {
        Program* program;
        const char* define;
        const char* vertex;
        const char* fragment;
    };
    for (const Source& source :
         {Source{&squares[Body], "#define BODY\n", squareVertex, squareFragment},
          Source{&squares[Shell], "#define SHELL\n", squareVertex, squareFragment},
          Source{&squares[Silhouette], "#define SILHOUETTE\n", squareVertex, squareFragment},
          Source{&squares[Dashed], "#define DASHED\n", squareVertex, squareFragment},
          Source{&rings, "", ringVertex, ringFragment},
          Source{&points[0], "#define BODY\n", pointVertex, pointFragment},
          Source{&points[1], "#define SILHOUETTE\n", pointVertex, pointFragment},
          Source{&line, "", lineVertex, lineFragment},
          Source{&layer, "", layerVertex, layerFragment}}) {
        GLuint id = link(source.define, source.vertex, source.fragment, error);
        if (id == 0) {
            return false;
        }
        Program& p = *source.program;
        p.id = id;
        p.projection = glGetUniformLocation(id, "uProjection");
        p.modelview = glGetUniformLocation(id, "uModelview");
        p.depth = glGetUniformLocation(id, "uDepth");
        p.pixels = glGetUniformLocation(id, "uPixels");
        p.viewport = glGetUniformLocation(id, "uViewport");
        p.colour = glGetUniformLocation(id, "uColour");
    }

    // Squares: corners and spheres interleaved, and the indices of their triangles.
    glGenVertexArrays(1, &squareArray);
    glBindVertexArray(squareArray);
    glGenBuffers(1, &cornerBuffer);
    glBindBuffer(GL_ARRAY_BUFFER, cornerBuffer);
    glEnableVertexAttribArray(Mesh);
    glVertexAttribPointer(Mesh, 2, GL_FLOAT, GL_FALSE, sizeof(Corner), at(0));
    sphereAttributes(sizeof(Corner), offsetof(Corner, sphere), 0);
    glGenBuffers(1, &squareIndices);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, squareIndices);

    // The ring: its points round the unit circle (cos, sin), on the inner edge (0) or the outer
    // (1), and the share of the way round; the spheres from the instance buffer.
    std::vector<float> ring;
    const double pi = 3.14159265358979323846;
    for (int k = 0; k <= ringSegments; ++k) {
        float x = static_cast<float>(std::cos(2.0 * pi * k / ringSegments));
        float y = static_cast<float>(std::sin(2.0 * pi * k / ringSegments));
        float along = static_cast<float>(k) / static_cast<float>(ringSegments);
        ring.insert(ring.end(), {x, y, 0.0f, along, x, y, 1.0f, along});
    }
    glGenVertexArrays(1, &ringArray);
    glBindVertexArray(ringArray);
    glGenBuffers(1, &ringBuffer);
    glBindBuffer(GL_ARRAY_BUFFER, ringBuffer);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(ring.size() * sizeof(float)), ring.data(),
                 GL_STATIC_DRAW);
    glEnableVertexAttribArray(Mesh);
    glVertexAttribPointer(Mesh, 4, GL_FLOAT, GL_FALSE, 4 * sizeof(float), at(0));
    glGenBuffers(1, &instanceBuffer);
    glBindBuffer(GL_ARRAY_BUFFER, instanceBuffer);
    sphereAttributes(sizeof(DrawnSphere), 0, 1);

    // The points: one vertex a sphere, from the instance buffer.
    glGenVertexArrays(1, &pointArray);
    glBindVertexArray(pointArray);
    glBindBuffer(GL_ARRAY_BUFFER, instanceBuffer);
    sphereAttributes(sizeof(DrawnSphere), 0, 0);

    // The layer's triangle, in clip coordinates (a compatibility context draws nothing without
    // an array at attribute 0).
    const float cover[6] = {-1.0f, -1.0f, 3.0f, -1.0f, -1.0f, 3.0f};
    glGenVertexArrays(1, &layerArray);
    glBindVertexArray(layerArray);
    glGenBuffers(1, &layerBuffer);
    glBindBuffer(GL_ARRAY_BUFFER, layerBuffer);
    glBufferData(GL_ARRAY_BUFFER, sizeof cover, cover, GL_STATIC_DRAW);
    glEnableVertexAttribArray(Mesh);
    glVertexAttribPointer(Mesh, 2, GL_FLOAT, GL_FALSE, 2 * sizeof(float), at(0));

    glGenVertexArrays(1, &lineArray);
    glBindVertexArray(lineArray);
    glGenBuffers(1, &lineBuffer);
    glBindBuffer(GL_ARRAY_BUFFER, lineBuffer);
    glEnableVertexAttribArray(Mesh);
    glVertexAttribPointer(Mesh, 3, GL_FLOAT, GL_FALSE, 3 * sizeof(float), at(0));

    glBindVertexArray(0);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    return true;
}

void ViewRenderer::use(const Program& program) {
    glUseProgram(program.id);
    glUniformMatrix4fv(program.projection, 1, GL_FALSE, camera->projection);
    glUniformMatrix4fv(program.modelview, 1, GL_FALSE, camera->modelview);
    if (program.depth >= 0) {
        glUniform2f(program.depth, camera->projection[10], camera->projection[14]);
    }
    if (program.pixels >= 0) {
        glUniform1f(program.pixels, pixelsPerUnit(camera->projection, height));
    }
    if (program.viewport >= 0) {
        glUniform2f(program.viewport, static_cast<float>(width), static_cast<float>(height));
    }
}

void ViewRenderer::drawSquares(const std::vector<DrawnSphere>& spheres, Kind kind) {
    if (spheres.empty()) {
        return;
    }
    use(squares[kind]);
    // Four corners a sphere, filled anew; the indices only grow.
    corners.clear();
    for (const DrawnSphere& sphere : spheres) {
        corners.push_back(Corner{-1.0f, -1.0f, sphere});
        corners.push_back(Corner{1.0f, -1.0f, sphere});
        corners.push_back(Corner{-1.0f, 1.0f, sphere});
        corners.push_back(Corner{1.0f, 1.0f, sphere});
    }
    glBindVertexArray(squareArray);
    if (indexedSpheres < spheres.size()) {
        indexedSpheres = spheres.size();
        indices.clear();
        for (std::uint32_t k = 0; k < indexedSpheres; ++k) {
            indices.insert(indices.end(),
                           {4 * k, 4 * k + 1, 4 * k + 2, 4 * k + 2, 4 * k + 1, 4 * k + 3});
        }
        glBufferData(GL_ELEMENT_ARRAY_BUFFER,
                     static_cast<GLsizeiptr>(indices.size() * sizeof(std::uint32_t)),
                     indices.data(), GL_STATIC_DRAW);
    }
    glBindBuffer(GL_ARRAY_BUFFER, cornerBuffer);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(corners.size() * sizeof(Corner)),
                 corners.data(), GL_STREAM_DRAW);
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(6 * spheres.size()), GL_UNSIGNED_INT,
                   nullptr);
}

void ViewRenderer::drawRings(const std::vector<DrawnSphere>& spheres) {
    if (spheres.empty()) {
        return;
    }
    use(rings);
    glBindVertexArray(ringArray);
    glBindBuffer(GL_ARRAY_BUFFER, instanceBuffer);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(spheres.size() * sizeof(DrawnSphere)),
                 spheres.data(), GL_STREAM_DRAW);
    glDrawArraysInstanced(GL_TRIANGLE_STRIP, 0, 2 * (ringSegments + 1),
                          static_cast<GLsizei>(spheres.size()));
}

void ViewRenderer::drawPoints(const std::vector<DrawnSphere>& spheres, bool bodies) {
    if (spheres.empty()) {
        return;
    }
    use(points[bodies ? 0 : 1]);
    glBindVertexArray(pointArray);
    glBindBuffer(GL_ARRAY_BUFFER, instanceBuffer);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(spheres.size() * sizeof(DrawnSphere)),
                 spheres.data(), GL_STREAM_DRAW);
    glDrawArrays(GL_POINTS, 0, static_cast<GLsizei>(spheres.size()));
}

bool ViewRenderer::prepareLayer() {
    if (layerFramebuffer != 0 && layerWidth == width && layerHeight == height) {
        return true;
    }
    if (layerFramebuffer == 0) {
        glGenFramebuffers(1, &layerFramebuffer);
        glGenTextures(1, &layerTexture);
        glGenRenderbuffers(1, &layerDepth);
    }
    glBindTexture(GL_TEXTURE_2D, layerTexture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glBindTexture(GL_TEXTURE_2D, 0);
    glBindRenderbuffer(GL_RENDERBUFFER, layerDepth);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, width, height);
    glBindRenderbuffer(GL_RENDERBUFFER, 0);
    glBindFramebuffer(GL_FRAMEBUFFER, layerFramebuffer);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, layerTexture, 0);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, layerDepth);
    bool complete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    layerWidth = complete ? width : 0;
    layerHeight = complete ? height : 0;
    return complete;
}

void ViewRenderer::drawBodies(const ViewPicture& picture) {
    drawPoints(picture.bodies(ViewPicture::Point), true);
    drawSquares(picture.bodies(ViewPicture::Square), Body);
}

void ViewRenderer::drawFaint(const ViewPicture& picture) {
    drawPoints(picture.silhouettes(false, ViewPicture::Point), false);
    drawSquares(picture.silhouettes(false, ViewPicture::Square), Silhouette);
    drawRings(picture.silhouettes(false, ViewPicture::Ring));
}

void ViewRenderer::draw(const ViewPicture& picture, const CameraMatrices& shown, int pixelsWide,
                        int pixelsHigh) {
    camera = &shown;
    width = pixelsWide;
    height = pixelsHigh;
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glDepthMask(GL_TRUE);
    glDisable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
#ifndef __EMSCRIPTEN__
    // The points' size comes from their vertex shader (always so in OpenGL ES).
    glEnable(GL_PROGRAM_POINT_SIZE);
#endif

    // The bodies first: they fill the depth buffer that the bounding spheres are tested against,
    // without hiding one another. Then the faint spheres, the shells and the strong spheres.
    drawBodies(picture);
    glEnable(GL_BLEND);
    glDepthMask(GL_FALSE);
    bool anyFaint = false;
    for (int size = 0; size < ViewPicture::sizeCount; ++size) {
        anyFaint = anyFaint ||
                   !picture.silhouettes(false, static_cast<ViewPicture::SphereSize>(size)).empty();
    }
    width = (pixelsWide + 1) / 2;
    height = (pixelsHigh + 1) / 2;
    if (anyFaint && prepareLayer()) {
        // The layer: the bodies' depth alone, then the faint levels blended over clear black,
        // their colours weighted by their opacity as they are added.
        glBindFramebuffer(GL_FRAMEBUFFER, layerFramebuffer);
        glViewport(0, 0, width, height);
        const GLfloat clear[4] = {0.0f, 0.0f, 0.0f, 0.0f};
        const GLfloat far = 1.0f;
        glDepthMask(GL_TRUE);
        glClearBufferfv(GL_COLOR, 0, clear);
        glClearBufferfv(GL_DEPTH, 0, &far);
        glDisable(GL_BLEND);
        glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
        drawBodies(picture);
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        glDepthMask(GL_FALSE);
        glEnable(GL_BLEND);
        glBlendFuncSeparate(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
        drawFaint(picture);
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        width = pixelsWide;
        height = pixelsHigh;
        glViewport(0, 0, width, height);
        // Laid over the bodies, with nothing to test its depth against.
        glDisable(GL_DEPTH_TEST);
        glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
        glUseProgram(layer.id);
        glBindTexture(GL_TEXTURE_2D, layerTexture);
        glBindVertexArray(layerArray);
        glDrawArrays(GL_TRIANGLES, 0, 3);
        glBindTexture(GL_TEXTURE_2D, 0);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glEnable(GL_DEPTH_TEST);
    } else {
        width = pixelsWide;
        height = pixelsHigh;
        drawFaint(picture);
    }
    drawSquares(picture.shells(), Shell);
    drawPoints(picture.silhouettes(true, ViewPicture::Point), false);
    drawSquares(picture.silhouettes(true, ViewPicture::Square), Silhouette);
    drawRings(picture.silhouettes(true, ViewPicture::Ring));

    // The query over everything: no body hides it.
    glDisable(GL_DEPTH_TEST);
    drawRings(picture.querySilhouettes(true));
    drawSquares(picture.querySilhouettes(false), Dashed);
    glDisable(GL_BLEND);
    drawSquares(picture.queryBodies(), Body);
    if (picture.hasPath()) {
        Vector3 a = picture.pathStart();
        Vector3 b = picture.pathEnd();
        const float path[6] = {a.x, a.y, a.z, b.x, b.y, b.z};
        use(line);
        const std::uint8_t* c = ViewPicture::selectedColour;
        glUniform4f(line.colour, c[0] / 255.0f, c[1] / 255.0f, c[2] / 255.0f, 1.0f);
        glBindVertexArray(lineArray);
        glBindBuffer(GL_ARRAY_BUFFER, lineBuffer);
        glBufferData(GL_ARRAY_BUFFER, sizeof path, path, GL_STREAM_DRAW);
        glDrawArrays(GL_LINES, 0, 2);
    }

    glEnable(GL_DEPTH_TEST);
    glDepthMask(GL_TRUE);
    glBindVertexArray(0);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glUseProgram(0);
}

} // namespace spheres
