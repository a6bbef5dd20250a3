#pragma once

#include <list>

namespace spheres {

class Body;

/// Bodies found by a query, in the order found; the bodies are not owned.
using BodyList = std::list<Body*>;
/// One value per entry of the BodyList given to the same query: a distance or a time.
using TimeList = std::list<float>;

} // namespace spheres
