#pragma once

#include <string>

namespace spheres {

class SphereTree;

/// What checkTree verifies: Full checks containment too; FiniteOnly, for trees fed arbitrary
/// finite inputs, checks only structure, bookkeeping and finiteness.
enum class TreeCheckMode { Full, FiniteOnly };

/// The tree's invariant check, for tests, fuzzers and trees derived from SphereTree.
/// Walks the whole tree once and returns "" when every invariant holds, otherwise a description
/// of the first violation found. Call it between updates, never during one.
std::string checkTree(SphereTree& tree, TreeCheckMode mode = TreeCheckMode::Full);

} // namespace spheres
