#pragma once

#include "body/BodyList.h"

namespace spheres {

class Body;

/// Resolves the contact with the smallest time among parallel hits and times (the first of equal
/// times wins); a time of 1e9 or more is never picked. Stops at the end of the shorter list.
/// Returns whether an exchange was applied; partner, when not null, then receives the other body
/// of the exchange (the only body besides body that the call changes).
bool resolveEarliestContact(Body* body, const BodyList& hits, const TimeList& times,
                            Body** partner = nullptr);

/// Rewinds a and b to their centres at step fraction t, exchanges momentum along the line between
/// them as a perfectly elastic collision, and lets each travel the rest of its step's distance
/// along its new velocity. Coincident centres at contact, or an exchange that would overflow,
/// leave both bodies unchanged. Returns whether the exchange was applied.
bool resolveCollision(Body* a, Body* b, float t);

} // namespace spheres
