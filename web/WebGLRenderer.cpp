// The page's drawing: a small WebGL2 renderer over the view's draw list, kept in this one file so
// that a renderer shared with the window can take its place.
#include "web/WebGLRenderer.h"

#include "view/DrawList.h"

#include <GLES3/gl3.h>

#include <cmath>
#include <cstddef>
#include <cstring>
#include <iterator>
#include <vector>

namespace spheres {

namespace {

static_assert(sizeof(SphereInstance) == 20, "one sphere instance is uploaded as 20 bytes");

// Segments of an outline's circle by its radius on the screen: SwiftShader, which draws on the
// CPU, spends more on the vertices of the many small bounding spheres than on their pixels.
struct OutlineClass {
    float belowPixels;
    int segments;
};
constexpr OutlineClass outlineClasses[] = {{6.0f, 8}, {40.0f, 20}, {1.0e30f, 64}};

// Every sphere is drawn from the circle where the lines from the eye touch it (its silhouette):
// a filled sphere as the square around that circle, which covers exactly the sphere's picture,
// corners from the vertex index; an outline as a band about a pixel and a half wide inside that
// circle, a triangle strip of segments (> 0) pieces. A sphere around the eye has no such circle
// and is left out.
const char* const sphereVertexShader = R"(#version 300 es
uniform mat4 projection;
uniform mat4 modelview;
uniform int segments;
uniform float pixels;
layout(location = 0) in vec4 sphere;
layout(location = 1) in vec4 colour;
out vec3 point;
out vec2 corner;
flat out vec3 center;
flat out float radius;
flat out vec4 tint;
void main() {
    float across = 1.0;
    if (segments > 0) {
        float angle = 6.2831853 * float(gl_VertexID / 2) / float(segments);
        corner = vec2(cos(angle), sin(angle));
        across = float(1 - gl_VertexID % 2);
    } else {
        corner = vec2(float(gl_VertexID & 1), float(gl_VertexID >> 1)) * 2.0 - 1.0;
    }
    center = (modelview * vec4(sphere.xyz, 1.0)).xyz;
    radius = sphere.w;
    tint = colour;
    float distance2 = dot(center, center);
    if (distance2 <= radius * radius) {
        point = vec3(0.0);
        gl_Position = vec4(2.0, 2.0, 2.0, 1.0);
        return;
    }
    float shrink = radius * radius / distance2;
    vec3 axis = center * inversesqrt(distance2);
    vec3 u = normalize(cross(axis, abs(axis.y) < 0.9 ? vec3(0.0, 1.0, 0.0) : vec3(1.0, 0.0, 0.0)));
    vec3 v = cross(axis, u);
    vec3 middle = center * (1.0 - shrink);
    float ring = radius * sqrt(1.0 - shrink);
    if (across < 1.0) {
        // The inner edge of the band: 1.5 pixels in, where one pixel spans 2 z / (P11 h).
        float inward = 3.0 * abs(middle.z) / (projection[1][1] * pixels);
        across = max(0.0, 1.0 - inward / ring);
    }
    point = middle + (u * corner.x + v * corner.y) * ring * across;
    gl_Position = projection * vec4(point, 1.0);
}
)";

// mode 0: a lit solid sphere, its depth and normal from the ray through the pixel; 1: the
// outline's lines in their colour; 2: a faint shell, more opaque where it turns away from the
// eye.
const char* const sphereFragmentShader = R"(#version 300 es
precision highp float;
uniform mat4 projection;
uniform int mode;
in vec3 point;
in vec2 corner;
flat in vec3 center;
flat in float radius;
flat in vec4 tint;
out vec4 fragment;
void main() {
    if (mode == 1) {
        fragment = tint;
        gl_FragDepth = gl_FragCoord.z;
        return;
    }
    if (length(corner) > 1.0) {
        discard;
    }
    vec3 ray = normalize(point);
    float along = dot(ray, center);
    float disc = along * along - dot(center, center) + radius * radius;
    vec3 hit = ray * (along - sqrt(max(disc, 0.0)));
    vec3 normal = (hit - center) / radius;
    vec4 clip = projection * vec4(hit, 1.0);
    gl_FragDepth = clamp(0.5 * clip.z / clip.w + 0.5, 0.0, 1.0);
    float facing = max(dot(normal, -ray), 0.0);
    if (mode == 2) {
        fragment = vec4(tint.rgb, tint.a * (1.0 - 0.7 * facing));
        return;
    }
    float diffuse = max(dot(normal, normalize(vec3(0.3, 0.6, 1.0))), 0.0);
    fragment = vec4(tint.rgb * (0.15 + 0.85 * diffuse) * vec3(0.75, 0.85, 0.9), 1.0);
}
)";

