// How the C allocator keeps and gives back memory: one policy for every
// program that makes pictures (quorvel, and the benchmarks that measure its
// making), so that a benchmark measures what the user gets.
#pragma once

// Sets the policy. REQUIRES: called at start-up, before any thread starts.
void mallocPolicyApply();
