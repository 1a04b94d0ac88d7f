#pragma once

namespace vornisel {

// Lets assistive tools see a route matrix as a table of 32 x 32 cells, each named after the two
// channels it joins, checked while routed, and toggled by its press action. Installed once, by the
// first matrix made.
void installRouteMatrixAccessible();

}  // namespace vornisel
