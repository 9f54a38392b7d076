#include "daemon/entry.hpp"

int main(int argc, char** argv) { return kelvane::daemon::run(argc, argv); }
