// help_to_roff HELP_FILE PAGE_FILE NAME SECTION SUMMARY SOURCE DATE
// Writes the manual page made from a --help text (see help_to_roff.h).
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "man/help_to_roff.h"

int main(int argc, char** argv) {
  if (argc != 8) {
    std::cerr << "usage: help_to_roff HELP_FILE PAGE_FILE NAME SECTION SUMMARY SOURCE DATE\n";
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    std::cerr << "help_to_roff: cannot read " << argv[1] << "\n";
    return 1;
  }
  std::ostringstream help;
  help << in.rdbuf();
  if (help.str().empty()) {
    std::cerr << "help_to_roff: " << argv[1] << " is empty\n";
    return 1;
  }
  manpage::TManPageInfo info;
  info.Name = argv[3];
  info.Section = std::stoi(argv[4]);
  info.Summary = argv[5];
  info.Source = argv[6];
  info.Date = argv[7];
  std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
  out << manpage::HelpTextToRoff(help.str(), info);
  out.close();
  if (!out) {
    std::cerr << "help_to_roff: cannot write " << argv[2] << "\n";
    return 1;
  }
  return 0;
}
