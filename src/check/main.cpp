#include <polyfrep/polyfrep.h>

int main(int argc, char** argv) {
  return polyfrep::run_checker(argc, argv);
}
