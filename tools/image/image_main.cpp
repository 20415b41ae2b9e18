// velmora-image: see image_tool.h.
#include <iostream>

#include "tools/image/image_tool.h"

int main(int argc, char** argv) { return image_tool::Run(argc, argv, std::cout, std::cerr); }
