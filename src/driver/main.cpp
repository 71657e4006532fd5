#include "driver/conversion.h"

int main(int argc, char** argv) {
  return polyfrep::run_command_line(argc, argv);
}
