#include "base/malloc_policy.h"
#include "run/entry.h"

int main(int argc, char** argv) {
  mallocPolicyApply();
  return quorvelMain(argc, argv);
}
