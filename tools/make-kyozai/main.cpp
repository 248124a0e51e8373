// make-kyozai <lesson source directory> <output directory>
// Builds the lesson directory (tables mokuji and figure) from mokuji.tsv and figure.tsv.
#include <exception>
#include <iostream>

#include "KyozaiBuilder.h"
#include "LessonSource.h"

int main(int argc, char **argv) {
  if (argc != 3) {
    std::cerr << "usage: make-kyozai <lesson source directory> <output directory>\n";
    return 2;
  }
  try {
    kyozai::TLessonSource source = kyozai::ReadLessonSource(argv[1]);
    kyozai::BuildKyozai(source, argv[2]);
    std::cout << "make-kyozai: " << source.Contents.size() << " contents rows, " << source.Figures.size()
              << " figure rows -> " << argv[2] << "\n";
    return 0;
  } catch (const std::exception &e) {
    std::cerr << "make-kyozai: " << e.what() << "\n";
    return 1;
  }
}
