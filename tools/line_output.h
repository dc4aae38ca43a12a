#pragma once
// Standard output for tickwell-signals' lines alone. The link library
// prints its own messages (a channel it refuses, say) on standard output;
// after this call they reach standard error, and the lines the real
// standard output, so a script reading the lines reads nothing else.
#include <cstdio>

namespace tavelund {

// The stream for the lines; call it once, before the link is touched.
std::FILE* standardOutputForLines();

}  // namespace tavelund