const char* const lineVertexShader = R"(#version 300 es
uniform mat4 projection;
uniform mat4 modelview;
layout(location = 0) in vec3 position;
layout(location = 1) in vec4 colour;
out vec4 tint;
void main() {
    tint = colour;
    gl_Position = projection * modelview * vec4(position, 1.0);
}
)";

const char* const lineFragmentShader = R"(#version 300 es
precision mediump float;
in vec4 tint;
out vec4 fragment;
void main() {
    fragment = tint;
}
)";

GLuint compile(GLenum type, const char* source, std::string& error) {
    GLuint shader = glCreateShader(type);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint ok = 0;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        char log[1024] = {};
        glGetShaderInfoLog(shader, sizeof log, nullptr, log);
        error = std::string("a shader does not compile: ") + log;
    }
    return shader;
}

GLuint link(const char* vertex, const char* fragment, std::string& error) {
    GLuint program = glCreateProgram();
    glAttachShader(program, compile(GL_VERTEX_SHADER, vertex, error));
    glAttachShader(program, compile(GL_FRAGMENT_SHADER, fragment, error));
    glLinkProgram(program);
    GLint ok = 0;
    glGetProgramiv(program, GL_LINK_STATUS, &ok);
    if (!ok && error.empty()) {
        char log[1024] = {};
        glGetProgramInfoLog(program, sizeof log, nullptr, log);
        error = std::string("the shaders do not link: ") + log;
    }
    return program;
}

void setMatrices(GLuint program, const float projection[16], const float modelview[16]) {
    glUseProgram(program);
    glUniformMatrix4fv(glGetUniformLocation(program, "projection"), 1, GL_FALSE, projection);
    glUniformMatrix4fv(glGetUniformLocation(program, "modelview"), 1, GL_FALSE, modelview);
}

} // namespace

bool WebGLRenderer::init() {
    sphereProgram = link(sphereVertexShader, sphereFragmentShader, message);
    lineProgram = link(lineVertexShader, lineFragmentShader, message);
    if (!message.empty()) {
        return false;
    }
    // Per instance: centre and radius as four floats, then the colour as four normalised bytes.
    glGenVertexArrays(1, &sphereArray);
    glGenBuffers(1, &sphereBuffer);
    glBindVertexArray(sphereArray);
    glBindBuffer(GL_ARRAY_BUFFER, sphereBuffer);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 4, GL_FLOAT, GL_FALSE, sizeof(SphereInstance), nullptr);
    glVertexAttribDivisor(0, 1);
    glEnableVertexAttribArray(1);
    glVertexAttribPointer(1, 4, GL_UNSIGNED_BYTE, GL_TRUE, sizeof(SphereInstance),
                          reinterpret_cast<const void*>(offsetof(SphereInstance, colour)));
    glVertexAttribDivisor(1, 1);
    // Per vertex: a position as three floats and a colour as four bytes.
    glGenVertexArrays(1, &lineArray);
    glGenBuffers(1, &lineBuffer);
    glBindVertexArray(lineArray);
    glBindBuffer(GL_ARRAY_BUFFER, lineBuffer);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, 16, nullptr);
    glEnableVertexAttribArray(1);
    glVertexAttribPointer(1, 4, GL_UNSIGNED_BYTE, GL_TRUE, 16, reinterpret_cast<const void*>(12));
    glBindVertexArray(0);
    return true;
}

