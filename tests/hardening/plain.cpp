// Built without any hardening, so that the check can be seen to fail.
#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%s", argc > 1 ? argv[1] : "plain");
  std::memcpy(buffer, "x", 1);
  std::puts(buffer);
  return 0;
}
