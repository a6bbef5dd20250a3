#pragma once

#include "frustum/MatrixFrustum.h"

namespace spheres {

// Column-major float[16] matrices computed in software the way gluPerspective, glTranslatef and
// glRotatef build them, so a frustum can be made without a GL context.

/// gluPerspective(fovy, aspect, zNear, zFar), computed in double and stored as float.
void perspectiveMatrix(double fovy, double aspect, double zNear, double zFar, float out[16]);

/// The frame's modelview: identity, translate (0, 0, -10000), translate (tx, ty, tz), rotate rx
/// about x, ry about y, rz about z (degrees), each multiplied on the right as GL does.
void cameraModelviewMatrix(float tx, float ty, float tz, float rx, float ry, float rz,
                           float out[16]);

/// The program's projection: 75 degrees, 640 x 480, near 1, far 300000.
void defaultProjectionMatrix(float out[16]);

/// Replaces a zero width or height by 1 and returns width / height in double: the reshape
/// callback's viewport size and aspect ratio, free of division by zero.
double reshapeAspect(int& width, int& height);

/// Lowers a width or height above the renderer's largest viewport (GL_MAX_VIEWPORT_DIMS) to that
/// limit (a limit of 0 or less is unknown and lowers nothing); returns true when it lowered one.
/// Mesa's software renderer crashes drawing into a window larger than its viewport can be.
bool clampToViewportLimit(int& width, int& height, int maxWidth, int maxHeight);

/// The frustum of the program's first frame: default projection, camera at its start values.
MatrixFrustum defaultCameraFrustum();

} // namespace spheres
