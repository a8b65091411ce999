#include "halvex/core/cut_line.h"

bool readCutLine(std::FILE* file, char* line, int size) {
  int length = 0;
  int c = EOF;
  while ((c = std::getc(file)) != EOF) {
    if (length < size - 1) line[length++] = static_cast<char>(c);
    if (c == '\n') break;
  }
  line[length] = '\0';
  return length > 0 || c != EOF;
}