void WebGLRenderer::draw(const DrawList& list, const float projection[16],
                         const float modelview[16], int width, int height) {
    glViewport(0, 0, width, height);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glDepthMask(GL_TRUE);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);

    setMatrices(sphereProgram, projection, modelview);
    GLint mode = glGetUniformLocation(sphereProgram, "mode");
    GLint segments = glGetUniformLocation(sphereProgram, "segments");
    glUniform1f(glGetUniformLocation(sphereProgram, "pixels"), static_cast<float>(height));
    glBindVertexArray(sphereArray);
    glBindBuffer(GL_ARRAY_BUFFER, sphereBuffer);
    // An outline costs its perimeter in pixels, a filled quad its area: the many large bounding
    // spheres are drawn as bands. (Lines cost more than these bands in SwiftShader.)
    auto submit = [&](const std::vector<SphereInstance>& instances, int how, int pieces) {
        if (instances.empty()) {
            return;
        }
        glUniform1i(mode, how);
        glUniform1i(segments, pieces);
        glBufferData(GL_ARRAY_BUFFER,
                     static_cast<GLsizeiptr>(instances.size() * sizeof(SphereInstance)),
                     instances.data(), GL_STREAM_DRAW);
        glDrawArraysInstanced(GL_TRIANGLE_STRIP, 0, pieces > 0 ? 2 * pieces + 2 : 4,
                              static_cast<GLsizei>(instances.size()));
    };
    // One unit at distance 1 is P11 h / 2 pixels high.
    float pixelsPerUnit = 0.5f * projection[5] * static_cast<float>(height);
    auto spheres = [&](const std::vector<SphereInstance>& instances, int how) {
        if (how != 1) {
            submit(instances, how, 0);
            return;
        }
        for (std::vector<SphereInstance>& part : outlineParts) {
            part.clear();
        }
        for (const SphereInstance& s : instances) {
            const float* m = modelview;
            float x = m[0] * s.x + m[4] * s.y + m[8] * s.z + m[12];
            float y = m[1] * s.x + m[5] * s.y + m[9] * s.z + m[13];
            float z = m[2] * s.x + m[6] * s.y + m[10] * s.z + m[14];
            float beyond = x * x + y * y + z * z - s.radius * s.radius;
            float pixels = beyond > 0.0f ? s.radius * pixelsPerUnit / std::sqrt(beyond) : 0.0f;
            std::size_t k = 0;
            while (pixels >= outlineClasses[k].belowPixels) {
                ++k;
            }
            outlineParts[k].push_back(s);
        }
        static_assert(std::size(outlineClasses) == std::tuple_size<decltype(outlineParts)>::value,
                      "one list of outlines per class");
        for (std::size_t k = 0; k < outlineParts.size(); ++k) {
            submit(outlineParts[k], 1, outlineClasses[k].segments);
        }
    };
    spheres(list.bodies(), 0);
    // The bounding spheres neither hide each other nor the bodies behind them.
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDepthMask(GL_FALSE);
    spheres(list.bounds(), list.translucent ? 2 : 1);
    spheres(list.sweepNodes(), 1);
    // The sweep's leaves and the query body over everything else.
    glDisable(GL_DEPTH_TEST);
    spheres(list.overlay(), 1);

    std::vector<float> vertices;
    for (const SegmentInstance& segment : list.segments()) {
        float colour = 0.0f;
        static_assert(sizeof colour == sizeof segment.colour, "a colour packs into one float");
        std::memcpy(&colour, segment.colour, sizeof colour);
        vertices.insert(vertices.end(), {segment.from.x, segment.from.y, segment.from.z, colour,
                                         segment.to.x, segment.to.y, segment.to.z, colour});
    }
    if (!vertices.empty()) {
        setMatrices(lineProgram, projection, modelview);
        glBindVertexArray(lineArray);
        glBindBuffer(GL_ARRAY_BUFFER, lineBuffer);
        glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(vertices.size() * sizeof(float)),
                     vertices.data(), GL_STREAM_DRAW);
        glDrawArrays(GL_LINES, 0, static_cast<GLsizei>(vertices.size() / 4));
    }
    glBindVertexArray(0);
    glDisable(GL_BLEND);
    glDepthMask(GL_TRUE);
}

} // namespace spheres
