#pragma once
// Test support shared by the two-process tests: the loaded library, polling
// with a deadline, and the roles a child copy of the test program plays.
#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "tests/support/child_process.h"
#include "tests/support/link_exports.h"
#include "tests/support/wait.h"

namespace tavelund::testing {

// The link library loaded from the bin folder by file name (once).
const LinkExports& link();

// Generous: Wine starts a process in about a second on a quiet machine.
constexpr std::chrono::milliseconds kStartTimeout{30000};

bool anyChannelExists();

// Starts this test program again in `role` (see runRole).
std::unique_ptr<ChildProcess> startRole(const std::string& role,
                                        const std::string& outputPath = {});

// Called by main for "--role NAME": returns the exit code.
int runRole(const std::string& role);

}  // namespace tavelund::testing
