// fenmora-cli: list, edit, back up and check an F900i card from a terminal.
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "cli/commands.h"

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  try {
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    const int code = fenmora::cli::Main(args, {std::cout, std::cerr, std::cin});
    std::cout.flush();
    return std::cout ? code : fenmora::cli::kExitProblems;
  } catch (const std::exception& e) {
    std::cerr << "fenmora-cli: " << e.what() << "\n";
    return fenmora::cli::kExitProblems;
  }
}
