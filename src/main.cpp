#include "app/program.hpp"

int main(int argc, char** argv) { return skh::gf_programMain(argc, argv); }
