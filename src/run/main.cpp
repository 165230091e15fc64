#include "run/entry.h"

int main(int argc, char** argv) { return quorvelMain(argc, argv); }
