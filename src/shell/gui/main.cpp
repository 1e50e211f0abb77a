#include "shell/gui/program.h"

int main(int argc, char** argv) {
  return heatdiag::RunProgram(argc, argv);
}
