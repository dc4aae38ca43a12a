#pragma once
// TICKWELL_NAMESPACE: a prefix in front of the name of every system object
// of the link, so that a second set of programs (the tests, say) can run
// beside the first without meeting it. Object names are short; a prefix cut
// to fit would let two namespaces that differ only behind the cut meet, so
// one that does not fit is refused instead: the library then attaches to
// nothing, and every program says so and ends before it touches the link.
#include <cstddef>
#include <ostream>
#include <string>

namespace tavelund {

inline constexpr const char* kNamespaceVariable = "TICKWELL_NAMESPACE";
// Longest prefix, in bytes; with the longest channel name behind it the
// object name stays far inside the system's limit.
inline constexpr std::size_t kNamespaceLimit = 64;

struct ObjectNamespace {
  std::string prefix;   // as it goes into the object names; empty: the plain names
  std::string problem;  // why it cannot be used; empty when it can
};

// The rule for a value of the variable (null: unset). Letters, digits, '-',
// '_' and '.' stay, every other byte becomes '_', so a name can neither
// leave the objects' folder nor break; more than kNamespaceLimit bytes is a
// problem, and then there is no prefix.
ObjectNamespace readObjectNamespace(const char* value);

// The namespace that this platform's object names use now (read from the
// environment at each call).
ObjectNamespace objectNamespaceInForce();

// For the start of a program, before anything touches the link: when the
// namespace in force cannot be used, writes "<program>: <problem>" and a
// line end to `err` and returns true; the program then ends with a non-zero
// exit code of its own.
bool refuseUnusableNamespace(const char* program, std::ostream& err);

}  // namespace tavelund
